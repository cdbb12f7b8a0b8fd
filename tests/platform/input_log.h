#pragma once

// A window's input callbacks written down as lines of text, so that a whole sequence compares in one
// assertion: "down 10,10 b1 s0", "wheel 120 20,20 b0 s0", "key 41 s0", "char 61", "focus".

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace pap::test {

struct InputLog final : UiWindowEvents {
    void onPaint(gfx::Surface&) override {}
    void onCloseRequest() override {}
    void onDestroyed() override {}
    void onMouseMove(const MouseEvent& e) override { add("move", e); }
    void onMouseDown(const MouseEvent& e) override { add("down", e); }
    void onMouseUp(const MouseEvent& e) override { add("up", e); }
    void onMouseWheel(const MouseEvent& e, int delta) override { add("wheel " + std::to_string(delta), e); }
    void onKeyDown(int code, int shift) override { lines.push_back("key " + hex(code) + " s" + std::to_string(shift)); }
    void onKeyUp(int code, int shift) override { lines.push_back("keyup " + hex(code) + " s" + std::to_string(shift)); }
    void onChar(uint32_t c) override { lines.push_back("char " + hex(static_cast<int>(c))); }
    void onFocus(bool gained) override { lines.push_back(gained ? "focus" : "blur"); }

    // The lines that do not start with one of the words: a pointer path may give any number of moves.
    std::vector<std::string> without(const std::vector<std::string>& words) const
    {
        std::vector<std::string> kept;
        for (const std::string& line : lines) {
            bool drop = false;
            for (const std::string& word : words)
                drop = drop || line.compare(0, word.size() + 1, word + " ") == 0 || line == word;
            if (!drop)
                kept.push_back(line);
        }
        return kept;
    }
    std::vector<std::string> withoutMoves() const { return without({"move"}); }
    // The mouse's presses, releases and wheel turns.
    std::vector<std::string> buttons() const { return without({"move", "key", "keyup", "char", "focus", "blur"}); }

    std::vector<std::string> lines;

private:
    void add(const std::string& what, const MouseEvent& e)
    {
        lines.push_back(what + " " + std::to_string(e.x) + "," + std::to_string(e.y) + " b" + std::to_string(e.button) +
                        " s" + std::to_string(e.shift));
    }
    static std::string hex(int value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%02X", value);
        return text;
    }
};

}  // namespace pap::test
