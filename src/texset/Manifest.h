// The record an updated texture set keeps in its destination folder: for each output, what
// its bytes depend on, so that a later update rewrites only the outputs whose bytes would
// change.
//
// The file ".tessavane-manifest" is text, one line each, every line ending in a tab and a
// check (a hash of the rest of the line, 16 hex digits):
//   tessavane-manifest <TAB> 1 <TAB> <program version> <TAB> <encoder fingerprint>
//   then one line per output: output name, source name, source size, source modification
//   time (ns), source content hash, season code, strength, the noise state the pass starts
//   from, the tile's draws, output size, output modification time (ns).
// Names are the file system's bytes with '%', spaces and control bytes written as %XX. A
// later line for an output replaces an earlier one: a run appends a line as each tile's
// outputs are committed, and the next update starts from one line per output again.
//
// A line is appended only once the outputs it describes are on the disk, so the record never
// runs ahead of the files; a line torn by a crash is the last one, and is dropped. The
// output's own size and time are part of the line, so a file that anything else rewrote is not
// taken for up to date.
//
// Runs that update one folder take ".tessavane-manifest.lock" (flock) for the whole run, one
// at a time; other runs into a folder that has one take it shared, so they never write while
// an update is recording what it wrote.
#pragma once

#include "season/Season.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texset {

inline constexpr const char *manifestFileName = ".tessavane-manifest";
inline constexpr const char *manifestLockName = ".tessavane-manifest.lock";

// A 64-bit hash of the bytes, for telling whether a file's content changed.
std::uint64_t contentHash(std::span<const std::uint8_t> bytes);

// What identifies a tile's content: size, modification time and content hash.
struct SourceIdentity
{
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t hash = 0;
    // The same bytes (the time may differ).
    bool sameContent(const SourceIdentity &other) const
    {
        return size == other.size && hash == other.hash;
    }
};

// A file's size and modification time.
struct FileStamp
{
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp &) const = default;
};

// The stamp of the file at `path`, or none when it is not a regular file (or is missing).
std::optional<FileStamp> stampOf(const std::filesystem::path &path);

struct OutputRecord
{
    std::string output; // the output's file name in the destination
    std::string source; // the tile's file name in its folder
    SourceIdentity identity;
    season::Season season = season::Season::Winter;
    int strength = 0;
    std::uint32_t start = 0; // the noise state the pass starts from (0 for seasons without)
    std::uint64_t draws = 0; // the tile's draws from the season's generator
    FileStamp stamp;         // the output as written
};

// What this program, its encoder and its season rules are: any change of one makes every
// record stale. The fingerprint is the hash of a fixed picture as the encoder writes it and as
// each season's rule turns it at several strengths, so an encoder or a rule that gives any
// other bytes is noticed without anyone bumping a number.
struct ProgramIdentity
{
    std::string version;
    std::uint64_t fingerprint = 0;
};
ProgramIdentity currentProgram();

struct LoadedManifest
{
    std::map<std::string, OutputRecord> records; // by output name
    // Empty when the records can be used; else why not ("no manifest", "the manifest is
    // damaged (line 3)", "the manifest is from another version (0.9.0)"...).
    std::string problem;
};

LoadedManifest readManifest(const std::filesystem::path &folder, const ProgramIdentity &program);

// The manifest of one update run.
class ManifestWriter
{
  public:
    // Replaces the folder's manifest whole (atomically, durably) by these records, then
    // keeps it open for appending. Throws platform::Error naming the file.
    ManifestWriter(const std::filesystem::path &folder, const ProgramIdentity &program,
                   const std::vector<OutputRecord> &records);
    ~ManifestWriter();
    ManifestWriter(const ManifestWriter &) = delete;
    ManifestWriter &operator=(const ManifestWriter &) = delete;

    // Appends records of outputs already on the disk. Throws platform::Error.
    void append(const std::vector<OutputRecord> &records);
    // Puts what was appended on the disk. Throws platform::Error.
    void close();

  private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

// The lock of a folder's manifest, held while it lives.
class ManifestLock
{
  public:
    enum class Mode { Update, Write };
    // Update: creates the lock file if need be and waits for the lock alone, calling
    // `waiting` once if another run holds it. Write: takes it shared, and only when the
    // lock file exists. Throws platform::Error naming the file.
    ManifestLock(const std::filesystem::path &folder, Mode mode,
                 const std::function<void()> &waiting);
    ~ManifestLock();
    ManifestLock(const ManifestLock &) = delete;
    ManifestLock &operator=(const ManifestLock &) = delete;

  private:
    int m_fd = -1;
};

} // namespace texset
