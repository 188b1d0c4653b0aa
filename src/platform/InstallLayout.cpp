// The program's library folders, from the install-relative run path the build recorded.
#include "platform/InstallLayout.h"

#include <QDir>
#include <QFileInfo>

#ifndef TESSAVANE_PRIVATE_LIBRARY_FOLDER
#define TESSAVANE_PRIVATE_LIBRARY_FOLDER "../lib/tessavane"
#endif

namespace platform {

namespace {

const QLatin1String conversionLibrary("libkovar.so");

} // namespace

QString privateLibraryFolder(const QString &executableFolder)
{
    return QDir::cleanPath(executableFolder + QLatin1Char('/') +
                           QLatin1String(TESSAVANE_PRIVATE_LIBRARY_FOLDER));
}

bool isInstalledProgramFolder(const QString &executableFolder)
{
    return !QFileInfo(QDir(executableFolder), conversionLibrary).exists() &&
           QFileInfo(QDir(privateLibraryFolder(executableFolder)), conversionLibrary).isFile();
}

} // namespace platform
