// The main window's layout: every control where the layout puts it, with its caption, and the
// window's own properties.
#include "FormFixture.h"

#include "about/AboutForm.h"
#include "controls/DriveComboBox.h"
#include "controls/NumEdit.h"
#include "controls/UpDown.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <QToolTip>

namespace {

struct ControlRow
{
    const char *name;
    int left, top, width, height;
    const char *caption; // nullptr: the control has no caption
    const char *parent;  // the control's parent, by name ("" for the window)
};

void PrintTo(const ControlRow &row, std::ostream *os)
{
    *os << row.name;
}

class LayoutTest : public FormFixture, public ::testing::WithParamInterface<ControlRow>
{};

TEST_P(LayoutTest, ControlSitsWhereTheLayoutPutsIt)
{
    const ControlRow &row = GetParam();
    TForm1 &window = makeForm();
    auto *control = window.findChild<QWidget *>(QString::fromLatin1(row.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(row.parent));
    EXPECT_EQ(control->pos(), QPoint(row.left, row.top));
    // Labels size themselves to their caption.
    if (!qobject_cast<QLabel *>(control) || qobject_cast<TImage *>(control)) {
        EXPECT_EQ(control->size(), QSize(row.width, row.height));
    }
    if (row.caption) {
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(control))
            text = label->text();
        else if (auto *group = qobject_cast<QGroupBox *>(control))
            text = group->title();
        EXPECT_EQ(text, QString::fromLatin1(row.caption));
    }
}

const ControlRow kRows[] = {
    {"Image1", 456, 296, 256, 256, nullptr, ""},
    {"Image2", 184, 32, 256, 256, nullptr, ""},
    {"Label1", 272, 300, 112, 13, "Snow Setting for Winter", ""},
    {"Label2", 272, 332, 86, 13, "Adjustment for Fall", ""},
    {"Image3", 456, 32, 256, 256, nullptr, ""},
    {"NumEdit1", 184, 296, 65, 21, nullptr, ""},
    {"UpDown1", 249, 296, 15, 21, nullptr, ""},
    {"Button3", 184, 8, 257, 25, "Create Winter Texture set", ""},
    {"Button5", 456, 8, 257, 25, "Create Fall Texture set", ""},
    {"NumEdit2", 184, 328, 65, 21, nullptr, ""},
    {"UpDown2", 249, 328, 15, 21, nullptr, ""},
    {"DriveComboBox1", 8, 8, 177, 19, nullptr, ""},
    {"DirectoryListBox1", 8, 32, 169, 105, nullptr, ""},
    {"FileListBox1", 8, 144, 169, 401, nullptr, ""},
    {"View", 184, 360, 81, 25, "Refresh", ""},
    {"GroupBox1", 280, 368, 161, 185, "Destination Folder", ""},
    {"DriveComboBox2", 24, 22, 121, 19, nullptr, "GroupBox1"},
    {"DirectoryListBox2", 24, 48, 121, 121, nullptr, "GroupBox1"},
    {"CreateSU", 184, 400, 89, 17, "Create SU", ""},
    {"HideAll", 184, 424, 89, 17, "Hide Conversion", ""},
    {"about", 192, 520, 73, 25, "About", ""},
};

INSTANTIATE_TEST_SUITE_P(MainWindow, LayoutTest, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FormFixture, WindowHasFixedSizeCaptionAndHiddenConversionBox)
{
    TForm1 &window = makeForm();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tessavane for FS2004 photo textures"));
    EXPECT_EQ(window.size(), QSize(725, 560));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    // 8 points at 96 dots per inch, in pixels as the layout is.
    EXPECT_EQ(window.font().pixelSize(), 11);
    EXPECT_FALSE(window.windowIcon().isNull());
    window.show();
    EXPECT_FALSE(window.HideAll->isVisible());
    EXPECT_FALSE(window.HideAll->isChecked());
    EXPECT_FALSE(window.CreateSU->isChecked());
    EXPECT_EQ(window.FileListBox1->Mask(), QStringLiteral("???????????????su.bmp"));
    EXPECT_EQ(window.save.filter, QStringLiteral("Windows Bitmap|*.bmp"));
    EXPECT_EQ(window.save.defaultExt, QStringLiteral("bmp"));
}

TEST_F(FormFixture, TheWindowIconIs32PixelsInAtMost16Colours)
{
    TForm1 &window = makeForm();
    const QIcon icon = window.windowIcon();
    EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(32, 32)}));
    const QImage image =
        icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                colours << image.pixel(x, y);
    EXPECT_LE(colours.size(), 16);
    EXPECT_GE(colours.size(), 3) << "a picture, not a plain square";
}

