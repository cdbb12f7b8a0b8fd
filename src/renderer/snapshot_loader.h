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

// Existence check (fopen "r"), then LoadDibFile; none when the file is missing, without a message.
std::unique_ptr<RgbImage> LoadSnapshot(const std::string& path, const DibLoaderOptions& options = {});
// Maps the file and decodes it; none on failure, after its message.
std::unique_ptr<RgbImage> LoadDibFile(const std::string& path, const DibLoaderOptions& options = {});
// Loads state.snapshotPath into state.snapshotTexture (GL context current); false without an image.
bool LoadSnapshotTexture(RenderState& state);

}  // namespace pap
