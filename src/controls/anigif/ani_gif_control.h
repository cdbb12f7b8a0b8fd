#pragma once

// The animated-GIF control: a windowless user control that shows an animated GIF on its container's
// picture (transparent pixels show the container), with its timers, loop counting, properties, events
// and stored values. The decoding and painting are GifAnimation's and Composer's.
//
// Timers belong to the container's window. Each control's timer calls go through a table from timer
// identifier (the control's address) to control; a control that has terminated is no longer in it, so
// no call reaches it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/anigif/gif_animation.h"
#include "forms/picture.h"
#include "forms/property_bag.h"
#include "forms/user_control.h"

namespace pap {

class AniGifControl : public forms::UserControl {
public:
    // Timer kinds of StartTimer.
    enum TimerKind { kStop = 0, kFrameTimer = 1, kDeferredDecode = 2 };

    explicit AniGifControl(forms::Form& container, forms::ControlContainer* parent = nullptr);
    ~AniGifControl() override;

    // --- properties ---
    // The frame on show as a single-image GIF picture; nothing when no frame is loaded.
    std::optional<forms::PictureObject> AnimatedGIF() const;
    // A picture loads its GIF file's bytes; nothing empties the control.
    void setAnimatedGIF(const std::optional<forms::PictureObject>& picture);
    int32_t FrameCount() const;
    // The picture's size in the container's units, rounded down.
    int32_t ActualWidth();
    int32_t ActualHeight();
    int32_t Stretch() const { return m_stretchMode; }
    void setStretch(int32_t mode);
    int32_t MinFrameDelay() const { return m_minFrameDelay; }
    void setMinFrameDelay(int32_t delay);
    int32_t Loops() const { return m_loopLimit; }
    void setLoops(int32_t loops);
    int32_t LoopsRemaining() const;
    int32_t Mirrored() const { return m_mirrorStyle & 0x03; }
    void setMirrored(int32_t style);
    int32_t Action() const { return m_actionState; }
    void setAction(int32_t action);
    int32_t DelayAnimation() const { return m_delayMode; }
    void setDelayAnimation(int32_t mode);
    bool EnabledProperty() const { return Enabled(); }
    void setEnabledProperty(bool enabled);
    void setMousePointerProperty(int32_t pointer);
    // The pointer picture with the file it was loaded from; nothing when none is set.
    std::optional<forms::PictureObject> MouseIconProperty() const;
    // A picture file the platform can show (PNG) sets the pointer picture, another is ignored; nothing
    // removes it and sets MousePointer back to 0.
    void setMouseIconProperty(const std::optional<forms::PictureObject>& icon);
    // The GIF file's bytes the control holds (kept outside a live container, released after decoding
    // in one).
    const std::vector<uint8_t>& gifData() const { return m_animation.gifData(); }
    int32_t currentFrame() const { return m_animation.currentFrame(); }

    // --- methods ---
    bool LoadAnimatedGIF_File(const std::string& fileName);
    // The raw memory of an array: `elementSize` bytes per element, `dimensions` its element counts (1 or 2
    // dimensions; 3 or more, or no data, load nothing).
    bool LoadAnimatedGIF_Array(const void* data, size_t elementSize, const std::vector<size_t>& dimensions);
    // The bytes such an array holds: the element size times its elements; 0 for no dimensions or 3 and more.
    static size_t ArrayByteSize(size_t elementSize, const std::vector<size_t>& dimensions);
    // Reads a file path or an http(s) address in the background; the result arrives as
    // RemoteLoadComplete (then the picture loads unless the host cancels) or RemoteLoadFailure.
    void LoadAnimatedGIF_Remote(const std::string& remotePath);
    void RefreshPicture() { Refresh(); }

    // --- events ---
    std::function<void()> Click;
    std::function<void(int16_t button, int16_t shift, float x, float y)> MouseDown, MouseMove, MouseUp;
    std::function<void()> LoopsEnded;
    // The picture's logical size in the container's units; set `cancel` to keep the picture shown now.
    std::function<void(float gifWidth, float gifHeight, bool& cancel)> RemoteLoadComplete;
    std::function<void()> RemoteLoadFailure;

    // --- timers ---
    bool StartTimer(int kind);
    void StopTimer();
    // What the container's window delivers for a timer identifier; false when no control has it.
    static bool DeliverTimer(uintptr_t id);
    uintptr_t timerId() const { return reinterpret_cast<uintptr_t>(this); }

    void paint(gfx::Surface& target, gfx::Rect place) override;
    bool hitTest(int, int) override { return true; }

protected:
    void UserControl_Initialize() override;
    void UserControl_InitProperties() override {}
    void UserControl_ReadProperties(forms::PropertyBag& bag) override;
    void UserControl_WriteProperties(forms::PropertyBag& bag) override;
    void UserControl_Resize() override;
    void UserControl_Show() override;
    void UserControl_Hide() override;
    void UserControl_Terminate() override;
    void UserControl_MouseDown(int button, int shift, float x, float y) override;
    void UserControl_MouseMove(int button, int shift, float x, float y) override;
    void UserControl_MouseUp(int button, int shift, float x, float y) override;
    void UserControl_Click() override;

private:
    void OnRemoteProgress(bool failed);
    void OnRemoteComplete(std::vector<uint8_t> bytes, uint64_t bytesMax);
    void CancelRemote();
    void OnFrameTimer();
    void OnDeferredDecode();
    // Arms the window timer: SetTimer(container, id, ms) with the timer kind it routes to.
    bool SetWindowTimer(uint32_t ms, int kind);
    void KillWindowTimer();
    uint32_t FrameDelay() const;
    bool LoadGifData(std::vector<uint8_t> data);
    void ResizeHandler();
    bool live() { return AmbientUserMode(); }
    void Repaint();
    float ToContainerX(double pixels);
    float ToContainerY(double pixels);
    // Shows the pointer picture of a stored picture file; false when it cannot be decoded.
    bool ApplyMouseIcon(forms::PictureRef icon);

    anigif::GifAnimation m_animation;
    int32_t m_count = 0;
    int32_t m_actionState = 0;
    int16_t m_loopsDone = 0;
    int32_t m_loopLimit = 0;
    int16_t m_minFrameDelay = 50;
    int32_t m_stretchMode = 1;
    int32_t m_delayMode = 1;
    uint8_t m_mirrorStyle = 0;
    bool m_resizing = false;
    bool m_routed = false;
    int m_armedKind = kStop;
    forms::PictureRef m_mouseIconFile;  // the pointer picture's file (no bytes: none)
    uint64_t m_remoteRead = 0;  // the read under way, 0: none
    forms::Timer m_windowTimer;
};

}  // namespace pap
