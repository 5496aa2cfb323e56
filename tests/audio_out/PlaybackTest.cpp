#include "audio_out/Playback.h"
#include "CollectSink.h"
#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "audio_out/Render.h"
#include "commands/SequencerCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;

constexpr std::size_t kBlock = LivePlayback::kBlockSamples;

using Collect = test::CollectSink;

// A song whose pattern 2-3 has notes on every channel and a delay send, so a stale
// voice or echo would show.
void MakeSong(Engine& e) {
  PutSample(e, 0, std::vector<int16_t>(30000, 9000), 44100, SampleCategory::Drum);
  PutSample(e, 1, std::vector<int16_t>(8000, -4000), 22050, SampleCategory::Instrument);
  for (int st = 0; st < kSteps; st += 4) {
    PutNote(e, 1, 2, 0, st, 0);
    PutNote(e, 1, 2, 1, st + 2, 1).note = 40;
  }
  PutNote(e, 1, 2, 2, 0, 0); // a long note on channel 2 that rings over the pattern end
  e.state.song.channel(1, 2, 0).delaySend = 70;
  e.state.song.delayFeedback = 80;
}

struct PlaybackFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  test::FakePrompts prompts;
  test::FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> playback;
  int refreshes = 0;

  void SetUp() override {
    auto fake = std::make_unique<test::FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    playback = std::make_unique<LivePlayback>(e, *waveOut);
    playback->refreshDisplay = [this] { ++refreshes; };
    waveOut->Open(-1);
    MakeSong(e);
    e.state.editBank = 1;
    e.state.editPattern = 2;
  }
  void TearDown() override { playback->FormClose(); }

  // The sequencer's play button over the selection first..last.
  bool SongPlay(int32_t first, int32_t last) {
    return SongPlayButton(e, first, last, [this] { playback->PlayBtnClick(); }) ==
           PlayPicture::PlayOn;
  }

  // What the device plays next, pulled 1024 samples at a time as the SDL device does,
  // with every callback run before the next pull, as in real time.
  std::vector<int16_t> Play(std::size_t frames) {
    std::vector<int16_t> out;
    while (out.size() < frames) {
      const auto part = device->PullNow(1024);
      out.insert(out.end(), part.begin(), part.end());
      waveOut->WaitForCallbacks();
    }
    out.resize(frames);
    return out;
  }
  // One pass of the edited pattern, rendered offline by a fresh engine.
  std::vector<int16_t> Offline() {
    auto fresh = test::NewEngine();
    MakeSong(*fresh);
    Collect sink;
    RenderProgress none;
    RenderPattern(*fresh, 1, 2, sink, none);
    return sink.samples;
  }
};

TEST_F(PlaybackFixture, StartQueuesSilenceThenPlaysWhatTheOfflineRenderWrites) {
  playback->PlayBtnClick();
  EXPECT_TRUE(e.playing);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(waveOut->queuedBlocks(), 2) << "a silent block and a one-sample block";
  const auto live = Play(12289 + 3 * kBlock);
  EXPECT_TRUE(std::all_of(live.begin(), live.begin() + 12289, [](int16_t v) { return v == 0; }));
  const auto offline = Offline();
  EXPECT_NE(live[12289], 0);
  EXPECT_TRUE(std::equal(live.begin() + 12289, live.end(), offline.begin()));
  EXPECT_LE(waveOut->queuedBlocks(), 3);
}

