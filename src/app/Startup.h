// Start-up: the program folder, the settings and FS2004 locations, and the two windows.
#pragma once

#include "app/Form1.h"

#include <QString>

// The folder for the working files and the default destination: the executable's folder when
// it can be written and is not an installed program's folder, else a per-user cache folder.
// Ends in "/".
QString chooseProgramFolder(const QString &executableFolder);

// The environment of a normal run: program folder, per-user settings file, Wine prefix, beep.
FormEnvironment defaultEnvironment();

// Creates the windows, runs the message loop until the main window closes, and returns the
// exit code: 0, also after a failed start, which the error handler has shown.
int runTessavane(const FormEnvironment &environment);
