// The application title derived from the executable's path.
#include "platform/AppTitle.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct TitleCase
{
    const char *exePath;
    const char *title;
};

void PrintTo(const TitleCase &c, std::ostream *os)
{
    if (!*c.exePath)
        *os << "(empty)";
    *os << QString::fromUtf8(c.exePath).replace(QLatin1Char('\\'), QLatin1Char('/')).toStdString();
}

class AppTitle : public ::testing::TestWithParam<TitleCase>
{};

TEST_P(AppTitle, FileNameUpToFirstFullStopWithTheRestInLowerCase)
{
    EXPECT_EQ(platform::applicationTitle(QString::fromUtf8(GetParam().exePath)),
              QString::fromUtf8(GetParam().title));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AppTitle,
    ::testing::Values(TitleCase{"/opt/tessavane/bin/Tessavane", "Tessavane"},
                      TitleCase{"/opt/TESSAVANE.EXE", "Tessavane"},
                      TitleCase{"C:\\Program Files\\tessaVANE.exe", "tessavane"},
                      TitleCase{"/usr/bin/About_TEST.run.bin", "About_test"},
                      TitleCase{"/home/x/.hidden", ""}, TitleCase{"/x/ÄBC.exe", "Äbc"},
                      TitleCase{"Q", "Q"}, TitleCase{"", ""}));

} // namespace
