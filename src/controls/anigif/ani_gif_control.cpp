#include "controls/anigif/ani_gif_control.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdlib>
#include <map>

#include "forms/app.h"
#include "gfx/artwork.h"
#include "gfx/dib.h"
#include "platform/files.h"
#include "controls/anigif/snapshot_encoder.h"
#include "platform/message_box.h"
#include "platform/url_reader.h"

namespace pap {

namespace {

constexpr const char* kTypeName = "ucAniGIF";

// Timer identifier -> the control and the kind of call its timer makes now.
struct Route {
    AniGifControl* control = nullptr;
    int kind = 0;
};
std::map<uintptr_t, Route>& Routes()
{
    static std::map<uintptr_t, Route> routes;
    return routes;
}

// Sets up the route of a control's timer calls to the method `ordinal` places from the end (1 the frame
// timer, 2 the deferred decode); false, after telling the user, when it cannot be set up.
bool BuildRoute(AniGifControl& control, int ordinal, int stubNumber)
{
    const std::string title = std::string("Error in ") + kTypeName + ".cb_Callback";
    if (stubNumber != 0) {
        ShowMessageBox("nThunkNo doesn't exist.", title);
        return false;
    }
    if (ordinal != AniGifControl::kFrameTimer && ordinal != AniGifControl::kDeferredDecode) {
        ShowMessageBox("Callback address not found.", title);
        return false;
    }
    Routes()[control.timerId()] = Route{&control, ordinal};
    return true;
}

}  // namespace

AniGifControl::AniGifControl(forms::Form& container, forms::ControlContainer* parent)
    : forms::UserControl(container, false, parent),
      m_windowTimer(container, 0, false, [id = timerId()] { DeliverTimer(id); })
{
    setScaleMode(forms::ScaleMode::Pixels);
    setBackStyle(forms::BackStyle::Transparent);
}

AniGifControl::~AniGifControl()
{
    CancelRemote();
    Routes().erase(timerId());
}

// --- timers ---

bool AniGifControl::DeliverTimer(uintptr_t id)
{
    auto it = Routes().find(id);
    if (it == Routes().end() || it->second.control == nullptr)
        return false;
    AniGifControl& control = *it->second.control;
    // Calls are dropped while a designer, not the running program, hosts the control.
    if (!control.AmbientUserMode())
        return true;
    if (it->second.kind == kDeferredDecode)
        control.OnDeferredDecode();
    else
        control.OnFrameTimer();
    return true;
}

bool AniGifControl::SetWindowTimer(uint32_t ms, int kind)
{
    if (form().hWnd() == 0)
        return false;
    Routes()[timerId()].kind = kind;
    m_armedKind = kind;
    m_windowTimer.setInterval(ms);
    m_windowTimer.setEnabled(true);
    return true;
}

void AniGifControl::KillWindowTimer()
{
    m_windowTimer.setEnabled(false);
    m_armedKind = kStop;
}

void AniGifControl::StopTimer() { KillWindowTimer(); }

uint32_t AniGifControl::FrameDelay() const
{
    const int32_t frame = m_animation.currentFrame();
    int32_t delay = 0;
    if (frame >= 1 && frame <= m_count)
        delay = m_animation.gif().frames[size_t(frame - 1)].delay;
    return static_cast<uint32_t>(delay >= m_minFrameDelay ? delay : m_minFrameDelay);
}

bool AniGifControl::StartTimer(int kind)
{
    if (kind == kStop) {
        if (live())
            StopTimer();
        m_actionState = 0;
        return true;
    }
    if (m_actionState == 1)
        return false;
    m_actionState = 0;
    if (m_animation.currentFrame() == 0 || !live() || !(m_count > 1 || kind == kDeferredDecode))
        return false;
    if (!BuildRoute(*this, kind, 0))
        return false;
    m_routed = true;
    if (form().hWnd() == 0) {
        Routes().erase(timerId());
        m_routed = false;
        return false;
    }
    if (!SetWindowTimer(kind == kDeferredDecode ? 20 : FrameDelay(), kind))
        return false;
    m_actionState = 1;
    return true;
}

void AniGifControl::OnFrameTimer()
{
    KillWindowTimer();
    int32_t frame = m_animation.currentFrame() + 1;
    bool wrapped = false;
    if (frame > m_count) {
        frame = 1;
        wrapped = true;
    }
    m_animation.setCurrentFrame(frame);
    bool ended = false;
    if (m_count == 1) {
        m_loopsDone = 1;
        m_actionState = 0;
        ended = true;
    } else if (wrapped && m_loopLimit != 0) {
        ++m_loopsDone;
        if (m_loopsDone == m_loopLimit) {
            m_actionState = 0;
            m_loopsDone = 0;
            ended = true;
        }
    }
    Repaint();
    if (!ended) {
        SetWindowTimer(FrameDelay(), kFrameTimer);
    } else if (LoopsEnded) {
        LoopsEnded();
    }
}

void AniGifControl::OnDeferredDecode()
{
    StartTimer(kStop);
    if (m_animation.FinishDeferredDecode())
        StartTimer(kFrameTimer);
}

void AniGifControl::setAction(int32_t action)
{
    if (m_animation.currentFrame() == 0 || !live())
        return;
    switch (action) {
    case 0:
        StartTimer(kStop);
        m_loopsDone = 0;
        m_animation.setCurrentFrame(1);
        Repaint();
        break;
    case 1:
        StartTimer(kFrameTimer);
        break;
    case 2:
        if (m_actionState != 0) {
            StartTimer(kStop);
            m_actionState = 2;
        }
        break;
    case 3: {
        StartTimer(kStop);
        int32_t frame = m_animation.currentFrame() + 1;
        m_animation.setCurrentFrame(frame > m_count ? 1 : frame);
        m_actionState = 2;
        Repaint();
        break;
    }
    case 4:
        setAction(0);
        StartTimer(kFrameTimer);
        break;
    default:
        break;
    }
}

// --- loading ---

bool AniGifControl::LoadGifData(std::vector<uint8_t> data)
{
    StartTimer(kStop);
    m_loopsDone = 0;
    anigif::LoadSettings settings;
    settings.container = live() ? anigif::Container::Live : anigif::Container::Design;
    settings.delayMode = m_delayMode;
    settings.stretchMode = m_stretchMode;
    settings.availableWidth = hDC().width();
    settings.availableHeight = hDC().height();
    settings.mirrorStyle = m_mirrorStyle;
    anigif::LoadResult result = m_animation.LoadGifData(std::move(data), settings);
    m_count = result.count;
    if (m_count == 0) {
        Repaint();
        return false;
    }
    m_loopLimit = m_animation.gif().loopLimit;
    if (result.startDeferredDecode)
        StartTimer(kDeferredDecode);
    else if (result.startFrameTimer)
        StartTimer(kFrameTimer);
    Repaint();
    return true;
}

bool AniGifControl::LoadAnimatedGIF_File(const std::string& fileName)
{
    std::vector<uint8_t> data = m_animation.gifData();
    // A file that cannot be found or read leaves the data held before (none once a live load has
    // released it). Larger files than a GIF may be are not read.
    if (std::optional<std::string> bytes = ReadWholeFile(fileName, 0x7FFFFFFF))
        data.assign(bytes->begin(), bytes->end());
    if (!LoadGifData(std::move(data)))
        return false;
    if (m_stretchMode == 1 || m_stretchMode == 3 || m_stretchMode == 4)
        ResizeHandler();
    return true;
}

size_t AniGifControl::ArrayByteSize(size_t elementSize, const std::vector<size_t>& dimensions)
{
    if (dimensions.empty() || dimensions.size() >= 3)
        return 0;
    size_t size = elementSize * dimensions[0];
    if (dimensions.size() == 2)
        size *= dimensions[1];
    return size;
}

bool AniGifControl::LoadAnimatedGIF_Array(const void* data, size_t elementSize, const std::vector<size_t>& dimensions)
{
    const size_t size = ArrayByteSize(elementSize, dimensions);
    if (data == nullptr || size == 0)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!LoadGifData(std::vector<uint8_t>(bytes, bytes + size)))
        return false;
    if (m_stretchMode == 1 || m_stretchMode == 3 || m_stretchMode == 4)
        ResizeHandler();
    return true;
}

