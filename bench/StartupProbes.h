#pragma once
// Time spent in the loaders that every effect's Init calls, summed since the start. The probes
// sit between the effects and the engine's own functions at link time (ld --wrap), so the engine
// carries no timing code and runs exactly as in the player.

struct LoaderTime {
    double ms = 0.0;
    int calls = 0;
};

struct ProbeTotals {
    LoaderTime shaders;   // ShaderProgram::Build: read, compile and link one program
    LoaderTime meshes;    // LoadModel and the vertex and index buffer uploads
    LoaderTime textures;  // IRenderer::GetTexture: decode, upload, mipmaps (counted by the renderer)
};

extern ProbeTotals gProbeTotals;

// Adds the time since `startMs` to `loader`, as one more call when `counted`.
void AddLoaderTime(LoaderTime& loader, double startMs, bool counted = true);
