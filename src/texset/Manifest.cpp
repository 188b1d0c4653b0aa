// The record an updated texture set keeps in its destination folder.
#include "texset/Manifest.h"

#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/Image.h"
#include "convlib/kovar.h"
#include "platform/Error.h"
#include "season/SeasonTable.h"
#include "texset/DurableOutput.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace texset {

namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t prime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t prime5 = 0x27D4EB2F165667C5ull;

std::uint64_t rotl(std::uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

std::uint64_t load64(const std::uint8_t *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

std::uint64_t mixLane(std::uint64_t acc, std::uint64_t input)
{
    return rotl(acc + input * prime2, 31) * prime1;
}

std::string errorText(int error)
{
    return std::strerror(error);
}

const char *header = "tessavane-manifest";
constexpr int formatVersion = 1;

std::string hex(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string escaped(const std::string &name)
{
    std::string out;
    for (const unsigned char c : name) {
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size() + 0 || i + 3 > text.size())
            return std::nullopt;
        const auto [end, error] =
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3)
            return std::nullopt;
        out += char(value);
        i += 2;
    }
    return out;
}

// A line with its check appended.
std::string checkedLine(const std::string &fields)
{
    return fields + '\t' +
           hex(contentHash(
               {reinterpret_cast<const std::uint8_t *>(fields.data()), fields.size()})) +
           '\n';
}

// The fields of a line whose check holds, else none.
std::optional<std::vector<std::string_view>> checkedFields(std::string_view line)
{
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || line.size() - tab - 1 != 16)
        return std::nullopt;
    const std::string_view fields = line.substr(0, tab);
    if (hex(contentHash({reinterpret_cast<const std::uint8_t *>(fields.data()), fields.size()})) !=
        line.substr(tab + 1))
        return std::nullopt;
    std::vector<std::string_view> out;
    for (std::size_t from = 0;;) {
        const std::size_t next = fields.find('\t', from);
        out.push_back(fields.substr(from, next - from));
        if (next == std::string_view::npos)
            return out;
        from = next + 1;
    }
}

template <typename T> std::optional<T> number(std::string_view text, int base = 10)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

constexpr season::Season allSeasons[] = {season::Season::Winter, season::Season::Fall,
                                         season::Season::Spring, season::Season::HardWinter};

std::optional<season::Season> seasonOfCode(std::string_view code)
{
    for (const season::Season s : allSeasons)
        if (code == season::seasonCode(s))
            return s;
    return std::nullopt;
}

std::string recordLine(const OutputRecord &r)
{
    std::ostringstream fields;
    fields << escaped(r.output) << '\t' << escaped(r.source) << '\t' << r.identity.size << '\t'
           << r.identity.mtimeNs << '\t' << hex(r.identity.hash) << '\t'
           << season::seasonCode(r.season) << '\t' << r.strength << '\t' << r.start << '\t'
           << r.draws << '\t' << r.stamp.size << '\t' << r.stamp.mtimeNs;
    return checkedLine(fields.str());
}

std::optional<OutputRecord> parseRecord(const std::vector<std::string_view> &f)
{
    if (f.size() != 11)
        return std::nullopt;
    OutputRecord r;
    const auto output = unescaped(f[0]);
    const auto source = unescaped(f[1]);
    const auto size = number<std::uint64_t>(f[2]);
    const auto mtime = number<std::int64_t>(f[3]);
    const auto hash = number<std::uint64_t>(f[4], 16);
    const auto season = seasonOfCode(f[5]);
    const auto strength = number<int>(f[6]);
    const auto start = number<std::uint32_t>(f[7]);
    const auto draws = number<std::uint64_t>(f[8]);
    const auto outSize = number<std::uint64_t>(f[9]);
    const auto outTime = number<std::int64_t>(f[10]);
    if (!output || output->empty() || !source || !size || !mtime || !hash || !season || !strength ||
        !start || !draws || !outSize || !outTime)
        return std::nullopt;
    return OutputRecord{*output, *source, {*size, *mtime, *hash}, *season, *strength,
                        *start,  *draws,  {*outSize, *outTime}};
}

