#include "ui/SequencerWindow.h"
#include "DialogsFixture.h"
#include "commands/SequencerCommands.h"
#include "ui/DialogParts.h"
#include "ui/ImageControl.h"
#include "ui/SequenceGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <thread>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::MainWindowFixture;

namespace {

QPoint CellCentre(const SequenceGrid& grid, int slot) {
  return grid.visualRect(grid.model()->index(0, slot)).center();
}

// Presses on one slot, drags to another and lets go, as a hand on the mouse does.
void Drag(SequenceGrid& grid, int from, int to) {
  grid.scrollToItem(grid.item(0, from));
  QWidget* viewport = grid.viewport();
  MainWindowFixture::Press(viewport, CellCentre(grid, from));
  MainWindowFixture::Move(viewport, CellCentre(grid, to), Qt::LeftButton);
  MainWindowFixture::Release(viewport, CellCentre(grid, to));
}

void Fill(Engine& engine, int first, int last) {
  for (int slot = first; slot <= last; ++slot) {
    engine.state.sequence.slots[slot] = {static_cast<int8_t>(slot % 8),
                                         static_cast<int8_t>(7 - slot % 8)};
  }
}

} // namespace

class SequencerWindowTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void windowLayoutAndCaptions();
  void gridTextsAndDraggedSelection();
  void clearingSlotsFiveToNine();
  void bankAndPatternClicksFillASlotOnlyWhileVisible();
  void titleAndAuthorBoxes();
  void loopBoxSwitchesSongloop();
  void showingPlacesTheWindowAndPicksThePlayPicture();
  void playButtonStartsAndStopsTheSong();
  void currentColumnFollowsTheEngineFromAnotherThread();
};

void SequencerWindowTest::windowLayoutAndCaptions() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  QCOMPARE(s.windowTitle(), QStringLiteral("Pattern / Song Sequencer"));
  QCOMPARE(s.size(), QSize(704, 162));
  QVERIFY(s.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QVERIFY(s.windowFlags().testFlag(Qt::Tool));
  QVERIFY(!s.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(s.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  QCOMPARE(s.findChild<QLabel*>("Label2")->text(), QStringLiteral("Song title"));
  QCOMPARE(s.findChild<QLabel*>("Label3")->text(), QStringLiteral("Author / Composer"));
  QCOMPARE(
      s.findChild<QLabel*>("Label1")->text(),
      QStringLiteral("To chain your patterns to a song, select the slot you wish to fill and then "
                     "select a pattern in the main window... (This window has to be visible to "
                     "accept changes.)"));
  QCOMPARE(s.loopBox()->text(), QStringLiteral("Use selection as loop"));
  QCOMPARE(s.clearButton()->text(), QStringLiteral("clear selection"));
  QCOMPARE(s.palette().color(QPalette::Window), QColor(197, 155, 114));
  QCOMPARE(s.seq()->palette().color(QPalette::Base), QColor(255, 226, 196));
  QCOMPARE(s.titleBox()->palette().color(QPalette::Base), QColor(255, 226, 196));
  QCOMPARE(QFontInfo(s.titleBox()->font()).family(), WindowFontFamily());
  QCOMPARE(s.titleBox()->font().pointSize(), 9);
  QVERIFY(s.authorBox()->font().bold());
  QCOMPARE(s.seq()->font().pointSize(), 8);
  QVERIFY(!s.isVisible());
}

void SequencerWindowTest::gridTextsAndDraggedSelection() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  SequenceGrid& grid = *s.seq();
  QCOMPARE(grid.columnCount(), 128);
  QCOMPARE(grid.rowCount(), 1); // under the fixed header row
  QCOMPARE(grid.columnWidth(77), 28);
  QCOMPARE(grid.rowHeight(0), 18);
  QCOMPARE(grid.horizontalHeader()->height(), 18);
  QVERIFY(!grid.showGrid());
  const QStringList heads{"[0]", "1", "2", "3", "[4]", "5"};
  for (int slot = 0; slot < heads.size(); ++slot) {
    QCOMPARE(grid.HeaderText(slot), heads[slot]);
  }
  QCOMPARE(grid.HeaderText(124), QStringLiteral("[124]"));
  QCOMPARE(grid.HeaderText(127), QStringLiteral("127"));

  f.engine->state.sequence.slots[3] = {2, 7};
  f.engine->state.sequence.slots[127] = {0, 0};
  f.dialogs->ShowSequencer();
  QCOMPARE(grid.SlotText(3), QStringLiteral("3-8"));
  QCOMPARE(grid.SlotText(127), QStringLiteral("1-1"));
  QCOMPARE(grid.SlotText(4), QString());
  QCOMPARE(s.SelectionFirstSlot(), 0);
  QCOMPARE(s.SelectionWidth(), 1);

  Drag(grid, 9, 5); // right to left selects the same range
  QCOMPARE(f.dialogs->SelectionFirstSlot(), 5);
  QCOMPARE(f.dialogs->SelectionWidth(), 5);
  QCOMPARE(f.engine->state.songPosition.load(), 5); // the release moves the song
  QCOMPARE(grid.CurrentSlot(), 5);
  Drag(grid, 40, 42);
  QCOMPARE(s.SelectionFirstSlot(), 40);
  QCOMPARE(s.SelectionWidth(), 3);
  QCOMPARE(f.engine->state.songPosition.load(), 40);
}

void SequencerWindowTest::clearingSlotsFiveToNine() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  Fill(*f.engine, 0, 12);
  f.dialogs->ShowSequencer();
  f.engine->state.songChanged = false;
  s.seq()->SelectSlots(5, 9);
  QTest::mouseClick(s.clearButton(), Qt::LeftButton);
  for (int slot = 0; slot <= 12; ++slot) {
    const bool cleared = slot >= 5 && slot <= 9;
    const SequenceEntry entry = f.engine->state.sequence.slots[slot];
    QCOMPARE(entry.used(), !cleared);
    QCOMPARE(s.seq()->SlotText(slot).isEmpty(), cleared);
    if (cleared) {
      QCOMPARE(static_cast<uint8_t>(entry.bank), uint8_t{255});
      QCOMPARE(static_cast<uint8_t>(entry.pattern), uint8_t{255});
    }
  }
  QVERIFY(f.engine->state.songChanged);
}

