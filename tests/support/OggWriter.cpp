#include "OggWriter.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Owns the encoder state so every early return releases it in the right order.
struct VorbisEncoder {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool analysisReady = false;

    VorbisEncoder() {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~VorbisEncoder() {
        if (analysisReady) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    VorbisEncoder(const VorbisEncoder&) = delete;
    VorbisEncoder& operator=(const VorbisEncoder&) = delete;
};

bool WritePage(const ogg_page& page, FILE* file) {
    return std::fwrite(page.header, 1, page.header_len, file) == static_cast<size_t>(page.header_len) &&
           std::fwrite(page.body, 1, page.body_len, file) == static_cast<size_t>(page.body_len);
}

// Pulls every finished packet out of the analyser and writes the pages it fills.
bool DrainPackets(VorbisEncoder& encoder, FILE* file) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&encoder.dsp, &encoder.block) == 1) {
        vorbis_analysis(&encoder.block, nullptr);
        vorbis_bitrate_addblock(&encoder.block);
        while (vorbis_bitrate_flushpacket(&encoder.dsp, &packet)) {
            ogg_stream_packetin(&encoder.stream, &packet);
            while (ogg_stream_pageout(&encoder.stream, &page)) {
                if (!WritePage(page, file))
                    return false;
            }
        }
    }
    return true;
}

bool WriteHeaders(VorbisEncoder& encoder, FILE* file) {
    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&encoder.dsp, &encoder.comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&encoder.stream, &identification);
    ogg_stream_packetin(&encoder.stream, &comments);
    ogg_stream_packetin(&encoder.stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&encoder.stream, &page)) {
        if (!WritePage(page, file))
            return false;
    }
    return true;
}

}  // namespace

bool WriteTestOgg(const std::string& path, double seconds, int channels, int sampleRate) {
    if (seconds < 0.0 || channels < 1 || channels > 8 || sampleRate <= 0)
        return false;
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;

    VorbisEncoder encoder;
    if (vorbis_encode_init_vbr(&encoder.info, channels, sampleRate, 0.1f) != 0)
        return false;
    vorbis_analysis_init(&encoder.dsp, &encoder.info);
    vorbis_block_init(&encoder.dsp, &encoder.block);
    ogg_stream_init(&encoder.stream, 1);
    encoder.analysisReady = true;
    if (!WriteHeaders(encoder, file.get()))
        return false;

    constexpr int kChunk = 1024;
    constexpr double kFrequency = 440.0;
    constexpr double kAmplitude = 0.1;
    const long long totalFrames = std::llround(seconds * sampleRate);
    for (long long written = 0; written < totalFrames;) {
        const int frames = static_cast<int>(std::min<long long>(kChunk, totalFrames - written));
        float** channelData = vorbis_analysis_buffer(&encoder.dsp, frames);
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(written + i) / sampleRate;
            const float sample = static_cast<float>(kAmplitude * std::sin(2.0 * std::numbers::pi * kFrequency * t));
            for (int c = 0; c < channels; ++c)
                channelData[c][i] = sample;
        }
        vorbis_analysis_wrote(&encoder.dsp, frames);
        if (!DrainPackets(encoder, file.get()))
            return false;
        written += frames;
    }
    vorbis_analysis_wrote(&encoder.dsp, 0);  // end of stream
    if (!DrainPackets(encoder, file.get()))
        return false;
    ogg_page page;
    while (ogg_stream_flush(&encoder.stream, &page)) {
        if (!WritePage(page, file.get()))
            return false;
    }
    return std::fflush(file.get()) == 0;
}
