#include "forms/picture.h"

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

}  // namespace pap::forms
