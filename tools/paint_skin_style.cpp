#include "paint_skin_style.h"

#include "paint_skin_marks.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace skin {

QColor mix(const QColor& a, const QColor& b, double t) {
  auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
  return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                lerp(a.alpha(), b.alpha()));
}

QColor withAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

QFont labelFont(double pixels, bool bold, bool condensed) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(static_cast<int>(std::lround(pixels)));
  f.setBold(bold);
  if (condensed)
    f.setStretch(QFont::Condensed);
  // Small labels must stay crisp at 1x; the hinter snaps their stems to whole pixels.
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

QFont titleFont(double pixels) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(static_cast<int>(std::lround(pixels)));
  f.setBold(true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, pixels / 10.0);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

void engrave(Canvas& c, const QRectF& r, int flags, const QString& text, const QFont& font,
             const QColor& ink) {
  c.p.save();
  c.p.setFont(font);
  // The lip is one device pixel: enough to read as a cut, too little to blur the letters.
  const double lip = 1.0 / c.scale;
  c.p.setPen(withAlpha(colour::kInkLight, 150));
  c.p.drawText(r.translated(0, lip), flags, text);
  c.p.setPen(ink);
  c.p.drawText(r, flags, text);
  c.p.restore();
}

void groove(Canvas& c, double x0, double x1, double y) {
  c.p.fillRect(QRectF(x0, y, x1 - x0, 1), withAlpha(colour::kPlateDark, 200));
  c.p.fillRect(QRectF(x0, y + 1, x1 - x0, 1), withAlpha(colour::kPlateLight, 170));
}

static QPainterPath rounded(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, std::max(0.0, radius), std::max(0.0, radius));
  return path;
}

void plate(Canvas& c, const QRectF& r, double radius, uint32_t seed,
           const std::vector<KeepOut>& flat, const QColor& face) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.fillRect(r, colour::kWindow);
  c.p.fillPath(rounded(r, radius), colour::kGroove);
  QLinearGradient bevelLight(r.topLeft(), r.bottomRight());
  bevelLight.setColorAt(0.0, colour::kPlateLight);
  bevelLight.setColorAt(0.45, mix(colour::kPlateLight, face, 0.6));
  bevelLight.setColorAt(0.55, mix(colour::kPlateDark, face, 0.5));
  bevelLight.setColorAt(1.0, colour::kPlateDark);
  c.p.fillPath(rounded(r.adjusted(1, 1, -1, -1), radius - 1), bevelLight);
  const QPainterPath facePath = rounded(r.adjusted(2, 2, -2, -2), radius - 2);
  c.p.fillPath(facePath, face);
  c.p.restore();
  brush(c, facePath, seed, 9.0, flat);
}

void brush(Canvas& c, const QPainterPath& clip, uint32_t seed, double strength,
           const std::vector<KeepOut>& flat) {
  const int w = c.size.width() * c.scale;
  const int h = c.size.height() * c.scale;
  QImage streaks(w, h, QImage::Format_ARGB32_Premultiplied);
  streaks.fill(Qt::transparent);
  Noise noise(seed);
  // Long streaks along x, the same length in logical pixels at every density.
  const double keep = std::pow(0.86, 1.0 / c.scale);
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(streaks.scanLine(y));
    const double row = noise.signedUnit() * 0.5;
    double streak = noise.signedUnit() * 0.3;
    for (int x = 0; x < w; ++x) {
      streak = streak * keep + noise.signedUnit() * (1.0 - keep);
      double v = (row + streak * 2.2) * strength;
      const QPointF at((x + 0.5) / c.scale, (y + 0.5) / c.scale);
      for (const KeepOut& k : flat) {
        const double d = std::hypot(at.x() - k.centre.x(), at.y() - k.centre.y());
        v *= std::clamp((d - k.radius) / 3.0, 0.0, 1.0);
      }
      const int a = std::clamp(static_cast<int>(std::lround(std::abs(v))), 0, 255);
      if (a == 0)
        continue;
      line[x] = v > 0 ? qRgba(a, a, a, a) : qRgba(0, 0, 0, a);
    }
  }
  streaks.setDevicePixelRatio(c.scale);
  c.p.save();
  c.p.setClipPath(clip);
  c.p.drawImage(QPointF(0, 0), streaks);
  c.p.restore();
}

