#include "mci_interpreter.h"

#include <algorithm>
#include <cstring>

namespace pap::mci {

namespace {

// MSF positions count the two-second lead-in before the program area.
constexpr uint32_t kLeadInFrames = 2 * kFramesPerSecond;

std::string ModeText(PlayerMode mode)
{
    switch (mode) {
    case PlayerMode::Playing:
        return "playing";
    case PlayerMode::Paused:
        return "paused";
    case PlayerMode::Stopped:
        break;
    }
    return "stopped";
}

std::string TimeFormatText(TimeFormat format)
{
    switch (format) {
    case TimeFormat::Msf:
        return "msf";
    case TimeFormat::Tmsf:
        return "tmsf";
    case TimeFormat::Milliseconds:
        break;
    }
    return "milliseconds";
}

bool HasExtension(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash) && dot + 1 < path.size();
}

bool IsMpegVideoExtension(const std::string& path)
{
    std::string extension = Lower(path.substr(path.find_last_of('.') + 1));
    for (const char* known : {"mp3", "mp2", "mpa", "mpg", "mpeg", "wav", "ogg", "flac"})
        if (extension == known)
            return true;
    return false;
}

uint32_t MsFromFrames(uint32_t frames) { return static_cast<uint32_t>(uint64_t{frames} * 1000 / kFramesPerSecond); }

// Disc positions of one CD in the device's time format.
class DiscClock {
public:
    explicit DiscClock(const DiscToc& toc) : m_toc(toc) {}

    uint32_t lastTrack() const { return m_toc.firstTrack + static_cast<uint32_t>(m_toc.tracks.size()) - 1; }
    bool hasTrack(uint32_t track) const { return track >= m_toc.firstTrack && track <= lastTrack(); }
    uint32_t trackStart(uint32_t track) const { return m_toc.tracks[track - m_toc.firstTrack].startSector; }
    uint32_t trackEnd(uint32_t track) const
    {
        return track == lastTrack() ? m_toc.leadOutSector : trackStart(track + 1);
    }
    uint32_t discStart() const { return m_toc.tracks.front().startSector; }
    uint32_t discEnd() const { return m_toc.leadOutSector; }

    // The track that holds a sector; the first before it, the last at or past the lead-out.
    uint32_t trackOf(uint32_t sector) const
    {
        uint32_t track = m_toc.firstTrack;
        for (uint32_t t = m_toc.firstTrack; t <= lastTrack(); ++t)
            if (trackStart(t) <= sector)
                track = t;
        return track;
    }

    std::string position(uint32_t sector, TimeFormat format) const
    {
        switch (format) {
        case TimeFormat::Tmsf: {
            uint32_t track = trackOf(sector);
            return FormatTmsf(track, sector > trackStart(track) ? sector - trackStart(track) : 0);
        }
        case TimeFormat::Msf:
            return FormatMsf(sector + kLeadInFrames);
        case TimeFormat::Milliseconds:
            break;
        }
        return std::to_string(MsFromFrames(sector + kLeadInFrames));
    }

    std::string length(uint32_t frames, TimeFormat format) const
    {
        if (format == TimeFormat::Milliseconds)
            return std::to_string(MsFromFrames(frames));
        return FormatMsf(frames);
    }

    // A position written in the time format, as a sector; an MCI error when it is not one of this disc.
    uint32_t parse(const std::string& text, TimeFormat format, uint32_t& sector) const
    {
        uint64_t absolute = 0;
        if (format == TimeFormat::Tmsf) {
            std::optional<std::array<uint32_t, 4>> fields = ParseColonFields(text, 4);
            if (!fields)
                return kErrBadInteger;
            auto [track, minutes, seconds, frames] = *fields;
            if (!hasTrack(track))
                return kErrOutOfRange;
            sector = trackStart(track) + (minutes * 60 + seconds) * kFramesPerSecond + frames;
            return sector > discEnd() ? kErrOutOfRange : kOk;
        }
        if (format == TimeFormat::Msf) {
            std::optional<std::array<uint32_t, 4>> fields = ParseColonFields(text, 3);
            if (!fields)
                return kErrBadInteger;
            auto [minutes, seconds, frames, unused] = *fields;
            absolute = (uint64_t{minutes} * 60 + seconds) * kFramesPerSecond + frames;
        } else {
            std::optional<uint32_t> ms = ParseUnsigned(text);
            if (!ms)
                return kErrBadInteger;
            absolute = uint64_t{*ms} * kFramesPerSecond / 1000;
        }
        absolute = absolute > kLeadInFrames ? absolute - kLeadInFrames : 0;
        if (absolute > discEnd())
            return kErrOutOfRange;
        sector = static_cast<uint32_t>(absolute);
        return kOk;
    }

private:
    const DiscToc& m_toc;
};

}  // namespace