void AniGifControl::LoadAnimatedGIF_Remote(const std::string& remotePath)
{
    if (remotePath.empty())
        return;
    // A read of the same property under way gives way to the new one.
    CancelRemote();
    m_remoteRead = form().app().urls().start(
        remotePath, [this](uint64_t, uint64_t, bool failed) { OnRemoteProgress(failed); },
        [this](UrlReadResult result) { OnRemoteComplete(std::move(result.bytes), result.ok ? result.bytesMax : 0); });
    if (m_remoteRead == 0 && RemoteLoadFailure)
        RemoteLoadFailure();
}

void AniGifControl::CancelRemote()
{
    if (m_remoteRead != 0)
        form().app().urls().cancel(m_remoteRead);
    m_remoteRead = 0;
}

void AniGifControl::OnRemoteProgress(bool failed)
{
    if (!failed)
        return;
    CancelRemote();
    if (RemoteLoadFailure)
        RemoteLoadFailure();
}

void AniGifControl::OnRemoteComplete(std::vector<uint8_t> bytes, uint64_t bytesMax)
{
    m_remoteRead = 0;
    if (bytesMax <= 14 || bytes.size() < 10) {
        if (RemoteLoadFailure)
            RemoteLoadFailure();
        return;
    }
    std::string signature(bytes.begin(), bytes.begin() + 6);
    for (char& c : signature)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (signature != "gif89a" && signature != "gif87a") {
        if (RemoteLoadFailure)
            RemoteLoadFailure();
        return;
    }
    // The logical screen's size from the stream, in the container's units.
    const double width = bytes[6] | bytes[7] << 8, height = bytes[8] | bytes[9] << 8;
    bool cancel = false;
    if (RemoteLoadComplete)
        RemoteLoadComplete(static_cast<float>(std::floor(ScaleX(width, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerSize))),
                           static_cast<float>(std::floor(ScaleY(height, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerSize))),
                           cancel);
    if (cancel)
        return;
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(bytesMax, bytes.size())));
    if (LoadGifData(std::move(bytes)) && (m_stretchMode == 1 || m_stretchMode == 3 || m_stretchMode == 4))
        ResizeHandler();
}

