// An Ogg Vorbis file of any bytes through the soundtrack's decoder. The decoder opens files by
// path (ov_fopen), so each input is written to a scratch file of this process first.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "audio/Soundtrack.h"

namespace {

const std::string& ScratchPath() {
    static const std::string path = "/tmp/quarn-fuzz-" + std::to_string(getpid()) + ".ogg";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;

    int channels = 0;
    int sampleRate = 0;
    int64_t byteSize = 0;
    DecodeOggFile(channels, sampleRate, byteSize, path.c_str());
    return 0;
}
