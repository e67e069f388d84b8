#pragma once
// Author mode's preview quality: the frame is drawn into a target of half the window's size
// without multisampling, then scaled up over the window by linear filtering.

#include <GL/glew.h>

#include "render/FrameBuffer.h"
#include "render/PictureRect.h"
#include "render/GLObject.h"
#include "render/ShaderProgram.h"

class PreviewTarget {
public:
    // False after logging why; Shutdown releases what was made either way.
    bool Init(int windowWidth, int windowHeight);
    void Shutdown();
    bool Ready() const { return target.framebuffer != 0 && program.program != 0; }
    int Width() const { return target.width; }
    int Height() const { return target.height; }

    // Redirects the frame's drawing into the target.
    void Begin();
    // Back to the window, and the target scaled up over the picture's place in it.
    void Present(const PictureRect& picture);

private:
    FrameBuffer target;
    ShaderProgram program;
    GLint texSamplerLocation = -1;
    GLBuffer quadBuffer;
    GLVertexArray vertexArray;
    GLSampler sampler;
};
