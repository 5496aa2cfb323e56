#include "paint_skin_art.h"
#include "paint_skin_pictures.h"

#include <QConicalGradient>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace skin {

QPainterPath wrenSilhouette() {
  QPainterPath body;
  body.addEllipse(QPointF(0, 0), 27, 19.5);
  body = QTransform().translate(47, 58).rotate(-14).map(body);
  QPainterPath head;
  head.addEllipse(QPointF(70, 37), 14.5, 14);
  QPainterPath beak;
  beak.moveTo(81, 31);
  beak.quadTo(92, 33, 99, 38.5);
  beak.quadTo(91, 39.5, 82, 41);
  beak.closeSubpath();
  // The wren's tail, cocked straight up: its best-known pose.
  QPainterPath tail;
  tail.moveTo(28, 62);
  tail.cubicTo(20, 52, 15, 42, 13, 28);
  tail.quadTo(18, 21, 25, 25);
  tail.cubicTo(28, 36, 34, 44, 42, 50);
  tail.closeSubpath();
  QPainterPath legs;
  legs.moveTo(45, 74);
  legs.lineTo(41, 93);
  legs.moveTo(55, 74);
  legs.lineTo(57, 93);
  legs.moveTo(34, 95);
  legs.lineTo(47, 95);
  legs.moveTo(52, 95);
  legs.lineTo(65, 95);
  QPainterPathStroker stroker;
  stroker.setWidth(3.6);
  stroker.setCapStyle(Qt::RoundCap);
  QPainterPath bird = body.united(head).united(beak).united(tail);
  return bird.united(stroker.createStroke(legs)).simplified();
}

QPainterPath wrenAt(const QRectF& box) {
  return QTransform()
      .translate(box.left(), box.top())
      .scale(box.width() / 100.0, box.height() / 100.0)
      .map(wrenSilhouette());
}

static QPointF onCircle(QPointF centre, double degreesFromUp, double r) {
  const double a = degreesFromUp * std::numbers::pi / 180.0;
  return centre + QPointF(std::sin(a) * r, -std::cos(a) * r);
}

// The plumage over the silhouette: eye, pale brow, barred wing and tail.
static void plumage(Marks& marks, const QRectF& box) {
  const QTransform t = QTransform()
                           .translate(box.left(), box.top())
                           .scale(box.width() / 100.0, box.height() / 100.0);
  const double unit = box.width() / 100.0;
  const QPainterPath bird = wrenAt(box);
  const auto stroke = [&](const QPainterPath& path, const QPen& pen) {
    Mark m;
    m.kind = Mark::Kind::Path;
    m.path = path;
    m.pen = pen;
    m.clip = bird;
    marks.push_back(m);
  };
  QPainterPath brow;
  brow.moveTo(60, 31);
  brow.quadTo(70, 25, 82, 30);
  stroke(t.map(brow), QPen(QColor(236, 206, 164), 2.6 * unit, Qt::SolidLine, Qt::RoundCap));
  const QPen bars(QColor(30, 16, 8, 150), 2.2 * unit, Qt::SolidLine, Qt::RoundCap);
  for (int i = 0; i < 4; ++i) {
    QPainterPath bar;
    bar.moveTo(36 + i * 7, 54 + i * 1.5);
    bar.quadTo(41 + i * 7, 60 + i * 1.5, 40 + i * 7, 67 + i * 1.0);
    stroke(t.map(bar), bars);
  }
  for (int i = 0; i < 3; ++i) {
    const double y = 33 + i * 7;
    Mark line;
    line.kind = Mark::Kind::Line;
    line.line = QLineF(t.map(QPointF(12 + i * 3.0, y)), t.map(QPointF(28 + i * 3.0, y - 3)));
    line.pen = bars;
    line.clip = bird;
    marks.push_back(line);
  }
  marks.push_back(
      ellipseMark(t.map(QPointF(74, 35)), 3.2 * unit, 3.2 * unit, QColor(252, 236, 210)));
  marks.push_back(
      ellipseMark(t.map(QPointF(74.6, 35.3)), 1.9 * unit, 1.9 * unit, QColor(20, 10, 4)));
}

