// Four-colour DXT1 block fitting: measuring a pair of endpoints, a cluster fit along the
// principal axis, and a greedy search that improves quantised endpoints.
#include "convlib/DxtFourColourFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kovar::dxtblock {

namespace {

constexpr int kChannelMax[3] = {31, 63, 31};

int channel(std::uint16_t c, int ch)
{
    return ch == 0 ? (c >> 11) & 31 : ch == 1 ? (c >> 5) & 63 : c & 31;
}

std::uint16_t pack565(const int q[3])
{
    return static_cast<std::uint16_t>((q[0] << 11) | (q[1] << 5) | q[2]);
}

std::uint16_t withChannel(std::uint16_t c, int ch, int v)
{
    int q[3] = {channel(c, 0), channel(c, 1), channel(c, 2)};
    q[ch] = v;
    return pack565(q);
}

} // namespace

Fit evaluate(const Texels &t, std::uint16_t e0, std::uint16_t e1)
{
    const auto a = expand565(e0);
    const auto b = expand565(e1);
    const int pr[4] = {a[0], b[0], (2 * a[0] + b[0]) / 3, (a[0] + 2 * b[0]) / 3};
    const int pg[4] = {a[1], b[1], (2 * a[1] + b[1]) / 3, (a[1] + 2 * b[1]) / 3};
    const int pb[4] = {a[2], b[2], (2 * a[2] + b[2]) / 3, (a[2] + 2 * b[2]) / 3};
    // Plain loops over the sixteen texels, so that the compiler vectorises them.
    int d[4][kTexels];
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < kTexels; ++i) {
            const int dr = t.r[i] - pr[k];
            const int dg = t.g[i] - pg[k];
            const int db = t.b[i] - pb[k];
            d[k][i] = dr * dr + dg * dg + db * db;
        }
    }
    int best[kTexels];
    int index[kTexels];
    for (int i = 0; i < kTexels; ++i) {
        const int low = std::min(d[0][i], d[1][i]);
        const int lowIndex = d[1][i] < d[0][i] ? 1 : 0;
        const int high = std::min(d[2][i], d[3][i]);
        const int highIndex = d[3][i] < d[2][i] ? 3 : 2;
        best[i] = std::min(low, high);
        index[i] = high < low ? highIndex : lowIndex;
    }
    Fit fit{e0, e1, 0, 0};
    for (int i = 0; i < kTexels; ++i) {
        fit.error += best[i];
        fit.indices |= std::uint32_t(index[i]) << (2 * i);
    }
    return fit;
}

