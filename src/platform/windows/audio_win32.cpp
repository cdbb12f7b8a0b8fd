// The audio services on Windows: winmm's mciSendStringA, mciGetErrorStringA, waveOutGetNumDevs and
// PlaySoundA. Texts cross in the ANSI code page; replies come back as UTF-8, cut on a character
// boundary when the UTF-8 form is longer than the caller's buffer. A failing command leaves the
// caller's reply buffer as it was. MCI devices and the sound player live in the process: they end with
// it, and an exit handler stops them first.

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/code_page.h"
#include "platform/audio.h"

namespace pap {

namespace {

// Copies UTF-8 text into a NUL-terminated buffer of length bytes, cutting before a character that
// does not fit.
void CopyUtf8(const std::string& text, char* buffer, uint32_t length)
{
    size_t count = text.size();
    if (count + 1 > length) {
        count = length - 1;
        while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
            --count;
    }
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
}

// Wine crashes while ending a process whose MPEGVideo device is still open (the exit code is kept, but
// the wine command dies of a segmentation fault), so everything is closed before the process ends.
void StopAllAtExit()
{
    PlaySoundA(nullptr, nullptr, 0);
    mciSendStringA("close all", nullptr, 0, nullptr);
}

class AudioSystemWin32 final : public AudioSystem {
public:
    AudioSystemWin32()
    {
        static std::once_flag registered;
        std::call_once(registered, [] { std::atexit(StopAllAtExit); });
    }

    uint32_t sendString(const std::string& command, char* reply, uint32_t replyLength) override
    {
        std::string ansi = ToAnsi(command);
        if (!reply || replyLength == 0)
            return mciSendStringA(ansi.c_str(), nullptr, 0, nullptr);
        std::vector<char> buffer(replyLength, '\0');
        MCIERROR result = mciSendStringA(ansi.c_str(), buffer.data(), replyLength, nullptr);
        if (result == 0)
            CopyUtf8(FromAnsi(std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))), reply, replyLength);
        return result;
    }

    bool errorString(uint32_t code, char* buffer, uint32_t length) override
    {
        if (!buffer || length == 0)
            return false;
        std::vector<char> text(length, '\0');
        if (!mciGetErrorStringA(code, text.data(), length))
            return false;
        CopyUtf8(FromAnsi(std::string(text.data(), strnlen(text.data(), text.size()))), buffer, length);
        return true;
    }

    uint32_t waveOutDeviceCount() override { return waveOutGetNumDevs(); }

    bool playSound(const char* nameOrNull, uint32_t flags) override
    {
        if (!nameOrNull)
            return PlaySoundA(nullptr, nullptr, flags) != FALSE;
        std::string ansi = ToAnsi(nameOrNull);
        return PlaySoundA(ansi.c_str(), nullptr, flags) != FALSE;
    }
};

}  // namespace

std::unique_ptr<AudioSystem> MakeAudioSystem() { return std::make_unique<AudioSystemWin32>(); }

}  // namespace pap
