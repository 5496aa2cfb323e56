// MIDI clock in (tempo and position from another instrument's ticks) and out (where
// LoopWren's own ticks fall in its steps).
#include "live/MidiClockFollower.h"
#include "live/MidiClockTicks.h"
#include "song/Round.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace lw {
namespace {

constexpr double kRate = 44100;
constexpr double kMillisecond = kRate / 1000;

double TickPeriod(double bpm) {
  return kRate * 60 / (bpm * 24);
}

// Arrival frames: the true frame with uniform jitter of ±`ms`, drawn straight from the
// generator (whose output, unlike the standard distributions', is the same everywhere).
class Jitter {
public:
  Jitter(uint32_t seed, double ms) : rng_(seed), frames_(ms * kMillisecond) {}
  uint64_t operator()(double frame) {
    const double unit = static_cast<double>(rng_()) / 4294967296.0 * 2 - 1;
    return static_cast<uint64_t>(std::llround(frame + unit * frames_));
  }

private:
  std::mt19937 rng_;
  double frames_;
};

// How far, in frames, the follower puts tick `count` from `frame`, its true frame.
double PhaseError(const MidiClockFollower& f, double frame, int64_t count, double period) {
  const double beat = f.BeatAt(static_cast<uint64_t>(std::llround(frame)));
  return std::fabs(beat * MidiClockFollower::kTicksPerBeat - static_cast<double>(count)) * period;
}

constexpr int kSeeds = 20;

TEST(MidiClockFollower, LocksOntoAJitteredClockAndKeepsTheTickWithinAMillisecond) {
  // Twenty draws each, every tick checked; the share of draws within ±0.05 BPM at two
  // beats is the next test's.
  struct Case {
    double bpm;
    double atTwoBeats; // the largest error from two beats on
    int beatsToFine;   // from here on within ±0.05 BPM
  };
  const Case cases[] = {{90, 0.05, 2}, {120, 0.1, 4}, {174, 0.2, 5}};
  for (const Case& c : cases) {
    const double period = TickPeriod(c.bpm);
    for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
      Jitter jitter(seed, 1.0);
      MidiClockFollower f;
      f.Start();
      double worstPhase = 0;
      for (int k = 0; k < 1500; ++k) {
        const double frame = 5000 + k * period;
        f.Tick(jitter(frame));
        const int ticks = k + 1;
        EXPECT_EQ(f.locked(), ticks >= 24) << c.bpm << " BPM, tick " << ticks;
        const double error = std::fabs(f.bpm() - c.bpm);
        if (ticks >= 48) {
          ASSERT_LE(error, c.atTwoBeats) << c.bpm << " BPM, seed " << seed << ", tick " << ticks;
        }
        if (ticks >= c.beatsToFine * 24) {
          ASSERT_LE(error, 0.05) << c.bpm << " BPM, seed " << seed << ", tick " << ticks;
        }
        if (f.locked()) {
          worstPhase = std::max(worstPhase, PhaseError(f, frame, k, period));
        }
      }
      EXPECT_LE(worstPhase, kMillisecond) << c.bpm << " BPM, seed " << seed;
    }
  }
}

// Gaussian jitter of standard deviation `ms` / sqrt(3), as uniform jitter of ±`ms` has:
// the sum of twelve uniform draws, again straight from the generator.
class GaussianJitter {
public:
  GaussianJitter(uint32_t seed, double ms)
      : rng_(seed), frames_(ms * kMillisecond / std::sqrt(3.0)) {}
  uint64_t operator()(double frame) {
    double sum = -6;
    for (int i = 0; i < 12; ++i) {
      sum += static_cast<double>(rng_()) / 4294967296.0;
    }
    return static_cast<uint64_t>(std::llround(frame + sum * frames_));
  }

private:
  std::mt19937 rng_;
  double frames_;
};

