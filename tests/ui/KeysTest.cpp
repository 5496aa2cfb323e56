// The main window under the keyboard, the wheel and assistive technology.
#include "DialogsFixture.h"
#include "MainWindowFixture.h"
#include "ui/KnobState.h"
#include "ui/SampleManagerWindow.h"
#include "ui/SampleMenu.h"
#include "ui/SequenceGrid.h"
#include "ui/SequencerWindow.h"
#include "ui/StepControllersDialog.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace lw;
using lw::test::MainWindowFixture;
using lw::test::PutNote;
using lw::test::PutSample;

namespace {

void Wheel(QWidget* w, int eighths, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton, modifiers,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

void Key(QWidget* w, int key, bool autoRepeat = false) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
  QApplication::sendEvent(w, &press);
}

int Volume1(const MainWindowFixture& f) {
  return f.engine->state.song.channel(0, 0, 0).volume;
}

} // namespace

class KeysTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void readoutsSpeakTheMusiciansUnits();
  void keysTurnAKnobEachPressAnUndoStep();
  void wheelNotchesTurnTheKnobUnderThePointerAsOneStep();
  void aDoubleClickSetsAKnobBackToANewSongsValue();
  void theReadoutShowsWhileAKnobTurns();
  void spacePlaysUnlessATextBoxHasTheFocus();
  void theLcdIsPlayedFromTheKeyboard();
  void bankAndPatternAnswerKeysAndTheWheel();
  void tabReachesEveryControl();
  void assistiveTechnologyReadsAndOperatesTheControls();
  void theOtherWindowsNameTheirControlsAndSpacePlaysTheSong();
  void viewSizeIsRememberedForTheNextStart();
  void digitsMuteAndSoloFromEveryWindowButTheTextBoxes();
};

void KeysTest::readoutsSpeakTheMusiciansUnits() {
  const struct {
    KnobUnit unit;
    int32_t maximum;
    int32_t value;
    const char* text;
  } rows[] = {
      {KnobUnit::Percent, 100, 37, "37 %"},        {KnobUnit::Share, 63, 63, "100 %"},
      {KnobUnit::Share, 63, 32, "51 %"},           {KnobUnit::Steps, 6, 1, "1 step"},
      {KnobUnit::Steps, 6, 4, "4 steps"},          {KnobUnit::Volume, 127, 127, "0.0 dB"},
      {KnobUnit::Volume, 127, 64, "\u22126.0 dB"}, {KnobUnit::Volume, 127, 0, "\u2212\u221e dB"},
      {KnobUnit::Speed, 100, 50, "100 %"},         {KnobUnit::Speed, 100, 0, "50 %"},
  };
  for (const auto& r : rows) {
    KnobState knob;
    InitKnob(knob, 0, r.maximum, r.value);
    QCOMPARE(QString::fromStdString(KnobValueText(r.unit, knob)), QString::fromUtf8(r.text));
  }
  // A tenth of the range, at least one; never beyond the ends.
  const struct {
    int32_t maximum;
    int32_t value;
    KnobMove move;
    int32_t to;
  } moves[] = {
      {127, 64, KnobMove::PageUp, 77},  {127, 120, KnobMove::PageUp, 127},
      {6, 3, KnobMove::PageDown, 2},    {6, 0, KnobMove::Down, 0},
      {90, 89, KnobMove::Up, 90},       {90, 90, KnobMove::Up, 90},
      {100, 40, KnobMove::Home, 0},     {100, 40, KnobMove::End, 100},
      {50, 25, KnobMove::PageDown, 20},
  };
  for (const auto& m : moves) {
    KnobState knob;
    InitKnob(knob, 0, m.maximum, m.value);
    QCOMPARE(MovedKnobValue(knob, m.move), m.to);
  }
}

