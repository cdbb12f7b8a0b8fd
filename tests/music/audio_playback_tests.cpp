// Real playback on Linux through SDL's disk audio driver, which writes the mixed output in real time
// into a raw file: the music module over the platform's audio services, with the samples analysed.
// Tracks and files are short, so that the whole run takes about half a minute.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "music/papyrant_bgm.h"
#include "music/sound_check.h"

namespace pap {
namespace {

using namespace pap::testing;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::vector<double> kTones = {400, 800, 1600};
// 1.64 s, whole sectors; not a multiple of the 200 ms poll, so that the poll meets the start of
// track 3 at a different moment in each round.
constexpr size_t kTrackFrames = 123 * kSectorFrames;
constexpr double kTrackSeconds = 123.0 / 75;

fs::path& WorkDir()
{
    static fs::path dir;
    return dir;
}

// The disk driver and its file, for the whole process: the output opens once, on first use.
class DiskAudioEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        WorkDir() = fs::temp_directory_path() / ("papyrant-audio-" + std::to_string(getpid()));
        fs::create_directories(WorkDir() / "with blanks");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (WorkDir() / "output.raw").c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(WorkDir(), ignored);
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DiskAudioEnvironment);

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// Calls tick every interval, as the saver's timer does, for a while.
void Every(double interval, double seconds, const std::function<void()>& tick)
{
    auto start = Clock::now();
    for (int n = 0;; ++n) {
        auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval * n));
        if (due - start > std::chrono::duration<double>(seconds))
            break;
        std::this_thread::sleep_until(due);
        tick();
    }
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(audio->waveOutDeviceCount(), 0u) << "the disk driver gives one output";
    }
    OutputTap tap{(WorkDir() / "output.raw").string()};
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    Papyrant_BGM bgm{*audio};
};

TEST_F(PlaybackTest, WavLoopsSampleForSampleAndStops)
{
    Samples wav = Tone(1000, kRate / 2);  // 0.5 s
    std::string path = (WorkDir() / "with blanks" / "loop tone.wav").string();
    ASSERT_TRUE(WriteWav(path, wav));

    size_t mark = tap.frames();
    bgm.WAV_Play(path);
    Sleep(1.9);
    bgm.WAV_Stop();
    size_t stopped = tap.frames();
    Sleep(0.4);
    Samples out = tap.readFrom(mark);

    size_t start = 0;
    while (start < out.size() && out[start] == 0)
        ++start;
    ASSERT_LT(start, out.size()) << "nothing was played";
    size_t rounds = 3;
    ASSERT_GE(out.size() - start, rounds * wav.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < rounds * wav.size(); ++i)
        mismatches += out[start + i] != wav[i % wav.size()];
    EXPECT_EQ(mismatches, 0u) << "three rounds must repeat the file exactly, with nothing between";
    // Stopped: silent from shortly after the stop on (the driver's buffer and the file's stdio buffer).
    EXPECT_TRUE(IsSilent(out, stopped - mark + kRate / 5));
}

TEST_F(PlaybackTest, Mp3EndsAndIsRestartedWithinASecond)
{
    std::string wav = (WorkDir() / "tone.wav").string();
    std::string mp3 = (WorkDir() / "with blanks" / "tone one.mp3").string();
    ASSERT_TRUE(WriteWav(wav, Tone(800, kRate * 7 / 10)));  // 0.7 s
    std::string encode = "lame --quiet -b 128 '" + wav + "' '" + mp3 + "'";
    ASSERT_EQ(std::system(encode.c_str()), 0) << "lame is needed to make the MP3 (scripts/setup installs it)";

    size_t mark = tap.frames();
    bgm.MP3_Open(mp3);
    EXPECT_TRUE(bgm.MP3_IsPlaying());
    int restarts = 0;
    Every(1.0, 3.5, [&] {
        if (!bgm.MP3_IsPlaying())
            ++restarts;
        bgm.MP3_Watch();
    });
    bgm.MP3_Close();
    size_t closed = tap.frames();
    Sleep(0.4);
    Samples out = tap.readFrom(mark);

    EXPECT_GE(restarts, 2);
    std::vector<Stretch> stretches = Stretches(out, kTones);
    std::vector<Stretch> played;
    for (const Stretch& s : stretches)
        if (s.tone == 1)
            played.push_back(s);
    SCOPED_TRACE(Describe(stretches, kTones));
    ASSERT_GE(played.size(), 3u);
    for (size_t i = 0; i + 1 < played.size(); ++i) {
        double gap = played[i + 1].start - (played[i].start + played[i].length);
        EXPECT_LE(gap, 1.05) << "restart " << i + 1;
        EXPECT_NEAR(played[i].length, 0.7, 0.08);
        std::printf("[ sound    ] MP3 end to restart: %.0f ms\n", gap * 1000);
    }
    EXPECT_TRUE(IsSilent(out, closed - mark + kRate / 5));
}

class CdPlaybackTest : public PlaybackTest {
protected:
    void SetUp() override
    {
        PlaybackTest::SetUp();
        std::string base = (WorkDir() / "disc").string();
        ASSERT_TRUE(WriteBinCue(base, {Tone(400, kTrackFrames), Tone(800, kTrackFrames), Tone(1600, kTrackFrames)}));
        setenv("PAPYRANT_CDROM", (base + ".cue").c_str(), 1);
    }
    void TearDown() override { unsetenv("PAPYRANT_CDROM"); }

