// Asks the desktop to open an address or a file with its associated program.
//
// The request goes to one process-wide handler. The default one starts a local program
// file directly in the given working folder and hands everything else (web addresses,
// "mailto:" addresses, documents) to QDesktopServices::openUrl. Tests install a handler
// that records the requests. The outcome is never reported back.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace platform {

struct ShellRequest
{
    QUrl target;
    QString workingFolder; // empty: the desktop's choice
};

using ShellOpenHandler = std::function<void(const ShellRequest &)>;

// Installs the handler and returns the previous one; an empty handler restores the default.
ShellOpenHandler setShellOpenHandler(ShellOpenHandler handler);

// Passes the request to the handler.
void shellOpen(const QUrl &target, const QString &workingFolder = {});

} // namespace platform
