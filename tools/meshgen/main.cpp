// quarn_meshgen LOGO_TEXT FONT OUTDIR: writes the demo's ".exm" meshes into OUTDIR.

#include "content/Font.h"
#include "meshgen/Meshes.h"

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

// The first line of the logo file that is not a comment.
bool ReadLogoText(const std::string& path, std::string& text) {
    std::vector<TextLine> lines;
    if (!ReadTextLines(path, lines))
        return false;
    for (const TextLine& line : lines)
        if (text = StripComment(line.text, '#'); !text.empty())
            return true;
    std::fprintf(stderr, "%s: no logo text\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LOGO_TEXT FONT OUTDIR\n", argv[0]);
        return 2;
    }
    std::string logoText;
    Font font;
    if (!ReadLogoText(argv[1], logoText) || !font.Load(argv[2]))
        return 1;
    const std::filesystem::path outDir = argv[3];
    std::error_code error;
    std::filesystem::create_directories(outDir, error);

    const std::pair<const char*, std::function<MeshBuilder()>> meshes[] = {
        {"Sphere2.exm", BuildSphere},
        {"Spineball.exm", BuildSpineball},
        {"coolball.exm", BuildPlanet},
        {"BackgroundTex.exm", BuildBackdrop},
        {"WingBg.exm", BuildWingBackground},
        {"Gem.exm", BuildGem},
        {"7sidecylinder.exm", BuildCylinder},
        {"kav.exm", [&] { return BuildLogo(font, logoText); }},
    };
    for (const auto& [name, build] : meshes) {
        const MeshBuilder mesh = build();
        if (!mesh.WriteExm((outDir / name).string()))
            return 1;
        std::printf("%-18s %6u vertices\n", name, mesh.VertexCount());
    }
    return 0;
}
