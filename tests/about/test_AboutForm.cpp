// The About dialog: its layout, the version label, the sorted library rows and descriptions,
// repeated showings, and the website and contact buttons.
#define QTEST_QPA_MOUSE_HANDLING
#include "about/AboutForm.h"

#include "controls/ExeButtn.h"
#include "controls/mbutton.h"
#include "platform/AppTitle.h"
#include "platform/ShellOpen.h"

#include "../platform/VersionFixtures.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class AboutFormTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        m_previousShell = platform::setShellOpenHandler(
            [this](const platform::ShellRequest &r) { opened.push_back(r.target); });
        // Only the libraries a test provides are found.
        form.findLibrary = [this](const QString &name) { return libraries.value(name); };
    }
    void TearDown() override { platform::setShellOpenHandler(m_previousShell); }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString versionedFile(const QString &name, std::uint32_t ms, std::uint32_t ls)
    {
        fixtures::PeOptions options;
        options.productMS = ms;
        options.productLS = ls;
        return writeFile(name, fixtures::buildPe(options));
    }
    QStringList rows() const
    {
        QStringList texts;
        for (int i = 0; i < form.ListBox1->count(); ++i)
            texts << form.ListBox1->item(i)->text();
        return texts;
    }

    QTemporaryDir folder;
    QHash<QString, QString> libraries;
    std::vector<QUrl> opened;
    TAboutForm form;

  private:
    platform::ShellOpenHandler m_previousShell;
};

// --- Layout ---------------------------------------------------------------------------------

struct Place
{
    const char *control;
    const char *parent;
    QRect geometry;
};

void PrintTo(const Place &p, std::ostream *os)
{
    *os << p.control;
}

class Layout : public AboutFormTest, public ::testing::WithParamInterface<Place>
{};

TEST_P(Layout, ControlsSitWhereTheLayoutPutsThem)
{
    const auto *control = form.findChild<QWidget *>(QLatin1String(GetParam().control));
    ASSERT_TRUE(control);
    EXPECT_EQ(control->parentWidget()->objectName(), QLatin1String(GetParam().parent));
    EXPECT_EQ(control->geometry(), GetParam().geometry);
}

INSTANTIATE_TEST_SUITE_P(Controls, Layout,
                         ::testing::Values(Place{"PageControl1", "AboutForm", {0, 0, 494, 324}},
                                           Place{"ExeButton1", "TabSheet1", {24, 24, 104, 40}},
                                           Place{"Label1", "TabSheet1", {24, 80, 225, 185}},
                                           Place{"Memo3", "TabSheet2", {8, 16, 217, 145}},
                                           Place{"MButton3", "TabSheet2", {56, 184, 49, 41}},
                                           Place{"MButton2", "TabSheet2", {112, 184, 49, 41}},
                                           Place{"Label11", "TabSheet4", {8, 8, 217, 41}},
                                           Place{"ListBox1", "TabSheet4", {8, 56, 217, 113}},
                                           Place{"Label3", "TabSheet4", {8, 176, 217, 57}},
                                           Place{"MButton4", "TabSheet4", {16, 240, 49, 41}},
                                           Place{"Label12", "TabSheet4", {80, 248, 193, 33}},
                                           Place{"ListBox2", "TabSheet4", {400, 8, 49, 41}},
                                           Place{"Memo2", "TabSheet3", {16, 8, 217, 225}},
                                           Place{"MButton1", "AboutForm", {272, 72, 145, 145}},
                                           Place{"Button1", "AboutForm", {296, 240, 105, 25}}));

TEST_F(AboutFormTest, TheDialogIsAFixedWindowWithFourPagesInOrder)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("About "));
    EXPECT_EQ(form.minimumSize(), QSize(494, 324));
    EXPECT_EQ(form.maximumSize(), QSize(494, 324));
    EXPECT_FALSE(form.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.font().pixelSize(), 11);
    const QFontMetrics fixed(form.ListBox1->font()); // the version column lines up
    EXPECT_EQ(fixed.horizontalAdvance(QLatin1Char('i')), fixed.horizontalAdvance(QLatin1Char('W')));
    ASSERT_EQ(form.PageControl1->count(), 4);
    const QStringList pages{"Program", "Kestrava", "DLLs", "Copyrights"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form.PageControl1->tabText(i), pages[i]);
    EXPECT_EQ(form.MButton1->Bitmap().size(), QSize(134, 137));
    EXPECT_EQ(form.MButton3->Bitmap().size(), QSize(40, 32));
    EXPECT_EQ(form.MButton2->Bitmap().size(), QSize(40, 32));
    EXPECT_EQ(form.Memo3->document()->blockCount(), 10);
    EXPECT_EQ(form.Memo2->document()->blockCount(), 20);
}

