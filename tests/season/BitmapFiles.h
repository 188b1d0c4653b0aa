// Reading and writing whole files and building 24-bit working bitmaps for the season tests.
#pragma once

#include "season/PixelRules.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace seasontest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A Windows bitmap header for a 24-bit image of width x height; the passes copy it blindly.
inline Bytes bitmapHeader(std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t dataSize = width * height * 3;
    Bytes h(54, 0);
    auto put32 = [&h](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    h[0] = 'B';
    h[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    h[26] = 1;
    h[28] = 24;
    put32(34, dataSize);
    return h;
}

// `count` pixels from a fixed seed: every kind of pixel, blue-dominant ones included.
inline std::vector<season::Pixel> randomPixels(std::size_t count, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> channel(0, 255);
    std::vector<season::Pixel> pixels(count);
    for (auto &p : pixels)
        p = season::Pixel{static_cast<std::uint8_t>(channel(random)),
                          static_cast<std::uint8_t>(channel(random)),
                          static_cast<std::uint8_t>(channel(random))};
    return pixels;
}

// Header followed by the pixels as blue, green, red triples.
inline Bytes workingBitmap(const Bytes &header, const std::vector<season::Pixel> &pixels)
{
    Bytes bytes = header;
    for (const auto &p : pixels) {
        bytes.push_back(p.blue);
        bytes.push_back(p.green);
        bytes.push_back(p.red);
    }
    return bytes;
}

inline season::Pixel pixelAt(const Bytes &bitmap, std::size_t index)
{
    const std::size_t at = 54 + 3 * index;
    return season::Pixel{bitmap[at], bitmap[at + 1], bitmap[at + 2]};
}

} // namespace seasontest
