#pragma once

// Loading of the desktop snapshot: a device-independent bitmap file decoded into an RgbImage, and the
// snapshot texture made from it. Failures other than a missing file are reported in a message box with
// the caption "Error" when the loader's boxes are switched on.

#include <cstdint>
#include <memory>
#include <string>

#include "renderer/render_state.h"
#include "renderer/rgb_image.h"

namespace pap {

struct DibLoaderOptions {
    bool showBoxes = true;  // always on in the program; tests and tools switch it off
    // Receives each message instead of a box when set (tests); called only while showBoxes is on.
    void (*messageSink)(void* context, const std::string& text) = nullptr;
    void* messageContext = nullptr;
};

// Existence check (fopen "r"), then LoadDibFile; none when there is no path or the file cannot be
// opened, without a message.
std::unique_ptr<RgbImage> LoadSnapshot(const std::string& path, const DibLoaderOptions& options = {});
// Maps the whole file and decodes it; none on failure, after its message: "Failed to open DIB file
// <path>.\n" when the file cannot be opened or mapped (an empty file cannot), else the decoder's.
std::unique_ptr<RgbImage> LoadDibFile(const std::string& path, const DibLoaderOptions& options = {});

// The GL and GLU calls that make the snapshot texture, with GL's types and enum values; tests hand in
// a recorder.
struct SnapshotTextureCalls {
    void (*genTextures)(int32_t count, uint32_t* names);
    void (*bindTexture)(uint32_t target, uint32_t name);
    void (*texParameteri)(uint32_t target, uint32_t name, int32_t value);
    void (*pixelStorei)(uint32_t name, int32_t value);
    int32_t (*build2DMipmaps)(uint32_t target, int32_t components, int32_t width, int32_t height,
                              uint32_t format, uint32_t type, const void* pixels);
};
// The real calls into OpenGL and GLU.
const SnapshotTextureCalls& OpenGlSnapshotTextureCalls();

// Loads state.snapshotPath (boxes as state.showLoaderBoxes) and makes state.snapshotTexture from it:
// one texture name, bound to GL_TEXTURE_2D, linear magnifying and minifying filters, mipmaps built
// from the RGB pixels, whose rows are read with an unpack alignment of 1 (they have no padding).
// Without an image no name is generated and snapshotTexture keeps its value (0). Needs a current GL
// context. Returns whether there was an image.
bool LoadSnapshotTexture(RenderState& state, const SnapshotTextureCalls& gl);
inline bool LoadSnapshotTexture(RenderState& state)
{
    return LoadSnapshotTexture(state, OpenGlSnapshotTextureCalls());
}

}  // namespace pap
