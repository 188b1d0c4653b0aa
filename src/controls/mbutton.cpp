// TMButton: painting, hover capture, latch, rocker and drop-down menu.
#include "controls/mbutton.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>

TMButton::TMButton(QWidget *parent)
    : TPictureControl(parent), m_colorDark(palette().color(QPalette::Shadow)),
      m_colorLight(palette().color(QPalette::Midlight))
{}

TMButton::~TMButton() = default;

void TMButton::setBitmap(const QImage &bitmap)
{
    m_bitmap = bitmap.isNull() ? QImage() : bitmap.convertToFormat(QImage::Format_RGB32);
    m_seeThrough = bitmap.hasAlphaChannel()
                       ? bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                       : QImage();
    Changed();
}

void TMButton::setColorDark(const QColor &color)
{
    m_colorDark = color;
    Changed();
}

void TMButton::setColorLight(const QColor &color)
{
    m_colorLight = color;
    Changed();
}

void TMButton::SetFlag(int index, bool value)
{
    switch (index) {
    case FlagLatch:
        m_latch = value;
        break;
    case FlagDown:
        m_down = value;
        break;
    case FlagBorder:
        m_border = value;
        break;
    case FlagStretch:
        m_stretch = value;
        break;
    case FlagRockerLR:
        m_rockerLR = value;
        break;
    case FlagRockerUD:
        m_rockerUD = value;
        break;
    case FlagHighlight:
        m_highlight = value;
        break;
    default:
        return;
    }
    Changed();
}

void TMButton::Changed()
{
    repaintNow();
}

void TMButton::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();

    // Frame: c[0..3] run from the bottom-left corner up and along the top to the top-right
    // corner, c[4..7] down the right edge and back along the bottom.
    std::array<QColor, 8> c;
    const QColor &first = m_down ? m_colorDark : m_colorLight;
    const QColor &second = m_down ? m_colorLight : m_colorDark;
    std::fill(c.begin(), c.begin() + 4, first);
    std::fill(c.begin() + 4, c.end(), second);
    if (m_down && m_rockerLR) {
        if (pressPoint().x() < w / 2) {
            m_clickLeft = true;
            c[3] = m_colorLight;
            c[4] = c[5] = c[6] = m_colorDark;
        } else {
            m_clickLeft = false;
            c[0] = c[1] = c[2] = m_colorLight;
            c[7] = m_colorDark;
        }
    }
    // Without border, hover or press the frame is invisible: it would be drawn in the
    // background colour, so it is not drawn at all (the background may be the parent's).
    const bool frameShown = m_border || m_hover || m_down;

    QPainter painter(this);
    const std::array<QPoint, 9> corners = {
        QPoint(0, h - 1),     QPoint(0, h / 2),     QPoint(0, 0),
        QPoint(w / 2, 0),     QPoint(w - 1, 0),     QPoint(w - 1, h / 2),
        QPoint(w - 1, h - 1), QPoint(w / 2, h - 1), QPoint(0, h - 1)};
    for (std::size_t i = 0; frameShown && i < c.size(); ++i)
        frameLine(painter, corners[i], corners[i + 1], c[i]);

    if (m_bitmap.isNull())
        return;
    // On the parent's background the picture's transparent parts show the parent too, so a
    // borderless button shows only its picture.
    const QImage &picture = ParentColor() && !m_seeThrough.isNull() ? m_seeThrough : m_bitmap;
    if (m_stretch) {
        // Both edges come from the height: a square of side Height - 6 from (2, 2).
        painter.drawImage(QRect(QPoint(2, 2), QPoint(h - 4 - 1, h - 4 - 1)), picture);
    } else {
        painter.drawImage(QPoint((w - picture.width()) / 2, (h - picture.height()) / 2), picture);
    }
}

void TMButton::setCapture(bool on)
{
    TPictureControl::setCapture(on);
    if (on) {
        if (isVisible() && mouseGrabber() != this)
            grabMouse();
    } else if (mouseGrabber() == this) {
        releaseMouse();
    }
}

void TMButton::releaseHover()
{
    setCapture(false);
    m_mouseCaptured = false;
    Changed();
}

void TMButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_swallowRelease && event->button() == Qt::LeftButton) {
        m_swallowRelease = false;
        return;
    }
    TPictureControl::mouseReleaseEvent(event);
}

void TMButton::leaveEvent(QEvent *event)
{
    // Normally the capture shows the move off the button; this covers a desktop that
    // reports only the leaving.
    if (m_mouseCaptured && QGuiApplication::mouseButtons() == Qt::NoButton)
        releaseHover();
    TPictureControl::leaveEvent(event);
}

void TMButton::hideEvent(QHideEvent *event)
{
    m_mouseCaptured = false;
    TPictureControl::hideEvent(event);
}

void TMButton::pressedDown(Qt::MouseButton button)
{
    Changed();
    if (m_dropDownMenu && m_down) {
        m_dropDownMenu->exec(mapToGlobal(QPoint(0, height())));
        // The menu took the release of this press.
        forgetClick();
        m_swallowRelease =
            button == Qt::LeftButton && QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
        m_down = false;
        releaseHover();
    }
}

void TMButton::mouseMoved(Qt::KeyboardModifiers modifiers, const QPoint &pos)
{
    if (!m_highlight) {
        emit OnMouseMove(modifiers, pos);
        return;
    }
    if (!m_mouseCaptured) {
        setCapture(true);
        m_mouseCaptured = true;
        m_hover = true;
        Changed();
        m_hover = false;
    }
    // The right and bottom edges themselves still count as over the button.
    if (pos.x() < 0 || pos.y() < 0 || pos.x() > width() || pos.y() > height()) {
        releaseHover();
        return;
    }
    emit OnMouseMove(modifiers, pos);
}

void TMButton::releasedUp(const QPoint &)
{
    releaseHover();
}
