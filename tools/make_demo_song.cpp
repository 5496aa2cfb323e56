// Writes the demo songs, made from the starter kit the way a user makes them: each sample
// is imported through the sample manager, and every note, knob, step controller,
// slicing command and sequence slot is set by the command the windows call. The songs
// are in C minor:
//
// - "First Light" (demo.LW, which `make run` opens): a shuffled beat, a bass line and
//   chord stabs and a lead through the tempo-synced delay.
// - "Cut Up": a funk break cut to 128 BPM by the Lame Timestretch, a bass turned into
//   sixteenths by the Long Stutter, and step controllers that re-order the break's slices
//   and shape the lead.
// - "Long Way Round": the arpeggio and break loops with a bass, stabs and a lead across
//   four banks, chained by the song sequence.
//
// Usage: make_demo_song KIT_FOLDER DEMO.LW DEMO_FOLDER
// writes DEMO.LW and, into DEMO_FOLDER, first-light.LW (the same song), cut-up.LW and
// long-way-round.LW.
#include "commands/EditMenu.h"
#include "commands/MainCommands.h"
#include "commands/SampleCommands.h"
#include "commands/SequencerCommands.h"
#include "commands/SongCommands.h"
#include "commands/StepControllers.h"
#include "song/Paths.h"

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

using namespace lw;

// The user's side of the dialogs: every question is answered Yes, the save dialog is
// given the file to write, and any message is a failure that stops the generator.
class Script : public UserPrompts {
public:
  std::string saveAs;

  void Notice(std::string_view text) override { Fail(text); }
  void Warning(std::string_view text) override { Fail(text); }
  bool Confirm(std::string_view /*text*/) override { return true; }
  void ReportIoError(std::string_view text) override { Fail(text); }
  std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override {
    return saveAs;
  }

private:
  [[noreturn]] static void Fail(std::string_view text) {
    throw std::runtime_error(std::string(text));
  }
};

// Notes of the instruments, counted as the program does: 36 plays a sample at its own
// pitch, and every sample of the kit is a C.
constexpr int kC = 36;
constexpr int kD = 38;
constexpr int kEb = 39;
constexpr int kF = 41;
constexpr int kG = 43;
constexpr int kAb = 44;
constexpr int kBb = 46;
constexpr int kOctave = 12;

// Step -> note, for a line of an instrument.
using Line = std::map<int, int>;

// One song being made at the program's controls.
class Studio {
public:
  explicit Studio(std::string kitFolder)
      : kit_(std::move(kitFolder)), engine_(std::make_unique<Engine>()) {
    const EngineHold hold(engine_->engineLock);
    engine_->NewSong();
  }

  // "Import new sample" with the kit's file, then the category's radio button. Returns
  // the slot the sample went to.
  int Import(const std::string& file, SampleCategory category) {
    const std::string path = (std::filesystem::path(kit_) / file).string();
    if (ImportSampleFile(*engine_, script_, manager_, path) != ImportOutcome::Imported) {
      throw std::runtime_error(path + " was not imported");
    }
    SetSelectedCategory(*engine_, manager_, category);
    return manager_.slotIndexMap[static_cast<std::size_t>(manager_.selected)];
  }

  // The song-wide settings: the tempo box and the knobs.
  void Tempo(int bpm) { (void)TempoBoxChange(*engine_, std::to_string(bpm)); }
  void Knob(KnobSetting setting, int value) { SetKnobValue(*engine_, setting, value); }

  // The bank and pattern panels: the pattern edited from here on.
  void Edit(int bank, int pattern) {
    (void)SelectPanelCell(*engine_, PanelKind::Bank, bank);
    (void)SelectPanelCell(*engine_, PanelKind::Pattern, pattern);
  }

  // A channel's volume and delay-send knobs in the edited pattern.
  void Mix(int channel, int volume, int send = 0) {
    SetKnobValue(*engine_, KnobSetting::Volume, volume, channel);
    SetKnobValue(*engine_, KnobSetting::DelaySend, send, channel);
  }
  void Overdrive(int channel) { (void)ToggleDistortion(*engine_, channel); }

