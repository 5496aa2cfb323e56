// Golden renders: songs built here, rendered whole, each pinned by its length and its
// SHA-256. Together they play every step controller mode, both slicing commands,
// shuffle, every delay length with feedback, overdrive off and at several amounts,
// vinyl noise, song mode with gaps, a song loop ending at slot 127, a pattern switch at
// step 0, sample rates across the 16-bit range, the three render kinds and a bounce. A
// change to any of the engine's arithmetic changes some of these hashes.
//
// Setting LOOPWREN_GOLDEN_SONGS to a folder also saves each file-rendered song there
// (with its noise file), so that other implementations can render the same songs.
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "Sha256.h"
#include "SoundFiles.h"
#include "TempDir.h"
#include "audio_out/AudioExport.h"
#include "audio_out/RenderCommand.h"
#include "commands/ChannelMutes.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "song/EditCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;

// A 32-bit linear congruential generator: the same numbers on every machine.
class Lcg {
public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525U + 1013904223U;
    return state_ >> 8U;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }

private:
  uint32_t state_;
};

std::vector<int16_t> NoiseData(std::size_t n, uint32_t seed, int amplitude) {
  Lcg r(seed);
  std::vector<int16_t> data(n);
  for (auto& v : data) {
    v = static_cast<int16_t>(r.Between(-amplitude, amplitude));
  }
  return data;
}

// A decaying triangle: a drum or a plucked note, with exact zeros between its halves.
std::vector<int16_t> Pluck(std::size_t n, int period, int amplitude) {
  std::vector<int16_t> data(n);
  for (std::size_t i = 0; i < n; ++i) {
    const int phase = static_cast<int>(i % static_cast<std::size_t>(period));
    const int half = period / 2;
    const int tri = phase < half ? phase : period - phase;
    const auto left = static_cast<int64_t>(n - i);
    data[i] = static_cast<int16_t>((2 * tri - half) * int64_t{amplitude} / half * left /
                                   static_cast<int64_t>(n));
  }
  return data;
}

// The kit, with rates across the 16-bit range.
void PutKit(Engine& e) {
  PutSample(e, 0, Pluck(9000, 200, 30000), 44100, SampleCategory::Drum, "kick");
  PutSample(e, 1, NoiseData(4000, 11, 12000), 32000, SampleCategory::Drum, "hat");
  PutSample(e, 2, Pluck(30000, 100, 20000), 22050, SampleCategory::Instrument, "bass");
  PutSample(e, 3, Pluck(88000, 441, 16000), 44100, SampleCategory::Loop, "loop");
  PutSample(e, 5, NoiseData(3000, 55, 32767), 65535, SampleCategory::Drum, "fast");
  PutSample(e, 6, Pluck(12000, 37, 25000), 11025, SampleCategory::Instrument, "lead");
  PutSample(e, 9, Pluck(2000, 16, 32767), 1, SampleCategory::Drum, "crawl");
  PutSample(e, 12, Pluck(5000, 60, 28000), 8000, SampleCategory::Loop, "grit");
}

constexpr int kUsedSlots[] = {0, 1, 2, 3, 5, 6, 9, 12};

// A pattern of steps with every value the program can write: notes of the kit and of a
// freed slot (a pasted step can name one), volume overrides, all modes, positions up to
// the 1026 of the slicing commands, pitches 50..150 and notes 12..71.
void RandomPattern(Engine& e, int bank, int pattern, uint32_t seed) {
  Lcg r(seed);
  for (int c = 0; c < kChannels; ++c) {
    Channel& channel = e.state.song.channel(bank, pattern, c);
    channel.volume = r.Between(0, 127);
    channel.delaySend = r.Between(0, 100);
    channel.distortOn = static_cast<uint8_t>(r.Below(2));
    for (int s = 0; s < kSteps; ++s) {
      Step& step = channel.steps[s];
      step.trigger = static_cast<uint8_t>(r.Below(3) == 0 ? 0 : 1);
      step.sample = static_cast<uint8_t>(r.Below(12) == 0 ? 40 : kUsedSlots[r.Below(8)]);
      step.volume = static_cast<uint8_t>(r.Below(3) == 0 ? r.Between(0, 127) : 255);
      constexpr uint8_t kModes[] = {255, 255, 2, 3, 4, 5};
      step.mode = kModes[r.Below(6)];
      step.startPos = r.Between(0, 1024);
      step.endPos = r.Below(4) == 0 ? r.Between(1023, 1026) : r.Between(0, 1024);
      step.pitch = static_cast<uint8_t>(r.Between(50, 150));
      step.note = r.Between(12, 71);
    }
  }
}

