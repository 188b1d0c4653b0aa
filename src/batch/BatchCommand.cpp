// tessavane-batch: the window's texture sets, made without a window.
#include "batch/BatchCommand.h"

#include "batch/BatchOptions.h"
#include "batch/PreviewCommand.h"
#include "batch/Progress.h"
#include "batch/SetUpdate.h"
#include "platform/FileMask.h"
#include "platform/FileNames.h"
#include "platform/SettingsStore.h"
#include "platform/StopRequest.h"
#include "season/Adjustment.h"
#include "season/SeasonNaming.h"
#include "season/SeasonTable.h"
#include "settings/StoredSettings.h"
#include "texset/Manifest.h"
#include "texset/ShardPlan.h"
#include "texset/StaleTemporaries.h"
#include "texset/TextureSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace batch {

namespace {

std::filesystem::path toPath(const QString &text)
{
    return platform::toNativePath(text);
}

void report(std::FILE *err, const QString &message)
{
    std::fprintf(err, "tessavane-batch: %s\n", qUtf8Printable(message));
    std::fflush(err);
}

void requireFolder(const QString &folder, const char *role, bool writable)
{
    const std::filesystem::path path = toPath(folder);
    std::error_code ignored;
    QString reason;
    if (!std::filesystem::exists(path, ignored))
        reason = QStringLiteral("does not exist");
    else if (!std::filesystem::is_directory(path, ignored))
        reason = QStringLiteral("is not a folder");
    else if (::access(path.c_str(), writable ? W_OK | X_OK : R_OK | X_OK))
        reason = writable ? QStringLiteral("cannot be written") : QStringLiteral("cannot be read");
    if (!reason.isEmpty())
        throw UsageError(QStringLiteral("%1 folder \"%2\" %3")
                             .arg(role, platform::displayFileName(folder), reason)
                             .toStdString());
}

// The strength of one season for the run: the one given, else, for a season the window
// makes, the one the window stored (held to the range its edit box keeps), else the season's
// default; truncated toward zero as the passes read it.
int adjustmentFor(const BatchOptions &options, season::Season season)
{
    const season::SeasonRow &row = season::seasonRow(season);
    if (const std::optional<double> &given = options.strength(season))
        return season::truncateAdjustment(*given);
    const settings::Adjustment *stored = settings::StoredSettings::adjustmentOf(season);
    if (!stored)
        return row.defaultStrength;
    try {
        settings::StoredSettings store(platform::SettingsStore::defaultFilePath());
        return store.adjustmentInRange(*stored);
    } catch (const platform::Error &e) {
        throw UsageError(std::string("cannot read the stored settings: ") + e.what());
    }
}

Progress::Mode progressMode(const BatchOptions &options, std::FILE *out)
{
    if (options.quiet)
        return Progress::Mode::Quiet;
    return ::isatty(::fileno(out)) ? Progress::Mode::Terminal : Progress::Mode::Lines;
}

// The processors this process may run on.
unsigned processorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return unsigned(CPU_COUNT(&set));
    return 1;
}

// Files converted at once, at most, per processor: each holds a tile's buffers, and beyond a
// few per processor more only take memory.
constexpr unsigned jobsPerProcessor = 8;

// The soft limit of open files raised to the hard one, so that many outputs in hand do not
// run out of descriptors; the texture set keeps within whatever limit remains.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    const rlim_t soft = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    // An unlimited hard limit is still held to the kernel's own (fs.nr_open).
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0 && limit.rlim_max == RLIM_INFINITY) {
        limit.rlim_cur = std::max<rlim_t>(soft, 1 << 20);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Whether everything written to `out` reached it; when not, says so on `err`, with the reason
// of the failed write, `seen` when that was an earlier one.
bool outputWritten(std::FILE *out, std::FILE *err, int seen = 0)
{
    errno = 0;
    if (std::fflush(out) == 0 && !std::ferror(out))
        return true;
    const int error = seen ? seen : errno;
    // A closed pipe stops the run, which then ends by SIGPIPE: the shell's own sign.
    if (error == EPIPE)
        return false;
    report(err, QStringLiteral("cannot write to standard output%1")
                    .arg(error ? QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))
                               : QString()));
    return false;
}

