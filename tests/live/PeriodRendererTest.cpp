// The period renderer without a server: periods are asked for by hand, the engine lock
// is held by a thread of the test's when a busy lock is wanted.
#include "live/PeriodRenderer.h"
#include "BusyLock.h"
#include "LiveSong.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace lw {
namespace {

using test::BusyLock;
using test::MakeLiveSong;

struct PeriodRendererFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  PeriodRenderer renderer{*engine};
  OutputFrame clock = 1'000'000;
  // Everything played, the mix as 16-bit values and the channels at the mix's scale
  // doubled, as the engine's stems are.
  std::vector<int32_t> mix;
  std::array<std::vector<int32_t>, kChannels> channels;

  void SetUp() override { MakeLiveSong(*engine); }

  void Period(uint32_t frames) {
    std::array<std::vector<float>, PeriodRenderer::kPorts> buffers;
    PeriodRenderer::PortBuffers ports{};
    for (std::size_t p = 0; p < buffers.size(); ++p) {
      buffers[p].assign(frames, 99.0F); // every frame must be written
      ports[p] = buffers[p].data();
    }
    renderer.Process(ports, frames, clock);
    clock += frames;
    for (const float v : buffers[0]) {
      mix.push_back(static_cast<int32_t>(std::lround(v * 32768.0F)));
    }
    for (int c = 0; c < kChannels; ++c) {
      for (const float v : buffers[1 + static_cast<std::size_t>(c)]) {
        channels[static_cast<std::size_t>(c)].push_back(
            static_cast<int32_t>(std::lround(v * 65536.0F)));
      }
    }
  }
  void Periods(int count, uint32_t frames) {
    for (int i = 0; i < count; ++i) {
      Period(frames);
    }
  }
  static test::OfflineRender Offline(std::size_t count) {
    return test::RenderOffline([](Engine& e) { MakeLiveSong(e); }, count);
  }
  // The offline mix with `gap` frames of silence at `at`.
  static std::vector<int32_t> WithGap(const std::vector<int16_t>& offline, std::size_t at,
                                      std::size_t gap, std::size_t count) {
    std::vector<int32_t> out(offline.begin(), offline.begin() + static_cast<std::ptrdiff_t>(at));
    out.resize(at + gap, 0);
    out.insert(out.end(), offline.begin() + static_cast<std::ptrdiff_t>(at), offline.end());
    out.resize(count);
    return out;
  }
};

std::vector<int32_t> Widened(const std::vector<int16_t>& v) {
  return {v.begin(), v.end()};
}

TEST_F(PeriodRendererFixture, PlaysTheEngineSampleForSampleWithEveryChannelsStem) {
  for (const uint32_t frames : {64U, 1U, 1000U, 8192U}) {
    SCOPED_TRACE(frames);
    mix.clear();
    channels = {};
    ASSERT_TRUE(renderer.PlayBtnClick());
    const OutputFrame start = clock;
    Periods(static_cast<int>(20000 / frames) + 2, frames);
    const auto offline = Offline(mix.size());
    EXPECT_EQ(mix, Widened(offline.mix));
    for (int c = 0; c < kChannels; ++c) {
      EXPECT_EQ(channels[static_cast<std::size_t>(c)], offline.stems[static_cast<std::size_t>(c)])
          << "channel " << c + 1;
    }
    EXPECT_EQ(renderer.sessionStart(), start);
    EXPECT_EQ(renderer.counters().lateFrames, 0U);
    EXPECT_TRUE(std::any_of(mix.begin(), mix.end(), [](int32_t v) { return v != 0; }));
    ASSERT_FALSE(renderer.PlayBtnClick());
  }
}

TEST_F(PeriodRendererFixture, WithoutDelayOrNoiseTheChannelsSumToTheMix) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(300, 64);
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const int32_t sum = channels[0][i] + channels[1][i] + channels[2][i];
    ASSERT_EQ(mix[i], std::clamp(sum / 2, -32768, 32767)) << i;
  }
}

TEST_F(PeriodRendererFixture, ANewPeriodSizeContinuesTheStreamUnbroken) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  for (const uint32_t frames : {64U, 64U, 256U, 32U, 1024U, 7U, 64U, 8192U, 128U}) {
    Period(frames);
  }
  EXPECT_EQ(mix, Widened(Offline(mix.size()).mix));
  EXPECT_EQ(renderer.counters().lateFrames, 0U);
}

TEST_F(PeriodRendererFixture, OneBusyPeriodPlaysWhatWasRenderedAheadAndLosesNothing) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(5, 64);
  {
    const BusyLock edit(engine->engineLock);
    Period(64);
  }
  Periods(10, 64);
  EXPECT_EQ(renderer.counters().lockBusy, 1U);
  EXPECT_EQ(renderer.counters().lateFrames, 0U);
  EXPECT_EQ(mix, Widened(Offline(mix.size()).mix));
}

