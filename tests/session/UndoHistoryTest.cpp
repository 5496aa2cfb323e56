#include "session/UndoHistory.h"
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "commands/Bounce.h"
#include "commands/EditMenu.h"
#include "commands/MainCommands.h"
#include "commands/SampleCommands.h"
#include "commands/SequencerCommands.h"
#include "commands/StepControllers.h"
#include "samples/SongFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <tuple>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;

// The bytes Save would write for the song in memory.
std::string SongBytes(const Engine& e) {
  return SongFileBytes(e.Interface().song, e.Interface().sequence, e.InterfaceSamples());
}

// A song with something in every place an edit can reach.
void FillSong(Engine& e) {
  PutSample(e, 0, {100, 200, 300, 400}, 44100, SampleCategory::Drum, "kick");
  PutSample(e, 2, {5, 6, 7}, 22050, SampleCategory::Instrument, "bass");
  PutSample(e, 5, std::vector<int16_t>(2000, 900), 44100, SampleCategory::Loop, "loop");
  for (int s = 0; s < 16; s += 3) {
    PutNote(e, 0, 0, 0, s, 0).note = static_cast<uint8_t>(36 + s);
    PutNote(e, 0, 0, 1, s + 1 < 16 ? s + 1 : 0, 2);
  }
  PutNote(e, 0, 1, 2, 4, 5);
  e.state.sequence.slots[1] = {0, 1};
  e.state.song.title.assignText("Before");
}

struct Edit {
  const char* name;
  std::function<void(Engine&, FakePrompts&, UndoHistory&, const test::TempDir&)> run;
};

std::string Wav(const test::TempDir& dir, const char* name, std::size_t count) {
  test::WavBuilder wav;
  wav.Samples(test::Ramp(count));
  std::string path = dir.File(name);
  test::WriteBytes(path, wav.Build());
  return path;
}

// A slicing command on the loop's step, answered Yes.
void Slice(Engine& e, FakePrompts& p, UndoHistory& h,
           RefreshFlags (*command)(Engine&, UserPrompts&)) {
  e.state.editPattern = 1;
  e.state.activeChannel = 2;
  e.state.activeStep = 4;
  p.answers.push_back(true);
  Undoable(h, e, "Slice", [&] { (void)command(e, p); });
}

