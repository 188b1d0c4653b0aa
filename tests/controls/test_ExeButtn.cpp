// TExeButton: automatic sizes, file properties, the label's room and trimming, the frame, and
// which releases open the file (following ".LNK" shortcuts through a Wine prefix).
#define QTEST_QPA_MOUSE_HANDLING
#include "controls/ExeButtn.h"

#include "platform/ShellOpen.h"

#include "../platform/ShellLinkFixtures.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QRgb face = qRgb(255, 255, 255);
const QRgb shadow = qRgb(0, 0, 160);
const QRgb midlight = qRgb(0, 220, 0);

// Records every request to open something instead of opening it.
class ShellRecorder
{
  public:
    ShellRecorder()
    {
        m_previous = platform::setShellOpenHandler(
            [this](const platform::ShellRequest &r) { requests.push_back(r); });
    }
    ~ShellRecorder() { platform::setShellOpenHandler(m_previous); }

    std::vector<platform::ShellRequest> requests;

  private:
    platform::ShellOpenHandler m_previous;
};

class ExeButtonTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        window.resize(300, 200);
        button = new TExeButton(&window);
        QPalette colours = button->palette();
        colours.setColor(QPalette::Button, QColor(face));
        colours.setColor(QPalette::Shadow, QColor(shadow));
        colours.setColor(QPalette::Midlight, QColor(midlight));
        colours.setColor(QPalette::ButtonText, Qt::black);
        button->setPalette(colours);
        button->move(20, 20);
        button->setAuto(true);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QString makeFile(const QString &name, const QByteArray &content = {})
    {
        const QString path = folder.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    void click(QPoint at)
    {
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(button, Qt::LeftButton, {}, at);
    }

    QTemporaryDir folder;
    QWidget window;
    TExeButton *button = nullptr;
};

struct SizeCase
{
    bool largeIcon, showIcon, showLabel;
    QSize size;
};

void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << (c.largeIcon ? "large" : "small") << (c.showIcon ? " icon" : "")
        << (c.showLabel ? " label" : "");
}

class AutoSize : public ExeButtonTest, public ::testing::WithParamInterface<SizeCase>
{};

TEST_P(AutoSize, FitsIconAndLabel)
{
    button->setLargeIcon(GetParam().largeIcon);
    button->setShowIcon(GetParam().showIcon);
    button->setShowLabel(GetParam().showLabel);
    EXPECT_EQ(button->size(), GetParam().size);
    EXPECT_EQ(button->IconSize(), GetParam().largeIcon ? 32 : 16);
}

INSTANTIATE_TEST_SUITE_P(Flags, AutoSize,
                         ::testing::Values(SizeCase{true, true, true, {104, 40}},
                                           SizeCase{false, true, true, {88, 24}},
                                           SizeCase{true, false, true, {72, 40}},
                                           SizeCase{false, false, true, {72, 24}},
                                           SizeCase{true, true, false, {40, 40}},
                                           SizeCase{true, false, false, {40, 40}}));

struct NameCase
{
    const char *fileName;
    const char *caption;
    const char *filePath;
    const char *fileExt;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << QString::fromUtf8(c.fileName).replace(QLatin1Char('\\'), QLatin1Char('/')).toStdString();
}

class FileProperties : public ExeButtonTest, public ::testing::WithParamInterface<NameCase>
{};

TEST_P(FileProperties, DerivedFromTheFileName)
{
    button->setFileName(QString::fromUtf8(GetParam().fileName));
    EXPECT_EQ(button->Caption(), QString::fromUtf8(GetParam().caption));
    EXPECT_EQ(button->FilePath(), QString::fromUtf8(GetParam().filePath));
    EXPECT_EQ(button->FileExt(), QString::fromUtf8(GetParam().fileExt));
    EXPECT_EQ(button->targetPath(), QString::fromUtf8(GetParam().fileName));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileProperties,
    ::testing::Values(NameCase{"C:\\Tools\\Viewer.exe", "Viewer", "C:\\Tools\\", ".EXE"},
                      NameCase{"C:\\Links\\Editor.lnk", "Editor", "C:\\Links\\", ".LNK"},
                      NameCase{"/usr/bin/tool", "tool", "/usr/bin/", ""},
                      NameCase{"/opt/my.dir/README", "README", "/opt/my.dir/", ""},
                      NameCase{"C:notes.txt", "notes", "C:", ".TXT"},
                      NameCase{"archive.tar.gz", "archive.tar", "", ".GZ"},
                      NameCase{"/home/x/.profile", "", "/home/x/", ".PROFILE"}));

