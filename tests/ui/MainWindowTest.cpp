#include "MainWindowFixture.h"
#include "commands/SongCommands.h"
#include "song/Round.h"
#include "song/SongPosition.h"
#include "ui/SampleMenu.h"

#include <QLineEdit>
#include <QtTest>

using namespace lw;
using lw::test::MainWindowFixture;
using lw::test::PutSample;

class MainWindowTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void startUpShowsTheDefaultSong();
  void knobArithmeticAndFrames();
  void knobsTurnOnlyWithThePlainLeftButtonOfTheirOwnPress();
  void knobsWriteThroughToTheSongAndTheVoices();
  void tempoBoxTexts();
  void tempoButtonsStopAtTheLimits();
  void skinnedButtonsActOnReleaseAndIgnoreTheRightButton();
  void keysKeepTheOctaveAndOctavesKeepTheKey();
  void coversFollowTheSampleCategory();
  void lcdRowsAndMargins();
  void popupEntriesAndColumns();
  void bankPanelCells();
  void lcdDrawsSymbolsSquaresAndRings();
  void aRefreshWithoutFlagsUpdatesTempoAndPlay();
  void grabbedPixelsMatchTheLayout();
  void closingAsksOnlyWithUnsavedChanges();
  void startingWithSongFiles();
};

void MainWindowTest::startUpShowsTheDefaultSong() {
  MainWindowFixture f;
  MainWindow& w = *f.window;
  const Skin& skin = w.skin();
  QCOMPARE(w.windowTitle(), QStringLiteral(" "));
  QCOMPARE(w.client()->size(), QSize(704, 291));
  QVERIFY(!f.engine->state.songChanged);
  QVERIFY(f.engine->state.songFileName.empty());
  QCOMPARE(f.dialogs.splash, 1);
  QCOMPARE(f.dialogs.sequencerShown, 0);
  QCOMPARE(f.Control("BankPanel")->picture().cacheKey(), skin.bp[0].cacheKey());
  QCOMPARE(f.Control("PatPanel")->picture().cacheKey(), skin.bp[0].cacheKey());
  QCOMPARE(f.Control("Channel1")->picture().cacheKey(), skin.octaveOn.cacheKey());
  QCOMPARE(f.Control("Channel2")->picture().cacheKey(), skin.octaveOff.cacheKey());
  QCOMPARE(f.Control("bC")->picture().cacheKey(), skin.whiteStepOn.cacheKey());
  QCOMPARE(f.Control("bCis")->picture().cacheKey(), skin.blackStepOff.cacheKey());
  QCOMPARE(f.Control("Oct3")->picture().cacheKey(), skin.octaveOn.cacheKey());
  QCOMPARE(f.Control("Oct2")->picture().cacheKey(), skin.octaveOff.cacheKey());
  QCOMPARE(f.Control("Cover_Keys")->x(), 172);
  QCOMPARE(f.Control("Cover_Pitch")->x(), 401);
  QCOMPARE(f.Control("active_led")->x(), 2000);
  QCOMPARE(w.client()->findChild<QWidget*>("stepFrame")->geometry(), QRect(233, 13, 19, 19));
  QCOMPARE(f.Control("PlayBtn")->picture().cacheKey(), skin.playOff.cacheKey());
  QCOMPARE(w.tempoBox()->text(), QStringLiteral("120"));
  QCOMPARE(w.knob("DelFB").value, 50);
  QCOMPARE(w.knob("DelSteps").value, 3);
  QCOMPARE(w.knob("DistortKnob").value, 32);
  QCOMPARE(w.knob("ShuffleKnob").value, 0);
  QCOMPARE(w.knob("VinylKnob").value, 0);
  QCOMPARE(w.knob("volKnob2").value, 64);
  QCOMPARE(w.knob("Delayknob2").value, 0);
  QCOMPARE(w.knob("PitchKnob").value, 50);
  QCOMPARE(f.Control("volKnob1")->picture().cacheKey(), skin.knobFrames[20].cacheKey());
  QCOMPARE(w.songFolder(), StartingSongFolder(f.settings, f.dir.path().string() + "/"));
  QCOMPARE(w.sampleManager().lastImportFolder,
           StartingImportFolder(f.settings, f.dir.path().string() + "/"));
  QCOMPARE(w.songloopAction()->isEnabled(), false);
  QVERIFY(f.waveOut->isOpen());
  // Start-up happens once.
  w.FirstActivation();
  QCOMPARE(f.dialogs.splash, 1);
}