void KeysTest::keysTurnAKnobEachPressAnUndoStep() {
  MainWindowFixture f;
  ImageControl* volume = f.Control("volKnob1");
  const int start = Volume1(f);
  Key(volume, Qt::Key_Down);
  Key(volume, Qt::Key_Down, true); // held: one step with the press
  Key(volume, Qt::Key_Down, true);
  QCOMPARE(Volume1(f), start - 3);
  QCOMPARE(f.window->knob("volKnob1").value, start - 3);
  Key(volume, Qt::Key_PageDown); // a new press: a step of its own
  QCOMPARE(Volume1(f), start - 3 - 13);
  QVERIFY(f.engine->state.songChanged);
  f.window->UndoClick();
  QCOMPARE(Volume1(f), start - 3);
  f.window->UndoClick();
  QCOMPARE(Volume1(f), start);
  QCOMPARE(f.window->knob("volKnob1").value, start);

  // The song-wide knobs, and the pitch stored 50 above the knob.
  Key(f.Control("DelSteps"), Qt::Key_End);
  QCOMPARE(f.engine->state.song.delaySteps, 6);
  Key(f.Control("PitchKnob"), Qt::Key_Home);
  QCOMPARE(int(f.ActiveStep().pitch), 50);
  // Keys a knob does not know go on to the window.
  QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QApplication::sendEvent(volume, &other);
  QVERIFY(!other.isAccepted());
}

void KeysTest::wheelNotchesTurnTheKnobUnderThePointerAsOneStep() {
  MainWindowFixture f;
  ImageControl* volume = f.Control("volKnob1");
  const int start = Volume1(f);
  Wheel(volume, -120);
  Wheel(volume, -60); // a fine wheel's half notches add up
  Wheel(volume, -60);
  Wheel(volume, -120);
  QCOMPARE(Volume1(f), start - 3);
  f.window->UndoClick();
  QCOMPARE(Volume1(f), start);
  // With Shift four notches make one.
  for (int i = 0; i < 7; ++i) {
    Wheel(volume, 120, Qt::ShiftModifier);
  }
  QCOMPARE(Volume1(f), start + 1);
  // The tempo box: a beat per minute a notch, within the tempo's range.
  Wheel(f.window->tempoBox(), 120 * 2);
  QCOMPARE(f.engine->state.song.tempo, 122);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("122"));
  Wheel(f.window->tempoBox(), -120 * 200);
  QCOMPARE(f.engine->state.song.tempo, 30);
  f.window->UndoClick();
  QCOMPARE(f.engine->state.song.tempo, 120);
}

