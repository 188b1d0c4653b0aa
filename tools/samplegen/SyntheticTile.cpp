// Believable synthetic summer ground tiles (fields, forest, roads, a town, water) from a seed.
#include "samplegen/SyntheticTile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace samplegen {

namespace {

constexpr int kN = static_cast<int>(SyntheticTile::kSize);
constexpr double kPi = 3.14159265358979323846;

std::uint64_t mix64(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A small deterministic generator; the standard distributions differ between libraries.
class Random
{
  public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() { return mix64(m_state += 0x632BE59BD9B4E019ull); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * double(next() >> 11) * 0x1p-53; }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % std::uint64_t(hi - lo + 1)); }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }

  private:
    std::uint64_t m_state;
};

// Uniform value in [0, 1) attached to one lattice point.
double lattice(std::uint64_t salt, int x, int y)
{
    const std::uint64_t key =
        (std::uint64_t(std::uint32_t(x)) << 32) | std::uint64_t(std::uint32_t(y));
    return double(mix64(salt ^ mix64(key)) >> 11) * 0x1p-53;
}

double valueNoise(std::uint64_t salt, double x, double y)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    const double tx = x - fx;
    const double ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx);
    const double sy = ty * ty * (3 - 2 * ty);
    const double top = lattice(salt, ix, iy) * (1 - sx) + lattice(salt, ix + 1, iy) * sx;
    const double bottom = lattice(salt, ix, iy + 1) * (1 - sx) + lattice(salt, ix + 1, iy + 1) * sx;
    return top * (1 - sy) + bottom * sy;
}

// Fractal noise in [0, 1), mean about 0.5.
double fbm(std::uint64_t salt, double x, double y, int octaves)
{
    double sum = 0;
    double amplitude = 1;
    double total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(salt + std::uint64_t(i) * 7919, x, y);
        total += amplitude;
        amplitude *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / total;
}

struct Rgb
{
    double r, g, b;
    Rgb operator*(double k) const { return {r * k, g * k, b * k}; }
    Rgb operator+(const Rgb &o) const { return {r + o.r, g + o.g, b + o.b}; }
};

Rgb blend(const Rgb &a, const Rgb &b, double t)
{
    return a * (1 - t) + b * t;
}

struct Parcel
{
    double u0, v0, u1, v1;
    Rgb colour;
    double stripePeriod;
    double stripeAmplitude;
    bool stripesAlongU;
    bool hedged;
};

// The canvas the layers are painted on, in floating point until the final rounding.
class Canvas
{
  public:
    Canvas() : m_rgb(std::size_t(kN) * kN, Rgb{0, 0, 0}), m_water(std::size_t(kN) * kN, false) {}
    Rgb &at(int x, int y) { return m_rgb[std::size_t(y) * kN + x]; }
    bool water(int x, int y) const { return m_water[std::size_t(y) * kN + x]; }
    void setWater(int x, int y, bool w) { m_water[std::size_t(y) * kN + x] = w; }
    std::vector<Rgb> &pixels() { return m_rgb; }

  private:
    std::vector<Rgb> m_rgb;
    std::vector<bool> m_water;
};

const std::array<Rgb, 6> kCrops = {{
    {196, 176, 112}, // ripe grain
    {112, 142, 62},  // young crop
    {122, 150, 84},  // pasture
    {142, 112, 82},  // ploughed soil
    {72, 102, 48},   // maize
    {172, 166, 104}, // cut hay
}};

void splitParcels(Random &rnd, double u0, double v0, double u1, double v1, double maxSize,
                  std::vector<Parcel> &out)
{
    const double w = u1 - u0;
    const double h = v1 - v0;
    if (w > maxSize || h > maxSize) {
        const double t = rnd.uniform(0.35, 0.65);
        if (w >= h) {
            splitParcels(rnd, u0, v0, u0 + w * t, v1, maxSize, out);
            splitParcels(rnd, u0 + w * t, v0, u1, v1, maxSize, out);
        } else {
            splitParcels(rnd, u0, v0, u1, v0 + h * t, maxSize, out);
            splitParcels(rnd, u0, v0 + h * t, u1, v1, maxSize, out);
        }
        return;
    }
    const Rgb &crop = kCrops[std::size_t(rnd.range(0, int(kCrops.size()) - 1))];
    const double vary = rnd.uniform(0.85, 1.12);
    out.push_back({u0, v0, u1, v1,
                   Rgb{crop.r * vary + rnd.uniform(-8, 8), crop.g * vary + rnd.uniform(-8, 8),
                       crop.b * vary + rnd.uniform(-6, 6)},
                   rnd.uniform(2.5, 6.0), rnd.uniform(3, 12), rnd.chance(0.5), rnd.chance(0.3)});
}

