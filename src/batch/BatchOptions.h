// The command line of tessavane-batch.
#pragma once

#include "platform/Error.h"
#include "season/Season.h"

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

// The line --version prints: the program's name and the version of its own version block, as
// the About dialog shows it ("tessavane-batch 1.00.0"). Throws platform::Error naming the
// file when the block cannot be read.
QString batchVersionText();

} // namespace batch
