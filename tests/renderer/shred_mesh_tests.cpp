#include "renderer/shred_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace pap {
namespace {

constexpr int kDrawsPerScatter = 5 * kMeshColumns * kMeshRows;
constexpr size_t kWholeQuads = 98 * 98;
constexpr size_t kTiles = 49 * 49;

struct RecordedVertex {
    float s, t, x, y, z;
};

// Records what a draw batch emits; every vertex must follow exactly one texture coordinate, inside
// begin() ... end().
struct RecordingSink {
    int begins = 0;
    int ends = 0;
    int misuses = 0;
    bool open = false;
    int pendingTexCoords = 0;
    float s = 0, t = 0;
    std::vector<RecordedVertex> vertices;

    void begin()
    {
        misuses += open;
        open = true;
        ++begins;
    }
    void texCoord(float ts, float tt)
    {
        s = ts;
        t = tt;
        ++pendingTexCoords;
    }
    void vertex(float x, float y, float z)
    {
        misuses += !open || pendingTexCoords != 1;
        pendingTexCoords = 0;
        vertices.push_back({s, t, x, y, z});
    }
    void end()
    {
        misuses += !open || pendingTexCoords != 0;
        open = false;
        ++ends;
    }
    size_t quads() const { return vertices.size() / 4; }
};

// FNV-1a over everything a batch emits, for comparing long runs.
struct HashingSink {
    uint64_t hash = 1469598103934665603ull;
    size_t vertices = 0;