Interpreter::~Interpreter() { closeAll(); }

void Interpreter::closeAll()
{
    std::vector<std::unique_ptr<Device>> devices;
    {
        std::lock_guard lock(m_mutex);
        devices.swap(m_devices);
    }
    // Players stop and join their threads as they go.
    devices.clear();
}

uint32_t Interpreter::sendString(std::string_view command, char* reply, uint32_t replyLength)
{
    std::string text;
    uint32_t error = execute(command, text);
    if (error != kOk || !reply || replyLength == 0)
        return error;
    if (text.size() + 1 > replyLength)
        return kErrParamOverflow;
    std::memcpy(reply, text.c_str(), text.size() + 1);
    return kOk;
}

uint32_t Interpreter::execute(std::string_view command, std::string& reply)
{
    reply.clear();
    ParseResult parsed = Parse(command);
    if (parsed.error != kOk)
        return parsed.error;
    std::lock_guard lock(m_mutex);
    const Command& cmd = parsed.command;
    if (cmd.verb == Verb::Open)
        return open(cmd);
    if (Lower(cmd.device) == "all") {
        if (cmd.verb == Verb::Close) {
            m_devices.clear();
            return kOk;
        }
        if (cmd.verb == Verb::Stop) {
            for (auto& device : m_devices) {
                if (device->cd)
                    device->cd->stop();
                else
                    device->file->stop();
            }
            return kOk;
        }
        return kErrCannotUseAll;
    }
    Device* device = find(cmd.device);
    if (!device)
        return kErrInvalidDeviceName;
    if (cmd.verb == Verb::Close) {
        auto it = std::find_if(m_devices.begin(), m_devices.end(), [&](auto& d) { return d.get() == device; });
        m_devices.erase(it);
        return kOk;
    }
    return runOn(*device, cmd, reply);
}

Interpreter::Device* Interpreter::find(std::string_view name)
{
    std::string lower = Lower(name);
    for (auto& device : m_devices)
        if (Lower(device->alias) == lower)
            return device.get();
    return nullptr;
}

uint32_t Interpreter::open(const Command& command)
{
    std::string type = Lower(command.type);
    auto device = std::make_unique<Device>();
    if (type.empty()) {
        if (Lower(command.device) == "cdaudio")
            type = "cdaudio";
        else if (!HasExtension(command.device))
            return kErrInvalidDeviceName;
        else if (IsMpegVideoExtension(command.device))
            type = "mpegvideo";
        else
            return kErrExtensionNotFound;
    }
    if (type == "cdaudio") {
        device->kind = DeviceKind::Cd;
        device->timeFormat = TimeFormat::Msf;
    } else if (type == "mpegvideo" || type == "waveaudio") {
        device->kind = DeviceKind::File;
    } else {
        return kErrInvalidDeviceName;
    }
    device->alias = command.alias.empty() ? command.device : command.alias;
    if (Lower(device->alias) == "all")
        return kErrCannotUseAll;
    if (find(device->alias))
        return command.alias.empty() ? kErrDeviceOpen : kErrDuplicateAlias;
    if (!m_factory.outputAvailable())
        return kErrHardware;

    uint32_t error = kOk;
    if (device->kind == DeviceKind::Cd)
        device->cd = m_factory.openCd(error);
    else
        device->file = m_factory.openFile(command.device, error);
    if (!device->cd && !device->file)
        return error != kOk ? error : kErrCannotLoadDriver;
    m_devices.push_back(std::move(device));
    return kOk;
}

uint32_t Interpreter::runOn(Device& device, const Command& command, std::string& reply)
{
    return device.kind == DeviceKind::Cd ? runOnCd(device, command, reply) : runOnFile(device, command, reply);
}

