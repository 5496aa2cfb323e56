#include "ui/StepControllersDialog.h"
#include "DialogsFixture.h"
#include "commands/StepControllers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace lw;
using lw::test::DialogsFixture;

namespace {

// The dialog on its own, over a fresh engine, as the main window opens it.
struct Open {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  StepControllersDialog dialog{*engine, nullptr};
  Step& step = engine->state.song.step(0, 0, 0, 0);

  Open() {
    engine->NewSong();
    Show();
  }
  void Show() {
    dialog.editedStep = &step;
    dialog.show();
  }
  void Close() { dialog.accept(); }
  void Type(QLineEdit* box, const QString& text) {
    box->clear();
    QTest::keyClicks(box, text);
  }
  bool Shown(QWidget* w) const { return w->isVisibleTo(&dialog); }
};

} // namespace

class StepControllersDialogTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void wholeNumbersAndBoxRules();
  void layoutAndCaptions();
  void volumeBoxTexts();
  void endAtOrBelowStartIsNotStored();
  void startAboveEndIsAccepted();
  void modesShowTheirPositionBoxes();
  void openingShowsTheStepAndAgainChangesNothing();
  void openedFromTheLcdControllerRow();
};

void StepControllersDialogTest::wholeNumbersAndBoxRules() {
  QCOMPARE(WholeNumber("+12"), std::optional<int32_t>(12));
  QCOMPARE(WholeNumber("-0"), std::optional<int32_t>(0));
  QCOMPARE(WholeNumber("007"), std::optional<int32_t>(7));
  for (const char* bad : {"", "+", "-", " 1", "1 ", "12a", "1.5", "--1"}) {
    QVERIFY2(!WholeNumber(bad), bad);
  }
  QCOMPARE(WholeNumber("99999999999"), std::optional<int32_t>(INT32_MAX));
  QCOMPARE(WholeNumber("-99999999999"), std::optional<int32_t>(INT32_MIN));

  QCOMPARE(VolumeBoxEdit(""), (BoxEdit{std::nullopt, 255}));
  QCOMPARE(VolumeBoxEdit(" "), (BoxEdit{std::string(), std::nullopt}));
  QCOMPARE(VolumeBoxEdit("128"), (BoxEdit{std::string("127"), std::nullopt}));
  QCOMPARE(VolumeBoxEdit("99999999999"), (BoxEdit{std::string("127"), std::nullopt}));
  QCOMPARE(VolumeBoxEdit("-1"), (BoxEdit{std::string("0"), std::nullopt}));
  QCOMPARE(VolumeBoxEdit("127"), (BoxEdit{std::nullopt, 127}));
  QCOMPARE(PositionBoxEdit(""), BoxEdit{});
  QCOMPARE(PositionBoxEdit(" "), BoxEdit{});
  QCOMPARE(PositionBoxEdit("  "), (BoxEdit{std::string(), std::nullopt}));
  QCOMPARE(PositionBoxEdit("1025"), (BoxEdit{std::string("1024"), std::nullopt}));
  QCOMPARE(PositionBoxEdit("-7"), (BoxEdit{std::string("0"), std::nullopt}));
  QCOMPARE(PositionBoxEdit("1024"), (BoxEdit{std::nullopt, 1024}));

  QCOMPARE(ModeButton(255), std::optional<int>(0));
  QCOMPARE(ModeButton(5), std::optional<int>(4));
  QCOMPARE(ModeButton(0), std::nullopt);
  QCOMPARE(PositionControlsFor(3), PositionControls::StartOnly);
  QCOMPARE(PositionControlsFor(4), PositionControls::StartAndEnd);
  QCOMPARE(PositionControlsFor(9), PositionControls::None);
}

