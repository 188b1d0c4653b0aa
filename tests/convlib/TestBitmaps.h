// Test images and an independent writer of every bitmap form the library reads.
#pragma once

#include "convlib/BitmapReader.h"
#include "convlib/Image.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kovartest {

// Smooth colours that differ in every quadrant, so a flip or a mirror shows; with `water`, a
// transparent (alpha 0) region in the lower left and alpha 255 elsewhere.
kovar::Image patternImage(std::uint32_t width, std::uint32_t height, bool water);

// Random bytes in every channel, alpha included.
kovar::Image noiseImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed);

enum class Mips { None, To4x4, To1x1 };

struct BitmapOptions
{
    kovar::BitmapLayout layout = kovar::BitmapLayout::Bgr24;
    std::uint32_t infoSize = 40;
    bool topDown = false;
    bool fs70 = false;
    Mips mips = Mips::None;
    std::uint32_t gap = 0; // zero bytes between the headers and the FS70 block or pixel data
    // Bit-field masks (red, green, blue, alpha). With a 40-byte header a non-zero alpha mask is
    // written as a fourth mask after the colour masks.
    std::array<std::uint32_t, 4> masks{};
    bool bitfields = true; // Masked16: compression 3 (false: BI_RGB 5-5-5)
};

struct BuiltBitmap
{
    std::vector<std::uint8_t> bytes;
    kovar::Image expected; // what a reader must decode: the image quantised to the format
};

// Writes `image` in the form the options name. DXT surfaces are made with libsquish.
BuiltBitmap buildBitmap(const kovar::Image &image, const BitmapOptions &options);

// RGB PSNR in dB over the texels that are opaque in `reference`.
double opaquePsnr(const kovar::Image &reference, const kovar::Image &other);

// Largest difference of any channel between two images of the same size.
int maxChannelDifference(const kovar::Image &a, const kovar::Image &b);

std::vector<std::uint8_t> readBytes(const std::filesystem::path &path);
void writeBytes(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

// A fresh, empty folder of the system's temporary folder, removed with the object.
class TempFolder
{
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

} // namespace kovartest
