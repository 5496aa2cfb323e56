#include "paint_skin_catalog.h"
#include "paint_skin_layout.h"
#include "paint_skin_parts.h"

#include <QPainterPath>
#include <QRadialGradient>

namespace skin {

namespace {
const QColor kIvory{250, 234, 212};
const QColor kBlackCap{62, 55, 50};
const QColor kPlayCap{74, 67, 62};
} // namespace

void drawKey(Canvas& c, const QRectF& r, bool black, Look look) {
  const bool pressed = look == Look::Pressed;
  const bool lit = look == Look::On;
  // A lit key glows through its translucent cap, so the whole cap takes the lamp's colour.
  const QColor face = black ? (lit ? mix(kBlackCap, colour::kAmber, 0.38) : kBlackCap)
                            : (lit ? mix(kIvory, colour::kAmber, 0.55) : kIvory);
  cap(c, r, face, pressed, 3.0);
  const QRectF f = capFace(r, pressed);
  const QRectF window(f.center().x() - 5.5, f.top() + 2, 11, 5);
  if (lit) {
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setClipRect(f);
    QRadialGradient glow(window.center(), 14);
    glow.setColorAt(0.0, withAlpha(mix(colour::kAmber, Qt::white, 0.5), 200));
    glow.setColorAt(1.0, withAlpha(colour::kAmber, 0));
    c.p.fillRect(f, glow);
    c.p.restore();
  }
  led(c, window, colour::kAmber, lit);
  // A shallow dish in the lower cap, where the finger lands.
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  const QRectF dish(f.left() + 3, f.top() + 9, f.width() - 6, f.height() - 11);
  QLinearGradient g(dish.topLeft(), dish.bottomLeft());
  g.setColorAt(0.0, withAlpha(Qt::black, black ? 50 : 22));
  g.setColorAt(1.0, withAlpha(Qt::white, black ? 20 : 60));
  c.p.setPen(Qt::NoPen);
  c.p.setBrush(g);
  c.p.drawRoundedRect(dish, 2, 2);
  c.p.restore();
}

void drawOctaveLamp(Canvas& c, const QRectF& r, Look look) {
  lamp(c, r, colour::kAmber, look == Look::On, look == Look::Pressed);
}

void drawDistortLamp(Canvas& c, const QRectF& r, Look look) {
  lamp(c, r, colour::kRed, look == Look::On, look == Look::Pressed);
}

void drawPlayButton(Canvas& c, const QRectF& r, Look look) {
  const bool pressed = look == Look::Pressed;
  cap(c, r, kPlayCap, pressed, 3.0);
  const QRectF f = capFace(r, pressed);
  const QPointF mid = f.center();
  QPainterPath arrow;
  arrow.moveTo(mid + QPointF(-4.5, -5.0));
  arrow.lineTo(mid + QPointF(5.5, 0.0));
  arrow.lineTo(mid + QPointF(-4.5, 5.0));
  arrow.closeSubpath();
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  if (look == Look::On) {
    QRadialGradient glow(mid, 13);
    glow.setColorAt(0.0, withAlpha(colour::kGreen, 150));
    glow.setColorAt(1.0, withAlpha(colour::kGreen, 0));
    c.p.setClipRect(f);
    c.p.fillRect(f, glow);
    c.p.setPen(QPen(mix(colour::kGreen, Qt::black, 0.4), 0.8));
    c.p.setBrush(mix(colour::kGreen, Qt::white, 0.55));
  } else {
    c.p.setPen(QPen(withAlpha(Qt::black, 140), 0.8));
    c.p.setBrush(mix(colour::kGreen, Qt::black, pressed ? 0.8 : 0.66));
  }
  c.p.drawPath(arrow);
  c.p.restore();
}

void drawTempoStep(Canvas& c, const QRectF& r, int delta, Look look) {
  const bool pressed = look == Look::Pressed;
  cap(c, r, colour::kField, pressed, 3.0);
  const QString text = (delta < 0 ? QStringLiteral("\u221210") : QStringLiteral("+10"));
  engrave(c, capFace(r, pressed).adjusted(0, 0, 0, -1), Qt::AlignCenter, text,
          labelFont(10, true, true));
}

void drawWideButton(Canvas& c, const QRectF& r, const QString& label, Look look) {
  const bool pressed = look == Look::Pressed;
  cap(c, r, colour::kField, pressed, 3.5);
  engrave(c, capFace(r, pressed), Qt::AlignCenter, label, titleFont(10));
}

// The wide button with a red lamp on its left, lit while recording is armed.
void drawRecordButton(Canvas& c, const QRectF& r, Look look) {
  cap(c, r, colour::kField, false, 3.5);
  const QRectF face = capFace(r, false);
  led(c, QRectF(face.left() + 5, face.center().y() - 3.5, 9, 7), colour::kRed, look == Look::On);
  engrave(c, face.adjusted(14, 0, 0, 0), Qt::AlignCenter, QStringLiteral("RECORD"), titleFont(10));
}

void drawLedSocket(Canvas& c, const QRectF& r) {
  led(c, r, colour::kAmber, false);
}

void paintKnobLine(Canvas& c) {
  for (int i = 0; i < 40; ++i) {
    const QRectF frame(19.0 * i, 0, 19, 19);
    c.p.save();
    c.p.setClipRect(frame);
    c.p.fillRect(frame, colour::kPlate);
    knobScale(c, frame.center());
    knob(c, frame.center(), i / 39.0);
    c.p.restore();
  }
}

void paintActiveLed(Canvas& c) {
  c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kPlate);
  led(c, QRectF(QPointF(0, 0), c.size), colour::kAmber, true);
}

