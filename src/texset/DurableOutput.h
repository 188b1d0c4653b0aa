// Outputs that replace their file whole and, once committed and their folder flushed, survive
// a crash.
//
// An output is written to a hidden temporary file beside its target (".kovar-PID-N.tmp", the
// name the conversion library uses too, so one clean-up finds both), then renamed over the
// target. Durability needs three things on the disk: the file's data, the rename, and the
// folder entry the rename changed. The flush modes put them there at different costs:
//
//   None             no flush: a crash may lose outputs already reported written.
//   Inline           each output's data flushed (fdatasync) as soon as it is written, by the
//                    thread that encoded it; after its rename, its folder flushed on its own.
//   Grouped          write-back of each output started at once (sync_file_range), so the
//                    disk works while the next tile is encoded; the committing thread then
//                    waits for the data (fdatasync, by then mostly done), renames a group of
//                    outputs and flushes their folder once for the whole group.
//   GroupedNoKick    as Grouped, without starting write-back early.
//
// Every mode but None keeps the promise that an output reported written survives; Grouped is
// the cheapest and the default.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace texset {

enum class Flush { None, Inline, Grouped, GroupedNoKick };

class PendingOutput
{
  public:
    PendingOutput() = default;
    // Writes `bytes` to a new temporary file beside `target`. Throws platform::Error naming
    // the target and the reason, leaving nothing behind.
    PendingOutput(const std::filesystem::path &target, std::span<const std::uint8_t> bytes,
                  Flush flush);
    ~PendingOutput();
    PendingOutput(PendingOutput &&other) noexcept;
    PendingOutput &operator=(PendingOutput &&other) noexcept;
    PendingOutput(const PendingOutput &) = delete;
    PendingOutput &operator=(const PendingOutput &) = delete;

    bool empty() const { return m_fd < 0; }
    const std::filesystem::path &target() const { return m_target; }

    // Waits for the data as the mode asks, then renames the temporary file over the target.
    // The rename itself is durable only once the target's folder is flushed. Throws
    // platform::Error naming the target; the temporary file is then removed.
    void commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

  private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    Flush m_flush = Flush::None;
};

// Flushes the folder's entries to disk, so the renames made in it survive a crash. Throws
// platform::Error naming the folder.
void flushFolder(const std::filesystem::path &folder);

} // namespace texset
