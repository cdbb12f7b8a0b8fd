#include "gfx/raster.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace pap::gfx {

namespace {

template <int Bpp>
inline uint32_t Read(const uint8_t* row, int x)
{
    if constexpr (Bpp == 1) {
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    } else if constexpr (Bpp == 8) {
        return row[x];
    } else if constexpr (Bpp == 24) {
        return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
    } else {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        return v & 0xFFFFFFu;
    }
}

template <int Bpp>
inline void Write(uint8_t* row, int x, uint32_t value)
{
    if constexpr (Bpp == 1) {
        const uint8_t bit = uint8_t(0x80u >> (x & 7));
        row[x >> 3] = uint8_t((value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
    } else if constexpr (Bpp == 8) {
        row[x] = uint8_t(value);
    } else if constexpr (Bpp == 24) {
        row[3 * x] = uint8_t(value);
        row[3 * x + 1] = uint8_t(value >> 8);
        row[3 * x + 2] = uint8_t(value >> 16);
    } else {
        std::memcpy(row + 4 * x, &value, 4);
    }
}

template <Rop R>
inline uint32_t Combine(uint32_t target, uint32_t source)
{
    if constexpr (R == Rop::SrcAnd)
        return target & source;
    else if constexpr (R == Rop::SrcPaint)
        return target | source;
    else
        return source;
}

// A source value turned into the target's stored form: through a 256-entry table for palette sources,
// else by the colour rules of the header.
struct Converter {
    std::array<uint32_t, 256> lut{};
    Pixel sourceBack = kWhite;
    const Dib* target = nullptr;

    template <int S, int D>
    uint32_t operator()(uint32_t raw) const
    {
        if constexpr (S == 1 || S == 8)
            return lut[raw];
        else if constexpr (D == 1)
            return raw == sourceBack ? 1u : 0u;
        else if constexpr (D == 8)
            return target->nearestIndex(raw);
        else
            return raw;
    }
};

// The colour a source value shows on a colour target.
Pixel SourceColour(const Dib& source, const Dib& target, uint32_t raw)
{
    if (source.bitsPerPixel() == 1)
        return raw ? target.backColor() : target.textColor();
    if (source.bitsPerPixel() == 8)
        return source.colorTable()[raw];
    return raw;
}

// A colour stored on the target.
uint32_t StoreColour(const Dib& target, Pixel colour)
{
    return target.hasColorTable() ? target.nearestIndex(colour) : colour;
}

Converter MakeConverter(const Dib& source, const Dib& target)
{
    Converter c;
    c.sourceBack = source.backColor();
    c.target = &target;
    const int s = source.bitsPerPixel(), t = target.bitsPerPixel();
    if (s == 1) {
        if (t == 1) {
            c.lut[1] = 1;
        } else {
            c.lut[0] = StoreColour(target, target.textColor());
            c.lut[1] = StoreColour(target, target.backColor());
        }
    } else if (s == 8) {
        for (uint32_t i = 0; i < 256; ++i) {
            const Pixel colour = source.colorTable()[i];
            c.lut[i] = t == 8 ? i : t == 1 ? (colour == source.backColor() ? 1u : 0u) : StoreColour(target, colour);
        }
    }
    return c;
}

// Target positions along one axis and the source position each one takes (nearest), clipped to both.
struct AxisMap {
    int target0 = 0;
    std::vector<int> source;
    bool contiguous = true;  // source[i] == source[0] + i
    int sourceMin = 0;
    int sourceMax = -1;
    // Halftone: the first source position and weight list (16.16, summing to 1) per target position.
    std::vector<std::vector<std::pair<int, uint32_t>>> taps;
};

AxisMap MapAxis(int t, int tw, int tLimit, int s, int sw, int sLimit, bool withTaps)
{
    AxisMap map;
    if (tw == 0 || sw == 0)
        return map;
    const int64_t T = tw < 0 ? -int64_t(tw) : tw, S = sw < 0 ? -int64_t(sw) : sw;
    const int64_t tLo = tw < 0 ? int64_t(t) + tw + 1 : t, sLo = sw < 0 ? int64_t(s) + sw + 1 : s;
    const bool mirror = (tw < 0) != (sw < 0);
    const int64_t first = std::max<int64_t>(0, -tLo), last = std::min<int64_t>(T, int64_t(tLimit) - tLo);
    auto at = [&](int64_t offset) { return mirror ? sLo + S - 1 - offset : sLo + offset; };
    bool started = false;
    for (int64_t i = first; i < last; ++i) {
        const int64_t pos = at(((2 * i + 1) * S) / (2 * T));
        if (pos < 0 || pos >= sLimit)
            continue;
        if (!started) {
            map.target0 = int(tLo + i);
            started = true;
        }
        if (!map.source.empty() && pos != map.source.back() + 1)
            map.contiguous = false;
        map.source.push_back(int(pos));
        if (withTaps) {
            // Source span [i * S, (i + 1) * S) in units of 1 / T source pixels.
            const int64_t begin = i * S, end = (i + 1) * S;
            std::vector<std::pair<int, uint32_t>> tap;
            uint32_t given = 0;
            for (int64_t p = begin / T; p * T < end; ++p) {
                const int64_t covered = std::min(end, (p + 1) * T) - std::max(begin, p * T);
                const uint32_t w = uint32_t((covered * 65536) / S);
                tap.emplace_back(int(std::clamp<int64_t>(at(p), 0, sLimit - 1)), w);
                given += w;
            }
            tap.back().second += 65536 - given;
            for (const auto& [p, w] : tap) {
                map.sourceMin = map.sourceMax < map.sourceMin ? p : std::min(map.sourceMin, p);
                map.sourceMax = std::max(map.sourceMax, p);
            }
            map.taps.push_back(std::move(tap));
        }
    }
    for (int p : map.source) {
        map.sourceMin = map.sourceMax < map.sourceMin ? p : std::min(map.sourceMin, p);
        map.sourceMax = std::max(map.sourceMax, p);
    }
    return map;
}

// A contiguous row onto a 1-bit target, a target byte at a time.
template <int S, Rop R>
void BitRow(uint8_t* out, int tx, const uint8_t* in, int sx, int n, const Converter& convert)
{
    for (int i = 0; i < n;) {
        const int t = tx + i, first = t & 7, count = std::min(8 - first, n - i);
        uint8_t bits = 0;
        for (int b = 0; b < count; ++b)
            bits = uint8_t(bits | convert.template operator()<S, 1>(Read<S>(in, sx + i + b)) << (7 - first - b));
        const uint8_t mask = uint8_t((0xFFu >> first) & ~(0xFFu >> (first + count)));
        uint8_t& byte = out[t >> 3];
        if constexpr (R == Rop::SrcAnd)
            byte = uint8_t(byte & (bits | ~mask));
        else if constexpr (R == Rop::SrcPaint)
            byte = uint8_t(byte | bits);
        else
            byte = uint8_t((byte & ~mask) | bits);
        i += count;
    }
}

template <int S, int D, Rop R>
void NearestRows(Dib& target, const Dib& source, const AxisMap& xs, const AxisMap& ys, const Converter& convert)
{
    const int n = int(xs.source.size());
    for (size_t j = 0; j < ys.source.size(); ++j) {
        const uint8_t* in = source.row(ys.source[j]);
        uint8_t* out = target.row(ys.target0 + int(j));
        if (D == 1 && xs.contiguous) {
            BitRow<S, R>(out, xs.target0, in, xs.source[0], n, convert);
        } else if (xs.contiguous) {
            const int sx = xs.source[0], tx = xs.target0;
            for (int i = 0; i < n; ++i) {
                const uint32_t v = convert.template operator()<S, D>(Read<S>(in, sx + i));
                if constexpr (R == Rop::SrcCopy)
                    Write<D>(out, tx + i, v);
                else
                    Write<D>(out, tx + i, Combine<R>(Read<D>(out, tx + i), v));
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const uint32_t v = convert.template operator()<S, D>(Read<S>(in, xs.source[size_t(i)]));
                const int tx = xs.target0 + i;
                if constexpr (R == Rop::SrcCopy)
                    Write<D>(out, tx, v);
                else
                    Write<D>(out, tx, Combine<R>(Read<D>(out, tx), v));
            }
        }
    }
}

template <int S, int D>
void NearestRowsRop(Dib& target, const Dib& source, const AxisMap& xs, const AxisMap& ys, const Converter& c,
                    Rop rop)
{
    switch (rop) {
    case Rop::SrcAnd:
        return NearestRows<S, D, Rop::SrcAnd>(target, source, xs, ys, c);
    case Rop::SrcPaint:
        return NearestRows<S, D, Rop::SrcPaint>(target, source, xs, ys, c);
    default:
        return NearestRows<S, D, Rop::SrcCopy>(target, source, xs, ys, c);
    }
}

template <int S>
void NearestRowsTarget(Dib& target, const Dib& source, const AxisMap& xs, const AxisMap& ys, const Converter& c,
                       Rop rop)
{
    switch (target.bitsPerPixel()) {
    case 1:
        return NearestRowsRop<S, 1>(target, source, xs, ys, c, rop);
    case 8:
        return NearestRowsRop<S, 8>(target, source, xs, ys, c, rop);
    case 24:
        return NearestRowsRop<S, 24>(target, source, xs, ys, c, rop);
    default:
        return NearestRowsRop<S, 32>(target, source, xs, ys, c, rop);
    }
}

void NearestBlit(Dib& target, const Dib& source, const AxisMap& xs, const AxisMap& ys, Rop rop)
{
    const Converter c = MakeConverter(source, target);
    switch (source.bitsPerPixel()) {
    case 1:
        return NearestRowsTarget<1>(target, source, xs, ys, c, rop);
    case 8:
        return NearestRowsTarget<8>(target, source, xs, ys, c, rop);
    case 24:
        return NearestRowsTarget<24>(target, source, xs, ys, c, rop);
    default:
        return NearestRowsTarget<32>(target, source, xs, ys, c, rop);
    }
}

void HalftoneBlit(Dib& target, const Dib& source, const AxisMap& xs, const AxisMap& ys, Rop rop)
{
    for (size_t j = 0; j < ys.taps.size(); ++j) {
        const int ty = ys.target0 + int(j);
        for (size_t i = 0; i < xs.taps.size(); ++i) {
            uint64_t r = 0, g = 0, b = 0;
            for (const auto& [py, wy] : ys.taps[j]) {
                for (const auto& [px, wx] : xs.taps[i]) {
                    const Pixel c = SourceColour(source, target, source.valueAt(px, py));
                    const uint64_t w = uint64_t(wy) * wx;
                    r += w * Red(c);
                    g += w * Green(c);
                    b += w * Blue(c);
                }
            }
            constexpr uint64_t kOne = uint64_t{1} << 32, kHalf = kOne / 2;
            const Pixel c = Rgb(uint8_t((r + kHalf) / kOne), uint8_t((g + kHalf) / kOne), uint8_t((b + kHalf) / kOne));
            const uint32_t v = StoreColour(target, c);
            const int tx = xs.target0 + int(i);
            const uint32_t old = target.valueAt(tx, ty);
            target.setValue(tx, ty, rop == Rop::SrcAnd ? (old & v) : rop == Rop::SrcPaint ? (old | v) : v);
        }
    }
}

// The bytes that hold a row's pixels (a view's stride may have no padding).
size_t RowBytes(int width, int bpp) { return (size_t(width) * size_t(bpp) + 7) / 8; }

// Whether the bytes the two bitmaps address overlap.
bool Overlap(const Dib& a, const Dib& b)
{
    auto span = [](const Dib& d) {
        const uint8_t* first = std::min(d.row(0), d.row(d.height() - 1));
        const uint8_t* last = std::max(d.row(0), d.row(d.height() - 1)) + RowBytes(d.width(), d.bitsPerPixel());
        return std::pair{first, last};
    };
    const auto [a0, a1] = span(a);
    const auto [b0, b1] = span(b);
    return a0 < b1 && b0 < a1;
}

// A copy of the columns x0 .. x1 - 1 and rows y0 .. y1 - 1 of `source` (x0 rounded down to a whole byte
// for 1 bit), with its table and colours; `shiftX` receives how far source x moves left.
Dib CopyBlock(const Dib& source, int x0, int x1, int y0, int y1, int& shiftX)
{
    const int bpp = source.bitsPerPixel();
    if (bpp == 1)
        x0 &= ~7;
    shiftX = x0;
    Dib copy = Dib::Create(x1 - x0, y1 - y0, bpp);
    if (copy.empty())
        return copy;
    const size_t firstByte = size_t(x0) * size_t(bpp) / 8;
    const size_t bytes = RowBytes(x1 - x0, bpp);
    const size_t available = RowBytes(source.width(), bpp) - firstByte;
    for (int y = y0; y < y1; ++y)
        std::memcpy(copy.row(y - y0), source.row(y) + firstByte, std::min(bytes, available));
    copy.setColorTable(0, source.colorTable());
    copy.setTextColor(source.textColor());
    copy.setBackColor(source.backColor());
    return copy;
}

void Stretch(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
             int sourceWidth, int sourceHeight, Rop rop, StretchMode mode)
{
    if (target.empty() || source.empty())
        return;
    const bool oneToOne = (width == sourceWidth || width == -sourceWidth) &&
                          (height == sourceHeight || height == -sourceHeight);
    const bool halftone = mode == StretchMode::Halftone && !oneToOne && target.bitsPerPixel() != 1;
    AxisMap xs = MapAxis(x, width, target.width(), sourceX, sourceWidth, source.width(), halftone);
    AxisMap ys = MapAxis(y, height, target.height(), sourceY, sourceHeight, source.height(), halftone);
    if (xs.source.empty() || ys.source.empty())
        return;
    if (Overlap(target, source)) {
        int shiftX = 0;
        const Dib copy = CopyBlock(source, xs.sourceMin, xs.sourceMax + 1, ys.sourceMin, ys.sourceMax + 1, shiftX);
        if (copy.empty())
            return;
        const int shiftY = ys.sourceMin;
        for (int& p : xs.source)
            p -= shiftX;
        for (int& p : ys.source)
            p -= shiftY;
        for (auto& tap : xs.taps)
            for (auto& [p, w] : tap)
                p -= shiftX;
        for (auto& tap : ys.taps)
            for (auto& [p, w] : tap)
                p -= shiftY;
        if (halftone)
            HalftoneBlit(target, copy, xs, ys, rop);
        else
            NearestBlit(target, copy, xs, ys, rop);
        return;
    }
    if (halftone)
        HalftoneBlit(target, source, xs, ys, rop);
    else
        NearestBlit(target, source, xs, ys, rop);
}

// Clips a same-size copy to both bitmaps; false when nothing remains.
bool ClipCopy(const Dib& target, int& x, int& y, int& width, int& height, const Dib& source, int& sx, int& sy)
{
    int64_t x0 = std::max<int64_t>({0, x, int64_t(x) - sx}), y0 = std::max<int64_t>({0, y, int64_t(y) - sy});
    int64_t x1 = std::min<int64_t>({int64_t(x) + width, target.width(), int64_t(x) - sx + source.width()});
    int64_t y1 = std::min<int64_t>({int64_t(y) + height, target.height(), int64_t(y) - sy + source.height()});
    if (x1 <= x0 || y1 <= y0)
        return false;
    sx = int(sx + (x0 - x));
    sy = int(sy + (y0 - y));
    x = int(x0);
    y = int(y0);
    width = int(x1 - x0);
    height = int(y1 - y0);
    return true;
}

template <int D>
void KeyedRows(Dib& target, int x, int y, int width, int height, const Dib& source, int sx, int sy, uint8_t key)
{
    const std::array<uint32_t, 256> lut = MakeConverter(source, target).lut;
    for (int j = 0; j < height; ++j) {
        const uint8_t* in = source.row(sy + j) + sx;
        uint8_t* out = target.row(y + j);
        for (int i = 0; i < width; ++i) {
            const uint8_t index = in[i];
            if (index != key)
                Write<D>(out, x + i, lut[index]);
        }
    }
}

// A run of 24-bit pixels to 32 bits, four at a time from three 4-byte words.
inline void Copy24To32(uint8_t* out, const uint8_t* in, int n)
{
    int k = 0;
    for (; k + 4 <= n; k += 4, in += 12, out += 16) {
        uint32_t w0, w1, w2;
        std::memcpy(&w0, in, 4);
        std::memcpy(&w1, in + 4, 4);
        std::memcpy(&w2, in + 8, 4);
        const uint64_t low = uint64_t(w0 & 0xFFFFFF) | uint64_t((w0 >> 24) | (w1 & 0xFFFF) << 8) << 32;
        const uint64_t high = uint64_t((w1 >> 16) | (w2 & 0xFF) << 16) | uint64_t(w2 >> 8) << 32;
        std::memcpy(out, &low, 8);
        std::memcpy(out + 8, &high, 8);
    }
    for (; k < n; ++k, in += 3, out += 4)
        Write<32>(out, 0, Read<24>(in, 0));
}

template <int D, int C>
void MaskedRows(Dib& target, int x, int y, int width, int height, const Dib& colour, const Dib& mask, int sx,
                int sy)
{
    const Converter convert = MakeConverter(colour, target);
    for (int j = 0; j < height; ++j) {
        const uint8_t* in = colour.row(sy + j);
        const uint8_t* bits = mask.row(sy + j);
        uint8_t* out = target.row(y + j);
        for (int i = 0; i < width;) {
            const int p = sx + i;
            // Whole mask bytes: transparent ones are skipped, runs of opaque ones copied in one loop.
            if ((p & 7) == 0 && i + 8 <= width) {
                if (bits[p >> 3] == 0xFF) {
                    i += 8;
                    continue;
                }
                if (bits[p >> 3] == 0x00) {
                    int run = 8;
                    while (i + run + 8 <= width && bits[(p + run) >> 3] == 0x00)
                        run += 8;
                    if constexpr (D == 32 && C == 24) {
                        Copy24To32(out + size_t(x + i) * 4, in + size_t(p) * 3, run);
                    } else {
                        for (int r = 0; r < run; ++r)
                            Write<D>(out, x + i + r, convert.template operator()<C, D>(Read<C>(in, p + r)));
                    }
                    i += run;
                    continue;
                }
            }
            // Mixed bits: a select without branches, which random masks would mispredict.
            const uint32_t keep = 0u - Read<1>(bits, p);
            const uint32_t value = convert.template operator()<C, D>(Read<C>(in, p));
            Write<D>(out, x + i, (Read<D>(out, x + i) & keep) | (value & ~keep));
            ++i;
        }
    }
}

}  // namespace

void BitBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY, Rop rop)
{
    if (width <= 0 || height <= 0)
        return;
    Stretch(target, x, y, width, height, source, sourceX, sourceY, width, height, rop, StretchMode::ColorOnColor);
}

void StretchBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, Rop rop, StretchMode mode)
{
    Stretch(target, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, rop, mode);
}

