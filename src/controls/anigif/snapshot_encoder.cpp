#include "controls/anigif/snapshot_encoder.h"

#include <array>
#include <cassert>
#include <cstring>
#include <memory>
#include <new>

namespace pap::anigif {

namespace {

// Open-addressing hash of (prefix code, pixel) pairs; 5003 is prime, so the secondary probe visits
// every slot.
constexpr int32_t kHashSize = 5003;
// Doublings of 5003 needed to reach 65536 (4), subtracted from 8.
constexpr int kHashShift = 4;
constexpr int32_t kClearCode = 256;
constexpr int32_t kEndCode = 257;
constexpr int32_t kFirstFree = 258;
constexpr int32_t kTableLimit = 4096;
constexpr int kStartWidth = 9;
constexpr size_t kPacketSize = 254;

constexpr std::array<int32_t, 17> kMasks = [] {
    std::array<int32_t, 17> masks{};
    for (int n = 0; n < 17; ++n)
        masks[size_t(n)] = (int32_t{1} << n) - 1;
    return masks;
}();

// The LZW code stream of one frame, written as data sub-blocks into `out` from position `length` on.
// `out` is grown the way the snapshot's output buffer is: by 512 bytes whenever fewer than 260 are
// free before a full packet goes out, and by the packet's size + 6 for the last packet.
class SnapshotLzw {
public:
    SnapshotLzw(std::vector<uint8_t>& out, size_t length) : m_out(out), m_length(length) {}

    // Compresses the pixels of a width x height slice whose rows lie `stride` bytes apart, top row
    // first, ending with the end code and the last partial packet.
    void Encode(const uint8_t* pixels, size_t stride, int32_t width, int32_t height)
    {
        ResetTable();
        m_freeCode = kFirstFree;
        OutputCode(kClearCode);

        int32_t ent = pixels[0];
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = pixels + size_t(y) * stride;
            for (int32_t x = (y == 0 ? 1 : 0); x < width; ++x) {
                const int32_t c = row[x];
                const int32_t fcode = (c << 12) + ent;
                int32_t i = (c << kHashShift) ^ ent;
                if (htab[size_t(i)] == fcode) {
                    ent = codetab[size_t(i)];
                    continue;
                }
                if (htab[size_t(i)] >= 0) {
                    const int32_t displacement = i == 0 ? 1 : kHashSize - i;
                    bool found = false;
                    do {
                        i -= displacement;
                        if (i < 0)
                            i += kHashSize;
                        if (htab[size_t(i)] == fcode) {
                            found = true;
                            break;
                        }
                    } while (htab[size_t(i)] > 0);
                    if (found) {
                        ent = codetab[size_t(i)];
                        continue;
                    }
                }
                OutputCode(ent);
                ent = c;
                codetab[size_t(i)] = uint16_t(m_freeCode);
                htab[size_t(i)] = fcode;
                if (m_freeCode > m_maxCode) {
                    if (m_freeCode == kTableLimit) {
                        OutputCode(kClearCode);
                        ResetTable();
                        m_freeCode = kFirstFree - 1;
                    } else {
                        ++m_width;
                        m_maxCode = kMasks[size_t(m_width)];
                    }
                }
                ++m_freeCode;
            }
        }
        OutputCode(ent);
        OutputCode(kEndCode);
        OutputCode(-1);
    }

    // Position after the last byte written.
    size_t length() const { return m_length; }

private:
    void ResetTable()
    {
        std::memset(htab.data(), 0xFF, sizeof htab);
        m_width = kStartWidth;
        m_maxCode = kMasks[kStartWidth];
    }

    // Appends `code` at the current width; -1 flushes the pending bits and the partial packet.
    void OutputCode(int32_t code)
    {
        if (code >= 0) {
            // Locals, as the byte stores into the packet could otherwise alias every member.
            uint32_t accumulator = m_accumulator | uint32_t(code) << m_pending;
            int pending = m_pending + m_width;
            size_t packetLength = m_packetLength;
            while (pending >= 8) {
                m_packet[packetLength++] = uint8_t(accumulator);
                accumulator >>= 8;
                pending -= 8;
                if (packetLength == kPacketSize) {
                    if (m_out.size() - m_length < 260)
                        m_out.resize(m_out.size() + 512);
                    m_packetLength = packetLength;
                    WritePacket();
                    packetLength = 0;
                }
            }
            m_accumulator = accumulator;
            m_pending = pending;
            m_packetLength = packetLength;
            return;
        }
        if (m_pending > 0)
            m_packet[m_packetLength++] = uint8_t(m_accumulator);
        m_accumulator = 0;
        m_pending = 0;
        if (m_packetLength == 0)
            return;
        if (m_out.size() - m_length < m_packetLength + 3)  // with the terminator and trailer after it
            m_out.resize(m_out.size() + m_packetLength + 6);
        WritePacket();
    }

