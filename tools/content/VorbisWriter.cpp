#include "content/VorbisWriter.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kChunkFrames = 4096;
constexpr int kSerialNumber = 0x7A61;  // fixed, so that the same samples give the same file

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The encoder's state, released in the right order on every way out.
class VorbisEncoder {
public:
    VorbisEncoder() {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~VorbisEncoder() {
        if (analysing) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    VorbisEncoder(const VorbisEncoder&) = delete;
    VorbisEncoder& operator=(const VorbisEncoder&) = delete;

    bool Start(const VorbisFormat& format, std::span<const VorbisTag> tags) {
        if (vorbis_encode_init_vbr(&info, format.channels, format.sampleRate, format.quality) != 0)
            return false;
        for (const auto& [name, value] : tags)
            vorbis_comment_add_tag(&comment, name, value);
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, kSerialNumber);
        analysing = true;
        return true;
    }

    // The three header packets, each on a page of its own as the format asks.
    bool WriteHeaders(FILE* file) {
        ogg_packet identification, comments, codebooks;
        vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
        ogg_stream_packetin(&stream, &identification);
        ogg_stream_packetin(&stream, &comments);
        ogg_stream_packetin(&stream, &codebooks);
        return Flush(file);
    }

    bool Encode(int64_t frames, const VorbisSamples& samples, FILE* file) {
        for (int64_t first = 0; first < frames; first += kChunkFrames) {
            const int count = static_cast<int>(std::min<int64_t>(kChunkFrames, frames - first));
            samples(vorbis_analysis_buffer(&dsp, count), first, count);
            vorbis_analysis_wrote(&dsp, count);
            if (!Drain(file))
                return false;
        }
        vorbis_analysis_wrote(&dsp, 0);  // the end of the stream
        return Drain(file) && Flush(file);
    }

private:
    static bool WritePage(const ogg_page& page, FILE* file) {
        return std::fwrite(page.header, 1, page.header_len, file) == static_cast<size_t>(page.header_len) &&
               std::fwrite(page.body, 1, page.body_len, file) == static_cast<size_t>(page.body_len);
    }

    // Hands every finished block to the stream and writes the pages that become full.
    bool Drain(FILE* file) {
        ogg_packet packet;
        ogg_page page;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page))
                    if (!WritePage(page, file))
                        return false;
            }
        }
        return true;
    }

    bool Flush(FILE* file) {
        ogg_page page;
        while (ogg_stream_flush(&stream, &page))
            if (!WritePage(page, file))
                return false;
        return true;
    }

    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool analysing = false;
};

}  // namespace

bool WriteVorbisFile(const std::string& path, const VorbisFormat& format, int64_t frames, const VorbisSamples& samples,
                     std::span<const VorbisTag> tags) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return false;
    }
    VorbisEncoder encoder;
    if (frames < 0 || !encoder.Start(format, tags)) {
        std::fprintf(stderr, "%s: libvorbisenc refused %lld frames of %d channels at %d Hz, quality %.2f\n",
                     path.c_str(), static_cast<long long>(frames), format.channels, format.sampleRate, format.quality);
        return false;
    }
    const bool written = encoder.WriteHeaders(file.get()) && encoder.Encode(frames, samples, file.get());
    if (!written || std::fclose(file.release()) != 0) {
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
        return false;
    }
    return true;
}
