#include <algorithm>
#include <cctype>
#include <limits>

#include "controls/anigif/gif_reader.h"
#include "controls/anigif/gif_stream.h"

namespace pap::anigif {

namespace {

constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr int32_t kMaxFrames = std::numeric_limits<int16_t>::max();

// Reads 2^(sizeField + 1) entries of red, green, blue into table number `table`, growing the bank.
// False, reading nothing, when the data does not hold the whole table.
bool ReadColourTable(GifReader& reader, PaletteBank& bank, size_t table, unsigned sizeField)
{
    const int64_t entries = int64_t{1} << (sizeField + 1);
    auto bytes = reader.Bytes(reader.readPos(), entries * 3);
    if (!bytes)
        return false;
    if (bank.size() <= table)
        bank.resize(table + 1, PaletteTable{});
    for (int64_t i = 0; i < entries; ++i) {
        const uint8_t* rgb = bytes->data() + i * 3;
        bank[table][static_cast<size_t>(i)] = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
    }
    reader.setReadPos(reader.readPos() + entries * 3);
    return true;
}

bool IsLoopingIdentifier(const std::vector<uint8_t>& identifier)
{
    static constexpr char kNetscape[] = "NETSCAPE2.0";
    if (identifier.size() != sizeof kNetscape - 1)
        return false;
    for (size_t i = 0; i < identifier.size(); ++i) {
        if (std::toupper(identifier[i]) != kNetscape[i])
            return false;
    }
    return true;
}

// The block loop. Returns false when the parse must fail as a whole (an image without any colour
// table); true at the end of the stream, however it was reached, with k frames kept.
bool ParseBlocks(GifReader& reader, GifStream& gif, bool hasGlobalTable, int32_t& k)
{
    GifFrame frame;
    int32_t localTables = 0;
    for (;;) {
        auto introducer = reader.ReadByte();
        if (!introducer)
            return true;
        if (*introducer == 0x00)
            continue;
        if (*introducer == kExtension) {
            auto label = reader.ReadByte();
            if (!label)
                return true;
            if (*label == kApplicationLabel) {
                auto blockSize = reader.ReadByte();
                if (!blockSize || *blockSize == 0)
                    return true;
                if (IsLoopingIdentifier(reader.ReadBlock(*blockSize))) {
                    auto subBlockSize = reader.ReadByte();
                    if (!subBlockSize)
                        return true;
                    if (*subBlockSize == 3) {
                        reader.setReadPos(reader.readPos() + 1);
                        auto loops = reader.ReadWord();
                        if (!loops)
                            return true;
                        gif.loopLimit = *loops;
                    } else {
                        reader.setReadPos(reader.readPos() - 1);
                    }
                }
                reader.SkipSubBlocks();
            } else if (*label == kGraphicControlLabel) {
                frame = GifFrame{};
                frame.blockStart = static_cast<int32_t>(reader.readPos() - 2);
                auto blockSize = reader.ReadByte();
                auto packed = blockSize ? reader.ReadByte() : std::nullopt;
                if (!packed)
                    return true;
                frame.disposal = static_cast<uint8_t>(*packed >> 2 & 7);
                if ((frame.disposal == 3 && k == 0) || frame.disposal > 3)
                    frame.disposal = 0;
                auto delay = reader.ReadWord();
                if (!delay)
                    return true;
                frame.delay = int32_t{*delay} * 10;
                frame.hasTransparency = *packed & 1;
                if (frame.hasTransparency) {
                    auto index = reader.ReadByte();
                    if (!index)
                        return true;
                    frame.transparentIndex = *index;
                } else {
                    reader.setReadPos(int64_t{frame.blockStart} + 7);
                }
                reader.SkipSubBlocks();
            } else {
                reader.SkipSubBlocks();
            }
        } else if (*introducer == kImageSeparator) {
            if (k >= kMaxFrames)
                return true;
            FrameSpan& span = gif.spans[static_cast<size_t>(k)];
            span.start = static_cast<int32_t>(reader.readPos() - 1);
            if (frame.blockStart == 0)
                frame.blockStart = span.start;
            // Image descriptor after the separator: left, top, width, height (16 bits each), packed
            // byte (bit 7 local table, bit 6 interlace, bits 0-2 table size).
            int32_t* fields[] = {&frame.left, &frame.top, &frame.width, &frame.height};
            for (int32_t* field : fields) {
                auto value = reader.ReadWord();
                if (!value)
                    return true;
                *field = *value;
            }
            auto packed = reader.ReadByte();
            if (!packed)
                return true;
            if (*packed & 0x80) {
                frame.paletteIndex = ++localTables;
                if (!ReadColourTable(reader, gif.palettes, static_cast<size_t>(localTables), *packed & 7u))
                    return true;
            } else if (!hasGlobalTable) {
                return false;
            }
            if (!reader.ReadByte())  // LZW minimum code size
                return true;
            reader.SkipSubBlocks();
            ++k;
            span.length = static_cast<int32_t>(reader.readPos() - span.start);
            if (span.length >= 3) {
                if (k == static_cast<int32_t>(gif.spans.size()))
                    gif.spans.resize(gif.spans.size() + 5);
                gif.frames.push_back(frame);
                gif.actualWidth = std::max(gif.actualWidth, frame.left + frame.width);
                gif.actualHeight = std::max(gif.actualHeight, frame.top + frame.height);
            } else {
                --k;
            }
            frame = GifFrame{};
        } else {
            return true;
        }
    }
}

}  // namespace

int16_t ParseGifStream(std::span<const uint8_t> gifData, GifStream& gif)
{
    gif = GifStream{};
    // Positions are 32-bit; a larger file is refused rather than having them wrap.
    if (gifData.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1024))
        return 0;
    gif.spans.resize(10);
    GifReader reader(gifData);

    // Header: signature "GIF87a" or "GIF89a" (positions 1-6), then the logical screen descriptor:
    // width (7-8), height (9-10), packed byte (11: bit 7 global table, bits 0-2 its size),
    // background index (12), aspect (13). Only the packed byte is used.
    std::vector<uint8_t> signature = reader.ReadBlock(6);
    for (uint8_t& c : signature)
        c = static_cast<uint8_t>(std::tolower(c));
    static constexpr uint8_t kGif89a[] = {'g', 'i', 'f', '8', '9', 'a'};
    static constexpr uint8_t kGif87a[] = {'g', 'i', 'f', '8', '7', 'a'};
    if (!std::equal(signature.begin(), signature.end(), kGif89a) &&
        !std::equal(signature.begin(), signature.end(), kGif87a)) {
        gif = GifStream{};
        return 0;
    }
    reader.setReadPos(11);
    auto screenPacked = reader.ReadByte();
    if (!screenPacked) {
        gif = GifStream{};
        return 0;
    }
    reader.setReadPos(14);
    const bool hasGlobalTable = *screenPacked & 0x80;
    if (hasGlobalTable && !ReadColourTable(reader, gif.palettes, 0, *screenPacked & 7u)) {
        gif = GifStream{};
        return 0;
    }

    int32_t k = 0;
    if (!ParseBlocks(reader, gif, hasGlobalTable, k)) {
        gif = GifStream{};
        return 0;
    }
    return gif.count();
}

}  // namespace pap::anigif
