// The process's audio output through SDL2_mixer, and the sound player on one of its channels.

#include "audio_output_sdl.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace pap::audio {

namespace {

// 512 frames, 11.6 ms: short enough that a jump in the CD is heard at once.
constexpr int kChunkFrames = 512;

enum class OutputState { Closed, Open, Failed };

struct Output {
    std::mutex mutex;  // state, sound
    OutputState state = OutputState::Closed;
    Mix_Chunk* sound = nullptr;
    int soundChannel = -1;
    std::vector<void (*)()> shutdownHooks;

    std::mutex sourcesMutex;  // taken by the audio thread for every mix
    std::vector<PcmSource*> sources;
};

// Never destroyed: the exit handler closes the output while other static objects may be gone.
Output& TheOutput()
{
    static Output* output = new Output;
    return *output;
}

void PostMix(void*, Uint8* stream, int length)
{
    Output& output = TheOutput();
    std::lock_guard lock(output.sourcesMutex);
    for (PcmSource* source : output.sources)
        source->mixInto(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / (2 * kChannels));
}

void StopSoundLocked(Output& output)
{
    if (output.soundChannel >= 0)
        Mix_HaltChannel(output.soundChannel);
    if (output.sound)
        Mix_FreeChunk(output.sound);
    output.sound = nullptr;
    output.soundChannel = -1;
}

void Shutdown()
{
    Output& output = TheOutput();
    std::vector<void (*)()> hooks;
    {
        std::lock_guard lock(output.mutex);
        hooks = output.shutdownHooks;
    }
    for (auto hook : hooks)
        hook();
    std::lock_guard lock(output.mutex);
    if (output.state != OutputState::Open)
        return;
    StopSoundLocked(output);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    output.state = OutputState::Failed;
}

}  // namespace

bool OpenOutput()
{
    Output& output = TheOutput();
    std::lock_guard lock(output.mutex);
    if (output.state != OutputState::Closed)
        return output.state == OutputState::Open;
    output.state = OutputState::Failed;
    // SIGINT and SIGTERM belong to the program's event loop, not to SDL's quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mix_Init(MIX_INIT_MP3);
    // No format changes allowed: SDL converts to the driver's format, so the CD's 44.1 kHz 16-bit
    // stereo PCM can be added to the mix as it is read.
    if (Mix_OpenAudioDevice(kSampleRate, AUDIO_S16SYS, kChannels, kChunkFrames, nullptr, 0) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(4);
    Mix_SetPostMix(PostMix, nullptr);
    output.state = OutputState::Open;
    std::atexit(Shutdown);
    return true;
}

void AddSource(PcmSource* source)
{
    Output& output = TheOutput();
    std::lock_guard lock(output.sourcesMutex);
    output.sources.push_back(source);
}

void RemoveSource(PcmSource* source)
{
    Output& output = TheOutput();
    std::lock_guard lock(output.sourcesMutex);
    output.sources.erase(std::remove(output.sources.begin(), output.sources.end(), source), output.sources.end());
}

void AtShutdown(void (*function)())
{
    Output& output = TheOutput();
    std::lock_guard lock(output.mutex);
    output.shutdownHooks.push_back(function);
}

bool PlaySoundFile(const std::string& path, bool loop, bool async)
{
    if (!OpenOutput())
        return false;
    Output& output = TheOutput();
    int channel = -1;
    {
        std::lock_guard lock(output.mutex);
        StopSoundLocked(output);
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (!chunk)
            return false;
        // A looping chunk repeats inside the mixer, sample after sample, with no gap at the seam.
        channel = Mix_PlayChannel(-1, chunk, loop ? -1 : 0);
        if (channel < 0) {
            Mix_FreeChunk(chunk);
            return false;
        }
        output.sound = chunk;
        output.soundChannel = channel;
    }
    if (async)
        return true;
    while (true) {
        {
            std::lock_guard lock(output.mutex);
            if (output.soundChannel != channel || !Mix_Playing(channel))
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void StopSound()
{
    Output& output = TheOutput();
    std::lock_guard lock(output.mutex);
    if (output.state == OutputState::Open)
        StopSoundLocked(output);
}

}  // namespace pap::audio