void KeysTest::aDoubleClickSetsAKnobBackToANewSongsValue() {
  MainWindowFixture f;
  struct Case {
    const char* knob;
    std::function<int32_t()> field;
  };
  Engine& e = *f.engine;
  const Case cases[] = {
      {"volKnob2", [&] { return e.state.song.channel(0, 0, 1).volume; }},
      {"DelayKnob1", [&] { return e.state.song.channel(0, 0, 0).delaySend; }},
      {"ShuffleKnob", [&] { return e.state.song.shuffle; }},
      {"DelFB", [&] { return e.state.song.delayFeedback; }},
      {"PitchKnob", [&] { return int32_t{f.ActiveStep().pitch}; }},
  };
  for (const Case& c : cases) {
    ImageControl* knob = f.Control(c.knob);
    const int32_t fresh = c.field();
    Key(knob, Qt::Key_End);
    if (c.field() == fresh) {
      Key(knob, Qt::Key_Home);
    }
    QVERIFY2(c.field() != fresh, c.knob);
    QTest::mouseDClick(knob, Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    QVERIFY2(c.field() == fresh, c.knob);
    f.window->UndoClick();
    QVERIFY2(c.field() != fresh, c.knob);
  }
  // Elsewhere a double-click is the press it always was: a button's second click acts.
  const int channel = e.state.activeChannel;
  QTest::mouseDClick(f.Control("Channel3"), Qt::LeftButton);
  QCOMPARE(e.state.activeChannel, channel); // the press alone moves the picture
  f.Release(f.Control("Channel3"), {2, 2});
  QCOMPARE(e.state.activeChannel, 2);
}

void KeysTest::theReadoutShowsWhileAKnobTurns() {
  MainWindowFixture f;
  QVERIFY(f.window->readoutText().isEmpty());
  f.window->show();
  ImageControl* volume = f.Control("volKnob1");
  Key(volume, Qt::Key_End);
  QCOMPARE(f.window->readoutText(), QStringLiteral("Volume 1  0.0 dB"));
  // A drag shows it too, and the delay steps in steps.
  ImageControl* steps = f.Control("DelSteps");
  f.Press(steps, {9, 50});
  f.Move(steps, {9, 25}, Qt::LeftButton);
  QCOMPARE(f.window->readoutText(),
           QStringLiteral("Delay steps  %1 steps").arg(int(f.engine->state.song.delaySteps)));
  f.Release(steps, {9, 25});
  QTRY_VERIFY_WITH_TIMEOUT(f.window->readoutText().isEmpty(), 3000);
  // The tooltip names the control, says what it does and its keys.
  QVERIFY(volume->toolTip().startsWith(QStringLiteral("Volume 1: ")));
  QVERIFY(volume->toolTip().contains(QStringLiteral("Page Up")));
  QVERIFY(f.Control("PlayBtn")->toolTip().contains(QStringLiteral("(Space)")));
  QVERIFY(f.Control("bCis")->toolTip().contains(QStringLiteral("Return")));
}

void KeysTest::spacePlaysUnlessATextBoxHasTheFocus() {
  MainWindowFixture f;
  f.window->show();
  f.window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
  f.window->tempoBox()->setFocus();
  QTest::keyClick(f.window->tempoBox(), Qt::Key_Space);
  QVERIFY(f.engine->playing);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("120"));
  QTest::keyClick(f.window->tempoBox(), Qt::Key_Space);
  QVERIFY(!f.engine->playing);

  // A focused button takes Space as its press: the channel button selects its channel.
  ImageControl* channel2 = f.Control("Channel2");
  channel2->setFocus();
  QTest::keyClick(channel2, Qt::Key_Space);
  QVERIFY(!f.engine->playing);
  QCOMPARE(f.engine->state.activeChannel, 1);
  QTest::keyClick(f.Control("Channel3"), Qt::Key_Return);
  QCOMPARE(f.engine->state.activeChannel, 2);

  // A text box of another window keeps its blank.
  QLineEdit other;
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  other.setFocus();
  QTest::keyClick(&other, Qt::Key_Space);
  QVERIFY(!f.engine->playing);
  QCOMPARE(other.text(), QStringLiteral(" "));
}

void KeysTest::theLcdIsPlayedFromTheKeyboard() {
  MainWindowFixture f;
  PutSample(*f.engine, 0, {1, 2, 3}, 44100, SampleCategory::Drum, "Kick");
  PutNote(*f.engine, 0, 0, 0, 2, 0);
  ImageControl* lcd = f.Control("lcd");
  Key(lcd, Qt::Key_Right);
  Key(lcd, Qt::Key_Right);
  QCOMPARE(f.engine->state.activeStep, 2);
  Key(lcd, Qt::Key_Left);
  Key(lcd, Qt::Key_End);
  QCOMPARE(f.engine->state.activeStep, 15);
  Key(lcd, Qt::Key_Home);
  Key(lcd, Qt::Key_Right);
  Key(lcd, Qt::Key_Right);
  // Down to the notes row: Delete empties the step, one undo step.
  Key(lcd, Qt::Key_Down);
  Key(lcd, Qt::Key_Delete);
  QCOMPARE(int(f.engine->state.song.step(0, 0, 0, 2).trigger), 0);
  f.window->UndoClick();
  QCOMPARE(int(f.engine->state.song.step(0, 0, 0, 2).trigger), 1);
  // Return offers the samples; choosing one places it.
  Key(lcd, Qt::Key_Right);
  Key(lcd, Qt::Key_Return);
  QTRY_VERIFY(f.window->sampleMenu()->isVisible());
  f.window->sampleMenu()->hide();
  f.window->sampleChoose(QStringLiteral("MI00"));
  QCOMPARE(int(f.engine->state.song.step(0, 0, 0, 3).trigger), 1);
  // Kick is the last used now, listed twice: its letter places it at once.
  Key(lcd, Qt::Key_Right);
  Key(lcd, Qt::Key_Return);
  QTRY_VERIFY(f.window->sampleMenu()->isVisible());
  QTest::sendKeyEvent(QTest::Click, f.window->sampleMenu(), Qt::Key_K, QStringLiteral("k"),
                      Qt::NoModifier);
  QVERIFY(!f.window->sampleMenu()->isVisible());
  QCOMPARE(int(f.engine->state.song.step(0, 0, 0, 4).trigger), 1);
  // The ctrl. row opens the step's controllers; the rows stop at the ends.
  Key(lcd, Qt::Key_Down);
  Key(lcd, Qt::Key_Down);
  Key(lcd, Qt::Key_Return);
  QCOMPARE(f.dialogs.controllers, 1);
  QCOMPARE(f.engine->state.activeStep, 4);
  Key(lcd, Qt::Key_Up);
  Key(lcd, Qt::Key_Up);
  Key(lcd, Qt::Key_Up);
  Key(lcd, Qt::Key_Delete); // the step row has nothing to empty
  QCOMPARE(int(f.engine->state.song.step(0, 0, 0, 4).trigger), 1);
}