void PaintSection(Surface& target, Rect to, const Surface& picture, Rect from)
{
    Dib out = Dib::View(target);
    // The view is only read; Stretch copies the block first when it shares bits with the target.
    const Dib in = Dib::View(const_cast<Surface&>(picture));
    Stretch(out, to.x, to.y, to.width, to.height, in, from.x, from.y, from.width, from.height, Rop::SrcCopy,
            StretchMode::ColorOnColor);
}

void FillRect(Dib& target, Rect rect, StockBrush brush)
{
    if (target.empty())
        return;
    const Pixel colour = brush == StockBrush::Black ? kBlack : kWhite;
    const uint32_t value = StoreColour(target, colour);
    const int x0 = std::max(rect.x, 0), y0 = std::max(rect.y, 0);
    const int x1 = int(std::min<int64_t>(int64_t(rect.x) + rect.width, target.width()));
    const int y1 = int(std::min<int64_t>(int64_t(rect.y) + rect.height, target.height()));
    if (x1 <= x0 || y1 <= y0)
        return;
    const int bpp = target.bitsPerPixel();
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = target.row(y);
        if (bpp == 8 || (bpp == 24 && (colour == kBlack || colour == kWhite))) {
            std::memset(row + size_t(x0) * size_t(bpp / 8), int(value & 0xFF), size_t(x1 - x0) * size_t(bpp / 8));
        } else if (bpp == 1) {
            int x = x0;
            for (; x < x1 && (x & 7); ++x)
                Write<1>(row, x, value);
            const int whole = (x1 - x) / 8;
            std::memset(row + (x >> 3), value ? 0xFF : 0x00, size_t(whole));
            for (x += whole * 8; x < x1; ++x)
                Write<1>(row, x, value);
        } else {
            for (int x = x0; x < x1; ++x)
                target.setValue(x, y, value);
        }
    }
}