// The master settings of a song.
struct Master {
  int tempo = 120;
  int shuffle = 0;
  int delaySteps = 3;
  int feedback = 50;
  int distort = 32;
  int vinyl = 0;
};

void SetMaster(Engine& e, const Master& m) {
  Song& song = e.state.song;
  song.tempo = m.tempo;
  song.shuffle = m.shuffle;
  song.delaySteps = static_cast<uint8_t>(m.delaySteps);
  song.delayFeedback = m.feedback;
  song.distortAmount = m.distort;
  song.vinylAmount = m.vinyl;
}

// Every controller by hand on the three channels of bank 1, pattern 1.
void ControllerPattern(Engine& e) {
  Song& song = e.state.song;
  auto mode = [&](int c, int s, StepMode m, int start = 0, int end = 1024) -> Step& {
    Step& step = song.step(0, 0, c, s);
    step.mode = static_cast<uint8_t>(m);
    step.startPos = start;
    step.endPos = end;
    return step;
  };
  for (int s : {0, 4, 8, 12}) {
    PutNote(e, 0, 0, 0, s, 0);
  }
  mode(0, 2, StepMode::NoteOff);
  song.step(0, 0, 0, 4).volume = 40;
  mode(0, 6, StepMode::RetrigContinue, 300);
  mode(0, 9, StepMode::RetrigLoop, 100, 140);
  mode(0, 13, StepMode::RetrigStutter, 500, 700);
  song.step(0, 0, 0, 14).volume = 127;
  song.step(0, 0, 0, 14).mode = 7; // no mode the program writes: nothing special
  mode(0, 15, StepMode::RetrigLoop, 948, 1026);

  for (const auto& [s, note] : {std::pair{0, 36}, {3, 48}, {7, 12}, {10, 71}}) {
    PutNote(e, 0, 0, 1, s, 2).note = note;
  }
  mode(1, 5, StepMode::RetrigStutter, 0, 1025);
  mode(1, 11, StepMode::NoteOff);
  mode(1, 12, StepMode::RetrigContinue, 1025);

  PutNote(e, 0, 0, 2, 0, 3);
  mode(2, 8, StepMode::RetrigLoop, 512, 1024);
  song.step(0, 0, 2, 12).volume = 0;
  song.step(0, 0, 2, 13).volume = 100;
  song.channel(0, 0, 0).volume = 127;
  song.channel(0, 0, 1).volume = 90;
  song.channel(0, 0, 2).volume = 64;
}

// Both slicing commands, from the steps whose last end position passes 1024.
void SlicedPattern(Engine& e) {
  SongState& state = e.state;
  for (int s : {3, 5, 9}) {
    PutNote(e, 0, 0, 0, s, 1);
  }
  PutNote(e, 0, 0, 1, 0, 6).note = 55;
  PutNote(e, 0, 0, 1, 7, 6).note = 43;
  PutNote(e, 0, 0, 2, 10, 5).pitch = 150;
  const auto slice = [&](int channel, int step, SliceCommand command) {
    state.activeChannel = channel;
    state.activeStep = step;
    ApplySlices(state, command);
  };
  slice(0, 3, SliceCommand::LameTimestretch); // last end 1026
  slice(1, 7, SliceCommand::LongStutter);     // last end 1025
  slice(2, 10, SliceCommand::LameTimestretch);
  for (int c = 0; c < kChannels; ++c) {
    state.song.channel(0, 0, c).volume = 100;
    state.song.channel(0, 0, c).delaySend = 40;
  }
}

// A song over several banks with empty slots between and after its entries.
void SongWithGaps(Engine& e) {
  RandomPattern(e, 0, 0, 101);
  RandomPattern(e, 0, 1, 102);
  RandomPattern(e, 1, 0, 103);
  RandomPattern(e, 7, 7, 104);
  auto& slots = e.state.sequence.slots;
  slots[0] = {0, 0};
  slots[1] = {0, 1};
  slots[3] = {1, 0};
  slots[4] = {7, 7};
  slots[7] = {0, 1};
}

