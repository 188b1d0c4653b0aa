// tessavane-batch stopped by signals and a killed run, and writing where the system refuses it:
// nothing lost, nothing left behind.
#include "BatchRun.h"

#include <csignal>
#include <fstream>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace batchtest;

// A process id that no process has: a child that has ended and been waited for.
pid_t deadProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

std::string quotedForShell(const fs::path &path)
{
    return "'" + path.string() + "'";
}

class StopSignal : public BatchCommand, public testing::WithParamInterface<int>
{};

// The files in hand are finished and renamed, nothing else is left, the summary says so, and
// the program ends by the signal itself so that a shell loop stops.
TEST_P(StopSignal, StopsAfterTheFilesInHandAndEndsByTheSignal)
{
    const int total = 80;
    fillSource(source(), total);

    QProcess process;
    startProcess(process, QStringList{"winter", "--jobs", "2"} + folders());
    // Once the first file is reported, interrupt.
    while (!process.canReadLine())
        ASSERT_TRUE(process.waitForReadyRead(60000));
    ::kill(static_cast<pid_t>(process.processId()), GetParam());
    ASSERT_TRUE(process.waitForFinished(60000));

    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(process.exitCode(), GetParam()) << "ended by the signal it was sent";
    const std::string out = process.readAllStandardOutput().toStdString();
    EXPECT_TRUE(contains(out, "stopped on request")) << out;
    const auto written = namesIn(dest());
    EXPECT_GE(written.size(), 1u);
    EXPECT_LT(written.size(), std::size_t(total));
    const season::WorkingFiles check{m_root / m_expect};
    for (const std::string &name : written) {
        ASSERT_TRUE(name.ends_with("wi.bmp")) << "no stray file: " << name;
        EXPECT_NO_THROW(season::convertToWorkingFiles(check, dest(name))) << name;
    }
    EXPECT_TRUE(contains(out, "Written " + std::to_string(written.size()) + " of 80 files")) << out;
    EXPECT_TRUE(tmpEmpty());
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });

TEST_F(BatchCommand, ShellSees130AfterCtrlCAnd141WhenThePipeCloses)
{
    fillSource(source(), 60);
    const std::string program = quotedForShell(TESSAVANE_BATCH_PROGRAM) + " winter --jobs 2 " +
                                quotedForShell(source()) + " " + quotedForShell(dest());
    const std::string log = quotedForShell(m_root / "progress.txt");
    // A reader that stops after one line; then a run sent SIGINT once it reports a file.
    QProcess shell;
    startShell(shell, program + " | head -n 1 >/dev/null; echo \"pipe ${PIPESTATUS[0]}\"; " +
                          program + " >" + log + " & while [ ! -s " + log +
                          " ]; do sleep 0.05; done; kill -INT $!; wait $!; echo \"int $?\"");
    ASSERT_TRUE(shell.waitForFinished(120000));
    const std::string out = shell.readAllStandardOutput().toStdString();
    EXPECT_TRUE(contains(out, "pipe 141\n")) << out << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(contains(out, "int 130\n")) << out;
    for (const std::string &name : namesIn(dest()))
        EXPECT_TRUE(name.ends_with("wi.bmp")) << "no stray file: " << name;
}

// kill -9 leaves temporary files; the next run removes those no live run holds and nothing
// else: not another live run's (whatever its PID, which may be another host's or container's),
// not another user's, not names that only look alike.
TEST_F(BatchCommand, NextRunRemovesWhatAKilledRunLeftAndNothingElse)
{
    fillSource(source(), 40);
    QProcess process;
    startProcess(process, QStringList{"winter", "--jobs", "2"} + folders());
    while (!process.canReadLine())
        ASSERT_TRUE(process.waitForReadyRead(60000));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(60000));

    long pidMax = 4194304;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    const std::string dead = ".kovar-" + std::to_string(deadProcessId()) + "-3.tmp";
    const std::string deadFolder = ".kovar-" + std::to_string(deadProcessId()) + "-9.tmp";
    const std::string goneContainer = ".kovar-1-1.tmp"; // its first process, ended
    // Live runs' temporaries, held under the lock every writer holds: this process's, a
    // container's first process's, and one from a host whose PIDs go past this one's pid_max.
    const std::vector<std::string> live = {".kovar-" + std::to_string(::getpid()) + "-0.tmp",
                                           ".kovar-1-0.tmp",
                                           ".kovar-" + std::to_string(pidMax + 1) + "-0.tmp"};
    std::set<std::string> kept = {".kovar-x-0.tmp", "a.tmp",
                                  ".kovar-" + std::to_string(deadProcessId()) + "-0.tmp.bak"};
    kept.insert(live.begin(), live.end());
    for (const std::string &name : kept)
        writeBytes(dest(name), Bytes{1});
    std::vector<int> held;
    for (const std::string &name : live) {
        held.push_back(::open(dest(name).c_str(), O_RDWR | O_CLOEXEC));
        struct flock lock
        {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(held.back(), F_OFD_SETLK, &lock), 0) << name;
    }
    if (::geteuid() == 0) {
        const std::string otherUsers = ".kovar-" + std::to_string(deadProcessId()) + "-4.tmp";
        writeBytes(dest(otherUsers), Bytes{1});
        ASSERT_EQ(::chown(dest(otherUsers).c_str(), 65534, 65534), 0);
        kept.insert(otherUsers);
    }
    writeBytes(dest(dead), Bytes{1});
    writeBytes(dest(goneContainer), Bytes{1});
    fs::create_directory(dest(deadFolder));

    const Outcome r = run(QStringList{"winter", "--quiet", "--jobs", "2"} + folders());
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> left;
    for (const std::string &name : namesIn(dest()))
        if (!name.ends_with("wi.bmp"))
            left.insert(name);
    std::set<std::string> expectedLeft = kept;
    expectedLeft.insert(deadFolder); // not a file
    EXPECT_EQ(left, expectedLeft);
    EXPECT_EQ(namesIn(dest()).size(), left.size() + 40);
    for (const int fd : held)
        ::close(fd);
}

