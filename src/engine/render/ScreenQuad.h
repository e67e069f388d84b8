#pragma once
// The quad over the whole viewport that full-screen passes draw: two counter-clockwise triangles
// as a strip, clip-space corners fed to attribute 0 as two floats.

#include "render/GLObject.h"

#include <GL/glew.h>

GLBuffer CreateScreenQuadBuffer();
// Sets attribute 0 from the buffer on the bound vertex array and draws.
void DrawScreenQuad(GLuint buffer);
