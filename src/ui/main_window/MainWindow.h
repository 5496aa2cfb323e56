#pragma once

#include "audio_out/HeardPosition.h"
#include "commands/ChannelMutes.h"
#include "commands/SampleCommands.h"
#include "commands/SongCommands.h"
#include "engine/PlayTrace.h"
#include "live/MidiMapping.h"
#include "session/UndoHistory.h"
#include "song/EditCommands.h"
#include "ui/AutoSave.h"
#include "ui/ImageControl.h"
#include "ui/KnobState.h"
#include "ui/Skin.h"
#include "ui/main_window/MainDialogs.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;

namespace lw {

struct Engine;
class LiveOutputs;
class PlayControl;
class ProgramSettings;
class RenderProgress;
class SampleMenu;
class SamplePreviewer;
class WaveOut;
class UserPrompts;
struct LiveReport;

// Everything the main window works with, handed over by the program (or a test).
struct MainContext {
  Engine& engine;
  WaveOut& waveOut;
  PlayControl& playback; // the live output the play button drives
  UserPrompts& prompts;
  RenderProgress& renderProgress;
  ProgramSettings& settings; // folders, window places and recent songs between runs
  std::string appDir;        // the program's folder, with its trailing separator
  std::string commandSong;   // the first command-line argument, or empty
  // The live outputs behind `playback` when there is a choice of them (the program), else
  // null: "Audio & MIDI" is then disabled.
  LiveOutputs* outputs = nullptr;
};

// The skinned main window: the channel section, the lcd step display, the keyboard,
// pitch, tempo and effects sections, the bank and pattern selectors, and the menus.
class MainWindow : public QMainWindow {
public:
  static constexpr int kClientWidth = 704;
  static constexpr int kClientHeight = 291;

  explicit MainWindow(MainContext context);
  ~MainWindow() override;

  void setDialogs(MainDialogs* dialogs) { dialogs_ = dialogs != nullptr ? dialogs : &noDialogs_; }
  // This run's recovery files (nothing: none are kept). From now on the song is copied
  // there while it has unsaved changes, and start-up offers the copies of runs that died.
  // Set before the first activation; the files outlive the window.
  void setRecovery(RecoveryInstance* recovery, AutoSaveTiming timing = {});
  [[nodiscard]] AutoSave* autoSave() const { return autoSave_.get(); }

  // The one-time start-up work; runs on the first activation, or directly from tests.
  void FirstActivation();

  // Brings every indicator in line with the song.
  void RefreshDisplay(bool refreshPanels, bool refreshChannel, bool refreshStep);
  void Refresh(RefreshFlags flags) {
    RefreshDisplay(flags.refreshPanels, flags.refreshChannel, flags.refreshStep);
  }

  // True when closing may go on: nothing unsaved, or the user agrees to lose it.
  bool ConfirmDiscardChanges();

  // Opens a song given without the file dialog: dropped on a window or picked from the
  // recent songs. Asks first when unsaved changes would be lost.
  void OpenGivenSongFile(const std::string& path);
  // Where the window opens: where it was last time, while that is on a screen; else in
  // the middle of the screen.
  void PlaceAtStart();
  // Keeps the windows' places and the import folder for the next run.
  void RememberPlaces();
  [[nodiscard]] ProgramSettings& settings() const { return context_.settings; }
  // The live output, which the other windows play previews through.
  // Where the sample manager's previews play: the live output, when it plays them.
  [[nodiscard]] SamplePreviewer& previewer() const;
  // Every edit of the song passes through it, from every window.
  [[nodiscard]] UndoHistory& history() { return history_; }

  // Controls by name, and the pieces tests look at.
  [[nodiscard]] ImageControl* control(const QString& name) const;
  [[nodiscard]] QLineEdit* tempoBox() const { return tempoBox_; }
  [[nodiscard]] SampleMenu* sampleMenu() const { return sampleMenu_; }
  [[nodiscard]] const KnobState& knob(const QString& name) const;
  [[nodiscard]] QAction* songloopAction() const { return songloopAction_; }
  [[nodiscard]] QMenu* recentMenu() const { return recentMenu_; }
  [[nodiscard]] QWidget* client() const { return client_; }
  [[nodiscard]] const Skin& skin() const { return skin_; }
  [[nodiscard]] const QPixmap& lcdPicture() const { return lcdPicture_; }
  [[nodiscard]] const std::string& songFolder() const { return songFolder_; }
  [[nodiscard]] const std::string& renderFolder() const { return renderFolder_; }
  [[nodiscard]] SampleManagerState& sampleManager() { return manager_; }