// --- properties ---

std::optional<forms::PictureObject> AniGifControl::AnimatedGIF() const
{
    if (m_animation.currentFrame() == 0)
        return std::nullopt;
    return forms::PictureObject{anigif::SnapshotFrame(m_animation.gif(), m_animation.currentFrame())};
}

void AniGifControl::setAnimatedGIF(const std::optional<forms::PictureObject>& picture)
{
    std::vector<uint8_t> data;
    if (picture) {
        // The picture goes through a property bag of its own; its file starts after the bag's header.
        std::vector<uint8_t> contents = forms::SerialisePicture("myGIF", *picture);
        if (contents.size() > forms::kPictureHeaderBytes)
            data.assign(contents.begin() + forms::kPictureHeaderBytes, contents.end());
    }
    if (LoadGifData(std::move(data)) && !live()) {
        // A designer sizes the control to the picture once.
        const int32_t mode = m_stretchMode;
        m_stretchMode = 4;
        ResizeHandler();
        m_stretchMode = mode;
        if (anigif::Composer* composer = m_animation.composer())
            composer->setScales(1.0f, 1.0f);
    }
    Repaint();
    PropertyChanged("AnimatedGIF");
}

int32_t AniGifControl::FrameCount() const { return m_animation.currentFrame() != 0 ? m_count : 0; }

int32_t AniGifControl::ActualWidth()
{
    return static_cast<int32_t>(std::floor(
        ScaleX(m_animation.gif().actualWidth, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerSize)));
}

int32_t AniGifControl::ActualHeight()
{
    return static_cast<int32_t>(std::floor(
        ScaleY(m_animation.gif().actualHeight, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerSize)));
}

void AniGifControl::setStretch(int32_t mode)
{
    if (mode < 0 || mode > 4 || mode == m_stretchMode)
        return;
    const int32_t state = m_actionState;
    m_stretchMode = mode;
    setAction(2);
    ResizeHandler();
    setAction(state);
    if (state != 1)
        Repaint();
    PropertyChanged("Stretch");
}

void AniGifControl::setMinFrameDelay(int32_t delay)
{
    const int16_t clamped = static_cast<int16_t>(std::clamp(delay, 10, 32700));
    if (clamped == m_minFrameDelay)
        return;
    m_minFrameDelay = clamped;
    PropertyChanged("Delay");
}

void AniGifControl::setLoops(int32_t loops)
{
    if (loops == m_loopLimit)
        return;
    m_loopLimit = loops == INT32_MIN ? INT32_MAX : std::abs(loops);
    PropertyChanged("Loops");
}

int32_t AniGifControl::LoopsRemaining() const
{
    if (m_animation.currentFrame() == 0)
        return -1;
    if (m_loopLimit == 0)
        return 0;
    return m_loopLimit - m_loopsDone;
}

