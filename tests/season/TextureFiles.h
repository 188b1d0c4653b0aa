// Summer textures in the simulator's format, written by the conversion library for tests.
#pragma once

#include "BitmapFiles.h"

#include "convlib/kovar.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace seasontest {

// A size x size texture (256 x 256 unless told): smooth land colours that depend on `seed`,
// with a water strip (transparent) along the left edge, so colour and alpha both matter. Land
// at column x, row y (from the top) is red 80 + x / 4, green 60 + x / 2, blue 40 + y / 4, each
// plus seed.
inline void writeTexture(const std::filesystem::path &texture, int seed = 0, int size = 256)
{
    Bytes tga(18, 0);
    tga[2] = 2; // uncompressed true colour
    tga[12] = static_cast<std::uint8_t>(size & 0xFF);
    tga[13] = static_cast<std::uint8_t>(size >> 8); // width
    tga[14] = tga[12];
    tga[15] = tga[13]; // height
    tga[16] = 32;      // bits per pixel
    tga[17] = 0x28;    // 8 alpha bits, rows top-down
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool water = x < 40;
            tga.push_back(static_cast<std::uint8_t>(water ? 160 : 40 + y / 4 + seed));
            tga.push_back(static_cast<std::uint8_t>(water ? 90 : 60 + x / 2 + seed));
            tga.push_back(static_cast<std::uint8_t>(water ? 40 : 80 + x / 4 + seed));
            tga.push_back(static_cast<std::uint8_t>(water ? 0 : 255));
        }
    std::filesystem::path targa = texture;
    targa += ".tga";
    writeBytes(targa, tga);
    std::array<char, KOVAR_MESSAGE_SIZE> message{};
    ASSERT_EQ(TargaToExtendedBitmap(targa.c_str(), texture.c_str(), message.data(), 11), 0)
        << message.data();
    std::filesystem::remove(targa);
}

} // namespace seasontest
