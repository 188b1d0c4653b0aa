// tessavane-batch run as a program: outputs, exit statuses, messages, stopping.
#include "TextureFiles.h"

#include "platform/SettingsStore.h"
#include "preview/SeasonPreview.h"
#include "season/ConversionSteps.h"
#include "season/SeasonPass.h"
#include "season/WorkingFiles.h"
#include "texset/Manifest.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace seasontest;
using season::Season;

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

std::set<std::string> namesIn(const fs::path &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

class BatchCommand : public testing::Test
{
  protected:
    void SetUp() override
    {
        m_root = m_dir.path().toStdString();
        for (const fs::path &folder : {m_source, m_dest, m_tmp, m_config, m_expect})
            fs::create_directories(m_root / folder);
    }

    fs::path source(const std::string &name = {}) const { return m_root / m_source / name; }
    fs::path dest(const std::string &name = {}) const { return m_root / m_dest / name; }
    fs::path storeFile() const { return m_root / m_config / "KT" / "user.reg"; }

    void startProcess(QProcess &process, const QStringList &arguments) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((m_root / m_config).string()));
        env.insert("TMPDIR", QString::fromStdString((m_root / m_tmp).string()));
        process.setProcessEnvironment(env);
        process.start(TESSAVANE_BATCH_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    void startShell(QProcess &process, const std::string &script) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((m_root / m_config).string()));
        env.insert("TMPDIR", QString::fromStdString((m_root / m_tmp).string()));
        process.setProcessEnvironment(env);
        process.start("bash", {"-c", QString::fromStdString(script)});
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    Outcome run(const QStringList &arguments) const
    {
        QProcess process;
        startProcess(process, arguments);
        EXPECT_TRUE(process.waitForFinished(240000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return Outcome{process.exitCode(), process.readAllStandardOutput().toStdString(),
                       process.readAllStandardError().toStdString()};
    }

    QStringList folders() const
    {
        return {QString::fromStdString(source().string()), QString::fromStdString(dest().string())};
    }

    // What the season core makes of these textures, in this order, with one snow noise
    // generator from state 1: the outputs the command must write, byte for byte.
    std::vector<Bytes> expected(const std::vector<fs::path> &textures, Season season,
                                int adjustment) const
    {
        const season::WorkingFiles work{m_root / m_expect};
        season::SnowNoise noise;
        std::vector<Bytes> outputs;
        for (const fs::path &texture : textures) {
            season::convertToWorkingFiles(work, texture);
            if (season == Season::Winter)
                season::runWinterPass(work.colour(), work.winter(), adjustment, noise);
            else
                season::runFallPass(work.colour(), work.fall(), adjustment);
            season::writeSeasonTexture(work, season, work.folder / "output.bmp");
            outputs.push_back(readBytes(work.folder / "output.bmp"));
        }
        return outputs;
    }

    bool tmpEmpty() const { return fs::is_empty(m_root / m_tmp); }

    QTemporaryDir m_dir;
    fs::path m_root;
    const fs::path m_source = "source";
    const fs::path m_dest = "dest";
    const fs::path m_tmp = "tmp";
    const fs::path m_config = "config";
    const fs::path m_expect = "expect";
};

TEST_F(BatchCommand, WinterSetNamesAndConvertsEveryListedFileInOrder)
{
    writeTexture(source("000000000000002su.bmp"), 2);
    writeTexture(source("00000000000000aSU.BMP"), 10);
    writeTexture(source("000000000000001su.bmp"), 1);
    // Not listed: other names, a short name, a season texture, a folder matching the mask.
    writeTexture(source("readme.txt"), 3);
    writeTexture(source("abcsu.bmp"), 4);
    writeTexture(source("000000000000003wi.bmp"), 5);
    fs::create_directory(source("000000000000004su.bmp"));

    const Outcome r = run(QStringList{"winter", "--snow", "100.9"} + folders());

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(namesIn(dest()),
              (std::set<std::string>{"000000000000001wi.bmp", "000000000000002wi.bmp",
                                     "00000000000000awi.BMP"}));
    const auto outputs = expected({source("000000000000001su.bmp"), source("000000000000002su.bmp"),
                                   source("00000000000000aSU.BMP")},
                                  Season::Winter, 100);
    EXPECT_EQ(readBytes(dest("000000000000001wi.bmp")), outputs[0]);
    EXPECT_EQ(readBytes(dest("000000000000002wi.bmp")), outputs[1]);
    EXPECT_EQ(readBytes(dest("00000000000000awi.BMP")), outputs[2]);
    EXPECT_TRUE(contains(r.out, "1/3 000000000000001su.bmp -> 000000000000001wi.bmp\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "3/3 00000000000000aSU.BMP -> 00000000000000awi.BMP\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Written 3 of 3 files, 0 failed")) << r.out;
    EXPECT_TRUE(tmpEmpty()) << "the working folder is removed";
}

TEST_F(BatchCommand, CreateSUInPlaceConvertsEachFileFromItsOwnContent)
{
    writeTexture(source("000000000000001su.bmp"), 1);
    writeTexture(source("000000000000002su.bmp"), 2);
    const auto outputs = expected(
        {source("000000000000001su.bmp"), source("000000000000002su.bmp")}, Season::Fall, 25);

    const QString folder = QString::fromStdString(source().string());
    const Outcome r = run({"fall", "--fall", "25", "--create-su", "--quiet", folder, folder});

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "quiet";
    ASSERT_EQ(namesIn(source()),
              (std::set<std::string>{"000000000000001su.bmp", "000000000000002su.bmp"}));
    EXPECT_EQ(readBytes(source("000000000000001su.bmp")), outputs[0]);
    EXPECT_EQ(readBytes(source("000000000000002su.bmp")), outputs[1]);
}

// Names that are not valid UTF-8 (a Latin-1 "é", a 0xFF byte) are listed, converted and
// named like any other, byte for byte.
TEST_F(BatchCommand, NamesThatAreNotUtf8ConvertLikeAnyOther)
{
    const std::string latin1 = "caf\xE9"
                               "00000000000su.bmp";
    const std::string byteFF = "\xFF"
                               "00000000000000su.bmp";
    writeTexture(source(latin1), 1);
    writeTexture(source(byteFF), 2);

    const Outcome r = run(QStringList{"fall", "--fall", "20"} + folders());

    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(namesIn(dest()), (std::set<std::string>{"caf\xE9"
                                                      "00000000000fa.bmp",
                                                      "\xFF"
                                                      "00000000000000fa.bmp"}));
    const auto outputs = expected({source(byteFF), source(latin1)}, Season::Fall, 20);
    EXPECT_EQ(readBytes(dest("\xFF"
                             "00000000000000fa.bmp")),
              outputs[0]);
    EXPECT_EQ(readBytes(dest("caf\xE9"
                             "00000000000fa.bmp")),
              outputs[1]);

    // Folders, a tile and a picture named so on the command line are found by their own
    // bytes. (The shell spells the bytes: the script itself reaches it as text.)
    const fs::path in = m_root / "in\xFF";
    const fs::path out = m_root / "out\xFE";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::copy_file(source(byteFF), in / byteFF);
    QProcess shell;
    startShell(shell, "in='" + m_root.string() + "/in'$'\\xff'; out='" + m_root.string() +
                          "/out'$'\\xfe'; p='" TESSAVANE_BATCH_PROGRAM
                          "'; \"$p\" fall --fall 20 --quiet \"$in\" \"$out\" && \"$p\" preview "
                          "\"$in\"/$'\\xff'00000000000000su.bmp \"$out\"/sheet$'\\xfe'.png");
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(readBytes(out / "\xFF"
                              "00000000000000fa.bmp"),
              outputs[0]);
    const Bytes png = readBytes(out / "sheet\xFE.png");
    EXPECT_EQ(std::string(png.begin(), png.begin() + std::min<std::size_t>(png.size(), 4)),
              "\x89PNG");
    fs::remove_all(in);
    fs::remove_all(out);
}

// A width that is not a multiple of 4 pads the colour bitmap's rows, which leaves an
// incomplete triple at its end: the set is made all the same.
TEST_F(BatchCommand, TexturesOfAnyValidSizeAreConverted)
{
    writeTexture(source("000000000000001su.bmp"), 1, 250);
    writeTexture(source("000000000000002su.bmp"), 2, 254);

    const Outcome r = run(QStringList{"winter", "--snow", "90"} + folders());

    EXPECT_EQ(r.status, 0) << r.err;
    const auto outputs = expected(
        {source("000000000000001su.bmp"), source("000000000000002su.bmp")}, Season::Winter, 90);
    EXPECT_EQ(readBytes(dest("000000000000001wi.bmp")), outputs[0]);
    EXPECT_EQ(readBytes(dest("000000000000002wi.bmp")), outputs[1]);
}

struct StoredCase
{
    const char *name;
    Season season;
    const char *stored; // the text the window stored; null for none
    int adjustment;
};

void PrintTo(const StoredCase &c, std::ostream *os)
{
    *os << c.name;
}

class StoredAdjustment : public BatchCommand, public testing::WithParamInterface<StoredCase>
{};

TEST_P(StoredAdjustment, IsUsedWithoutTheOption)
{
    const StoredCase &c = GetParam();
    const bool winter = c.season == Season::Winter;
    if (c.stored)
        platform::SettingsStore(QString::fromStdString(storeFile().string()))
            .WriteString("Frostane", winter ? "Winter" : "Fall", c.stored);
    writeTexture(source("000000000000001su.bmp"), 1);

    const Outcome r = run(QStringList{winter ? "winter" : "fall"} + folders());

    ASSERT_EQ(r.status, 0) << r.err;
    const std::string output = winter ? "000000000000001wi.bmp" : "000000000000001fa.bmp";
    EXPECT_EQ(readBytes(dest(output)),
              expected({source("000000000000001su.bmp")}, c.season, c.adjustment)[0]);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredAdjustment,
                         testing::Values(StoredCase{"FallDefault", Season::Fall, nullptr, 12},
                                         StoredCase{"WinterStored", Season::Winter, "0x20", 32},
                                         StoredCase{"HeldToTheWindowsRange", Season::Fall, "40",
                                                    25}),
                         [](const auto &info) { return std::string(info.param.name); });

class DamagedFile : public BatchCommand, public testing::WithParamInterface<bool>
{};

TEST_P(DamagedFile, StopsTheRunOrIsSkippedWithKeepGoing)
{
    const bool keepGoing = GetParam();
    writeTexture(source("000000000000001su.bmp"), 1);
    writeBytes(source("000000000000002su.bmp"), Bytes{'B', 'M', 1, 2, 3});
    writeTexture(source("000000000000003su.bmp"), 3);
    const auto outputs = expected(
        {source("000000000000001su.bmp"), source("000000000000003su.bmp")}, Season::Winter, 70);

    QStringList arguments{"winter", "--snow", "70"};
    if (keepGoing)
        arguments << "--keep-going";
    const Outcome r = run(arguments + folders());

    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, source("000000000000002su.bmp").string())) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(readBytes(dest("000000000000001wi.bmp")), outputs[0]);
    if (keepGoing) {
        EXPECT_EQ(namesIn(dest()).size(), 2u);
        EXPECT_EQ(readBytes(dest("000000000000003wi.bmp")), outputs[1]);
        EXPECT_TRUE(contains(r.out, "Written 2 of 3 files, 1 failed")) << r.out;
    } else {
        EXPECT_EQ(namesIn(dest()), std::set<std::string>{"000000000000001wi.bmp"});
        EXPECT_TRUE(contains(r.out, "Written 1 of 3 files, 1 failed")) << r.out;
    }
    EXPECT_TRUE(tmpEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, DamagedFile, testing::Bool(), [](const auto &info) {
    return info.param ? "KeepGoing" : "StopAtFailure";
});

struct UsageCase
{
    const char *name;
    QStringList arguments; // {source} and {dest} stand for the test's folders
    const char *message;
    bool damagedStore = false;
};

void PrintTo(const UsageCase &c, std::ostream *os)
{
    *os << c.name;
}

class BadUsage : public BatchCommand, public testing::WithParamInterface<UsageCase>
{};

TEST_P(BadUsage, ExitsWithStatus2AndOneLine)
{
    if (GetParam().damagedStore) {
        fs::create_directories(storeFile().parent_path());
        writeBytes(storeFile(), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'g'});
    }
    writeBytes(dest("file"), Bytes{1});
    writeTexture(source("000000000000001su.bmp"), 1);
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings("{source}", QString::fromStdString(source().string()));
    arguments.replaceInStrings("{dest}", QString::fromStdString(dest().string()));

    const Outcome r = run(arguments);

    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, GetParam().message)) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(namesIn(dest()), std::set<std::string>{"file"}) << "nothing written";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadUsage,
    testing::Values(
        UsageCase{"UnknownOption", {"winter", "--frost", "{source}", "{dest}"}, "frost"},
        UsageCase{"NotANumber", {"fall", "--fall", "x", "{source}", "{dest}"}, "not a number"},
        UsageCase{"MissingSource", {"winter", "{source}/none", "{dest}"}, "does not exist"},
        UsageCase{"SourceIsAFile", {"winter", "{dest}/file", "{dest}"}, "is not a folder"},
        UsageCase{
            "MissingDestination", {"winter", "{source}", "{dest}/none"}, "destination folder"},
        UsageCase{"DamagedStore", {"winter", "{source}", "{dest}"}, "user.reg", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(BatchCommand, HelpPrintsUsageAndSucceeds)
{
    const Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "Usage: tessavane-batch winter|fall")) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(BatchCommand, VersionPrintsTheProjectVersionAndSucceeds)
{
    // The version the package, the manual pages and the metainfo carry.
    const std::string version = TESSAVANE_VERSION;
    for (const QStringList &arguments :
         {QStringList{"--version"}, QStringList{"fall", "--version"}}) {
        const Outcome r = run(arguments);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "tessavane-batch " + version + "\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(contains(run({"--help"}).out, "--version")) << "--help does not mention --version";
}

// Copies of one texture, enough that a run is still going when it is interrupted.
void fillSource(const fs::path &folder, int total)
{
    writeTexture(folder / "000000000000000su.bmp");
    for (int i = 1; i < total; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%015dsu.bmp", i);
        fs::copy_file(folder / "000000000000000su.bmp", folder / name);
    }
}

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

// Tiles that take very different amounts of snow (none, some, all), so each worker's start in
// the noise sequence depends on every tile before it; with --keep-going a damaged tile among
// them draws none. Any number of workers writes what one tile at a time writes.
TEST_F(BatchCommand, EveryJobCountWritesTheOneSequenceOfSnow)
{
    const std::vector<int> seeds = {-40, 60, 0, -40, 30, 60, 60, -20, 10, -40, 45};
    std::vector<fs::path> textures;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%015zusu.bmp", i);
        writeTexture(source(name), seeds[i]);
        textures.push_back(source(name));
    }
    const auto outputs = expected(textures, Season::Winter, 120);
    std::vector<Bytes> distinct(outputs.begin(), outputs.end());
    std::sort(distinct.begin(), distinct.end());
    ASSERT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end())
        << "equal tiles get different snow";

    for (const char *jobs : {"1", "2", "3", "7"}) {
        fs::remove_all(dest());
        fs::create_directories(dest());
        const Outcome r = run(QStringList{"winter", "--snow", "120", "--jobs", jobs} + folders());
        ASSERT_EQ(r.status, 0) << r.err;
        for (std::size_t i = 0; i < textures.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%015zuwi.bmp", i);
            EXPECT_EQ(readBytes(dest(name)), outputs[i]) << "--jobs " << jobs << " " << name;
        }
        // The progress lines come in file order.
        EXPECT_LT(r.out.find("1/11 000000000000000su.bmp"),
                  r.out.find("2/11 000000000000001su.bmp"))
            << r.out;
        EXPECT_TRUE(contains(r.out, "11/11 000000000000010su.bmp")) << r.out;
    }

    writeBytes(source("000000000000004su.bmp"), Bytes{'B', 'M', 0, 0});
    textures.erase(textures.begin() + 4);
    const auto withoutDamaged = expected(textures, Season::Winter, 120);
    for (const char *jobs : {"1", "2", "5"}) {
        fs::remove_all(dest());
        fs::create_directories(dest());
        const Outcome r =
            run(QStringList{"winter", "--snow", "120", "--jobs", jobs, "--keep-going"} + folders());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.err, "000000000000004su.bmp")) << r.err;
        EXPECT_TRUE(contains(r.out, "Written 10 of 11 files, 1 failed")) << r.out;
        for (std::size_t i = 0; i < textures.size(); ++i)
            EXPECT_EQ(readBytes(dest(textures[i].filename().string().replace(15, 2, "wi"))),
                      withoutDamaged[i])
                << "--jobs " << jobs << " " << textures[i];

        // Without --keep-going, exactly the files before the damaged one.
        fs::remove_all(dest());
        fs::create_directories(dest());
        const Outcome stop =
            run(QStringList{"winter", "--snow", "120", "--jobs", jobs} + folders());
        EXPECT_EQ(stop.status, 1);
        EXPECT_EQ(namesIn(dest()).size(), 4u) << "--jobs " << jobs;
        EXPECT_TRUE(contains(stop.out, "Written 4 of 11 files, 1 failed")) << stop.out;
    }
}

