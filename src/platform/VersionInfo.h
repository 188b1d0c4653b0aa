// Reads a file's fixed version block (VS_FIXEDFILEINFO) and formats it for display.
//
// Windows programs and libraries (PE32, PE32+) keep the block in their version resource
// (resource type 16): the reader walks the resource directory to the first version
// resource, checks its "VS_VERSION_INFO" key and takes the block that follows. ELF files
// built by this project keep the same 52-byte block in a section of its own
// (versionSectionName), in the file's byte order.
//
// Not supported: 16-bit NE/LE files, version resources spread over several sections,
// ELF files without a section table.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QIODevice;

namespace platform {

inline constexpr std::uint32_t fixedFileInfoSignature = 0xFEEF04BD;
inline constexpr char versionSectionName[] = ".tessavane_version";

struct FixedFileInfo
{
    std::uint32_t signature = 0;
    std::uint32_t strucVersion = 0;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};
static_assert(sizeof(FixedFileInfo) == 52);

// The fixed version block of the file at path. On failure returns nothing and, when error
// is given, sets it to a message naming the file and the reason.
std::optional<FixedFileInfo> readFixedFileInfo(const QString &path, QString *error = nullptr);

// The same from an open, readable device; name stands for it in messages.
std::optional<FixedFileInfo> readFixedFileInfo(QIODevice &device, const QString &name,
                                               QString *error = nullptr);

// The product version as the About dialog shows it: the high word of productVersionMS,
// ".00.", then the whole of productVersionLS as a signed 32-bit number. 4.0.0.123 gives
// "4.00.123", 1.2.3.4 gives "1.00.196612".
QString productVersionText(const FixedFileInfo &info);

} // namespace platform
