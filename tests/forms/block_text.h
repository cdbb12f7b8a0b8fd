#pragma once

// A text service for tests: every character is a solid block `advance` pixels wide and `ascent` high,
// so layouts can be checked pixel by pixel without fonts.

#include "platform/text.h"

namespace pap::testing {

class BlockText final : public TextService {
public:
    int advance = 6;
    int ascent = 10;
    int descent = 2;

    FontMetrics metrics(const FontSpec&) override { return {ascent, descent, 0}; }
    int measure(const FontSpec&, std::string_view utf8) override { return advance * characters(utf8); }
    void drawLine(gfx::Surface& target, gfx::Rect clip, int x, int top, const FontSpec&, std::string_view utf8,
                  gfx::Pixel colour) override
    {
        int n = characters(utf8);
        for (int i = 0; i < n; ++i)
            for (int y = top; y < top + ascent; ++y)
                for (int xx = x + i * advance; xx < x + i * advance + advance - 1; ++xx)
                    if (clip.contains(xx, y) && xx >= 0 && y >= 0 && xx < target.width() && y < target.height())
                        target.set(xx, y, colour);
    }

private:
    static int characters(std::string_view utf8)
    {
        int n = 0;
        for (unsigned char c : utf8)
            n += (c & 0xC0) != 0x80;
        return n;
    }
};

}  // namespace pap::testing