// A disk that refuses the writes (a file size limit stands in for a full disk): each output
// fails with a message naming it, nothing is half-written, nothing temporary is left.
TEST_F(BatchCommand, RefusedWritesFailEachFileCleanly)
{
    writeTexture(source("000000000000001su.bmp"), 1);
    writeTexture(source("000000000000002su.bmp"), 2);
    writeBytes(dest("000000000000001wi.bmp"), Bytes{7, 7, 7});
    QProcess shell;
    startShell(shell, "trap '' XFSZ; ulimit -f 8; exec " + quotedForShell(TESSAVANE_BATCH_PROGRAM) +
                          " winter --keep-going " + quotedForShell(source()) + " " +
                          quotedForShell(dest()));
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 1);
    const std::string err = shell.readAllStandardError().toStdString();
    EXPECT_TRUE(
        contains(err, dest("000000000000001wi.bmp").string() + ": cannot write: File too large"))
        << err;
    EXPECT_TRUE(contains(err, dest("000000000000002wi.bmp").string())) << err;
    EXPECT_EQ(namesIn(dest()), std::set<std::string>{"000000000000001wi.bmp"});
    EXPECT_EQ(readBytes(dest("000000000000001wi.bmp")), (Bytes{7, 7, 7})) << "left as it was";
}

// Targets that are not regular files, as the library treats them: a link is replaced itself
// (the file it points to stays as it was), a FIFO, a device or a folder is refused with a
// message naming it, and left as it was.
TEST_F(BatchCommand, LinksAreReplacedFifosDevicesAndFoldersRefused)
{
    for (int i = 1; i <= 5; ++i)
        writeTexture(source("00000000000000" + std::to_string(i) + "su.bmp"), i);
    const fs::path elsewhere = m_root / "elsewhere.bmp";
    writeBytes(elsewhere, Bytes{7});
    fs::create_symlink(elsewhere, dest("000000000000001wi.bmp"));
    ASSERT_EQ(::mkfifo(dest("000000000000002wi.bmp").c_str(), 0600), 0);
    fs::create_directory(dest("000000000000003wi.bmp"));
    const bool device =
        ::mknod(dest("000000000000004wi.bmp").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;

    const Outcome r = run(QStringList{"winter", "--keep-going", "--jobs", "2"} + folders());

    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, dest("000000000000002wi.bmp").string() +
                                    ": cannot replace it: not a regular file"))
        << r.err;
    EXPECT_TRUE(
        contains(r.err, dest("000000000000003wi.bmp").string() + ": cannot replace it: Is a"))
        << r.err;
    if (device) {
        EXPECT_TRUE(contains(r.err, dest("000000000000004wi.bmp").string() +
                                        ": cannot replace it: not a regular file"))
            << r.err;
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), device ? 3 : 2) << r.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dest("000000000000001wi.bmp"))));
    EXPECT_EQ(readBytes(elsewhere), Bytes{7}) << "the link's target stays";
    EXPECT_TRUE(fs::is_fifo(dest("000000000000002wi.bmp")));
    EXPECT_TRUE(fs::is_directory(dest("000000000000003wi.bmp")));
    EXPECT_TRUE(fs::is_regular_file(dest("000000000000005wi.bmp")));
    EXPECT_EQ(namesIn(dest()).size(), device ? 5u : 4u) << "nothing temporary left";
}

// However many jobs are asked for and however low the open-file limit, a run does not fail
// midway: the soft limit is raised to the hard one, and the outputs held open keep within
// what the hard limit leaves.
TEST_F(BatchCommand, AnyJobCountKeepsWithinTheOpenFileLimit)
{
    fillSource(source(), 40);
    for (const char *limit : {"ulimit -Sn 64", "ulimit -n 64"}) {
        fs::remove_all(dest());
        fs::create_directories(dest());
        QProcess shell;
        startShell(shell, std::string(limit) + " && exec " +
                              quotedForShell(TESSAVANE_BATCH_PROGRAM) + " all --quiet --jobs 128 " +
                              quotedForShell(source()) + " " + quotedForShell(dest()));
        ASSERT_TRUE(shell.waitForFinished(240000));
        EXPECT_EQ(shell.exitCode(), 0) << limit;
        EXPECT_EQ(shell.readAllStandardError().toStdString(), "") << limit;
        EXPECT_EQ(namesIn(dest()).size(), 160u) << limit;
    }
}

