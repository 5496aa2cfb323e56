// Writes the demo song that `make run` opens: a starter kit of samples synthesised here
// (kick, snare, hats, a bass and a chord stab tuned to C, a shaker loop) and four
// patterns chained into a short song. Deterministic: the same bytes on every build.
//
// Usage: make_demo_song OUTPUT.LW
#include "samples/SongFile.h"
#include "song/FileIo.h"
#include "song/SongState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>

namespace {

using namespace lw;

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 2 * std::numbers::pi;

// A small, portable noise source.
class Noise {
public:
  double Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11U) * 0x1.0p-52 - 1.0;
  }

private:
  uint64_t state_ = 0x5EED5EED5EEDULL;
};

SampleData Render(double seconds, const std::function<double(double t, int i)>& voice) {
  SampleData data(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t i = 0; i < data.size(); ++i) {
    const double v = voice(static_cast<double>(i) / kRate, static_cast<int>(i));
    data[i] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 30000));
  }
  return data;
}

SampleData Kick() {
  double phase = 0;
  return Render(0.45, [&](double t, int) {
    phase += kTwoPi * (45 + 110 * std::exp(-t * 30)) / kRate;
    return std::sin(phase) * std::exp(-t * 7) * (t < 0.002 ? t / 0.002 : 1.0);
  });
}

SampleData Snare(Noise& noise) {
  double low = 0;
  return Render(0.28, [&](double t, int) {
    const double n = noise.Next();
    low += 0.35 * (n - low);
    const double body = 0.5 * std::sin(kTwoPi * 185 * t) * std::exp(-t * 25);
    return body + 0.7 * (n - low) * std::exp(-t * 14);
  });
}

SampleData Hat(Noise& noise, double decay, double seconds) {
  double previous = 0;
  return Render(seconds, [&](double t, int) {
    const double n = noise.Next();
    const double high = n - previous; // a first difference keeps the sizzle
    previous = n;
    return 0.45 * high * std::exp(-t * decay);
  });
}

// Tuned to C, so note 36 plays it as C.
SampleData Bass() {
  constexpr double f = 65.406;
  return Render(1.0, [&](double t, int) {
    double saw = 0;
    for (int k = 1; k <= 8; ++k) {
      saw += std::sin(kTwoPi * f * k * t) / k * std::exp(-t * 2.5 * k);
    }
    return 0.6 * saw * std::exp(-t * 2.2);
  });
}

SampleData Stab() {
  const double chord[] = {261.63, 311.13, 392.0, 466.16}; // C minor seventh
  return Render(0.7, [&](double t, int) {
    double v = 0;
    for (double f : chord) {
      v += std::sin(kTwoPi * f * t + std::sin(kTwoPi * f * 2 * t) * 0.8 * std::exp(-t * 6));
    }
    return 0.2 * v * std::exp(-t * 4.5);
  });
}

// One pattern's worth of shaker at tempo 120 (stretched to any tempo as a loop).
SampleData ShakerLoop(Noise& noise) {
  const double step = 5512.0 / kRate;
  return Render(88192 / kRate, [&](double t, int) {
    const int s = static_cast<int>(t / step);
    const double local = t - s * step;
    const double accent = s % 4 == 2 ? 1.0 : (s % 2 == 1 ? 0.55 : 0.35);
    return 0.3 * accent * noise.Next() * std::exp(-local * 40) * (1 - std::exp(-local * 900));
  });
}

Step& Note(Song& song, int pattern, int channel, int step, int sample) {
  Step& s = song.step(0, pattern, channel, step);
  s.trigger = 1;
  s.sample = static_cast<uint8_t>(sample);
  return s;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_song OUTPUT.LW\n");
    return 2;
  }
  auto state = std::make_unique<SongState>();
  NewSongModel(*state);
  Song& song = state->song;
  song.tempo = 112;
  song.shuffle = 18;
  song.delaySteps = 3;
  song.delayFeedback = 45;
  song.vinylAmount = 35;
  song.distortAmount = 20;
  song.title.assignText("First Light");
  song.author.assignText("LoopWren");

  Noise noise;
  auto samples = std::make_unique<SampleTable>();
  const struct {
    const char* name;
    SampleData data;
    SampleCategory category;
  } kit[] = {
      {"Kick", Kick(), SampleCategory::Drum},
      {"Snare", Snare(noise), SampleCategory::Drum},
      {"Closed hat", Hat(noise, 60, 0.08), SampleCategory::Drum},
      {"Open hat", Hat(noise, 9, 0.35), SampleCategory::Drum},
      {"Bass C", Bass(), SampleCategory::Instrument},
      {"Stab Cm7", Stab(), SampleCategory::Instrument},
      {"Shaker loop", ShakerLoop(noise), SampleCategory::Loop},
  };
  for (std::size_t i = 0; i < std::size(kit); ++i) {
    FillSlot(samples->slots[i], kit[i].data, 44100, kit[i].name, kit[i].category);
  }

  // Pattern 1: the beat. Pattern 2: the beat with the bass. Pattern 3: stabs through the
  // delay over the shaker loop. Pattern 4: a fill that stutters.
  const int bassLine[16] = {36, 0, 0, 36, 0, 0, 43, 0, 36, 0, 0, 39, 0, 41, 0, 43};
  for (int p = 0; p < 4; ++p) {
    for (int st = 0; st < 16; st += 4) {
      Note(song, p, 0, st, st % 8 == 0 ? 0 : 1);
    }
    if (p != 2) {
      for (int st = 2; st < 16; st += 4) {
        Note(song, p, 1, st, st == 14 && p == 1 ? 3 : 2).pitch = static_cast<uint8_t>(96 + st);
      }
    }
    song.channel(0, p, 0).volume = 110;
    song.channel(0, p, 1).volume = 70;
  }
  Note(song, 0, 0, 10, 0);
  for (int st = 0; st < 16; ++st) {
    if (bassLine[st] != 0) {
      Note(song, 1, 2, st, 4).note = bassLine[st];
    }
  }
  song.channel(0, 1, 2).volume = 95;
  song.channel(0, 1, 2).distortOn = 1;
  Note(song, 2, 1, 0, 6);
  for (int st : {0, 3, 6, 10}) {
    Note(song, 2, 2, st, 5).note = st == 10 ? 39 : 36;
  }
  song.channel(0, 2, 2).delaySend = 60;
  song.channel(0, 2, 2).volume = 80;
  Step& stutter = Note(song, 3, 0, 12, 1);
  stutter.mode = static_cast<uint8_t>(StepMode::RetrigStutter);
  stutter.endPos = 300;
  for (int st = 13; st < 16; ++st) {
    Step& s = song.step(0, 3, 0, st);
    s.mode = static_cast<uint8_t>(StepMode::RetrigStutter);
    s.endPos = 300 - 60 * (st - 12);
  }
  const int order[] = {0, 0, 1, 1, 2, 2, 1, 3};
  for (int i = 0; i < 8; ++i) {
    state->sequence.slots[i] = {0, static_cast<int8_t>(order[i])};
  }

  AtomicFileWriter out;
  if (!out.Open(argv[1])) {
    std::perror(argv[1]);
    return 1;
  }
  try {
    WriteSongBody(out, song, state->sequence, *samples);
    out.Commit();
  } catch (const IoError& error) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
    return 1;
  }
  return 0;
}
