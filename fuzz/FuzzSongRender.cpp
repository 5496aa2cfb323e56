// The song reader followed by the first few thousand samples of each render kind, so that
// songs the reader accepts, however odd their values, also drive the engine: every step
// mode, position, pitch, tempo, sample length and sequence entry a file can hold.
//
// One engine serves every input (building one per input would cost more than the
// render); each input starts it as the program starts with a song on its command line.
#include "FuzzSupport.h"
#include "audio_out/Render.h"
#include "engine/Engine.h"
#include "engine/Vinyl.h"
#include "samples/SongFile.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

using namespace lw;

// Ends a render after a few progress steps (the renders report every 2048 samples).
struct Enough {};
class StopSoon : public RenderProgress {
public:
  void SetCurrent(int /*percent*/) override {
    if (++calls_ > 2) {
      throw Enough{};
    }
  }

private:
  int calls_ = 0;
};

class NoSink : public PatternSink {
public:
  void Append(const int16_t* /*samples*/, std::size_t /*count*/) override {}
};

Engine& TheEngine() {
  static Engine* const engine = [] {
    auto* e = new Engine();
    // A short noise of odd length, so that it wraps within the render.
    UninitializedVector<int16_t> noise(1001);
    for (std::size_t i = 0; i < noise.size(); ++i) {
      noise[i] = static_cast<int16_t>((i * 7919U) % 65536U - 32768);
    }
    SetVinylNoise(*e, std::move(noise));
    return e;
  }();
  return *engine;
}

// The program right after start-up with this song: nothing sounding, a new song's state
// with the file's song, sequence and samples.
void StartWith(Engine& e, SongContent& content) LW_NO_THREAD_SAFETY_ANALYSIS {
  const EngineHold hold(e.engineLock);
  e.NewSong();
  std::swap(e.state.song, content.song);
  std::swap(e.state.sequence, content.sequence);
  std::swap(e.samples, content.samples);
  e.voices = {};
  e.delay.Create();
  e.vinyl.position = 0;
  e.songMode = false;
  e.UpdateTiming();
}

void RenderABit(const std::function<void(RenderProgress&)>& render) {
  StopSoon progress;
  try {
    render(progress);
  } catch (const Enough&) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ReadOnlyFile file;
  file.OpenMemory({data, size}, true, size);
  std::unique_ptr<SongContent> content;
  try {
    content = ReadSongBody(file);
  } catch (const IoError&) {
    return 0;
  }
  Engine& e = TheEngine();
  StartWith(e, *content);
  NoSink sink;
  const SongSequence& sequence = e.Interface().sequence;
  RenderABit([&](RenderProgress& p) { RenderPattern(e, 0, 0, sink, p); });
  const SequenceEntry first = sequence.slots[0];
  RenderABit([&](RenderProgress& p) {
    RenderPattern(e, first.bank >= 0 && first.bank < kBanks ? first.bank : 7,
                  first.pattern >= 0 && first.pattern < kPatterns ? first.pattern : 7, sink, p);
  });
  RenderABit([&](RenderProgress& p) { RenderSong(e, EntireSongRange(sequence), sink, p); });
  const auto loopFirst = static_cast<int32_t>(size % kSequenceSlots);
  const SlotRange loop = SelectionRange(loopFirst, 1 + static_cast<int32_t>(size % 3));
  {
    const EngineHold hold(e.engineLock);
    e.state.songPosition = loop.first;
    e.state.loopEnabled = true;
    e.state.loopFirstSlot = loop.first;
    e.state.loopLastSlot = loop.last;
  }
  RenderABit([&](RenderProgress& p) { RenderSong(e, loop, sink, p); });
  return 0;
}
