// The mounted file systems that hold the user's files, offered as "drives" to choose from.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace platform {

struct Drive
{
    QString mountPoint; // "/" or a folder without a trailing "/"
    QString label;      // what a chooser shows: the mount point and the volume name
};

// The mounted file systems that hold real files, sorted by mount point; "/" is always first.
// Pseudo file systems (proc, sysfs, cgroup, devpts, ...) and the memory file systems under
// /run and /dev are left out.
QList<Drive> mountedDrives();

// Whether a file system of this type mounted at mountPoint holds files a user works with.
bool isRealFileSystem(QStringView mountPoint, QStringView type);

// "/media/usb [PHOTOS]", or just the mount point when the volume has no name.
QString driveLabel(const QString &mountPoint, const QString &volumeName);

// Whether folder lies on the file system mounted at mountPoint as far as the path tells:
// the folder is the mount point or below it.
bool isOnMountPoint(QStringView folder, QStringView mountPoint);

} // namespace platform
