#include "samples/WavImport.h"

#include "samples/Resample.h"
#include "samples/SoundFileImport.h"
#include "song/ReadOnlyFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <new>

namespace lw {

namespace {

constexpr const char* kOpenFailed = "An error occurred while opening this file...";
constexpr const char* kNotValidWav = "This appears not to be a valid WAV-file...";
constexpr const char* kCompressed = "This appears to be a compressed WAV-file...";
constexpr const char* kNoRateOrChannels =
    "This WAV-file gives a sample rate or a channel count of 0 and cannot be played...";
constexpr const char* kNoData = "This WAV-file contains no data, or is in an unknown format...";
constexpr const char* kStereo = "This appears to be stereo WAV-file...";
constexpr const char* kWavTooLarge =
    "This WAV-file is larger than 4 Mb. Import the first part anyway ?";
constexpr const char* kRawTooLarge = kAudioTooLargeQuestion;

// The data tag may begin at any of this many offsets from the end of the byte-rate field,
// which lets it sit behind other chunks, or even inside one.
constexpr std::size_t kDataScanOffsets = 1500;

using Tag = std::array<uint8_t, 4>;

// Compares a four-character tag without regard to letter case.
bool TagIs(const uint8_t* tag, const char* upper) {
  for (int i = 0; i < 4; ++i) {
    if (std::toupper(tag[i]) != static_cast<unsigned char>(upper[i])) {
      return false;
    }
  }
  return true;
}

Tag ReadTag(ReadOnlyFile& file) {
  Tag tag{};
  file.ReadExactly(tag.data(), tag.size());
  return tag;
}

uint16_t ReadLe16(ReadOnlyFile& file) {
  std::array<uint8_t, 2> b{};
  file.ReadExactly(b.data(), b.size());
  return static_cast<uint16_t>(b[0] | (b[1] << 8U));
}

uint32_t ReadLe32(ReadOnlyFile& file) {
  std::array<uint8_t, 4> b{};
  file.ReadExactly(b.data(), b.size());
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8U) |
         (static_cast<uint32_t>(b[2]) << 16U) | (static_cast<uint32_t>(b[3]) << 24U);
}

// The number of bytes to import: at most the limit, and even.
uint32_t BytesToRead(uint64_t available) {
  const uint64_t capped = std::min<uint64_t>(available, kImportLimitBytes);
  return static_cast<uint32_t>(capped & ~uint64_t{1});
}

// Reads `bytes` (even) from the current position; the values are little-endian like the
// machine (Song.h checks that).
SampleData ReadSamples(ReadOnlyFile& file, uint32_t bytes) {
  SampleData data;
  file.ReadValues(data, bytes / 2); // never allocates what the file cannot hold
  return data;
}

// Finds the data tag at or after the current position and leaves the position just past
// it. False when none of the offsets the scan may try holds it.
bool FindDataTag(ReadOnlyFile& file) {
  const uint64_t start = file.Position();
  std::array<uint8_t, kDataScanOffsets + 3> window{};
  const std::size_t got = file.ReadSome(window.data(), window.size());
  for (std::size_t offset = 0; offset < kDataScanOffsets && offset + 4 <= got; ++offset) {
    if (TagIs(&window[offset], "DATA")) {
      file.Seek(start + offset + 4);
      return true;
    }
  }
  return false;
}

// The checks of a WAV file in the order the user meets them. Throws IoError when the file
// ends early.
ImportedAudio ReadWavBody(ReadOnlyFile& file, UserPrompts& prompts, tWavImportInfo& info) {
  if (!TagIs(ReadTag(file).data(), "RIFF")) {
    prompts.Warning(kNotValidWav);
    return {};
  }
  (void)ReadLe32(file); // the RIFF size says nothing the file size does not
  if (!TagIs(ReadTag(file).data(), "WAVE") || !TagIs(ReadTag(file).data(), "FMT ")) {
    prompts.Warning(kNotValidWav);
    return {};
  }
  (void)ReadLe32(file); // the format chunk's size: the data tag is searched for instead
  if (ReadLe16(file) != 1) {
    prompts.Warning(kCompressed);
    return {};
  }
  const uint16_t channels = ReadLe16(file);
  const uint32_t rate = ReadLe32(file);
  const uint32_t byteRate = ReadLe32(file);
  // The bits per sample are derived from the byte rate, which divides by both.
  if (rate == 0 || channels == 0) {
    prompts.Warning(kNoRateOrChannels);
    return {};
  }
  const auto bits = static_cast<uint16_t>(byteRate / rate / channels * 8);

  if (!FindDataTag(file)) {
    prompts.Warning(kNoData);
    return {};
  }
  const uint32_t dataSize = ReadLe32(file);
  if (bits != 16) {
    prompts.Warning("This appears to be a " + std::to_string(bits) +
                    " bit WAV-file... \r\nPlease convert it to 16 bit first.");
    return {};
  }
  if (channels != 1) {
    prompts.Warning(kStereo);
    return {};
  }
  if (dataSize > kImportLimitBytes && !prompts.Confirm(kWavTooLarge)) {
    return {};
  }
  const uint32_t bytes = BytesToRead(dataSize);
  if (bytes == 0) {
    return {};
  }
  SampleData data = ReadSamples(file, bytes);
  uint32_t storedRate = rate;
  if (rate > kHighestStoredRate) {
    data = Resample(data, rate, kResampledRate);
    storedRate = kResampledRate;
    if (data.empty()) {
      return {};
    }
  }
  info.sampleRate = static_cast<int32_t>(storedRate);
  info.bits = static_cast<uint8_t>(bits);
  info.channels = static_cast<uint8_t>(channels);
  const auto stored = static_cast<uint32_t>(data.size() * 2);
  return {stored, std::move(data)};
}

ImportedAudio ReadRawBody(ReadOnlyFile& file, UserPrompts& prompts, tWavImportInfo& info) {
  SampleData data;
  if (file.SizeKnown()) {
    if (file.Size() > kImportLimitBytes && !prompts.Confirm(kRawTooLarge)) {
      return {};
    }
    const uint32_t bytes = BytesToRead(file.Size());
    if (bytes == 0) {
      return {};
    }
    data = ReadSamples(file, bytes);
  } else {
    // A file that does not tell its size: read what it holds, one value past the limit
    // to learn whether it is larger.
    file.ReadValuesUpTo(data, kImportLimitBytes / 2 + 1);
    if (data.size() > kImportLimitBytes / 2) {
      if (!prompts.Confirm(kRawTooLarge)) {
        return {};
      }
      data.resize(kImportLimitBytes / 2);
    }
    if (data.empty()) {
      return {};
    }
  }
  const auto bytes = static_cast<uint32_t>(data.size() * 2);
  info.sampleRate = static_cast<int32_t>(kResampledRate);
  info.bits = 16;
  info.channels = 1;
  return {bytes, std::move(data)};
}

using Reader = ImportedAudio (*)(ReadOnlyFile&, UserPrompts&, tWavImportInfo&);

// Runs a reader on an open file; a read that fails abandons the import and reaches the
// general error report with the file's name, and so does a file too large for memory.
ImportedAudio ReadFrom(Reader reader, ReadOnlyFile& file, const std::string& path,
                       UserPrompts& prompts, tWavImportInfo& info) {
  try {
    return reader(file, prompts, info);
  } catch (const IoError& error) {
    prompts.ReportIoError(FileErrorText(error.what(), path));
  } catch (const std::bad_alloc&) {
    prompts.ReportIoError(FileErrorText(kOutOfMemory, path));
  }
  return {};
}

ImportedAudio ReadWith(Reader reader, const std::string& path, UserPrompts& prompts,
                       tWavImportInfo& info) {
  ReadOnlyFile file;
  if (!file.Open(path)) {
    prompts.Warning(kOpenFailed);
    return {};
  }
  return ReadFrom(reader, file, path, prompts, info);
}

// A file not named as WAV: raw data, unless its first bytes say it is a sound file.
ImportedAudio ReadUnnamedFile(const std::string& path, UserPrompts& prompts, tWavImportInfo& info) {
  ReadOnlyFile file;
  if (!file.Open(path)) {
    prompts.Warning(kOpenFailed);
    return {};
  }
  bool sound = false;
  if (file.SizeKnown()) { // a file of unknown size may not seek back: it stays raw
    try {
      std::array<uint8_t, kSoundFileHeadBytes> head{};
      const std::size_t got = file.ReadSome(head.data(), head.size());
      sound = LooksLikeSoundFile({head.data(), got});
      file.Seek(0);
    } catch (const IoError& error) {
      prompts.ReportIoError(FileErrorText(error.what(), path));
      return {};
    }
  }
  return sound ? ConvertSound(file, path, prompts, info)
               : ReadFrom(ReadRawBody, file, path, prompts, info);
}

} // namespace

