// The saver program in this process over the recording window system and files, but with the real
// audio output: SDL's disk driver writes the mix into a file in real time. However the run ends (the
// renderer's window goes, a request to end the process, the session's end), the music it started has
// stopped once the run has returned, while the process, and with it the audio output, lives on.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "forms/fake_ui.h"
#include "music/sound_check.h"
#include "platform/audio.h"
#include "saver/fake_saver_system.h"
#include "saver/papyrant_b.h"

namespace pap {
namespace {

using namespace pap::testing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

TEST(SaverMusicTest, NothingPlaysAfterTheRunHoweverItEnds)
{
    const fs::path dir = fs::temp_directory_path() / ("papyrant-saver-music-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The output opens once, on first use, and stays open for the process.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "output.raw").c_str(), 1);
    const std::string wav = (dir / "tone.wav").string();
    ASSERT_TRUE(WriteWav(wav, Tone(800, kRate / 2)));
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    ASSERT_GT(audio->waveOutDeviceCount(), 0u) << "the disk driver gives one output";
    OutputTap tap((dir / "output.raw").string());

    struct Case {
        const char* name;
        std::optional<EndRequest> request;  // none: the renderer's window goes
    };
    for (const Case& c : {Case{"renderer gone", std::nullopt}, Case{"terminate", EndRequest::Terminate},
                          Case{"session ending", EndRequest::SessionEnding}}) {
        SCOPED_TRACE(c.name);
        Journal journal;
        FakeUi ui(&journal);
        FakeSaverSystem system(journal);
        system.settingsInFile.MusicType = 2;
        system.settingsInFile.MusicFile = wav;
        MusicSettingsRecord settings;
        forms::App app(ui, "/s", "/opt/papyrant");
        SaverProgram program(app, system, *audio, settings, SaverPaths{"WORK", "WORK/Papyrant.bmp", "WORK/*.*"},
                             gfx::Surface());

        // The loop's clock is virtual; each wait also lets a little real time pass for the music.
        const size_t from = tap.frames();
        const auto start = Clock::now();
        ui.onPump = [&] {
            std::this_thread::sleep_for(10ms);
            if (Clock::now() - start < 1200ms)
                ui.foreignTitles["Papyrant_VC"] = 777;
            else if (c.request)
                ui.requestEnd(*c.request);
            else
                ui.foreignTitles.erase("Papyrant_VC");
        };
        EXPECT_EQ(RunSaverProgram(program), 0);
        ASSERT_TRUE(app.ended());

        const size_t ended = tap.frames();
        std::vector<Stretch> stretches = Stretches(tap.readFrom(from), {800});
        double heard = 0;
        for (const Stretch& s : stretches)
            if (s.tone == 0)
                heard += s.length;
        EXPECT_GT(heard, 0.1) << "the tone plays during the run: " << Describe(stretches, {800});
        // What the output had taken in before the stop may still come out (a fifth of a second).
        std::this_thread::sleep_for(700ms);
        EXPECT_TRUE(IsSilent(tap.readFrom(ended + size_t(kRate) / 5))) << "the music outlived the run";
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace pap
