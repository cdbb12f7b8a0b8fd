// The renderer's scene drawn offscreen through OSMesa at 1024 x 768, checked against the projection.

#include "renderer/render_scene.h"

#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "renderer/gl_api.h"
#include "renderer/snapshot_loader.h"

// Sanitizer builds: Mesa's OSMesa keeps a few small framebuffer allocations past
// OSMesaDestroyContext; they are the library's, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }

namespace pap {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kBlock = 64;  // the test snapshot is 16 x 12 blocks of one colour each

struct Rgb {
    int r, g, b;
};

// Unique per block; horizontal neighbours differ by 14 in red and 50 in blue, vertical ones by 19 in
// green and 100 in blue. Block row 0 is the bottom of the picture.
Rgb BlockColour(int bx, int by)
{
    return {20 + 14 * bx, 20 + 19 * by, 40 + 50 * ((bx + 2 * by) % 4)};
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A 24-bit bottom-up bitmap file of width x height pixels, colourAt(x, y) with y from the bottom.
template <class ColourAt>
std::string WriteBitmap(const std::string& path, int width, int height, ColourAt colourAt)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    std::vector<uint8_t> file;
    // File header: "BM", file size, two reserved words, offset of the pixels.
    file.push_back('B');
    file.push_back('M');
    PutLe(file, 14 + 40 + imageBytes, 4);
    PutLe(file, 0, 4);
    PutLe(file, 14 + 40, 4);
    // Info header: size, width, height, planes, bits, compression, image size, resolutions, colours.
    PutLe(file, 40, 4);
    PutLe(file, static_cast<uint32_t>(width), 4);
    PutLe(file, static_cast<uint32_t>(height), 4);
    PutLe(file, 1, 2);
    PutLe(file, 24, 2);
    PutLe(file, 0, 4);
    PutLe(file, imageBytes, 4);
    PutLe(file, 2835, 4);
    PutLe(file, 2835, 4);
    PutLe(file, 0, 4);
    PutLe(file, 0, 4);
    // Rows bottom first, pixels blue, green, red; rows padded to whole 32-bit words.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colourAt(x, y);
            file.push_back(static_cast<uint8_t>(c.b));
            file.push_back(static_cast<uint8_t>(c.g));
            file.push_back(static_cast<uint8_t>(c.r));
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad)
            file.push_back(0);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    std::fclose(f);
    return ok ? path : std::string();
}

// The block picture at the scene's size.
std::string WriteSnapshot(const std::string& path)
{
    return WriteBitmap(path, kWidth, kHeight, [](int x, int y) { return BlockColour(x / kBlock, y / kBlock); });
}

// The colour at snapshot position (u, v) in pixels from the bottom left, if it lies at least `margin`
// pixels inside its block; the texture is rescaled and filtered, so only block interiors are exact.
std::optional<Rgb> SnapshotColourAt(double u, double v, double margin = 6)
{
    if (u < 0 || v < 0 || u >= kWidth || v >= kHeight)
        return std::nullopt;
    const double du = std::fmod(u, kBlock), dv = std::fmod(v, kBlock);
    if (du < margin || du > kBlock - margin || dv < margin || dv > kBlock - margin)
        return std::nullopt;
    return BlockColour(static_cast<int>(u) / kBlock, static_cast<int>(v) / kBlock);
}

// gluPerspective(60, 1, 0, 1000) over the 1024 x 768 viewport, after the frame's translation to
// (x - 50, y - 50, z - 85).
const double kFocal = 1.0 / std::tan(std::numbers::pi / 6);

struct ScreenPoint {
    double x, y;
};

ScreenPoint Project(double mx, double my, double mz)
{
    const double ex = mx - 50, ey = my - 50, ez = mz - 85;
    return {(kFocal * ex / -ez + 1) * kWidth / 2, (kFocal * ey / -ez + 1) * kHeight / 2};
}

