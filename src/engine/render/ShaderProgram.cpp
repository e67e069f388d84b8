#include "render/ShaderProgram.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "io/WholeFile.h"
#include "log/ILogger.h"
#include "log/StartupObserver.h"
#include "render/Camera.h"
#include "render/IRenderer.h"
#include "render/ShaderSources.h"

namespace {

// Far beyond any real shader; a bigger file is not GLSL for this program.
constexpr size_t kMaxSourceBytes = 1 << 20;

// Shaders and programs share the shape of their info-log queries.
std::string InfoLog(GLuint object, PFNGLGETSHADERIVPROC getParameter, PFNGLGETSHADERINFOLOGPROC getLog) {
    GLint length = -1;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return {};
    std::string log(static_cast<size_t>(length), '\0');
    getLog(object, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

bool CompileStage(GLuint& shader, GLenum type, const char* source, const char* failureMessage) {
    shader = glCreateShader(type);
    const GLint length = static_cast<GLint>(std::strlen(source));
    glShaderSource(shader, 1, &source, &length);
    glCompileShader(shader);
    GLint status = -1;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != 0)
        return true;
    gLogger->WritePair(failureMessage, InfoLog(shader, glGetShaderiv, glGetShaderInfoLog).c_str());
    return false;
}

// Only a status of exactly 0 is a failure, so a driver that leaves the query alone passes.
bool CheckProgramStatus(GLuint program, GLenum status, const char* failureMessage) {
    GLint result = -1;
    glGetProgramiv(program, status, &result);
    if (result != 0)
        return true;
    gLogger->WritePair(failureMessage, InfoLog(program, glGetProgramiv, glGetProgramInfoLog).c_str());
    return false;
}

void ReleaseShader(GLuint program, GLuint& shader) {
    if (shader == kNoShader)
        return;
    if (program != 0)
        glDetachShader(program, shader);
    glDeleteShader(shader);
    shader = kNoShader;
}

// Cube samplers start on unit 1, as the sources' binding layout asks where GLSL allows it (GLSL ES
// 3.00 does not): a 2-D and a cube sampler on one unit fail validation.
void StartCubeSamplersApart(GLuint program) {
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    for (GLint index = 0; index < count; ++index) {
        char name[64];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(index), sizeof name, nullptr, &size, &type, name);
        if (type != GL_SAMPLER_CUBE) continue;
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, name), 1);
        glUseProgram(static_cast<GLuint>(previous));
    }
}

}  // namespace

std::unique_ptr<char[]> ReadSourceFile(const char* path) {
    const WholeFile file = ReadWholeFile(path, kMaxSourceBytes);
    // GL would stop at a NUL byte and compile only the text before it, so such a file is
    // refused whole rather than reported as a misleading syntax error.
    if (!file.Ok() || std::find(file.bytes.begin(), file.bytes.end(), '\0') != file.bytes.end())
        return nullptr;
    std::unique_ptr<char[]> text(new char[file.bytes.size() + 1]);
    std::copy(file.bytes.begin(), file.bytes.end(), text.get());
    text[file.bytes.size()] = '\0';
    return text;
}

bool ShaderProgram::Build(const char* vertexPath, const char* fragmentPath, const char* geometryPath) {
    // A program is known by its fragment shader: the vertex and geometry shaders are shared.
    const StartupScope load(StartupEvent::kShader, fragmentPath ? fragmentPath : "");
    if (!vertexPath || !fragmentPath) {
        gLogger->Error("Invalid vertex or fragment source!");
        return false;
    }
    const ShaderFiles files{ShaderSourcePath(vertexPath), ShaderSourcePath(fragmentPath),
                            geometryPath ? ShaderSourcePath(geometryPath) : std::string()};
    RecordShaderFiles(files);
    const std::unique_ptr<char[]> vertexSource = ReadSourceFile(files.vertex.c_str());
    if (!vertexSource) {
        gLogger->Error("Failed to read vertex shader source!");
        return false;
    }
    const std::unique_ptr<char[]> fragmentSource = ReadSourceFile(files.fragment.c_str());
    if (!fragmentSource) {
        gLogger->Error("Failed to read fragment shader source!");
        return false;
    }
    std::unique_ptr<char[]> geometrySource;
    if (geometryPath && !(geometrySource = ReadSourceFile(files.geometry.c_str()))) {
        gLogger->Error("Failed to read geometry shader source!");
        return false;
    }

    const bool compiled =
        CompileStage(vertexShader, GL_VERTEX_SHADER, vertexSource.get(), "ERROR: Failed to compile vertex shader: ")
        && CompileStage(fragmentShader, GL_FRAGMENT_SHADER, fragmentSource.get(),
                        "ERROR: Failed to compile fragment shader: ")
        && (!geometrySource
            || CompileStage(geometryShader, GL_GEOMETRY_SHADER, geometrySource.get(),
                            "ERROR: Failed to compile geometry shader: "));
    if (!compiled) {
        Destroy();
        return false;
    }

    program = glCreateProgram();
    glAttachShader(program, vertexShader);
    if (geometryShader != kNoShader)
        glAttachShader(program, geometryShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    if (!CheckProgramStatus(program, GL_LINK_STATUS, "ERROR: Failed to link shader program: ")) {
        Destroy();
        return false;
    }
    StartCubeSamplersApart(program);
    glValidateProgram(program);
    if (!CheckProgramStatus(program, GL_VALIDATE_STATUS, "ERROR: Failed to validate shader program: ")) {
        Destroy();
        return false;
    }

    projectionLocation = UniformLocation("ProjectionMatrix");
    viewLocation = UniformLocation("ViewMatrix");
    timeLocation = UniformLocation("CurrentTime");
    resolutionLocation = UniformLocation("Resolution");
    return true;
}

void ShaderProgram::Bind(float time) const {
    glUseProgram(program);
    if (projectionLocation != -1)
        glUniformMatrix4fv(projectionLocation, 1, GL_FALSE, gRenderer->GetProjectionMatrix()->data());
    if (viewLocation != -1) {
        const Matrix4 view = BuildViewMatrix(*gRenderer->GetCamera());
        glUniformMatrix4fv(viewLocation, 1, GL_FALSE, view.data());
    }
    if (timeLocation != -1)
        glUniform1f(timeLocation, time);
    if (resolutionLocation != -1)
        glUniform2f(resolutionLocation, gRenderer->width, gRenderer->height);
}

GLint ShaderProgram::UniformLocation(const char* uniformName) const {
    return program == 0 ? -1 : glGetUniformLocation(program, uniformName);
}

void ShaderProgram::Destroy() {
    ReleaseShader(program, vertexShader);
    ReleaseShader(program, geometryShader);
    ReleaseShader(program, fragmentShader);
    // A program never built makes no GL call, so an effect whose Init never ran shuts down
    // even without a context or loaded entry points.
    if (program != 0) {
        glUseProgram(0);
        glDeleteProgram(program);
    }
    *this = ShaderProgram{};
}
