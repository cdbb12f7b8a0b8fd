#include "renderer/snapshot_loader.h"

#include <cstdio>
#include <new>
#include <span>

#include "platform/mapped_file.h"
#include "platform/message_box.h"
#include "renderer/dib_decoder.h"
#include "renderer/gl_api.h"

namespace pap {

namespace {

void report(const DibLoaderOptions& options, const std::string& text)
{
    if (!options.showBoxes)
        return;
    if (options.messageSink)
        options.messageSink(options.messageContext, text);
    else
        ShowMessageBox(text, "Error");
}

}  // namespace

std::unique_ptr<RgbImage> LoadSnapshot(const std::string& path, const DibLoaderOptions& options)
{
    if (path.empty())
        return nullptr;
    std::FILE* probe = std::fopen(path.c_str(), "r");
    if (!probe)
        return nullptr;
    std::fclose(probe);
    return LoadDibFile(path, options);
}

std::unique_ptr<RgbImage> LoadDibFile(const std::string& path, const DibLoaderOptions& options)
{
    std::unique_ptr<MappedFile> file = MappedFile::open(path);
    if (!file) {
        report(options, "Failed to open DIB file " + path + ".\n");
        return nullptr;
    }
    DibDecodeResult result = DecodeDib(std::span<const uint8_t>(file->data(), file->size()));
    file.reset();
    if (!result.image) {
        report(options, DibErrorMessage(result.error));
        return nullptr;
    }
    try {
        return std::make_unique<RgbImage>(std::move(*result.image));
    } catch (const std::bad_alloc&) {
        report(options, DibErrorMessage(DibError::OutOfMemory));
        return nullptr;
    }
}

const SnapshotTextureCalls& OpenGlSnapshotTextureCalls()
{
    static const SnapshotTextureCalls calls = {
        [](int32_t count, uint32_t* names) { glGenTextures(count, names); },
        [](uint32_t target, uint32_t name) { glBindTexture(target, name); },
        [](uint32_t target, uint32_t name, int32_t value) { glTexParameteri(target, name, value); },
        [](uint32_t name, int32_t value) { glPixelStorei(name, value); },
        [](uint32_t target, int32_t components, int32_t width, int32_t height, uint32_t format,
           uint32_t type, const void* pixels) -> int32_t {
            return gluBuild2DMipmaps(target, components, width, height, format, type, pixels);
        },
    };
    return calls;
}

bool LoadSnapshotTexture(RenderState& state, const SnapshotTextureCalls& gl)
{
    DibLoaderOptions options;
    options.showBoxes = state.showLoaderBoxes;
    std::unique_ptr<RgbImage> image = LoadSnapshot(state.snapshotPath, options);
    if (!image)
        return false;
    uint32_t name = 0;
    gl.genTextures(1, &name);
    state.snapshotTexture = name;
    gl.bindTexture(GL_TEXTURE_2D, state.snapshotTexture);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // The rows are packed without padding; GL's default would take each to start on a 4-byte boundary,
    // which shears any picture whose width is not a multiple of 4 and reads past the buffer.
    gl.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.build2DMipmaps(GL_TEXTURE_2D, 3, image->sizeX, image->sizeY, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.data());
    return true;  // the image is freed on the way out
}

}  // namespace pap