TEST(MidiClockFollower, TwoBeatsOfAJitteredClockGiveTheTempoToAFewHundredthsOfABpm) {
  // How close the tempo is at two beats (48 ticks) over a thousand draws of ±1 ms jitter.
  // No estimate holds ±0.05 BPM at 120 for every draw: a least-squares line's standard
  // error there is 0.035 BPM (85 % of draws within), and even knowing the jitter's bounds
  // leaves about 1 % outside. Uniform jitter is fitted by the band's centre; Gaussian
  // jitter, with no edges, by the least-squares line, which the band fit must not spoil.
  struct Case {
    const char* jitter;
    double bpm;
    double share;  // of draws within ±0.05 BPM at two beats, at least
    double worst;  // BPM, at two beats
    int fineAfter; // ticks after which every draw is within ±0.05 BPM
  };
  constexpr int kTicks = 200;
  const Case cases[] = {
      {"uniform", 90, 0.99, 0.06, 60},   {"uniform", 120, 0.98, 0.09, 96},
      {"uniform", 174, 0.83, 0.19, 120}, {"Gaussian", 90, 0.96, 0.08, 72},
      {"Gaussian", 120, 0.78, 0.15, 96}, {"Gaussian", 174, 0.45, 0.3, 144},
  };
  constexpr uint32_t kDraws = 1000;
  for (const Case& c : cases) {
    const double period = TickPeriod(c.bpm);
    uint32_t within = 0;
    double worst = 0;
    int lastOff = 0; // the last tick any draw was further off than ±0.05 BPM
    for (uint32_t seed = 1; seed <= kDraws; ++seed) {
      Jitter uniform(seed, 1.0);
      GaussianJitter gaussian(seed, 1.0);
      const bool isUniform = c.jitter[0] == 'u';
      MidiClockFollower f;
      f.Start();
      for (int tick = 1; tick <= kTicks; ++tick) {
        const double frame = 5000 + (tick - 1) * period;
        f.Tick(isUniform ? uniform(frame) : gaussian(frame));
        const double error = std::fabs(f.bpm() - c.bpm);
        if (tick == 48) {
          within += error <= 0.05 ? 1 : 0;
          worst = std::max(worst, error);
        }
        if (error > 0.05) {
          lastOff = std::max(lastOff, tick);
        }
      }
    }
    EXPECT_LE(lastOff, c.fineAfter) << c.jitter << ", " << c.bpm << " BPM";
    EXPECT_GE(within, c.share * kDraws) << c.jitter << ", " << c.bpm << " BPM";
    EXPECT_LE(worst, c.worst) << c.jitter << ", " << c.bpm << " BPM";
  }
}

TEST(MidiClockFollower, FollowsATempoJumpWithinABeat) {
  // After a jump the line starts afresh from the last tick before it: a beat later it
  // goes through about 22 ticks, which leaves the new tempo ±0.13 BPM (one standard
  // error) at 140.
  struct Case {
    double from;
    double to;
    double jitterMs;
    double tolerance; // BPM, from a beat after the jump on
    uint32_t seeds;
  };
  const Case cases[] = {
      {90, 110, 1, 0.5, 50},   {120, 140, 1, 0.5, 50}, {174, 154, 1, 0.6, 50},
      {120, 60, 1, 0.5, 50},   // every other tick "missing" is a slower tempo
      {120, 80, 1, 0.5, 50},   // half a tick late, then a tick early, then half late...
      {174, 154, 2, 1.5, 400}, // some drift a tick off before the change shows
  };
  for (const Case& c : cases) {
    const double before = TickPeriod(c.from);
    const double after = TickPeriod(c.to);
    for (uint32_t seed = 1; seed <= c.seeds; ++seed) {
      Jitter jitter(seed, c.jitterMs);
      MidiClockFollower f;
      f.Start();
      int64_t k = 0;
      for (; k < 300; ++k) {
        f.Tick(jitter(5000 + k * before));
      }
      const double jump = 5000 + (k - 1) * before;
      for (int m = 1; m <= 300; ++m, ++k) {
        const double frame = jump + m * after;
        f.Tick(jitter(frame));
        if (m >= 24) {
          ASSERT_TRUE(f.locked());
          ASSERT_LE(std::fabs(f.bpm() - c.to), c.tolerance)
              << c.from << " to " << c.to << " BPM, seed " << seed << ", tick " << m;
          ASSERT_LE(PhaseError(f, frame, k, after), c.jitterMs * kMillisecond)
              << c.from << " to " << c.to << " BPM, seed " << seed << ", tick " << m;
        }
      }
    }
  }
}

