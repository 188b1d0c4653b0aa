// TMButton: a picture button that raises its frame on hover, sinks while pressed, can latch,
// can act as a left/right rocker and can drop a popup menu down from its lower edge.
#pragma once

#include "controls/PictureControl.h"

#include <QColor>
#include <QImage>
#include <QMenu>
#include <QPointer>

class TMButton : public TPictureControl
{
    Q_OBJECT
    Q_PROPERTY(QMenu *DropDownMenu READ DropDownMenu WRITE setDropDownMenu)
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(bool Latch READ Latch WRITE setLatch)
    Q_PROPERTY(bool Highlight READ Highlight WRITE setHighlight)
    Q_PROPERTY(bool Down READ Down WRITE setDown)
    Q_PROPERTY(bool Border READ Border WRITE setBorder)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool RockerLR READ RockerLR WRITE setRockerLR)
    Q_PROPERTY(bool RockerUD READ RockerUD WRITE setRockerUD)
    Q_PROPERTY(bool ClickLeft READ ClickLeft)
    Q_PROPERTY(QColor ColorDark READ ColorDark WRITE setColorDark)
    Q_PROPERTY(QColor ColorLight READ ColorLight WRITE setColorLight)

  public:
    // Indexes of SetFlag.
    enum Flag {
        FlagLatch = 1,
        FlagDown = 2,
        FlagBorder = 3,
        FlagStretch = 5,
        FlagRockerLR = 6,
        FlagRockerUD = 7,
        FlagHighlight = 8
    };

    explicit TMButton(QWidget *parent = nullptr);
    ~TMButton() override;

    // The menu is not owned; a destroyed menu reads back as none.
    QMenu *DropDownMenu() const { return m_dropDownMenu.data(); }
    void setDropDownMenu(QMenu *menu) { m_dropDownMenu = menu; }

    const QImage &Bitmap() const { return m_bitmap; }
    // Copies the picture (made opaque) into the button's own bitmap and repaints. With
    // ParentColor set, the picture's transparent parts are not painted.
    virtual void setBitmap(const QImage &bitmap);

    bool Stretch() const { return m_stretch; }
    bool RockerLR() const { return m_rockerLR; }
    bool RockerUD() const { return m_rockerUD; } // stored only: no up/down rocker look
    bool Highlight() const { return m_highlight; }
    bool ClickLeft() const { return m_clickLeft; }
    void setLatch(bool value) { SetFlag(FlagLatch, value); }
    void setDown(bool value) { SetFlag(FlagDown, value); }
    void setBorder(bool value) { SetFlag(FlagBorder, value); }
    void setStretch(bool value) { SetFlag(FlagStretch, value); }
    void setRockerLR(bool value) { SetFlag(FlagRockerLR, value); }
    void setRockerUD(bool value) { SetFlag(FlagRockerUD, value); }
    void setHighlight(bool value) { SetFlag(FlagHighlight, value); }

    QColor ColorDark() const { return m_colorDark; }
    QColor ColorLight() const { return m_colorLight; }
    void setColorDark(const QColor &color);
    void setColorLight(const QColor &color);

    // The one setter of the boolean properties: stores value under index, then Changed().
    virtual void SetFlag(int index, bool value);
    // Repaints at once.
    virtual void Changed();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // The capture is a real pointer grab, so that hover tracking sees the pointer leave.
    void setCapture(bool on) override;
    void pressedDown(Qt::MouseButton button) override;
    void releasedUp(const QPoint &pos) override;
    void mouseMoved(Qt::KeyboardModifiers modifiers, const QPoint &pos) override;

  private:
    void releaseHover();

    QPointer<QMenu> m_dropDownMenu;
    QImage m_bitmap;
    QImage m_seeThrough; // the picture with its transparency, when it has any
    bool m_stretch = true;
    bool m_rockerLR = false;
    bool m_rockerUD = false;
    bool m_highlight = true;
    bool m_clickLeft = false;
    bool m_hover = false; // set only while the repaint on pointer entry runs
    QColor m_colorDark;
    QColor m_colorLight;
    bool m_mouseCaptured = false;  // the button holds the capture for hover tracking
    bool m_swallowRelease = false; // a drop-down menu took the release of this press
};
