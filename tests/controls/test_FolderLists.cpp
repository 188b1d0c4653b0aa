// The drive chooser, the folder list and the file list, alone and linked together.
#include "controls/DirectoryListBox.h"
#include "controls/DriveComboBox.h"
#include "controls/FileListBox.h"
#include "platform/Error.h"
#include "platform/ErrorSink.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure messages.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QStringList entries(const QListWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.item(i)->text());
    return texts;
}

// The texts the entries show.
QStringList shown(const QListWidget &list)
{
    const auto *delegate = qobject_cast<const QStyledItemDelegate *>(list.itemDelegate());
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(delegate->displayText(list.item(i)->data(Qt::DisplayRole), QLocale()));
    return texts;
}

// A temporary folder tree A/sub, A/nested/deep, B with summer textures in A, B and B/sub,
// plus the errors the controls report from their event handlers.
class FolderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        root = QFileInfo(temp.path()).canonicalFilePath();
        for (const char *folder : {"A/sub", "A/nested/deep", "A/Sub", "A/.hidden", "B/sub"})
            ASSERT_TRUE(QDir().mkpath(path(folder)));
        for (const char *file :
             {"A/ccccccccccccccCsu.bmp", "A/aaaaaaaaaaaaaaasu.bmp", "A/BBBBBBBBBBBBBBBSU.BMP",
              "A/ddddddddddddddddsu.bmp", "A/eeeeeeeeeeeeeeefa.bmp", "A/.ffffffffffffffsu.bmp",
              "B/bbbbbbbbbbbbbbbsu.bmp", "B/sub/sssssssssssssssSU.bmp"})
            ASSERT_TRUE(QFile(path(file)).open(QIODevice::WriteOnly));
        previous = platform::setErrorHandler(
            [this](const std::exception &e) { errors.append(QString::fromUtf8(e.what())); });
        files.setMask(QStringLiteral("???????????????su.bmp"));
        list.setDirectory(path("A"));
        list.setFileList(&files);
        list.resize(300, 400);
        files.resize(300, 400);
    }
    void TearDown() override { platform::setErrorHandler(previous); }

    QString path(const char *relative) const { return root + u'/' + QLatin1String(relative); }
    void click(QListWidget &widget, int row, bool twice = false)
    {
        const QPoint at = widget.visualItemRect(widget.item(row)).center();
        if (twice)
            QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, at);
    }
    int rowOf(const QListWidget &widget, const char *text) const
    {
        return int(entries(widget).indexOf(QLatin1String(text)));
    }

    QTemporaryDir temp;
    QString root;
    QStringList errors;
    platform::ErrorHandler previous;
    TFileListBox files;
    TDirectoryListBox list;
};