// The mesh point at depth mz that lands on screen point (sx, sy).
ScreenPoint Unproject(double sx, double sy, double mz)
{
    const double w = 85 - mz;
    return {(sx * 2 / kWidth - 1) * w / kFocal + 50, (sy * 2 / kHeight - 1) * w / kFocal + 50};
}

bool Near(const Rgb& a, const Rgb& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string Show(const Rgb& c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

uint32_t g_tick = 0;
uint32_t TestTick() { return g_tick; }

class RenderScene : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        s_buffer.assign(static_cast<size_t>(kWidth) * kHeight * 4, 0);
        if (s_context)
            s_current = OSMesaMakeCurrent(s_context, s_buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
        // One file per process: ctest runs the tests of this suite in processes side by side, and a
        // file rewritten while another process has it mapped would fault there.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        s_snapshot = WriteSnapshot(testing::TempDir() + "render_scene_" + std::to_string(stamp) + "_" +
                                   std::to_string(std::random_device{}()) + ".bmp");
    }
    static void TearDownTestSuite()
    {
        if (s_context) {
            OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
            OSMesaDestroyContext(s_context);
        }
        s_context = nullptr;
        if (!s_snapshot.empty())
            std::remove(s_snapshot.c_str());
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_context && s_current) << "no OSMesa context";
        ASSERT_FALSE(s_snapshot.empty()) << "cannot write the test snapshot";
        m_state = std::make_unique<RenderState>();
        m_state->snapshotPath = s_snapshot;
        m_state->showLoaderBoxes = false;
        m_state->tickSource = TestTick;
        g_tick = kUptime;
    }
    void TearDown() override
    {
        if (m_state && m_state->snapshotTexture)
            glDeleteTextures(1, &m_state->snapshotTexture);
    }

    // Viewport and scene as the window's set-up makes them, at the clock given.
    void Start(uint32_t tickMs)
    {
        g_tick = tickMs;
        ResizeView(kWidth, kHeight);
        ASSERT_TRUE(SetupScene(*m_state));
    }
    void Frame(uint32_t tickMs)
    {
        g_tick = tickMs;
        EXPECT_TRUE(RenderFrame(*m_state));
        glFinish();
    }
    // Up to the frame that draws the tiles moved `steps` times; returns the tick of that frame.
    uint32_t FramesIntoShred(int steps)
    {
        Start(kUptime);
        Frame(kUptime);  // resets the cycle at the count of kUptime
        const uint32_t shredTick = (kUptime / 200 + 4) * 200;
        Frame(shredTick);  // whole picture, then the scatter and the first step
        for (int k = 1; k < steps; ++k)
            Frame(shredTick);
        return shredTick;
    }

    static Rgb Pixel(int x, int y)
    {
        const uint8_t* p = &s_buffer[(static_cast<size_t>(y) * kWidth + x) * 4];
        return {p[0], p[1], p[2]};
    }

    static constexpr uint32_t kUptime = 3'600'000;  // an hour; the first frame finds elapsed >= 10

    static OSMesaContext s_context;
    static GLboolean s_current;
    static std::vector<uint8_t> s_buffer;
    static std::string s_snapshot;
    std::unique_ptr<RenderState> m_state;
};

OSMesaContext RenderScene::s_context = nullptr;
GLboolean RenderScene::s_current = GL_FALSE;
std::vector<uint8_t> RenderScene::s_buffer;
std::string RenderScene::s_snapshot;

