// The pattern at a glance: the running step light and the pattern grid window.
#include "DialogsFixture.h"
#include "audio_out/SdlAudioDevice.h"
#include "ui/PatternGridWindow.h"
#include "ui/SampleMenu.h"
#include "ui/SequenceGrid.h"
#include "ui/SequencerWindow.h"

#include <QAccessible>
#include <QAction>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>
#include <set>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::MainWindowFixture;
using lw::test::PutNote;
using lw::test::PutSample;

namespace {

// A drum on channel 1, an instrument on channel 2, nothing yet on channel 3.
void MakeSong(Engine& e) {
  PutSample(e, 0, std::vector<int16_t>(3000, 8000), 44100, SampleCategory::Drum, "Kick drum");
  PutSample(e, 1, std::vector<int16_t>(3000, 4000), 44100, SampleCategory::Instrument, "Bass");
  PutNote(e, 0, 0, 0, 0, 0);
  PutNote(e, 0, 0, 0, 8, 0).volume = 64;
  PutNote(e, 0, 0, 1, 2, 1).note = 37;        // C#3
  e.state.song.step(0, 0, 2, 5).volume = 127; // a controller without a note
  PutNote(e, 2, 4, 2, 15, 1);                 // another pattern
}

QPoint CellCentre(int channel, int step) {
  return PatternGridView::CellRect(channel, step).center();
}

} // namespace

class PatternGridTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void theGridShowsEveryChannelsStepsAtOnce();
  void closedWindowsKeepTheirPlaces();
  void gridEditsAreUndoStepsTheMainWindowFollows();
  void theGridFollowsThePatternAndTheSwitches();
  void theStepLightFollowsTheSoundAndStopsWithIt();
};

void PatternGridTest::theGridShowsEveryChannelsStepsAtOnce() {
  DialogsFixture f;
  MakeSong(*f.engine);
  PatternGridWindow& window = f.dialogs->patternGrid();
  window.Follow();
  const PatternGridView& grid = *window.grid();
  struct Row {
    int channel, step;
    bool triggers;
    const char* name;
    const char* note;
    int volume;
    const char* said;
  };
  const Row rows[] = {
      {0, 0, true, "Kick drum", "", -1, "Channel 1, step 1: Kick drum"},
      {0, 8, true, "Kick drum", "", 64, "Channel 1, step 9: Kick drum, volume 64"},
      {1, 2, true, "Bass", "C#3", -1, "Channel 2, step 3: Bass, C#3"},
      {2, 5, false, "", "", 127, "Channel 3, step 6: empty, volume 127"},
      {2, 15, false, "", "", -1, "Channel 3, step 16: empty"},
  };
  for (const Row& r : rows) {
    const GridCell& cell = grid.gridCells()[r.channel][r.step];
    QCOMPARE(cell.triggers, r.triggers);
    QCOMPARE(QString::fromStdString(cell.name), QString::fromLatin1(r.name));
    QCOMPARE(QString::fromStdString(cell.note), QString::fromLatin1(r.note));
    QCOMPARE(cell.volume, r.volume);
    QCOMPARE(grid.CellText(r.channel, r.step), QString::fromLatin1(r.said));
  }
  // Drawn: a step that plays has its ink bar, an empty one has none; a volume fills.
  const QImage picture = window.grid()->grab().toImage();
  const auto pixel = [&](int channel, int step, int dx, int dy) {
    return picture.pixelColor(PatternGridView::CellRect(channel, step).topLeft() + QPoint(dx, dy));
  };
  QCOMPARE(pixel(0, 0, 10, 2), QColor(Qt::black));
  QVERIFY(pixel(0, 1, 10, 2) != QColor(Qt::black));
  QVERIFY(pixel(2, 5, 10, PatternGridView::kCellHeight - 3) !=
          pixel(2, 6, 10, PatternGridView::kCellHeight - 3));
  // Assistive technology reads it as a table of the same cells, and presses them.
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window.grid());
  QVERIFY(table != nullptr && table->tableInterface() != nullptr);
  QCOMPARE(table->role(), QAccessible::Table);
  QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Pattern grid"));
  QCOMPARE(table->tableInterface()->rowCount(), 3);
  QCOMPARE(table->tableInterface()->columnCount(), 16);
  QCOMPARE(table->tableInterface()->rowDescription(2), QStringLiteral("Channel 3"));
  QAccessibleInterface* bass = table->tableInterface()->cellAt(1, 2);
  QCOMPARE(bass->text(QAccessible::Name), QStringLiteral("Channel 2, step 3: Bass, C#3"));
  QCOMPARE(bass->rect().center(), window.grid()->mapToGlobal(CellCentre(1, 2)));
  table->tableInterface()->cellAt(1, 4)->actionInterface()->doAction(
      QAccessibleActionInterface::pressAction());
  QVERIFY(f.engine->state.song.step(0, 0, 1, 4).showsNote());
  // Tools > Pattern grid opens it, with its key.
  QAction* open = nullptr;
  for (QAction* action : f.window->findChildren<QAction*>()) {
    if (action->text() == QStringLiteral("Pattern &grid")) {
      open = action;
    }
  }
  QVERIFY(open != nullptr);
  QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
  open->trigger();
  QVERIFY(window.isVisible());
  QCOMPARE(window.windowTitle(), QStringLiteral("Pattern grid"));
}

