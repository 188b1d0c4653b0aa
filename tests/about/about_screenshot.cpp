// Renders the About dialog to a PNG file, for checking its layout by eye.
// Usage: about_screenshot <output.png> [page 0-3]
// Without a display it renders offscreen; under xvfb-run it uses the X server.
#include "about/AboutForm.h"
#include "about/AppIcon.h"

#include <QApplication>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: about_screenshot <output.png> [page 0-3]\n");
        return 2;
    }
    QApplication::setWindowIcon(about::applicationIcon());
    TAboutForm form;
    form.setHelpText(QStringLiteral(
        "Program for creating variably 'seasoned' textures from photoreal textures in FS2004\n\n"
        "Double-click a season image to save individually\n\n"
        "Use the Adjustments to vary the amount of Snow or Browning"));
    form.show();
    form.PageControl1->setCurrentIndex(argc > 2 ? std::atoi(argv[2]) : 0);
    QApplication::processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "Cannot write \"%s\"\n", argv[1]);
        return 1;
    }
    return 0;
}
