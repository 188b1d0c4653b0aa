// A texture set made on several threads, byte for byte what the one-file-at-a-time path
// writes.
//
// Design. Everything in a tile's outputs depends only on that tile's pixels, the settings and,
// for a season whose rule draws noise (its row in the season table says which generator), the
// state of that generator when the tile's pass begins; those states are the only thing one
// tile hands to the next. Each generator is
// a linear congruential generator, so its state k draws on is computed in O(log k)
// (TileConversion.h), and the number of draws a tile makes is the number of pixels the
// season's rule snows, which the tile's own pixels and the threshold decide. So a tile's
// starting states are known as soon as every earlier tile has been read and counted; nobody
// has to wait for an earlier tile's encoding. The generators are apart, so a set that
// makes several seasons writes each exactly as a set of that season alone would.
//
// Each worker thread repeats, on a tile of its own taken in file order:
//   1. read and decode the tile once, and count the draws each generator will make over it
//      (a tile that cannot be read counts 0: a failed tile draws no snow);
//   2. publish the count; whoever publishes moves the "frontier" (the first tile not yet
//      counted) forward over every counted tile, giving each its starting states by the jump;
//   3. wait until the frontier has passed its own tile, which takes at most the time the
//      other workers need to decode the tiles they took just before it (about a
//      millisecond, against some ten for the encoding), never an earlier tile's encoding;
//   4. for each season, run the pass from the tile's own colours (and its starting state),
//      encode, and write the output to a temporary file beside its target
//      (DurableOutput.h), starting its write-back at once.
// The calling thread commits: it takes the finished tiles in file order, in groups of what
// is ready, waits for their data to reach the disk, renames their outputs over their
// targets, flushes the folder once per group, and only then reports them written. The disk's
// latency is thus paid once per group and off the workers' path.
//
// Memory is flat in the number of tiles: each worker holds one tile and reuses its buffers,
// the per-tile records live in a ring of a fixed number of slots, and a worker does not begin
// a tile more than that many tiles past the oldest one not yet committed. Tile paths are
// asked for one at a time.
//
// Stopping: once a stop is requested no tile is begun; the tiles in hand are finished,
// committed and reported, so what is written is always a whole prefix of the set. Without
// keep-going, the first failure in file order stops the set the same way, and tiles after it
// that were in hand are discarded rather than committed, so the written files are those one
// tile at a time would leave.
#include "texset/TextureSet.h"

#include "convlib/Dxt.h"
#include "platform/Error.h"
#include "season/SeasonTable.h"
#include "texset/TileConversion.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

namespace texset {

namespace {

// Outputs renamed and reported together at most; a bound on how long a report may lag.
constexpr std::size_t largestGroup = 64;

// The two noise generators a set may draw from.
enum Generator { WinterNoise, HardWinterNoise, generatorCount };

struct Slot
{
    enum class Stage { Free, Taken, Counted, Done };
    Stage stage = Stage::Free;
    std::uint64_t draws[generatorCount] = {};
    std::uint32_t startState[generatorCount] = {};
    bool failed = false;
    std::string error;
    std::vector<PendingOutput> outputs;
};

// The generator a season's pass draws from, if any.
std::optional<Generator> generatorOf(season::Season season)
{
    const season::Noise noise = season::seasonRow(season).noise;
    if (noise == season::Noise::None)
        return std::nullopt;
    return Generator(int(noise));
}

class Engine
{
  public:
    Engine(std::size_t count, const std::function<TileRequest(std::size_t)> &tileAt,
           const SetOptions &options, const std::function<bool()> &stopRequested)
        : m_count(count), m_tileAt(tileAt), m_options(options), m_stopRequested(stopRequested),
          // The outputs of the tiles in hand are open files: no more than the limit allows.
          m_window(std::min(
              4 * std::size_t(std::max(1u, options.jobs)) + 16,
              std::max<std::size_t>(1, outputsOpenAtMost() /
                                           std::max<std::size_t>(1, options.seasons.size())))),
          m_ring(m_window), m_frontierState{options.snowState, options.hardWinterState}
    {
        if (m_options.seasons.empty())
            throw platform::Error("a texture set needs at least one season");
    }