TEST_F(RenderScene, ResizeViewSetsViewportAndSquareProjection)
{
    struct Case {
        int width, height;
        GLint viewport[4];
    };
    const Case cases[] = {
        {1024, 768, {0, 0, 1024, 768}},
        {640, 480, {0, 0, 640, 480}},
        {800, 0, {0, 0, 800, 1}},  // a height of 0 is taken as 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(1, 2, 3);
        ResizeView(c.width, c.height);

        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(viewport[k], c.viewport[k]) << k;
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);

        // Aspect 1 whatever the window: x and y scale alike; near 0: z maps every depth to w.
        GLdouble p[16], m[16];
        glGetDoublev(GL_PROJECTION_MATRIX, p);
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        EXPECT_NEAR(p[0], kFocal, 1e-6);
        EXPECT_NEAR(p[5], kFocal, 1e-6);
        EXPECT_NEAR(p[10], -1.0, 1e-9);
        EXPECT_NEAR(p[11], -1.0, 1e-9);
        EXPECT_NEAR(p[14], 0.0, 1e-9);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(m[k], k % 5 == 0 ? 1.0 : 0.0) << k;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderScene, SetupSceneLeavesTheFrameState)
{
    Start(kUptime);
    EXPECT_NE(m_state->snapshotTexture, 0u);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[1], 0.0f);
    EXPECT_EQ(clear[2], 0.0f);
    EXPECT_EQ(clear[3], 0.5f);
    GLdouble depth = 0;
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0);

    EXPECT_EQ(m_state->animation.phase, PhaseNone);
    EXPECT_EQ(m_state->animation.cycleMark, static_cast<int32_t>(kUptime / 1000));
    EXPECT_EQ(m_state->animation.mesh.columns, 100);
    EXPECT_EQ(m_state->animation.mesh.position[99][99].y, 99.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderScene, FirstFrameIsBlack)
{
    Start(kUptime);
    std::fill(s_buffer.begin(), s_buffer.end(), 0x55);
    Frame(kUptime + 16);
    size_t lit = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            lit += !Near(Pixel(x, y), {0, 0, 0}, 0);
    EXPECT_EQ(lit, 0u);
    EXPECT_EQ(m_state->animation.phase, PhaseWhole);
    // The frame leaves culling off, as the clock step expects nothing of it.
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The whole picture is the snapshot without its outer 1 % (texture 0.01 .. 0.99), stretched over the
// screen: each sampled screen pixel shows the snapshot where the projection puts it.
TEST_F(RenderScene, WholePictureShowsTheSnapshotEnlarged)
{
    Start(kUptime);
    Frame(kUptime + 16);
    Frame(kUptime + 33);
    ASSERT_EQ(m_state->animation.phase, PhaseWhole);

    int compared = 0, black = 0, wrong = 0;
    std::string firstWrong;
    for (int y = 0; y < kHeight; y += 3) {
        for (int x = 0; x < kWidth; x += 3) {
            const ScreenPoint mesh = Unproject(x + 0.5, y + 0.5, 0);
            const Rgb seen = Pixel(x, y);
            std::optional<Rgb> expected;
            if (mesh.x < 1 || mesh.x > 99 || mesh.y < 1 || mesh.y > 99) {
                expected = Rgb{0, 0, 0};
                ++black;
            } else {
                // Texture coordinates are 0.01 per mesh unit.
                expected = SnapshotColourAt(mesh.x * 0.01 * kWidth, mesh.y * 0.01 * kHeight);
            }
            if (!expected)
                continue;
            ++compared;
            if (!Near(seen, *expected, 6) && wrong++ == 0)
                firstWrong = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + Show(seen) +
                             ", expected " + Show(*expected);
        }
    }
    EXPECT_EQ(wrong, 0) << firstWrong;
    EXPECT_GT(compared, 40000);
    EXPECT_GT(black, 0);  // the outermost row and column of pixels
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Mesh x and y from 1 to 99 at distance 85 fill the screen to within a pixel: the outermost ring of
// pixel centres falls just outside the quads.
TEST_F(RenderScene, WholePictureFillsTheScreenToWithinAPixel)
{
    Start(kUptime);
    Frame(kUptime + 16);
    Frame(kUptime + 33);
    EXPECT_LT(Project(1, 1, 0).x, 1.0);
    EXPECT_LT(Project(1, 1, 0).y, 1.0);
    EXPECT_GT(Project(99, 99, 0).x, kWidth - 1.0);
    EXPECT_GT(Project(99, 99, 0).y, kHeight - 1.0);
    for (int k = 10; k < kHeight - 10; k += 37) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(Near(Pixel(0, k), {0, 0, 0}, 0));
        EXPECT_TRUE(Near(Pixel(kWidth - 1, k), {0, 0, 0}, 0));
        EXPECT_FALSE(Near(Pixel(1, k), {0, 0, 0}, 10));
        EXPECT_FALSE(Near(Pixel(kWidth - 2, k), {0, 0, 0}, 10));
    }
    for (int k = 10; k < kWidth - 10; k += 37) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(Near(Pixel(k, 0), {0, 0, 0}, 0));
        EXPECT_TRUE(Near(Pixel(k, kHeight - 1), {0, 0, 0}, 0));
        EXPECT_FALSE(Near(Pixel(k, 1), {0, 0, 0}, 10));
        EXPECT_FALSE(Near(Pixel(k, kHeight - 2), {0, 0, 0}, 10));
    }
}

