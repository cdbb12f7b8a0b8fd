// Text with FreeType and fontconfig.
//
// Implemented: faces resolved by fontconfig from the names Windows programs use (an alias table maps
// the MS gothic faces to the installed Japanese gothics, the Western faces to a sans-serif), per-glyph
// fallback to another face that has the character, grey-scale antialiased glyphs blended onto the
// surface, bold (a bold face or a synthetic one), italic (likewise), underline and strikethrough,
// Windows' vertical metrics (the OS/2 table's Windows ascent and descent), caches of faces and glyphs.
// Not implemented: kerning and shaping (GDI's ExtTextOut does neither by default), ClearType.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <tuple>
#include <vector>

#include "base/utf.h"
#include "platform/text.h"

namespace pap {

namespace {

// The faces that the forms name, mapped to installed faces with the same glyphs and a similar look.
// "same" binding: the preferred family replaces the name as strongly as if it had been asked for.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>MS PGothic</family>
    <prefer><family>IPAPGothic</family><family>VL PGothic</family></prefer></alias>
  <alias binding="same"><family>ＭＳ Ｐゴシック</family>
    <prefer><family>IPAPGothic</family><family>VL PGothic</family></prefer></alias>
  <alias binding="same"><family>MS UI Gothic</family>
    <prefer><family>IPAPGothic</family><family>VL PGothic</family></prefer></alias>
  <alias binding="same"><family>MS Gothic</family>
    <prefer><family>IPAGothic</family><family>VL Gothic</family></prefer></alias>
  <alias binding="same"><family>ＭＳ ゴシック</family>
    <prefer><family>IPAGothic</family><family>VL Gothic</family></prefer></alias>
  <alias binding="same"><family>MS Sans Serif</family>
    <prefer><family>DejaVu Sans</family><family>sans-serif</family></prefer></alias>
  <alias binding="same"><family>Tahoma</family>
    <prefer><family>DejaVu Sans</family><family>sans-serif</family></prefer></alias>
</fontconfig>
)";

int RoundDiv(long value, long divisor) { return static_cast<int>(std::lround(static_cast<double>(value) / divisor)); }

struct Glyph {
    int left = 0;  // from the pen to the bitmap's first column
    int top = 0;   // from the baseline up to the bitmap's first row
    int width = 0;
    int height = 0;
    long advance = 0;  // 26.6 pixels
    std::vector<uint8_t> coverage;
};

// One opened face at one pixel size.
struct SizedFace {
    FT_Face face = nullptr;
    bool syntheticBold = false;
    bool syntheticItalic = false;
};

// A FontSpec resolved: the faces in fontconfig's order of preference (the first is the face itself,
// the others serve characters it lacks), opened on demand.
struct Font {
    int pixels = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    FcFontSet* candidates = nullptr;
    std::vector<int> opened;  // per candidate: index into m_faces, -1 not yet tried, -2 unusable
    FontMetrics metrics;
    int underlinePosition = 1;  // rows below the baseline
    int underlineThickness = 1;
    int strikePosition = 0;  // rows above the baseline
    std::map<char32_t, Glyph> glyphs;
};

class FreeTypeTextService final : public TextService {
public:
    FreeTypeTextService(FT_Library library, FcConfig* config, int dpi)
        : m_library(library), m_config(config), m_dpi(dpi)
    {
    }

    ~FreeTypeTextService() override
    {
        for (auto& [key, font] : m_fonts)
            FcFontSetDestroy(font.candidates);
        for (auto& face : m_faces)
            FT_Done_Face(face.face);
        FcConfigDestroy(m_config);
        FT_Done_FreeType(m_library);
    }

    FontMetrics metrics(const FontSpec& wanted) override
    {
        Font* font = resolve(wanted);
        return font ? font->metrics : FontMetrics{};
    }

    int measure(const FontSpec& wanted, std::string_view utf8) override
    {
        Font* font = resolve(wanted);
        if (!font)
            return 0;
        long pen = 0;
        for (size_t pos = 0; pos < utf8.size();)
            pen += glyph(*font, DecodeUtf8Char(utf8, pos)).advance;
        return static_cast<int>((pen + 32) >> 6);
    }

