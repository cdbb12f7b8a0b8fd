// The Linux MCI interpreter over fake players: parsing, the device table and aliases, replies in each
// time format, the error numbers of malformed or impossible commands, and the reply buffer contract.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mci_command.h"
#include "mci_interpreter.h"

namespace pap::mci {
namespace {

// A disc of three audio tracks: 2 s, 3 s and 4 s, starting at sector 0.
DiscToc ThreeTrackDisc()
{
    DiscToc toc;
    toc.firstTrack = 1;
    toc.tracks = {{0, true}, {150, true}, {375, true}};
    toc.leadOutSector = 675;
    return toc;
}

struct FakeCd final : CdPlayer {
    std::optional<DiscToc> toc = ThreeTrackDisc();
    PlayerMode playerMode = PlayerMode::Stopped;
    uint32_t position = 0;
    std::vector<std::string>* log = nullptr;

    std::optional<DiscToc> disc() override { return toc; }
    PlayerMode mode() override { return playerMode; }
    uint32_t positionSector() override { return position; }
    bool play(uint32_t from, uint32_t end) override
    {
        log->push_back("cd play " + std::to_string(from) + " " + std::to_string(end));
        playerMode = PlayerMode::Playing;
        position = from;
        return true;
    }
    void stop() override
    {
        log->push_back("cd stop");
        playerMode = PlayerMode::Stopped;
    }
    void pause() override { playerMode = PlayerMode::Paused; }
    void resume() override { playerMode = PlayerMode::Playing; }
    void seek(uint32_t sector) override
    {
        log->push_back("cd seek " + std::to_string(sector));
        playerMode = PlayerMode::Stopped;
        position = sector;
    }
    ~FakeCd() override { log->push_back("cd closed"); }
};

struct FakeFile final : FilePlayer {
    PlayerMode playerMode = PlayerMode::Stopped;
    uint32_t position = 0;
    std::vector<std::string>* log = nullptr;

    uint32_t lengthMs() override { return 5000; }
    uint32_t positionMs() override { return position; }
    PlayerMode mode() override { return playerMode; }
    bool play(uint32_t from) override
    {
        log->push_back("file play " + std::to_string(from));
        playerMode = PlayerMode::Playing;
        position = from;
        return true;
    }
    void stop() override { playerMode = PlayerMode::Stopped; }
    void pause() override { playerMode = PlayerMode::Paused; }
    void resume() override { playerMode = PlayerMode::Playing; }
    void seek(uint32_t ms) override
    {
        playerMode = PlayerMode::Stopped;
        position = ms;
    }
};

struct FakeFactory final : PlayerFactory {
    std::vector<std::string> log;
    bool output = true;
    bool discInDrive = true;
    uint32_t fileError = 0;
    FakeCd* cd = nullptr;
    FakeFile* file = nullptr;

    bool outputAvailable() override { return output; }
    std::unique_ptr<FilePlayer> openFile(const std::string& path, uint32_t& error) override
    {
        log.push_back("open file " + path);
        if (fileError) {
            error = fileError;
            return nullptr;
        }
        auto player = std::make_unique<FakeFile>();
        player->log = &log;
        file = player.get();
        return player;
    }
    std::unique_ptr<CdPlayer> openCd(uint32_t&) override
    {
        auto player = std::make_unique<FakeCd>();
        player->log = &log;
        if (!discInDrive)
            player->toc.reset();
        cd = player.get();
        return player;
    }
};

class InterpreterTest : public ::testing::Test {
protected:
    FakeFactory factory;
    Interpreter mci{factory};

