#include "soundtrack/OggEncoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>

#include "content/VorbisWriter.h"

namespace {

constexpr VorbisTag kTags[] = {{"TITLE", "tovik"}, {"ARTIST", "KAVIO"}};

}  // namespace

bool WriteOggVorbis(const std::string& path, const StereoBuffer& pcm, int sampleRate, float quality, float gain) {
    const VorbisFormat format{2, sampleRate, quality};
    return WriteVorbisFile(
        path, format, static_cast<int64_t>(pcm.Size()),
        [&](float** channels, int64_t first, int count) {
            for (int i = 0; i < count; ++i) {
                channels[0][i] = pcm.left[first + i] * gain;
                channels[1][i] = pcm.right[first + i] * gain;
            }
        },
        kTags);
}

float DecodedPeak(const std::string& path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0)
        return -1.0f;
    float peak = 0.0f;
    float** channels = nullptr;
    int bitstream = 0;
    for (long count; (count = ov_read_float(&file, &channels, 1024, &bitstream)) > 0;)
        for (int c = 0; c < ov_info(&file, -1)->channels; ++c)
            for (long i = 0; i < count; ++i)
                peak = std::max(peak, std::fabs(channels[c][i]));
    ov_clear(&file);
    return peak;
}
