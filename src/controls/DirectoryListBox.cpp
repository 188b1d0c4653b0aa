// Folder list: the path from "/" down to one folder, then that folder's subfolders.
#include "controls/DirectoryListBox.h"

#include "controls/FileListBox.h"
#include "platform/Error.h"
#include "platform/ErrorSink.h"
#include "platform/FileMask.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 7;

// Draws every entry one row high, indented by its depth below the root.
class IndentDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(indented.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    // Names are kept as the file system's bytes; they are shown legibly.
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        return QStyledItemDelegate::displayText(platform::displayFileName(value.toString()),
                                                locale);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indent(index);
        size.setHeight(TDirectoryListBox::kItemHeight);
        return size;
    }

  private:
    static int indent(const QModelIndex &index)
    {
        return index.data(kLevelRole).toInt() * kIndentPerLevel;
    }
};

platform::Error cannotOpen(const QString &folder, int error)
{
    return platform::Error(QStringLiteral("Cannot open folder \"%1\": %2")
                               .arg(folder, QString::fromLocal8Bit(std::strerror(error)))
                               .toStdString());
}

// The folder's path as the system reports it once the folder is entered: absolute, links
// resolved. Throws when the folder cannot be listed and entered.
QString enterableFolder(const QString &folder)
{
    const QByteArray native = platform::encodeFileName(folder);
    {
        std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(native.constData()), closedir);
        if (!dir)
            throw cannotOpen(folder, errno);
    }
    if (access(native.constData(), X_OK) != 0)
        throw cannotOpen(folder, errno);
    std::unique_ptr<char, void (*)(void *)> real(realpath(native.constData(), nullptr), std::free);
    if (!real)
        throw cannotOpen(folder, errno);
    return platform::decodeFileName(real.get());
}

// The same listing as the file list's, so that both agree on the names that exist; a folder
// that cannot be read shows no subfolders.
QStringList subfolders(const QString &folder)
{
    try {
        return platform::listSubfolders(folder);
    } catch (const platform::Error &) {
        return {};
    }
}

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentDelegate(this));
    try {
        // By the folder's bytes: Qt's own current path loses those that are not UTF-8.
        const QString start = platform::currentFolder();
        if (start.isEmpty())
            throw platform::Error("the working folder is gone");
        setDirectory(start);
    } catch (const platform::Error &) {
        // A working folder that has gone away: start at the root instead.
        setDirectory(QStringLiteral("/"));
    }
}

QString TDirectoryListBox::entryPath(const QListWidgetItem *item)
{
    return item ? item->data(kPathRole).toString() : QString();
}

void TDirectoryListBox::setDirectory(const QString &folder)
{
    if (folder.isEmpty() || folder == m_directory)
        return;
    const QString absolute = m_directory.isEmpty() ? QDir(folder).absolutePath()
                                                   : QDir(m_directory).absoluteFilePath(folder);
    const QString entered = enterableFolder(absolute);
    if (entered == m_directory)
        return;

    const QString previous = m_directory;
    m_directory = entered;
    rebuild();
    if (m_fileList) {
        try {
            m_fileList->setDirectory(m_directory);
        } catch (...) {
            m_directory = previous;
            rebuild();
            throw;
        }
    }
    emit changed();
}

void TDirectoryListBox::setFileList(TFileListBox *list)
{
    m_fileList = list;
    if (list)
        list->setDirectory(m_directory);
}

void TDirectoryListBox::rebuild()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [this](const QIcon &icon, const QString &text, const QString &path,
                            int level) {
        auto *item = new QListWidgetItem(icon, text, this);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
    };

    // The path from the root down, one entry per level.
    add(open, QStringLiteral("/"), QStringLiteral("/"), 0);
    const QStringList parts = m_directory.split(u'/', Qt::SkipEmptyParts);
    QString path;
    for (qsizetype level = 0; level < parts.size(); ++level) {
        path += u'/' + parts[level];
        add(open, parts[level], path, int(level) + 1);
    }
    const int current = count() - 1;

    const QString prefix = m_directory.endsWith(u'/') ? m_directory : m_directory + u'/';
    for (const QString &name : subfolders(m_directory))
        add(closed, name, prefix + name, int(parts.size()) + 1);

    setCurrentRow(current);
}

void TDirectoryListBox::enterItem(const QListWidgetItem *item)
{
    if (item)
        platform::guarded([&] { setDirectory(entryPath(item)); });
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        enterItem(itemAt(event->position().toPoint()));
}

void TDirectoryListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        enterItem(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}
