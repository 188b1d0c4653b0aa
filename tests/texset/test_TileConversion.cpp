// The snow noise jump and the count of draws that the parallel sets rest on, the temporary
// names a later run may remove, and the units of the set without threads: the noise ledger,
// the committing of a group, shard ranges and the update's manifest.
#include "TextureFiles.h"

#include "platform/Error.h"
#include "season/PixelRules.h"
#include "season/SeasonNaming.h"
#include "season/SnowNoise.h"
#include "texset/GroupCommit.h"
#include "texset/Manifest.h"
#include "texset/NoiseLedger.h"
#include "texset/ShardPlan.h"
#include "texset/StaleTemporaries.h"
#include "texset/TileConversion.h"

#include "convlib/AtomicFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace seasontest;

TEST(SnowJump, LandsWhereThatManyDrawsLand)
{
    for (const std::uint32_t start : {1u, 0u, 0xFFFFFFFFu, 123456789u}) {
        season::SnowNoise noise(start);
        std::uint64_t done = 0;
        for (const std::uint64_t k :
             {0ull, 1ull, 2ull, 3ull, 64ull, 1000ull, 65536ull, 200001ull}) {
            for (; done < k; ++done)
                noise.draw();
            EXPECT_EQ(texset::snowStateAfter(start, k), noise.state()) << start << " " << k;
        }
    }
    // The period is 2^32: a jump by it, or by a multiple past 32 bits, comes back.
    EXPECT_EQ(texset::snowStateAfter(77, 1ull << 32), 77u);
    EXPECT_EQ(texset::snowStateAfter(77, (5ull << 32) + 3), texset::snowStateAfter(77, 3));
}

TEST(SnowCount, IsTheNumberOfDrawsTheWinterPassMakes)
{
    const std::vector<season::Pixel> pixels = randomPixels(20000, 11);
    for (const int threshold : {-1000, 0, 29, 30, 70, 133, 200, 254, 255}) {
        std::vector<season::Pixel> copy = pixels;
        // A generator that counts: the state after n draws from 1 is the jump's.
        season::SnowNoise noise(1);
        season::winterTriples(reinterpret_cast<std::uint8_t *>(copy.data()), copy.size(), threshold,
                              noise);
        const std::uint64_t counted = texset::countSnowedTriples(
            reinterpret_cast<const std::uint8_t *>(pixels.data()), pixels.size(), threshold);
        EXPECT_EQ(texset::snowStateAfter(1, counted), noise.state()) << threshold;
        if (threshold == 255) {
            EXPECT_EQ(counted, 0u);
        }
    }
}

// Spring and hard winter run over the decoded tile with its mask: water (alpha below 128) and
// blue-dominant pixels come out exactly as they went in, the alpha is the texture's, land
// changes, and neither draws from a noise generator.
TEST(NewSeasons, LeaveWaterAndBlueAloneAndChangeLand)
{
    char folder[] = "/tmp/tileconversion-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path texture = std::filesystem::path(folder) / "tile.bmp";
    writeTexture(texture, 20, 64);
    texset::TileConversion tile;
    tile.load(texture);
    tile.applyPass(season::Season::Fall, 0, 0);
    const kovar::Image summer = tile.seasonedImage(); // fall at 0 changes nothing
    for (const auto season : {season::Season::Spring, season::Season::HardWinter}) {
        SCOPED_TRACE(season::seasonName(season));
        tile.applyPass(season, season == season::Season::Spring ? 25 : 60, 1);
        const kovar::Image &out = tile.seasonedImage();
        ASSERT_EQ(out.byteCount(), summer.byteCount());
        int kept = 0;
        int changed = 0;
        for (std::size_t i = 0; i < summer.byteCount(); i += 4) {
            const std::uint8_t *in = summer.data() + i;
            const std::uint8_t *res = out.data() + i;
            ASSERT_EQ(res[3], in[3]) << "alpha at " << i / 4;
            const season::Pixel p{in[2], in[1], in[0]};
            if (season::isWater(in[3]) || season::isBlueDominant(p)) {
                ASSERT_TRUE(std::equal(in, in + 3, res)) << "pixel " << i / 4;
                ++kept;
            } else {
                changed += !std::equal(in, in + 3, res);
            }
        }
        EXPECT_GT(kept, 64 * 30);
        // The land of this tile is bare (red above green): spring leaves it, hard winter
        // snows it.
        if (season == season::Season::Spring) {
            EXPECT_EQ(changed, 0);
        } else {
            EXPECT_GT(changed, 64 * 12); // of the 64 * 24 land pixels
        }
    }
    // Only winter draws noise.
    EXPECT_EQ(tile.draws(season::Season::HardWinter, 60), 0u);
    EXPECT_EQ(tile.draws(season::Season::Spring, 25), 0u);
    EXPECT_EQ(tile.draws(season::Season::Winter, 255), 0u);
    std::filesystem::remove_all(folder);
}