    void drawLine(gfx::Surface& target, gfx::Rect clip, int x, int top, const FontSpec& wanted,
                  std::string_view utf8, gfx::Pixel colour) override
    {
        Font* font = resolve(wanted);
        if (!font)
            return;
        int clipLeft = std::max(clip.x, 0), clipTop = std::max(clip.y, 0);
        int clipRight = std::min(clip.x + clip.width, target.width());
        int clipBottom = std::min(clip.y + clip.height, target.height());
        if (clipLeft >= clipRight || clipTop >= clipBottom)
            return;
        auto blend = [&](int px, int py, unsigned alpha) {
            if (alpha == 0 || px < clipLeft || px >= clipRight || py < clipTop || py >= clipBottom)
                return;
            gfx::Pixel under = target.at(px, py);
            auto mix = [&](uint8_t from, uint8_t to) {
                return static_cast<uint8_t>((from * (255 - alpha) + to * alpha + 127) / 255);
            };
            target.set(px, py, gfx::Rgb(mix(gfx::Red(under), gfx::Red(colour)),
                                        mix(gfx::Green(under), gfx::Green(colour)),
                                        mix(gfx::Blue(under), gfx::Blue(colour))));
        };

        int baseline = top + font->metrics.ascent;
        long pen = 0;
        for (size_t pos = 0; pos < utf8.size();) {
            const Glyph& g = glyph(*font, DecodeUtf8Char(utf8, pos));
            int originX = x + static_cast<int>((pen + 32) >> 6) + g.left;
            int originY = baseline - g.top;
            for (int row = 0; row < g.height; ++row) {
                for (int column = 0; column < g.width; ++column)
                    blend(originX + column, originY + row, g.coverage[static_cast<size_t>(row * g.width + column)]);
            }
            pen += g.advance;
        }
        int width = static_cast<int>((pen + 32) >> 6);
        auto rule = [&](int firstRow, int thickness) {
            for (int row = firstRow; row < firstRow + thickness; ++row) {
                for (int column = x; column < x + width; ++column)
                    blend(column, row, 255);
            }
        };
        if (font->underline)
            rule(baseline + font->underlinePosition, font->underlineThickness);
        if (font->strikethrough)
            rule(baseline - font->strikePosition, font->underlineThickness);
    }

private:
    using Key = std::tuple<std::string, int, bool, bool, bool, bool>;

    Font* resolve(const FontSpec& wanted)
    {
        int pixels = std::clamp(static_cast<int>(std::lround(wanted.sizePoints * m_dpi / 72.0)), 1, 1000);
        bool bold = wanted.weight >= 600;
        Key key{wanted.name, pixels, bold, wanted.italic, wanted.underline, wanted.strikethrough};
        if (auto found = m_fonts.find(key); found != m_fonts.end())
            return found->second.candidates ? &found->second : nullptr;

        Font& font = m_fonts[key];
        font.pixels = pixels;
        font.bold = bold;
        font.italic = wanted.italic;
        font.underline = wanted.underline;
        font.strikethrough = wanted.strikethrough;

        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.name.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, wanted.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* sorted = FcFontSort(m_config, pattern, FcTrue, nullptr, &result);
        if (sorted && sorted->nfont > 0) {
            // Each candidate as the match would give it (with the request's size and style applied).
            font.candidates = FcFontSetCreate();
            for (int i = 0; i < sorted->nfont; ++i) {
                if (FcPattern* rendered = FcFontRenderPrepare(m_config, pattern, sorted->fonts[i]))
                    FcFontSetAdd(font.candidates, rendered);
            }
        }
        if (sorted)
            FcFontSetDestroy(sorted);
        FcPatternDestroy(pattern);
        if (!font.candidates)
            return nullptr;
        font.opened.assign(static_cast<size_t>(font.candidates->nfont), -1);

        const SizedFace* primary = candidateFace(font, 0);
        if (!primary) {
            // The first choice does not open: serve every character from the fallbacks.
            for (int i = 1; i < font.candidates->nfont && !primary; ++i)
                primary = candidateFace(font, i);
        }
        if (!primary) {
            FcFontSetDestroy(font.candidates);
            font.candidates = nullptr;
            return nullptr;
        }
        setMetrics(font, primary->face);
        return &font;
    }

    // Windows' metrics: the OS/2 table's Windows ascent and descent scaled to the em, as GDI reports
    // them; the hhea values for fonts without it.
    void setMetrics(Font& font, FT_Face face)
    {
        long units = face->units_per_EM > 0 ? face->units_per_EM : 2048;
        auto scale = [&](long value) { return RoundDiv(value * font.pixels, units); };
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            font.metrics.ascent = scale(os2->usWinAscent);
            font.metrics.descent = scale(os2->usWinDescent);
            long lineGap = face->height - (os2->usWinAscent + os2->usWinDescent);
            font.metrics.externalLeading = std::max(0, scale(lineGap));
            font.strikePosition = std::max(1, scale(os2->yStrikeoutPosition));
        } else {
            font.metrics.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
            font.metrics.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
            font.strikePosition = std::max(1, font.metrics.ascent / 3);
        }
        font.underlinePosition = std::max(1, scale(-face->underline_position));
        font.underlineThickness = std::max(1, scale(face->underline_thickness));
    }

