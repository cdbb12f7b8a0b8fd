#include "tools/gif_dump.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/gif_animation.h"
#include "controls/anigif/snapshot_encoder.h"

namespace pap::tools {

namespace {

bool WriteFile(const std::filesystem::path& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return out.good();
}

std::string Numbered(const char* stem, int k, const char* extension)
{
    char name[40];
    std::snprintf(name, sizeof name, "%s-%03d.%s", stem, k, extension);
    return name;
}

}  // namespace

bool DumpGif(const std::filesystem::path& file, const std::filesystem::path& outDir)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    std::error_code error;
    std::filesystem::create_directories(outDir, error);

    // A running program's control, every frame decoded during the load, unscaled and unmirrored.
    anigif::GifAnimation animation;
    anigif::LoadSettings settings;
    settings.delayMode = 0;
    settings.stretchMode = 4;
    const int frames = animation.LoadGifData(data, settings).count;
    const anigif::GifStream& gif = animation.gif();
    std::string info = "frames " + std::to_string(frames) + "\n";
    if (frames > 0) {
        info += "size " + std::to_string(gif.actualWidth) + " " + std::to_string(gif.actualHeight) + "\n";
        info += "loop " + std::to_string(gif.loopLimit) + "\n";
    }
    bool ok = true;
    for (int k = 1; k <= frames; ++k) {
        const anigif::GifFrame& f = gif.frames[size_t(k - 1)];
        info += "frame " + std::to_string(k) + " delay " + std::to_string(f.delay) + " disposal " +
                std::to_string(f.disposal) + " rect " + std::to_string(f.left) + " " + std::to_string(f.top) +
                " " + std::to_string(f.width) + " " + std::to_string(f.height) + " transparent " +
                (f.hasTransparency ? std::to_string(f.transparentIndex) : "-") + "\n";
        std::vector<uint8_t> rgba =
            anigif::PaintFrameRgba(*animation.composer(), k, gif.actualWidth, gif.actualHeight);
        if (rgba.empty())  // nothing drawn: the container shows through everywhere
            rgba.assign(size_t(gif.actualWidth) * size_t(gif.actualHeight) * 4, 0);
        ok = WriteFile(outDir / Numbered("frame", k, "rgba"), rgba.data(), rgba.size()) && ok;
        const std::vector<uint8_t> snapshot = anigif::SnapshotFrame(gif, k);
        ok = WriteFile(outDir / Numbered("snapshot", k, "gif"), snapshot.data(), snapshot.size()) && ok;
    }
    return WriteFile(outDir / "info.txt", info.data(), info.size()) && ok;
}

}  // namespace pap::tools
