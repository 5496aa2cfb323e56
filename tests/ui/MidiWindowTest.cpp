// MIDI in the main window: learn mode teaches a channel its note and a knob its
// controller, kept in the settings; a learned controller turns its knob as one undo step;
// step recording writes notes into the active steps as one take.
#include "FakeAudioDevice.h"
#include "LiveSong.h"
#include "MainWindowFixture.h"
#include "live/LiveOutputs.h"
#include "ui/ProgramDialogs.h"
#include "ui/Settings.h"

#include <QAction>
#include <QtTest>

#include <memory>

using namespace lw;

namespace {

// The main window over the live outputs, SDL being a fake device; MIDI is handed over
// as the ALSA sequencer's reader hands it.
struct MidiWindow {
  std::unique_ptr<Engine> engine = lw::test::NewEngine();
  lw::test::FakePrompts prompts;
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> sdl;
  std::unique_ptr<LiveOutputs> outputs;
  ProgressRelay progress;
  lw::test::TempDir dir;
  lw::test::TempDir settingsDir;
  QString settingsFile = QString::fromStdString(settingsDir.File("loopwren.conf"));
  ProgramSettings settings{settingsFile};
  std::unique_ptr<MainWindow> window;

  MidiWindow() {
    waveOut = std::make_unique<WaveOut>(std::make_unique<lw::test::FakeAudioDevice>(), prompts);
    sdl = std::make_unique<LivePlayback>(*engine, *waveOut);
    outputs = std::make_unique<LiveOutputs>(*engine, *waveOut, *sdl);
    outputs->Choose(OutputChoice::Sdl);
    window = std::make_unique<MainWindow>(MainContext{*engine,
                                                      *waveOut,
                                                      *outputs,
                                                      prompts,
                                                      progress,
                                                      settings,
                                                      dir.path().string() + "/",
                                                      {},
                                                      outputs.get()});
    window->FirstActivation();
    const EngineHold hold(engine->engineLock);
    lw::test::MakeLiveSong(*engine); // the kit the pads play
  }
  ~MidiWindow() { outputs->FormClose(); }
  MidiWindow(const MidiWindow&) = delete;
  MidiWindow& operator=(const MidiWindow&) = delete;

  void Play(MidiMessage message) {
    outputs->input().Receive(message);
    window->PollMidi();
  }
  void Click(const QString& control) {
    QTest::mousePress(window->control(control), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(window->control(control), Qt::LeftButton, {}, QPoint(5, 5));
  }
};

} // namespace

class MidiWindowTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void learnTeachesAChannelItsNoteAndAKnobItsController();
  void aLearnedControllerTurnsItsKnobAsOneUndoStep();
  void stepRecordingWritesTheActiveStepsAsOneTake();
  void learnedControllersMuteAndSoloAndTheTextKeepsThem();
};

void MidiWindowTest::learnTeachesAChannelItsNoteAndAKnobItsController() {
  MidiWindow w;
  w.Play({0x90, 50, 100});
  w.Play({0xB0, 74, 10});
  QCOMPARE(w.window->midiMapping(), MidiMapping{}); // not learning: nothing learned

  w.window->learnAction()->trigger();
  QVERIFY(w.window->learnAction()->isChecked());
  w.Click("Channel2");
  w.Play({0x90, 50, 100});
  QCOMPARE(w.window->midiMapping().channelNotes[1], 50);
  QCOMPARE(w.outputs->input().channelNote(1), 50);
  QCOMPARE(w.outputs->input().ChannelOfNote(50), 1);
  w.Play({0x90, 51, 100}); // learned once per press
  QCOMPARE(w.window->midiMapping().channelNotes[1], 50);

  w.Click("DistortKnob");
  w.Play({0xB0, 74, 10});
  QCOMPARE(w.window->midiMapping().knobOfController[74], int8_t{2});
  w.window->learnAction()->trigger();

  // Kept in the settings, not the song: a program started afresh knows them.
  QVERIFY(!w.engine->Interface().songChanged);
  ProgramSettings again(w.settingsFile);
  const MidiMapping kept = MidiMapping::FromText(again.midiMapping());
  QCOMPARE(kept.channelNotes[1], 50);
  QCOMPARE(kept.knobOfController[74], int8_t{2});
}

