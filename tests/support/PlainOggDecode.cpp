#include "PlainOggDecode.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>

int64_t FirstDifferenceFromPlainDecode(const std::string& path, const char* bytes, int64_t size) {
    OggVorbis_File file{};
    if (ov_fopen(path.c_str(), &file) < 0)
        return 0;
    int64_t difference = ov_pcm_seek(&file, 0) == 0 ? -1 : 0;
    int64_t done = 0;
    char chunk[4096];
    int bitstream = 0;
    while (difference < 0) {
        const long count = ov_read(&file, chunk, sizeof chunk, 0, 2, 1, &bitstream);
        if (count <= 0) {
            if (count < 0 || done != size)
                difference = done;
            break;
        }
        // Stops short of the chunk's end where the bytes differ or run out first.
        const int64_t compared = std::min<int64_t>(count, size - done);
        const char* mismatch = std::mismatch(chunk, chunk + compared, bytes + done).first;
        if (mismatch != chunk + count)
            difference = done + (mismatch - chunk);
        done += count;
    }
    ov_clear(&file);
    return difference;
}
