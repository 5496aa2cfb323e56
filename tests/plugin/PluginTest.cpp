// loopwren.lv2 in a small host of the tests' own (PluginHost, on lilv): it plays a song
// sample for sample as loopwren-render writes it, follows the host's beat grid at any
// other tempo, locates and stops with the host, plays MIDI notes on their frames, keeps
// its song with the host's session, and meets a missing or damaged song with silence and
// a logged reason.
#include "ClickTrack.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "PluginHost.h"
#include "SoundFiles.h"
#include "TempDir.h"
#include "commands/SongCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::Clicks;
using test::Onset;
using test::Onsets;
using test::PluginHost;

constexpr double kRate = 44100;

// What loopwren-render writes for the entire song, as 16-bit samples.
std::vector<int32_t> Rendered(const std::string& song, const test::TempDir& dir) {
  const std::string wav = (dir.path() / "render.wav").string();
  const std::string command =
      std::string(LOOPWREN_RENDER_BIN) + " --quiet '" + song + "' '" + wav + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return test::ReadSoundFile(wav).samples;
}

// Saves `e`'s song as `name` in `dir`.
std::string Save(Engine& e, const test::TempDir& dir, const std::string& name) {
  e.state.songFileName = (dir.path() / name).string();
  test::FakePrompts prompts;
  EXPECT_TRUE(SaveSong(e, prompts, "/"));
  return e.state.songFileName;
}

// A song with a bit of everything: an instrument at another rate, a loop, delay sends,
// overdrive, vinyl, shuffle and an empty slot inside the sequence.
std::string BusySong(const test::TempDir& dir) {
  auto e = test::NewEngine();
  test::PutSample(*e, 0, std::vector<int16_t>(5000, 12000), 22050, SampleCategory::Instrument);
  test::PutSample(*e, 1, std::vector<int16_t>(30000, -7000), 44100, SampleCategory::Loop);
  test::PutSample(*e, 2, std::vector<int16_t>(900, 20000), 44100, SampleCategory::Drum);
  for (int p = 0; p < 3; ++p) {
    test::PutNote(*e, 0, p, 0, 4 * p, 0).note = 40 + p;
    test::PutNote(*e, 2, 7, 1, 0, 1);
    for (int st = 0; st < kSteps; st += 3) {
      test::PutNote(*e, 0, p, 2, st, 2);
    }
  }
  e->state.song.channel(0, 1, 0).delaySend = 60;
  e->state.song.channel(0, 2, 0).distortOn = 1;
  e->state.song.vinylAmount = 30;
  e->state.song.shuffle = 20;
  e->state.song.tempo = 100; // steps of 6615 samples, patterns 16 longer than their steps
  e->state.sequence.slots[0] = {0, 0};
  e->state.sequence.slots[1] = {0, 1};
  e->state.sequence.slots[3] = {0, 2};
  e->state.sequence.slots[4] = {2, 7};
  return Save(*e, dir, "busy.lw");
}

// Loads `song` into the host's plugin through its patch:Set, as a file chooser does.
void Load(PluginHost& host, const std::string& song) {
  host.SetSong(song);
  host.Run(64);
  host.RunWorker();
  host.Run(64); // the loaded song takes over
  host.RunWorker();
  host.Forget();
}

// Runs the host rolling from beat 0 at `bpm` in blocks of `block` frames until `frames`
// have played, with a time:Position at every block (`everyBlock`) or at the first.
void Roll(PluginHost& host, double bpm, uint32_t block, std::size_t frames, bool everyBlock) {
  for (std::size_t done = 0; done < frames; done += block) {
    if (done == 0 || everyBlock) {
      host.Position(0, true, bpm, static_cast<double>(done) * bpm / 60.0 / kRate);
    }
    host.Run(block);
  }
}

