// A picture to judge seasons by: a tile's seasons side by side at 1:1, each labelled.
//
// Each panel is the tile as one season makes it, at one strength, with water (alpha below 128)
// tinted blue so that the mask shows; a panel's noise comes from a generator of its own started
// as a freshly started run starts it, so the same command gives the same picture. The pixels
// are processed in the order the texture files hold them (bottom row first), so a winter panel
// shows the snow a one-tile set writes.
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

// The panel's label: "summer", "winter 70", "hard winter 70", ...
QString panelLabel(const Panel &panel);

// The panels in one row, each below its label. Needs a QGuiApplication (for the font).
QImage renderPreview(const SummerTile &tile, const std::vector<Panel> &panels);

// A named tile of a contact sheet.
struct NamedTile
{
    QString name;
    SummerTile tile;
};

// One row per tile, in order, as renderPreview draws it, with the tile's name in the label
// of its summer panel ("summer: 030123210321200su.bmp"), so a sheet of several tiles says
// which is which.
QImage renderContactSheet(const std::vector<NamedTile> &tiles, const std::vector<Panel> &panels);

// The strengths from..to in steps of `step` ("40:160:20" gives 40, 60, ..., 160). Throws
// platform::Error for a range that is not three integers with step > 0 and from <= to, or
// that would give more than 32 panels.
std::vector<int> parseSweep(const QString &text);

// Writes the picture as PNG, replacing `path` only with a complete file. Throws
// platform::Error naming the file and the reason.
void writePng(const QImage &image, const QString &path);

} // namespace preview