namespace {

// The endpoints that minimise the squared error for fixed four-colour indices, rounded to
// 5:6:5. False when the indices do not pin both endpoints down (all texels on one end).
bool leastSquares(const Texels &t, std::uint32_t indices, std::uint16_t &e0, std::uint16_t &e1)
{
    static constexpr double kWeight0[4] = {1, 0, 2.0 / 3, 1.0 / 3};
    double aa = 0, ab = 0, bb = 0;
    double ax[3] = {0, 0, 0}, bx[3] = {0, 0, 0};
    for (int i = 0; i < kTexels; ++i) {
        const double w = kWeight0[(indices >> (2 * i)) & 3];
        const double v = 1 - w;
        aa += w * w;
        ab += w * v;
        bb += v * v;
        const double x[3] = {double(t.r[i]), double(t.g[i]), double(t.b[i])};
        for (int c = 0; c < 3; ++c) {
            ax[c] += w * x[c];
            bx[c] += v * x[c];
        }
    }
    const double det = aa * bb - ab * ab;
    if (std::abs(det) < 1e-6) {
        return false;
    }
    int q0[3], q1[3];
    for (int c = 0; c < 3; ++c) {
        const double p = (bb * ax[c] - ab * bx[c]) / det;
        const double q = (aa * bx[c] - ab * ax[c]) / det;
        q0[c] = std::clamp(int(std::lround(p * kChannelMax[c] / 255.0)), 0, kChannelMax[c]);
        q1[c] = std::clamp(int(std::lround(q * kChannelMax[c] / 255.0)), 0, kChannelMax[c]);
    }
    e0 = pack565(q0);
    e1 = pack565(q1);
    return true;
}

// Rounds an 8-bit-per-channel colour to the nearest 5:6:5 one.
std::uint16_t quantise(const float c[3])
{
    int q[3];
    for (int ch = 0; ch < 3; ++ch) {
        q[ch] = std::clamp(int(std::lround(c[ch] * kChannelMax[ch] / 255.0f)), 0, kChannelMax[ch]);
    }
    return pack565(q);
}

// Per split of sixteen ordered texels into the four runs of a four-colour block, the inverse of
// the least-squares normal matrix [[aa, ab], [ab, bb]] as (p, q; q, r): it depends only on the
// run lengths, so it is computed once. A split that pins down only one endpoint gets zeros.
constexpr int kSplits = (kTexels + 1) * (kTexels + 2) * (kTexels + 3) / 6;
// The search scores this many splits at once, a multiple of the vector width above 16.
constexpr int kLanes = 20;

struct PartitionTable
{
    struct Row
    {
        float p, q, r;
    };
    // In the order the search visits the splits: i, then j >= i, then k >= j.
    // Zero-padded for the search's reads past the last split.
    float p[kSplits + kLanes], q2[kSplits + kLanes], r[kSplits + kLanes];
    Row rows[kTexels + 1][kTexels + 1][kTexels + 1];
};

const PartitionTable &partitionTable()
{
    static const PartitionTable table = [] {
        PartitionTable t{};
        int n = 0;
        for (int i = 0; i <= kTexels; ++i) {
            for (int j = i; j <= kTexels; ++j) {
                for (int k = j; k <= kTexels; ++k, ++n) {
                    const double n2 = j - i, n3 = k - j;
                    const double aa = i + (4 * n2 + n3) / 9;
                    const double bb = (kTexels - k) + (n2 + 4 * n3) / 9;
                    const double ab = 2 * (n2 + n3) / 9;
                    const double det = aa * bb - ab * ab;
                    PartitionTable::Row row{0, 0, 0};
                    if (det > 1e-6) {
                        row = {float(bb / det), float(-ab / det), float(aa / det)};
                    }
                    t.rows[i][j][k] = row;
                    t.p[n] = row.p;
                    t.q2[n] = 2 * row.q;
                    t.r[n] = row.r;
                }
            }
        }
        return t;
    }();
    return table;
}

} // namespace

