#pragma once

// The platform's multimedia services as the music player uses them: MCI command strings, their error
// texts, the count of wave output devices and the simple sound player. Windows passes them to winmm;
// Linux answers them with its own MCI command interpreter over SDL2_mixer and libcdio. Texts are
// UTF-8 on this side of the boundary.

#include <cstdint>
#include <memory>
#include <string>

namespace pap {

// Flags of playSound, with the values of PlaySoundA's SND_* flags.
constexpr uint32_t kSndSync = 0x0000;
constexpr uint32_t kSndAsync = 0x0001;
constexpr uint32_t kSndNoDefault = 0x0002;
constexpr uint32_t kSndLoop = 0x0008;
constexpr uint32_t kSndNoStop = 0x0010;
constexpr uint32_t kSndFileName = 0x00020000;

class AudioSystem {
public:
    virtual ~AudioSystem() = default;

    // mciSendStringA with no callback window: runs one MCI command string and returns 0 or an MCI
    // error number. A reply text is written, NUL-terminated, into reply when the command succeeds and
    // reply is not null (replyLength bytes, terminator included); a failing command leaves the buffer
    // as it was.
    virtual uint32_t sendString(const std::string& command, char* reply, uint32_t replyLength) = 0;

    // mciGetErrorStringA: the text of an MCI error number, NUL-terminated into buffer (length bytes,
    // terminator included). False when the number is not an MCI error or the buffer is too small.
    virtual bool errorString(uint32_t code, char* buffer, uint32_t length) = 0;

    // waveOutGetNumDevs: the number of wave output devices; 0 when no audio output can be opened.
    virtual uint32_t waveOutDeviceCount() = 0;

    // PlaySoundA with no module: plays the sound named by nameOrNull (a sound name, else a file) with
    // the kSnd* flags; kSndAsync | kSndLoop repeats it until the next call. A null name stops the
    // sound that is playing. False when the sound cannot be played.
    virtual bool playSound(const char* nameOrNull, uint32_t flags) = 0;
};

// The audio services of this platform. Every object returned serves the same process-wide devices:
// on both platforms an MCI alias opened through one is seen through the others, and whatever is still
// open or playing when the process ends is closed with it.
std::unique_ptr<AudioSystem> MakeAudioSystem();

}  // namespace pap
