// The program's library folders, from the install-relative run path the build recorded.
#include "platform/InstallLayout.h"

#include "platform/FileNames.h"

#include <QDir>

#include <filesystem>

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
    // By the names' bytes: a folder whose name is not UTF-8 is looked at where it is.
    std::error_code ignored;
    const auto library = [](const QString &folder) {
        return toNativePath(folder) /
               std::string(conversionLibrary.data(), std::size_t(conversionLibrary.size()));
    };
    return !std::filesystem::exists(library(executableFolder), ignored) &&
           std::filesystem::is_regular_file(library(privateLibraryFolder(executableFolder)),
                                            ignored);
}

} // namespace platform