void paintFields(Random &rnd, std::uint64_t salt, Canvas &canvas)
{
    const double angle = rnd.uniform(-0.45, 0.45);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    std::vector<Parcel> parcels;
    splitParcels(rnd, -190, -190, 190, 190, rnd.uniform(45, 95), parcels);
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const double cx = x - kN / 2.0;
            const double cy = y - kN / 2.0;
            const double u = cx * c + cy * s;
            const double v = -cx * s + cy * c;
            const Parcel *p = &parcels.front();
            for (const Parcel &candidate : parcels) {
                if (u >= candidate.u0 && u < candidate.u1 && v >= candidate.v0 &&
                    v < candidate.v1) {
                    p = &candidate;
                    break;
                }
            }
            const double along = p->stripesAlongU ? v : u;
            const double stripe = std::sin(along * 2 * kPi / p->stripePeriod);
            const double patch = (fbm(salt, x / 40.0, y / 40.0, 3) - 0.5) * 40;
            Rgb colour = p->colour + Rgb{1, 1, 0.8} * (stripe * p->stripeAmplitude + patch);
            const double edge = std::min({u - p->u0, p->u1 - u, v - p->v0, p->v1 - v});
            if (p->hedged && edge < 2.5) {
                const double leaf = fbm(salt + 5, x / 2.0, y / 2.0, 2);
                colour = Rgb{58, 84, 40} * (0.7 + 0.6 * leaf);
            } else if (edge < 1.0) {
                colour = blend(colour, Rgb{150, 136, 106}, 0.6);
            }
            canvas.at(x, y) = colour;
        }
    }
}

// Tree crowns: bright centres and dark gaps from the distance to jittered cell points.
void paintForest(Random &rnd, std::uint64_t salt, Canvas &canvas)
{
    const double threshold = rnd.uniform(0.5, 0.64);
    const double cell = rnd.uniform(3.5, 5.5);
    const double conifer = rnd.uniform(0.0, 1.0);
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const double f = fbm(salt, x / 70.0, y / 70.0, 4);
            if (f < threshold) {
                continue;
            }
            const int ci = static_cast<int>(std::floor(x / cell));
            const int cj = static_cast<int>(std::floor(y / cell));
            double best = 1e9;
            double tint = 0;
            for (int j = cj - 1; j <= cj + 1; ++j) {
                for (int i = ci - 1; i <= ci + 1; ++i) {
                    const double px = (i + lattice(salt + 1, i, j)) * cell;
                    const double py = (j + lattice(salt + 2, i, j)) * cell;
                    const double d = (px - x) * (px - x) + (py - y) * (py - y);
                    if (d < best) {
                        best = d;
                        tint = lattice(salt + 3, i, j);
                    }
                }
            }
            const double shade = std::max(0.0, 1.0 - best / (cell * cell) * 0.9);
            const Rgb base = tint < conifer ? Rgb{38, 62, 36} : Rgb{74, 102, 48};
            const Rgb crown = base * (0.45 + 0.8 * shade);
            const double edge = std::clamp((f - threshold) * 40, 0.0, 1.0);
            canvas.at(x, y) = blend(canvas.at(x, y), crown, edge);
        }
    }
}

void fillRect(Canvas &canvas, int x0, int y0, int x1, int y1, const Rgb &colour)
{
    for (int y = std::max(0, y0); y < std::min(kN, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(kN, x1); ++x) {
            canvas.at(x, y) = colour;
        }
    }
}

void shadeRect(Canvas &canvas, int x0, int y0, int x1, int y1, double k)
{
    for (int y = std::max(0, y0); y < std::min(kN, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(kN, x1); ++x) {
            canvas.at(x, y) = canvas.at(x, y) * k;
        }
    }
}

