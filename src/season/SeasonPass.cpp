// The winter and fall passes over a 24-bit working bitmap, file to file.
#include "season/SeasonPass.h"

#include "platform/Error.h"
#include "season/PixelRules.h"
#include "season/ResultFile.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>

namespace season {

namespace {

constexpr std::size_t headerSize = 54;
// 16,384 triples: 48 KiB read, transformed and written per step.
constexpr std::size_t bufferSize = 3 * 16384;

std::string quoted(const std::filesystem::path &path)
{
    return "\"" + path.string() + "\"";
}

class InputFile
{
  public:
    explicit InputFile(const std::filesystem::path &path) : m_path(path)
    {
        // Only a plain file is read: opening a pipe would wait for a writer.
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            throw platform::Error("Cannot open " + quoted(path) + ": not a plain file");
        m_file = std::fopen(path.c_str(), "rb");
        if (!m_file)
            throw platform::Error("Cannot open " + quoted(path) + ": " + std::strerror(errno));
    }
    ~InputFile() { std::fclose(m_file); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // Reads up to `size` bytes; fewer only at the end of the file.
    std::size_t read(std::uint8_t *data, std::size_t size)
    {
        const std::size_t got = std::fread(data, 1, size, m_file);
        if (got < size && std::ferror(m_file))
            throw platform::Error("Cannot read " + quoted(m_path) + ": " + std::strerror(errno));
        return got;
    }

  private:
    const std::filesystem::path &m_path;
    std::FILE *m_file = nullptr;
};

template <class Transform>
void runPass(const std::filesystem::path &in, const std::filesystem::path &out, Transform transform)
{
    InputFile input(in);
    std::array<std::uint8_t, bufferSize> buffer;

    const std::size_t header = input.read(buffer.data(), headerSize);
    if (header < headerSize)
        throw platform::Error(quoted(in) + " is too short to be a bitmap: " +
                              std::to_string(header) + " bytes, less than the 54-byte header");

    ResultFile result(out);
    result.write(buffer.data(), headerSize);
    for (;;) {
        const std::size_t got = input.read(buffer.data(), buffer.size());
        transform(buffer.data(), got / 3);
        // A final incomplete triple is copied unchanged, so the result is as long as the input.
        result.write(buffer.data(), got);
        if (got < buffer.size())
            break;
    }
    result.commit();
}

} // namespace

void runWinterPass(const std::filesystem::path &in, const std::filesystem::path &out, int threshold,
                   SnowNoise &noise)
{
    runPass(in, out, [threshold, &noise](std::uint8_t *bgr, std::size_t count) {
        winterTriples(bgr, count, threshold, noise);
    });
}

void runFallPass(const std::filesystem::path &in, const std::filesystem::path &out, int amount)
{
    runPass(in, out,
            [amount](std::uint8_t *bgr, std::size_t count) { fallTriples(bgr, count, amount); });
}

} // namespace season