  // Handlers, public so that the other windows and tests reach them as a click would.
  void PlayBtnClick();
  void plus10Click();
  void minus10Click();
  void tempoBoxChange();
  void lcdMouseDown(QPoint position);
  void BankPanelMouseDown(ImageControl& panel, QPoint position);
  void sampleChoose(const QString& entryName);
  // The sample popup at a point of the screen, placing its choice on the active step (with
  // no sample loaded yet, the sample manager instead).
  void SampleMenuPopup(QPoint globalPosition);
  void PatternGridClick();
  void SampleManagerClick();
  void PatternSequencerClick();
  void BouncePatternClick();
  void AudioMidiClick();
  // Whatever the live outputs have to report (the JACK server went away) is shown.
  void PollOutputs();
  void UndoClick();
  void RedoClick();
  // MIDI: arming recording, learn mode, and reading what was played (run every few
  // milliseconds; tests call it directly).
  void RecordClick();
  void LearnClick();
  void PollMidi();
  // Shows who leads the song's time, if anyone: the tempo box then shows the tempo
  // followed, with a decimal, and cannot be edited; its tooltip names the leader. Run
  // with the output poll.
  void ShowLeader();
  // Space from any window: the song plays or stops as the front window's play button has it.
  void PlayKey();
  // Mute and solo of a channel (0..2): what is heard live and in the window's renders,
  // never part of the song. New and Open let every channel in again.
  void ToggleMute(int channel);
  void ToggleSolo(int channel);
  [[nodiscard]] const ChannelMutes& mutes() const { return mutes_; }
  // What the window says is left out, for everyone to see before a render; empty when
  // every channel is heard.
  [[nodiscard]] QString muteText() const;
  // The step the listener hears while the song plays (its pattern, and in song mode its
  // slot), as the step light last showed it; none while stopped. The sequencer's and
  // the pattern grid's running marks follow it.
  [[nodiscard]] const std::optional<PlayTrace::Mark>& heard() const { return heard_; }
  // Moves the step light to where the sound is: run each screen frame while the song
  // plays (tests call it directly). Hides the light and rests when it stops.
  void FollowSound();
  // The tempo box's wheel: a notch is a beat per minute.
  void TurnTempo(int notches);
  // The knob readout's text while it shows; empty when hidden.
  [[nodiscard]] QString readoutText() const;
  [[nodiscard]] QAction* recordAction() const { return recordAction_; }
  // Edit > Undo and Redo, whose keys the other windows take too.
  [[nodiscard]] QAction* undoAction() const { return undoAction_; }
  [[nodiscard]] QAction* redoAction() const { return redoAction_; }
  [[nodiscard]] QAction* learnAction() const { return learnAction_; }
  [[nodiscard]] const MidiMapping& midiMapping() const { return midi_; }

protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildControls();
  void BuildMenus();
  ImageControl* AddImage(const QString& name, QRect geometry, const QPixmap& picture, bool hand);
  ImageControl* AddButton(const QString& name, QRect geometry, const QPixmap& picture,
                          std::function<void()> action);
  ImageControl* AddKnob(const QString& name, QPoint at, int index);

  static const char* KnobName(int index);
  void ShowKnobFrame(int index);
  void KnobMouseDown(int index, QPoint position);
  void KnobMouseUp();
  void KnobMouseMove(int index, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                     QPoint position);
  void WriteKnob(int index);
  void LoadSongKnobs();

  void SetUpAccess();
  static void DescribeKnob(int index, QString& name, QString& help, KnobUnit& unit);
  [[nodiscard]] QString KnobText(int index) const;
  void TurnKnob(int index, int32_t to, const std::string& mergeKey);
  void ShowKnobReadout(int index);
  void ShowReadout(const QWidget* near, const QString& text);
  static int32_t NewSongKnobValue(int index);
  bool KnobKey(int index, const QKeyEvent& key);
  void KnobWheel(int index, int notches, Qt::KeyboardModifiers modifiers);
  void SelectPanel(ImageControl& panel, int cell);
  static QRect LcdCell(int row, int step);
  bool LcdKey(const QKeyEvent& key);
  [[nodiscard]] QString LcdCellText(int row, int column) const;

