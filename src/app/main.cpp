// Tessavane: seasonal variants of FS2004 photo-real ground textures.
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/ErrorSink.h"

#include <QGuiApplication>

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    // Ties the windows to the installed desktop entry (Wayland's app id, the taskbar icon).
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSAVANE_APP_ID));
    platform::setErrorHandler([&app](const std::exception &error) { app.showError(error); });
    return runTessavane(defaultEnvironment());
}