// Closing the grid or the sequencer keeps its place for the next run (the sequencer's was
// lost when it was closed before the program ended).
void PatternGridTest::closedWindowsKeepTheirPlaces() {
  DialogsFixture f;
  PatternGridWindow& window = f.dialogs->patternGrid();
  f.window->PatternGridClick();
  QVERIFY(window.isVisible());
  window.move(window.pos() + QPoint(37, 21));
  const QPoint place = window.frameGeometry().topLeft();
  window.hide();
  QCOMPARE(f.settings.windowPosition(QStringLiteral("patterngrid")), std::optional<QPoint>(place));
  SequencerWindow& seqw = f.dialogs->sequencer();
  seqw.ShowBelowMain();
  seqw.move(seqw.pos() + QPoint(37, 21));
  const QPoint seqPlace = seqw.frameGeometry().topLeft();
  seqw.hide();
  QCOMPARE(f.settings.windowPosition(QStringLiteral("sequencer")), std::optional<QPoint>(seqPlace));
}

void PatternGridTest::gridEditsAreUndoStepsTheMainWindowFollows() {
  DialogsFixture f;
  MakeSong(*f.engine);
  MainWindow& w = *f.window;
  PatternGridWindow& window = f.dialogs->patternGrid();
  window.Follow();
  PatternGridView* grid = window.grid();
  Song& song = f.engine->state.song;

  // A click on an empty step places the channel's last sample and makes it the edited step.
  MainWindowFixture::Click(grid, CellCentre(1, 6));
  QCOMPARE(f.engine->state.activeChannel, 1);
  QCOMPARE(f.engine->state.activeStep, 6);
  QVERIFY(song.step(0, 0, 1, 6).showsNote());
  QCOMPARE(song.step(0, 0, 1, 6).sampleIndex(), 1);
  QCOMPARE(grid->gridCells()[1][6].name, std::string("Bass"));
  QCOMPARE(w.undoAction()->text(), QStringLiteral("Undo Place Sample"));
  // The main window follows: its lcd shows channel 2 with the new note.
  QCOMPARE(w.control("Channel2")->picture().toImage(), w.skin().octaveOn.toImage());
  // A click on a note removes it; each is one undo step.
  MainWindowFixture::Click(grid, CellCentre(0, 8));
  QCOMPARE(song.step(0, 0, 0, 8).trigger, 0);
  w.UndoClick();
  QCOMPARE(song.step(0, 0, 0, 8).trigger, 1);
  w.UndoClick();
  QCOMPARE(song.step(0, 0, 1, 6).trigger, 0);
  window.Follow();
  QVERIFY(!grid->gridCells()[1][6].triggers);

  // A vertical drag sets the volume controller, the whole drag one step.
  const QRect cell = PatternGridView::CellRect(2, 3);
  MainWindowFixture::Press(grid, cell.bottomLeft() + QPoint(5, 0));
  MainWindowFixture::Move(grid, cell.center() + QPoint(0, 2), Qt::LeftButton);
  MainWindowFixture::Move(grid, cell.topLeft() + QPoint(5, -20), Qt::LeftButton);
  MainWindowFixture::Release(grid, cell.topLeft() + QPoint(5, -20));
  QCOMPARE(song.step(0, 0, 2, 3).volume, 127);
  QVERIFY2(!song.step(0, 0, 2, 3).showsNote(), "a drag is not a click");
  window.Follow();
  QCOMPARE(grid->gridCells()[2][3].volume, 127);
  QCOMPARE(w.undoAction()->text(), QStringLiteral("Undo Step Volume"));
  w.UndoClick();
  QCOMPARE(song.step(0, 0, 2, 3).volume, 255);

  // The keys: arrows move the edited step, Delete clears it, Return offers the samples.
  window.Follow();
  grid->setFocus();
  MainWindowFixture::Click(grid, CellCentre(0, 0)); // removes the kick...
  w.UndoClick();                                    // ...and puts it back
  window.Follow();
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Down);
  QCOMPARE(f.engine->state.activeChannel, 1);
  QCOMPARE(f.engine->state.activeStep, 1);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Delete);
  QCOMPARE(song.step(0, 0, 1, 2).trigger, 0);
  QCOMPARE(w.undoAction()->text(), QStringLiteral("Undo Remove Note"));
  w.UndoClick();
  QCOMPARE(song.step(0, 0, 1, 2).trigger, 1);
  QTest::keyClick(grid, Qt::Key_Return);
  QVERIFY(w.sampleMenu()->isVisible());
  w.sampleMenu()->hide();
  // A right click offers them too, on the cell clicked.
  MainWindowFixture::Click(grid, CellCentre(2, 9), Qt::RightButton);
  QVERIFY(w.sampleMenu()->isVisible());
  QCOMPARE(f.engine->state.activeChannel, 2);
  QCOMPARE(f.engine->state.activeStep, 9);
  w.sampleMenu()->hide();
}