TEST_F(AboutFormTest, FixedLabelsAndMemosHoldTheirWholeText)
{
    form.setHelpText(QStringLiteral(
        "Program for creating variably 'seasoned' textures from photoreal textures in FS2004\n\n"
        "Double-click a season image to save individually\n\n"
        "Use the Adjustments to vary the amount of Snow or Browning"));
    form.show();
    auto fits = [](const QLabel *label) {
        return label->heightForWidth(label->width()) <= label->height();
    };
    EXPECT_TRUE(fits(form.Label1));
    EXPECT_TRUE(fits(form.Label11));
    EXPECT_TRUE(fits(form.Label12));
    for (int row = 0; row < form.ListBox1->count(); ++row) {
        form.ListBox1->setCurrentRow(row);
        EXPECT_TRUE(fits(form.Label3)) << form.Label3->text().toStdString();
    }
    for (QPlainTextEdit *memo : {form.Memo3, form.Memo2}) {
        form.PageControl1->setCurrentWidget(memo->parentWidget());
        QCoreApplication::processEvents();
        const int room = memo->viewport()->width() - 2 * int(memo->document()->documentMargin());
        const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
        for (const QString &line : lines)
            EXPECT_LE(memo->fontMetrics().horizontalAdvance(line), room) << line.toStdString();
    }
    EXPECT_LE(form.Memo3->document()->blockCount() * form.Memo3->fontMetrics().lineSpacing(),
              form.Memo3->height());
}

TEST_F(AboutFormTest, LabelsShowTheirTextsAsWrittenNeverAsMarkup)
{
    form.setHelpText(QStringLiteral("<b>old</b> tiles in <i>tiles"));
    form.show();
    EXPECT_EQ(form.Label1->text(), QStringLiteral("<b>old</b> tiles in <i>tiles"));
    for (const QLabel *label : form.findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    // Shown as plain text the tags take room; read as markup they would vanish.
    EXPECT_GT(
        form.Label1->sizeHint().width(),
        QFontMetrics(form.Label1->font()).horizontalAdvance(QStringLiteral("old tiles in tiles")));
}

TEST_F(AboutFormTest, PictureButtonsShowThePageAroundTheirPictures)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseMove(&form, QPoint(480, 300)); // no button hovered
    // A point of each button outside its picture and frame, or in the corner of a picture
    // (40 x 32, centred) that is not part of its drawing, and a point of the page just left
    // of the button: both must show the same colour.
    const QList<std::tuple<int, QWidget *, QPoint>> points = {
        {0, form.MButton1, QPoint(1, 1)},
        {0, form.ExeButton1, QPoint(form.ExeButton1->width() - 3, 2)},
        {1, form.MButton3, QPoint(1, 1)},
        {1, form.MButton2, QPoint(1, 1)},
        {1, form.MButton3, QPoint(4, 4)},
        {1, form.MButton2, QPoint(4, 4)},
        {2, form.MButton4, QPoint(4, 4)}};
    for (const auto &[page, button, inside] : points) {
        form.PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        const QImage shot = form.grab().toImage();
        const QPoint at = button->mapTo(&form, inside);
        const QPoint beside = button->mapTo(&form, QPoint(-3, inside.y()));
        EXPECT_EQ(QColor(shot.pixel(at)), QColor(shot.pixel(beside)))
            << button->objectName().toStdString();
    }
}

TEST_F(AboutFormTest, TheProgramButtonShowsTheApplicationSunken)
{
    EXPECT_EQ(form.ExeButton1->Caption(),
              platform::applicationTitle(QCoreApplication::applicationFilePath()));
    EXPECT_TRUE(form.ExeButton1->Down());
    EXPECT_TRUE(form.ExeButton1->Auto());
    EXPECT_FALSE(form.ExeButton1->Icon().isNull());
    EXPECT_TRUE(form.helpText().isEmpty());
    EXPECT_TRUE(form.Label2->text().isEmpty());
}

// --- Version label --------------------------------------------------------------------------