  // A drum hit: the step clicked, the sample chosen, and the pitch knob (100 = as
  // sampled) turned when asked.
  void Hit(int channel, int step, int slot, int pitch = 100) {
    Choose(channel, step, slot);
    if (pitch != 100) {
      SetKnobValue(*engine_, KnobSetting::Pitch, pitch - 50);
    }
  }
  void Hits(int channel, std::initializer_list<int> steps, int slot) {
    for (int step : steps) {
      Hit(channel, step, slot);
    }
  }

  // Notes of an instrument: the sample chosen, then the octave and key buttons.
  void Notes(int channel, int slot, const Line& line) {
    for (const auto& [step, note] : line) {
      Choose(channel, step, slot);
      (void)SetNoteOctave(*engine_, note / kOctave);
      (void)SetNoteKey(*engine_, note % kOctave);
    }
  }

  // The step controllers dialog: its volume box, its mode buttons and its start and end
  // boxes, typed in as text.
  void StepVolume(int channel, int step, int volume) {
    StoreBoxEdit(*engine_, Select(channel, step), StepField::Volume,
                 VolumeBoxEdit(std::to_string(volume)));
  }
  void StepMode(int channel, int step, lw::StepMode mode) {
    SetStepMode(*engine_, Select(channel, step), static_cast<uint8_t>(mode));
  }
  void StepSlice(int channel, int step, int start, int end) {
    Step* record = Select(channel, step);
    StoreBoxEdit(*engine_, record, StepField::StartPos, PositionBoxEdit(std::to_string(start)));
    StoreBoxEdit(*engine_, record, StepField::EndPos, PositionBoxEdit(std::to_string(end)));
  }

  // The Edit menu's slicing commands from a step of a channel on (answered Yes).
  void Slice(int channel, int fromStep, SliceCommand command) {
    (void)Select(channel, fromStep);
    if (command == SliceCommand::LameTimestretch) {
      (void)LameTimestretch(*engine_, script_);
    } else {
      (void)LongStutter(*engine_, script_);
    }
  }

  // The sequencer window: (bank, pattern) into slots 0, 1, ..., then the title and
  // author boxes.
  void Sequence(std::initializer_list<std::pair<int, int>> slots) {
    int slot = 0;
    for (const auto& [bank, pattern] : slots) {
      SetSequenceSlot(*engine_, slot++, bank, pattern);
    }
  }
  void Names(std::string_view title, std::string_view author) {
    SetSongTitle(*engine_, title);
    SetSongAuthor(*engine_, author);
  }

  // "Save as" into `path`.
  void Save(const std::string& path) {
    script_.saveAs = path;
    if (!SaveSongAs(*engine_, script_, FolderOf(path))) {
      throw std::runtime_error(path + " was not saved");
    }
  }

private:
  // The channel button, then a click on the step: the active step's record, as the step
  // controllers dialog edits it.
  Step* Select(int channel, int step) {
    (void)SelectChannel(*engine_, channel);
    (void)SelectStep(*engine_, step);
    const EngineHold hold(engine_->engineLock);
    return &engine_->state.activeStepRecord();
  }
  void Choose(int channel, int step, int slot) {
    (void)Select(channel, step);
    if (!ChooseSample(*engine_, slot, false)) {
      throw std::runtime_error("no sample in slot " + std::to_string(slot));
    }
  }

  std::string kit_;
  std::unique_ptr<Engine> engine_;
  Script script_;
  SampleManagerState manager_;
};

