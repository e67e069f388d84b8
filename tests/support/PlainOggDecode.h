#pragma once
// The reference a decoded soundtrack is held against: libvorbisfile's own read loop, from the
// first sample to the end, with nothing gathered, assembled or padded.

#include <cstdint>
#include <string>

// The offset of the first byte where `bytes` (`size` of them) differs from a plain decode of the
// file at `path`; -1 when the two agree to the last byte and end together.
int64_t FirstDifferenceFromPlainDecode(const std::string& path, const char* bytes, int64_t size);
