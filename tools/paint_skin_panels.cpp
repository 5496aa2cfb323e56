#include "paint_skin_layout.h"
#include "paint_skin_parts.h"
#include "paint_skin_pictures.h"

#include <QFontMetricsF>

namespace skin {

using namespace layout;

namespace {

constexpr double kKnobKeepOut = 14.5; // the knob square's corners reach 13.4 from its centre

QRectF whole(const Canvas& c) {
  return QRectF(QPointF(0, 0), c.size);
}

// A label centred under (or over) a point.
void caption(Canvas& c, double centreX, double top, const QString& text, double pixels = 9) {
  engrave(c, QRectF(centreX - 30, top, 60, pixels + 3), Qt::AlignHCenter | Qt::AlignTop, text,
          labelFont(pixels));
}

// A section heading with a groove running out to either side of it.
void heading(Canvas& c, double y, const QString& text, double left, double right) {
  const QFont font = titleFont(10);
  const double width = QFontMetricsF(font).horizontalAdvance(text);
  const double mid = (left + right) / 2.0;
  engrave(c, QRectF(left, y, right - left, 13), Qt::AlignHCenter | Qt::AlignTop, text, font);
  groove(c, left, mid - width / 2.0 - 4, y + 6);
  groove(c, mid + width / 2.0 + 4, right, y + 6);
}

void knobSeat(Canvas& c, QPointF centre) {
  knobScale(c, centre);
}

std::vector<KeepOut> keepOuts(const QRect& panel, std::initializer_list<QPoint> knobs) {
  std::vector<KeepOut> out;
  for (QPoint k : knobs)
    out.push_back({knobCentre(panel, k), kKnobKeepOut});
  return out;
}

void corners(Canvas& c, std::initializer_list<QPointF> at) {
  double angle = 20;
  for (QPointF p : at) {
    screw(c, p, angle);
    angle += 47;
  }
}

} // namespace

void paintChannelPanel(Canvas& c) {
  const QRect& P = kChannelPanel;
  std::vector<KeepOut> flat;
  for (int row = 0; row < 3; ++row)
    for (QPoint k : {kDelayKnobs[row], kVolumeKnobs[row]})
      flat.push_back({knobCentre(P, k), kKnobKeepOut});
  plate(c, whole(c), 5, 101, flat);

  const double top = 2;
  caption(c, knobCentre(P, kDelayKnobs[0]).x(), top, QStringLiteral("delay"));
  caption(c, knobCentre(P, kVolumeKnobs[0]).x(), top, QStringLiteral("volume"));
  caption(c, QRectF(local(P, kDistortToggles[0])).center().x(), top, QStringLiteral("dist."));
  caption(c, QRectF(local(P, kChannelButtons[0])).center().x(), top, QStringLiteral("select"));

  for (int row = 0; row < 3; ++row) {
    const QPointF delay = knobCentre(P, kDelayKnobs[row]);
    knobSeat(c, delay);
    knobSeat(c, knobCentre(P, kVolumeKnobs[row]));
    drawDistortLamp(c, local(P, kDistortToggles[row]), Look::Pressed);
    drawOctaveLamp(c, local(P, kChannelButtons[row]), Look::Pressed);
    // The channel number in a small engraved ring at the start of its row.
    const QPointF badge(8.5, delay.y());
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(QPen(withAlpha(colour::kInk, 200), 1.0));
    c.p.setBrush(withAlpha(colour::kPlateDark, 60));
    c.p.drawEllipse(badge, 5.0, 5.0);
    c.p.restore();
    engrave(c, QRectF(badge.x() - 5, badge.y() - 6, 10, 12), Qt::AlignCenter,
            QString::number(row + 1), labelFont(9, true, false));
  }
  engrave(c, QRectF(0, 101, c.size.width(), 12), Qt::AlignHCenter | Qt::AlignTop,
          QStringLiteral("CHANNELS"), titleFont(9));
  corners(c, {{7, 106.5}, {141.5, 106.5}});
}

void paintKeyboardPanel(Canvas& c) {
  const QRect& P = kKeyboardPanel;
  const QRectF ledAt = local(P, kLedOverKeys);
  plate(c, whole(c), 5, 202, {{ledAt.center(), 9}});
  drawLedSocket(c, ledAt);
  engrave(c, QRectF(ledAt.right() + 5, 0, 80, 11), Qt::AlignLeft | Qt::AlignVCenter,
          QStringLiteral("note"), labelFont(9));

  // The key bed: a shallow engraved outline, which the cover fills exactly.
  const QRectF bed = local(P, kCoverKeys);
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setBrush(Qt::NoBrush);
  c.p.setPen(QPen(withAlpha(colour::kPlateLight, 170), 1.0));
  c.p.drawRoundedRect(bed.adjusted(1.5, 1.5, -0.5, -0.5), 3, 3);
  c.p.setPen(QPen(withAlpha(colour::kPlateDark, 210), 1.0));
  c.p.drawRoundedRect(bed.adjusted(0.5, 0.5, -1.5, -1.5), 3, 3);
  c.p.restore();

  static const char* const names[] = {"C", "D", "E", "F", "G", "A", "B"};
  for (int i = 0; i < 7; ++i) {
    const QRectF key = local(P, whiteKey(i));
    drawKey(c, key, false, Look::Pressed);
    caption(c, key.center().x(), bed.bottom() + 1, QString::fromLatin1(names[i]), 8);
  }
  for (int i = 0; i < 5; ++i)
    drawKey(c, local(P, blackKey(i)), true, Look::Pressed);

  const QRectF first = local(P, kOctaveButtons[0]);
  engrave(c, QRectF(4, first.top(), first.left() - 8, first.height()),
          Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Octave"), labelFont(10));
  for (int i = 0; i < 5; ++i) {
    const QRectF button = local(P, kOctaveButtons[i]);
    drawOctaveLamp(c, button, Look::Pressed);
    caption(c, button.center().x(), button.bottom() + 1.5, QString::number(i + 1), 9);
  }
  corners(c, {{7, 117.5}, {213.5, 117.5}, {213.5, 7}});
}

void paintPitchPanel(Canvas& c) {
  const QRect& P = kPitchPanel;
  const QRectF ledAt = local(P, kLedOverPitch);
  const QPointF centre = knobCentre(P, kPitchKnob);
  plate(c, whole(c), 5, 303, {{ledAt.center(), 9}, {centre, kKnobKeepOut}});
  drawLedSocket(c, ledAt);
  caption(c, c.size.width() / 2.0, 11, QStringLiteral("Pitch"), 10);
  caption(c, c.size.width() / 2.0, 23, QStringLiteral("change"), 9);
  const QRectF well = local(P, kCoverPitch);
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  c.p.setBrush(Qt::NoBrush);
  c.p.setPen(QPen(withAlpha(colour::kPlateLight, 170), 1.0));
  c.p.drawRoundedRect(well.adjusted(1.5, 1.5, -0.5, -0.5), 3, 3);
  c.p.setPen(QPen(withAlpha(colour::kPlateDark, 210), 1.0));
  c.p.drawRoundedRect(well.adjusted(0.5, 0.5, -1.5, -1.5), 3, 3);
  c.p.restore();
  knobSeat(c, centre);
  caption(c, centre.x() - 9, centre.y() + 12, QStringLiteral("\u2212"), 9);
  caption(c, centre.x() + 9, centre.y() + 12, QStringLiteral("+"), 9);
  corners(c, {{7, 88.5}, {51.5, 88.5}});
}

void paintTempoPanel(Canvas& c) {
  const QRect& P = kTempoPanel;
  const QPointF shuffle = knobCentre(P, kShuffleKnob);
  plate(c, whole(c), 5, 404, {{shuffle, kKnobKeepOut}});
  const QRectF box = local(P, kTempoBox);
  caption(c, box.center().x(), 4, QStringLiteral("tempo"), 10);
  bezel(c, box, 3, 1.5);
  c.p.fillRect(box, Qt::white);
  caption(c, box.center().x(), box.bottom() + 4, QStringLiteral("bpm"), 8);
  drawTempoStep(c, local(P, kMinus10), -10, Look::Pressed);
  drawTempoStep(c, local(P, kPlus10), +10, Look::Pressed);
  knobSeat(c, shuffle);
  caption(c, shuffle.x(), 93, QStringLiteral("shuffle"));
  const QRectF play = local(P, kPlayButton);
  drawPlayButton(c, play, Look::Pressed);
  caption(c, play.center().x(), 93, QStringLiteral("play"));
  corners(c, {{7, 7}, {125, 7}, {7, 108}, {125, 108}});
}

void paintEffectsPanel(Canvas& c) {
  const QRect& P = kEffectsPanel;
  plate(c, whole(c), 5, 505, keepOuts(P, {kDecayKnob, kStepsKnob, kDistortKnob, kVinylKnob}));
  const double right = c.size.width();
  heading(c, 14, QStringLiteral("Delay"), 12, right - 12);
  heading(c, 100, QStringLiteral("Lo-Fi"), 12, right - 12);
  groove(c, 8, right - 8, 86);
  const struct {
    QPoint knob;
    const char* label;
  } knobs[] = {{kDecayKnob, "decay"},
               {kStepsKnob, "steps"},
               {kDistortKnob, "distort"},
               {kVinylKnob, "vinyl"}};
  for (const auto& k : knobs) {
    const QPointF centre = knobCentre(P, k.knob);
    knobSeat(c, centre);
    caption(c, centre.x(), centre.y() + 15, QString::fromLatin1(k.label));
  }
  corners(c, {{7, 7}, {89, 7}, {7, 164}, {89, 164}});
}

void paintCellFrame(Canvas& c, const QString& label) {
  plate(c, whole(c), 5, label.size() * 31u);
  const QRectF cells = local(kPatternFrame, kPatternCells);
  engrave(c, QRectF(0, 2, c.size.width(), 12), Qt::AlignHCenter | Qt::AlignTop, label,
          titleFont(9));
  bezel(c, cells, 2.5, 1.5);
  corners(c, {{6, 6.5}, {c.size.width() - 6.5, 6.5}});
}

} // namespace skin
