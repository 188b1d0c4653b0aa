// Folder list: the path from "/" down to one folder, then that folder's subfolders.
#pragma once

#include "controls/FileListBox.h"

#include <QListWidget>
#include <QPointer>

class QKeyEvent;
class QMouseEvent;

class TDirectoryListBox : public QListWidget
{
    Q_OBJECT

  public:
    explicit TDirectoryListBox(QWidget *parent = nullptr); // starts at the working folder

    // "/" for the root; any other folder without a trailing "/".
    QString Directory() const { return m_directory; }
    // Enters folder (a relative folder counts from the one shown). Nothing happens when the
    // text is empty or equals the folder shown, letter case included, or when it names the
    // shown folder by another path. Otherwise the list shows the folder under the path the
    // system reports (links resolved), moves the linked file list there and raises
    // changed(). Throws platform::Error naming the folder and the reason when the folder
    // cannot be entered, and then leaves the list as it was.
    void setDirectory(const QString &folder);

    // Links a file list, which follows the folder from now on (and moves there at once).
    void setFileList(TFileListBox *list);
    TFileListBox *FileList() const { return m_fileList; }

    // The full path an entry stands for.
    static QString entryPath(const QListWidgetItem *item);

    static constexpr int kItemHeight = 16;

  signals:
    void changed(); // after the folder changed successfully

  protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void rebuild();
    void enterItem(const QListWidgetItem *item);

    QString m_directory;
    QPointer<TFileListBox> m_fileList;
};