// Slots 118 to 127 filled; the loop runs over 120..127.
void SongToTheLastSlot(Engine& e) {
  for (int slot = 118; slot < kSequenceSlots; ++slot) {
    const int bank = slot % 3;
    const int pattern = slot % 8;
    RandomPattern(e, bank, pattern, 200U + static_cast<uint32_t>(slot));
    e.state.sequence.slots[slot] = {static_cast<int8_t>(bank), static_cast<int8_t>(pattern)};
  }
  e.state.sequence.slots[124] = {-1, -1};
}

struct GoldenCase {
  std::string name;
  Master master;
  std::function<void(Engine&)> build;
  RenderKind kind = RenderKind::ThisPattern;
  SlotRange loop{}; // SongLoop: the selected slots
};

// Length and SHA-256 of each render.
struct Pinned {
  std::size_t bytes;
  std::string sha256;
};

const std::map<std::string, Pinned>& PinnedRenders() {
  // clang-format off
  static const std::map<std::string, Pinned> pinned = {
      {"controllers", {154540, "5528a04f163b73696f84a97a9418074a0e5a127abe6af13216ac9849aa7af30c"}},
      {"sliced", {220588, "412306c3e4e223ce48a4f7235352e8964e93d09b18f15bc691f6445f2be93ba2"}},
      {"song_with_gaps", {1411116, "19944ba9dfab5732a4989d97a5ce583afa10289f87cc70d43a1dfe678dd74e2c"}},
      {"loop_to_slot_127", {973868, "1b2bf7e0de213dee00f3ea932a808537d5313f26bf5bb5d11a55074a9cf25c5b"}},
      {"delay_0", {176428, "dbc0e1d9058041c287189f167718252b42dc7e4f7a417ff08e3c464db65df859"}},
      {"delay_1", {705708, "b280d0e91a98a548530134220274ee0d9377ac57d06502b1d13c7276eae6e786"}},
      {"delay_2", {274988, "8af43e6a0a38bccd07d076568a3645b3919b7b63e7248e8b4f95a300ae5bc153"}},
      {"delay_3", {175020, "916cdb50be2c82ee0dc74ba3fc774c5316c5b149598501318f4506491680c961"}},
      {"delay_4", {88236, "019c426b66ae706517ff204ae9600be84f8ae0995d289f6aa2b7365054897355"}},
      {"delay_5", {17324, "8ea052ac93b479ef3e0b7f936dc2d5a38947e64bfbfad98d2d9e56463f996f36"}},
      {"delay_6", {352812, "9f7531c9e29105131b7663744b470b3d7b3ae2bff138c3f580c0c6e98adcd961"}},
      {"overdrive_0", {159276, "7b9ffa4afaa1746acc1e601db718ae31024e8b53c46b40fce7ccec8c843ae203"}},
      {"overdrive_1", {159276, "44bcc9c267264d85d72b4ea24f6f24fbc48021a37a3b0ab6903468b4358f7d4b"}},
      {"overdrive_17", {159276, "6e6f2da18bb8310839048bedaee9d67cee71d9923d0f1858bb72842143f7493e"}},
      {"overdrive_32", {159276, "fefd14fe4dc21bf869e9abfc5242e227396927c932539e7eda1b1fff5e789dd9"}},
      {"overdrive_63", {159276, "c65d6e72aa90f8e570456be41b45c1dd1f26e4b580997cfc7c135e0942a2e114"}},
      {"pattern_switch", {282368, "98f1249df81fa83cf0a70bbcbb2838395557360578b8c9652f3d51896f5c2f82"}},
      {"bounce", {213888, "bcb8ffbe1f6ece96badd8582057dee2820423dc6ebae41ad3ec3ddd630d56a70"}},
  };
  // clang-format on
  return pinned;
}

// The pinned render of `name`, or nothing for a render no one has pinned yet.
Pinned PinnedRender(const std::string& name) {
  const auto found = PinnedRenders().find(name);
  return found == PinnedRenders().end() ? Pinned{0, "(not pinned)"} : found->second;
}

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

class GoldenRender : public ::testing::TestWithParam<GoldenCase> {
protected:
  test::TempDir dir;

