#include "gfx/gradient.h"

#include <algorithm>
#include <cstring>

namespace pap::gfx {
namespace {

// The high byte of the channel at `pos` of `length` rows from `from` to `to`.
inline uint32_t Channel(uint32_t from, uint32_t to, int64_t pos, int64_t length)
{
    return uint32_t((int64_t(from) * (length - pos) + int64_t(to) * pos) / length) >> 8;
}

void FillMesh(Dib& target, const TriVertex& a, const TriVertex& b)
{
    const TriVertex& upper = a.y <= b.y ? a : b;
    const TriVertex& lower = a.y <= b.y ? b : a;
    const int64_t left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    const int64_t top = upper.y, bottom = lower.y;
    const int x0 = int(std::max<int64_t>(left, 0)), x1 = int(std::min<int64_t>(right, target.width()));
    const int y0 = int(std::max<int64_t>(top, 0)), y1 = int(std::min<int64_t>(bottom, target.height()));
    if (x1 <= x0 || y1 <= y0)
        return;
    const int64_t length = bottom - top;
    for (int y = y0; y < y1; ++y) {
        const int64_t pos = y - top;
        const uint32_t r = Channel(upper.red, lower.red, pos, length);
        const uint32_t g = Channel(upper.green, lower.green, pos, length);
        const uint32_t bl = Channel(upper.blue, lower.blue, pos, length);
        uint8_t* row = target.row(y);
        if (target.bitsPerPixel() == 32) {
            const Pixel value = (r << 16) | (g << 8) | bl;
            for (int x = x0; x < x1; ++x)
                std::memcpy(row + 4 * size_t(x), &value, 4);  // a view's rows need not be word-aligned
        } else {
            for (uint8_t* p = row + 3 * size_t(x0); p < row + 3 * size_t(x1); p += 3) {
                p[0] = uint8_t(bl);
                p[1] = uint8_t(g);
                p[2] = uint8_t(r);
            }
        }
    }
}

}  // namespace

bool GradientFillRectV(Dib& target, std::span<const TriVertex> vertices, std::span<const GradientRect> meshes)
{
    if (target.bitsPerPixel() != 24 && target.bitsPerPixel() != 32)
        return false;
    for (const GradientRect& mesh : meshes)
        if (mesh.upperLeft >= vertices.size() || mesh.lowerRight >= vertices.size())
            return false;
    if (target.empty())
        return true;
    for (const GradientRect& mesh : meshes)
        FillMesh(target, vertices[mesh.upperLeft], vertices[mesh.lowerRight]);
    return true;
}

}  // namespace pap::gfx
