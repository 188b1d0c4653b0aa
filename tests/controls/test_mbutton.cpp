// TMButton driven with real mouse events through its window: picture placement, frame looks
// on screen, latch, rocker halves, hover capture and the drop-down menu.
#define QTEST_QPA_MOUSE_HANDLING
#include "controls/mbutton.h"

#include "platform/Error.h"
#include "platform/ErrorSink.h"

#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <ostream>

namespace {

const QRgb face = qRgb(200, 40, 40);
const QRgb dark = qRgb(0, 0, 160);
const QRgb light = qRgb(0, 220, 0);
const QRgb paint = qRgb(250, 250, 0);

using Frame = std::array<QRgb, 8>; // one sample of each half edge, c1 to c8
const Frame raised = {light, light, light, light, dark, dark, dark, dark};
const Frame sunken = {dark, dark, dark, dark, light, light, light, light};
const Frame hidden = {face, face, face, face, face, face, face, face};

// What the screen shows of the widget: the window's backing store, which keeps the look of
// the last synchronous repaint (unlike QWidget::grab, which paints afresh).
QImage shown(const QWidget *widget)
{
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    return widget->screen()
        ->grabWindow(widget->window()->winId(), at.x(), at.y(), widget->width(), widget->height())
        .toImage();
}

Frame frameOf(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    auto at = [&](int x, int y) { return image.pixel(x, y) | 0xFF000000; };
    return {at(0, h - 5), at(0, 5),         at(5, 0),         at(w - 5, 0),
            at(w - 1, 5), at(w - 1, h - 5), at(w - 5, h - 1), at(5, h - 1)};
}

QImage solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class MButtonTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        window.resize(300, 300);
        button = new TMButton(&window);
        button->setGeometry(50, 50, 49, 41);
        button->setColor(QColor(face));
        button->setColorDark(QColor(dark));
        button->setColorLight(QColor(light));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // Start with the pointer away from the button: a move to where the pointer already
        // is would not be delivered.
        QTest::mouseMove(&window, QPoint(250, 250));
    }

    void press(Qt::MouseButton b, QPoint at = {10, 10}) { QTest::mousePress(button, b, {}, at); }
    void release(Qt::MouseButton b, QPoint at = {10, 10})
    {
        QTest::mouseRelease(button, b, {}, at);
    }
    void moveTo(QPoint at) { QTest::mouseMove(button, at); }

    QWidget window;
    TMButton *button = nullptr;
};

struct Placement
{
    QSize button;
    QSize picture;
    bool stretch;
    QRect expected;
};

void PrintTo(const Placement &p, std::ostream *os)
{
    *os << p.picture.width() << "x" << p.picture.height() << " in " << p.button.width() << "x"
        << p.button.height() << (p.stretch ? " stretched" : "");
}

class PicturePlacement : public MButtonTest, public ::testing::WithParamInterface<Placement>
{};