// "all" reads each tile once and writes its four seasons; every one of them is what the
// season's own run writes, on any number of workers and with a failed tile in the set.
TEST_F(BatchCommand, AllWritesEachSeasonAsItsOwnRunDoes)
{
    // Very different amounts of snow per tile, for both generators.
    const std::vector<int> seeds = {-40, 60, 0, 45, -40, 30, 10};
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%015zusu.bmp", i);
        writeTexture(source(name), seeds[i]);
    }
    const std::pair<const char *, QStringList> seasons[] = {
        {"wi", {"winter", "--snow", "120"}},
        {"fa", {"fall", "--fall", "-7"}},
        {"sp", {"spring", "--spring", "20"}},
        {"hw", {"hardwinter", "--snow", "100"}},
    };
    const QStringList allOptions = {"all",      "--snow", "120",         "--fall", "-7",
                                    "--spring", "20",     "--hard-snow", "100"};

    for (const bool keepGoing : {false, true}) {
        if (keepGoing)
            writeBytes(source("000000000000003su.bmp"), Bytes{'B', 'M', 0, 0});
        const QStringList extra = keepGoing ? QStringList{"--keep-going"} : QStringList{};
        std::map<std::string, Bytes> single;
        for (const auto &[code, arguments] : seasons) {
            fs::remove_all(dest());
            fs::create_directories(dest());
            const Outcome r = run(arguments + QStringList{"--jobs", "1"} + extra + folders());
            ASSERT_EQ(r.status, keepGoing ? 1 : 0) << r.err;
            for (const std::string &name : namesIn(dest())) {
                ASSERT_EQ(name.substr(15, 2), code) << name;
                single[name] = readBytes(dest(name));
            }
        }
        ASSERT_EQ(single.size(), 4 * (seeds.size() - keepGoing));
        // The four seasons of a tile are four different pictures.
        const std::string tile = "000000000000001";
        std::set<Bytes> ofOneTile;
        for (const char *code : {"wi", "fa", "sp", "hw"})
            ofOneTile.insert(single[tile + code + ".bmp"]);
        EXPECT_EQ(ofOneTile.size(), 4u);

        for (const char *jobs : {"1", "3"}) {
            fs::remove_all(dest());
            fs::create_directories(dest());
            const Outcome r = run(allOptions + QStringList{"--jobs", jobs} + extra + folders());
            ASSERT_EQ(r.status, keepGoing ? 1 : 0) << r.err;
            EXPECT_TRUE(contains(r.out, "000000000000000su.bmp -> 000000000000000wi.bmp, "
                                        "000000000000000fa.bmp, 000000000000000sp.bmp, "
                                        "000000000000000hw.bmp"))
                << r.out;
            const auto names = namesIn(dest());
            EXPECT_EQ(names.size(), single.size()) << "--jobs " << jobs;
            for (const auto &[name, bytes] : single)
                EXPECT_EQ(readBytes(dest(name)), bytes)
                    << "--jobs " << jobs << (keepGoing ? " --keep-going " : " ") << name;
        }
    }

    // Without --keep-going the damaged tile stops "all" with the tiles before it whole.
    fs::remove_all(dest());
    fs::create_directories(dest());
    const Outcome stop = run(allOptions + QStringList{"--jobs", "3"} + folders());
    EXPECT_EQ(stop.status, 1);
    EXPECT_TRUE(contains(stop.err, "000000000000003su.bmp")) << stop.err;
    EXPECT_EQ(namesIn(dest()).size(), 12u);
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