void PatternGridTest::theGridFollowsThePatternAndTheSwitches() {
  DialogsFixture f;
  MakeSong(*f.engine);
  MainWindow& w = *f.window;
  PatternGridWindow& window = f.dialogs->patternGrid();
  // Bank 3, pattern 5 chosen in the main window.
  w.BankPanelMouseDown(*f.Control("BankPanel"), {2 * 19 + 3, 3});
  w.BankPanelMouseDown(*f.Control("PatPanel"), {3, 18 + 3});
  window.Follow();
  QCOMPARE(window.shownBank(), 2);
  QCOMPARE(window.shownPattern(), 4);
  QVERIFY(window.grid()->gridCells()[2][15].triggers);
  QVERIFY(!window.grid()->gridCells()[0][0].triggers);

  // The switches are the main window's: a click here, a key there, both show.
  window.muteButton(1)->click();
  QCOMPARE(f.engine->silenced.load(), 0b010U);
  QCOMPARE(w.muteText(), QStringLiteral("MUTE 2"));
  window.soloButton(0)->click();
  QCOMPARE(f.engine->silenced.load(), 0b110U);
  w.ToggleMute(1);
  window.Follow();
  QVERIFY(!window.muteButton(1)->isChecked());
  QVERIFY(window.soloButton(0)->isChecked());
  QCOMPARE(window.muteButton(2)->accessibleName(), QStringLiteral("Mute channel 3"));
  // A screen reader toggles a switch without clicking it; the channel goes out all the same.
  QAccessibleInterface* mute3 = QAccessible::queryAccessibleInterface(window.muteButton(2));
  QVERIFY(mute3->actionInterface() != nullptr);
  mute3->actionInterface()->doAction(mute3->actionInterface()->actionNames().value(0));
  QCOMPARE(f.engine->silenced.load(), 0b110U);
  QVERIFY(w.mutes().mute[2]);
  window.Follow();
  QVERIFY(window.muteButton(2)->isChecked());
}

// Through SDL's dummy driver, which takes its buffers in real time as a sound card does.
void PatternGridTest::theStepLightFollowsTheSoundAndStopsWithIt() {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  DialogsFixture f(std::make_unique<SdlAudioDevice>());
  Engine& e = *f.engine;
  MakeSong(e);
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {0, 1};
  e.state.song.tempo = 480; // steps of 1378 samples: 31 ms
  e.UpdateTiming();
  MainWindow& w = *f.window;
  QVERIFY(f.waveOut->isOpen());
  auto* light = w.client()->findChild<QWidget*>("stepLight");
  QVERIFY(light != nullptr);
  QVERIFY(!light->isVisible());
  SequencerWindow& sequencer = f.dialogs->sequencer();
  sequencer.show();
  // The song from slot 0, so that the sequencer's slot follows the sound too.
  sequencer.seq()->ShowCurrent(0);
  sequencer.PlayBtnMouseDown(Qt::LeftButton);
  sequencer.PlayBtnMouseUp(Qt::LeftButton);
  QVERIFY(e.playing);
  w.show();
  // The light waits for the song's first sample to reach the listener.
  QTRY_VERIFY_WITH_TIMEOUT(light->isVisible(), 3000);
  std::set<int> lit;
  int ahead = 0; // samples the engine had rendered past the sound, at most
  int slots = 0; // the furthest slot the sequencer showed
  QElapsedTimer watch;
  watch.start();
  while (watch.elapsed() < 1200) {
    QTest::qWait(5);
    const auto heard = w.heard();
    if (!heard) {
      continue;
    }
    lit.insert(heard->step);
    QCOMPARE(light->x(), 235 + 21 * heard->step);
    const auto rendered = static_cast<int>(e.renderedSamples.load() - heard->sample);
    ahead = std::max(ahead, rendered);
    // The sequencer's slot moves with the sound, never ahead of it with the engine.
    QVERIFY(sequencer.seq()->CurrentSlot() <= heard->songPosition);
    slots = std::max(slots, sequencer.seq()->CurrentSlot());
  }
  QVERIFY2(lit.size() >= 12, "the light moves step by step");
  QVERIFY(slots >= 1);
  // The engine renders two blocks and more ahead of the listener: the light is not the
  // step being rendered.
  QVERIFY(ahead > 2 * LivePlayback::kBlockSamples);
  sequencer.PlayBtnMouseDown(Qt::LeftButton);
  sequencer.PlayBtnMouseUp(Qt::LeftButton);
  QVERIFY(!e.playing);
  QTRY_VERIFY(!light->isVisible());
  QVERIFY(!w.heard());
}

QTEST_MAIN(PatternGridTest)
#include "PatternGridTest.moc"