void MainWindowTest::knobArithmeticAndFrames() {
  KnobState steps;
  InitKnob(steps, 0, 6, 0);
  QList<int> frames;
  for (int v = 0; v <= 6; ++v) {
    steps.value = v;
    frames << KnobFrame(steps);
  }
  QCOMPARE(frames, (QList<int>{0, 6, 13, 20, 26, 32, 39}));
  steps.value = 0;
  BeginKnobDrag(steps, 100);
  DragKnob(steps, 75);
  QCOMPARE(steps.value, 2); // 1.5 rounds to 2
  DragKnob(steps, 25);
  QCOMPARE(steps.value, 4); // 4.5 rounds to 4
  DragKnob(steps, -50);
  QCOMPARE(steps.value, 6); // 150 pixels count as 100
  KnobState volume;
  InitKnob(volume, 0, 127, 64);
  BeginKnobDrag(volume, 10);
  DragKnob(volume, -40);
  QCOMPARE(volume.value, 127);
  DragKnob(volume, 60);
  QCOMPARE(volume.value, 0);
  for (int maximum : {90, 127, 63, 50, 100}) {
    KnobState middle;
    InitKnob(middle, 0, maximum, (maximum + 1) / 2);
    QCOMPARE(KnobFrame(middle), 20);
  }
}

void MainWindowTest::knobsTurnOnlyWithThePlainLeftButtonOfTheirOwnPress() {
  MainWindowFixture f;
  ImageControl* knob = f.Control("DistortKnob");
  MainWindowFixture::Press(knob, {5, 5}, Qt::LeftButton, Qt::ShiftModifier);
  MainWindowFixture::Move(knob, {5, -45}, Qt::LeftButton, Qt::ShiftModifier);
  QCOMPARE(f.window->knob("DistortKnob").value, 32);
  MainWindowFixture::Move(knob, {5, -45}, Qt::RightButton);
  QCOMPARE(f.window->knob("DistortKnob").value, 32);
  MainWindowFixture::Move(knob, {5, -45}, Qt::LeftButton | Qt::RightButton);
  QCOMPARE(f.window->knob("DistortKnob").value, 32);
  QVERIFY(!f.engine->state.songChanged);
  MainWindowFixture::Move(knob, {5, -45}, Qt::LeftButton);
  QCOMPARE(f.window->knob("DistortKnob").value, 63);
  QCOMPARE(f.engine->state.song.distortAmount, 63);
  QVERIFY(f.engine->state.songChanged);
  QCOMPARE(knob->picture().cacheKey(), f.window->skin().knobFrames[39].cacheKey());
}

void MainWindowTest::knobsWriteThroughToTheSongAndTheVoices() {
  MainWindowFixture f;
  Engine& e = *f.engine;
  auto drag = [&](const char* name, int pixelsUp) {
    ImageControl* k = f.Control(name);
    MainWindowFixture::Press(k, {5, 100});
    MainWindowFixture::Move(k, {5, 100 - pixelsUp}, Qt::LeftButton);
    MainWindowFixture::Release(k, {5, 100 - pixelsUp});
  };
  drag("DelSteps", -100);
  QCOMPARE(e.state.song.delaySteps, uint8_t{0});
  QCOMPARE(e.delay.delayLength(), 256);
  drag("ShuffleKnob", 100);
  QCOMPARE(e.state.song.shuffle, 50);
  QCOMPARE(e.clock.stepLengths[0], uint16_t{8268});
  drag("PitchKnob", -100);
  QCOMPARE(f.ActiveStep().pitch, uint8_t{50});
  drag("PitchKnob", 100);
  QCOMPARE(f.ActiveStep().pitch, uint8_t{150});
  drag("Delayknob2", 30);
  QCOMPARE(e.state.song.channel(0, 0, 1).delaySend, 30);

  // The voice follows only while the edited pattern is the one playing.
  f.window->PlayBtnClick();
  drag("volKnob3", 20);
  QCOMPARE(e.state.song.channel(0, 0, 2).volume, 89);
  QCOMPARE(e.voices[2].volume, 89);
  f.window->BankPanelMouseDown(*f.Control("PatPanel"), {20, 2});
  drag("volKnob3", 20);
  QCOMPARE(e.state.song.channel(0, 1, 2).volume, 89);
  QCOMPARE(e.voices[2].volume, 89);
  drag("volKnob3", -40);
  QCOMPARE(e.state.song.channel(0, 1, 2).volume, 38);
  QCOMPARE(e.voices[2].volume, 89); // pattern 2 is not playing yet
}

