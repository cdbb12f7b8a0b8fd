#pragma once

// A recording fake of the platform's audio services: every call is logged with its text and buffer
// length, and MCI commands answer from a script (a command's replies are used in turn, the last one
// over and over). Like MCI, a failing command or a reply too long for the buffer leaves the buffer
// untouched.

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace pap::testing {

struct MciReplyScript {
    uint32_t code = 0;
    std::string text;
};

class RecordingAudio final : public AudioSystem {
public:
    std::vector<std::string> log;
    std::map<std::string, std::deque<MciReplyScript>> replies;
    std::map<uint32_t, std::string> errorTexts;  // numbers without an entry have no text
    uint32_t deviceCount = 1;

    // Scripts the replies of one command, used in turn.
    void answer(const std::string& command, std::vector<MciReplyScript> scripts)
    {
        replies[command] = std::deque<MciReplyScript>(scripts.begin(), scripts.end());
    }

    uint32_t sendString(const std::string& command, char* reply, uint32_t replyLength) override
    {
        log.push_back("send " + command + " | " + (reply ? std::to_string(replyLength) : "null"));
        MciReplyScript script;
        auto it = replies.find(command);
        if (it != replies.end() && !it->second.empty()) {
            script = it->second.front();
            if (it->second.size() > 1)
                it->second.pop_front();
        }
        if (script.code != 0 || !reply || replyLength == 0)
            return script.code;
        if (script.text.size() + 1 > replyLength)
            return 268;
        std::memcpy(reply, script.text.c_str(), script.text.size() + 1);
        return 0;
    }

    bool errorString(uint32_t code, char* buffer, uint32_t length) override
    {
        log.push_back("errorString " + std::to_string(code) + " | " + std::to_string(length));
        auto it = errorTexts.find(code);
        if (it == errorTexts.end() || it->second.size() + 1 > length)
            return false;
        std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
        return true;
    }

    uint32_t waveOutDeviceCount() override
    {
        log.push_back("waveOutGetNumDevs");
        return deviceCount;
    }

    bool playSound(const char* nameOrNull, uint32_t flags) override
    {
        log.push_back(std::string("playSound ") + (nameOrNull ? nameOrNull : "(null)") + " | " +
                      std::to_string(flags));
        return true;
    }
};

}  // namespace pap::testing