    void mix(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int k = 0; k < 4; ++k) {
            hash ^= (bits >> (8 * k)) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    void begin() { mix(-1.0f); }
    void texCoord(float s, float t)
    {
        mix(s);
        mix(t);
    }
    void vertex(float x, float y, float z)
    {
        mix(x);
        mix(y);
        mix(z);
        ++vertices;
    }
    void end() { mix(-2.0f); }
};

// The animation is 320 KB: keep it off the stack.
std::unique_ptr<ShredAnimation> MakeAnimation()
{
    auto animation = std::make_unique<ShredAnimation>();
    InitShredMesh(animation->mesh, kMeshColumns, kMeshRows, kMeshFallStep);
    return animation;
}

ShredRandom Advanced(ShredRandom random, int draws)
{
    for (int k = 0; k < draws; ++k)
        random.next();
    return random;
}

// The first millisecond tick of 200 ms count `count`, plus `within` ms.
uint32_t TickOfCount(int64_t count, uint32_t within = 0)
{
    return static_cast<uint32_t>(count * 200 + within);
}

// One frame as the renderer runs it: draw, then advance the clock.
template <class Sink>
Sink Frame(ShredAnimation& animation, uint32_t tickMs)
{
    Sink sink;
    DrawShredMesh(animation, sink);
    AdvanceShredClock(animation, tickMs);
    return sink;
}

// Signed area of a quad in the x-y plane (x right, y up): negative when it runs clockwise.
float SignedArea(const RecordedVertex* q)
{
    float area = 0;
    for (int k = 0; k < 4; ++k) {
        const RecordedVertex& a = q[k];
        const RecordedVertex& b = q[(k + 1) % 4];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2;
}

float GridTex(int index) { return static_cast<float>(index * 0.01); }

TEST(ShredRandom, StartsFromStateOne)
{
    ShredRandom random;
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected)
        EXPECT_EQ(random.next(), value);
}

TEST(ShredRandom, StaysWithinFifteenBits)
{
    ShredRandom random;
    int32_t highest = 0;
    for (int k = 0; k < 100000; ++k) {
        const int32_t value = random.next();
        ASSERT_GE(value, 0);
        highest = std::max(highest, value);
    }
    EXPECT_EQ(highest, 32767);
}

TEST(ShredMeshInit, LaysOutTheGridAndKeepsVelocities)
{
    auto animation = std::make_unique<ShredAnimation>();
    ShredMesh& mesh = animation->mesh;
    mesh.velocity[7][3] = {1, -2, 5};
    mesh.position[99][99] = {-4, -4, -4};
    InitShredMesh(mesh, 100, 100, 0.25f);

    EXPECT_EQ(mesh.columns, 100);
    EXPECT_EQ(mesh.rows, 100);
    EXPECT_EQ(mesh.fallStep, 0.25f);
    for (int j = 0; j < 100; ++j) {
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(mesh.position[j][i].x, static_cast<float>(j));
            ASSERT_EQ(mesh.position[j][i].y, static_cast<float>(i));
            ASSERT_EQ(mesh.position[j][i].z, 0.0f);
            // Double-precision products: for 30 of the 100 indices (5, 9, 99, ...) they differ by one
            // ulp from float products.
            ASSERT_EQ(mesh.texCoord[j][i].s, GridTex(j));
            ASSERT_EQ(mesh.texCoord[j][i].t, GridTex(i));
        }
    }
    EXPECT_EQ(mesh.texCoord[99][0].s, 0.99f);
    EXPECT_EQ(mesh.velocity[7][3].x, 1.0f);
    EXPECT_EQ(mesh.velocity[7][3].y, -2.0f);
    EXPECT_EQ(mesh.velocity[7][3].z, 5.0f);
}

TEST(ShredScatter, TakesFiveDrawsPerVertexRowByRow)
{
    auto animation = MakeAnimation();
    ScatterTiles(*animation);

    ShredRandom reference;
    for (int i = 0; i < kMeshRows; ++i) {
        for (int j = 0; j < kMeshColumns; ++j) {
            const int32_t a = reference.next(), b = reference.next(), c = reference.next();
            const int32_t d = reference.next(), e = reference.next();
            const MeshVec3& v = animation->mesh.velocity[j][i];
            ASSERT_EQ(v.x, static_cast<float>((a % 5 - b % 5) / 2)) << "column " << j << " row " << i;
            ASSERT_EQ(v.y, static_cast<float>((c % 5 - d % 5) / 2)) << "column " << j << " row " << i;
            ASSERT_EQ(v.z, static_cast<float>(e % 3)) << "column " << j << " row " << i;
        }
    }
    // The first vertex: (41 % 5 - 18467 % 5) / 2 = (1 - 2) / 2 truncates to 0, not -1.
    EXPECT_EQ(animation->mesh.velocity[0][0].x, 0.0f);
    EXPECT_EQ(animation->mesh.velocity[0][0].y, 2.0f);
    EXPECT_EQ(animation->mesh.velocity[0][0].z, 2.0f);
}

TEST(ShredScatter, ConsumesExactlyFiftyThousandDrawsEachTime)
{
    auto animation = MakeAnimation();
    const ShredRandom fresh;
    ScatterTiles(*animation);
    EXPECT_EQ(animation->random.state(), Advanced(fresh, kDrawsPerScatter).state());
    ScatterTiles(*animation);
    EXPECT_EQ(animation->random.state(), Advanced(fresh, 2 * kDrawsPerScatter).state());
}

TEST(ShredScatter, VelocitiesFollowTheirDistribution)
{
    auto animation = MakeAnimation();
    // Two scatters: the first and a later cycle's, drawn further along the sequence.
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        ScatterTiles(*animation);
        int sideways[5] = {};
        int depth[3] = {};
        for (int j = 0; j < kMeshColumns; ++j) {
            for (int i = 0; i < kMeshRows; ++i) {
                const MeshVec3& v = animation->mesh.velocity[j][i];
                for (float component : {v.x, v.y}) {
                    ASSERT_EQ(component, std::trunc(component));
                    ASSERT_GE(component, -2.0f);  // never -3 or -4
                    ASSERT_LE(component, 2.0f);   // never 3 or 4
                    ++sideways[static_cast<int>(component) + 2];
                }
                ASSERT_EQ(v.z, std::trunc(v.z));
                ASSERT_GE(v.z, 0.0f);
                ASSERT_LE(v.z, 2.0f);
                ++depth[static_cast<int>(v.z)];
            }
        }
        // 20,000 sideways samples: a standard deviation under 0.0036 for every share; allow about 4.
        const double n = 2.0 * kMeshColumns * kMeshRows;
        const double expected[5] = {1 / 25.0, 5 / 25.0, 13 / 25.0, 5 / 25.0, 1 / 25.0};
        for (int k = 0; k < 5; ++k)
            EXPECT_NEAR(sideways[k] / n, expected[k], 0.015) << "value " << k - 2;
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(depth[k] / (n / 2), 1 / 3.0, 0.02) << "depth " << k;
    }
}