Marks bezelMarks(const QRectF& inner, double width, double radius) {
  const QRectF outer = inner.adjusted(-width, -width, width, width);
  QLinearGradient lip(outer.topLeft(), outer.bottomRight());
  lip.setColorAt(0.0, colour::kPlateDark);
  lip.setColorAt(0.5, mix(colour::kPlateDark, colour::kPlateLight, 0.5));
  lip.setColorAt(1.0, colour::kPlateLight);
  return {
      fillPathMark(rounded(outer, radius + width), lip),
      fillPathMark(rounded(outer.adjusted(1, 1, -1, -1), radius + width - 1), QColor(30, 24, 20))};
}

void bezel(Canvas& c, const QRectF& inner, double width, double radius) {
  draw(c, bezelMarks(inner, width, radius));
}

void screw(Canvas& c, QPointF centre, double angleDegrees) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient head(centre - QPointF(0.8, 0.8), 3.2);
  head.setColorAt(0.0, QColor(246, 230, 208));
  head.setColorAt(1.0, QColor(132, 108, 86));
  c.p.setPen(QPen(withAlpha(colour::kGroove, 220), 0.8));
  c.p.setBrush(head);
  c.p.drawEllipse(centre, 2.4, 2.4);
  const double a = angleDegrees * std::numbers::pi / 180.0;
  const QPointF d(std::cos(a) * 1.9, std::sin(a) * 1.9);
  c.p.setPen(QPen(QColor(70, 52, 38), 0.9, Qt::SolidLine, Qt::FlatCap));
  c.p.drawLine(centre - d, centre + d);
  c.p.restore();
}

QRectF capFace(const QRectF& r, bool pressed) {
  return pressed ? r.adjusted(1, 2, -1, -1) : r.adjusted(1, 1, -1, -3);
}

void cap(Canvas& c, const QRectF& r, const QColor& face, bool pressed, double radius) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  if (pressed) {
    // The hole in the panel, and the cap sitting low in it, in its own shadow.
    c.p.fillPath(rounded(r, radius), QColor(34, 24, 16));
    const QRectF f = capFace(r, true);
    QLinearGradient g(f.topLeft(), f.bottomLeft());
    g.setColorAt(0.0, mix(face, Qt::black, 0.32));
    g.setColorAt(0.35, mix(face, Qt::black, 0.16));
    g.setColorAt(1.0, mix(face, Qt::black, 0.22));
    c.p.fillPath(rounded(f, radius - 1), g);
  } else {
    c.p.fillPath(rounded(r, radius), QColor(44, 30, 20));
    // The skirt: the side of the cap, seen below its top.
    c.p.fillPath(rounded(r.adjusted(1, 1, -1, -1), radius - 0.5), mix(face, Qt::black, 0.42));
    const QRectF f = capFace(r, false);
    QLinearGradient g(f.topLeft(), f.bottomLeft());
    g.setColorAt(0.0, mix(face, Qt::white, 0.45));
    g.setColorAt(0.25, face);
    g.setColorAt(1.0, mix(face, Qt::black, 0.14));
    c.p.fillPath(rounded(f, radius - 1), g);
    c.p.fillRect(QRectF(f.left() + 1.5, f.top(), f.width() - 3, 1), withAlpha(Qt::white, 110));
  }
  c.p.restore();
}

void lamp(Canvas& c, const QRectF& r, const QColor& hue, bool lit, bool pressed) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.fillPath(rounded(r, 2.0), QColor(26, 20, 16));
  QLinearGradient rim(r.topLeft(), r.bottomLeft());
  rim.setColorAt(0.0, pressed ? QColor(24, 20, 18) : QColor(112, 102, 94));
  rim.setColorAt(1.0, pressed ? QColor(58, 52, 48) : QColor(40, 36, 33));
  c.p.fillPath(rounded(r.adjusted(1, 1, -1, -1), 1.5), rim);
  QRectF lens = r.adjusted(2, 2, -2, -2);
  if (pressed)
    lens.translate(0, 0.5);
  if (lit) {
    QRadialGradient g(lens.center(), std::max(lens.width(), lens.height()) * 0.62);
    g.setColorAt(0.0, mix(hue, Qt::white, 0.72));
    g.setColorAt(0.45, mix(hue, Qt::white, 0.25));
    g.setColorAt(1.0, mix(hue, Qt::black, 0.12));
    c.p.fillPath(rounded(lens, 1.2), g);
  } else {
    const QColor glass = mix(hue, QColor(20, 14, 10), pressed ? 0.86 : 0.74);
    QRadialGradient g(lens.center() + QPointF(0, lens.height() * 0.2), lens.width() * 0.7);
    g.setColorAt(0.0, mix(glass, hue, 0.12));
    g.setColorAt(1.0, mix(glass, Qt::black, 0.35));
    c.p.fillPath(rounded(lens, 1.2), g);
  }
  // A reflection on the glass, strongest on a lamp that is not lit.
  const QRectF shine(lens.left() + 1, lens.top() + 0.6, lens.width() - 2, lens.height() * 0.38);
  QLinearGradient s(shine.topLeft(), shine.bottomLeft());
  s.setColorAt(0.0, withAlpha(Qt::white, lit ? 120 : (pressed ? 25 : 70)));
  s.setColorAt(1.0, withAlpha(Qt::white, 0));
  c.p.fillPath(rounded(shine, 1.0), s);
  c.p.restore();
}

