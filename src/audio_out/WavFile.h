#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lw {

inline constexpr std::size_t kWavHeaderSize = 44;

// The canonical header of a PCM, mono, 44100 Hz, 16-bit WAV file holding `dataBytes`.
[[nodiscard]] std::array<uint8_t, kWavHeaderSize> WavHeader(uint32_t dataBytes);

// Wraps the raw samples of `tempPath` into the WAV file `wavPath` in 64 KiB blocks,
// then deletes the temporary file. The WAV file replaces its target only once it is
// complete. Throws IoError when a file cannot be opened, read or written; the
// temporary file is then left for the caller to remove. Interface thread.
void WriteWavFile(const std::string& tempPath, const std::string& wavPath);

} // namespace lw
