#include "paint_skin_art.h"
#include "paint_skin_pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace skin {

namespace {

QRectF whole(const Canvas& c) {
  return QRectF(QPointF(0, 0), c.size);
}

// A strip of display glass with a beat on it: sixteen squares, some filled.
void beatStrip(Canvas& c, const QRectF& r, unsigned pattern) {
  const double pitch = r.width() / 16.0;
  for (int i = 0; i < 16; ++i) {
    const QRectF cell(r.left() + i * pitch + 1, r.top(), pitch - 2, r.height());
    c.p.setPen(QPen(colour::kLcdInk, 1));
    c.p.setBrush((pattern >> (15 - i)) & 1u ? QBrush(colour::kLcdInk) : QBrush(Qt::NoBrush));
    c.p.drawRect(cell.adjusted(0.5, 0.5, -0.5, -0.5));
  }
}

} // namespace

void paintSplash(Canvas& c) {
  const QRectF all = whole(c);
  c.p.fillRect(all, Qt::black);
  plate(c, all.adjusted(4, 4, -4, -4), 8, 4242, {});
  drawMedallion(c, QPointF(118, 146), 88);

  const QRectF right(218, 0, 212, c.size.height());
  drawWordmark(c, QRectF(right.left(), 46, right.width(), 50), 40, false);

  const QRectF glass(right.left() + 6, 112, right.width() - 12, 62);
  bezel(c, glass, 4, 2);
  c.p.fillRect(glass, colour::kLcd);
  c.p.setPen(colour::kLcdInk);
  c.p.setFont(labelFont(17, true, false));
  c.p.drawText(glass.adjusted(10, 6, -10, -30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("LoopWren 1.2"));
  beatStrip(c, QRectF(glass.left() + 10, glass.bottom() - 22, glass.width() - 20, 12), 0x8A2Au);

  engrave(c, QRectF(right.left() - 6, 186, right.width() + 12, 16), Qt::AlignCenter,
          QStringLiteral("a three-channel, 16-step groovebox"), labelFont(11, true, false));
  groove(c, 20, c.size.width() - 20, 256);
  engrave(c, QRectF(0, 265, c.size.width(), 16), Qt::AlignCenter, QStringLiteral("click to close"),
          labelFont(11, false, false));
  for (QPointF at :
       {QPointF(15, 15), QPointF(c.size.width() - 15, 15), QPointF(15, c.size.height() - 15),
        QPointF(c.size.width() - 15, c.size.height() - 15)})
    screw(c, at, at.x() * 0.7 + at.y());
}

void paintAboutLoopWren(Canvas& c) {
  c.p.fillRect(whole(c), colour::kWindow);
  drawNameplate(c, QRectF(0, 2, c.size.width(), c.size.height() - 4), 28);
}

namespace {

const QColor kRust{176, 82, 38};
const QColor kSlate{58, 70, 94};

// A kestrel seen from below as it hangs in the wind: pointed wings swept back, a
// long narrow tail.
QPainterPath kestrel(QPointF centre, double size) {
  const auto at = [&](double x, double y) { return centre + QPointF(x, y) * size; };
  QPainterPath bird;
  bird.addEllipse(at(0, -0.05), 0.11 * size, 0.3 * size);
  QPainterPath head;
  head.addEllipse(at(0, -0.34), 0.1 * size, 0.1 * size);
  QPainterPath tail;
  tail.moveTo(at(-0.07, 0.18));
  tail.lineTo(at(0.07, 0.18));
  tail.lineTo(at(0.13, 0.62));
  tail.quadTo(at(0, 0.68), at(-0.13, 0.62));
  tail.closeSubpath();
  bird = bird.united(head).united(tail);
  for (double side : {1.0, -1.0}) {
    QPainterPath wing;
    wing.moveTo(at(0.06 * side, -0.16));
    wing.cubicTo(at(0.38 * side, -0.36), at(0.72 * side, -0.22), at(1.0 * side, 0.14));
    wing.cubicTo(at(0.68 * side, 0.02), at(0.4 * side, 0.12), at(0.06 * side, 0.12));
    wing.closeSubpath();
    bird = bird.united(wing);
  }
  return bird;
}

} // namespace

void paintAboutKestra(Canvas& c) {
  c.p.fillRect(whole(c), colour::kField);
  c.p.setRenderHint(QPainter::Antialiasing);
  const QPointF badge(46, 42.5);
  c.p.setPen(Qt::NoPen);
  c.p.setBrush(QColor(120, 50, 20));
  c.p.drawEllipse(badge, 38, 38);
  QRadialGradient sky(badge - QPointF(10, 14), 50);
  sky.setColorAt(0.0, QColor(232, 132, 72));
  sky.setColorAt(1.0, kRust);
  c.p.setBrush(sky);
  c.p.drawEllipse(badge, 35.5, 35.5);
  c.p.setBrush(QColor(255, 238, 214));
  c.p.drawPath(kestrel(badge + QPointF(0, 2), 30));

  QFont name(QStringLiteral("DejaVu Serif"));
  name.setPixelSize(44);
  name.setBold(true);
  name.setItalic(true);
  c.p.setFont(name);
  c.p.setPen(withAlpha(Qt::white, 200));
  c.p.drawText(QRectF(96, 7, 220, 52), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestra"));
  c.p.setPen(kSlate);
  c.p.drawText(QRectF(96, 6, 220, 52), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestra"));
  c.p.fillRect(QRectF(98, 58, 206, 2), kRust);
  c.p.setFont(labelFont(12, true, false));
  c.p.setPen(kSlate);
  c.p.drawText(QRectF(98, 62, 216, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("the tracker with talons"));
}

void paintAboutKestraStrip(Canvas& c) {
  const QRectF all = whole(c);
  c.p.fillRect(all, kSlate);
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.setBrush(kRust);
  for (double x = -15; x < all.width() + 15; x += 14) {
    QPainterPath stripe;
    stripe.moveTo(x, all.height());
    stripe.lineTo(x + 7, all.height());
    stripe.lineTo(x + 7 + all.height(), 0);
    stripe.lineTo(x + all.height(), 0);
    c.p.drawPath(stripe);
  }
  const QRectF label(all.center().x() - 62, 1.5, 124, all.height() - 3);
  c.p.setBrush(colour::kField);
  c.p.drawRoundedRect(label, 2, 2);
  c.p.setPen(kSlate);
  c.p.setFont(titleFont(9));
  c.p.drawText(label, Qt::AlignCenter, QStringLiteral("COMING SOON"));
}

} // namespace skin
