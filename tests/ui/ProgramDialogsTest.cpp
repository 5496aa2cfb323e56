#include "DialogsFixture.h"
#include "ui/AboutWindow.h"
#include "ui/BounceDialog.h"
#include "ui/RenderProgressDialog.h"
#include "ui/SampleManagerWindow.h"
#include "ui/SequenceGrid.h"
#include "ui/SequencerWindow.h"
#include "ui/SplashWindow.h"
#include "ui/StepControllersDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <filesystem>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::MainWindowFixture;
using lw::test::PutSample;

namespace {

QAction* MenuItem(MainWindow& window, const QString& menu, const QString& item) {
  for (QAction* top : window.menuBar()->actions()) {
    if (top->text() == menu && top->menu() != nullptr) {
      for (QAction* action : top->menu()->actions()) {
        if (action->text() == item) {
          return action;
        }
      }
    }
  }
  return nullptr;
}

// What the bounce dialog showed and the user's answer.
void AnswerBounce(DialogsFixture& f, QString* proposed, const QString& typed, bool ok) {
  f.user = [proposed, typed, ok](QDialog& dialog) {
    auto& bounce = static_cast<BounceDialog&>(dialog);
    *proposed = bounce.loopName()->text();
    if (!typed.isEmpty()) {
      bounce.loopName()->clear();
      MainWindowFixture::Type(bounce.loopName(), typed);
    }
    QTest::mouseClick(ok ? bounce.okButton() : bounce.cancelButton(), Qt::LeftButton);
  };
}

} // namespace

class ProgramDialogsTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void windowsAreMadeInStartUpOrder();
  void splashCoversTheMainWindow();
  void bounceDialogLayout();
  void bounceNamesTheNewLoop();
  void bounceWithAFullTable();
  void renderDialogLayoutAndGaugeColours();
  void songloopRenderFillsTheGauges();
  void aboutBoxes();
};

void ProgramDialogsTest::windowsAreMadeInStartUpOrder() {
  DialogsFixture f;
  const QStringList windows{"SampleManagerWindow", "StepControllersDialog", "SequencerWindow",
                            "RenderProgressDialog", "BounceDialog"};
  QStringList order;
  for (QObject* child : f.window->children()) {
    if (windows.contains(child->objectName())) {
      order << child->objectName();
    }
  }
  QCOMPARE(order, windows);
  QCOMPARE(f.modalShown, std::vector<QString>{"SplashWindow"}); // shown once, then let go
  QVERIFY(f.window->findChild<QDialog*>("SplashWindow") == nullptr);
  QVERIFY(!f.engine->state.songChanged);
}

void ProgramDialogsTest::splashCoversTheMainWindow() {
  DialogsFixture f;
  f.window->move(120, 90);
  f.window->show();
  QRect covered;
  QRect picture;
  f.user = [&](QDialog& splash) {
    covered = splash.frameGeometry();
    const QWidget* image = splash.findChild<QWidget*>("splashimage");
    picture = QRect(image->mapTo(&splash, QPoint()), image->size());
    QTest::mouseClick(splash.findChild<QWidget*>("splashimage"), Qt::LeftButton);
    QVERIFY(!splash.isVisible());
  };
  f.dialogs->ShowSplash();
  QCOMPARE(covered, f.window->frameGeometry());
  QCOMPARE(picture.center(), QRect(QPoint(), covered.size()).center());
  QCOMPARE(picture.size(), QSize(SplashWindow::kWidth, SplashWindow::kHeight));
  f.window->hide();
}

