#include "forms/picture.h"

#include <algorithm>

#include <string_view>
#include <vector>

#include "gfx/bmp_writer.h"
#include "platform/files.h"

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
    // "PPIC", the file's size (32 bits, little-endian), then the key, cut to fit, padded with zeros.
    const size_t fileSize = picture.fileBytes.size();
    std::vector<uint8_t> out(kPictureHeaderBytes + fileSize, 0);
    const char tag[4] = {'P', 'P', 'I', 'C'};
    for (size_t i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(tag[i]);
    for (size_t i = 0; i < 4; ++i)
        out[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(fileSize) >> (8 * i));
    for (size_t i = 0; i < kPictureHeaderBytes - 8 && i < key.size(); ++i)
        out[8 + i] = static_cast<uint8_t>(key[i]);
    for (size_t i = 0; i < fileSize; ++i)
        out[kPictureHeaderBytes + i] = picture.fileBytes[i];
    return out;
}

}  // namespace pap::forms
