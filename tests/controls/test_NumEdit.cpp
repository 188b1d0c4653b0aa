// The numeric edit box: key filter, reading and writing Number, bounds, display format.
#include "controls/NumEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <tuple>

// Readable failure messages.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A key as the keyboard sends it: its code and the character it types.
struct Key
{
    Qt::Key key;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

Key typed(char c)
{
    return {c >= 'a' && c <= 'z' ? Qt::Key(Qt::Key_A + (c - 'a')) : Qt::Key(c),
            QString(QChar::fromLatin1(c))};
}

void press(QWidget *widget, const Key &key)
{
    QTest::sendKeyEvent(QTest::Press, widget, key.key, key.text, key.modifiers);
    QTest::sendKeyEvent(QTest::Release, widget, key.key, key.text, key.modifiers);
}

struct FilterCase
{
    const char *description;
    const char *before;
    int cursor; // caret position, or selection start when selected > 0
    int selected;
    bool allowMinus;
    bool allowDecimal;
    Key key;
    const char *after;
    int keyPressed;
};

void PrintTo(const FilterCase &c, std::ostream *out)
{
    *out << c.description;
}

class KeyFilterTest : public ::testing::TestWithParam<FilterCase>
{};

TEST_P(KeyFilterTest, FiltersTypedCharacter)
{
    const FilterCase &c = GetParam();
    QApplication::clipboard()->setText(QStringLiteral("99"));
    TNumEdit edit;
    edit.setAllowMinus(c.allowMinus);
    edit.setAllowDecimal(c.allowDecimal);
    edit.setText(QString::fromUtf8(c.before));
    if (c.selected > 0)
        edit.setSelection(c.cursor, c.selected);
    else
        edit.setCursorPosition(c.cursor);

    press(&edit, c.key);

    EXPECT_EQ(edit.text(), QString::fromUtf8(c.after));
    EXPECT_EQ(edit.KeyPressed(), c.keyPressed);
}

const Key kBackspace{Qt::Key_Backspace, "\b"};
const Key kReturn{Qt::Key_Return, "\r"};

INSTANTIATE_TEST_SUITE_P(
    Characters, KeyFilterTest,
    ::testing::Values(
        FilterCase{"digit", "12", 2, 0, false, false, typed('0'), "120", '0'},
        FilterCase{"backspace", "12", 2, 0, false, false, kBackspace, "1", 8},
        FilterCase{"minus not allowed", "12", 0, 0, false, false, typed('-'), "12", '-'},
        FilterCase{"point not allowed", "12", 2, 0, false, false, typed('.'), "12", '.'},
        FilterCase{"comma", "12", 2, 0, true, true, typed(','), "12", ','},
        FilterCase{"code above 127", "12", 2, 0, true, true, {Qt::Key_Eacute, "é"}, "12", -23},
        FilterCase{
            "Ctrl+V", "12", 2, 0, false, false, {Qt::Key_V, "\x16", Qt::ControlModifier}, "12", 22},
        FilterCase{"Delete edits", "12", 0, 0, false, false, {Qt::Key_Delete, ""}, "2", 0},
        FilterCase{"minus at the start", "5", 0, 0, true, false, typed('-'), "-5", '-'},
        FilterCase{"minus after a digit", "5", 1, 0, true, false, typed('-'), "5", '-'},
        FilterCase{"minus over a selection at the start", "12", 0, 2, true, false, typed('-'), "-",
                   '-'},
        FilterCase{"digit before leading minus", "-5", 0, 0, true, false, typed('3'), "-5", '3'},
        FilterCase{"Return before leading minus", "-5", 0, 0, true, false, kReturn, "-5", 13},
        FilterCase{"digit after leading minus", "-5", 1, 0, true, false, typed('3'), "-35", '3'},
        FilterCase{"digit over selected minus", "-5", 0, 1, true, false, typed('3'), "35", '3'},
        FilterCase{"first point", "12", 2, 0, false, true, typed('.'), "12.", '.'},
        FilterCase{"point over the selected point", "12.5", 2, 2, false, true, typed('.'), "12.5",
                   '.'},
        FilterCase{"Escape", "12", 2, 0, false, false, {Qt::Key_Escape, "\x1b"}, "12", 27},
        FilterCase{"Ctrl+[",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_BracketLeft, "\x1b", Qt::ControlModifier},
                   "12",
                   27},
        FilterCase{"Ctrl+\\",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_Backslash, "\x1c", Qt::ControlModifier},
                   "12",
                   28},
        FilterCase{"Ctrl+]",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_BracketRight, "\x1d", Qt::ControlModifier},
                   "12",
                   29},
        FilterCase{"Ctrl+^",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_AsciiCircum, "\x1e", Qt::ControlModifier},
                   "12",
                   30},
        FilterCase{"Ctrl+_",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_Underscore, "\x1f", Qt::ControlModifier},
                   "12",
                   31},
        FilterCase{"Ctrl+H deletes as Backspace",
                   "12",
                   2,
                   0,
                   false,
                   false,
                   {Qt::Key_H, "\b", Qt::ControlModifier},
                   "1",
                   8},
        FilterCase{"Ctrl+H over a selection",
                   "123",
                   0,
                   2,
                   false,
                   false,
                   {Qt::Key_H, "\b", Qt::ControlModifier},
                   "3",
                   8}));

