# Writes a GLSL 3.30 shader as GLSL ES 3.00 for WebGL2: the same source under ES's version line,
# with the precision ES asks a fragment shader to state (the desktop's is highp throughout).
# Usage: cmake -DIN=<shader> -DOUT=<shader> -P GlslEs.cmake
file(READ ${IN} source)
string(REGEX MATCH "^#version 330 core\n" version "${source}")
if(NOT version)
  message(FATAL_ERROR "${IN}: does not start with \"#version 330 core\"")
endif()
string(REGEX REPLACE "^#version 330 core\n" "" body "${source}")
set(header "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\nprecision highp samplerCube;\n")
# The line numbers of the compiler's messages stay those of the source file.
file(WRITE ${OUT} "${header}#line 2\n${body}")