// The major version, two literal zeros, then the whole low dword.
TEST_F(AboutFormTest, TheVersionLabelShowsMajorThenZerosThenTheWholeLowDword)
{
    for (const auto &[ms, ls, label] :
         {std::tuple{0x00040000u, 123u, "Version 4.00.123"},
          std::tuple{0x00010002u, 0x00030004u, "Version 1.00.196612"}}) {
        form.executablePath = versionedFile(QStringLiteral("Tessavane.exe"), ms, ls);
        form.show();
        EXPECT_EQ(form.Label2->text(), QString::fromLatin1(label));
        EXPECT_EQ(form.Label2->pos(), QPoint(136, 36));
        EXPECT_EQ(form.Label2->width(), form.Label2->sizeHint().width());
        form.hide();
    }
}

TEST_F(AboutFormTest, AnExecutableWithoutVersionLeavesTheLabelAsItWas)
{
    form.executablePath = folder.filePath(QStringLiteral("missing"));
    form.show();
    EXPECT_TRUE(form.Label2->text().isEmpty());
    form.hide();
    form.executablePath = versionedFile(QStringLiteral("a.exe"), 0x00040000, 123);
    form.show();
    form.hide();
    form.executablePath = writeFile(QStringLiteral("b.exe"), "no version here");
    form.show();
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Version 4.00.123"));
}

TEST_F(AboutFormTest, TheRunningProgramReportsItsEmbeddedVersion)
{
    TAboutForm own;
    own.show();
    const QString expected =
        QStringLiteral("Version %1.00.%2")
            .arg(TESSAVANE_VERSION_MAJOR)
            .arg(std::int32_t((TESSAVANE_VERSION_PATCH << 16) | TESSAVANE_VERSION_TWEAK));
    EXPECT_EQ(own.Label2->text(), expected);
}

// --- Library rows ---------------------------------------------------------------------------

TEST_F(AboutFormTest, AMissingLibraryGivesAPaddedNotFoundRow)
{
    form.show();
    const QStringList texts = rows();
    ASSERT_EQ(texts.size(), 10);
    EXPECT_TRUE(texts.contains(QStringLiteral("ktdds.dll") + QStringLiteral("   ") +
                               QStringLiteral(" -   Not found")));
    for (const QString &row : texts) {
        EXPECT_EQ(row.size(), 26) << row.toStdString();
        EXPECT_EQ(row.indexOf(QStringLiteral(" -   ")), 12) << row.toStdString();
    }
}

TEST_F(AboutFormTest, FoundLibrariesShowTheirVersionInTheSameColumn)
{
    libraries[QStringLiteral("kovar.dll")] =
        versionedFile(QStringLiteral("libkovar.so"), 0x00040000, 123);
    libraries[QStringLiteral("ktacevb.dll")] =
        versionedFile(QStringLiteral("ktacevb.dll"), 0x00010002, 0x00030004);
    libraries[QStringLiteral("ktpng.dll")] = writeFile(QStringLiteral("ktpng.dll"), "no version");
    form.show();
    const QStringList texts = rows();
    EXPECT_TRUE(texts.contains(QStringLiteral("kovar.dll    -   4.00.123")));
    EXPECT_TRUE(texts.contains(QStringLiteral("ktacevb.dll  -   1.00.196612")));
    EXPECT_TRUE(texts.contains(QStringLiteral("ktpng.dll    -   Not found")));
}

TEST_F(AboutFormTest, RowsAndDescriptionsComeOutSortedAndPaired)
{
    form.show();
    const QStringList order{"kovar.dll", "kovar24.dll", "kovarvb.dll", "ktace.dll",  "ktacevb.dll",
                            "ktdds.dll", "ktddsvb.dll", "ktpng.dll",   "kttiff.dll", "kttwack.dll"};
    ASSERT_EQ(form.ListBox1->count(), 10);
    ASSERT_EQ(form.ListBox2->count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(form.ListBox1->item(i)->text().startsWith(order[i] + QLatin1Char(' ')));
        EXPECT_TRUE(form.ListBox2->item(i)->text().startsWith(order[i] + QLatin1Char('\n')));
    }
    EXPECT_FALSE(form.ListBox2->isVisible());
}

TEST_F(AboutFormTest, ClickingTheThirdRowDescribesKovarvb)
{
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet4);
    QListWidget *list = form.ListBox1;
    const QRect third = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(form.Label3->text(),
              QStringLiteral("kovarvb.dll\n\nVisual Basic interface to kovar.dll\n"
                             "Required by VB programs using the dll "));
}