// A line on the progress stream, unless quiet.
void say(const BatchOptions &options, std::FILE *out, const QString &line)
{
    if (options.quiet)
        return;
    std::fprintf(out, "%s\n", qUtf8Printable(line));
    std::fflush(out);
}

// The update's plan, from the destination's manifest; says when there is none to go by.
template <typename TileRequestOf>
void startUpdate(std::optional<SetUpdate> &update, const BatchOptions &options,
                 const QStringList &names, const std::vector<texset::SeasonSetting> &seasons,
                 const TileRequestOf &tileRequest, std::FILE *out)
{
    std::vector<texset::UpdateTile> tiles;
    tiles.reserve(std::size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        texset::TileRequest request = tileRequest(std::size_t(i));
        texset::UpdateTile tile{
            request.texture, platform::encodeFileName(names[i]).toStdString(), request.outputs, {}};
        for (const std::filesystem::path &output : request.outputs)
            tile.outputNames.push_back(output.filename().string());
        tiles.push_back(std::move(tile));
    }
    update.emplace(toPath(options.destination), std::move(tiles), seasons, options.dryRun, [&] {
        say(options, out, QStringLiteral("waiting for the other update of DEST"));
    });
    if (!update->plan().fullRun.empty() && !options.dryRun)
        say(options, out,
            QString::fromStdString(update->plan().fullRun) +
                QStringLiteral(": writing every output"));
}