    SetResult run(const std::function<void(const TileOutcome &)> &report)
    {
        std::vector<std::thread> workers;
        // More workers than tiles in hand would only wait.
        const unsigned jobs = unsigned(std::min<std::size_t>(
            {std::max(1u, m_options.jobs), m_window, std::max<std::size_t>(1, m_count)}));
        {
            std::lock_guard lock(m_mutex);
            m_activeWorkers = jobs;
        }
        for (unsigned i = 0; i < jobs; ++i) {
            try {
                workers.emplace_back([this] { work(); });
            } catch (const std::system_error &) {
                std::lock_guard lock(m_mutex);
                m_activeWorkers -= jobs - i;
                break;
            }
        }
        if (workers.empty())
            throw platform::Error("cannot start a worker thread");
        commit(report);
        for (std::thread &worker : workers)
            worker.join();
        m_result.snowState = m_frontierState[WinterNoise];
        m_result.hardWinterState = m_frontierState[HardWinterNoise];
        return m_result;
    }

  private:
    Slot &slot(std::size_t index) { return m_ring[index % m_window]; }

    bool mayBegin()
    {
        if (m_halted || m_stopped || m_next >= m_count)
            return false;
        if (m_stopRequested && m_stopRequested()) {
            m_stopped = true;
            return false;
        }
        return true;
    }

    // Gives every tile the frontier passes its starting state.
    void advanceFrontier()
    {
        while (m_frontier < m_next && slot(m_frontier).stage >= Slot::Stage::Counted) {
            Slot &s = slot(m_frontier);
            for (int g = 0; g < generatorCount; ++g) {
                s.startState[g] = m_frontierState[g];
                m_frontierState[g] = snowStateAfter(m_frontierState[g], s.draws[g]);
            }
            ++m_frontier;
        }
    }

    void work()
    {
        TileConversion tile;
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (!mayBegin())
                break;
            if (m_next >= m_committed + m_window) {
                m_changed.wait_for(lock, std::chrono::milliseconds(100));
                continue;
            }
            const std::size_t index = m_next++;
            Slot &s = slot(index);
            s = Slot{};
            s.stage = Slot::Stage::Taken;
            lock.unlock();

            TileRequest request;
            std::string error;
            std::uint64_t draws[generatorCount] = {};
            try {
                request = m_tileAt(index);
                if (request.outputs.size() != m_options.seasons.size())
                    throw platform::Error(request.texture.string() +
                                          ": not one output path per season");
                tile.load(request.texture);
                for (const SeasonSetting &setting : m_options.seasons)
                    if (const std::optional<Generator> generator = generatorOf(setting.season))
                        draws[*generator] = tile.draws(setting.season, setting.adjustment);
            } catch (const std::exception &e) {
                error = e.what();
                draws[WinterNoise] = draws[HardWinterNoise] = 0;
            }

            lock.lock();
            std::copy(std::begin(draws), std::end(draws), s.draws);
            s.stage = Slot::Stage::Counted;
            advanceFrontier();
            if (!error.empty()) {
                finish(s, std::move(error), {});
                continue;
            }
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_frontier > index; });
            std::uint32_t start[generatorCount];
            std::copy(std::begin(s.startState), std::end(s.startState), start);
            lock.unlock();