TEST(ShredStep, FallsByTheStepThenMoves)
{
    struct Case {
        MeshVec3 velocity;
        int steps;
        MeshVec3 moved;  // displacement from the grid position
        float velocityZ;
    };
    const Case cases[] = {
        {{2, -1, 2}, 1, {2, -1, 1.9f}, 1.9f},
        {{0, 0, 0}, 1, {0, 0, -0.1f}, -0.1f},
        {{-2, 1, 1}, 3, {-6, 3, 2.4f}, 0.7f},
        // Depth velocity 2 comes towards the viewer for 20 frames, about 19 units, then falls back.
        {{0, 0, 2}, 20, {0, 0, 19.0f}, 0.0f},
        {{0, 0, 2}, 30, {0, 0, 13.5f}, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.steps << " steps from depth velocity " << c.velocity.z);
        auto animation = MakeAnimation();
        ShredMesh& mesh = animation->mesh;
        mesh.velocity[10][20] = c.velocity;
        for (int k = 0; k < c.steps; ++k)
            StepTiles(mesh);
        EXPECT_NEAR(mesh.position[10][20].x, 10 + c.moved.x, 1e-4);
        EXPECT_NEAR(mesh.position[10][20].y, 20 + c.moved.y, 1e-4);
        EXPECT_NEAR(mesh.position[10][20].z, c.moved.z, 1e-4);
        EXPECT_NEAR(mesh.velocity[10][20].z, c.velocityZ, 1e-4);
    }
}

