// The cdaudio player: an audio CD in a drive, or a BIN/CUE image, read with libcdio by a background
// thread into a ring of PCM that the audio thread adds to the mix. The position reported is that of
// the sound being mixed, so the track changes in the status replies when the listener hears it.

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_output_sdl.h"

namespace pap::audio {

namespace {

constexpr size_t kSectorBytes = CDIO_CD_FRAMESIZE_RAW;  // 2352: 588 stereo frames of 16 bits
constexpr uint32_t kReadSectors = 8;                      // one read of the background thread
constexpr uint32_t kPrefillSectors = 4;                   // read at once when a play starts
constexpr size_t kRingBytes = kSectorBytes * 75;          // one second of sound

void SilentLog(cdio_log_level_t, const char*) {}

bool EndsWithCue(const std::string& name)
{
    return name.size() >= 4 && mci::Lower(name.substr(name.size() - 4)) == ".cue";
}

int16_t Saturate(int32_t value) { return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)); }

class CdioPlayer final : public mci::CdPlayer, public PcmSource {
public:
    CdioPlayer(const char* source, driver_id_t driver) : m_driver(driver), m_ring(kRingBytes)
    {
        if (source)
            m_source = source;
        m_reader = std::thread([this] { readLoop(); });
        AddSource(this);
    }

    ~CdioPlayer() override
    {
        RemoveSource(this);
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_reader.join();
        if (m_cdio)
            cdio_destroy(m_cdio);
    }

    std::optional<mci::DiscToc> disc() override
    {
        std::lock_guard lock(m_cdioMutex);
        if (m_cdio && m_toc && cdio_get_media_changed(m_cdio) == 1)
            closeDiscLocked();
        if (!m_toc)
            probeLocked();
        return m_toc;
    }

    mci::PlayerMode mode() override
    {
        std::lock_guard lock(m_mutex);
        if (!m_playing)
            return mci::PlayerMode::Stopped;
        return m_paused ? mci::PlayerMode::Paused : mci::PlayerMode::Playing;
    }

    uint32_t positionSector() override
    {
        std::lock_guard lock(m_mutex);
        return positionLocked();
    }

    bool play(uint32_t fromSector, uint32_t endSector) override
    {
        // The first sectors are read before the switch, so that the new place is heard at once.
        uint32_t prefill = std::min(kPrefillSectors, endSector - fromSector);
        std::vector<uint8_t> first(prefill * kSectorBytes);
        readSectors(fromSector, prefill, first.data());

        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_ringHead = 0;
        m_ringSize = 0;
        pushLocked(first.data(), first.size());
        m_playFrom = fromSector;
        m_readSector = fromSector + prefill;
        m_endSector = endSector;
        m_consumedBytes = 0;
        m_playing = true;
        m_paused = false;
        m_wake.notify_all();
        return true;
    }

    void stop() override
    {
        std::lock_guard lock(m_mutex);
        stopLocked();
    }

    void pause() override
    {
        std::lock_guard lock(m_mutex);
        if (m_playing)
            m_paused = true;
    }

    void resume() override
    {
        std::lock_guard lock(m_mutex);
        m_paused = false;
    }

    void seek(uint32_t sector) override
    {
        std::lock_guard lock(m_mutex);
        stopLocked();
        m_position = sector;
    }

    // Audio thread.
    void mixInto(int16_t* out, size_t frameCount) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_playing || m_paused)
            return;
        size_t wanted = frameCount * 4;
        size_t bytes = std::min(wanted, m_ringSize);
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            size_t at = (m_ringHead + i) % kRingBytes;
            size_t next = (at + 1) % kRingBytes;
            auto sample = static_cast<int16_t>(m_ring[at] | (m_ring[next] << 8));
            out[i / 2] = Saturate(int32_t{out[i / 2]} + sample);
        }
        m_ringHead = (m_ringHead + bytes) % kRingBytes;
        m_ringSize -= bytes;
        m_consumedBytes += bytes;
        if (positionLocked() >= m_endSector && m_readSector >= m_endSector && m_ringSize == 0) {
            m_playing = false;
            m_paused = false;
            m_position = m_endSector;
        }
        m_wake.notify_all();
    }

