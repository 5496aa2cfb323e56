// MIDI as it comes in, on any bytes: the reader's messages are well formed and do not
// depend on how the stream is cut, and the note path plays them into an engine whose
// voices stay sound.
//
// The input is a stream of events: a length byte, then that many bytes of MIDI, each
// event scheduled a few frames after the one before, as a JACK port delivers them.
#include "engine/Engine.h"
#include "live/LiveInput.h"
#include "live/MidiReader.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using namespace lw;

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

void CheckWellFormed(const MidiMessage& m) {
  Check(m.status >= 0x80 && m.status != 0xF0 && m.status != 0xF7);
  Check(m.data1 < 0x80 && m.data2 < 0x80);
  const int bytes = MidiDataBytes(m.status);
  Check(bytes >= 2 || m.data2 == 0);
  Check(bytes >= 1 || m.data1 == 0);
}

Engine& TheEngine() {
  static Engine* engine = [] {
    auto* e = new Engine;
    const EngineHold hold(e->engineLock);
    e->NewSong();
    SampleData sound(64);
    std::fill(sound.begin(), sound.end(), int16_t{1000});
    FillSlot(e->samples.slots[0], SampleData(sound.begin(), sound.end()), 44100, "drum",
             SampleCategory::Drum);
    FillSlot(e->samples.slots[1], std::move(sound), 22050, "lead", SampleCategory::Instrument);
    e->state.song.step(0, 0, 0, 0) = {1, 0, 255, 255, 0, 0, 100, {}, 36};
    e->state.song.step(0, 0, 1, 0) = {1, 1, 255, 255, 0, 0, 100, {}, 36};
    return e;
  }();
  return *engine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Whole and byte by byte, the stream gives the same messages.
  std::vector<MidiMessage> whole;
  std::vector<MidiMessage> split;
  MidiReader reader;
  reader.Feed(data, size, [&](const MidiMessage& m) { whole.push_back(m); });
  reader.Reset();
  for (std::size_t i = 0; i < size; ++i) {
    reader.Feed(data + i, 1, [&](const MidiMessage& m) { split.push_back(m); });
  }
  Check(whole == split);
  for (const MidiMessage& m : whole) {
    CheckWellFormed(m);
  }

  Engine& engine = TheEngine();
  LiveInput input;
  input.SetRecording(true);
  const EngineHold hold(engine.engineLock);
  engine.playing = size % 2 == 0;
  OutputFrame frame = 1000;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    reader.Reset();
    reader.Feed(data + at + 1, length, [&](const MidiMessage& m) {
      input.Schedule(m, frame + 64, frame > 500 ? frame - 500 : 0);
    });
    at += 1 + length;
    frame += 7;
  }
  std::vector<int16_t> out(64);
  std::vector<int32_t> stems(64 * Engine::kStems);
  Engine::StemOutputs stemOut{};
  for (int s = 0; s < Engine::kStems; ++s) {
    stemOut[static_cast<std::size_t>(s)] = stems.data() + 64 * s;
  }
  for (OutputFrame f = 1000; f < frame + 128; f += 64) {
    (void)input.ApplyDue(engine, f, true);
    if (engine.playing) {
      engine.RenderBlockWithStems(out.data(), stemOut, out.size());
    } else {
      engine.RenderLiveVoices(out.data(), stemOut, out.size(), input.liveVoices());
    }
  }
  for (const Voice& voice : engine.voices) {
    Check(std::isfinite(voice.speed) && voice.volume >= 0 && voice.volume <= 127);
  }
  LiveReport report;
  while (input.NextReport(report)) {
    Check(report.step < kSteps && report.channel < kChannels);
  }
  engine.playing = false;
  return 0;
}
