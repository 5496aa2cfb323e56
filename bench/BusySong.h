#pragma once

#include "engine/Engine.h"
#include "engine/Vinyl.h"
#include "song/Paths.h"
#include "song/UserPrompts.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lw::bench {

// A render's prompts with nobody to answer: every question is declined.
class NoPrompts : public UserPrompts {
public:
  void Notice(std::string_view) override {}
  void Warning(std::string_view) override {}
  bool Confirm(std::string_view) override { return false; }
  void ReportIoError(std::string_view) override {}
  std::optional<std::string> AskOpenFile(const FileDialogSpec&) override { return {}; }
  std::optional<std::string> AskSaveFile(const FileDialogSpec&) override { return {}; }
};

// The busy song a user renders while mixing: 128 sequence slots at 120 BPM (256 s),
// three voices on every step (a drum, an instrument and a loop, every fourth step a
// RetrigLoop), a delay of 3 steps with 60 % feedback, overdrive 32 on every channel,
// every channel sending `sendPercent` to the delay and the vinyl noise at
// `vinylPercent`. The sample values are odd as well as even, so at 50 % the
// percentage scaling meets its exact halves as often as real music makes it.
inline std::unique_ptr<Engine> BusySong(int sendPercent = 50, int vinylPercent = 50) {
  auto e = std::make_unique<Engine>();
  LoadVinylNoise(*e, ProgramFolder() + kVinylNoiseFile);
  const EngineHold hold(e->engineLock);
  e->NewSong();
  const SampleCategory kinds[] = {SampleCategory::Drum, SampleCategory::Instrument,
                                  SampleCategory::Loop};
  for (int slot = 0; slot < 3; ++slot) {
    SampleData data(slot == 2 ? 88192 : 30000);
    for (std::size_t i = 0; i < data.size(); ++i) {
      const double t = static_cast<double>(i);
      data[i] = static_cast<int16_t>(
          std::lround(15000 * std::sin(0.013 * (slot + 1) * t) + 3000 * std::sin(0.31 * t)));
    }
    FillSlot(e->samples.slots[slot], std::move(data), 44100, "s", kinds[slot]);
  }
  Song& song = e->state.song;
  song.tempo = 120;
  song.vinylAmount = vinylPercent;
  song.distortAmount = 32;
  song.delaySteps = 3;
  song.delayFeedback = 60;
  for (int p = 0; p < 8; ++p) {
    for (int ch = 0; ch < kChannels; ++ch) {
      Channel& channel = song.channel(0, p, ch);
      channel.delaySend = sendPercent;
      channel.distortOn = 1;
      channel.volume = 100;
      for (int st = 0; st < kSteps; ++st) {
        Step& step = channel.steps[st];
        step.trigger = 1;
        step.sample = static_cast<uint8_t>(ch);
        step.note = 30 + st;
        step.pitch = static_cast<uint8_t>(80 + 3 * st);
        if (st % 4 == 3) {
          step.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
          step.startPos = 64 * st;
          step.endPos = 64 * st + 63;
        }
      }
    }
  }
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    e->state.sequence.slots[slot] = {0, static_cast<int8_t>(slot % 8)};
  }
  e->UpdateTiming();
  return e;
}

} // namespace lw::bench