private:
    uint32_t positionLocked() const
    {
        if (!m_playing)
            return m_position;
        return m_playFrom + static_cast<uint32_t>(m_consumedBytes / kSectorBytes);
    }

    void stopLocked()
    {
        if (m_playing)
            m_position = positionLocked();
        m_playing = false;
        m_paused = false;
        ++m_generation;
        m_ringSize = 0;
    }

    void pushLocked(const uint8_t* data, size_t size)
    {
        for (size_t i = 0; i < size && m_ringSize < kRingBytes; ++i) {
            m_ring[(m_ringHead + m_ringSize) % kRingBytes] = data[i];
            ++m_ringSize;
        }
    }

    void closeDiscLocked()
    {
        cdio_destroy(m_cdio);
        m_cdio = nullptr;
        m_toc.reset();
    }

    // Opens the drive or image and reads its table of contents; a disc without an audio track
    // counts as no disc.
    void probeLocked()
    {
        if (!m_cdio)
            m_cdio = cdio_open(m_source.empty() ? nullptr : m_source.c_str(), m_driver);
        if (!m_cdio)
            return;
        track_t first = cdio_get_first_track_num(m_cdio);
        track_t count = cdio_get_num_tracks(m_cdio);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
            closeDiscLocked();
            return;
        }
        mci::DiscToc toc;
        toc.firstTrack = first;
        bool anyAudio = false;
        for (track_t t = first; t < first + count; ++t) {
            lsn_t start = cdio_get_track_lsn(m_cdio, t);
            if (start == CDIO_INVALID_LSN || start < 0) {
                closeDiscLocked();
                return;
            }
            bool audio = cdio_get_track_format(m_cdio, t) == TRACK_FORMAT_AUDIO;
            anyAudio = anyAudio || audio;
            toc.tracks.push_back({static_cast<uint32_t>(start), audio});
        }
        lsn_t leadOut = cdio_get_track_lsn(m_cdio, CDIO_CDROM_LEADOUT_TRACK);
        if (!anyAudio || leadOut == CDIO_INVALID_LSN || leadOut < 0 ||
            static_cast<uint32_t>(leadOut) < toc.tracks.back().startSector) {
            closeDiscLocked();
            return;
        }
        toc.leadOutSector = static_cast<uint32_t>(leadOut);
        m_toc = std::move(toc);
    }

    bool isAudioSector(uint32_t sector) const
    {
        bool audio = false;
        for (const mci::DiscTrack& track : m_toc->tracks)
            if (track.startSector <= sector)
                audio = track.audio;
        return audio;
    }

    // Reads sectors into out; what cannot be read, and the sectors of data tracks, are silence.
    void readSectors(uint32_t sector, uint32_t count, uint8_t* out)
    {
        std::memset(out, 0, count * kSectorBytes);
        std::lock_guard lock(m_cdioMutex);
        if (!m_cdio || !m_toc)
            return;
        bool allAudio = true;
        for (uint32_t i = 0; i < count; ++i)
            allAudio = allAudio && isAudioSector(sector + i);
        if (allAudio && cdio_read_audio_sectors(m_cdio, out, static_cast<lsn_t>(sector), count) == DRIVER_OP_SUCCESS)
            return;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* at = out + i * kSectorBytes;
            if (!isAudioSector(sector + i) ||
                cdio_read_audio_sector(m_cdio, at, static_cast<lsn_t>(sector + i)) != DRIVER_OP_SUCCESS)
                std::memset(at, 0, kSectorBytes);
        }
    }

    void readLoop()
    {
        std::vector<uint8_t> buffer(kReadSectors * kSectorBytes);
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            bool wanted = m_playing && m_readSector < m_endSector &&
                          kRingBytes - m_ringSize >= kReadSectors * kSectorBytes;
            if (!wanted) {
                m_wake.wait(lock);
                continue;
            }
            uint64_t generation = m_generation;
            uint32_t sector = m_readSector;
            uint32_t count = std::min(kReadSectors, m_endSector - sector);
            lock.unlock();
            readSectors(sector, count, buffer.data());
            lock.lock();
            if (generation != m_generation)
                continue;
            pushLocked(buffer.data(), count * kSectorBytes);
            m_readSector = sector + count;
        }
    }

    std::string m_source;
    driver_id_t m_driver;

    std::mutex m_cdioMutex;  // the libcdio handle and the table of contents
    CdIo_t* m_cdio = nullptr;
    std::optional<mci::DiscToc> m_toc;

    std::mutex m_mutex;  // play state and ring, shared with the reader and the audio thread
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_playing = false;
    bool m_paused = false;
    uint64_t m_generation = 0;
    uint32_t m_position = 0;
    uint32_t m_playFrom = 0;
    uint32_t m_readSector = 0;
    uint32_t m_endSector = 0;
    uint64_t m_consumedBytes = 0;
    std::vector<uint8_t> m_ring;
    size_t m_ringHead = 0;
    size_t m_ringSize = 0;

    std::thread m_reader;
};

}  // namespace

std::unique_ptr<mci::CdPlayer> OpenCdPlayer(uint32_t& error)
{
    if (!OpenOutput()) {
        error = mci::kErrHardware;
        return nullptr;
    }
    static std::once_flag quiet;
    std::call_once(quiet, [] { cdio_log_set_handler(SilentLog); });
    const char* named = std::getenv("PAPYRANT_CDROM");
    if (named && *named)
        return std::make_unique<CdioPlayer>(named, EndsWithCue(named) ? DRIVER_BINCUE : DRIVER_UNKNOWN);
    return std::make_unique<CdioPlayer>(nullptr, DRIVER_DEVICE);
}

}  // namespace pap::audio
