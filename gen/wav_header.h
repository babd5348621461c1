#pragma once
// The 44-byte header of a WAV file of 16-bit mono PCM samples.

#include <cstddef>
#include <cstdint>

inline constexpr int wav_header_bytes = 44;

// Writes the header for data_bytes bytes of samples at rate samples per
// second; false if the data does not fit a WAV file (4 GB).
bool wav_header(uint32_t rate, std::size_t data_bytes, uint8_t header[wav_header_bytes]);