std::string headerLine(const ProgramIdentity &program)
{
    return checkedLine(std::string(header) + '\t' + std::to_string(formatVersion) + '\t' +
                       program.version + '\t' + hex(program.fingerprint));
}

} // namespace

std::uint64_t contentHash(std::span<const std::uint8_t> bytes)
{
    // Four lanes of 8 bytes over each 32-byte block, then the tail, then an avalanche: fast
    // enough to hash a tile in a small part of the time its decoding takes.
    const std::uint8_t *p = bytes.data();
    const std::uint8_t *end = p + bytes.size();
    std::uint64_t h;
    if (bytes.size() >= 32) {
        std::uint64_t v[4] = {prime1 + prime2, prime2, 0, 0 - prime1};
        for (; end - p >= 32; p += 32)
            for (int i = 0; i < 4; ++i)
                v[i] = mixLane(v[i], load64(p + 8 * i));
        h = rotl(v[0], 1) + rotl(v[1], 7) + rotl(v[2], 12) + rotl(v[3], 18);
        for (const std::uint64_t lane : v)
            h = (h ^ mixLane(0, lane)) * prime1 + prime4;
    } else {
        h = prime5;
    }
    h += bytes.size();
    for (; end - p >= 8; p += 8)
        h = rotl(h ^ mixLane(0, load64(p)), 27) * prime1 + prime4;
    for (; p != end; ++p)
        h = rotl(h ^ (*p * prime5), 11) * prime1;
    h ^= h >> 33;
    h *= prime2;
    h ^= h >> 29;
    h *= prime3;
    h ^= h >> 32;
    return h;
}

