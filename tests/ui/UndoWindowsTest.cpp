// Undo and redo from the windows: what a click, a drag or a key does, and what comes
// back in every window.
#include "DialogsFixture.h"
#include "ui/SampleManagerWindow.h"
#include "ui/SequencerWindow.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::MainWindowFixture;
using lw::test::PutSample;

namespace {

QAction* EditItem(MainWindow& w, const QString& startsWith) {
  QMenu* edit = w.menuBar()->actions()[1]->menu();
  for (QAction* item : edit->actions()) {
    if (item->text().startsWith(startsWith)) {
      return item;
    }
  }
  return nullptr;
}

void Key(MainWindow& w, const QKeySequence& keys) {
  QTest::keySequence(&w, keys);
}

} // namespace

class UndoWindowsTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void theEditMenuNamesWhatUndoAndRedoWouldDo();
  void aKnobDragIsOneStepAndTheKnobsComeBack();
  void sampleManagerEditsComeBackInItsList();
  void typingATitleIsOneStep();
  void aFailedLoadStartsAfreshAndStaysUnsaved();
  void aKnobReleaseLostToTheSampleManagerLosesNoStep();
  void aSaveDuringADragMarksWhatTheFileHolds();
};

void UndoWindowsTest::theEditMenuNamesWhatUndoAndRedoWouldDo() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  w.show();
  QApplication::setActiveWindow(&w);
  QAction* undo = EditItem(w, QStringLiteral("Undo"));
  QAction* redo = EditItem(w, QStringLiteral("Redo"));
  QVERIFY(undo != nullptr && redo != nullptr);
  QVERIFY(!undo->isEnabled() && !redo->isEnabled());
  // After every specified item, which keep their places and access keys.
  QMenu* edit = w.menuBar()->actions()[1]->menu();
  QVERIFY(edit->actions().indexOf(undo) > edit->actions().indexOf(EditItem(w, "Long &Stutter")));

  MainWindowFixture::Click(f.Control("Distort2"));
  QCOMPARE(undo->text(), QStringLiteral("Undo Distortion"));
  QVERIFY(undo->isEnabled());
  QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{1});
  Key(w, QKeySequence(Qt::CTRL | Qt::Key_Z));
  QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{0});
  QCOMPARE(f.Control("Distort2")->picture().cacheKey(), w.skin().distortOff.cacheKey());
  QVERIFY(!f.engine->state.songChanged); // back where the song started
  QCOMPARE(redo->text(), QStringLiteral("Redo Distortion"));
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
    Key(w, keys);
    QCOMPARE(f.engine->state.song.channel(0, 0, 1).distortOn, uint8_t{1});
    QVERIFY(f.engine->state.songChanged);
    Key(w, QKeySequence(Qt::CTRL | Qt::Key_Z));
  }
  // Tempo steps and a new song: New starts the history afresh.
  MainWindowFixture::Click(f.Control("plus_10"));
  QCOMPARE(w.tempoBox()->text(), QStringLiteral("130"));
  Key(w, QKeySequence(Qt::CTRL | Qt::Key_Z));
  QCOMPARE(w.tempoBox()->text(), QStringLiteral("120"));
  QVERIFY(!f.engine->state.songChanged);
  MainWindowFixture::Click(f.Control("plus_10"));
  f.prompts.answers.push_back(true);
  QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
  QVERIFY(!undo->isEnabled() && !redo->isEnabled());
  w.hide();
}

void UndoWindowsTest::aKnobDragIsOneStepAndTheKnobsComeBack() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  ImageControl* knob = f.Control("DelFB");
  MainWindowFixture::Press(knob, {9, 10});
  for (int y = 8; y > -40; y -= 6) {
    MainWindowFixture::Move(knob, {9, y}, Qt::LeftButton);
  }
  MainWindowFixture::Release(knob, {9, -40});
  const int32_t turned = f.engine->state.song.delayFeedback;
  QVERIFY(turned != 50);
  QCOMPARE(EditItem(w, "Undo")->text(), QStringLiteral("Undo Delay Decay"));
  EditItem(w, "Undo")->trigger();
  QCOMPARE(f.engine->state.song.delayFeedback, 50);
  QCOMPARE(w.knob("DelFB").value, 50);
  EditItem(w, "Redo")->trigger();
  QCOMPARE(w.knob("DelFB").value, turned);
  EditItem(w, "Undo")->trigger();
  QVERIFY(!EditItem(w, "Undo")->isEnabled()); // one drag, one step
}

