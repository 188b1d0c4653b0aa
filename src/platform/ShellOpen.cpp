// The one way the program opens addresses and files through the desktop.
#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace platform {

namespace {

void openWithDesktop(const ShellRequest &request)
{
    if (request.target.isLocalFile()) {
        const QFileInfo file(request.target.toLocalFile());
        if (file.isFile() && file.isExecutable()) {
            QProcess::startDetached(file.absoluteFilePath(), {}, request.workingFolder);
            return;
        }
    }
    QDesktopServices::openUrl(request.target);
}

ShellOpenHandler &currentHandler()
{
    static ShellOpenHandler handler;
    return handler;
}

} // namespace

ShellOpenHandler setShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

void shellOpen(const QUrl &target, const QString &workingFolder)
{
    const ShellRequest request{target, workingFolder};
    if (const ShellOpenHandler &handler = currentHandler())
        handler(request);
    else
        openWithDesktop(request);
}

} // namespace platform