// The step light's source: the engine sample the device reads next, exactly, whatever
// it takes at a time; nothing while the silence before the song plays, or after a stop.
TEST_F(PlaybackFixture, TheSongCursorNamesTheEngineSampleTheDeviceReadsNext) {
  std::vector<int16_t> warm(3000);
  e.RenderBlock(warm.data(), warm.size()); // an earlier render only moves the origin
  EXPECT_FALSE(playback->songCursor()) << "stopped";
  playback->PlayBtnClick();
  const uint64_t origin = 3000;
  const auto offline = Offline();
  // A device buffer at a time, as the SDL device takes them.
  for (std::size_t pulled = 0; pulled < 12289 + 3 * kBlock; pulled += 1024) {
    const auto cursor = playback->songCursor();
    const auto heard = device->PullNow(1024);
    waveOut->WaitForCallbacks();
    if (pulled < 12289 - 1024) {
      EXPECT_FALSE(cursor) << "after " << pulled;
    } else if (pulled >= 12289) {
      ASSERT_TRUE(cursor) << "after " << pulled;
      EXPECT_EQ(cursor->sample, origin + (pulled - 12289)) << "after " << pulled;
      EXPECT_EQ(cursor->behind, 0U) << "the fake device keeps nothing back";
      EXPECT_EQ(heard[0], offline[cursor->sample - origin]) << "after " << pulled;
    }
  }
  const auto cursor = playback->songCursor();
  ASSERT_TRUE(cursor);
  const auto mark = e.trace.At(cursor->sample);
  ASSERT_TRUE(mark);
  // The first step after a start is a sample short.
  uint64_t begins = origin;
  uint64_t next = origin - 1 + e.clock.stepLengths[0];
  int step = 0;
  while (next <= cursor->sample) {
    begins = next;
    next += e.clock.stepLengths[static_cast<std::size_t>(++step)];
  }
  EXPECT_EQ(mark->step, step);
  EXPECT_EQ(mark->sample, begins);
  playback->PlayBtnClick();
  EXPECT_FALSE(playback->songCursor()) << "stopped";
}

TEST_F(PlaybackFixture, StoppingQueuesNothingMoreAndRestartingBeginsAfresh) {
  playback->PlayBtnClick();
  const auto first = Play(12289 + 2 * kBlock);
  Play(5000);
  playback->PlayBtnClick(); // stop
  EXPECT_FALSE(e.playing);
  waveOut->WaitForCallbacks();
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
  EXPECT_EQ(Play(kBlock), std::vector<int16_t>(kBlock, 0)) << "nothing is queued after a stop";

  e.state.editPattern = 2; // the pattern on screen
  playback->PlayBtnClick();
  EXPECT_EQ(e.clock.currentStep, 0);
  const auto second = Play(12289 + 2 * kBlock);
  EXPECT_EQ(first, second) << "step 0 again, voices silenced, the delay line empty";
}

// Another output plays the engine meanwhile: suspended, the queue renders nothing and
// plays silence, whatever `playing` says; resumed, it plays on from the engine's place.
TEST_F(PlaybackFixture, ASuspendedQueueRendersNothingAndResumesWhereTheEngineIs) {
  playback->PlayBtnClick();
  const auto before = Play(12289 + kBlock);
  playback->Suspend();
  EXPECT_TRUE(e.playing);
  waveOut->WaitForCallbacks();
  const StepClock clock = e.clock;
  EXPECT_EQ(Play(3 * kBlock), std::vector<int16_t>(3 * kBlock, 0));
  EXPECT_EQ(e.clock.currentStep, clock.currentStep);
  EXPECT_EQ(e.clock.samplesLeft, clock.samplesLeft) << "nothing rendered while suspended";

  playback->Resume();
  const auto after = Play(12289 + 2 * kBlock);
  EXPECT_EQ(std::vector<int16_t>(after.begin(), after.begin() + 12289),
            std::vector<int16_t>(12289, 0))
      << "primed as a start primes";
  // The song from a block boundary past everything heard before.
  const auto offline = Offline();
  bool found = false;
  for (std::size_t block = 1; block < 8 && !found; ++block) {
    found = block * kBlock >= before.size() - 12289 &&
            std::equal(after.begin() + 12289, after.end(),
                       offline.begin() + static_cast<std::ptrdiff_t>(block * kBlock));
  }
  EXPECT_TRUE(found) << "the song goes on";
}

TEST_F(PlaybackFixture, PressingPlayTwiceQuicklyStopsAndClearsTheDelay) {
  playback->PlayBtnClick();
  Play(12289 + kBlock);
  e.delay.Process(5000); // an echo waiting in the line
  playback->PlayBtnClick();
  playback->PlayBtnClick();
  playback->PlayBtnClick();
  EXPECT_FALSE(e.playing);
  waveOut->WaitForCallbacks();
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
  for (int i = 0; i < 70000; ++i) {
    ASSERT_EQ(e.delay.Process(0), 0);
  }
  EXPECT_EQ(refreshes, 4);
}