void SequencerWindowTest::bankAndPatternClicksFillASlotOnlyWhileVisible() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  s.seq()->SelectSlots(6, 8);
  f.window->BankPanelMouseDown(*f.Control("BankPanel"), {40, 20}); // bank 7
  QVERIFY(!f.engine->state.sequence.slots[6].used());
  QVERIFY(!f.engine->state.songChanged);

  f.window->PatternSequencerClick(); // F12 and the Song button
  QVERIFY(f.dialogs->SequencerVisible());
  QCOMPARE(s.SelectionFirstSlot(), 6); // showing keeps the selection
  f.engine->state.songChanged = false;
  f.window->BankPanelMouseDown(*f.Control("PatPanel"), {20, 2}); // pattern 2
  QCOMPARE(f.engine->state.sequence.slots[6].bank, int8_t{6});
  QCOMPARE(f.engine->state.sequence.slots[6].pattern, int8_t{1});
  QCOMPARE(s.seq()->SlotText(6), QStringLiteral("7-2"));
  QVERIFY(!f.engine->state.sequence.slots[7].used());
  QVERIFY(f.engine->state.songChanged);

  s.close();
  f.window->BankPanelMouseDown(*f.Control("BankPanel"), {0, 0});
  QCOMPARE(f.engine->state.sequence.slots[6].bank, int8_t{6});
}

void SequencerWindowTest::titleAndAuthorBoxes() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  QVERIFY(!f.engine->state.songChanged); // the boxes already showed the new song's texts
  const QString full(64, QChar(0xE9));   // é, one stored byte
  s.titleBox()->clear();
  MainWindowFixture::Type(s.titleBox(), full + QStringLiteral("xyz"));
  QCOMPARE(s.titleBox()->text(), full);
  QCOMPARE(QString::fromStdString(f.engine->state.song.title.text()), full);
  QCOMPARE(f.engine->state.song.title.bytes(), std::string(64, '\xE9'));
  QVERIFY(f.engine->state.songChanged);
  s.authorBox()->clear();
  MainWindowFixture::Type(s.authorBox(), QStringLiteral("Øske"));
  QCOMPARE(f.engine->state.song.author.bytes(), std::string("\xD8ske"));

  // A refresh writes a box only when the song says something else, and the box's change
  // handling then stores it back and marks the song changed.
  f.engine->state.songChanged = false;
  s.RefreshSequenceGrid();
  QVERIFY(!f.engine->state.songChanged);
  f.engine->state.song.author.assignText("Someone else");
  f.dialogs->RefreshSequencer();
  QCOMPARE(s.authorBox()->text(), QStringLiteral("Someone else"));
  QVERIFY(f.engine->state.songChanged);

  // A title of Windows-1252 bytes shows as its characters, and storing back what the box
  // shows keeps every byte, the undefined 0x81 included.
  ShortString& title = f.engine->state.song.title;
  title.length = 7;
  std::memcpy(title.chars, "Caf\xE9 \x80\x81", 7);
  f.dialogs->RefreshSequencer();
  QCOMPARE(s.titleBox()->text(), QStringLiteral("Café €\u0081"));
  QCOMPARE(title.bytes(), std::string("Caf\xE9 \x80\x81"));
}