  // The program right after start-up with the song on its command line: a cleared
  // table, the noise file, the song, the timing it asks for.
  std::unique_ptr<Engine> Program(const GoldenCase& c) {
    auto e = std::make_unique<Engine>();
    (void)ClearSampleTable(e->samples);
    const std::string noise = dir.File(kVinylNoiseFile);
    const auto values = NoiseData(30011, 7, 9000); // an odd count, so the loop shows
    test::WriteBytes(noise, {reinterpret_cast<const uint8_t*>(values.data()),
                             reinterpret_cast<const uint8_t*>(values.data() + values.size())});
    LoadVinylNoise(*e, noise);
    e->NewSong();
    PutKit(*e);
    SetMaster(*e, c.master);
    c.build(*e);
    e->UpdateTiming();
    return e;
  }

  // A song loop's render starts as if its slots had been selected and played once.
  static void SelectLoop(Engine& e, const GoldenCase& c) {
    if (c.kind == RenderKind::SongLoop) {
      e.state.songPosition = c.loop.first;
      e.state.loopEnabled = true;
      e.state.loopFirstSlot = c.loop.first;
      e.state.loopLastSlot = c.loop.last;
    }
  }

  void Export(Engine& e, const GoldenCase& c) {
    const char* folder = std::getenv("LOOPWREN_GOLDEN_SONGS");
    if (folder == nullptr) {
      return;
    }
    e.state.songFileName = std::string(folder) + "/" + c.name + ".LW";
    test::FakePrompts prompts;
    ASSERT_TRUE(SaveSong(e, prompts, folder));
    test::WriteBytes(std::string(folder) + "/" + kVinylNoiseFile,
                     test::ReadBytes(dir.File(kVinylNoiseFile)));
  }
};

TEST_P(GoldenRender, GivesThePinnedBytes) {
  const GoldenCase& c = GetParam();
  auto engine = Program(c);
  Export(*engine, c);
  SelectLoop(*engine, c);
  test::FakePrompts prompts;
  RenderProgress quiet;
  const std::string out = dir.File("out.wav");
  ASSERT_TRUE(RenderToWavFile(*engine, prompts, quiet, c.kind, out, c.loop));
  const auto bytes = test::ReadBytes(out);
  const Pinned pinned = PinnedRender(c.name);
  EXPECT_EQ(bytes.size(), pinned.bytes);
  EXPECT_EQ(test::Sha256Hex(bytes), pinned.sha256);
}

// The mixer renders in runs that end at step boundaries, at the end of a block and
// where a fade begins, and it reads overdriven voices from tables only on runs long
// enough to repay them. So the same song played one sample at a time (every voice by
// arithmetic) and in blocks of odd sizes (tables, split runs) must give the same bytes.
TEST_P(GoldenRender, SoundsTheSameInBlocksOfAnySize) {
  const GoldenCase& c = GetParam();
  const auto play = [&](const std::function<std::size_t(std::size_t)>& blockSize) {
    auto e = Program(c);
    e->songMode = c.kind != RenderKind::ThisPattern;
    test::Start(*e);
    std::vector<int16_t> out(static_cast<std::size_t>(3 * e->clock.patternSamples));
    for (std::size_t at = 0; at < out.size();) {
      const std::size_t n = std::min(blockSize(at), out.size() - at);
      e->RenderBlock(&out[at], n);
      at += n;
    }
    return out;
  };
  Lcg sizes(static_cast<uint32_t>(c.name.size()));
  const auto bySample = play([](std::size_t) { return 1; });
  const auto byBlock =
      play([&](std::size_t) { return static_cast<std::size_t>(sizes.Between(1, 3000)); });
  const auto whole = play([](std::size_t) { return std::size_t{1} << 30; });
  EXPECT_EQ(bySample, byBlock);
  EXPECT_EQ(bySample, whole);
}

