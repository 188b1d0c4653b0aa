// The mounted file systems that hold the user's files, offered as "drives" to choose from.
#include "platform/Drives.h"

#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace platform {

namespace {

// File systems that the kernel or the system makes up: no user files live there.
constexpr std::array kPseudoTypes = {
    u"autofs",    u"binfmt_misc", u"bpf",      u"cgroup",   u"cgroup2",         u"configfs",
    u"debugfs",   u"devpts",      u"devtmpfs", u"efivarfs", u"fusectl",         u"hugetlbfs",
    u"mqueue",    u"nsfs",        u"proc",     u"pstore",   u"rpc_pipefs",      u"securityfs",
    u"selinuxfs", u"sysfs",       u"tracefs",  u"rootfs",   u"fuse.gvfsd-fuse", u"fuse.portal"};

// Folders under which only the system mounts things, whatever the file system type.
constexpr std::array kSystemFolders = {u"/proc", u"/sys", u"/dev"};

// Memory file systems mounted here hold run-time state, not files a user works with
// (under /run/media, removable media with real file systems still appear).
constexpr std::array kRuntimeFolders = {u"/run", u"/var/run", u"/var/lock"};

template <size_t N>
bool isUnderAny(QStringView path, const std::array<const char16_t *, N> &folders)
{
    return std::any_of(folders.begin(), folders.end(), [&](const char16_t *folder) {
        return isOnMountPoint(path, QStringView(folder));
    });
}

} // namespace

bool isOnMountPoint(QStringView folder, QStringView mountPoint)
{
    if (mountPoint == u"/")
        return folder.startsWith(u'/');
    return folder == mountPoint ||
           (folder.startsWith(mountPoint) && folder.at(mountPoint.size()) == u'/');
}

bool isRealFileSystem(QStringView mountPoint, QStringView type)
{
    if (mountPoint == u"/")
        return true;
    if (isUnderAny(mountPoint, kSystemFolders))
        return false;
    if (std::any_of(kPseudoTypes.begin(), kPseudoTypes.end(),
                    [&](const char16_t *pseudo) { return type == QStringView(pseudo); }))
        return false;
    const bool inMemory = type == u"tmpfs" || type == u"ramfs";
    return !(inMemory && isUnderAny(mountPoint, kRuntimeFolders));
}

QString driveLabel(const QString &mountPoint, const QString &volumeName)
{
    if (volumeName.isEmpty())
        return mountPoint;
    return QStringLiteral("%1 [%2]").arg(mountPoint, volumeName);
}

QList<Drive> mountedDrives()
{
    QList<Drive> drives;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString mountPoint = volume.rootPath();
        if (!isRealFileSystem(mountPoint, QString::fromLatin1(volume.fileSystemType())))
            continue;
        // A folder mounted over more than once is one drive: the last mount is the one
        // that shows.
        auto same = std::find_if(drives.begin(), drives.end(),
                                 [&](const Drive &d) { return d.mountPoint == mountPoint; });
        Drive drive{mountPoint, driveLabel(mountPoint, volume.name())};
        if (same != drives.end())
            *same = drive;
        else
            drives.append(drive);
    }
    if (std::none_of(drives.begin(), drives.end(),
                     [](const Drive &d) { return d.mountPoint == u"/"; }))
        drives.append(Drive{QStringLiteral("/"), QStringLiteral("/")});
    std::sort(drives.begin(), drives.end(),
              [](const Drive &a, const Drive &b) { return a.mountPoint < b.mountPoint; });
    return drives;
}

} // namespace platform