// A town patch: a street grid, gardens, houses with two-tone roofs and their shadows, pools.
void paintTown(Random &rnd, Canvas &canvas)
{
    const std::array<Rgb, 6> roofs = {{{164, 84, 62},
                                       {124, 122, 126},
                                       {72, 70, 76},
                                       {190, 184, 176},
                                       {88, 104, 134},
                                       {140, 70, 56}}};
    const int size = rnd.range(70, 110);
    const int x0 = rnd.range(0, kN - size);
    const int y0 = rnd.range(0, kN - size);
    const int spacing = rnd.range(18, 26);
    fillRect(canvas, x0, y0, x0 + size, y0 + size, Rgb{112, 110, 108});
    for (int by = y0 + 3; by + 6 < y0 + size; by += spacing) {
        for (int bx = x0 + 3; bx + 6 < x0 + size; bx += spacing) {
            const int bw = std::min(spacing - 3, x0 + size - bx);
            const int bh = std::min(spacing - 3, y0 + size - by);
            fillRect(canvas, bx, by, bx + bw, by + bh, Rgb{96, 126, 72} * rnd.uniform(0.85, 1.1));
            const int houses = rnd.range(1, 3);
            for (int k = 0; k < houses; ++k) {
                const int hw = rnd.range(5, std::max(5, bw - 4));
                const int hh = rnd.range(5, std::max(5, bh - 4));
                const int hx = bx + rnd.range(1, std::max(1, bw - hw - 1));
                const int hy = by + rnd.range(1, std::max(1, bh - hh - 1));
                const Rgb roof = roofs[std::size_t(rnd.range(0, int(roofs.size()) - 1))];
                shadeRect(canvas, hx + 2, hy + 2, hx + hw + 2, hy + hh + 2, 0.6);
                if (hw >= hh) {
                    fillRect(canvas, hx, hy, hx + hw, hy + hh / 2, roof * 1.1);
                    fillRect(canvas, hx, hy + hh / 2, hx + hw, hy + hh, roof * 0.82);
                } else {
                    fillRect(canvas, hx, hy, hx + hw / 2, hy + hh, roof * 1.1);
                    fillRect(canvas, hx + hw / 2, hy, hx + hw, hy + hh, roof * 0.82);
                }
            }
            if (rnd.chance(0.15)) {
                const int px = bx + bw - 5;
                const int py = by + bh - 5;
                fillRect(canvas, px, py, px + 3, py + 4, Rgb{72, 164, 194});
            }
        }
    }
}

// Signed distance-like measure to the water's edge in pixels: positive on water.
class Water
{
  public:
    Water(Random &rnd, std::uint64_t salt) : m_salt(salt)
    {
        const double pick = rnd.uniform(0, 1);
        m_kind = pick < 0.15   ? Kind::None
                 : pick < 0.45 ? Kind::Lake
                 : pick < 0.75 ? Kind::River
                               : Kind::Coast;
        m_cx = rnd.uniform(40, 216);
        m_cy = rnd.uniform(40, 216);
        m_radius = rnd.uniform(30, 70);
        m_halfWidth = rnd.uniform(6, 16);
        m_wavelength = rnd.uniform(120, 260);
        m_amplitude = rnd.uniform(10, 40);
        m_phase = rnd.uniform(0, 2 * kPi);
        const double angle = rnd.uniform(0, 2 * kPi);
        m_nx = std::cos(angle);
        m_ny = std::sin(angle);
        m_alongY = rnd.chance(0.5);
    }

    // Roads cross a river on bridges; a lake or the sea stops them.
    bool bridgeable() const { return m_kind == Kind::River; }

    double depth(int x, int y) const
    {
        const double wobble = (fbm(m_salt, x / 30.0, y / 30.0, 3) - 0.5);
        switch (m_kind) {
        case Kind::None:
            return -1e9;
        case Kind::Lake: {
            const double d = std::hypot(x - m_cx, y - m_cy) / m_radius + wobble * 0.6;
            return (1 - d) * m_radius;
        }
        case Kind::River: {
            const double t = m_alongY ? y : x;
            const double across = m_alongY ? x : y;
            const double centre =
                m_cx + m_amplitude * std::sin(t * 2 * kPi / m_wavelength + m_phase) + wobble * 30;
            return m_halfWidth - std::abs(across - centre);
        }
        case Kind::Coast:
            return (x - m_cx) * m_nx + (y - m_cy) * m_ny + wobble * 40;
        }
        return -1e9;
    }

  private:
    enum class Kind { None, Lake, River, Coast };
    std::uint64_t m_salt;
    Kind m_kind;
    double m_cx, m_cy, m_radius, m_halfWidth, m_wavelength, m_amplitude, m_phase, m_nx, m_ny;
    bool m_alongY;
};

