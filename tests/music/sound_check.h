#pragma once

// Test sounds and the analysis of what the audio output wrote: 44.1 kHz 16-bit stereo throughout.
// Sounds are made here (tones, WAV files, BIN/CUE images of tone tracks); SDL's disk driver on Linux,
// or the recorder of a PulseAudio null sink under Wine, writes the mixed output into a raw file in
// real time, which OutputTap reads back.

#include <cstdint>
#include <string>
#include <vector>

namespace pap::testing {

constexpr int kRate = 44100;
constexpr size_t kSectorFrames = 588;  // one CD sector: 2352 bytes

using Samples = std::vector<int16_t>;  // interleaved left, right

// A cosine tone of frameCount frames, so that its first sample is not silent.
Samples Tone(double hz, size_t frameCount, double amplitude = 0.3);

bool WriteWav(const std::string& path, const Samples& samples);

// A BIN/CUE image "<base>.cue" + "<base>.bin" of audio tracks (each padded to whole sectors), or of
// one data track (mode1) when dataOnly is set.
bool WriteBinCue(const std::string& base, const std::vector<Samples>& tracks, bool dataOnly = false);

// A raw output file that grows in real time.
class OutputTap {
public:
    explicit OutputTap(std::string path) : m_path(std::move(path)) {}
    // Frames written so far.
    size_t frames() const;
    // The samples from a frame on.
    Samples readFrom(size_t frame) const;

private:
    std::string m_path;
};

// One stretch of the output: silence (tone -1), a tone of the list (its index), or other sound (-2).
struct Stretch {
    int tone = -1;
    double start = 0;   // seconds from the first sample analysed
    double length = 0;  // seconds
};

// Cuts the output into 10 ms windows, names each by its loudness and zero crossings, and joins equal
// neighbours; a single window between two stretches (a change inside a window) joins the one before.
std::vector<Stretch> Stretches(const Samples& samples, const std::vector<double>& tones);

// Whether every sample from a frame on is silent (within a small tolerance).
bool IsSilent(const Samples& samples, size_t fromFrame = 0);

std::string Describe(const std::vector<Stretch>& stretches, const std::vector<double>& tones);

}  // namespace pap::testing
