#include "music/sound_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <sys/stat.h>

namespace pap::testing {

namespace {

constexpr size_t kWindowFrames = kRate / 100;
constexpr double kSilenceRms = 300;

void PutLe(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

Samples Tone(double hz, size_t frameCount, double amplitude)
{
    Samples samples(frameCount * 2);
    for (size_t i = 0; i < frameCount; ++i) {
        auto value = static_cast<int16_t>(std::lround(amplitude * 32767 * std::cos(2 * std::numbers::pi * hz * double(i) / kRate)));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    return samples;
}

bool WriteWav(const std::string& path, const Samples& samples)
{
    std::ofstream out(path, std::ios::binary);
    auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    // RIFF header, "fmt " chunk (PCM, 2 channels, 44100 Hz, 4 bytes a frame, 16 bits), "data" chunk.
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, 2, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * 4, 4);
    PutLe(out, 4, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(dataBytes));
    return bool(out);
}

bool WriteBinCue(const std::string& base, const std::vector<Samples>& tracks, bool dataOnly)
{
    std::ofstream bin(base + ".bin", std::ios::binary);
    std::ofstream cue(base + ".cue");
    std::string name = base.substr(base.find_last_of('/') + 1);
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    size_t sector = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        char index[32];
        std::snprintf(index, sizeof index, "%02zu:%02zu:%02zu", sector / 75 / 60, sector / 75 % 60, sector % 75);
        cue << "  TRACK " << (t < 9 ? "0" : "") << t + 1 << (dataOnly ? " MODE1/2352\n" : " AUDIO\n");
        cue << "    INDEX 01 " << index << "\n";
        Samples padded = tracks[t];
        size_t frames = padded.size() / 2;
        size_t sectors = (frames + kSectorFrames - 1) / kSectorFrames;
        padded.resize(sectors * kSectorFrames * 2, 0);
        bin.write(reinterpret_cast<const char*>(padded.data()), static_cast<std::streamsize>(padded.size() * 2));
        sector += sectors;
    }
    return bool(bin) && bool(cue);
}

size_t OutputTap::frames() const
{
    struct stat info {};
    if (stat(m_path.c_str(), &info) != 0)
        return 0;
    return static_cast<size_t>(info.st_size) / 4;
}

Samples OutputTap::readFrom(size_t frame) const
{
    std::ifstream in(m_path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(frame * 4));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string data = bytes.str();
    Samples samples(data.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(uint8_t(data[2 * i]) | (uint8_t(data[2 * i + 1]) << 8));
    return samples;
}

std::vector<Stretch> Stretches(const Samples& samples, const std::vector<double>& tones)
{
    std::vector<int> windows;
    size_t frames = samples.size() / 2;
    for (size_t start = 0; start + kWindowFrames <= frames; start += kWindowFrames) {
        double energy = 0;
        int crossings = 0;
        for (size_t i = start; i < start + kWindowFrames; ++i) {
            double left = samples[2 * i];
            energy += left * left;
            if (i > start && (samples[2 * i] >= 0) != (samples[2 * i - 2] >= 0))
                ++crossings;
        }
        if (std::sqrt(energy / kWindowFrames) < kSilenceRms) {
            windows.push_back(-1);
            continue;
        }
        // The nearest tone by ratio; a window in which one tone turns into another lies between them.
        double hz = crossings * 100.0 / 2;
        int tone = -2;
        double best = 1.45;
        for (size_t t = 0; t < tones.size(); ++t) {
            double ratio = hz > tones[t] ? hz / tones[t] : tones[t] / std::max(hz, 1.0);
            if (ratio < best) {
                best = ratio;
                tone = static_cast<int>(t);
            }
        }
        windows.push_back(tone);
    }
    std::vector<Stretch> stretches;
    for (size_t w = 0; w < windows.size(); ++w) {
        int tone = windows[w];
        bool lone = w > 0 && w + 1 < windows.size() && windows[w - 1] != tone && windows[w + 1] != tone;
        if (lone && !stretches.empty())
            tone = stretches.back().tone;
        if (!stretches.empty() && stretches.back().tone == tone) {
            stretches.back().length += 0.01;
            continue;
        }
        stretches.push_back({tone, double(w) * 0.01, 0.01});
    }
    return stretches;
}

bool IsSilent(const Samples& samples, size_t fromFrame)
{
    for (size_t i = fromFrame * 2; i < samples.size(); ++i)
        if (samples[i] > 64 || samples[i] < -64)
            return false;
    return true;
}

std::string Describe(const std::vector<Stretch>& stretches, const std::vector<double>& tones)
{
    std::ostringstream text;
    for (const Stretch& s : stretches) {
        if (s.tone >= 0)
            text << tones[size_t(s.tone)] << "Hz";
        else
            text << (s.tone == -1 ? "silence" : "other");
        text << "@" << s.start << "+" << s.length << " ";
    }
    return text.str();
}

}  // namespace pap::testing
