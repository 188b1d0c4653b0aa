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
// The counting and the frontier are the NoiseLedger's (NoiseLedger.h), the committing of a
// group is commitGroup's (GroupCommit.h); neither knows about threads. The Engine below holds
// the lock and the hand-over between the workers and the committing thread.
//
// A tile may be asked only to be counted (a shard's earlier tiles, an update's tiles whose
// outputs are up to date): it is read and counted and, with nothing to write, settled at once;
// when its draws are given, it is not even read.
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
#include "texset/GroupCommit.h"
#include "texset/TileConversion.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace texset {

namespace {

// Outputs renamed and reported together at most; a bound on how long a report may lag.
constexpr std::size_t largestGroup = 64;

struct Slot
{
    enum class Stage { Free, Taken, Counted, Done };
    Stage stage = Stage::Free;
    FinishedTile finished;
};

bool writesAny(const TileRequest &request)
{
    return request.write.empty() ||
           std::find(request.write.begin(), request.write.end(), true) != request.write.end();
}

// Reads the tile and counts its draws, unless they are given and nothing is to be
// written. Throws with the message naming the file and the reason.
NoiseDraws readAndCount(TileConversion &tile, const TileRequest &request, const SetOptions &options,
                        bool writes)
{
    if (request.outputs.size() != options.seasons.size() ||
        (!request.write.empty() && request.write.size() != request.outputs.size()))
        throw platform::Error(request.texture.string() + ": not one output path per season");
    if (request.draws && !writes)
        return *request.draws;
    tile.load(request.texture);
    NoiseDraws draws{};
    for (const SeasonSetting &setting : options.seasons)
        countDraws(draws, tile, setting.season, setting.adjustment);
    return draws;
}

// The passes and encodings of the outputs asked for, each to a temporary beside its
// target. Throws with the message; nothing is then left behind.
std::vector<PendingOutput> convert(TileConversion &tile, const TileRequest &request,
                                   const SetOptions &options, const NoiseStates &start)
{
    std::vector<PendingOutput> outputs;
    try {
        for (std::size_t k = 0; k < options.seasons.size(); ++k) {
            if (!request.write.empty() && !request.write[k])
                continue;
            const SeasonSetting &setting = options.seasons[k];
            const std::optional<Generator> generator = generatorOf(setting.season);
            tile.applyPass(setting.season, setting.adjustment, generator ? start[*generator] : 0);
            const std::filesystem::path &target = request.outputs[k];
            outputs.emplace_back(target, tile.encode(target), options.flush);
        }
    } catch (...) {
        for (PendingOutput &output : outputs)
            output.discard();
        throw;
    }
    return outputs;
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
          m_ring(m_window), m_ledger(m_window, NoiseStates{options.snowState})
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
        m_result.snowState = m_ledger.next()[WinterNoise];
        return m_result;
    }

  private:
    Slot &slot(std::size_t index) { return m_ring[index % m_window]; }

    // Under the lock.
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
            NoiseDraws draws{};
            bool writes = false;
            try {
                request = m_tileAt(index);
                writes = writesAny(request);
                draws = readAndCount(tile, request, m_options, writes);
            } catch (const std::exception &e) {
                error = e.what();
                draws = {};
            }

            lock.lock();
            s.stage = Slot::Stage::Counted;
            s.finished.outcome.draws = draws;
            m_ledger.count(index, draws);
            m_changed.notify_all();
            if (!error.empty() || !writes) {
                finish(s, std::move(error), {});
                continue;
            }
            m_changed.wait(lock, [&] { return m_ledger.frontier() > index; });
            const NoiseStates start = m_ledger.startOf(index);
            lock.unlock();

            std::vector<PendingOutput> outputs;
            try {
                outputs = convert(tile, request, m_options, start);
            } catch (const std::exception &e) {
                error = e.what();
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
        TileOutcome &outcome = s.finished.outcome;
        outcome.written = error.empty();
        outcome.error = std::move(error);
        s.finished.outputs = std::move(outputs);
        s.stage = Slot::Stage::Done;
        if (!outcome.written && !m_options.keepGoing)
            m_halted = true;
        m_changed.notify_all();
    }

    // Under the lock: whether the tile is done and its start known (a tile only counted may
    // be done before the frontier reaches it).
    bool settledAt(std::size_t index)
    {
        return index < m_next && slot(index).stage == Slot::Stage::Done &&
               m_ledger.frontier() > index;
    }

    void commit(const std::function<void(const TileOutcome &)> &report)
    {
        bool haltSeen = false;
        for (;;) {
            std::vector<FinishedTile> group;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] {
                    return settledAt(m_committed) ||
                           (m_activeWorkers == 0 && m_committed == m_next);
                });
                if (m_committed == m_next)
                    break;
                for (std::size_t i = m_committed; settledAt(i) && group.size() < largestGroup;
                     ++i) {
                    Slot &s = slot(i);
                    s.finished.outcome.index = i;
                    s.finished.outcome.start = m_ledger.startOf(i);
                    group.push_back(std::move(s.finished));
                }
            }

            // Once a failure has ended the set, the tiles still in hand after it are
            // discarded, not committed.
            CommittedGroup committed;
            if (haltSeen) {
                for (FinishedTile &tile : group)
                    for (PendingOutput &output : tile.outputs)
                        output.discard();
            } else {
                committed = commitGroup(group, m_options.flush, m_options.keepGoing);
            }
            for (std::size_t k = 0; k < committed.settled; ++k) {
                const TileOutcome &outcome = group[k].outcome;
                if (outcome.written)
                    ++m_result.written;
                else
                    ++m_result.failed;
                report(outcome);
            }
            haltSeen = haltSeen || committed.halt;

            std::lock_guard lock(m_mutex);
            for (std::size_t k = 0; k < group.size(); ++k)
                slot(m_committed + k).stage = Slot::Stage::Free;
            m_committed += group.size();
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
    NoiseLedger m_ledger;
    std::size_t m_next = 0;      // the next tile to begin
    std::size_t m_committed = 0; // tiles settled and reported
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
