// Picture box: shows a bitmap at its own size from its top-left corner, cut at its edges.
#pragma once

#include <QLabel>

class TImage : public QLabel
{
    Q_OBJECT

  public:
    explicit TImage(QWidget *parent = nullptr);

    // Replaces the picture with the bitmap in the file. Throws platform::Error naming the
    // file when it is missing or not a valid bitmap; the old picture then stays.
    void LoadFromFile(const QString &path);

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