TEST(LoopWrenLv2, PlaysTheEntireSongSampleForSampleAsTheRendererWritesIt) {
  test::TempDir dir;
  struct Case {
    std::string song;
    uint32_t block;
    bool everyBlock;
  };
  const std::string busy = BusySong(dir);
  const std::string demo = std::string(LOOPWREN_KIT_DIR) + "/demo/first-light.LW";
  const Case cases[] = {{busy, 64, false}, {busy, 37, true}, {busy, 256, true}, {demo, 64, true}};
  for (const Case& c : cases) {
    const std::vector<int32_t> expected = Rendered(c.song, dir);
    ASSERT_GT(expected.size(), 44100U) << c.song;
    ASSERT_GT(*std::max_element(expected.begin(), expected.end()), 5000) << c.song << " sounds";
    PluginHost host;
    ASSERT_TRUE(host.ok());
    Load(host, c.song);
    double bpm = 0;
    {
      auto e = test::NewEngine();
      test::FakePrompts prompts;
      ASSERT_TRUE(LoadCommandLineSong(*e, prompts, c.song).replaced);
      bpm = e->state.song.tempo;
    }
    Roll(host, bpm, c.block, expected.size(), c.everyBlock);
    const std::vector<float>& mix = host.played(PluginHost::kLeft);
    const std::vector<float>& right = host.played(PluginHost::kRight);
    ASSERT_GE(mix.size(), expected.size());
    std::size_t differ = 0;
    std::size_t first = expected.size();
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto got = static_cast<int32_t>(std::lround(mix[i] * 32768.0F));
      if (got != expected[i] || right[i] != mix[i]) {
        first = std::min(first, i);
        ++differ;
      }
    }
    EXPECT_EQ(differ, 0U) << c.song << ", blocks of " << c.block << ": first at frame " << first
                          << " of " << expected.size();
  }
}

TEST(LoopWrenLv2, AtAnotherTempoEveryStepStartsOnTheFrameThePositionImplies) {
  test::TempDir dir;
  for (const int shuffle : {0, 30}) {
    auto e = test::NewEngine();
    Clicks(*e, 0, 0, 1000);
    e->state.song.tempo = 100;
    e->state.song.shuffle = shuffle;
    const std::string song = Save(*e, dir, "clicks.lw");
    for (const uint32_t block : {64U, 37U}) {
      PluginHost host;
      ASSERT_TRUE(host.ok());
      Load(host, song);
      const double bpm = 128.5;
      Roll(host, bpm, block, 3 * 44100, true);
      const auto onsets = Onsets(host.played(PluginHost::kChannel1));
      ASSERT_GT(onsets.size(), 20U);
      const double framesPerBeat = kRate * 60 / bpm;
      for (std::size_t k = 0; k < onsets.size(); ++k) {
        // Step k begins on the first frame at or after its beat; odd steps come later by
        // the shuffle.
        const double pair = std::floor(static_cast<double>(k) / 2) * 0.5;
        const double beat = k % 2 == 0 ? pair : pair + 0.25 * (1 + shuffle / 100.0);
        EXPECT_EQ(onsets[k].frame, static_cast<std::size_t>(std::ceil(beat * framesPerBeat)))
            << "step " << k << ", shuffle " << shuffle << ", blocks of " << block;
      }
    }
  }
}

TEST(LoopWrenLv2, ATempoChangeIsFollowedFromTheFrameItComes) {
  test::TempDir dir;
  auto e = test::NewEngine();
  Clicks(*e, 0, 0, 1000);
  e->state.song.tempo = 100;
  const std::string song = Save(*e, dir, "clicks.lw");
  PluginHost host;
  ASSERT_TRUE(host.ok());
  Load(host, song);
  // 128.5 BPM for 300 blocks, then 140 from the beat reached there.
  constexpr uint32_t kBlock = 64;
  constexpr std::size_t kChange = 300 * kBlock;
  Roll(host, 128.5, kBlock, kChange, true);
  const double changeBeat = kChange * 128.5 / 60.0 / kRate;
  for (std::size_t done = 0; done < 2 * 44100; done += kBlock) {
    host.Position(0, true, 140, changeBeat + static_cast<double>(done) * 140 / 60.0 / kRate);
    host.Run(kBlock);
  }
  const double framesPerBeat = kRate * 60 / 140;
  std::size_t checked = 0;
  for (const Onset& onset : Onsets(host.played(PluginHost::kChannel1))) {
    if (onset.frame < kChange) {
      continue;
    }
    // The step whose beat the onset's frame has reached: it began on the first such frame.
    const double beat = changeBeat + static_cast<double>(onset.frame - kChange) / framesPerBeat;
    const double step = std::floor(beat * 4 + 1e-9) / 4;
    EXPECT_EQ(onset.frame,
              kChange + static_cast<std::size_t>(std::ceil((step - changeBeat) * framesPerBeat)))
        << "the step at beat " << step;
    ++checked;
  }
  EXPECT_GT(checked, 15U);
}