TEST(MidiClockFollower, RidesOutDropoutsAndStrayTicks) {
  // Each case moves or removes ticks 300 on of a clock jittered by ±1 ms.
  struct Case {
    const char* what;
    std::function<bool(int k, double& frame)> disturb; // false: the tick is lost
  };
  const Case cases[] = {
      {"a beat of ticks lost", [](int k, double&) { return k < 300 || k >= 324; }},
      {"one tick lost", [](int k, double&) { return k != 300; }},
      {"a tick 10 ms late",
       [](int k, double& frame) {
         frame += k == 300 ? 10 * kMillisecond : 0;
         return true;
       }},
      {"two ticks 6 ms early",
       [](int k, double& frame) {
         frame -= k == 300 || k == 301 ? 6 * kMillisecond : 0;
         return true;
       }},
      {"a tick lost and the next one 1 ms late",
       [](int k, double& frame) {
         frame += k == 301 ? kMillisecond : 0;
         return k != 300;
       }},
  };
  for (const Case& c : cases) {
    for (double bpm : {90.0, 120.0, 174.0}) {
      const double period = TickPeriod(bpm);
      for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
        Jitter jitter(seed, 1.0);
        MidiClockFollower f;
        f.Start();
        for (int k = 0; k < 450; ++k) {
          double frame = 5000 + k * period;
          const double truth = frame;
          if (!c.disturb(k, frame)) {
            continue;
          }
          f.Tick(jitter(frame));
          if (k >= 300) {
            ASSERT_TRUE(f.locked()) << c.what;
            ASSERT_LE(std::fabs(f.bpm() - bpm), 0.05) << c.what << ", seed " << seed;
            ASSERT_LE(PhaseError(f, truth, k, period), kMillisecond)
                << c.what << " at " << bpm << " BPM, seed " << seed << ", tick " << k;
          }
        }
      }
    }
  }
}

// A clean clock at 120 BPM: tick k arrives on frame 1000 + k * 918.75, rounded.
class CleanClock {
public:
  explicit CleanClock(MidiClockFollower& f) : f_(f) {}
  void Ticks(int n) {
    for (int i = 0; i < n; ++i, ++k_) {
      f_.Tick(Frame(k_));
    }
  }
  static uint64_t Frame(double k) { return static_cast<uint64_t>(std::llround(1000 + k * 918.75)); }
  [[nodiscard]] int64_t k() const { return k_; }

private:
  MidiClockFollower& f_;
  int64_t k_ = 0;
};

TEST(MidiClockFollower, StartStopContinueAndSongPositionPlaceTheNextTick) {
  MidiClockFollower f;
  CleanClock clock(f);
  EXPECT_FALSE(f.running());
  EXPECT_EQ(f.BeatAt(0), 0.0);

  clock.Ticks(48); // clock before Start: a tempo, no position
  EXPECT_TRUE(f.locked());
  EXPECT_NEAR(f.bpm(), 120, 0.001);
  EXPECT_EQ(f.BeatAt(CleanClock::Frame(60)), 0.0);

  f.Start();
  EXPECT_TRUE(f.running());
  EXPECT_EQ(f.BeatAt(CleanClock::Frame(48.5)), 0.0) << "waits for the first tick";
  clock.Ticks(1); // tick 48 is beat 0
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(48)), 0.0, 1e-3);
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(54)), 0.25, 1e-3) << "extrapolated between ticks";
  clock.Ticks(36); // ticks 49 to 84, the last at beat 1.5
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(84)), 1.5, 1e-3);

  f.Stop();
  EXPECT_FALSE(f.running());
  EXPECT_EQ(f.BeatAt(CleanClock::Frame(100)), 37.0 / 24) << "stands at the next tick";
  clock.Ticks(24); // ticks while stopped keep the tempo and move nothing
  EXPECT_EQ(f.BeatAt(CleanClock::Frame(200)), 37.0 / 24);
  EXPECT_NEAR(f.bpm(), 120, 0.001);

  f.Continue();
  clock.Ticks(1); // tick 109 is song tick 37
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(109)), 37.0 / 24, 1e-3);
  f.Continue(); // already playing: nothing
  clock.Ticks(11);
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(120)), 2.0, 1e-3);

  f.Stop();
  f.SongPosition(16); // four beats in
  EXPECT_EQ(f.BeatAt(0), 4.0);
  f.Continue();
  clock.Ticks(1);
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(121)), 4.0, 1e-3);

  f.SongPosition(8); // while playing: the next tick is there
  clock.Ticks(1);
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(122)), 2.0, 1e-3);

  f.Start(); // a Start while playing starts over
  clock.Ticks(25);
  EXPECT_NEAR(f.BeatAt(CleanClock::Frame(147)), 1.0, 1e-3);

  MidiClockFollower fresh; // Continue without Start: from the song's start
  fresh.Continue();
  CleanClock(fresh).Ticks(3);
  EXPECT_NEAR(fresh.BeatAt(CleanClock::Frame(2)), 2.0 / 24, 1e-3);
}

