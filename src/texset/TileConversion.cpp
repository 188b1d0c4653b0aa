// One tile of a texture set, converted in memory: read and decode, season pass, encode.
#include "texset/TileConversion.h"

#include "convlib/BitmapReader.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/WorkingBitmaps.h"
#include "convlib/kovar.h"
#include "season/PixelRules.h"
#include "season/SnowNoise.h"

namespace texset {

namespace {

constexpr std::size_t headerSize = 54;
constexpr std::uint32_t multiplier = 22695477u;
constexpr std::uint32_t increment = 1u;

} // namespace

std::uint32_t snowStateAfter(std::uint32_t state, std::uint64_t draws)
{
    // x -> a x + c composed with itself is x -> a^2 x + (a c + c).
    std::uint32_t a = multiplier;
    std::uint32_t c = increment;
    for (; draws != 0; draws >>= 1) {
        if (draws & 1)
            state = a * state + c;
        c = a * c + c;
        a = a * a;
    }
    return state;
}

std::uint64_t countSnowedTriples(const std::uint8_t *bgr, std::size_t count, int threshold)
{
    // The winter rule's test, without the draw: raised channels, integer mean above the
    // threshold, blue-dominant pixels left alone.
    std::uint64_t snowed = 0;
    for (const std::uint8_t *end = bgr + 3 * count; bgr != end; bgr += 3) {
        const season::Pixel p{bgr[0], bgr[1], bgr[2]};
        if (season::isBlueDominant(p))
            continue;
        const int red = p.red + 30 > 255 ? 255 : p.red + 30;
        const int green = p.green + 30 > 255 ? 255 : p.green + 30;
        const int blue = p.blue + 30 > 255 ? 255 : p.blue + 30;
        snowed += (red + green + blue) / 3 > threshold;
    }
    return snowed;
}

void TileConversion::load(const std::filesystem::path &texture)
{
    m_texture = texture.string();
    m_image.reset();
    m_image.emplace(kovar::decodeBitmap(kovar::readFileBytes(m_texture), m_texture));
    m_colour = kovar::encodeColourBitmap(*m_image);
}

std::uint64_t TileConversion::snowDraws(int threshold) const
{
    return countSnowedTriples(m_colour.data() + headerSize, (m_colour.size() - headerSize) / 3,
                              threshold);
}

std::uint64_t TileConversion::hardWinterDraws(int threshold) const
{
    std::uint64_t draws = 0;
    const std::uint8_t *rgba = m_image->data();
    for (const std::uint8_t *end = rgba + m_image->byteCount(); rgba != end; rgba += 4)
        draws +=
            season::hardWinterDraws(season::Pixel{rgba[2], rgba[1], rgba[0]}, rgba[3], threshold);
    return draws;
}

void TileConversion::applyPass(season::Season season, int adjustment, std::uint32_t noiseState)
{
    if (season == season::Season::Winter || season == season::Season::Fall) {
        m_passOnImage = false;
        m_work = m_colour;
        std::uint8_t *bgr = m_work.data() + headerSize;
        const std::size_t triples = (m_work.size() - headerSize) / 3;
        if (season == season::Season::Winter) {
            season::SnowNoise noise(noiseState);
            season::winterTriples(bgr, triples, adjustment, noise);
        } else {
            season::fallTriples(bgr, triples, adjustment);
        }
        return;
    }

    m_passOnImage = true;
    if (m_seasoned)
        *m_seasoned = *m_image; // keeps the buffer when the size is the same
    else
        m_seasoned.emplace(*m_image);
    season::SnowNoise noise(noiseState);
    const std::size_t width = m_seasoned->width();
    for (std::size_t y = m_seasoned->height(); y-- > 0;) {
        std::uint8_t *rgba = m_seasoned->pixel(0, y);
        for (std::size_t x = 0; x < width; ++x, rgba += 4) {
            const season::Pixel in{rgba[2], rgba[1], rgba[0]};
            const season::Pixel out = season == season::Season::Spring
                                          ? season::springPixel(in, rgba[3], adjustment)
                                          : season::hardWinterPixel(in, rgba[3], adjustment, noise);
            rgba[0] = out.red;
            rgba[1] = out.green;
            rgba[2] = out.blue;
        }
    }
}

const kovar::Image &TileConversion::seasonedImage()
{
    if (m_passOnImage)
        return *m_seasoned;
    // The seasoned colour part read back as the join reads it, with the texture's alpha: the
    // alpha bitmap holds each pixel's alpha as its grey level, which the join takes back
    // unchanged.
    m_seasoned.reset();
    m_seasoned.emplace(kovar::decodeBitmap(m_work, m_texture));
    const std::uint8_t *alpha = m_image->data();
    std::uint8_t *rgba = m_seasoned->data();
    for (std::size_t i = 3; i < m_seasoned->byteCount(); i += 4)
        rgba[i] = alpha[i];
    return *m_seasoned;
}

const std::vector<std::uint8_t> &TileConversion::encode(const std::filesystem::path &output)
{
    // Into the previous tile's memory: the file's size is the same from tile to tile.
    m_encoded = kovar::encodeExtendedBitmap(seasonedImage(), KOVAR_FORMAT_DXT1_MIPMAPPED,
                                            output.string(), std::move(m_encoded));
    return m_encoded;
}

} // namespace texset