TEST_F(FormFixture, ReturnAndEnterPressTheFocusedButton)
{
    TForm1 &window = makeForm();
    window.showAboutModal = [](TAboutForm &) {};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (QPushButton *button : {window.Button3, window.Button5, window.View, window.about}) {
        int pressed = 0;
        const auto count = QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Space);
        QObject::disconnect(count);
        EXPECT_EQ(pressed, 3) << button->objectName().toStdString();
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormFixture, ControlsWhoseMeaningIsNotObviousExplainThemselvesOnHover)
{
    TForm1 &window = makeForm();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // What hovering over each control shows, by the words it must contain.
    const QList<std::pair<QWidget *, QStringList>> hints = {
        {window.NumEdit1, {"0 to 255", "Lower", "higher"}},
        {window.UpDown1, {"0 to 255"}},
        {window.NumEdit2, {"0 to 25", "higher"}},
        {window.UpDown2, {"0 to 25"}},
        {window.Button3, {"destination folder", "\"wi\""}},
        {window.Button5, {"destination folder", "\"fa\""}},
        {window.CreateSU, {"summer name"}},
        {window.View, {"previews", "adjustments"}},
        {window.Image2, {"Double-click", "save"}},
        {window.Image3, {"Double-click", "save"}},
        {window.DirectoryListBox2, {"Create Winter Texture set"}}};
    for (const auto &[control, words] : hints) {
        const QPoint at = control->rect().center();
        QHelpEvent hover(QEvent::ToolTip, at, control->mapToGlobal(at));
        QApplication::sendEvent(control, &hover);
        EXPECT_TRUE(QToolTip::isVisible()) << control->objectName().toStdString();
        const QString shown = QToolTip::text();
        for (const QString &word : words)
            EXPECT_TRUE(shown.contains(word))
                << control->objectName().toStdString() << ": " << shown.toStdString();
        QToolTip::hideText();
    }
}

TEST_F(FormFixture, TabOrderFollowsTheLayout)
{
    TForm1 &window = makeForm();
    const QList<QWidget *> order = {static_cast<QWidget *>(window.NumEdit1),
                                    window.UpDown1,
                                    window.Button3,
                                    window.Button5,
                                    window.NumEdit2,
                                    window.UpDown2,
                                    window.DriveComboBox1,
                                    window.DirectoryListBox1,
                                    window.FileListBox1,
                                    window.View,
                                    window.DriveComboBox2,
                                    window.DirectoryListBox2,
                                    window.CreateSU};
    // The focus chain also holds the controls' own inner widgets; the listed controls must
    // follow one another in it in this order.
    QList<QWidget *> chain;
    QWidget *widget = order.first();
    for (int steps = 0; steps < 200 && chain.size() < order.size(); ++steps) {
        if (order.contains(widget) && !chain.contains(widget))
            chain << widget;
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(chain, order);
}

TEST_F(FormFixture, NumberEditsHoldTheirLimitsAndArrowRanges)
{
    TForm1 &window = makeForm();
    EXPECT_EQ(window.NumEdit1->Max(), 255);
    EXPECT_EQ(window.NumEdit1->Min(), -1000);
    EXPECT_EQ(window.NumEdit2->Max(), 25);
    EXPECT_EQ(window.NumEdit2->Min(), -1000);
    EXPECT_FALSE(window.NumEdit1->AllowDecimal());
    EXPECT_FALSE(window.NumEdit1->AllowMinus());
    EXPECT_EQ(window.UpDown1->Min(), 0);
    EXPECT_EQ(window.UpDown1->Max(), 255);
    EXPECT_EQ(window.UpDown2->Min(), 0);
    EXPECT_EQ(window.UpDown2->Max(), 25);
}

} // namespace
