#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "render/Camera.h"
#include "render/ShaderProgram.h"
#include "support/GLRendererFixture.h"

namespace {

constexpr const char* kVertex = R"(#version 330 core
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform float CurrentTime;
uniform vec2 Resolution;
out vec3 Tint;
void main() {
    Tint = vec3(CurrentTime, Resolution);
    gl_Position = ProjectionMatrix * ViewMatrix * vec4(Position, 1.0);
}
)";

constexpr const char* kFragment = R"(#version 330 core
in vec3 Tint;
out vec4 Colour;
void main() { Colour = vec4(Tint, 1.0); }
)";

constexpr const char* kPlainVertex = R"(#version 330 core
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionMatrix;
out vec3 Tint;
void main() { Tint = Position; gl_Position = ProjectionMatrix * vec4(Position, 1.0); }
)";

constexpr const char* kGeometry = R"(#version 330 core
layout(points) in;
layout(points, max_vertices = 1) out;
in vec3 Tint[];
out vec3 GeometryTint;
void main() { GeometryTint = Tint[0]; gl_Position = gl_in[0].gl_Position; EmitVertex(); EndPrimitive(); }
)";

constexpr const char* kGeometryFragment = R"(#version 330 core
in vec3 GeometryTint;
out vec4 Colour;
void main() { Colour = vec4(GeometryTint, 1.0); }
)";

constexpr const char* kBroken = "#version 330 core\nvoid main() { this is not glsl; }\n";