void ProgramDialogsTest::bounceDialogLayout() {
  DialogsFixture f;
  BounceDialog& b = f.dialogs->bounce();
  QCOMPARE(b.windowTitle(), QStringLiteral("Bounce Pattern to Sample"));
  QCOMPARE(b.size(), QSize(305, 166));
  QVERIFY(!b.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  QCOMPARE(b.palette().color(QPalette::Window), QColor(0xC5, 0x9B, 0x72));
  auto* about = b.findChild<QLabel*>("Label2");
  QCOMPARE(about->text(),
           QStringLiteral(
               "This function renders the current pattern into a sample and stores it into your "
               "instrument list. You can then use it as any normal sample... The loop will be "
               "normalized automatically to max-out the volume !"));
  QCOMPARE(about->geometry(), QRect(24, 16, 257, 57));
  QVERIFY(about->wordWrap());
  auto* ask = b.findChild<QLabel*>("Label1");
  QCOMPARE(ask->text(), QStringLiteral("Enter a descriptive name for this pattern/loop:"));
  QCOMPARE(ask->pos(), QPoint(24, 80));
  QCOMPARE(b.loopName()->geometry(), QRect(24, 96, 257, 21));
  QCOMPARE(b.loopName()->maxLength(), 64);
  QCOMPARE(b.loopName()->palette().color(QPalette::Base), QColor(0xFF, 0xE2, 0xC4));
  QCOMPARE(b.cancelButton()->text(), QStringLiteral("Cancel"));
  QCOMPARE(b.cancelButton()->geometry(), QRect(143, 136, 75, 25));
  QCOMPARE(b.okButton()->text(), QStringLiteral("Ok"));
  QCOMPARE(b.okButton()->geometry(), QRect(224, 136, 75, 25));
  QVERIFY(b.okButton()->isDefault());

  b.Propose("Bounced 2-3");
  b.show();
  QTest::keyClick(b.loopName(), Qt::Key_Escape); // Cancel is the cancel button
  QCOMPARE(b.result(), int(QDialog::Rejected));
  b.show();
  QTest::keyClick(b.loopName(), Qt::Key_Return); // Ok is the default button
  QCOMPARE(b.result(), int(QDialog::Accepted));
  QCOMPARE(b.Name(), std::string("Bounced 2-3"));
}

void ProgramDialogsTest::bounceNamesTheNewLoop() {
  DialogsFixture f;
  Engine& e = *f.engine;
  QString proposed;
  AnswerBounce(f, &proposed, {}, false);
  f.window->BouncePatternClick();
  QCOMPARE(proposed, QStringLiteral("Bounced 1-1"));
  QCOMPARE(CountUsedSlots(e.samples), 0);
  QVERIFY(!e.state.songChanged);

  AnswerBounce(f, &proposed, {}, true);
  f.window->BouncePatternClick();
  QCOMPARE(e.samples.slots[0].name.text(), std::string("Bounced 1-1"));
  QCOMPARE(e.samples.slots[0].category, uint8_t{2});
  // The hidden sample manager's list already holds the new loop.
  QListWidget* list = f.dialogs->sampleManager().sampleList();
  QCOMPARE(list->count(), 1);
  QCOMPARE(list->item(0)->text(), QStringLiteral("01> Bounced 1-1"));
  QCOMPARE(f.dialogs->sampleManager().nameLabel()->text(), QStringLiteral("Bounced 1-1"));

  f.window->BankPanelMouseDown(*f.Control("BankPanel"), {40, 20}); // bank 7
  const QString longName = QString(70, QChar(0xE8));               // è, one stored byte
  AnswerBounce(f, &proposed, longName, true);
  f.window->BouncePatternClick();
  QCOMPARE(proposed, QStringLiteral("Bounced 7-1"));
  QCOMPARE(e.samples.slots[1].name.bytes(), std::string(64, '\xE8')); // no more could be typed
  QCOMPARE(list->count(), 2);
  QCOMPARE(list->item(1)->text(), QStringLiteral("02> ") + longName.left(64));
  QVERIFY(e.state.songChanged);
}

void ProgramDialogsTest::bounceWithAFullTable() {
  DialogsFixture f;
  for (int slot = 0; slot < kSampleSlots; ++slot) {
    PutSample(*f.engine, slot, {1, 2}, 44100, SampleCategory::Drum, "full");
  }
  QString proposed;
  AnswerBounce(f, &proposed, {}, true);
  f.window->BouncePatternClick();
  QCOMPARE(f.prompts.notices,
           std::vector<std::string>{"Unfortunately you have reached the limit of 64 samples..."});
  QCOMPARE(f.engine->samples.slots[63].name.text(), std::string("full"));
}

void ProgramDialogsTest::renderDialogLayoutAndGaugeColours() {
  DialogsFixture f;
  RenderProgressDialog& r = f.dialogs->renderWav();
  QCOMPARE(r.windowTitle(), QStringLiteral("Rendering to Wav..."));
  QCOMPARE(r.size(), QSize(352, 143));
  QVERIFY(r.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QVERIFY(!r.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  QCOMPARE(r.palette().color(QPalette::Window), QColor(0xB6, 0x8C, 0x63));
  const struct {
    const char* name;
    const char* text;
    QPoint at;
  } labels[] = {{"Label1", "Current pattern...", {48, 16}}, {"Label2", "Overall...", {48, 72}}};
  for (const auto& l : labels) {
    auto* label = r.findChild<QLabel*>(l.name);
    QCOMPARE(label->text(), QString::fromLatin1(l.text));
    QCOMPARE(label->pos(), l.at);
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pointSize(), 9);
  }
  QCOMPARE(r.currentGauge()->geometry(), QRect(48, 32, 257, 25));
  QCOMPARE(r.overallGauge()->geometry(), QRect(48, 88, 257, 25));

  r.SetCurrent(50);
  const QImage look = r.currentGauge()->grab().toImage();
  QCOMPARE(QColor(look.pixel(20, 12)), QColor(0xFF, 0xE2, 0xC4));
  QCOMPARE(QColor(look.pixel(240, 12)), QColor(Qt::black));
}

void ProgramDialogsTest::songloopRenderFillsTheGauges() {
  DialogsFixture f;
  Engine& e = *f.engine;
  for (int slot = 4; slot <= 7; ++slot) {
    e.state.sequence.slots[slot] = {1, static_cast<int8_t>(slot)};
  }
  e.state.sequence.slots[9] = {0, 0}; // the song goes on after the loop
  SequencerWindow& s = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  s.seq()->SelectSlots(4, 7);
  QTest::mouseClick(s.loopBox(), Qt::LeftButton);
  QVERIFY(f.window->songloopAction()->isEnabled());

  RenderProgressDialog& r = f.dialogs->renderWav();
  QList<int> overall;
  QList<int> current;
  bool shownWhileRendering = true;
  QObject::connect(r.overallGauge(), &QProgressBar::valueChanged, [&](int v) { overall << v; });
  QObject::connect(r.currentGauge(), &QProgressBar::valueChanged, [&](int v) {
    current << v;
    shownWhileRendering = shownWhileRendering && r.isVisible();
  });
  f.prompts.files.push_back(f.dir.File("loop"));
  f.window->songloopAction()->trigger();

  QCOMPARE(overall, (QList<int>{25, 50, 75, 100}));
  QVERIFY(shownWhileRendering);
  QVERIFY(!current.isEmpty());
  QCOMPARE(current.count(0), 3); // each pattern after the first starts again at 0
  QCOMPARE(current.count(2), 4); // the gauge moves every 2048 samples
  QVERIFY(!r.isVisible());
  const auto bytes = std::filesystem::file_size(f.dir.File("loop.wav"));
  QCOMPARE(bytes, static_cast<std::uintmax_t>(44 + 2 * 4 * e.clock.patternSamples));

  // The next render starts both gauges from 0.
  overall.clear();
  current.clear();
  f.prompts.files.push_back(f.dir.File("again.wav"));
  f.window->songloopAction()->trigger();
  QCOMPARE(overall.value(0), 0);
  QCOMPARE(overall.back(), 100);
}

void ProgramDialogsTest::aboutBoxes() {
  DialogsFixture f;
  const struct {
    const char* item;
    QSize size;
    QColor background;
    const char* button;
    QRect buttonAt;
    QRect textAt;
  } boxes[] = {
      {"The &LoopWren",
       {456, 265},
       {197, 155, 114},
       "Okidoki",
       {184, 232, 105, 25},
       {16, 56, 425, 164}},
      {"The &Kestra",
       {456, 332},
       {255, 226, 196},
       "I can't wait !",
       {176, 264, 105, 25},
       {16, 96, 425, 164}},
      {"&Oske Lum",
       {456, 265},
       {197, 155, 114},
       "Okidoki",
       {184, 232, 105, 25},
       {256, 32, 193, 188}},
  };
  for (const auto& box : boxes) {
    QAction* item = MenuItem(*f.window, QStringLiteral("&About"), QString::fromLatin1(box.item));
    QVERIFY2(item != nullptr, box.item);
    bool looked = false;
    f.user = [&](QDialog& dialog) {
      auto& about = static_cast<AboutWindow&>(dialog);
      QCOMPARE(about.windowTitle(), QStringLiteral(" "));
      QCOMPARE(about.size(), box.size);
      QCOMPARE(about.palette().color(QPalette::Window), box.background);
      QCOMPARE(about.button()->text(), QString::fromLatin1(box.button));
      QCOMPARE(about.button()->geometry(), box.buttonAt);
      QVERIFY(about.button()->isDefault());
      QCOMPARE(about.focusWidget(), about.button());
      QCOMPARE(about.text()->geometry(), box.textAt);
      QVERIFY(about.text()->isReadOnly());
      QCOMPARE(about.text()->font().pixelSize(), 11);
      QCOMPARE(about.text()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      QVERIFY(!about.text()->toPlainText().isEmpty());
      QTest::keyClick(&about, Qt::Key_Escape); // the button is the cancel button too
      looked = true;
    };
    item->trigger();
    QVERIFY(looked);
    QCOMPARE(f.modalShown.back(), QStringLiteral("AboutWindow"));
    QVERIFY(f.window->findChild<QDialog*>("AboutWindow") == nullptr); // destroyed once closed
  }

  AboutWindow program(AboutBox::LoopWren, nullptr);
  const QString text = program.text()->toPlainText();
  for (const char* word :
       {"LoopWren 1.2", "Qt 6", "SDL2", "zlib", "libsoxr", "LGPL version 3", "LGPL version 2.1"}) {
    QVERIFY2(text.contains(QString::fromLatin1(word)), word);
  }
  AboutWindow author(AboutBox::OskeLum, nullptr);
  QCOMPARE(author.findChild<QLabel*>("filesLabel")->text(),
           QStringLiteral("Current files on subject:"));
  QCOMPARE(author.findChild<QLabel*>("filesLabel")->pos(), QPoint(256, 8));
  QCOMPARE(author.findChild<QLabel*>("about_author")->geometry(), QRect(0, 0, 250, 221));
  AboutWindow sister(AboutBox::Kestra, nullptr);
  QCOMPARE(sister.findChild<QLabel*>("about_kestra_strip")->geometry(), QRect(72, 306, 320, 15));
  program.show();
  QTest::keyClick(&program, Qt::Key_Escape);
  QCOMPARE(program.result(), int(QDialog::Accepted));
}

QTEST_MAIN(ProgramDialogsTest)
#include "ProgramDialogsTest.moc"
