#include "engine/Vinyl.h"

#include "song/ReadOnlyFile.h"
#include "song/Uninitialized.h"

#include <algorithm>

namespace lw {

UninitializedVector<int16_t> ReadVinylNoise(ReadOnlyFile& file) {
  UninitializedVector<int16_t> noise;
  try {
    file.ReadValuesUpTo(noise, kMaxVinylBytes / sizeof(int16_t));
  } catch (const IoError&) {
    return {}; // an unreadable file leaves the noise off, like a missing one
  }
  return noise;
}

void SetVinylNoise(Engine& engine, UninitializedVector<int16_t> noise) {
  // Allocated before the lock is taken; the old buffers are freed after it.
  UninitializedVector<int16_t> scaled(noise.size()); // the mixer fills it before reading
  const EngineHold hold(engine.engineLock);
  VinylNoise& vinyl = engine.vinyl;
  std::swap(vinyl.noise, noise);
  std::swap(vinyl.scaled, scaled);
  vinyl.count = static_cast<uint32_t>(vinyl.noise.size());
  vinyl.position = 0;
  vinyl.scaledAmount = -1;
}

void LoadVinylNoise(Engine& engine, const std::string& path) {
  ReadOnlyFile file;
  SetVinylNoise(engine, file.Open(path) ? ReadVinylNoise(file) : UninitializedVector<int16_t>());
}

} // namespace lw