class ShaderProgramTest : public GLRendererFixture {
protected:
    std::string Source(const char* name, const char* text) {
        const std::string path = (TempDirectory() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The build fails with exactly one error line: `message` directly followed by the driver's
    // own log, and leaves nothing behind in the record.
    void ExpectFailure(ShaderProgram& program, bool built, const std::string& message) {
        EXPECT_FALSE(built);
        const std::vector<std::string> errors = log.StartingWith("ERROR: ");
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind(message, 0), 0u) << errors[0];
        EXPECT_GT(errors[0].size(), message.size()) << "the driver's log is missing";
        EXPECT_EQ(program.vertexShader, kNoShader);
        EXPECT_EQ(program.fragmentShader, kNoShader);
        EXPECT_EQ(program.geometryShader, kNoShader);
        EXPECT_EQ(program.program, 0u);
        EXPECT_EQ(program.UniformLocation("ProjectionMatrix"), -1);
        program.Destroy();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // Counts the shader and program objects alive among the first names GL hands out.
    static int LiveObjects() {
        int live = 0;
        for (GLuint name = 1; name < 64; ++name)
            live += (glIsShader(name) ? 1 : 0) + (glIsProgram(name) ? 1 : 0);
        return live;
    }
};

TEST_F(ShaderProgramTest, CompileFailuresNameTheirStage) {
    const std::string vertex = Source("ok.vert", kVertex);
    const std::string fragment = Source("ok.frag", kFragment);
    const std::string broken = Source("broken.glsl", kBroken);
    const int before = LiveObjects();
    {
        ShaderProgram program;
        ExpectFailure(program, program.Build(broken.c_str(), fragment.c_str()),
                      "ERROR: Failed to compile vertex shader: ");
    }
    log.lines.clear();
    {
        ShaderProgram program;
        ExpectFailure(program, program.Build(vertex.c_str(), broken.c_str()),
                      "ERROR: Failed to compile fragment shader: ");
    }
    log.lines.clear();
    {
        ShaderProgram program;
        ExpectFailure(program, program.Build(vertex.c_str(), fragment.c_str(), broken.c_str()),
                      "ERROR: Failed to compile geometry shader: ");
    }
    EXPECT_EQ(LiveObjects(), before) << "a failed build leaked shaders";
}

TEST_F(ShaderProgramTest, LinkFailureLogsTheProgramLog) {
    // Each stage compiles on its own, but the fragment stage has no main.
    const std::string vertex = Source("ok.vert", kVertex);
    const std::string fragment =
        Source("nomain.frag", "#version 330 core\nout vec4 Colour;\nvoid Helper() { Colour = vec4(1.0); }\n");
    const int before = LiveObjects();
    ShaderProgram program;
    ExpectFailure(program, program.Build(vertex.c_str(), fragment.c_str()), "ERROR: Failed to link shader program: ");
    EXPECT_EQ(LiveObjects(), before);
}

TEST_F(ShaderProgramTest, UnreadableSourcesAreReportedBeforeAnyGLObjectExists) {
    const std::string vertex = Source("ok.vert", kVertex);
    const std::string fragment = Source("ok.frag", kFragment);
    const std::string missing = (TempDirectory() / "missing.glsl").string();
    // Neither may block or be cut short: a directory or FIFO reads as missing, and a NUL byte
    // would make GL compile only the text before it.
    const std::string folder = (TempDirectory() / "folder.frag").string();
    std::filesystem::create_directory(folder);
    const std::string fifo = (TempDirectory() / "fifo.geom").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string nul = Source("nul.vert", "");
    std::ofstream(nul, std::ios::binary) << std::string(kVertex).insert(20, 1, '\0');
    const int before = LiveObjects();
    struct Case {
        const char* vertex;
        const char* fragment;
        const char* geometry;
        const char* line;
    } cases[] = {
        {nullptr, fragment.c_str(), nullptr, "ERROR: Invalid vertex or fragment source!"},
        {vertex.c_str(), nullptr, nullptr, "ERROR: Invalid vertex or fragment source!"},
        {missing.c_str(), fragment.c_str(), nullptr, "ERROR: Failed to read vertex shader source!"},
        {vertex.c_str(), missing.c_str(), nullptr, "ERROR: Failed to read fragment shader source!"},
        {vertex.c_str(), fragment.c_str(), missing.c_str(), "ERROR: Failed to read geometry shader source!"},
        {nul.c_str(), fragment.c_str(), nullptr, "ERROR: Failed to read vertex shader source!"},
        {vertex.c_str(), folder.c_str(), nullptr, "ERROR: Failed to read fragment shader source!"},
        {vertex.c_str(), fragment.c_str(), fifo.c_str(), "ERROR: Failed to read geometry shader source!"},
    };
    for (const Case& c : cases) {
        log.lines.clear();
        ShaderProgram program;
        EXPECT_FALSE(program.Build(c.vertex, c.fragment, c.geometry));
        EXPECT_EQ(log.lines, std::vector<std::string>{c.line});
        EXPECT_EQ(program.vertexShader, kNoShader);
    }
    EXPECT_EQ(LiveObjects(), before);
}

TEST_F(ShaderProgramTest, BindSetsTheFourStandardUniforms) {
    const std::string vertex = Source("ok.vert", kVertex);
    const std::string fragment = Source("ok.frag", kFragment);
    ShaderProgram program;
    ASSERT_TRUE(program.Build(vertex.c_str(), fragment.c_str()));
    EXPECT_EQ(program.geometryShader, kNoShader);
    GLint attached = 0;
    glGetProgramiv(program.program, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 2);

    Camera& camera = *renderer.GetCamera();
    camera.distance = 3.0f;
    camera.yaw = 30.0f;
    camera.xOffset = 1.5f;
    program.Bind(3.25f);

    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), program.program);
    float projection[16];
    float view[16];
    glGetUniformfv(program.program, program.projectionLocation, projection);
    glGetUniformfv(program.program, program.viewLocation, view);
    const Matrix4 expectedView = BuildViewMatrix(camera);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(projection[i], renderer.GetProjectionMatrix()->data()[i]) << i;
        EXPECT_EQ(view[i], expectedView.data()[i]) << i;
    }
    float time = 0.0f;
    float resolution[2] = {};
    glGetUniformfv(program.program, program.timeLocation, &time);
    glGetUniformfv(program.program, program.resolutionLocation, resolution);
    EXPECT_EQ(time, 3.25f);
    EXPECT_EQ(resolution[0], 1280.0f);
    EXPECT_EQ(resolution[1], 720.0f);

    program.Destroy();
    EXPECT_EQ(program.program, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramTest, UniformsTheProgramLacksAreSkipped) {
    const std::string vertex = Source("plain.vert", kPlainVertex);
    const std::string geometry = Source("pass.geom", kGeometry);
    const std::string fragment = Source("pass.frag", kGeometryFragment);
    ShaderProgram program;
    ASSERT_TRUE(program.Build(vertex.c_str(), fragment.c_str(), geometry.c_str()));
    EXPECT_NE(program.geometryShader, kNoShader);
    GLint attached = 0;
    glGetProgramiv(program.program, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 3);
    EXPECT_NE(program.projectionLocation, -1);
    EXPECT_EQ(program.viewLocation, -1);
    EXPECT_EQ(program.timeLocation, -1);
    EXPECT_EQ(program.resolutionLocation, -1);
    program.Bind(1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const GLuint geometryShader = program.geometryShader;
    program.Destroy();
    EXPECT_FALSE(glIsShader(geometryShader));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramTest, DestroyOnANeverBuiltProgramIsHarmless) {
    ShaderProgram program;
    program.Destroy();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