TEST_F(PeriodRendererFixture, ALongerBusySpellLeavesOneGapAndTheSongResumesWhereItStopped) {
  for (const int busy : {2, 3, 7}) {
    SCOPED_TRACE(busy);
    mix.clear();
    ASSERT_TRUE(renderer.PlayBtnClick());
    const auto before = renderer.counters();
    Periods(5, 64);
    {
      const BusyLock edit(engine->engineLock);
      Periods(busy, 64);
    }
    Periods(10, 64);
    const auto after = renderer.counters();
    EXPECT_EQ(after.lockBusy - before.lockBusy, static_cast<uint64_t>(busy));
    // The first busy period plays the period held ahead; the others have nothing.
    const std::size_t gap = 64 * static_cast<std::size_t>(busy - 1);
    EXPECT_EQ(after.lateFrames - before.lateFrames, gap);
    EXPECT_EQ(mix, WithGap(Offline(mix.size()).mix, 6 * 64, gap, mix.size()));
    ASSERT_FALSE(renderer.PlayBtnClick());
  }
}

TEST_F(PeriodRendererFixture, StopIsSilentAtOnceAndARestartDropsWhatWasHeldAhead) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(40, 64);
  ASSERT_FALSE(renderer.PlayBtnClick());
  EXPECT_FALSE(renderer.Playing());
  mix.clear();
  Period(64);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int32_t v) { return v == 0; }));
  EXPECT_EQ(renderer.sessionStart(), PeriodRenderer::kNoFrame);
  mix.clear();
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(30, 64);
  EXPECT_EQ(mix, Widened(Offline(mix.size()).mix)) << "the restart plays from the top";
}

TEST_F(PeriodRendererFixture, AStopFromElsewhereEndsTheSessionSoARenderIsNotPlayed) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(3, 64);
  engine->playing = false; // a new song
  Periods(2, 64);
  EXPECT_FALSE(renderer.Playing());
  engine->playing = true; // a render to a file starts
  mix.clear();
  Periods(5, 64);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int32_t v) { return v == 0; }));
  EXPECT_EQ(renderer.counters().lateFrames, 0U);
}

TEST_F(PeriodRendererFixture, AnOversizePeriodIsSilentAndCounted) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  Periods(3, 64);
  mix.clear();
  Period(PeriodRenderer::kMaxPeriod + 1);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int32_t v) { return v == 0; }));
  EXPECT_EQ(renderer.counters().oversizePeriods, 1U);
  mix.clear();
  Periods(100, 64);
  EXPECT_TRUE(std::any_of(mix.begin(), mix.end(), [](int32_t v) { return v != 0; }))
      << "playback goes on";
}

TEST_F(PeriodRendererFixture, TakingOverAPlayingEngineGoesOnFromItsPositions) {
  constexpr std::size_t kPlayedElsewhere = 10'000;
  {
    const EngineHold hold(engine->engineLock);
    StartOrStopEngine(*engine);
    std::vector<int16_t> elsewhere(kPlayedElsewhere);
    engine->RenderBlock(elsewhere.data(), elsewhere.size());
  }
  Periods(2, 64);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int32_t v) { return v == 0; }))
      << "another output's playback is not this one's";
  mix.clear();
  renderer.TakeOver();
  Periods(100, 64);
  const auto offline = Offline(kPlayedElsewhere + mix.size()).mix;
  EXPECT_EQ(mix, std::vector<int32_t>(offline.begin() + kPlayedElsewhere, offline.end()));
  renderer.Release();
  EXPECT_TRUE(engine->playing) << "the next output plays on";
  mix.clear();
  Periods(2, 64);
  EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](int32_t v) { return v == 0; }));
}

// Restarts voice 3's loop at one output frame, as a note arriving then would.
class RetriggerAt : public FrameEvents {
public:
  explicit RetriggerAt(OutputFrame frame) : frame_(frame) {}
  OutputFrame ApplyDue(Engine& engine, OutputFrame frame, bool /*sound*/) noexcept override {
    asked.push_back(frame);
    if (!done && frame >= frame_) {
      done = true;
      appliedAt = frame;
      engine.voices[2].position = 0;
    }
    return done ? kNone : frame_;
  }
  [[nodiscard]] uint32_t liveVoices() const noexcept override { return 0; }
  std::vector<OutputFrame> asked;
  bool done = false;
  OutputFrame appliedAt = 0;

private:
  OutputFrame frame_;
};

TEST_F(PeriodRendererFixture, AnEventActsOnTheEngineAtItsOwnFrameInsideThePeriod) {
  ASSERT_TRUE(renderer.PlayBtnClick());
  for (const std::size_t offset : {5000U, 5001U, 5063U, 5064U}) {
    SCOPED_TRACE(offset);
    mix.clear();
    ASSERT_FALSE(renderer.PlayBtnClick());
    ASSERT_TRUE(renderer.PlayBtnClick());
    Period(64);
    const OutputFrame sessionStart = clock - 64;
    RetriggerAt event(sessionStart + offset);
    renderer.SetEvents(&event);
    Periods(150, 64);
    renderer.SetEvents(nullptr);
    ASSERT_TRUE(event.done);
    EXPECT_EQ(event.appliedAt, sessionStart + offset);

    // The same retrigger made offline after exactly `offset` samples.
    auto e = test::NewEngine();
    std::vector<int16_t> expected(mix.size());
    {
      const EngineHold hold(e->engineLock);
      MakeLiveSong(*e);
      StartOrStopEngine(*e);
      e->RenderBlock(expected.data(), offset);
      e->voices[2].position = 0;
      e->RenderBlock(expected.data() + offset, expected.size() - offset);
    }
    EXPECT_EQ(mix, Widened(expected));
    EXPECT_NE(mix, Widened(Offline(mix.size()).mix)) << "the retrigger is heard";
  }
}

} // namespace
} // namespace lw
