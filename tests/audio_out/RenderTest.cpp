#include "CollectSink.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "TempDir.h"
#include "audio_out/RenderCommand.h"
#include "audio_out/WavFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;
using test::ReadBytes;

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8U) | (b[at + 2] << 16U) | (static_cast<uint32_t>(b[at + 3]) << 24U);
}

// Records every gauge value.
struct Gauges : RenderProgress {
  std::vector<int> current;
  std::vector<int> overall;
  int patterns = 0;
  int shown = 0;
  int hidden = 0;
  void Show() override { ++shown; }
  void Hide() override { ++hidden; }
  void PatternStarted() override { ++patterns; }
  void SetCurrent(int p) override { current.push_back(p); }
  void SetOverall(int p) override { overall.push_back(p); }
};

using Collect = test::CollectSink;

struct RenderFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  FakePrompts prompts;
  Gauges gauges;
  test::TempDir dir;
  int32_t n = 0;

  void SetUp() override {
    // Pattern b-p has a short blip on its step (b + p) of channel 0, so each sounds apart.
    PutSample(e, 0, std::vector<int16_t>(300, 8000), 44100, SampleCategory::Drum);
    for (int b = 0; b < kBanks; ++b) {
      for (int p = 0; p < kPatterns; ++p) {
        PutNote(e, b, p, 0, (b + p) % kSteps, 0);
        e.state.song.channel(b, p, 0).volume = 127;
      }
    }
    n = e.clock.patternSamples;
  }
  bool RenderTo(RenderKind kind, const std::string& name, SlotRange selection = {}) {
    return RenderToWavFile(e, prompts, gauges, kind, dir.File(name), selection);
  }
  // The samples of a rendered file, header stripped.
  std::vector<int16_t> Samples(const std::string& name) {
    const auto bytes = ReadBytes(dir.File(name));
    std::vector<int16_t> out((bytes.size() - 44) / 2);
    std::memcpy(out.data(), bytes.data() + 44, out.size() * 2);
    return out;
  }
};

TEST(WavHeader, HoldsTheCanonicalFields) {
  const auto h = WavHeader(1000);
  const std::vector<uint8_t> b(h.begin(), h.end());
  EXPECT_EQ(std::memcmp(&b[0], "RIFF", 4), 0);
  EXPECT_EQ(Le32(b, 4), 1036U);
  EXPECT_EQ(std::memcmp(&b[8], "WAVEfmt ", 8), 0);
  EXPECT_EQ(Le32(b, 16), 16U);
  EXPECT_EQ(b[20] | (b[21] << 8), 1);
  EXPECT_EQ(b[22] | (b[23] << 8), 1);
  EXPECT_EQ(Le32(b, 24), 44100U);
  EXPECT_EQ(Le32(b, 28), 88200U);
  EXPECT_EQ(b[32] | (b[33] << 8), 2);
  EXPECT_EQ(b[34] | (b[35] << 8), 16);
  EXPECT_EQ(std::memcmp(&b[36], "data", 4), 0);
  EXPECT_EQ(Le32(b, 40), 1000U);
}

TEST_F(RenderFixture, ThisPatternWritesOnePatternAndLeavesNoTemporaryFile) {
  e.state.editBank = 2;
  e.state.editPattern = 7;
  e.state.playBank = 1;
  e.state.playPattern = 1;
  e.state.songChanged = false;
  ASSERT_TRUE(RenderTo(RenderKind::ThisPattern, "one.wav"));
  const auto bytes = ReadBytes(dir.File("one.wav"));
  ASSERT_EQ(bytes.size(), 44U + 2U * static_cast<uint32_t>(n));
  EXPECT_EQ(Le32(bytes, 40), 2U * static_cast<uint32_t>(n));
  EXPECT_EQ(Le32(bytes, 4), 2U * static_cast<uint32_t>(n) + 36);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"one.wav"});
  EXPECT_TRUE(prompts.silent());
  EXPECT_EQ(prompts.busyDepth, 0);
  EXPECT_EQ(gauges.shown, 1);
  EXPECT_EQ(gauges.hidden, 1);

  // The blip of pattern 3-8 sits on step 9: silence before it, sound on it.
  const auto s = Samples("one.wav");
  EXPECT_EQ(s[9 * 5512 - 2], 0);
  EXPECT_EQ(s[9 * 5512], 4000);
  // Gauges: at i = 0, 2048, 4096, ... below n; overall 100 at the end.
  ASSERT_EQ(gauges.current.size(), static_cast<std::size_t>((n + 2047) / 2048));
  for (std::size_t k = 0; k < gauges.current.size(); ++k) {
    EXPECT_EQ(gauges.current[k], ProgressPercent(static_cast<int64_t>(k) * 2048, n)) << k;
  }
  EXPECT_EQ(gauges.overall, std::vector<int>{100});
  // The render puts the positions back and changes nothing in the song.
  EXPECT_EQ(e.state.playBank, 1);
  EXPECT_EQ(e.state.playPattern, 1);
  EXPECT_FALSE(e.playing);
  EXPECT_FALSE(e.songMode);
  EXPECT_FALSE(e.state.songChanged);
}

