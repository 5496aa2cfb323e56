// The author's file card: a cartoon of the fictional Oske Lum clipped to an index
// card in a manila folder, typed up like a dossier. Nobody real is drawn here.
#include "paint_skin_pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace skin {

namespace {

QFont typewriter(double pixels, bool bold = false) {
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPixelSize(static_cast<int>(std::lround(pixels)));
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

void folder(QPainter& p) {
  const QColor manila(224, 186, 118);
  p.setPen(QPen(QColor(150, 112, 60), 1));
  p.setBrush(manila);
  QPainterPath shape;
  shape.moveTo(4.5, 16.5);
  shape.lineTo(14.5, 16.5);
  shape.lineTo(20.5, 6.5);
  shape.lineTo(92.5, 6.5);
  shape.lineTo(98.5, 16.5);
  shape.lineTo(245.5, 16.5);
  shape.lineTo(245.5, 217.5);
  shape.lineTo(4.5, 217.5);
  shape.closeSubpath();
  p.drawPath(shape);
  p.setPen(QColor(92, 60, 24));
  p.setFont(typewriter(8, true));
  p.drawText(QRectF(20, 7, 72, 10), Qt::AlignCenter, QStringLiteral("FILE 07 / LUM"));
}

void card(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawRect(r.translated(1.5, 2));
  p.setBrush(QColor(253, 246, 232));
  p.drawRect(r);
  p.setPen(QPen(QColor(206, 70, 60), 1));
  p.drawLine(QPointF(r.left(), r.top() + 16.5), QPointF(r.right(), r.top() + 16.5));
  p.setPen(QPen(QColor(150, 180, 220), 1));
  for (double y = r.top() + 30.5; y < r.bottom() - 4; y += 13)
    p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
}

// Oske, as a quick cartoon: headphones on, glasses, a grin, a wren tee.
void portrait(QPainter& p, const QRectF& photo) {
  QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
  sky.setColorAt(0.0, QColor(128, 184, 240));
  sky.setColorAt(1.0, QColor(224, 236, 248));
  p.fillRect(photo, sky);
  p.save();
  p.setClipRect(photo);
  const QPointF head = photo.center() + QPointF(0, -4);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(236, 150, 52)); // the tee, in lamp colour
  p.drawRoundedRect(QRectF(head.x() - 30, head.y() + 22, 60, 40), 14, 14);
  p.setBrush(QColor(232, 188, 150));
  p.drawRect(QRectF(head.x() - 5, head.y() + 14, 10, 10)); // neck
  p.drawEllipse(head, 17, 20);
  // Hair, never combed: a crown of spikes round the top of the head.
  QPainterPath hair;
  for (int i = 0; i <= 14; ++i) {
    const double a = (195.0 + i * 150.0 / 14.0) * std::numbers::pi / 180.0;
    const double r = i % 2 == 0 ? 18.5 : 25.0;
    const QPointF at = head + QPointF(std::cos(a) * r, std::sin(a) * r * 0.95 - 4);
    i == 0 ? hair.moveTo(at) : hair.lineTo(at);
  }
  hair.quadTo(head + QPointF(2, -12), head + QPointF(-18, -8));
  hair.closeSubpath();
  p.setBrush(QColor(70, 40, 22));
  p.drawPath(hair);
  p.setPen(QPen(QColor(40, 36, 34), 3.2, Qt::SolidLine, Qt::RoundCap)); // headphones
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(head.x() - 20, head.y() - 26, 40, 40), 10 * 16, 160 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 36, 34));
  p.drawRoundedRect(QRectF(head.x() - 23, head.y() - 6, 8, 14), 3, 3);
  p.drawRoundedRect(QRectF(head.x() + 15, head.y() - 6, 8, 14), 3, 3);
  p.setPen(QPen(QColor(30, 26, 24), 1.4)); // glasses
  p.setBrush(QColor(255, 255, 255, 70));
  p.drawEllipse(head + QPointF(-6.5, -1), 5, 4.5);
  p.drawEllipse(head + QPointF(6.5, -1), 5, 4.5);
  p.drawLine(head + QPointF(-1.5, -1), head + QPointF(1.5, -1));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 26, 24));
  p.drawEllipse(head + QPointF(-6, 0), 1.4, 1.4);
  p.drawEllipse(head + QPointF(7, 0), 1.4, 1.4);
  p.setPen(QPen(QColor(120, 50, 40), 1.5, Qt::SolidLine, Qt::RoundCap)); // the grin
  p.drawArc(QRectF(head.x() - 7, head.y() + 2, 14, 9), 200 * 16, 140 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 226, 196));
  p.drawEllipse(head + QPointF(0, 38), 6, 4); // a small wren-coloured badge on the tee
  p.restore();
}

void stamp(QPainter& p, QPointF centre, double degrees) {
  p.save();
  p.translate(centre);
  p.rotate(degrees);
  const QColor red(200, 40, 40, 190);
  p.setPen(QPen(red, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(-74, -12, 148, 24), 3, 3);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(13);
  f.setBold(true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
  p.setFont(f);
  p.setPen(red);
  p.drawText(QRectF(-74, -12, 148, 24), Qt::AlignCenter, QStringLiteral("CERTIFIED FUNKY"));
  p.restore();
}

} // namespace

void paintAboutAuthor(Canvas& c) {
  QPainter& p = c.p;
  p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
  p.setRenderHint(QPainter::Antialiasing);
  folder(p);

  p.save();
  p.translate(125, 118);
  p.rotate(-1.5);
  p.translate(-125, -118);
  const QRectF index(14, 24, 222, 184);
  card(p, index);
  p.setPen(QColor(40, 36, 60));
  p.setFont(typewriter(10, true));
  p.drawText(QRectF(index.left() + 8, index.top() + 2, 210, 14), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("SUBJECT: OSKE LUM"));
  p.setFont(typewriter(9));
  const char* const lines[] = {"ALIAS: the wren", "TRADE: beats", "KIT:   16 steps",
                               "HABIT: loops",    "TEMPO: 120",   "SEEN:  at night",
                               "NOTES: nods in",  "       time"};
  double rule = index.top() + 30.5; // typed on the card's rules
  for (const char* line : lines) {
    p.drawText(QRectF(index.left() + 100, rule - 12, 120, 11), Qt::AlignLeft | Qt::AlignBottom,
               QString::fromLatin1(line));
    rule += 13;
  }
  p.restore();

  // The photo, clipped on crooked.
  p.save();
  p.translate(62, 112);
  p.rotate(3.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawRect(QRectF(-38, -46, 80, 96));
  p.setBrush(QColor(252, 252, 248));
  p.drawRect(QRectF(-40, -48, 80, 96));
  portrait(p, QRectF(-35, -43, 70, 72));
  p.setPen(QColor(70, 70, 90));
  p.setFont(typewriter(8));
  p.drawText(QRectF(-40, 31, 80, 14), Qt::AlignCenter, QStringLiteral("O. Lum"));
  p.restore();
  p.setPen(QPen(QColor(150, 150, 160), 1.6)); // a paper clip over the photo's top edge
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(50, 52, 9, 24), 4.5, 4.5);
  p.drawRoundedRect(QRectF(52.5, 56, 4, 15), 2, 2);

  stamp(p, QPointF(168, 178), -9);
}

} // namespace skin
