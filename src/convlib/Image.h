// An RGBA image in memory: 8 bits per channel, rows top-down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kovar {

// Largest width or height the library reads or writes.
inline constexpr std::uint32_t kMaxDimension = 8192;

class Image
{
  public:
    // Throws Error (KOVAR_ERROR_DIMENSIONS) naming `file` when either size is 0 or above
    // kMaxDimension. The pixels start as transparent black.
    Image(std::uint32_t width, std::uint32_t height, const std::string &file);

    // Throws Error (KOVAR_ERROR_DIMENSIONS) naming `file` unless 1 <= size <= kMaxDimension.
    static void checkDimensions(std::int64_t width, std::int64_t height, const std::string &file);

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }

    // width * height * 4 bytes: R, G, B, A for each pixel, rows top-down.
    std::uint8_t *data() { return pixels_.data(); }
    const std::uint8_t *data() const { return pixels_.data(); }
    std::size_t byteCount() const { return pixels_.size(); }

    std::uint8_t *pixel(std::uint32_t x, std::uint32_t y) { return &pixels_[offset(x, y)]; }
    const std::uint8_t *pixel(std::uint32_t x, std::uint32_t y) const
    {
        return &pixels_[offset(x, y)];
    }

    // The same image with its rows in reverse order.
    Image flippedVertically() const;
    // Reverses the order of the rows in place, without a second image's memory.
    void flipVertically();

    bool operator==(const Image &other) const = default;

  private:
    std::size_t offset(std::uint32_t x, std::uint32_t y) const
    {
        return (std::size_t{y} * width_ + x) * 4;
    }

    std::uint32_t width_;
    std::uint32_t height_;
    std::vector<std::uint8_t> pixels_;
};

} // namespace kovar
