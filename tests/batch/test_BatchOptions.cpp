// The command line of tessavane-batch.
#include "batch/BatchOptions.h"
#include "season/SeasonNaming.h"
#include "season/SeasonTable.h"

#include <gtest/gtest.h>

namespace {

using batch::BatchOptions;

// Every field of the parsed options in one line, so that a row states all of them.
std::string describe(const BatchOptions &o)
{
    const auto number = [](const std::optional<double> &v) {
        return v ? QString::number(*v) : QStringLiteral("-");
    };
    const QString jobs = o.jobs ? QStringLiteral(" jobs %1").arg(*o.jobs) : QString();
    QStringList seasons;
    for (const season::Season s : o.seasons)
        seasons << QString::fromLatin1(season::seasonCode(s));
    using season::Season;
    QString extra;
    if (o.strength(Season::Spring))
        extra += QStringLiteral(" spring ") + number(o.strength(Season::Spring));
    if (o.strength(Season::HardWinter))
        extra += QStringLiteral(" hard-snow ") + number(o.strength(Season::HardWinter));
    if (o.shard)
        extra += QStringLiteral(" shard %1/%2").arg(o.shard->index).arg(o.shard->count);
    if (o.update)
        extra += o.dryRun ? QStringLiteral(" update dry-run") : QStringLiteral(" update");
    return QStringLiteral("%1%2 snow %3 fall %4%5%6%7%8 %9")
               .arg(o.help ? "help " : "", seasons.join(','), number(o.strength(Season::Winter)),
                    number(o.strength(Season::Fall)), extra + jobs, o.createSU ? " create-su" : "",
                    o.keepGoing ? " keep-going" : "", o.quiet ? " quiet" : "", o.source)
               .toStdString() +
           " " + o.destination.toStdString();
}

TEST(BatchOptions, GoodCommandLinesParse)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{"winter", "in", "out"}, "wi snow - fall - in out"},
        {{"fall", "--fall", "12", "--create-su", "--keep-going", "--quiet", "in", "out"},
         "fa snow - fall 12 create-su keep-going quiet in out"},
        {{"--quiet", "fall", "in", "--keep-going", "out"},
         "fa snow - fall - keep-going quiet in out"},
        {{"WINTER", "-q", "in", "out"}, "wi snow - fall - quiet in out"},
        {{"fall", "--fall", "-5", "in", "out"}, "fa snow - fall -5 in out"},
        {{"winter", "--snow=-1000", "in", "out"}, "wi snow -1000 fall - in out"},
        {{"winter", "--snow", "255", "--fall", "25", "in", "out"}, "wi snow 255 fall 25 in out"},
        {{"winter", "--jobs", "1", "in", "out"}, "wi snow - fall - jobs 1 in out"},
        {{"winter", "-j", "16", "in", "out"}, "wi snow - fall - jobs 16 in out"},
        {{"winter", "--jobs=1024", "in", "out"}, "wi snow - fall - jobs 1024 in out"},
        {{"winter", "-j4", "in", "out"}, "wi snow - fall - jobs 4 in out"},
        {{"winter", "in", "-j1024", "out"}, "wi snow - fall - jobs 1024 in out"},
        {{"winter", "-jobs", "3", "in", "out"}, "wi snow - fall - jobs 3 in out"},
        {{"winter", "--", "-j2", "out"}, "wi snow - fall - -j2 out"},
        {{"Spring", "--spring", "25", "in", "out"}, "sp snow - fall - spring 25 in out"},
        {{"hardwinter", "--snow", "90", "in", "out"}, "hw snow - fall - hard-snow 90 in out"},
        {{"hardwinter", "--hard-snow=0", "in", "out"}, "hw snow - fall - hard-snow 0 in out"},
        {{"all", "--snow", "60", "--hard-snow", "80", "--spring", "0", "in", "out"},
         "wi,fa,sp,hw snow 60 fall - spring 0 hard-snow 80 in out"},
        {{"HardWinter", "--hard-snow", "100", "in", "out"},
         "hw snow - fall - hard-snow 100 in out"},
        {{"winter", "--shard", "2/3", "in", "out"}, "wi snow - fall - shard 2/3 in out"},
        {{"fall", "--shard=1/1", "in", "out"}, "fa snow - fall - shard 1/1 in out"},
        {{"all", "--update", "in", "out"}, "wi,fa,sp,hw snow - fall - update in out"},
        {{"winter", "--dry-run", "--update", "in", "out"},
         "wi snow - fall - update dry-run in out"},
    };
    for (const auto &[arguments, expected] : cases)
        EXPECT_EQ(describe(batch::parseBatchOptions(arguments)), expected)
            << arguments.join(' ').toStdString();
}

