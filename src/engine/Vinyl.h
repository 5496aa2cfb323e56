#pragma once

#include "engine/Engine.h"
#include "song/ReadOnlyFile.h"
#include "song/Uninitialized.h"

#include <string>

namespace lw {

// The vinyl-noise data file beside the program: headerless signed 16-bit little-endian
// mono samples, looped one value per output sample.
inline constexpr const char* kVinylNoiseFile = "loopwren.dll";
// Longer files are played from their first 32 MiB (over six minutes of noise).
inline constexpr uint64_t kMaxVinylBytes = 32ULL << 20;

// Loads the noise once at start-up, before any playback: a missing, unreadable or empty
// file leaves the noise off, silently; a trailing odd byte is ignored. Interface thread,
// playback stopped.
void LoadVinylNoise(Engine& engine, const std::string& path);

// The two halves of it: the values an open file (or bytes in memory) holds, none when a
// read fails; and putting them in place.
[[nodiscard]] UninitializedVector<int16_t> ReadVinylNoise(ReadOnlyFile& file);
void SetVinylNoise(Engine& engine, UninitializedVector<int16_t> noise);

} // namespace lw
