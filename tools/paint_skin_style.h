// The shared vocabulary of the LoopWren skin: its colours, its type, and the few
// pieces of hardware every window is built from (plates, bezels, caps, lamps, knob
// scales). Every painter works in logical 1x pixels; the canvas carries the density.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

namespace skin {

namespace colour {
inline const QColor kWindow{197, 155, 114};
inline const QColor kField{255, 226, 196};
inline const QColor kLcd{111, 168, 239};
inline const QColor kPlate{204, 163, 122};
inline const QColor kPlateLight{238, 208, 172};
inline const QColor kPlateDark{128, 90, 58};
inline const QColor kGroove{96, 64, 40};
inline const QColor kInk{54, 33, 18};
inline const QColor kInkLight{240, 214, 182};
inline const QColor kGraphite{48, 42, 38};
inline const QColor kLcdInk{14, 32, 74};
inline const QColor kLcdFaint{92, 146, 222};
inline const QColor kAmber{255, 176, 52};
inline const QColor kRed{255, 86, 48};
inline const QColor kGreen{130, 238, 96};
} // namespace colour

// Deterministic noise: the skin must come out byte for byte the same on every build.
class Noise {
public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  double uniform() { return (next() >> 8) * (1.0 / 16777216.0); } // [0, 1)
  double signedUnit() { return uniform() * 2.0 - 1.0; }

private:
  uint32_t state_;
};

// What a painter draws on: the painter is already scaled to logical pixels.
struct Canvas {
  QPainter& p;
  int scale;
  QSize size; // logical
};

struct KeepOut { // a round area a texture must leave flat (under a knob)
  QPointF centre;
  double radius;
};

QFont labelFont(double pixels, bool bold = true, bool condensed = true);
QFont titleFont(double pixels);

// Text cut into a plate: dark letters with a light lip below them.
void engrave(Canvas& c, const QRectF& r, int flags, const QString& text, const QFont& font,
             const QColor& ink = colour::kInk);
// Horizontal engraved groove, for dividers.
void groove(Canvas& c, double x0, double x1, double y);

// A raised brushed plate filling r; corners outside it get the window colour.
void plate(Canvas& c, const QRectF& r, double radius, uint32_t seed,
           const std::vector<KeepOut>& flat = {}, const QColor& face = colour::kPlate);
// Fine horizontal brushing laid over what is already painted inside clip.
void brush(Canvas& c, const QPainterPath& clip, uint32_t seed, double strength,
           const std::vector<KeepOut>& flat = {});
// A dark recessed frame whose inner edge is inner.
void bezel(Canvas& c, const QRectF& inner, double width, double radius = 2.0);
void screw(Canvas& c, QPointF centre, double angleDegrees);

// A push-button cap; pressed draws it pushed into the panel. capFace is where its
// label goes, which moves down when the cap is pushed.
QRectF capFace(const QRectF& r, bool pressed);
void cap(Canvas& c, const QRectF& r, const QColor& face, bool pressed, double radius = 2.5);
// A lamp window: a glass lens in a dark bezel, glowing when lit.
void lamp(Canvas& c, const QRectF& r, const QColor& hue, bool lit, bool pressed = false);
void led(Canvas& c, const QRectF& r, const QColor& hue, bool lit);

// The scale printed round a knob; the knob frames repeat it so that no seam shows.
void knobScale(Canvas& c, QPointF centre);
void knob(Canvas& c, QPointF centre, double fraction);

QColor mix(const QColor& a, const QColor& b, double t);
QColor withAlpha(QColor c, int alpha);

} // namespace skin