    // Opens the CD and polls it every 200 ms, as the saver does; returns the output meanwhile and
    // after CD_Close.
    Samples playFor(int repeatTrack, double seconds, size_t& closedAt)
    {
        size_t mark = tap.frames();
        bgm.CD_Open();
        Every(0.2, seconds, [&] {
            bgm.CD_Watch(repeatTrack);
            EXPECT_TRUE(bgm.CdWatchOn) << bgm.MciReply;
        });
        bgm.CD_Close();
        closedAt = tap.frames() - mark;
        Sleep(0.4);
        return tap.readFrom(mark);
    }
};

TEST_F(CdPlaybackTest, RepeatTrackJumpsBackWithinOneTick)
{
    size_t closed = 0;
    Samples out = playFor(2, 9.0, closed);
    std::vector<Stretch> stretches = Stretches(out, kTones);
    SCOPED_TRACE(Describe(stretches, kTones));

    // Leading silence, track 2 from the first tick on, then track 3 for at most a tick before track 2
    // again, over and over; never track 1, never a gap.
    size_t i = 0;
    while (i < stretches.size() && stretches[i].tone == -1)
        ++i;
    ASSERT_LT(i, stretches.size());
    EXPECT_LT(stretches[i].start, 0.3);
    // A jump back can come before anything of track 3 has been heard; two rounds of track 2 then run
    // together, so a stretch of track 2 counts as many rounds as it is long.
    int repeats = 0;
    for (; i < stretches.size(); ++i) {
        const Stretch& s = stretches[i];
        bool last = i + 1 == stretches.size() || stretches[i + 1].tone == -1;
        if (s.tone == -1)
            break;  // closed
        ASSERT_NE(s.tone, 0) << "track 1 must not be heard";
        ASSERT_NE(s.tone, -2) << "unexpected sound at " << s.start;
        if (s.tone == 1 && !last) {
            double rounds = std::round(s.length / kTrackSeconds);
            EXPECT_GE(rounds, 1);
            EXPECT_NEAR(s.length, rounds * kTrackSeconds, 0.05 * rounds);
            repeats += static_cast<int>(rounds);
        }
        if (s.tone == 1 && last)  // cut by the close: its whole rounds were each followed by a jump back
            repeats += static_cast<int>(s.length / kTrackSeconds);
        if (s.tone == 2 && !last) {
            EXPECT_LE(s.length, 0.23) << "track 3 heard too long before the jump back";
            std::printf("[ sound    ] track 3 heard for %.0f ms before track 2 again\n", s.length * 1000);
        }
    }
    EXPECT_GE(repeats, 3);
    EXPECT_TRUE(IsSilent(out, closed + kRate / 5));
}

TEST_F(CdPlaybackTest, WholeDiscPlaysThroughAndStartsAgain)
{
    size_t closed = 0;
    Samples out = playFor(0, 6.0, closed);
    std::vector<Stretch> stretches = Stretches(out, kTones);
    SCOPED_TRACE(Describe(stretches, kTones));

    std::vector<Stretch> sound;
    for (const Stretch& s : stretches)
        if (s.tone != -1)
            sound.push_back(s);
    ASSERT_GE(sound.size(), 4u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(sound[size_t(t)].tone, t);
        EXPECT_NEAR(sound[size_t(t)].length, kTrackSeconds, 0.05);
    }
    // Tracks follow each other without a gap; after the end the next tick starts the disc again.
    EXPECT_NEAR(sound[1].start, sound[0].start + sound[0].length, 0.015);
    EXPECT_NEAR(sound[2].start, sound[1].start + sound[1].length, 0.015);
    EXPECT_EQ(sound[3].tone, 0);
    double pause = sound[3].start - (sound[2].start + sound[2].length);
    EXPECT_LE(pause, 0.25);
    std::printf("[ sound    ] end of disc to start again: %.0f ms\n", pause * 1000);
    EXPECT_TRUE(IsSilent(out, closed + kRate / 5));
}

TEST_F(PlaybackTest, CdWithoutImageOrWithDataOnlyFailsTheFirstPoll)
{
    std::string data = (WorkDir() / "data").string();
    ASSERT_TRUE(WriteBinCue(data, {Samples(150 * kSectorFrames * 2, 0x1234)}, true));
    for (std::string image : {(WorkDir() / "missing.cue").string(), data + ".cue"}) {
        SCOPED_TRACE(image);
        setenv("PAPYRANT_CDROM", image.c_str(), 1);
        size_t mark = tap.frames();
        bgm.CD_Open();
        bgm.CD_Watch(0);
        EXPECT_FALSE(bgm.CdWatchOn);
        EXPECT_EQ(bgm.MciReply, "The device driver is not ready.");
        bgm.CD_Watch(2);
        EXPECT_FALSE(bgm.CdWatchOn);
        Sleep(0.3);
        bgm.CD_Close();
        EXPECT_TRUE(IsSilent(tap.readFrom(mark)));
    }
    unsetenv("PAPYRANT_CDROM");
}

// The process ends while a disc, a file and a sound play: the exit handler stops and joins everything,
// and the process ends at once with its own exit code.
TEST_F(CdPlaybackTest, MusicEndsWithTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string wav = (WorkDir() / "exit.wav").string();
    ASSERT_TRUE(WriteWav(wav, Tone(400, kRate)));
    auto playAndExit = [&] {
        std::unique_ptr<AudioSystem> system = MakeAudioSystem();
        Papyrant_BGM music(*system);
        music.CD_Open();
        music.CD_Watch(0);
        music.WAV_Play(wav);
        music.MP3_Open(wav);
        Sleep(0.3);
        bool playing = music.CdWatchOn && music.MP3_IsPlaying();
        std::exit(playing ? 7 : 1);
    };
    auto start = Clock::now();
    EXPECT_EXIT(playAndExit(), ::testing::ExitedWithCode(7), "");
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 5.0);
}

}  // namespace
}  // namespace pap