void MainWindowTest::tempoBoxTexts() {
  MainWindowFixture f;
  QLineEdit* box = f.window->tempoBox();
  Song& song = f.engine->state.song;
  box->setText("9");
  QCOMPARE(song.tempo, 120);
  QVERIFY(f.engine->state.songChanged);
  box->setText("90");
  QCOMPARE(song.tempo, 90);
  QCOMPARE(f.engine->clock.stepLength, uint16_t{7350});
  box->setText("2000");
  QCOMPARE(box->text(), QStringLiteral("1230"));
  QCOMPARE(song.tempo, 1230);
  box->setText("-5");
  QCOMPARE(box->text(), QStringLiteral("1230"));
  QCOMPARE(song.tempo, 1230);
  box->setText("abc");
  QCOMPARE(box->text(), QStringLiteral("1"));
  QCOMPARE(song.tempo, 1230);
  box->setText("  45");
  QCOMPARE(song.tempo, 45);
  box->setText("");
  QCOMPARE(song.tempo, 45);
  QCOMPARE(box->maxLength(), 4);
}

void MainWindowTest::tempoButtonsStopAtTheLimits() {
  MainWindowFixture f;
  f.engine->state.song.tempo = 35;
  f.window->minus10Click();
  QCOMPARE(f.engine->state.song.tempo, 30);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("30"));
  f.engine->state.song.tempo = 1225;
  f.window->plus10Click();
  QCOMPARE(f.engine->state.song.tempo, 1230);
  QCOMPARE(f.engine->clock.stepLength, uint16_t{538});
}

void MainWindowTest::skinnedButtonsActOnReleaseAndIgnoreTheRightButton() {
  MainWindowFixture f;
  ImageControl* button = f.Control("Distort2");
  const QPoint home = button->pos();
  MainWindowFixture::Press(button, {3, 3});
  QCOMPARE(button->pos(), home + QPoint(2000, 0));
  QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{0});
  MainWindowFixture::Release(button, {300, -40}); // the pointer left the button
  QCOMPARE(button->pos(), home);
  QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{1});
  QCOMPARE(button->picture().cacheKey(), f.window->skin().distortOn.cacheKey());
  MainWindowFixture::Click(button, {3, 3}, Qt::RightButton);
  QCOMPARE(button->pos(), home);
  QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{1});
  MainWindowFixture::Click(f.Control("Channel3"));
  QCOMPARE(f.engine->state.activeChannel, 2);
  QCOMPARE(f.engine->state.activeStep, 0);
  MainWindowFixture::Click(f.Control("PlayBtn"));
  QVERIFY(f.engine->playing);
  QCOMPARE(f.Control("PlayBtn")->picture().cacheKey(), f.window->skin().playOn.cacheKey());
  MainWindowFixture::Click(f.Control("PlayBtn"));
  QVERIFY(!f.engine->playing);
  MainWindowFixture::Click(f.Control("Samples"));
  QCOMPARE(f.dialogs.sampleManager, 1);
  MainWindowFixture::Click(f.Control("SongBtn"));
  MainWindowFixture::Click(f.Control("SongBtn"));
  QCOMPARE(f.dialogs.sequencerShown, 1); // a visible sequencer is not shown again
}

void MainWindowTest::keysKeepTheOctaveAndOctavesKeepTheKey() {
  MainWindowFixture f;
  f.engine->samples.slots[0].used = 1;
  f.engine->samples.slots[0].category = 1; // an instrument: the keys are uncovered
  f.ActiveStep().sample = 0;
  f.window->RefreshDisplay(false, false, true);
  MainWindowFixture::Click(f.Control("bE"));
  QCOMPARE(f.ActiveStep().note, 40);
  MainWindowFixture::Click(f.Control("Oct5"));
  QCOMPARE(f.ActiveStep().note, 64);
  MainWindowFixture::Click(f.Control("bB"));
  QCOMPARE(f.ActiveStep().note, 71);
  QCOMPARE(f.Control("bB")->picture().cacheKey(), f.window->skin().whiteStepOn.cacheKey());
  QCOMPARE(f.Control("Oct5")->picture().cacheKey(), f.window->skin().octaveOn.cacheKey());
  QCOMPARE(f.ActiveStep().trigger, uint8_t{0}); // a key neither sounds nor sets a note
  f.ActiveStep().note = 5;                      // below octave 1: no octave lamp
  f.window->RefreshDisplay(false, false, true);
  for (int n = 1; n <= 5; ++n) {
    QCOMPARE(f.Control(QStringLiteral("Oct%1").arg(n).toLatin1())->picture().cacheKey(),
             f.window->skin().octaveOff.cacheKey());
  }
}