uint32_t Interpreter::runOnCd(Device& device, const Command& command, std::string& reply)
{
    CdPlayer& cd = *device.cd;
    if (command.verb == Verb::Set) {
        device.timeFormat = *command.timeFormat;
        return kOk;
    }
    std::optional<DiscToc> toc = cd.disc();
    if (command.verb == Verb::Status) {
        switch (command.item) {
        case StatusItem::Mode:
            reply = toc ? ModeText(cd.mode()) : "not ready";
            return kOk;
        case StatusItem::Ready:
        case StatusItem::MediaPresent:
            reply = toc ? "true" : "false";
            return kOk;
        case StatusItem::TimeFormat:
            reply = TimeFormatText(device.timeFormat);
            return kOk;
        default:
            break;
        }
    }
    if (!toc || toc->tracks.empty())
        return kErrDeviceNotReady;
    DiscClock clock(*toc);

    switch (command.verb) {
    case Verb::Status:
        switch (command.item) {
        case StatusItem::NumberOfTracks:
            reply = std::to_string(toc->tracks.size());
            return kOk;
        case StatusItem::CurrentTrack:
            reply = std::to_string(clock.trackOf(cd.positionSector()));
            return kOk;
        case StatusItem::StartPosition:
            reply = clock.position(clock.discStart(), device.timeFormat);
            return kOk;
        case StatusItem::Position:
            if (command.track) {
                if (!clock.hasTrack(*command.track))
                    return kErrOutOfRange;
                reply = clock.position(clock.trackStart(*command.track), device.timeFormat);
            } else {
                reply = clock.position(cd.positionSector(), device.timeFormat);
            }
            return kOk;
        case StatusItem::Length:
            if (command.track) {
                if (!clock.hasTrack(*command.track))
                    return kErrOutOfRange;
                reply = clock.length(clock.trackEnd(*command.track) - clock.trackStart(*command.track),
                                     device.timeFormat);
            } else {
                reply = clock.length(clock.discEnd() - clock.discStart(), device.timeFormat);
            }
            return kOk;
        default:
            return kErrUnrecognizedKeyword;
        }
    case Verb::Play: {
        uint32_t from = cd.positionSector();
        // A disc that has played to its end starts again from its first track.
        if (from >= clock.discEnd())
            from = clock.discStart();
        uint32_t to = clock.discEnd();
        if (command.from)
            if (uint32_t error = clock.parse(*command.from, device.timeFormat, from))
                return error;
        if (command.to)
            if (uint32_t error = clock.parse(*command.to, device.timeFormat, to))
                return error;
        if (from >= to)
            return kErrOutOfRange;
        return cd.play(from, to) ? kOk : kErrHardware;
    }
    case Verb::Seek: {
        uint32_t sector = command.toEnd ? clock.discEnd() : clock.discStart();
        if (command.to)
            if (uint32_t error = clock.parse(*command.to, device.timeFormat, sector))
                return error;
        cd.seek(sector);
        return kOk;
    }
    case Verb::Stop:
        cd.stop();
        return kOk;
    case Verb::Pause:
        cd.pause();
        return kOk;
    case Verb::Resume:
        cd.resume();
        return kOk;
    default:
        return kErrUnsupportedFunction;
    }
}

uint32_t Interpreter::runOnFile(Device& device, const Command& command, std::string& reply)
{
    FilePlayer& file = *device.file;
    auto parseMs = [&](const std::string& text, uint32_t& ms) -> uint32_t {
        std::optional<uint32_t> value = ParseUnsigned(text);
        if (!value)
            return kErrBadInteger;
        uint32_t length = file.lengthMs();
        if (length > 0 && *value > length)
            return kErrOutOfRange;
        ms = *value;
        return kOk;
    };
    switch (command.verb) {
    case Verb::Set:
        if (*command.timeFormat != TimeFormat::Milliseconds)
            return kErrBadTimeFormat;
        return kOk;
    case Verb::Status:
        switch (command.item) {
        case StatusItem::Mode:
            reply = ModeText(file.mode());
            return kOk;
        case StatusItem::Position:
        case StatusItem::Length:
            if (command.track)
                return kErrUnrecognizedKeyword;
            reply = std::to_string(command.item == StatusItem::Position ? file.positionMs() : file.lengthMs());
            return kOk;
        case StatusItem::Ready:
        case StatusItem::MediaPresent:
            reply = "true";
            return kOk;
        case StatusItem::TimeFormat:
            reply = "milliseconds";
            return kOk;
        case StatusItem::StartPosition:
            reply = "0";
            return kOk;
        default:
            return kErrUnrecognizedKeyword;
        }
    case Verb::Play: {
        // FIXME: "to" needs a stop inside the stream, which the mixer's music channel cannot place.
        if (command.to)
            return kErrUnsupportedFunction;
        uint32_t from = file.positionMs();
        uint32_t length = file.lengthMs();
        if (length > 0 && from >= length)
            from = 0;
        if (command.from)
            if (uint32_t error = parseMs(*command.from, from))
                return error;
        return file.play(from) ? kOk : kErrHardware;
    }
    case Verb::Seek: {
        uint32_t ms = command.toEnd ? file.lengthMs() : 0;
        if (command.to)
            if (uint32_t error = parseMs(*command.to, ms))
                return error;
        file.seek(ms);
        return kOk;
    }
    case Verb::Stop:
        file.stop();
        return kOk;
    case Verb::Pause:
        file.pause();
        return kOk;
    case Verb::Resume:
        file.resume();
        return kOk;
    default:
        return kErrUnsupportedFunction;
    }
}

}  // namespace pap::mci
