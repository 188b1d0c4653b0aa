// One tile of a texture set, converted in memory: read and decode, season pass, encode.
#include "texset/TileConversion.h"

#include "convlib/BitmapReader.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/WorkingBitmaps.h"
#include "convlib/kovar.h"
#include "season/PixelRules.h"
#include "season/SeasonTable.h"

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
    return season::countWinterDraws(bgr, count, threshold);
}

namespace {

// The working bitmap's pixel data as the season rules take it.
season::TileColours coloursOf(std::vector<std::uint8_t> &bitmap, const kovar::Image &image,
                              const std::vector<std::uint8_t> &alpha)
{
    season::TileColours tile;
    tile.bgr = bitmap.data() + headerSize;
    tile.size = bitmap.size() - headerSize;
    tile.width = image.width();
    tile.height = image.height();
    tile.stride = (3 * tile.width + 3) / 4 * 4;
    tile.alpha = alpha.data();
    return tile;
}

} // namespace

void TileConversion::load(const std::filesystem::path &texture)
{
    m_texture = texture.string();
    m_image.reset();
    m_image.emplace(kovar::decodeBitmap(kovar::readFileBytes(m_texture), m_texture));
    m_colour = kovar::encodeColourBitmap(*m_image);
    const std::size_t width = m_image->width();
    m_alpha.resize(width * m_image->height());
    std::size_t i = 0;
    for (std::size_t y = m_image->height(); y-- > 0;)
        for (std::size_t x = 0; x < width; ++x, ++i)
            m_alpha[i] = m_image->pixel(x, y)[3];
}

std::uint64_t TileConversion::draws(season::Season season, int adjustment)
{
    return season::seasonRow(season).draws(coloursOf(m_colour, *m_image, m_alpha), adjustment);
}

void TileConversion::applyPass(season::Season season, int adjustment, std::uint32_t noiseState)
{
    m_work = m_colour;
    season::TileColours tile = coloursOf(m_work, *m_image, m_alpha);
    season::seasonRow(season).apply(tile, adjustment, noiseState);
}

const kovar::Image &TileConversion::seasonedImage()
{
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