    void WritePacket()
    {
        assert(m_out.size() - m_length > m_packetLength);
        m_out[m_length] = uint8_t(m_packetLength);
        std::memcpy(m_out.data() + m_length + 1, m_packet.data(), m_packetLength);
        m_length += m_packetLength + 1;
        m_packetLength = 0;
    }

    std::vector<uint8_t>& m_out;
    size_t m_length;

    std::array<int32_t, kHashSize> htab;     // fcode of each slot, -1 empty
    std::array<uint16_t, kHashSize> codetab;  // the code given to each slot's string
    int32_t m_freeCode = kFirstFree;
    int m_width = kStartWidth;
    int32_t m_maxCode = kMasks[kStartWidth];

    uint32_t m_accumulator = 0;
    int m_pending = 0;
    std::array<uint8_t, kPacketSize> m_packet;
    size_t m_packetLength = 0;
};

void Put16(uint8_t* at, int32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

}  // namespace

std::vector<uint8_t> SnapshotFrame(const GifStream& gif, int32_t frameNumber)
{
    if (frameNumber < 1 || frameNumber > gif.decodedFrames || size_t(frameNumber) > gif.frames.size())
        return {};
    const GifFrame& frame = gif.frames[size_t(frameNumber - 1)];
    const IndexStrip& strip = gif.strip;
    if (frame.width <= 0 || frame.height <= 0 || frame.blockStart < 0 ||
        int64_t{frame.blockStart} + frame.width > strip.width || frame.height > strip.height ||
        strip.pixels.size() != size_t(strip.width) * size_t(strip.height) || frame.paletteIndex < 0 ||
        size_t(frame.paletteIndex) >= gif.palettes.size())
        return {};

    std::vector<uint8_t> out;
    try {
        out.resize(size_t(frame.width) * size_t(frame.height) + 800);
        uint8_t* at = out.data();

        // Header: signature, logical width and height, packed byte 0x87 (a global table of 256
        // entries), background index 0, aspect 0; then the table as red, green, blue triples.
        std::memcpy(at, "GIF89a", 6);
        Put16(at + 6, frame.width);
        Put16(at + 8, frame.height);
        at[10] = 0x87;
        at[11] = 0;
        at[12] = 0;
        at += 13;
        for (const uint32_t colour : gif.palettes[size_t(frame.paletteIndex)]) {
            at[0] = uint8_t(colour >> 16);
            at[1] = uint8_t(colour >> 8);
            at[2] = uint8_t(colour);
            at += 3;
        }
        // Graphic control block, for a transparent frame only: 0x21 0xF9, size 4, packed byte 1
        // (transparency on, disposal 0), delay 0, transparent index, terminator.
        if (frame.hasTransparency) {
            const uint8_t control[] = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, frame.transparentIndex, 0x00};
            std::memcpy(at, control, sizeof control);
            at += sizeof control;
        }
        // Image descriptor: 0x2C, left 0, top 0, width, height, packed byte 0 (no local table, not
        // interlaced); then the LZW minimum code size 8.
        at[0] = 0x2C;
        std::memset(at + 1, 0, 4);
        std::memcpy(at + 5, out.data() + 6, 4);
        at[9] = 0;
        at[10] = 8;
        at += 11;

        auto lzw = std::make_unique<SnapshotLzw>(out, size_t(at - out.data()));
        lzw->Encode(strip.pixels.data() + frame.blockStart, size_t(strip.width), frame.width, frame.height);
        size_t length = lzw->length();
        if (out.size() - length < 2)
            out.resize(length + 2);
        out[length++] = 0x00;  // block terminator
        out[length++] = 0x3B;  // trailer
        out.resize(length);
    } catch (const std::bad_alloc&) {
        return {};
    }
    return out;
}

}  // namespace pap::anigif