// The phase rules for one frame, from a known state: cycle mark 5000, velocity[0][0] = (1, -1, 5)
// (a depth no scatter gives), a marker depth of 42 at vertex (5, 5), and fallStep cleared so that a
// motion step must restore it.
TEST(ShredClock, PhaseRules)
{
    struct Case {
        int32_t from;
        int32_t elapsed;
        int32_t to;
        bool scatters;
        bool resets;
        bool steps;
    };
    const Case cases[] = {
        {PhaseNone, -1, PhaseNone, false, false, false},
        {PhaseNone, 0, PhaseWhole, false, false, false},
        {PhaseNone, 1, PhaseWhole, false, false, false},
        {PhaseNone, 2, PhaseNone, false, false, false},
        {PhaseNone, 3, PhaseNone, false, false, false},
        {PhaseNone, 4, PhaseShred, true, false, true},
        {PhaseNone, 5, PhaseShred, true, false, true},
        {PhaseNone, 6, PhaseNone, false, false, false},
        {PhaseNone, 9, PhaseNone, false, false, false},
        {PhaseNone, 10, PhaseWhole, false, true, false},

        {PhaseWhole, -1, PhaseWhole, false, false, false},
        {PhaseWhole, 0, PhaseWhole, false, false, false},
        {PhaseWhole, 1, PhaseWhole, false, false, false},
        {PhaseWhole, 2, PhaseWhole, false, false, false},
        {PhaseWhole, 3, PhaseWhole, false, false, false},
        {PhaseWhole, 4, PhaseShred, true, false, true},
        {PhaseWhole, 5, PhaseShred, true, false, true},
        {PhaseWhole, 6, PhaseWhole, false, false, false},
        {PhaseWhole, 9, PhaseWhole, false, false, false},
        {PhaseWhole, 10, PhaseWhole, false, true, false},
        {PhaseWhole, 250, PhaseWhole, false, true, false},

        {PhaseShred, -1, PhaseShred, false, false, true},
        {PhaseShred, 0, PhaseWhole, false, false, false},
        {PhaseShred, 1, PhaseWhole, false, false, false},
        {PhaseShred, 2, PhaseShred, false, false, true},
        {PhaseShred, 3, PhaseShred, false, false, true},
        {PhaseShred, 4, PhaseShred, false, false, true},
        {PhaseShred, 5, PhaseShred, false, false, true},
        {PhaseShred, 6, PhaseShred, false, false, true},
        {PhaseShred, 9, PhaseShred, false, false, true},
        {PhaseShred, 10, PhaseWhole, false, true, false},
    };
    constexpr int32_t kMark = 5000;
    for (const Case& c : cases) {
        // The first and the last millisecond of the 200 ms count.
        for (uint32_t within : {0u, 199u}) {
            SCOPED_TRACE(testing::Message() << "from phase " << c.from << ", elapsed " << c.elapsed
                                            << ", +" << within << " ms");
            auto animation = MakeAnimation();
            ShredMesh& mesh = animation->mesh;
            animation->phase = c.from;
            animation->cycleMark = kMark;
            mesh.velocity[0][0] = {1, -1, 5};
            mesh.position[5][5].z = 42;
            mesh.fallStep = 0;
            const ShredRandom before = animation->random;

            AdvanceShredClock(*animation, TickOfCount(kMark + c.elapsed, within));

            EXPECT_EQ(animation->phase, c.to);
            EXPECT_EQ(animation->clockNow, kMark + c.elapsed);
            EXPECT_EQ(animation->cycleElapsed, c.elapsed);

            ShredRandom reference = before;
            MeshVec3 v0 = {1, -1, 5};
            if (c.scatters) {
                const int32_t a = reference.next(), b = reference.next(), cc = reference.next();
                const int32_t d = reference.next(), e = reference.next();
                v0 = {static_cast<float>((a % 5 - b % 5) / 2), static_cast<float>((cc % 5 - d % 5) / 2),
                      static_cast<float>(e % 3)};
            }
            EXPECT_EQ(animation->random.state(), Advanced(before, c.scatters ? kDrawsPerScatter : 0).state());

            if (c.resets) {
                EXPECT_EQ(animation->cycleMark, kMark + c.elapsed);
                EXPECT_EQ(mesh.position[5][5].z, 0.0f);
                EXPECT_EQ(mesh.fallStep, kMeshFallStep);
            } else {
                EXPECT_EQ(animation->cycleMark, kMark);
                EXPECT_NE(mesh.position[5][5].z, 0.0f);
            }

            const MeshVec3& v = mesh.velocity[0][0];
            const MeshVec3& p = mesh.position[0][0];
            EXPECT_EQ(v.x, v0.x);
            EXPECT_EQ(v.y, v0.y);
            if (c.steps) {
                EXPECT_EQ(mesh.fallStep, kMeshFallStep);
                EXPECT_FLOAT_EQ(v.z, v0.z - 0.1f);
                EXPECT_EQ(p.x, v0.x);
                EXPECT_EQ(p.y, v0.y);
                EXPECT_FLOAT_EQ(p.z, v0.z - 0.1f);
            } else {
                EXPECT_EQ(v.z, v0.z);
                EXPECT_EQ(p.x, 0.0f);
                EXPECT_EQ(p.y, 0.0f);
                EXPECT_EQ(p.z, 0.0f);
            }
        }
    }
}