            std::vector<PendingOutput> outputs;
            try {
                for (std::size_t k = 0; k < m_options.seasons.size(); ++k) {
                    const SeasonSetting &setting = m_options.seasons[k];
                    const std::optional<Generator> generator = generatorOf(setting.season);
                    tile.applyPass(setting.season, setting.adjustment,
                                   generator ? start[*generator] : 0);
                    const std::filesystem::path &target = request.outputs[k];
                    outputs.emplace_back(target, tile.encode(target), m_options.flush);
                }
            } catch (const std::exception &e) {
                error = e.what();
                for (PendingOutput &output : outputs)
                    output.discard();
                outputs.clear();
            }
            lock.lock();
            finish(s, std::move(error), std::move(outputs));
        }
        --m_activeWorkers;
        m_changed.notify_all();
    }

    // Under the lock.
    void finish(Slot &s, std::string error, std::vector<PendingOutput> outputs)
    {
        s.failed = !error.empty();
        s.error = std::move(error);
        s.outputs = std::move(outputs);
        s.stage = Slot::Stage::Done;
        if (s.failed && !m_options.keepGoing)
            m_halted = true;
        m_changed.notify_all();
    }

    void commit(const std::function<void(const TileOutcome &)> &report)
    {
        bool haltSeen = false;
        for (;;) {
            std::vector<TileOutcome> outcomes;
            std::vector<std::vector<PendingOutput>> outputs;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] {
                    return (m_committed < m_next && slot(m_committed).stage == Slot::Stage::Done) ||
                           (m_activeWorkers == 0 && m_committed == m_next);
                });
                if (m_committed == m_next)
                    break;
                for (std::size_t i = m_committed;
                     i < m_next && slot(i).stage == Slot::Stage::Done &&
                     outcomes.size() < largestGroup;
                     ++i) {
                    Slot &s = slot(i);
                    outcomes.push_back(TileOutcome{i, !s.failed, std::move(s.error)});
                    outputs.push_back(std::move(s.outputs));
                }
            }

            // Renames in file order; after the first failure without keep-going, the rest
            // are discarded and not reported. A tile's outputs are renamed in season order; if
            // one cannot be, the tile is reported failed, and those already renamed stay (they
            // are whole files).
            std::set<std::filesystem::path> folders;
            std::size_t settled = 0;
            for (std::size_t k = 0; k < outcomes.size() && !haltSeen; ++k, ++settled) {
                TileOutcome &outcome = outcomes[k];
                for (PendingOutput &output : outputs[k]) {
                    if (!outcome.written)
                        break;
                    try {
                        output.commit(); // Inline: its folder flushed too
                        folders.insert(output.target().parent_path());
                    } catch (const std::exception &e) {
                        outcome.written = false;
                        outcome.error = e.what();
                    }
                }
                if (!outcome.written && !m_options.keepGoing)
                    haltSeen = true;
            }
            for (std::vector<PendingOutput> &tileOutputs : outputs)
                for (PendingOutput &output : tileOutputs)
                    output.discard(); // those not committed
            std::map<std::filesystem::path, std::string> folderErrors;
            if (m_options.flush == Flush::Grouped || m_options.flush == Flush::GroupedNoKick) {
                for (const std::filesystem::path &folder : folders) {
                    try {
                        flushFolder(folder);
                    } catch (const std::exception &e) {
                        folderErrors[folder] = e.what();
                    }
                }
            }
            for (std::size_t k = 0; k < settled; ++k) {
                TileOutcome &outcome = outcomes[k];
                for (const PendingOutput &output : outputs[k]) {
                    const auto failed = folderErrors.find(output.target().parent_path());
                    if (outcome.written && failed != folderErrors.end()) {
                        outcome.written = false;
                        outcome.error = unflushedMessage(outputs[k], failed->second);
                    }
                }
                if (outcome.written)
                    ++m_result.written;
                else
                    ++m_result.failed;
                report(outcome);
            }
            if (!folderErrors.empty() && !m_options.keepGoing)
                haltSeen = true;

            std::lock_guard lock(m_mutex);
            for (std::size_t k = 0; k < outcomes.size(); ++k)
                slot(m_committed + k).stage = Slot::Stage::Free;
            m_committed += outcomes.size();
            if (haltSeen) {
                m_halted = true;
                m_result.stoppedAtFailure = true;
            }
            m_changed.notify_all();
        }
        std::lock_guard lock(m_mutex);
        m_result.stoppedOnRequest = m_stopped && !m_result.stoppedAtFailure;
    }

    const std::size_t m_count;
    const std::function<TileRequest(std::size_t)> &m_tileAt;
    const SetOptions m_options;
    const std::function<bool()> &m_stopRequested;
    const std::size_t m_window;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_ring;
    std::size_t m_next = 0;      // the next tile to begin
    std::size_t m_frontier = 0;  // the first tile not yet counted
    std::size_t m_committed = 0; // tiles settled and reported
    std::uint32_t m_frontierState[generatorCount];
    unsigned m_activeWorkers = 0;
    bool m_halted = false;  // a failure stops the set
    bool m_stopped = false; // a stop was requested
    SetResult m_result;
};

} // namespace

SetResult makeTextureSet(std::size_t count, const std::function<TileRequest(std::size_t)> &tileAt,
                         const SetOptions &options,
                         const std::function<void(const TileOutcome &)> &report,
                         const std::function<bool()> &stopRequested)
{
    // The workers are the parallelism: each encoding stays on its own thread.
    kovar::setDxtEncodeThreads(1);
    Engine engine(count, tileAt, options, stopRequested);
    return engine.run(report);
}

} // namespace texset