// Every kind of edit the windows make, as they make it: Begin and End around the
// command, with the slots whose sound it may free named.
const std::vector<Edit>& Edits() {
  using P = FakePrompts;
  using H = UndoHistory;
  using D = test::TempDir;
  static const std::vector<Edit> edits = {
      {"tempo +10",
       [](Engine& e, P&, H& h, const D&) { Undoable(h, e, "Tempo", [&] { (void)TempoUp(e); }); }},
      {"tempo box",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Tempo", [&] { (void)TempoBoxChange(e, "144"); });
       }},
      {"distortion",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Distortion", [&] { (void)ToggleDistortion(e, 1); });
       }},
      {"note key", [](Engine& e, P&, H& h,
                      const D&) { Undoable(h, e, "Note", [&] { (void)SetNoteKey(e, 7); }); }},
      {"note off",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Remove note", [&] { (void)RemoveNoteAt(e, 0); });
       }},
      {"sample on a step",
       [](Engine& e, P&, H& h, const D&) {
         (void)SelectStep(e, 2);
         Undoable(h, e, "Sample", [&] { (void)ChooseSample(e, 5, false); });
       }},
      {"knob",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Delay feedback", [&] {
           for (int v = 10; v <= 80; v += 7) { // one drag, many positions
             SetKnobValue(e, KnobSetting::DelayFeedback, v);
           }
         });
       }},
      {"paste",
       [](Engine& e, P&, H& h, const D&) {
         EditClipboard clip;
         CopyPattern(e, clip);
         e.state.editPattern = 3;
         Undoable(h, e, "Paste", [&] { (void)Paste(e, clip); });
       }},
      {"clear channel",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Clear channel", [&] { (void)ClearChannel(e); });
       }},
      {"timestretch", [](Engine& e, P& p, H& h, const D&) { Slice(e, p, h, LameTimestretch); }},
      {"stutter", [](Engine& e, P& p, H& h, const D&) { Slice(e, p, h, LongStutter); }},
      {"controllers",
       [](Engine& e, P&, H& h, const D&) {
         Step* step = &e.state.activeStepRecord();
         Undoable(h, e, "Controllers", [&] {
           StoreBoxEdit(e, step, StepField::Volume, {std::nullopt, 40});
           SetStepMode(e, step, 3);
         });
       }},
      {"sequence slot",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Sequence", [&] { SetSequenceSlot(e, 7, 2, 3); });
       }},
      {"clear sequence",
       [](Engine& e, P&, H& h, const D&) {
         Undoable(h, e, "Clear sequence", [&] { ClearSequenceSlots(e, 0, 5); });
       }},
      {"title", [](Engine& e, P&, H& h,
                   const D&) { Undoable(h, e, "Title", [&] { SetSongTitle(e, "After"); }); }},
      {"import",
       [](Engine& e, P& p, H& h, const D& d) {
         SampleManagerState m;
         p.files.emplace_back(Wav(d, "hat.wav", 300));
         Undoable(h, e, "Import", [&] { ImportNewSample(e, p, m); });
       }},
      {"replace",
       [](Engine& e, P& p, H& h, const D& d) {
         SampleManagerState m;
         RefreshSampleList(e, m);
         SelectSample(m, 1);
         p.answers.push_back(true);
         p.files.emplace_back(Wav(d, "new.wav", 50));
         h.Begin(e, "Replace", {m.slotIndexMap[1]});
         ReplaceSelectedSample(e, p, m);
         h.End(e);
       }},
      {"delete",
       [](Engine& e, P& p, H& h, const D&) {
         SampleManagerState m;
         RefreshSampleList(e, m);
         SelectSample(m, 0); // slot 0, on many steps
         p.answers.push_back(true);
         h.Begin(e, "Delete", {m.slotIndexMap[0]});
         DeleteSelectedSample(e, p, m);
         h.End(e);
       }},
      {"category",
       [](Engine& e, P&, H& h, const D&) {
         SampleManagerState m;
         RefreshSampleList(e, m);
         SelectSample(m, 2);
         Undoable(h, e, "Category", [&] { SetSelectedCategory(e, m, SampleCategory::Drum); });
       }},
      {"bounce",
       [](Engine& e, P& p, H& h, const D&) {
         SampleManagerState m;
         Undoable(h, e, "Bounce", [&] {
           (void)BouncePattern(e, p, m, [](const std::string&) { return std::string("b"); });
         });
       }},
  };
  return edits;
}

// Undo gives back the very bytes the song had, redo the very bytes the edit made, and
// the changed flag says whether the song differs from its file.
TEST(UndoTest, EveryEditUndoesToTheSameBytesAndRedoesToTheEditsBytes) {
  for (const Edit& edit : Edits()) {
    SCOPED_TRACE(edit.name);
    test::TempDir dir;
    auto engine = test::NewEngine();
    Engine& e = *engine;
    FillSong(e);
    FakePrompts prompts;
    UndoHistory history;
    const std::string before = SongBytes(e);
    edit.run(e, prompts, history, dir);
    const std::string after = SongBytes(e);
    ASSERT_NE(after, before) << "the edit must change the song for this test to mean anything";
    ASSERT_EQ(history.StepCount(), 1U);
    EXPECT_TRUE(history.Undo(e));
    EXPECT_EQ(SongBytes(e), before);
    EXPECT_FALSE(e.state.songChanged);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(history.Redo(e));
    EXPECT_EQ(SongBytes(e), after);
    EXPECT_TRUE(e.state.songChanged);
    EXPECT_TRUE(history.Undo(e)); // and back once more: the sides survive the trips
    EXPECT_EQ(SongBytes(e), before);
  }
}

