// The C calls' failure contract (a status, a message naming the file in the caller's buffer,
// and outputs left as they were), and what the two format codes write.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/Dxt.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include <sys/stat.h>

#if defined(__SANITIZE_ADDRESS__)
#define TESSAVANE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSAVANE_TEST_ASAN 1
#endif
#endif
#ifdef TESSAVANE_TEST_ASAN
#include <cstdint>
#include <cstdlib>
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};

// A folder with a valid "targa.tga" and old versions of every output.
struct Workspace
{
    kovartest::TempFolder folder;
    std::string tga = folder.file("targa.tga");
    std::string texture = folder.file("texture.bmp");
    std::string colour = folder.file("main.bmp");
    std::string alpha = folder.file("alpha.bmp");
    std::string missing = folder.file("missing.bmp");
    std::string noFolder = folder.file("no/such/folder/out.bmp");
    std::string subFolder = folder.file("sub");
    std::string fifo = folder.file("pipe.bmp");

    Workspace()
    {
        std::filesystem::create_directory(subFolder);
        ::mkfifo(fifo.c_str(), 0600);
        kovartest::writeBytes(tga, kovar::encodeTarga(kovartest::patternImage(8, 8, true)));
        for (const std::string *path : {&texture, &colour, &alpha})
            kovartest::writeBytes(*path, kOld);
    }
};

struct FailureCase
{
    const char *name;
    std::function<int(Workspace &, char *)> call;
    KovarStatus status;
    std::function<std::string(const Workspace &)> messageStart;
};