TEST_P(PicturePlacement, PictureFillsExactlyItsRectangle)
{
    const Placement &p = GetParam();
    button->resize(p.button);
    button->setStretch(p.stretch);
    button->setBitmap(solid(p.picture.width(), p.picture.height(), paint));
    const QImage image = button->grab().toImage();
    const QRect r = p.expected;
    for (const QPoint inside : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        EXPECT_EQ(image.pixel(inside), paint) << inside.x() << "," << inside.y();
    for (const QPoint outside : {r.topLeft() - QPoint(1, 0), r.topLeft() - QPoint(0, 1),
                                 r.bottomRight() + QPoint(1, 0), r.bottomRight() + QPoint(0, 1)})
        EXPECT_NE(image.pixel(outside), paint) << outside.x() << "," << outside.y();
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PicturePlacement,
    ::testing::Values(Placement{{49, 41}, {40, 32}, false, QRect(4, 4, 40, 32)},
                      Placement{{145, 145}, {134, 137}, false, QRect(5, 4, 134, 137)},
                      Placement{{49, 41}, {40, 32}, true, QRect(2, 2, 35, 35)},
                      Placement{{49, 41}, {8, 8}, true, QRect(2, 2, 35, 35)}));

TEST_F(MButtonTest, APictureLargerThanTheButtonIsCentredAndCut)
{
    button->setStretch(false);
    QImage picture = solid(60, 50, paint);
    picture.setPixel(5, 4,
                     qRgb(1, 2, 3)); // lands on (0, 0): (49 - 60) / 2 = -5, (41 - 50) / 2 = -4
    button->setBitmap(picture);
    EXPECT_EQ(button->grab().toImage().pixel(0, 0), qRgb(1, 2, 3));
}

TEST_F(MButtonTest, AnEmptyBitmapDrawsOnlyTheFrame)
{
    const QImage image = button->grab().toImage();
    EXPECT_EQ(frameOf(image), raised);
    EXPECT_EQ(image.pixel(24, 20), face);
}

TEST_F(MButtonTest, TheBitmapIsAnOpaqueCopy)
{
    QImage picture(10, 10, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 255, 0));
    button->setBitmap(picture);
    picture.fill(Qt::white);
    EXPECT_EQ(button->Bitmap().pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_FALSE(button->Bitmap().hasAlphaChannel());
}

TEST_F(MButtonTest, EachCornerAndMidpointTakesTheColourOfTheLineStartingThere)
{
    const QImage image = shown(button);
    const int w = button->width();
    const int h = button->height();
    EXPECT_EQ(image.pixel(0, h - 1), light); // c1 starts here; c8 ends here
    EXPECT_EQ(image.pixel(0, h / 2), light);
    EXPECT_EQ(image.pixel(0, 0), light);
    EXPECT_EQ(image.pixel(w / 2, 0), light);
    EXPECT_EQ(image.pixel(w - 1, 0), dark); // c5 starts here; c4 ends here
    EXPECT_EQ(image.pixel(w - 1, h / 2), dark);
    EXPECT_EQ(image.pixel(w - 1, h - 1), dark);
    EXPECT_EQ(image.pixel(w / 2, h - 1), dark);
}

TEST_F(MButtonTest, ALeftClickSinksThenRaisesAndClicksBeforeTheReleaseEvent)
{
    QStringList order;
    QObject::connect(button, &TMButton::OnClick, [&] { order << QStringLiteral("click"); });
    QObject::connect(button, &TMButton::OnMouseUp, [&] { order << QStringLiteral("up"); });
    moveTo({10, 10});
    press(Qt::LeftButton);
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(frameOf(shown(button)), sunken);
    release(Qt::LeftButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(frameOf(shown(button)), raised);
    EXPECT_EQ(order, (QStringList{"click", "up"}));
}

TEST_F(MButtonTest, ALatchingButtonFlipsOnEachPressAndKeepsItOnRelease)
{
    button->setLatch(true);
    for (const bool expected : {true, false, true}) {
        press(Qt::LeftButton);
        EXPECT_EQ(button->Down(), expected);
        release(Qt::LeftButton);
        EXPECT_EQ(button->Down(), expected);
        EXPECT_EQ(frameOf(shown(button)), expected ? sunken : raised);
    }
}

TEST_F(MButtonTest, TheRightButtonChangesNothingButIsReported)
{
    QSignalSpy downs(button, &TMButton::OnMouseDown);
    QSignalSpy ups(button, &TMButton::OnMouseUp);
    QSignalSpy clicks(button, &TMButton::OnClick);
    press(Qt::RightButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(frameOf(shown(button)), raised);
    release(Qt::RightButton);
    EXPECT_EQ(downs.count(), 1);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(downs.first().at(0).value<Qt::MouseButton>(), Qt::RightButton);
}

TEST_F(MButtonTest, TheMiddleButtonSinksAndRaisesWithoutAClick)
{
    QSignalSpy clicks(button, &TMButton::OnClick);
    press(Qt::MiddleButton);
    EXPECT_TRUE(button->Down());
    release(Qt::MiddleButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks.count(), 0);
}

struct RockerCase
{
    int x;
    bool clickLeft;
    Frame frame;
};

void PrintTo(const RockerCase &c, std::ostream *os)
{
    *os << "x " << c.x;
}

class RockerHalves : public MButtonTest, public ::testing::WithParamInterface<RockerCase>
{};

TEST_P(RockerHalves, ThePressedHalfSinksAndTheOtherStaysRaised)
{
    button->setRockerLR(true);
    QSignalSpy clicks(button, &TMButton::OnClick);
    bool clickLeftInHandler = !GetParam().clickLeft;
    QObject::connect(button, &TMButton::OnClick, [&] { clickLeftInHandler = button->ClickLeft(); });
    press(Qt::LeftButton, {GetParam().x, 20});
    EXPECT_EQ(button->ClickLeft(), GetParam().clickLeft);
    EXPECT_EQ(frameOf(shown(button)), GetParam().frame);
    release(Qt::LeftButton, {GetParam().x, 20});
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(clickLeftInHandler, GetParam().clickLeft);
    EXPECT_EQ(frameOf(shown(button)), raised);
}

INSTANTIATE_TEST_SUITE_P(
    Presses, RockerHalves,
    ::testing::Values(RockerCase{23, true, {dark, dark, dark, light, dark, dark, dark, light}},
                      RockerCase{
                          24, false, {light, light, light, dark, light, light, light, dark}}));

TEST_F(MButtonTest, WithoutBorderTheFrameShowsOnlyOnEntryAndWhileDown)
{
    button->setBorder(false);
    EXPECT_EQ(frameOf(shown(button)), hidden);
    moveTo({10, 10});
    EXPECT_EQ(QWidget::mouseGrabber(), button);
    EXPECT_EQ(frameOf(shown(button)), raised);
    moveTo({-10, 10}); // off the button, still in its window
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(frameOf(shown(button)), hidden);
    moveTo({10, 10});
    press(Qt::LeftButton);
    EXPECT_EQ(frameOf(shown(button)), sunken);
    release(Qt::LeftButton);
    EXPECT_EQ(frameOf(shown(button)), hidden);
}

TEST_F(MButtonTest, TheRightAndBottomEdgesStillCountAsOver)
{
    QSignalSpy moves(button, &TMButton::OnMouseMove);
    moveTo({10, 10});
    moveTo({button->width(), button->height()});
    EXPECT_EQ(QWidget::mouseGrabber(), button);
    EXPECT_EQ(moves.count(), 2);
    moveTo({button->width() + 1, 10});
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(moves.count(), 2);
}

TEST_F(MButtonTest, LeavingWhilePressedKeepsItSunkenAndLosesTheClick)
{
    QSignalSpy clicks(button, &TMButton::OnClick);
    QSignalSpy ups(button, &TMButton::OnMouseUp);
    moveTo({10, 10});
    press(Qt::LeftButton);
    moveTo({-20, 10});
    release(Qt::LeftButton, {-20, 10});
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(ups.count(), 0);

    moveTo({10, 10});
    press(Qt::LeftButton);
    release(Qt::LeftButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(MButtonTest, WithoutHighlightAReleaseOffTheButtonRaisesItWithoutAClick)
{
    button->setHighlight(false);
    QSignalSpy clicks(button, &TMButton::OnClick);
    press(Qt::LeftButton);
    moveTo({-20, 10});
    release(Qt::LeftButton, {-20, 10});
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(MButtonTest, TheDropDownMenuOpensUnderTheLowerLeftCornerWhileSunken)
{
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    button->setDropDownMenu(&menu);
    QSignalSpy clicks(button, &TMButton::OnClick);
    bool sunkenWhileOpen = false;
    QPoint menuAt;
    QTimer::singleShot(0, [&] {
        sunkenWhileOpen = button->Down() && frameOf(shown(button)) == sunken;
        menuAt = menu.pos();
        menu.close();
    });
    press(Qt::LeftButton);
    EXPECT_TRUE(sunkenWhileOpen);
    EXPECT_EQ(menuAt, button->mapToGlobal(QPoint(0, button->height())));
    EXPECT_FALSE(button->Down());
    release(Qt::LeftButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(MButtonTest, ADestroyedDropDownMenuIsNotUsed)
{
    auto *menu = new QMenu;
    button->setDropDownMenu(menu);
    delete menu;
    EXPECT_EQ(button->DropDownMenu(), nullptr);
    press(Qt::LeftButton);
    EXPECT_TRUE(button->Down());
    release(Qt::LeftButton);
}

TEST_F(MButtonTest, AFailingClickHandlerIsReportedAndTheButtonStillWorks)
{
    QStringList reported;
    const auto previous = platform::setErrorHandler(
        [&](const std::exception &e) { reported << QString::fromUtf8(e.what()); });
    const auto failing = QObject::connect(
        button, &TMButton::OnClick, [] { throw platform::Error("Cannot open \"x\": no browser"); });
    press(Qt::LeftButton);
    release(Qt::LeftButton);
    platform::setErrorHandler(previous);
    EXPECT_EQ(reported, QStringList{"Cannot open \"x\": no browser"});

    QObject::disconnect(failing);
    QSignalSpy clicks(button, &TMButton::OnClick);
    press(Qt::LeftButton);
    release(Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button->Down());
}

} // namespace