// The writer's names are recognised, and nothing else is.
TEST(StaleTemporaries, TheWritersNamesAndNoOthers)
{
    const std::string made = kovar::temporaryNameBeside("/some/folder/000000000000001wi.bmp");
    ASSERT_TRUE(made.starts_with("/some/folder/.kovar-")) << made;
    EXPECT_TRUE(kovar::isTemporaryName(made.substr(13))) << made;
    EXPECT_NE(kovar::temporaryNameBeside("a.bmp"), kovar::temporaryNameBeside("a.bmp"));
    // PID 1 is a container's first process; a "PID" past this host's pid_max is another
    // host's or namespace's: names of live writers as much as any other.
    for (const char *name : {".kovar-1-0.tmp", ".kovar-0-0.tmp", ".kovar-4194305-4711.tmp",
                             ".kovar-2147483647-18446744073709551615.tmp"})
        EXPECT_TRUE(kovar::isTemporaryName(name)) << name;
    const std::string pid = std::to_string(::getpid());
    for (const std::string &name : std::vector<std::string>{
             ".kovar--0.tmp", ".kovar-" + pid + "-.tmp", ".kovar-" + pid + ".tmp",
             ".kovar-" + pid + "-0.tmp~", "kovar-" + pid + "-0.tmp", ".kovar-+" + pid + "-0.tmp",
             ".kovar-99999999999999-0.tmp", ".kovar-x-0.tmp", ".kovar-" + pid + "-0-1.tmp",
             ".kovar-" + pid + "-0.TMP", ""})
        EXPECT_FALSE(kovar::isTemporaryName(name)) << name;
}

