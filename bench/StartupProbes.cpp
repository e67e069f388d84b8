#include "StartupProbes.h"

#include "Measurement.h"
#include "render/Model.h"
#include "render/ShaderProgram.h"

ProbeTotals gProbeTotals;

void AddLoaderTime(LoaderTime& loader, double startMs, bool counted) {
    loader.ms += WallMilliseconds() - startMs;
    if (counted) ++loader.calls;
}

// The linker's names for ShaderProgram::Build, LoadModel, CreateVertexBuffer and
// CreateIndexBuffer; a member function takes its object as the first argument.
extern "C" {
bool __real__ZN13ShaderProgram5BuildEPKcS1_S1_(ShaderProgram*, const char*, const char*, const char*);
void __real__Z9LoadModelR5ModelPKc(Model&, const char*);
GLuint __real__Z18CreateVertexBufferRK5Modelj(const Model&, GLenum);
GLuint __real__Z17CreateIndexBufferRK5Model(const Model&);

bool __wrap__ZN13ShaderProgram5BuildEPKcS1_S1_(ShaderProgram* program, const char* vertexPath,
                                               const char* fragmentPath, const char* geometryPath) {
    const double start = WallMilliseconds();
    const bool built = __real__ZN13ShaderProgram5BuildEPKcS1_S1_(program, vertexPath, fragmentPath, geometryPath);
    AddLoaderTime(gProbeTotals.shaders, start);
    return built;
}

void __wrap__Z9LoadModelR5ModelPKc(Model& model, const char* path) {
    const double start = WallMilliseconds();
    __real__Z9LoadModelR5ModelPKc(model, path);
    AddLoaderTime(gProbeTotals.meshes, start);
}

// Uploads are timed with the load they belong to but not counted as another mesh.
GLuint __wrap__Z18CreateVertexBufferRK5Modelj(const Model& model, GLenum usage) {
    const double start = WallMilliseconds();
    const GLuint buffer = __real__Z18CreateVertexBufferRK5Modelj(model, usage);
    AddLoaderTime(gProbeTotals.meshes, start, false);
    return buffer;
}

GLuint __wrap__Z17CreateIndexBufferRK5Model(const Model& model) {
    const double start = WallMilliseconds();
    const GLuint buffer = __real__Z17CreateIndexBufferRK5Model(model);
    AddLoaderTime(gProbeTotals.meshes, start, false);
    return buffer;
}
}
