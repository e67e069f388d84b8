#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kCapture = QUARN_RUN_DIR "/quarn-capture";
const fs::path kBuiltSoundtrack = QUARN_RUN_DIR "/Audio/tovik.ogg";

}  // namespace

ToolRun RunTool(const EngineRunDirectory& run, const std::string& executable, const std::vector<std::string>& arguments,
                Environment environment) {
    ProcessOptions options;
    // The shell puts the tool's output and errors into files, read once it has ended.
    options.executable = "/bin/sh";
    options.arguments = {"-c", "exec \"$0\" \"$@\" >tool-output.txt 2>tool-errors.txt", executable};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.workingDirectory = run.Path();
    // Silent, unless the test chooses the audio output itself.
    if (std::none_of(environment.begin(), environment.end(), [](const auto& entry) { return entry.first == "ALSOFT_DRIVERS"; }))
        environment.emplace_back("ALSOFT_DRIVERS", "null");
    options.environment = std::move(environment);
    options.timeout = std::chrono::seconds(300);
    return {RunProcess(options), ReadBytes(run.File("tool-output.txt")), ReadBytes(run.File("tool-errors.txt"))};
}

void WriteClaim(const fs::path& file, long pid) {
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    std::ofstream(file) << "host " << host << "\npid " << pid << "\nsince 0\nend\n";
}

ToolRun RunCapture(const EngineRunDirectory& run, std::vector<std::string> arguments, Environment environment) {
    arguments.insert(arguments.begin(), {"--run-dir", run.Path()});
    return RunTool(run, kCapture, arguments, std::move(environment));
}

void ExpectSucceeded(const ToolRun& tool) {
    ASSERT_TRUE(tool.process.started) << tool.process.startError;
    ASSERT_TRUE(tool.process.exited) << "timed out: " << tool.process.timedOut;
    ASSERT_EQ(tool.process.exitStatus, 0) << tool.errors;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<StreamFields> ProbeStreams(const EngineRunDirectory& run, const std::string& file, const std::string& entries,
                                       std::vector<std::string> options) {
    options.insert(options.begin(), {"-v", "error"});
    options.insert(options.end(), {"-show_entries", "stream=" + entries, "-of", "default=noprint_wrappers=0", file});
    const ToolRun probe = RunTool(run, "/usr/bin/ffprobe", options);
    std::vector<StreamFields> streams;
    std::istringstream lines(probe.output);
    for (std::string line; std::getline(lines, line);) {
        if (line == "[STREAM]") streams.emplace_back();
        const size_t equals = line.find('=');
        if (!streams.empty() && equals != std::string::npos)
            streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return streams;
}

bool LinkBuiltSoundtrack(const EngineRunDirectory& run) {
    if (!fs::exists(kBuiltSoundtrack)) return false;
    std::error_code error;
    fs::create_directory(run.File("Audio"), error);
    fs::create_symlink(kBuiltSoundtrack, run.File("Audio/tovik.ogg"), error);
    return !error;
}

std::array<uint8_t, 3> Image::Pixel(int x, int y) const {
    const uint8_t* pixel = pixels.get() + (static_cast<size_t>(y) * width + x) * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

std::array<double, 3> Image::Mean(int x, int y, int half) const {
    std::array<double, 3> sum{};
    for (int row = y - half; row < y + half; ++row)
        for (int column = x - half; column < x + half; ++column) {
            const std::array<uint8_t, 3> rgb = Pixel(column, row);
            for (int channel = 0; channel < 3; ++channel) sum[channel] += rgb[channel];
        }
    for (double& channel : sum) channel /= 4.0 * half * half;
    return sum;
}

double Brightness(const std::array<double, 3>& rgb) { return (rgb[0] + rgb[1] + rgb[2]) / 3.0; }

Image LoadPng(const fs::path& file) {
    Image image;
    int channels = 0;
    image.pixels.reset(stbi_load(file.c_str(), &image.width, &image.height, &channels, 3));
    return image;
}

double MeanDifference(const Image& a, const Image& b) {
    if (!a.pixels || !b.pixels || a.width != b.width || a.height != b.height) return -1.0;
    const size_t count = static_cast<size_t>(a.width) * a.height * 3;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += std::abs(int(a.pixels.get()[i]) - int(b.pixels.get()[i]));
    return sum / count;
}
