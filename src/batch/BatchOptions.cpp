// The command line of tessavane-batch.
#include "batch/BatchOptions.h"

#include "season/Adjustment.h"
#include "season/SeasonTable.h"
#include "settings/StoredSettings.h"

#include <QCommandLineParser>

#include <cmath>

namespace batch {

namespace {

// The number of worker threads: a whole number from 1 to highestJobs.
constexpr unsigned highestJobs = 1024;

unsigned parseJobs(const QString &text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok || value < 1 || value > highestJobs)
        throw UsageError(QStringLiteral("--jobs: \"%1\" is not a whole number from 1 to %2")
                             .arg(text)
                             .arg(highestJobs)
                             .toStdString());
    return value;
}

// "-j4" read as "-j 4", as other programs read it: the parser would take it for an option
// named "j4". Values of options that take one, and what follows "--", are left as they are.
QStringList withJobsValueApart(const QStringList &arguments, const QStringList &valued)
{
    QStringList result;
    bool value = false;
    bool positional = false;
    for (const QString &argument : arguments) {
        if (value || positional) {
            result << argument;
            value = false;
            continue;
        }
        if (argument == QLatin1String("--")) {
            positional = true;
        } else if (argument.size() > 2 && argument.startsWith(QLatin1String("-j")) &&
                   argument[2] != QLatin1Char('=') &&
                   !argument.startsWith(QLatin1String("-jobs"))) {
            result << QStringLiteral("-j") << argument.mid(2);
            continue;
        } else if (argument.startsWith(QLatin1Char('-')) && !argument.contains(QLatin1Char('='))) {
            const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
            value = valued.contains(name);
        }
        result << argument;
    }
    return result;
}

// --shard, --update and --dry-run.
void readSetOptions(const QCommandLineParser &parser, const QCommandLineOption &shard,
                    const QCommandLineOption &update, const QCommandLineOption &dryRun,
                    BatchOptions &options)
{
    if (parser.isSet(shard)) {
        const QString text = parser.value(shard);
        options.shard = texset::parseShard(text.trimmed().toStdString());
        if (!options.shard)
            throw UsageError(QStringLiteral("--shard: \"%1\" is not K/N with 1 <= K <= N")
                                 .arg(text)
                                 .toStdString());
    }
    options.update = parser.isSet(update);
    options.dryRun = parser.isSet(dryRun);
    if (options.dryRun && !options.update)
        throw UsageError("--dry-run goes with --update: it lists what an update would write");
    if (options.shard && options.update)
        throw UsageError("--shard and --update cannot be combined: run the update as one process "
                         "(it rewrites only what changed), or shards without --update");
}

} // namespace

