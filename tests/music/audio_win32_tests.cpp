// The Windows audio services over winmm (run under Wine): error numbers and texts, the reply buffer
// contract of our boundary, and, where the system has a wave output device, the WAV loop and the MP3
// path of the music module playing for real. The MP3 is made on the build host (PAPYRANT_TEST_MP3);
// the WAV is written here.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "music/papyrant_bgm.h"

namespace pap {
namespace {

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

// A 0.5 s 440 Hz square wave, 22.05 kHz mono 8-bit: small and needs no maths library.
bool WriteSquareWav(const std::string& path)
{
    std::vector<uint8_t> data(11025);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 25) % 2 ? 0xC0 : 0x40;
    std::ofstream out(path, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            out.put(static_cast<char>((value >> (8 * b)) & 0xFF));
    };
    out.write("RIFF", 4);
    put(36 + uint32_t(data.size()), 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(22050, 4);
    put(22050, 4);
    put(1, 2);
    put(8, 2);
    out.write("data", 4);
    put(uint32_t(data.size()), 4);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(out);
}

TEST(AudioWin32Test, ErrorsAndTheReplyBuffer)
{
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    char text[256];
    ASSERT_TRUE(audio->errorString(263, text, sizeof text));
    EXPECT_GT(std::strlen(text), 10u);
    EXPECT_FALSE(audio->errorString(263, nullptr, 0));

    // The alias the music module uses, not open (Windows says 263, Wine 281).
    char reply[64];
    std::strcpy(reply, "kept");
    uint32_t code = audio->sendString("status MP3Play mode", reply, sizeof reply);
    EXPECT_NE(code, 0u);
    EXPECT_STREQ(reply, "kept");
    ASSERT_TRUE(audio->errorString(code, text, sizeof text));
    EXPECT_NE(audio->sendString("frobnicate papyrant_nothing", nullptr, 0), 0u);

    Papyrant_BGM bgm(*audio);
    std::string message;
    EXPECT_EQ(bgm.MCI_Command("status MP3Play mode", message), int32_t(code));
    EXPECT_EQ(message, std::string(text));
    EXPECT_EQ(bgm.MCI_Query(""), "Error:-1");
}

TEST(AudioWin32Test, WavLoopsAndStops)
{
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    if (audio->waveOutDeviceCount() == 0)
        GTEST_SKIP() << "no wave output device";
    std::string path = TempPath("papyrant loop.wav");
    ASSERT_TRUE(WriteSquareWav(path));
    EXPECT_TRUE(audio->playSound(path.c_str(), kSndAsync | kSndLoop | kSndNoDefault));
    Sleep(1.7);
    EXPECT_TRUE(audio->playSound(nullptr, 0));
    Papyrant_BGM bgm(*audio);
    bgm.WAV_Play(path);
    Sleep(0.6);
    bgm.WAV_Stop();
    DeleteFileA(path.c_str());
}

TEST(AudioWin32Test, Mp3PlaysEndsAndRestarts)
{
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    if (audio->waveOutDeviceCount() == 0)
        GTEST_SKIP() << "no wave output device";
    const char* made = std::getenv("PAPYRANT_TEST_MP3");
    if (!made || !*made)
        GTEST_SKIP() << "no MP3 made on the build host";
    // The host's path on Wine's drive Z:, blanks and all.
    std::string path = std::string("Z:") + made;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    Papyrant_BGM bgm(*audio);
    bgm.MP3_Open(path);
    char length[32] = "";
    ASSERT_EQ(audio->sendString("status MP3Play length", length, sizeof length), 0u);
    EXPECT_GT(std::atoi(length), 500);
    EXPECT_TRUE(bgm.MP3_IsPlaying());
    Sleep(1.5);  // the 0.7 s file has ended
    EXPECT_FALSE(bgm.MP3_IsPlaying());
    bgm.MP3_Watch();
    EXPECT_TRUE(bgm.MP3_IsPlaying());
    Sleep(0.5);
    char position[32] = "";
    ASSERT_EQ(audio->sendString("status MP3Play position", position, sizeof position), 0u);
    EXPECT_GT(std::atoi(position), 200);
    bgm.MP3_Close();
    EXPECT_NE(audio->sendString("status MP3Play mode", nullptr, 0), 0u);
}

}  // namespace
}  // namespace pap