void led(Canvas& c, const QRectF& r, const QColor& hue, bool lit) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  c.p.fillPath(rounded(r, 1.6), QColor(36, 24, 16));
  const QRectF lens = r.adjusted(1, 1, -1, -1);
  QLinearGradient g(lens.topLeft(), lens.bottomLeft());
  if (lit) {
    g.setColorAt(0.0, mix(hue, Qt::white, 0.8));
    g.setColorAt(0.5, mix(hue, Qt::white, 0.3));
    g.setColorAt(1.0, hue);
  } else {
    g.setColorAt(0.0, mix(hue, Qt::black, 0.55));
    g.setColorAt(1.0, mix(hue, Qt::black, 0.78));
  }
  c.p.fillPath(rounded(lens, 1.0), g);
  c.p.restore();
}

static QPointF polar(QPointF centre, double degreesFromUp, double radius) {
  const double a = degreesFromUp * std::numbers::pi / 180.0;
  return centre + QPointF(std::sin(a) * radius, -std::cos(a) * radius);
}

void knobScale(Canvas& c, QPointF centre) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i <= 10; ++i) {
    const double a = -150.0 + 30.0 * i;
    const bool major = i == 0 || i == 5 || i == 10;
    c.p.setPen(QPen(withAlpha(colour::kInk, major ? 230 : 170), major ? 1.2 : 0.9, Qt::SolidLine,
                    Qt::FlatCap));
    c.p.drawLine(polar(centre, a, 10.9), polar(centre, a, major ? 13.4 : 12.6));
  }
  c.p.restore();
}

void knob(Canvas& c, QPointF centre, double fraction) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setPen(Qt::NoPen);
  QRadialGradient shadow(centre + QPointF(0.4, 1.0), 9.6);
  shadow.setColorAt(0.75, withAlpha(Qt::black, 110));
  shadow.setColorAt(1.0, withAlpha(Qt::black, 0));
  c.p.setBrush(shadow);
  c.p.drawEllipse(centre + QPointF(0.4, 1.0), 9.6, 9.6);

  QLinearGradient skirt(centre - QPointF(0, 8.6), centre + QPointF(0, 8.6));
  skirt.setColorAt(0.0, QColor(96, 90, 86));
  skirt.setColorAt(1.0, QColor(18, 16, 15));
  c.p.setBrush(skirt);
  c.p.drawEllipse(centre, 8.6, 8.6);

  // Spun metal: the sheen stays put while the knob turns, as a fixed light would.
  QConicalGradient spun(centre, 90);
  const int greys[] = {82, 60, 98, 62, 86, 58, 94, 64, 82};
  for (int i = 0; i < 9; ++i)
    spun.setColorAt(i / 8.0, QColor(greys[i], greys[i] - 5, greys[i] - 10));
  c.p.setBrush(spun);
  c.p.drawEllipse(centre, 7.2, 7.2);
  QRadialGradient dome(centre - QPointF(1.5, 2.0), 8.0);
  dome.setColorAt(0.0, withAlpha(Qt::white, 40));
  dome.setColorAt(1.0, withAlpha(Qt::black, 70));
  c.p.setBrush(dome);
  c.p.drawEllipse(centre, 7.2, 7.2);

  const double a = -150.0 + 300.0 * fraction;
  c.p.setPen(QPen(withAlpha(Qt::black, 150), 2.8, Qt::SolidLine, Qt::RoundCap));
  c.p.drawLine(polar(centre, a, 2.4), polar(centre, a, 7.0));
  c.p.setPen(QPen(QColor(255, 236, 208), 1.6, Qt::SolidLine, Qt::RoundCap));
  c.p.drawLine(polar(centre, a, 2.4), polar(centre, a, 7.0));
  c.p.restore();
}

} // namespace skin
