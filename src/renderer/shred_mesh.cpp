#include "renderer/shred_mesh.h"

namespace pap {

int32_t ShredRandom::next()
{
    m_state = m_state * 214013u + 2531011u;
    return static_cast<int32_t>((m_state >> 16) & 0x7FFF);
}

void InitShredMesh(ShredMesh& mesh, int32_t columns, int32_t rows, float fallStep)
{
    mesh.columns = columns;
    mesh.rows = rows;
    for (int32_t i = 0; i < rows; ++i) {
        for (int32_t j = 0; j < columns; ++j) {
            mesh.position[j][i] = {static_cast<float>(j), static_cast<float>(i), 0.0f};
            // The products are formed in double precision, then stored as float.
            mesh.texCoord[j][i] = {static_cast<float>(j * 0.01), static_cast<float>(i * 0.01)};
        }
    }
    mesh.fallStep = fallStep;
}

void StartShredClock(ShredAnimation& animation, uint32_t tickMs)
{
    animation.cycleMark = static_cast<int32_t>(tickMs / 1000u);
    animation.mesh.fallStep = kMeshFallStep;
}

void ScatterTiles(ShredAnimation& animation)
{
    ShredMesh& mesh = animation.mesh;
    for (int32_t i = 0; i < mesh.rows; ++i) {
        for (int32_t j = 0; j < mesh.columns; ++j) {
            const int32_t a = animation.random.next();
            const int32_t b = animation.random.next();
            const int32_t c = animation.random.next();
            const int32_t d = animation.random.next();
            const int32_t e = animation.random.next();
            // C++ integer division truncates towards zero, as the halving requires.
            mesh.velocity[j][i].x = static_cast<float>((a % 5 - b % 5) / 2);
            mesh.velocity[j][i].y = static_cast<float>((c % 5 - d % 5) / 2);
            mesh.velocity[j][i].z = static_cast<float>(e % 3);
        }
    }
}

void StepTiles(ShredMesh& mesh)
{
    for (int32_t i = 0; i < mesh.rows; ++i) {
        for (int32_t j = 0; j < mesh.columns; ++j) {
            MeshVec3& v = mesh.velocity[j][i];
            MeshVec3& p = mesh.position[j][i];
            v.z -= mesh.fallStep;
            p.x += v.x;
            p.y += v.y;
            p.z += v.z;
        }
    }
}

void AdvanceShredClock(ShredAnimation& animation, uint32_t tickMs)
{
    animation.clockNow = static_cast<int32_t>(tickMs / 200u);
    // Signed difference of the two counts; a wrapped tick count makes it negative.
    animation.cycleElapsed = static_cast<int32_t>(static_cast<uint32_t>(animation.clockNow) -
                                                  static_cast<uint32_t>(animation.cycleMark));

    if (animation.cycleElapsed >= 0 && animation.cycleElapsed < 2 && animation.phase != PhaseWhole)
        animation.phase = PhaseWhole;
    if (animation.cycleElapsed >= 4 && animation.cycleElapsed < 6 && animation.phase != PhaseShred) {
        ScatterTiles(animation);
        animation.phase = PhaseShred;
    }
    if (animation.cycleElapsed >= 10) {
        animation.cycleMark = animation.clockNow;
        InitShredMesh(animation.mesh, kMeshColumns, kMeshRows, kMeshFallStep);
        animation.phase = PhaseWhole;
    }

    if (animation.phase == PhaseShred) {
        animation.mesh.fallStep = kMeshFallStep;
        StepTiles(animation.mesh);
    }
}

}  // namespace pap
