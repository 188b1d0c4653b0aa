// TPictureControl: what the bitmap and program buttons share: the desktop's mouse-capture
// rules, press, release and click, the four mouse events, Down, Latch and Border, the
// background colour and synchronous repainting.
#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

class QPainter;

class TPictureControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE setParentColor)

  public:
    ~TPictureControl() override;

    bool Latch() const { return m_latch; }
    bool Down() const { return m_down; }
    bool Border() const { return m_border; }

    // The background colour (the button face by default); setting it repaints at once and
    // ends ParentColor.
    QColor Color() const;
    void setColor(const QColor &color);
    // When set, the control paints no background of its own: whatever its parent shows
    // behind it shows through, and Color is the parent's background colour.
    bool ParentColor() const { return m_parentColor; }
    void setParentColor(bool on);

  signals:
    void OnClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseMove(Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);

  protected:
    explicit TPictureControl(QWidget *parent = nullptr);

    // Invalidates and paints before returning, so that each look shows without waiting for
    // the event queue.
    void repaintNow();
    // A one-pixel axis-parallel line from a towards b, leaving out b as line drawing does.
    static void frameLine(QPainter &painter, QPoint a, QPoint b, const QColor &color);

    // Takes or gives back the capture. While the control holds it, it receives every mouse
    // event, otherwise only those over it. A left press takes it and the left release gives
    // it back.
    virtual void setCapture(bool on);
    // The left press in progress raises no click when it is released.
    void forgetClick() { m_clickPending = false; }
    // Client coordinates of the last press, (0, 0) before the first.
    QPoint pressPoint() const { return m_pressPoint; }

    // After OnMouseDown, a left or middle press has set Down: flipped with Latch, else true.
    virtual void pressedDown(Qt::MouseButton button) = 0;
    // After OnMouseUp, a left or middle release has cleared Down unless Latch.
    virtual void releasedUp(const QPoint &pos) = 0;
    // A move the control receives; passed on as OnMouseMove.
    virtual void mouseMoved(Qt::KeyboardModifiers modifiers, const QPoint &pos);

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

    bool m_latch = false;
    bool m_down = false;
    bool m_border = true;
    bool m_parentColor = false;

  private:
    bool receives(const QPoint &pos) const { return m_capture || rect().contains(pos); }

    QPoint m_pressPoint;
    bool m_capture = false;
    bool m_clickPending = false; // a left press on the control awaits its release
};
