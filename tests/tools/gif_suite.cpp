#include "tools/gif_suite.h"

#include <algorithm>
#include <random>
#include <unordered_map>

#include "controls/anigif/gif_builder.h"

namespace pap::gifsuite {

namespace {

// Codes packed least significant bit first, remembering where each code ends and how many pixels
// the codes up to it stand for.
class CodeWriter {
public:
    void Put(unsigned code, int width, size_t pixelsSoFar)
    {
        m_bits |= uint64_t{code} << m_count;
        m_count += width;
        m_bitsWritten += size_t(width);
        m_ends.push_back({m_bitsWritten, pixelsSoFar});
        while (m_count >= 8) {
            m_out.push_back(uint8_t(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }

    LzwResult Finish(int keepBytes, size_t totalPixels, bool ended)
    {
        if (m_count > 0)
            m_out.push_back(uint8_t(m_bits));
        LzwResult result;
        result.data = m_out;
        if (keepBytes >= 0 && size_t(keepBytes) < result.data.size()) {
            result.data.resize(size_t(keepBytes));
            for (const auto& [end, pixels] : m_ends)
                if (end <= size_t(keepBytes) * 8)
                    result.decodable = pixels;
        } else {
            result.decodable = ended ? totalPixels : m_ends.empty() ? 0 : m_ends.back().second;
        }
        result.decodable = std::min(result.decodable, totalPixels);
        return result;
    }

private:
    Bytes m_out;
    uint64_t m_bits = 0;
    int m_count = 0;
    size_t m_bitsWritten = 0;
    std::vector<std::pair<size_t, size_t>> m_ends;
};

// Codes given one by one, at the width a decoder reads them.
LzwResult PackRaw(const LzwOptions& o)
{
    LzwResult result;
    result.data = anigif::test::PackCodes(unsigned(o.minimumCodeSize), o.rawCodes);
    if (o.keepDataBytes >= 0 && size_t(o.keepDataBytes) < result.data.size())
        result.data.resize(size_t(o.keepDataBytes));
    return result;
}

}  // namespace

LzwResult EncodeLzw(const Bytes& indices, const LzwOptions& o)
{
    if (!o.rawCodes.empty())
        return PackRaw(o);
    const unsigned clear = 1u << o.minimumCodeSize;
    const unsigned end = clear + 1;
    CodeWriter out;
    std::unordered_map<uint32_t, unsigned> table;
    int width = 0;
    unsigned next = 0;
    bool full = false;
    auto reset = [&] {
        table.clear();
        width = o.minimumCodeSize + 1;
        next = end + 1;
        full = false;
    };
    reset();
    out.Put(clear, width, 0);
    if (indices.empty())
        return out.Finish(o.keepDataBytes, 0, true);

    unsigned prefix = indices[0];
    size_t done = 0;       // pixels of the codes written
    size_t prefixLength = 1;
    int codesSinceClear = 0;
    for (size_t p = 1; p < indices.size(); ++p) {
        const unsigned c = indices[p];
        if (o.clearEvery > 0 && codesSinceClear >= o.clearEvery) {
            // The decoder adds an entry for this code too and may widen before the clear code.
            done += prefixLength;
            out.Put(prefix, width, done);
            if (!full && next++ >= (1u << width) && width < 12)
                ++width;
            out.Put(clear, width, done);
            reset();
            codesSinceClear = 0;
            prefix = c;
            prefixLength = 1;
            continue;
        }
        const uint32_t key = (prefix << 8) | c;
        if (auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            ++prefixLength;
            continue;
        }
        done += prefixLength;
        out.Put(prefix, width, done);
        ++codesSinceClear;
        if (!full) {
            const unsigned code = next++;
            table[key] = code;
            if (code >= (1u << width) && width < 12)
                ++width;
            if (next == 4096) {
                if (o.onFull == OnFull::Clear) {
                    out.Put(clear, width, done);
                    reset();
                    codesSinceClear = 0;
                } else {
                    full = true;
                }
            }
        }
        prefix = c;
        prefixLength = 1;
    }
    done += prefixLength;
    out.Put(prefix, width, done);
    if (o.endCode)
        out.Put(end, width, done);
    return out.Finish(o.keepDataBytes, indices.size(), true);
}

namespace {

void Put16(Bytes& out, unsigned v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }

int TableBits(const Colours& table, int given)
{
    if (given > 0)
        return given;
    int bits = 0;
    while ((2u << bits) < table.size() && bits < 7)
        ++bits;
    return bits;
}

void PutTable(Bytes& out, const Colours& table, int bits)
{
    for (unsigned i = 0; i < (2u << bits); ++i) {
        const uint32_t c = i < table.size() ? table[i] : 0;
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
}

// The image row that each row of the file holds: the four interlace passes, or straight down.
std::vector<int> FileRows(const Frame& f)
{
    std::vector<int> rows;
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass)
        for (int y = f.interlaced ? starts[pass] : 0; y < f.height; y += f.interlaced ? steps[pass] : 1)
            rows.push_back(y);
    return rows;
}

// Image rows in the order a file stores them.
Bytes FileOrder(const Frame& f)
{
    if (!f.interlaced)
        return f.indices;
    Bytes out;
    for (int y : FileRows(f))
        out.insert(out.end(), f.indices.begin() + long(y) * f.width, f.indices.begin() + long(y + 1) * f.width);
    return out;
}

std::pair<int, int> Extent(const Case& c)
{
    int w = 0, h = 0;
    for (const Frame& f : c.frames) {
        w = std::max(w, f.left + f.width);
        h = std::max(h, f.top + f.height);
    }
    return {w, h};
}

}  // namespace

Bytes WriteGif(const Case& c)
{
    Bytes out(c.signature.begin(), c.signature.end());
    auto [w, h] = Extent(c);
    Put16(out, unsigned(c.screenWidth ? c.screenWidth : w));
    Put16(out, unsigned(c.screenHeight ? c.screenHeight : h));
    const int globalBits = c.globalTable ? TableBits(*c.globalTable, c.globalTableBits) : 0;
    out.insert(out.end(), {uint8_t(c.globalTable ? 0x80 | globalBits : 0), 0, 0});
    if (c.globalTable)
        PutTable(out, *c.globalTable, globalBits);
    if (c.loop) {
        out.insert(out.end(), {0x21, 0xFF, uint8_t(c.loopIdentifier.size())});
        out.insert(out.end(), c.loopIdentifier.begin(), c.loopIdentifier.end());
        out.insert(out.end(), {3, 1});
        Put16(out, unsigned(*c.loop));
        out.push_back(0);
    }
    for (const Frame& f : c.frames) {
        out.insert(out.end(), f.before.begin(), f.before.end());
        if (f.control) {
            out.insert(out.end(), {0x21, 0xF9, 4, uint8_t(f.disposal << 2 | (f.transparent >= 0 ? 1 : 0))});
            Put16(out, unsigned(f.delay));
            out.insert(out.end(), {uint8_t(std::max(f.transparent, 0)), 0});
        }
        const int localBits = f.localTable ? TableBits(*f.localTable, f.localTableBits) : 0;
        out.push_back(0x2C);
        for (int v : {f.left, f.top, f.width, f.height})
            Put16(out, unsigned(v));
        out.push_back(uint8_t((f.localTable ? 0x80 | localBits : 0) | (f.interlaced ? 0x40 : 0)));
        if (f.localTable)
            PutTable(out, *f.localTable, localBits);
        out.push_back(uint8_t(f.lzw.minimumCodeSize));
        const Bytes data = EncodeLzw(FileOrder(f), f.lzw).data;
        for (size_t i = 0; i < data.size(); i += size_t(f.lzw.subBlockSize)) {
            const size_t n = std::min(size_t(f.lzw.subBlockSize), data.size() - i);
            out.push_back(uint8_t(n));
            out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
        }
        out.push_back(0);
    }
    out.insert(out.end(), c.trailer.begin(), c.trailer.end());
    if (c.cutAt >= 0 && size_t(c.cutAt) < out.size())
        out.resize(size_t(c.cutAt));
    return out;
}

namespace {

// The indices a decoder leaves in a frame's slice: what the data holds, up to where it can be read,
// the rest index 0; in image order.
Bytes DecodedIndices(const Frame& f)
{
    if (f.expectedIndices)
        return *f.expectedIndices;
    if (f.lzw.minimumCodeSize < 2 || f.lzw.minimumCodeSize > 8)
        return Bytes(f.indices.size(), 0);
    const Bytes fileOrder = FileOrder(f);
    const size_t decodable = EncodeLzw(fileOrder, f.lzw).decodable;
    Bytes got(fileOrder.size(), 0);
    std::copy_n(fileOrder.begin(), std::min(decodable, got.size()), got.begin());
    if (!f.interlaced)
        return got;
    // Undo the interlace order: row r of the file is image row rows[r].
    const std::vector<int> rows = FileRows(f);
    Bytes image(got.size(), 0);
    for (size_t r = 0; r < rows.size(); ++r)
        std::copy_n(got.begin() + long(r) * f.width, f.width, image.begin() + long(rows[r]) * f.width);
    return image;
}

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

}  // namespace

Expected ExpectedFor(const Case& c)
{
    Expected e;
    const size_t kept = c.expectedFrames >= 0 ? size_t(c.expectedFrames) : c.frames.size();
    if (kept == 0)
        return e;
    for (size_t i = 0; i < kept; ++i)
        if (!c.frames[i].localTable && !c.globalTable)
            return e;
    const std::vector<Frame> frames(c.frames.begin(), c.frames.begin() + long(kept));
    e.frames = int(kept);
    for (const Frame& f : frames) {
        e.width = std::max(e.width, f.left + f.width);
        e.height = std::max(e.height, f.top + f.height);
    }
    if (c.loop) {
        std::string id = c.loopIdentifier;
        std::transform(id.begin(), id.end(), id.begin(), [](char ch) { return char(std::toupper(ch)); });
        if (id == "NETSCAPE2.0")
            e.loop = *c.loop;
    }

    // Disposal as kept: above 3 becomes 0, 3 on the first frame becomes 0.
    std::vector<int> disposal;
    for (size_t i = 0; i < kept; ++i) {
        int d = frames[i].control ? frames[i].disposal : 0;
        if (d > 3 || (d == 3 && i == 0))
            d = 0;
        disposal.push_back(d);
    }
    bool allTwo = true, anyTransparent = false, needMask = false;
    for (size_t i = 0; i < kept; ++i) {
        allTwo = allTwo && disposal[i] == 2;
        anyTransparent = anyTransparent || frames[i].transparent >= 0;
        needMask = needMask || disposal[i] >= 2;
    }
    const bool compose = kept > 1 && !allTwo;
    const Frame& first = frames[0];
    needMask = needMask || first.transparent >= 0 ||
               (anyTransparent && (first.width != e.width || first.height != e.height));

    const size_t area = size_t(e.width) * size_t(e.height);
    std::vector<Rgba> canvas(area), saved;
    for (size_t k = 0; k < kept; ++k) {
        const Frame& f = frames[k];
        const Colours& table = f.localTable ? *f.localTable : *c.globalTable;
        const int bits = f.localTable ? TableBits(*f.localTable, f.localTableBits)
                                      : TableBits(*c.globalTable, c.globalTableBits);
        const Bytes indices = DecodedIndices(f);
        if (!compose || k == 0)
            std::fill(canvas.begin(), canvas.end(), compose && !needMask ? Rgba{0, 0, 0, 255} : Rgba{});
        if (compose && disposal[k] == 3)
            saved = canvas;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const uint8_t index = indices[size_t(y) * size_t(f.width) + size_t(x)];
                if (index == f.transparent)
                    continue;
                const uint32_t colour = index < (2u << bits) && index < table.size() ? table[index] : 0;
                canvas[size_t(f.top + y) * size_t(e.width) + size_t(f.left + x)] =
                    Rgba{uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour), 255};
            }
        ExpectedFrame out{f.control ? f.delay * 10 : 0, disposal[k], f.left, f.top, f.width, f.height,
                          f.transparent, {}};
        for (const Rgba& p : canvas)
            out.rgba.insert(out.rgba.end(), {p.r, p.g, p.b, p.a});
        e.perFrame.push_back(std::move(out));
        if (compose && disposal[k] == 2)
            for (int y = 0; y < f.height; ++y)
                std::fill_n(canvas.begin() + long(size_t(f.top + y) * size_t(e.width) + size_t(f.left)), f.width,
                            Rgba{});
        if (compose && disposal[k] == 3)
            canvas = saved;
    }
    return e;
}

namespace {

Colours Ramp(size_t n, uint32_t seed)
{
    Colours t;
    for (size_t i = 0; i < n; ++i)
        t.push_back(((i * 37 + seed) & 0xFF) << 16 | ((i * 91 + seed * 3) & 0xFF) << 8 | ((i * 13 + 200) & 0xFF));
    return t;
}

Bytes Random(size_t n, unsigned colours, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(n);
    for (uint8_t& v : out)
        v = uint8_t(rng() % colours);
    return out;
}

// Smooth areas with noise, the way a photograph quantised to a palette looks to LZW.
Bytes Photo(int w, int h, unsigned colours, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[size_t(y) * size_t(w) + size_t(x)] = uint8_t(((x * 3 + y * 2) / 5 + (rng() % 3)) % colours);
    return out;
}

Frame Make(int left, int top, int w, int h, Bytes indices, int disposal = 0, int transparent = -1)
{
    Frame f;
    f.left = left, f.top = top, f.width = w, f.height = h;
    f.indices = std::move(indices);
    f.disposal = disposal;
    f.transparent = transparent;
    f.delay = 10;
    return f;
}

Bytes Solid(int w, int h, uint8_t v) { return Bytes(size_t(w) * size_t(h), v); }

}  // namespace

std::vector<Case> MakeSuite()
{
    std::vector<Case> suite;
    auto add = [&](Case c) { suite.push_back(std::move(c)); };

    {  // A GIF87a still without a graphic control block, 4 colours at code size 2.
        Case c;
        c.name = "still_gif87a_2bit";
        c.signature = "GIF87a";
        c.globalTable = Ramp(4, 1);
        Frame f = Make(0, 0, 16, 9, Random(144, 4, 1));
        f.control = false;
        f.lzw.minimumCodeSize = 2;
        c.frames = {f};
        add(c);
    }
    for (int bits : {3, 5, 7}) {  // Every code size in between.
        Case c;
        c.name = "still_codesize_" + std::to_string(bits);
        c.globalTable = Ramp(1u << bits, 2);
        Frame f = Make(0, 0, 33, 21, Random(33 * 21, 1u << bits, uint32_t(bits)));
        f.lzw.minimumCodeSize = bits;
        c.frames = {f};
        add(c);
    }
    {  // 256 colours of photographic detail: the table fills and is cleared many times.
        Case c;
        c.name = "photo_256_table_resets";
        c.globalTable = Ramp(256, 3);
        c.frames = {Make(0, 0, 200, 150, Photo(200, 150, 256, 3))};
        add(c);
    }
    {  // A full table without a clear code: the decoder goes on with 12-bit codes.
        Case c;
        c.name = "full_table_kept_coding";
        c.globalTable = Ramp(256, 4);
        Frame f = Make(0, 0, 160, 120, Random(160 * 120, 256, 4));
        f.lzw.onFull = OnFull::KeepCoding;
        c.frames = {f};
        add(c);
    }
    {  // Clear codes at odd places, sub-blocks of one and of seven bytes.
        Case c;
        c.name = "clears_and_short_subblocks";
        c.globalTable = Ramp(16, 5);
        Frame a = Make(0, 0, 40, 30, Photo(40, 30, 16, 5), 1);
        a.lzw.minimumCodeSize = 4;
        a.lzw.clearEvery = 37;
        a.lzw.subBlockSize = 1;
        Frame b = Make(0, 0, 40, 30, Photo(40, 30, 16, 6), 1);
        b.lzw.clearEvery = 5;
        b.lzw.subBlockSize = 7;
        c.frames = {a, b};
        add(c);
    }
    {  // Interlaced frames of heights that end in every pass.
        Case c;
        c.name = "interlaced_heights";
        c.globalTable = Ramp(64, 6);
        int left = 0;
        for (int h : {1, 2, 3, 5, 9, 37}) {
            Frame f = Make(left, 0, 7, h, Random(size_t(7 * h), 64, uint32_t(h)), 1);
            f.interlaced = true;
            c.frames.push_back(f);
            left += 7;
        }
        add(c);
    }
    {  // Local tables of different sizes, and a frame back on the global table.
        Case c;
        c.name = "local_tables";
        c.globalTable = Ramp(8, 7);
        Frame a = Make(0, 0, 20, 20, Random(400, 8, 7), 1);
        Frame b = Make(0, 0, 20, 20, Random(400, 2, 8), 1);
        b.localTable = Colours{0xFF0000, 0x00FF00};
        Frame d = Make(5, 5, 10, 10, Random(100, 200, 9), 1);
        d.localTable = Ramp(200, 9);
        Frame e = Make(0, 0, 20, 10, Random(200, 8, 10), 1);
        c.frames = {a, b, d, e};
        add(c);
    }
    {  // A smaller transparent frame over an opaque one: the first shows through its holes.
        Case c;
        c.name = "transparency_over_earlier_frame";
        c.globalTable = Ramp(4, 8);
        c.frames = {Make(0, 0, 30, 20, Random(600, 4, 11), 1), Make(5, 5, 10, 10, Random(100, 4, 12), 1, 2)};
        add(c);
    }
    {  // Both frames transparent: the container shows through where both are.
        Case c;
        c.name = "transparent_first_frame";
        c.globalTable = Ramp(4, 9);
        c.frames = {Make(0, 0, 30, 20, Random(600, 4, 13), 1, 0), Make(5, 5, 20, 10, Random(200, 4, 14), 1, 1)};
        add(c);
    }
    {  // Disposal 2 leaves its rectangle transparent for the next frame.
        Case c;
        c.name = "disposal_restore_background";
        c.globalTable = Ramp(4, 10);
        c.frames = {Make(0, 0, 30, 20, Solid(30, 20, 1), 1), Make(10, 5, 10, 10, Solid(10, 10, 2), 2),
                    Make(0, 0, 30, 20, Random(600, 4, 15), 0, 3)};
        add(c);
    }
    {  // Disposal 3 returns the area to what was there before the frame.
        Case c;
        c.name = "disposal_restore_previous";
        c.globalTable = Ramp(4, 11);
        c.frames = {Make(0, 0, 30, 20, Random(600, 3, 16), 1), Make(10, 5, 10, 10, Solid(10, 10, 3), 3),
                    Make(12, 0, 6, 6, Solid(6, 6, 3), 1, 0)};
        add(c);
    }
    {  // Disposal 3 on the first frame is taken as 0, and values above 3 as 0.
        Case c;
        c.name = "disposal_corrections";
        c.globalTable = Ramp(4, 12);
        c.frames = {Make(0, 0, 20, 20, Solid(20, 20, 1), 3), Make(5, 5, 10, 10, Solid(10, 10, 2), 6),
                    Make(0, 0, 5, 5, Solid(5, 5, 3), 1, 0)};
        add(c);
    }
    {  // Every frame disposal 2: no composition, each frame alone.
        Case c;
        c.name = "all_restore_background";
        c.globalTable = Ramp(8, 13);
        c.frames = {Make(0, 0, 12, 12, Random(144, 8, 17), 2, 0), Make(6, 6, 12, 12, Random(144, 8, 18), 2)};
        add(c);
    }
    {  // No transparency anywhere and a first frame smaller than the picture: the composition has no
       // mask, so what no frame has painted yet is black.
        Case c;
        c.name = "opaque_small_first_frame";
        c.globalTable = Ramp(4, 14);
        c.frames = {Make(0, 0, 10, 10, Solid(10, 10, 1), 1), Make(10, 10, 10, 10, Solid(10, 10, 2), 1)};
        add(c);
    }
    {  // Frames beyond the screen descriptor: the picture is as large as the frames reach.
        Case c;
        c.name = "frames_beyond_screen";
        c.screenWidth = 10;
        c.screenHeight = 10;
        c.globalTable = Ramp(4, 15);
        c.frames = {Make(0, 0, 40, 30, Random(1200, 4, 19), 1), Make(30, 50, 10, 10, Solid(10, 10, 2), 1)};
        add(c);
    }
    {  // Looping count, lower-case identifier, extensions and zero bytes between blocks.
        Case c;
        c.name = "loop_and_other_blocks";
        c.signature = "gif89A";
        c.globalTable = Ramp(4, 16);
        c.loop = 5;
        c.loopIdentifier = "netscape2.0";
        Frame a = Make(0, 0, 8, 8, Random(64, 4, 20), 1);
        a.before = {0x21, 0xFE, 3, 'h', 'i', '!', 0, 0, 0};  // comment, two zero bytes
        Frame b = Make(0, 0, 8, 8, Random(64, 4, 21), 1);
        b.before = {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 2, 'x', 'y', 0,  // plain text
                    0x21, 0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 2, 1, 2, 0};
        b.delay = 0;
        c.frames = {a, b};
        add(c);
    }
    {  // A 1 x 1 picture and a frame as wide as a dialog's animation.
        Case c;
        c.name = "tiny_and_dialog_sized";
        c.globalTable = Ramp(32, 17);
        c.frames = {Make(0, 0, 1, 1, Bytes{7}, 1)};
        for (int i = 0; i < 6; ++i)
            c.frames.push_back(Make(0, 0, 120, 50, Photo(120, 50, 32, uint32_t(22 + i)), i % 2 ? 1 : 0, 31));
        add(c);
    }

    // Faulty data: what was decoded stays, the rest is index 0.
    {  // No end code, every pixel there: complete.
        Case c;
        c.name = "no_end_code";
        c.globalTable = Ramp(16, 18);
        Frame f = Make(0, 0, 25, 25, Random(625, 16, 23));
        f.lzw.endCode = false;
        c.frames = {f};
        add(c);
    }
    {  // Image data cut in the middle (the sub-blocks end early): the start is kept.
        Case c;
        c.name = "data_ends_early";
        c.globalTable = Ramp(16, 19);
        Frame a = Make(0, 0, 30, 30, Random(900, 16, 24), 1);
        Frame b = a;
        b.indices = Random(900, 16, 25);
        b.lzw.keepDataBytes = 200;
        Frame i = a;
        i.indices = Random(900, 16, 26);
        i.interlaced = true;
        i.lzw.keepDataBytes = 333;
        c.frames = {a, b, i};
        add(c);
    }
    {  // A code beyond the table: decoding stops there.
        Case c;
        c.name = "code_beyond_table";
        c.globalTable = Ramp(4, 20);
        Frame f = Make(0, 0, 4, 2, Solid(4, 2, 1));
        f.lzw.minimumCodeSize = 2;
        f.lzw.rawCodes = {4, 1, 2, 3, 1, 14, 1, 1, 1, 5};  // 14 > next free code 9
        f.expectedIndices = Bytes{1, 2, 3, 1, 0, 0, 0, 0};
        c.frames = {f};
        add(c);
    }
    {  // More codes than pixels: the surplus is ignored.
        Case c;
        c.name = "more_data_than_pixels";
        c.globalTable = Ramp(4, 21);
        Frame f = Make(0, 0, 3, 1, Solid(3, 1, 1));
        f.lzw.minimumCodeSize = 2;
        f.lzw.rawCodes = {4, 2, 3, 1, 3, 3, 3, 2, 5};
        f.expectedIndices = Bytes{2, 3, 1};
        c.frames = {f};
        add(c);
    }
    {  // A minimum code size of 1 and of 11: such frames stay blank, others are drawn.
        Case c;
        c.name = "bad_code_sizes";
        c.globalTable = Ramp(4, 22);
        Frame a = Make(0, 0, 6, 6, Random(36, 2, 27), 1);
        a.lzw.minimumCodeSize = 1;
        Frame b = Make(0, 0, 6, 6, Random(36, 4, 28), 1);
        Frame d = b;
        d.lzw.minimumCodeSize = 11;
        d.lzw.rawCodes = {2048, 1, 2049};
        c.frames = {a, b, d};
        add(c);
    }
    {  // The file ends inside the second frame's data.
        Case c;
        c.name = "file_cut_in_second_frame";
        c.globalTable = Ramp(4, 23);
        c.frames = {Make(0, 0, 20, 20, Random(400, 4, 29), 1), Make(0, 0, 20, 20, Random(400, 4, 30), 1)};
        Case firstOnly = c;
        firstOnly.frames.resize(1);
        const size_t firstEnd = WriteGif(firstOnly).size() - 1;
        c.cutAt = long(firstEnd + 8 + 10 + 1 + 1 + 40);  // control block, descriptor, code size, length, 40 bytes
        c.frames[1].lzw.keepDataBytes = 40;
        c.frames[1].expectedIndices = std::nullopt;
        add(c);
    }

    // Loads that fail.
    {
        Case c;
        c.name = "no_colour_table";
        c.globalTable = std::nullopt;
        c.frames = {Make(0, 0, 4, 4, Solid(4, 4, 0))};
        add(c);
    }
    {
        Case c;
        c.name = "unknown_signature";
        c.signature = "GIF88a";
        c.globalTable = Ramp(4, 24);
        c.frames = {Make(0, 0, 4, 4, Solid(4, 4, 1))};
        c.expectedFrames = 0;
        add(c);
    }
    {
        Case c;
        c.name = "header_only";
        c.globalTable = Ramp(4, 25);
        c.frames = {Make(0, 0, 4, 4, Solid(4, 4, 1))};
        c.cutAt = 13;
        c.expectedFrames = 0;
        add(c);
    }
    return suite;
}

}  // namespace pap::gifsuite