TEST_F(FolderTest, FolderListShowsPathThenSubfoldersWithFixedHeights)
{
    const QStringList expected = QStringList{"/"} + root.split(u'/', Qt::SkipEmptyParts) +
                                 QStringList{"A", "nested", "Sub", "sub"};
    EXPECT_EQ(entries(list), expected);
    EXPECT_EQ(list.Directory(), path("A"));
    EXPECT_EQ(list.currentItem()->text(), QStringLiteral("A"));
    EXPECT_EQ(TDirectoryListBox::entryPath(list.item(list.count() - 1)), path("A/sub"));
    list.show();
    files.show();
    EXPECT_EQ(list.visualItemRect(list.item(0)).height(), 16);
    EXPECT_EQ(files.visualItemRect(files.item(0)).height(), 13);

    list.setDirectory(QStringLiteral("/"));
    EXPECT_EQ(list.Directory(), QStringLiteral("/"));
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(FolderTest, SettingTheFolderAlreadyShownChangesNothing)
{
    QSignalSpy changed(&list, &TDirectoryListBox::changed);
    for (const QString &same : {QString(), path("A"), path("A/"), path("A/sub/.."), QString(".")})
        list.setDirectory(same);
    EXPECT_EQ(changed.count(), 0);

    list.setDirectory(QStringLiteral("sub")); // relative to the folder shown
    list.setDirectory(path("A/Sub"));         // differs only in case: another folder
    EXPECT_EQ(list.Directory(), path("A/Sub"));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(FolderTest, FolderThatCannotBeEnteredRaisesAndLeavesTheListsAsTheyWere)
{
    files.selectItem(0);
    const QStringList before = entries(list);
    QSignalSpy listChanged(&list, &TDirectoryListBox::changed);
    QSignalSpy filesChanged(&files, &TFileListBox::changed);
    for (const auto &[folder, reason] : {std::pair{"A/missing", "No such file or directory"},
                                         std::pair{"A/aaaaaaaaaaaaaaasu.bmp", "Not a directory"}}) {
        try {
            list.setDirectory(path(folder));
            ADD_FAILURE() << "entered " << folder;
        } catch (const platform::Error &error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(u'"' + path(folder) + u'"')) << error.what();
            EXPECT_TRUE(message.contains(QLatin1String(reason))) << error.what();
        }
    }
    EXPECT_EQ(list.Directory(), path("A"));
    EXPECT_EQ(entries(list), before);
    EXPECT_EQ(files.FileName(), path("A/aaaaaaaaaaaaaaasu.bmp"));
    EXPECT_EQ(listChanged.count(), 0);
    EXPECT_EQ(filesChanged.count(), 0);
}

TEST_F(FolderTest, DoubleClickOrEnterEntersAndSingleClickOnlySelects)
{
    list.show();
    click(list, rowOf(list, "nested"));
    EXPECT_EQ(list.Directory(), path("A"));
    click(list, rowOf(list, "nested"), true);
    EXPECT_EQ(list.Directory(), path("A/nested"));
    EXPECT_EQ(files.Directory(), path("A/nested"));

    list.setCurrentRow(rowOf(list, "deep"));
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Directory(), path("A/nested/deep"));

    // An entry whose folder has gone since: the error is reported and the list stays.
    list.setDirectory(path("A"));
    ASSERT_TRUE(QDir(path("A/sub")).removeRecursively());
    click(list, rowOf(list, "sub"), true);
    EXPECT_EQ(list.Directory(), path("A"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(path("A/sub"))) << errors.front().toStdString();
}

TEST_F(FolderTest, FileListShowsMatchingFilesSortedWithoutCase)
{
    const QStringList expected = {"aaaaaaaaaaaaaaasu.bmp", "BBBBBBBBBBBBBBBSU.BMP",
                                  "ccccccccccccccCsu.bmp"};
    EXPECT_EQ(entries(files), expected);
    EXPECT_EQ(files.FileName(), QString());
    files.selectItem(1);
    EXPECT_EQ(files.FileName(), path("A/BBBBBBBBBBBBBBBSU.BMP"));
    EXPECT_THROW(files.selectItem(3), platform::Error);
    list.setDirectory(path("A/nested")); // no matching files
    EXPECT_EQ(files.count(), 0);
}

// Names that are not valid UTF-8 (a Latin-1 "é", a 0xFF byte) keep the file system's bytes:
// both lists show them legibly and agree on them, and every name listed opens.
TEST_F(FolderTest, NamesThatAreNotUtf8AreShownLegiblyAndOpen)
{
    const QByteArray folder = QFile::encodeName(path("A")) + "/caf\xE9";
    const QByteArray file = folder + "/\xFF"
                                     "aaaaaaaaaaaaaasu.bmp";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    list.setDirectory(path("A/nested"));
    list.setDirectory(path("A"));
    list.show();

    const int row = int(shown(list).indexOf(QString::fromUtf8("café")));
    ASSERT_GE(row, 0) << shown(list).join(u' ').toStdString();
    click(list, row, true);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u' ').toStdString();
    EXPECT_EQ(platform::encodeFileName(list.Directory()), folder);
    EXPECT_EQ(shown(list).last(), QString::fromUtf8("café"));
    EXPECT_EQ(shown(files), QStringList{QString::fromUtf8("ÿaaaaaaaaaaaaaasu.bmp")});
    files.selectItem(0);
    EXPECT_EQ(platform::encodeFileName(files.FileName()), file);
    EXPECT_EQ(::access(platform::toNativePath(files.FileName()).c_str(), R_OK), 0);
}