int runTextureSet(const BatchOptions &options, std::FILE *out, std::FILE *err)
{
    requireFolder(options.source, "source", false);
    requireFolder(options.destination, "destination", true);
    texset::SetOptions set;
    for (const season::Season season : options.seasons)
        set.seasons.push_back({season, adjustmentFor(options, season)});
    QStringList names;
    try {
        names = platform::listMatchingFiles(options.source, settings::StoredSettings::summerMask);
    } catch (const platform::Error &e) {
        throw UsageError(e.what());
    }

    const QDir source(options.source);
    const QDir destination(options.destination);
    auto outputNameOf = [&](const QString &name, season::Season season) {
        return platform::decodeFileName(season::seasonOutputName(
            platform::encodeFileName(name).toStdString(), season, options.createSU));
    };
    auto tileRequest = [&](std::size_t i) {
        const QString &name = names[qsizetype(i)];
        texset::TileRequest request{toPath(source.filePath(name)), {}, {}, {}};
        for (const season::Season season : options.seasons)
            request.outputs.push_back(toPath(destination.filePath(outputNameOf(name, season))));
        return request;
    };

    std::error_code ignored;
    if (options.update && options.createSU &&
        std::filesystem::equivalent(toPath(options.source), toPath(options.destination), ignored))
        throw UsageError("--update cannot keep a set whose outputs replace their own sources "
                         "(--create-su with DEST = SOURCE)");
    // A shard writes its own range; the tiles before it are only counted.
    const texset::TileRange range =
        options.shard ? texset::shardRange(std::size_t(names.size()), *options.shard)
                      : texset::TileRange{0, std::size_t(names.size())};
    std::optional<SetUpdate> update;
    std::optional<texset::ManifestLock> lock;
    try {
        if (options.update)
            startUpdate(update, options, names, set.seasons, tileRequest, out);
        else
            lock.emplace(toPath(options.destination), texset::ManifestLock::Mode::Write, [&] {
                say(options, out, QStringLiteral("waiting for the update running in DEST"));
            });
        if (update && options.dryRun) {
            update->printPlan(out);
            return outputWritten(out, err) ? AllWritten : SomeFailed;
        }
    } catch (const platform::Error &e) {
        report(err, QString::fromUtf8(e.what()));
        return SomeFailed;
    }

    platform::installStopHandler();
    raiseOpenFileLimit();
    // What a run killed mid-write left behind; never the files of a run still going.
    texset::removeStaleTemporaries(toPath(options.destination));

    const int total = update ? update->tilesToWrite() : int(range.end - range.begin);
    Progress progress(out, progressMode(options, out), total);
    QElapsedTimer clock;
    clock.start();
    auto tileAt = [&](std::size_t i) {
        texset::TileRequest request = tileRequest(i);
        if (i < range.begin)
            request.write.assign(request.outputs.size(), false);
        if (update)
            update->shape(i, request);
        return request;
    };
    int written = 0;
    int failed = 0;
    std::string recordError;
    int outError = 0;
    auto reportTile = [&](const texset::TileOutcome &outcome) {
        const QString &name = names[qsizetype(outcome.index)];
        const bool counted =
            outcome.index < range.begin || (update && !update->writes(outcome.index));
        // A tile before the shard is the earlier shard's to report; with --keep-going it
        // only draws no snow here. Without, the whole run would stop at it, and so does this.
        if (counted && (outcome.written || options.keepGoing))
            return;
        if (outcome.written) {
            ++written;
            QStringList outputs;
            for (const season::Season season : options.seasons)
                outputs << outputNameOf(name, season);
            QString shownOutputs = outputs.join(QStringLiteral(", "));
            if (update) {
                try {
                    shownOutputs = update->written(outcome);
                } catch (const platform::Error &e) {
                    recordError = e.what();
                }
            }
            progress.fileWritten(name, shownOutputs, double(clock.nsecsElapsed()) / 1e9);
            // The first write error's reason: the stream keeps only that there was one.
            if (std::ferror(out) && !outError)
                outError = errno;
        } else {
            ++failed;
            progress.endLine();
            report(err, QString::fromStdString(outcome.error));
        }
    };

    set.jobs = std::min(options.jobs ? *options.jobs : processorCount(),
                        jobsPerProcessor * processorCount());
    set.keepGoing = options.keepGoing;
    texset::SetResult result;
    try {
        if (update)
            update->begin();
        result = texset::makeTextureSet(range.end, tileAt, set, reportTile,
                                        [] { return platform::stopRequested(); });
        if (update)
            update->finish();
    } catch (const std::exception &e) {
        report(err, QString::fromUtf8(e.what()));
        return SomeFailed;
    }
    if (!recordError.empty()) {
        // The outputs are whole; the next update only writes more than it needs to.
        report(err, QString::fromStdString(recordError));
    }
    QString stopReason;
    if (result.stoppedAtFailure)
        stopReason = QStringLiteral("stopped at the failure (--keep-going goes on)");
    else if (result.stoppedOnRequest)
        stopReason = QStringLiteral("stopped on request");
    progress.summary(written, failed, double(clock.nsecsElapsed()) / 1e9, stopReason);
    if (update)
        say(options, out, update->summaryLine());
    if (options.shard) {
        const QString files =
            range.begin == range.end
                ? QStringLiteral("no files")
                : QStringLiteral("files %1 to %2").arg(range.begin + 1).arg(range.end);
        say(options, out,
            QStringLiteral("Shard %1/%2: %3 of %4")
                .arg(options.shard->index)
                .arg(options.shard->count)
                .arg(files)
                .arg(names.size()));
    }
    if (std::ferror(out) && !outError)
        outError = errno;
    if (!outputWritten(out, err, outError))
        return SomeFailed;
    return written == total && failed == 0 && recordError.empty() ? AllWritten : SomeFailed;
}

} // namespace

int runBatchCommand(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    if (!arguments.isEmpty() &&
        arguments.constFirst().compare(QLatin1String("preview"), Qt::CaseInsensitive) == 0)
        return runPreviewCommand(arguments.mid(1), out, err);
    try {
        const BatchOptions options = parseBatchOptions(arguments);
        if (options.help) {
            std::fputs(qUtf8Printable(batchHelpText()), out);
            return outputWritten(out, err) ? AllWritten : SomeFailed;
        }
        if (options.version) {
            try {
                std::fputs(qUtf8Printable(batchVersionText() + QLatin1Char('\n')), out);
                return outputWritten(out, err) ? AllWritten : SomeFailed;
            } catch (const platform::Error &e) {
                report(err, QString::fromUtf8(e.what()));
                return SomeFailed;
            }
        }
        return runTextureSet(options, out, err);
    } catch (const UsageError &e) {
        report(err, QString::fromUtf8(e.what()) + QStringLiteral(" (see --help)"));
        return BadUsage;
    }
}

} // namespace batch
