#include "samples/SoundFileImport.h"

#include "samples/Resample.h"
#include "song/FileIo.h"
#include "song/Round.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace lw {

namespace {

constexpr std::size_t kLimitValues = kImportLimitBytes / 2;
// Doubles decoded per piece, whatever the channel count.
constexpr std::size_t kPieceValues = 1 << 16;

bool StartsWith(std::span<const uint8_t> head, std::size_t at, const char* text) {
  const std::size_t n = std::strlen(text);
  return head.size() >= at + n && std::memcmp(head.data() + at, text, n) == 0;
}

// The length in bytes of the MPEG audio frame whose header starts `h`, or 0 when the four
// bytes are not a header with a usable bitrate and rate. Free-format streams (bitrate 0)
// give 0 as well: their frames cannot be measured from the header.
struct MpegHeader {
  uint32_t length = 0;
  uint8_t version = 0;
  uint8_t layer = 0;
  uint8_t rateIndex = 0;
};

MpegHeader ParseMpegHeader(const uint8_t* h) {
  constexpr std::array<std::array<uint16_t, 15>, 5> kKbps{{
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // 1, I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // 1, II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // 1, III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // 2, I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // 2, II/III
  }};
  constexpr std::array<uint32_t, 3> kMpeg1Rates{44100, 48000, 32000};
  MpegHeader header;
  if (h[0] != 0xFF || (h[1] & 0xE0U) != 0xE0U) {
    return header;
  }
  const unsigned version = (h[1] >> 3U) & 3U; // 0: 2.5, 1: reserved, 2: 2, 3: 1
  const unsigned layer = (h[1] >> 1U) & 3U;   // 1: III, 2: II, 3: I, 0: reserved
  const unsigned bitrateIndex = h[2] >> 4U;
  const unsigned rateIndex = (h[2] >> 2U) & 3U;
  const unsigned padding = (h[2] >> 1U) & 1U;
  if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return header;
  }
  const bool mpeg1 = version == 3;
  const uint32_t rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0U : version == 2 ? 1U : 2U);
  const std::size_t table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
  const uint32_t bitrate = kKbps[table][bitrateIndex] * 1000U;
  if (layer == 3) {
    header.length = (12 * bitrate / rate + padding) * 4;
  } else {
    header.length = (layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  }
  header.version = static_cast<uint8_t>(version);
  header.layer = static_cast<uint8_t>(layer);
  header.rateIndex = static_cast<uint8_t>(rateIndex);
  return header;
}

bool StartsWithMpegFrames(std::span<const uint8_t> head) {
  if (head.size() < 4) {
    return false;
  }
  const MpegHeader first = ParseMpegHeader(head.data());
  if (first.length == 0 || head.size() < first.length + 4) {
    return false;
  }
  const MpegHeader second = ParseMpegHeader(head.data() + first.length);
  return second.length != 0 && second.version == first.version && second.layer == first.layer &&
         second.rateIndex == first.rateIndex;
}

// libsndfile reads through the project's file, so the same refusals and bounds hold. A
// C library cannot be unwound through: a failed read ends the data and is kept here.
struct VirtualFile {
  ReadOnlyFile& file;
  std::string error;
};

sf_count_t FileLength(void* user) {
  const auto& vf = *static_cast<VirtualFile*>(user);
  return vf.file.SizeKnown() ? static_cast<sf_count_t>(vf.file.Size()) : 0;
}

sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
  auto& vf = *static_cast<VirtualFile*>(user);
  sf_count_t base = 0;
  if (whence == SEEK_CUR) {
    base = static_cast<sf_count_t>(vf.file.Position());
  } else if (whence == SEEK_END) {
    base = FileLength(user);
  }
  if (offset < -base || offset > INT64_MAX / 2 - base) {
    return -1;
  }
  try {
    vf.file.Seek(static_cast<uint64_t>(base + offset));
  } catch (const IoError& e) {
    vf.error = e.what();
    return -1;
  }
  return base + offset;
}