// The outputs of two folders, byte for byte; the manifest and its lock are not outputs.
void expectSameOutputs(const fs::path &folder, const fs::path &reference)
{
    std::set<std::string> names;
    for (const std::string &name : namesIn(folder))
        if (!name.starts_with(".tessavane-manifest"))
            names.insert(name);
    EXPECT_EQ(names, namesIn(reference));
    for (const std::string &name : namesIn(reference))
        EXPECT_EQ(readBytes(folder / name), readBytes(reference / name)) << name;
}

std::string tileName(int number, const char *code = "su")
{
    char name[32];
    std::snprintf(name, sizeof name, "%015d%s.bmp", number, code);
    return name;
}

fs::file_time_type timeOf(const fs::path &path)
{
    return fs::last_write_time(path);
}

// Tiles that take very different amounts of snow, as 000..010su.bmp, 000..020su.bmp, ...
void writeSeededTiles(const fs::path &folder, const std::vector<int> &seeds)
{
    for (std::size_t i = 0; i < seeds.size(); ++i)
        writeTexture(folder / tileName(10 * int(i + 1)), seeds[i]);
}

const QStringList allStrengths = {"all",      "--snow", "120",         "--fall", "-7",
                                  "--spring", "20",     "--hard-snow", "100"};

// Three shards run at once into one folder write what one whole run writes, byte for byte,
// each starting its noise from the draws of the tiles before it; with --keep-going a damaged
// tile in the first shard draws nothing in the others' count too.
TEST_F(BatchCommand, ShardsAtOnceWriteWhatAWholeRunWrites)
{
    writeSeededTiles(source(), {-40, 60, 0, 45, -40, 30, 10, 60, -20, 0});
    const fs::path whole = m_root / "whole";
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "a damaged tile" : "all tiles sound");
        if (damaged)
            writeBytes(source(tileName(20)), Bytes{'B', 'M', 0, 0});
        const QStringList extra = damaged ? QStringList{"--keep-going"} : QStringList{};
        fs::remove_all(whole);
        fs::create_directories(whole);
        const Outcome all = run(allStrengths + extra +
                                QStringList{QString::fromStdString(source().string()),
                                            QString::fromStdString(whole.string())});
        ASSERT_EQ(all.status, damaged ? 1 : 0) << all.err;

        fs::remove_all(dest());
        fs::create_directories(dest());
        QProcess shards[3];
        for (int k = 0; k < 3; ++k)
            startProcess(shards[k], allStrengths + extra +
                                        QStringList{"--jobs", "2", "--shard",
                                                    QStringLiteral("%1/3").arg(k + 1)} +
                                        folders());
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(shards[k].waitForFinished(120000));
            const std::string out = shards[k].readAllStandardOutput().toStdString();
            const std::string err = shards[k].readAllStandardError().toStdString();
            // 10 tiles in 3 shards: 3, 3 and 4.
            const int size = k == 2 ? 4 : 3;
            EXPECT_EQ(shards[k].exitCode(), damaged && k == 0 ? 1 : 0) << err;
            EXPECT_TRUE(contains(out, "Written " + std::to_string(size - (damaged && k == 0)) +
                                          " of " + std::to_string(size) + " files"))
                << out;
            EXPECT_EQ(contains(err, tileName(20)), damaged && k == 0) << err;
        }
        expectSameOutputs(dest(), whole);
    }
    // Without --keep-going a whole run stops at the damaged tile, and so does a later shard,
    // naming it.
    fs::remove_all(dest());
    fs::create_directories(dest());
    const Outcome stopped = run(allStrengths + QStringList{"--shard", "3/3"} + folders());
    EXPECT_EQ(stopped.status, 1);
    EXPECT_TRUE(contains(stopped.err, tileName(20))) << stopped.err;
    EXPECT_TRUE(contains(stopped.out, "Written 0 of 4 files, 1 failed")) << stopped.out;
    EXPECT_TRUE(contains(stopped.out, "Shard 3/3: files 7 to 10 of 10")) << stopped.out;
    EXPECT_TRUE(namesIn(dest()).empty());
}