TEST(UndoTest, ASequenceOfEditsUndoesStepByStepAndANewEditDropsTheRedo) {
  test::TempDir dir;
  auto engine = test::NewEngine();
  Engine& e = *engine;
  FillSong(e);
  FakePrompts prompts;
  UndoHistory history;
  std::vector<std::string> states{SongBytes(e)};
  for (const Edit& edit : Edits()) {
    edit.run(e, prompts, history, dir);
    states.push_back(SongBytes(e));
  }
  ASSERT_EQ(history.StepCount(), Edits().size());
  EXPECT_EQ(history.UndoName(), "Bounce");
  for (std::size_t i = states.size() - 1; i > 0; --i) {
    ASSERT_TRUE(history.Undo(e));
    ASSERT_EQ(SongBytes(e), states[i - 1]) << Edits()[i - 1].name;
  }
  for (std::size_t i = 1; i < states.size(); ++i) {
    ASSERT_TRUE(history.Redo(e));
    ASSERT_EQ(SongBytes(e), states[i]) << Edits()[i - 1].name;
  }
  // Saved halfway back: undoing to there clears the changed flag, going on sets it.
  history.Undo(e);
  history.Undo(e);
  history.MarkSaved();
  history.Redo(e);
  EXPECT_TRUE(e.state.songChanged);
  history.Undo(e);
  EXPECT_FALSE(e.state.songChanged);
  history.Undo(e);
  EXPECT_TRUE(e.state.songChanged);
  // A new edit drops what could be redone, the saved state among it.
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  EXPECT_FALSE(history.CanRedo());
  while (history.Undo(e)) {
    EXPECT_TRUE(e.state.songChanged);
  }
  EXPECT_EQ(SongBytes(e), states[0]);
}

TEST(UndoTest, EditsThatChangeNothingLeaveNoStepAndTheTempoBoxMakesOne) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  UndoHistory history;
  Undoable(history, e, "Select", [&] { (void)SelectStep(e, 5); });
  Undoable(history, e, "Copy", [&] {
    EditClipboard clip;
    CopyPattern(e, clip);
  });
  EXPECT_EQ(history.StepCount(), 0U);
  const int32_t tempo = e.state.song.tempo;
  for (const char* typed : {"1", "13", "133"}) { // keystrokes in the box
    history.Begin(e, "Tempo", {}, "tempo box");
    (void)TempoBoxChange(e, typed);
    history.End(e);
  }
  EXPECT_EQ(history.StepCount(), 1U);
  history.Undo(e);
  EXPECT_EQ(e.state.song.tempo, tempo);
}

// The delete the sample manager makes of the sample on line `line`, answered Yes.
void DeleteLine(Engine& e, FakePrompts& p, UndoHistory& h, int32_t line) {
  SampleManagerState m;
  RefreshSampleList(e, m);
  SelectSample(m, line);
  p.answers.push_back(true);
  h.Begin(e, "Delete", {m.slotIndexMap[static_cast<std::size_t>(line)]});
  DeleteSelectedSample(e, p, m);
  h.End(e);
}

// A keystroke in the tempo box, as the box makes it.
void TypeTempo(Engine& e, UndoHistory& h, const char* text) {
  h.Begin(e, "Tempo", {}, "tempo box");
  (void)TempoBoxChange(e, text);
  h.End(e);
}

// A delete inside an edit already open (a knob whose release went astray while the
// sample manager deleted) keeps the sound it frees: undo reaches back past it, and the
// song never counts as saved on the way.
TEST(UndoTest, ANestedEditKeepsTheSoundItFreesAndTheSongStaysUnsaved) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  FillSong(e);
  FakePrompts prompts;
  UndoHistory history;
  const std::string saved = SongBytes(e);
  history.Begin(e, "Outer");
  DeleteLine(e, prompts, history, 0);
  history.End(e);
  const std::string deleted = SongBytes(e);
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  ASSERT_TRUE(history.Undo(e));
  EXPECT_TRUE(e.state.songChanged) << "a sample is gone since the song was saved";
  EXPECT_EQ(SongBytes(e), deleted);
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(SongBytes(e), saved);
  EXPECT_FALSE(e.state.songChanged);
}