TEST_F(FolderTest, ListsStartedInAWorkingFolderThatIsNotUtf8StartThere)
{
    const QByteArray folder = QFile::encodeName(path("B")) + "/t\xE9l\xFF";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const int fd =
        ::open((folder + "/aaaaaaaaaaaaaaasu.bmp").constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString previous = QDir::currentPath();
    ASSERT_EQ(::chdir(folder.constData()), 0);
    TDirectoryListBox started;
    TFileListBox startedFiles;
    QDir::setCurrent(previous);
    EXPECT_EQ(platform::encodeFileName(started.Directory()), folder);
    EXPECT_EQ(platform::encodeFileName(startedFiles.Directory()), folder);
    startedFiles.setMask(QStringLiteral("???????????????su.bmp"));
    EXPECT_EQ(entries(startedFiles), QStringList{QStringLiteral("aaaaaaaaaaaaaaasu.bmp")});
}

TEST_F(FolderTest, FileListNotifiesForNewUserSelectionsAndReadings)
{
    files.show();
    QSignalSpy changed(&files, &TFileListBox::changed);
    click(files, 1);
    click(files, 1); // the remembered entry again: nothing
    EXPECT_EQ(changed.count(), 1);
    QTest::keyClick(files.viewport(), Qt::Key_Down);
    EXPECT_EQ(changed.count(), 2);

    // The program's selection raises nothing and leaves the remembered entry (2) alone.
    files.selectItem(0);
    EXPECT_EQ(changed.count(), 2);
    click(files, 0); // selected by the program but not remembered: notifies
    EXPECT_EQ(changed.count(), 3);
    files.selectItem(2);
    click(files, 0); // back to the remembered entry: nothing
    EXPECT_EQ(changed.count(), 3);

    list.setDirectory(path("B")); // a reading clears the selection and notifies
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(files.FileName(), QString());
    click(files, 0);
    EXPECT_EQ(changed.count(), 5);
}

TEST_F(FolderTest, OnlyTheLeftButtonAndTheKeyboardSelectAndNothingDeselects)
{
    files.show();
    QSignalSpy changed(&files, &TFileListBox::changed);
    click(files, 1);
    ASSERT_EQ(files.selectedIndex(), 1);
    ASSERT_EQ(changed.count(), 1);

    // Right and middle clicks, single or double, leave the selection and raise nothing.
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        const QPoint at = files.visualItemRect(files.item(2)).center();
        QTest::mouseClick(files.viewport(), button, {}, at);
        QTest::mouseDClick(files.viewport(), button, {}, at);
    }
    EXPECT_EQ(files.selectedIndex(), 1);
    EXPECT_EQ(changed.count(), 1);

    // Ctrl+click and Ctrl+Space on the selected entry keep it selected.
    QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      files.visualItemRect(files.item(1)).center());
    EXPECT_EQ(files.selectedIndex(), 1);
    QTest::keyClick(files.viewport(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(files.selectedIndex(), 1);
    EXPECT_EQ(files.FileName(), path("A") + u'/' + files.item(1)->text());
    EXPECT_EQ(changed.count(), 1);

    // Ctrl+click on another entry selects it as a plain click does.
    QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      files.visualItemRect(files.item(0)).center());
    EXPECT_EQ(files.selectedIndex(), 0);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FolderTest, FileListOfAFolderThatCannotBeReadIsEmptyUntilAFolderIsSet)
{
    // A working folder that has gone away (the same holds for one that cannot be listed).
    const QString previousFolder = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(path("gone")));
    ASSERT_TRUE(QDir::setCurrent(path("gone")));
    ASSERT_TRUE(QDir().rmdir(path("gone")));
    auto unreadable = std::make_unique<TFileListBox>();
    QDir::setCurrent(previousFolder);

    EXPECT_EQ(unreadable->count(), 0);
    unreadable->setMask(QStringLiteral("???????????????su.bmp")); // reads nothing, throws nothing
    EXPECT_EQ(unreadable->count(), 0);
    unreadable->setDirectory(path("A"));
    EXPECT_EQ(entries(*unreadable), entries(files));
}

class DriveTest : public FolderTest
{
  protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        drives.setDrives({{path("A"), "A"}, {path("A/nested"), "A nested"}, {path("B"), "B"}});
        drives.setDirList(&list);
    }

    TDriveComboBox drives;
};

TEST_F(DriveTest, ChoosingADriveGoesToItsCurrentFolder)
{
    QTest::keyClick(&drives, Qt::Key_End);
    EXPECT_EQ(list.Directory(), path("B"));
    list.setDirectory(QStringLiteral("sub"));
    QTest::keyClick(&drives, Qt::Key_Home);
    EXPECT_EQ(files.Directory(), path("A"));
    QTest::keyClick(&drives, Qt::Key_End); // B remembers where it was left
    EXPECT_EQ(list.Directory(), path("B/sub"));
    EXPECT_EQ(files.FileName(), QString());
    EXPECT_TRUE(errors.isEmpty());

    // The chooser follows the list to the drive with the longest mount point holding it.
    list.setDirectory(path("A/nested/deep"));
    EXPECT_EQ(drives.currentIndex(), 1);
    list.setDirectory(path("A/sub"));
    EXPECT_EQ(drives.currentIndex(), 0);
}

TEST_F(DriveTest, DriveThatCannotBeEnteredShowsTheErrorAndChangesNothing)
{
    files.selectItem(0);
    ASSERT_TRUE(QDir(path("B")).removeRecursively());
    const QStringList before = entries(list);
    QSignalSpy filesChanged(&files, &TFileListBox::changed);

    QTest::keyClick(&drives, Qt::Key_End);

    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(u'"' + path("B") + u'"')) << errors.front().toStdString();
    EXPECT_EQ(drives.currentIndex(), 0);
    EXPECT_EQ(list.Directory(), path("A"));
    EXPECT_EQ(entries(list), before);
    EXPECT_EQ(files.FileName(), path("A/aaaaaaaaaaaaaaasu.bmp"));
    EXPECT_EQ(filesChanged.count(), 0);
}

} // namespace