void KeysTest::bankAndPatternAnswerKeysAndTheWheel() {
  MainWindowFixture f;
  Key(f.Control("BankPanel"), Qt::Key_Right);
  QCOMPARE(f.engine->state.editBank, 1);
  Key(f.Control("BankPanel"), Qt::Key_End);
  QCOMPARE(f.engine->state.editBank, 7);
  Wheel(f.Control("BankPanel"), 120); // beyond the last: stays
  QCOMPARE(f.engine->state.editBank, 7);
  Wheel(f.Control("PatPanel"), 120 * 3);
  QCOMPARE(f.engine->state.editPattern, 3);
  QCOMPARE(f.Control("PatPanel")->picture().cacheKey(), f.window->skin().bp[3].cacheKey());
  // With the sequencer open, the choice fills its slot as a click does.
  f.dialogs.sequencerVisible = true;
  Key(f.Control("PatPanel"), Qt::Key_Home);
  QCOMPARE(f.dialogs.slots.back(), std::make_pair(7, 0));
}

void KeysTest::tabReachesEveryControl() {
  MainWindowFixture f;
  f.window->show();
  f.window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
  f.window->tempoBox()->setFocus();
  QSet<QWidget*> reached;
  for (int i = 0; i < 80 && !reached.contains(QApplication::focusWidget()); ++i) {
    reached.insert(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  int controls = 0;
  for (QWidget* w : f.window->client()->findChildren<QWidget*>()) {
    const auto* c = dynamic_cast<ImageControl*>(w);
    if (c != nullptr && c->role() != ImageControl::Role::Picture && c->isVisible()) {
      ++controls;
      QVERIFY2(reached.contains(w), qPrintable(c->objectName()));
      QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }
  }
  // Knobs, channel buttons, notes, octaves, four buttons, play, the lcd, bank and pattern.
  QCOMPARE(controls, 12 + 3 * 2 + 12 + 5 + 4 + 1 + 1 + 2);
  // A click does not take the focus from where the keys go.
  f.Click(f.Control("plus_10"));
  QCOMPARE(QApplication::focusWidget(), f.window->tempoBox());
}

void KeysTest::assistiveTechnologyReadsAndOperatesTheControls() {
  MainWindowFixture f;
  QAccessibleInterface* volume = QAccessible::queryAccessibleInterface(f.Control("volKnob1"));
  QVERIFY(volume != nullptr);
  QCOMPARE(volume->role(), QAccessible::Dial);
  QCOMPARE(volume->text(QAccessible::Name), QStringLiteral("Volume 1"));
  QAccessibleValueInterface* value = volume->valueInterface();
  QVERIFY(value != nullptr);
  QCOMPARE(value->maximumValue().toInt(), 127);
  QCOMPARE(value->currentValue().toInt(), Volume1(f));
  value->setCurrentValue(40);
  QCOMPARE(Volume1(f), 40);
  QCOMPARE(volume->text(QAccessible::Value), QStringLiteral("\u221210.0 dB"));
  value->setCurrentValue(500); // held to the range
  QCOMPARE(Volume1(f), 127);

  QAccessibleInterface* play = QAccessible::queryAccessibleInterface(f.Control("PlayBtn"));
  QCOMPARE(play->role(), QAccessible::CheckBox);
  QVERIFY(!play->state().checked);
  play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QVERIFY(f.engine->playing);
  QVERIFY(play->state().checked);
  play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QVERIFY(!f.engine->playing);

  QAccessibleInterface* channel2 = QAccessible::queryAccessibleInterface(f.Control("Channel2"));
  QCOMPARE(channel2->role(), QAccessible::RadioButton);
  channel2->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QVERIFY(channel2->state().checked);

  PutSample(*f.engine, 4, {1, 2, 3}, 44100, SampleCategory::Instrument, "Bass");
  PutNote(*f.engine, 0, 0, 1, 5, 4).note = 37;
  QAccessibleInterface* lcd = QAccessible::queryAccessibleInterface(f.Control("lcd"));
  QAccessibleTableInterface* table = lcd->tableInterface();
  QVERIFY(table != nullptr);
  QCOMPARE(table->rowCount(), 3);
  QCOMPARE(table->columnCount(), 16);
  QCOMPARE(lcd->childCount(), 48);
  QCOMPARE(table->cellAt(1, 5)->text(QAccessible::Name), QStringLiteral("Step 6: Bass, C sharp3"));
  QCOMPARE(table->cellAt(1, 4)->text(QAccessible::Name), QStringLiteral("Step 5: empty"));
  QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("Step 1, being edited"));
  // Pressing a filled notes cell empties it, as a click does.
  table->cellAt(1, 5)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QCOMPARE(int(f.engine->state.song.step(0, 0, 1, 5).trigger), 0);

  QAccessibleInterface* bank = QAccessible::queryAccessibleInterface(f.Control("BankPanel"));
  QCOMPARE(bank->role(), QAccessible::SpinBox);
  bank->valueInterface()->setCurrentValue(5);
  QCOMPARE(f.engine->state.editBank, 4);
}

void KeysTest::theOtherWindowsNameTheirControlsAndSpacePlaysTheSong() {
  lw::test::DialogsFixture f;
  SequencerWindow& sequencer = f.dialogs->sequencer();
  for (QWidget* window : std::initializer_list<QWidget*>{&f.dialogs->sampleManager(),
                                                         &f.dialogs->controllers(), &sequencer}) {
    window->show();
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (w->isVisible() && w->focusPolicy() != Qt::NoFocus) {
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(access != nullptr && !access->text(QAccessible::Name).isEmpty(),
                 qPrintable(window->objectName() + '/' + w->objectName()));
      }
    }
    window->hide();
  }
  // Space in the sequencer plays the song, as its play button does.
  f.engine->state.sequence.slots[0] = {0, 0};
  sequencer.show();
  sequencer.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&sequencer));
  sequencer.seq()->setFocus();
  QTest::keyClick(sequencer.seq(), Qt::Key_Space);
  QVERIFY(f.engine->playing);
  QVERIFY(f.engine->songMode);
  QVERIFY(QAccessible::queryAccessibleInterface(sequencer.playButton())->state().checked);
  QTest::keyClick(sequencer.seq(), Qt::Key_Space);
  QVERIFY(!f.engine->playing);
  // Typing a title keeps its blanks.
  sequencer.titleBox()->clear();
  sequencer.titleBox()->setFocus();
  QTest::keyClicks(sequencer.titleBox(), QStringLiteral("a b"));
  QCOMPARE(sequencer.titleBox()->text(), QStringLiteral("a b"));
  QVERIFY(!f.engine->playing);
}