// Stems come from the same pass as the mix and leave it as it was: every mix sample is
// the stems' sum halved toward zero and clipped, in blocks of any size.
TEST_P(GoldenRender, StemsAddUpToTheMixTheyCameWith) {
  const GoldenCase& c = GetParam();
  const auto start = [&] {
    auto e = Program(c);
    e->songMode = c.kind != RenderKind::ThisPattern;
    test::Start(*e);
    return e;
  };
  auto plain = start();
  auto split = start();
  const auto n = 2 * static_cast<std::size_t>(plain->clock.patternSamples);
  std::vector<int16_t> mix(n);
  plain->RenderBlock(mix.data(), n);
  std::vector<int16_t> withStems(n);
  std::vector<std::vector<int32_t>> stems(Engine::kStems, std::vector<int32_t>(n));
  Lcg sizes(static_cast<uint32_t>(c.name.size()) + 1);
  for (std::size_t at = 0; at < n;) {
    const auto count = std::min(static_cast<std::size_t>(sizes.Between(1, 5000)), n - at);
    Engine::StemOutputs to{};
    for (std::size_t s = 0; s < to.size(); ++s) {
      to[s] = &stems[s][at];
    }
    split->RenderBlockWithStems(&withStems[at], to, count);
    at += count;
  }
  ASSERT_EQ(withStems, mix);
  bool anySound = false;
  for (std::size_t i = 0; i < n; ++i) {
    int64_t sum = 0;
    for (const auto& stem : stems) {
      sum += stem[i];
    }
    anySound = anySound || stems[0][i] != 0;
    ASSERT_EQ(std::clamp<int64_t>(sum / 2, -32768, 32767), mix[i]) << "sample " << i;
  }
  EXPECT_TRUE(anySound);
}

// The window's mute takes a channel out of what is heard and of the delay it feeds: the
// render with channel c muted is the render of the song with channel c's volume at 0 in
// every pattern and its steps' volume controllers at "no change" (they set the voice's
// volume themselves, so the knob at 0 alone does not silence a channel that has them).
TEST_P(GoldenRender, AMutedChannelRendersAsTheChannelAtVolumeZero) {
  const GoldenCase& c = GetParam();
  const auto render = [&](int muted, int zeroed) {
    auto e = Program(c);
    SelectLoop(*e, c);
    if (zeroed >= 0) {
      for (int bank = 0; bank < kBanks; ++bank) {
        for (int pattern = 0; pattern < kPatterns; ++pattern) {
          Channel& channel = e->state.song.channel(bank, pattern, zeroed);
          channel.volume = 0;
          for (Step& step : channel.steps) {
            step.volume = 255;
          }
        }
      }
    }
    if (muted >= 0) {
      e->silenced = 1U << static_cast<unsigned>(muted);
    }
    test::FakePrompts prompts;
    RenderProgress quiet;
    const std::string out = dir.File("muted.wav");
    EXPECT_TRUE(RenderToWavFile(*e, prompts, quiet, c.kind, out, c.loop));
    return test::ReadBytes(out);
  };
  const auto whole = render(-1, -1);
  bool anyHeard = false;
  for (int channel = 0; channel < kChannels; ++channel) {
    const auto muted = render(channel, -1);
    EXPECT_EQ(muted, render(-1, channel)) << "channel " << channel + 1;
    anyHeard = anyHeard || muted != whole;
  }
  EXPECT_TRUE(anyHeard) << "some channel must be heard for the mute to be tested";
}