// A temporary is stale when no writer holds its lock, whatever its "PID" says: a killed
// writer's is removed, a live writer's stays (in this process or any other, with a PID this
// host has or not), and so does every file that is not this user's own regular file.
TEST(StaleTemporaries, OnlyThoseNoLiveWriterHolds)
{
    char made[] = "/tmp/staletemporaries-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::filesystem::path folder = made;
    auto file = [&](const std::string &name) { return (folder / name).string(); };
    auto names = [&] {
        std::set<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            found.insert(entry.path().filename().string());
        return found;
    };
    const std::vector<std::uint8_t> bytes{1, 2, 3};

    // Killed mid-write: the writer's process ends without its destructor running.
    const pid_t child = ::fork();
    if (child == 0) {
        [[maybe_unused]] auto *leftOpen =
            new kovar::AtomicFile(file("killed.bmp"), bytes, kovar::Flush::None);
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    const std::set<std::string> killed = names();
    ASSERT_EQ(killed.size(), 1u);

    kovar::AtomicFile live(file("live.bmp"), bytes, kovar::Flush::Grouped);
    const std::set<std::string> withLive = names();

    // A writer elsewhere, as this process's own OFD lock stands in for it: one on another host
    // whose PID this host does not have.
    long pidMax = 4194304;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    const std::string elsewhere = ".kovar-" + std::to_string(pidMax + 1) + "-0.tmp";
    const int held = ::open(file(elsewhere).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    struct flock lock
    {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);

    // Left by a container's first process, now gone: nobody holds it.
    writeBytes(file(".kovar-1-0.tmp"), Bytes{1});
    // Not this user's, not a regular file, not the writer's name: never touched.
    std::set<std::string> kept = {"a.tmp",          ".kovar-x-0.tmp", ".kovar-7-0.tmp.bak",
                                  ".kovar-8-0.tmp", ".kovar-9-0.tmp", ".kovar-10-0.tmp"};
    for (const char *name : {"a.tmp", ".kovar-x-0.tmp", ".kovar-7-0.tmp.bak", "target"})
        writeBytes(file(name), Bytes{1});
    std::filesystem::create_symlink("target", file(".kovar-8-0.tmp"));
    std::filesystem::create_directory(file(".kovar-9-0.tmp"));
    ASSERT_EQ(::mkfifo(file(".kovar-10-0.tmp").c_str(), 0600), 0);
    if (::geteuid() == 0) {
        writeBytes(file(".kovar-11-0.tmp"), Bytes{1});
        ASSERT_EQ(::chown(file(".kovar-11-0.tmp").c_str(), 65534, 65534), 0);
        kept.insert(".kovar-11-0.tmp");
    }

    EXPECT_EQ(texset::removeStaleTemporaries(folder), 2);
    std::set<std::string> expected = kept;
    expected.insert("target");
    expected.insert(elsewhere);
    for (const std::string &name : withLive)
        if (!killed.count(name))
            expected.insert(name); // the live writer's
    EXPECT_EQ(names(), expected);
    EXPECT_NO_THROW(live.commit());
    EXPECT_EQ(readBytes(file("live.bmp")), Bytes(bytes.begin(), bytes.end()));
    ::close(held);
    EXPECT_EQ(texset::removeStaleTemporaries(folder), 1) << "no longer held";
    std::filesystem::remove_all(folder);
}

// A clean-up running all the while never takes a temporary from a writer, however close it
// comes to the writer's creating or renaming it.
TEST(StaleTemporaries, ACleanUpAtAnyMomentLeavesWritersAlone)
{
    char made[] = "/tmp/staletemporaries-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::filesystem::path folder = made;
    std::atomic<bool> done{false};
    std::thread cleaner([&] {
        while (!done)
            texset::removeStaleTemporaries(folder);
    });
    const std::vector<std::uint8_t> bytes(5000, 7);
    int failures = 0;
    for (int i = 0; i < 400; ++i) {
        try {
            const std::string target = (folder / ("out" + std::to_string(i % 7) + ".bmp")).string();
            kovar::AtomicFile output(target, bytes, kovar::Flush::None);
            output.commit();
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
            if (++failures > 3)
                break;
        }
    }
    done = true;
    cleaner.join();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              7);
    std::filesystem::remove_all(folder);
}

// Tiles counted in any order within the window get the starts of counting them in order.
TEST(NoiseLedger, AnyCountingOrderGivesTheSequentialStarts)
{
    std::mt19937 random(5);
    std::vector<texset::NoiseDraws> draws(200);
    for (texset::NoiseDraws &d : draws)
        d = {random() % 3 ? random() % 70000 : 0u};
    std::vector<texset::NoiseStates> expected;
    texset::NoiseStates state{77};
    for (const texset::NoiseDraws &d : draws) {
        expected.push_back(state);
        state = texset::statesAfter(state, d);
    }

    const std::size_t window = 8;
    texset::NoiseLedger ledger(window, {77});
    std::size_t next = 0;
    std::vector<std::size_t> pending;
    while (ledger.frontier() < draws.size()) {
        while (next < draws.size() && next < ledger.frontier() + window)
            pending.push_back(next++);
        std::shuffle(pending.begin(), pending.end(), random);
        const std::size_t index = pending.back();
        pending.pop_back();
        const std::size_t before = ledger.frontier();
        ledger.count(index, draws[index]);
        for (std::size_t i = before; i < ledger.frontier(); ++i)
            ASSERT_EQ(ledger.startOf(i), expected[i]) << i;
    }
    EXPECT_EQ(ledger.next(), state);
    EXPECT_THROW(ledger.count(draws.size() + window, {}), platform::Error);
    EXPECT_THROW(ledger.count(0, {}), platform::Error) << "counted twice";
}

class Folder : public testing::Test
{
  protected:
    void SetUp() override
    {
        char name[] = "/tmp/texset-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        m_folder = name;
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::filesystem::path m_folder;
};

texset::FinishedTile finishedTile(std::size_t index,
                                  const std::vector<std::filesystem::path> &targets,
                                  std::uint8_t content)
{
    texset::FinishedTile tile;
    tile.outcome.index = index;
    tile.outcome.written = true;
    const std::vector<std::uint8_t> bytes(100, content);
    for (const std::filesystem::path &target : targets)
        tile.outputs.emplace_back(target, bytes, texset::Flush::Grouped);
    return tile;
}

// A tile whose output cannot be renamed (its target is a folder) fails with the message; without
// keep-going the group ends there and what follows is discarded; with it the rest is committed.
TEST_F(Folder, AGroupCommitsInOrderUpToItsFirstFailure)
{
    for (const bool keepGoing : {false, true}) {
        SCOPED_TRACE(keepGoing ? "keep going" : "stop");
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "b1");
        std::filesystem::create_directories(m_folder / "b1" / "inside");
        std::vector<texset::FinishedTile> group;
        group.push_back(finishedTile(0, {m_folder / "a0", m_folder / "a1"}, 1));
        group.push_back(finishedTile(1, {m_folder / "b0", m_folder / "b1"}, 2));
        group.push_back(finishedTile(2, {m_folder / "c0"}, 3));
        texset::FinishedTile failed;
        failed.outcome = {3, false, "tile 3: cannot be read", {}, {}};
        group.push_back(std::move(failed));

        const texset::CommittedGroup committed =
            texset::commitGroup(group, texset::Flush::Grouped, keepGoing);

        EXPECT_EQ(committed.settled, keepGoing ? 4u : 2u);
        EXPECT_EQ(committed.halt, !keepGoing);
        EXPECT_TRUE(group[0].outcome.written);
        EXPECT_FALSE(group[1].outcome.written);
        EXPECT_NE(group[1].outcome.error.find("b1"), std::string::npos) << group[1].outcome.error;
        EXPECT_EQ(readBytes(m_folder / "a1"), Bytes(100, 1));
        EXPECT_EQ(readBytes(m_folder / "b0"), Bytes(100, 2)) << "a whole file stays";
        EXPECT_EQ(std::filesystem::exists(m_folder / "c0"), keepGoing);
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(m_folder))
            names.insert(entry.path().filename().string());
        std::set<std::string> expected{"a0", "a1", "b0", "b1"};
        if (keepGoing)
            expected.insert("c0");
        EXPECT_EQ(names, expected) << "no temporary file is left";
    }
}

