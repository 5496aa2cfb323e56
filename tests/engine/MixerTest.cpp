#include "EngineHelpers.h"
#include "TempDir.h"
#include "engine/Vinyl.h"
#include "engine/VoiceChain.h"
#include "song/Round.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;
using test::Render;
using test::Start;

struct MixerFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  Song& song = engine->state.song;
  test::TempDir dir;

  // A voice playing `value` everywhere, set up by hand.
  void Hold(int v, int slot, int16_t value) {
    PutSample(e, slot, std::vector<int16_t>(1000, value), 44100, SampleCategory::Drum);
    Voice& voice = e.voices[v];
    voice.sampleIndex = slot;
    voice.speed = 1.0;
    voice.position = 0.0;
    voice.volume = 127;
    voice.fade = 0;
    voice.fadeStart = -1;
  }
  void StartSilent() {
    e.playing = true;
    e.clock.samplesLeft = 100000;
  }
};

TEST_F(MixerFixture, ASampleOf100ValuesPlaysValues1To98ThenSilence) {
  std::vector<int16_t> ramp(100);
  std::iota(ramp.begin(), ramp.end(), int16_t{0});
  for (auto& v : ramp) {
    v = static_cast<int16_t>(v * 2); // halved by the master: the output reads 1, 2, 3, ...
  }
  ramp[0] = 500;
  PutSample(e, 0, ramp, 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 0, 1, 0);
  song.channel(0, 0, 0).volume = 127;
  Start(e);
  int16_t boundary = -1;
  while (e.clock.currentStep != 1) {
    boundary = e.RenderSample();
  }
  EXPECT_EQ(boundary, 1) << "the position advances before the read, so value 1 comes first";
  const auto rest = Render(e, 110);
  for (std::size_t i = 0; i < 97; ++i) {
    ASSERT_EQ(rest[i], static_cast<int16_t>(i + 2)) << i;
  }
  for (std::size_t i = 97; i < rest.size(); ++i) {
    ASSERT_EQ(rest[i], 0) << "value 99, the last, is never played; " << i;
  }
}

TEST_F(MixerFixture, FullVolumePassesValuesAndTheMasterHalvesAndClips) {
  Hold(0, 0, 20000);
  Hold(1, 1, 20000);
  Hold(2, 2, 20000);
  StartSilent();
  EXPECT_EQ(e.RenderSample(), 30000);
  Hold(0, 0, -32768);
  Hold(1, 1, -32768);
  Hold(2, 2, -32768);
  EXPECT_EQ(e.RenderSample(), -32768);
  Hold(0, 0, -3);
  Hold(1, 1, 0);
  Hold(2, 2, 0);
  EXPECT_EQ(e.RenderSample(), -1) << "halving truncates toward zero";
}

TEST_F(MixerFixture, VolumeRoundsHalfToEvenAfterScaling) {
  Hold(0, 0, 254);
  e.voices[0].volume = 64;
  StartSilent();
  // 254 / 127 * 64 = 128, halved 64.
  EXPECT_EQ(e.RenderSample(), 64);
  e.voices[0].volume = 0;
  EXPECT_EQ(e.RenderSample(), 0);
}

TEST_F(MixerFixture, TheDeclickFadeDividesOverTheLast19SamplesOfAStep) {
  Hold(0, 0, 32000);
  e.voices[0].fadeStart = 20;
  e.playing = true;
  e.clock.samplesLeft = 30;
  std::vector<int16_t> out = Render(e, 29);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(out[i], 16000) << i;
  }
  int32_t divisor = 1;
  for (int i = 10; i < 29; ++i) {
    EXPECT_EQ(out[i], RoundHalfEven(32000.0 / divisor) / 2) << "divisor " << divisor;
    divisor = std::min(divisor * 2, 32000);
  }
}

TEST_F(MixerFixture, OverdriveNeedsBothTheChannelSwitchAndAnAmount) {
  Hold(0, 0, 1600);
  song.channel(0, 0, 0).distortOn = 1;
  song.distortAmount = 0;
  StartSilent();
  EXPECT_EQ(e.RenderSample(), 800);
  song.distortAmount = 32;
  EXPECT_EQ(e.RenderSample(), 10119 / 2);
  song.channel(0, 0, 0).distortOn = 0;
  EXPECT_EQ(e.RenderSample(), 800);
}