// A channel let in again sounds from that very sample as it would have all along; one
// taken out fades over the sixteen samples of a declick, then is silent.
TEST_P(GoldenRender, AChannelLetInIsInTimeAndOneTakenOutFades) {
  const GoldenCase& c = GetParam();
  const auto play = [&](uint32_t before, uint32_t after, std::size_t at) {
    auto e = Program(c);
    e->songMode = c.kind != RenderKind::ThisPattern;
    e->silenced = before;
    test::Start(*e);
    const auto n = 2 * static_cast<std::size_t>(e->clock.patternSamples);
    std::vector<int16_t> mix(n);
    std::vector<std::vector<int32_t>> stems(Engine::kStems, std::vector<int32_t>(n));
    const auto run = [&](std::size_t from, std::size_t count) {
      Engine::StemOutputs to{};
      for (std::size_t s = 0; s < to.size(); ++s) {
        to[s] = &stems[s][from];
      }
      e->RenderBlockWithStems(&mix[from], to, count);
    };
    run(0, at);
    e->silenced = after;
    run(at, n - at);
    return stems;
  };
  const std::size_t at = static_cast<std::size_t>(Program(c)->clock.patternSamples) / 2 + 7;
  const auto heard = play(0, 0, at);
  for (int channel = 0; channel < kChannels; ++channel) {
    const auto ch = static_cast<std::size_t>(channel);
    const uint32_t bit = 1U << ch;
    const auto letIn = play(bit, 0, at);
    const auto takenOut = play(0, bit, at);
    for (std::size_t i = 0; i < heard[ch].size(); ++i) {
      ASSERT_EQ(letIn[ch][i], i < at ? 0 : heard[ch][i])
          << "channel " << channel + 1 << " at " << i;
      if (i < at) {
        ASSERT_EQ(takenOut[ch][i], heard[ch][i]);
      } else if (i < at + 16) {
        // Divided by 1, 2, 4 ... 16384, 32000: never louder, and the first one whole.
        ASSERT_LE(std::abs(takenOut[ch][i]), std::abs(heard[ch][i]));
      } else {
        ASSERT_EQ(takenOut[ch][i], 0) << "channel " << channel + 1 << " at " << i;
      }
    }
    EXPECT_EQ(takenOut[ch][at], heard[ch][at]);
    if (std::abs(heard[ch][at + 1]) >= 2) { // halved: neither cut nor whole
      EXPECT_GT(std::abs(takenOut[ch][at + 1]), 0);
      EXPECT_LT(std::abs(takenOut[ch][at + 1]), std::abs(heard[ch][at + 1]));
    }
    // The other channels do not hear of it.
    for (std::size_t other = 0; other < kChannels; ++other) {
      if (other != ch) {
        ASSERT_EQ(letIn[other], heard[other]);
        ASSERT_EQ(takenOut[other], heard[other]);
      }
    }
  }
}

// Solo is the mute of the others, and a mute wins over a solo.
TEST(ChannelMutes, SoloSilencesTheOthersAndMuteWins) {
  const struct {
    std::array<bool, kChannels> mute;
    std::array<bool, kChannels> solo;
    uint32_t silenced;
  } rows[] = {
      {{false, false, false}, {false, false, false}, 0b000},
      {{false, true, false}, {false, false, false}, 0b010},
      {{false, false, false}, {true, false, false}, 0b110},
      {{false, false, false}, {true, false, true}, 0b010},
      {{true, false, false}, {true, false, false}, 0b111},
      {{false, false, true}, {false, true, false}, 0b101},
  };
  for (const auto& r : rows) {
    ChannelMutes m;
    m.mute = r.mute;
    m.solo = r.solo;
    EXPECT_EQ(m.Silenced(), r.silenced);
  }
}

// Exported with stems, the 16-bit WAV mix keeps its pinned bytes, and the stem files,
// summed, give the mix within one step per stem wherever neither clips.
TEST_P(GoldenRender, ExportedStemsSumToTheExportedMix) {
  const GoldenCase& c = GetParam();
  auto engine = Program(c);
  SelectLoop(*engine, c);
  test::FakePrompts prompts;
  RenderProgress quiet;
  const std::string out = dir.File("song.wav");
  ExportOptions options;
  options.stems = true;
  ASSERT_TRUE(ExportAudioFile(*engine, prompts, quiet, c.kind, out, c.loop, options));
  const auto bytes = test::ReadBytes(out);
  EXPECT_EQ(bytes.size(), PinnedRender(c.name).bytes);
  EXPECT_EQ(test::Sha256Hex(bytes), PinnedRender(c.name).sha256);

  const auto mix = test::ReadSoundFile(out);
  std::vector<std::vector<int32_t>> stems;
  for (const std::string& path : StemPaths(out, ExportFormat::Wav16)) {
    stems.push_back(test::ReadSoundFile(path).samples);
    ASSERT_EQ(stems.back().size(), mix.samples.size()) << path;
  }
  // A 16-bit stem clips where it alone goes past full scale (a delay fed back can), so
  // those samples cannot add up; they must stay rare.
  const auto clipped = [](int32_t v) { return v == 32767 || v == -32768; };
  std::size_t compared = 0;
  for (std::size_t i = 0; i < mix.samples.size(); ++i) {
    int32_t sum = 0;
    bool anyClipped = clipped(mix.samples[i]);
    for (const auto& stem : stems) {
      sum += stem[i];
      anyClipped = anyClipped || clipped(stem[i]);
    }
    if (!anyClipped) {
      ++compared;
      ASSERT_LE(std::abs(sum - mix.samples[i]), Engine::kStems) << "sample " << i;
    }
  }
  EXPECT_GT(compared, mix.samples.size() * 9 / 10);
}