TEST(ShardPlan, ReadsKOfNAndCutsTheTilesIntoRangesWithoutGapsOrOverlaps)
{
    struct
    {
        const char *text;
        unsigned index; // 0: refused
        unsigned count;
    } rows[] = {{"1/1", 1, 1},     {"2/3", 2, 3},  {"3/3", 3, 3},
                {"10/64", 10, 64}, {"0/3", 0, 0},  {"4/3", 0, 0},
                {"1/0", 0, 0},     {"-1/3", 0, 0}, {"1/ 3", 0, 0},
                {"1", 0, 0},       {"1/3/", 0, 0}, {"/3", 0, 0},
                {"x/3", 0, 0},     {"", 0, 0},     {"99999999999/99999999999", 0, 0}};
    for (const auto &row : rows) {
        const std::optional<texset::Shard> shard = texset::parseShard(row.text);
        if (row.index == 0) {
            EXPECT_FALSE(shard) << row.text;
        } else {
            ASSERT_TRUE(shard) << row.text;
            EXPECT_EQ(shard->index, row.index);
            EXPECT_EQ(shard->count, row.count);
        }
    }
    for (const std::size_t tiles : {0u, 1u, 2u, 7u, 100u, 300001u})
        for (const unsigned count : {1u, 2u, 3u, 7u, 64u}) {
            std::size_t end = 0;
            for (unsigned k = 1; k <= count; ++k) {
                const texset::TileRange range = texset::shardRange(tiles, {k, count});
                ASSERT_EQ(range.begin, end) << tiles << " " << k << "/" << count;
                ASSERT_LE(range.end - range.begin, tiles / count + 1);
                ASSERT_GE(range.end - range.begin, tiles / count);
                end = range.end;
            }
            EXPECT_EQ(end, tiles);
        }
}