TEST(ShredClock, CountsInTwoHundredMillisecondSteps)
{
    struct Case {
        uint32_t tickMs;
        int32_t to;
    };
    // From the whole picture with the cycle begun at count 50 (10,000 ms).
    const Case cases[] = {
        {10799, PhaseWhole}, {10800, PhaseShred}, {11199, PhaseShred},
        {11200, PhaseWhole}, {11999, PhaseWhole}, {12000, PhaseWhole},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tickMs);
        auto animation = MakeAnimation();
        animation->phase = PhaseWhole;
        animation->cycleMark = 50;
        AdvanceShredClock(*animation, c.tickMs);
        EXPECT_EQ(animation->phase, c.to);
    }
    auto animation = MakeAnimation();
    animation->phase = PhaseWhole;
    animation->cycleMark = 50;
    AdvanceShredClock(*animation, 11999);
    EXPECT_EQ(animation->cycleMark, 50);
    AdvanceShredClock(*animation, 12000);
    EXPECT_EQ(animation->cycleMark, 60);
}

// After about 49.7 days the tick count wraps; the count falls from 21,474,836 to 0 and the elapsed
// count turns negative, so no rule fires until the clock catches up again.
TEST(ShredClock, TickWrapLetsThePhaseGoOn)
{
    constexpr int32_t kLastCount = static_cast<int32_t>(0xFFFFFFFFu / 200u);
    for (int32_t from : {PhaseNone, PhaseWhole, PhaseShred}) {
        SCOPED_TRACE(from);
        auto animation = MakeAnimation();
        animation->phase = from;
        animation->cycleMark = kLastCount - 2;
        // The last tick before the wrap is still a normal frame at elapsed 2.
        AdvanceShredClock(*animation, 0xFFFFFFFFu);
        EXPECT_EQ(animation->cycleElapsed, 2);
        EXPECT_EQ(animation->phase, from);

        const ShredRandom before = animation->random;
        const float depthBefore = animation->mesh.position[30][30].z;
        for (uint32_t tick : {0u, 150u, 5000u, 3'600'000u}) {
            AdvanceShredClock(*animation, tick);
            EXPECT_LT(animation->cycleElapsed, 0);
            EXPECT_EQ(animation->phase, from);
            EXPECT_EQ(animation->cycleMark, kLastCount - 2);
            EXPECT_EQ(animation->random.state(), before.state());
        }
        if (from == PhaseShred)
            EXPECT_LT(animation->mesh.position[30][30].z, depthBefore);  // the tiles keep falling
        else
            EXPECT_EQ(animation->mesh.position[30][30].z, 0.0f);
    }
}

TEST(ShredClock, StallOverTheShredCountsSkipsTheShred)
{
    auto animation = MakeAnimation();
    animation->phase = PhaseWhole;
    animation->cycleMark = 1000;
    const ShredRandom before = animation->random;
    // Counts 0, 1, 3, then a stall of 401 ms from the end of count 3 into count 6.
    for (uint32_t tick : {TickOfCount(1000), TickOfCount(1001, 50), TickOfCount(1003, 199), TickOfCount(1006),
                          TickOfCount(1007), TickOfCount(1009, 199)}) {
        const auto sink = Frame<RecordingSink>(*animation, tick);
        EXPECT_EQ(sink.quads(), kWholeQuads);
        EXPECT_EQ(animation->phase, PhaseWhole);
    }
    EXPECT_EQ(animation->random.state(), before.state());
    Frame<RecordingSink>(*animation, TickOfCount(1010));
    EXPECT_EQ(animation->cycleMark, 1010);
    // The next cycle shreds again.
    Frame<RecordingSink>(*animation, TickOfCount(1014));
    EXPECT_EQ(animation->phase, PhaseShred);
}