std::vector<GoldenCase> FileRenders() {
  std::vector<GoldenCase> cases = {
      {"controllers", {137, 0, 0, 0, 32, 0}, ControllerPattern, RenderKind::ThisPattern},
      {"sliced", {96, 33, 2, 70, 20, 0}, SlicedPattern, RenderKind::ThisPattern},
      {"song_with_gaps", {120, 20, 3, 50, 32, 50}, SongWithGaps, RenderKind::EntireSong},
      {"loop_to_slot_127",
       {174, 11, 5, 80, 63, 60},
       SongToTheLastSlot,
       RenderKind::SongLoop,
       {120, 127}},
  };
  // Every delay length with its own feedback, tempo and shuffle.
  constexpr int kFeedback[] = {90, 0, 15, 45, 50, 75, 90};
  constexpr int kTempo[] = {120, 30, 77, 121, 240, 1230, 60};
  for (int d = 0; d <= 6; ++d) {
    cases.push_back({"delay_" + std::to_string(d),
                     {kTempo[d], 7 * d, d, kFeedback[d], 0, 0},
                     [d](Engine& e) { RandomPattern(e, 0, 0, 300U + static_cast<uint32_t>(d)); }});
  }
  // Overdrive off, at its first curve, in between and at its last, with noise and sends at
  // exactly half (where the percentage scaling meets exact halves).
  for (const int amount : {0, 1, 17, 32, 63}) {
    cases.push_back({"overdrive_" + std::to_string(amount),
                     {133, 0, 1, 50, amount, amount == 0 ? 100 : 50},
                     [amount](Engine& e) {
                       RandomPattern(e, 0, 0, 400U + static_cast<uint32_t>(amount));
                       for (int c = 0; c < kChannels; ++c) {
                         e.state.song.channel(0, 0, c).distortOn = c != 1 ? 1 : 0;
                         e.state.song.channel(0, 0, c).delaySend = 50;
                       }
                     }});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Songs, GoldenRender, ::testing::ValuesIn(FileRenders()),
                         [](const auto& info) { return info.param.name; });

// Live playback in pattern mode: a pattern chosen during step 7 takes over at step 0.
TEST(GoldenPlay, APatternChosenWhilePlayingTakesOverAtStep0) {
  auto e = test::NewEngine();
  PutKit(*e);
  SetMaster(*e, {150, 25, 4, 60, 40, 0});
  RandomPattern(*e, 0, 0, 500);
  RandomPattern(*e, 2, 3, 501);
  e->UpdateTiming();
  test::Start(*e);
  std::vector<int16_t> out(static_cast<std::size_t>(2 * e->clock.patternSamples));
  std::size_t at = 0;
  while (e->clock.currentStep != 7) {
    out[at++] = e->RenderSample();
  }
  e->state.nextBank = 2; // a click on the bank and pattern panels while playing
  e->state.nextPattern = 3;
  e->RenderBlock(&out[at], out.size() - at);
  EXPECT_EQ(e->state.playBank, 2);
  EXPECT_EQ(e->state.playPattern, 3);
  EXPECT_EQ(out.size() * 2, PinnedRender("pattern_switch").bytes);
  EXPECT_EQ(test::Sha256Hex(out), PinnedRender("pattern_switch").sha256);
}

// A bounce renders the edited pattern from silent voices and normalises it.
TEST(GoldenPlay, ABounceOfAPattern) {
  auto e = test::NewEngine();
  PutKit(*e);
  SetMaster(*e, {99, 40, 6, 90, 10, 0});
  RandomPattern(*e, 4, 5, 600);
  e->UpdateTiming();
  auto bounce = RenderBounce(*e, 4, 5);
  NormaliseBounce(bounce.data(), bounce.size());
  EXPECT_EQ(bounce.size(), static_cast<std::size_t>(e->clock.patternSamples));
  EXPECT_EQ(bounce.size() * 2, PinnedRender("bounce").bytes);
  EXPECT_EQ(test::Sha256Hex(bounce), PinnedRender("bounce").sha256);
}

} // namespace
} // namespace lw
