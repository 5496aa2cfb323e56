#pragma once

#include <array>
#include <cstdint>

namespace lw {

inline constexpr std::size_t kWavHeaderSize = 44;

// The canonical header of a PCM, mono, 44100 Hz, 16-bit WAV file holding `dataBytes`.
[[nodiscard]] std::array<uint8_t, kWavHeaderSize> WavHeader(uint32_t dataBytes);

} // namespace lw
