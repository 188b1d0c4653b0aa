// Bounded random mutation of valid files: the readers either decode or throw the library's
// Error naming the file; nothing else (a crash, another exception, an absurd image) is allowed.
// Run under the sanitizer preset, this also catches reads outside the input.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/Error.h"
#include "convlib/Targa.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using L = kovar::BitmapLayout;
using kovartest::BitmapOptions;
using kovartest::Mips;

constexpr int kMutationsPerSeed = 2500;

struct SeedCase
{
    const char *name;
    std::function<std::vector<std::uint8_t>()> make;
    bool targa;
};

void PrintTo(const SeedCase &c, std::ostream *out)
{
    *out << c.name;
}

SeedCase bitmapSeed(const char *name, BitmapOptions o)
{
    return {name,
            [o] { return kovartest::buildBitmap(kovartest::patternImage(12, 10, true), o).bytes; },
            false};
}

// Offsets of header fields worth setting to extreme values.
const std::uint32_t kBitmapFields[] = {2, 10, 14, 18, 22, 28, 30, 34, 46, 54, 58, 62, 66};
const std::uint32_t kTargaFields[] = {0, 1, 2, 5, 7, 12, 14, 16, 17};
const std::uint32_t kExtremes[] = {0,      1,          2,          4,          8192,
                                   8193,   40,         54,         0x7FFFFFFF, 0x80000000,
                                   0xFFFF, 0xFFFFFFFF, 0xFFFFFFF0, 0x31545844};

std::vector<std::uint8_t> mutate(std::vector<std::uint8_t> bytes, bool targa, std::mt19937 &random)
{
    const auto pick = [&](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const int edits = 1 + int(pick(3));
    for (int e = 0; e < edits; ++e) {
        switch (pick(6)) {
        case 0: // flip a bit
            if (!bytes.empty())
                bytes[pick(bytes.size())] ^= std::uint8_t(1u << pick(8));
            break;
        case 1: // replace a byte
            if (!bytes.empty())
                bytes[pick(bytes.size())] = std::uint8_t(random());
            break;
        case 2: // cut the file short
            bytes.resize(pick(bytes.size() + 1));
            break;
        case 3: { // set a header field to an extreme value
            const std::uint32_t at = targa ? kTargaFields[pick(std::size(kTargaFields))]
                                           : kBitmapFields[pick(std::size(kBitmapFields))];
            const std::uint32_t value = kExtremes[pick(std::size(kExtremes))];
            for (std::uint32_t i = 0; i < 4 && at + i < bytes.size(); ++i)
                bytes[at + i] = std::uint8_t(value >> (8 * i));
            break;
        }
        case 4: // append bytes
            bytes.insert(bytes.end(), pick(64), std::uint8_t(random()));
            break;
        default: // remove a run of bytes
            if (!bytes.empty()) {
                const std::size_t from = pick(bytes.size());
                const std::size_t count = std::min(bytes.size() - from, 1 + pick(16));
                bytes.erase(bytes.begin() + std::ptrdiff_t(from),
                            bytes.begin() + std::ptrdiff_t(from + count));
            }
            break;
        }
    }
    return bytes;
}

class ReaderMutations : public testing::TestWithParam<SeedCase>
{};

TEST_P(ReaderMutations, DecodeOrFailWithTheLibrarysError)
{
    const SeedCase &c = GetParam();
    const std::vector<std::uint8_t> seed = c.make();
    std::mt19937 random(static_cast<std::uint32_t>(std::hash<std::string>()(c.name)));
    int decoded = 0;
    for (int i = 0; i < kMutationsPerSeed; ++i) {
        const auto bytes = mutate(seed, c.targa, random);
        try {
            const kovar::Image image = c.targa ? kovar::decodeTarga(bytes, "mutant")
                                               : kovar::decodeBitmap(bytes, "mutant");
            ASSERT_GE(image.width(), 1u);
            ASSERT_LE(image.width(), kovar::kMaxDimension);
            ASSERT_LE(image.height(), kovar::kMaxDimension);
            ASSERT_EQ(image.byteCount(), std::size_t{image.width()} * image.height() * 4);
            ++decoded;
        } catch (const kovar::Error &error) {
            ASSERT_NE(error.status(), KOVAR_OK);
            ASSERT_EQ(std::string(error.what()).rfind("mutant: ", 0), 0u) << error.what();
        } catch (const std::exception &error) {
            FAIL() << "mutation " << i << " threw " << error.what();
        }
    }
    // The mutations must leave some files readable, or the decoding paths went untested.
    EXPECT_GT(decoded, kMutationsPerSeed / 20);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, ReaderMutations,
    testing::Values(
        bitmapSeed("Palette8", {.layout = L::Palette8}), bitmapSeed("Bgr24", {.layout = L::Bgr24}),
        bitmapSeed("Bgra32Fs70Mips", {.layout = L::Bgra32, .fs70 = true, .mips = Mips::To1x1}),
        bitmapSeed("Bitfields4444",
                   {.layout = L::Masked16, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}}),
        bitmapSeed("Bitfields1555V5", {.layout = L::Masked16,
                                       .infoSize = 124,
                                       .fs70 = true,
                                       .masks = {0x7C00, 0x03E0, 0x001F, 0x8000}}),
        bitmapSeed("Dxt1Fs70Mips", {.layout = L::Dxt1, .fs70 = true, .mips = Mips::To1x1}),
        bitmapSeed("Dxt3", {.layout = L::Dxt3, .mips = Mips::To4x4}),
        bitmapSeed("Dxt5Fs70", {.layout = L::Dxt5, .fs70 = true}),
        SeedCase{"Targa", [] { return kovar::encodeTarga(kovartest::patternImage(12, 10, true)); },
                 true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
