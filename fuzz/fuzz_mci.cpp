// Fuzz entry point of the MCI command interpreter of the Linux audio layer. The input is a script of
// command strings, one a line, run in turn against a device table whose players are small in-memory
// stand-ins (a three-track disc, a five-second file). The first byte picks the reply buffer's length.
// Every command must end in 0 or a known MCI error number, a reply must be terminated inside the
// buffer, and a failing command must leave the buffer alone.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/linux/mci_interpreter.h"

namespace {

using namespace pap::mci;

struct Cd final : CdPlayer {
    PlayerMode playerMode = PlayerMode::Stopped;
    uint32_t position = 0;
    uint32_t end = 0;
    bool discIn = true;
    std::optional<DiscToc> disc() override
    {
        if (!discIn)
            return std::nullopt;
        DiscToc toc;
        toc.tracks = {{0, true}, {150, false}, {300, true}};
        toc.leadOutSector = 450;
        return toc;
    }
    PlayerMode mode() override { return playerMode; }
    uint32_t positionSector() override { return position; }
    bool play(uint32_t from, uint32_t to) override
    {
        if (from >= to || to > 450)
            __builtin_trap();
        position = from;
        end = to;
        playerMode = PlayerMode::Playing;
        return true;
    }
    void stop() override { playerMode = PlayerMode::Stopped; }
    void pause() override { playerMode = PlayerMode::Paused; }
    void resume() override { playerMode = PlayerMode::Playing; }
    void seek(uint32_t sector) override
    {
        if (sector > 450)
            __builtin_trap();
        position = sector;
        playerMode = PlayerMode::Stopped;
    }
};

struct File final : FilePlayer {
    PlayerMode playerMode = PlayerMode::Stopped;
    uint32_t position = 0;
    uint32_t lengthMs() override { return 5000; }
    uint32_t positionMs() override { return position; }
    PlayerMode mode() override { return playerMode; }
    bool play(uint32_t from) override
    {
        if (from > 5000)
            __builtin_trap();
        position = from;
        playerMode = PlayerMode::Playing;
        return true;
    }
    void stop() override { playerMode = PlayerMode::Stopped; }
    void pause() override { playerMode = PlayerMode::Paused; }
    void resume() override { playerMode = PlayerMode::Playing; }
    void seek(uint32_t ms) override { position = ms; }
};

struct Factory final : PlayerFactory {
    int opened = 0;
    bool outputAvailable() override { return true; }
    std::unique_ptr<FilePlayer> openFile(const std::string& path, uint32_t& error) override
    {
        if (path.find("missing") != std::string::npos) {
            error = kErrFileNotFound;
            return nullptr;
        }
        return std::make_unique<File>();
    }
    std::unique_ptr<CdPlayer> openCd(uint32_t&) override
    {
        auto cd = std::make_unique<Cd>();
        cd->discIn = (++opened % 3) != 0;
        return cd;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    uint32_t replyLength = data[0] % 40;
    std::string_view script(reinterpret_cast<const char*>(data + 1), size - 1);

    Factory factory;
    Interpreter interpreter(factory);
    std::vector<char> reply(replyLength + 8);
    int commands = 0;
    while (!script.empty() && commands++ < 64) {
        size_t end = script.find('\n');
        std::string_view line = script.substr(0, end);
        script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);

        std::memset(reply.data(), 0x5A, reply.size());
        uint32_t error = interpreter.sendString(line, replyLength ? reply.data() : nullptr, replyLength);
        if (error != kOk && ErrorText(error) == nullptr)
            __builtin_trap();
        for (size_t i = replyLength; i < reply.size(); ++i)
            if (reply[i] != 0x5A)
                __builtin_trap();  // written past the buffer
        if (replyLength == 0)
            continue;
        if (error != kOk) {
            for (size_t i = 0; i < replyLength; ++i)
                if (reply[i] != 0x5A)
                    __builtin_trap();  // a failure touched the buffer
        } else if (std::memchr(reply.data(), '\0', replyLength) == nullptr) {
            __builtin_trap();
        }
    }
    return 0;
}