// An update writes what changed since the last: a changed tile's own outputs, the later
// winter and hard-winter outputs whose noise start moved, an added tile's; it removes a removed
// tile's. Fall and spring are rewritten for the changed tile only. The result is a fresh run's.
TEST_F(BatchCommand, AnUpdateWritesWhatChangedAndEqualsAFreshRun)
{
    writeSeededTiles(source(), {-40, 60, 0, 45, -40, 30, 10, 60});
    const QStringList update = allStrengths + QStringList{"--update"} + folders();
    const Outcome first = run(update);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(contains(first.out, "no manifest: writing every output")) << first.out;
    EXPECT_TRUE(contains(first.out, "010su.bmp -> 000000000000010wi.bmp (full run)")) << first.out;

    // Nothing changed: nothing written, not even the manifest.
    std::map<std::string, fs::file_time_type> times;
    for (const std::string &name : namesIn(dest()))
        times[name] = timeOf(dest(name));
    const Outcome unchanged = run(update);
    ASSERT_EQ(unchanged.status, 0) << unchanged.err;
    EXPECT_TRUE(contains(unchanged.out, "Written 0 of 0 files")) << unchanged.out;
    EXPECT_TRUE(contains(unchanged.out, "Up to date: 32 outputs; written: none")) << unchanged.out;
    for (const auto &[name, time] : times)
        EXPECT_EQ(timeOf(dest(name)), time) << name;

    // Tile 30 changed (fewer snowed pixels), 45 added between 40 and 50, 80 removed. A tile
    // touched without a change is still up to date.
    writeTexture(source(tileName(30)), 45);
    writeTexture(source(tileName(45)), 20);
    fs::remove(source(tileName(80)));
    fs::last_write_time(source(tileName(10)), fs::file_time_type::clock::now());
    const Outcome dry = run(allStrengths + QStringList{"--update", "--dry-run"} + folders());
    ASSERT_EQ(dry.status, 0) << dry.err;
    for (const char *code : {"wi", "fa", "sp", "hw"}) {
        EXPECT_TRUE(contains(dry.out, "would write " + tileName(30, code) + " (source changed)\n"))
            << dry.out;
        EXPECT_TRUE(contains(dry.out, "would write " + tileName(45, code) + " (new)\n"));
        EXPECT_TRUE(contains(dry.out, "would remove " + tileName(80, code) + " (source removed)"));
        EXPECT_FALSE(contains(dry.out, tileName(10, code))) << dry.out;
        EXPECT_FALSE(contains(dry.out, tileName(20, code))) << dry.out;
    }
    // Winter's later outputs start their snow elsewhere; hard winter draws no noise.
    for (const int later : {40, 50, 60, 70}) {
        EXPECT_TRUE(
            contains(dry.out, "would write " + tileName(later, "wi") + " (snow start moved)\n"))
            << dry.out;
        EXPECT_FALSE(contains(dry.out, tileName(later, "hw"))) << dry.out;
    }
    EXPECT_TRUE(contains(dry.out, "Would write 12 outputs, remove 4; 20 up to date")) << dry.out;
    EXPECT_EQ(namesIn(dest()).size(), 34u) << "the dry run writes nothing";

    const Outcome changed = run(update);
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_TRUE(contains(changed.out, "Written 6 of 6 files")) << changed.out;
    EXPECT_TRUE(contains(changed.out, "Up to date: 20 outputs; written: 4 new, 4 source changed, 4 "
                                      "snow start moved; removed: 4 source removed"))
        << changed.out;
    for (const int kept : {40, 50, 60, 70})
        for (const char *code : {"fa", "sp"})
            EXPECT_EQ(timeOf(dest(tileName(kept, code))), times[tileName(kept, code)]);

    const fs::path fresh = m_root / "fresh";
    fs::create_directories(fresh);
    ASSERT_EQ(run(allStrengths + QStringList{QString::fromStdString(source().string()),
                                             QString::fromStdString(fresh.string())})
                  .status,
              0);
    expectSameOutputs(dest(), fresh);

    // A strength changed, an output deleted and one touched by something else: rewritten.
    fs::remove(dest(tileName(20, "sp")));
    writeBytes(dest(tileName(10, "sp")), Bytes{1, 2, 3});
    const Outcome again = run(QStringList{"spring", "--spring", "20", "--update"} + folders());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(contains(again.out, tileName(10, "sp") + " (output changed)")) << again.out;
    EXPECT_TRUE(contains(again.out, tileName(20, "sp") + " (output missing)")) << again.out;
    EXPECT_TRUE(contains(again.out, "Written 2 of 2 files")) << again.out;
    expectSameOutputs(dest(), fresh);
    const Outcome stronger =
        run(QStringList{"fall", "--fall", "3", "--update", "--dry-run"} + folders());
    EXPECT_TRUE(contains(stronger.out, "Would write 8 outputs, remove 0; 0 up to date"))
        << stronger.out;
    EXPECT_TRUE(contains(stronger.out, "(strength changed)")) << stronger.out;
}

