// quarn_imagegen TEXTDIR FONTDIR RUNDIR: paints the demo's images into RUNDIR/Textures and
// RUNDIR/Greetings, the texts taken from TEXTDIR (greetings.txt, credits.txt).

#include "content/Font.h"
#include "io/TextLines.h"
#include "imagegen/Images.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int kJpegQuality = 95;

struct Greeting {
    std::string file;
    std::string name;
};

bool ReadGreetings(const fs::path& path, std::vector<Greeting>& greetings) {
    std::vector<TextLine> lines;
    if (!ReadTextLines(path.string(), lines))
        return false;
    for (const TextLine& line : lines) {
        const std::string text = StripComment(line.text, '#');
        if (text.empty())
            continue;
        const size_t bar = text.find('|');
        const Greeting greeting{Trim(text.substr(0, bar)), bar == std::string::npos ? "" : Trim(text.substr(bar + 1))};
        if (greeting.file.empty() || greeting.name.empty() || greeting.file.find('/') != std::string::npos) {
            std::fprintf(stderr, "%s:%d: expected \"file.png | Name\"\n", path.string().c_str(), line.number);
            return false;
        }
        greetings.push_back(greeting);
    }
    return true;
}

bool ReadCredits(const fs::path& path, std::vector<CreditLine>& credits) {
    std::vector<TextLine> lines;
    if (!ReadTextLines(path.string(), lines))
        return false;
    for (const TextLine& line : lines) {
        if (line.text.rfind('#', 0) == 0)
            continue;
        const std::string text = Trim(line.text);
        if (text.empty())
            credits.push_back({CreditLine::Style::Gap, ""});
        else if (text[0] == '=')
            credits.push_back({CreditLine::Style::Heading, Trim(text.substr(1))});
        else if (text[0] == '-')
            credits.push_back({CreditLine::Style::Small, Trim(text.substr(1))});
        else
            credits.push_back({CreditLine::Style::Normal, text});
    }
    return true;
}

bool Write(const Image& image, const fs::path& path) {
    const bool ok = path.extension() == ".jpg" ? image.WriteJpg(path.string(), kJpegQuality)
                                               : image.WritePng(path.string(), 4);
    if (ok)
        std::printf("%-40s %dx%d\n", path.filename().string().c_str(), image.Width(), image.Height());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s TEXTDIR FONTDIR RUNDIR\n", argv[0]);
        return 2;
    }
    const fs::path textDir = argv[1], fontDir = argv[2], runDir = argv[3];
    Font bold;
    std::vector<Greeting> greetings;
    std::vector<CreditLine> credits;
    if (!bold.Load((fontDir / "DejaVuSans-Bold.ttf").string()) ||
        !ReadGreetings(textDir / "greetings.txt", greetings) || !ReadCredits(textDir / "credits.txt", credits))
        return 1;
    const fs::path textures = runDir / "Textures", greetingDir = runDir / "Greetings";
    std::error_code ignored;
    fs::create_directories(textures, ignored);
    fs::create_directories(greetingDir, ignored);

    bool ok = Write(PaintBackdropTexture(), textures / "testtex.png") &&
              Write(PaintPyramidTexture(), textures / "pyramidtex.png") &&
              Write(PaintFloater(), textures / "Floater.png") && Write(PaintFloater2(), textures / "Floater2.png") &&
              Write(PaintQuadFloater(), textures / "QuadFloater.png") &&
              Write(PaintSkyCross(), textures / "CubeMapTest.jpg") &&
              Write(PaintNebulaCross(), textures / "CubeMapTest3.jpg") &&
              Write(PaintCredits(bold, credits), textures / "Credits.png");
    for (size_t i = 0; ok && i < greetings.size(); ++i)
        ok = Write(PaintGreeting(bold, greetings[i].name, static_cast<int>(i)), greetingDir / greetings[i].file);
    return ok ? 0 : 1;
}