// An edit that frees a sound nobody kept cannot be undone and takes the history with
// it; the song it leaves is still not what its file holds.
TEST(UndoTest, ASoundNobodyKeptClearsTheHistoryButNotTheChangedFlag) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  FillSong(e);
  FakePrompts prompts;
  UndoHistory history;
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  SampleManagerState m;
  RefreshSampleList(e, m);
  SelectSample(m, 0);
  prompts.answers.push_back(true);
  Undoable(history, e, "Delete", [&] { DeleteSelectedSample(e, prompts, m); });
  EXPECT_EQ(history.StepCount(), 0U);
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  ASSERT_TRUE(history.Undo(e));
  EXPECT_TRUE(e.state.songChanged);
  EXPECT_FALSE(history.CanUndo());

  // Nor does clearing the history from outside: only MarkSaved says the song is its file.
  history.Clear();
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  ASSERT_TRUE(history.Undo(e));
  EXPECT_TRUE(e.state.songChanged);
  history.Clear();
  history.MarkSaved();
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  ASSERT_TRUE(history.Undo(e));
  EXPECT_FALSE(e.state.songChanged);
}

// A knob's drag ends at its release, or where anything else begins when the release
// went astray; inside an open edit it is part of that edit.
TEST(UndoTest, ADragEndsWhereAnythingElseBeginsAndNestsInAnOpenEdit) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  UndoHistory history;
  history.BeginDrag(e, "Shuffle");
  SetKnobValue(e, KnobSetting::Shuffle, 30); // and the release never comes
  EXPECT_TRUE(history.DragOpen());
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  EXPECT_EQ(history.StepCount(), 2U);
  EXPECT_EQ(history.UndoName(), "Tempo");
  history.EndDrag(e); // the late release ends nothing
  EXPECT_EQ(history.StepCount(), 2U);

  const int32_t distortion = e.state.song.distortAmount;
  history.BeginDrag(e, "Vinyl");
  SetKnobValue(e, KnobSetting::Vinyl, 40);
  history.BeginDrag(e, "Distortion"); // another knob's press
  SetKnobValue(e, KnobSetting::Distortion, 20);
  EXPECT_EQ(history.UndoName(), "Vinyl");
  ASSERT_TRUE(history.Undo(e)); // ends the open drag, then takes it back
  EXPECT_EQ(e.state.song.distortAmount, distortion);
  EXPECT_EQ(e.state.song.vinylAmount, 40);
  EXPECT_EQ(history.StepCount(), 4U);

  // Inside an open edit a drag and an Undoable command are parts of it.
  history.Begin(e, "Step Controllers");
  history.BeginDrag(e, "Pitch");
  EXPECT_FALSE(history.DragOpen());
  SetKnobValue(e, KnobSetting::Pitch, 5);
  history.EndDrag(e);
  Undoable(history, e, "Tempo", [&] { (void)TempoDown(e); });
  SetKnobValue(e, KnobSetting::Shuffle, 60);
  history.End(e);
  EXPECT_EQ(history.StepCount(), 4U);
  EXPECT_EQ(history.UndoName(), "Step Controllers");
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(e.state.song.shuffle, 30);
  EXPECT_EQ(e.state.song.distortAmount, distortion);
}

// Keystrokes make one step only with the keystrokes just before them: not across an
// undo (the redo list goes, and the windows hear of it), not across a save.
TEST(UndoTest, KeystrokesStartANewStepAfterAnUndoAndAfterASave) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  UndoHistory history;
  int changes = 0;
  history.onChange = [&] { ++changes; };
  TypeTempo(e, history, "9");
  TypeTempo(e, history, "90");
  Undoable(history, e, "Tempo", [&] { (void)TempoUp(e); });
  ASSERT_TRUE(history.Undo(e));
  ASSERT_TRUE(history.CanRedo());
  changes = 0;
  TypeTempo(e, history, "95");
  EXPECT_FALSE(history.CanRedo());
  EXPECT_GT(changes, 0);
  EXPECT_EQ(history.StepCount(), 2U);
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(e.state.song.tempo, 90) << "the keystrokes before the undo are a step of their own";

  // Saved between keystrokes: undoing the later ones comes back to the saved song.
  TypeTempo(e, history, "150");
  history.MarkSaved();
  TypeTempo(e, history, "151");
  TypeTempo(e, history, "152");
  EXPECT_EQ(e.state.song.tempo, 152);
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(e.state.song.tempo, 150);
  EXPECT_FALSE(e.state.songChanged);
  TypeTempo(e, history, "153");
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(e.state.song.tempo, 150);
  EXPECT_FALSE(e.state.songChanged);
  ASSERT_TRUE(history.Undo(e));
  EXPECT_EQ(e.state.song.tempo, 90);
  EXPECT_TRUE(e.state.songChanged);
}