// Records with names of any bytes come back as written; a line appended later replaces an
// earlier one for its output; a torn last line is dropped; a damaged line, another version or
// another encoder leave no record to go by, each with the reason.
TEST_F(Folder, TheManifestKeepsItsRecordsAndSaysWhyItCannotBeUsed)
{
    const texset::ProgramIdentity program = texset::currentProgram();
    EXPECT_EQ(texset::currentProgram().fingerprint, program.fingerprint)
        << "the fingerprint is fixed";
    const std::string odd = "a b\t%\n\xFF\x01su.bmp";
    texset::OutputRecord first{odd,
                               "src\xFEsu.bmp",
                               {123, -5, 0xFEDCBA9876543210ull},
                               season::Season::HardWinter,
                               110,
                               0xFFFFFFFFu,
                               1ull << 40,
                               {9, 1700000000123456789}};
    texset::OutputRecord second = first;
    second.output = "000000000000001fa.bmp";
    second.season = season::Season::Fall;
    second.strength = -1000;
    {
        texset::ManifestWriter writer(m_folder, program, {first});
        texset::OutputRecord changed = first;
        changed.start = 7;
        writer.append({second, changed});
        writer.close();
    }
    texset::LoadedManifest loaded = texset::readManifest(m_folder, program);
    EXPECT_EQ(loaded.problem, "");
    ASSERT_EQ(loaded.records.size(), 2u);
    const texset::OutputRecord &back = loaded.records.at(odd);
    EXPECT_EQ(back.source, first.source);
    EXPECT_EQ(back.identity.size, 123u);
    EXPECT_EQ(back.identity.mtimeNs, -5);
    EXPECT_EQ(back.identity.hash, first.identity.hash);
    EXPECT_EQ(back.season, season::Season::HardWinter);
    EXPECT_EQ(back.strength, 110);
    EXPECT_EQ(back.start, 7u) << "the later line wins";
    EXPECT_EQ(back.draws, 1ull << 40);
    EXPECT_EQ(back.stamp, (texset::FileStamp{9, 1700000000123456789}));
    EXPECT_EQ(loaded.records.at("000000000000001fa.bmp").strength, -1000);

    const std::filesystem::path file = m_folder / texset::manifestFileName;
    const Bytes whole = readBytes(file);
    Bytes torn = whole;
    torn.insert(torn.end(), {'x', '\t', '1'}); // a crash in the middle of an append
    writeBytes(file, torn);
    EXPECT_EQ(texset::readManifest(m_folder, program).records.size(), 2u);

    Bytes damaged = whole;
    damaged[damaged.size() - 30] ^= 1;
    writeBytes(file, damaged);
    loaded = texset::readManifest(m_folder, program);
    EXPECT_EQ(loaded.problem, "the manifest is damaged (line 4)");
    EXPECT_TRUE(loaded.records.empty());

    writeBytes(file, whole);
    loaded = texset::readManifest(m_folder, {"0.9.0", program.fingerprint});
    EXPECT_EQ(loaded.problem, "the manifest is from another version (" + program.version + ")");
    loaded = texset::readManifest(m_folder, {program.version, program.fingerprint + 1});
    EXPECT_EQ(loaded.problem, "the manifest is from another encoder or other season rules");
    std::filesystem::remove(file);
    EXPECT_EQ(texset::readManifest(m_folder, program).problem, "no manifest");

    // The hash tells one byte apart, wherever it is.
    std::vector<std::uint8_t> bytes(1000);
    std::iota(bytes.begin(), bytes.end(), 0);
    std::set<std::uint64_t> hashes;
    for (const std::size_t size : {0u, 1u, 31u, 32u, 33u, 1000u})
        hashes.insert(texset::contentHash({bytes.data(), size}));
    for (const std::size_t at : {0u, 7u, 31u, 500u, 999u}) {
        bytes[at] ^= 0x80;
        hashes.insert(texset::contentHash(bytes));
        bytes[at] ^= 0x80;
    }
    EXPECT_EQ(hashes.size(), 11u);
}

} // namespace