ImportedAudio ReadWavFile(const std::string& path, UserPrompts& prompts,
                          tWavImportInfo& importInfo) {
  return ReadWith(ReadWavBody, path, prompts, importInfo);
}

ImportedAudio ReadRawFile(const std::string& path, UserPrompts& prompts,
                          tWavImportInfo& importInfo) {
  return ReadWith(ReadRawBody, path, prompts, importInfo);
}

ImportedAudio ReadWav(ReadOnlyFile& file, const std::string& name, UserPrompts& prompts,
                      tWavImportInfo& importInfo) {
  return ReadFrom(ReadWavBody, file, name, prompts, importInfo);
}

ImportedAudio ReadRaw(ReadOnlyFile& file, const std::string& name, UserPrompts& prompts,
                      tWavImportInfo& importInfo) {
  return ReadFrom(ReadRawBody, file, name, prompts, importInfo);
}

std::string ImportNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.find('.');
  return dot == std::string::npos ? std::string() : file.substr(0, dot);
}

ImportedAudio ImportAudioFile(const std::string& path, UserPrompts& prompts,
                              tWavImportInfo& importInfo) {
  std::string upper = path;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  ImportedAudio result = upper.find(".WAV") != std::string::npos
                             ? ReadWavFile(path, prompts, importInfo)
                             : ReadUnnamedFile(path, prompts, importInfo);
  importInfo.name = ImportNameOf(path);
  return result;
}

} // namespace lw