namespace {

// A smoked plate that lets a dim ghost of what it hides show through, so the user
// sees the section is there but not in use.
void smoke(Canvas& c, const QImage& beneath) {
  const QRectF all(QPointF(0, 0), c.size);
  c.p.drawImage(all, beneath);
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  QPainterPath glass;
  glass.addRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  c.p.fillPath(glass, QColor(40, 30, 24, 180));
  c.p.setClipPath(glass);
  c.p.setPen(QPen(QColor(255, 226, 196, 34), 1.0));
  for (double x = -c.size.height(); x < c.size.width(); x += 5.0)
    c.p.drawLine(QPointF(x, c.size.height()), QPointF(x + c.size.height(), 0));
  QLinearGradient sheen(all.topLeft(), all.bottomRight());
  sheen.setColorAt(0.0, QColor(255, 255, 255, 22));
  sheen.setColorAt(0.3, QColor(255, 255, 255, 0));
  c.p.fillRect(all, sheen);
  c.p.setClipping(false);
  c.p.setPen(QPen(QColor(20, 14, 10), 1.0));
  c.p.setBrush(Qt::NoBrush);
  c.p.drawPath(glass);
  c.p.restore();
}

QImage crop(const QImage& image, const QRect& logical, int scale) {
  return image.copy(logical.x() * scale, logical.y() * scale, logical.width() * scale,
                    logical.height() * scale);
}

} // namespace

void paintCoverKeys(Canvas& c) {
  using namespace layout;
  QImage under = render(QStringLiteral("keyboard_panel"), c.scale);
  {
    QPainter p(&under);
    const QImage white = render(QStringLiteral("white_step_off"), c.scale);
    const QImage black = render(QStringLiteral("black_step_off"), c.scale);
    for (int i = 0; i < 7; ++i)
      p.drawImage(local(kKeyboardPanel, whiteKey(i)).topLeft() * c.scale, white);
    for (int i = 0; i < 5; ++i)
      p.drawImage(local(kKeyboardPanel, blackKey(i)).topLeft() * c.scale, black);
  }
  smoke(c, crop(under, local(kKeyboardPanel, kCoverKeys), c.scale));
}

void paintCoverPitch(Canvas& c) {
  using namespace layout;
  QImage under = render(QStringLiteral("pitch_panel"), c.scale);
  {
    QPainter p(&under);
    const QImage strip = render(QStringLiteral("knobline"), c.scale);
    const QImage middle = strip.copy(20 * kKnob * c.scale, 0, kKnob * c.scale, kKnob * c.scale);
    p.drawImage(local(kPitchPanel, knobRect(kPitchKnob)).topLeft() * c.scale, middle);
  }
  smoke(c, crop(under, local(kPitchPanel, kCoverPitch), c.scale));
}

} // namespace skin
