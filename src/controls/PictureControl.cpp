// TPictureControl: capture rules, press, release, click and synchronous repainting.
#include "controls/PictureControl.h"

#include "platform/ErrorSink.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TPictureControl::TPictureControl(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setMouseTracking(true);
}

TPictureControl::~TPictureControl() = default;

QColor TPictureControl::Color() const
{
    if (m_parentColor && parentWidget())
        return parentWidget()->palette().color(parentWidget()->backgroundRole());
    return palette().color(backgroundRole());
}

void TPictureControl::setParentColor(bool on)
{
    m_parentColor = on;
    setAutoFillBackground(!on);
    repaintNow();
}

void TPictureControl::setColor(const QColor &color)
{
    m_parentColor = false;
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(backgroundRole(), color);
    setPalette(colors);
    repaintNow();
}

void TPictureControl::repaintNow()
{
    update();
    repaint();
}

void TPictureControl::frameLine(QPainter &painter, QPoint a, QPoint b, const QColor &color)
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

void TPictureControl::setCapture(bool on)
{
    m_capture = on;
}

void TPictureControl::mouseMoved(Qt::KeyboardModifiers modifiers, const QPoint &pos)
{
    emit OnMouseMove(modifiers, pos);
}

void TPictureControl::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!receives(pos))
        return;
    const Qt::MouseButton button = event->button();
    platform::guarded([&] {
        if (button == Qt::LeftButton) {
            setCapture(true);
            m_clickPending = true;
        }
        emit OnMouseDown(button, event->modifiers(), pos);
        m_pressPoint = pos;
        if (button != Qt::LeftButton && button != Qt::MiddleButton)
            return;
        m_down = m_latch ? !m_down : true;
        pressedDown(button);
    });
}

void TPictureControl::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!receives(pos))
        return;
    platform::guarded([&] { mouseMoved(event->modifiers(), pos); });
}

void TPictureControl::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    if (!receives(pos)) {
        if (button == Qt::LeftButton)
            m_clickPending = false;
        return;
    }
    platform::guarded([&] {
        bool click = false;
        if (button == Qt::LeftButton) {
            setCapture(false);
            click = m_clickPending && rect().contains(pos);
            m_clickPending = false;
        }
        // The click comes before the control's own release handling.
        if (click)
            emit OnClick();
        emit OnMouseUp(button, event->modifiers(), pos);
        if (button != Qt::LeftButton && button != Qt::MiddleButton)
            return;
        if (!m_latch)
            m_down = false;
        releasedUp(pos);
    });
}

void TPictureControl::hideEvent(QHideEvent *event)
{
    // A hidden control must not keep the mouse.
    setCapture(false);
    m_clickPending = false;
    QWidget::hideEvent(event);
}
