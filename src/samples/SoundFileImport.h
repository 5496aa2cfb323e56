#pragma once

#include "samples/WavImport.h"
#include "song/ReadOnlyFile.h"
#include "song/UserPrompts.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lw {

// How many leading bytes LooksLikeSoundFile wants to see (fewer are fine).
inline constexpr std::size_t kSoundFileHeadBytes = 4096;

// Whether `head`, the first bytes of a file, begins a container libsndfile decodes:
// RIFF or RF64 WAVE, Wave64, AIFF or AIFC, FLAC, Ogg, CAF, or MP3 (an ID3 tag, or two
// consecutive MPEG audio frame headers, so that raw data starting with a sync-like value
// stays raw).
[[nodiscard]] bool LooksLikeSoundFile(std::span<const uint8_t> head);

// The converting import: decodes any file libsndfile reads and turns it into a sample.
//
//   - Each frame becomes one value: every channel is scaled to the 16-bit range
//     (libsndfile's normalised double times 32768, exact for every integer depth), the
//     channels are summed in double and divided by the channel count, and the mean is
//     rounded half to even and clipped to [-32768, 32767]. Floating-point data is
//     treated alike; NaN gives 0.
//   - The file's rate is the sample's rate up to 65535 Hz; above it the kept data is
//     resampled to 44100 Hz as the WAV import does.
//   - At most kImportLimitBytes of values are kept: with more sound in the file the user
//     is asked whether to import the first part.
//   - importInfo describes the result as the WAV import does (16 bits, one channel).
//
// The file is read through `file`, so a pipe or device is refused before any decoding,
// and decoding runs in bounded pieces that stop at the limit whatever a header claims.
// A file that cannot be decoded gets a warning naming it and the reason. Interface
// thread, outside the engine lock.
[[nodiscard]] ImportedAudio ConvertSound(ReadOnlyFile& file, const std::string& name,
                                         UserPrompts& prompts, tWavImportInfo& importInfo);

// The same on a path; also sets importInfo.name as ImportAudioFile does.
[[nodiscard]] ImportedAudio ConvertSoundFile(const std::string& path, UserPrompts& prompts,
                                             tWavImportInfo& importInfo);

// Whether `path` is named as WAV (as ImportAudioFile tells) and holds a WAV the plain
// import refuses for its depth or its channel count: more than one channel, or 8, 24 or
// 32-bit or floating-point samples. Such a file is converted when it is dropped.
[[nodiscard]] bool WavNeedsConversion(const std::string& path);

// The warning of a file the converting import cannot read.
[[nodiscard]] std::string SoundFileErrorText(const std::string& name, std::string_view reason);

} // namespace lw
