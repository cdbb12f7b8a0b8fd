#include "forms/combo_box.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "forms/app.h"
#include "forms/form.h"
#include "forms/text_layout.h"

namespace pap::forms {

namespace {

// Sizes of the classic control, in pixels.
constexpr int kEdge = 2;           // the field's sunken edge
constexpr int kButtonWidth = 16;   // the drop button
constexpr int kScrollWidth = 16;   // the list's scroll bar, and the height of its arrow buttons
constexpr int kTextInset = 1;      // between the edge and the text
constexpr int kRowInset = 2;       // between the list's border and an entry's text
constexpr int kMinThumb = 8;
constexpr int kWheelRows = 3;      // list rows per wheel notch

constexpr gfx::Pixel kFace = gfx::Rgb(0xEC, 0xE9, 0xD8);
constexpr gfx::Pixel kShadow = gfx::Rgb(0x80, 0x80, 0x80);
constexpr gfx::Pixel kDarkShadow = gfx::Rgb(0x40, 0x40, 0x40);
constexpr gfx::Pixel kLight = gfx::Rgb(0xE3, 0xE3, 0xE3);
constexpr gfx::Pixel kHighlight = gfx::Rgb(0x31, 0x6A, 0xC5);

void FillRect(gfx::Surface& target, gfx::Rect rect, gfx::Pixel colour)
{
    if (rect.width > 0 && rect.height > 0)
        target.fillRect(rect, colour);
}

// A raised button: light above and to the left, shadows below and to the right.
void RaisedBox(gfx::Surface& target, gfx::Rect r)
{
    FillRect(target, r, kDarkShadow);
    FillRect(target, {r.x, r.y, r.width - 1, r.height - 1}, kFace);
    FillRect(target, {r.x + 1, r.y + 1, r.width - 2, r.height - 2}, kShadow);
    FillRect(target, {r.x + 1, r.y + 1, r.width - 3, r.height - 3}, gfx::kWhite);
    FillRect(target, {r.x + 2, r.y + 2, r.width - 4, r.height - 4}, kFace);
}

// A pressed button: a shadow line around a flat face.
void PressedBox(gfx::Surface& target, gfx::Rect r)
{
    FillRect(target, r, kShadow);
    FillRect(target, {r.x + 1, r.y + 1, r.width - 2, r.height - 2}, kFace);
}

// A solid arrow 7 pixels wide and 4 high, centred in the box (shifted by `offset`), pointing down or up.
void Arrow(gfx::Surface& target, gfx::Rect box, bool down, bool enabled, int offset = 0)
{
    const int cx = box.x + (box.width - 1) / 2 + offset, top = box.y + (box.height - 4) / 2 + offset;
    auto draw = [&](int dx, int dy, gfx::Pixel colour) {
        for (int i = 0; i < 4; ++i) {
            int half = down ? 3 - i : i;
            FillRect(target, {cx - half + dx, top + i + dy, 2 * half + 1, 1}, colour);
        }
    };
    if (!enabled)
        draw(1, 1, gfx::kWhite);
    draw(0, 0, enabled ? gfx::kBlack : kShadow);
}

gfx::Rect Intersect(gfx::Rect a, gfx::Rect b)
{
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.width, b.x + b.width), y1 = std::min(a.y + a.height, b.y + b.height);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

// The start of the code point before byte `at` of UTF-8 text.
size_t PreviousBoundary(const std::string& text, size_t at)
{
    if (at == 0)
        return 0;
    --at;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

size_t NextBoundary(const std::string& text, size_t at)
{
    if (at >= text.size())
        return text.size();
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        ++at;
    return at;
}

std::string Utf8(uint32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The parts of a vertical scroll bar, y relative to its top.
struct ScrollBar {
    int trackTop = 0, trackHeight = 0, thumbTop = 0, thumbHeight = 0;
};

ScrollBar ScrollBarOf(int height, int count, int visible, int top)
{
    ScrollBar bar;
    bar.trackTop = kScrollWidth;
    bar.trackHeight = std::max(0, height - 2 * kScrollWidth);
    bar.thumbHeight = std::min(bar.trackHeight, std::max(kMinThumb, bar.trackHeight * visible / std::max(1, count)));
    const int range = count - visible, room = bar.trackHeight - bar.thumbHeight;
    bar.thumbTop = bar.trackTop + (range > 0 ? (room * top + range / 2) / range : 0);
    return bar;
}

}  // namespace

struct ComboBox::State {
    std::vector<std::string> items;
    std::string text;
    FontSpec font;
    size_t caret = 0;  // byte offset into text, at a code point's start
    int scrollX = 0;   // pixels of text scrolled out to the left
    int top = 0;       // the first entry the list shows
    int highlight = -1;
    int wheel = 0;     // wheel turns not yet a whole notch
    // What the pressed left button is doing.
    enum class Press { None, Pick, Thumb } press = Press::None;
    int grab = 0;  // dragging the thumb: the pointer's offset from the thumb's top
};

ComboBox::ComboBox(Form& container, ControlContainer* parent)
    : Control(container, parent), m_state(std::make_unique<State>())
{
    m_state->font = container.Font();
}

// The form forgets the control (its open list included) as the control goes.
ComboBox::~ComboBox() = default;

const std::string& ComboBox::Text() const { return m_state->text; }

void ComboBox::setText(std::string text)
{
    m_state->text = std::move(text);
    m_state->caret = m_state->text.size();
    m_state->scrollX = 0;
    caretToView();
    repaintField();
}

void ComboBox::AddItem(std::string item)
{
    m_state->items.push_back(std::move(item));
    if (DroppedDown())
        form().openPopup(*this, listFormRect());
}

void ComboBox::Clear()
{
    close(false);
    m_state->items.clear();
    m_state->highlight = -1;
    m_state->top = 0;
    setText("");
}

int ComboBox::ListCount() const { return static_cast<int>(m_state->items.size()); }

const std::string& ComboBox::List(int index) const
{
    static const std::string none;
    return index >= 0 && index < ListCount() ? m_state->items[static_cast<size_t>(index)] : none;
}

int ComboBox::ListIndex() const
{
    auto it = std::find(m_state->items.begin(), m_state->items.end(), m_state->text);
    return it == m_state->items.end() ? -1 : static_cast<int>(it - m_state->items.begin());
}

void ComboBox::setListIndex(int index)
{
    if (index >= -1 && index < ListCount())
        setText(index < 0 ? std::string() : m_state->items[static_cast<size_t>(index)]);
}

const FontSpec& ComboBox::Font() const { return m_state->font; }

void ComboBox::setFont(const FontSpec& font)
{
    m_state->font = font;
    caretToView();
    repaintField();
    if (DroppedDown())
        form().openPopup(*this, listFormRect());
}

bool ComboBox::DroppedDown() const { return const_cast<ComboBox*>(this)->form().popupOwner() == this; }

void ComboBox::setEnabled(bool enabled)
{
    if (!enabled)
        close(false);
    m_state->press = State::Press::None;
    Control::setEnabled(enabled);
}

// --- geometry ---

int ComboBox::rowHeight() { return std::max(1, form().app().text().metrics(m_state->font).height()); }

int ComboBox::visibleRows() const { return std::clamp(ListCount(), 1, kVisibleRows); }

bool ComboBox::hasScrollBar() const { return ListCount() > kVisibleRows; }

gfx::Rect ComboBox::listRect()
{
    const gfx::Rect field = pixelRect();
    TextService& text = form().app().text();
    int widest = 0;
    for (const std::string& item : m_state->items)
        widest = std::max(widest, text.measure(m_state->font, item));
    const int width = std::max(field.width, widest + 2 * (1 + kRowInset) + (hasScrollBar() ? kScrollWidth : 0));
    const int height = visibleRows() * rowHeight() + 2;
    // Below the field, or above it when only that leaves it whole on the form.
    const int formHeight = form().toPixels(0, 0, form().ScaleWidth(), form().ScaleHeight()).height;
    int y = field.height;
    if (field.y + field.height + height > formHeight && field.y - height >= 0)
        y = -height;
    return {0, y, width, height};
}

gfx::Rect ComboBox::listFormRect()
{
    gfx::Rect list = listRect();
    const gfx::Rect field = pixelRect();
    return {field.x + list.x, field.y + list.y, list.width, list.height};
}

// --- painting ---

void ComboBox::repaintField() { form().RefreshRect(pixelRect()); }

void ComboBox::repaintList()
{
    if (DroppedDown())
        form().RefreshRect(listFormRect());
}

void ComboBox::paint(gfx::Surface& target, gfx::Rect place)
{
    const bool enabled = Enabled();
    // The sunken edge, as a bordered picture box has it.
    FillRect(target, place, gfx::kWhite);
    FillRect(target, {place.x, place.y, place.width - 1, place.height - 1}, kShadow);
    FillRect(target, {place.x + 1, place.y + 1, place.width - 2, place.height - 2}, kLight);
    FillRect(target, {place.x + 1, place.y + 1, place.width - 3, place.height - 3}, kDarkShadow);
    const gfx::Rect inner{place.x + kEdge, place.y + kEdge, place.width - 2 * kEdge, place.height - 2 * kEdge};
    FillRect(target, inner, enabled ? gfx::kWhite : kFace);

    const gfx::Rect button{inner.x + inner.width - kButtonWidth, inner.y, std::min(kButtonWidth, inner.width), inner.height};
    const bool pressed = DroppedDown();
    if (pressed)
        PressedBox(target, button);
    else
        RaisedBox(target, button);
    Arrow(target, button, true, enabled, pressed ? 1 : 0);

    const gfx::Rect area{inner.x, inner.y, std::max(0, inner.width - kButtonWidth), inner.height};
    TextService& text = form().app().text();
    const int fontHeight = text.metrics(m_state->font).height();
    const int x = area.x + kTextInset - m_state->scrollX, top = area.y + (area.height - fontHeight) / 2;
    if (enabled) {
        text.drawLine(target, area, x, top, m_state->font, m_state->text, gfx::kBlack);
    } else {
        text.drawLine(target, area, x + 1, top + 1, m_state->font, m_state->text, kDisabledHighlight);
        text.drawLine(target, area, x, top, m_state->font, m_state->text, kDisabledText);
    }
    if (enabled && form().ActiveControl() == this) {
        const int caretX = x + text.measure(m_state->font, std::string_view(m_state->text).substr(0, m_state->caret));
        FillRect(target, Intersect({caretX, top, 1, fontHeight}, area), gfx::kBlack);
    }
}

void ComboBox::paintPopup(gfx::Surface& target, gfx::Rect place)
{
    FillRect(target, place, gfx::kBlack);
    const gfx::Rect inner{place.x + 1, place.y + 1, place.width - 2, place.height - 2};
    FillRect(target, inner, gfx::kWhite);
    const bool scroll = hasScrollBar();
    const gfx::Rect rows{inner.x, inner.y, inner.width - (scroll ? kScrollWidth : 0), inner.height};
    TextService& text = form().app().text();
    const int rowH = rowHeight(), fontHeight = text.metrics(m_state->font).height();
    for (int r = 0; r < visibleRows(); ++r) {
        const int index = m_state->top + r;
        if (index >= ListCount())
            break;
        const gfx::Rect row{rows.x, rows.y + r * rowH, rows.width, rowH};
        const bool lit = index == m_state->highlight;
        if (lit)
            FillRect(target, row, kHighlight);
        text.drawLine(target, Intersect(row, rows), row.x + kRowInset, row.y + (rowH - fontHeight) / 2, m_state->font,
                      m_state->items[static_cast<size_t>(index)], lit ? gfx::kWhite : gfx::kBlack);
    }
    if (!scroll)
        return;
    const gfx::Rect barRect{inner.x + inner.width - kScrollWidth, inner.y, kScrollWidth, inner.height};
    // The track: the classic dither of white and the face colour.
    for (int y = barRect.y; y < barRect.y + barRect.height; ++y)
        for (int x = barRect.x; x < barRect.x + barRect.width; ++x)
            if (x >= 0 && y >= 0 && x < target.width() && y < target.height())
                target.set(x, y, ((x + y) & 1) ? gfx::kWhite : kFace);
    const ScrollBar bar = ScrollBarOf(barRect.height, ListCount(), visibleRows(), m_state->top);
    const gfx::Rect up{barRect.x, barRect.y, kScrollWidth, std::min(kScrollWidth, barRect.height / 2)};
    const gfx::Rect down{barRect.x, barRect.y + barRect.height - up.height, kScrollWidth, up.height};
    RaisedBox(target, up);
    Arrow(target, up, false, true);
    RaisedBox(target, down);
    Arrow(target, down, true, true);
    if (bar.trackHeight > 0)
        RaisedBox(target, {barRect.x, barRect.y + bar.thumbTop, kScrollWidth, bar.thumbHeight});
}

// --- the list ---

void ComboBox::open()
{
    if (DroppedDown() || !Enabled())
        return;
    const int index = ListIndex();
    m_state->highlight = index;
    m_state->top = 0;
    m_state->wheel = 0;
    // The entry in the field at the top of the list where the list can scroll that far.
    scrollTo(std::max(index, 0));
    form().openPopup(*this, listFormRect());
    repaintField();
}

void ComboBox::close(bool takeHighlight)
{
    m_state->press = State::Press::None;
    if (!DroppedDown())
        return;
    form().closePopup(*this);
    repaintField();
    if (takeHighlight)
        take(m_state->highlight);
}

void ComboBox::dismissPopup() { close(false); }

void ComboBox::take(int index)
{
    if (index < 0 || index >= ListCount())
        return;
    const bool changed = m_state->text != m_state->items[static_cast<size_t>(index)];
    setText(m_state->items[static_cast<size_t>(index)]);
    if (changed && Change)
        Change();
    if (Click)
        Click();
}

void ComboBox::scrollTo(int top)
{
    top = std::clamp(top, 0, std::max(0, ListCount() - visibleRows()));
    if (top == m_state->top)
        return;
    m_state->top = top;
    repaintList();
}

void ComboBox::setHighlight(int index)
{
    if (ListCount() == 0)
        return;
    index = std::clamp(index, 0, ListCount() - 1);
    if (index < m_state->top)
        scrollTo(index);
    else if (index >= m_state->top + visibleRows())
        scrollTo(index - visibleRows() + 1);
    if (index != m_state->highlight) {
        m_state->highlight = index;
        repaintList();
    }
}

void ComboBox::stepEntry(int step)
{
    if (ListCount() == 0)
        return;
    const int current = ListIndex();
    const int next = current < 0 ? 0 : std::clamp(current + step, 0, ListCount() - 1);
    if (next != current)
        take(next);
}

// --- mouse ---

void ComboBox::mouseDown(const MouseEvent& event)
{
    if (!Enabled() || event.button != kLeftButton)
        return;
    const gfx::Rect field = pixelRect();
    const bool inField = event.x >= 0 && event.y >= 0 && event.x < field.width && event.y < field.height;
    if (!DroppedDown()) {
        if (!inField)
            return;
        // A press in the text puts the caret at the nearest character boundary.
        TextService& text = form().app().text();
        const int textX = event.x - kEdge - kTextInset + m_state->scrollX;
        size_t best = 0;
        int bestDistance = std::abs(textX);
        for (size_t at = NextBoundary(m_state->text, 0); at <= m_state->text.size(); at = NextBoundary(m_state->text, at)) {
            const int distance = std::abs(textX - text.measure(m_state->font, std::string_view(m_state->text).substr(0, at)));
            if (distance < bestDistance) {
                best = at;
                bestDistance = distance;
            }
            if (at == m_state->text.size())
                break;
        }
        m_state->caret = best;
        open();
        m_state->press = State::Press::Pick;
        return;
    }
    const gfx::Rect list = listRect();
    if (!list.contains(event.x, event.y)) {
        // A press on the field or anywhere else closes the list without taking the highlight.
        close(false);
        return;
    }
    const int x = event.x - list.x, y = event.y - list.y;
    if (hasScrollBar() && x >= list.width - 1 - kScrollWidth) {
        const int barY = y - 1, barHeight = list.height - 2;
        const ScrollBar bar = ScrollBarOf(barHeight, ListCount(), visibleRows(), m_state->top);
        if (barY < bar.trackTop)
            scrollTo(m_state->top - 1);
        else if (barY >= barHeight - kScrollWidth)
            scrollTo(m_state->top + 1);
        else if (barY < bar.thumbTop)
            scrollTo(m_state->top - visibleRows());
        else if (barY >= bar.thumbTop + bar.thumbHeight)
            scrollTo(m_state->top + visibleRows());
        else {
            m_state->press = State::Press::Thumb;
            m_state->grab = barY - bar.thumbTop;
        }
        return;
    }
    m_state->press = State::Press::Pick;
    mouseMove(event);
}

void ComboBox::mouseMove(const MouseEvent& event)
{
    if (!DroppedDown())
        return;
    const gfx::Rect list = listRect();
    const int x = event.x - list.x, y = event.y - list.y;
    if (m_state->press == State::Press::Thumb) {
        const int barHeight = list.height - 2;
        const ScrollBar bar = ScrollBarOf(barHeight, ListCount(), visibleRows(), m_state->top);
        const int room = bar.trackHeight - bar.thumbHeight, range = ListCount() - visibleRows();
        if (room > 0) {
            const int thumbTop = std::clamp(y - 1 - m_state->grab, bar.trackTop, bar.trackTop + room);
            scrollTo(((thumbTop - bar.trackTop) * range + room / 2) / room);
        }
        return;
    }
    const int rowsWidth = list.width - 2 - (hasScrollBar() ? kScrollWidth : 0);
    if (x < 1 || x >= 1 + rowsWidth || y < 1 || y >= list.height - 1)
        return;
    const int index = m_state->top + (y - 1) / rowHeight();
    if (index < ListCount())
        setHighlight(index);
}

void ComboBox::mouseUp(const MouseEvent& event)
{
    if (event.button != kLeftButton)
        return;
    const State::Press press = m_state->press;
    m_state->press = State::Press::None;
    if (press != State::Press::Pick || !DroppedDown())
        return;
    // Released over an entry: that entry is taken (also after a press on the field dragged into the list).
    const gfx::Rect list = listRect();
    const int x = event.x - list.x, y = event.y - list.y;
    const int rowsWidth = list.width - 2 - (hasScrollBar() ? kScrollWidth : 0);
    if (x < 1 || x >= 1 + rowsWidth || y < 1 || y >= list.height - 1)
        return;
    const int index = m_state->top + (y - 1) / rowHeight();
    if (index >= ListCount())
        return;
    m_state->highlight = index;
    close(true);
}

void ComboBox::mouseWheel(const MouseEvent& /*event*/, int delta)
{
    if (!Enabled())
        return;
    m_state->wheel += delta;
    const int notches = m_state->wheel / 120;
    m_state->wheel -= notches * 120;
    if (notches == 0)
        return;
    if (DroppedDown())
        scrollTo(m_state->top - notches * kWheelRows);
    else
        stepEntry(-notches);
}

// --- keyboard and focus ---

void ComboBox::gotFocus()
{
    m_state->caret = m_state->text.size();
    caretToView();
    repaintField();
}

void ComboBox::lostFocus()
{
    close(false);
    repaintField();
}

void ComboBox::keyDown(int keyCode, int shift)
{
    if (!Enabled())
        return;
    const bool alt = (shift & kAltKey) != 0;
    if (keyCode == kKeyF4 || (alt && (keyCode == kKeyDown || keyCode == kKeyUp))) {
        if (DroppedDown())
            close(true);
        else
            open();
        return;
    }
    const bool dropped = DroppedDown();
    std::string& text = m_state->text;
    switch (keyCode) {
    case kKeyUp:
    case kKeyDown:
        if (dropped)
            setHighlight(m_state->highlight < 0 ? 0 : m_state->highlight + (keyCode == kKeyUp ? -1 : 1));
        else
            stepEntry(keyCode == kKeyUp ? -1 : 1);
        return;
    case kKeyPageUp:
    case kKeyPageDown:
        if (dropped)
            setHighlight(std::max(m_state->highlight, 0) + (keyCode == kKeyPageUp ? 1 - visibleRows() : visibleRows() - 1));
        return;
    case kKeyReturn:
        if (dropped)
            close(true);
        return;
    case kKeyEscape:
        close(false);
        return;
    case kKeyLeft:
        m_state->caret = PreviousBoundary(text, m_state->caret);
        break;
    case kKeyRight:
        m_state->caret = NextBoundary(text, m_state->caret);
        break;
    case kKeyHome:
        m_state->caret = 0;
        break;
    case kKeyEnd:
        m_state->caret = text.size();
        break;
    case kKeyBack:
        if (m_state->caret > 0) {
            const size_t from = PreviousBoundary(text, m_state->caret);
            text.erase(from, m_state->caret - from);
            m_state->caret = from;
            edited();
        }
        return;
    case kKeyDelete:
        if (m_state->caret < text.size()) {
            text.erase(m_state->caret, NextBoundary(text, m_state->caret) - m_state->caret);
            edited();
        }
        return;
    default:
        return;
    }
    caretToView();
    repaintField();
}

void ComboBox::keyPress(uint32_t codePoint)
{
    // Control characters (Backspace, Enter, Escape and the Ctrl combinations) are keys, not text.
    if (!Enabled() || codePoint < 0x20 || codePoint == 0x7F || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint < 0xE000))
        return;
    const std::string bytes = Utf8(codePoint);
    m_state->text.insert(m_state->caret, bytes);
    m_state->caret += bytes.size();
    edited();
}

void ComboBox::edited()
{
    caretToView();
    repaintField();
    if (Change)
        Change();
}

void ComboBox::caretToView()
{
    const gfx::Rect field = pixelRect();
    const int width = std::max(1, field.width - 2 * kEdge - kButtonWidth - 2 * kTextInset);
    const int caretX =
        form().app().text().measure(m_state->font, std::string_view(m_state->text).substr(0, m_state->caret));
    if (caretX - m_state->scrollX >= width)
        m_state->scrollX = caretX - width + 1;
    if (caretX < m_state->scrollX)
        m_state->scrollX = caretX;
    m_state->scrollX = std::max(0, m_state->scrollX);
}

}  // namespace pap::forms
