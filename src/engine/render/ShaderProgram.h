#pragma once
// One linked GLSL program from ".vert", ".frag" and optional ".geom" files. Bind fills the four
// standard uniforms ("ProjectionMatrix", "ViewMatrix", "CurrentTime", "Resolution") from the
// renderer; inputs are fed by the fixed attribute indices 0, 1 and 2.

#include <GL/glew.h>

#include <memory>

inline constexpr GLuint kNoShader = static_cast<GLuint>(-1);

struct ShaderProgram {
    GLuint vertexShader = kNoShader;
    GLuint fragmentShader = kNoShader;
    GLuint geometryShader = kNoShader;
    GLuint program = 0;
    GLint projectionLocation = -1;
    GLint viewLocation = -1;
    GLint timeLocation = -1;
    GLint resolutionLocation = -1;

    // False after logging why; whatever it had created is released again.
    bool Build(const char* vertexPath, const char* fragmentPath, const char* geometryPath = nullptr);
    // Leaves the program current with the standard uniforms set.
    void Bind(float time) const;
    // -1 before the program exists.
    GLint UniformLocation(const char* uniformName) const;
    // Releases what exists; safe on a record that was never built or whose Build failed.
    void Destroy();
};

// The whole file with a NUL after it, or null when it cannot be read, is not a regular file,
// is implausibly large or holds a NUL byte of its own.
std::unique_ptr<char[]> ReadSourceFile(const char* path);