void DottedRectangle(Dib& target, int left, int top, int right, int bottom, Pixel colour)
{
    // Far outside any bitmap the walk would only count steps.
    constexpr int kFar = 4 * kMaxSide;
    if (target.empty() || right <= left || bottom <= top || left < -kFar || top < -kFar || right > kFar ||
        bottom > kFar)
        return;
    const uint32_t value = StoreColour(target, colour & 0xFFFFFF);
    int64_t step = 0;
    auto dot = [&](int64_t x, int64_t y) {
        if ((step++ & 1) == 0 && x >= 0 && y >= 0 && x < target.width() && y < target.height())
            target.setValue(int(x), int(y), value);
    };
    const int64_t l = left, t = top, r = int64_t(right) - 1, b = int64_t(bottom) - 1;
    for (int64_t x = l; x <= r; ++x)
        dot(x, t);
    for (int64_t y = t + 1; y <= b; ++y)
        dot(r, y);
    if (b > t)
        for (int64_t x = r - 1; x >= l; --x)
            dot(x, b);
    if (r > l)
        for (int64_t y = b - 1; y > t; --y)
            dot(l, y);
}

void KeyedBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
              uint8_t key)
{
    if (target.empty() || source.empty() || source.bitsPerPixel() != 8 || width <= 0 || height <= 0)
        return;
    if (!ClipCopy(target, x, y, width, height, source, sourceX, sourceY))
        return;
    switch (target.bitsPerPixel()) {
    case 1:
        return KeyedRows<1>(target, x, y, width, height, source, sourceX, sourceY, key);
    case 8:
        return KeyedRows<8>(target, x, y, width, height, source, sourceX, sourceY, key);
    case 24:
        return KeyedRows<24>(target, x, y, width, height, source, sourceX, sourceY, key);
    default:
        return KeyedRows<32>(target, x, y, width, height, source, sourceX, sourceY, key);
    }
}

void MaskedBlt(Dib& target, int x, int y, int width, int height, const Dib& colour, const Dib& mask,
               int sourceX, int sourceY)
{
    if (target.empty() || colour.empty() || mask.empty() || mask.bitsPerPixel() != 1 || width <= 0 ||
        height <= 0 || mask.width() < colour.width() || mask.height() < colour.height())
        return;
    if (!ClipCopy(target, x, y, width, height, colour, sourceX, sourceY))
        return;
    const int t = target.bitsPerPixel(), c = colour.bitsPerPixel();
    if (t == 32 && c == 24)
        return MaskedRows<32, 24>(target, x, y, width, height, colour, mask, sourceX, sourceY);
    if (t == 24 && c == 24)
        return MaskedRows<24, 24>(target, x, y, width, height, colour, mask, sourceX, sourceY);
    if (t == 32 && c == 32)
        return MaskedRows<32, 32>(target, x, y, width, height, colour, mask, sourceX, sourceY);
    // Other depths: the two passes.
    BitBlt(target, x, y, width, height, mask, sourceX, sourceY, Rop::SrcAnd);
    BitBlt(target, x, y, width, height, colour, sourceX, sourceY, Rop::SrcPaint);
}

}  // namespace pap::gfx
