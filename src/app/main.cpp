// Tessavane: seasonal variants of FS2004 photo-real ground textures.
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/ErrorSink.h"
#include "platform/FileNames.h"
#include "platform/StopRequest.h"

#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char helpText[] =
    "Usage: Tessavane [TEXTURE | FOLDER]\n"
    "Makes winter and fall variants of FS2004 photo-real ground textures, in a window.\n"
    "\n"
    "With a summer texture (a name of 15 characters followed by \"su.bmp\") the window\n"
    "opens on its folder with the texture selected and previewed; with a folder, on that\n"
    "folder. Of several, the first is opened.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the program's version and exit\n"
    "\n"
    "tessavane-batch makes the same texture sets without a window (tessavane-batch --help).\n";

// Prints text to standard output; a failed write (a full disk, a closed pipe) is an error.
int printAndEnd(const char *text)
{
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "Tessavane: cannot write to standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // These need no window, so they are answered before the toolkit looks for a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return printAndEnd(helpText);
        if (std::strcmp(argv[i], "--version") == 0)
            return printAndEnd("Tessavane " TESSAVANE_VERSION "\n");
    }
    // Caught from the start, so that a stop signal never cuts a file short.
    platform::installStopHandler();
    int status = 0;
    {
        TApplication app(argc, argv);
        // Ties the windows to the installed desktop entry (Wayland's app id, the taskbar icon).
        QGuiApplication::setDesktopFileName(QStringLiteral(TESSAVANE_APP_ID));
        platform::setErrorHandler([&app](const std::exception &error) { app.showError(error); });

        // What is left once the toolkit has taken its own options, by the names' bytes.
        QStringList paths;
        bool options = true;
        for (int i = 1; i < argc; ++i) {
            const QByteArrayView argument(argv[i]);
            if (options && argument == "--") {
                options = false;
            } else if (options && argument.startsWith('-') && argument.size() > 1) {
                std::fprintf(stderr, "Tessavane: unknown option '%s'\nTry 'Tessavane --help'.\n",
                             argv[i]);
                return 2;
            } else {
                paths << platform::decodeFileName(argument);
            }
        }
        QString openPath;
        if (!paths.isEmpty()) {
            openPath = paths.constFirst();
            if (!openPath.startsWith(QLatin1Char('/')))
                openPath = platform::currentFolder() + QLatin1Char('/') + openPath;
        }
        status = runTessavane(defaultEnvironment(), openPath);
    }
    platform::endByStopSignal();
    return status;
}
