// tessavane-batch run as a program: outputs, exit statuses, messages, the preview sheet.
#include "BatchRun.h"

#include "platform/SettingsStore.h"
#include "preview/SeasonPreview.h"

#include <QImage>

#include <ostream>

#include <fstream>
#include <map>

namespace {

using namespace batchtest;

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
