#include "forms/picture.h"

#include <algorithm>
#include <memory>

#include <string_view>
#include <vector>

#include "gfx/bmp_writer.h"
#include "platform/files.h"
#include "platform/picture_object.h"

namespace pap::forms {

bool SavePicture(const gfx::Surface& picture, const std::string& path)
{
    std::vector<uint8_t> bytes = gfx::EncodeBmp24(picture);
    if (bytes.empty())
        return false;
    return ReplaceWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                            Replacing::NewPrivateFile);
}

std::vector<uint8_t> SerialisePicture(const std::string& key, const PictureObject& picture)
{
    static_assert(kPictureBagHeaderBytes + kPictureStreamHeaderBytes == kPictureHeaderBytes);
    std::unique_ptr<PlatformPicture> object = LoadPlatformPicture(picture.fileBytes);
    if (!object)
        return {};
    std::vector<uint8_t> saved = object->Save();
    if (saved.size() < kPictureStreamHeaderBytes)
        return {};
    std::vector<uint8_t> out = {'P', 'P', 'I', 'C'};
    const auto size = static_cast<uint32_t>(saved.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    out.insert(out.end(), key.begin(), key.begin() + long(std::min(key.size(), kPictureBagHeaderBytes - 8)));
    out.resize(kPictureBagHeaderBytes, 0);
    out.insert(out.end(), saved.begin(), saved.end());
    return out;
}

}  // namespace pap::forms