Marks medallionMarks(QPointF centre, double radius) {
  Marks marks;
  QRadialGradient shadow(centre + QPointF(0, radius * 0.05), radius * 1.04);
  shadow.setColorAt(0.9, withAlpha(Qt::black, 110));
  shadow.setColorAt(1.0, withAlpha(Qt::black, 0));
  marks.push_back(
      ellipseMark(centre + QPointF(0, radius * 0.05), radius * 1.04, radius * 1.04, shadow));

  // A turned bronze ring, carrying sixteen step lamps with the first one lit.
  QConicalGradient ring(centre, 60);
  const QColor tones[] = {{238, 204, 160}, {158, 112, 72}, {226, 186, 138}, {146, 102, 64},
                          {236, 200, 154}, {162, 116, 76}, {238, 204, 160}};
  for (int i = 0; i < 7; ++i)
    ring.setColorAt(i / 6.0, tones[i]);
  marks.push_back(ellipseMark(centre, radius, radius, colour::kGroove));
  const double bronze = radius - radius * 0.02 - 0.6;
  marks.push_back(ellipseMark(centre, bronze, bronze, ring));
  const double lampRadius = std::max(1.4, radius * 0.042);
  for (int i = 0; i < 16; ++i) {
    const QPointF at = onCircle(centre, i * 22.5, radius * 0.88);
    marks.push_back(ellipseMark(at, lampRadius + 0.7, lampRadius + 0.7, QColor(40, 26, 16)));
    QRadialGradient g(at - QPointF(lampRadius * 0.3, lampRadius * 0.3), lampRadius * 1.2);
    const bool lit = i % 4 == 0;
    g.setColorAt(0.0, lit ? mix(colour::kAmber, Qt::white, 0.7) : QColor(130, 84, 44));
    g.setColorAt(1.0, lit ? colour::kAmber : QColor(70, 44, 24));
    marks.push_back(ellipseMark(at, lampRadius, lampRadius, g));
  }

  const double face = radius * 0.76;
  marks.push_back(ellipseMark(centre, face + 1.0, face + 1.0, QColor(80, 52, 30)));
  QRadialGradient field(centre - QPointF(face * 0.3, face * 0.4), face * 1.5);
  field.setColorAt(0.0, QColor(255, 240, 218));
  field.setColorAt(0.7, colour::kField);
  field.setColorAt(1.0, QColor(226, 186, 144));
  marks.push_back(ellipseMark(centre, face, face, field));

  const QRectF box(centre.x() - face * 0.86, centre.y() - face * 0.74, face * 1.42, face * 1.42);
  QLinearGradient feathers(box.topLeft(), box.bottomLeft());
  feathers.setColorAt(0.0, QColor(120, 72, 38));
  feathers.setColorAt(1.0, QColor(70, 40, 20));
  Mark bird;
  bird.kind = Mark::Kind::Path;
  bird.path = wrenAt(box);
  bird.brush = feathers;
  marks.push_back(bird);
  plumage(marks, box);

  // Its song, going out from the beak in rings.
  const QPointF beak = box.topLeft() + QPointF(box.width() * 1.0, box.height() * 0.385);
  for (int i = 1; i <= 3; ++i) {
    const double r = face * (0.08 + 0.09 * i);
    Mark arc;
    arc.kind = Mark::Kind::Arc;
    arc.rect = QRectF(beak.x() - r, beak.y() - r, 2 * r, 2 * r);
    arc.startAngle = -40 * 16;
    arc.spanAngle = 80 * 16;
    arc.pen = QPen(mix(colour::kAmber, QColor(150, 60, 10), 0.45), std::max(1.0, face * 0.045),
                   Qt::SolidLine, Qt::RoundCap);
    marks.push_back(arc);
  }
  // A twig for the bird to stand on.
  Mark twig;
  twig.kind = Mark::Kind::Line;
  const double twigY = box.bottom() - box.height() * 0.04;
  twig.line = QLineF(QPointF(box.left() + box.width() * 0.16, twigY + face * 0.02),
                     QPointF(box.left() + box.width() * 0.82, twigY - face * 0.03));
  twig.pen = QPen(QColor(70, 40, 20), std::max(1.2, face * 0.05), Qt::SolidLine, Qt::RoundCap);
  marks.push_back(twig);
  return marks;
}

void drawMedallion(Canvas& c, QPointF centre, double radius) {
  draw(c, medallionMarks(centre, radius));
}