// Whatever an operation does to what undo and redo offer, the windows hear of it.
TEST(UndoTest, EveryChangeOfWhatUndoAndRedoOfferIsAnnounced) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  FillSong(e);
  FakePrompts prompts;
  UndoHistory history(6);
  int changes = 0;
  history.onChange = [&] { ++changes; };
  const auto offer = [&] {
    return std::make_tuple(history.CanUndo(), history.CanRedo(), history.UndoName(),
                           history.RedoName(), history.StepCount());
  };
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"undo", [&] { history.Undo(e); }},
      {"redo", [&] { history.Redo(e); }},
      {"keystroke", [&] { TypeTempo(e, history, e.state.song.tempo % 2 == 0 ? "131" : "130"); }},
      {"title",
       [&] {
         history.Begin(e, "Title", {}, "title box");
         SetSongTitle(e, e.state.song.title.text() + "x");
         history.End(e);
       }},
      {"tempo", [&] { Undoable(history, e, "Tempo Up", [&] { (void)TempoUp(e); }); }},
      {"nothing", [&] { Undoable(history, e, "Select", [&] { (void)SelectStep(e, 3); }); }},
      {"save", [&] { history.MarkSaved(); }},
      {"delete",
       [&] {
         PutSample(e, 7, {1, 2, 3}, 44100, SampleCategory::Drum, "x");
         SampleManagerState m;
         RefreshSampleList(e, m);
         DeleteLine(e, prompts, history, static_cast<int32_t>(m.lines.size()) - 1);
       }},
      {"clear", [&] { history.Clear(); }},
  };
  std::mt19937 pick(2113); // a fixed walk, long enough to meet every pair of operations
  for (int i = 0; i < 2000; ++i) {
    const auto& [name, run] = operations[pick() % operations.size()];
    const auto before = offer();
    changes = 0;
    run();
    if (offer() != before) {
      ASSERT_GT(changes, 0) << "operation " << i << ": " << name;
    }
  }
  changes = 0;
  history.Clear();
  EXPECT_GT(changes, 0) << "clearing announces even an empty history";
}

TEST(UndoTest, TheHistoryIsBoundedByStepsAndBySampleData) {
  auto engine = test::NewEngine();
  Engine& e = *engine;
  UndoHistory history;
  for (std::size_t i = 0; i < UndoHistory::kMaxSteps + 30; ++i) {
    Undoable(history, e, "Tempo", [&] { (void)(i % 2 == 0 ? TempoUp(e) : TempoDown(e)); });
  }
  EXPECT_EQ(history.StepCount(), UndoHistory::kMaxSteps);

  // Deleted sounds are kept for undo until they pass the byte bound; the newest stays.
  constexpr std::size_t kBound = 3000;
  UndoHistory small(UndoHistory::kMaxSteps, kBound);
  const std::size_t third = kBound / 3 / sizeof(int16_t);
  FakePrompts prompts;
  for (int round = 0; round < 4; ++round) {
    PutSample(e, 9, std::vector<int16_t>(third + 1, 1), 44100, SampleCategory::Drum);
    SampleManagerState m;
    RefreshSampleList(e, m);
    prompts.answers.push_back(true);
    small.Begin(e, "Delete", {9});
    DeleteSelectedSample(e, prompts, m);
    small.End(e);
    EXPECT_LE(small.SampleBytes(), kBound);
    EXPECT_EQ(small.StepCount(), round == 0 ? 1U : 2U);
  }
  small.Undo(e);
  EXPECT_EQ(e.samples.slots[9].data.size(), third + 1); // the newest delete comes back
  EXPECT_TRUE(small.Undo(e));
  EXPECT_FALSE(small.Undo(e));
  small.Clear();
  EXPECT_EQ(small.SampleBytes(), 0U);
}

} // namespace
} // namespace lw
