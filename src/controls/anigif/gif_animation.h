#pragma once

// One picture of the animated-GIF control: the raw file, its parsed and decoded form and the painting
// state, with the load sequence every way of giving the control a picture ends in. Timers belong to
// the control: a load says which of them to start.

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/gif_stream.h"

namespace pap::anigif {

struct LoadSettings {
    Container container = Container::Live;
    int32_t delayMode = 1;    // 0: decode every frame now; 1: frame 1 now, the rest later; 2, 3: and do not play
    int32_t stretchMode = 1;  // for the drawing scales, see ComputeLayout
    int availableWidth = 0;   // the control's inner size in pixels
    int availableHeight = 0;
    uint8_t mirrorStyle = 0;
    StripLimits limits;
};

struct LoadResult {
    int32_t count = 0;             // frames; 0: the load failed and the control is empty
    bool startDeferredDecode = false;  // frames 2 .. N wait for FinishDeferredDecode
    bool startFrameTimer = false;
    bool refresh = false;          // a live single frame: repaint now
};

class GifAnimation {
public:
    // Loads `data` as the control's picture; whatever was loaded before is cleared first.
    LoadResult LoadGifData(std::vector<uint8_t> data, const LoadSettings& settings);
    // The deferred second pass: decodes frames 2 .. N, mirrors them and finishes the load. Returns
    // whether the frame timer is to start.
    bool FinishDeferredDecode();
    // Releases everything: frames, strip, buffers, tables and the raw file.
    void ClearAnimation();

    const std::vector<uint8_t>& gifData() const { return m_gifData; }
    GifStream& gif() { return m_gif; }
    const GifStream& gif() const { return m_gif; }
    Composer* composer() { return m_composer.get(); }
    int32_t currentFrame() const { return m_currentFrame; }
    void setCurrentFrame(int32_t frame) { m_currentFrame = frame; }

private:
    bool Finish();

    std::vector<uint8_t> m_gifData;
    GifStream m_gif;
    std::unique_ptr<Composer> m_composer;
    int32_t m_currentFrame = 0;
    bool m_secondPassPending = false;
    LoadSettings m_settings;
};

}  // namespace pap::anigif
