// TMButton: painting, hover capture, latch, rocker and drop-down menu.
#include "controls/mbutton.h"

#include "platform/ErrorSink.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>

namespace {

// A one-pixel axis-parallel line from a towards b, leaving out b as line drawing does.
void frameLine(QPainter &painter, QPoint a, QPoint b, const QColor &color)
{
    if (a == b)
        return;
    const QPoint step(b.x() > a.x() ? 1 : (b.x() < a.x() ? -1 : 0),
                      b.y() > a.y() ? 1 : (b.y() < a.y() ? -1 : 0));
    const QPoint last = b - step;
    painter.fillRect(QRect(QPoint(std::min(a.x(), last.x()), std::min(a.y(), last.y())),
                           QPoint(std::max(a.x(), last.x()), std::max(a.y(), last.y()))),
                     color);
}

} // namespace

TMButton::TMButton(QWidget *parent)
    : QWidget(parent), m_colorDark(palette().color(QPalette::Shadow)),
      m_colorLight(palette().color(QPalette::Midlight))
{
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setMouseTracking(true);
}

TMButton::~TMButton() = default;

void TMButton::setBitmap(const QImage &bitmap)
{
    m_bitmap = bitmap.isNull() ? QImage() : bitmap.convertToFormat(QImage::Format_RGB32);
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

QColor TMButton::Color() const
{
    return palette().color(backgroundRole());
}

void TMButton::setColor(const QColor &color)
{
    QPalette colors = palette();
    colors.setColor(backgroundRole(), color);
    setPalette(colors);
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
    update();
    repaint();
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
        if (m_pressPoint.x() < w / 2) {
            m_clickLeft = true;
            c[3] = m_colorLight;
            c[4] = c[5] = c[6] = m_colorDark;
        } else {
            m_clickLeft = false;
            c[0] = c[1] = c[2] = m_colorLight;
            c[7] = m_colorDark;
        }
    }
    if (!m_border && !m_hover && !m_down)
        c.fill(Color());

    QPainter painter(this);
    const std::array<QPoint, 9> corners = {
        QPoint(0, h - 1),     QPoint(0, h / 2),     QPoint(0, 0),
        QPoint(w / 2, 0),     QPoint(w - 1, 0),     QPoint(w - 1, h / 2),
        QPoint(w - 1, h - 1), QPoint(w / 2, h - 1), QPoint(0, h - 1)};
    for (std::size_t i = 0; i < c.size(); ++i)
        frameLine(painter, corners[i], corners[i + 1], c[i]);

    if (m_bitmap.isNull())
        return;
    if (m_stretch) {
        // Both edges come from the height: a square of side Height - 6 from (2, 2).
        painter.drawImage(QRect(QPoint(2, 2), QPoint(h - 4 - 1, h - 4 - 1)), m_bitmap);
    } else {
        painter.drawImage(QPoint((w - m_bitmap.width()) / 2, (h - m_bitmap.height()) / 2),
                          m_bitmap);
    }
}

bool TMButton::receives(const QPoint &pos) const
{
    return m_capture || rect().contains(pos);
}

void TMButton::setCapture(bool on)
{
    m_capture = on;
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

void TMButton::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!receives(pos))
        return;
    platform::guarded([&] { mouseDown(event->button(), event->modifiers(), pos); });
}

void TMButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!receives(pos))
        return;
    platform::guarded([&] { mouseMove(event->modifiers(), pos); });
}

void TMButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    if (m_swallowRelease && button == Qt::LeftButton) {
        m_swallowRelease = false;
        return;
    }
    if (!receives(pos)) {
        if (button == Qt::LeftButton)
            m_clickPending = false;
        return;
    }
    platform::guarded([&] { mouseUp(button, event->modifiers(), pos); });
}

void TMButton::leaveEvent(QEvent *event)
{
    // Normally the capture shows the move off the button; this covers a desktop that
    // reports only the leaving.
    if (m_mouseCaptured && QGuiApplication::mouseButtons() == Qt::NoButton)
        releaseHover();
    QWidget::leaveEvent(event);
}

void TMButton::hideEvent(QHideEvent *event)
{
    // A hidden window must not keep the mouse.
    setCapture(false);
    m_mouseCaptured = false;
    m_clickPending = false;
    QWidget::hideEvent(event);
}

void TMButton::mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos)
{
    if (button == Qt::LeftButton) {
        setCapture(true);
        m_clickPending = true;
    }
    emit OnMouseDown(button, modifiers, pos);
    m_pressPoint = pos;
    if (button != Qt::LeftButton && button != Qt::MiddleButton)
        return;
    m_down = m_latch ? !m_down : true;
    Changed();
    if (m_dropDownMenu && m_down) {
        m_dropDownMenu->exec(mapToGlobal(QPoint(0, height())));
        // The menu took the release of this press.
        m_clickPending = false;
        m_swallowRelease =
            button == Qt::LeftButton && QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
        m_down = false;
        releaseHover();
    }
}

void TMButton::mouseMove(Qt::KeyboardModifiers modifiers, const QPoint &pos)
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

void TMButton::mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos)
{
    bool click = false;
    if (button == Qt::LeftButton) {
        setCapture(false);
        click = m_clickPending && rect().contains(pos);
        m_clickPending = false;
    }
    if (click)
        emit OnClick();
    emit OnMouseUp(button, modifiers, pos);
    if (button != Qt::LeftButton && button != Qt::MiddleButton)
        return;
    if (!m_latch)
        m_down = false;
    releaseHover();
}
