// A picture to judge seasons by: a tile's seasons side by side at 1:1, each labelled.
#include "preview/SeasonPreview.h"

#include "convlib/BitmapReader.h"
#include "convlib/Error.h"
#include "convlib/FileIo.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "preview/PngStream.h"
#include "season/PixelRules.h"
#include "season/SeasonTable.h"

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace preview {

namespace {

constexpr int kLabelHeight = 20;
constexpr int kGap = 8;
const QColor kBackground(48, 48, 48);
const QColor kLabelColour(235, 235, 235);
const QRgb kWater = qRgb(40, 90, 170);

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

// Water (alpha below 128) is drawn in one colour in every panel, so the mask shows the same
// wherever a season's rule changed or kept it.
QRgb shown(const std::uint8_t *bgr, std::uint8_t alpha)
{
    if (season::isWater(alpha))
        return kWater;
    return qRgb(bgr[2], bgr[1], bgr[0]);
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

std::uint64_t rowWidth(std::uint64_t tileWidth, std::size_t panels)
{
    return panels * tileWidth + (panels + 1) * kGap;
}

std::uint64_t rowHeight(std::uint64_t tileHeight)
{
    return tileHeight + kLabelHeight + 2 * kGap;
}

} // namespace

QImage renderPreview(const SummerTile &tile, const std::vector<Panel> &panels,
                     const QString &tileName)
{
    const int count = int(panels.size());
    QImage sheet(int(rowWidth(std::uint64_t(tile.width), panels.size())),
                 int(rowHeight(std::uint64_t(tile.height))), QImage::Format_RGB32);
    if (sheet.isNull())
        throw platform::Error(
            QStringLiteral("not enough memory for a %1-panel row of %2 x %3 tiles")
                .arg(count)
                .arg(tile.width)
                .arg(tile.height)
                .toStdString());
    sheet.fill(kBackground);
    QPainter painter(&sheet);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(kLabelColour);
    QImage panel(tile.width, tile.height, QImage::Format_RGB32);
    for (int p = 0; p < count; ++p) {
        const int left = kGap + p * (tile.width + kGap);
        const int top = kGap + kLabelHeight;
        QString label = panelLabel(panels[p]);
        if (!panels[p].season && !tileName.isEmpty())
            label += QStringLiteral(": ") + tileName;
        painter.drawText(QRect(left, kGap, tile.width, kLabelHeight - 4),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        const std::vector<std::uint8_t> bgr = seasonPixels(tile, panels[p]);
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

void writePreview(const std::vector<QString> &tiles, const std::vector<Panel> &panels,
                  const QString &path)
{
    // Every tile's size first, from its headers: the picture's size, and any tile that cannot
    // be read or drawn, are known before anything is written.
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    for (const QString &tile : tiles) {
        const std::string file = platform::encodeFileName(tile).toStdString();
        kovar::BitmapInfo info;
        try {
            info = kovar::inspectBitmap(kovar::readFileBytes(file), file);
        } catch (const kovar::Error &e) {
            throw platform::Error(e.what());
        }
        const std::uint64_t w = rowWidth(info.width, panels.size());
        const std::uint64_t h = rowHeight(info.height);
        if (w * h > largestRowPixels)
            throw platform::Error(
                QStringLiteral("%1: a row of %2 panels of %3 x %4 pixels would hold %5 pixels, "
                               "more than the %6 a preview row may hold")
                    .arg(platform::displayFileName(tile))
                    .arg(panels.size())
                    .arg(info.width)
                    .arg(info.height)
                    .arg(w * h)
                    .arg(largestRowPixels)
                    .toStdString());
        width = std::max(width, w);
        height += h - (height > 0 ? kGap : 0); // rows share the gap between them
    }

    PngStream png(path, std::uint32_t(std::min<std::uint64_t>(width, UINT32_MAX)),
                  std::uint32_t(std::min<std::uint64_t>(height, UINT32_MAX)));
    std::vector<QRgb> line(std::size_t(width), kBackground.rgb());
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const QString name = tiles.size() > 1
                                 ? platform::displayFileName(QFileInfo(tiles[t]).fileName())
                                 : QString();
        const QImage row = renderPreview(readSummerTile(tiles[t]), panels, name);
        for (int y = t == 0 ? 0 : kGap; y < row.height(); ++y) {
            const auto *pixels = reinterpret_cast<const QRgb *>(row.constScanLine(y));
            std::copy(pixels, pixels + row.width(), line.begin());
            png.writeRow(line.data());
        }
    }
    png.finish();
}

std::vector<int> parseSweep(const QString &text, int lowest, int highest)
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
    if (from < lowest || to > highest)
        throw platform::Error(QStringLiteral("sweep \"%1\" goes outside %2..%3")
                                  .arg(text)
                                  .arg(lowest)
                                  .arg(highest)
                                  .toStdString());
    if ((static_cast<long long>(to) - from) / step + 1 > 32)
        throw platform::Error(
            QStringLiteral("sweep \"%1\" gives more than 32 pictures").arg(text).toStdString());
    std::vector<int> strengths;
    for (long long v = from; v <= to; v += step)
        strengths.push_back(int(v));
    return strengths;
}

} // namespace preview
