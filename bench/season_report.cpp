// season_report: how the seasons come out on real photographs, in four figures per tile.
//
// Usage: season_report FOLDER [--hard-snow N]
// Reads every *su.bmp in FOLDER (a corpus made by scripts/make-corpus.sh), makes winter at
// its default, hard winter and spring, and prints per tile and in summary, each against its
// goal:
//   white   hard winter's whiteness over winter's: the mean over land of each pixel's lowest
//           channel, hard winter minus winter (goal: at least 0);
//   struct  the correlation, over land, of the gradient magnitudes of luminance (smoothed
//           with a Gaussian of sigma 1.5) between summer and hard winter (goal: at least 0.5);
//   grey    spring's largest change of green against the mean of red and blue on grey or
//           bare pixels (channels within 24 of each other, or red or blue at or above green),
//           over every strength 0 to 25 (goal: at most 3);
//   block   the share of hard winter's class changes (snow: every channel 220 or more; grey:
//           channels within 24; the rest) between neighbouring pixels that lie on the edges
//           of the 4 x 4 blocks of the texture format (goal: at most 30 %; 25 % is no pattern).
//           A tile with fewer than 256 class changes (nearly all snow) cannot show a pattern,
//           and the share of so few says nothing: it is printed with their count and not
//           judged, nor counted in the worst and median.
// Exit status 0 when every tile meets every goal, 1 otherwise.
#include "convlib/BitmapReader.h"
#include "convlib/FileIo.h"
#include "season/HardWinter.h"
#include "season/PixelRules.h"
#include "season/SeasonTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Tile
{
    std::size_t width = 0;
    std::size_t height = 0;
    std::vector<std::uint8_t> bgr; // rows bottom-up
    std::vector<std::uint8_t> alpha;

    season::TileColours colours(std::vector<std::uint8_t> &pixels) const
    {
        return season::TileColours{pixels.data(), pixels.size(), width,
                                   height,        3 * width,     alpha.data()};
    }
    bool land(std::size_t i) const
    {
        const season::Pixel p{bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]};
        return !season::isWater(alpha[i]) && !season::isBlueDominant(p);
    }
};

Tile readTile(const std::filesystem::path &path)
{
    const kovar::Image image =
        kovar::decodeBitmap(kovar::readFileBytes(path.string()), path.string());
    Tile tile;
    tile.width = image.width();
    tile.height = image.height();
    for (std::size_t y = tile.height; y-- > 0;)
        for (std::size_t x = 0; x < tile.width; ++x) {
            const std::uint8_t *rgba = image.pixel(std::uint32_t(x), std::uint32_t(y));
            tile.bgr.insert(tile.bgr.end(), {rgba[2], rgba[1], rgba[0]});
            tile.alpha.push_back(rgba[3]);
        }
    return tile;
}

std::vector<std::uint8_t> made(const Tile &tile, season::Season season, int strength)
{
    std::vector<std::uint8_t> out = tile.bgr;
    season::TileColours colours = tile.colours(out);
    season::seasonRow(season).apply(colours, strength, 1);
    return out;
}

double meanLowest(const Tile &tile, const std::vector<std::uint8_t> &bgr)
{
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < tile.alpha.size(); ++i)
        if (tile.land(i)) {
            sum += std::min({bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]});
            ++count;
        }
    return count ? sum / double(count) : 255.0;
}

// Gradient magnitudes of luminance smoothed by a Gaussian of sigma 1.5.
std::vector<double> gradients(const Tile &tile, const std::vector<std::uint8_t> &bgr)
{
    const std::size_t w = tile.width, h = tile.height;
    std::vector<double> lum(w * h), tmp(w * h), smooth(w * h), out(w * h, 0.0);
    for (std::size_t i = 0; i < w * h; ++i)
        lum[i] = 0.299 * bgr[3 * i + 2] + 0.587 * bgr[3 * i + 1] + 0.114 * bgr[3 * i];
    const double sigma = 1.5;
    const int r = 5;
    double kernel[2 * r + 1], total = 0;
    for (int d = -r; d <= r; ++d)
        total += kernel[d + r] = std::exp(-0.5 * d * d / (sigma * sigma));
    for (double &k : kernel)
        k /= total;
    const auto clampIndex = [](long long v, std::size_t n) {
        return std::size_t(std::clamp<long long>(v, 0, (long long)n - 1));
    };
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) {
            double s = 0;
            for (int d = -r; d <= r; ++d)
                s += kernel[d + r] * lum[y * w + clampIndex((long long)x + d, w)];
            tmp[y * w + x] = s;
        }
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) {
            double s = 0;
            for (int d = -r; d <= r; ++d)
                s += kernel[d + r] * tmp[clampIndex((long long)y + d, h) * w + x];
            smooth[y * w + x] = s;
        }
    for (std::size_t y = 1; y + 1 < h; ++y)
        for (std::size_t x = 1; x + 1 < w; ++x) {
            const double gx = smooth[y * w + x + 1] - smooth[y * w + x - 1];
            const double gy = smooth[(y + 1) * w + x] - smooth[(y - 1) * w + x];
            out[y * w + x] = std::hypot(gx, gy) / 2;
        }
    return out;
}

double structureKept(const Tile &tile, const std::vector<std::uint8_t> &winter)
{
    const std::vector<double> a = gradients(tile, tile.bgr);
    const std::vector<double> b = gradients(tile, winter);
    const std::size_t w = tile.width;
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0, n = 0;
    for (std::size_t y = 3; y + 3 < tile.height; ++y)
        for (std::size_t x = 3; x + 3 < w; ++x) {
            const std::size_t i = y * w + x;
            if (!tile.land(i))
                continue;
            sa += a[i];
            sb += b[i];
            saa += a[i] * a[i];
            sbb += b[i] * b[i];
            sab += a[i] * b[i];
            ++n;
        }
    const double cov = sab / n - sa / n * sb / n;
    const double va = saa / n - sa / n * sa / n;
    const double vb = sbb / n - sb / n * sb / n;
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
}

