#include "tracktool/TrackWriter.h"

#include <cstdio>
#include <cstring>

namespace {

void PutInt32(std::vector<unsigned char>& bytes, uint32_t bits) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(bits >> shift));
}

}  // namespace

bool WriteTrackFile(const std::string& path, const std::vector<SyncKey>& keys) {
    std::vector<unsigned char> bytes;
    PutInt32(bytes, static_cast<uint32_t>(keys.size()));
    for (const SyncKey& key : keys) {
        uint32_t valueBits = 0;
        std::memcpy(&valueBits, &key.value, sizeof valueBits);
        PutInt32(bytes, static_cast<uint32_t>(key.row));
        PutInt32(bytes, valueBits);
        bytes.push_back(static_cast<unsigned char>(static_cast<int8_t>(key.type)));
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file)
        ok = (std::fclose(file) == 0) && ok;
    if (!ok)
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
    return ok;
}