TEST_F(PlaybackFixture, SongModeSurvivesAStopFromTheMainPlayButton) {
  e.state.sequence.slots[3] = {1, 2};
  e.state.sequence.slots[4] = {0, 5};
  EXPECT_TRUE(SongPlay(3, 4));
  EXPECT_TRUE(e.songMode);
  EXPECT_EQ(e.state.playBank, 1);
  EXPECT_EQ(e.state.loopFirstSlot, 3);
  EXPECT_EQ(e.state.loopLastSlot, 4);
  Play(12289 + 15 * 5512);
  EXPECT_EQ(e.state.songPosition, 4);
  playback->PlayBtnClick(); // the main window's button stops, song mode stays
  EXPECT_TRUE(e.songMode);
  e.state.editBank = 7;
  playback->PlayBtnClick();
  EXPECT_NE(e.state.playBank, 7) << "song mode keeps the positions the engine holds";
  EXPECT_FALSE(SongPlay(0, 0)) << "the sequencer's button stops song play";
  EXPECT_FALSE(e.songMode);
  EXPECT_FALSE(e.playing);
}

// Blocks finished just before the playback goes still have their callbacks queued; they
// must find it gone, not call into it (AddressSanitizer watches this suite).
TEST(PlaybackLifetime, ThePlaybackMayGoWhileFinishedBlocksAwaitTheirCallbacks) {
  auto engine = test::NewEngine();
  test::FakePrompts prompts;
  for (int round = 0; round < 30; ++round) {
    auto fake = std::make_unique<test::FakeAudioDevice>();
    test::FakeAudioDevice* device = fake.get();
    WaveOut waveOut(std::move(fake), prompts);
    auto playback = std::make_unique<LivePlayback>(*engine, waveOut);
    waveOut.Open(-1);
    playback->PlayBtnClick();
    device->PullNow(3 * LivePlayback::kBlockSamples);
    playback->FormClose(); // stops: every queued block comes back finished
    playback.reset();
    waveOut.WaitForCallbacks();
  }
}

// Waits until `count` stops moving for a while; false when it is still moving after
// two seconds.
bool Settles(const std::atomic<int>& count) {
  using namespace std::chrono_literals;
  const auto giveUp = std::chrono::steady_clock::now() + 2s;
  int seen = count.load();
  while (std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(50ms);
    const int now = count.load();
    if (now == seen) {
      return true;
    }
    seen = now;
  }
  return false;
}

// Stops and starts faster than the notification thread runs the blocks a stop returns:
// those late reports must not queue blocks of their own. Nothing is pulled meanwhile,
// so once they are run nothing more is rendered.
TEST_F(PlaybackFixture, QuickRestartsKeepTwoBlocksQueuedAndFallSilent) {
  std::atomic<int> calls{0};
  waveOut->SetCallback([&] {
    ++calls;
    std::this_thread::sleep_for(std::chrono::microseconds(300)); // a slow notification thread
    playback->BufferDone();
  });
  playback->PlayBtnClick();
  int deepest = 0;
  for (int pair = 0; pair < 100; ++pair) {
    playback->PlayBtnClick(); // stop: the queued blocks come back finished
    playback->PlayBtnClick(); // start
    deepest = std::max(deepest, waveOut->queuedBlocks());
  }
  ASSERT_TRUE(e.playing);
  const bool settled = Settles(calls);
  EXPECT_LE(deepest, 2);
  EXPECT_EQ(waveOut->queuedBlocks(), 2);
  ASSERT_TRUE(settled) << "blocks rendered and dropped with nothing pulled";

  // Playing on is as after any start, and a stop brings everything to rest.
  const auto live = Play(12289 + kBlock);
  EXPECT_NE(live[12289], 0);
  EXPECT_LE(waveOut->queuedBlocks(), 2);
  playback->PlayBtnClick();
  ASSERT_TRUE(Settles(calls));
  const int atRest = calls.load();
  EXPECT_EQ(Play(3 * kBlock), std::vector<int16_t>(3 * kBlock, 0));
  EXPECT_EQ(calls.load(), atRest) << "nothing finishes after a stop";
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
}