    // The face of candidate `index` at the font's size, opened on first use; null when it cannot open.
    const SizedFace* candidateFace(Font& font, int index)
    {
        int& slot = font.opened[static_cast<size_t>(index)];
        if (slot == -1) {
            slot = -2;
            FcPattern* candidate = font.candidates->fonts[index];
            FcChar8* file = nullptr;
            int faceIndex = 0;
            FcPatternGetInteger(candidate, FC_INDEX, 0, &faceIndex);
            FT_Face face = nullptr;
            if (FcPatternGetString(candidate, FC_FILE, 0, &file) == FcResultMatch &&
                FT_New_Face(m_library, reinterpret_cast<const char*>(file), faceIndex, &face) == 0) {
                if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font.pixels)) != 0) {
                    FT_Done_Face(face);
                } else {
                    // The face's own style decides: fontconfig's pattern already reports a
                    // regular face that it would embolden as bold.
                    SizedFace sized;
                    sized.face = face;
                    sized.syntheticBold = font.bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
                    sized.syntheticItalic = font.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
                    m_faces.push_back(sized);
                    slot = static_cast<int>(m_faces.size() - 1);
                }
            }
        }
        return slot >= 0 ? &m_faces[static_cast<size_t>(slot)] : nullptr;
    }

    // The rendered glyph of `code`: from the first candidate face that has the character, else the
    // first face's missing-glyph shape.
    const Glyph& glyph(Font& font, char32_t code)
    {
        if (auto found = font.glyphs.find(code); found != font.glyphs.end())
            return found->second;
        Glyph& out = font.glyphs[code];

        const SizedFace* chosen = nullptr;
        FT_UInt index = 0;
        for (int i = 0; i < font.candidates->nfont && index == 0; ++i) {
            FcCharSet* charset = nullptr;
            bool listed = FcPatternGetCharSet(font.candidates->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch &&
                          FcCharSetHasChar(charset, code);
            if (i > 0 && !listed)
                continue;  // fallbacks are opened only for characters they declare
            if (const SizedFace* sized = candidateFace(font, i)) {
                chosen = chosen ? chosen : sized;
                if (FT_UInt found = FT_Get_Char_Index(sized->face, code)) {
                    chosen = sized;
                    index = found;
                }
            }
        }
        if (!chosen)
            return out;

        FT_Face face = chosen->face;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0)
            return out;
        if (chosen->syntheticItalic)
            FT_GlyphSlot_Oblique(face->glyph);
        out.advance = face->glyph->advance.x;
        if (chosen->syntheticBold && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            // As GDI makes a bold face of a regular one: one pixel wider in ink and in advance.
            FT_Outline_EmboldenXY(&face->glyph->outline, 64, 0);
            out.advance += 64;
        }
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            return out;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            return out;
        out.left = face->glyph->bitmap_left;
        out.top = face->glyph->bitmap_top;
        out.width = static_cast<int>(bitmap.width);
        out.height = static_cast<int>(bitmap.rows);
        out.coverage.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
        for (int row = 0; row < out.height; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
            std::copy(source, source + out.width, out.coverage.begin() + static_cast<ptrdiff_t>(row) * out.width);
        }
        return out;
    }

    FT_Library m_library;
    FcConfig* m_config;
    int m_dpi;
    std::deque<SizedFace> m_faces;  // stable addresses: glyph() holds one while opening others
    std::map<Key, Font> m_fonts;
};

// A platform without fonts: nothing is drawn, everything measures 0.
class NoTextService final : public TextService {
public:
    FontMetrics metrics(const FontSpec&) override { return {}; }
    int measure(const FontSpec&, std::string_view) override { return 0; }
    void drawLine(gfx::Surface&, gfx::Rect, int, int, const FontSpec&, std::string_view, gfx::Pixel) override {}
};

}  // namespace

std::unique_ptr<TextService> MakeTextService(int dpi)
{
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        return std::make_unique<NoTextService>();
    FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kAliases), FcFalse);
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        FcConfigDestroy(config);
        return std::make_unique<NoTextService>();
    }
    return std::make_unique<FreeTypeTextService>(library, config, dpi > 0 ? dpi : 96);
}

}  // namespace pap