void paintWater(const Water &water, std::uint64_t salt, Canvas &canvas)
{
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const double d = water.depth(x, y);
            if (d > 0) {
                const double ripple = (fbm(salt, x / 3.0, y / 9.0, 2) - 0.5) * 10;
                const Rgb deep{30, 60, 86};
                const Rgb shallow{58, 92, 100};
                canvas.at(x, y) =
                    blend(shallow, deep, std::min(d / 8, 1.0)) + Rgb{1, 1, 1} * ripple;
                canvas.setWater(x, y, true);
            } else if (d > -2.5) {
                canvas.at(x, y) = blend(canvas.at(x, y), Rgb{156, 146, 116}, 0.75);
            }
        }
    }
}

// Asphalt roads, gently curved, with light verges; over water they become bridges.
void paintRoads(Random &rnd, const Water &water, Canvas &canvas)
{
    const int roads = rnd.range(1, 3);
    for (int k = 0; k < roads; ++k) {
        const bool alongX = rnd.chance(0.5);
        const double a = rnd.uniform(20, 236);
        const double slope = rnd.uniform(-0.4, 0.4);
        const double bend = rnd.uniform(0, 25);
        const double wavelength = rnd.uniform(150, 400);
        const double phase = rnd.uniform(0, 2 * kPi);
        const double halfWidth = rnd.uniform(1.5, 2.8);
        const Rgb asphalt = Rgb{102, 102, 106} * rnd.uniform(0.85, 1.15);
        for (int y = 0; y < kN; ++y) {
            for (int x = 0; x < kN; ++x) {
                const double t = alongX ? x : y;
                const double across = alongX ? y : x;
                const double w = 2 * kPi / wavelength;
                const double centre = a + slope * (t - 128) + bend * std::sin(t * w + phase);
                const double derivative = slope + bend * w * std::cos(t * w + phase);
                const double d = std::abs(across - centre) / std::sqrt(1 + derivative * derivative);
                if (canvas.water(x, y) && !water.bridgeable()) {
                    continue;
                }
                if (d < halfWidth) {
                    canvas.at(x, y) = asphalt;
                    canvas.setWater(x, y, false);
                } else if (d < halfWidth + 1) {
                    canvas.at(x, y) = blend(canvas.at(x, y), Rgb{168, 162, 146}, 0.7);
                }
            }
        }
    }
}

// A light [1 2 1] blur, as the optics of an aerial camera soften edges.
void soften(Canvas &canvas)
{
    std::vector<Rgb> &p = canvas.pixels();
    std::vector<Rgb> tmp(p.size());
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const Rgb &l = p[std::size_t(y) * kN + std::max(0, x - 1)];
            const Rgb &r = p[std::size_t(y) * kN + std::min(kN - 1, x + 1)];
            tmp[std::size_t(y) * kN + x] = (l + r + p[std::size_t(y) * kN + x] * 2) * 0.25;
        }
    }
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const Rgb &u = tmp[std::size_t(std::max(0, y - 1)) * kN + x];
            const Rgb &d = tmp[std::size_t(std::min(kN - 1, y + 1)) * kN + x];
            p[std::size_t(y) * kN + x] = (u + d + tmp[std::size_t(y) * kN + x] * 2) * 0.25;
        }
    }
}

std::uint8_t toByte(double v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

SyntheticTile::SyntheticTile(std::uint32_t seed)
    : m_seed(seed), m_rgba(std::size_t(kSize) * kSize * 4)
{
    Random rnd(mix64(seed));
    const std::uint64_t salt = rnd.next();
    Canvas canvas;
    paintFields(rnd, salt + 10, canvas);
    paintForest(rnd, salt + 20, canvas);
    if (rnd.chance(0.6)) {
        paintTown(rnd, canvas);
    }
    const Water water(rnd, salt + 30);
    paintWater(water, salt + 40, canvas);
    paintRoads(rnd, water, canvas);
    soften(canvas);
    for (int y = 0; y < kN; ++y) {
        for (int x = 0; x < kN; ++x) {
            const double grain = (lattice(salt + 50, x, y) - 0.5) * 8;
            const Rgb c = canvas.at(x, y);
            std::uint8_t *out = &m_rgba[(std::size_t(y) * kSize + x) * 4];
            out[0] = toByte(c.r + grain + (lattice(salt + 51, x, y) - 0.5) * 4);
            out[1] = toByte(c.g + grain + (lattice(salt + 52, x, y) - 0.5) * 4);
            out[2] = toByte(c.b + grain + (lattice(salt + 53, x, y) - 0.5) * 4);
            out[3] = canvas.water(x, y) ? 0 : 255;
        }
    }
}

} // namespace samplegen