TEST_F(RenderFixture, AnEmptySequenceRendersThePatternTheEngineHeld) {
  e.state.playBank = 4;
  e.state.playPattern = 0;
  Collect sink;
  RenderSong(e, EntireSongRange(e.state.sequence), sink, gauges);
  ASSERT_EQ(sink.appends, std::vector<std::size_t>{static_cast<std::size_t>(n)});
  EXPECT_EQ(sink.samples[4 * 5512], 4000) << "pattern 5-1 blips on step 4";
  EXPECT_EQ(sink.samples[4 * 5512 - 2], 0);
}

TEST_F(RenderFixture, AnEmptyEntryRepeatsThePatternBeforeIt) {
  const SequenceEntry entries[] = {{0, 0}, {0, 1}, {0, 2}, {-1, -1}, {0, 4}, {0, 5}};
  for (int i = 0; i < 6; ++i) {
    e.state.sequence.slots[i] = entries[i];
  }
  ASSERT_TRUE(RenderTo(RenderKind::EntireSong, "song"));
  EXPECT_EQ(gauges.overall, (std::vector<int>{17, 33, 50, 67, 83, 100}));
  const auto s = Samples("song");
  ASSERT_EQ(s.size(), 6U * static_cast<std::size_t>(n));
  const auto third = s.begin() + 2 * n;
  const auto fourth = s.begin() + 3 * n;
  EXPECT_TRUE(std::equal(third, third + n - 1, fourth)) << "the fourth repeats the third";
  EXPECT_EQ(s[static_cast<std::size_t>(5 * n + 5 * 5512)], 4000) << "entry 5 plays 1-6";
}

TEST_F(RenderFixture, SongloopRendersExactlyTheSelectedSlots) {
  for (int i = 0; i < 10; ++i) {
    e.state.sequence.slots[i] = {0, static_cast<int8_t>(i % 8)};
  }
  ASSERT_TRUE(RenderTo(RenderKind::SongLoop, "loop.wav", SelectionRange(4, 4)));
  EXPECT_EQ(Samples("loop.wav").size(), 4U * static_cast<std::size_t>(n));
  EXPECT_EQ(gauges.overall, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(gauges.patterns, 4);
}

TEST_F(RenderFixture, TheSongPositionMovesOnOncePerRenderedPattern) {
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {0, 1};
  e.state.songPosition = 0;
  ASSERT_TRUE(RenderTo(RenderKind::EntireSong, "two.wav"));
  EXPECT_EQ(e.state.songPosition, 2);
}

TEST_F(RenderFixture, RenderingWhilePlayingIsRefused) {
  e.playing = true;
  std::string folder = "/";
  EXPECT_FALSE(RenderWavCommand(e, prompts, gauges, RenderKind::EntireSong, {}, folder));
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"You can not render while playing. Please press "
                                     "the play-button to stop playback and try again..."});
  EXPECT_TRUE(prompts.dialogs.empty());
  e.playing = false;
}

TEST_F(RenderFixture, TheCommandAsksForTheFileAndAddsTheExtension) {
  prompts.files.emplace_back(dir.File("take"));
  std::string folder = "/music";
  ASSERT_TRUE(RenderWavCommand(e, prompts, gauges, RenderKind::ThisPattern, {}, folder));
  EXPECT_TRUE(std::filesystem::exists(dir.File("take.wav")));
  ASSERT_EQ(prompts.dialogs.size(), 1U);
  EXPECT_EQ(prompts.dialogs[0].title, "Stream to a wave-file...");
  EXPECT_EQ(prompts.dialogs[0].filter, "Windows wave-files (*.wav)|*.wav|All files (*.*)|*.*");
  EXPECT_EQ(prompts.dialogs[0].defaultExtension, "*.wav");
  EXPECT_EQ(prompts.dialogs[0].initialFolder, "/music");
  EXPECT_EQ(RenderTargetPath("/my.songs/take"), "/my.songs/take");
  // The next render starts where this one wrote; a cancelled one leaves it there.
  EXPECT_EQ(folder, dir.path().string() + "/");
  EXPECT_FALSE(RenderWavCommand(e, prompts, gauges, RenderKind::ThisPattern, {}, folder))
      << "cancelled";
  EXPECT_EQ(prompts.dialogs.back().initialFolder, dir.path().string() + "/");
  EXPECT_EQ(folder, dir.path().string() + "/");
}

TEST_F(RenderFixture, AMissingFolderFailsBeforeAnythingIsWrittenAndSaysWhy) {
  const std::string target = dir.File("nowhere/out.wav");
  EXPECT_FALSE(RenderToWavFile(e, prompts, gauges, RenderKind::ThisPattern, target, {}));
  EXPECT_EQ(prompts.notices, std::vector<std::string>{"Error creating wave-file \"" + target +
                                                      "\"...\nNo such file or directory"});
  EXPECT_EQ(gauges.shown, 0);
  EXPECT_TRUE(dir.Names().empty());
}

