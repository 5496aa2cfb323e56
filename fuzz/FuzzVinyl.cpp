// The vinyl-noise loader on any bytes, followed by a little playback with the noise on
// (its amount taken from the input), so that any noise length is played and wrapped.
#include "FuzzSupport.h"
#include "engine/Engine.h"
#include "engine/Vinyl.h"

#include <algorithm>
#include <array>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static lw::Engine* const engine = [] {
    auto* e = new lw::Engine();
    const lw::EngineHold hold(e->engineLock);
    e->NewSong();
    return e;
  }();
  lw::fuzz::ForEachSource(data, size, [&](lw::ReadOnlyFile& file) {
    lw::SetVinylNoise(*engine, lw::ReadVinylNoise(file));
    const lw::EngineHold hold(engine->engineLock);
    engine->state.song.vinylAmount = size == 0 ? 50 : data[0];
    engine->playing = false;
    engine->ProcessStep();
    engine->playing = true;
    // Enough samples to play the whole noise and wrap, up to 3000.
    std::array<int16_t, 3000> out{};
    engine->RenderBlock(out.data(), std::min<std::size_t>(out.size(), engine->vinyl.count + 100));
    engine->playing = false;
  });
  return 0;
}
