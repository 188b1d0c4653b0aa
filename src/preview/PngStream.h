// A PNG written row by row, so that a picture of any height needs the memory of one row.
//
// 8-bit RGB, no interlacing; each row filtered with the PNG filter (none, sub, up or Paeth)
// whose output has the smallest sum of magnitudes, and deflated as it comes. The file
// replaces its target only once it is complete: until finish() it is a temporary beside the
// target, removed if the stream is destroyed unfinished.
#pragma once

#include <QRgb>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace preview {

class PngStream
{
  public:
    // Throws platform::Error naming the file when it cannot be made or the size is not one
    // PNG allows (1 to 2^31 - 1 each way).
    PngStream(const QString &path, std::uint32_t width, std::uint32_t height);
    ~PngStream();
    PngStream(const PngStream &) = delete;
    PngStream &operator=(const PngStream &) = delete;

    // The next row, top first: `width` pixels, alpha ignored.
    void writeRow(const QRgb *pixels);
    // After the last row: ends the file and puts it in place of the target.
    void finish();

  private:
    struct State;
    void chunk(const char *type, const std::uint8_t *data, std::size_t size);
    void deflateOut(bool last);

    std::unique_ptr<State> m_state;
};

} // namespace preview
