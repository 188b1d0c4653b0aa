// tessavane-batch preview: a PNG of one tile's seasons side by side, to judge strengths by eye.
#pragma once

#include <QStringList>

#include <cstdio>

namespace batch {

// Runs "preview [options] TILE OUT.png" (the arguments after "preview"). Needs a
// QGuiApplication. Returns the exit status.
int runPreviewCommand(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace batch
