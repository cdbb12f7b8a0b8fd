#pragma once

// Background music of a saver run: an audio CD, an MP3 file or a WAV file, looped by polling over the
// platform's MCI command strings and simple sound player. The saver screen calls the open operations
// when its run starts, CD_Watch every 200 ms and MP3_Watch every 1000 ms from its timers, and the close
// operations when the run ends. Nothing here shows a message; failures only leave CdWatchOn and
// MciReply behind.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/audio.h"

namespace pap {

// What a saver run plays, chosen from MusicType and the ending of MusicFile.
enum class MusicKind { None, Cd, Wav, Mp3 };

// MusicType 1 is the CD; MusicType 2 plays MusicFile when its last three characters, in upper case,
// are "WAV" or "MP3"; everything else plays nothing.
MusicKind ChooseMusic(int musicType, std::string_view musicFile);

// The reply text of MCI_Command for an empty command.
inline constexpr std::string_view kNoCommandText = "コマンド文字列が指定されていません";
// The reply text of MCI_Command when the platform has no text for an error number.
inline constexpr std::string_view kNoErrorText = "Error (文字列が取れません)";

// The module's state: one object for the process, over the platform's audio services.
class Papyrant_BGM {
public:
    static constexpr uint32_t kReplyLength = 512;
    static constexpr uint32_t kErrorTextLength = 256;
    static constexpr uint32_t kCdModeLength = 255;
    static constexpr uint32_t kMp3ModeLength = 30;

    explicit Papyrant_BGM(AudioSystem& audio) : m_audio(audio) {}

    // Sends one command with a 512-byte reply buffer. Returns 0 and the reply, or the MCI error
    // number and its text; -1 and a fixed text for an empty command, which is not sent.
    int32_t MCI_Command(const std::string& command, std::string& reply);
    // MCI_Command into MciReply; the reply, or "Error:" and the code on failure.
    std::string MCI_Query(const std::string& command);
    // "play <device>[ from <from>][ to <to>]" through MCI_Command.
    int32_t MCI_Play(const std::string& device, const std::string& from, const std::string& to);

    // Opens the CD and sets its time format to tmsf; playback starts with the first CD_Watch.
    void CD_Open();
    // One CD poll tick: (re)starts the disc, or track repeatTrack (0 = the whole disc), when it has
    // stopped or left that track. Leaves CdWatchOn false when the CD cannot be queried.
    void CD_Watch(int repeatTrack);
    void CD_Close();

    // Opens the file under the alias MP3Play and plays it.
    void MP3_Open(const std::string& musicFile);
    bool MP3_IsPlaying();
    // Restarts the file from its beginning when it no longer plays.
    void MP3_Watch();
    void MP3_Close();

    // Loops the WAV file asynchronously when the platform has a wave output device.
    void WAV_Play(const std::string& musicFile);
    void WAV_Stop();

    // Whether the CD poll should keep running; set by every CD_Watch.
    bool CdWatchOn = false;
    // Reply or error text of the last command sent through MCI_Command.
    std::string MciReply;

private:
    AudioSystem& m_audio;
    // Reply buffer of the CD mode query: kept from tick to tick, so a failed query leaves the last
    // mode in it.
    std::array<char, kCdModeLength> m_cdMode{};
    std::array<char, kMp3ModeLength> m_mp3Mode{};
};

}  // namespace pap
