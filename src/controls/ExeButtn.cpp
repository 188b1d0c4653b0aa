// TExeButton: file properties, automatic size, painting, clicks and opening the file.
#include "controls/ExeButtn.h"

#include "platform/ShellLink.h"
#include "platform/ShellOpen.h"
#include "platform/WinePaths.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace {

// Where the folder part of a file name ends: after its last separator or drive colon.
qsizetype folderLength(const QString &fileName)
{
    const qsizetype last =
        std::max({fileName.lastIndexOf(QLatin1Char('\\')), fileName.lastIndexOf(QLatin1Char('/')),
                  fileName.lastIndexOf(QLatin1Char(':'))});
    return last + 1;
}

// A file name as a local file: a Windows drive path goes through the Wine prefix.
QString localFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return {};
    const QString mapped =
        platform::localPathForWindowsPath(fileName, platform::defaultWinePrefix());
    return QDir::cleanPath(QFileInfo(mapped.isEmpty() ? fileName : mapped).absoluteFilePath());
}

} // namespace

TExeButton::TExeButton(QWidget *parent) : TPictureControl(parent) {}

TExeButton::~TExeButton() = default;

void TExeButton::setIcon(const QIcon &icon)
{
    m_icon = icon;
    m_smallIcon = icon.isNull() ? QPixmap() : icon.pixmap(QSize(16, 16)).scaled(16, 16);
}

void TExeButton::setFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_fileName = fileName;
    const qsizetype folder = folderLength(fileName);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    m_fileExt = dot >= folder ? fileName.mid(dot).toUpper() : QString();
    m_targetPath = fileName;
    setIcon(QFileIconProvider().icon(QFileInfo(localFile(fileName))));
    m_caption = fileName.mid(folder);
    m_filePath = fileName.left(folder);
    m_caption.chop(m_fileExt.size());
    AdjustLayout();
}

void TExeButton::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    AdjustLayout();
}

void TExeButton::SetFlag(int index, bool value)
{
    switch (index) {
    case FlagAuto:
        m_auto = value;
        break;
    case FlagAutoRun:
        m_autoRun = value;
        break;
    case FlagShowIcon:
        m_showIcon = value;
        break;
    case FlagShowLabel:
        m_showLabel = value;
        break;
    case FlagLargeIcon:
        m_largeIcon = value;
        break;
    case FlagDown:
        m_down = value;
        break;
    case FlagBorder:
        m_border = value;
        break;
    default:
        return;
    }
    AdjustLayout();
}

void TExeButton::AdjustLayout()
{
    m_iconSize = m_largeIcon ? 32 : 16;
    if (m_auto) {
        const int h = m_iconSize + 8;
        int w = h;
        if (m_showLabel) {
            w += m_labelWidth;
            if (!m_showIcon)
                w -= m_iconSize;
        }
        resize(w, h);
    }
    repaintNow();
}

void TExeButton::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.setFont(font());

    const QColor dark = palette().color(QPalette::Shadow);
    const QColor light = palette().color(QPalette::Midlight);
    const QColor &topLeft = m_down ? dark : light;
    const QColor &bottomRight = m_down ? light : dark;
    if (m_border || m_down) {
        frameLine(painter, QPoint(0, h), QPoint(0, 0), topLeft);
        frameLine(painter, QPoint(0, 0), QPoint(w - 1, 0), topLeft);
        frameLine(painter, QPoint(w - 1, 0), QPoint(w - 1, h - 1), bottomRight);
        frameLine(painter, QPoint(w - 1, h - 1), QPoint(0, h - 1), bottomRight);
    }

    int left = 0;
    const QString label = shownCaption(&left);
    if (!label.isEmpty()) {
        const QFontMetrics metrics(font());
        const int y = (h - metrics.height()) / 2;
        if (!m_parentColor)
            painter.fillRect(QRect(left, y, metrics.horizontalAdvance(label), metrics.height()),
                             Color());
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(left, y + metrics.ascent(), label);
    }

    if (m_showIcon) {
        const QRect place(m_iconLeft, m_iconTop, m_iconSize, m_iconSize);
        if (m_largeIcon && !m_icon.isNull())
            painter.drawPixmap(place, m_icon.pixmap(QSize(m_iconSize, m_iconSize)));
        else if (!m_largeIcon && !m_smallIcon.isNull())
            painter.drawPixmap(place, m_smallIcon);
    }
}

QString TExeButton::shownCaption(int *left) const
{
    if (!m_showLabel || m_caption.isEmpty())
        return {};
    const QFontMetrics metrics(font());
    const int room = width() - 8 - (m_showIcon ? m_iconSize : 0);
    QString label = m_caption;
    int x = std::max(0, (room - metrics.horizontalAdvance(label)) / 2);
    // Too wide: drop characters from the end, showing ".." while more than four remain. The
    // start stays where the whole caption would have been centred.
    while (!label.isEmpty() && metrics.horizontalAdvance(label) + x > room) {
        label.chop(1);
        if (label.size() > 4) {
            label[label.size() - 1] = QLatin1Char('.');
            label[label.size() - 2] = QLatin1Char('.');
        }
    }
    if (m_showIcon)
        x += m_iconSize;
    if (left)
        *left = x + 4;
    return label;
}

void TExeButton::pressedDown(Qt::MouseButton)
{
    repaintNow();
}

void TExeButton::releasedUp(const QPoint &pos)
{
    repaintNow();
    if (pos.x() > 0 && pos.x() < width() && pos.y() > 0 && pos.y() < height() && m_autoRun)
        Execute();
}

void TExeButton::Execute()
{
    if (m_fileName.isEmpty())
        return; // a button without a file opens nothing
    if (m_fileExt == QLatin1String(".LNK")) {
        const std::optional<platform::ShellLink> link =
            platform::resolveShellLink(localFile(m_fileName), platform::defaultWinePrefix());
        if (!link)
            return; // a shortcut that cannot be read opens nothing
        m_targetPath = link->targetPath;
        m_targetFolder = link->workingFolder;
        platform::shellOpen(QUrl::fromLocalFile(m_targetPath), m_targetFolder);
        return;
    }
    platform::shellOpen(QUrl::fromLocalFile(localFile(m_fileName)), localFile(m_filePath));
}
