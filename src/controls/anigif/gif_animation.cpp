#include "controls/anigif/gif_animation.h"

namespace pap::anigif {

void GifAnimation::ClearAnimation()
{
    m_composer.reset();
    m_gif = GifStream{};
    m_currentFrame = 0;
    m_secondPassPending = false;
    m_gifData.clear();
    m_gifData.shrink_to_fit();
}

LoadResult GifAnimation::LoadGifData(std::vector<uint8_t> data, const LoadSettings& settings)
{
    ClearAnimation();
    m_settings = settings;
    m_gifData = std::move(data);
    LoadResult result;
    int32_t count = m_gifData.empty() ? 0 : ParseGifStream(m_gifData, m_gif);
    if (count > 0 && !DecodeFirstPass(m_gifData, m_gif, settings.container, settings.limits))
        count = 0;
    if (count > 0) {
        m_composer = std::make_unique<Composer>(m_gif);
        if (!m_composer->ok())
            count = 0;
    }
    if (count == 0) {
        ClearAnimation();
        return result;
    }
    result.count = count;
    m_currentFrame = 1;
    m_composer->setMirrorStyle(settings.mirrorStyle);
    if (auto layout = ComputeLayout(settings.availableWidth, settings.availableHeight, settings.stretchMode,
                                    m_gif.actualWidth, m_gif.actualHeight))
        m_composer->setScales(layout->scaleX, layout->scaleY);

    const bool live = settings.container == Container::Live;
    result.refresh = live && count == 1;
    if (!live) {
        Finish();
        return result;
    }
    if (settings.delayMode != 0) {
        // Frame 1 is shown mirrored at once; frames 2 .. N follow when they are decoded.
        m_composer->ApplyMirror(0, true, false);
        m_composer->setMirrorStyle(uint8_t(m_composer->mirrorStyle() | kMirrorPending));
        result.startDeferredDecode = m_secondPassPending = true;
        return result;
    }
    DecodeSecondPass(m_gifData, m_gif);
    m_composer->forgetPalette();
    result.startFrameTimer = Finish();
    return result;
}

bool GifAnimation::FinishDeferredDecode()
{
    if (!m_secondPassPending)
        return false;
    m_secondPassPending = false;
    DecodeSecondPass(m_gifData, m_gif);
    m_composer->forgetPalette();
    return Finish();
}

bool GifAnimation::Finish()
{
    const bool live = m_settings.container == Container::Live;
    m_composer->ApplyMirror(0, !live, false);
    if (!live)
        return false;  // the design environment keeps the raw file to store it with the control
    m_gifData.clear();
    m_gifData.shrink_to_fit();
    return (m_settings.delayMode & 2) == 0;
}

}  // namespace pap::anigif
