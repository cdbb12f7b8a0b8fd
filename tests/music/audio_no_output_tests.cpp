// The audio services when no audio output can be opened (an SDL driver that does not exist stands for
// a machine without a sound card): no wave device, device opens fail, nothing crashes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "music/papyrant_bgm.h"

namespace pap {
namespace {

class NoOutputEnvironment final : public ::testing::Environment {
public:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "papyrant-no-such-driver", 1); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoOutputEnvironment);

TEST(NoOutputTest, NoWaveDeviceAndFailingOpens)
{
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    EXPECT_EQ(audio->waveOutDeviceCount(), 0u);
    EXPECT_EQ(audio->sendString("open cdaudio", nullptr, 0), 262u);
    // Without an output every open fails with a device error, whether the file exists or not.
    EXPECT_EQ(audio->sendString("open \"/proc/self/exe\" type MPEGVideo Alias MP3Play", nullptr, 0), 262u);
    EXPECT_EQ(audio->sendString("open \"/no/such.mp3\" type MPEGVideo Alias MP3Play", nullptr, 0), 262u);
    EXPECT_FALSE(audio->playSound("/no/such.wav", kSndAsync | kSndLoop));
    EXPECT_TRUE(audio->playSound(nullptr, 0));

    Papyrant_BGM bgm(*audio);
    bgm.CD_Open();
    bgm.CD_Watch(0);
    EXPECT_FALSE(bgm.CdWatchOn);
    EXPECT_EQ(bgm.MciReply, "The specified device is not open or is not recognized by MCI.");
    bgm.MP3_Open("/no/such.mp3");
    EXPECT_FALSE(bgm.MP3_IsPlaying());
    bgm.MP3_Watch();
    bgm.WAV_Play("/no/such.wav");
    bgm.WAV_Stop();
    bgm.CD_Close();
    bgm.MP3_Close();
}

TEST(NoOutputTest, ErrorTextsAndMalformedCommandsStillAnswer)
{
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    char text[256];
    ASSERT_TRUE(audio->errorString(276, text, sizeof text));
    EXPECT_STREQ(text, "The device driver is not ready.");
    ASSERT_TRUE(audio->errorString(276, text, 8));
    EXPECT_STREQ(text, "The dev");
    EXPECT_FALSE(audio->errorString(1, text, sizeof text));
    EXPECT_FALSE(audio->errorString(276, nullptr, 0));
    EXPECT_EQ(audio->sendString("", nullptr, 0), 267u);
    EXPECT_EQ(audio->sendString("open \"x", nullptr, 0), 294u);
    EXPECT_EQ(audio->sendString("status cdaudio mode", text, sizeof text), 263u);
}

}  // namespace
}  // namespace pap
