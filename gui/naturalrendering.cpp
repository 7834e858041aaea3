#include "gui/naturalrendering.h"

#include <GL/gl.h>

void drawColouredSurface(const TerrainMesh& mesh, const std::vector<std::vector<float>>& colours) {
    glEnable(GL_DEPTH_TEST);
    // The colours stand for the ground's own: lit as the plain terrain's green is.
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (std::size_t r = 0; r < mesh.stripVertices.size() && r < colours.size(); ++r) {
        const std::vector<float>& vertices = mesh.stripVertices[r];
        glVertexPointer(3, GL_FLOAT, 0, vertices.data());
        glNormalPointer(GL_FLOAT, 0, mesh.stripNormals[r].data());
        glColorPointer(3, GL_FLOAT, 0, colours[r].data());
        glDrawArrays(GL_TRIANGLE_STRIP, 0, static_cast<GLsizei>(vertices.size() / 3));
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    // Colour material stays on: the plain terrain is coloured through it (its green is the
    // current colour), and the view switches it on only once, when its context is set up.
}

void drawSeaPlane(const TerrainBounds& bounds, double seaHeight) {
    if (bounds.empty)
        return;
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The terrain shows through the shallows; the depth test hides the sea behind higher ground.
    glDepthMask(GL_FALSE);
    glColor4f(0.16f, 0.42f, 0.70f, 0.72f);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glVertex3d(bounds.minX, seaHeight, bounds.minZ);
    glVertex3d(bounds.maxX, seaHeight, bounds.minZ);
    glVertex3d(bounds.maxX, seaHeight, bounds.maxZ);
    glVertex3d(bounds.minX, seaHeight, bounds.maxZ);
    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}
