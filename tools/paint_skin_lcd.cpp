#include "paint_skin_layout.h"
#include "paint_skin_pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace skin {

using namespace layout;

namespace {

constexpr int kSteps = 16;

// A dotted line in the glass: a faint print that never touches the cells the program
// fills itself.
void dotted(Canvas& c, double x, double y0, double y1, int alpha) {
  for (double y = y0; y <= y1; y += 2.0)
    c.p.fillRect(QRectF(x, y, 1, 1), withAlpha(colour::kLcdInk, alpha));
}

void bezelAndGlass(Canvas& c, const QRectF& glass) {
  const QRectF all(QPointF(0, 0), c.size);
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.fillRect(all, colour::kWindow);
  QPainterPath outer;
  outer.addRoundedRect(all, 4, 4);
  QLinearGradient rim(all.topLeft(), all.bottomLeft());
  rim.setColorAt(0.0, QColor(92, 82, 74));
  rim.setColorAt(0.1, QColor(40, 35, 31));
  rim.setColorAt(1.0, QColor(22, 19, 17));
  c.p.fillPath(outer, rim);
  c.p.restore();
  c.p.fillRect(glass, colour::kLcd);
  // The glass sits under the rim: a short shadow falls on it from above and the left.
  for (int i = 0; i < 2; ++i) {
    const int alpha = i == 0 ? 70 : 30;
    c.p.fillRect(QRectF(glass.left(), glass.top() + i, glass.width(), 1),
                 withAlpha(colour::kLcdInk, alpha));
    c.p.fillRect(QRectF(glass.left() + i, glass.top() + 2, 1, glass.height() - 2),
                 withAlpha(colour::kLcdInk, alpha));
  }
  c.p.fillRect(QRectF(glass.left(), glass.bottom(), glass.width(), 1), withAlpha(Qt::white, 50));
}

void stepNumbers(Canvas& c) {
  QFont font = labelFont(11, true, false);
  c.p.setFont(font);
  for (int i = 0; i < kSteps; ++i) {
    const QRectF square(kStepSquareLeft + kStepPitch * i, kStepSquareTop, kStepSquare, kStepSquare);
    c.p.setPen(colour::kLcdFaint);
    c.p.setBrush(Qt::NoBrush);
    c.p.drawRect(square.adjusted(0.5, 0.5, -0.5, -0.5));
    // The first step of each beat is printed strongest, as on a drum machine.
    c.p.setPen(withAlpha(colour::kLcdInk, i % 4 == 0 ? 255 : 200));
    c.p.drawText(square.adjusted(0, 0, 1, 1), Qt::AlignCenter, QString::number(i + 1));
  }
}

void ruler(Canvas& c) {
  const double baseline = 46;
  const double left = kNoteCell.left() - 3;
  const double right = kNoteCell.left() + kStepPitch * (kSteps - 1) + kNoteCell.width() + 3;
  c.p.fillRect(QRectF(left, baseline, right - left, 1), withAlpha(colour::kLcdInk, 150));
  for (int i = 0; i <= kSteps; ++i) {
    const double x = kNoteCell.left() - 3 + kStepPitch * i;
    const bool beat = i % 4 == 0;
    const double top = beat ? 40 : 43;
    c.p.fillRect(QRectF(x, top, 1, baseline - top), withAlpha(colour::kLcdInk, beat ? 190 : 130));
  }
}

void controllerLane(Canvas& c) {
  const int y = kCtrlCell.top() + kCtrlCell.height() / 2; // the cells' middle row
  for (int i = 0; i + 1 < kSteps; ++i) {
    const double x0 = kCtrlCell.left() + kStepPitch * i + kCtrlCell.width() + 2;
    const double x1 = kCtrlCell.left() + kStepPitch * (i + 1) - 2;
    for (double x = x0; x < x1; x += 2.0)
      c.p.fillRect(QRectF(x, y, 1, 1), withAlpha(colour::kLcdInk, 90));
  }
}

} // namespace

void paintLcd(Canvas& c) {
  const QRectF glass(3, 3, c.size.width() - 6, c.size.height() - 6);
  bezelAndGlass(c, glass);

  const QFont font = labelFont(10, true, false);
  c.p.setFont(font);
  c.p.setPen(colour::kLcdInk);
  const double labelLeft = 10;
  c.p.drawText(QRectF(labelLeft, 5, 50, 19), Qt::AlignLeft | Qt::AlignVCenter, "step");
  c.p.drawText(QRectF(labelLeft, 27, 50, 19), Qt::AlignLeft | Qt::AlignVCenter, "notes");
  c.p.drawText(QRectF(labelLeft, 54, 50, 19), Qt::AlignLeft | Qt::AlignVCenter, "ctrl.");
  dotted(c, kLabelWidth - 3, glass.top() + 4, glass.bottom() - 4, 110);
  for (double y : {24.0, 49.0})
    for (double x = labelLeft; x < glass.right() - 6; x += 2.0)
      c.p.fillRect(QRectF(x, y, 1, 1), withAlpha(colour::kLcdInk, 70));

  stepNumbers(c);
  ruler(c);
  controllerLane(c);
  // Beat lines through all three rows, between steps 4 and 5, 8 and 9, 12 and 13.
  for (int beat = 1; beat < 4; ++beat) {
    const double x = kNoteCell.left() - 3 + kStepPitch * 4 * beat;
    dotted(c, x, 51, glass.bottom() - 3, 90);
  }
}

void paintCells(Canvas& c, int lit) {
  c.p.fillRect(QRectF(QPointF(0, 0), c.size), QColor(28, 22, 18));
  c.p.setRenderHint(QPainter::Antialiasing);
  const QFont font = labelFont(10, true, false);
  for (int cell = 0; cell < 8; ++cell) {
    // The regions the click mapping uses: 19 pixels a column, 18 a row.
    const int column = cell % 4, row = cell / 4;
    const QRectF region(19 * column, 18 * row, column == 3 ? 20 : 19, row == 1 ? 19 : 18);
    const QRectF lens(region.left() + 1.5, region.top() + 1.5, 16, 15);
    const bool on = cell + 1 == lit;
    c.p.save();
    c.p.setClipRect(region);
    QPainterPath shape;
    shape.addRoundedRect(lens, 2, 2);
    if (on) {
      QRadialGradient g(lens.center(), 11);
      g.setColorAt(0.0, mix(colour::kAmber, Qt::white, 0.6));
      g.setColorAt(0.6, colour::kAmber);
      g.setColorAt(1.0, mix(colour::kAmber, Qt::black, 0.2));
      c.p.fillPath(shape, g);
    } else {
      QLinearGradient g(lens.topLeft(), lens.bottomLeft());
      g.setColorAt(0.0, QColor(92, 60, 32));
      g.setColorAt(1.0, QColor(58, 36, 20));
      c.p.fillPath(shape, g);
    }
    c.p.setPen(QPen(withAlpha(Qt::black, 160), 1.0));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawPath(shape);
    QLinearGradient shine(lens.topLeft(), lens.center());
    shine.setColorAt(0.0, withAlpha(Qt::white, on ? 110 : 45));
    shine.setColorAt(1.0, withAlpha(Qt::white, 0));
    c.p.fillPath(shape, shine);
    c.p.setFont(font);
    c.p.setPen(on ? QColor(70, 30, 6) : QColor(196, 134, 62));
    c.p.drawText(lens.adjusted(0, 0, 0, 1), Qt::AlignCenter, QString::number(cell + 1));
    c.p.restore();
  }
}

} // namespace skin