TEST_F(RenderFixture, NoTemporaryFileMeansNoTargetLeftBehind) {
  const test::FileFault full(test::FileOp::Create, 1, ENOSPC);
  const std::string target = dir.File("a.wav");
  EXPECT_FALSE(RenderToWavFile(e, prompts, gauges, RenderKind::ThisPattern, target, {}));
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{
                "Could not create temporary storage file !\nNo space left on device"});
  EXPECT_TRUE(dir.Names().empty());
}

TEST_F(RenderFixture, AFileOfTheUsersNamedLikeTheOldTemporaryFileSurvives) {
  test::WriteBytes(dir.File("lwrender.tmp"), {7, 7, 7});
  ASSERT_TRUE(RenderTo(RenderKind::ThisPattern, "out.wav"));
  EXPECT_EQ(ReadBytes(dir.File("lwrender.tmp")), (std::vector<uint8_t>{7, 7, 7}));
  auto names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"lwrender.tmp", "out.wav"}))
      << "nothing else is left behind";
  EXPECT_EQ(ReadBytes(dir.File("out.wav")).size(), 44U + 2U * static_cast<uint32_t>(n));
}

TEST_F(RenderFixture, AFullDiskLeavesNoPartialFileAndKeepsAnOldOne) {
  test::WriteBytes(dir.File("old.wav"), {1, 2, 3});
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool newOk = RenderTo(RenderKind::ThisPattern, "new.wav");
  const bool oldOk = RenderTo(RenderKind::ThisPattern, "old.wav");
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
  EXPECT_FALSE(newOk);
  EXPECT_FALSE(oldOk);
  EXPECT_EQ(prompts.ioErrors,
            (std::vector<std::string>{FileErrorText("File too large", dir.File("new.wav")),
                                      FileErrorText("File too large", dir.File("old.wav"))}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.wav"});
  EXPECT_EQ(ReadBytes(dir.File("old.wav")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(gauges.hidden, 2);
  EXPECT_FALSE(e.playing);
}

TEST(Progress, RoundsHalfToEvenAndStaysWithin0To100) {
  EXPECT_EQ(ProgressPercent(1, 8), 12); // 12.5
  EXPECT_EQ(ProgressPercent(3, 8), 38); // 37.5
  EXPECT_EQ(ProgressPercent(2048, 88192), 2);
  EXPECT_EQ(ProgressPercent(5, 4), 100);
  EXPECT_EQ(ProgressPercent(0, 0), 100);
}

TEST(Bounce, NormalisingFollowsTheHeadroomRule) {
  std::vector<int16_t> a{16384, -8192, 1};
  NormaliseBounce(a.data(), a.size());
  EXPECT_EQ(a, (std::vector<int16_t>{32767, -16384, 2}));

  std::vector<int16_t> b{27305, -100};
  NormaliseBounce(b.data(), b.size());
  EXPECT_EQ(b[0], 32767);
  std::vector<int16_t> c{27306, -100};
  NormaliseBounce(c.data(), c.size());
  EXPECT_EQ(c, (std::vector<int16_t>{27306, -100}));
  std::vector<int16_t> d{-32768, 5};
  NormaliseBounce(d.data(), d.size());
  EXPECT_EQ(d, (std::vector<int16_t>{-32768, 5}));
  std::vector<int16_t> silent(50, 0);
  NormaliseBounce(silent.data(), silent.size());
  EXPECT_EQ(silent, std::vector<int16_t>(50, 0));
  std::vector<int16_t> low{-20000, 10000};
  NormaliseBounce(low.data(), low.size());
  EXPECT_EQ(low[0], -32767);
}

TEST_F(RenderFixture, ABounceOfAnEmptyPatternIsSilentEvenAfterARingingNote) {
  PutSample(e, 1, std::vector<int16_t>(1000000, 9000), 44100, SampleCategory::Drum);
  PutNote(e, 0, 0, 1, 0, 1);
  test::Start(e);
  test::Render(e, 1000); // a long note left ringing when playback stops
  e.playing = false;
  e.songMode = true;
  e.state.songPosition = 0;
  // Bank 8 pattern 8 has only its blip on step 14, on channel 0; clear it.
  e.state.song.step(7, 7, 0, 14).trigger = 0;
  const auto bounce = RenderBounce(e, 7, 7);
  ASSERT_EQ(bounce.size(), static_cast<std::size_t>(n));
  for (int16_t v : bounce) {
    ASSERT_EQ(v, 0);
  }
  EXPECT_TRUE(e.songMode) << "song mode is put back";
  EXPECT_EQ(e.state.songPosition, 1) << "the position moved on once";
}

} // namespace
} // namespace lw
