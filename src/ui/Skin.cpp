#include "ui/Skin.h"

#include "SkinResources.h"

#include <QGuiApplication>
#include <QPainter>

namespace lw {

QPixmap Cut(const QPixmap& strip, QRect logical) {
  const qreal ratio = strip.devicePixelRatio();
  const QRect device(qRound(logical.x() * ratio), qRound(logical.y() * ratio),
                     qRound(logical.width() * ratio), qRound(logical.height() * ratio));
  QPixmap piece = strip.copy(device);
  piece.setDevicePixelRatio(ratio);
  return piece;
}

QPixmap SkinPicture(const QString& name, QSize size) {
  static const bool registered = (InitSkinResources(), true);
  (void)registered;
  // Drawn twice as dense for high-density screens; the file's name gives its pixel ratio.
  const bool dense = qApp != nullptr && qApp->devicePixelRatio() > 1.0;
  const QString base = QStringLiteral(":/skin/") + name;
  QPixmap picture(base + (dense ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
  if (picture.isNull()) {
    picture = QPixmap(base + QStringLiteral(".png"));
  }
  if (picture.isNull() || picture.deviceIndependentSize().toSize() != size) {
    picture = QPixmap(size);
    picture.fill(kFieldColour);
  }
  return picture;
}

void LoadSkin(Skin& skin) {
  skin.channelPanel = SkinPicture("channel_panel", {149, 118});
  skin.lcd = SkinPicture("lcd", {426, 81});
  skin.keyboardPanel = SkinPicture("keyboard_panel", {221, 125});
  skin.pitchPanel = SkinPicture("pitch_panel", {59, 94});
  skin.tempoPanel = SkinPicture("tempo_panel", {132, 115});
  skin.effectsPanel = SkinPicture("effects_panel", {96, 171});
  skin.patternFrame = SkinPicture("pattern_frame", {96, 61});
  skin.bankFrame = SkinPicture("bank_frame", {96, 61});
  skin.samplesPressed = SkinPicture("samples_pressed", {72, 25});
  skin.songPressed = SkinPicture("song_pressed", {72, 25});
  skin.samplesButton = SkinPicture("samples_button", {72, 25});
  skin.songButton = SkinPicture("song_button", {72, 25});
  skin.recordOn = SkinPicture("record_on", {72, 25});
  skin.recordOff = SkinPicture("record_off", {72, 25});
  skin.emblem = SkinPicture("emblem", {109, 96});
  skin.logo = SkinPicture("logo", {166, 38});
  skin.coverKeys = SkinPicture("cover_keys", {209, 64});
  skin.coverPitch = SkinPicture("cover_pitch", {45, 47});
  skin.activeLed = SkinPicture("active_led", {14, 5});
  skin.playOn = SkinPicture("play_on", {42, 20});
  skin.playOff = SkinPicture("play_off", {42, 20});
  skin.distortOn = SkinPicture("distort_on", {15, 13});
  skin.distortOff = SkinPicture("distort_off", {15, 13});
  skin.octaveOn = SkinPicture("octave_on", {23, 16});
  skin.octaveOff = SkinPicture("octave_off", {23, 16});
  skin.whiteStepOn = SkinPicture("white_step_on", {23, 25});
  skin.whiteStepOff = SkinPicture("white_step_off", {23, 25});
  skin.blackStepOn = SkinPicture("black_step_on", {23, 25});
  skin.blackStepOff = SkinPicture("black_step_off", {23, 25});
  skin.minus10 = SkinPicture("minus_10", {23, 25});
  skin.plus10 = SkinPicture("plus_10", {23, 25});
  for (int i = 0; i < 8; ++i) {
    skin.bp[i] = SkinPicture(QStringLiteral("bp%1").arg(i + 1), {77, 37});
  }
  skin.knobLine = SkinPicture("knobline", {760, 19});
  skin.symbolLine = SkinPicture("symbolline", {120, 30});
}

void BuildKnobBitmaps(Skin& skin) {
  for (int i = 0; i < 40; ++i) {
    skin.knobFrames[i] = Cut(skin.knobLine, QRect(19 * i, 0, 19, 19));
  }
  for (int i = 0; i < 8; ++i) {
    skin.sampleSymbols[i] = Cut(skin.symbolLine, QRect(15 * i, 0, 15, 15));
    skin.sampleSymbols[8 + i] = Cut(skin.symbolLine, QRect(15 * i, 15, 15, 15));
  }
  skin.knobLine = QPixmap();
  skin.symbolLine = QPixmap();
}

} // namespace lw