void AniGifControl::setMirrored(int32_t style)
{
    if (style < 0 || style > 3)
        return;
    if (m_animation.currentFrame() == 0) {
        m_mirrorStyle = static_cast<uint8_t>(style);
        PropertyChanged("Mirrored");
        return;
    }
    if (style == (m_mirrorStyle & 0x03))
        return;
    const int32_t state = m_actionState;
    setAction(2);
    if (anigif::Composer* composer = m_animation.composer()) {
        composer->ApplyMirror(static_cast<uint8_t>(style), !live(), live());
        composer->setMirrorStyle(static_cast<uint8_t>((composer->mirrorStyle() & anigif::kMirrorPending) | style));
    }
    m_mirrorStyle = static_cast<uint8_t>(style);
    if (state == 1)
        setAction(1);
    else
        Repaint();
    PropertyChanged("Mirrored");
}

void AniGifControl::setDelayAnimation(int32_t mode)
{
    if (mode < 0 || mode > 3 || mode == m_delayMode)
        return;
    m_delayMode = mode;
    PropertyChanged("DelayAnimation");
}

void AniGifControl::setEnabledProperty(bool enabled)
{
    setEnabled(enabled);
    PropertyChanged("Enabled");
}

void AniGifControl::setMousePointerProperty(int32_t pointer) { setMousePointer(static_cast<PointerShape>(pointer)); }

std::optional<forms::PictureObject> AniGifControl::MouseIconProperty() const
{
    if (m_mouseIconFile.bytes.empty())
        return std::nullopt;
    return forms::PictureObject{m_mouseIconFile.bytes};
}

bool AniGifControl::ApplyMouseIcon(forms::PictureRef icon)
{
    if (icon.bytes.empty()) {
        m_mouseIconFile = {};
        setMousePointer(PointerShape::Default);
        setMouseIcon(gfx::Surface());
        return true;
    }
    std::optional<gfx::Surface> picture = gfx::DecodePng(icon.bytes);
    if (!picture)
        return false;
    m_mouseIconFile = std::move(icon);
    setMouseIcon(std::move(*picture));
    return true;
}

void AniGifControl::setMouseIconProperty(const std::optional<forms::PictureObject>& icon)
{
    if (ApplyMouseIcon(icon ? forms::PictureRef{{}, icon->fileBytes} : forms::PictureRef{}))
        PropertyChanged("MouseIcon");
}

// --- events of the control ---

void AniGifControl::UserControl_Initialize()
{
    m_minFrameDelay = 50;
    m_stretchMode = 1;
    m_delayMode = 1;
    m_mirrorStyle = 0;
    m_loopLimit = 0;
}

void AniGifControl::UserControl_ReadProperties(forms::PropertyBag& bag)
{
    std::vector<uint8_t> data = bag.ReadProperty<forms::ByteArray>("GIF", forms::ByteArray{}).bytes;
    m_minFrameDelay = bag.ReadProperty<int16_t>("Delay", m_minFrameDelay);
    m_stretchMode = bag.ReadProperty<int32_t>("Stretch", 1);
    m_delayMode = bag.ReadProperty<int32_t>("DelayLoad", 1);
    if (m_delayMode == -1)
        m_delayMode = 1;
    m_mirrorStyle = static_cast<uint8_t>(bag.ReadProperty<int32_t>("Mirror", 0));
    setEnabled(bag.ReadProperty<bool>("Enabled", true));
    // A stored pointer picture that cannot be shown is left out, as a failed set would be.
    ApplyMouseIcon(bag.ReadProperty<forms::PictureRef>("MouseIcon", forms::PictureRef{}));
    setMousePointer(static_cast<PointerShape>(bag.ReadProperty<int16_t>("MousePointer", 0)));
    if (LoadGifData(std::move(data)))
        m_loopLimit = bag.ReadProperty<int32_t>("Loops", m_animation.gif().loopLimit);
}

void AniGifControl::UserControl_WriteProperties(forms::PropertyBag& bag)
{
    bag.WriteProperty("GIF", forms::ByteArray{m_animation.gifData(), {}});
    bag.WriteProperty("Delay", m_minFrameDelay, int16_t{50});
    bag.WriteProperty("Stretch", m_stretchMode, int32_t{1});
    bag.WriteProperty("Loops", m_loopLimit, int32_t{0});
    bag.WriteProperty("DelayLoad", m_delayMode, int32_t{1});
    bag.WriteProperty("Mirror", int32_t{m_mirrorStyle & 0x03}, int32_t{0});
    bag.WriteProperty("MouseIcon", m_mouseIconFile, forms::PictureRef{});
    bag.WriteProperty("MousePointer", static_cast<int16_t>(MousePointer()), int16_t{0});
    bag.WriteProperty("Enabled", Enabled(), true);
}