namespace {

// The seasons' codes as the help names them: "wi", "fa", "sp" or "hw".
QString seasonCodeList()
{
    QStringList codes;
    for (const season::SeasonRow &row : season::seasonTable())
        codes << QStringLiteral("\"%1\"").arg(QString::fromLatin1(row.code));
    const QString last = codes.takeLast();
    return codes.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

QString seasonCommandList(const QString &separator)
{
    QStringList words;
    for (const season::SeasonRow &row : season::seasonTable())
        words << QString::fromLatin1(row.command);
    return words.join(separator);
}

double parseAdjustment(const QString &option, const QString &text, int lowest, int highest)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw UsageError(
            QStringLiteral("--%1: \"%2\" is not a number").arg(option, text).toStdString());
    if (value < lowest || value > highest)
        throw UsageError(QStringLiteral("--%1: %2 is outside %3..%4")
                             .arg(option, text)
                             .arg(lowest)
                             .arg(highest)
                             .toStdString());
    return value;
}

BatchOptions parseBatchOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    std::vector<QCommandLineOption> strengths;
    for (const season::SeasonRow &row : season::seasonTable())
        strengths.emplace_back(QString::fromLatin1(row.option), QString(), QStringLiteral("value"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, QString(),
                                  QStringLiteral("count"));
    const QCommandLineOption createSU(QStringLiteral("create-su"), QString());
    const QCommandLineOption keepGoing(QStringLiteral("keep-going"), QString());
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    parser.addOptions({help, version, jobs, createSU, keepGoing, quiet});
    for (const QCommandLineOption &o : strengths)
        parser.addOption(o);
    const QCommandLineOption shard(QStringLiteral("shard"), QString(), QStringLiteral("K/N"));
    const QCommandLineOption update(QStringLiteral("update"), QString());
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    parser.addOptions({shard, update, dryRun});

    std::vector<const QCommandLineOption *> once{&jobs, &shard};
    for (const QCommandLineOption &o : strengths)
        once.push_back(&o);
    QStringList valued;
    for (const QCommandLineOption *o : once)
        valued += o->names();
    // The parser expects the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("tessavane-batch")} +
                      withJobsValueApart(arguments, valued))) {
        QString message = parser.errorText(); // "Unknown option 'x'." and the like
        if (message.endsWith(QLatin1Char('.')))
            message.chop(1);
        throw UsageError(message.toStdString());
    }

    BatchOptions options;
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    if (parser.isSet(version)) {
        options.version = true;
        return options;
    }
    // An option given twice is ambiguous: refuse it rather than pick one. Named by its long
    // name, whichever names it was given by.
    for (const QCommandLineOption *o : once)
        if (parser.values(*o).size() > 1)
            throw UsageError(QStringLiteral("--%1 given more than once")
                                 .arg(o->names().constLast())
                                 .toStdString());

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
        throw UsageError(QStringLiteral("expected SEASON SOURCE DEST, got %1 argument%2")
                             .arg(positional.size())
                             .arg(positional.size() == 1 ? "" : "s")
                             .toStdString());
    const QString word = positional[0];
    using season::Season;
    if (word.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        options.seasons.clear();
        for (const season::SeasonRow &row : season::seasonTable())
            options.seasons.push_back(row.season);
    } else if (const season::SeasonRow *row = season::seasonByCommand(word.toStdString())) {
        options.seasons = {row->season};
    } else {
        throw UsageError(QStringLiteral("unknown season \"%1\": use %2 or all")
                             .arg(word, seasonCommandList(QStringLiteral(", ")))
                             .toStdString());
    }
    options.source = positional[1];
    options.destination = positional[2];

    const auto parseStrength = [&](const season::SeasonRow &row, const char *option) {
        const QCommandLineOption &given =
            strengths[std::size_t(season::seasonByOption(option) - season::seasonTable().data())];
        return parseAdjustment(QString::fromLatin1(option), parser.value(given), row.lowest,
                               row.highest);
    };
    for (std::size_t k = 0; k < strengths.size(); ++k)
        if (parser.isSet(strengths[k])) {
            const season::SeasonRow &row = season::seasonTable()[k];
            options.strengths[k] = parseStrength(row, row.option);
        }
    // A season's own strength may be given under its alias when it is the one season made
    // ("hardwinter --snow N").
    if (options.seasons.size() == 1) {
        const season::SeasonRow &row = season::seasonRow(options.seasons.front());
        const season::SeasonRow *aliased = row.alias ? season::seasonByOption(row.alias) : nullptr;
        if (aliased && parser.isSet(QString::fromLatin1(row.alias))) {
            if (options.strength(row.season))
                throw UsageError(QStringLiteral("%1: give --%2 or --%3, not both")
                                     .arg(QString::fromLatin1(row.command),
                                          QString::fromLatin1(row.alias),
                                          QString::fromLatin1(row.option))
                                     .toStdString());
            options.strength(row.season) = parseStrength(row, row.alias);
            options.strength(aliased->season).reset();
        }
    }
    if (parser.isSet(jobs))
        options.jobs = parseJobs(parser.value(jobs));
    options.createSU = parser.isSet(createSU);
    if (options.createSU && options.seasons.size() > 1)
        throw UsageError("--create-su cannot be used with all: the four seasons would be written "
                         "to one name");
    options.keepGoing = parser.isSet(keepGoing);
    options.quiet = parser.isSet(quiet);
    readSetOptions(parser, shard, update, dryRun, options);
    return options;
}

