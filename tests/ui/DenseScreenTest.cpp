// The main window on dense screens: run with QT_SCALE_FACTOR=2 (the skin's 2x pictures
// shown pixel for pixel) and 1.5 (scaled, but every control where it belongs).
#include "MainWindowFixture.h"

#include <QtTest>

#include <cmath>

using namespace lw;
using lw::test::MainWindowFixture;

class DenseScreenTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void initTestCase();
  void artworkIsDrawnPixelForPixel();
  void clicksLandWhereTheyDoAtOneToOne();
};

void DenseScreenTest::initTestCase() {
  const qreal ratio = qApp->devicePixelRatio();
  QVERIFY2(ratio > 1.0, "run with QT_SCALE_FACTOR=2 or 1.5");
}

// At a whole ratio every picture comes from its 2x file and lands on the screen's pixels
// unchanged: a skin edge stays sharp, with no pixels interpolated between its sides.
void DenseScreenTest::artworkIsDrawnPixelForPixel() {
  const qreal ratio = qApp->devicePixelRatio();
  if (ratio != std::floor(ratio)) {
    QSKIP("a fractional ratio scales the pictures; the other test covers it");
  }
  MainWindowFixture f;
  f.window->show();
  const Skin& skin = f.window->skin();
  QCOMPARE(skin.emblem.devicePixelRatio(), ratio);
  QCOMPARE(skin.knobFrames[0].devicePixelRatio(), ratio);
  const QImage shot = f.window->client()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(shot.devicePixelRatio(), ratio);
  const struct {
    const QPixmap* picture;
    QPoint at; // logical position in the window
  } pictures[] = {{&skin.emblem, {24, 144}}, {&skin.logo, {278, 240}}};
  for (const auto& p : pictures) {
    const QImage art = p.picture->toImage().convertToFormat(QImage::Format_RGB32);
    const QImage drawn = shot.copy(QRect(p.at * ratio, art.size()));
    QVERIFY(drawn == art);
    // The art has edges worth checking: more than a handful of distinct colours.
    QSet<QRgb> colours;
    for (int x = 0; x < art.width(); ++x) {
      colours.insert(art.pixel(x, art.height() / 2));
    }
    QVERIFY(colours.size() > 4);
  }
  f.window->hide();
}

void DenseScreenTest::clicksLandWhereTheyDoAtOneToOne() {
  MainWindowFixture f;
  f.window->show();
  const qreal ratio = qApp->devicePixelRatio();
  const QImage shot = f.window->client()->grab().toImage();
  QCOMPARE(shot.size(),
           (QSizeF(MainWindow::kClientWidth, MainWindow::kClientHeight) * ratio).toSize());
  // The lcd's notes row and the step frame follow a click at the specified places.
  ImageControl* lcd = f.Control("lcd");
  QCOMPARE(lcd->geometry(), QRect(166, 8, 426, 81));
  MainWindowFixture::Click(lcd, {66 + 21 * 7 + 3, 10});
  QCOMPARE(f.engine->state.activeStep, 7);
  QCOMPARE(f.window->client()->findChild<QWidget*>("stepFrame")->x(), 233 + 21 * 7);
  // The step frame's outline lies on the frame's own device pixels.
  const QImage after = f.window->client()->grab().toImage();
  const QPoint corner = QPointF(QPointF(233 + 21 * 7, 13) * ratio).toPoint();
  QCOMPARE(after.pixelColor(corner), QColor(Qt::black));
  f.window->hide();
}

QTEST_MAIN(DenseScreenTest)
#include "DenseScreenTest.moc"