void AniGifControl::ResizeHandler()
{
    if (m_animation.currentFrame() == 0 || m_resizing)
        return;
    anigif::Composer* composer = m_animation.composer();
    if (composer == nullptr)
        return;
    std::optional<anigif::Layout> layout = anigif::ComputeLayout(hDC().width(), hDC().height(), m_stretchMode,
                                                                 m_animation.gif().actualWidth,
                                                                 m_animation.gif().actualHeight);
    if (!layout)
        return;
    composer->setScales(layout->scaleX, layout->scaleY);
    // The size change raises Resize again; the mark makes that one do nothing.
    m_resizing = true;
    Size(ScaleX(layout->width, forms::ScaleUnit::Pixels, forms::ScaleUnit::Twips),
         ScaleY(layout->height, forms::ScaleUnit::Pixels, forms::ScaleUnit::Twips));
    m_resizing = false;
}

void AniGifControl::UserControl_Resize() { ResizeHandler(); }

void AniGifControl::UserControl_Show() { StartTimer(kFrameTimer); }

void AniGifControl::UserControl_Hide() { setAction(2); }

void AniGifControl::UserControl_Terminate()
{
    CancelRemote();
    StartTimer(kStop);
    KillWindowTimer();
    m_animation.ClearAnimation();
    m_count = 0;
    Routes().erase(timerId());
    m_routed = false;
}

float AniGifControl::ToContainerX(double pixels)
{
    return static_cast<float>(
        std::floor(ScaleX(pixels, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerPosition)));
}

float AniGifControl::ToContainerY(double pixels)
{
    return static_cast<float>(
        std::floor(ScaleY(pixels, forms::ScaleUnit::Pixels, forms::ScaleUnit::ContainerPosition)));
}

void AniGifControl::UserControl_MouseDown(int button, int shift, float x, float y)
{
    if (MouseDown)
        MouseDown(int16_t(button), int16_t(shift), ToContainerX(x), ToContainerY(y));
}

void AniGifControl::UserControl_MouseMove(int button, int shift, float x, float y)
{
    if (MouseMove)
        MouseMove(int16_t(button), int16_t(shift), ToContainerX(x), ToContainerY(y));
}

void AniGifControl::UserControl_MouseUp(int button, int shift, float x, float y)
{
    if (MouseUp)
        MouseUp(int16_t(button), int16_t(shift), ToContainerX(x), ToContainerY(y));
}

void AniGifControl::UserControl_Click()
{
    if (Click)
        Click();
}

// --- painting ---

void AniGifControl::Repaint() { Refresh(); }

void AniGifControl::paint(gfx::Surface& target, gfx::Rect place)
{
    // The frame goes straight onto the container's picture, clipped to it, so the container shows
    // through transparent pixels.
    const int left = std::max(0, place.x), top = std::max(0, place.y);
    const int right = std::min(target.width(), place.x + place.width);
    const int bottom = std::min(target.height(), place.y + place.height);
    if (right <= left || bottom <= top)
        return;
    if (left == place.x && top == place.y && right == place.x + place.width && bottom == place.y + place.height) {
        // Wholly on the picture: drawn in place through a view of that rectangle.
        gfx::Dib dc = gfx::Dib::View(reinterpret_cast<uint8_t*>(target.row(top) + left), place.width, place.height, 32,
                                     static_cast<ptrdiff_t>(target.width()) * 4);
        if (anigif::Composer* composer = m_animation.composer())
            composer->PaintFrame(m_animation.currentFrame(), dc);
        if (!live())
            anigif::DrawDesignOutline(dc, place.width, place.height, gfx::Rgb(0x64, 0x64, 0x64));
        return;
    }
    gfx::Surface area(place.width, place.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            area.set(x - place.x, y - place.y, target.at(x, y));
    gfx::Dib dc = gfx::Dib::View(area);
    if (anigif::Composer* composer = m_animation.composer())
        composer->PaintFrame(m_animation.currentFrame(), dc);
    if (!live())
        anigif::DrawDesignOutline(dc, area.width(), area.height(), gfx::Rgb(0x64, 0x64, 0x64));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            target.set(x, y, area.at(x - place.x, y - place.y));
}

}  // namespace pap
