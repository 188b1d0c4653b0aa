// A picture to judge seasons by: a tile's seasons side by side at 1:1, each labelled.
//
// Each panel is the tile as one season makes it, at one strength, with water (alpha below 128)
// drawn in one blue in every panel so that the mask shows; a panel's noise comes from a generator
// of its own started as a freshly started run starts it, so the same command gives the same
// picture. The pixels are processed in the order the texture files hold them (bottom row first), so
// a winter panel shows the snow a one-tile set writes.
#pragma once

#include "season/Season.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace preview {

// One panel: a season at a strength, or the summer tile itself (no season).
struct Panel
{
    std::optional<season::Season> season;
    int strength = 0;
};

// A tile's colour and mask, as the season rules take them: rows bottom-up, pixels blue,
// green, red, one alpha byte per pixel.
struct SummerTile
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
    std::vector<std::uint8_t> alpha;
};

// The tile at `path`, in any bitmap form the conversion library reads. Throws platform::Error
// naming the file and the reason.
SummerTile readSummerTile(const QString &path);

// The panel's label: "summer", "winter 70", "hard winter 60", ...
QString panelLabel(const Panel &panel);

// The panels in one row, each below its label; with `tileName`, the summer panel's label
// names the tile ("summer: 030123210321200su.bmp"). Needs a QGuiApplication (for the font).
// Throws platform::Error when the picture cannot be held in memory.
QImage renderPreview(const SummerTile &tile, const std::vector<Panel> &panels,
                     const QString &tileName = QString());

// The most pixels one row of a picture may hold (one tile's panels with their labels and
// gaps): 2^25, for example five 2048 x 2048 panels. A row needs about 40 bytes a pixel of
// memory at most, so a picture never needs more than about 1.3 GB, whatever its number of rows.
inline constexpr std::uint64_t largestRowPixels = std::uint64_t(1) << 25;

// Writes the picture of `tiles`, one row per tile in order, as renderPreview draws it, to the
// PNG `path`, row by row: memory does not grow with the number of tiles. With several tiles
// each summer label names its tile. Every tile's size is read first: a tile that cannot be
// read, or a row over largestRowPixels, throws platform::Error naming it before anything is
// written. The picture replaces `path` only once it is complete.
void writePreview(const std::vector<QString> &tiles, const std::vector<Panel> &panels,
                  const QString &path);

// The strengths from..to in steps of `step` ("40:160:20" gives 40, 60, ..., 160). Throws
// platform::Error for a range that is not three integers with step > 0 and from <= to, that
// goes outside lowest..highest, or that would give more than 32 panels.
std::vector<int> parseSweep(const QString &text, int lowest, int highest);

} // namespace preview
