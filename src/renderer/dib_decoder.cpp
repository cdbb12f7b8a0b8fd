#include "renderer/dib_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "renderer/byte_reader.h"

namespace pap {

namespace {

// File header, 14 bytes (only bfOffBits is used):
//   +0 "BM"  +2 u32 file size  +6 u16 reserved  +8 u16 reserved  +10 u32 offset of the pixel data
constexpr uint64_t kFileHeaderSize = 14;
constexpr uint64_t kPixelOffsetField = 10;

// Core header, 12 bytes:
//   +0 u32 size (12)  +4 u16 width  +6 u16 height  +8 u16 planes  +10 u16 bits per pixel
//   followed by the colour table, 3 bytes per entry: blue, green, red.
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint64_t kCoreEntrySize = 3;

// Info header, 40 bytes:
//   +0 u32 size (40)  +4 i32 width  +8 i32 height (negative: top-down)  +12 u16 planes
//   +14 u16 bits per pixel  +16 u32 compression  +20 u32 image size  +24 i32 x pixels per metre
//   +28 i32 y pixels per metre  +32 u32 colours used  +36 u32 important colours
//   followed, for compression 3, by three u32 masks (red, green, blue), then the colour table,
//   4 bytes per entry: blue, green, red, reserved.
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint64_t kInfoEntrySize = 4;
constexpr uint64_t kMaskFieldsSize = 12;

constexpr uint32_t kDefaultMasks16[3] = {0x7C00, 0x03E0, 0x001F};  // 5-5-5
constexpr uint32_t kDefaultMasks32[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};

struct Failure {
    DibError error = DibError::None;
    const char* reason = "";
};

constexpr Failure unknownFormat(const char* reason) { return {DibError::UnknownFormat, reason}; }
constexpr Failure conversionError(const char* reason) { return {DibError::ConversionError, reason}; }
constexpr Failure outOfMemory(const char* reason) { return {DibError::OutOfMemory, reason}; }

// Always 256 entries of red, green, blue: indices beyond the file's table read black, so a pixel
// index can never reach outside it.
struct Palette {
    uint8_t rgb[256][3] = {};
};

// One colour channel of a bit-field pixel: the masked bits, shifted down and cut to at most 8
// significant bits, then widened to 0..255 through a table.
struct Channel {
    uint32_t mask = 0;
    unsigned shift = 0;
    uint8_t scale[256] = {};

    explicit Channel(uint32_t channelMask) : mask(channelMask)
    {
        if (mask == 0)
            return;  // the channel reads 0
        unsigned low = static_cast<unsigned>(std::countr_zero(mask));
        unsigned width = static_cast<unsigned>(std::bit_width(mask >> low));
        unsigned bits = std::min(width, 8u);
        shift = low + (width - bits);
        // Repeating the bits downwards maps 0 to 0 and the top value to 255 (5 bits abcde: abcdeabc).
        for (uint32_t value = 0; value < (1u << bits); ++value) {
            uint32_t repeated = value;
            unsigned length = bits;
            for (; length < 8; length += bits)
                repeated = repeated << bits | value;
            scale[value] = static_cast<uint8_t>(repeated >> (length - 8));
        }
    }

    uint8_t operator()(uint32_t pixel) const { return scale[((pixel & mask) >> shift) & 0xFF]; }
};

// The decoded output and where each source row goes in it.
class RowSink {
public:
    RowSink(RgbImage& image, bool topDown) : m_image(image), m_topDown(topDown) {}