TEST(ShredClock, FirstFrameResetsAndDrawsNothing)
{
    // Uptimes from 2.5 s to just before the wrap; the mark in seconds is always 10 counts or more behind.
    for (uint32_t uptime : {2500u, 2999u, 60'000u, 3'600'000u, 4'000'000'000u}) {
        SCOPED_TRACE(uptime);
        auto animation = std::make_unique<ShredAnimation>();
        InitShredMesh(animation->mesh, kMeshColumns, kMeshRows, kMeshFallStep);
        StartShredClock(*animation, uptime);
        EXPECT_EQ(animation->cycleMark, static_cast<int32_t>(uptime / 1000));
        EXPECT_EQ(animation->phase, PhaseNone);

        const auto first = Frame<RecordingSink>(*animation, uptime + 20);
        EXPECT_EQ(first.begins, 0);
        EXPECT_TRUE(first.vertices.empty());
        EXPECT_EQ(animation->phase, PhaseWhole);
        EXPECT_EQ(animation->cycleMark, static_cast<int32_t>((uptime + 20) / 200));

        const auto second = Frame<RecordingSink>(*animation, uptime + 40);
        EXPECT_EQ(second.begins, 1);
        EXPECT_EQ(second.ends, 1);
        EXPECT_EQ(second.quads(), kWholeQuads);
    }
}

TEST(ShredClock, StartClockRestoresTheFallStepOnly)
{
    auto animation = MakeAnimation();
    animation->mesh.fallStep = 3;
    animation->phase = PhaseShred;
    animation->mesh.position[1][1].z = 8;
    StartShredClock(*animation, 123'456);
    EXPECT_EQ(animation->cycleMark, 123);
    EXPECT_EQ(animation->mesh.fallStep, kMeshFallStep);
    EXPECT_EQ(animation->phase, PhaseShred);
    EXPECT_EQ(animation->mesh.position[1][1].z, 8.0f);
}

TEST(ShredClock, ShredBeginsMovedOnceAndEndsAfterCountTen)
{
    auto animation = MakeAnimation();
    animation->phase = PhaseWhole;
    animation->cycleMark = 700;

    EXPECT_EQ(Frame<RecordingSink>(*animation, TickOfCount(703, 150)).quads(), kWholeQuads);
    // The frame that begins the shred still draws the whole picture, then scatters and steps once.
    EXPECT_EQ(Frame<RecordingSink>(*animation, TickOfCount(704, 10)).quads(), kWholeQuads);
    ASSERT_EQ(animation->phase, PhaseShred);

    const MeshVec3 v = animation->mesh.velocity[1][1];
    const auto firstTiles = Frame<RecordingSink>(*animation, TickOfCount(704, 40));
    ASSERT_EQ(firstTiles.quads(), kTiles);
    // Corner of the first tile: grid (1, 1) moved by one step with the depth velocity already lowered.
    EXPECT_FLOAT_EQ(firstTiles.vertices[0].x, 1 + v.x);
    EXPECT_FLOAT_EQ(firstTiles.vertices[0].y, 1 + v.y);
    EXPECT_FLOAT_EQ(firstTiles.vertices[0].z, v.z);
    EXPECT_NEAR(v.z, std::round(v.z + 0.1f) - 0.1f, 1e-6);

    EXPECT_EQ(Frame<RecordingSink>(*animation, TickOfCount(709, 199)).quads(), kTiles);
    // The frame at elapsed 10 draws tiles before it resets.
    EXPECT_EQ(Frame<RecordingSink>(*animation, TickOfCount(710)).quads(), kTiles);
    EXPECT_EQ(animation->phase, PhaseWhole);
    const auto restored = Frame<RecordingSink>(*animation, TickOfCount(710, 30));
    ASSERT_EQ(restored.quads(), kWholeQuads);
    EXPECT_EQ(restored.vertices[0].x, 1.0f);
    EXPECT_EQ(restored.vertices[0].z, 0.0f);
}

TEST(ShredDraw, WholeImageQuadsInOrder)
{
    auto animation = MakeAnimation();
    RecordingSink sink;
    DrawWholeImage(animation->mesh, sink);

    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.ends, 1);
    EXPECT_EQ(sink.misuses, 0);
    ASSERT_EQ(sink.quads(), kWholeQuads);
    ASSERT_EQ(sink.vertices.size() % 4, 0u);

    // Rows outer, columns inner; corners (j, i), (j, i + 1), (j + 1, i + 1), (j + 1, i).
    const int dj[4] = {0, 0, 1, 1};
    const int di[4] = {0, 1, 1, 0};
    size_t n = 0;
    for (int i = 1; i <= 98; ++i) {
        for (int j = 1; j <= 98; ++j) {
            const RecordedVertex* quad = &sink.vertices[n];
            for (int k = 0; k < 4; ++k) {
                const int col = j + dj[k], row = i + di[k];
                ASSERT_EQ(quad[k].x, static_cast<float>(col)) << "quad " << n / 4 << " corner " << k;
                ASSERT_EQ(quad[k].y, static_cast<float>(row)) << "quad " << n / 4 << " corner " << k;
                ASSERT_EQ(quad[k].z, 0.0f);
                ASSERT_EQ(quad[k].s, GridTex(col));
                ASSERT_EQ(quad[k].t, GridTex(row));
            }
            // Clockwise as the viewer sees it, so front-face culling keeps it.
            ASSERT_LT(SignedArea(quad), 0.0f);
            n += 4;
        }
    }
}