void MainWindowTest::coversFollowTheSampleCategory() {
  MainWindowFixture f;
  PutSample(*f.engine, 3, {1, 2, 3}, 44100, SampleCategory::Drum);
  PutSample(*f.engine, 4, {1, 2, 3}, 44100, SampleCategory::Instrument);
  PutSample(*f.engine, 5, {1, 2, 3}, 44100, SampleCategory::Loop);
  struct Case {
    int sample, led, pitchCover, keysCover;
  };
  for (const Case c : {Case{3, 400, 2000, 172}, Case{4, 171, 401, 2000}, Case{5, 2000, 401, 172},
                       Case{255, 2000, 401, 172}}) {
    f.ActiveStep().sample = static_cast<uint8_t>(c.sample);
    f.window->RefreshDisplay(false, false, true);
    QCOMPARE(f.Control("active_led")->x(), c.led);
    QCOMPARE(f.Control("Cover_Pitch")->x(), c.pitchCover);
    QCOMPARE(f.Control("Cover_Keys")->x(), c.keysCover);
  }
}

void MainWindowTest::lcdRowsAndMargins() {
  MainWindowFixture f;
  MainWindow& w = *f.window;
  SongState& s = f.engine->state;
  w.lcdMouseDown({64, 10});
  w.lcdMouseDown({402, 10});
  w.lcdMouseDown({200, 1});
  w.lcdMouseDown({200, 76});
  QCOMPARE(s.activeStep, 0);
  w.lcdMouseDown({66 + 21 * 5 + 3, 24});
  QCOMPARE(s.activeStep, 5);
  QCOMPARE(w.client()->findChild<QWidget*>("stepFrame")->x(), 233 + 21 * 5);
  w.lcdMouseDown({401, 10});
  QCOMPARE(s.activeStep, 15);
  w.lcdMouseDown({65, 10});
  QCOMPARE(s.activeStep, 0); // (65 - 66) / 21 truncates toward zero
  QVERIFY(!s.songChanged);

  // Notes row: an empty step with no samples opens the sample manager instead.
  w.lcdMouseDown({66 + 21 * 2, 30});
  QCOMPARE(f.dialogs.sampleManager, 1);
  PutSample(*f.engine, 7, {1, 2, 3}, 44100, SampleCategory::Drum);
  w.lcdMouseDown({66 + 21 * 2, 30});
  QVERIFY(w.sampleMenu()->isVisible());
  w.sampleMenu()->Choose("MI07");
  QCOMPARE(s.song.step(0, 0, 0, 2).sample, uint8_t{7});
  QCOMPARE(s.song.step(0, 0, 0, 2).trigger, uint8_t{1});
  QVERIFY(s.songChanged);
  s.songChanged = false;
  w.lcdMouseDown({66 + 21 * 2, 46});
  QCOMPARE(s.song.step(0, 0, 0, 2).trigger, uint8_t{0});
  QCOMPARE(s.song.step(0, 0, 0, 2).sample, uint8_t{7}); // the sample number stays
  QVERIFY(s.songChanged);

  // Ctrl. row: the controllers of the step.
  w.lcdMouseDown({66 + 21 * 9, 47});
  QCOMPARE(s.activeStep, 9);
  QCOMPARE(f.dialogs.controllers, 1);
}

