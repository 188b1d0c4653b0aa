// Times one winter and one fall pass over a 256 x 256 working bitmap, file to file, beside
// the same pixel rules applied to the same bytes in memory (the floor no pass can beat).
#include "season/PixelRules.h"
#include "season/SeasonPass.h"
#include "season/SnowNoise.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr int rounds = 300;

// A 24-bit 256 x 256 bitmap: a real header, then pixels of every kind (about a third of
// them blue-dominant, as water), from a fixed seed.
Bytes makeBitmap()
{
    Bytes bytes(54 + 3 * 65536);
    const std::uint8_t header[54] = {'B', 'M', 0x36, 0, 3, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                     40,  0,   0,    1, 0, 0, 0, 1, 0, 0, 1,  0, 24};
    std::copy(std::begin(header), std::end(header), bytes.begin());
    std::mt19937 random(42);
    std::uniform_int_distribution<int> channel(0, 255);
    for (std::size_t i = 54; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(channel(random));
    return bytes;
}

// Median of `rounds` timings of f, in milliseconds.
double medianMs(const std::function<void()> &f)
{
    std::vector<double> ms;
    f(); // warm the page cache and the code
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(ms.begin(), ms.begin() + rounds / 2, ms.end());
    return ms[rounds / 2];
}

// The floor: the bytes copied once (as a read copies them) and transformed in place by the
// same code the passes run.
template <class Transform> void transformInMemory(const Bytes &in, Bytes &out, Transform transform)
{
    std::copy(in.begin(), in.end(), out.begin());
    transform(out.data() + 54, (in.size() - 54) / 3);
}

void report(const char *name, double passMs, double floorMs)
{
    std::printf("%-7s pass %7.3f ms   in-memory floor %7.3f ms   ratio %5.2f\n", name, passMs,
                floorMs, passMs / floorMs);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "Cannot create a temporary folder\n");
        return 1;
    }
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path colour = folder / "main.bmp";
    const Bytes input = makeBitmap();
    std::ofstream(colour, std::ios::binary)
        .write(reinterpret_cast<const char *>(input.data()),
               static_cast<std::streamsize>(input.size()));

    Bytes output(input.size());
    season::SnowNoise noise;
    volatile std::uint8_t sink = 0;
    // The adjustments as run-time values, as the passes get them: constants would let the
    // compiler specialise the floor's loop and the comparison would be unfair.
    volatile int snowSetting = 70;
    volatile int fallSetting = 12;
    const int threshold = snowSetting;
    const int amount = fallSetting;

    std::printf("One pass over a 256 x 256 working bitmap (%zu bytes), median of %d rounds\n",
                input.size(), rounds);
    const double winterPass =
        medianMs([&] { season::runWinterPass(colour, folder / "tempw.bmp", threshold, noise); });
    const double winterFloor = medianMs([&] {
        transformInMemory(input, output, [&](std::uint8_t *bgr, std::size_t count) {
            season::winterTriples(bgr, count, threshold, noise);
        });
        sink = sink + output[output.size() / 2];
    });
    report("winter", winterPass, winterFloor);

    const double fallPass =
        medianMs([&] { season::runFallPass(colour, folder / "tempf.bmp", amount); });
    const double fallFloor = medianMs([&] {
        transformInMemory(input, output, [amount](std::uint8_t *bgr, std::size_t count) {
            season::fallTriples(bgr, count, amount);
        });
        sink = sink + output[output.size() / 2];
    });
    report("fall", fallPass, fallFloor);
    return 0;
}
