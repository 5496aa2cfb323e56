#include "paint_skin_catalog.h"

#include "paint_skin_parts.h"
#include "paint_skin_pictures.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace skin {

namespace {

using Paint = std::function<void(Canvas&)>;

std::vector<Picture> build() {
  std::vector<Picture> all = {
      {"channel_panel", {149, 118}, paintChannelPanel},
      {"lcd", {426, 81}, paintLcd},
      {"keyboard_panel", {221, 125}, paintKeyboardPanel},
      {"pitch_panel", {59, 94}, paintPitchPanel},
      {"tempo_panel", {132, 115}, paintTempoPanel},
      {"effects_panel", {96, 171}, paintEffectsPanel},
      {"pattern_frame", {96, 61}, [](Canvas& c) { paintCellFrame(c, "PATTERN"); }},
      {"bank_frame", {96, 61}, [](Canvas& c) { paintCellFrame(c, "BANK"); }},
  };
  for (int n = 1; n <= 8; ++n)
    all.push_back({QStringLiteral("bp%1").arg(n), {77, 37}, [n](Canvas& c) { paintCells(c, n); }});
  const auto wide = [](const char* label, Look look) -> Paint {
    return [label, look](Canvas& c) {
      c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
      drawWideButton(c, QRectF(QPointF(0, 0), c.size), label, look);
    };
  };
  const auto key = [](bool black, Look look) -> Paint {
    return [black, look](Canvas& c) {
      c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kPlate);
      drawKey(c, QRectF(QPointF(0, 0), c.size), black, look);
    };
  };
  const auto onPlate = [](void (*draw)(Canvas&, const QRectF&, Look), Look look) -> Paint {
    return [draw, look](Canvas& c) {
      c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kPlate);
      draw(c, QRectF(QPointF(0, 0), c.size), look);
    };
  };
  const auto step = [](int delta) -> Paint {
    return [delta](Canvas& c) {
      c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kPlate);
      drawTempoStep(c, QRectF(QPointF(0, 0), c.size), delta, Look::Off);
    };
  };
  const std::vector<Picture> rest = {
      {"samples_pressed", {72, 25}, wide("SAMPLES", Look::Pressed)},
      {"song_pressed", {72, 25}, wide("SONG", Look::Pressed)},
      {"samples_button", {72, 25}, wide("SAMPLES", Look::Off)},
      {"song_button", {72, 25}, wide("SONG", Look::Off)},
      {"record_on",
       {72, 25},
       [](Canvas& c) {
         c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
         drawRecordButton(c, QRectF(QPointF(0, 0), c.size), Look::On);
       }},
      {"record_off",
       {72, 25},
       [](Canvas& c) {
         c.p.fillRect(QRectF(QPointF(0, 0), c.size), colour::kWindow);
         drawRecordButton(c, QRectF(QPointF(0, 0), c.size), Look::Off);
       }},
      {"emblem", {109, 96}, paintEmblem},
      {"logo", {166, 38}, paintLogo},
      {"cover_keys", {209, 64}, paintCoverKeys},
      {"cover_pitch", {45, 47}, paintCoverPitch},
      {"active_led", {14, 5}, paintActiveLed},
      {"play_on", {42, 20}, onPlate(drawPlayButton, Look::On)},
      {"play_off", {42, 20}, onPlate(drawPlayButton, Look::Off)},
      {"distort_on", {15, 13}, onPlate(drawDistortLamp, Look::On)},
      {"distort_off", {15, 13}, onPlate(drawDistortLamp, Look::Off)},
      {"octave_on", {23, 16}, onPlate(drawOctaveLamp, Look::On)},
      {"octave_off", {23, 16}, onPlate(drawOctaveLamp, Look::Off)},
      {"white_step_on", {23, 25}, key(false, Look::On)},
      {"white_step_off", {23, 25}, key(false, Look::Off)},
      {"black_step_on", {23, 25}, key(true, Look::On)},
      {"black_step_off", {23, 25}, key(true, Look::Off)},
      {"minus_10", {23, 25}, step(-10)},
      {"plus_10", {23, 25}, step(+10)},
      {"knobline", {760, 19}, paintKnobLine},
      {"symbolline", {120, 30}, paintSymbolLine},
      {"splash", {452, 303}, paintSplash},
      {"about_loopwren", {222, 49}, paintAboutLoopWren},
      {"about_kestra", {320, 85}, paintAboutKestra},
      {"about_kestra_strip", {320, 15}, paintAboutKestraStrip},
      {"about_author", {250, 221}, paintAboutAuthor},
      {"delete16", {16, 16}, [](Canvas& c) { paintDelete(c, true); }, false},
      {"delete16_disabled", {16, 16}, [](Canvas& c) { paintDelete(c, false); }, false},
      {"replace16", {16, 16}, [](Canvas& c) { paintReplace(c, true); }, false},
      {"replace16_disabled", {16, 16}, [](Canvas& c) { paintReplace(c, false); }, false},
      {"icon", {256, 256}, paintIcon, false},
  };
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

} // namespace

const std::vector<Picture>& catalog() {
  static const std::vector<Picture> all = build();
  return all;
}

const Picture& picture(const QString& name) {
  for (const Picture& p : catalog())
    if (p.name == name)
      return p;
  throw std::invalid_argument("no skin picture named " + name.toStdString());
}

QImage render(const Picture& picture, int scale) {
  return renderAtDensity(picture, scale);
}

QImage renderAtDensity(const Picture& picture, double density) {
  const QSize pixels(static_cast<int>(std::lround(picture.size.width() * density)),
                     static_cast<int>(std::lround(picture.size.height() * density)));
  QImage image(pixels, picture.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  image.fill(picture.opaque ? colour::kWindow : QColor(Qt::transparent));
  {
    QPainter p(&image);
    p.scale(density, density);
    // Textures are made at the next whole density and scaled down smoothly to this one.
    const int whole = std::max(1, static_cast<int>(std::ceil(density)));
    if (whole != density)
      p.setRenderHint(QPainter::SmoothPixmapTransform);
    Canvas c{p, whole, picture.size};
    picture.paint(c);
  }
  return image;
}

QImage render(const QString& name, int scale) {
  return render(picture(name), scale);
}

} // namespace skin