void PrintTo(const FailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class Failure : public testing::TestWithParam<FailureCase>
{};

TEST_P(Failure, ReportsAndLeavesFilesAsTheyWere)
{
    const FailureCase &c = GetParam();
    Workspace work;
    const auto tgaBefore = kovartest::readBytes(work.tga);
    const auto entriesBefore = work.folder.entries();
    char message[KOVAR_MESSAGE_SIZE];
    std::memset(message, 'x', sizeof message);

    EXPECT_EQ(c.call(work, message), c.status);
    ASSERT_NE(std::memchr(message, '\0', sizeof message), nullptr);
    EXPECT_EQ(std::string(message).rfind(c.messageStart(work), 0), 0u) << message;
    for (const std::string *path : {&work.texture, &work.colour, &work.alpha})
        EXPECT_EQ(kovartest::readBytes(*path), kOld) << *path;
    EXPECT_EQ(kovartest::readBytes(work.tga), tgaBefore);
    EXPECT_EQ(work.folder.entries(), entriesBefore); // no temporary file left behind

    EXPECT_EQ(c.call(work, nullptr), c.status); // a null buffer gets nothing
}

INSTANTIATE_TEST_SUITE_P(
    Calls, Failure,
    testing::Values(
        FailureCase{"MissingTexture",
                    [](Workspace &w, char *m) {
                        return TargaFromExtendedBitmap(w.tga.c_str(), w.missing.c_str(), m);
                    },
                    KOVAR_ERROR_OPEN,
                    [](const Workspace &w) { return w.missing + ": cannot open for reading: "; }},
        FailureCase{"TextureIsAFolder",
                    [](Workspace &w, char *m) {
                        return TargaFromExtendedBitmap(w.tga.c_str(), w.subFolder.c_str(), m);
                    },
                    KOVAR_ERROR_OPEN,
                    [](const Workspace &w) { return w.subFolder + ": not a regular file"; }},
        // A FIFO would block the open until a writer comes: every reader refuses it first.
        FailureCase{"TextureIsAFifo",
                    [](Workspace &w, char *m) {
                        return TargaFromExtendedBitmap(w.tga.c_str(), w.fifo.c_str(), m);
                    },
                    KOVAR_ERROR_OPEN,
                    [](const Workspace &w) { return w.fifo + ": not a regular file"; }},
        FailureCase{"TargaIsAFifo",
                    [](Workspace &w, char *m) {
                        return TargaSplit(w.fifo.c_str(), w.colour.c_str(), w.alpha.c_str(), m);
                    },
                    KOVAR_ERROR_OPEN,
                    [](const Workspace &w) { return w.fifo + ": not a regular file"; }},
        FailureCase{"JoinedColourIsAFifo",
                    [](Workspace &w, char *m) {
                        return TargaJoin(w.tga.c_str(), w.fifo.c_str(), w.alpha.c_str(), m);
                    },
                    KOVAR_ERROR_OPEN,
                    [](const Workspace &w) { return w.fifo + ": not a regular file"; }},
        FailureCase{"OldTextureIsNotATarga",
                    [](Workspace &w, char *m) {
                        return TargaSplit(w.texture.c_str(), w.colour.c_str(), w.alpha.c_str(), m);
                    },
                    KOVAR_ERROR_FORMAT,
                    [](const Workspace &w) { return w.texture + ": file is truncated"; }},
        FailureCase{"SplitIntoAMissingFolderWritesNeitherPart",
                    [](Workspace &w, char *m) {
                        return TargaSplit(w.tga.c_str(), w.colour.c_str(), w.noFolder.c_str(), m);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) {
                        return w.noFolder + ": cannot create a temporary file beside it: ";
                    }},
        FailureCase{"SplitWithTheAlphaPathAFolderWritesNeitherPart",
                    [](Workspace &w, char *m) {
                        return TargaSplit(w.tga.c_str(), w.colour.c_str(), w.subFolder.c_str(), m);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) { return w.subFolder + ": cannot replace it: "; }},
        FailureCase{"SplitWithTheColourPathAFifoWritesNeitherPart",
                    [](Workspace &w, char *m) {
                        return TargaSplit(w.tga.c_str(), w.fifo.c_str(), w.alpha.c_str(), m);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) { return w.fifo + ": cannot replace it: "; }},
        FailureCase{"JoinWithABrokenColourBitmap",
                    [](Workspace &w, char *m) {
                        return TargaJoin(w.tga.c_str(), w.texture.c_str(), w.missing.c_str(), m);
                    },
                    KOVAR_ERROR_FORMAT, [](const Workspace &w) { return w.texture + ": "; }},
        FailureCase{"WriteIntoAMissingFolder",
                    [](Workspace &w, char *m) {
                        return TargaToExtendedBitmap(w.tga.c_str(), w.noFolder.c_str(), m, 11);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) { return w.noFolder + ": cannot create"; }},
        FailureCase{"WriteOverAFolder",
                    [](Workspace &w, char *m) {
                        return TargaToExtendedBitmap(w.tga.c_str(), w.subFolder.c_str(), m, 11);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) { return w.subFolder + ": cannot replace it"; }},
        FailureCase{"WriteOverAFifo",
                    [](Workspace &w, char *m) {
                        return TargaToExtendedBitmap(w.tga.c_str(), w.fifo.c_str(), m, 11);
                    },
                    KOVAR_ERROR_WRITE,
                    [](const Workspace &w) { return w.fifo + ": cannot replace it: "; }},
        FailureCase{"UnknownFormatCodeIsCheckedFirst",
                    [](Workspace &w, char *m) {
                        return TargaToExtendedBitmap(w.missing.c_str(), w.texture.c_str(), m, 13);
                    },
                    KOVAR_ERROR_ARGUMENT,
                    [](const Workspace &w) {
                        return w.texture +
                               ": format code 13 is not supported (11 and 12 are written)";
                    }},
        FailureCase{
            "FormatCodeBelowTheWrittenOnes",
            [](Workspace &w, char *m) {
                return TargaToExtendedBitmap(w.tga.c_str(), w.texture.c_str(), m, 10);
            },
            KOVAR_ERROR_ARGUMENT,
            [](const Workspace &w) { return w.texture + ": format code 10 is not supported"; }},
        FailureCase{
            "NegativeFormatCode",
            [](Workspace &w, char *m) {
                return TargaToExtendedBitmap(w.tga.c_str(), w.texture.c_str(), m, -12);
            },
            KOVAR_ERROR_ARGUMENT,
            [](const Workspace &w) { return w.texture + ": format code -12 is not supported"; }},
        FailureCase{
            "NullPath",
            [](Workspace &w, char *m) {
                return TargaFromExtendedBitmap(w.tga.c_str(), nullptr, m);
            },
            KOVAR_ERROR_ARGUMENT,
            [](const Workspace &) { return std::string("the source texture path is missing"); }},
        FailureCase{
            "EmptyPath",
            [](Workspace &w, char *m) { return TargaJoin(w.tga.c_str(), w.colour.c_str(), "", m); },
            KOVAR_ERROR_ARGUMENT,
            [](const Workspace &) { return std::string("the alpha bitmap path is empty"); }}),
    [](const auto &info) { return std::string(info.param.name); });

// A message longer than the buffer is cut to 1023 bytes without splitting a UTF-8 character,
// and nothing is written past the buffer.
TEST(KovarApi, LongMessageIsCutAtACharacterBoundaryInsideTheBuffer)
{
    std::string path = "/nowhere/";
    while (path.size() < 1016)
        path += "a";
    path += "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.bmp"; // "é": bytes 1016-1023 are one pair each
    char buffer[KOVAR_MESSAGE_SIZE + 16];
    std::memset(buffer, 'x', sizeof buffer);
    kovartest::TempFolder folder;
    const std::string tga = folder.file("targa.tga");

    EXPECT_EQ(TargaFromExtendedBitmap(tga.c_str(), path.c_str(), buffer), KOVAR_ERROR_OPEN);
    const std::size_t length = std::strlen(buffer);
    EXPECT_EQ(length, 1022u); // the two-byte character at bytes 1022-1023 does not fit
    EXPECT_EQ(std::string(buffer), path.substr(0, 1022));
    for (std::size_t i = KOVAR_MESSAGE_SIZE; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 'x') << i;
}

TEST(KovarApi, SuccessClearsTheMessage)
{
    Workspace work;
    char message[KOVAR_MESSAGE_SIZE] = "stale message";
    EXPECT_EQ(TargaToExtendedBitmap(work.tga.c_str(), work.texture.c_str(), message, 11), KOVAR_OK);
    EXPECT_STREQ(message, "");
}

// An output that is a link is replaced itself, by a regular file; the file it pointed to
// stays as it was. Of a split, both parts.
TEST(KovarApi, AnOutputThatIsALinkIsReplacedItself)
{
    Workspace work;
    const std::string real = work.folder.file("real.bmp");
    kovartest::writeBytes(real, kOld);
    char message[KOVAR_MESSAGE_SIZE];
    for (const std::string *link : {&work.texture, &work.colour, &work.alpha}) {
        std::filesystem::remove(*link);
        std::filesystem::create_symlink(real, *link);
    }
    EXPECT_EQ(TargaToExtendedBitmap(work.tga.c_str(), work.texture.c_str(), message, 11), KOVAR_OK)
        << message;
    EXPECT_EQ(TargaSplit(work.tga.c_str(), work.colour.c_str(), work.alpha.c_str(), message),
              KOVAR_OK)
        << message;
    for (const std::string *link : {&work.texture, &work.colour, &work.alpha})
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(*link)))
            << *link;
    EXPECT_EQ(kovartest::readBytes(real), kOld);
}

