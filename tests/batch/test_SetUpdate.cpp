// tessavane-batch in shards and with --update: what a whole fresh run writes, byte for byte.
#include "BatchRun.h"

#include "texset/Manifest.h"

#include <csignal>
#include <map>
#include <ostream>

namespace {

using namespace batchtest;

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
// winter outputs whose noise start moved, an added tile's; it removes a removed tile's. Fall,
// spring and hard winter are rewritten for the changed tile only. The result is a fresh run's.
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
        texset::ManifestWriter writer(dest(), {"0.0.1", program.fingerprint}, records);
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
