// The command line of tessavane-batch.
#pragma once

#include "platform/Error.h"
#include "season/Season.h"
#include "texset/ShardPlan.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace batch {

struct BatchOptions
{
    bool help = false;
    bool version = false;
    // The seasons the run makes, in the order each tile's outputs are written: one, or all
    // four for "all".
    std::vector<season::Season> seasons{season::Season::Winter};
    // The strengths as given on the command line, by season; empty when not given.
    // "hardwinter --snow N" is held as hard winter's.
    std::optional<double> strengths[season::seasonCount];
    std::optional<double> &strength(season::Season s) { return strengths[std::size_t(s)]; }
    const std::optional<double> &strength(season::Season s) const
    {
        return strengths[std::size_t(s)];
    }
    // Worker threads; empty for one per processor.
    std::optional<unsigned> jobs;
    bool createSU = false;
    bool keepGoing = false;
    bool quiet = false;
    // Only the K-th of N contiguous ranges of the listed tiles.
    std::optional<texset::Shard> shard;
    // Only the outputs whose bytes would change, by the destination's manifest; with dryRun
    // only the list of them.
    bool update = false;
    bool dryRun = false;
    QString source;
    QString destination;
};

// A command line that cannot be run: an unknown option, a missing or extra argument, an
// adjustment that is not a number or is outside the range the window allows.
class UsageError : public platform::Error
{
  public:
    using platform::Error::Error;
};

// Reads the arguments that follow the program's name. Throws UsageError with a one-line
// message.
BatchOptions parseBatchOptions(const QStringList &arguments);

// An adjustment as the window's edit box would hold it: a decimal number (with "." as the
// separator) from `lowest` to `highest`. Throws UsageError naming the option and the value.
double parseAdjustment(const QString &option, const QString &text, int lowest, int highest);

// The command words of the seasons, in table order, joined by `separator`.
QString seasonCommandList(const QString &separator);

// The text --help prints.
QString batchHelpText();

// The line --version prints: the program's name and the project's version, the one the
// package, the manual pages and the metainfo carry ("tessavane-batch 1.0.0").
QString batchVersionText();

} // namespace batch
