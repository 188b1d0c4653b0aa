#include "controls/Image.h"

#include "platform/Error.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>

TImage::TImage(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
    // Painted over its own background, so that repainting a preview leaves the window
    // behind it alone.
    setAutoFillBackground(true);
}

void TImage::LoadFromFile(const QString &path)
{
    QImageReader reader(path, "bmp");
    const QImage image = reader.read();
    if (image.isNull()) {
        const QString reason = QFileInfo::exists(path) ? QStringLiteral("not a valid bitmap")
                                                       : QStringLiteral("file not found");
        throw platform::Error(
            QStringLiteral("Cannot load picture \"%1\": %2").arg(path, reason).toStdString());
    }
    setPixmap(QPixmap::fromImage(image));
}

void TImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}
