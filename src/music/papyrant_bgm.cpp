#include "music/papyrant_bgm.h"

#include <cstring>
#include <exception>
#include <optional>

#include "base/conversions.h"

namespace pap {

namespace {

constexpr std::string_view kCdDevice = "cdaudio";

bool IsErrorText(std::string_view text) { return UpperCase(text).find("ERR") != std::string::npos; }

// The first characters of a reply buffer, up to its terminator.
std::string_view Leading(const char* buffer, size_t count) { return {buffer, strnlen(buffer, count)}; }

}  // namespace

MusicKind ChooseMusic(int musicType, std::string_view musicFile)
{
    if (musicType == 1)
        return MusicKind::Cd;
    if (musicType != 2)
        return MusicKind::None;
    std::string ending = UpperCase(musicFile.substr(musicFile.size() < 3 ? 0 : musicFile.size() - 3));
    if (ending == "WAV")
        return MusicKind::Wav;
    if (ending == "MP3")
        return MusicKind::Mp3;
    return MusicKind::None;
}

int32_t Papyrant_BGM::MCI_Command(const std::string& command, std::string& reply)
{
    if (command.empty()) {
        reply = kNoCommandText;
        return -1;
    }
    std::array<char, kReplyLength> buffer{};
    uint32_t result = m_audio.sendString(command, buffer.data(), kReplyLength);
    if (result == 0) {
        reply = Leading(buffer.data(), buffer.size());
        return 0;
    }
    std::array<char, kErrorTextLength> text{};
    if (m_audio.errorString(result, text.data(), kErrorTextLength))
        reply = Leading(text.data(), text.size());
    else
        reply = kNoErrorText;
    return static_cast<int32_t>(result);
}

std::string Papyrant_BGM::MCI_Query(const std::string& command)
{
    int32_t code = MCI_Command(command, MciReply);
    if (code == 0)
        return MciReply;
    return "Error:" + std::to_string(code);
}

int32_t Papyrant_BGM::MCI_Play(const std::string& device, const std::string& from, const std::string& to)
{
    std::string command = "play " + device;
    if (!from.empty())
        command += " from " + from;
    if (!to.empty())
        command += " to " + to;
    return MCI_Command(command, MciReply);
}

void Papyrant_BGM::CD_Open()
{
    m_audio.sendString("open cdaudio", nullptr, 0);
    m_audio.sendString("set cdaudio time format tmsf", nullptr, 0);
}

void Papyrant_BGM::CD_Watch(int repeatTrack)
{
    CdWatchOn = true;
    try {
        std::string track = MCI_Query("status cdaudio current track");
        if (IsErrorText(track)) {
            CdWatchOn = false;
            return;
        }
        if (IsErrorText(MCI_Query("status cdaudio number of tracks"))) {
            CdWatchOn = false;
            return;
        }
        m_audio.sendString("status cdaudio mode", m_cdMode.data(), kCdModeLength);
        bool stopped = Leading(m_cdMode.data(), 7) == "stopped";

        if (repeatTrack == 0) {
            if (stopped)
                MCI_Play(std::string(kCdDevice), "", "");
            return;
        }
        std::optional<double> current = NumericPrefix(track);
        if (!current) {
            CdWatchOn = false;
            return;
        }
        if (stopped || *current != repeatTrack) {
            // A failed query gives "Error:<code>", which the play command refuses in turn; the next
            // tick asks and plays again, so a track beyond the disc stays silent without stopping
            // the poll.
            std::string position = MCI_Query("status cdaudio position track " + std::to_string(repeatTrack));
            MCI_Play(std::string(kCdDevice), position, "");
        }
    } catch (const std::exception&) {
        CdWatchOn = false;
    }
}

void Papyrant_BGM::CD_Close()
{
    m_audio.sendString("stop cdaudio", nullptr, 0);
    m_audio.sendString("close cdaudio", nullptr, 0);
}

void Papyrant_BGM::MP3_Open(const std::string& musicFile)
{
    if (m_audio.sendString("open \"" + musicFile + "\" type MPEGVideo Alias MP3Play", nullptr, 0) == 0)
        m_audio.sendString("play MP3Play", nullptr, 0);
}

bool Papyrant_BGM::MP3_IsPlaying()
{
    m_audio.sendString("status MP3Play mode", m_mp3Mode.data(), kMp3ModeLength);
    return Leading(m_mp3Mode.data(), 7) == "playing";
}

void Papyrant_BGM::MP3_Watch()
{
    if (MP3_IsPlaying())
        return;
    m_audio.sendString("stop MP3Play", nullptr, 0);
    m_audio.sendString("play MP3Play from 0", nullptr, 0);
}

void Papyrant_BGM::MP3_Close()
{
    m_audio.sendString("stop MP3Play", nullptr, 0);
    m_audio.sendString("close MP3Play", nullptr, 0);
}

void Papyrant_BGM::WAV_Play(const std::string& musicFile)
{
    if (m_audio.waveOutDeviceCount() > 0)
        m_audio.playSound(musicFile.c_str(), kSndAsync | kSndLoop);
}

void Papyrant_BGM::WAV_Stop() { m_audio.playSound(nullptr, 0); }

}  // namespace pap