void StepControllersDialogTest::layoutAndCaptions() {
  Open o;
  StepControllersDialog& d = o.dialog;
  QCOMPARE(d.windowTitle(), QStringLiteral("Controllers for this step"));
  QCOMPARE(d.size(), QSize(449, 296));
  QVERIFY(!d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  QCOMPARE(d.palette().color(QPalette::Window), QColor(197, 155, 114));
  QCOMPARE(d.volumeBox()->palette().color(QPalette::Base), QColor(255, 226, 196));
  const QImage look = d.grab().toImage();
  const QPoint besideCaption = d.modeButton(1)->geometry().topRight() + QPoint(-4, 8);
  QCOMPARE(QColor(look.pixel(besideCaption)), QColor(255, 226, 196)); // the buttons' own fill
  QCOMPARE(QColor(look.pixel(4, 150)), QColor(197, 155, 114));
  QCOMPARE(d.findChild<QLabel*>("Label1")->text(),
           QStringLiteral("Override volume for this channel (0-127, or blank for no change)"));
  QCOMPARE(d.findChild<QLabel*>("Label3")->text(),
           QStringLiteral("Special note behavior (FT 9xx command)"));
  const QStringList modes{"Keep it going (do nothing special)", "Note Off",
                          "Retrigger note and continue", "Retrigger note and loop back",
                          "Retrigger note and stop (stutter)"};
  for (int i = 0; i < 5; ++i) {
    QCOMPARE(d.modeButton(i)->text(), modes[i]);
    if (i > 0) {
      QVERIFY(d.modeButton(i)->y() > d.modeButton(i - 1)->y()); // one below the other
    }
  }
  QCOMPARE(d.findChild<QLabel*>("startLabel")->text(), QStringLiteral("Start position"));
  QCOMPARE(d.findChild<QLabel*>("loopLabel")->text(), QStringLiteral("End/Loopback position"));
  QCOMPARE(
      d.findChild<QLabel*>("rangeLabel")->text(),
      QStringLiteral("Values ranging from 0 to 1024 may be entered in here. (512 = halfway)."));
  QVERIFY(d.startBox()->y() < d.endBox()->y());
  QVERIFY(d.startBox()->x() > d.modeButton(0)->x());
  QCOMPARE(d.doneButton()->text(), QStringLiteral("Done"));
  QVERIFY(d.doneButton()->isDefault());
  QCOMPARE(d.focusWidget(), d.volumeBox());
  QTest::keyClick(&d, Qt::Key_Escape); // Done is also the cancel button
  QVERIFY(!d.isVisible());
}

void StepControllersDialogTest::volumeBoxTexts() {
  Open o;
  QLineEdit* box = o.dialog.volumeBox();
  QCOMPARE(box->text(), QString()); // a new step has no override
  o.Type(box, "200");
  QCOMPARE(box->text(), QStringLiteral("127"));
  QCOMPARE(o.step.volume, uint8_t{127});
  o.Type(box, "-");
  QCOMPARE(box->text(), QString());
  QCOMPARE(o.step.volume, uint8_t{255});
  o.Type(box, "45");
  QCOMPARE(o.step.volume, uint8_t{45});
  box->clear();
  QCOMPARE(o.step.volume, uint8_t{255});
  o.Type(box, "12a");
  QCOMPARE(box->text(), QString());
  QCOMPARE(o.step.volume, uint8_t{255});
  QVERIFY(o.engine->state.songChanged);
}

void StepControllersDialogTest::endAtOrBelowStartIsNotStored() {
  Open o;
  o.Close();
  o.step.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
  o.step.startPos = 600;
  o.step.endPos = 1000;
  o.Show();
  QCOMPARE(o.dialog.endBox()->text(), QStringLiteral("1000"));
  o.Type(o.dialog.endBox(), "500");
  QCOMPARE(o.dialog.endBox()->text(), QStringLiteral("500")); // stays in the box
  QCOMPARE(o.step.endPos, 1000);
  o.Type(o.dialog.endBox(), "600");
  QCOMPARE(o.step.endPos, 1000);
  o.Type(o.dialog.endBox(), "700");
  QCOMPARE(o.step.endPos, 700);
  o.Type(o.dialog.endBox(), "2000");
  QCOMPARE(o.dialog.endBox()->text(), QStringLiteral("1024"));
  QCOMPARE(o.step.endPos, 1024);
  o.Type(o.dialog.endBox(), "x");
  QCOMPARE(o.dialog.endBox()->text(), QString());
  QCOMPARE(o.step.endPos, 1024); // keeps its last stored value
}

void StepControllersDialogTest::startAboveEndIsAccepted() {
  Open o;
  o.Close();
  o.step.mode = static_cast<uint8_t>(StepMode::RetrigStutter);
  o.step.startPos = 0;
  o.step.endPos = 50;
  o.Show();
  o.Type(o.dialog.startBox(), "100");
  QCOMPARE(o.step.startPos, 100);
  QCOMPARE(o.step.endPos, 50);
  o.Type(o.dialog.startBox(), " ");
  QCOMPARE(o.step.startPos, 100);
  o.Type(o.dialog.startBox(), "-5"); // a lone sign is no number: the box empties at once
  QCOMPARE(o.dialog.startBox()->text(), QStringLiteral("5"));
  o.dialog.startBox()->setText("-5"); // pasted whole
  QCOMPARE(o.dialog.startBox()->text(), QStringLiteral("0"));
  QCOMPARE(o.step.startPos, 0);
}

void StepControllersDialogTest::modesShowTheirPositionBoxes() {
  Open o;
  StepControllersDialog& d = o.dialog;
  QLabel* range = d.findChild<QLabel*>("rangeLabel");
  o.step.startPos = 300;
  o.step.endPos = 900;
  QVERIFY(!o.Shown(d.startBox()) && !o.Shown(d.endBox()) && !o.Shown(range));

  QTest::mouseClick(d.modeButton(2), Qt::LeftButton, {}, {4, 8}); // Retrigger note and continue
  QCOMPARE(o.step.mode, uint8_t{3});
  QVERIFY(o.Shown(d.startBox()));
  QVERIFY(o.Shown(d.findChild<QLabel*>("startLabel")));
  QVERIFY(o.Shown(range));
  QVERIFY(!o.Shown(d.endBox()));
  QVERIFY(!o.Shown(d.findChild<QLabel*>("loopLabel")));
  QCOMPARE(d.startBox()->text(), QStringLiteral("300"));

  QTest::mouseClick(d.modeButton(3), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(o.step.mode, uint8_t{4});
  QVERIFY(o.Shown(d.endBox()));
  QCOMPARE(d.endBox()->text(), QStringLiteral("900"));
  QTest::mouseClick(d.modeButton(4), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(o.step.mode, uint8_t{5});
  QTest::mouseClick(d.modeButton(1), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(o.step.mode, uint8_t{2});
  QVERIFY(!o.Shown(d.startBox()) && !o.Shown(d.endBox()) && !o.Shown(range));
  QCOMPARE(o.step.startPos, 300); // switching the mode keeps the positions
  QCOMPARE(o.step.endPos, 900);
  QTest::mouseClick(d.modeButton(0), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(o.step.mode, uint8_t{255});
}

void StepControllersDialogTest::openingShowsTheStepAndAgainChangesNothing() {
  Open o;
  StepControllersDialog& d = o.dialog;
  QVERIFY(!o.engine->state.songChanged); // a new step matches the fresh form
  o.Close();

  Step& other = o.engine->state.song.step(0, 0, 1, 5);
  other.volume = 90;
  other.mode = static_cast<uint8_t>(StepMode::RetrigContinue);
  other.startPos = 512;
  d.editedStep = &other;
  d.show();
  QCOMPARE(d.volumeBox()->text(), QStringLiteral("90"));
  QVERIFY(d.modeButton(2)->isChecked());
  QCOMPARE(d.startBox()->text(), QStringLiteral("512"));
  QVERIFY(o.Shown(d.startBox()) && !o.Shown(d.endBox()));
  QVERIFY(o.engine->state.songChanged); // controllers unlike those shown last
  QCOMPARE(other.volume, uint8_t{90});
  QCOMPARE(other.startPos, 512);
  d.accept();

  o.engine->state.songChanged = false;
  d.show();
  QVERIFY(!o.engine->state.songChanged);
  d.accept();

  o.step.volume = 255;
  o.Show();
  QCOMPARE(d.volumeBox()->text(), QString());
  QVERIFY(d.modeButton(0)->isChecked());
  o.Close();

  // A mode only a foreign file holds: no button claims it, and it is kept.
  o.step.mode = 9;
  o.engine->state.songChanged = false;
  o.Show();
  for (int i = 0; i < 5; ++i) {
    QVERIFY(!d.modeButton(i)->isChecked());
  }
  QCOMPARE(o.step.mode, uint8_t{9});
  QVERIFY(!o.engine->state.songChanged);
}

void StepControllersDialogTest::openedFromTheLcdControllerRow() {
  DialogsFixture f;
  f.window->BankPanelMouseDown(*f.Control("PatPanel"), {20, 2}); // pattern 2
  f.engine->state.activeChannel = 2;
  f.user = [&f](QDialog& dialog) {
    auto& d = static_cast<StepControllersDialog&>(dialog);
    QCOMPARE(d.editedStep, &f.engine->state.song.step(0, 1, 2, 3));
    QTest::keyClicks(d.volumeBox(), "77");
    QTest::mouseClick(d.doneButton(), Qt::LeftButton);
  };
  f.window->lcdMouseDown({66 + 3 * 21 + 5, 60});
  QCOMPARE(f.modalShown.back(), QStringLiteral("StepControllersDialog"));
  QCOMPARE(f.engine->state.activeStep, 3);
  QCOMPARE(f.engine->state.song.step(0, 1, 2, 3).volume, uint8_t{77});
  QVERIFY(!f.dialogs->controllers().isVisible());
}

QTEST_MAIN(StepControllersDialogTest)
#include "StepControllersDialogTest.moc"
