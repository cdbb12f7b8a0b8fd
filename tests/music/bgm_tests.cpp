// The music module over a recording fake of the audio services: the exact command strings and buffer
// lengths of every operation, the CD poll in each state of the disc, and the reply and error texts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/papyrant_bgm.h"
#include "music/recording_audio.h"

namespace pap {
namespace {

using testing::MciReplyScript;
using testing::RecordingAudio;
using Log = std::vector<std::string>;

constexpr uint32_t kNotReady = 276;
constexpr uint32_t kOutOfRange = 282;
constexpr uint32_t kUnrecognizedKeyword = 259;

const std::string kCurrentTrack = "send status cdaudio current track | 512";
const std::string kTrackCount = "send status cdaudio number of tracks | 512";
const std::string kMode = "send status cdaudio mode | 255";

// A disc in a given state: the replies of the three status queries of a tick.
void ScriptDisc(RecordingAudio& audio, const std::string& track, const std::string& mode)
{
    audio.answer("status cdaudio current track", {{0, track}});
    audio.answer("status cdaudio number of tracks", {{0, "12"}});
    audio.answer("status cdaudio mode", {{0, mode}});
}

TEST(MciCommandTest, EmptyCommandIsNotSent)
{
    RecordingAudio audio;
    Papyrant_BGM bgm(audio);
    std::string reply = "old";
    EXPECT_EQ(bgm.MCI_Command("", reply), -1);
    EXPECT_EQ(reply, "コマンド文字列が指定されていません");
    EXPECT_TRUE(audio.log.empty());
    EXPECT_EQ(bgm.MCI_Query(""), "Error:-1");
    EXPECT_EQ(bgm.MciReply, "コマンド文字列が指定されていません");
    EXPECT_TRUE(audio.log.empty());
}

TEST(MciCommandTest, RepliesAndErrorTexts)
{
    struct Case {
        const char* name;
        MciReplyScript script;
        bool haveErrorText;
        int32_t code;
        std::string reply;
        Log log;
    };
    const std::vector<Case> cases = {
        {"success", {0, "stopped"}, false, 0, "stopped", {"send status x mode | 512"}},
        {"empty success", {0, ""}, false, 0, "", {"send status x mode | 512"}},
        {"error with text", {263, ""}, true, 263, "The device is unknown.",
         {"send status x mode | 512", "errorString 263 | 256"}},
        {"error without text", {263, ""}, false, 263, "Error (文字列が取れません)",
         {"send status x mode | 512", "errorString 263 | 256"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAudio audio;
        audio.answer("status x mode", {c.script});
        if (c.haveErrorText)
            audio.errorTexts[263] = "The device is unknown.";
        Papyrant_BGM bgm(audio);
        std::string reply = "before";
        EXPECT_EQ(bgm.MCI_Command("status x mode", reply), c.code);
        EXPECT_EQ(reply, c.reply);
        EXPECT_EQ(audio.log, c.log);
    }
}

TEST(MciCommandTest, ReplyFillingTheWholeBuffer)
{
    RecordingAudio audio;
    std::string longest(511, 'r');
    audio.answer("status x position", {{0, longest}});
    Papyrant_BGM bgm(audio);
    std::string reply;
    EXPECT_EQ(bgm.MCI_Command("status x position", reply), 0);
    EXPECT_EQ(reply, longest);
}

TEST(MciQueryTest, ReplyOrErrorNumber)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{0, "4"}, {kNotReady, ""}});
    audio.errorTexts[kNotReady] = "The device driver is not ready.";
    Papyrant_BGM bgm(audio);
    EXPECT_EQ(bgm.MCI_Query("status cdaudio current track"), "4");
    EXPECT_EQ(bgm.MciReply, "4");
    EXPECT_EQ(bgm.MCI_Query("status cdaudio current track"), "Error:276");
    EXPECT_EQ(bgm.MciReply, "The device driver is not ready.");
}

TEST(MciPlayTest, CommandText)
{
    struct Case {
        const char* from;
        const char* to;
        const char* sent;
    };
    const Case cases[] = {
        {"", "", "send play cdaudio | 512"},
        {"03:00:00:00", "", "send play cdaudio from 03:00:00:00 | 512"},
        {"", "05", "send play cdaudio to 05 | 512"},
        {"1", "2", "send play cdaudio from 1 to 2 | 512"},
    };
    for (const Case& c : cases) {
        RecordingAudio audio;
        Papyrant_BGM bgm(audio);
        EXPECT_EQ(bgm.MCI_Play("cdaudio", c.from, c.to), 0);
        EXPECT_EQ(audio.log, Log{c.sent});
    }
}

TEST(CdTest, OpenAndCloseSendNoReplyBuffer)
{
    RecordingAudio audio;
    Papyrant_BGM bgm(audio);
    bgm.CD_Open();
    bgm.CD_Close();
    EXPECT_EQ(audio.log, (Log{"send open cdaudio | null", "send set cdaudio time format tmsf | null",
                              "send stop cdaudio | null", "send close cdaudio | null"}));
}

TEST(CdWatchTest, NoDiscStopsThePoll)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{kNotReady, ""}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(0);
    EXPECT_FALSE(bgm.CdWatchOn);
    EXPECT_EQ(audio.log, (Log{kCurrentTrack, "errorString 276 | 256"}));
}

