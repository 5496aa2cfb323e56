// Live playback through SDL itself, with its dummy and disk drivers standing in for a
// sound card.
#include "CollectSink.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "audio_out/SdlAudioDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;

using Collect = test::CollectSink;

void MakeSong(Engine& e) {
  std::vector<int16_t> ramp(20000);
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    ramp[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
  }
  PutSample(e, 0, ramp, 44100, SampleCategory::Drum);
  PutSample(e, 1, ramp, 32000, SampleCategory::Instrument);
  for (int st = 0; st < kSteps - 1; st += 3) {
    PutNote(e, 0, 0, 0, st, 0).pitch = static_cast<uint8_t>(60 + 5 * st);
    PutNote(e, 0, 0, 1, st + 1, 1).note = 30 + st;
  }
  e.state.song.channel(0, 0, 0).delaySend = 50;
  e.state.song.channel(0, 0, 1).distortOn = 1;
}

void SetDriver(const char* driver) {
  ::setenv("SDL_AUDIODRIVER", driver, 1);
}

TEST(SdlPlayback, TheDiskDriverCapturesExactlyTheOfflineRenderAfter12289SilentSamples) {
  test::TempDir dir;
  const std::string capture = dir.File("capture.raw");
  SetDriver("disk");
  ::setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  {
    auto engine = test::NewEngine();
    MakeSong(*engine);
    test::FakePrompts prompts;
    WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
    LivePlayback playback(*engine, waveOut);
    waveOut.Open(-1);
    ASSERT_TRUE(waveOut.isOpen()) << (prompts.notices.empty() ? "" : prompts.notices[0]);
    playback.PlayBtnClick();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    playback.PlayBtnClick();
    playback.FormClose();
  }
  const auto bytes = test::ReadBytes(capture);
  std::vector<int16_t> live(bytes.size() / 2);
  std::memcpy(live.data(), bytes.data(), live.size() * 2);

  auto fresh = test::NewEngine();
  MakeSong(*fresh);
  Collect offline;
  RenderProgress none;
  RenderPattern(*fresh, 0, 0, offline, none);
  offline.samples.resize(offline.samples.size() - 1); // the last sample starts the next pass
  ASSERT_NE(offline.samples[0], 0);

  const auto first = std::find_if(live.begin(), live.end(), [](int16_t v) { return v != 0; });
  ASSERT_NE(first, live.end()) << "nothing was heard";
  EXPECT_GE(first - live.begin(), 12289) << "the first rendered sample comes after 12,289";
  const std::size_t heard = static_cast<std::size_t>(live.end() - first);
  ASSERT_GT(heard, 44100U) << "at least a second of sound";
  const std::size_t compared = std::min(heard, offline.samples.size());
  EXPECT_TRUE(std::equal(first, first + static_cast<long>(compared), offline.samples.begin()));
}

TEST(SdlPlayback, TheDummyDriverPlaysAndStopsWithoutAMessage) {
  SetDriver("dummy");
  auto engine = test::NewEngine();
  MakeSong(*engine);
  test::FakePrompts prompts;
  WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  LivePlayback playback(*engine, waveOut);
  waveOut.Open(-1);
  EXPECT_TRUE(waveOut.isOpen());
  playback.PlayBtnClick();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  playback.PlayBtnClick();
  playback.DeactivatePlayBack();
  EXPECT_FALSE(waveOut.isOpen());
  playback.ReactivatePlayBack();
  EXPECT_TRUE(waveOut.isOpen());
  playback.FormClose();
  EXPECT_TRUE(prompts.silent());
}

TEST(SdlPlayback, AnUnknownDriverIsReportedInSdlsWords) {
  SetDriver("no-such-driver");
  test::FakePrompts prompts;
  WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  waveOut.Open(-1);
  EXPECT_FALSE(waveOut.isOpen());
  ASSERT_EQ(prompts.notices.size(), 1U);
  EXPECT_FALSE(prompts.notices[0].empty());
}

} // namespace
} // namespace lw
