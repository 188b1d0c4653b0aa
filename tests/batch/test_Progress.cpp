// What tessavane-batch prints while it runs.
#include "batch/Progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Everything written to a temporary stream.
std::string contents(std::FILE *file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

TEST(Progress, TerminalRewritesOneLineWithRateAndTimeLeft)
{
    std::FILE *out = std::tmpfile();
    batch::Progress progress(out, batch::Progress::Mode::Terminal, 100);
    progress.fileWritten("a", "b", 100.0); // 1 file in 100 s: 99 files = 9,900 s left
    progress.fileWritten("a", "b", 0.2);   // 2 files in 0.2 s: 98 files = 9.8 s left
    progress.summary(2, 0, 0.5, {});
    EXPECT_EQ(contents(out), "\r1/100 files  0.0 files/s  165:00 left"
                             "\r2/100 files  10.0 files/s  0:10 left "
                             "\nWritten 2 of 100 files, 0 failed, 0.5 s\n");
    std::fclose(out);
}

TEST(Progress, LinesNameEachFileAndEndLineDoesNothing)
{
    std::FILE *out = std::tmpfile();
    batch::Progress progress(out, batch::Progress::Mode::Lines, 2);
    progress.fileWritten("000000000000000su.bmp", "000000000000000wi.bmp", 0.1);
    progress.endLine();
    progress.summary(1, 1, 1.0, "stopped on request");
    EXPECT_EQ(contents(out), "1/2 000000000000000su.bmp -> 000000000000000wi.bmp\n"
                             "Written 1 of 2 files, 1 failed, 1.0 s; stopped on request\n");
    std::fclose(out);
}

TEST(Progress, QuietPrintsNothing)
{
    std::FILE *out = std::tmpfile();
    batch::Progress progress(out, batch::Progress::Mode::Quiet, 2);
    progress.fileWritten("a", "b", 0.1);
    progress.endLine();
    progress.summary(2, 0, 1.0, {});
    EXPECT_EQ(contents(out), "");
    std::fclose(out);
}

} // namespace
