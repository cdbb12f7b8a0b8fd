// The MPEGVideo player of one file (MP3, WAV and whatever else SDL2_mixer's music stream decodes).
// The mixer has one music stream: a file that starts playing stops the one that played before.

#include <SDL_mixer.h>
#include <sys/stat.h>

#include "audio_output_sdl.h"

namespace pap::audio {

namespace {

class MusicFilePlayer final : public mci::FilePlayer {
public:
    explicit MusicFilePlayer(Mix_Music* music) : m_music(music)
    {
        double seconds = Mix_MusicDuration(music);
        m_lengthMs = seconds > 0 ? static_cast<uint32_t>(seconds * 1000 + 0.5) : 0;
    }
    ~MusicFilePlayer() override
    {
        if (s_current == this) {
            Mix_HaltMusic();
            s_current = nullptr;
        }
        Mix_FreeMusic(m_music);
    }

    uint32_t lengthMs() override { return m_lengthMs; }

    uint32_t positionMs() override
    {
        if (mode() == mci::PlayerMode::Stopped)
            return m_stoppedAtMs;
        double seconds = Mix_GetMusicPosition(m_music);
        return seconds > 0 ? static_cast<uint32_t>(seconds * 1000) : 0;
    }

    mci::PlayerMode mode() override
    {
        if (s_current != this)
            return mci::PlayerMode::Stopped;
        if (m_paused)
            return mci::PlayerMode::Paused;
        if (Mix_PlayingMusic())
            return mci::PlayerMode::Playing;
        // Played to its end.
        s_current = nullptr;
        m_stoppedAtMs = m_lengthMs;
        return mci::PlayerMode::Stopped;
    }

    bool play(uint32_t fromMs) override
    {
        if (s_current && s_current != this)
            s_current->stop();
        m_paused = false;
        if (Mix_PlayMusic(m_music, 0) != 0) {
            s_current = nullptr;
            return false;
        }
        s_current = this;
        if (fromMs > 0)
            Mix_SetMusicPosition(fromMs / 1000.0);
        return true;
    }

    void stop() override
    {
        if (s_current != this)
            return;
        m_stoppedAtMs = positionMs();
        Mix_HaltMusic();
        s_current = nullptr;
        m_paused = false;
    }

    void pause() override
    {
        if (mode() != mci::PlayerMode::Playing)
            return;
        Mix_PauseMusic();
        m_paused = true;
    }

    void resume() override
    {
        if (s_current != this || !m_paused)
            return;
        Mix_ResumeMusic();
        m_paused = false;
    }

    void seek(uint32_t ms) override
    {
        stop();
        m_stoppedAtMs = ms;
    }

private:
    // The player whose file the mixer's music stream holds. The interpreter serialises every call.
    static inline MusicFilePlayer* s_current = nullptr;

    Mix_Music* m_music;
    uint32_t m_lengthMs = 0;
    uint32_t m_stoppedAtMs = 0;
    bool m_paused = false;
};

}  // namespace

std::unique_ptr<mci::FilePlayer> OpenMusicFile(const std::string& path, uint32_t& error)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = mci::kErrFileNotFound;
        return nullptr;
    }
    if (!OpenOutput()) {
        error = mci::kErrHardware;
        return nullptr;
    }
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    if (!music) {
        error = mci::kErrInvalidFile;
        return nullptr;
    }
    return std::make_unique<MusicFilePlayer>(music);
}

}  // namespace pap::audio