TEST(ShredDraw, WholeImageSkipsRowAndColumnZero)
{
    auto animation = MakeAnimation();
    RecordingSink sink;
    DrawWholeImage(animation->mesh, sink);
    float minS = 1, maxS = 0, minT = 1, maxT = 0, minX = 100, maxX = 0, minY = 100, maxY = 0;
    for (const RecordedVertex& v : sink.vertices) {
        minS = std::min(minS, v.s), maxS = std::max(maxS, v.s);
        minT = std::min(minT, v.t), maxT = std::max(maxT, v.t);
        minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
    }
    EXPECT_EQ(minS, 0.01f);
    EXPECT_EQ(maxS, 0.99f);
    EXPECT_EQ(minT, 0.01f);
    EXPECT_EQ(maxT, 0.99f);
    EXPECT_EQ(minX, 1.0f);
    EXPECT_EQ(maxX, 99.0f);
    EXPECT_EQ(minY, 1.0f);
    EXPECT_EQ(maxY, 99.0f);
}

TEST(ShredDraw, TilesBeforeMotionJoinIntoTheWholePicture)
{
    auto animation = MakeAnimation();
    RecordingSink sink;
    DrawTiles(animation->mesh, sink);

    EXPECT_EQ(sink.begins, 1);
    EXPECT_EQ(sink.ends, 1);
    EXPECT_EQ(sink.misuses, 0);
    ASSERT_EQ(sink.quads(), kTiles);

    // Each tile covers cells [j, j + 2) x [i, i + 2) for odd j and i: together every cell of 1..98
    // exactly once, with the texture of the grid at each corner.
    int cover[100][100] = {};
    const int dj[4] = {0, 0, 2, 2};
    const int di[4] = {0, 2, 2, 0};
    size_t n = 0;
    for (int i = 1; i < 99; i += 2) {
        for (int j = 1; j < 99; j += 2) {
            const RecordedVertex* quad = &sink.vertices[n];
            for (int k = 0; k < 4; ++k) {
                const int col = j + dj[k], row = i + di[k];
                ASSERT_EQ(quad[k].x, static_cast<float>(col)) << "tile " << n / 4 << " corner " << k;
                ASSERT_EQ(quad[k].y, static_cast<float>(row)) << "tile " << n / 4 << " corner " << k;
                ASSERT_EQ(quad[k].z, 0.0f);
                ASSERT_EQ(quad[k].s, GridTex(col));
                ASSERT_EQ(quad[k].t, GridTex(row));
            }
            ASSERT_LT(SignedArea(quad), 0.0f);
            for (int c = j; c < j + 2; ++c)
                for (int r = i; r < i + 2; ++r)
                    ++cover[c][r];
            n += 4;
        }
    }
    for (int c = 0; c < 100; ++c)
        for (int r = 0; r < 100; ++r)
            ASSERT_EQ(cover[c][r], (c >= 1 && c <= 98 && r >= 1 && r <= 98) ? 1 : 0) << c << ", " << r;
}

