// Bare library names resolved through the program folder, the loader's folders and PATH.
#include "platform/LibrarySearch.h"

#include "platform/FileNames.h"
#include "platform/InstallLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace platform {

namespace {

constexpr int maxIncludeDepth = 8;

void appendFolder(QStringList &folders, const QString &folder)
{
    if (!folder.isEmpty() && !folders.contains(folder))
        folders.append(folder);
}

void appendList(QStringList &folders, const QString &list)
{
    for (const QString &folder : list.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        appendFolder(folders, folder);
}

void readConf(const QString &confFile, QStringList &folders, int depth)
{
    QFile file(confFile);
    if (depth > maxIncludeDepth || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString confFolder = QFileInfo(confFile).absolutePath();
    static const QRegularExpression separators(QStringLiteral("[\\s:,]+"));
    while (!file.atEnd()) {
        QString line = QString::fromLocal8Bit(file.readLine());
        line.truncate(line.indexOf(QLatin1Char('#')) < 0 ? line.size()
                                                         : line.indexOf(QLatin1Char('#')));
        line = line.trimmed();
        if (line.startsWith(QLatin1String("include")) && line.size() > 7 && line[7].isSpace()) {
            for (const QString &pattern : line.mid(8).split(separators, Qt::SkipEmptyParts)) {
                const QFileInfo glob(QDir(confFolder), pattern);
                const QDir dir(glob.absolutePath());
                const QStringList matches =
                    dir.entryList({glob.fileName()}, QDir::Files, QDir::Name);
                for (const QString &match : matches)
                    readConf(dir.filePath(match), folders, depth + 1);
            }
            continue;
        }
        if (line.startsWith(QLatin1String("hwcap")))
            continue;
        for (const QString &folder : line.split(separators, Qt::SkipEmptyParts))
            if (folder.startsWith(QLatin1Char('/')))
                appendFolder(folders, QDir::cleanPath(folder));
    }
}

} // namespace

QStringList librarySearchFolders(const QString &programFolder, const QString &ldLibraryPath,
                                 const QStringList &systemFolders, const QString &path)
{
    QStringList folders;
    appendFolder(folders, programFolder);
    appendList(folders, ldLibraryPath);
    for (const QString &folder : systemFolders)
        appendFolder(folders, folder);
    appendList(folders, path);
    return folders;
}

QStringList librarySearchFolders()
{
    // An installed program's run path names its private library folder; the loader searches
    // it after LD_LIBRARY_PATH and before the system folders.
    QString programFolder = executableFolder();
    if (programFolder.isEmpty())
        programFolder = QCoreApplication::applicationDirPath();
    return librarySearchFolders(programFolder, qEnvironmentVariable("LD_LIBRARY_PATH"),
                                QStringList{privateLibraryFolder(programFolder)} +
                                    systemLibraryFolders(),
                                qEnvironmentVariable("PATH"));
}

QStringList systemLibraryFolders(const QString &confFile)
{
    QStringList folders;
    readConf(confFile, folders, 0);
    appendFolder(folders, QStringLiteral("/lib"));
    appendFolder(folders, QStringLiteral("/usr/lib"));
    return folders;
}

QStringList libraryFileNames(const QString &bareName)
{
    QStringList names{bareName};
    static const QLatin1String dll(".dll");
    if (bareName.size() > dll.size() && bareName.endsWith(dll, Qt::CaseInsensitive))
        names.append(QStringLiteral("lib") + bareName.chopped(dll.size()) + QStringLiteral(".so"));
    return names;
}

QString findLibrary(const QString &bareName, const QStringList &folders)
{
    if (bareName.isEmpty() || bareName == QLatin1String(".") || bareName == QLatin1String("..") ||
        bareName.contains(QLatin1Char('/')) || bareName.contains(QLatin1Char('\\')))
        return {};
    const QStringList names = libraryFileNames(bareName);
    for (const QString &folder : folders) {
        for (const QString &name : names) {
            // By bytes: a folder whose name is not UTF-8 still finds its libraries.
            const QString candidate = QDir::cleanPath(QDir(folder).absoluteFilePath(name));
            if (isRegularFile(candidate))
                return candidate;
        }
    }
    return {};
}

} // namespace platform
