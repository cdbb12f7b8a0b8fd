#pragma once

// Pieces of GIF files for the tests, each appending one on-disk structure to a byte vector.

#include <cstdint>
#include <string>
#include <vector>

namespace pap::anigif::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& out, unsigned v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }

// Signature (6 bytes), logical width and height (16 bits each), packed byte (bit 7 global table,
// bits 0-2 its size s for 2^(s+1) entries), background index, aspect byte.
inline void Header(Bytes& out, const std::string& signature, unsigned width, unsigned height, uint8_t packed)
{
    out.insert(out.end(), signature.begin(), signature.end());
    Put16(out, width);
    Put16(out, height);
    out.insert(out.end(), {packed, 0x00, 0x00});
}

// A colour table of `entries` red, green, blue triples: entry i = (i, 2i, 3i) modulo 256.
inline void Table(Bytes& out, unsigned entries)
{
    for (unsigned i = 0; i < entries; ++i)
        out.insert(out.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
}

// Graphic control extension: 0x21 0xF9, block size 4, packed byte (bits 2-4 disposal, bit 0
// transparency), delay in 1/100 s (16 bits), transparent index, terminator.
inline void Gce(Bytes& out, unsigned disposal, unsigned delay, bool transparent = false, uint8_t index = 0)
{
    out.insert(out.end(), {0x21, 0xF9, 0x04, uint8_t(disposal << 2 | (transparent ? 1 : 0))});
    Put16(out, delay);
    out.insert(out.end(), {index, 0x00});
}

// Application extension: 0x21 0xFF, block size, identifier, then one sub-block of `sub` bytes
// (for the looping extension: 1, loop count low, high), terminator.
inline void Application(Bytes& out, const std::string& identifier, const Bytes& sub)
{
    out.insert(out.end(), {0x21, 0xFF, uint8_t(identifier.size())});
    out.insert(out.end(), identifier.begin(), identifier.end());
    out.push_back(uint8_t(sub.size()));
    out.insert(out.end(), sub.begin(), sub.end());
    out.push_back(0x00);
}

// Image descriptor: 0x2C, left, top, width, height (16 bits each), packed byte (bit 7 local table,
// bit 6 interlace, bits 0-2 table size).
inline void Descriptor(Bytes& out, unsigned left, unsigned top, unsigned width, unsigned height, uint8_t packed)
{
    out.push_back(0x2C);
    Put16(out, left);
    Put16(out, top);
    Put16(out, width);
    Put16(out, height);
    out.push_back(packed);
}

// Image data: LZW minimum code size, the data in sub-blocks of up to 255 bytes, terminator.
inline void ImageData(Bytes& out, uint8_t minimumCodeSize, const Bytes& data)
{
    out.push_back(minimumCodeSize);
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0x00);
}

// LZW codes packed least significant bit first. The code width follows the decoder's table: it starts
// at minimumCodeSize + 1, goes back there at a clear code, and grows when the next free code reaches
// 2^width (up to 12 bits); every code but the first after a clear adds an entry.
inline Bytes PackCodes(unsigned minimumCodeSize, const std::vector<unsigned>& codes)
{
    const unsigned clear = 1u << minimumCodeSize;
    unsigned width = minimumCodeSize + 1, next = clear + 2;
    bool first = true;
    Bytes out;
    uint32_t bits = 0;
    unsigned count = 0;
    for (unsigned code : codes) {
        bits |= code << count;
        count += width;
        while (count >= 8) {
            out.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
        if (code == clear) {
            width = minimumCodeSize + 1;
            next = clear + 2;
            first = true;
        } else if (code != clear + 1) {
            if (!first && next < 4096 && ++next == (1u << width) && width < 12)
                ++width;
            first = false;
        }
    }
    if (count > 0)
        out.push_back(uint8_t(bits));
    return out;
}

// A frame of width x height, all pixels index `value` (< 4), coded as literals with a 2-bit minimum
// code size: clear, one code per pixel, end.
inline void SolidImage(Bytes& out, unsigned width, unsigned height, unsigned value)
{
    std::vector<unsigned> codes = {4};
    for (unsigned i = 0; i < width * height; ++i)
        codes.push_back(value);
    codes.push_back(5);
    ImageData(out, 2, PackCodes(2, codes));
}

}  // namespace pap::anigif::test