TEST(LoopWrenLv2, ALocateStartsTheSlotAndStepTheBeatLiesIn) {
  test::TempDir dir;
  auto e = test::NewEngine();
  for (int p = 0; p < 3; ++p) {
    Clicks(*e, p, p, static_cast<int16_t>(1000 + 2000 * p));
    e->state.sequence.slots[p] = {0, static_cast<int8_t>(p)};
  }
  e->state.song.tempo = 120;
  const std::string song = Save(*e, dir, "three.lw");
  struct Case {
    double bpm;
    double beat; // bar 9, beat 3: pattern 8 of a song of three, step 8
  };
  for (const Case c : {Case{120, 34}, Case{128.5, 34}}) {
    PluginHost host;
    ASSERT_TRUE(host.ok());
    Load(host, song);
    Roll(host, c.bpm, 64, 64 * 100, false);
    host.Forget();
    host.Position(10, true, c.bpm, c.beat);
    host.Run(64);
    host.Run(64);
    const auto onsets = Onsets(host.played(PluginHost::kChannel1));
    ASSERT_FALSE(onsets.empty()) << c.bpm;
    EXPECT_EQ(onsets[0].frame, 10U) << c.bpm << " BPM: the step sounds on the locate's frame";
    // At the song's own tempo the song is the render's, three slots over again (pattern 8
    // is slot 2); at another, live playback's: the empty slots repeat slot 2's pattern.
    EXPECT_EQ(onsets[0].value, 5001) << c.bpm << " BPM";
  }
}

TEST(LoopWrenLv2, AStopSilencesAndANoteSoundsOnItsFrame) {
  test::TempDir dir;
  auto e = test::NewEngine();
  Clicks(*e, 0, 0, 1000);
  e->state.song.tempo = 120;
  const std::string song = Save(*e, dir, "clicks.lw");
  PluginHost host;
  ASSERT_TRUE(host.ok());
  Load(host, song);
  Roll(host, 120, 64, 64 * 50, false);
  host.Position(0, false, 120, 3200 * 120 / 60.0 / kRate);
  for (int i = 0; i < 20; ++i) {
    host.Run(64);
  }
  host.Forget();
  host.Run(64);
  for (float v : host.played(PluginHost::kLeft)) {
    ASSERT_EQ(v, 0.0F) << "silent after the stop's declick";
  }
  host.Forget();
  host.Note(23, 36, 127);
  host.Run(64);
  const std::vector<float>& stem = host.played(PluginHost::kChannel1);
  for (std::size_t i = 0; i < 23; ++i) {
    EXPECT_EQ(stem[i], 0.0F) << i;
  }
  EXPECT_EQ(std::lround(stem[23] * 65536.0F), 1001) << "the pad sounds on its frame";
}

