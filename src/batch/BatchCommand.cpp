// tessavane-batch: the window's texture sets, made without a window.
#include "batch/BatchCommand.h"

#include "batch/BatchOptions.h"
#include "batch/Progress.h"
#include "batch/StopRequest.h"
#include "platform/FileMask.h"
#include "platform/SettingsStore.h"
#include "season/Adjustment.h"
#include "season/ConversionSteps.h"
#include "season/SeasonNaming.h"
#include "season/SeasonPass.h"
#include "season/SnowNoise.h"
#include "season/WorkingFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace batch {

namespace {

const QString summerMask = QStringLiteral("???????????????su.bmp");

std::filesystem::path toPath(const QString &text)
{
    return std::filesystem::path(text.toStdString());
}

void report(std::FILE *err, const QString &message)
{
    std::fprintf(err, "tessavane-batch: %s\n", qUtf8Printable(message));
    std::fflush(err);
}

void requireFolder(const QString &folder, const char *role, bool writable)
{
    const QFileInfo info(folder);
    QString reason;
    if (!info.exists())
        reason = QStringLiteral("does not exist");
    else if (!info.isDir())
        reason = QStringLiteral("is not a folder");
    else if (::access(QFile::encodeName(folder).constData(), writable ? W_OK | X_OK : R_OK | X_OK))
        reason = writable ? QStringLiteral("cannot be written") : QStringLiteral("cannot be read");
    if (!reason.isEmpty())
        throw UsageError(
            QStringLiteral("%1 folder \"%2\" %3").arg(role, folder, reason).toStdString());
}

// The adjustment for the run: the one given, else the one the window stored (held to the
// range its edit box keeps), else the window's default. Truncated toward zero as the passes
// read it.
int adjustmentFor(const BatchOptions &options)
{
    const bool winter = options.season == season::Season::Winter;
    const std::optional<double> &given = winter ? options.snow : options.fall;
    if (given)
        return season::truncateAdjustment(*given);

    const int fallback = winter ? season::defaultSnowThreshold : season::defaultFallAmount;
    const int highest = winter ? season::highestSnowThreshold : season::highestFallAmount;
    try {
        platform::SettingsStore store(platform::SettingsStore::defaultFilePath());
        const int stored =
            store.ReadInteger(QStringLiteral("Frostane"),
                              winter ? QStringLiteral("Winter") : QStringLiteral("Fall"), fallback);
        return std::clamp(stored, season::lowestAdjustment, highest);
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

int runTextureSet(const BatchOptions &options, std::FILE *out, std::FILE *err)
{
    requireFolder(options.source, "source", false);
    requireFolder(options.destination, "destination", true);
    const int adjustment = adjustmentFor(options);
    QStringList names;
    try {
        names = platform::listMatchingFiles(options.source, summerMask);
    } catch (const platform::Error &e) {
        throw UsageError(e.what());
    }

    // Working files of our own, so that other runs and the window cannot disturb them.
    QTemporaryDir workFolder(QDir::tempPath() + QStringLiteral("/tessavane-batch-XXXXXX"));
    if (!workFolder.isValid()) {
        report(err, QStringLiteral("cannot create a working folder in \"%1\": %2")
                        .arg(QDir::tempPath(), workFolder.errorString()));
        return SomeFailed;
    }
    const season::WorkingFiles work{toPath(workFolder.path())};

    installStopHandler();
    Progress progress(out, progressMode(options, out), int(names.size()));
    QElapsedTimer clock;
    clock.start();
    int written = 0;
    int failed = 0;
    QString stopReason;
    for (const QString &name : names) {
        if (stopRequested()) {
            stopReason = QStringLiteral("stopped on request");
            break;
        }
        const QString texture = QDir(options.source).filePath(name);
        try {
            const QString outputName = QString::fromStdString(
                season::seasonOutputName(name.toStdString(), options.season, options.createSU));
            const QString output = QDir(options.destination).filePath(outputName);
            season::convertToWorkingFiles(work, toPath(texture));
            if (options.season == season::Season::Winter)
                season::runWinterPass(work.colour(), work.winter(), adjustment,
                                      season::processSnowNoise());
            else
                season::runFallPass(work.colour(), work.fall(), adjustment);
            season::writeSeasonTexture(work, options.season, toPath(output));
            ++written;
            progress.fileWritten(name, outputName, double(clock.nsecsElapsed()) / 1e9);
        } catch (const std::exception &e) {
            ++failed;
            progress.endLine();
            report(err, QString::fromUtf8(e.what()));
            if (!options.keepGoing) {
                stopReason = QStringLiteral("stopped at the failure (--keep-going goes on)");
                break;
            }
        }
    }
    progress.summary(written, failed, double(clock.nsecsElapsed()) / 1e9, stopReason);
    return written == names.size() ? AllWritten : SomeFailed;
}

} // namespace

int runBatchCommand(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    try {
        const BatchOptions options = parseBatchOptions(arguments);
        if (options.help) {
            std::fputs(qUtf8Printable(batchHelpText()), out);
            return AllWritten;
        }
        if (options.version) {
            try {
                std::fputs(qUtf8Printable(batchVersionText() + QLatin1Char('\n')), out);
                return AllWritten;
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