// A shuffled beat on one channel, the bass on the next and stabs or the lead on the last,
// which feeds the dotted-eighth delay.
void FirstLight(Studio& s) {
  s.Names("First Light", "LoopWren");
  s.Tempo(112);
  s.Knob(KnobSetting::Shuffle, 22);
  s.Knob(KnobSetting::DelaySteps, 3);
  s.Knob(KnobSetting::DelayFeedback, 40);
  s.Knob(KnobSetting::Distortion, 18);
  s.Knob(KnobSetting::Vinyl, 10);
  const int kick = s.Import("kick.wav", SampleCategory::Drum);
  const int snare = s.Import("snare.wav", SampleCategory::Drum);
  const int clap = s.Import("clap.wav", SampleCategory::Drum);
  const int hat = s.Import("hat-closed.wav", SampleCategory::Drum);
  const int openHat = s.Import("hat-open.wav", SampleCategory::Drum);
  const int bass = s.Import("bass-C2.wav", SampleCategory::Instrument);
  const int stab = s.Import("stab-Cm7-C4.wav", SampleCategory::Instrument);
  const int lead = s.Import("lead-C4.wav", SampleCategory::Instrument);

  // C minor: the bass climbs to the fourth and fifth, the stabs play i, iv and v.
  const Line bassLine = {{0, kC},  {3, kC},  {6, kC + kOctave},  {8, kEb},
                         {10, kF}, {11, kG}, {14, kBb - kOctave}};
  const Line bassTurn = {{0, kC},  {3, kC},  {6, kC + kOctave}, {8, kAb},
                         {10, kG}, {12, kF}, {14, kEb}};
  const Line stabs = {{0, kC}, {6, kC}, {10, kF}, {14, kG}};
  const Line melody = {{0, kG}, {3, kBb}, {4, kC + kOctave}, {7, kBb},
                       {8, kG}, {10, kF}, {11, kG},          {14, kEb}};
  const Line answer = {{0, kC + kOctave}, {2, kBb},  {4, kG},   {6, kEb + kOctave},
                       {8, kC + kOctave}, {10, kBb}, {12, kAb}, {14, kG}};

  for (int p = 0; p < 4; ++p) {
    s.Edit(0, p);
    s.Hits(0, {0, 8, 10}, kick);
    s.Hits(0, {4, 12}, p == 1 ? clap : snare);
    s.Hits(0, {2, 6, 7, 11, 15}, hat);
    s.Hit(0, 14, openHat);
    s.Mix(0, 110);
    if (p > 0) {
      s.Notes(1, bass, p == 3 ? bassTurn : bassLine);
      s.Mix(1, 62);
    }
    if (p < 2) {
      s.Notes(2, stab, stabs);
      s.Mix(2, 92, 50);
    } else {
      s.Notes(2, lead, p == 2 ? melody : answer);
      s.Mix(2, 96, 40);
      s.Overdrive(1);
    }
  }
  // The last pattern ends on a snare run that rises in pitch.
  s.Edit(0, 3);
  s.Hit(0, 13, snare, 104);
  s.Hit(0, 14, snare, 110);
  s.Hit(0, 15, snare, 118);

  s.Sequence({{0, 0}, {0, 0}, {0, 1}, {0, 1}, {0, 2}, {0, 2}, {0, 1}, {0, 3}});
  s.Edit(0, 0);
}