std::optional<FileStamp> stampOf(const std::filesystem::path &path)
{
    struct stat st
    {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{std::uint64_t(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

ProgramIdentity currentProgram()
{
    // A fixed picture with every kind of block: gradients, noise, and transparent water.
    constexpr std::uint32_t side = 64;
    kovar::Image picture(side, side, "encoder fingerprint");
    std::uint32_t state = 12345;
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) {
            state = state * 1103515245u + 12345u;
            std::uint8_t *rgba = picture.pixel(x, y);
            rgba[0] = std::uint8_t(4 * x + (state >> 28));
            rgba[1] = std::uint8_t(4 * y + (state >> 27));
            rgba[2] = std::uint8_t((x * y) ^ (state >> 24));
            rgba[3] = x + y < 20 ? 0 : 255;
        }
    std::vector<std::uint8_t> bytes =
        kovar::encodeExtendedBitmap(picture, KOVAR_FORMAT_DXT1_MIPMAPPED, "encoder fingerprint");

    // The same picture through each season's rule, bottom-up blue-green-red as the rules take
    // it, at its lowest, default, middle and highest strength.
    std::vector<std::uint8_t> bgr(std::size_t(side) * side * 3), alpha(std::size_t(side) * side);
    for (const season::SeasonRow &row : season::seasonTable())
        for (const int strength :
             {row.lowest, row.defaultStrength, (row.lowest + row.highest) / 2, row.highest}) {
            for (std::uint32_t y = 0; y < side; ++y)
                for (std::uint32_t x = 0; x < side; ++x) {
                    const std::uint8_t *rgba = picture.pixel(x, side - 1 - y);
                    std::uint8_t *out = &bgr[(std::size_t(y) * side + x) * 3];
                    out[0] = rgba[2];
                    out[1] = rgba[1];
                    out[2] = rgba[0];
                    alpha[std::size_t(y) * side + x] = rgba[3];
                }
            season::TileColours tile{bgr.data(), bgr.size(), side, side, side * 3, alpha.data()};
            row.apply(tile, strength, 12345u);
            bytes.insert(bytes.end(), bgr.begin(), bgr.end());
        }
    return ProgramIdentity{TESSAVANE_VERSION, contentHash(bytes)};
}

LoadedManifest readManifest(const std::filesystem::path &folder, const ProgramIdentity &program)
{
    LoadedManifest loaded;
    const std::filesystem::path path = folder / manifestFileName;
    // Opened without waiting, so that a FIFO in its place cannot hold the run.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        loaded.problem =
            errno == ENOENT ? "no manifest" : "the manifest cannot be read: " + errorText(errno);
        return loaded;
    }
    struct stat st
    {};
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        loaded.problem = "the manifest is not a regular file";
        return loaded;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            loaded.problem = "the manifest cannot be read: " + errorText(error);
            return loaded;
        }
        if (n == 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    std::size_t from = 0;
    int lineNumber = 0;
    while (from < text.size()) {
        const std::size_t newline = text.find('\n', from);
        if (newline == std::string::npos)
            break; // the last append, torn by a crash: the outputs it described are redone
        const std::string_view line(text.data() + from, newline - from);
        from = newline + 1;
        ++lineNumber;
        const auto fields = checkedFields(line);
        if (!fields) {
            loaded.records.clear();
            loaded.problem = "the manifest is damaged (line " + std::to_string(lineNumber) + ")";
            return loaded;
        }
        if (lineNumber == 1) {
            if (fields->size() != 4 || (*fields)[0] != header) {
                loaded.problem = "the manifest is damaged (line 1)";
                return loaded;
            }
            if ((*fields)[1] != std::to_string(formatVersion) || (*fields)[2] != program.version) {
                loaded.problem =
                    "the manifest is from another version (" + std::string((*fields)[2]) + ")";
                return loaded;
            }
            if ((*fields)[3] != hex(program.fingerprint)) {
                loaded.problem = "the manifest is from another encoder or other season rules";
                return loaded;
            }
            continue;
        }
        const std::optional<OutputRecord> record = parseRecord(*fields);
        if (!record) {
            loaded.records.clear();
            loaded.problem = "the manifest is damaged (line " + std::to_string(lineNumber) + ")";
            return loaded;
        }
        loaded.records[record->output] = *record;
    }
    if (lineNumber == 0)
        loaded.problem = "the manifest is damaged (empty)";
    return loaded;
}

ManifestWriter::ManifestWriter(const std::filesystem::path &folder, const ProgramIdentity &program,
                               const std::vector<OutputRecord> &records)
    : m_path(folder / manifestFileName)
{
    std::string text = headerLine(program);
    for (const OutputRecord &record : records)
        text += recordLine(record);
    PendingOutput file(m_path, {reinterpret_cast<const std::uint8_t *>(text.data()), text.size()},
                       Flush::Inline);
    file.commit();
    flushFolder(folder);
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (m_fd < 0)
        throw platform::Error(m_path.string() + ": cannot open: " + errorText(errno));
}

ManifestWriter::~ManifestWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ManifestWriter::append(const std::vector<OutputRecord> &records)
{
    std::string text;
    for (const OutputRecord &record : records)
        text += recordLine(record);
    // One write: a crash tears at most this, the last line of the file.
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw platform::Error(m_path.string() + ": cannot write: " + errorText(errno));
        p += n;
        left -= std::size_t(n);
    }
}

void ManifestWriter::close()
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    const bool synced = ::fdatasync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced)
        throw platform::Error(m_path.string() + ": cannot flush: " + errorText(error));
}

ManifestLock::ManifestLock(const std::filesystem::path &folder, Mode mode,
                           const std::function<void()> &waiting)
{
    const std::filesystem::path path = folder / manifestLockName;
    m_fd =
        ::open(path.c_str(),
               (mode == Mode::Update ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0) {
        if (mode == Mode::Write && errno == ENOENT)
            return; // no update ever ran here: nothing to keep in step
        throw platform::Error(path.string() + ": cannot open: " + errorText(errno));
    }
    const int operation = mode == Mode::Update ? LOCK_EX : LOCK_SH;
    if (::flock(m_fd, operation | LOCK_NB) == 0)
        return;
    if (waiting)
        waiting();
    while (::flock(m_fd, operation) != 0)
        if (errno != EINTR)
            throw platform::Error(path.string() + ": cannot lock: " + errorText(errno));
}

ManifestLock::~ManifestLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace texset