TEST_F(ExeButtonTest, SettingTheSameFileNameReloadsNothing)
{
    const QString path = makeFile(QStringLiteral("Viewer.exe"));
    button->setFileName(path);
    QPixmap mark(8, 8);
    mark.fill(Qt::red);
    const QIcon own(mark);
    button->setIcon(own);
    button->setCaption(QStringLiteral("Mine"));
    button->setFileName(path);
    EXPECT_EQ(button->Icon().cacheKey(), own.cacheKey());
    EXPECT_EQ(button->Caption(), QStringLiteral("Mine"));
    EXPECT_EQ(button->SmallIcon().size(), QSize(16, 16));
}

TEST_F(ExeButtonTest, TheLabelIsCentredInTheRoomRightOfTheIcon)
{
    button->setCaption(QStringLiteral("Ab"));
    int left = 0;
    EXPECT_EQ(button->shownCaption(&left), QStringLiteral("Ab"));
    const int width = QFontMetrics(button->font()).horizontalAdvance(QStringLiteral("Ab"));
    EXPECT_EQ(left, 4 + 32 + (64 - width) / 2);
    EXPECT_GE(left, 36);

    // Painted there: no ink left of it, none right of its room.
    const QImage image = button->grab().toImage();
    int first = image.width();
    int last = -1;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x)
            if ((image.pixel(x, y) | 0xFF000000) != face) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    EXPECT_GE(first, left - 1);
    EXPECT_LE(last, 36 + 64);
}

TEST_F(ExeButtonTest, ATooWideCaptionLosesItsEndAndShowsTwoDots)
{
    const QString caption = QStringLiteral("Photo-real texture seasoning tool");
    button->setCaption(caption);
    int left = 0;
    const QString shown = button->shownCaption(&left);
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".."))) << shown.toStdString();
    EXPECT_GT(shown.size(), 4);
    EXPECT_TRUE(caption.startsWith(shown.chopped(2)));
    EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(shown) + (left - 36), 64);
}

TEST_F(ExeButtonTest, WithNoRoomTheLabelShrinksToNothing)
{
    button->setAuto(false);
    button->setCaption(QStringLiteral("Editor"));
    for (const int width : {40, 20, 1}) {
        button->resize(width, 40);
        EXPECT_TRUE(button->shownCaption().isEmpty()) << width;
        button->grab(); // painting must end too
    }
}

struct FrameCase
{
    bool border, down;
    QRgb topLeft, bottomRight;
};

void PrintTo(const FrameCase &c, std::ostream *os)
{
    *os << (c.border ? "border" : "no border") << (c.down ? " down" : " up");
}

class FrameLook : public ExeButtonTest, public ::testing::WithParamInterface<FrameCase>
{};

TEST_P(FrameLook, DrawnWithBorderOrWhileDown)
{
    button->setBorder(GetParam().border);
    button->setDown(GetParam().down);
    const QImage image = button->grab().toImage();
    const int h = image.height();
    const int w = image.width();
    EXPECT_EQ(image.pixel(0, 5) | 0xFF000000, GetParam().topLeft);
    EXPECT_EQ(image.pixel(0, 0) | 0xFF000000, GetParam().topLeft);
    EXPECT_EQ(image.pixel(w - 1, 0) | 0xFF000000, GetParam().bottomRight);
    EXPECT_EQ(image.pixel(5, h - 1) | 0xFF000000, GetParam().bottomRight);
}

INSTANTIATE_TEST_SUITE_P(States, FrameLook,
                         ::testing::Values(FrameCase{true, false, midlight, shadow},
                                           FrameCase{true, true, shadow, midlight},
                                           FrameCase{false, true, shadow, midlight},
                                           FrameCase{false, false, face, face}));

TEST_F(ExeButtonTest, ASunkenButtonThatDoesNotLatchComesUpAfterOneClick)
{
    button->setDown(true);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button->Down());
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(button->Down());
}

TEST_F(ExeButtonTest, ALatchingButtonFlipsOnPressAndKeepsItOnRelease)
{
    button->setLatch(true);
    for (const bool expected : {true, false}) {
        click(QPoint(10, 10));
        EXPECT_EQ(button->Down(), expected);
    }
}

struct ReleaseCase
{
    QPoint at;
    bool clicked;
    bool opened;
};

void PrintTo(const ReleaseCase &c, std::ostream *os)
{
    *os << "at " << c.at.x() << "," << c.at.y();
}

class ReleasePoint : public ExeButtonTest, public ::testing::WithParamInterface<ReleaseCase>
{};

