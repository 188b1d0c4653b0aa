#include "controls/Image.h"

#include "platform/Error.h"
#include "platform/FileNames.h"

#include <QBuffer>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>

#include <filesystem>
#include <fstream>
#include <iterator>

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
    // Read by the name's bytes, which the toolkit's own file names would lose when they are
    // not UTF-8.
    const std::filesystem::path native = platform::toNativePath(path);
    std::ifstream file(native, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    QByteArray bytes = QByteArray::fromStdString(data);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "bmp");
    const QImage image = file ? reader.read() : QImage();
    if (image.isNull()) {
        std::error_code ignored;
        const QString reason = std::filesystem::exists(native, ignored)
                                   ? QStringLiteral("not a valid bitmap")
                                   : QStringLiteral("file not found");
        throw platform::Error(QStringLiteral("Cannot load picture \"%1\": %2")
                                  .arg(platform::displayFileName(path), reason)
                                  .toStdString());
    }
    setPixmap(QPixmap::fromImage(image));
}

void TImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}