void MainWindowTest::popupEntriesAndColumns() {
  MainWindowFixture f;
  MainWindow& w = *f.window;
  SongState& s = f.engine->state;
  PutSample(*f.engine, 0, {1}, 44100, SampleCategory::Drum, "Kick");
  PutSample(*f.engine, 2, {1}, 44100, SampleCategory::Drum, "Caisse claire — étouffée");
  PutSample(*f.engine, 5, {1}, 44100, SampleCategory::Drum, "Hat");
  w.lcdMouseDown({70, 30});
  QCOMPARE(w.sampleMenu()->Columns(),
           (std::vector<std::vector<QString>>{{"MI00", "MI02", "MI05"}}));
  w.sampleMenu()->Choose("MI02");
  QCOMPARE(s.lastSampleChoice, 2);
  w.lcdMouseDown({70 + 21, 30});
  QCOMPARE(w.sampleMenu()->Columns(),
           (std::vector<std::vector<QString>>{{"MILU", "-", "MI00", "MI02", "MI05"}}));
  for (const char* entry : {"MILU", "MI02"}) {
    QCOMPARE(w.sampleMenu()->Caption(entry), QStringLiteral("Caisse claire — étouffée"));
  }
  w.sampleMenu()->Choose("MILU");
  QCOMPARE(s.song.step(0, 0, 0, 1).sample, uint8_t{2});
  w.sampleMenu()->Choose("MI0x");
  QCOMPARE(s.lastSampleChoice, 2);

  for (int i = 6; i < 33; ++i) {
    PutSample(*f.engine, i, {1}, 44100, SampleCategory::Drum);
  }
  auto sizes = [&] {
    QList<int> n;
    for (const auto& column : w.sampleMenu()->Columns()) {
      n << static_cast<int>(column.size());
    }
    return n;
  };
  s.lastSampleChoice = -1;
  w.lcdMouseDown({70 + 21 * 3, 30});
  QCOMPARE(sizes(), (QList<int>{12, 12, 6}));
  s.lastSampleChoice = 5;
  w.lcdMouseDown({70 + 21 * 4, 30});
  QCOMPARE(sizes(), (QList<int>{12, 12, 8}));
  // A slot freed while the popup was open is never put on a step.
  (void)DeleteSample(f.engine->samples, s.song, 6);
  w.sampleMenu()->Choose("MI06");
  QCOMPARE(s.song.step(0, 0, 0, 4).trigger, uint8_t{0});
}

void MainWindowTest::bankPanelCells() {
  MainWindowFixture f;
  SongState& s = f.engine->state;
  f.window->BankPanelMouseDown(*f.Control("BankPanel"), {76, 36});
  QCOMPARE(s.editBank, 7);
  QCOMPARE(s.playBank, 7);
  QCOMPARE(s.nextBank, 7);
  QCOMPARE(f.Control("BankPanel")->picture().cacheKey(), f.window->skin().bp[7].cacheKey());
  f.window->BankPanelMouseDown(*f.Control("PatPanel"), {38, 17});
  QCOMPARE(s.editPattern, 2);
  QVERIFY(!s.songChanged);
  QVERIFY2(f.dialogs.slots.empty(), "a hidden sequencer takes no patterns");
  f.dialogs.sequencerVisible = true;
  f.window->PlayBtnClick();
  f.window->BankPanelMouseDown(*f.Control("PatPanel"), {0, 18});
  QCOMPARE(s.editPattern, 4);
  QCOMPARE(s.nextPattern, 4);
  QVERIFY2(s.playPattern != 4, "while playing the new pattern waits for the next start");
  QCOMPARE(f.dialogs.slots, (std::vector<std::pair<int32_t, int32_t>>{{7, 4}}));
}

void MainWindowTest::lcdDrawsSymbolsSquaresAndRings() {
  MainWindowFixture f;
  Step& a = f.engine->state.song.step(0, 0, 0, 1);
  a.trigger = 1;
  a.sample = 17;
  f.engine->state.song.step(0, 0, 0, 2).volume = 0;
  f.window->RefreshDisplay(false, false, true);
  const QImage lcd = f.window->lcdPicture().toImage();
  const QImage symbol = f.window->skin().sampleSymbols[1].toImage();
  const qreal r = lcd.devicePixelRatio();
  QCOMPARE(lcd.copy(QRect(QPoint(qRound((69 + 21) * r), qRound(29 * r)), symbol.size())), symbol);
  const QColor blue(111, 168, 239);
  QCOMPARE(lcd.pixelColor(qRound((69 + 5) * r), qRound(35 * r)), blue); // step 0 holds no note
  // Step 2 carries a controller: an open square; step 3 a ring.
  QCOMPARE(lcd.pixelColor(qRound((72 + 42) * r), qRound(59 * r)), QColor(Qt::black));
  QCOMPARE(lcd.pixelColor(qRound((79 + 42) * r), qRound(66 * r)), QColor(Qt::black));
  QCOMPARE(lcd.pixelColor(qRound((75 + 42) * r), qRound(62 * r)), blue);
  QCOMPARE(lcd.pixelColor(qRound((76 + 63) * r), qRound(62 * r)), QColor(Qt::black));
  QCOMPARE(lcd.pixelColor(qRound((76 + 63) * r), qRound(63 * r)), blue); // a ring is hollow
  QCOMPARE(lcd.pixelColor(qRound((72 + 63) * r), qRound(59 * r)), blue);
}