struct ManifestCase
{
    const char *name;
    const char *message;
};

void PrintTo(const ManifestCase &c, std::ostream *os)
{
    *os << c.name;
}

class UnusableManifest : public BatchCommand, public testing::WithParamInterface<ManifestCase>
{};

TEST_P(UnusableManifest, MeansAFullRunThatSaysWhy)
{
    writeSeededTiles(source(), {-40, 60, 0, 45});
    const QStringList update = QStringList{"winter", "--snow", "100", "--update"} + folders();
    ASSERT_EQ(run(update).status, 0);
    const fs::path manifest = dest(".tessavane-manifest");
    const std::string name = GetParam().name;
    if (name == "Missing") {
        fs::remove(manifest);
    } else if (name == "Damaged") {
        Bytes bytes = readBytes(manifest);
        bytes[bytes.size() / 2] ^= 4;
        writeBytes(manifest, bytes);
    } else {
        // Written by another version of the program, whole and sound otherwise.
        const texset::ProgramIdentity program = texset::currentProgram();
        texset::LoadedManifest loaded = texset::readManifest(dest(), program);
        std::vector<texset::OutputRecord> records;
        for (const auto &[output, record] : loaded.records)
            records.push_back(record);
        texset::ManifestWriter writer(dest(), {"0.0.1", program.encoder}, records);
        writer.close();
    }

    const Outcome r = run(update);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, GetParam().message)) << r.out;
    EXPECT_TRUE(contains(r.out, "): writing every output") ||
                contains(r.out, "manifest: writing every output"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Written 4 of 4 files")) << r.out;
    // The new manifest is sound again.
    EXPECT_TRUE(contains(run(update).out, "Written 0 of 0 files"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableManifest,
    testing::Values(ManifestCase{"Missing", "no manifest"},
                    ManifestCase{"Damaged", "the manifest is damaged (line "},
                    ManifestCase{"OtherVersion", "the manifest is from another version (0.0.1)"}),
    [](const auto &info) { return std::string(info.param.name); });

// kill -9 in the middle of an update leaves outputs whole and a manifest that never runs
// ahead of them: the next update finishes the job and equals a fresh run.
TEST_F(BatchCommand, AnUpdateKilledMidwayThenRerunEqualsAFreshRun)
{
    fillSource(source(), 40);
    ASSERT_EQ(run(QStringList{"winter", "--snow", "70", "--update", "--quiet"} + folders()).status,
              0);
    const QStringList update =
        QStringList{"winter", "--snow", "90", "--update", "--jobs", "2"} + folders();
    QProcess process;
    startProcess(process, update);
    while (!process.canReadLine() || !process.readLine().contains("->"))
        ASSERT_TRUE(process.waitForReadyRead(60000));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(60000));

    const Outcome rerun = run(update);
    ASSERT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_FALSE(contains(rerun.out, "writing every output")) << rerun.out;
    EXPECT_FALSE(contains(rerun.out, "Written 40 of 40")) << "the killed run's work is kept";
    const fs::path fresh = m_root / "fresh";
    fs::create_directories(fresh);
    ASSERT_EQ(run(QStringList{"winter", "--snow", "90", QString::fromStdString(source().string()),
                              QString::fromStdString(fresh.string())})
                  .status,
              0);
    expectSameOutputs(dest(), fresh);
    EXPECT_TRUE(contains(run(update).out, "Written 0 of 0 files"));
}

// Two updates of one folder at once take turns on its manifest: both succeed, the manifest is
// sound, and a third update finds everything up to date.
TEST_F(BatchCommand, TwoUpdatesAtOnceTakeTurns)
{
    fillSource(source(), 24);
    QProcess first;
    QProcess second;
    const QStringList update = QStringList{"winter", "--update", "--jobs", "2"} + folders();
    startProcess(first, update);
    startProcess(second, update);
    ASSERT_TRUE(first.waitForFinished(120000));
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const Outcome third = run(update);
    EXPECT_TRUE(contains(third.out, "Up to date: 24 outputs; written: none")) << third.out;
    const fs::path fresh = m_root / "fresh";
    fs::create_directories(fresh);
    ASSERT_EQ(run(QStringList{"winter", QString::fromStdString(source().string()),
                              QString::fromStdString(fresh.string())})
                  .status,
              0);
    expectSameOutputs(dest(), fresh);
}

} // namespace

namespace {

TEST_F(BatchCommand, PreviewShowsEachSeasonLabelledAndLeavesWaterAlone)
{
    const QString tile = QStringLiteral(TESSAVANE_SOURCE_DIR "/samples/030123210321200su.bmp");
    const QString sheetPath = QString::fromStdString(dest("seasons.png").string());
    const Outcome r = run({"preview", "--snow", "60", tile, sheetPath});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage sheet(sheetPath);
    // Summer and four seasons, 256 x 256 each, 8 pixels apart, below a 20-pixel label.
    ASSERT_EQ(sheet.size(), QSize(5 * 256 + 6 * 8, 256 + 20 + 2 * 8));

    // Water (alpha below 128) is drawn in one colour in every panel, the summer's too;
    // blue-dominant land looks the same in winter, fall and spring, which leave it as it is;
    // land changes in every season.
    const preview::SummerTile summer = preview::readSummerTile(tile);
    auto at = [&](int panel, int i) {
        const int x = i % 256;
        const int y = 255 - i / 256; // the tile's rows are bottom-up
        return sheet.pixel(8 + panel * (256 + 8) + x, 8 + 20 + y);
    };
    int water = 0;
    int changed[5] = {};
    std::set<QRgb> waterColours;
    for (int i = 0; i < 256 * 256; ++i) {
        const std::uint8_t *bgr = &summer.bgr[3 * std::size_t(i)];
        const bool blue = bgr[0] > bgr[1] && bgr[0] > bgr[2];
        const bool wet = summer.alpha[i] < 128;
        water += wet;
        for (int panel = 0; panel < 5; ++panel) {
            if (wet)
                waterColours.insert(at(panel, i));
            else if (blue && panel < 4)
                ASSERT_EQ(at(panel, i), at(0, i)) << "panel " << panel << " pixel " << i;
            else if (panel > 0)
                changed[panel] += at(panel, i) != at(0, i);
        }
    }
    EXPECT_GT(water, 1000) << "the sample should hold water";
    EXPECT_EQ(waterColours.size(), 1u);
    for (int panel = 1; panel < 5; ++panel)
        EXPECT_GT(changed[panel], 10000) << "panel " << panel;

    // A sweep: summer, then one panel per strength; a negative start needs no "--".
    const Outcome sweep = run({"preview", "--sweep", "snow", "40:160:40", tile, sheetPath});
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    EXPECT_EQ(QImage(sheetPath).width(), 5 * 256 + 6 * 8);
    const Outcome negative = run({"preview", tile, "--sweep", "fall", "-20:10:10", sheetPath});
    ASSERT_EQ(negative.status, 0) << negative.err;
    EXPECT_EQ(QImage(sheetPath).width(), 5 * 256 + 6 * 8);
    const Outcome joined = run({"preview", "--sweep=hardwinter", "0:100:50", tile, sheetPath});
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(QImage(sheetPath).width(), 4 * 256 + 5 * 8);
    // Sweeps hold to the season's range, as the strength options do.
    const std::pair<QStringList, const char *> outside[] = {
        {{"--sweep", "hard-snow", "-2147483648:0:1"}, "outside 0..100"},
        {{"--sweep", "spring", "0:30:10"}, "outside 0..25"},
        {{"--sweep", "snow", "-1001:0:100"}, "outside -1000..255"},
        {{"--sweep", "fall", "0:26:13"}, "outside -1000..25"},
    };
    for (const auto &[arguments, part] : outside) {
        const Outcome refused =
            run(QStringList{"preview"} + arguments + QStringList{tile, sheetPath});
        EXPECT_EQ(refused.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(contains(refused.err, part)) << refused.err;
    }
    for (const QStringList &bad :
         {QStringList{"--sweep", "snow", "9:1:1", tile, sheetPath},
          QStringList{"--sweep", "rain", "1:9:1", tile, sheetPath}, QStringList{"--sweep", "snow"},
          QStringList{"--spring", "26", tile, sheetPath}, QStringList{tile}}) {
        const Outcome refused = run(QStringList{"preview"} + bad);
        EXPECT_EQ(refused.status, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(contains(refused.err, "see --help")) << refused.err;
    }
    // Several tiles: one row each, the rows sharing the gap between them. A last argument
    // that is not a .png is refused before anything is read or written: it would otherwise
    // be a tile the user meant to preview.
    const Outcome two = run({"preview", tile, tile, sheetPath});
    ASSERT_EQ(two.status, 0) << two.err;
    const QImage rows(sheetPath);
    ASSERT_EQ(rows.size(), QSize(5 * 256 + 6 * 8, 2 * (256 + 20 + 2 * 8) - 8));
    // The picture is written row by row: the second row's panels are the first row's.
    for (int y = 28; y < 28 + 256; y += 5)
        for (int x = 0; x < rows.width(); x += 3)
            ASSERT_EQ(rows.pixel(x, y + 256 + 20 + 8), rows.pixel(x, y)) << x << "," << y;
    const std::filesystem::path copy = source("030123210321200su.bmp");
    std::filesystem::copy_file(tile.toStdString(), copy);
    const auto before = readBytes(copy);
    const Outcome overwrite = run({"preview", tile, QString::fromStdString(copy.string())});
    EXPECT_EQ(overwrite.status, 2);
    EXPECT_TRUE(contains(overwrite.err, "must be named *.png")) << overwrite.err;
    EXPECT_EQ(readBytes(copy), before);

    const Outcome missing = run({"preview", tile + ".gone", sheetPath});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(contains(missing.err, "su.bmp.gone")) << missing.err;

    using season::Season;
    EXPECT_EQ(preview::panelLabel({std::nullopt, 0}), "summer");
    EXPECT_EQ(preview::panelLabel({Season::Winter, 70}), "winter 70");
    EXPECT_EQ(preview::panelLabel({Season::HardWinter, 60}), "hard winter 60");
}

// A 24-bit bitmap of the given size, every pixel grey.
Bytes greyBitmap(std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t row = (3 * width + 3) / 4 * 4;
    Bytes bytes(54 + std::size_t(row) * height, 128);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            bytes[at + k] = std::uint8_t(value >> (8 * k));
    };
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, std::uint32_t(bytes.size()));
    put(10, 54);
    put(14, 40);
    put(18, width);
    put(22, height);
    bytes[26] = 1;  // planes
    bytes[28] = 24; // bits per pixel
    return bytes;
}

// One row of a picture (a tile's panels) holds at most 2^25 pixels: beyond that the command
// refuses in one line naming the tile, before any tile is drawn or the picture is begun. Below
// it, a sheet of any number of rows is written, since it is written row by row.
TEST_F(BatchCommand, PreviewRefusesARowOverItsLimitBeforeAnyWork)
{
    const std::filesystem::path big = source("000000000000000su.bmp");
    writeBytes(big, greyBitmap(2048, 2048));
    const QString sheetPath = QString::fromStdString(dest("big.png").string());
    const QString tile = QString::fromStdString(big.string());
    const QString small = QStringLiteral(TESSAVANE_SOURCE_DIR "/samples/030123210321200su.bmp");
    // Nine panels of 2048 x 2048 are over the limit; the small tile first is not drawn either.
    const Outcome refused = run({"preview", "--sweep", "snow", "0:80:10", small, tile, sheetPath});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "000000000000000su.bmp")) << refused.err;
    EXPECT_TRUE(contains(refused.err, "33554432")) << refused.err;
    std::size_t messages = 0;
    for (std::size_t at = refused.err.find("tessavane-batch:"); at != std::string::npos;
         at = refused.err.find("tessavane-batch:", at + 1))
        ++messages;
    EXPECT_EQ(messages, 1u) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dest("big.png")));
    EXPECT_EQ(namesIn(dest()).size(), 0u) << "no temporary left";
    // Two panels of it are within the limit.
    const Outcome two = run({"preview", "--sweep", "snow", "70:70:1", tile, sheetPath});
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(QImage(sheetPath).size(), QSize(2 * 2048 + 3 * 8, 2048 + 20 + 2 * 8));
}

} // namespace
