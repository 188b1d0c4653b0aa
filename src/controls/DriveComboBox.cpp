// Drive chooser: one entry per mounted file system, each remembering its current folder.
#include "controls/DriveComboBox.h"

#include "controls/DirectoryListBox.h"
#include "platform/ErrorSink.h"

#include <QSignalBlocker>

namespace {

constexpr int kMountPointRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;

} // namespace

TDriveComboBox::TDriveComboBox(QWidget *parent) : QComboBox(parent)
{
    setDrives(platform::mountedDrives());
    connect(this, &QComboBox::activated, this, [this](int index) { choose(index); });
}

void TDriveComboBox::setDrives(const QList<platform::Drive> &drives)
{
    const QSignalBlocker blocker(this);
    QHash<QString, QString> folders;
    for (int i = 0; i < count(); ++i)
        folders.insert(itemData(i, kMountPointRole).toString(), driveFolder(i));
    clear();
    for (const platform::Drive &drive : drives) {
        addItem(drive.label);
        const int i = count() - 1;
        setItemData(i, drive.mountPoint, kMountPointRole);
        setItemData(i, folders.value(drive.mountPoint, drive.mountPoint), kFolderRole);
    }
    m_shown = count() > 0 ? 0 : -1;
    setCurrentIndex(m_shown);
    followList();
}

void TDriveComboBox::setDirList(TDirectoryListBox *list)
{
    if (m_dirList)
        disconnect(m_dirList, nullptr, this, nullptr);
    m_dirList = list;
    if (list)
        connect(list, &TDirectoryListBox::changed, this, [this] { followList(); });
    followList();
}

QString TDriveComboBox::Drive() const
{
    return currentIndex() < 0 ? QString() : itemData(currentIndex(), kMountPointRole).toString();
}

QString TDriveComboBox::driveFolder(int index) const
{
    return itemData(index, kFolderRole).toString();
}

int TDriveComboBox::driveOf(const QString &folder) const
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString mountPoint = itemData(i, kMountPointRole).toString();
        if (platform::isOnMountPoint(folder, mountPoint) && mountPoint.size() > bestLength) {
            best = i;
            bestLength = mountPoint.size();
        }
    }
    return best;
}

void TDriveComboBox::followList()
{
    if (!m_dirList)
        return;
    const QString folder = m_dirList->Directory();
    const int drive = driveOf(folder);
    if (drive < 0)
        return;
    setItemData(drive, folder, kFolderRole);
    m_shown = drive;
    const QSignalBlocker blocker(this);
    setCurrentIndex(drive);
}

void TDriveComboBox::choose(int index)
{
    if (!m_dirList || index < 0) {
        m_shown = index;
        return;
    }
    const bool entered = platform::guarded([&] { m_dirList->setDirectory(driveFolder(index)); });
    if (!entered) {
        // The folder list and the file list stayed as they were; so does the chooser.
        const QSignalBlocker blocker(this);
        setCurrentIndex(m_shown);
        return;
    }
    m_shown = index;
    followList();
}