    uint32_t run(const std::string& command) { return mci.execute(command, m_reply); }
    // The reply of a command that must succeed.
    std::string ask(const std::string& command)
    {
        EXPECT_EQ(run(command), kOk) << command;
        return m_reply;
    }

private:
    std::string m_reply;
};

TEST_F(InterpreterTest, CdRepliesInEachTimeFormat)
{
    ASSERT_EQ(run("open cdaudio"), kOk);
    EXPECT_EQ(ask("status cdaudio time format"), "msf");
    EXPECT_EQ(ask("status cdaudio position"), "00:02:00");
    EXPECT_EQ(ask("status cdaudio position track 2"), "00:04:00");
    EXPECT_EQ(ask("status cdaudio length"), "00:09:00");
    EXPECT_EQ(ask("status cdaudio length track 3"), "00:04:00");

    ASSERT_EQ(run("set cdaudio time format tmsf"), kOk);
    EXPECT_EQ(ask("status cdaudio number of tracks"), "3");
    EXPECT_EQ(ask("status cdaudio current track"), "1");
    EXPECT_EQ(ask("status cdaudio mode"), "stopped");
    EXPECT_EQ(ask("status cdaudio position"), "01:00:00:00");
    EXPECT_EQ(ask("status cdaudio position track 3"), "03:00:00:00");
    EXPECT_EQ(ask("status cdaudio length track 2"), "00:03:00");
    factory.cd->position = 150 + 75 * 2 + 5;  // 2 s and 5 frames into track 2
    EXPECT_EQ(ask("status cdaudio current track"), "2");
    EXPECT_EQ(ask("status cdaudio position"), "02:00:02:05");

    ASSERT_EQ(run("set cdaudio time format milliseconds"), kOk);
    EXPECT_EQ(ask("status cdaudio position track 2"), "4000");
    EXPECT_EQ(ask("status cdaudio length"), "9000");
    EXPECT_EQ(ask("status cdaudio time format"), "milliseconds");
}

TEST_F(InterpreterTest, CdPlayFromPositionsOfEachFormat)
{
    ASSERT_EQ(run("open cdaudio"), kOk);
    ASSERT_EQ(run("set cdaudio time format tmsf"), kOk);
    struct Case {
        const char* command;
        const char* played;
    };
    const Case cases[] = {
        {"play cdaudio from 03:00:00:00", "cd play 375 675"},
        {"play cdaudio from 2", "cd play 150 675"},
        {"play cdaudio from 2:00:01:10 to 3", "cd play 235 375"},
        {"PLAY CDAUDIO FROM 1 TO 2 wait notify", "cd play 0 150"},
    };
    for (const Case& c : cases) {
        factory.log.clear();
        EXPECT_EQ(run(c.command), kOk) << c.command;
        EXPECT_EQ(factory.log, std::vector<std::string>{c.played}) << c.command;
    }
    ASSERT_EQ(run("set cdaudio time format msf"), kOk);
    factory.log.clear();
    EXPECT_EQ(run("play cdaudio from 00:04:00"), kOk);
    EXPECT_EQ(factory.log, std::vector<std::string>{"cd play 150 675"});
}

TEST_F(InterpreterTest, CdPlayWithoutFromGoesOnOrStartsAgainAfterTheEnd)
{
    ASSERT_EQ(run("open cdaudio"), kOk);
    factory.cd->position = 200;
    EXPECT_EQ(run("play cdaudio"), kOk);
    factory.cd->playerMode = PlayerMode::Stopped;
    factory.cd->position = 675;  // played to the end of the disc
    EXPECT_EQ(ask("status cdaudio mode"), "stopped");
    EXPECT_EQ(run("play cdaudio"), kOk);
    EXPECT_EQ(factory.log, (std::vector<std::string>{"cd play 200 675", "cd play 0 675"}));
    EXPECT_EQ(ask("status cdaudio mode"), "playing");
    EXPECT_EQ(run("pause cdaudio"), kOk);
    EXPECT_EQ(ask("status cdaudio mode"), "paused");
    EXPECT_EQ(run("resume cdaudio"), kOk);
    EXPECT_EQ(ask("status cdaudio mode"), "playing");
}

TEST_F(InterpreterTest, CdPositionsOutsideTheDisc)
{
    ASSERT_EQ(run("open cdaudio"), kOk);
    ASSERT_EQ(run("set cdaudio time format tmsf"), kOk);
    struct Case {
        const char* command;
        uint32_t error;
    };
    const Case cases[] = {
        {"status cdaudio position track 4", kErrOutOfRange},
        {"status cdaudio position track 0", kErrOutOfRange},
        {"status cdaudio length track 99", kErrOutOfRange},
        {"status cdaudio position track x", kErrBadInteger},
        {"status cdaudio position track 99999999999", kErrBadInteger},
        {"play cdaudio from 4", kErrOutOfRange},
        {"play cdaudio from 0", kErrOutOfRange},
        {"play cdaudio from 3:10:00:00", kErrOutOfRange},
        {"play cdaudio from 3 to 2", kErrOutOfRange},
        {"play cdaudio from Error:282", kErrBadInteger},
        {"play cdaudio from 1:2:3:4:5", kErrBadInteger},
        {"play cdaudio from 256", kErrBadInteger},
        {"play cdaudio from -1", kErrBadInteger},
        {"play cdaudio from 1::2", kErrBadInteger},
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(c.command), c.error) << c.command;
    EXPECT_EQ(factory.log, std::vector<std::string>{});
}

TEST_F(InterpreterTest, CdWithoutAPlayableDisc)
{
    factory.discInDrive = false;
    ASSERT_EQ(run("open cdaudio"), kOk);
    EXPECT_EQ(ask("status cdaudio mode"), "not ready");
    EXPECT_EQ(ask("status cdaudio media present"), "false");
    for (const char* command : {"status cdaudio current track", "status cdaudio number of tracks",
                                "status cdaudio position", "status cdaudio position track 1",
                                "status cdaudio length", "play cdaudio", "stop cdaudio"})
        EXPECT_EQ(run(command), kErrDeviceNotReady) << command;
    EXPECT_EQ(run("set cdaudio time format tmsf"), kOk);
}

TEST_F(InterpreterTest, DeviceTable)
{
    EXPECT_EQ(run("status cdaudio mode"), kErrInvalidDeviceName);
    ASSERT_EQ(run("open cdaudio"), kOk);
    EXPECT_EQ(run("open cdaudio"), kErrDeviceOpen);
    EXPECT_EQ(run("open cdaudio alias disc"), kOk);
    EXPECT_EQ(run("open cdaudio alias DISC"), kErrDuplicateAlias);
    EXPECT_EQ(ask("status Disc number of tracks"), "3");
    EXPECT_EQ(run("close disc"), kOk);
    EXPECT_EQ(run("status disc mode"), kErrInvalidDeviceName);
    EXPECT_EQ(run("close CDAudio"), kOk);
    EXPECT_EQ(run("close cdaudio"), kErrInvalidDeviceName);
    EXPECT_EQ(run("open cdaudio alias all"), kErrCannotUseAll);
    EXPECT_EQ(run("pause all"), kErrCannotUseAll);
    ASSERT_EQ(run("open cdaudio"), kOk);
    ASSERT_EQ(run("open \"/m/a b.mp3\" type MPEGVideo Alias MP3Play"), kOk);
    EXPECT_EQ(run("close all"), kOk);
    EXPECT_EQ(run("status mp3play mode"), kErrInvalidDeviceName);
    EXPECT_EQ(run("status cdaudio mode"), kErrInvalidDeviceName);
}

TEST_F(InterpreterTest, OpenChoosesTheDevice)
{
    struct Case {
        const char* command;
        uint32_t error;
        const char* opened;  // file handed to the player, or null
    };
    const Case cases[] = {
        {"open \"/m/my song.mp3\" type MPEGVideo Alias MP3Play", kOk, "open file /m/my song.mp3"},
        {"open /m/tune.MP3", kOk, "open file /m/tune.MP3"},
        {"open mpegvideo!/m/x.wav alias t2", kOk, "open file /m/x.wav"},
        {"open /m/x.wav type waveaudio alias t3", kOk, "open file /m/x.wav"},
        {"open /m/tune.mid alias t4", kErrExtensionNotFound, nullptr},
        {"open /m/noextension alias t5", kErrInvalidDeviceName, nullptr},
        {"open /m/a.mp3 type sequencer alias t6", kErrInvalidDeviceName, nullptr},
        {"open /m/a.mp3 type", kErrMissingStringArgument, nullptr},
        {"open /m/a.mp3 alias", kErrMissingStringArgument, nullptr},
        {"open /m/a.mp3 alias a alias b", kErrDuplicateFlags, nullptr},
        {"open mpegvideo!/m/a.mp3 type mpegvideo", kErrDuplicateFlags, nullptr},
        {"open /m/a.mp3 colour blue", kErrUnrecognizedKeyword, nullptr},
    };
    for (const Case& c : cases) {
        factory.log.clear();
        EXPECT_EQ(run(c.command), c.error) << c.command;
        EXPECT_EQ(factory.log, c.opened ? std::vector<std::string>{c.opened} : std::vector<std::string>{})
            << c.command;
    }
    EXPECT_EQ(ask("status /m/tune.mp3 mode"), "stopped");  // opened without alias: the file is the name
}

TEST_F(InterpreterTest, OpenFailures)
{
    factory.fileError = kErrFileNotFound;
    EXPECT_EQ(run("open \"/m/gone.mp3\" type MPEGVideo Alias MP3Play"), kErrFileNotFound);
    EXPECT_EQ(run("status MP3Play mode"), kErrInvalidDeviceName);
    factory.output = false;
    EXPECT_EQ(run("open cdaudio"), kErrHardware);
    EXPECT_EQ(run("status cdaudio mode"), kErrInvalidDeviceName);
}

TEST_F(InterpreterTest, FileDevice)
{
    ASSERT_EQ(run("open \"/m/a b.mp3\" type MPEGVideo Alias MP3Play"), kOk);
    EXPECT_EQ(ask("status MP3Play mode"), "stopped");
    EXPECT_EQ(ask("status MP3Play length"), "5000");
    EXPECT_EQ(run("play MP3Play"), kOk);
    EXPECT_EQ(ask("status mp3play mode"), "playing");
    factory.file->position = 1234;
    EXPECT_EQ(ask("status MP3Play position"), "1234");
    EXPECT_EQ(run("stop MP3Play"), kOk);
    EXPECT_EQ(ask("status MP3Play mode"), "stopped");
    EXPECT_EQ(run("play MP3Play from 0"), kOk);
    factory.file->playerMode = PlayerMode::Stopped;
    factory.file->position = 5000;  // played to its end
    EXPECT_EQ(run("play MP3Play"), kOk);
    EXPECT_EQ(factory.log, (std::vector<std::string>{"open file /m/a b.mp3", "file play 0", "file play 0",
                                                     "file play 0"}));
    EXPECT_EQ(run("pause MP3Play"), kOk);
    EXPECT_EQ(ask("status MP3Play mode"), "paused");

    struct Case {
        const char* command;
        uint32_t error;
    };
    const Case failures[] = {
        {"play MP3Play from 5001", kErrOutOfRange},
        {"play MP3Play from x", kErrBadInteger},
        {"play MP3Play to 100", kErrUnsupportedFunction},
        {"set MP3Play time format tmsf", kErrBadTimeFormat},
        {"status MP3Play current track", kErrUnrecognizedKeyword},
        {"status MP3Play position track 1", kErrUnrecognizedKeyword},
    };
    for (const Case& c : failures)
        EXPECT_EQ(run(c.command), c.error) << c.command;
    EXPECT_EQ(run("set MP3Play time format ms"), kOk);
    EXPECT_EQ(run("seek MP3Play to 2500"), kOk);
    EXPECT_EQ(ask("status MP3Play position"), "2500");
    EXPECT_EQ(run("seek MP3Play to start"), kOk);
    EXPECT_EQ(ask("status MP3Play position"), "0");
}

TEST_F(InterpreterTest, ReplyBufferContract)
{
    ASSERT_EQ(mci.sendString("open cdaudio", nullptr, 0), kOk);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(mci.sendString("status cdaudio mode", buffer, 8), kOk);
    EXPECT_STREQ(buffer, "stopped");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(mci.sendString("status cdaudio mode", buffer, 7), kErrParamOverflow);
    EXPECT_EQ(buffer[0], 'x');
    std::strcpy(buffer, "playing");
    EXPECT_EQ(mci.sendString("status cdaudio bogus", buffer, 8), kErrUnrecognizedKeyword);
    EXPECT_STREQ(buffer, "playing");  // a failing command leaves the buffer alone
    EXPECT_EQ(mci.sendString("stop cdaudio", buffer, 8), kOk);
    EXPECT_STREQ(buffer, "");  // a command without a reply gives empty text
    EXPECT_EQ(mci.sendString("status cdaudio mode", nullptr, 0), kOk);
    EXPECT_EQ(mci.sendString("status cdaudio mode", buffer, 0), kOk);
    EXPECT_EQ(mci.sendString(std::string("status cdaudio mode\0 garbage", 28), buffer, 8), kOk);
}

TEST(MciParseTest, MalformedCommandsGiveErrors)
{
    struct Case {
        std::string command;
        uint32_t error;
    };
    const std::vector<Case> cases = {
        {"", kErrMissingCommandString},
        {" \t ", kErrMissingCommandString},
        {std::string("\0play cdaudio", 13), kErrMissingCommandString},
        {"play", kErrMissingDeviceName},
        {"open \"\"", kErrMissingDeviceName},
        {"frobnicate cdaudio", kErrUnrecognizedCommand},
        {"info cdaudio product", kErrUnsupportedFunction},
        {"open \"unterminated", kErrNoClosingQuote},
        {"open \"a.mp3\"type mpegvideo", kErrExtraCharacters},
        {"open x!", kErrMissingDeviceName},
        {"open !x", kErrMissingDeviceName},
        {"status cdaudio", kErrMissingParameter},
        {"status cdaudio number of", kErrUnrecognizedKeyword},
        {"status cdaudio number", kErrUnrecognizedKeyword},
        {"status cdaudio current", kErrUnrecognizedKeyword},
        {"status cdaudio mode position", kErrFlagsNotCompatible},
        {"status cdaudio track 2", kErrUnrecognizedKeyword},
        {"status cdaudio mode track 2", kErrUnrecognizedKeyword},
        {"status cdaudio position track", kErrMissingParameter},
        {"status cdaudio position track 1 track 2", kErrDuplicateFlags},
        {"status cdaudio mode wait wait", kErrDuplicateFlags},
        {"play cdaudio from", kErrMissingParameter},
        {"play cdaudio to", kErrMissingParameter},
        {"play cdaudio from 1 from 2", kErrDuplicateFlags},
        {"play cdaudio backwards", kErrUnrecognizedKeyword},
        {"seek cdaudio", kErrMissingParameter},
        {"set cdaudio", kErrMissingParameter},
        {"set cdaudio time", kErrUnrecognizedKeyword},
        {"set cdaudio time format", kErrMissingParameter},
        {"set cdaudio time format smpte", kErrBadTimeFormat},
        {"set cdaudio time format weird", kErrBadConstant},
        {"set cdaudio door open", kErrUnsupportedFunction},
        {"stop cdaudio now", kErrUnrecognizedKeyword},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.command).error, c.error) << c.command;
}

TEST(MciParseTest, WordsNamesAndFlags)
{
    ParseResult open = Parse("  OPEN  \"C:\\My Music\\a  b.mp3\"\tTYPE MPEGVideo Alias MP3Play shareable ");
    ASSERT_EQ(open.error, kOk);
    EXPECT_EQ(open.command.verb, Verb::Open);
    EXPECT_EQ(open.command.device, "C:\\My Music\\a  b.mp3");
    EXPECT_EQ(open.command.type, "MPEGVideo");
    EXPECT_EQ(open.command.alias, "MP3Play");
    EXPECT_TRUE(open.command.shareable);

    ParseResult quotedBang = Parse("open \"a!b.mp3\"");
    ASSERT_EQ(quotedBang.error, kOk);
    EXPECT_EQ(quotedBang.command.device, "a!b.mp3");
    EXPECT_TRUE(quotedBang.command.type.empty());

    ParseResult play = Parse("play cdaudio from 03:00:00:00 notify");
    ASSERT_EQ(play.error, kOk);
    EXPECT_EQ(play.command.from, "03:00:00:00");
    EXPECT_FALSE(play.command.to);
    EXPECT_TRUE(play.command.notify);

    ParseResult status = Parse("status cdaudio Position Track 12");
    ASSERT_EQ(status.error, kOk);
    EXPECT_EQ(status.command.item, StatusItem::Position);
    EXPECT_EQ(status.command.track, 12u);

    ParseResult seek = Parse("seek x to end");
    ASSERT_EQ(seek.error, kOk);
    EXPECT_TRUE(seek.command.toEnd);
}

TEST(MciTimeTest, ColonFieldsAndFormats)
{
    using Fields = std::array<uint32_t, 4>;
    EXPECT_EQ(ParseColonFields("3", 4), (Fields{3, 0, 0, 0}));
    EXPECT_EQ(ParseColonFields("03:01:02:74", 4), (Fields{3, 1, 2, 74}));
    EXPECT_EQ(ParseColonFields("1:2", 4), (Fields{1, 2, 0, 0}));
    EXPECT_EQ(ParseColonFields("255:255:255:255", 4), (Fields{255, 255, 255, 255}));
    for (const char* bad : {"", ":", "1:", ":1", "1:2:3:4:5", "256", "a", "1 2", "+1", "1.5"})
        EXPECT_FALSE(ParseColonFields(bad, 4)) << bad;
    EXPECT_FALSE(ParseColonFields("1:2:3:4", 3));
    EXPECT_EQ(ParseUnsigned("4294967295"), 4294967295u);
    EXPECT_FALSE(ParseUnsigned("4294967296"));
    EXPECT_EQ(FormatTmsf(3, 75 * 61 + 7), "03:01:01:07");
    EXPECT_EQ(FormatMsf(150), "00:02:00");
    EXPECT_EQ(FormatMsf(75 * 60 * 120), "120:00:00");
}

TEST(MciErrorTextTest, KnownNumbersHaveTexts)
{
    for (uint32_t code : {kErrUnrecognizedCommand, kErrInvalidDeviceName, kErrDeviceNotReady, kErrOutOfRange,
                          kErrParamOverflow, kErrMissingDeviceName, kErrNoClosingQuote})
        ASSERT_NE(ErrorText(code), nullptr) << code;
    EXPECT_STREQ(ErrorText(kErrInvalidDeviceName), "The specified device is not open or is not recognized by MCI.");
    EXPECT_EQ(ErrorText(0), nullptr);
    EXPECT_EQ(ErrorText(12345), nullptr);
}

}  // namespace
}  // namespace pap::mci
