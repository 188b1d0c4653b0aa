// Every file of data/malformed must fail cleanly: its status, a message naming it and the
// reason, and the output file left as it was.
#include "TestBitmaps.h"

#include "convlib/kovar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

struct MalformedCase
{
    const char *file;
    KovarStatus status;
    const char *reason; // part of the message after "<path>: "
};

void PrintTo(const MalformedCase &c, std::ostream *out)
{
    *out << c.file;
}

const MalformedCase kCases[] = {
    {"empty.bmp", KOVAR_ERROR_FORMAT, "file is empty"},
    {"wrong_magic.bmp", KOVAR_ERROR_FORMAT, "not a bitmap"},
    {"targa_given_as_texture.bmp", KOVAR_ERROR_FORMAT, "not a bitmap"},
    {"truncated_file_header.bmp", KOVAR_ERROR_FORMAT, "file is truncated: the file header"},
    {"truncated_info_header.bmp", KOVAR_ERROR_FORMAT, "file is truncated: the info header"},
    {"truncated_dxt1_top_level.bmp", KOVAR_ERROR_FORMAT, "file is truncated: the pixel data"},
    {"truncated_24bit_pixels.bmp", KOVAR_ERROR_FORMAT, "file is truncated: the pixel data"},
    {"offset_inside_headers.bmp", KOVAR_ERROR_FORMAT, "lies inside the headers"},
    {"offset_past_end.bmp", KOVAR_ERROR_FORMAT, "file is truncated: the pixel data"},
    {"width_zero.bmp", KOVAR_ERROR_DIMENSIONS, "width 0 is out of range (1 to 8192)"},
    {"height_zero.bmp", KOVAR_ERROR_DIMENSIONS, "height 0 is out of range"},
    {"width_8193.bmp", KOVAR_ERROR_DIMENSIONS, "width 8193 is out of range"},
    {"height_most_negative.bmp", KOVAR_ERROR_DIMENSIONS, "height 2147483648 is out of range"},
    {"width_overflowing_32bit_size.bmp", KOVAR_ERROR_DIMENSIONS, "width 2147483647"},
    {"depth_4.bmp", KOVAR_ERROR_UNSUPPORTED, "bit depth 4 is not supported"},
    {"depth_1.bmp", KOVAR_ERROR_UNSUPPORTED, "bit depth 1 is not supported"},
    {"depth_48.bmp", KOVAR_ERROR_UNSUPPORTED, "bit depth 48 is not supported"},
    {"compression_rle8.bmp", KOVAR_ERROR_UNSUPPORTED, "compression RLE8 is not supported"},
    {"compression_dxt2.bmp", KOVAR_ERROR_UNSUPPORTED, "compression 'DXT2' is not supported"},
    {"bitfields_24bit.bmp", KOVAR_ERROR_UNSUPPORTED, "bit fields with bit depth 24"},
    {"bitfields_overlapping_masks.bmp", KOVAR_ERROR_FORMAT, "colour masks are not valid"},
    {"bitfields_masks_missing.bmp", KOVAR_ERROR_FORMAT, "colour masks run into the pixel data"},
    {"os2_core_header.bmp", KOVAR_ERROR_UNSUPPORTED, "info header of 12 bytes is not supported"},
    {"palette_too_many_colours.bmp", KOVAR_ERROR_FORMAT, "a palette of 1000 colours"},
    {"palette_index_outside.bmp", KOVAR_ERROR_FORMAT,
     "pixel (2, 3) uses colour 5 but the palette has 2"},
    {"palette_past_pixel_offset.bmp", KOVAR_ERROR_FORMAT, "runs into the pixel data"},
    {"tga_empty.tga", KOVAR_ERROR_FORMAT, "file is empty"},
    {"tga_truncated_header.tga", KOVAR_ERROR_FORMAT, "file is truncated: the Targa header"},
    {"tga_truncated_pixels.tga", KOVAR_ERROR_FORMAT, "file is truncated: the pixel data"},
    {"tga_run_length.tga", KOVAR_ERROR_UNSUPPORTED, "not a 32-bit Targa image (image type 10"},
    {"tga_colour_mapped.tga", KOVAR_ERROR_UNSUPPORTED, "not a 32-bit Targa image (image type 1"},
    {"tga_16bit.tga", KOVAR_ERROR_UNSUPPORTED, "not a 32-bit Targa image (image type 2, 16"},
    {"tga_unknown_type.tga", KOVAR_ERROR_FORMAT, "not a Targa image"},
    {"tga_width_zero.tga", KOVAR_ERROR_DIMENSIONS, "width 0 is out of range"},
    {"tga_width_9000.tga", KOVAR_ERROR_DIMENSIONS, "width 9000 is out of range"},
    {"bitmap_given_as_targa.tga", KOVAR_ERROR_FORMAT, "not a Targa image"},
};

const std::filesystem::path kFolder = std::filesystem::path(TESSAVANE_TEST_DATA) / "malformed";

class MalformedFile : public testing::TestWithParam<MalformedCase>
{};

// Textures (.bmp) go in through TargaFromExtendedBitmap, Targa images (.tga) through
// TargaToExtendedBitmap; either way the output must survive untouched.
TEST_P(MalformedFile, FailsCleanly)
{
    const MalformedCase &c = GetParam();
    const std::string input = (kFolder / c.file).string();
    ASSERT_TRUE(std::filesystem::exists(input)) << input;
    kovartest::TempFolder folder;
    const std::string output = folder.file("output");
    const std::vector<std::uint8_t> previous = {'o', 'l', 'd'};
    kovartest::writeBytes(output, previous);

    char message[KOVAR_MESSAGE_SIZE] = {};
    const bool targa = std::filesystem::path(c.file).extension() == ".tga";
    const int status = targa ? TargaToExtendedBitmap(input.c_str(), output.c_str(), message, 11)
                             : TargaFromExtendedBitmap(output.c_str(), input.c_str(), message);

    EXPECT_EQ(status, c.status) << message;
    const std::string text = message;
    EXPECT_EQ(text.rfind(input + ": ", 0), 0u) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    EXPECT_EQ(kovartest::readBytes(output), previous);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"output"});
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedFile, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<MalformedCase> &info) {
                             std::string name = info.param.file;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// A broken file added to the folder without a row in the table would go untested.
TEST(MalformedFolder, EveryFileHasARow)
{
    std::set<std::string> listed;
    for (const MalformedCase &c : kCases)
        listed.insert(c.file);
    for (const auto &entry : std::filesystem::directory_iterator(kFolder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".bmp" || entry.path().extension() == ".tga") {
            EXPECT_TRUE(listed.count(name)) << name << " has no row";
        }
    }
}

} // namespace
