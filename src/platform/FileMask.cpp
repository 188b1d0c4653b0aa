// Wildcard masks over file names, and the listing of the plain files in a folder that match one.
#include "platform/FileMask.h"

#include "platform/Error.h"
#include "platform/FileNames.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace platform {

namespace {

// Case-folded code points, so that '?' stands for one character even outside the
// basic multilingual plane.
QList<uint> folded(QStringView text)
{
    QList<uint> points = text.toUcs4();
    for (uint &c : points)
        c = QChar::toCaseFolded(c);
    return points;
}

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

Error cannotRead(const QString &folder, int error)
{
    return Error(QStringLiteral("Cannot read folder \"%1\": %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(error)))
                     .toStdString());
}

} // namespace

bool matchesMask(QStringView name, QStringView mask)
{
    const QList<uint> n = folded(name);
    const QList<uint> m = folded(mask);
    qsizetype ni = 0, mi = 0;
    // Where to resume after the last '*': the mask position after it and the name position
    // it currently swallows up to.
    qsizetype starMask = -1, starName = 0;
    while (ni < n.size()) {
        if (mi < m.size() && m[mi] == U'*') {
            starMask = ++mi;
            starName = ni;
        } else if (mi < m.size() && (m[mi] == U'?' || m[mi] == n[ni])) {
            ++ni;
            ++mi;
        } else if (starMask >= 0) {
            mi = starMask;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == U'*')
        ++mi;
    return mi == m.size();
}

bool lessCaseInsensitive(const QString &a, const QString &b)
{
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

namespace {

// Names in folder for which keep(name, stat of the entry, links followed) holds; hidden names
// (starting with ".") are left out.
template <class Keep> QStringList listEntries(const QString &folder, Keep keep)
{
    const QByteArray nativeFolder = encodeFileName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(nativeFolder.constData()));
    if (!dir)
        throw cannotRead(folder, errno);
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw cannotRead(folder, errno);
            break;
        }
        if (entry->d_name[0] == '.')
            continue;
        // Decoded so that it encodes back to the very bytes: every listed name opens.
        const QString name = decodeFileName(entry->d_name);
        const QByteArray path = nativeFolder + '/' + entry->d_name;
        struct stat info;
        if (keep(
                name, [&] { return stat(path.constData(), &info) == 0; }, info))
            names.append(name);
    }
    std::sort(names.begin(), names.end(), lessCaseInsensitive);
    return names;
}

} // namespace

QStringList listMatchingFiles(const QString &folder, const QString &mask)
{
    // stat follows links, so a link to a plain file counts as one; a broken link, a folder,
    // a device, a pipe or a socket does not.
    return listEntries(folder, [&](const QString &name, auto statEntry, const struct stat &info) {
        return matchesMask(name, mask) && statEntry() && S_ISREG(info.st_mode);
    });
}

QStringList listSubfolders(const QString &folder)
{
    return listEntries(folder, [](const QString &, auto statEntry, const struct stat &info) {
        return statEntry() && S_ISDIR(info.st_mode);
    });
}

} // namespace platform
