#pragma once

// The one audio output of the process, through SDL2 and SDL2_mixer: opened on first use at 44.1 kHz,
// 16-bit stereo (SDL converts to whatever the driver offers), shared by the MPEGVideo files (the mixer's
// music stream), the sound player (a mixer channel) and the CD players (PCM sources added after the
// mix). Shut down when the process exits.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "mci_interpreter.h"

namespace pap::audio {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

// Sound added to the mixed output on the audio thread.
class PcmSource {
public:
    virtual ~PcmSource() = default;
    // Adds up to frameCount stereo frames of 16-bit samples into out (saturating).
    virtual void mixInto(int16_t* out, size_t frameCount) = 0;
};

// Opens the output unless it is open; false when no audio output can be opened (then every later call
// is false too, without trying again).
bool OpenOutput();

// Adds or removes a source; removeSource returns once the audio thread no longer uses it.
void AddSource(PcmSource* source);
void RemoveSource(PcmSource* source);

// The sound player: plays a WAV (or any file the mixer loads) on a channel of its own, looping until
// StopSound; a new sound replaces the one playing. Synchronous play waits for the end of the sound.
bool PlaySoundFile(const std::string& path, bool loop, bool async);
void StopSound();

// The MPEGVideo player of one file over the mixer's music stream; empty with an MCI error.
std::unique_ptr<mci::FilePlayer> OpenMusicFile(const std::string& path, uint32_t& error);

// The CD player over libcdio: the drive or image named by PAPYRANT_CDROM (a name ending in ".cue" is a
// BIN/CUE image), else the default drive.
std::unique_ptr<mci::CdPlayer> OpenCdPlayer(uint32_t& error);

// Registers a function that runs at process exit before the output closes (the MCI devices close
// there).
void AtShutdown(void (*function)());

}  // namespace pap::audio