TEST(MidiClockFollower, SilenceLosesTheLockAndTheCountGoesOn) {
  MidiClockFollower f;
  f.Start();
  CleanClock clock(f);
  clock.Ticks(48);
  const uint64_t last = CleanClock::Frame(47);
  // A beat and a half of silence is a pause; more is a sender gone away.
  EXPECT_TRUE(f.LockedAt(last + 36 * 918));
  EXPECT_FALSE(f.LockedAt(last + 36 * 919));
  EXPECT_TRUE(f.locked()) << "as of the last tick";

  f.Tick(last + 3 * 44100); // three seconds later
  EXPECT_FALSE(f.locked());
  EXPECT_EQ(f.bpm(), 0.0);
  EXPECT_NEAR(f.BeatAt(last + 3 * 44100 + 500), 2.0, 1e-9) << "the tick after tick 47";
  for (int k = 1; k < 23; ++k) {
    f.Tick(last + 3 * 44100 + static_cast<uint64_t>(k * 918.75));
    EXPECT_FALSE(f.locked());
  }
  f.Tick(last + 3 * 44100 + static_cast<uint64_t>(23 * 918.75)); // 24 on the new line
  EXPECT_TRUE(f.locked());
  EXPECT_NEAR(f.bpm(), 120, 0.01);
}

TEST(MidiClockFollower, GarbageNeverGivesANanOrANegativeTempo) {
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    std::mt19937 rng(seed);
    MidiClockFollower f;
    uint64_t frame = rng() % 100000;
    for (int i = 0; i < 3000; ++i) {
      switch (rng() % 16) {
      case 0:
        f.Start();
        break;
      case 1:
        f.Continue();
        break;
      case 2:
        f.Stop();
        break;
      case 3:
        f.SongPosition(static_cast<int>(rng() % 20000) - 1000);
        break;
      case 4:
        f.Tick(frame - rng() % 1000); // backwards
        break;
      case 5:
        f.Tick(frame); // twice on one frame
        f.Tick(frame);
        break;
      default: // regular, scattered, long gaps
        frame += rng() % 2 == 0 ? 900 + rng() % 40 : rng() % (1u << (rng() % 17));
        f.Tick(frame);
        break;
      }
      const double bpm = f.bpm();
      ASSERT_TRUE(std::isfinite(bpm) && bpm >= 0 && bpm < 1000) << bpm << ", seed " << seed;
      ASSERT_TRUE(bpm > 0 || !f.locked());
      ASSERT_TRUE(std::isfinite(f.BeatAt(frame + rng() % 100000))) << "seed " << seed;
    }
  }
}

// The closed form: tick n after a reset is tick n % 6 of step n / 6, which starts
// n / 6 * stepLength frames on and puts its ticks (n % 6) * stepLength / 6 frames in,
// rounded to the nearest frame, halves to the even one (what nearbyint does by default;
// a quotient of sixths is never near enough a half to be rounded wrongly).
uint64_t ExactTick(uint64_t start, int64_t stepLength, int64_t n) {
  const double inStep = std::nearbyint(static_cast<double>(n % 6 * stepLength) / 6);
  return start + static_cast<uint64_t>(n / 6 * stepLength) + static_cast<uint64_t>(inStep);
}

