#pragma once

#include <GL/gl.h>

// The fixed-function pipeline's picture of a frame: the unit square stretched
// over the viewport, with the texture's first row at the top.

// Projects (0, 0) to the top-left corner of the viewport and (1, 1) to the
// bottom-right one; leaves the model-view matrix selected.
inline void setUnitSquareProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 1, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
}

// Draws the bound 2D texture over the unit square, each corner taking the
// texture coordinate equal to its position.
inline void drawTexturedUnitSquare()
{
    static constexpr GLfloat kCorners[][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    glBegin(GL_QUADS);
    for (const auto& corner : kCorners) {
        glTexCoord2f(corner[0], corner[1]);
        glVertex3f(corner[0], corner[1], 0);
    }
    glEnd();
}
