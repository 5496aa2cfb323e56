#pragma once

#include "engine/BlackBox.h"
#include "engine/Vinyl.h"
#include "song/FileIo.h"

#include <cmath>
#include <memory>

namespace lw::bench {

// A busy song: all three voices sounding on every pattern (a pitched drum, an
// instrument and a stretched loop), every channel sending to a long delay, overdrive on
// two channels and the vinyl noise on, over eight sequence slots.
inline std::unique_ptr<Engine> BusySong() {
  auto e = std::make_unique<Engine>();
  e->NewSong();
  LoadVinylNoise(*e, ProgramFolder() + kVinylNoiseFile);
  const SampleCategory kinds[] = {SampleCategory::Drum, SampleCategory::Instrument,
                                  SampleCategory::Loop};
  for (int slot = 0; slot < 3; ++slot) {
    SampleData data(88200);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<int16_t>(20000 * std::sin(0.01 * (slot + 1) * static_cast<double>(i)));
    }
    FillSlot(e->samples.slots[slot], std::move(data), 44100, "s", kinds[slot]);
  }
  Song& song = e->state.song;
  song.vinylAmount = 60;
  song.distortAmount = 40;
  song.delaySteps = 3;
  song.delayFeedback = 70;
  for (int p = 0; p < 8; ++p) {
    for (int ch = 0; ch < kChannels; ++ch) {
      Channel& channel = song.channel(0, p, ch);
      channel.delaySend = 40;
      channel.distortOn = ch != 2 ? 1 : 0;
      channel.volume = 100;
      for (int st = 0; st < kSteps; st += (ch == 2 ? 16 : 2)) {
        Step& step = channel.steps[st];
        step.trigger = 1;
        step.sample = static_cast<uint8_t>(ch);
        step.note = 30 + st;
        step.pitch = static_cast<uint8_t>(80 + 3 * st);
      }
    }
    e->state.sequence.slots[p] = {0, static_cast<int8_t>(p)};
  }
  e->UpdateTiming();
  return e;
}

} // namespace lw::bench
