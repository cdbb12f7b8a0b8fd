#include "gfx/bmp_writer.h"

namespace pap::gfx {

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const Surface& surface)
{
    if (surface.empty())
        return {};
    constexpr size_t kFileHeader = 14, kInfoHeader = 40;
    // Surfaces are bounded (kMaxPixels), so the sizes fit in 32 bits.
    const size_t stride = (size_t(surface.width()) * 3 + 3) & ~size_t{3};
    const size_t imageSize = stride * size_t(surface.height());
    std::vector<uint8_t> out(kFileHeader + kInfoHeader + imageSize);

    // BITMAPFILEHEADER: +0 "BM", +2 file size, +6 two reserved words, +10 offset of the pixels.
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, uint32_t(out.size()));
    Put32(out, 10, uint32_t(kFileHeader + kInfoHeader));
    // BITMAPINFOHEADER: +0 size, +4 width, +8 height (positive: bottom-up), +12 planes, +14 bits per
    // pixel, +16 compression (BI_RGB), +20 image size, +24/+28 pixels per metre (96 DPI), +32 colours
    // used, +36 colours important.
    const size_t h = kFileHeader;
    Put32(out, h + 0, kInfoHeader);
    Put32(out, h + 4, uint32_t(surface.width()));
    Put32(out, h + 8, uint32_t(surface.height()));
    Put16(out, h + 12, 1);
    Put16(out, h + 14, 24);
    Put32(out, h + 16, 0);
    Put32(out, h + 20, uint32_t(imageSize));
    Put32(out, h + 24, 3780);
    Put32(out, h + 28, 3780);

    uint8_t* pixels = out.data() + kFileHeader + kInfoHeader;
    for (int y = 0; y < surface.height(); ++y) {
        const Pixel* in = surface.row(surface.height() - 1 - y);
        uint8_t* row = pixels + size_t(y) * stride;
        for (int x = 0; x < surface.width(); ++x) {
            row[3 * x] = Blue(in[x]);
            row[3 * x + 1] = Green(in[x]);
            row[3 * x + 2] = Red(in[x]);
        }
    }
    return out;
}

}  // namespace pap::gfx
