#pragma once

#include "song/AtomicFileWriter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lw {

inline constexpr std::size_t kWavHeaderSize = 44;

// The canonical header of a PCM, mono, 44100 Hz, 16-bit WAV file holding `dataBytes`.
[[nodiscard]] std::array<uint8_t, kWavHeaderSize> WavHeader(uint32_t dataBytes);

// The 16-bit mono WAV file of a render: the header, then the samples as they are
// rendered, written once into a uniquely named temporary file in the target's folder,
// which takes the target's place only when it is complete and on disk. The data size is
// known before the first sample: every pattern is patternSamples long. Failures after
// Open throw IoError.
class WavFileWriter {
public:
  // False when the temporary file cannot be created; `error` gets errno.
  bool Open(const std::string& target, int& error, const char* tempPrefix) {
    return out_.Open(target, &error, tempPrefix);
  }
  // Writes the header of a file of `samples` samples.
  void Begin(uint64_t samples);
  void Write(const int16_t* samples, std::size_t count) {
    out_.Write(samples, count * sizeof(int16_t));
  }
  // Puts the whole file on disk under its temporary name.
  void Finish();
  void Commit() {
    Finish();
    out_.Commit();
  }

private:
  AtomicFileWriter out_;
  uint64_t expected_ = 0;
};

} // namespace lw