TEST_F(PlaybackFixture, TheSongButtonOnlyShowsOffWhileAPatternPlays) {
  playback->PlayBtnClick();
  EXPECT_FALSE(SongPlay(0, 3));
  EXPECT_TRUE(e.playing);
  EXPECT_FALSE(e.songMode);
}

TEST_F(PlaybackFixture, TheDeviceIsReleasedInTheBackgroundOnlyWhileStopped) {
  playback->DeactivatePlayBack();
  EXPECT_FALSE(waveOut->isOpen());
  playback->ReactivatePlayBack();
  EXPECT_TRUE(waveOut->isOpen());
  playback->PlayBtnClick();
  playback->DeactivatePlayBack();
  EXPECT_TRUE(waveOut->isOpen()) << "playing on in the background";
  EXPECT_NE(Play(12289 + 10).back(), 0);
}

TEST_F(PlaybackFixture, ClosingTheWindowWhilePlayingStopsTheDeviceFirst) {
  playback->PlayBtnClick();
  Play(12289);
  playback->FormClose();
  EXPECT_FALSE(e.playing);
  EXPECT_FALSE(waveOut->isOpen());
  EXPECT_EQ(device->closes, 1);
  waveOut->WaitForCallbacks();
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
}

TEST_F(PlaybackFixture, StartingWithAClosedDevicePlaysNothingAndSaysNothing) {
  playback->DeactivatePlayBack();
  playback->PlayBtnClick();
  EXPECT_TRUE(e.playing);
  EXPECT_EQ(Play(100), std::vector<int16_t>(100, 0));
  EXPECT_TRUE(prompts.silent());
}

// Previews. The fixture's Play pulls 1024 values at a time and drops what it pulled past
// `frames`, so pulls that go on from each other ask for multiples of 1024.

PreviewSound Sound(const std::vector<int16_t>& values, uint32_t rate = 44100) {
  return {std::make_shared<const SampleData>(values.begin(), values.end()), rate};
}

// Small values of one sign, never 0, so that a preview shows in what is heard and one
// preview is never taken for the other.
std::vector<int16_t> Rising(std::size_t n) {
  std::vector<int16_t> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    values[i] = static_cast<int16_t>(1 + (i * 13) % 2000);
  }
  return values;
}
std::vector<int16_t> Falling(std::size_t n) {
  std::vector<int16_t> values = Rising(n);
  for (int16_t& v : values) {
    v = static_cast<int16_t>(-v);
  }
  return values;
}