TEST(MidiClockTicks, TicksAreEvenAndEverySixthStartsAStep) {
  for (int bpm = 30; bpm <= 300; ++bpm) {
    const int stepLength = RoundHalfEven(2646000.0 / (bpm * 4)); // the engine's step
    MidiClockTicks ticks;
    ticks.Reset(777, stepLength);
    std::vector<uint64_t> got;
    ticks.Take(0, 777 + 20 * stepLength, [&](uint64_t frame) { got.push_back(frame); });
    ASSERT_EQ(got.size(), 120U) << bpm << " BPM";
    const double exact = kRate * 60 / (bpm * 24.0);
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (i % 6 == 0) {
        EXPECT_EQ(got[i], 777 + i / 6 * stepLength) << bpm << " BPM, tick " << i;
      }
      if (i > 0) {
        const auto interval = static_cast<double>(got[i] - got[i - 1]);
        EXPECT_LE(std::fabs(interval - exact), 1.0) << bpm << " BPM, tick " << i;
      }
    }
  }
}

TEST(MidiClockTicks, NeverDriftsOverTenMinutesOfRandomPeriods) {
  for (const int stepLength : {5512, 4725, 3801, 22050, 2205}) {
    std::mt19937 rng(static_cast<uint32_t>(stepLength));
    const uint64_t start = 12345;
    MidiClockTicks ticks;
    ticks.Reset(start, stepLength);
    int64_t n = 0;
    uint64_t period = 0;
    while (period < 26'460'000) { // ten minutes
      const auto frames = static_cast<uint32_t>(1 + rng() % 8192);
      ticks.Take(period, frames, [&](uint64_t frame) {
        EXPECT_EQ(frame, ExactTick(start, stepLength, n)) << "tick " << n;
        EXPECT_GE(frame, period) << "contiguous periods leave no tick late";
        ++n;
      });
      if (HasFailure()) {
        return;
      }
      period += frames;
    }
    EXPECT_EQ(ticks.NextTick(), ExactTick(start, stepLength, n));
    EXPECT_GE(ticks.NextTick(), period) << "every tick of the ten minutes came";
  }
}

TEST(MidiClockTicks, ATempoChangeLandsOnTheNextStepStart) {
  MidiClockTicks ticks;
  ticks.Reset(1000, 5512);
  std::vector<uint64_t> got;
  const auto take = [&](uint64_t frame) { got.push_back(frame); };
  ticks.Take(0, 3000, take); // into the first step
  ticks.SetStepLength(6000);
  ticks.SetStepLength(4725); // the last word counts
  ticks.Take(3000, 17000, take);
  const std::vector<uint64_t> expected{
      1000,  1919,  2837,  3756,  4675,  5593,   // 5512 / 6 = 918.67
      6512,  7300,  8087,  8874,  9662,  10450,  // 4725 / 6 = 787.5, halves to even
      11237, 12025, 12812, 13599, 14387, 15175,  // the next step alike
      15962, 16750, 17537, 18324, 19112, 19900}; // and the next
  EXPECT_EQ(got, expected);
  EXPECT_EQ(ticks.NextTick(), 20687U);
}

TEST(MidiClockTicks, SkippedFramesGiveLateTicksAndNoStepLengthHangs) {
  MidiClockTicks ticks;
  ticks.Reset(0, 600);
  std::vector<uint64_t> got;
  ticks.Take(1000, 100, [&](uint64_t frame) { got.push_back(frame); });
  EXPECT_EQ(got, (std::vector<uint64_t>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}))
      << "the ticks of frames never asked for come late, not never";

  ticks.Reset(50, 0); // a zero-length step lasts a frame
  got.clear();
  ticks.Take(50, 2, [&](uint64_t frame) { got.push_back(frame); });
  EXPECT_EQ(got, (std::vector<uint64_t>{50, 50, 50, 50, 51, 51, 51, 51, 51, 51}));
}

} // namespace
} // namespace lw