TEST(LoopWrenLv2, AKnobOverridesTheSongAndItsLowestValueGivesItBack) {
  test::TempDir dir;
  auto e = test::NewEngine();
  Clicks(*e, 0, 0, 1000);
  e->state.song.tempo = 120;
  const std::string song = Save(*e, dir, "clicks.lw");
  const auto loudest = [](const std::vector<float>& v) {
    float peak = 0;
    for (float x : v) {
      peak = std::max(peak, std::fabs(x));
    }
    return peak;
  };
  PluginHost host;
  ASSERT_TRUE(host.ok());
  Load(host, song);
  Roll(host, 120, 64, 64 * 100, false);
  const float own = loudest(host.played(PluginHost::kChannel1));
  EXPECT_GT(own, 0.0F);
  host.Forget();
  host.Knob(0, 0); // channel 1's volume
  for (int i = 0; i < 100; ++i) {
    host.Run(64);
  }
  EXPECT_EQ(loudest(host.played(PluginHost::kChannel1)), 0.0F);
  host.Forget();
  host.Knob(0, -1);
  for (int i = 0; i < 100; ++i) {
    host.Run(64);
  }
  EXPECT_EQ(loudest(host.played(PluginHost::kChannel1)), own);
}

TEST(LoopWrenLv2, TheSessionKeepsTheSongAndOpensItWhereTheFolderMoved) {
  test::TempDir dir;
  const std::filesystem::path before = dir.path() / "session";
  const std::filesystem::path after = dir.path() / "moved";
  std::filesystem::create_directories(before);
  const std::string busy = BusySong(dir);
  std::filesystem::copy_file(busy, before / "song.lw");
  std::vector<float> first;
  PluginHost::Saved saved;
  {
    PluginHost host;
    ASSERT_TRUE(host.ok());
    Load(host, (before / "song.lw").string());
    EXPECT_EQ(host.toldPath(), (before / "song.lw").string()) << "the host hears the path";
    saved = host.Save(before.string());
    Roll(host, 100, 64, 64 * 200, false);
    first = host.played(PluginHost::kLeft);
  }
  std::filesystem::rename(before, after);
  PluginHost host;
  ASSERT_TRUE(host.ok());
  EXPECT_EQ(host.Restore(saved, after.string()), LV2_STATE_SUCCESS);
  host.Run(64);
  EXPECT_EQ(host.toldPath(), (after / "song.lw").string());
  host.Forget();
  Roll(host, 100, 64, 64 * 200, false);
  EXPECT_EQ(host.played(PluginHost::kLeft), first);
  EXPECT_EQ(host.logged(), "");
}

TEST(LoopWrenLv2, AMissingOrDamagedSongIsSilenceAndALoggedReason) {
  test::TempDir dir;
  const std::string damaged = (dir.path() / "damaged.lw").string();
  std::ofstream(damaged) << "not a song at all";
  struct Case {
    std::string song;
    const char* logged;
  };
  const Case cases[] = {{(dir.path() / "missing.lw").string(), "cannot read"},
                        {damaged, "is damaged"}};
  for (const Case& c : cases) {
    PluginHost host;
    ASSERT_TRUE(host.ok());
    Load(host, c.song);
    Roll(host, 120, 64, 64 * 20, false);
    for (float v : host.played(PluginHost::kLeft)) {
      ASSERT_EQ(v, 0.0F) << c.song;
    }
    EXPECT_NE(host.logged().find(c.logged), std::string::npos) << host.logged();
    PluginHost::Saved saved = host.Save(dir.path().string());
    PluginHost restored;
    EXPECT_EQ(restored.Restore(saved, dir.path().string()), LV2_STATE_SUCCESS);
    restored.Run(64);
    EXPECT_NE(restored.logged().find(c.logged), std::string::npos) << restored.logged();
  }
}

TEST(LoopWrenLv2, AtAnotherSampleRateItSaysSoAndStaysSilent) {
  test::TempDir dir;
  PluginHost host(48000);
  ASSERT_TRUE(host.ok());
  Load(host, BusySong(dir));
  Roll(host, 100, 64, 64 * 20, false);
  for (float v : host.played(PluginHost::kLeft)) {
    ASSERT_EQ(v, 0.0F);
  }
  EXPECT_NE(host.logged().find("44100 Hz"), std::string::npos) << host.logged();
}

} // namespace
} // namespace lw