void UndoWindowsTest::sampleManagerEditsComeBackInItsList() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  PutSample(*f.engine, 0, {1, 2, 3}, 44100, SampleCategory::Drum, "kick");
  PutSample(*f.engine, 3, {4, 5}, 44100, SampleCategory::Drum, "snare");
  lw::test::PutNote(*f.engine, 0, 0, 0, 0, 3);
  SampleManagerWindow& manager = f.dialogs->sampleManager();
  manager.show();
  f.prompts.answers.push_back(true);
  manager.DeleteBtnClick(); // the last line: snare, which step 1 plays
  QCOMPARE(manager.sampleList()->count(), 1);
  QCOMPARE(f.engine->state.song.step(0, 0, 0, 0).trigger, uint8_t{0});
  manager.categoryButton(2)->click();
  QCOMPARE(f.engine->samples.slots[0].category, uint8_t{2});

  // The undo keys work while the sample manager is in front.
  manager.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&manager));
  QTest::keySequence(&manager, QKeySequence(Qt::CTRL | Qt::Key_Z)); // the category
  QCOMPARE(f.engine->samples.slots[0].category, uint8_t{0});
  QTest::keySequence(&manager, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  QCOMPARE(f.engine->samples.slots[0].category, uint8_t{2});
  QVERIFY(manager.categoryButton(2)->isChecked());
  QTest::keySequence(&manager, QKeySequence(Qt::CTRL | Qt::Key_Z));
  QCOMPARE(f.engine->samples.slots[0].category, uint8_t{0});
  QCOMPARE(EditItem(w, "Undo")->text(), QStringLiteral("Undo Delete Sample"));
  EditItem(w, "Undo")->trigger();
  QCOMPARE(manager.sampleList()->count(), 2);
  QCOMPARE(f.engine->samples.slots[3].name.text(), std::string("snare"));
  QCOMPARE(f.engine->samples.slots[3].data.size(), std::size_t{2});
  QCOMPARE(f.engine->state.song.step(0, 0, 0, 0).trigger, uint8_t{1}); // and its note
  manager.hide();
}

void UndoWindowsTest::typingATitleIsOneStep() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  SequencerWindow& sequencer = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  const std::string before = f.engine->state.song.title.text();
  sequencer.titleBox()->clear();
  MainWindowFixture::Type(sequencer.titleBox(), QStringLiteral("Night Bus"));
  QCOMPARE(f.engine->state.song.title.text(), std::string("Night Bus"));
  QCOMPARE(EditItem(w, "Undo")->text(), QStringLiteral("Undo Song Title"));
  EditItem(w, "Undo")->trigger();
  QCOMPARE(f.engine->state.song.title.text(), before);
  QCOMPARE(sequencer.titleBox()->text().toStdString(), before);
  QVERIFY(!EditItem(w, "Undo")->isEnabled());
  sequencer.hide();
}

// A damaged file leaves the song as it was, unsaved, with a fresh history: undoing what
// comes next leads back to an unsaved song, not a saved one.
void UndoWindowsTest::aFailedLoadStartsAfreshAndStaysUnsaved() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  MainWindowFixture::Click(f.Control("plus_10"));
  lw::test::WriteBytes(f.dir.File("cut.LW"), {'L', 'O', 'O', 'P', 'W', 'R', 'E', 'N', 1});
  f.prompts.files.emplace_back(f.dir.File("cut.LW"));
  f.prompts.answers.push_back(true); // lose the unsaved change
  QMenu* file = w.menuBar()->actions()[0]->menu();
  file->actions()[1]->trigger(); // Open
  QCOMPARE(f.prompts.ioErrors.size(), std::size_t{1});
  QVERIFY(!EditItem(w, "Undo")->isEnabled());
  MainWindowFixture::Click(f.Control("plus_10"));
  EditItem(w, "Undo")->trigger();
  QCOMPARE(w.tempoBox()->text(), QStringLiteral("130"));
  QVERIFY(f.engine->state.songChanged);
}