TEST_F(AboutFormTest, WithNothingSelectedAClickChangesNothing)
{
    form.show();
    form.ListBox1->setCurrentRow(5);
    const QString shown = form.Label3->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("ktdds.dll\n\n")));
    form.ListBox1->clearSelection();
    form.ListBox1Click();
    EXPECT_EQ(form.Label3->text(), shown);
}

TEST_F(AboutFormTest, ShowingAgainRebuildsTheListsAndKeepsPageAndDescription)
{
    form.setHelpText(QStringLiteral("First help"));
    form.show();
    form.PageControl1->setCurrentIndex(2);
    form.ListBox1->setCurrentRow(0);
    const QString description = form.Label3->text();
    form.hide();
    libraries[QStringLiteral("kttiff.dll")] =
        versionedFile(QStringLiteral("kttiff.dll"), 0x00020000, 5);
    form.setHelpText(QStringLiteral("Second help"));
    form.show();
    EXPECT_EQ(form.ListBox1->count(), 10);
    EXPECT_EQ(form.ListBox2->count(), 10);
    EXPECT_TRUE(rows().contains(QStringLiteral("kttiff.dll   -   2.00.5")));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Second help"));
    EXPECT_EQ(form.PageControl1->currentIndex(), 2);
    EXPECT_EQ(form.Label3->text(), description);
}

TEST_F(AboutFormTest, ALongerNameIsNeverPaddedNegatively)
{
    form.AddLibraryRow(QStringLiteral("kovarextra.dll"), QStringLiteral("kovarextra.dll\n\nx"));
    EXPECT_EQ(form.ListBox1->item(0)->text(), QStringLiteral("kovarextra.dll -   Not found"));
}

// --- Closing and the maker's addresses ------------------------------------------------------

TEST_F(AboutFormTest, ModalShowingsEndWithCancelAndCanBeRepeated)
{
    form.setHelpText(QStringLiteral("Help"));
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, &form, [this] {
            EXPECT_EQ(form.Label1->text(), QStringLiteral("Help"));
            QTest::mouseClick(form.Button1, Qt::LeftButton);
        });
        EXPECT_EQ(form.exec(), QDialog::Rejected);
        EXPECT_EQ(form.ListBox1->count(), 10);
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(AboutFormTest, ReturnOrEnterOnTheFocusedCloseButtonClosesTheDialog)
{
    for (const auto &[key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                         std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        QTimer::singleShot(0, &form, [&, key = key, modifiers = modifiers] {
            form.Button1->setFocus();
            QTest::keyClick(form.Button1, key, modifiers);
        });
        EXPECT_EQ(form.exec(), QDialog::Rejected);
    }
    EXPECT_TRUE(opened.empty());
}

struct AddressCase
{
    const char *button;
    TMButton *TAboutForm::*control;
    int page;
    bool mail;
};

void PrintTo(const AddressCase &c, std::ostream *os)
{
    *os << c.button;
}

class AddressButton : public AboutFormTest, public ::testing::WithParamInterface<AddressCase>
{};

TEST_P(AddressButton, OpensTheAddressAndClosesTheDialog)
{
    form.show();
    form.PageControl1->setCurrentIndex(GetParam().page);
    TMButton *button = form.*(GetParam().control);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseMove(button, QPoint(20, 20));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_EQ(opened.size(), 1u);
    const QUrl expected(GetParam().mail ? TAboutForm::contactAddress()
                                        : TAboutForm::websiteAddress());
    EXPECT_EQ(opened[0], expected);
    EXPECT_EQ(opened[0].scheme(), QString::fromLatin1(GetParam().mail ? "mailto" : "https"));
    EXPECT_TRUE(opened[0].toString().contains(QStringLiteral("example.com")));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

INSTANTIATE_TEST_SUITE_P(Buttons, AddressButton,
                         ::testing::Values(AddressCase{"MButton3", &TAboutForm::MButton3, 1, false},
                                           AddressCase{"MButton4", &TAboutForm::MButton4, 2, false},
                                           AddressCase{"MButton2", &TAboutForm::MButton2, 1,
                                                       true}));

TEST_F(AboutFormTest, ThePictureOpensNothing)
{
    form.show();
    QTest::mouseClick(form.MButton1, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(form.isVisible());
}

} // namespace