// The break is a drum sample here, not a loop, so slicing cuts it: the Lame Timestretch
// gives each step its sixteenth of the break at 128 BPM without changing its pitch.
void CutUp(Studio& s) {
  s.Names("Cut Up", "LoopWren");
  s.Tempo(128);
  s.Knob(KnobSetting::DelaySteps, 2);
  s.Knob(KnobSetting::DelayFeedback, 30);
  const int breakbeat = s.Import("loop-funk-120.wav", SampleCategory::Drum);
  const int bass = s.Import("bass-C2.wav", SampleCategory::Instrument);
  const int lead = s.Import("lead-C4.wav", SampleCategory::Instrument);
  const int stab = s.Import("stab-Cm7-C4.wav", SampleCategory::Instrument);

  // The Long Stutter replays the bass's slice on every step, so the held notes become
  // sixteenths; the notes change the pitch.
  const Line bassLine = {{0, kC},  {3, kC + kOctave}, {6, kBb - kOctave}, {8, kC}, {11, kEb},
                         {12, kF}, {14, kG}};
  const Line melody = {{0, kG}, {2, kBb}, {3, kC + kOctave}, {6, kBb},
                       {8, kG}, {10, kF}, {12, kEb},         {14, kD}};
  const Line stabs = {{0, kC}, {3, kC}, {6, kC}, {8, kF}, {11, kF}, {14, kG}};

  for (int p = 0; p < 4; ++p) {
    s.Edit(0, p);
    s.Hit(0, 0, breakbeat);
    s.Slice(0, 0, SliceCommand::LameTimestretch);
    s.Mix(0, 104);
    s.Notes(1, bass, bassLine);
    s.Slice(1, 0, SliceCommand::LongStutter);
    s.Mix(1, 80);
  }

  // The lead, accented and cut short by the step controllers.
  s.Edit(0, 1);
  s.Notes(2, lead, melody);
  s.Mix(2, 82, 35);
  for (const auto& [step, note] : melody) {
    s.StepVolume(2, step, step % 4 == 0 ? 127 : 90);
  }
  s.StepMode(2, 5, StepMode::NoteOff);
  s.StepMode(2, 13, StepMode::NoteOff);

  // The break re-ordered: the kick's slice again on steps 6 and 7, and a roll of the
  // snare's slices, louder each step, to end the pattern.
  s.Edit(0, 2);
  const int slice = SliceSize(0);
  s.StepSlice(0, 6, 0, slice - 1);
  s.StepSlice(0, 7, 0, slice - 1);
  for (int step = 12; step < 16; ++step) {
    const int snareSlice = step < 14 ? 4 : 12;
    s.StepSlice(0, step, snareSlice * slice, snareSlice * slice + slice / 2);
    s.StepMode(0, step, StepMode::RetrigStutter);
    s.StepVolume(0, step, 70 + 19 * (step - 12));
  }

  // Stabs, the second half chopped by a Long Stutter from step 8.
  s.Edit(0, 3);
  s.Notes(2, stab, stabs);
  s.Mix(2, 76, 40);
  s.Slice(2, 8, SliceCommand::LongStutter);

  s.Sequence({{0, 0}, {0, 0}, {0, 1}, {0, 1}, {0, 2}, {0, 1}, {0, 3}, {0, 2}});
  s.Edit(0, 0);
}