struct Written
{
    std::vector<std::uint8_t> bytes;
    kovar::Image back; // the top level, decoded
};

// `image` written through the C calls in the form `format` names, and read back.
Written writeTexture(const kovartest::TempFolder &folder, const kovar::Image &image, int format)
{
    const std::string tga = folder.file("targa.tga");
    const std::string texture = folder.file("texture" + std::to_string(format) + ".bmp");
    kovartest::writeBytes(tga, kovar::encodeTarga(image));
    char message[KOVAR_MESSAGE_SIZE];
    EXPECT_EQ(TargaToExtendedBitmap(tga.c_str(), texture.c_str(), message, format), KOVAR_OK)
        << message;
    std::vector<std::uint8_t> bytes = kovartest::readBytes(texture);
    kovar::Image back = kovar::decodeBitmap(bytes, texture);
    return {std::move(bytes), std::move(back)};
}

// The alpha of every texel of every level, in file order.
std::vector<std::uint8_t> alphaOfEveryLevel(const std::vector<std::uint8_t> &bytes,
                                            std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> alpha;
    std::size_t at = 74;
    for (;;) {
        kovar::Image level(width, height, "level");
        kovar::decodeDxt(kovar::DxtFormat::Dxt1, bytes.data() + at, width, height, level.data());
        for (std::size_t i = 3; i < level.byteCount(); i += 4)
            alpha.push_back(level.data()[i]);
        at += kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, width, height);
        if (width == 1 && height == 1)
            break;
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    EXPECT_EQ(at, bytes.size());
    return alpha;
}