TEST(BatchOptions, BadCommandLinesRaiseAOneLineUsageError)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{}, "expected SEASON SOURCE DEST, got 0 arguments"},
        {{"winter", "in", "out", "more"}, "got 4 arguments"},
        {{"summer", "in", "out"}, "unknown season \"summer\": use winter, fall, spring"},
        {{"spring", "--spring", "26", "in", "out"}, "--spring: 26 is outside 0..25"},
        {{"spring", "--spring", "-1", "in", "out"}, "outside 0..25"},
        {{"hardwinter", "--snow", "-5", "in", "out"}, "--snow: -5 is outside 0..100"},
        {{"hardwinter", "--snow", "101", "in", "out"}, "--snow: 101 is outside 0..100"},
        {{"all", "--hard-snow", "101", "in", "out"}, "--hard-snow: 101 is outside 0..100"},
        {{"hardwinter", "--hard-snow", "1", "--hard-snow", "2", "in", "out"},
         "--hard-snow given more than once"},
        {{"hardwinter", "--snow", "90", "--hard-snow", "90", "in", "out"}, "not both"},
        {{"all", "--create-su", "in", "out"}, "--create-su cannot be used with all"},
        {{"winter", "--frost", "in", "out"}, "frost"},
        {{"winter", "--snow", "abc", "in", "out"}, "--snow: \"abc\" is not a number"},
        {{"winter", "--snow", "inf", "in", "out"}, "not a number"},
        {{"winter", "--snow", "255.5", "in", "out"}, "outside -1000..255"},
        {{"fall", "--fall", "26", "in", "out"}, "outside -1000..25"},
        {{"fall", "--fall", "-1001", "in", "out"}, "outside -1000..25"},
        {{"winter", "--snow", "1", "--snow", "2", "in", "out"}, "--snow given more than once"},
        {{"winter", "--jobs", "0", "in", "out"}, "--jobs: \"0\" is not a whole number from 1"},
        {{"winter", "--jobs", "-2", "in", "out"}, "--jobs: \"-2\""},
        {{"winter", "--jobs", "1.5", "in", "out"}, "--jobs: \"1.5\""},
        {{"winter", "--jobs", "1025", "in", "out"}, "from 1 to 1024"},
        {{"winter", "-j", "2", "-j", "3", "in", "out"}, "given more than once"},
        {{"winter", "-j", "2", "--jobs", "3", "in", "out"}, "--jobs given more than once"},
        {{"winter", "-j2", "-j3", "in", "out"}, "--jobs given more than once"},
        {{"winter", "-j0", "in", "out"}, "--jobs: \"0\" is not a whole number from 1 to 1024"},
        {{"winter", "-jx", "in", "out"}, "--jobs: \"x\" is not a whole number"},
        {{"fall", "--fall", "-j2", "in", "out"}, "--fall: \"-j2\" is not a number"},
        {{"winter", "--shard", "0/3", "in", "out"}, "--shard: \"0/3\" is not K/N with 1 <= K <= N"},
        {{"winter", "--shard", "4/3", "in", "out"}, "--shard: \"4/3\""},
        {{"winter", "--shard", "3", "in", "out"}, "--shard: \"3\""},
        {{"winter", "--shard", "1/2", "--shard", "2/2", "in", "out"}, "given more than once"},
        {{"winter", "--shard", "1/2", "--update", "in", "out"}, "cannot be combined"},
        {{"winter", "--dry-run", "in", "out"}, "--dry-run goes with --update"},
    };
    for (const auto &[arguments, part] : cases) {
        try {
            batch::parseBatchOptions(arguments);
            ADD_FAILURE() << "no error for " << arguments.join(' ').toStdString();
        } catch (const batch::UsageError &e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(part), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

TEST(BatchOptions, HelpWinsOverEverythingElse)
{
    for (const QStringList &arguments :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"winter", "--help", "--snow", "x"}})
        EXPECT_TRUE(batch::parseBatchOptions(arguments).help) << arguments.join(' ').toStdString();
    EXPECT_TRUE(batch::batchHelpText().startsWith("Usage: tessavane-batch"));
    // --version alone, or among other arguments, asks for the version and nothing else.
    for (const QStringList &arguments :
         {QStringList{"--version"}, QStringList{"winter", "--version"}}) {
        const batch::BatchOptions options = batch::parseBatchOptions(arguments);
        EXPECT_TRUE(options.version && !options.help) << arguments.join(' ').toStdString();
    }
    EXPECT_TRUE(batch::parseBatchOptions({"--version", "--help"}).help);
}

} // namespace
