// The demo songs as the program opens them: each loads whole, holds the kit's samples
// exactly as importing them gives, keeps every note in C minor, shows what it was made
// to show, and renders to audible, unclipped sound.
#include "CollectSink.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/Render.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "samples/WavImport.h"
#include "song/EditCommands.h"
#include "song/SongPosition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lw {
namespace {

struct Demo {
  const char* file;
  const char* title;
};

const Demo kDemos[] = {
    {"first-light.LW", "First Light"},
    {"cut-up.LW", "Cut Up"},
    {"long-way-round.LW", "Long Way Round"},
};

void PrintTo(const Demo& demo, std::ostream* out) {
  *out << demo.file;
}

std::string DemoPath(const std::string& file) {
  return (std::filesystem::path(LOOPWREN_KIT_DIR) / "demo" / file).string();
}

// The song opened as the program opens it, with the vinyl noise the program loads.
struct Loaded {
  std::unique_ptr<Engine> engine = test::NewEngine();
  test::FakePrompts prompts;
  OpenResult result;

  explicit Loaded(const std::string& path) {
    LoadVinylNoise(*engine, (std::filesystem::path(LOOPWREN_BIN_DIR) / kVinylNoiseFile).string());
    result = OpenSongFile(*engine, prompts, path);
    engine->UpdateTiming();
  }
  [[nodiscard]] const Song& song() const { return engine->state.song; }
  [[nodiscard]] const SampleSlot& slot(int index) const {
    return engine->samples.slots[static_cast<std::size_t>(index)];
  }
  [[nodiscard]] std::vector<SequenceEntry> Sequence() const {
    const int32_t last = LastSequenceEntry(engine->state.sequence);
    return {engine->state.sequence.slots, engine->state.sequence.slots + last + 1};
  }
  // The patterns the song plays: those of its sequence.
  [[nodiscard]] std::set<std::pair<int, int>> Played() const {
    std::set<std::pair<int, int>> played;
    for (const SequenceEntry& entry : Sequence()) {
      if (entry.playable()) {
        played.emplace(entry.bank, entry.pattern);
      }
    }
    return played;
  }
  // Calls `visit` for every step of every played pattern that starts a used sample.
  void ForEachNote(
      const std::function<void(const Channel&, const Step&, const SampleSlot&)>& visit) const {
    for (const auto& [bank, pattern] : Played()) {
      for (const Channel& channel : song().pattern(bank, pattern).channels) {
        for (const Step& step : channel.steps) {
          const int index = step.sampleIndex();
          if (step.trigger != 0 && index >= 0 && index < kSampleSlots && slot(index).isUsed()) {
            visit(channel, step, slot(index));
          }
        }
      }
    }
  }
};

class DemoSongTest : public ::testing::TestWithParam<Demo> {};

TEST_P(DemoSongTest, LoadsWithItsTitleAndAuthor) {
  const Loaded demo(DemoPath(GetParam().file));
  EXPECT_TRUE(demo.result.replaced);
  EXPECT_FALSE(demo.result.damaged);
  EXPECT_TRUE(demo.prompts.silent());
  EXPECT_EQ(demo.song().title.text(), GetParam().title);
  EXPECT_EQ(demo.song().author.text(), "LoopWren");
}

// Every sample is a file of the kit, holding exactly what importing that file gives.
TEST_P(DemoSongTest, HoldsTheKitAsImported) {
  const Loaded demo(DemoPath(GetParam().file));
  int used = 0;
  for (const SampleSlot& slot : demo.engine->samples.slots) {
    if (!slot.isUsed()) {
      continue;
    }
    ++used;
    test::FakePrompts prompts;
    tWavImportInfo info;
    const std::string file = slot.name.text() + ".wav";
    const ImportedAudio audio =
        ImportAudioFile((std::filesystem::path(LOOPWREN_KIT_DIR) / file).string(), prompts, info);
    ASSERT_GT(audio.bytes, 0U) << file;
    EXPECT_EQ(slot.rate, info.sampleRate) << file;
    EXPECT_EQ(static_cast<std::size_t>(slot.length), audio.data.size()) << file;
    EXPECT_TRUE(
        std::equal(audio.data.begin(), audio.data.end(), slot.data.begin(), slot.data.end()))
        << file;
  }
  EXPECT_GE(used, 4);
}

// Note 36 plays a kit instrument as C, so note % 12 is the key; the chord stab adds the
// tones of a minor seventh chord above its note.
TEST_P(DemoSongTest, EveryInstrumentNoteIsInCMinor) {
  const Loaded demo(DemoPath(GetParam().file));
  const std::set<int> cMinor = {0, 2, 3, 5, 7, 8, 10};
  int notes = 0;
  demo.ForEachNote([&](const Channel&, const Step& step, const SampleSlot& slot) {
    if (slot.category != static_cast<uint8_t>(SampleCategory::Instrument)) {
      return;
    }
    ++notes;
    const bool chord = slot.name.text().find("Cm7") != std::string::npos;
    for (int tone : chord ? std::vector<int>{0, 3, 7, 10} : std::vector<int>{0}) {
      EXPECT_EQ(cMinor.count((step.note + tone) % 12), 1U)
          << slot.name.text() << " note " << step.note << " tone " << tone;
    }
  });
  EXPECT_GT(notes, 8);
}

TEST_P(DemoSongTest, EveryPatternOfTheSequenceHasNotes) {
  const Loaded demo(DemoPath(GetParam().file));
  const auto sequence = demo.Sequence();
  EXPECT_GE(sequence.size(), 8U);
  for (const SequenceEntry& entry : sequence) {
    ASSERT_TRUE(entry.playable());
    int triggers = 0;
    for (const Channel& channel : demo.song().pattern(entry.bank, entry.pattern).channels) {
      for (const Step& step : channel.steps) {
        triggers += step.trigger != 0 ? 1 : 0;
      }
    }
    EXPECT_GE(triggers, 2) << "bank " << int{entry.bank} << " pattern " << int{entry.pattern};
  }
}

// The entire song, as File > Render Wav writes it: one pattern per slot, every pattern
// audible, nothing at full scale, the peak a little below it.
TEST_P(DemoSongTest, RendersAudibleAndUnclipped) {
  Loaded demo(DemoPath(GetParam().file));
  Engine& e = *demo.engine;
  test::CollectSink sink;
  RenderProgress progress;
  RenderSong(e, EntireSongRange(e.state.sequence), sink, progress);
  const auto pattern = static_cast<std::size_t>(e.clock.patternSamples);
  const std::size_t slots = demo.Sequence().size();
  ASSERT_EQ(sink.samples.size(), slots * pattern);

  int peak = 0;
  std::size_t fullScale = 0;
  for (int16_t v : sink.samples) {
    peak = std::max(peak, std::abs(static_cast<int>(v)));
    fullScale += (v == 32767 || v == -32768) ? 1 : 0;
  }
  EXPECT_EQ(fullScale, 0U);
  const double peakDb = 20 * std::log10(peak / 32768.0);
  EXPECT_LE(peakDb, -0.5);
  EXPECT_GE(peakDb, -9.0);
  for (std::size_t s = 0; s < slots; ++s) {
    double energy = 0.0;
    for (std::size_t i = s * pattern; i < (s + 1) * pattern; ++i) {
      energy += static_cast<double>(sink.samples[i]) * sink.samples[i];
    }
    const double rmsDb =
        10 * std::log10(energy / static_cast<double>(pattern)) - 20 * std::log10(32768.0);
    EXPECT_GT(rmsDb, -30.0) << "slot " << s;
    EXPECT_LT(rmsDb, -6.0) << "slot " << s;
  }
}

INSTANTIATE_TEST_SUITE_P(Demos, DemoSongTest, ::testing::ValuesIn(kDemos),
                         [](const ::testing::TestParamInfo<Demo>& info) {
                           std::string name =
                               std::filesystem::path(info.param.file).stem().string();
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// Whether the slicing command, run from `from` on this channel, writes exactly the
// modes and positions the channel holds from there to its last step.
bool SlicedBy(const Channel& channel, SliceCommand command, int from) {
  auto state = std::make_unique<SongState>();
  state->song.banks[0].patterns[0].channels[0] = channel;
  state->activeStep = from;
  (void)ApplySlices(*state, command);
  const Channel& sliced = state->song.banks[0].patterns[0].channels[0];
  for (int s = from; s < kSteps; ++s) {
    const Step& a = sliced.steps[s];
    const Step& b = channel.steps[s];
    if (a.mode != b.mode || a.startPos != b.startPos || a.endPos != b.endPos) {
      return false;
    }
  }
  return true;
}

bool AnyChannelSlicedBy(const Loaded& demo, SliceCommand command) {
  for (const auto& [bank, pattern] : demo.Played()) {
    for (const Channel& channel : demo.song().pattern(bank, pattern).channels) {
      for (int from = 0; from < kSteps; ++from) {
        if (SlicedBy(channel, command, from)) {
          return true;
        }
      }
    }
  }
  return false;
}

TEST(DemoSongs, TheDemoMakeRunOpensIsTheFirstSong) {
  const auto demo = test::ReadBytes((std::filesystem::path(LOOPWREN_BIN_DIR) / "demo.LW").string());
  EXPECT_FALSE(demo.empty());
  EXPECT_EQ(demo, test::ReadBytes(DemoPath("first-light.LW")));
}

TEST(DemoSongs, FirstLightSwingsThroughTheDelay) {
  const Loaded demo(DemoPath("first-light.LW"));
  EXPECT_GT(demo.song().shuffle, 0);
  EXPECT_GT(demo.song().delaySteps, 0);
  EXPECT_GT(demo.song().delayFeedback, 0);
  int sent = 0;
  for (const auto& [bank, pattern] : demo.Played()) {
    for (const Channel& channel : demo.song().pattern(bank, pattern).channels) {
      const bool plays = std::any_of(std::begin(channel.steps), std::end(channel.steps),
                                     [](const Step& s) { return s.trigger != 0; });
      sent += channel.delaySend > 0 && plays ? 1 : 0;
    }
  }
  EXPECT_GE(sent, 2);
}

TEST(DemoSongs, CutUpIsSlicedAndShapedByStepControllers) {
  const Loaded demo(DemoPath("cut-up.LW"));
  EXPECT_TRUE(AnyChannelSlicedBy(demo, SliceCommand::LameTimestretch));
  EXPECT_TRUE(AnyChannelSlicedBy(demo, SliceCommand::LongStutter));

  int volumes = 0;
  int noteOffs = 0;
  int ownSlices = 0; // start and end typed in, not a slice any command writes
  std::set<int32_t> sliceSizes;
  for (int from = 0; from < kSteps; ++from) {
    sliceSizes.insert(SliceSize(from));
  }
  for (const auto& [bank, pattern] : demo.Played()) {
    for (const Channel& channel : demo.song().pattern(bank, pattern).channels) {
      for (const Step& step : channel.steps) {
        volumes += step.volume <= 127 ? 1 : 0;
        noteOffs += step.mode == static_cast<uint8_t>(StepMode::NoteOff) ? 1 : 0;
        const bool positioned = step.mode == static_cast<uint8_t>(StepMode::RetrigLoop) ||
                                step.mode == static_cast<uint8_t>(StepMode::RetrigStutter);
        ownSlices += positioned && sliceSizes.count(step.endPos - step.startPos + 1) == 0 ? 1 : 0;
      }
    }
  }
  EXPECT_GE(volumes, 4);
  EXPECT_GE(noteOffs, 1);
  EXPECT_GE(ownSlices, 2);

  // Slicing leaves loop samples alone, so the sliced break is a drum sample.
  demo.ForEachNote([&](const Channel& channel, const Step&, const SampleSlot& slot) {
    if (SlicedBy(channel, SliceCommand::LameTimestretch, 0)) {
      EXPECT_EQ(slot.category, static_cast<uint8_t>(SampleCategory::Drum)) << slot.name.text();
    }
  });
}

TEST(DemoSongs, LongWayRoundTravelsTheBanksOnItsLoops) {
  const Loaded demo(DemoPath("long-way-round.LW"));
  const auto sequence = demo.Sequence();
  EXPECT_GE(sequence.size(), 16U);
  std::set<int> banks;
  for (const SequenceEntry& entry : sequence) {
    banks.insert(entry.bank);
  }
  EXPECT_GE(banks.size(), 3U);
  EXPECT_GE(demo.Played().size(), 6U);

  // The loops last one pattern at the song's tempo, so they play at their own pitch.
  int loopNotes = 0;
  demo.ForEachNote([&](const Channel&, const Step& step, const SampleSlot& slot) {
    if (slot.category == static_cast<uint8_t>(SampleCategory::Loop)) {
      ++loopNotes;
      EXPECT_EQ(demo.engine->SampleSpeed(slot, step), 1.0) << slot.name.text();
    }
  });
  EXPECT_GE(loopNotes, 4);
}

} // namespace
} // namespace lw