void MainWindowTest::aRefreshWithoutFlagsUpdatesTempoAndPlay() {
  MainWindowFixture f;
  f.engine->state.song.tempo = 1230;
  f.engine->state.editBank = 3;
  f.engine->playing = true;
  f.window->RefreshDisplay(false, false, false);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("1230"));
  QCOMPARE(f.Control("PlayBtn")->picture().cacheKey(), f.window->skin().playOn.cacheKey());
  QCOMPARE(f.Control("BankPanel")->picture().cacheKey(), f.window->skin().bp[0].cacheKey());
  f.engine->playing = false;
}

void MainWindowTest::grabbedPixelsMatchTheLayout() {
  MainWindowFixture f;
  f.engine->state.activeStep = 4;
  f.engine->state.song.step(0, 0, 0, 6).volume = 10;
  f.window->RefreshDisplay(false, false, true);
  f.window->show();
  const QImage shot = f.window->client()->grab().toImage();
  const qreal r = shot.devicePixelRatio();
  auto at = [&](int x, int y) { return shot.pixelColor(qRound(x * r), qRound(y * r)); };
  const QColor blue(111, 168, 239);
  // The step frame's outline around step 5's number, in window coordinates.
  QCOMPARE(at(233 + 84, 13), QColor(Qt::black));
  QCOMPARE(at(233 + 84 + 18, 13 + 18), QColor(Qt::black));
  // Empty notes cells and the controller square on the lcd at 166, 8.
  QCOMPARE(at(166 + 69 + 2, 8 + 29 + 2), blue);
  QCOMPARE(at(166 + 72 + 126, 8 + 59), QColor(Qt::black));
  QCOMPARE(at(166 + 72 + 126 + 3, 8 + 59 + 3), blue);
  // The covers lie over the keys and the pitch knob.
  const QImage cover = f.window->skin().coverKeys.toImage();
  QCOMPARE(at(172 + 5, 110 + 5), cover.pixelColor(qRound(5 * r), qRound(5 * r)));
  const QImage pitchCover = f.window->skin().coverPitch.toImage();
  QCOMPARE(at(401 + 20, 135 + 20), pitchCover.pixelColor(qRound(20 * r), qRound(20 * r)));
  f.window->hide();
}

void MainWindowTest::closingAsksOnlyWithUnsavedChanges() {
  MainWindowFixture f;
  f.window->show();
  QVERIFY(f.window->close());
  QVERIFY(f.prompts.questions.empty());
  QVERIFY2(!f.waveOut->isOpen(), "closing closes the device");

  MainWindowFixture g;
  g.window->show();
  g.window->PlayBtnClick();
  g.window->plus10Click();
  g.prompts.answers = {false, true};
  QVERIFY(!g.window->close());
  QVERIFY(g.window->isVisible());
  QVERIFY(g.engine->playing);
  QCOMPARE(g.prompts.questions,
           std::vector<std::string>{
               "Changes were made to the song...\r\nDo you really want to quit without saving ?"});
  QVERIFY(g.window->close());
  QVERIFY2(!g.engine->playing, "closing while playing stops the device first");
  QVERIFY(!g.waveOut->isOpen());
}

void MainWindowTest::startingWithSongFiles() {
  const std::string missing = "/nonexistent/folder/song.LW";
  {
    MainWindowFixture f(missing);
    QVERIFY(f.prompts.silent());
    QCOMPARE(f.engine->state.songFileName, missing);
    QCOMPARE(f.engine->state.song.tempo, 120);
  }
  test::TempDir dir;
  const std::string path = dir.File("song.LW");
  {
    auto e = test::NewEngine();
    e->state.song.delayFeedback = 77;
    e->state.song.shuffle = 20;
    e->state.song.vinylAmount = 40;
    e->state.song.tempo = 133;
    e->state.sequence.slots[0] = {0, 0};
    e->state.sequence.slots[1] = {0, 1};
    e->state.songFileName = path;
    test::FakePrompts p;
    QVERIFY(SaveSong(*e, p, "/"));
  }
  MainWindowFixture f(path);
  QCOMPARE(f.window->knob("DelFB").value, 77);
  QCOMPARE(f.window->knob("ShuffleKnob").value, 20);
  QCOMPARE(f.window->knob("VinylKnob").value, 40);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("133"));
  QCOMPARE(f.dialogs.sequencerShown, 1);
  QVERIFY(!f.engine->state.songChanged);
  QCOMPARE(f.engine->clock.stepLength, static_cast<uint16_t>(RoundHalfEven(2646000.0 / 532)));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
