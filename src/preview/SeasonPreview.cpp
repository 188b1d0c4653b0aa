// A picture to judge seasons by: a tile's seasons side by side at 1:1, each labelled.
#include "preview/SeasonPreview.h"

#include "convlib/BitmapReader.h"
#include "convlib/Error.h"
#include "convlib/FileIo.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "season/PixelRules.h"
#include "season/SeasonTable.h"

#include <QBuffer>
#include <QFont>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>

#include <span>

#include <algorithm>

namespace preview {

namespace {

constexpr int kLabelHeight = 20;
constexpr int kGap = 8;
const QColor kBackground(48, 48, 48);
const QColor kLabelColour(235, 235, 235);

// The panel's pixels in place over a copy of the tile's colour.
std::vector<std::uint8_t> seasonPixels(const SummerTile &tile, const Panel &panel)
{
    std::vector<std::uint8_t> bgr = tile.bgr;
    if (!panel.season)
        return bgr;
    season::TileColours colours;
    colours.bgr = bgr.data();
    colours.size = bgr.size();
    colours.width = std::size_t(tile.width);
    colours.height = std::size_t(tile.height);
    colours.stride = 3 * std::size_t(tile.width);
    colours.alpha = tile.alpha.data();
    season::seasonRow(*panel.season).apply(colours, panel.strength, season::SnowNoise().state());
    return bgr;
}

// Water is shown half way to a clear blue, so the mask is seen where the texture is black.
QRgb shown(const std::uint8_t *bgr, std::uint8_t alpha)
{
    if (!season::isWater(alpha))
        return qRgb(bgr[2], bgr[1], bgr[0]);
    return qRgb((bgr[2] + 40) / 2, (bgr[1] + 110) / 2, (bgr[0] + 220) / 2);
}

} // namespace

SummerTile readSummerTile(const QString &path)
{
    const std::string file = platform::encodeFileName(path).toStdString();
    try {
        const std::vector<std::uint8_t> bytes = kovar::readFileBytes(file);
        const kovar::Image image = kovar::decodeBitmap(bytes, file);
        SummerTile tile;
        tile.width = int(image.width());
        tile.height = int(image.height());
        tile.bgr.resize(std::size_t(tile.width) * tile.height * 3);
        tile.alpha.resize(std::size_t(tile.width) * tile.height);
        std::size_t i = 0;
        for (int y = tile.height - 1; y >= 0; --y)
            for (int x = 0; x < tile.width; ++x, ++i) {
                const std::uint8_t *rgba = image.pixel(x, y);
                tile.bgr[3 * i] = rgba[2];
                tile.bgr[3 * i + 1] = rgba[1];
                tile.bgr[3 * i + 2] = rgba[0];
                tile.alpha[i] = rgba[3];
            }
        return tile;
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
}

QString panelLabel(const Panel &panel)
{
    if (!panel.season)
        return QStringLiteral("summer");
    return QStringLiteral("%1 %2")
        .arg(QString::fromLatin1(season::seasonName(*panel.season)))
        .arg(panel.strength);
}

namespace {

QImage renderRow(const SummerTile &tile, const std::vector<Panel> &panels, const QString &tileName)
{
    const int count = int(panels.size());
    QImage sheet(count * tile.width + (count + 1) * kGap, tile.height + kLabelHeight + 2 * kGap,
                 QImage::Format_RGB32);
    sheet.fill(kBackground);
    QPainter painter(&sheet);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(kLabelColour);
    for (int p = 0; p < count; ++p) {
        const int left = kGap + p * (tile.width + kGap);
        const int top = kGap + kLabelHeight;
        QString label = panelLabel(panels[p]);
        if (!panels[p].season && !tileName.isEmpty())
            label += QStringLiteral(": ") + tileName;
        painter.drawText(QRect(left, kGap, tile.width, kLabelHeight - 4),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        const std::vector<std::uint8_t> bgr = seasonPixels(tile, panels[p]);
        QImage panel(tile.width, tile.height, QImage::Format_RGB32);
        std::size_t i = 0;
        for (int y = tile.height - 1; y >= 0; --y) {
            auto *row = reinterpret_cast<QRgb *>(panel.scanLine(y));
            for (int x = 0; x < tile.width; ++x, ++i)
                row[x] = shown(&bgr[3 * i], tile.alpha[i]);
        }
        painter.drawImage(left, top, panel);
    }
    painter.end();
    return sheet;
}

} // namespace

QImage renderPreview(const SummerTile &tile, const std::vector<Panel> &panels)
{
    return renderRow(tile, panels, QString());
}

QImage renderContactSheet(const std::vector<NamedTile> &tiles, const std::vector<Panel> &panels)
{
    std::vector<QImage> rows;
    int width = 0;
    int height = 0;
    for (const NamedTile &named : tiles) {
        rows.push_back(renderRow(named.tile, panels, named.name));
        width = std::max(width, rows.back().width());
        height += rows.back().height() - (rows.size() > 1 ? kGap : 0);
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(kBackground);
    QPainter painter(&sheet);
    int top = 0;
    for (const QImage &row : rows) {
        painter.drawImage(0, top, row);
        top += row.height() - kGap; // rows share the gap between them
    }
    painter.end();
    return sheet;
}

std::vector<int> parseSweep(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok = parts.size() == 3;
    int values[3] = {};
    for (int k = 0; ok && k < 3; ++k)
        values[k] = parts[k].trimmed().toInt(&ok);
    const auto [from, to, step] = values;
    if (!ok || step <= 0 || from > to)
        throw platform::Error(
            QStringLiteral("sweep \"%1\" is not FROM:TO:STEP (integers, FROM <= TO, STEP > 0)")
                .arg(text)
                .toStdString());
    if ((static_cast<long long>(to) - from) / step + 1 > 32)
        throw platform::Error(
            QStringLiteral("sweep \"%1\" gives more than 32 pictures").arg(text).toStdString());
    std::vector<int> strengths;
    for (long long v = from; v <= to; v += step)
        strengths.push_back(int(v));
    return strengths;
}

void writePng(const QImage &image, const QString &path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw platform::Error(QStringLiteral("%1: cannot write the picture: %2")
                                  .arg(platform::displayFileName(path), writer.errorString())
                                  .toStdString());
    // Replaced whole or not at all, by the path's own bytes (a name need not be UTF-8).
    try {
        kovar::writeFileAtomically(
            platform::encodeFileName(path).toStdString(),
            std::span(reinterpret_cast<const std::uint8_t *>(png.constData()),
                      std::size_t(png.size())));
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
}

} // namespace preview