TEST(CdWatchTest, FailedTrackCountStopsThePoll)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{0, "1"}});
    audio.answer("status cdaudio number of tracks", {{kNotReady, ""}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(3);
    EXPECT_FALSE(bgm.CdWatchOn);
    EXPECT_EQ(audio.log, (Log{kCurrentTrack, kTrackCount, "errorString 276 | 256"}));
}

TEST(CdWatchTest, ReplyContainingErrInAnyCaseCountsAsFailure)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{0, "error"}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(0);
    EXPECT_FALSE(bgm.CdWatchOn);
    EXPECT_EQ(audio.log, Log{kCurrentTrack});
}

TEST(CdWatchTest, EachStateOfTheDisc)
{
    const std::string kPosition3 = "send status cdaudio position track 3 | 512";
    struct Case {
        const char* name;
        int repeatTrack;
        const char* track;
        const char* mode;
        Log commandsAfterStatus;
    };
    const std::vector<Case> cases = {
        {"whole disc, stopped", 0, "5", "stopped", {"send play cdaudio | 512"}},
        {"whole disc, playing", 0, "5", "playing", {}},
        {"whole disc, paused", 0, "5", "paused", {}},
        {"whole disc, not ready", 0, "1", "not ready", {}},
        {"repeat 3, track 4 starts", 3, "4", "playing", {kPosition3, "send play cdaudio from 03:00:00:00 | 512"}},
        {"repeat 3, track 3 plays", 3, "3", "playing", {}},
        {"repeat 3, track 3 paused", 3, "3", "paused", {}},
        {"repeat 3, stopped on track 3", 3, "3", "stopped",
         {kPosition3, "send play cdaudio from 03:00:00:00 | 512"}},
        {"repeat 3, track 1 before the first tick", 3, "1", "stopped",
         {kPosition3, "send play cdaudio from 03:00:00:00 | 512"}},
        {"repeat 3, track numbers compared as numbers", 3, "03", "playing", {}},
        {"repeat 3, track 30 is not track 3", 3, "30", "playing",
         {kPosition3, "send play cdaudio from 03:00:00:00 | 512"}},
        {"mode compared on its first seven letters", 0, "2", "stoppedX", {"send play cdaudio | 512"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAudio audio;
        ScriptDisc(audio, c.track, c.mode);
        audio.answer("status cdaudio position track 3", {{0, "03:00:00:00"}});
        Papyrant_BGM bgm(audio);
        bgm.CD_Watch(c.repeatTrack);
        EXPECT_TRUE(bgm.CdWatchOn);
        Log expected{kCurrentTrack, kTrackCount, kMode};
        expected.insert(expected.end(), c.commandsAfterStatus.begin(), c.commandsAfterStatus.end());
        EXPECT_EQ(audio.log, expected);
    }
}

TEST(CdWatchTest, PositionIsHandedBackUnchanged)
{
    RecordingAudio audio;
    ScriptDisc(audio, "1", "playing");
    audio.answer("status cdaudio position track 12", {{0, "12:00:00:00 odd"}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(12);
    ASSERT_FALSE(audio.log.empty());
    EXPECT_EQ(audio.log.back(), "send play cdaudio from 12:00:00:00 odd | 512");
}

TEST(CdWatchTest, FailedPositionQueryIsRetriedEachTick)
{
    // Track 7 beyond the last track: its position query fails, the play is sent with the error text as
    // its position and fails too, and the next tick does the same while the poll keeps running.
    RecordingAudio audio;
    ScriptDisc(audio, "1", "stopped");
    audio.answer("status cdaudio position track 7", {{kOutOfRange, ""}});
    audio.answer("play cdaudio from Error:282", {{kUnrecognizedKeyword, ""}});
    Papyrant_BGM bgm(audio);
    const Log tick{kCurrentTrack, kTrackCount, kMode, "send status cdaudio position track 7 | 512",
                   "errorString 282 | 256", "send play cdaudio from Error:282 | 512", "errorString 259 | 256"};
    for (int i = 0; i < 3; ++i) {
        audio.log.clear();
        bgm.CD_Watch(7);
        EXPECT_TRUE(bgm.CdWatchOn);
        EXPECT_EQ(audio.log, tick);
    }
}

TEST(CdWatchTest, FailedModeQueryKeepsTheLastMode)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{0, "2"}});
    audio.answer("status cdaudio number of tracks", {{0, "3"}});
    audio.answer("status cdaudio mode", {{0, "stopped"}, {kNotReady, ""}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(0);
    EXPECT_EQ(audio.log.back(), "send play cdaudio | 512");
    audio.log.clear();
    bgm.CD_Watch(0);  // the mode query fails; "stopped" is still in the buffer
    EXPECT_EQ(audio.log, (Log{kCurrentTrack, kTrackCount, kMode, "send play cdaudio | 512"}));

    RecordingAudio playing;
    playing.answer("status cdaudio current track", {{0, "2"}});
    playing.answer("status cdaudio mode", {{0, "playing"}, {kNotReady, ""}});
    Papyrant_BGM other(playing);
    other.CD_Watch(0);
    other.CD_Watch(0);
    EXPECT_EQ(playing.log.size(), 6u);  // status queries only
}

TEST(CdWatchTest, FailedModeQueryBeforeAnyReplyMeansNoMode)
{
    RecordingAudio audio;
    audio.answer("status cdaudio current track", {{0, "3"}});
    audio.answer("status cdaudio mode", {{kNotReady, ""}});
    Papyrant_BGM bgm(audio);
    bgm.CD_Watch(0);
    bgm.CD_Watch(3);
    EXPECT_EQ(audio.log.size(), 6u);
}

TEST(Mp3Test, OpenQuotesThePathAndPlaysOnlyWhenOpened)
{
    RecordingAudio audio;
    Papyrant_BGM bgm(audio);
    bgm.MP3_Open("C:\\My Music\\a song.mp3");
    EXPECT_EQ(audio.log, (Log{"send open \"C:\\My Music\\a song.mp3\" type MPEGVideo Alias MP3Play | null",
                              "send play MP3Play | null"}));

    RecordingAudio failing;
    failing.answer("open \"/no/such file.mp3\" type MPEGVideo Alias MP3Play", {{275, ""}});
    Papyrant_BGM other(failing);
    other.MP3_Open("/no/such file.mp3");
    EXPECT_EQ(failing.log, Log{"send open \"/no/such file.mp3\" type MPEGVideo Alias MP3Play | null"});
}

TEST(Mp3Test, WatchRestartsFromTheBeginningUnlessPlaying)
{
    const Log kStatus{"send status MP3Play mode | 30"};
    const Log kRestart{"send status MP3Play mode | 30", "send stop MP3Play | null", "send play MP3Play from 0 | null"};
    struct Case {
        const char* name;
        MciReplyScript mode;
        Log log;
    };
    const std::vector<Case> cases = {
        {"playing", {0, "playing"}, kStatus},
        {"ended", {0, "stopped"}, kRestart},
        {"paused", {0, "paused"}, kRestart},
        {"open failed", {263, ""}, kRestart},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAudio audio;
        audio.answer("status MP3Play mode", {c.mode});
        Papyrant_BGM bgm(audio);
        bgm.MP3_Watch();
        EXPECT_EQ(audio.log, c.log);
    }
}

TEST(Mp3Test, EndOfFileIsRestartedAtTheNextTick)
{
    RecordingAudio audio;
    audio.answer("status MP3Play mode", {{0, "playing"}, {0, "stopped"}, {0, "playing"}});
    Papyrant_BGM bgm(audio);
    EXPECT_TRUE(bgm.MP3_IsPlaying());
    bgm.MP3_Watch();  // the file has ended
    bgm.MP3_Watch();
    EXPECT_EQ(audio.log, (Log{"send status MP3Play mode | 30", "send status MP3Play mode | 30",
                              "send stop MP3Play | null", "send play MP3Play from 0 | null",
                              "send status MP3Play mode | 30"}));
}

TEST(Mp3Test, Close)
{
    RecordingAudio audio;
    Papyrant_BGM bgm(audio);
    bgm.MP3_Close();
    EXPECT_EQ(audio.log, (Log{"send stop MP3Play | null", "send close MP3Play | null"}));
}

TEST(WavTest, LoopsOnlyWithAWaveDevice)
{
    RecordingAudio audio;
    Papyrant_BGM bgm(audio);
    bgm.WAV_Play("/music/loop.wav");
    bgm.WAV_Stop();
    EXPECT_EQ(audio.log, (Log{"waveOutGetNumDevs", "playSound /music/loop.wav | 9", "playSound (null) | 0"}));

    RecordingAudio silent;
    silent.deviceCount = 0;
    Papyrant_BGM none(silent);
    none.WAV_Play("/music/loop.wav");
    EXPECT_EQ(silent.log, Log{"waveOutGetNumDevs"});
}

TEST(ChooseMusicTest, TypeAndEnding)
{
    struct Case {
        int type;
        const char* file;
        MusicKind kind;
    };
    const Case cases[] = {
        {1, "", MusicKind::Cd},
        {1, "song.mp3", MusicKind::Cd},
        {2, "C:\\a\\song.MP3", MusicKind::Mp3},
        {2, "song.Mp3", MusicKind::Mp3},
        {2, "loop.wav", MusicKind::Wav},
        {2, "tune.mid", MusicKind::None},
        {2, "wav", MusicKind::Wav},
        {2, "av", MusicKind::None},
        {2, "", MusicKind::None},
        {2, "曲.mp3", MusicKind::Mp3},
        {0, "song.mp3", MusicKind::None},
        {3, "song.mp3", MusicKind::None},
        {-1, "", MusicKind::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseMusic(c.type, c.file), c.kind) << c.type << " " << c.file;
}

}  // namespace
}  // namespace pap
