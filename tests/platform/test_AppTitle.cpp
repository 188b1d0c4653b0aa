// The application title derived from the executable's path.
#include "platform/AppTitle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(AppTitle, FileNameUpToFirstFullStopWithTheRestInLowerCase)
{
    using Case = std::pair<const char *, const char *>;
    for (const auto &[exePath, title] :
         {Case{"/opt/tessavane/bin/Tessavane", "Tessavane"},
          Case{"/opt/TESSAVANE.EXE", "Tessavane"},
          Case{"C:\\Program Files\\tessaVANE.exe", "tessavane"},
          Case{"/usr/bin/About_TEST.run.bin", "About_test"}, Case{"/home/x/.hidden", ""},
          Case{"/x/ÄBC.exe", "Äbc"}, Case{"Q", "Q"}, Case{"", ""}})
        EXPECT_EQ(platform::applicationTitle(QString::fromUtf8(exePath)), QString::fromUtf8(title))
            << exePath;
}

} // namespace