QString batchHelpText()
{
    return QStringLiteral(
               "Usage: tessavane-batch %1|all [options] SOURCE DEST\n"
               "       tessavane-batch preview [--snow N] [--fall N] [--spring N] [--hard-snow N]\n"
               "                       [--sweep %1 FROM:TO:STEP] TILE... "
               "OUT.png\n"
               "\n"
               "Makes the seasonal version of every summer texture in SOURCE (the files named\n"
               "%4, letter case ignored) and writes it into DEST, named with\n"
               "%2 in place of %3. Winter and fall are exactly\n"
               "what the window's \"Create Winter Texture set\" and \"Create Fall Texture set\"\n"
               "write. all writes the four seasons of each texture, reading it once; its winter\n"
               "and fall textures are those of separate winter and fall runs.\n"
               "\n"
               "Options:\n"
               "  --snow VALUE   snow setting for winter, -1000 to 255 (default: the value the\n"
               "                 window stored, else 70)\n"
               "  --fall VALUE   adjustment for fall, -1000 to 25 (default: the value the window\n"
               "                 stored, else 12)\n"
               "  --spring VALUE greening for spring, 0 (none) to 25 (default 10)\n"
               "  --hard-snow VALUE\n"
               "                 snow depth for hard winter, 0 to 100, more buries more\n"
               "                 (default 60); \"hardwinter --snow VALUE\" says the same\n"
               "  -j, --jobs N   convert up to N files at a time, 1 to 1024 (default: one per\n"
               "                 processor); at most 8 per processor are converted at once, as\n"
               "                 more would only take memory; the outputs are the same whatever\n"
               "                 N is\n"
               "  --create-su    keep each input's name (with DEST = SOURCE, replaces the summer\n"
               "                 textures); not with all\n"
               "  --keep-going   report a file that cannot be converted and go on with the next\n"
               "                 (by default the run stops there)\n"
               "  -q, --quiet    no progress and no summary; errors are still reported\n"
               "  -h, --help     show this text\n"
               "  --version      show the program's version (the package's)\n"
               "\n"
               "preview writes one PNG of TILE's seasons side by side at 1:1 (summer, winter,\n"
               "fall, spring, hard winter), each labelled with its strength, water in one blue;\n"
               "--sweep shows one season at the strengths FROM to TO in steps of STEP instead,\n"
               "within that season's range (a negative FROM needs no \"--\"). Several tiles\n"
               "give one row each, named (a contact sheet), written row by row; one row may\n"
               "hold at most 33554432 pixels. Without a strength given, each season shows at\n"
               "its default. OUT.png must end in .png.\n"
               "\n"
               "Files are converted in memory; each output is written beside its target under a\n"
               "hidden temporary name, flushed to the disk and renamed over the target, and is\n"
               "reported written only once it would survive a crash. Temporary files that a\n"
               "killed run left in DEST are removed when the next run starts; those a live run\n"
               "holds (found by the lock it holds, from any host) are left alone.\n"
               "\n"
               "Ctrl-C, SIGTERM, a closed terminal (SIGHUP) or a closed pipe (SIGPIPE) stops\n"
               "the run after the files in hand; no output is ever left half-written. The\n"
               "program then ends by that signal, so a shell sees 128 + its number (130 for\n"
               "Ctrl-C) and a script's loop stops. A second Ctrl-C ends it at once.\n"
               "\n"
               "Exit status: 0 every file written, 1 a file failed or standard output could\n"
               "not be written, 2 bad usage (unknown option, missing or unreadable folder, bad\n"
               "adjustment or job count, unreadable stored settings); stopped by a signal: that\n"
               "signal.\n")
        .arg(seasonCommandList(QStringLiteral("|")), seasonCodeList(),
             QStringLiteral("\"%1\"").arg(QString::fromLatin1(season::summerCode())),
             settings::StoredSettings::summerMask);
}

QString batchVersionText()
{
    return QStringLiteral("tessavane-batch " TESSAVANE_VERSION);
}

} // namespace batch