double springGreyShift(const Tile &tile)
{
    double worst = 0;
    for (int amount = 0; amount <= 25; ++amount) {
        const std::vector<std::uint8_t> spring = made(tile, season::Season::Spring, amount);
        for (std::size_t i = 0; i < tile.alpha.size(); ++i) {
            const int b = tile.bgr[3 * i], g = tile.bgr[3 * i + 1], r = tile.bgr[3 * i + 2];
            const bool grey = std::max({r, g, b}) - std::min({r, g, b}) < 24;
            if (!tile.land(i) || !(grey || r >= g || b >= g))
                continue;
            const double before = g - (r + b) / 2.0;
            const double after = spring[3 * i + 1] - (spring[3 * i + 2] + spring[3 * i]) / 2.0;
            worst = std::max(worst, std::abs(after - before));
        }
    }
    return worst;
}

int classOf(const std::uint8_t *bgr)
{
    const int lowest = std::min({bgr[0], bgr[1], bgr[2]});
    const int highest = std::max({bgr[0], bgr[1], bgr[2]});
    if (lowest >= 220)
        return 0;
    return highest - lowest < 24 ? 1 : 2;
}

struct BlockEdges
{
    double share = 0;
    std::size_t changes = 0;
    bool judged() const { return changes >= 256; }
};

BlockEdges blockEdgeShare(const Tile &tile, const std::vector<std::uint8_t> &winter)
{
    // Rows are bottom-up, but a 256-row tile's blocks start on row 0 either way.
    std::size_t changes = 0, onEdges = 0;
    const std::size_t w = tile.width;
    for (std::size_t y = 0; y < tile.height; ++y)
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t i = y * w + x;
            if (!tile.land(i))
                continue;
            const int c = classOf(&winter[3 * i]);
            if (x + 1 < w && tile.land(i + 1) && classOf(&winter[3 * (i + 1)]) != c) {
                ++changes;
                onEdges += x % 4 == 3;
            }
            if (y + 1 < tile.height && tile.land(i + w) && classOf(&winter[3 * (i + w)]) != c) {
                ++changes;
                onEdges += y % 4 == 3;
            }
        }
    return {changes ? double(onEdges) / double(changes) : 0.0, changes};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: season_report FOLDER [--hard-snow N]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    int depth = season::seasonRow(season::Season::HardWinter).defaultStrength;
    if (argc == 4 && std::strcmp(argv[2], "--hard-snow") == 0)
        depth = std::atoi(argv[3]);
    const int snow = season::seasonRow(season::Season::Winter).defaultStrength;

    std::vector<std::filesystem::path> tiles;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == 21 && name.ends_with("su.bmp"))
            tiles.push_back(entry.path());
    }
    std::sort(tiles.begin(), tiles.end());
    if (tiles.empty()) {
        std::fprintf(stderr, "season_report: no ???????????????su.bmp in %s\n", folder.c_str());
        return 2;
    }

    std::printf("hard winter %d against winter %d, spring 0..25, %zu tiles of %s\n", depth, snow,
                tiles.size(), folder.c_str());
    std::printf("%-22s %8s %8s %8s %8s %8s  %s\n", "tile", "winter", "hard", "white", "struct",
                "grey", "block");
    std::printf("%-22s %8s %8s %8s %8s %8s  %s\n", "goal", "", "", ">= 0", ">= 0.50", "<= 3",
                "<= 30 %");
    std::vector<double> whites, structures, greys, blocks;
    int failing = 0;
    for (const auto &path : tiles) {
        const Tile tile = readTile(path);
        const auto winter = made(tile, season::Season::Winter, snow);
        const auto hard = made(tile, season::Season::HardWinter, depth);
        const double w = meanLowest(tile, winter);
        const double h = meanLowest(tile, hard);
        const double s = structureKept(tile, hard);
        const double g = springGreyShift(tile);
        const BlockEdges edges = blockEdgeShare(tile, hard);
        const double b = edges.share;
        const bool ok = h >= w && s >= 0.5 && g <= 3 && (!edges.judged() || b <= 0.30);
        failing += !ok;
        whites.push_back(h - w);
        structures.push_back(s);
        greys.push_back(g);
        if (edges.judged())
            blocks.push_back(b);
        const std::string few =
            edges.judged() ? "" : " of " + std::to_string(edges.changes) + " changes, not judged";
        std::printf("%-22s %8.1f %8.1f %+8.1f %8.2f %8.1f  %5.1f %%%s%s\n", path.filename().c_str(),
                    w, h, h - w, s, g, 100 * b, few.c_str(), ok ? "" : "  MISSED");
    }
    const auto minOf = [](const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    };
    const auto maxOf = [](const std::vector<double> &v) {
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    };
    std::printf("%-22s %8s %8s %+8.1f %8.2f %8.1f  %5.1f %%\n", "worst", "", "", minOf(whites),
                minOf(structures), maxOf(greys), 100 * maxOf(blocks));
    std::printf("%-22s %8s %8s %+8.1f %8.2f %8.1f  %5.1f %%\n", "median", "", "", median(whites),
                median(structures), median(greys), 100 * median(blocks));
    std::printf("%d of %zu tiles meet every goal\n", int(tiles.size()) - failing, tiles.size());
    return failing ? 1 : 0;
}
