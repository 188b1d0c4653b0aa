// List of the plain files in one folder whose names match a wildcard mask.
#include "controls/FileListBox.h"

#include "platform/Error.h"
#include "platform/ErrorSink.h"
#include "platform/FileMask.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace {

// Entries hold names as the file system's bytes (so that each one opens); they are shown
// legibly.
class FileNameDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        return QStyledItemDelegate::displayText(platform::displayFileName(value.toString()),
                                                locale);
    }
};

} // namespace

TFileListBox::TFileListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new FileNameDelegate(this));

    // Keyboard moves and mouse drags change the selection without a click.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_quiet)
            platform::guarded([&] { userSelected(); });
    });

    // By the folder's bytes: Qt's own current path loses those that are not UTF-8.
    const QString start = platform::currentFolder();
    try {
        read(start, m_mask);
    } catch (const platform::Error &) {
        // An unreadable working folder leaves the list empty until a folder is set.
        m_directory = start;
        m_readable = false;
    }
}

void TFileListBox::setMask(const QString &mask)
{
    if (mask == m_mask)
        return;
    if (!m_readable) {
        // Nothing to read again: the new mask applies from the next folder set.
        m_mask = mask;
        return;
    }
    read(m_directory, mask);
}

void TFileListBox::setDirectory(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString path = QDir::cleanPath(QDir(m_directory).absoluteFilePath(folder));
    if (path == m_directory && m_readable)
        return;
    read(path, m_mask);
}

void TFileListBox::read(const QString &folder, const QString &mask)
{
    // Listed first, so that a folder that cannot be read leaves everything as it was.
    const QStringList names = platform::listMatchingFiles(folder, mask);
    m_directory = folder;
    m_mask = mask;
    m_readable = true;
    {
        const QScopedValueRollback quiet(m_quiet, true);
        clear();
        for (const QString &name : names) {
            auto *item = new QListWidgetItem(name, this);
            item->setSizeHint(QSize(
                fontMetrics().horizontalAdvance(platform::displayFileName(name)) + 8, kItemHeight));
        }
    }
    m_remembered = -1;
    emit changed();
}

QString TFileListBox::FileName() const
{
    const int row = selectedIndex();
    if (row < 0)
        return {};
    const QString name = item(row)->text();
    return m_directory.endsWith(u'/') ? m_directory + name : m_directory + u'/' + name;
}

int TFileListBox::selectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void TFileListBox::selectItem(int index)
{
    if (index < -1 || index >= count())
        throw platform::Error(QStringLiteral("The file list has no entry %1 (it holds %2)")
                                  .arg(index)
                                  .arg(count())
                                  .toStdString());
    const QScopedValueRollback quiet(m_quiet, true);
    if (index < 0) {
        clearSelection();
        setCurrentRow(-1);
    } else {
        setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(index));
    }
}

void TFileListBox::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging with another button selects nothing either.
    if (event->buttons() != Qt::NoButton && !(event->buttons() & Qt::LeftButton)) {
        event->accept();
        return;
    }
    QListWidget::mouseMoveEvent(event);
}

void TFileListBox::userSelected()
{
    const int row = selectedIndex();
    if (row < 0 || row == m_remembered)
        return;
    m_remembered = row;
    emit changed();
}

QItemSelectionModel::SelectionFlags TFileListBox::selectionCommand(const QModelIndex &index,
                                                                   const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // An entry stays selected until another is chosen: Ctrl+click and Ctrl+Space, which
    // would deselect it, leave it as it is.
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void TFileListBox::mousePressEvent(QMouseEvent *event)
{
    // Only the left button selects; the others leave the selection and the preview alone.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
    // A click on the entry the program selected counts, although the selection stays.
    platform::guarded([&] { userSelected(); });
}