void SequencerWindowTest::loopBoxSwitchesSongloop() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  QVERIFY(!f.window->songloopAction()->isEnabled());
  QTest::mouseClick(s.loopBox(), Qt::LeftButton);
  QVERIFY(s.loopBox()->isChecked());
  QVERIFY(f.window->songloopAction()->isEnabled());
  QVERIFY(f.engine->state.loopEnabled.load());
  QTest::mouseClick(s.loopBox(), Qt::LeftButton);
  QVERIFY(!f.window->songloopAction()->isEnabled());
  QVERIFY(!f.engine->state.loopEnabled.load());
}

void SequencerWindowTest::showingPlacesTheWindowAndPicksThePlayPicture() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  f.window->move(40, 30);
  f.engine->playing = true;
  f.engine->songMode = true;
  f.dialogs->ShowSequencer();
  const QRect main = f.window->frameGeometry();
  QCOMPARE(s.pos(), QPoint(main.left(), main.top() + main.height() + 2));
  QCOMPARE(s.playButton()->picture().cacheKey(), f.window->skin().playOn.cacheKey());
  s.hide();
  f.engine->songMode = false; // a single pattern plays
  f.dialogs->ShowSequencer();
  QCOMPARE(s.playButton()->picture().cacheKey(), f.window->skin().playOff.cacheKey());
  f.engine->playing = false;
}

void SequencerWindowTest::playButtonStartsAndStopsTheSong() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  Engine& e = *f.engine;
  Fill(e, 0, 3);
  f.dialogs->ShowSequencer();
  s.seq()->SelectSlots(1, 2);
  ImageControl* play = s.playButton();

  MainWindowFixture::Click(play, {2, 2}, Qt::RightButton);
  QVERIFY(!e.playing);
  MainWindowFixture::Press(play, {2, 2});
  QCOMPARE(play->x(), play->home().x() + 2000); // the pressed look shows while held
  MainWindowFixture::Release(play, {2, 2});
  QCOMPARE(play->pos(), play->home());
  QVERIFY(e.playing);
  QVERIFY(e.songMode);
  QCOMPARE(e.state.loopFirstSlot.load(), 1);
  QCOMPARE(e.state.loopLastSlot.load(), 2);
  QCOMPARE(e.state.playBank, 1);
  QCOMPARE(e.state.playPattern, 6);
  QCOMPARE(play->picture().cacheKey(), f.window->skin().playOn.cacheKey());

  MainWindowFixture::Click(play, {2, 2}, Qt::MiddleButton);
  QVERIFY(!e.playing);
  QVERIFY(!e.songMode);
  QCOMPARE(play->picture().cacheKey(), f.window->skin().playOff.cacheKey());
}

void SequencerWindowTest::currentColumnFollowsTheEngineFromAnotherThread() {
  DialogsFixture f;
  SequencerWindow& s = f.dialogs->sequencer();
  Engine& e = *f.engine;
  Fill(e, 0, 20);
  f.dialogs->ShowSequencer();
  s.seq()->SelectSlots(2, 4);
  e.state.songPosition = 9;
  e.state.playBank = 0;
  e.state.playPattern = 0;
  e.songMode = true;
  e.playing = false;
  e.ProcessStep();
  e.playing = true;
  std::thread render([&e] {
    std::vector<int16_t> block(static_cast<std::size_t>(e.clock.patternSamples));
    const EngineHold hold(e.engineLock);
    e.RenderBlock(block.data(), block.size());
  });
  render.join();
  e.playing = false;
  e.songMode = false;
  QCOMPARE(e.state.songPosition.load(), 10);
  QTRY_COMPARE(s.seq()->CurrentSlot(), 10);
  QCOMPARE(s.SelectionFirstSlot(), 2); // playback never disturbs the selection
  QCOMPARE(s.SelectionWidth(), 3);
}

QTEST_MAIN(SequencerWindowTest)
#include "SequencerWindowTest.moc"
