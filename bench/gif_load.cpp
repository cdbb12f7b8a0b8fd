// Whole-process time and peak memory of loading a long animation, measured from outside
// (`/usr/bin/time -v`, farm-bench): `gif_load write FILE [FRAMES [SIZE]]` writes the benchmark
// animation (default 400 frames of 500 x 500) to FILE; `gif_load ours FILE` reads it and runs the
// parser and both decoding passes, as the control does, then prints the sizes involved;
// `gif_load giflib FILE` reads it and decodes every frame with giflib's DGifSlurp instead. On Linux
// it also prints the peak resident size the kernel reports for itself.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "controls/anigif/frame_decoder.h"
#include "gif_animation.h"
#include "support/giflib_memory.h"

namespace {

int Write(const char* path, int frames, int size)
{
    const std::vector<uint8_t> data = pap::bench::GifAnimation(frames, size);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return file ? 0 : 1;
}

std::vector<uint8_t> ReadFile(const char* path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return {};
    std::vector<uint8_t> data(static_cast<size_t>(file.tellg()));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return data;
}

void PrintPeak()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM", 0) == 0)
            std::cout << line << "\n";
}

int LoadOurs(const char* path)
{
    const std::vector<uint8_t> data = ReadFile(path);
    pap::anigif::GifStream gif;
    const int frames = pap::anigif::ParseGifStream(data, gif);
    if (frames == 0 || !pap::anigif::DecodeFirstPass(data, gif, pap::anigif::Container::Live))
        return 1;
    pap::anigif::DecodeSecondPass(data, gif);
    std::cout << "frames " << frames << "\nfile bytes " << data.size() << "\nstrip bytes " << gif.strip.pixels.size()
              << "\n";
    PrintPeak();
    return 0;
}

int LoadGiflib(const char* path)
{
    const std::vector<uint8_t> data = ReadFile(path);
    pap::test::ReadState read{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&read, pap::test::ReadFromVector, &error);
    if (!gif)
        return 1;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    std::cout << "frames " << gif->ImageCount << "\nfile bytes " << data.size() << "\n";
    DGifCloseFile(gif, &error);
    PrintPeak();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "write")
        return Write(argv[2], argc > 3 ? std::atoi(argv[3]) : 400, argc > 4 ? std::atoi(argv[4]) : 500);
    if (mode == "ours")
        return LoadOurs(argv[2]);
    if (mode == "giflib")
        return LoadGiflib(argv[2]);
    std::cerr << "usage: gif_load write FILE [FRAMES [SIZE]] | ours FILE | giflib FILE\n";
    return 2;
}
