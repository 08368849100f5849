// The LZSS encoder of the packer (the decoder, DecodeLzss, is declared in archive.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pux {

constexpr size_t kLzssRingSize = 4096;
constexpr size_t kLzssMaxMatch = 18;
constexpr size_t kLzssMinMatch = 3;
constexpr size_t kLzssStart = kLzssRingSize - kLzssMaxMatch;  // first write position, 4078

// Encodes data into the stream that DecodeLzss expands back into the same bytes.
std::vector<uint8_t> EncodeLzss(const uint8_t* data, size_t size);

}  // namespace pux
