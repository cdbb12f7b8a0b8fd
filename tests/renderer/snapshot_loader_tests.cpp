#include "renderer/snapshot_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "renderer/gl_api.h"

namespace pap {
namespace {

using Bytes = std::vector<uint8_t>;

// A 2 x 1 24-bit bitmap, pure blue then pure red.
const Bytes kBlueRed = {
    'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 62, pixels at 54
    40, 0, 0, 0,                                     // info header size
    2, 0, 0, 0, 1, 0, 0, 0,                          // width 2, height 1
    1, 0, 24, 0,                                     // planes 1, 24 bits per pixel
    0, 0, 0, 0, 8, 0, 0, 0,                          // no compression, image size 8
    0, 0, 0, 0, 0, 0, 0, 0,                          // resolution
    0, 0, 0, 0, 0, 0, 0, 0,                          // colours used, important colours
    0xFF, 0, 0, 0, 0, 0xFF, 0, 0,                    // blue, red, row padding
};

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> serial{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("pap-loader-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(dir);
        m_path = dir.string();
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }

    std::string write(const std::string& name, const Bytes& contents) const
    {
        std::string file = m_path + "/" + name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
        return file;
    }

private:
    std::string m_path;
};

// Loader options that collect the messages instead of showing boxes.
struct Messages {
    std::vector<std::string> texts;
    DibLoaderOptions options()
    {
        DibLoaderOptions o;
        o.messageSink = [](void* context, const std::string& text) {
            static_cast<Messages*>(context)->texts.push_back(text);
        };
        o.messageContext = this;
        return o;
    }
};

TEST(SnapshotLoaderTest, LoadsAValidFile)
{
    TempDir dir;
    const std::string path = dir.write("Papyrant.bmp", kBlueRed);
    Messages messages;
    auto image = LoadSnapshot(path, messages.options());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->sizeX, 2);
    EXPECT_EQ(image->sizeY, 1);
    EXPECT_EQ(image->pixels, (Bytes{0, 0, 255, 255, 0, 0}));
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SnapshotLoaderTest, MissingFileGivesNoImageAndNoMessage)
{
    TempDir dir;
    Messages messages;
    EXPECT_FALSE(LoadSnapshot(dir.path() + "/missing.bmp", messages.options()));
    EXPECT_FALSE(LoadSnapshot("", messages.options()));
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SnapshotLoaderTest, EmptyFileGivesTheOpenFailureWithItsPath)
{
    TempDir dir;
    const std::string path = dir.write("Papyrant.bmp", {});
    Messages messages;
    EXPECT_FALSE(LoadSnapshot(path, messages.options()));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "Failed to open DIB file " + path + ".\n");
}

TEST(SnapshotLoaderTest, LoadDibFileWithoutTheExistenceCheckReportsAMissingFile)
{
    TempDir dir;
    const std::string path = dir.path() + "/missing.bmp";
    Messages messages;
    EXPECT_FALSE(LoadDibFile(path, messages.options()));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "Failed to open DIB file " + path + ".\n");
}