TEST(NumEdit, EscapeIsRecordedAndStillReachesTheDialog)
{
    QDialog dialog;
    auto *edit = new TNumEdit(&dialog);
    dialog.show();
    edit->setFocus();
    press(edit, typed('7'));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(edit->KeyPressed(), 27);
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_FALSE(dialog.isVisible()); // Escape closed it
}

TEST(NumEdit, ControlShortcutsAreDiscarded)
{
    TNumEdit edit;
    press(&edit, typed('3'));
    press(&edit, {Qt::Key_Z, "", Qt::ControlModifier}); // undo would empty the box
    edit.selectAll();
    press(&edit, {Qt::Key_X, "\x18", Qt::ControlModifier});
    EXPECT_EQ(edit.text(), QStringLiteral("3"));
    EXPECT_EQ(edit.KeyPressed(), 24);
}

struct ReadCase
{
    QString text;
    double number;
    QString textAfter;
};

TEST(NumEdit, NumberParsesTheTextAsItStands)
{
    const QString zeros(259, u'0'); // texts beyond 255 characters are read whole
    for (const ReadCase &c :
         {ReadCase{"", 0, ""}, ReadCase{"300", 300, "300"}, ReadCase{"12.75", 12.75, "12.75"},
          ReadCase{"1,000", 1000, "1000"}, ReadCase{"1,000,000", 1000, "1000,000"},
          ReadCase{"  12abc", 12, "  12abc"}, ReadCase{"-.5", -0.5, "-.5"},
          ReadCase{"1e+", 1, "1e+"}, ReadCase{"inf", 0, "inf"}, ReadCase{"0x10", 0, "0x10"},
          ReadCase{zeros + "5", 5, zeros + "5"},
          ReadCase{QString(400, u'9'), kInf, QString(400, u'9')}}) {
        TNumEdit edit;
        edit.setMax(255);
        edit.setText(c.text);
        EXPECT_EQ(edit.Number(), c.number) << c.text.left(12).toStdString();
        EXPECT_EQ(edit.text(), c.textAfter);
    }
}

struct ShowCase
{
    bool decimals;
    double written;
    const char *shown;
};

// Writing Number: clamped to -1000..1000, rounded unless decimals are allowed, shown in
// general format.
TEST(NumEdit, NumberWritesClampRoundAndFormat)
{
    for (const ShowCase &c :
         {ShowCase{false, 12.5, "13"}, ShowCase{false, -2.5, "-2"}, ShowCase{false, -2.7, "-3"},
          ShowCase{false, 2000, "1000"}, ShowCase{false, std::nan(""), "0"},
          ShowCase{true, 105, "105"}, ShowCase{true, 12.5, "12.5"}, ShowCase{true, -0.0, "0"},
          ShowCase{true, 1e-5, "1E-5"}, ShowCase{true, 0.0001, "0.0001"},
          ShowCase{true, 1.0 / 3, "0.333333333333333"}, ShowCase{true, 0.1 + 0.2, "0.3"},
          ShowCase{true, -5000, "-1000"}}) {
        TNumEdit edit;
        edit.setAllowDecimal(c.decimals);
        edit.setNumber(c.written);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.shown))
            << c.written << (c.decimals ? " with decimals" : "");
    }
}

