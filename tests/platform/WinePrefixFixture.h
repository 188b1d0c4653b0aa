// A fake Wine prefix for the tests of the path mapper and of the FS2004 lookup: drive C: is
// the prefix's "drive_c" folder, which holds the FS9 texture folder.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace fixtures {

class FakePrefix : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_prefix = m_dir.filePath(QStringLiteral("prefix"));
        ASSERT_TRUE(QDir().mkpath(
            m_prefix + "/drive_c/Program Files/Microsoft Games/FS9/Scenery/World/texture"));
        ASSERT_TRUE(QDir().mkpath(m_prefix + "/dosdevices"));
        ASSERT_TRUE(QFile::link(QStringLiteral("../drive_c"), m_prefix + "/dosdevices/c:"));
        m_driveC = QFileInfo(m_prefix + "/drive_c").canonicalFilePath();
    }

    QString fs9Texture() const
    {
        return m_driveC + "/Program Files/Microsoft Games/FS9/Scenery/World/texture";
    }

    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_driveC;
};

} // namespace fixtures