sf_count_t FileRead(void* buffer, sf_count_t count, void* user) {
  auto& vf = *static_cast<VirtualFile*>(user);
  if (count <= 0 || !vf.error.empty()) {
    return 0;
  }
  try {
    return static_cast<sf_count_t>(vf.file.ReadSome(buffer, static_cast<std::size_t>(count)));
  } catch (const IoError& e) {
    vf.error = e.what();
    return 0;
  }
}

sf_count_t FileWrite(const void* /*buffer*/, sf_count_t /*count*/, void* /*user*/) {
  return 0;
}

sf_count_t FileTell(void* user) {
  return static_cast<sf_count_t>(static_cast<VirtualFile*>(user)->file.Position());
}

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

// One frame's value under the conversion rule (see ConvertSound).
int16_t MixFrame(const double* frame, int channels) {
  double sum = 0;
  for (int c = 0; c < channels; ++c) {
    sum += frame[c] * 32768.0;
  }
  return static_cast<int16_t>(std::clamp(RoundHalfEven(sum / channels), -32768, 32767));
}

// Decodes up to `limit` frames into `out`; false when libsndfile or a read reported an
// error (the reason is then in `error`). `declared` is the length the header claims, which
// only sizes the pieces read: a header may lie either way.
bool Decode(SNDFILE* sound, int channels, sf_count_t declared, std::size_t limit, SampleData& out,
            std::string& error) {
  // No bigger than the sound claims to fill, and never zeroed: every value used is read
  // first.
  std::size_t framesPerPiece = std::max<std::size_t>(1, kPieceValues / channels);
  if (declared >= 0 && static_cast<uint64_t>(declared) < framesPerPiece) {
    framesPerPiece = static_cast<std::size_t>(declared) + 1;
  }
  const auto piece =
      std::make_unique_for_overwrite<double[]>(framesPerPiece * static_cast<std::size_t>(channels));
  while (out.size() < limit) {
    const std::size_t want = std::min(framesPerPiece, limit - out.size());
    const sf_count_t got = sf_readf_double(sound, piece.get(), static_cast<sf_count_t>(want));
    for (sf_count_t i = 0; i < got; ++i) {
      out.push_back(MixFrame(&piece[static_cast<std::size_t>(i) * channels], channels));
    }
    if (sf_error(sound) != SF_ERR_NO_ERROR) {
      error = sf_strerror(sound);
      return false;
    }
    if (got < static_cast<sf_count_t>(want)) {
      break;
    }
  }
  return true;
}

ImportedAudio ConvertOpen(SNDFILE* sound, const SF_INFO& format, VirtualFile& vf,
                          const std::string& name, UserPrompts& prompts, tWavImportInfo& info) {
  if (format.channels <= 0 || format.samplerate <= 0) {
    prompts.Warning(SoundFileErrorText(name, "it gives a sample rate or a channel count of 0"));
    return {};
  }
  // Integer data read as double is scaled by 1 / 2^(bits - 1): exact, and times 32768
  // it gives 16-bit values back unchanged.
  sf_command(sound, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  sf_command(sound, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_FALSE);

  SampleData data;
  std::string error;
  // One frame past the limit tells whether the file holds more than can be kept.
  const bool decoded = Decode(sound, format.channels, format.frames, kLimitValues + 1, data, error);
  if (!vf.error.empty()) {
    prompts.ReportIoError(FileErrorText(vf.error, name));
    return {};
  }
  if (!decoded) {
    prompts.Warning(SoundFileErrorText(name, error));
    return {};
  }
  if (data.size() > kLimitValues) {
    if (!prompts.Confirm(kAudioTooLargeQuestion)) {
      return {};
    }
    data.resize(kLimitValues);
  }
  if (data.empty()) {
    prompts.Warning(SoundFileErrorText(name, "it holds no sound"));
    return {};
  }
  auto rate = static_cast<uint32_t>(format.samplerate);
  if (rate > kHighestStoredRate) {
    data = Resample(data, rate, kResampledRate);
    rate = kResampledRate;
    if (data.empty()) {
      return {};
    }
  }
  info.sampleRate = static_cast<int32_t>(rate);
  info.bits = 16;
  info.channels = 1;
  const auto bytes = static_cast<uint32_t>(data.size() * 2);
  return {bytes, std::move(data)};
}

} // namespace