TEST_P(ReleasePoint, OnlyAReleaseStrictlyInsideOpensTheFile)
{
    ShellRecorder shell;
    QSignalSpy clicks(button, &TExeButton::OnClick);
    button->setFileName(makeFile(QStringLiteral("tools/Viewer.exe")));
    button->setAutoRun(true);
    ASSERT_EQ(button->size(), QSize(104, 40));
    click(GetParam().at);
    EXPECT_EQ(clicks.count(), GetParam().clicked ? 1 : 0);
    ASSERT_EQ(shell.requests.size(), GetParam().opened ? 1u : 0u);
    if (GetParam().opened) {
        EXPECT_EQ(shell.requests[0].target,
                  QUrl::fromLocalFile(folder.filePath("tools/Viewer.exe")));
        EXPECT_EQ(shell.requests[0].workingFolder, folder.filePath("tools"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Points, ReleasePoint,
    ::testing::Values(ReleaseCase{{52, 20}, true, true}, ReleaseCase{{1, 1}, true, true},
                      ReleaseCase{{103, 39}, true, true}, ReleaseCase{{0, 20}, true, false},
                      ReleaseCase{{52, 0}, true, false}, ReleaseCase{{104, 20}, false, false},
                      ReleaseCase{{52, 40}, false, false}, ReleaseCase{{-30, 20}, false, false}));

TEST_F(ExeButtonTest, TheClickIsRaisedBeforeTheFileOpens)
{
    ShellRecorder shell;
    std::size_t requestsAtClick = 99;
    QObject::connect(button, &TExeButton::OnClick,
                     [&] { requestsAtClick = shell.requests.size(); });
    button->setFileName(makeFile(QStringLiteral("Viewer.exe")));
    button->setAutoRun(true);
    click(QPoint(52, 20));
    EXPECT_EQ(requestsAtClick, 0u);
    EXPECT_EQ(shell.requests.size(), 1u);
}

// A shortcut to C:\TOOLS\VIEWER.EXE, working folder C:\Tools.
QByteArray viewerShortcut()
{
    fixtures::LinkOptions link;
    link.ansiBase = "C:\\TOOLS\\";
    link.ansiSuffix = "VIEWER.EXE";
    link.workingDir = QStringLiteral("C:\\Tools");
    return fixtures::buildLink(link);
}

class Shortcut : public ExeButtonTest
{
  protected:
    void SetUp() override
    {
        ExeButtonTest::SetUp();
        const QString prefix = folder.filePath(QStringLiteral("prefix"));
        QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
        QDir().mkpath(folder.filePath(QStringLiteral("drive_c/Tools")));
        ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("drive_c")),
                                prefix + QStringLiteral("/dosdevices/c:")));
        makeFile(QStringLiteral("drive_c/Tools/Viewer.exe"));
        qputenv("WINEPREFIX", prefix.toLocal8Bit());
        target = prefix + QStringLiteral("/dosdevices/c:/Tools/Viewer.exe");
    }
    void TearDown() override { qunsetenv("WINEPREFIX"); }

    QString target;
};

TEST_F(Shortcut, AnUpperOrLowerCaseLnkOpensItsTargetInItsWorkingFolder)
{
    for (const char *name : {"Editor.lnk", "Viewer.LNK"}) {
        ShellRecorder shell;
        button->setFileName(makeFile(QString::fromLatin1(name), viewerShortcut()));
        EXPECT_EQ(button->FileExt(), QStringLiteral(".LNK"));
        button->Execute();
        ASSERT_EQ(shell.requests.size(), 1u) << name;
        EXPECT_EQ(shell.requests[0].target, QUrl::fromLocalFile(target));
        EXPECT_EQ(shell.requests[0].workingFolder,
                  folder.filePath(QStringLiteral("prefix/dosdevices/c:/Tools")));
        EXPECT_EQ(button->targetPath(), target);
    }
}

TEST_F(Shortcut, AnotherExtensionOpensTheFileItself)
{
    ShellRecorder shell;
    const QString link = makeFile(QStringLiteral("Editor.lnk"), viewerShortcut());
    button->setFileName(link);
    button->setFileExt(QStringLiteral(".lnk"));
    button->Execute();
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].target, QUrl::fromLocalFile(link));
}

TEST_F(Shortcut, AShortcutThatCannotBeReadOpensNothing)
{
    ShellRecorder shell;
    button->setFileName(makeFile(QStringLiteral("Broken.lnk"), "not a shortcut"));
    button->Execute();
    button->setFileName(folder.filePath(QStringLiteral("Missing.lnk")));
    button->Execute();
    EXPECT_TRUE(shell.requests.empty());
}

TEST_F(Shortcut, ADrivePathOpensThroughTheWinePrefix)
{
    ShellRecorder shell;
    button->setFileName(QStringLiteral("c:\\tools\\viewer.exe"));
    button->Execute();
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].target, QUrl::fromLocalFile(target));
}

TEST_F(ExeButtonTest, AButtonWithoutFileOpensNothing)
{
    ShellRecorder shell;
    button->Execute();
    EXPECT_TRUE(shell.requests.empty());
}

} // namespace