// Four banks: an intro on the arpeggio loop, the main part with the break loop, a
// break-down of stabs and a return, then an outro.
void LongWayRound(Studio& s) {
  s.Names("Long Way Round", "LoopWren");
  s.Tempo(120); // the loops' own tempo, so they play at their own pitch
  s.Knob(KnobSetting::DelaySteps, 3);
  s.Knob(KnobSetting::DelayFeedback, 50);
  s.Knob(KnobSetting::Vinyl, 8);
  const int arp = s.Import("loop-arp-Cm-120.wav", SampleCategory::Loop);
  const int breakbeat = s.Import("loop-funk-120.wav", SampleCategory::Loop);
  const int kick = s.Import("kick.wav", SampleCategory::Drum);
  const int clap = s.Import("clap.wav", SampleCategory::Drum);
  const int hat = s.Import("hat-closed.wav", SampleCategory::Drum);
  const int openHat = s.Import("hat-open.wav", SampleCategory::Drum);
  const int rim = s.Import("rim.wav", SampleCategory::Drum);
  const int cowbell = s.Import("cowbell.wav", SampleCategory::Drum);
  const int lowTom = s.Import("tom-low.wav", SampleCategory::Drum);
  const int highTom = s.Import("tom-high.wav", SampleCategory::Drum);
  const int bass = s.Import("bass-C2.wav", SampleCategory::Instrument);
  const int stab = s.Import("stab-Cm7-C4.wav", SampleCategory::Instrument);
  const int lead = s.Import("lead-C4.wav", SampleCategory::Instrument);

  // Bank 1: the intro, the arpeggio alone with rim shots, then a kick under it.
  s.Edit(0, 0);
  s.Hit(2, 0, arp);
  s.Mix(2, 88, 30);
  s.Hits(1, {3, 6, 11, 14}, rim);
  s.Mix(1, 60);
  s.Edit(0, 1);
  s.Hit(2, 0, arp);
  s.Mix(2, 88, 30);
  s.Hits(0, {0, 4, 8, 12}, kick);
  s.Mix(0, 108);
  s.Hits(1, {3, 6, 11, 14}, rim);
  s.Hit(1, 8, cowbell);
  s.Mix(1, 60);

  // Bank 2: the break loop, the bass, and the arpeggio or a lead over it.
  const Line bassLine = {{0, kC},  {3, kC},   {6, kG},           {8, kBb - kOctave},
                         {10, kC}, {11, kEb}, {14, kG - kOctave}};
  const Line bassTurn = {{0, kC},  {3, kC},  {6, kC + kOctave}, {8, kF},
                         {11, kF}, {12, kG}, {14, kG - kOctave}};
  const Line melody = {{0, kG},           {2, kC + kOctave}, {4, kEb + kOctave},
                       {6, kD + kOctave}, {8, kC + kOctave}, {10, kAb},
                       {12, kBb},         {14, kD + kOctave}};
  for (int p = 0; p < 2; ++p) {
    s.Edit(1, p);
    s.Hit(0, 0, breakbeat);
    s.Mix(0, 106);
    s.Notes(1, bass, p == 0 ? bassLine : bassTurn);
    s.Mix(1, 68);
    if (p == 0) {
      s.Hit(2, 0, arp);
      s.Mix(2, 72, 25);
    } else {
      s.Notes(2, lead, melody);
      s.Mix(2, 80, 40);
    }
  }

  // Bank 3: the break-down, stabs over hats, i - iv then v - i, ending on a tom fill.
  const Line stabsOne = {{0, kC}, {3, kC}, {6, kC}, {10, kF}, {13, kF}};
  const Line stabsTwo = {{0, kG}, {3, kG}, {6, kG}, {10, kC}, {13, kC}};
  const Line bassOne = {{0, kC}, {6, kC}, {10, kF}, {13, kF}};
  const Line bassTwo = {{0, kG - kOctave}, {6, kG - kOctave}, {10, kC}, {13, kC}};
  for (int p = 0; p < 2; ++p) {
    s.Edit(2, p);
    s.Hits(0, {0, 2, 4, 6, 8, 10}, hat);
    if (p == 0) {
      s.Hits(0, {12, 14}, hat);
      s.Hit(0, 7, openHat);
    } else {
      s.Hit(0, 12, highTom);
      s.Hit(0, 13, highTom, 92);
      s.Hit(0, 14, lowTom);
      s.Hit(0, 15, lowTom, 90);
    }
    s.Mix(0, 84);
    s.Notes(1, bass, p == 0 ? bassOne : bassTwo);
    s.Mix(1, 66);
    s.Notes(2, stab, p == 0 ? stabsOne : stabsTwo);
    s.Mix(2, 80, 45);
  }

  // Bank 4: the outro, the arpeggio over kick and clap, then the arpeggio into the delay.
  s.Edit(3, 0);
  s.Hit(2, 0, arp);
  s.Mix(2, 84, 35);
  s.Hits(0, {0, 4, 8, 12}, kick);
  s.Mix(0, 106);
  s.Hits(1, {4, 12}, clap);
  s.Mix(1, 72);
  s.Edit(3, 1);
  s.Hit(2, 0, arp);
  s.Mix(2, 70, 70);
  s.Hit(0, 0, kick);
  s.Mix(0, 96);

  s.Sequence({{0, 0},
              {0, 0},
              {0, 1},
              {0, 1},
              {1, 0},
              {1, 0},
              {1, 1},
              {1, 1},
              {2, 0},
              {2, 1},
              {2, 0},
              {2, 1},
              {1, 0},
              {1, 1},
              {1, 0},
              {1, 1},
              {3, 0},
              {3, 1}});
  s.Edit(0, 0);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_demo_song KIT_FOLDER DEMO.LW DEMO_FOLDER\n");
    return 2;
  }
  const std::string kit = argv[1];
  const std::filesystem::path demos = argv[3];
  try {
    std::filesystem::create_directories(demos);
    {
      Studio studio(kit);
      FirstLight(studio);
      studio.Save(argv[2]);
      studio.Save((demos / "first-light.LW").string());
    }
    {
      Studio studio(kit);
      CutUp(studio);
      studio.Save((demos / "cut-up.LW").string());
    }
    {
      Studio studio(kit);
      LongWayRound(studio);
      studio.Save((demos / "long-way-round.LW").string());
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_demo_song: %s\n", error.what());
    return 1;
  }
  return 0;
}
