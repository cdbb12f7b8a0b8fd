#include "platform/picture_object.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <climits>
#include <cstring>
#include <utility>

namespace pap {

namespace {

// COM for the life of a picture; a thread already set up otherwise keeps its own setting.
class ComScope {
public:
    ComScope() : m_initialised(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope()
    {
        if (m_initialised)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_initialised;
};

// A new stream over a copy of `bytes`; null when memory runs out.
IStream* StreamOver(std::span<const uint8_t> bytes)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (memory == nullptr)
        return nullptr;
    void* place = GlobalLock(memory);
    if (place == nullptr) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(place, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

class OlePicture final : public PlatformPicture {
public:
    OlePicture(std::unique_ptr<ComScope> com, IPicture* picture) : m_com(std::move(com)), m_picture(picture) {}
    ~OlePicture() override { m_picture->Release(); }
    OlePicture(const OlePicture&) = delete;
    OlePicture& operator=(const OlePicture&) = delete;

    std::vector<uint8_t> Save() const override
    {
        std::vector<uint8_t> out;
        IPersistStream* persist = nullptr;
        if (FAILED(m_picture->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))))
            return out;
        IStream* stream = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
            STATSTG stat{};
            HGLOBAL memory = nullptr;
            if (SUCCEEDED(persist->Save(stream, FALSE)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
                SUCCEEDED(GetHGlobalFromStream(stream, &memory))) {
                // The stream's memory may be larger than what was written; its size says how much was.
                const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
                if (size <= GlobalSize(memory)) {
                    if (const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory))) {
                        out.assign(bytes, bytes + size);
                        GlobalUnlock(memory);
                    }
                }
            }
            stream->Release();
        }
        persist->Release();
        return out;
    }

private:
    std::unique_ptr<ComScope> m_com;
    IPicture* m_picture;
};

}  // namespace

std::unique_ptr<PlatformPicture> LoadPlatformPicture(std::span<const uint8_t> file)
{
    if (file.empty() || file.size() > static_cast<size_t>(LONG_MAX))
        return nullptr;
    auto com = std::make_unique<ComScope>();
    IStream* stream = StreamOver(file);
    if (stream == nullptr)
        return nullptr;
    IPicture* picture = nullptr;
    const HRESULT result = OleLoadPicture(stream, static_cast<LONG>(file.size()), FALSE, IID_IPicture,
                                          reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(result) || picture == nullptr)
        return nullptr;
    return std::make_unique<OlePicture>(std::move(com), picture);
}

}  // namespace pap
