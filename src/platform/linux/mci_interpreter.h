#pragma once

// The MCI command interpreter of the Linux audio layer: the table of open devices and their aliases,
// the devices "cdaudio" and "MPEGVideo" with their time formats, and the replies and error numbers as
// Windows' MCI gives them. The players below it are interfaces, so that the interpreter is tested over
// fakes; the real ones play through SDL2_mixer and read discs with libcdio.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mci_command.h"

namespace pap::mci {

enum class PlayerMode { Stopped, Playing, Paused };

// A file opened on the device "MPEGVideo". Positions in milliseconds.
class FilePlayer {
public:
    virtual ~FilePlayer() = default;
    virtual uint32_t lengthMs() = 0;
    // Where playback is or stopped; the length once the file has played to its end.
    virtual uint32_t positionMs() = 0;
    virtual PlayerMode mode() = 0;
    // Plays from a position to the end of the file; false when the output refuses.
    virtual bool play(uint32_t fromMs) = 0;
    // Stops and keeps the position.
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Stops and moves the position.
    virtual void seek(uint32_t ms) = 0;
};

// The table of contents of an audio CD. Sector numbers are logical (LSN, 0 = the start of the
// program area, 75 sectors a second).
struct DiscTrack {
    uint32_t startSector = 0;
    bool audio = true;
};
struct DiscToc {
    uint32_t firstTrack = 1;
    std::vector<DiscTrack> tracks;  // firstTrack, firstTrack + 1, ...
    uint32_t leadOutSector = 0;     // the end of the last track
};

// A CD drive, or a disc image standing in for one.
class CdPlayer {
public:
    virtual ~CdPlayer() = default;
    // The disc in the drive; empty without a drive, without a disc, or for a disc that holds no audio
    // track.
    virtual std::optional<DiscToc> disc() = 0;
    virtual PlayerMode mode() = 0;
    // The sector being heard, or where playback stopped (endSector once a play has run out).
    virtual uint32_t positionSector() = 0;
    // Plays the sectors [fromSector, endSector); false when the output refuses.
    virtual bool play(uint32_t fromSector, uint32_t endSector) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void seek(uint32_t sector) = 0;
};

// Opens the players. Errors are MCI error numbers.
class PlayerFactory {
public:
    virtual ~PlayerFactory() = default;
    // Whether the audio output can be opened (the first call opens it).
    virtual bool outputAvailable() = 0;
    virtual std::unique_ptr<FilePlayer> openFile(const std::string& path, uint32_t& error) = 0;
    virtual std::unique_ptr<CdPlayer> openCd(uint32_t& error) = 0;
};

class Interpreter {
public:
    explicit Interpreter(PlayerFactory& factory) : m_factory(factory) {}
    ~Interpreter();

    // Runs one command string; mciSendString's contract (platform/audio.h).
    uint32_t sendString(std::string_view command, char* reply, uint32_t replyLength);
    // The same, with the reply as text.
    uint32_t execute(std::string_view command, std::string& reply);
    // Closes every device, as "close all" does.
    void closeAll();

private:
    enum class DeviceKind { Cd, File };
    struct Device {
        DeviceKind kind = DeviceKind::File;
        std::string alias;
        TimeFormat timeFormat = TimeFormat::Milliseconds;
        std::unique_ptr<CdPlayer> cd;
        std::unique_ptr<FilePlayer> file;
    };

    uint32_t run(const Command& command, std::string& reply);
    uint32_t open(const Command& command);
    Device* find(std::string_view name);
    uint32_t runOn(Device& device, const Command& command, std::string& reply);
    uint32_t runOnCd(Device& device, const Command& command, std::string& reply);
    uint32_t runOnFile(Device& device, const Command& command, std::string& reply);

    PlayerFactory& m_factory;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Device>> m_devices;
};

}  // namespace pap::mci
