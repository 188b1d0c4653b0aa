// Which mounted file systems count as drives.
#include "platform/Drives.h"

#include <gtest/gtest.h>

namespace {

struct MountCase
{
    const char16_t *mountPoint;
    const char16_t *type;
    bool real;
};

TEST(Drives, PseudoFileSystemsAreNotDrives)
{
    for (const MountCase &c :
         {MountCase{u"/", u"overlay", true}, MountCase{u"/home", u"btrfs", true},
          MountCase{u"/run/media/user/STICK", u"exfat", true}, MountCase{u"/tmp", u"tmpfs", true},
          MountCase{u"/runway", u"tmpfs", true}, MountCase{u"/proc", u"proc", false},
          MountCase{u"/sys/fs/cgroup", u"tmpfs", false}, MountCase{u"/dev/pts", u"devpts", false},
          MountCase{u"/run/user/1000", u"tmpfs", false}, MountCase{u"/mnt/auto", u"autofs", false},
          MountCase{u"/mnt/cg", u"cgroup2", false}})
        EXPECT_EQ(platform::isRealFileSystem(QStringView(c.mountPoint), QStringView(c.type)),
                  c.real)
            << QString::fromUtf16(c.type).toStdString() << " on "
            << QString::fromUtf16(c.mountPoint).toStdString();
}

TEST(Drives, FolderIsOnAMountPointOnlyAtAPathBoundary)
{
    EXPECT_TRUE(platform::isOnMountPoint(u"/home/user", u"/home"));
    EXPECT_TRUE(platform::isOnMountPoint(u"/home", u"/home"));
    EXPECT_FALSE(platform::isOnMountPoint(u"/homework", u"/home"));
    EXPECT_TRUE(platform::isOnMountPoint(u"/srv", u"/"));
}

TEST(Drives, MountedDrivesStartAtRootAndSkipSystemFolders)
{
    const QList<platform::Drive> drives = platform::mountedDrives();
    ASSERT_FALSE(drives.isEmpty());
    EXPECT_EQ(drives.front().mountPoint, QStringLiteral("/"));
    for (const platform::Drive &drive : drives) {
        EXPECT_TRUE(drive.label.startsWith(drive.mountPoint)) << drive.label.toStdString();
        for (const char16_t *system : {u"/proc", u"/sys", u"/dev"})
            EXPECT_FALSE(platform::isOnMountPoint(drive.mountPoint, QStringView(system)))
                << drive.mountPoint.toStdString();
    }
}

} // namespace