// A tile as drawn: its corner position and the grid vertex whose texture it starts at.
struct DrawnTile {
    int j, i;
    MeshVec3 p;
    double x0, y0, x1, y1;  // its screen rectangle
};

std::vector<DrawnTile> TilesOnScreen(const ShredMesh& mesh)
{
    std::vector<DrawnTile> tiles;
    for (int i = 1; i < mesh.rows - 1; i += 2) {
        for (int j = 1; j < mesh.columns - 1; j += 2) {
            const MeshVec3& p = mesh.position[j][i];
            const ScreenPoint a = Project(p.x, p.y, p.z);
            const ScreenPoint b = Project(p.x + 2, p.y + 2, p.z);
            tiles.push_back({j, i, p, a.x, a.y, b.x, b.y});
        }
    }
    return tiles;
}

// Each sampled pixel shows the last-drawn tile whose projection covers it, at the texture position
// within that tile, or black where no tile is. Pixels near any tile edge are skipped.
void ExpectTilesWhereProjected(const ShredMesh& mesh, int& comparedTiles, int& comparedGaps, int& wrong,
                               std::string& firstWrong, Rgb (*pixel)(int, int))
{
    const std::vector<DrawnTile> tiles = TilesOnScreen(mesh);
    constexpr double kEdge = 1.5;
    for (int y = 0; y < kHeight; y += 5) {
        for (int x = 0; x < kWidth; x += 5) {
            const double sx = x + 0.5, sy = y + 0.5;
            const DrawnTile* top = nullptr;
            bool nearEdge = false;
            for (auto it = tiles.rbegin(); it != tiles.rend(); ++it) {
                const bool inside = sx > it->x0 - kEdge && sx < it->x1 + kEdge && sy > it->y0 - kEdge &&
                                    sy < it->y1 + kEdge;
                if (!inside)
                    continue;
                const bool wellInside = sx > it->x0 + kEdge && sx < it->x1 - kEdge && sy > it->y0 + kEdge &&
                                        sy < it->y1 - kEdge;
                if (!wellInside) {
                    nearEdge = true;
                    break;
                }
                top = &*it;
                break;
            }
            if (nearEdge)
                continue;
            std::optional<Rgb> expected;
            if (!top) {
                expected = Rgb{0, 0, 0};
            } else {
                // Within the flat tile the texture runs linearly with the mesh position.
                const ScreenPoint m = Unproject(sx, sy, top->p.z);
                const double s = (top->j + (m.x - top->p.x)) * 0.01, t = (top->i + (m.y - top->p.y)) * 0.01;
                expected = SnapshotColourAt(s * kWidth, t * kHeight);
            }
            if (!expected)
                continue;
            ++(top ? comparedTiles : comparedGaps);
            const Rgb seen = pixel(x, y);
            if (!Near(seen, *expected, 6) && wrong++ == 0)
                firstWrong = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + Show(seen) +
                             ", expected " + Show(*expected) +
                             (top ? " of tile " + std::to_string(top->j) + ", " + std::to_string(top->i) : "");
        }
    }
}

