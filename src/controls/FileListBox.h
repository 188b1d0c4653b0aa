// List of the plain files in one folder whose names match a wildcard mask.
#pragma once

#include <QListWidget>

class QMouseEvent;

class TFileListBox : public QListWidget
{
    Q_OBJECT

  public:
    explicit TFileListBox(QWidget *parent = nullptr); // lists the current working folder

    QString Mask() const { return m_mask; }
    // Reads the list again with the new mask (nothing happens when it is the same).
    void setMask(const QString &mask);

    QString Directory() const { return m_directory; }
    // Reads the list again from folder (a relative folder counts from the current one);
    // nothing happens when the text is empty or names the folder already shown. Throws
    // platform::Error naming the folder and the reason when it cannot be read, and then
    // leaves the list as it was.
    void setDirectory(const QString &folder);

    // The selected entry's full path; "" when none is selected.
    QString FileName() const;
    // The selected entry's row, -1 when none is selected.
    int selectedIndex() const;
    // Selects the entry at index (-1: none) from the program: raises nothing and leaves the
    // remembered entry as it was. Throws platform::Error for an index outside the list.
    void selectItem(int index);

    static constexpr int kItemHeight = 13;

  signals:
    // Raised after every reading of the list (nothing selected then) and when the user
    // selects an entry other than the one selected at the last notification.
    void changed();

  protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

  private:
    void read(const QString &folder, const QString &mask);
    void userSelected();

    QString m_directory;
    QString m_mask = QStringLiteral("*");
    int m_remembered = -1;  // entry selected when changed() was last raised
    bool m_quiet = false;   // set while the program itself moves the selection
    bool m_readable = true; // false while the folder shown could not be read
};
