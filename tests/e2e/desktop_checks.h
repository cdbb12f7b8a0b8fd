#pragma once

// What the saver scenarios of both platforms share: the desktop picture they show, the tests of what
// the renderer draws over it, and a process's CPU time and peak memory read from /proc.

#include <sys/types.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace pap::e2e {

inline constexpr int kDesktopWidth = 1024;
inline constexpr int kDesktopHeight = 768;
inline constexpr Rgb kDesktopQuadrants[4] = {{210, 50, 50}, {50, 190, 70}, {50, 70, 210}, {220, 200, 50}};

inline Rgb desktopQuadrant(int x, int y)
{
    return kDesktopQuadrants[(y >= kDesktopHeight / 2) * 2 + (x >= kDesktopWidth / 2)];
}

// Four quadrants of distinct colours with a fine pattern over them, so that a copy must be exact to
// the pixel to match, and the renderer's picture still shows the quadrants.
inline Screenshot desktopPicture()
{
    Screenshot shot;
    shot.width = kDesktopWidth;
    shot.height = kDesktopHeight;
    shot.rgb.resize(size_t(kDesktopWidth) * kDesktopHeight * 3);
    for (int y = 0; y < kDesktopHeight; ++y)
        for (int x = 0; x < kDesktopWidth; ++x) {
            const Rgb base = desktopQuadrant(x, y);
            const int fine = ((x * 7 + y * 13) % 17) - 8;
            uint8_t* p = &shot.rgb[(size_t(y) * kDesktopWidth + size_t(x)) * 3];
            p[0] = uint8_t(base.r + fine);
            p[1] = uint8_t(base.g - fine);
            p[2] = uint8_t(base.b + (x % 5));
        }
    return shot;
}

// Whether a screenshot shows the whole picture: each quadrant's colour over most of it.
inline bool showsWholePicture(const Screenshot& shot)
{
    int good = 0, total = 0;
    for (int y = 8; y < shot.height; y += 16)
        for (int x = 8; x < shot.width; x += 16) {
            good += near(shot.at(x, y), desktopQuadrant(x, y), 24);
            ++total;
        }
    return good > total * 9 / 10;
}

// Tiles apart: much black between them.
inline bool showsShreds(const Screenshot& shot) { return shot.fraction(Rgb{0, 0, 0}, 8) > 0.3; }

// The renderer without a snapshot: its mesh in white over nearly all of the screen.
inline bool showsWhiteMesh(const Screenshot& shot) { return shot.fraction(Rgb{255, 255, 255}, 8) > 0.97; }

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// CPU seconds a process has used so far (the scheduler's own count, in nanoseconds).
inline double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    double nanoseconds = -1;
    in >> nanoseconds;
    return nanoseconds / 1e9;
}

// The peak resident memory of a process in kilobytes; -1 when it cannot be read.
inline long peakMemoryKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

}  // namespace pap::e2e
