#pragma once
// Move-only owners of one GL name each. Reset deletes the name and leaves 0, so a Shutdown
// releases what its Init made and skips what a failed Init never reached; the destructor does
// the same for an owner nobody reset. The name converts implicitly, since every GL call that
// uses the object takes it as it is.

#include <GL/glew.h>

#include <utility>

template <typename Kind>
class GLObject {
public:
    GLObject() = default;
    explicit GLObject(GLuint name) : name(name) {}
    GLObject(GLObject&& other) noexcept : name(std::exchange(other.name, 0)) {}
    GLObject& operator=(GLObject&& other) noexcept {
        if (this != &other) {
            Reset();
            name = std::exchange(other.name, 0);
        }
        return *this;
    }
    GLObject(const GLObject&) = delete;
    GLObject& operator=(const GLObject&) = delete;
    ~GLObject() { Reset(); }

    static GLObject Generate() {
        GLuint generated = 0;
        Kind::Generate(generated);
        return GLObject(generated);
    }

    void Reset() {
        if (name != 0)
            Kind::Delete(name);
        name = 0;
    }

    operator GLuint() const { return name; }

private:
    GLuint name = 0;
};

// Releases each owner in the order given.
template <typename... Owners>
void ResetAll(Owners&... owners) {
    (owners.Reset(), ...);
}

struct GLBufferKind {
    static void Generate(GLuint& name) { glGenBuffers(1, &name); }
    static void Delete(GLuint name) { glDeleteBuffers(1, &name); }
};

struct GLVertexArrayKind {
    static void Generate(GLuint& name) { glGenVertexArrays(1, &name); }
    static void Delete(GLuint name) { glDeleteVertexArrays(1, &name); }
};

struct GLSamplerKind {
    static void Generate(GLuint& name) { glGenSamplers(1, &name); }
    static void Delete(GLuint name) { glDeleteSamplers(1, &name); }
};

using GLBuffer = GLObject<GLBufferKind>;
using GLVertexArray = GLObject<GLVertexArrayKind>;
using GLSampler = GLObject<GLSamplerKind>;
