// tessavane-batch: the window's texture sets, made without a window.
#pragma once

#include <QStringList>

#include <cstdio>

namespace batch {

enum ExitStatus { AllWritten = 0, SomeFailed = 1, BadUsage = 2 };

// Runs the command for the arguments that follow the program's name. Progress and the
// summary go to `out`, errors to `err`. Returns the exit status.
int runBatchCommand(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace batch
