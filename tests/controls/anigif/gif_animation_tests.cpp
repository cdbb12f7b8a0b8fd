// The load sequence: what is decoded during the load and what waits for the deferred pass, which timer
// the control is to start, mirroring of frame 1 at once and of the rest later, and a failed load
// leaving the control empty.

#include <gtest/gtest.h>

#include "controls/anigif/gif_animation.h"
#include "controls/anigif/gif_builder.h"

namespace pap::anigif {
namespace {

using test::Bytes;

// Three frames side by side, 10, 20 and 30 pixels wide, in a 60-pixel-wide picture.
Bytes ThreeFrames()
{
    Bytes out;
    out.reserve(256);
    test::Header(out, "GIF89a", 60, 4, 0x81);
    test::Table(out, 4);
    unsigned left = 0;
    for (unsigned width : {10u, 20u, 30u}) {
        test::Gce(out, 1, 10);
        test::Descriptor(out, left, 0, width, 4, 0x00);
        test::SolidImage(out, width, 4, width / 10);
        left += width;
    }
    out.push_back(0x3B);
    return out;
}

std::vector<int32_t> Lefts(const GifStream& gif)
{
    std::vector<int32_t> lefts;
    for (const GifFrame& f : gif.frames)
        lefts.push_back(f.left);
    return lefts;
}

struct LoadCase {
    const char* what;
    Container container;
    int32_t delayMode;
    uint8_t mirror;
    // After the load:
    bool deferred;
    bool timer;
    int32_t decoded;
    std::vector<int32_t> lefts;
    bool keepsFile;
    // After the deferred pass (when there is one):
    bool timerLater;
    std::vector<int32_t> leftsLater;
};

TEST(GifAnimation, LoadDecodesMirrorsAndSaysWhichTimerToStart)
{
    const std::vector<LoadCase> cases = {
        {"live, every frame now", Container::Live, 0, 0, false, true, 3, {0, 10, 30}, false, false, {}},
        {"live, mirrored, every frame now", Container::Live, 0, kMirrorHorizontal, false, true, 3, {50, 30, 0}, false,
         false, {}},
        {"live, frame 1 first", Container::Live, 1, kMirrorHorizontal, true, false, 1, {50, 10, 30}, true, true,
         {50, 30, 0}},
        {"live, frame 1 first, not played", Container::Live, 2, 0, true, false, 1, {0, 10, 30}, true, false,
         {0, 10, 30}},
        {"design time", Container::Design, 0, kMirrorHorizontal, false, false, 1, {50, 10, 30}, true, false, {}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        GifAnimation animation;
        LoadSettings settings;
        settings.container = c.container;
        settings.delayMode = c.delayMode;
        settings.mirrorStyle = c.mirror;
        const LoadResult result = animation.LoadGifData(ThreeFrames(), settings);
        EXPECT_EQ(result.count, 3);
        EXPECT_EQ(result.startDeferredDecode, c.deferred);
        EXPECT_EQ(result.startFrameTimer, c.timer);
        EXPECT_EQ(animation.currentFrame(), 1);
        EXPECT_EQ(animation.gif().decodedFrames, c.decoded);
        EXPECT_EQ(Lefts(animation.gif()), c.lefts);
        EXPECT_EQ(!animation.gifData().empty(), c.keepsFile);
        if (!c.deferred) {
            EXPECT_FALSE(animation.FinishDeferredDecode());
            continue;
        }
        EXPECT_EQ(animation.FinishDeferredDecode(), c.timerLater);
        EXPECT_EQ(animation.gif().decodedFrames, 3);
        EXPECT_EQ(Lefts(animation.gif()), c.leftsLater);
        EXPECT_TRUE(animation.gifData().empty());
        EXPECT_EQ(animation.composer()->mirrorStyle(), c.mirror);
        EXPECT_FALSE(animation.FinishDeferredDecode()) << "the second pass runs once";
    }
}

TEST(GifAnimation, AFailedLoadLeavesNothingOfThePictureBefore)
{
    GifAnimation animation;
    LoadSettings settings;
    settings.delayMode = 0;
    ASSERT_EQ(animation.LoadGifData(ThreeFrames(), settings).count, 3);
    Bytes broken = ThreeFrames();
    broken[0] = 'X';
    EXPECT_EQ(animation.LoadGifData(broken, settings).count, 0);
    EXPECT_EQ(animation.gif().count(), 0);
    EXPECT_TRUE(animation.gif().strip.pixels.empty());
    EXPECT_EQ(animation.composer(), nullptr);
    EXPECT_EQ(animation.currentFrame(), 0);
    EXPECT_TRUE(animation.gifData().empty());
}

}  // namespace
}  // namespace pap::anigif