bool LooksLikeSoundFile(std::span<const uint8_t> head) {
  static constexpr std::array<uint8_t, 16> kWave64Riff{0x72, 0x69, 0x66, 0x66, 0x2E, 0x91,
                                                       0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB,
                                                       0x04, 0xC1, 0x00, 0x00};
  const bool riff =
      (StartsWith(head, 0, "RIFF") || StartsWith(head, 0, "RF64")) && StartsWith(head, 8, "WAVE");
  const bool aiff =
      StartsWith(head, 0, "FORM") && (StartsWith(head, 8, "AIFF") || StartsWith(head, 8, "AIFC"));
  const bool wave64 = head.size() >= kWave64Riff.size() &&
                      std::equal(kWave64Riff.begin(), kWave64Riff.end(), head.begin());
  const bool id3 = StartsWith(head, 0, "ID3") && head.size() >= 4 && head[3] >= 2 && head[3] <= 4;
  return riff || aiff || wave64 || id3 || StartsWith(head, 0, "fLaC") ||
         StartsWith(head, 0, "OggS") || StartsWith(head, 0, "caff") || StartsWithMpegFrames(head);
}

std::string SoundFileErrorText(const std::string& name, std::string_view reason) {
  return "Could not read \"" + name + "\" as audio: " + std::string(reason);
}

ImportedAudio ConvertSound(ReadOnlyFile& file, const std::string& name, UserPrompts& prompts,
                           tWavImportInfo& importInfo) {
  VirtualFile vf{file, {}};
  SF_VIRTUAL_IO io{FileLength, FileSeek, FileRead, FileWrite, FileTell};
  SF_INFO format{};
  try {
    const Sndfile sound(sf_open_virtual(&io, SFM_READ, &format, &vf));
    if (!vf.error.empty()) {
      prompts.ReportIoError(FileErrorText(vf.error, name));
      return {};
    }
    if (!sound) {
      prompts.Warning(SoundFileErrorText(name, sf_strerror(nullptr)));
      return {};
    }
    return ConvertOpen(sound.get(), format, vf, name, prompts, importInfo);
  } catch (const IoError& error) { // from the resampler
    prompts.ReportIoError(FileErrorText(error.what(), name));
  } catch (const std::bad_alloc&) {
    prompts.ReportIoError(FileErrorText(kOutOfMemory, name));
  }
  return {};
}

bool WavNeedsConversion(const std::string& path) {
  std::string upper = path;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  ReadOnlyFile file;
  if (upper.find(".WAV") == std::string::npos || !file.Open(path)) {
    return false;
  }
  VirtualFile vf{file, {}};
  SF_VIRTUAL_IO io{FileLength, FileSeek, FileRead, FileWrite, FileTell};
  SF_INFO format{};
  const Sndfile sound(sf_open_virtual(&io, SFM_READ, &format, &vf));
  if (!sound) {
    return false;
  }
  switch (format.format & SF_FORMAT_SUBMASK) {
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_PCM_U8:
  case SF_FORMAT_PCM_24:
  case SF_FORMAT_PCM_32:
  case SF_FORMAT_FLOAT:
  case SF_FORMAT_DOUBLE:
    return true;
  case SF_FORMAT_PCM_16:
    return format.channels > 1;
  default:
    return false;
  }
}

ImportedAudio ConvertSoundFile(const std::string& path, UserPrompts& prompts,
                               tWavImportInfo& importInfo) {
  importInfo.name = ImportNameOf(path);
  ReadOnlyFile file;
  int error = 0;
  if (!file.Open(path, &error)) {
    prompts.Warning(SoundFileErrorText(path, SystemErrorText(error)));
    return {};
  }
  return ConvertSound(file, path, prompts, importInfo);
}

} // namespace lw
