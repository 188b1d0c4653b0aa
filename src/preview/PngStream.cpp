// A PNG written row by row.
#include "preview/PngStream.h"

#include "convlib/AtomicFile.h"
#include "convlib/Error.h"
#include "platform/Error.h"
#include "platform/FileNames.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace preview {

struct PngStream::State
{
    QString path;
    kovar::AtomicFile file;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rows = 0;
    z_stream zip{};
    bool zipOpen = false;
    std::vector<std::uint8_t> previous, current, filtered, best, out;

    State(const QString &p) : path(p), file(platform::encodeFileName(p).toStdString()) {}
};

namespace {

void putBigEndian(std::uint8_t *at, std::uint32_t value)
{
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
}

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw platform::Error(QStringLiteral("%1: cannot write the picture: %2")
                              .arg(platform::displayFileName(path), reason)
                              .toStdString());
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

} // namespace

PngStream::PngStream(const QString &path, std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t largest = std::numeric_limits<std::int32_t>::max();
    if (width == 0 || height == 0 || width > largest || height > largest)
        fail(path, QStringLiteral("%1 x %2 is not a size a PNG can have").arg(width).arg(height));
    try {
        m_state = std::make_unique<State>(path);
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
    State &s = *m_state;
    s.width = width;
    s.height = height;
    const std::size_t rowBytes = 3 * std::size_t(width);
    s.previous.assign(rowBytes, 0);
    s.current.resize(rowBytes);
    s.filtered.resize(rowBytes + 1);
    s.best.resize(rowBytes + 1);
    s.out.resize(1 << 16);
    if (deflateInit(&s.zip, 6) != Z_OK)
        fail(path, QStringLiteral("the compressor cannot start"));
    s.zipOpen = true;

    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    try {
        s.file.write(signature);
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
    std::uint8_t header[13] = {};
    putBigEndian(header, width);
    putBigEndian(header + 4, height);
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB
    chunk("IHDR", header, sizeof header);
}

PngStream::~PngStream()
{
    if (m_state && m_state->zipOpen)
        deflateEnd(&m_state->zip);
}

void PngStream::chunk(const char *type, const std::uint8_t *data, std::size_t size)
{
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size)
        crc = crc32(crc, data, uInt(size));
    std::uint8_t tail[4];
    putBigEndian(tail, std::uint32_t(crc));
    try {
        m_state->file.write(head);
        if (size)
            m_state->file.write({data, size});
        m_state->file.write(tail);
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
}

// Deflates what the stream holds as input into IDAT chunks; with `last`, to the end.
void PngStream::deflateOut(bool last)
{
    State &s = *m_state;
    for (;;) {
        s.zip.next_out = s.out.data();
        s.zip.avail_out = uInt(s.out.size());
        const int result = deflate(&s.zip, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR)
            fail(s.path, QStringLiteral("the compressor failed"));
        const std::size_t produced = s.out.size() - s.zip.avail_out;
        if (produced)
            chunk("IDAT", s.out.data(), produced);
        if (last ? result == Z_STREAM_END : s.zip.avail_in == 0 && s.zip.avail_out != 0)
            return;
    }
}

void PngStream::writeRow(const QRgb *pixels)
{
    State &s = *m_state;
    if (s.rows == s.height)
        fail(s.path, QStringLiteral("more rows than the picture's height"));
    for (std::uint32_t x = 0; x < s.width; ++x) {
        s.current[3 * x] = std::uint8_t(qRed(pixels[x]));
        s.current[3 * x + 1] = std::uint8_t(qGreen(pixels[x]));
        s.current[3 * x + 2] = std::uint8_t(qBlue(pixels[x]));
    }
    const std::size_t n = s.current.size();
    long long bestSum = std::numeric_limits<long long>::max();
    for (std::uint8_t type = 0; type < 5; ++type) {
        if (type == 2 && s.rows == 0)
            continue; // "up" and "none" are the same on the first row
        s.filtered[0] = type;
        long long sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int a = i >= 3 ? s.current[i - 3] : 0;
            const int b = s.previous[i];
            const int c = i >= 3 ? s.previous[i - 3] : 0;
            const int predicted = type == 0   ? 0
                                  : type == 1 ? a
                                  : type == 2 ? b
                                  : type == 3 ? (a + b) / 2
                                              : paeth(a, b, c);
            const auto value = std::uint8_t(s.current[i] - predicted);
            s.filtered[i + 1] = value;
            sum += value < 128 ? value : 256 - value;
        }
        if (sum < bestSum) {
            bestSum = sum;
            s.best.swap(s.filtered);
        }
    }
    s.zip.next_in = s.best.data();
    s.zip.avail_in = uInt(s.best.size());
    deflateOut(false);
    s.previous.swap(s.current);
    ++s.rows;
}

void PngStream::finish()
{
    State &s = *m_state;
    if (s.rows != s.height)
        fail(s.path, QStringLiteral("%1 rows written of %2").arg(s.rows).arg(s.height));
    s.zip.next_in = nullptr;
    s.zip.avail_in = 0;
    deflateOut(true);
    chunk("IEND", nullptr, 0);
    try {
        s.file.commit();
    } catch (const kovar::Error &e) {
        throw platform::Error(e.what());
    }
}

} // namespace preview
