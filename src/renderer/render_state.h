#pragma once

// Program-wide state of the renderer's window thread.

#include <cstdint>
#include <string>

#include "base/tick_clock.h"
#include "platform/gl_window.h"
#include "renderer/shred_mesh.h"

namespace pap {

constexpr const char* kRenderClassName = "OpenGL";
constexpr const char* kRenderWindowTitle = "Papyrant_VC";
constexpr int kRenderWidth = 1024;
constexpr int kRenderHeight = 768;
constexpr int kRenderBits = 32;
constexpr int kRenderDepthBits = 16;

struct RenderState;

// The scene steps that the window shell calls. A null entry means the GL one of render_scene.h; tests
// of the shell put their own here, so that it runs without a GL context.
struct RenderSceneHooks {
    void (*resizeView)(RenderState& state, int width, int height) = nullptr;
    bool (*setupScene)(RenderState& state) = nullptr;
    bool (*renderFrame)(RenderState& state) = nullptr;
};

struct RenderState {
    GlWindowSystem* system = nullptr;
    // Which steps of the window's set-up have succeeded, for the tear-down.
    bool classRegistered = false;
    bool haveWindow = false;
    bool haveDC = false;
    bool haveContext = false;

    bool windowActive = true;
    bool keyDown[256] = {};
    // An Esc press taken while the window was active, kept until the loop's next idle pass sees it: a
    // press and release that arrive together would otherwise cancel out in keyDown before that pass.
    bool escapePressed = false;
    uint32_t snapshotTexture = 0;  // GL texture name; 0 when none was made
    std::string snapshotPath;      // the bitmap that SetupScene loads
    bool showLoaderBoxes = true;   // the loader's message boxes; always on in the program
    ShredAnimation animation;
    RenderSceneHooks scene;
    uint32_t (*tickSource)() = TickCount;  // the millisecond clock of the animation; tests replace it
};

}  // namespace pap
