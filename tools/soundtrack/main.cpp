// quarn_soundtrack SCORE OUT.ogg: synthesises the score and encodes it as Ogg Vorbis, and
// prints the level of every section of the piece.

#include "io/TextLines.h"
#include "soundtrack/Mixdown.h"
#include "soundtrack/OggEncoder.h"
#include "soundtrack/Voices.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

constexpr float kPeakDecibels = -1.4f;
constexpr float kPeakLimitDecibels = -1.1f;  // what the decoded file may reach, at most
constexpr float kVorbisQuality = 0.4f;
constexpr int kEncodingAttempts = 4;

float Decibels(double amplitude) { return amplitude > 0.0 ? static_cast<float>(20.0 * std::log10(amplitude)) : -120.0f; }

void ReportInstruments(const std::vector<InstrumentLevel>& levels) {
    for (const InstrumentLevel& level : levels)
        std::printf("  %-10s rms %6.1f dB  peak %6.1f dB  (dry, while sounding)\n", level.name.c_str(), level.rmsDecibels,
                    level.peakDecibels);
}

void ReportSections(const Score& score, const StereoBuffer& pcm) {
    const double samplesPerBeat = kSampleRate * 60.0 / score.tempo;
    for (size_t s = 0; s < score.sections.size(); ++s) {
        const double from = score.sections[s].second;
        const double to = s + 1 < score.sections.size() ? score.sections[s + 1].second : score.lengthBeats;
        const size_t first = static_cast<size_t>(from * samplesPerBeat), last = static_cast<size_t>(to * samplesPerBeat);
        double sum = 0.0, peak = 0.0;
        for (size_t i = first; i < last && i < pcm.Size(); ++i) {
            sum += pcm.left[i] * pcm.left[i] + pcm.right[i] * pcm.right[i];
            peak = std::max({peak, static_cast<double>(std::fabs(pcm.left[i])), static_cast<double>(std::fabs(pcm.right[i]))});
        }
        const double rms = std::sqrt(sum / (2.0 * std::max<size_t>(1, last - first)));
        std::printf("  %-12s beats %5.1f-%5.1f  rms %6.1f dBFS  peak %6.1f dBFS\n", score.sections[s].first.c_str(), from,
                    to, Decibels(rms), Decibels(peak));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCORE OUT.ogg\n", argv[0]);
        return 2;
    }
    std::vector<TextLine> lines;
    Score score;
    std::string error;
    if (!ReadTextLines(argv[1], lines))
        return 1;
    if (!ParseScore(lines, std::filesystem::path(argv[1]).filename().string(), VoiceNames(), score, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<InstrumentLevel> levels;
    const StereoBuffer pcm = Mixdown(score, kPeakDecibels, levels);
    const auto rendered = std::chrono::steady_clock::now();
    std::printf("tovik: %zu frames (%.2f s), %.0f beats at %.0f bpm\n", pcm.Size(), pcm.Size() / double(kSampleRate),
                score.lengthBeats, score.tempo);
    ReportInstruments(levels);
    ReportSections(score, pcm);

    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(argv[2]).parent_path(), ignored);
    // The codec's ringing can lift the peak by a decibel: check the decoded file and, while it
    // is over the limit, encode again that much quieter.
    float gain = 1.0f;
    for (int attempt = 1;; ++attempt) {
        if (!WriteOggVorbis(argv[2], pcm, kSampleRate, kVorbisQuality, gain))
            return 1;
        const float peak = Decibels(DecodedPeak(argv[2]));
        std::printf("encoded at gain %.2f dB: decoded peak %.2f dBFS\n", Decibels(gain), peak);
        if (peak <= kPeakLimitDecibels)
            break;
        if (attempt == kEncodingAttempts) {
            std::fprintf(stderr, "%s: the decoded peak stays above %.1f dBFS\n", argv[2], kPeakLimitDecibels);
            return 1;
        }
        gain *= std::pow(10.0f, (kPeakLimitDecibels - 0.2f - peak) / 20.0f);
    }
    const auto encoded = std::chrono::steady_clock::now();
    auto seconds = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
    std::printf("synthesis %.1f s, encoding %.1f s\n", seconds(start, rendered), seconds(rendered, encoded));
    return 0;
}
