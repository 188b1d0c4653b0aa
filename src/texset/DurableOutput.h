// The texture set's outputs: the library's atomic writer (convlib/AtomicFile.h, where the
// flush modes are described) with the set's paths. Every mode but None keeps the promise that
// an output reported written survives a crash; Grouped is the cheapest and the default.
#pragma once

#include "convlib/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace texset {

using Flush = kovar::Flush;

class PendingOutput
{
  public:
    PendingOutput() = default;
    // Writes `bytes` to a new temporary file beside `target`. Throws kovar::Error naming the
    // target and the reason, leaving nothing behind.
    PendingOutput(const std::filesystem::path &target, std::span<const std::uint8_t> bytes,
                  Flush flush)
        : m_target(target), m_file(target.string(), bytes, flush)
    {}

    bool empty() const { return m_file.empty(); }
    const std::filesystem::path &target() const { return m_target; }

    // Waits for the data as the mode asks, then renames the temporary file over the target
    // (which must be a regular file, a link, or nothing). Grouped modes: the rename is durable
    // only once the target's folder is flushed. Throws kovar::Error naming the target; the
    // temporary file is then removed.
    void commit() { m_file.commit(); }
    // Removes the temporary file; the target stays as it was.
    void discard() { m_file.discard(); }

  private:
    std::filesystem::path m_target;
    kovar::AtomicFile m_file;
};

// Flushes the folder's entries to disk, so the renames made in it survive a crash. Throws
// kovar::Error naming the folder.
inline void flushFolder(const std::filesystem::path &folder)
{
    kovar::flushFolder(folder.string());
}

// What a tile whose outputs were renamed reports when their folder could not be flushed
// (`folderError`, naming the folder): the outputs are named, since the tile is not reported
// written.
std::string unflushedMessage(const std::vector<PendingOutput> &outputs,
                             const std::string &folderError);

// How many outputs may be open at once: the open-file limit less the descriptors already
// open and a reserve for everything else the process opens (the tiles read, the folders
// flushed, the toolkit's own). At least 1.
std::size_t outputsOpenAtMost();

} // namespace texset
