// Windows paths mapped through a fake Wine prefix: drive links, names whose case differs
// from the folders on disk, and the two ways of treating the drive's link.
#include "platform/WinePaths.h"

#include "WinePrefixFixture.h"

#include <ostream>

namespace {

using fixtures::FakePrefix;

TEST_F(FakePrefix, PathsMapThroughTheDriveLinksResolvingCase)
{
    struct Case
    {
        const char *windows;
        QString expected;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Microsoft Games\\FS9\\scenery\\world\\Texture", fs9Texture()},
        {"c:/PROGRAM FILES\\\\microsoft games/FS9\\.\\x\\..\\scenery\\WORLD\\TEXTURE",
         fs9Texture()},
        // From the first missing folder on, the rest stays as written.
        {"C:\\Program Files\\Microsoft Games\\FS2004\\scenery\\world\\Texture",
         m_driveC + "/Program Files/Microsoft Games/FS2004/scenery/world/Texture"},
        {"D:\\FS9\\scenery", m_prefix + "/dosdevices/d:/FS9/scenery"},
        {"C:", m_driveC},
        {"FS9\\scenery", QString()},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(platform::wineToLinuxPath(m_prefix, QString::fromUtf8(c.windows)), c.expected)
            << c.windows;
    }
}

// One path mapped both ways. An expected path starts with "drive_c" (the folder the link of
// C: points to) or "dosdevices" (inside the prefix); none stands for an empty result.
struct MappingCase
{
    const char *windows;
    const char *followingLinks;
    const char *keepingLinks; // and requiring a mapped drive
};

void PrintTo(const MappingCase &c, std::ostream *os)
{
    *os << c.windows;
}

// Drive E:, named in upper case, is the "Program Files" folder of drive C:.
class BothMappings : public FakePrefix, public ::testing::WithParamInterface<MappingCase>
{
  protected:
    void SetUp() override
    {
        FakePrefix::SetUp();
        ASSERT_TRUE(
            QFile::link(QStringLiteral("../drive_c/Program Files"), m_prefix + "/dosdevices/E:"));
    }

    QString expected(const char *path) const
    {
        if (!path)
            return QString();
        const QString text = QString::fromUtf8(path);
        return text.startsWith(QLatin1String("drive_c")) ? m_driveC + text.mid(7)
                                                         : m_prefix + u'/' + text;
    }
};

TEST_P(BothMappings, FollowOrKeepTheDriveLink)
{
    const QString windows = QString::fromUtf8(GetParam().windows);
    EXPECT_EQ(platform::wineToLinuxPath(m_prefix, windows), expected(GetParam().followingLinks));
    EXPECT_EQ(platform::wineToLinuxPath(m_prefix, windows,
                                        {.followDriveLink = false, .requireMappedDrive = true}),
              expected(GetParam().keepingLinks));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BothMappings,
    ::testing::Values(
        MappingCase{"C:\\program files\\MICROSOFT GAMES\\",
                    "drive_c/Program Files/Microsoft Games/",
                    "dosdevices/c:/Program Files/Microsoft Games/"},
        MappingCase{"c:\\Program Files\\FS9\\..\\..\\.\\Program Files\\New\\A.exe",
                    "drive_c/Program Files/New/A.exe", "dosdevices/c:/Program Files/New/A.exe"},
        MappingCase{"e:\\microsoft games\\fs9", "drive_c/Program Files/Microsoft Games/FS9",
                    "dosdevices/E:/Microsoft Games/FS9"},
        MappingCase{"C:\\", "drive_c", "dosdevices/c:"},
        MappingCase{"D:\\FS9\\", "dosdevices/d:/FS9/", nullptr},
        MappingCase{"\\\\server\\share\\x.exe", "dosdevices/unc/server/share/x.exe", nullptr},
        MappingCase{"FS9\\scenery", nullptr, nullptr},
        MappingCase{"/usr/bin/env", nullptr, nullptr}));

TEST_F(FakePrefix, NoPrefixMapsNothing)
{
    EXPECT_TRUE(platform::wineToLinuxPath(QString(), QStringLiteral("C:\\x.exe")).isEmpty());
}

} // namespace