// On a hard tile (gradients under heavy grain, so that no block is easy, with water, shores
// and land), code 12 writes the file code 11 writes but for the colours of its blocks: the same
// headers and FS70 block, the same size, the same water in every level, and a lower error.
TEST(KovarApi, BetterFormatDiffersFromTheUsualOneOnlyInBlockColours)
{
    kovar::Image tile = kovartest::patternImage(256, 256, true);
    const kovar::Image grain = kovartest::noiseImage(256, 256, 7);
    for (std::size_t i = 0; i < tile.byteCount(); ++i) {
        if (i % 4 != 3)
            tile.data()[i] = static_cast<std::uint8_t>(
                std::clamp(tile.data()[i] + grain.data()[i] % 49 - 24, 0, 255));
    }
    kovartest::TempFolder folder;
    const Written usual = writeTexture(folder, tile, KOVAR_FORMAT_DXT1_MIPMAPPED);
    const Written better = writeTexture(folder, tile, KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER);

    ASSERT_EQ(better.bytes.size(), usual.bytes.size());
    EXPECT_TRUE(std::equal(usual.bytes.begin(), usual.bytes.begin() + 74, better.bytes.begin()));
    EXPECT_NE(better.bytes, usual.bytes);
    EXPECT_EQ(alphaOfEveryLevel(better.bytes, 256, 256), alphaOfEveryLevel(usual.bytes, 256, 256));
    const double usualPsnr = kovartest::opaquePsnr(tile, usual.back);
    const double betterPsnr = kovartest::opaquePsnr(tile, better.back);
    EXPECT_GE(betterPsnr, usualPsnr) << "better " << betterPsnr << " dB, usual " << usualPsnr;
}

// Re-encoding each bundled sample tile, code 12 loses no more colour than code 11, and keeps it
// close.
TEST(KovarApi, BetterFormatIsNoWorseOnTheSampleTiles)
{
    int tiles = 0;
    for (const auto &entry : std::filesystem::directory_iterator(TESSAVANE_SOURCE_DIR "/samples")) {
        if (entry.path().extension() != ".bmp")
            continue;
        ++tiles;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string path = entry.path().string();
        const kovar::Image source = kovar::decodeBitmap(kovartest::readBytes(path), path);
        kovartest::TempFolder folder;
        const double usual = kovartest::opaquePsnr(
            source, writeTexture(folder, source, KOVAR_FORMAT_DXT1_MIPMAPPED).back);
        const double better = kovartest::opaquePsnr(
            source, writeTexture(folder, source, KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER).back);
        EXPECT_GE(better, usual) << "better " << better << " dB, usual " << usual;
        EXPECT_GT(better, 40.0);
    }
    EXPECT_EQ(tiles, 8);
}

#ifdef TESSAVANE_TEST_ASAN
constexpr std::uintptr_t kHide = 0x5A5A5A5A5A5A5A5Au;

// A block no pointer leads to: its address is kept only in hidden form.
[[gnu::noinline]] std::uintptr_t hiddenBlock()
{
    return reinterpret_cast<std::uintptr_t>(std::malloc(64)) ^ kHide;
}
#endif

// The library's tests run with leak detection on in sanitizer builds: a lost block is found.
TEST(KovarApi, LeakDetectionIsOnInSanitizerBuilds)
{
#ifdef TESSAVANE_TEST_ASAN
    const volatile std::uintptr_t hidden = hiddenBlock();
    const int found = __lsan_do_recoverable_leak_check();
    std::free(reinterpret_cast<void *>(hidden ^ kHide)); // so that the exit check finds nothing
    EXPECT_NE(found, 0) << "leak detection is off (ASAN_OPTIONS=detect_leaks=0?)";
#else
    GTEST_SKIP() << "not a sanitizer build";
#endif
}

} // namespace
