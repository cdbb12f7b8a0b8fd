#include "renderer/render_scene.h"

#include "renderer/gl_api.h"
#include "renderer/snapshot_loader.h"

namespace pap {

namespace {

// Immediate-mode quads: the sink through which the mesh emits its geometry.
struct GlQuadSink {
    void begin() { glBegin(GL_QUADS); }
    void texCoord(float s, float t) { glTexCoord2f(s, t); }
    void vertex(float x, float y, float z) { glVertex3f(x, y, z); }
    void end() { glEnd(); }
};

}  // namespace

void ResizeView(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);

    // Aspect 1 on any window: the square view is stretched over the screen. Near 0 puts every fragment
    // at depth 1, so with GL_LEQUAL the drawing order alone decides what covers what.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.0, 1000.0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool SetupScene(RenderState& state)
{
    // Without a snapshot the mesh is drawn untextured, in white.
    LoadSnapshotTexture(state);

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_CULL_FACE);

    InitShredMesh(state.animation.mesh, kMeshColumns, kMeshRows, kMeshFallStep);
    StartShredClock(state.animation, state.tickSource());
    return true;
}

bool RenderFrame(RenderState& state)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);

    // Mesh point (x, y, z) lands at eye (x - 50, y - 50, z - 85), where the 60-degree view is as wide
    // as the whole-picture quads.
    glTranslatef(-50.0f, 0.0f, -85.0f);
    glTranslatef(0.0f, -50.0f, 0.0f);

    // The mesh's quads run clockwise on screen, so they are the back faces that survive.
    glCullFace(GL_FRONT);
    glPolygonMode(GL_BACK, GL_FILL);

    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, state.snapshotTexture);

    GlQuadSink sink;
    DrawShredMesh(state.animation, sink);

    glDisable(GL_CULL_FACE);
    AdvanceShredClock(state.animation, state.tickSource());
    return true;
}

}  // namespace pap
