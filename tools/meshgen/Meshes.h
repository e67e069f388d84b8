#pragma once
// The demo's meshes. Sizes are chosen for where each effect puts its mesh; the comments at
// each builder say what the effect does to it.

#include "content/MeshBuilder.h"
#include "io/TextLines.h"

class Font;

MeshBuilder BuildSphere();        // Sphere2.exm
MeshBuilder BuildSpineball();     // Spineball.exm
MeshBuilder BuildPlanet();        // coolball.exm
MeshBuilder BuildBackdrop();      // BackgroundTex.exm
MeshBuilder BuildWingBackground();// WingBg.exm
MeshBuilder BuildGem();           // Gem.exm
MeshBuilder BuildCylinder();      // 7sidecylinder.exm
MeshBuilder BuildLogo(const Font& font, const std::string& text);  // kav.exm

// A triangle wound counter-clockwise as seen from the side `facing` points to.
void AddTriangleFacing(MeshBuilder& mesh, uint32_t a, uint32_t b, uint32_t c, const Vector3& facing);
