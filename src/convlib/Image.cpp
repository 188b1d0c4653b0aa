// An RGBA image in memory: 8 bits per channel, rows top-down.
#include "convlib/Image.h"

#include "convlib/Error.h"

#include <algorithm>

namespace kovar {

Image::Image(std::uint32_t width, std::uint32_t height, const std::string &file)
    : width_(width), height_(height)
{
    checkDimensions(width, height, file);
    pixels_.resize(std::size_t{width} * height * 4);
}

void Image::checkDimensions(std::int64_t width, std::int64_t height, const std::string &file)
{
    const auto check = [&](std::int64_t size, const char *what) {
        if (size < 1 || size > std::int64_t{kMaxDimension}) {
            throw Error(KOVAR_ERROR_DIMENSIONS, file + ": " + what + " " + std::to_string(size) +
                                                    " is out of range (1 to " +
                                                    std::to_string(kMaxDimension) + ")");
        }
    };
    check(width, "width");
    check(height, "height");
}

Image Image::flippedVertically() const
{
    Image flipped = *this;
    const std::size_t rowBytes = std::size_t{width_} * 4;
    for (std::uint32_t y = 0; y < height_; ++y) {
        std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y * rowBytes), rowBytes,
                    flipped.pixels_.begin() +
                        static_cast<std::ptrdiff_t>((height_ - 1 - y) * rowBytes));
    }
    return flipped;
}

void Image::flipVertically()
{
    const std::size_t rowBytes = std::size_t{width_} * 4;
    for (std::uint32_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels_.begin() + static_cast<std::ptrdiff_t>(top * rowBytes),
                         pixels_.begin() + static_cast<std::ptrdiff_t>((top + 1) * rowBytes),
                         pixels_.begin() + static_cast<std::ptrdiff_t>(bottom * rowBytes));
    }
}

} // namespace kovar
