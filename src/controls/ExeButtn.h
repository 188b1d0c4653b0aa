// TExeButton: a button standing for a file or program; it shows the file's icon and name,
// sinks while pressed, can latch and size itself, and can open its file when released over it.
#pragma once

#include "controls/PictureControl.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

class TExeButton : public TPictureControl
{
    Q_OBJECT
    Q_PROPERTY(QIcon Icon READ Icon WRITE setIcon)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString FilePath READ FilePath)
    Q_PROPERTY(QString FileExt READ FileExt WRITE setFileExt)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Latch READ Latch WRITE setLatch)
    Q_PROPERTY(bool Down READ Down WRITE setDown)
    Q_PROPERTY(bool Auto READ Auto WRITE setAuto)
    Q_PROPERTY(bool AutoRun READ AutoRun WRITE setAutoRun)
    Q_PROPERTY(bool ShowIcon READ ShowIcon WRITE setShowIcon)
    Q_PROPERTY(bool ShowLabel READ ShowLabel WRITE setShowLabel)
    Q_PROPERTY(bool LargeIcon READ LargeIcon WRITE setLargeIcon)
    Q_PROPERTY(bool Border READ Border WRITE setBorder)

  public:
    // Indexes of SetFlag.
    enum Flag {
        FlagAuto = 1,
        FlagAutoRun = 2,
        FlagShowIcon = 3,
        FlagShowLabel = 4,
        FlagLargeIcon = 5,
        FlagDown = 6,
        FlagBorder = 7
    };

    explicit TExeButton(QWidget *parent = nullptr);
    ~TExeButton() override;

    const QIcon &Icon() const { return m_icon; }
    const QPixmap &SmallIcon() const { return m_smallIcon; }
    // Copies the icon and remakes SmallIcon; does not repaint by itself.
    virtual void setIcon(const QIcon &icon);

    const QString &FileName() const { return m_fileName; }
    // Derives FileExt, the icon, Caption and FilePath from the name, then AdjustLayout().
    virtual void setFileName(const QString &fileName);
    const QString &FilePath() const { return m_filePath; }
    const QString &FileExt() const { return m_fileExt; }
    void setFileExt(const QString &fileExt) { m_fileExt = fileExt; }
    const QString &Caption() const { return m_caption; }
    // A different text is stored and AdjustLayout() runs.
    virtual void setCaption(const QString &caption);

    void setLatch(bool value) { m_latch = value; }
    bool Auto() const { return m_auto; }
    bool AutoRun() const { return m_autoRun; }
    bool ShowIcon() const { return m_showIcon; }
    bool ShowLabel() const { return m_showLabel; }
    bool LargeIcon() const { return m_largeIcon; }
    void setDown(bool value) { SetFlag(FlagDown, value); }
    void setAuto(bool value) { SetFlag(FlagAuto, value); }
    void setAutoRun(bool value) { SetFlag(FlagAutoRun, value); }
    void setShowIcon(bool value) { SetFlag(FlagShowIcon, value); }
    void setShowLabel(bool value) { SetFlag(FlagShowLabel, value); }
    void setLargeIcon(bool value) { SetFlag(FlagLargeIcon, value); }
    void setBorder(bool value) { SetFlag(FlagBorder, value); }

    int IconSize() const { return m_iconSize; }
    int LabelWidth() const { return m_labelWidth; }

    // The file that Execute() opens and the working folder it opens it in: FileName and
    // FilePath, or a shortcut's target and working folder once the shortcut was followed.
    const QString &targetPath() const { return m_targetPath; }
    const QString &targetFolder() const { return m_targetFolder; }

    // The caption as painted: cut to its room, with ".." while more than four characters
    // remain; left receives where it starts. Empty when no label is drawn.
    QString shownCaption(int *left = nullptr) const;

    // The one setter of the boolean properties other than Latch; then AdjustLayout().
    virtual void SetFlag(int index, bool value);
    // Icon size, automatic size, then an immediate repaint.
    virtual void AdjustLayout();

    // Opens the file with its associated program; a ".LNK" shortcut opens its target.
    void Execute();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void pressedDown(Qt::MouseButton button) override;
    // Repaints, then opens the file when AutoRun is set and pos lies strictly inside.
    void releasedUp(const QPoint &pos) override;

  private:
    QIcon m_icon;
    QPixmap m_smallIcon;
    bool m_auto = false;
    bool m_autoRun = false;
    bool m_largeIcon = true;
    int m_iconSize = 32;
    int m_iconLeft = 4;
    int m_iconTop = 4;
    int m_labelWidth = 64;
    bool m_showIcon = true;
    bool m_showLabel = true;
    QString m_targetPath;
    QString m_targetFolder;
    QString m_fileName;
    QString m_filePath;
    QString m_fileExt;
    QString m_caption;
};