// The largest resident size of a run, in KiB, on one processor.
long peakResidentKiB(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv{const_cast<char *>(TESSAVANE_BATCH_PROGRAM)};
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    cpu_set_t allowed;
    EXPECT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    int first = 0;
    while (!CPU_ISSET(first, &allowed))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    const pid_t child = ::fork();
    if (child == 0) {
        ::sched_setaffinity(0, sizeof one, &one);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    EXPECT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return usage.ru_maxrss;
}

// Memory does not grow with the job count: past a few per processor, more jobs only wait.
TEST_F(BatchCommand, ManyJobsTakeNoMoreMemoryThanAFew)
{
    fillSource(source(), 120);
    std::vector<std::string> arguments = {"winter", "--quiet",         "--jobs",
                                          "8",      source().string(), dest().string()};
    const long few = peakResidentKiB(arguments);
    arguments[3] = "1024";
    const long many = peakResidentKiB(arguments);
    EXPECT_LT(many, few + few / 2) << "KiB at --jobs 8: " << few << ", at --jobs 1024: " << many;
}

// A write error on standard output (a full disk) fails the run, for the help, the version and
// the progress alike; the files are written all the same.
TEST_F(BatchCommand, AWriteErrorOnStandardOutputFails)
{
    writeTexture(source("000000000000001su.bmp"), 1);
    const std::string program = quotedForShell(TESSAVANE_BATCH_PROGRAM);
    for (const std::string &arguments :
         {std::string("--help"), std::string("--version"),
          "winter " + quotedForShell(source()) + " " + quotedForShell(dest())}) {
        QProcess shell;
        startShell(shell, "exec " + program + " " + arguments + " >/dev/full");
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitCode(), 1) << arguments;
        const std::string err = shell.readAllStandardError().toStdString();
        EXPECT_EQ(err, "tessavane-batch: cannot write to standard output: No space left on "
                       "device\n")
            << arguments;
    }
    EXPECT_EQ(namesIn(dest()), std::set<std::string>{"000000000000001wi.bmp"});
}

// The renames are done but their folder cannot be flushed (it cannot be opened: no read
// permission): each tile held back is reported with its outputs named, beside the folder.
TEST_F(BatchCommand, AFolderThatCannotBeFlushedNamesTheTexturesHeldBack)
{
    for (int i = 1; i <= 3; ++i)
        writeTexture(source("00000000000000" + std::to_string(i) + "su.bmp"), i);
    std::string asOtherUser;
    if (::geteuid() == 0) {
        // Root reads any folder: the run is made as nobody.
        fs::permissions(m_root, fs::perms(0755));
        ASSERT_EQ(::chown(dest().c_str(), 65534, 65534), 0);
        asOtherUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    fs::permissions(dest(), fs::perms(0300));
    QProcess shell;
    startShell(shell, "exec " + asOtherUser + quotedForShell(TESSAVANE_BATCH_PROGRAM) +
                          " all --keep-going --quiet --snow 70 --fall 12 " +
                          quotedForShell(source()) + " " + quotedForShell(dest()));
    ASSERT_TRUE(shell.waitForFinished(60000));
    fs::permissions(dest(), fs::perms(0700));
    EXPECT_EQ(shell.exitCode(), 1);
    const std::string err = shell.readAllStandardError().toStdString();
    for (int i = 1; i <= 3; ++i) {
        const std::string tile = "00000000000000" + std::to_string(i);
        EXPECT_TRUE(contains(err, dest(tile + "wi.bmp").string() + ", " +
                                      dest(tile + "fa.bmp").string() + ", "))
            << err;
        EXPECT_TRUE(contains(err, dest(tile + "hw.bmp").string() +
                                      ": replaced, but may not survive a crash: " +
                                      (m_root / m_dest).string() + ": "))
            << err;
    }
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
    EXPECT_TRUE(contains(err, ": cannot open the folder to flush it: Permission denied")) << err;
}

TEST_F(BatchCommand, TwoRunsIntoOneFolderBothWriteWholeFiles)
{
    fillSource(source(), 24);
    const auto output = expected({source("000000000000000su.bmp")}, Season::Fall, 12)[0];
    QProcess first;
    QProcess second;
    startProcess(first, QStringList{"fall", "--quiet", "--jobs", "2"} + folders());
    startProcess(second, QStringList{"fall", "--quiet", "--jobs", "2"} + folders());
    ASSERT_TRUE(first.waitForFinished(120000));
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const auto names = namesIn(dest());
    EXPECT_EQ(names.size(), 24u);
    for (const std::string &name : names) {
        ASSERT_TRUE(name.ends_with("fa.bmp")) << "left behind: " << name;
        EXPECT_EQ(readBytes(dest(name)), output) << name;
    }
}

} // namespace
