// Prints what the About dialog shows on its "Program" and "DLLs" pages: the version label,
// then one library row per line. Copied next to an installed program, it shows which
// conversion library that program's folder resolves to.
// Usage: about_rows   (renders offscreen when there is no display)
#include "about/AboutForm.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TAboutForm form;
    form.show();
    QApplication::processEvents();
    std::printf("%s\n", qUtf8Printable(form.Label2->text()));
    for (int row = 0; row < form.ListBox1->count(); ++row)
        std::printf("%s\n", qUtf8Printable(form.ListBox1->item(row)->text()));
    return 0;
}
