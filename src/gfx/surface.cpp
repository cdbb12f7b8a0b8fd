#include "gfx/surface.h"

#include <algorithm>

namespace pap::gfx {

bool ValidSize(int width, int height)
{
    return width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide &&
           uint64_t(width) * uint64_t(height) <= kMaxPixels;
}

Surface::Surface(int width, int height, Pixel fill)
{
    resize(width, height, fill);
}

void Surface::fill(Pixel colour)
{
    std::fill(m_pixels.begin(), m_pixels.end(), colour);
}

void Surface::fillRect(Rect rect, Pixel colour)
{
    int x0 = std::max(rect.x, 0), y0 = std::max(rect.y, 0);
    int x1 = int(std::min<int64_t>(int64_t(rect.x) + rect.width, m_width));
    int y1 = int(std::min<int64_t>(int64_t(rect.y) + rect.height, m_height));
    for (int y = y0; y < y1; ++y)
        std::fill(row(y) + x0, row(y) + std::max(x0, x1), colour);
}

void Surface::resize(int width, int height, Pixel fill)
{
    if (!ValidSize(width, height) || width == 0 || height == 0) {
        width = 0;
        height = 0;
    }
    if (width == m_width && height == m_height)
        return;
    std::vector<Pixel> pixels(size_t(width) * size_t(height), fill);
    int keepW = std::min(width, m_width), keepH = std::min(height, m_height);
    for (int y = 0; y < keepH; ++y)
        std::copy(row(y), row(y) + keepW, pixels.data() + size_t(y) * size_t(width));
    m_pixels = std::move(pixels);
    m_width = width;
    m_height = height;
}

void Blit(Surface& target, int x, int y, const Surface& source)
{
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = int(std::min<int64_t>(int64_t(x) + source.width(), target.width()));
    int y1 = int(std::min<int64_t>(int64_t(y) + source.height(), target.height()));
    for (int ty = y0; ty < y1; ++ty) {
        const Pixel* from = source.row(ty - y) + (x0 - x);
        std::copy(from, from + std::max(0, x1 - x0), target.row(ty) + x0);
    }
}

namespace {

// The source pixels under one target pixel along an axis, with their shares (16.16, summing to 1).
struct Tap {
    int first = 0;
    std::vector<uint32_t> weights;
};

// Target pixel t of `targetSize` covers source [t * s / T, (t + 1) * s / T); all in units of
// 1 / targetSize source pixels, so the bounds are exact integers.
std::vector<Tap> Taps(int sourceSize, int targetSize)
{
    std::vector<Tap> taps(static_cast<size_t>(targetSize));
    const int64_t s = sourceSize, t = targetSize;
    for (int64_t i = 0; i < t; ++i) {
        int64_t begin = i * s, end = (i + 1) * s;  // in 1/t source pixels
        Tap& tap = taps[size_t(i)];
        tap.first = int(begin / t);
        int64_t total = end - begin;
        uint32_t given = 0;
        for (int64_t p = begin / t; p * t < end; ++p) {
            int64_t covered = std::min(end, (p + 1) * t) - std::max(begin, p * t);
            uint32_t w = uint32_t((covered * 65536) / total);
            tap.weights.push_back(w);
            given += w;
        }
        tap.weights.back() += 65536 - given;  // rounding remainder
    }
    return taps;
}

}  // namespace

void StretchBlit(Surface& target, Rect rect, const Surface& source)
{
    if (rect.width <= 0 || rect.height <= 0 || source.empty())
        return;
    if (!ValidSize(rect.width, rect.height))
        return;
    std::vector<Tap> xs = Taps(source.width(), rect.width);
    std::vector<Tap> ys = Taps(source.height(), rect.height);
    int y0 = std::max(0, -rect.y), y1 = int(std::min<int64_t>(rect.height, int64_t(target.height()) - rect.y));
    int x0 = std::max(0, -rect.x), x1 = int(std::min<int64_t>(rect.width, int64_t(target.width()) - rect.x));
    for (int ty = y0; ty < y1; ++ty) {
        const Tap& yt = ys[size_t(ty)];
        Pixel* out = target.row(rect.y + ty) + rect.x;
        for (int tx = x0; tx < x1; ++tx) {
            const Tap& xt = xs[size_t(tx)];
            if (yt.weights.size() == 1 && xt.weights.size() == 1) {
                out[tx] = source.at(xt.first, yt.first);
                continue;
            }
            uint64_t r = 0, g = 0, b = 0;
            for (size_t j = 0; j < yt.weights.size(); ++j) {
                const Pixel* in = source.row(yt.first + int(j)) + xt.first;
                for (size_t i = 0; i < xt.weights.size(); ++i) {
                    uint64_t w = uint64_t(yt.weights[j]) * xt.weights[i];
                    r += w * Red(in[i]);
                    g += w * Green(in[i]);
                    b += w * Blue(in[i]);
                }
            }
            constexpr uint64_t kOne = uint64_t{1} << 32, kHalf = kOne / 2;
            out[tx] = Rgb(uint8_t((r + kHalf) / kOne), uint8_t((g + kHalf) / kOne), uint8_t((b + kHalf) / kOne));
        }
    }
}

}  // namespace pap::gfx
