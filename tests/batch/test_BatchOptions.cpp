// The command line of tessavane-batch.
#include "batch/BatchOptions.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using batch::BatchOptions;
using season::Season;

struct GoodCase
{
    const char *name;
    QStringList arguments;
    Season season;
    std::optional<double> snow;
    std::optional<double> fall;
    bool createSU;
    bool keepGoing;
    bool quiet;
};

void PrintTo(const GoodCase &c, std::ostream *os)
{
    *os << c.name;
}

class GoodCommandLine : public testing::TestWithParam<GoodCase>
{};

TEST_P(GoodCommandLine, Parses)
{
    const GoodCase &c = GetParam();
    const BatchOptions o = batch::parseBatchOptions(c.arguments);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.season, c.season);
    EXPECT_EQ(o.snow, c.snow);
    EXPECT_EQ(o.fall, c.fall);
    EXPECT_EQ(o.createSU, c.createSU);
    EXPECT_EQ(o.keepGoing, c.keepGoing);
    EXPECT_EQ(o.quiet, c.quiet);
    EXPECT_EQ(o.source, QStringLiteral("in"));
    EXPECT_EQ(o.destination, QStringLiteral("out"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoodCommandLine,
    testing::Values(
        GoodCase{"Plain", {"winter", "in", "out"}, Season::Winter, {}, {}, false, false, false},
        GoodCase{"WinterSnow",
                 {"winter", "--snow", "70", "in", "out"},
                 Season::Winter,
                 70.0,
                 {},
                 false,
                 false,
                 false},
        GoodCase{"FallAllFlags",
                 {"fall", "--fall", "12", "--create-su", "--keep-going", "--quiet", "in", "out"},
                 Season::Fall,
                 {},
                 12.0,
                 true,
                 true,
                 true},
        GoodCase{"OptionsAnywhere",
                 {"--quiet", "fall", "in", "--keep-going", "out"},
                 Season::Fall,
                 {},
                 {},
                 false,
                 true,
                 true},
        GoodCase{"SeasonAnyCase",
                 {"WINTER", "-q", "in", "out"},
                 Season::Winter,
                 {},
                 {},
                 false,
                 false,
                 true},
        GoodCase{"Fraction",
                 {"winter", "--snow", "70.9", "in", "out"},
                 Season::Winter,
                 70.9,
                 {},
                 false,
                 false,
                 false},
        GoodCase{"NegativeAfterSpace",
                 {"fall", "--fall", "-5", "in", "out"},
                 Season::Fall,
                 {},
                 -5.0,
                 false,
                 false,
                 false},
        GoodCase{"NegativeAfterEquals",
                 {"winter", "--snow=-1000", "in", "out"},
                 Season::Winter,
                 -1000.0,
                 {},
                 false,
                 false,
                 false},
        GoodCase{"HighestValues",
                 {"winter", "--snow", "255", "--fall", "25", "in", "out"},
                 Season::Winter,
                 255.0,
                 25.0,
                 false,
                 false,
                 false}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadCase
{
    const char *name;
    QStringList arguments;
    const char *message; // a part of the message
};

void PrintTo(const BadCase &c, std::ostream *os)
{
    *os << c.name;
}

class BadCommandLine : public testing::TestWithParam<BadCase>
{};

TEST_P(BadCommandLine, RaisesAOneLineUsageError)
{
    try {
        batch::parseBatchOptions(GetParam().arguments);
        FAIL() << "no error";
    } catch (const batch::UsageError &e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCommandLine,
    testing::Values(
        BadCase{"Nothing", {}, "expected SEASON SOURCE DEST, got 0 arguments"},
        BadCase{"NoDestination", {"winter", "in"}, "got 2 arguments"},
        BadCase{"Extra", {"winter", "in", "out", "more"}, "got 4 arguments"},
        BadCase{"UnknownSeason", {"spring", "in", "out"}, "unknown season \"spring\""},
        BadCase{"UnknownOption", {"winter", "--frost", "in", "out"}, "frost"},
        BadCase{"MissingValue", {"winter", "in", "out", "--snow"}, "snow"},
        BadCase{"NotANumber", {"winter", "--snow", "abc", "in", "out"}, "--snow: \"abc\""},
        BadCase{"TrailingGarbage", {"fall", "--fall", "12x", "in", "out"}, "--fall: \"12x\""},
        BadCase{"Empty", {"fall", "--fall=", "in", "out"}, "--fall: \"\""},
        BadCase{"NotFinite", {"winter", "--snow", "inf", "in", "out"}, "not a number"},
        BadCase{"SnowTooHigh", {"winter", "--snow", "255.5", "in", "out"}, "outside -1000..255"},
        BadCase{"FallTooHigh", {"fall", "--fall", "26", "in", "out"}, "outside -1000..25"},
        BadCase{"TooLow", {"fall", "--fall", "-1001", "in", "out"}, "outside -1000..25"},
        BadCase{"Twice",
                {"winter", "--snow", "1", "--snow", "2", "in", "out"},
                "--snow given more than once"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HelpOption, WinsOverEverythingElse)
{
    for (const QStringList &arguments :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"winter", "--help", "--snow", "x"}})
        EXPECT_TRUE(batch::parseBatchOptions(arguments).help) << arguments.join(' ').toStdString();
    EXPECT_TRUE(batch::batchHelpText().startsWith("Usage: tessavane-batch"));
}

} // namespace