TEST(NumEdit, GeneralFormatOfLargeValues)
{
    EXPECT_EQ(TNumEdit::formatGeneral(2.5e15), QStringLiteral("2.5E15"));
    EXPECT_EQ(TNumEdit::formatGeneral(123456789012345), QStringLiteral("123456789012345"));
    EXPECT_EQ(TNumEdit::formatGeneral(1e15), QStringLiteral("1E15"));
    EXPECT_EQ(TNumEdit::formatGeneral(999999999999999.5), QStringLiteral("1E15"));
}

TEST(NumEdit, BoundAndFlagWrites)
{
    TNumEdit edit;
    edit.setNumber(300);
    edit.setText(QStringLiteral("42")); // typed text gives way to the stored value
    edit.setMax(255.5);                 // clamped, not rounded
    EXPECT_EQ(edit.text(), QStringLiteral("255.5"));
    edit.setMin(300); // would cross Max: ignored
    edit.setMax(-2000);
    EXPECT_EQ(edit.Min(), -1000);
    EXPECT_EQ(edit.Max(), 255.5);

    edit.setAllowMinus(true);
    edit.setNumber(-500);
    edit.setAllowMinus(false); // the magnitude, unchecked against Max
    EXPECT_EQ(edit.text(), QStringLiteral("500"));
    edit.setAllowDecimal(true);
    edit.setNumber(12.5);
    QSignalSpy textChanges(&edit, &QLineEdit::textChanged);
    edit.setMin(0); // the same value shown again: no change event
    EXPECT_EQ(textChanges.count(), 0);
    edit.setAllowDecimal(false);
    EXPECT_EQ(edit.text(), QStringLiteral("13"));
}

TEST(NumEdit, ValidatingBringsTextIntoRangeWithoutRounding)
{
    for (const auto &[text, min, shown] :
         {std::tuple{"007", -1000, "7"}, std::tuple{"300", -1000, "255"},
          std::tuple{"", -1000, "0"}, std::tuple{"", 5, "5"}, std::tuple{"-5", -1000, "-5"},
          std::tuple{"12.7", -1000, "12.7"}}) {
        TNumEdit edit;
        edit.setMax(255);
        edit.setMin(min);
        edit.setText(QString::fromLatin1(text));
        edit.ValidateNumber();
        EXPECT_EQ(edit.text(), QString::fromLatin1(shown)) << '"' << text << "\" from " << min;
    }
}

TEST(NumEdit, ReturnAndTabValidateAndMoveOn)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *first = new TNumEdit;
    auto *second = new TNumEdit;
    layout->addWidget(first);
    layout->addWidget(second);
    first->setMax(255);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    first->setFocus();
    first->setText(QStringLiteral("300"));
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(first->text(), QStringLiteral("255"));
    EXPECT_TRUE(second->hasFocus());

    second->setText(QStringLiteral("007"));
    QTest::keyClick(second, Qt::Key_Tab);
    EXPECT_EQ(second->text(), QStringLiteral("7"));
    EXPECT_EQ(second->KeyPressed(), 9);
    EXPECT_TRUE(first->hasFocus());
}

TEST(NumEdit, OwnDisplayReadsBackUnderCommaDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TNumEdit edit;
    edit.setAllowDecimal(true);
    edit.setNumber(12.5);
    EXPECT_EQ(edit.text(), QStringLiteral("12,5"));
    EXPECT_EQ(edit.Number(), 12.5);
    edit.ValidateNumber();
    EXPECT_EQ(edit.text(), QStringLiteral("12,5"));
    edit.setText(QStringLiteral("1,000")); // not the box's own display: the comma goes
    EXPECT_EQ(edit.Number(), 1000);
    QLocale::setDefault(QLocale::c());
}

} // namespace
