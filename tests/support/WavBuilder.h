#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lw::test {

// Builds WAV files byte by byte, so tests can break any field on purpose. The default is
// a canonical 16-bit mono 44100 Hz PCM file: the data tag starts at offset 36 and the
// samples at offset 44.
struct WavBuilder {
  std::string riff = "RIFF";
  std::string wave = "WAVE";
  std::string fmt = "fmt ";
  std::string dataTag = "data";
  uint16_t formatTag = 1;
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint32_t byteRate = 88200;
  std::vector<uint8_t> beforeFmt;                  // a chunk that should not be there
  std::vector<uint8_t> afterByteRate{2, 0, 16, 0}; // block align and bits per sample
  bool declaredSizeSet = false;
  uint32_t declaredSize = 0; // the data size field, when set
  std::vector<uint8_t> data;

  WavBuilder& Bits(uint16_t bits) {
    byteRate = rate * channels * (bits / 8U);
    return *this;
  }
  WavBuilder& DeclaredSize(uint32_t size) {
    declaredSizeSet = true;
    declaredSize = size;
    return *this;
  }
  WavBuilder& Samples(const std::vector<int16_t>& values) {
    data.clear();
    for (const int16_t v : values) {
      Le16(data, static_cast<uint16_t>(v));
    }
    return *this;
  }

  [[nodiscard]] std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out;
    Text(out, riff);
    Le32(out, static_cast<uint32_t>(36 + data.size()));
    Text(out, wave);
    out.insert(out.end(), beforeFmt.begin(), beforeFmt.end());
    Text(out, fmt);
    Le32(out, 16);
    Le16(out, formatTag);
    Le16(out, channels);
    Le32(out, rate);
    Le32(out, byteRate);
    out.insert(out.end(), afterByteRate.begin(), afterByteRate.end());
    Text(out, dataTag);
    Le32(out, declaredSizeSet ? declaredSize : static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }

  static void Text(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
  }
  static void Le16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8U));
  }
  static void Le32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
      out.push_back(static_cast<uint8_t>(v >> shift));
    }
  }
};

// `count` 16-bit values that differ from their neighbours, so a misplaced read shows.
inline std::vector<int16_t> Ramp(std::size_t count) {
  std::vector<int16_t> values(count);
  for (std::size_t i = 0; i < count; ++i) {
    values[i] = static_cast<int16_t>(static_cast<int32_t>(i * 7 % 65536) - 32768);
  }
  return values;
}

} // namespace lw::test
