#pragma once

// The shred animation: a 100 x 100 vertex grid that shows the snapshot whole, breaks it into 49 x 49
// tiles that drift and fall away, and restores it, on a two-second cycle. The state machine and the
// geometry it emits are kept apart from OpenGL: drawing goes through a sink with begin(), texCoord(),
// vertex() and end(), which the renderer maps onto glBegin(GL_QUADS) ... glEnd.

#include <cstdint>

namespace pap {

constexpr int32_t kMeshCapacity = 100;
constexpr int32_t kMeshColumns = 100;
constexpr int32_t kMeshRows = 100;
constexpr float kMeshFallStep = 0.1f;

struct MeshVec3 {
    float x = 0, y = 0, z = 0;
};

struct MeshTexCoord {
    float s = 0, t = 0;
};

// Fixed-capacity grid; arrays are indexed [column][row].
struct ShredMesh {
    int32_t columns = 0;
    int32_t rows = 0;
    float fallStep = 0;
    MeshVec3 velocity[kMeshCapacity][kMeshCapacity];
    MeshVec3 position[kMeshCapacity][kMeshCapacity];
    MeshTexCoord texCoord[kMeshCapacity][kMeshCapacity];
};

enum ShredPhase : int32_t {
    PhaseNone = 0,
    PhaseWhole = 1,
    PhaseShred = 2,
};

// Linear congruential generator, state 1 at start, never reseeded: state = state * 214013 + 2531011,
// yielding (state >> 16) & 0x7FFF.
class ShredRandom {
public:
    int32_t next();
    uint32_t state() const { return m_state; }

private:
    uint32_t m_state = 1;
};

// The mesh and the animation state kept beside it; one instance for the life of the renderer.
struct ShredAnimation {
    ShredMesh mesh;
    ShredRandom random;
    int32_t phase = PhaseNone;
    int32_t cycleMark = 0;
    int32_t clockNow = 0;
    int32_t cycleElapsed = 0;
};

// Positions (j, i, 0) and texture coordinates (j * 0.01, i * 0.01); velocities are left as they are.
void InitShredMesh(ShredMesh& mesh, int32_t columns, int32_t rows, float fallStep);
// cycleMark := tickMs / 1000 (sic: later frames count in 200 ms units), fallStep := 0.1.
void StartShredClock(ShredAnimation& animation, uint32_t tickMs);
// Five draws per vertex: sideways velocities -2..2, depth velocity 0..2.
void ScatterTiles(ShredAnimation& animation);
// One motion step over the whole grid.
void StepTiles(ShredMesh& mesh);
// The phase rules for the frame at tickMs, then one motion step while shredding.
void AdvanceShredClock(ShredAnimation& animation, uint32_t tickMs);

// 98 x 98 quads over vertex columns and rows 1..99, each (j,i), (j,i+1), (j+1,i+1), (j+1,i).
template <class Sink>
void DrawWholeImage(const ShredMesh& mesh, Sink& sink)
{
    sink.begin();
    for (int32_t i = 1; i < mesh.rows - 1; ++i) {
        for (int32_t j = 1; j < mesh.columns - 1; ++j) {
            const int32_t cols[4] = {j, j, j + 1, j + 1};
            const int32_t rows[4] = {i, i + 1, i + 1, i};
            for (int k = 0; k < 4; ++k) {
                const MeshTexCoord& t = mesh.texCoord[cols[k]][rows[k]];
                const MeshVec3& p = mesh.position[cols[k]][rows[k]];
                sink.texCoord(t.s, t.t);
                sink.vertex(p.x, p.y, p.z);
            }
        }
    }
    sink.end();
}

// 49 x 49 flat 2 x 2 tiles, each placed by its corner vertex (j, i) for odd j and i.
template <class Sink>
void DrawTiles(const ShredMesh& mesh, Sink& sink)
{
    sink.begin();
    for (int32_t i = 1; i < mesh.rows - 1; i += 2) {
        for (int32_t j = 1; j < mesh.columns - 1; j += 2) {
            const MeshVec3& p = mesh.position[j][i];
            const MeshTexCoord& t0 = mesh.texCoord[j][i];
            const MeshTexCoord& t1 = mesh.texCoord[j][i + 2];
            const MeshTexCoord& t2 = mesh.texCoord[j + 2][i + 2];
            const MeshTexCoord& t3 = mesh.texCoord[j + 2][i];
            sink.texCoord(t0.s, t0.t);
            sink.vertex(p.x, p.y, p.z);
            sink.texCoord(t1.s, t1.t);
            sink.vertex(p.x, p.y + 2, p.z);
            sink.texCoord(t2.s, t2.t);
            sink.vertex(p.x + 2, p.y + 2, p.z);
            sink.texCoord(t3.s, t3.t);
            sink.vertex(p.x + 2, p.y, p.z);
        }
    }
    sink.end();
}

template <class Sink>
void DrawShredMesh(const ShredAnimation& animation, Sink& sink)
{
    if (animation.phase == PhaseWhole)
        DrawWholeImage(animation.mesh, sink);
    else if (animation.phase == PhaseShred)
        DrawTiles(animation.mesh, sink);
}

}  // namespace pap