TEST_F(MixerFixture, DelaySendReturnsOneDelayLengthLater) {
  Hold(0, 0, 1000);
  song.channel(0, 0, 0).delaySend = 50;
  song.delaySteps = 0; // 256 samples
  song.delayFeedback = 0;
  e.UpdateTiming();
  StartSilent();
  const auto out = Render(e, 300);
  EXPECT_EQ(out[0], 500);
  EXPECT_EQ(out[255], 500);
  EXPECT_EQ(out[256], 750) << "dry 1000 plus the echo of a 500 send, halved";
}

TEST_F(MixerFixture, VinylNoiseOfTwoValuesAlternatesHalved) {
  const std::string path = dir.File("noise.dll");
  test::WriteBytes(path, {0x10, 0x27, 0xF6, 0xFF}); // a = 10000, b = -10
  LoadVinylNoise(e, path);
  ASSERT_EQ(e.vinyl.count, 2U);
  song.vinylAmount = 100;
  StartSilent();
  EXPECT_EQ(Render(e, 4), (std::vector<int16_t>{-5, 5000, -5, 5000}));
  song.vinylAmount = 50;
  EXPECT_EQ(e.RenderSample(), -2) << "Round(-10 / 100 * 50) = -5, halved toward zero";
}

TEST_F(MixerFixture, VinylFilesAreReadWholeAndBadOnesLeaveTheNoiseOff) {
  const std::string odd = dir.File("odd.dll");
  test::WriteBytes(odd, {1, 0, 2, 0, 9});
  LoadVinylNoise(e, odd);
  EXPECT_EQ(e.vinyl.count, 2U);
  EXPECT_EQ(e.vinyl.position, 0U);

  LoadVinylNoise(e, dir.File("missing.dll"));
  EXPECT_EQ(e.vinyl.count, 0U);
  test::WriteBytes(dir.File("empty.dll"), {});
  LoadVinylNoise(e, dir.File("empty.dll"));
  EXPECT_EQ(e.vinyl.count, 0U);
  LoadVinylNoise(e, dir.path().string()); // a folder
  EXPECT_EQ(e.vinyl.count, 0U);

  const std::string huge = dir.File("huge.dll");
  test::WriteBytes(huge, {});
  ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kMaxVinylBytes + 1001)), 0);
  LoadVinylNoise(e, huge);
  EXPECT_EQ(e.vinyl.count, kMaxVinylBytes / 2) << "an oversized file plays its first 32 MiB";
}

TEST_F(MixerFixture, AVoiceWhoseSampleWasFreedPlaysSilence) {
  Hold(0, 7, 12000);
  StartSilent();
  EXPECT_EQ(e.RenderSample(), 6000);
  (void)ClearSampleTable(e.samples); // the length stays, the data is gone
  EXPECT_EQ(e.RenderSample(), 0);
  Hold(1, 8, 12000);
  e.voices[1].position = -50.0; // only a damaged step can put it there
  EXPECT_EQ(e.RenderSample(), 0);
}

// Where a voice reads at a rounded position: nothing before the first value (a position
// just above -1 rounds to -1) and nothing from the last value on. The value before the
// sample is there to be seen if anything reads it.
TEST(MixerReader, ReadsOnlyValuesInsideTheSampleAndNeverItsLast) {
  const std::array<int16_t, 6> memory{-777, 10, 11, 12, 13, -888};
  struct Case {
    uint64_t readable;
    double position;
    int32_t value; // 0 = reads silence
  };
  const std::vector<Case> cases = {
      {4, -1.0, 0},   {4, -0.9, 0},
      {4, -0.51, 0},  {4, -0.5, 10},
      {4, -0.0, 10},  {4, 0.49, 10},
      {4, 0.5, 10},   {4, 1.5, 12},
      {4, 2.5, 12},   {4, 2.51, 0},
      {4, 3.9, 0},    {4, 4.0, 0},
      {4, 1e300, 0},  {1, -0.6, 0},
      {1, 0.0, 0},    {2, -0.6, 0},
      {2, 0.4, 10},   {2, 0.6, 0},
      {0, -0.6, 0},   {0, 0.0, 0},
      {4, -1e300, 0}, {4, std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) {
    const mixing::Reader reader{memory.data() + 1, c.readable, static_cast<double>(c.readable)};
    int32_t s = 0;
    const bool read = reader.Read(c.position, s);
    EXPECT_EQ(read ? s : 0, c.value) << "position " << c.position << " of " << c.readable;
    EXPECT_EQ(read, c.value != 0) << "position " << c.position << " of " << c.readable;
  }
}

} // namespace
} // namespace lw
