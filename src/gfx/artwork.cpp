#include "gfx/artwork.h"

#include <climits>

// stb_image, for PNG only, from memory only. Its own code is not held to our warning flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 15)
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace pap::gfx {

std::optional<Surface> DecodePng(std::span<const uint8_t> data)
{
    if (data.empty() || data.size() > size_t(INT_MAX))
        return std::nullopt;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(data.data(), int(data.size()), &width, &height, &channels, 3);
    if (!pixels)
        return std::nullopt;
    std::optional<Surface> picture;
    if (ValidSize(width, height) && width > 0 && height > 0) {
        picture.emplace(width, height);
        const stbi_uc* in = pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x, in += 3)
                picture->set(x, y, Rgb(in[0], in[1], in[2]));
    }
    stbi_image_free(pixels);
    return picture;
}

}  // namespace pap::gfx