// The runs of a split are: on endpoint 0, two thirds of the way, one third of the way, on
// endpoint 1. The split kept is the one whose least-squares endpoints leave the smallest error.
Fit clusterFit(const Texels &t)
{
    float x[kTexels][3];
    float mean[3] = {0, 0, 0};
    for (int i = 0; i < kTexels; ++i) {
        x[i][0] = float(t.r[i]), x[i][1] = float(t.g[i]), x[i][2] = float(t.b[i]);
        for (int c = 0; c < 3; ++c) {
            mean[c] += x[i][c] / kTexels;
        }
    }
    float cov[3][3] = {};
    for (int i = 0; i < kTexels; ++i) {
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                cov[a][b] += (x[i][a] - mean[a]) * (x[i][b] - mean[b]);
            }
        }
    }
    // Power iteration for the principal axis, started from the covariance column of the largest
    // variance rather than a fixed vector, which colours varying across it would leave unmoved.
    const int widest = cov[0][0] >= cov[1][1] && cov[0][0] >= cov[2][2] ? 0
                       : cov[1][1] >= cov[2][2]                         ? 1
                                                                        : 2;
    float axis[3] = {cov[0][widest], cov[1][widest], cov[2][widest]};
    if (cov[widest][widest] == 0) {
        axis[0] = axis[1] = axis[2] = 1;
    }
    for (int iteration = 0; iteration < 8; ++iteration) {
        float next[3];
        float largest = 0;
        for (int a = 0; a < 3; ++a) {
            next[a] = cov[a][0] * axis[0] + cov[a][1] * axis[1] + cov[a][2] * axis[2];
            largest = std::max(largest, std::abs(next[a]));
        }
        if (largest == 0) {
            break;
        }
        for (int a = 0; a < 3; ++a) {
            axis[a] = next[a] / largest;
        }
    }
    int order[kTexels];
    float key[kTexels];
    for (int i = 0; i < kTexels; ++i) {
        const float k = x[i][0] * axis[0] + x[i][1] * axis[1] + x[i][2] * axis[2];
        int j = i;
        while (j > 0 && key[j - 1] > k) {
            key[j] = key[j - 1];
            order[j] = order[j - 1];
            --j;
        }
        key[j] = k;
        order[j] = i;
    }
    float prefix[kTexels + 1][3];
    prefix[0][0] = prefix[0][1] = prefix[0][2] = 0;
    for (int n = 0; n < kTexels; ++n) {
        for (int c = 0; c < 3; ++c) {
            prefix[n + 1][c] = prefix[n][c] + x[order[n]][c];
        }
    }
    // pk[c][n] = P[n] / 3, padded so that the fixed-length loop below may read past the end.
    float pk[3][kTexels + 1 + kLanes] = {};
    for (int n = 0; n <= kTexels; ++n) {
        for (int c = 0; c < 3; ++c) {
            pk[c][n] = prefix[n][c] / 3;
        }
    }
    const PartitionTable &table = partitionTable();
    float bestScore = -1;
    int bestI = 0, bestJ = 0, bestK = 0;
    int entry = 0;
    for (int i = 0; i <= kTexels; ++i) {
        for (int j = i; j <= kTexels; ++j) {
            // For texels [0, i) on endpoint 0, [i, j) at 2/3, [j, k) at 1/3 and [k, 16) on
            // endpoint 1, sum(w x) = (P[i] + P[j] + P[k]) / 3 with P the prefix sums, and the
            // least-squares fit removes p ax^2 + 2q ax bx + r bx^2 per channel from the error.
            // All kLanes values of k are scored, so that the loop has a fixed length and is
            // vectorised; only the first `count` (k from j to 16) are real.
            const float base[3] = {pk[0][i] + pk[0][j], pk[1][i] + pk[1][j], pk[2][i] + pk[2][j]};
            const float *p = table.p + entry;
            const float *q2 = table.q2 + entry;
            const float *r = table.r + entry;
            float score[kLanes];
            for (int n = 0; n < kLanes; ++n) {
                const float ar = base[0] + pk[0][j + n], br = prefix[kTexels][0] - ar;
                const float ag = base[1] + pk[1][j + n], bg = prefix[kTexels][1] - ag;
                const float ab = base[2] + pk[2][j + n], bb = prefix[kTexels][2] - ab;
                score[n] = p[n] * (ar * ar + ag * ag + ab * ab) +
                           q2[n] * (ar * br + ag * bg + ab * bb) +
                           r[n] * (br * br + bg * bg + bb * bb);
            }
            const int count = kTexels + 1 - j;
            for (int n = 0; n < count; ++n) {
                if (score[n] > bestScore) {
                    bestScore = score[n];
                    bestI = i, bestJ = j, bestK = j + n;
                }
            }
            entry += count;
        }
    }
    const PartitionTable::Row &row = table.rows[bestI][bestJ][bestK];
    float best0[3], best1[3];
    for (int c = 0; c < 3; ++c) {
        const float ax = pk[c][bestI] + pk[c][bestJ] + pk[c][bestK];
        const float bx = prefix[kTexels][c] - ax;
        best0[c] = row.p * ax + row.q * bx;
        best1[c] = row.q * ax + row.r * bx;
    }
    return evaluate(t, quantise(best0), quantise(best1));
}

Fit refine(const Texels &t, Fit fit, int passes)
{
    for (int i = 0; i < 2; ++i) {
        std::uint16_t e0 = fit.e0;
        std::uint16_t e1 = fit.e1;
        if (!leastSquares(t, fit.indices, e0, e1)) {
            break;
        }
        const Fit f = evaluate(t, e0, e1);
        if (f.error >= fit.error) {
            break;
        }
        fit = f;
    }
    // A step that helps is taken at once and repeated in the same direction.
    for (int pass = 0; pass < passes; ++pass) {
        bool improved = false;
        for (int end = 0; end < 2; ++end) {
            for (int ch = 0; ch < 3; ++ch) {
                for (int delta = -1; delta <= 1; delta += 2) {
                    for (;;) {
                        std::uint16_t e[2] = {fit.e0, fit.e1};
                        const int v = channel(e[end], ch) + delta;
                        if (v < 0 || v > kChannelMax[ch]) {
                            break;
                        }
                        e[end] = withChannel(e[end], ch, v);
                        const Fit f = evaluate(t, e[0], e[1]);
                        if (f.error >= fit.error) {
                            break;
                        }
                        fit = f;
                        improved = true;
                    }
                }
            }
        }
        if (!improved) {
            break;
        }
    }
    return fit;
}

} // namespace kovar::dxtblock
