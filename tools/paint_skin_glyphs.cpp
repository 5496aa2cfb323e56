#include "paint_skin_art.h"
#include "paint_skin_pictures.h"

#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <functional>
#include <numbers>

namespace skin {

namespace {

// Each sample symbol is drawn in a 15 x 15 cell whose origin is its top left corner.
using Symbol = std::function<void(QPainter&)>;

QPen ink(double width = 1.4) {
  return QPen(colour::kLcdInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPolygonF polyline(std::initializer_list<QPointF> points) {
  return QPolygonF(points);
}

QPainterPath star(QPointF centre, double outer, double inner, int points) {
  QPainterPath path;
  for (int i = 0; i < points * 2; ++i) {
    const double a = std::numbers::pi * i / points - std::numbers::pi / 2;
    const double r = i % 2 == 0 ? outer : inner;
    const QPointF p = centre + QPointF(std::cos(a) * r, std::sin(a) * r);
    i == 0 ? path.moveTo(p) : path.lineTo(p);
  }
  path.closeSubpath();
  return path;
}

const std::vector<Symbol>& symbols() {
  static const std::vector<Symbol> all = {
      [](QPainter& p) { // bass drum, seen from the front
        p.setPen(ink(1.5));
        p.drawEllipse(QPointF(7.5, 7.5), 5.6, 5.6);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawEllipse(QPointF(7.5, 7.5), 2.2, 2.2);
      },
      [](QPainter& p) { // snare, from the side, with its lacing
        p.setPen(ink(1.2));
        p.drawEllipse(QRectF(1.5, 2.5, 12, 4));
        p.drawLine(QPointF(1.5, 4.5), QPointF(1.5, 10.5));
        p.drawLine(QPointF(13.5, 4.5), QPointF(13.5, 10.5));
        p.drawArc(QRectF(1.5, 8.5, 12, 4), 180 * 16, 180 * 16);
        p.drawPolyline(polyline({{3.5, 7.5}, {5.5, 11}, {7.5, 7.5}, {9.5, 11}, {11.5, 7.5}}));
      },
      [](QPainter& p) { // hi-hat: two cymbals on a stand
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawEllipse(QRectF(1.5, 2.2, 12, 2.6));
        p.drawEllipse(QRectF(1.5, 5.4, 12, 2.6));
        p.setPen(ink(1.2));
        p.drawLine(QPointF(7.5, 7.5), QPointF(7.5, 13));
        p.drawLine(QPointF(4, 13.5), QPointF(11, 13.5));
      },
      [](QPainter& p) { // a note
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.save();
        p.translate(5.6, 11.2);
        p.rotate(-25);
        p.drawEllipse(QPointF(0, 0), 3.0, 2.1);
        p.restore();
        p.setPen(ink(1.3));
        p.drawLine(QPointF(8.2, 10.6), QPointF(8.2, 1.8));
        p.drawPolyline(polyline({{8.2, 1.8}, {11.8, 4.6}, {11.6, 7.4}}));
      },
      [](QPainter& p) { // sine wave
        QPainterPath wave;
        for (int i = 0; i <= 26; ++i) {
          const double x = 1.5 + i * 0.46;
          const double y = 7.5 - std::sin(i / 26.0 * 2 * std::numbers::pi) * 4.5;
          i == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
        }
        p.setPen(ink(1.5));
        p.drawPath(wave);
      },
      [](QPainter& p) { // square wave
        p.setPen(ink(1.4));
        p.drawPolyline(polyline(
            {{1, 11}, {4, 11}, {4, 3.5}, {8.5, 3.5}, {8.5, 11}, {12, 11}, {12, 3.5}, {14, 3.5}}));
      },
      [](QPainter& p) { // saw wave
        p.setPen(ink(1.4));
        p.drawPolyline(polyline({{1, 11.5}, {7, 3.5}, {7, 11.5}, {13.5, 3.5}, {13.5, 11.5}}));
      },
      [](QPainter& p) { // star
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPath(star(QPointF(7.5, 8.0), 6.6, 2.7, 5));
      },
      [](QPainter& p) { // loop: an arrow running round
        p.setPen(ink(1.5));
        p.drawArc(QRectF(2.5, 2.5, 10, 10), 110 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPolygon(polyline({{8.6, 1.9}, {13.8, 2.4}, {10.4, 6.8}}));
      },
      [](QPainter& p) { // lightning
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPolygon(
            polyline({{9, 0.8}, {3, 8.4}, {7, 8.4}, {5.6, 14.2}, {12, 6}, {8, 6}, {10.4, 0.8}}));
      },
      [](QPainter& p) { // heart
        QPainterPath heart;
        heart.moveTo(7.5, 13.2);
        heart.cubicTo(1.0, 8.6, 0.4, 4.6, 3.0, 2.8);
        heart.cubicTo(5.0, 1.6, 7.0, 2.8, 7.5, 4.6);
        heart.cubicTo(8.0, 2.8, 10.0, 1.6, 12.0, 2.8);
        heart.cubicTo(14.6, 4.6, 14.0, 8.6, 7.5, 13.2);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPath(heart);
      },
      [](QPainter& p) { // bell
        QPainterPath bell;
        bell.moveTo(1.5, 11.6);
        bell.cubicTo(3.4, 10.6, 3.6, 7.0, 3.9, 5.4);
        bell.cubicTo(4.4, 2.2, 10.6, 2.2, 11.1, 5.4);
        bell.cubicTo(11.4, 7.0, 11.6, 10.6, 13.5, 11.6);
        bell.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPath(bell);
        p.drawEllipse(QPointF(7.5, 12.8), 1.7, 1.5);
        p.drawRect(QRectF(6.8, 1.0, 1.4, 1.8));
      },
      [](QPainter& p) { // triangle with its beater
        p.setPen(ink(1.3));
        p.drawPolyline(polyline({{6.2, 2.8}, {1.8, 12.4}, {11.8, 12.4}, {7.6, 4.0}}));
        p.drawLine(QPointF(9.8, 2.0), QPointF(13.6, 8.4));
      },
      [](QPainter& p) { // diamond with a spark at its heart
        p.setPen(ink(1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(polyline({{7.5, 1.2}, {13.6, 7.5}, {7.5, 13.8}, {1.4, 7.5}}));
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawEllipse(QPointF(7.5, 7.5), 1.7, 1.7);
      },
      [](QPainter& p) { // speaker
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPolygon(
            polyline({{1.2, 5.4}, {3.8, 5.4}, {7.4, 2.0}, {7.4, 13.0}, {3.8, 9.6}, {1.2, 9.6}}));
        p.setPen(ink(1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5.4, 4.4, 5.0, 6.2), -50 * 16, 100 * 16);
        p.drawArc(QRectF(4.4, 1.8, 9.6, 11.4), -50 * 16, 100 * 16);
      },
      [](QPainter& p) { // the wren
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kLcdInk);
        p.drawPath(wrenAt(QRectF(0.5, 0.8, 14, 13.6)));
      },
  };
  return all;
}

} // namespace

void paintSymbolLine(Canvas& c) {
  c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kLcd);
  const auto& all = symbols();
  for (int i = 0; i < static_cast<int>(all.size()); ++i) {
    c.p.save();
    const int column = i % 8, row = i / 8;
    c.p.translate(15.0 * column, 15.0 * row);
    c.p.setClipRect(QRectF(0, 0, 15, 15));
    c.p.setRenderHint(QPainter::Antialiasing);
    all[i](c.p);
    c.p.restore();
  }
}

namespace {

// The sample manager's pictures are pixel art in the desktop's sixteen colours, drawn
// in whole 1x pixels so that the 2x pictures are the very same drawing.
struct Pixels {
  QPainter& p;
  void operator()(int x, int y, int w, int h, const QColor& colour) {
    p.fillRect(QRect(x, y, w, h), colour);
  }
};

const QColor kBlack{0, 0, 0}, kGrey{128, 128, 128}, kSilver{192, 192, 192}, kWhite{255, 255, 255};

void bin(Pixels& px) {
  px(6, 1, 4, 1, kBlack); // handle
  px(6, 2, 1, 1, kBlack);
  px(9, 2, 1, 1, kBlack);
  px(2, 3, 12, 3, kBlack); // lid
  px(3, 4, 10, 1, kGrey);
  px(3, 6, 10, 9, kBlack); // body
  px(4, 6, 8, 8, kSilver);
  px(4, 6, 1, 8, kWhite);
  px(6, 7, 1, 6, kGrey); // ribs
  px(9, 7, 1, 6, kGrey);
}

void swapArrows(Pixels& px) {
  const QColor green{0, 128, 0}, blue{0, 0, 255};
  px(1, 4, 9, 2, green); // to the right, on top
  px(10, 2, 1, 6, green);
  px(11, 3, 1, 4, green);
  px(12, 4, 1, 2, green);
  px(6, 10, 9, 2, blue); // back to the left, below
  px(5, 8, 1, 6, blue);
  px(4, 9, 1, 4, blue);
  px(3, 10, 1, 2, blue);
}

// Disabled, as the desktop draws a disabled button's picture: every dark pixel in
// grey, with a white one below and to the right, the light pixels left out.
void emboss(Canvas& c, void (*draw)(Pixels&)) {
  QImage plain(c.size * c.scale, QImage::Format_ARGB32);
  plain.fill(Qt::transparent);
  plain.setDevicePixelRatio(c.scale);
  {
    QPainter p(&plain);
    Pixels px{p};
    draw(px);
  }
  QImage mask(plain.size(), QImage::Format_ARGB32);
  mask.fill(Qt::transparent);
  QImage lip = mask;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      const QRgb v = plain.pixel(x, y);
      if (qAlpha(v) == 0 || qGray(v) >= 160)
        continue;
      mask.setPixel(x, y, kGrey.rgb());
      if (x + c.scale < lip.width() && y + c.scale < lip.height())
        lip.setPixel(x + c.scale, y + c.scale, kWhite.rgb());
    }
  lip.setDevicePixelRatio(c.scale);
  mask.setDevicePixelRatio(c.scale);
  c.p.drawImage(QPointF(0, 0), lip);
  c.p.drawImage(QPointF(0, 0), mask);
}

void glyph(Canvas& c, bool enabled, void (*draw)(Pixels&)) {
  if (!enabled) {
    emboss(c, draw);
    return;
  }
  Pixels px{c.p};
  draw(px);
}

} // namespace

void paintDelete(Canvas& c, bool enabled) {
  glyph(c, enabled, bin);
}

void paintReplace(Canvas& c, bool enabled) {
  glyph(c, enabled, swapArrows);
}

} // namespace skin
