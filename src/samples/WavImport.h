#pragma once

#include "samples/SampleTable.h"
#include "song/ReadOnlyFile.h"
#include "song/UserPrompts.h"

#include <cstdint>
#include <string>

namespace lw {

// At most this much sample data is imported ("4 Mb"): 2,097,152 values.
inline constexpr uint32_t kImportLimitBytes = 4 * 1024 * 1024;
// Samples are stored with a 16-bit rate; a file above it is resampled to this rate.
inline constexpr uint32_t kHighestStoredRate = 65535;
inline constexpr uint32_t kResampledRate = 44100;
// Asked before a raw or converted file is cut to the limit.
inline constexpr const char* kAudioTooLargeQuestion =
    "This audio file is larger than 4 Mb. Import the first part anyway ?";

// The description of the last import. The sample manager owns the one instance and
// reads it right after each import; sampleRate, bits and channels change only when
// data was imported, name on every call.
struct tWavImportInfo {
  int32_t sampleRate = 0; // Hz; 44100 for raw data and for resampled files
  uint8_t bits = 0;       // 16 after an import
  std::string name;       // the file name without its folder, cut before its first '.'
  uint8_t channels = 0;   // 1 after an import
};

// What an import read: `bytes` is even and 0 when nothing was imported; `data` holds
// bytes / 2 values.
struct ImportedAudio {
  uint32_t bytes = 0;
  SampleData data;
};

// The readers open the file read-only, tell the user through `prompts` why a file is
// refused, ask before they cut a file to the limit, and report a read that fails after
// the file was opened through the general error report; in all those cases they return
// nothing. Interface thread; they take no lock, so call them outside the engine lock.

// Reads `path` as WAV when its upper-case form contains ".WAV" anywhere (folders
// included). Any other file whose content begins a sound container (LooksLikeSoundFile)
// goes through the converting import, so an MP3 or FLAC never becomes a slot of noise;
// the rest is raw data. Sets importInfo.name.
[[nodiscard]] ImportedAudio ImportAudioFile(const std::string& path, UserPrompts& prompts,
                                            tWavImportInfo& importInfo);

// A 16-bit mono PCM WAV file. A rate above 65535 Hz is resampled to 44100 Hz, since a
// sample slot keeps its rate in 16 bits.
[[nodiscard]] ImportedAudio ReadWavFile(const std::string& path, UserPrompts& prompts,
                                        tWavImportInfo& importInfo);

// Headerless signed 16-bit little-endian mono data at 44100 Hz.
[[nodiscard]] ImportedAudio ReadRawFile(const std::string& path, UserPrompts& prompts,
                                        tWavImportInfo& importInfo);

// The same readers on a file already open (or bytes in memory), named `name` in messages.
[[nodiscard]] ImportedAudio ReadWav(ReadOnlyFile& file, const std::string& name,
                                    UserPrompts& prompts, tWavImportInfo& importInfo);
[[nodiscard]] ImportedAudio ReadRaw(ReadOnlyFile& file, const std::string& name,
                                    UserPrompts& prompts, tWavImportInfo& importInfo);

// The sample name of a path: the text after the last '/' cut before its first '.', and
// empty when the file name has no '.'.
[[nodiscard]] std::string ImportNameOf(const std::string& path);

} // namespace lw