void KeysTest::viewSizeIsRememberedForTheNextStart() {
  MainWindowFixture f;
  QMenu* view = f.window->menuBar()->actions()[2]->menu();
  QCOMPARE(view->title(), QStringLiteral("&View"));
  const QList<QAction*> sizes = view->actions()[0]->menu()->actions();
  QCOMPARE(sizes.size(), 3);
  QVERIFY(sizes[0]->isChecked());
  sizes[2]->trigger();
  QCOMPARE(f.settings.windowScale(), 2.0);
  QCOMPARE(f.prompts.notices.size(), std::size_t{1});
  sizes[2]->trigger(); // the size it has: nothing to say
  QCOMPARE(f.prompts.notices.size(), std::size_t{1});
  sizes[1]->trigger();
  QCOMPARE(f.settings.windowScale(), 1.5);
  // A size it does not know counts as 1 x.
  f.settings.setWindowScale(3);
  QCOMPARE(f.settings.windowScale(), 1.0);
}

void KeysTest::digitsMuteAndSoloFromEveryWindowButTheTextBoxes() {
  lw::test::DialogsFixture f;
  MainWindow& w = *f.window;
  w.show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* banner = w.client()->findChild<QLabel*>("muteBanner");
  QVERIFY(banner == nullptr || !banner->isVisible());
  // The tempo box holds the keys as the window opens: its digits are the tempo's.
  w.tempoBox()->setFocus();
  QTest::keyClick(w.tempoBox(), Qt::Key_End);
  QTest::keyClick(w.tempoBox(), Qt::Key_1);
  QCOMPARE(w.tempoBox()->text(), QStringLiteral("1201"));
  QCOMPARE(f.engine->silenced.load(), 0U);
  QTest::keyClick(w.tempoBox(), Qt::Key_Backspace);
  // Escape gives the keys to the steps, where the digits mute.
  QTest::keyClick(w.tempoBox(), Qt::Key_Escape);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.Control("lcd")));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
  QCOMPARE(f.engine->silenced.load(), 0b010U);
  banner = w.client()->findChild<QLabel*>("muteBanner");
  QVERIFY(banner != nullptr && banner->isVisible());
  QCOMPARE(banner->text(), QStringLiteral("MUTE 2"));
  // Shift with a digit solos: the others are left out; the mute still holds.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Exclam, Qt::ShiftModifier);
  QCOMPARE(f.engine->silenced.load(), 0b110U);
  QCOMPARE(w.muteText(), QStringLiteral("MUTE 2  SOLO 1"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
  QCOMPARE(f.engine->silenced.load(), 0b110U); // soloed 1 alone is heard
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_1, Qt::ShiftModifier);
  QCOMPARE(f.engine->silenced.load(), 0U);
  QVERIFY(!banner->isVisible());

  // From the sequencer, but not in its title box.
  w.hide();
  SequencerWindow& sequencer = f.dialogs->sequencer();
  sequencer.show();
  sequencer.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&sequencer));
  QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&sequencer));
  sequencer.seq()->setFocus();
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(sequencer.seq()));
  QTest::keyClick(sequencer.seq(), Qt::Key_3);
  QCOMPARE(f.engine->silenced.load(), 0b100U);
  sequencer.titleBox()->setFocus();
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(sequencer.titleBox()));
  QTest::keyClick(sequencer.titleBox(), Qt::Key_3);
  QCOMPARE(f.engine->silenced.load(), 0b100U);
  QVERIFY(sequencer.titleBox()->text().endsWith(QLatin1Char('3')));
  sequencer.hide();

  // The song knows nothing of it, and a song opened fresh plays every channel.
  QAction* newSong = w.menuBar()->actions()[0]->menu()->actions()[0];
  QCOMPARE(newSong->text(), QStringLiteral("New"));
  f.prompts.answers.push_back(true);
  newSong->trigger();
  QCOMPARE(f.engine->silenced.load(), 0U);
  QVERIFY(!banner->isVisible());
}

QTEST_MAIN(KeysTest)
#include "KeysTest.moc"