    uint8_t* row(uint32_t sourceRow)
    {
        uint32_t height = static_cast<uint32_t>(m_image.sizeY);
        uint32_t outputRow = m_topDown ? height - 1 - sourceRow : sourceRow;
        return m_image.pixels.data() + size_t{outputRow} * static_cast<size_t>(m_image.sizeX) * 3;
    }

private:
    RgbImage& m_image;
    bool m_topDown;
};

void convertRow24(const uint8_t* in, uint8_t* out, uint32_t width)
{
    uint32_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels (12 bytes) per step as three 32-bit words:
        //   in:  B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3
        //   out: R0 G0 B0 R1 | G1 B1 R2 G2 | B2 R3 G3 B3
        for (; x + 4 <= width; x += 4, in += 12, out += 12) {
            uint32_t w0, w1, w2;
            std::memcpy(&w0, in, 4);
            std::memcpy(&w1, in + 4, 4);
            std::memcpy(&w2, in + 8, 4);
            uint32_t o0 = (w0 >> 16 & 0xFF) | (w0 & 0xFF00) | (w0 & 0xFF) << 16 | (w1 >> 8 & 0xFF) << 24;
            uint32_t o1 = (w1 & 0xFF) | (w0 >> 24) << 8 | (w2 & 0xFF) << 16 | (w1 & 0xFF000000);
            uint32_t o2 = (w1 >> 16 & 0xFF) | (w2 >> 24) << 8 | (w2 & 0xFF0000) | (w2 >> 8 & 0xFF) << 24;
            std::memcpy(out, &o0, 4);
            std::memcpy(out + 4, &o1, 4);
            std::memcpy(out + 8, &o2, 4);
        }
    }
    for (; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

void convertRow32(const uint8_t* in, uint8_t* out, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// count copies of one colour; four pixels (12 bytes) per step as three 32-bit words
// R G B R | G B R G | B R G B.
void fillPixels(uint8_t* out, const uint8_t* colour, uint32_t count)
{
    uint32_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const uint32_t r = colour[0], g = colour[1], b = colour[2];
        const uint32_t w0 = r | g << 8 | b << 16 | r << 24;
        const uint32_t w1 = g | b << 8 | r << 16 | g << 24;
        const uint32_t w2 = b | r << 8 | g << 16 | b << 24;
        for (; i + 4 <= count; i += 4, out += 12) {
            std::memcpy(out, &w0, 4);
            std::memcpy(out + 4, &w1, 4);
            std::memcpy(out + 8, &w2, 4);
        }
    }
    for (; i < count; ++i, out += 3)
        std::memcpy(out, colour, 3);
}

template <unsigned Bits>
void convertIndexedRow(const uint8_t* in, uint8_t* out, uint32_t width, const Palette& palette)
{
    constexpr unsigned kPerByte = 8 / Bits;
    constexpr unsigned kIndexMask = (1u << Bits) - 1;
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        // The leftmost pixel sits in the most significant bits of its byte.
        unsigned shift = (kPerByte - 1 - x % kPerByte) * Bits;
        unsigned index = in[x / kPerByte] >> shift & kIndexMask;
        std::memcpy(out, palette.rgb[index], 3);
    }
}

template <unsigned Bytes>
void convertMaskedRow(const uint8_t* in, uint8_t* out, uint32_t width, const Channel* channels)
{
    for (uint32_t x = 0; x < width; ++x, in += Bytes, out += 3) {
        uint32_t pixel = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8;
        if constexpr (Bytes == 4)
            pixel |= static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
        out[0] = channels[0](pixel);
        out[1] = channels[1](pixel);
        out[2] = channels[2](pixel);
    }
}

struct Layout {
    DibHeader header;
    uint32_t width = 0;
    uint32_t height = 0;
    bool topDown = false;
    uint64_t pixelOffset = 0;
    Palette palette;
    uint32_t masks[3] = {};
};

Failure decodeUncompressed(const ByteReader& file, const Layout& layout, RgbImage& image)
{
    const uint32_t bits = layout.header.bitCount;
    const uint64_t stride = (uint64_t{layout.width} * bits + 31) / 32 * 4;
    // The caller has checked that stride * height bytes are there.
    const uint8_t* data = file.tail(layout.pixelOffset).data();
    RowSink sink(image, layout.topDown);

    const Channel masked[3] = {Channel(layout.masks[0]), Channel(layout.masks[1]), Channel(layout.masks[2])};
    const bool plain32 = bits == 32 && std::equal(layout.masks, layout.masks + 3, kDefaultMasks32);

    for (uint32_t y = 0; y < layout.height; ++y) {
        const uint8_t* in = data + y * stride;
        uint8_t* out = sink.row(y);
        switch (bits) {
        case 1: convertIndexedRow<1>(in, out, layout.width, layout.palette); break;
        case 4: convertIndexedRow<4>(in, out, layout.width, layout.palette); break;
        case 8: convertIndexedRow<8>(in, out, layout.width, layout.palette); break;
        case 16: convertMaskedRow<2>(in, out, layout.width, masked); break;
        case 24: convertRow24(in, out, layout.width); break;
        case 32:
            if (plain32)
                convertRow32(in, out, layout.width);
            else
                convertMaskedRow<4>(in, out, layout.width, masked);
            break;
        default: return conversionError("unsupported bits per pixel");
        }
    }
    return {};
}

// RLE8 and RLE4: pairs of bytes. (n > 0, c): n pixels of colour c (RLE4: the two nibbles of c by
// turns). (0, 0): end of line. (0, 1): end of bitmap. (0, 2, dx, dy): move right and up. (0, n >= 3):
// n literal pixels (RLE4: two per byte), padded to a whole number of 16-bit words. Pixels outside the
// picture are dropped; pixels never written stay black. Decoding ends at end-of-bitmap, or once every
// row is there: the position has passed the top row, or reached the end of the top row when the data
// runs out (many writers leave out the final codes). Data that runs out before that is cut.
template <bool Four>
Failure decodeRunLength(const ByteReader& file, const Layout& layout, RgbImage& image)
{
    const uint32_t width = layout.width;
    const uint32_t height = layout.height;
    const Palette& palette = layout.palette;
    ByteCursor cursor(file.tail(layout.pixelOffset));
    uint32_t x = 0;
    uint32_t y = 0;

    auto rowAt = [&](uint32_t row) { return image.pixels.data() + size_t{row} * width * 3; };
    // Where data that runs out still leaves a whole picture.
    auto cut = [&](const char* reason) {
        const bool topRowDone = y + 1 == height && x == width;
        return topRowDone ? Failure{} : conversionError(reason);
    };

    for (;;) {
        // Past the top row nothing can be drawn any more (positions only grow).
        if (y >= height)
            return {};
        uint8_t first, second;
        if (!cursor.pair(first, second))
            return cut("run-length data ends before its last row");
        if (first > 0) {
            if (y < height) {
                uint32_t count = std::min<uint32_t>(first, width - x);
                uint8_t* out = rowAt(y) + size_t{x} * 3;
                if constexpr (Four) {
                    const uint8_t* colours[2] = {palette.rgb[second >> 4], palette.rgb[second & 0xF]};
                    for (uint32_t i = 0; i < count; ++i, out += 3)
                        std::memcpy(out, colours[i & 1], 3);
                } else {
                    fillPixels(out, palette.rgb[second], count);
                }
            }
            x = std::min(x + first, width);
            continue;
        }
        switch (second) {
        case 0:  // end of line
            x = 0;
            y = std::min(y + 1, height);
            break;
        case 1:  // end of bitmap
            return {};
        case 2: {  // delta
            uint8_t dx, dy;
            if (!cursor.pair(dx, dy))
                return cut("run-length delta cut");
            // Coordinates stop at the picture's edge: nothing beyond it is drawn, and they only grow.
            x = std::min(x + dx, width);
            y = std::min(y + dy, height);
            break;
        }
        default: {  // literal run
            uint32_t count = second;
            size_t bytes = Four ? (count + 1) / 2 : count;
            auto literal = cursor.take(bytes + (bytes & 1));
            if (!literal)
                return cut("run-length literal run cut");
            if (y < height) {
                uint32_t shown = std::min(count, width - x);
                uint8_t* out = rowAt(y) + size_t{x} * 3;
                const uint8_t* in = literal->data();
                for (uint32_t i = 0; i < shown; ++i, out += 3) {
                    unsigned index = Four ? (in[i / 2] >> (i & 1 ? 0 : 4) & 0xF) : in[i];
                    std::memcpy(out, palette.rgb[index], 3);
                }
            }
            x = std::min(x + count, width);
            break;
        }
        }
    }
}

// Reads the headers, masks and colour table, and checks everything the pixel decoding relies on.
Failure readLayout(const ByteReader& file, Layout& layout, DibHeader& header)
{
    const bool fileHeader = file.size() >= 2 && file.u8(0) == 'B' && file.u8(1) == 'M';
    const uint64_t at = fileHeader ? kFileHeaderSize : 0;
    if (fileHeader && !file.contains(0, kFileHeaderSize))
        return unknownFormat("file header cut");

    auto headerSize = file.u32(at);
    if (!headerSize)
        return unknownFormat("bitmap header cut");
    header.headerSize = *headerSize;
    if (*headerSize != kCoreHeaderSize && *headerSize != kInfoHeaderSize)
        return unknownFormat("bitmap header size is neither 12 nor 40");
    if (!file.contains(at, *headerSize))
        return unknownFormat("bitmap header cut");

    // Every field below lies within the header just checked.
    uint64_t entrySize;
    if (*headerSize == kCoreHeaderSize) {
        header.width = *file.u16(at + 4);
        header.height = *file.u16(at + 6);
        header.planes = *file.u16(at + 8);
        header.bitCount = *file.u16(at + 10);
        entrySize = kCoreEntrySize;
    } else {
        header.width = *file.i32(at + 4);
        header.height = *file.i32(at + 8);
        header.planes = *file.u16(at + 12);
        header.bitCount = *file.u16(at + 14);
        header.compression = *file.u32(at + 16);
        header.imageSize = *file.u32(at + 20);
        header.xPelsPerMeter = *file.i32(at + 24);
        header.yPelsPerMeter = *file.i32(at + 28);
        header.colorsUsed = *file.u32(at + 32);
        header.colorsImportant = *file.u32(at + 36);
        entrySize = kInfoEntrySize;
    }
    layout.header = header;

    uint64_t tableAt = at + *headerSize;
    if (header.compression == DibBitFields) {
        if (!file.contains(tableAt, kMaskFieldsSize))
            return unknownFormat("bit-field masks cut");
        for (int c = 0; c < 3; ++c)
            layout.masks[c] = *file.u32(tableAt + 4 * c);
        tableAt += kMaskFieldsSize;
    } else if (header.bitCount == 16) {
        std::copy(kDefaultMasks16, kDefaultMasks16 + 3, layout.masks);
    } else if (header.bitCount == 32) {
        std::copy(kDefaultMasks32, kDefaultMasks32 + 3, layout.masks);
    }

    const uint64_t count = DibColorCount(header);
    const uint64_t tableSize = count * entrySize;
    if (!file.contains(tableAt, tableSize))
        return unknownFormat("colour table cut");
    for (uint64_t i = 0; i < std::min<uint64_t>(count, 256); ++i) {
        uint64_t entry = tableAt + i * entrySize;
        layout.palette.rgb[i][0] = *file.u8(entry + 2);
        layout.palette.rgb[i][1] = *file.u8(entry + 1);
        layout.palette.rgb[i][2] = *file.u8(entry);
    }

    layout.pixelOffset = fileHeader ? *file.u32(kPixelOffsetField) : tableAt + tableSize;

    if (header.width <= 0 || header.height == 0)
        return conversionError("picture has no pixels");
    layout.width = static_cast<uint32_t>(header.width);
    layout.topDown = header.height < 0;
    layout.height = static_cast<uint32_t>(layout.topDown ? -int64_t{header.height} : header.height);

    switch (header.compression) {
    case DibRgb:
        switch (header.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return conversionError("unsupported bits per pixel");
        }
        break;
    case DibRle8:
    case DibRle4:
        if (header.bitCount != (header.compression == DibRle8 ? 8 : 4))
            return conversionError("run-length compression does not match the bits per pixel");
        if (layout.topDown)
            return conversionError("run-length bitmaps cannot be top-down");
        break;
    case DibBitFields:
        if (header.bitCount != 16 && header.bitCount != 32)
            return conversionError("bit fields need 16 or 32 bits per pixel");
        break;
    default:
        return conversionError("unsupported compression");
    }

    if (layout.pixelOffset > file.size())
        return conversionError("pixel data offset beyond the end of the file");
    if (header.compression == DibRgb || header.compression == DibBitFields) {
        // Rows are padded to whole 32-bit words in the file.
        const uint64_t stride = (uint64_t{layout.width} * header.bitCount + 31) / 32 * 4;
        const uint64_t available = file.size() - layout.pixelOffset;
        if (layout.height > available / stride)
            return conversionError("pixel data cut");
    }

    const uint64_t pixels = uint64_t{layout.width} * layout.height;
    if (pixels > SIZE_MAX / 3)
        return outOfMemory("picture too big");
    return {};
}

}  // namespace

uint32_t DibColorCount(const DibHeader& header)
{
    if (header.headerSize == kInfoHeaderSize && header.colorsUsed != 0)
        return header.colorsUsed;
    switch (header.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

const char* DibErrorMessage(DibError error)
{
    switch (error) {
    case DibError::None: return "";
    case DibError::UnknownFormat: return "Unknown DIB file format.";
    case DibError::ConversionError: return "Image file conversion error.";
    case DibError::OutOfMemory: return "Out of memory.";
    }
    return "";
}

DibDecodeResult DecodeDib(std::span<const uint8_t> bytes, const DibLimits& limits)
{
    DibDecodeResult result;
    auto fail = [&](Failure failure) {
        result.error = failure.error;
        result.reason = failure.reason;
        return std::move(result);
    };

    const ByteReader file(bytes);
    Layout layout;
    if (Failure failure = readLayout(file, layout, result.header); failure.error != DibError::None)
        return fail(failure);
    if (uint64_t{layout.width} * layout.height > limits.maxPixels)
        return fail(outOfMemory("picture larger than the decoder's limit"));

    RgbImage image;
    try {
        image.pixels.resize(size_t{layout.width} * layout.height * 3);
    } catch (const std::bad_alloc&) {
        return fail(outOfMemory("no memory for the picture"));
    }
    image.sizeX = static_cast<int32_t>(layout.width);
    image.sizeY = static_cast<int32_t>(layout.height);

    Failure failure = layout.header.compression == DibRle8   ? decodeRunLength<false>(file, layout, image)
                      : layout.header.compression == DibRle4 ? decodeRunLength<true>(file, layout, image)
                                                             : decodeUncompressed(file, layout, image);
    if (failure.error != DibError::None)
        return fail(failure);
    result.image = std::move(image);
    return result;
}

}  // namespace pap
