// dibdump FILE OUT.ppm: decodes a bitmap with the renderer's loader and writes it as a binary PPM (P6),
// top row first. On failure prints the loader's message on stderr and exits with 1; no message box
// is shown.

#include <cstdio>
#include <string>

#include "renderer/snapshot_loader.h"

namespace {

void printMessage(void*, const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stderr);
}

bool writePpm(const pap::RgbImage& image, const char* path)
{
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", image.sizeX, image.sizeY);
    const size_t rowBytes = static_cast<size_t>(image.sizeX) * 3;
    bool ok = true;
    for (int32_t y = image.sizeY - 1; y >= 0 && ok; --y)  // the image's first row is the bottom one
        ok = std::fwrite(image.pixels.data() + static_cast<size_t>(y) * rowBytes, 1, rowBytes, out) == rowBytes;
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: dibdump FILE OUT.ppm\n");
        return 2;
    }
    // The loader's messages go to stderr instead of a box.
    pap::DibLoaderOptions options;
    options.messageSink = printMessage;
    std::unique_ptr<pap::RgbImage> image = pap::LoadDibFile(argv[1], options);
    if (!image)
        return 1;
    if (!writePpm(*image, argv[2])) {
        std::fprintf(stderr, "dibdump: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%d x %d\n", image->sizeX, image->sizeY);
    return 0;
}