TEST(SnapshotLoaderTest, DecoderFailuresShowTheirMessage)
{
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    };
    Bytes header108 = kBlueRed;
    header108[14] = 108;
    Bytes pixelsCut(kBlueRed.begin(), kBlueRed.end() - 1);
    Bytes huge = kBlueRed;  // 24-bit with the widest width and height: more pixels than the file holds
    huge[18] = huge[19] = huge[20] = 0xFF, huge[21] = 0x7F;
    Bytes hugeRle(kBlueRed.begin(), kBlueRed.begin() + 54);  // RLE8, 65536 x 65536, no colour table used
    hugeRle[18] = 0, hugeRle[19] = 0, hugeRle[20] = 1, hugeRle[21] = 0;
    hugeRle[22] = 0, hugeRle[23] = 0, hugeRle[24] = 1, hugeRle[25] = 0;
    hugeRle[28] = 8, hugeRle[30] = 1;  // 8 bits per pixel, compression RLE8
    hugeRle[46] = 1;                   // one colour used
    hugeRle.insert(hugeRle.end(), {0, 0, 0, 0, 0, 1});  // the colour, end of bitmap
    hugeRle[10] = 58;

    const Case cases[] = {
        {"header108", header108, "Unknown DIB file format."},
        {"headerCut", Bytes(kBlueRed.begin(), kBlueRed.begin() + 30), "Unknown DIB file format."},
        {"pixelsCut", pixelsCut, "Image file conversion error."},
        {"moreRowsThanData", huge, "Image file conversion error."},
        {"tooBig", hugeRle, "Out of memory."},
    };
    TempDir dir;
    for (const Case& c : cases) {
        Messages messages;
        EXPECT_FALSE(LoadSnapshot(dir.write(c.name, c.file), messages.options())) << c.name;
        ASSERT_EQ(messages.texts.size(), 1u) << c.name;
        EXPECT_EQ(messages.texts[0], c.message) << c.name;
    }
}

TEST(SnapshotLoaderTest, BoxesSwitchedOffSilenceEveryMessage)
{
    TempDir dir;
    Messages messages;
    DibLoaderOptions options = messages.options();
    options.showBoxes = false;
    EXPECT_FALSE(LoadSnapshot(dir.write("empty.bmp", {}), options));
    EXPECT_FALSE(LoadSnapshot(dir.write("bad.bmp", {'B', 'M'}), options));
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SnapshotLoaderTest, EveryCutOfAFileFailsWithOneMessage)
{
    TempDir dir;
    for (size_t length = 0; length < kBlueRed.size(); ++length) {
        Messages messages;
        const std::string path = dir.write("cut.bmp", Bytes(kBlueRed.begin(), kBlueRed.begin() + std::ptrdiff_t(length)));
        EXPECT_FALSE(LoadSnapshot(path, messages.options())) << length;
        ASSERT_EQ(messages.texts.size(), 1u) << length;
        const std::string& text = messages.texts[0];
        const std::string expected = length == 0    ? "Failed to open DIB file " + path + ".\n"
                                     : length < 54  ? "Unknown DIB file format."
                                                    : "Image file conversion error.";
        EXPECT_EQ(text, expected) << length;
    }
}

// ---------------------------------------------------------------------------------------------
// The snapshot texture, through a recorder of the GL calls.

struct GlCall {
    std::string name;
    std::vector<int64_t> args;
    bool operator==(const GlCall&) const = default;
};

std::vector<GlCall> g_calls;
std::vector<uint8_t> g_mipmapPixels;

const SnapshotTextureCalls kRecorder = {
    [](int32_t count, uint32_t* names) {
        g_calls.push_back({"genTextures", {count}});
        names[0] = 7;
    },
    [](uint32_t target, uint32_t name) { g_calls.push_back({"bindTexture", {target, name}}); },
    [](uint32_t target, uint32_t name, int32_t value) { g_calls.push_back({"texParameteri", {target, name, value}}); },
    [](uint32_t name, int32_t value) { g_calls.push_back({"pixelStorei", {name, value}}); },
    [](uint32_t target, int32_t components, int32_t width, int32_t height, uint32_t format, uint32_t type,
       const void* pixels) -> int32_t {
        g_calls.push_back({"build2DMipmaps", {target, components, width, height, format, type}});
        const auto* bytes = static_cast<const uint8_t*>(pixels);
        g_mipmapPixels.assign(bytes, bytes + size_t(width) * size_t(height) * 3);
        return 0;
    },
};

class SnapshotTextureTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_mipmapPixels.clear();
        state.showLoaderBoxes = false;
    }
    TempDir dir;
    RenderState state;
};