  void LoadMidiMapping();
  void LearnMidi(const MidiMapping& learned);
  [[nodiscard]] bool learning() const;
  void NotePlayed(const LiveReport& report);
  void ControllerMoved(int controller, int value);

  void DistortClick(int channel);
  void ChannelClick(int channel);
  void KeyClick(int semitone);
  void OctaveClick(int octave);
  void DrawLcdStep(int step);
  void ShowCategory();

  void NewClick();
  void OpenClick();
  void SaveClick();
  void SaveAsClick();
  void SettleDrag();
  void RenderClick(int kind);
  void ExportClick();
  void QuitClick();
  void OpenSampleManager();
  void RebuildRecentMenu();
  void RememberSong();
  void AfterSongReplaced(bool showSequencer);
  bool AfterOpen(const OpenResult& result);
  void OfferRecoveredSong();
  void AfterUndo();
  void ShowWholeSong(bool showSequencer);
  void UpdateUndoItems();
  void Edit(const char* what, const std::function<RefreshFlags()>& command);

  MainContext context_;
  Engine& engine_;
  MainDialogs noDialogs_;
  MainDialogs* dialogs_ = &noDialogs_;
  Skin skin_;
  QPixmap lcdPicture_;
  EditClipboard clip_;
  UndoHistory history_;
  bool firstActivation_ = true;
  bool quitting_ = false;
  std::string songFolder_;
  std::string renderFolder_;
  SampleManagerState manager_; // the sample manager's list and import folder
  RecoveryInstance* recovery_ = nullptr;
  std::unique_ptr<AutoSave> autoSave_;

  QWidget* client_ = nullptr;
  QLineEdit* tempoBox_ = nullptr;
  SampleMenu* sampleMenu_ = nullptr;
  QAction* songloopAction_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  ImageControl* lcd_ = nullptr;
  QWidget* stepFrame_ = nullptr;
  QWidget* stepLight_ = nullptr;
  QTimer* soundTimer_ = nullptr;
  HeardClock heardClock_;
  std::optional<PlayTrace::Mark> heard_;
  static QRect StepLightPlace(int step);
  ImageControl* playBtn_ = nullptr;
  ImageControl* recordBtn_ = nullptr;
  ImageControl* coverKeys_ = nullptr;
  ImageControl* coverPitch_ = nullptr;
  ImageControl* activeLed_ = nullptr;
  ImageControl* bankPanel_ = nullptr;
  ImageControl* patPanel_ = nullptr;
  std::array<ImageControl*, 3> distort_{};
  std::array<ImageControl*, 3> channel_{};
  std::array<ImageControl*, 12> keys_{};
  std::array<ImageControl*, 5> octaves_{};

  // The twelve knobs: DelFB, DelSteps, DistortKnob, VinylKnob, ShuffleKnob, DelayKnob1..3,
  // volKnob1..3, PitchKnob.
  enum Knob {
    kDelFB,
    kDelSteps,
    kDistort,
    kVinyl,
    kShuffle,
    kDelay1,
    kVol1 = kDelay1 + 3,
    kPitch = kVol1 + 3,
    kKnobCount
  };
  std::array<KnobState, kKnobCount> knobs_{};
  static_assert(kKnobCount == MidiMapping::kKnobs);

  QAction* recordAction_ = nullptr;
  QAction* learnAction_ = nullptr;
  MidiMapping midi_;
  int learnChannel_ = -1; // in learn mode: the channel the next note answers for
  int learnKnob_ = -1;    // the knob the next controller turns
  int learnSwitch_ = -1;  // the mute or solo switch the next controller flips
  uint32_t take_ = 0;     // recording's take, each one undo step
  bool takePlaying_ = false;
  bool leaderShown_ = false; // the tempo box shows a leader's tempo
  std::array<ImageControl*, kKnobCount> knobImages_{};

  void ApplyMutes();

  ChannelMutes mutes_;
  QLabel* muteBanner_ = nullptr; // says which channels are left out
  QLabel* readout_ = nullptr;    // a knob's name and value while it turns
  QTimer* readoutTimer_ = nullptr;
  int lcdRow_ = 0;           // the lcd row the keyboard is on
  uint32_t knobPresses_ = 0; // parts the undo steps of separate key presses
  int fineWheel_ = 0;        // Shift-wheel notches not yet a unit
};

} // namespace lw
