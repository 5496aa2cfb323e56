#include "engine/Vinyl.h"

#include "song/FileIo.h"

#include <algorithm>

namespace lw {

void LoadVinylNoise(Engine& engine, const std::string& path) {
  VinylNoise& vinyl = engine.vinyl;
  vinyl.count = 0;
  vinyl.noise.clear();
  vinyl.position = 0;

  ReadOnlyFile file;
  if (!file.Open(path)) {
    return;
  }
  const uint64_t bytes = std::min(file.Size(), kMaxVinylBytes);
  std::vector<int16_t> noise(static_cast<std::size_t>(bytes / 2));
  try {
    file.ReadExactly(noise.data(), noise.size() * sizeof(int16_t));
  } catch (const IoError&) {
    return; // an unreadable file leaves the noise off, like a missing one
  }
  vinyl.noise = std::move(noise);
  vinyl.count = static_cast<uint32_t>(vinyl.noise.size());
}

} // namespace lw
