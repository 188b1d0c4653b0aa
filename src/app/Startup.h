// Start-up: the program folder, the settings and FS2004 locations, and the two windows.
#pragma once

#include "app/Form1.h"

#include <QString>

// The folder for the working files: the executable's folder when it can be written and is not
// an installed program's folder, else a per-user cache folder. Ends in "/". Names are taken by
// their bytes; an executable folder that is unknown or not absolute gives the cache.
QString chooseProgramFolder(const QString &executableFolder);

// The default destination of texture sets: the program folder when it is the executable's
// own, else the folder "Tessavane" in the user's pictures folder (never a cache, which
// cleaners empty). Not created here.
QString chooseDestinationFolder(const QString &programFolder, const QString &executableFolder);

// The environment of a normal run: program folder, default destination, per-user settings
// file, Wine prefix, beep, and the stop signals' request.
FormEnvironment defaultEnvironment();

// Creates the windows, removes the temporary files a killed run left in the destination and
// program folders, opens openPath (a texture or a folder, when given), runs the message loop
// until the main window closes, and returns the exit code: 0, also after a failed start,
// which the error handler has shown. A stop signal (see platform/StopRequest.h) closes the
// windows as the user would, saving the settings.
int runTessavane(const FormEnvironment &environment, const QString &openPath = QString());