TEST_F(RenderScene, ShredFrameShowsTilesWhereTheirCornersProject)
{
    for (int steps : {1, 6, 15}) {
        SCOPED_TRACE(testing::Message() << steps << " motion steps");
        if (m_state->snapshotTexture)
            glDeleteTextures(1, &m_state->snapshotTexture);
        m_state = std::make_unique<RenderState>();
        m_state->snapshotPath = s_snapshot;
        m_state->showLoaderBoxes = false;
        m_state->tickSource = TestTick;

        const uint32_t tick = FramesIntoShred(steps);
        ASSERT_EQ(m_state->animation.phase, PhaseShred);
        // The positions this frame draws.
        auto drawn = std::make_unique<ShredMesh>(m_state->animation.mesh);
        Frame(tick);

        int tilesCompared = 0, gapsCompared = 0, wrong = 0;
        std::string firstWrong;
        ExpectTilesWhereProjected(*drawn, tilesCompared, gapsCompared, wrong, firstWrong, &Pixel);
        EXPECT_EQ(wrong, 0) << firstWrong;
        EXPECT_GT(tilesCompared, 3000);
        EXPECT_GT(gapsCompared, steps == 1 ? 100 : 1000);  // black gaps open between the tiles

        // A few tiles named by position: the centre pixel of the last tile drawn, and of the first,
        // wherever the projection took them.
        for (size_t index : {static_cast<size_t>(49 * 49 - 1), static_cast<size_t>(24 * 49 + 24)}) {
            const auto tiles = TilesOnScreen(*drawn);
            const DrawnTile& tile = tiles[index];
            const ScreenPoint c = Project(tile.p.x + 1, tile.p.y + 1, tile.p.z);
            bool coveredLater = false;
            for (size_t k = index + 1; k < tiles.size(); ++k)
                coveredLater |= c.x > tiles[k].x0 - 2 && c.x < tiles[k].x1 + 2 && c.y > tiles[k].y0 - 2 &&
                                c.y < tiles[k].y1 + 2;
            const auto expected = SnapshotColourAt((tile.j + 1) * 0.01 * kWidth, (tile.i + 1) * 0.01 * kHeight);
            if (coveredLater || !expected || c.x < 0 || c.y < 0 || c.x >= kWidth || c.y >= kHeight)
                continue;
            const Rgb seen = Pixel(static_cast<int>(c.x), static_cast<int>(c.y));
            EXPECT_TRUE(Near(seen, *expected, 6)) << "tile " << index << " at " << c.x << ", " << c.y << ": "
                                                  << Show(seen) << " vs " << Show(*expected);
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderScene, WithoutSnapshotTheMeshIsWhite)
{
    m_state->snapshotPath = testing::TempDir() + "render_scene_no_such_snapshot.bmp";
    Start(kUptime);
    EXPECT_EQ(m_state->snapshotTexture, 0u);
    Frame(kUptime + 16);
    Frame(kUptime + 33);
    int white = 0, other = 0;
    for (int y = 2; y < kHeight - 2; y += 7)
        for (int x = 2; x < kWidth - 2; x += 7)
            ++(Near(Pixel(x, y), {255, 255, 255}, 0) ? white : other);
    EXPECT_EQ(other, 0);
    EXPECT_GT(white, 10000);

    // The shred runs on the white mesh too, with black gaps.
    const uint32_t shredTick = (kUptime / 200 + 4) * 200;
    for (int k = 0; k < 8; ++k)
        Frame(shredTick);
    int black = 0;
    white = other = 0;
    for (int y = 0; y < kHeight; y += 7) {
        for (int x = 0; x < kWidth; x += 7) {
            const Rgb c = Pixel(x, y);
            if (Near(c, {255, 255, 255}, 0))
                ++white;
            else if (Near(c, {0, 0, 0}, 0))
                ++black;
            else
                ++other;
        }
    }
    EXPECT_GT(white, 1000);
    EXPECT_GT(black, 1000);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Rows of a width that is not a multiple of 4 reach the texture whole, each at its place and in its own
// colours, whatever unpack alignment GL had before. GLU scales a width that is not a power of two, which
// keeps a row of one colour as it is; the height, a power of two, stays. (With the height kept, GLU's
// scaling leaves the top row of the result black: that row is not checked. The mesh's texture
// coordinates, 0.01 to 0.99, never reach it.)
TEST_F(RenderScene, SnapshotRowsOfAnyWidthReachTheTextureUnsheared)
{
    const std::vector<Rgb> rows = {{200, 30, 90}, {20, 180, 240},  {250, 240, 10}, {60, 110, 160},
                                   {90, 10, 30},  {130, 250, 70}, {5, 80, 200},   {240, 140, 100}};
    for (int width : {1, 3, 5, 1366}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        const std::string name = "render_rows_" + std::to_string(width) + "_" +
                                 std::to_string(std::random_device{}()) + ".bmp";
        const std::string path = WriteBitmap(testing::TempDir() + name, width, static_cast<int>(rows.size()),
                                             [&rows](int, int y) { return rows[static_cast<size_t>(y)]; });
        ASSERT_FALSE(path.empty());
        auto state = std::make_unique<RenderState>();
        state->snapshotPath = path;
        state->showLoaderBoxes = false;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // GL's initial value
        ASSERT_TRUE(LoadSnapshotTexture(*state));
        std::remove(path.c_str());

        glBindTexture(GL_TEXTURE_2D, state->snapshotTexture);
        GLint textureWidth = 0, textureHeight = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
        ASSERT_GT(textureWidth, 0);
        ASSERT_EQ(textureHeight, static_cast<GLint>(rows.size()));
        std::vector<uint8_t> texels(static_cast<size_t>(textureWidth) * rows.size() * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glDeleteTextures(1, &state->snapshotTexture);

        int wrong = 0;
        std::string firstWrong;
        for (size_t y = 0; y + 1 < rows.size(); ++y)
            for (GLint x = 0; x < textureWidth; ++x) {
                const uint8_t* t = &texels[(y * static_cast<size_t>(textureWidth) + static_cast<size_t>(x)) * 3];
                const Rgb seen{t[0], t[1], t[2]};
                if (!Near(seen, rows[y], 1) && wrong++ == 0)
                    firstWrong = "texel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + Show(seen) +
                                 ", expected " + Show(rows[y]);
            }
        EXPECT_EQ(wrong, 0) << firstWrong;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The frame at elapsed 10 still draws tiles; the next one the restored picture.
TEST_F(RenderScene, ResetShowsFromTheFrameAfter)
{
    const uint32_t shredTick = FramesIntoShred(3);
    const uint32_t resetTick = shredTick + 6 * 200;
    Frame(resetTick);
    int black = 0;
    for (int y = 2; y < kHeight - 2; y += 11)
        for (int x = 2; x < kWidth - 2; x += 11)
            black += Near(Pixel(x, y), {0, 0, 0}, 0);
    EXPECT_GT(black, 100);
    EXPECT_EQ(m_state->animation.phase, PhaseWhole);

    Frame(resetTick + 16);
    int wrong = 0, compared = 0;
    for (int y = 2; y < kHeight - 2; y += 11) {
        for (int x = 2; x < kWidth - 2; x += 11) {
            const ScreenPoint mesh = Unproject(x + 0.5, y + 0.5, 0);
            const auto expected = SnapshotColourAt(mesh.x * 0.01 * kWidth, mesh.y * 0.01 * kHeight);
            if (!expected)
                continue;
            ++compared;
            wrong += !Near(Pixel(x, y), *expected, 6);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(compared, 3000);
}

}  // namespace
}  // namespace pap
