// Our snapshot files read by other decoders: giflib's DGifSlurp must give the frame's indices, colour
// table and transparent index; ImageMagick's convert (a child process, skipped when not installed)
// must give the frame's colours, with alpha 0 exactly where the transparent index is.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/anigif/snapshot_cases.h"
#include "controls/anigif/snapshot_encoder.h"
#include "support/giflib_memory.h"
#include "support/temp_directory.h"

namespace pap::anigif {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SnapshotCrossCheck, GiflibReadsTheFrame)
{
    std::mt19937 random(20261208);
    for (const test::SnapshotCase& c : test::SnapshotCases()) {
        SCOPED_TRACE(c.name());
        const GifStream source = test::SnapshotStream(c, random);
        const Bytes file = SnapshotFrame(source, 2);
        pap::test::ReadState state{&file, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&state, pap::test::ReadFromVector, &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        ASSERT_EQ(gif->ImageCount, 1);
        const SavedImage& image = gif->SavedImages[0];
        ASSERT_EQ(image.ImageDesc.Width, c.width);
        ASSERT_EQ(image.ImageDesc.Height, c.height);
        EXPECT_EQ(Bytes(image.RasterBits, image.RasterBits + size_t(c.width) * size_t(c.height)),
                  test::SliceOf(source, 2));
        ASSERT_NE(gif->SColorMap, nullptr);
        ASSERT_EQ(gif->SColorMap->ColorCount, 256);
        for (int i = 0; i < 256; ++i) {
            const GifColorType& colour = gif->SColorMap->Colors[i];
            ASSERT_EQ(uint32_t(colour.Red) << 16 | uint32_t(colour.Green) << 8 | colour.Blue,
                      source.palettes[1][size_t(i)]);
        }
        GraphicsControlBlock control{};
        const bool hasControl = DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK;
        EXPECT_EQ(hasControl, c.transparent);
        if (hasControl) {
            EXPECT_EQ(control.TransparentColor, source.frames[1].transparentIndex);
        }
        DGifCloseFile(gif, &error);
    }
}

TEST(SnapshotCrossCheck, ImageMagickShowsTheColours)
{
    if (std::system("command -v convert > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    pap::test::TempDirectory directory;
    std::mt19937 random(77);
    for (const test::SnapshotCase& c : test::SnapshotCases()) {
        SCOPED_TRACE(c.name());
        const GifStream source = test::SnapshotStream(c, random);
        const Bytes file = SnapshotFrame(source, 2);
        const std::string path = directory.file("snapshot.gif");
        pap::test::writeBytes(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));

        FILE* pipe = popen(("convert '" + path + "' -depth 8 rgba:-").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        Bytes rgba;
        uint8_t buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            rgba.insert(rgba.end(), buffer, buffer + n);
        ASSERT_EQ(pclose(pipe), 0);

        const Bytes indices = test::SliceOf(source, 2);
        ASSERT_EQ(rgba.size(), indices.size() * 4);
        for (size_t p = 0; p < indices.size(); ++p) {
            const uint8_t* pixel = rgba.data() + 4 * p;
            const bool clear = c.transparent && indices[p] == source.frames[1].transparentIndex;
            ASSERT_EQ(pixel[3], clear ? 0 : 255) << "pixel " << p;
            if (!clear) {
                ASSERT_EQ(uint32_t(pixel[0]) << 16 | uint32_t(pixel[1]) << 8 | pixel[2],
                          source.palettes[1][indices[p]])
                    << "pixel " << p;
            }
        }
    }
}

}  // namespace
}  // namespace pap::anigif