TEST_F(SnapshotTextureTest, MakesOneLinearMipmappedRgbTexture)
{
    state.snapshotPath = dir.write("Papyrant.bmp", kBlueRed);
    EXPECT_TRUE(LoadSnapshotTexture(state, kRecorder));
    EXPECT_EQ(state.snapshotTexture, 7u);
    const std::vector<GlCall> expected = {
        {"genTextures", {1}},
        {"bindTexture", {GL_TEXTURE_2D, 7}},
        {"texParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR}},
        {"texParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR}},
        {"pixelStorei", {GL_UNPACK_ALIGNMENT, 1}},
        {"build2DMipmaps", {GL_TEXTURE_2D, 3, 2, 1, GL_RGB, GL_UNSIGNED_BYTE}},
    };
    EXPECT_EQ(g_calls, expected);
    EXPECT_EQ(g_mipmapPixels, (Bytes{0, 0, 255, 255, 0, 0}));
}

TEST_F(SnapshotTextureTest, WithoutAnImageNoTextureIsMade)
{
    for (const std::string& path : {std::string(), dir.path() + "/missing.bmp", dir.write("empty.bmp", {}),
                                    dir.write("bad.bmp", {'B', 'M', 1, 2, 3})}) {
        state.snapshotPath = path;
        EXPECT_FALSE(LoadSnapshotTexture(state, kRecorder)) << path;
        EXPECT_EQ(state.snapshotTexture, 0u) << path;
        EXPECT_TRUE(g_calls.empty()) << path;
    }
}

// ---------------------------------------------------------------------------------------------
// The file mapping and the fixed paths beneath the loader.

TEST(MappedFileTest, MapsTheWholeFile)
{
    TempDir dir;
    auto file = MappedFile::open(dir.write("data", kBlueRed));
    ASSERT_TRUE(file);
    ASSERT_EQ(file->size(), kBlueRed.size());
    EXPECT_EQ(Bytes(file->data(), file->data() + file->size()), kBlueRed);
}

TEST(MappedFileTest, EmptyMissingAndDirectoryCannotBeMapped)
{
    TempDir dir;
    EXPECT_FALSE(MappedFile::open(dir.write("empty", {})));
    EXPECT_FALSE(MappedFile::open(dir.path() + "/missing"));
    EXPECT_FALSE(MappedFile::open(dir.path()));
}

#if !defined(_WIN32)
// Sets XDG_RUNTIME_DIR for one test and restores it afterwards.
class RuntimeDirTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char* value = std::getenv("XDG_RUNTIME_DIR"))
            m_saved = value;
    }
    void TearDown() override
    {
        if (m_saved)
            setenv("XDG_RUNTIME_DIR", m_saved->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    static std::string fallback() { return "/tmp/pap_tmp-" + std::to_string(getuid()); }

    TempDir dir;

private:
    std::optional<std::string> m_saved;
};

TEST_F(RuntimeDirTest, OwnRuntimeDirectoryHoldsTheWorkDirectory)
{
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(WorkDirectory(), dir.path() + "/pap_tmp");
    EXPECT_EQ(SnapshotPath(), dir.path() + "/pap_tmp/Papyrant.bmp");
    setenv("XDG_RUNTIME_DIR", (dir.path() + "//").c_str(), 1);
    EXPECT_EQ(WorkDirectory(), dir.path() + "/pap_tmp");
    EXPECT_EQ(PathSeparator(), '/');
}

TEST_F(RuntimeDirTest, UnusableRuntimeDirectoryFallsBackToTmp)
{
    const std::string link = dir.path() + "/link";
    std::filesystem::create_directory_symlink(dir.path(), link);
    const std::string file = dir.write("file", {1});
    std::vector<std::optional<std::string>> values = {std::nullopt, "", "relative/dir", dir.path() + "/missing",
                                                      link, file};
    if (getuid() == 0) {  // only root can hand a directory to someone else
        const std::string foreign = dir.path() + "/foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        values.push_back(foreign);
    }
    for (const auto& value : values) {
        if (value)
            setenv("XDG_RUNTIME_DIR", value->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(WorkDirectory(), fallback()) << value.value_or("(unset)");
        EXPECT_EQ(SnapshotPath(), fallback() + "/Papyrant.bmp");
    }
}
#endif

}  // namespace
}  // namespace pap
