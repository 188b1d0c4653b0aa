// Season output names: letters 16 and 17 replaced by position.
#include "platform/Error.h"
#include "season/SeasonNaming.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using season::Season;

struct NameCase
{
    const char *label;
    const char *name;
    Season season;
    bool createSU;
    const char *expected;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << c.label;
}

class SeasonOutputName : public testing::TestWithParam<NameCase>
{};

TEST_P(SeasonOutputName, Names)
{
    const NameCase &c = GetParam();
    EXPECT_EQ(season::seasonOutputName(c.name, c.season, c.createSU), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SeasonOutputName,
    testing::Values(
        NameCase{"Winter", "abcdefghijklmnosu.bmp", Season::Winter, false, "abcdefghijklmnowi.bmp"},
        NameCase{"Fall", "abcdefghijklmnosu.bmp", Season::Fall, false, "abcdefghijklmnofa.bmp"},
        NameCase{"ByPosition", "abcdefghijklmnoSU.BMP", Season::Winter, false,
                 "abcdefghijklmnowi.BMP"},
        NameCase{"DigitsAsTheSimulatorNamesThem", "012301230123012su.bmp", Season::Fall, false,
                 "012301230123012fa.bmp"},
        NameCase{"CreateSUKeepsTheName", "abcdefghijklmnosu.bmp", Season::Winter, true,
                 "abcdefghijklmnosu.bmp"},
        NameCase{"CreateSUKeepsAShortName", "abc.bmp", Season::Fall, true, "abc.bmp"},
        NameCase{"ExactlySeventeen", "abcdefghijklmnosu", Season::Winter, false,
                 "abcdefghijklmnowi"},
        NameCase{"CountsCharactersNotBytes",
                 "\xC3\xA4"
                 "bcdefghijklmn\xC3\xB6su.bmp",
                 Season::Winter, false,
                 "\xC3\xA4"
                 "bcdefghijklmn\xC3\xB6wi.bmp"},
        NameCase{"ReplacesMultiByteLetters", "abcdefghijklmno\xC3\xA4\xE2\x82\xAC.bmp",
                 Season::Fall, false, "abcdefghijklmnofa.bmp"},
        NameCase{"InvalidBytesCountOneEach", "abcdefghijklm\xFF\xFEsu.bmp", Season::Winter, false,
                 "abcdefghijklm\xFF\xFEwi.bmp"}),
    [](const auto &info) { return std::string(info.param.label); });

class ShortName : public testing::TestWithParam<const char *>
{};

TEST_P(ShortName, RaisesNamingTheFile)
{
    try {
        season::seasonOutputName(GetParam(), Season::Winter, false);
        FAIL() << "no error";
    } catch (const platform::Error &e) {
        EXPECT_NE(std::string(e.what()).find(std::string("\"") + GetParam() + "\""),
                  std::string::npos)
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ShortName,
                         testing::Values("", "su.bmp", "abcdefghijklmnos",
                                         "abcdefghijklmn\xC3\xA4s"));

} // namespace
