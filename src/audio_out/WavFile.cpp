#include "audio_out/WavFile.h"

#include "song/FileIo.h"

#include <bit>
#include <cstring>
#include <limits>

namespace lw {

namespace {

void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8U);
}

void Put32(uint8_t* at, uint32_t v) {
  Put16(at, static_cast<uint16_t>(v));
  Put16(at + 2, static_cast<uint16_t>(v >> 16U));
}

} // namespace

std::array<uint8_t, kWavHeaderSize> WavHeader(uint32_t dataBytes) {
  std::array<uint8_t, kWavHeaderSize> h{};
  std::memcpy(&h[0], "RIFF", 4);
  Put32(&h[4], dataBytes + 36);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  Put32(&h[16], 16);    // format chunk size
  Put16(&h[20], 1);     // PCM
  Put16(&h[22], 1);     // mono
  Put32(&h[24], 44100); // samples per second
  Put32(&h[28], 88200); // bytes per second
  Put16(&h[32], 2);     // block align
  Put16(&h[34], 16);    // bits per sample
  std::memcpy(&h[36], "data", 4);
  Put32(&h[40], dataBytes);
  return h;
}

static_assert(std::endian::native == std::endian::little,
              "rendered samples are written as they lie in memory");

void WavFileWriter::Begin(uint64_t samples) {
  const uint64_t dataBytes = samples * sizeof(int16_t);
  // A RIFF file counts its size in 32 bits.
  if (dataBytes > std::numeric_limits<uint32_t>::max() - (kWavHeaderSize - 8)) {
    throw IoError("The rendered audio is too long for a wave-file");
  }
  expected_ = kWavHeaderSize + dataBytes;
  const auto header = WavHeader(static_cast<uint32_t>(dataBytes));
  out_.Write(header.data(), header.size());
}

void WavFileWriter::Finish() {
  if (out_.Written() != expected_) {
    throw IoError("The rendered audio does not match its wave-file header");
  }
  out_.Finish();
}

} // namespace lw
