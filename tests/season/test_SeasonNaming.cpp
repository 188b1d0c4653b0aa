// Season output names: letters 16 and 17 replaced by position.
#include "platform/Error.h"
#include "season/SeasonNaming.h"

#include <gtest/gtest.h>

namespace {

using season::Season;

struct NameCase
{
    const char *name;
    Season season;
    bool createSU;
    const char *expected;
};

TEST(SeasonOutputName, ReplacesLetters16And17ByPosition)
{
    for (const NameCase &c : {
             NameCase{"abcdefghijklmnoSU.BMP", Season::Winter, false, "abcdefghijklmnowi.BMP"},
             NameCase{"abcdefghijklmnosu.bmp", Season::Fall, false, "abcdefghijklmnofa.bmp"},
             NameCase{"abcdefghijklmnosu.bmp", Season::Spring, false, "abcdefghijklmnosp.bmp"},
             NameCase{"abcdefghijklmnoSU.BMP", Season::HardWinter, false, "abcdefghijklmnohw.BMP"},
             NameCase{"abcdefghijklmnosu.bmp", Season::Winter, true, "abcdefghijklmnosu.bmp"},
             NameCase{"abc.bmp", Season::Fall, true, "abc.bmp"},
             NameCase{"abcdefghijklmnosu", Season::Winter, false, "abcdefghijklmnowi"},
             // Characters are counted, not bytes; invalid bytes count one each.
             NameCase{"\u00e4bcdefghijklmn\u00f6su.bmp", Season::Winter, false,
                      "\u00e4bcdefghijklmn\u00f6wi.bmp"},
             NameCase{"abcdefghijklmno\xC3\xA4\xE2\x82\xAC.bmp", Season::Fall, false,
                      "abcdefghijklmnofa.bmp"},
             NameCase{"abcdefghijklm\xFF\xFEsu.bmp", Season::Winter, false,
                      "abcdefghijklm\xFF\xFEwi.bmp"},
         })
        EXPECT_EQ(season::seasonOutputName(c.name, c.season, c.createSU), c.expected) << c.name;
}

TEST(SeasonOutputName, ShortNameRaisesNamingTheFile)
{
    for (const char *name : {"", "abcdefghijklmnos", "abcdefghijklmn\xC3\xA4s"}) {
        try {
            season::seasonOutputName(name, Season::Winter, false);
            ADD_FAILURE() << "no error for " << name;
        } catch (const platform::Error &e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + name + "\""),
                      std::string::npos)
                << e.what();
        }
    }
}

} // namespace