void Append(std::vector<int16_t>& to, const std::vector<int16_t>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// The first index from `from` on where `live` is not the song; live.size() for none.
std::size_t FirstDifference(const std::vector<int16_t>& live, const std::vector<int16_t>& song,
                            std::size_t from) {
  while (from < live.size() && live[from] == song[from]) {
    ++from;
  }
  return from;
}

// How many leading values of `sound` `live` holds added to the song from `at` on.
std::size_t Carried(const std::vector<int16_t>& live, const std::vector<int16_t>& song,
                    std::size_t at, const std::vector<int16_t>& sound) {
  std::size_t k = 0;
  while (k < sound.size() && at + k < live.size() &&
         live[at + k] == std::clamp(song[at + k] + sound[k], -32768, 32767)) {
    ++k;
  }
  return k;
}

// Blocks of the song begin 6145 values after the start (a silent block, then one value).
bool AtABlockStart(std::size_t at) {
  return at >= 6145 && (at - 6145) % kBlock == 0;
}

struct PreviewFixture : PlaybackFixture {
  // `n` values of what a start plays: silence, then the pattern as rendered offline.
  std::vector<int16_t> Song(std::size_t n) {
    std::vector<int16_t> song(12289, 0);
    Append(song, Offline());
    EXPECT_GE(song.size(), n) << "the pattern is long enough for the test";
    song.resize(n);
    return song;
  }
};

TEST_F(PreviewFixture, WhileStoppedTheSoundIsHeardAloneAtItsRateThenSilence) {
  const std::vector<int16_t> values = Rising(10000);
  for (const uint32_t rate : {44100U, 22050U}) {
    std::weak_ptr<const SampleData> kept;
    {
      PreviewSound sound = Sound(values, rate);
      kept = sound.data;
      playback->Preview(std::move(sound));
    }
    EXPECT_EQ(waveOut->queuedBlocks(), 2) << "heard at once";
    const std::vector<int16_t> heard = Play(25 * 1024);
    SamplePreview reading;
    (void)reading.Start(Sound(values, rate));
    std::vector<int16_t> expected(SamplePreview::OutputLength(values.size(), rate), 0);
    reading.MixInto(expected.data(), expected.size());
    ASSERT_EQ(expected.size(), rate == 44100 ? 10000U : 20000U);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin())) << rate;
    EXPECT_TRUE(std::all_of(heard.begin() + static_cast<long>(expected.size()), heard.end(),
                            [](int16_t v) { return v == 0; }))
        << rate;
    waveOut->WaitForCallbacks();
    EXPECT_EQ(waveOut->queuedBlocks(), 0) << "nothing is queued after the sound";
    EXPECT_FALSE(playback->previewing());
    EXPECT_FALSE(kept.expired()) << "the notification thread never frees a sound";
    playback->StopPreview();
    EXPECT_TRUE(kept.expired()) << "the interface thread does, when it lets go";
  }
  EXPECT_FALSE(e.playing);
  EXPECT_EQ(refreshes, 0);
}

TEST_F(PreviewFixture, WhilePlayingTheSoundIsAddedToTheSongWhichStaysAsRendered) {
  playback->PlayBtnClick();
  std::vector<int16_t> live = Play(19 * 1024);
  const std::vector<int16_t> sound = Rising(8000);
  playback->Preview(Sound(sound));
  Append(live, Play(24 * 1024));
  const std::vector<int16_t> song = Song(live.size());

  const std::size_t onset = FirstDifference(live, song, 0);
  EXPECT_GE(onset, 19U * 1024) << "nothing of it before it was asked for";
  EXPECT_LE(onset, 19U * 1024 + 2 * kBlock) << "behind the two blocks queued at most";
  EXPECT_TRUE(AtABlockStart(onset)) << onset;
  EXPECT_EQ(Carried(live, song, onset, sound), sound.size());
  EXPECT_EQ(FirstDifference(live, song, onset + sound.size()), live.size())
      << "then the song alone";
  EXPECT_TRUE(e.playing);
  EXPECT_FALSE(playback->previewing());
}

TEST_F(PreviewFixture, ANewPreviewEndsTheOneBefore) {
  // While playing: behind the queued blocks, at the start of a block.
  playback->PlayBtnClick();
  std::vector<int16_t> live = Play(19 * 1024);
  const std::vector<int16_t> first = Rising(30000);
  const std::vector<int16_t> second = Falling(3000);
  playback->Preview(Sound(first));
  Append(live, Play(6 * 1024));
  playback->Preview(Sound(second));
  Append(live, Play(30 * 1024));
  const std::vector<int16_t> song = Song(live.size());
  const std::size_t onset = FirstDifference(live, song, 0);
  const std::size_t cut = onset + Carried(live, song, onset, first);
  EXPECT_GT(cut, onset);
  EXPECT_LT(cut, onset + first.size());
  EXPECT_TRUE(AtABlockStart(cut)) << cut;
  EXPECT_EQ(Carried(live, song, cut, second), second.size());
  EXPECT_EQ(FirstDifference(live, song, cut + second.size()), live.size());

  // While stopped: at once, and the sound replaced is freed by the thread replacing it.
  playback->PlayBtnClick();
  waveOut->WaitForCallbacks();
  std::weak_ptr<const SampleData> replaced;
  {
    PreviewSound sound = Sound(first);
    replaced = sound.data;
    playback->Preview(std::move(sound));
  }
  const std::vector<int16_t> begun = Play(2 * 1024);
  EXPECT_TRUE(std::equal(begun.begin(), begun.end(), first.begin()));
  playback->Preview(Sound(second));
  EXPECT_TRUE(replaced.expired());
  const std::vector<int16_t> heard = Play(2 * kBlock);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), heard.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + 3000, heard.end(), [](int16_t v) { return v == 0; }));
}