void drawWordmark(Canvas& c, const QRectF& box, double pixels, bool onDark) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(static_cast<int>(std::lround(pixels)));
  font.setBold(true);
  font.setLetterSpacing(QFont::AbsoluteSpacing, -pixels * 0.03);
  const QFontMetricsF m(font);
  const QString loop = QStringLiteral("Loop"), wren = QStringLiteral("Wren");
  const double width = m.horizontalAdvance(loop + wren);
  const double x = box.center().x() - width / 2.0;
  const double baseline = box.center().y() + (m.ascent() - m.descent()) / 2.0;
  QPainterPath first, second;
  first.addText(x, baseline, font, loop);
  second.addText(x + m.horizontalAdvance(loop), baseline, font, wren);

  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  const QPointF lip(0, std::max(1.0, pixels / 24.0));
  c.p.setBrush(onDark ? withAlpha(Qt::black, 160) : withAlpha(colour::kInkLight, 170));
  c.p.drawPath(first.united(second).translated(lip));
  QLinearGradient ink(0, baseline - m.ascent(), 0, baseline);
  ink.setColorAt(0.0, onDark ? QColor(255, 240, 220) : QColor(96, 62, 36));
  ink.setColorAt(1.0, onDark ? colour::kField : colour::kInk);
  c.p.setBrush(ink);
  c.p.drawPath(first);
  QLinearGradient lampInk(0, baseline - m.ascent(), 0, baseline);
  lampInk.setColorAt(0.0, QColor(255, 214, 120));
  lampInk.setColorAt(1.0, QColor(232, 128, 30));
  c.p.setBrush(lampInk);
  c.p.setPen(QPen(QColor(92, 42, 10), std::max(0.6, pixels / 40.0)));
  c.p.drawPath(second);
  c.p.restore();
}

void drawNameplate(Canvas& c, const QRectF& r, double pixels) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.setBrush(QColor(24, 20, 18));
  c.p.drawRoundedRect(r, 4, 4);
  QLinearGradient metal(r.topLeft(), r.bottomLeft());
  metal.setColorAt(0.0, QColor(88, 80, 74));
  metal.setColorAt(0.5, QColor(52, 47, 43));
  metal.setColorAt(1.0, QColor(36, 32, 29));
  c.p.setBrush(metal);
  c.p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
  c.p.restore();
  QPainterPath face;
  face.addRoundedRect(r.adjusted(2, 2, -2, -2), 2, 2);
  brush(c, face, 77, 7.0);
  drawWordmark(c, r.adjusted(12, 0, -12, 0), pixels, true);
  screw(c, QPointF(r.left() + 6.5, r.center().y()), 30);
  screw(c, QPointF(r.right() - 6.5, r.center().y()), 115);
}

void paintEmblem(Canvas& c) {
  c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
  drawMedallion(c, QPointF(c.size.width() / 2.0, c.size.height() / 2.0 - 1), 45);
}

void paintLogo(Canvas& c) {
  c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
  drawNameplate(c, QRectF(0, 2, c.size.width(), c.size.height() - 4), 24);
}

Marks iconMarks() {
  Marks marks;
  const QRectF tile(10, 8, 236, 236);
  QPainterPath shadow;
  shadow.addRoundedRect(tile.translated(0, 4), 46, 46);
  marks.push_back(fillPathMark(shadow, withAlpha(Qt::black, 70)));
  QPainterPath outer;
  outer.addRoundedRect(tile, 46, 46);
  marks.push_back(fillPathMark(outer, colour::kGroove));
  QPainterPath bevel;
  bevel.addRoundedRect(tile.adjusted(3, 3, -3, -3), 43, 43);
  QLinearGradient light(tile.topLeft(), tile.bottomRight());
  light.setColorAt(0.0, colour::kPlateLight);
  light.setColorAt(1.0, colour::kPlateDark);
  marks.push_back(fillPathMark(bevel, light));
  QPainterPath face;
  face.addRoundedRect(tile.adjusted(8, 8, -8, -8), 38, 38);
  marks.push_back(fillPathMark(face, colour::kPlate));
  Mark brushing;
  brushing.kind = Mark::Kind::Brushing;
  brushing.path = face;
  brushing.seed = 909;
  brushing.strength = 12.0;
  marks.push_back(brushing);

  // A strip of display with a beat on it, over the badge.
  const QRectF glass(44, 30, 168, 40);
  const Marks frame = bezelMarks(glass, 4, 3);
  marks.insert(marks.end(), frame.begin(), frame.end());
  Mark lcd;
  lcd.kind = Mark::Kind::FillRect;
  lcd.rect = glass;
  lcd.brush = colour::kLcd;
  marks.push_back(lcd);
  for (int i = 0; i < 8; ++i) {
    const QRectF cell(glass.left() + 8 + i * 19.6, glass.top() + 9, 15, 22);
    const bool hit = i == 0 || i == 3 || i == 4 || i == 6;
    Mark step;
    step.kind = Mark::Kind::Rect;
    step.rect = cell.adjusted(1, 1, -1, -1);
    step.pen = QPen(hit ? colour::kLcdInk : mix(colour::kLcd, colour::kLcdInk, 0.35), 1.5);
    step.brush = hit ? QBrush(colour::kLcdInk) : QBrush(Qt::NoBrush);
    marks.push_back(step);
  }
  const Marks badge = medallionMarks(QPointF(128, 156), 76);
  marks.insert(marks.end(), badge.begin(), badge.end());
  return marks;
}

void paintIcon(Canvas& c) {
  draw(c, iconMarks());
}

} // namespace skin