void MidiWindowTest::aLearnedControllerTurnsItsKnobAsOneUndoStep() {
  MidiWindow w;
  w.window->learnAction()->trigger();
  w.Click("VinylKnob");
  w.Play({0xB5, 20, 0});
  w.window->learnAction()->trigger();
  const int32_t before = w.engine->Interface().song.vinylAmount;

  for (const auto& [value, expected] : {std::pair{127, 100}, {64, 50}, {1, 1}, {90, 71}}) {
    w.Play({0xB5, 20, static_cast<uint8_t>(value)});
    QCOMPARE(w.window->knob("VinylKnob").value, expected);
    QCOMPARE(w.engine->Interface().song.vinylAmount, expected);
  }
  QCOMPARE(w.window->knob("DelayKnob1").value, 0); // only the learned knob moves
  w.window->UndoClick();
  QCOMPARE(w.engine->Interface().song.vinylAmount, before);
  QCOMPARE(w.window->knob("VinylKnob").value, before);
}

void MidiWindowTest::stepRecordingWritesTheActiveStepsAsOneTake() {
  MidiWindow w;
  const Song original = w.engine->Interface().song;
  w.Play({0x99, 36, 90}); // not armed: nothing is written
  QVERIFY(std::memcmp(&original, &w.engine->Interface().song, sizeof(Song)) == 0);

  w.Click("RecordBtn"); // the button arms it as the menu item does, and lights
  QVERIFY(w.window->recordAction()->isChecked());
  QVERIFY(w.outputs->input().recording());
  QCOMPARE(w.window->control("RecordBtn")->picture().cacheKey(),
           w.window->skin().recordOn.cacheKey());
  w.Play({0x99, 36, 90});
  w.Play({0x99, 38, 60});
  w.Play({0x99, 99, 60}); // no channel answers it
  const SongDocument& doc = w.engine->Interface();
  QCOMPARE(doc.activeStep, 2);
  const Step& kick = doc.song.step(0, 0, 0, 0);
  QCOMPARE(int{kick.trigger}, 1);
  QCOMPARE(int{kick.volume}, 90);
  const Step& snare = doc.song.step(0, 0, 1, 1);
  QCOMPARE(int{snare.trigger}, 1);
  QCOMPARE(int{snare.sample}, 1); // the instrument channel 2 plays
  QCOMPARE(snare.note, 38 - 60 + 36);
  QCOMPARE(int{snare.volume}, 60);

  w.window->UndoClick();
  QVERIFY(std::memcmp(&original, &w.engine->Interface().song, sizeof(Song)) == 0);
}

void MidiWindowTest::learnedControllersMuteAndSoloAndTheTextKeepsThem() {
  MidiWindow w;
  w.window->learnAction()->trigger();
  w.window->ToggleMute(1); // the key 2: mutes, and picks the switch
  w.Play({0xB0, 20, 127});
  w.window->ToggleSolo(0); // Shift+1
  w.Play({0xB0, 21, 127});
  w.Click("VinylKnob"); // a controller learnt for a knob flips no switch any more
  w.Play({0xB0, 21, 0});
  w.window->learnAction()->trigger();
  QCOMPARE(w.window->midiMapping().switchOfController[20], int8_t{1});
  QCOMPARE(w.window->midiMapping().switchOfController[21], int8_t{-1});
  QCOMPARE(w.window->midiMapping().knobOfController[21], int8_t{3});
  w.window->ToggleMute(1);
  w.window->ToggleSolo(0);
  QCOMPARE(w.engine->silenced.load(), 0U);

  // 64 and above is on, below is off, whatever came before.
  for (const auto& [value, silenced] :
       {std::pair{127, 0b010U}, {100, 0b010U}, {63, 0U}, {64, 0b010U}, {0, 0U}}) {
    w.Play({0xB3, 20, static_cast<uint8_t>(value)});
    QCOMPARE(w.engine->silenced.load(), silenced);
  }
  QVERIFY(!w.engine->Interface().songChanged);

  // The settings' text: the switches after the knobs, and text without them as before.
  MidiMapping m;
  QCOMPARE(QString::fromStdString(m.ToText()), QStringLiteral("notes=36,38,42;cc="));
  m.LearnController(7, 9);
  m.LearnSwitch(20, 0);
  m.LearnSwitch(21, 5);
  m.LearnSwitch(22, 5); // one controller a switch
  QCOMPARE(QString::fromStdString(m.ToText()),
           QStringLiteral("notes=36,38,42;cc=7:9;switch=20:0,22:5"));
  QCOMPARE(MidiMapping::FromText(m.ToText()), m);
  const MidiMapping odd = MidiMapping::FromText("notes=36,38,42;cc=7:9;switch=7:2,30:6,x:1,31:-1");
  QCOMPARE(odd.knobOfController[7], int8_t{-1}); // the later switch took the controller
  QCOMPARE(odd.switchOfController[7], int8_t{2});
  QCOMPARE(odd.switchOfController[30], int8_t{-1}); // no seventh switch
  QCOMPARE(odd.switchOfController[31], int8_t{-1});
}

QTEST_MAIN(MidiWindowTest)
#include "MidiWindowTest.moc"
