// The audio services on Linux: MCI command strings answered by our interpreter (devices "cdaudio"
// through libcdio and "MPEGVideo" through SDL2_mixer), Windows' MCI error texts, and the sound player.
// Implemented: open/close/play/stop/pause/resume/seek/set time format/status as the interpreter
// documents; the sound player for files (async, loop, sync). Not implemented: notify callbacks (there
// is no callback window), "wait" (accepted and ignored), sound names from a registry, SND_MEMORY.

#include <algorithm>
#include <cstring>

#include "audio_output_sdl.h"
#include "mci_interpreter.h"
#include "platform/audio.h"

namespace pap {

namespace {

class SdlPlayerFactory final : public mci::PlayerFactory {
public:
    bool outputAvailable() override { return audio::OpenOutput(); }
    std::unique_ptr<mci::FilePlayer> openFile(const std::string& path, uint32_t& error) override
    {
        return audio::OpenMusicFile(path, error);
    }
    std::unique_ptr<mci::CdPlayer> openCd(uint32_t& error) override { return audio::OpenCdPlayer(error); }
};

// The process's device table, as MCI keeps one per process. Never destroyed; the devices are closed
// at process exit, before the output goes.
mci::Interpreter& ProcessInterpreter()
{
    static mci::Interpreter* interpreter = [] {
        auto* created = new mci::Interpreter(*new SdlPlayerFactory);
        audio::AtShutdown([] { ProcessInterpreter().closeAll(); });
        return created;
    }();
    return *interpreter;
}

class AudioSystemLinux final : public AudioSystem {
public:
    uint32_t sendString(const std::string& command, char* reply, uint32_t replyLength) override
    {
        return ProcessInterpreter().sendString(command, reply, replyLength);
    }

    bool errorString(uint32_t code, char* buffer, uint32_t length) override
    {
        const char* text = mci::ErrorText(code);
        if (!text || !buffer || length == 0)
            return false;
        size_t count = std::min<size_t>(std::strlen(text), length - 1);
        std::memcpy(buffer, text, count);
        buffer[count] = '\0';
        return true;
    }

    uint32_t waveOutDeviceCount() override { return audio::OpenOutput() ? 1 : 0; }

    bool playSound(const char* nameOrNull, uint32_t flags) override
    {
        if (!nameOrNull) {
            audio::StopSound();
            return true;
        }
        constexpr uint32_t kSupported = kSndAsync | kSndNoDefault | kSndLoop | kSndNoStop | kSndFileName;
        bool loop = (flags & kSndLoop) != 0;
        bool async = (flags & kSndAsync) != 0;
        // A loop that never ends cannot be waited for.
        if ((flags & ~kSupported) != 0 || (loop && !async) || (flags & kSndNoStop) != 0)
            return false;
        return audio::PlaySoundFile(nameOrNull, loop, async);
    }
};

}  // namespace

std::unique_ptr<AudioSystem> MakeAudioSystem() { return std::make_unique<AudioSystemLinux>(); }

}  // namespace pap