// F9 while a knob is held: the sample manager takes the release. The drag ends where the
// delete begins, and the sound the delete frees comes back; the song never counts as
// saved on the way back.
void UndoWindowsTest::aKnobReleaseLostToTheSampleManagerLosesNoStep() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  PutSample(*f.engine, 0, {1, 2, 3}, 44100, SampleCategory::Drum, "kick");
  ImageControl* knob = f.Control("DelFB");
  MainWindowFixture::Press(knob, {9, 10});
  MainWindowFixture::Move(knob, {9, -10}, Qt::LeftButton); // and the release never comes
  const int32_t turned = f.engine->state.song.delayFeedback;
  QVERIFY(turned != 50);
  SampleManagerWindow& manager = f.dialogs->sampleManager();
  manager.show();
  f.prompts.answers.push_back(true);
  manager.DeleteBtnClick();
  QVERIFY(f.engine->samples.slots[0].data.empty());
  manager.hide();
  MainWindowFixture::Press(knob, {9, 10});
  MainWindowFixture::Move(knob, {9, 30}, Qt::LeftButton);
  MainWindowFixture::Release(knob, {9, 30});
  MainWindowFixture::Click(f.Control("plus_10"));

  EditItem(w, "Undo")->trigger(); // the tempo
  QVERIFY(f.engine->state.songChanged);
  QCOMPARE(EditItem(w, "Undo")->text(), QStringLiteral("Undo Delay Decay"));
  EditItem(w, "Undo")->trigger(); // the second turn
  QCOMPARE(f.engine->state.song.delayFeedback, turned);
  QVERIFY(f.engine->state.songChanged);
  QCOMPARE(EditItem(w, "Undo")->text(), QStringLiteral("Undo Delete Sample"));
  EditItem(w, "Undo")->trigger();
  QCOMPARE(f.engine->samples.slots[0].data.size(), std::size_t{3});
  QVERIFY(f.engine->state.songChanged);
  EditItem(w, "Undo")->trigger(); // the first turn
  QCOMPARE(f.engine->state.song.delayFeedback, 50);
  QVERIFY(!f.engine->state.songChanged);
  QVERIFY(!EditItem(w, "Undo")->isEnabled());
}

// Ctrl+S while a knob's button is still held: the file holds the turned knob, so undoing
// the turn leaves a song that differs from its file.
void UndoWindowsTest::aSaveDuringADragMarksWhatTheFileHolds() {
  DialogsFixture f;
  MainWindow& w = *f.window;
  ImageControl* knob = f.Control("DelFB");
  MainWindowFixture::Press(knob, {9, 10});
  MainWindowFixture::Move(knob, {9, -10}, Qt::LeftButton);
  f.prompts.files.emplace_back(f.dir.File("held.LW"));
  QMenu* file = w.menuBar()->actions()[0]->menu();
  for (QAction* item : file->actions()) {
    if (item->text() == QStringLiteral("Save as...")) {
      item->trigger();
    }
  }
  QVERIFY(std::filesystem::exists(f.dir.File("held.LW")));
  QVERIFY(!f.engine->state.songChanged);
  MainWindowFixture::Release(knob, {9, -10});
  QVERIFY(!f.engine->state.songChanged);
  EditItem(w, "Undo")->trigger();
  QCOMPARE(f.engine->state.song.delayFeedback, 50);
  QVERIFY(f.engine->state.songChanged);
  EditItem(w, "Redo")->trigger();
  QVERIFY(!f.engine->state.songChanged);
}

QTEST_MAIN(UndoWindowsTest)
#include "UndoWindowsTest.moc"