TEST_F(PreviewFixture, StoppingAPreviewSilencesIt) {
  const std::vector<int16_t> sound = Rising(40000);
  playback->Preview(Sound(sound));
  Play(1024);
  playback->StopPreview();
  EXPECT_FALSE(playback->previewing());
  EXPECT_EQ(Play(3 * kBlock), std::vector<int16_t>(3 * kBlock, 0)) << "at once while stopped";
  waveOut->WaitForCallbacks();
  EXPECT_EQ(waveOut->queuedBlocks(), 0);

  playback->PlayBtnClick();
  std::vector<int16_t> live = Play(19 * 1024);
  playback->Preview(Sound(sound));
  Append(live, Play(12 * 1024));
  playback->StopPreview();
  Append(live, Play(20 * 1024));
  const std::vector<int16_t> song = Song(live.size());
  const std::size_t onset = FirstDifference(live, song, 0);
  const std::size_t end = onset + Carried(live, song, onset, sound);
  EXPECT_GT(end, onset);
  EXPECT_LT(end, onset + sound.size());
  EXPECT_TRUE(AtABlockStart(end)) << end;
  EXPECT_LE(end, 31U * 1024 + 2 * kBlock) << "behind the blocks queued when it was stopped";
  EXPECT_EQ(FirstDifference(live, song, end), live.size());
}

TEST_F(PreviewFixture, StartingOrStoppingTheSongEndsAPreviewAndTheSongBeginsAsEver) {
  playback->Preview(Sound(Rising(40000)));
  Play(2 * 1024);
  playback->PlayBtnClick();
  EXPECT_FALSE(playback->previewing());
  EXPECT_EQ(waveOut->queuedBlocks(), 2) << "a silent block and a one-sample block";
  const std::vector<int16_t> live = Play(12289 + 3 * kBlock);
  EXPECT_EQ(live, Song(live.size()));

  playback->Preview(Sound(Rising(40000)));
  playback->PlayBtnClick(); // stop
  EXPECT_FALSE(playback->previewing());
  waveOut->WaitForCallbacks();
  EXPECT_EQ(waveOut->queuedBlocks(), 0);
  EXPECT_EQ(Play(kBlock), std::vector<int16_t>(kBlock, 0));
}

// An offline render runs with the live output stopped and sets `playing` as it goes; the
// blocks of a preview finishing meanwhile must not render samples of its song.
TEST_F(PreviewFixture, ARenderMeanwhileKeepsEverySampleItRenders) {
  const std::vector<int16_t> sound = Rising(20000);
  playback->Preview(Sound(sound));
  test::Start(e, 1, 2); // as a render starts its clock
  const int32_t left = e.clock.samplesLeft;
  const std::vector<int16_t> heard = Play(4 * kBlock);
  EXPECT_TRUE(std::equal(sound.begin(), sound.end(), heard.begin()));
  EXPECT_EQ(e.clock.samplesLeft, left) << "the clock only moves for the render";
  EXPECT_EQ(e.clock.currentStep, 0);
  e.playing = false;
}

TEST_F(PreviewFixture, NothingIsHeardWithTheDeviceReleased) {
  playback->Preview(Sound(Rising(40000)));
  playback->DeactivatePlayBack();
  EXPECT_FALSE(playback->previewing()) << "releasing the device ends a preview";
  playback->Preview(Sound(Rising(40000)));
  EXPECT_FALSE(playback->previewing());
  EXPECT_EQ(waveOut->queuedBlocks(), 0) << "nothing left to play when the device comes back";
  playback->ReactivatePlayBack();
  EXPECT_EQ(Play(kBlock), std::vector<int16_t>(kBlock, 0));
  EXPECT_TRUE(prompts.silent());
}

} // namespace
} // namespace lw
