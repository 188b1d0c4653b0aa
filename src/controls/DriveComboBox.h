// Drive chooser: one entry per mounted file system, each remembering its current folder.
#pragma once

#include "platform/Drives.h"

#include <QComboBox>
#include <QPointer>

class TDirectoryListBox;

class TDriveComboBox : public QComboBox
{
    Q_OBJECT

  public:
    explicit TDriveComboBox(QWidget *parent = nullptr); // lists platform::mountedDrives()

    // Links a folder list: choosing a drive moves the list to that drive's current folder,
    // and the chooser follows the list wherever it goes.
    void setDirList(TDirectoryListBox *list);
    TDirectoryListBox *DirList() const { return m_dirList; }

    // Replaces the drives offered (to pick up newly mounted media, for instance); drives
    // still present keep their current folders.
    void setDrives(const QList<platform::Drive> &drives);

    // The mount point and the current folder of the drive shown.
    QString Drive() const;
    QString driveFolder(int index) const;

  private:
    void choose(int index);
    void followList();
    int driveOf(const QString &folder) const;

    QPointer<TDirectoryListBox> m_dirList;
    int m_shown = -1; // the drive shown before the user picked another
};