TEST(ShredDraw, MovedTilesStayFlatSquaresPlacedByTheirCorner)
{
    auto animation = MakeAnimation();
    ScatterTiles(*animation);
    for (int k = 0; k < 7; ++k)
        StepTiles(animation->mesh);
    RecordingSink sink;
    DrawTiles(animation->mesh, sink);
    ASSERT_EQ(sink.quads(), kTiles);

    const ShredMesh& mesh = animation->mesh;
    size_t n = 0;
    bool anyMoved = false;
    for (int i = 1; i < 99; i += 2) {
        for (int j = 1; j < 99; j += 2) {
            const RecordedVertex* quad = &sink.vertices[n];
            const MeshVec3& p = mesh.position[j][i];
            const float offsets[4][2] = {{0, 0}, {0, 2}, {2, 2}, {2, 0}};
            for (int k = 0; k < 4; ++k) {
                ASSERT_EQ(quad[k].x, p.x + offsets[k][0]);
                ASSERT_EQ(quad[k].y, p.y + offsets[k][1]);
                ASSERT_EQ(quad[k].z, p.z);
            }
            // The texture stays with the tile.
            EXPECT_EQ(quad[0].s, GridTex(j));
            EXPECT_EQ(quad[2].s, GridTex(j + 2));
            EXPECT_EQ(quad[2].t, GridTex(i + 2));
            anyMoved |= p.x != static_cast<float>(j) || p.y != static_cast<float>(i);
            n += 4;
        }
    }
    EXPECT_TRUE(anyMoved);
}

TEST(ShredDraw, NothingForPhaseNone)
{
    auto animation = MakeAnimation();
    RecordingSink sink;
    DrawShredMesh(*animation, sink);
    EXPECT_EQ(sink.begins, 0);
    EXPECT_TRUE(sink.vertices.empty());
}

// Three cycles of frames at a steady 16 ms; returns one hash per frame.
std::vector<uint64_t> RunCycles(ShredAnimation& animation)
{
    std::vector<uint64_t> hashes;
    const uint32_t start = 86'400'000;  // a day of uptime
    StartShredClock(animation, start);
    for (uint32_t t = start; t < start + 6000; t += 16)
        hashes.push_back(Frame<HashingSink>(animation, t).hash);
    return hashes;
}

TEST(ShredRun, TwoRunsShowTheSameSequence)
{
    auto first = MakeAnimation();
    auto second = MakeAnimation();
    const auto a = RunCycles(*first);
    const auto b = RunCycles(*second);
    EXPECT_EQ(a, b);

    EXPECT_EQ(first->random.state(), second->random.state());
    // Three scatters in six seconds from a reset at the first frame.
    EXPECT_EQ(first->random.state(), Advanced(ShredRandom(), 3 * kDrawsPerScatter).state());
}

TEST(ShredRun, EachCycleScattersAfresh)
{
    auto animation = MakeAnimation();
    animation->phase = PhaseWhole;
    animation->cycleMark = 0;
    AdvanceShredClock(*animation, TickOfCount(4));
    std::vector<MeshVec3> firstCycle(&animation->mesh.velocity[0][0], &animation->mesh.velocity[0][0] + 10000);
    AdvanceShredClock(*animation, TickOfCount(10));
    AdvanceShredClock(*animation, TickOfCount(14));
    int same = 0;
    for (int k = 0; k < 10000; ++k) {
        const MeshVec3& a = firstCycle[k];
        const MeshVec3& b = (&animation->mesh.velocity[0][0])[k];
        same += a.x == b.x && a.y == b.y && a.z == b.z;
    }
    // Independent draws agree on all three components about 4 % of the time (0.354^2 / 3).
    EXPECT_LT(same, 800);
}

}  // namespace
}  // namespace pap
