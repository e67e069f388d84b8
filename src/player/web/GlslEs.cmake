# Writes a GLSL 3.30 shader as GLSL ES 3.00 for WebGL2: the same source under ES's version line,
# with the precision ES asks a fragment shader to state (the desktop's is highp throughout).
# WebGL2 has no geometry shader: a sprite vertex shader (one that hands PointSprite.geom its
# SpriteExtent and SpriteColor) gets that stage's work appended, and runs once per corner of a
# four-vertex strip drawn once per sprite (the engine's web path draws them so).
# Usage: cmake -DIN=<shader> -DOUT=<shader> -P GlslEs.cmake
file(READ ${IN} source)
string(REGEX MATCH "^#version 330 core\n" version "${source}")
if(NOT version)
  message(FATAL_ERROR "${IN}: does not start with \"#version 330 core\"")
endif()
string(REGEX REPLACE "^#version 330 core\n" "" body "${source}")
if(body MATCHES "\nout vec2 SpriteExtent;\n")
  string(REPLACE "\nout vec2 SpriteExtent;\n" "\nvec2 SpriteExtent;\n" body "${body}")
  string(REPLACE "\nout vec4 SpriteColor;\n" "\nvec4 SpriteColor;\n" body "${body}")
  string(REPLACE "\nvoid main()\n" "\nvoid SpriteCentre()\n" body "${body}")
  string(APPEND body [=[

// PointSprite.geom's corners, in its order: gl_VertexID 0..3 is (-1,-1), (1,-1), (-1,1), (1,1).
out vec2 TexCoord;
out vec4 Color;

void main()
{
    SpriteCentre();
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) * 2.0 - 1.0;
    TexCoord = corner * sign(SpriteExtent) * 0.5 + 0.5;
    Color = SpriteColor;
    gl_Position += vec4(corner * abs(SpriteExtent), 0.0, 0.0);
}
]=])
endif()
# Extension lines must come before the precision statements; one ES lacks is only warned of, and
# the sources test for what they enable.
string(REGEX MATCHALL "#extension[^\n]*\n" extensions "${body}")
string(REGEX REPLACE "#extension[^\n]*\n" "\n" body "${body}")
string(JOIN "" extensions ${extensions})
set(header "#version 300 es\n${extensions}precision highp float;\nprecision highp int;\nprecision highp sampler2D;\nprecision highp samplerCube;\n")
# The line numbers of the compiler's messages stay those of the source file.
file(WRITE ${OUT} "${header}#line 2\n${body}")
