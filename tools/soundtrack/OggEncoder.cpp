#include "soundtrack/OggEncoder.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kChunk = 4096;

class OggFile {
public:
    explicit OggFile(FILE* file) : file_(file) {}
    bool Write(const ogg_page& page) {
        ok_ = ok_ && std::fwrite(page.header, 1, page.header_len, file_) == static_cast<size_t>(page.header_len) &&
              std::fwrite(page.body, 1, page.body_len, file_) == static_cast<size_t>(page.body_len);
        return ok_;
    }
    bool Ok() const { return ok_; }

private:
    FILE* file_;
    bool ok_ = true;
};

// Hands every finished block to the stream and writes the pages that become full.
void Drain(vorbis_dsp_state& dsp, vorbis_block& block, ogg_stream_state& stream, OggFile& out) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_pageout(&stream, &page))
                out.Write(page);
        }
    }
}

}  // namespace

bool WriteOggVorbis(const std::string& path, const StereoBuffer& pcm, int sampleRate, float quality, float gain) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return false;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, sampleRate, quality) != 0) {
        std::fprintf(stderr, "libvorbisenc refused %d Hz stereo at quality %.2f\n", sampleRate, quality);
        vorbis_info_clear(&info);
        std::fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "tovik");
    vorbis_comment_add_tag(&comment, "ARTIST", "KAVIO");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x7A61);  // a fixed serial number keeps the file reproducible

    OggFile out(file);
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page))
        out.Write(page);

    for (size_t offset = 0; offset < pcm.Size(); offset += kChunk) {
        const size_t count = std::min(kChunk, pcm.Size() - offset);
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            buffer[0][i] = pcm.left[offset + i] * gain;
            buffer[1][i] = pcm.right[offset + i] * gain;
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        Drain(dsp, block, stream, out);
    }
    vorbis_analysis_wrote(&dsp, 0);
    Drain(dsp, block, stream, out);
    while (ogg_stream_flush(&stream, &page))
        out.Write(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    const bool ok = (std::fclose(file) == 0) && out.Ok();
    if (!ok)
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
    return ok;
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
