// Up-down arrows bound to an edit box: stepping, bounds, keys, auto-repeat.
#include "controls/NumEdit.h"
#include "controls/UpDown.h"

#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct StepCase
{
    int min;
    int max;
    bool wrap;
    const char *start;
    int steps; // positive: up, negative: down
    const char *after;
};

TEST(UpDown, StepsFromTheEditText)
{
    for (const StepCase &c : {
             StepCase{0, 255, false, "105", +1, "106"},
             StepCase{0, 255, false, "254", +3, "255"},
             StepCase{0, 25, false, "10", -20, "0"},
             // Text that is not a whole number in range: its leading number,
             // brought into range, then stepped.
             StepCase{0, 255, false, "300", -1, "254"},
             StepCase{0, 255, false, "-5", +1, "1"},
             StepCase{0, 255, false, "12.9abc", +1, "13"},
             StepCase{0, 255, false, "", -1, "0"},
             StepCase{0, 255, false, "99999999999999999999", -1, "254"},
             StepCase{0, 25, true, "25", +1, "0"},
             StepCase{0, 25, true, "0", -1, "25"},
             // From 1000 on with thousands grouping, read back as well.
             StepCase{0, 2000, false, "999", +1, "1,000"},
             StepCase{0, 2000, false, "1,000", -1, "999"},
             StepCase{-2000, 0, false, "-999", -1, "-1,000"},
         }) {
        TNumEdit edit;
        edit.setMax(5); // the box's own bounds play no part
        TUpDown upDown;
        upDown.setMin(c.min);
        upDown.setMax(c.max);
        upDown.setWrap(c.wrap);
        upDown.setAssociate(&edit);
        edit.setText(QString::fromLatin1(c.start));
        for (int i = 0; i < std::abs(c.steps); ++i)
            upDown.step(c.steps > 0 ? +1 : -1);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.after))
            << '"' << c.start << "\" by " << c.steps << " in " << c.min << ".." << c.max
            << (c.wrap ? " wrapping" : "");
    }
}

TEST(UpDown, BindingShowsPositionAndArrowKeysStep)
{
    TNumEdit edit;
    TUpDown upDown;
    upDown.setMax(25);
    upDown.setPosition(10);
    upDown.setAssociate(&edit);
    EXPECT_EQ(edit.text(), QStringLiteral("10"));
    QTest::keyClick(&edit, Qt::Key_Up);
    QTest::keyClick(&edit, Qt::Key_Up);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), QStringLiteral("11"));
    EXPECT_EQ(edit.Number(), 11);
    upDown.setArrowKeys(false);
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), QStringLiteral("11"));
}

struct HoldCase
{
    const char *button;
    int max;
    const char *start;
    QStringList seen;
};

void PrintTo(const HoldCase &c, std::ostream *out)
{
    *out << c.button << " from " << c.start << " to " << c.max;
}

class HoldTest : public ::testing::TestWithParam<HoldCase>
{};

// Holding an arrow repeats the step, one at a time, and stops at the end of the range.
TEST_P(HoldTest, HeldArrowStepsByOne)
{
    const HoldCase &c = GetParam();
    TNumEdit edit;
    TUpDown upDown;
    upDown.setMax(c.max);
    upDown.setAssociate(&edit);
    edit.setText(QString::fromLatin1(c.start));
    auto *button = upDown.findChild<QToolButton *>(QString::fromLatin1(c.button));
    ASSERT_NE(button, nullptr);
    button->setAutoRepeatDelay(30);
    button->setAutoRepeatInterval(10);
    upDown.resize(15, 21);
    upDown.show();

    QStringList seen;
    QObject::connect(&edit, &QLineEdit::textChanged, [&](const QString &t) { seen.append(t); });
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() >= c.seen.size(); }, 10000));
    QTest::qWait(100); // held at the end of the range: nothing more
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_EQ(seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Arrows, HoldTest,
    ::testing::Values(HoldCase{"up", 255, "250", {"251", "252", "253", "254", "255"}},
                      HoldCase{"down", 25, "3", {"2", "1", "0"}}));

} // namespace
