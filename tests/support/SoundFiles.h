#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lw::test {

// A sound file as libsndfile reads it back: its rate, channels, and its samples as
// integers at the file's own depth (16-bit files in 16 bits, 24-bit ones in 24), or for
// lossy files at 16 bits.
struct SoundFile {
  bool opened = false;
  int rate = 0;
  int channels = 0;
  int format = 0;
  std::vector<int32_t> samples;
  std::vector<float> floats;
};

inline SoundFile ReadSoundFile(const std::string& path) {
  SoundFile file;
  SF_INFO info{};
  SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
  if (in == nullptr) {
    return file;
  }
  file.opened = true;
  file.rate = info.samplerate;
  file.channels = info.channels;
  file.format = info.format;
  const auto frames =
      static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels);
  std::vector<int32_t> raw(frames);
  const sf_count_t got = sf_read_int(in, raw.data(), static_cast<sf_count_t>(frames));
  raw.resize(static_cast<std::size_t>(got));
  sf_seek(in, 0, SEEK_SET);
  file.floats.resize(frames);
  file.floats.resize(static_cast<std::size_t>(
      sf_read_float(in, file.floats.data(), static_cast<sf_count_t>(frames))));
  sf_close(in);
  const int shift = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 ? 8 : 16;
  file.samples.reserve(raw.size());
  for (const int32_t v : raw) {
    file.samples.push_back(v >> shift); // exact: the low bits of a PCM file are zero
  }
  return file;
}

} // namespace lw::test
