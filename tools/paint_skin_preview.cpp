#include "paint_skin_preview.h"

#include "paint_skin_catalog.h"
#include "paint_skin_layout.h"

#include <QPainter>

namespace skin {

using namespace layout;

namespace {

class Window {
public:
  explicit Window(int scale)
      : scale_(scale), image_(kWindow * scale, QImage::Format_RGB32), p_(&image_) {
    image_.fill(colour::kWindow);
    knobs_ = render(QStringLiteral("knobline"), scale);
    symbols_ = render(QStringLiteral("symbolline"), scale);
  }

  void place(const QString& name, QPoint at) { p_.drawImage(at * scale_, render(name, scale_)); }
  void place(const QString& name, const QRect& at) { place(name, at.topLeft()); }
  void knob(QPoint at, int frame) {
    const int k = kKnob * scale_;
    p_.drawImage(at * scale_, knobs_, QRect(frame * k, 0, k, k));
  }
  // What the program draws on the lcd bitmap itself, in lcd coordinates.
  void symbol(int step, int sample) {
    const int s = 15 * scale_;
    const QPoint at = (kLcd.topLeft() + QPoint(69 + 21 * step, 29)) * scale_;
    p_.drawImage(at, symbols_, QRect((sample % 8) * s, (sample % 16 / 8) * s, s, s));
  }
  void controller(int step, bool set) {
    p_.save();
    p_.scale(scale_, scale_);
    p_.translate(kLcd.topLeft() + QPoint(21 * step, 0));
    p_.fillRect(QRect(72, 59, 8, 8), colour::kLcd);
    p_.setPen(Qt::black);
    if (set) {
      p_.drawRect(QRectF(72.5, 59.5, 7, 7));
    } else {
      p_.setRenderHint(QPainter::Antialiasing);
      p_.drawEllipse(QRectF(75.5, 62.5, 2, 2));
    }
    p_.restore();
  }
  void stepFrame(int step) {
    p_.save();
    p_.scale(scale_, scale_);
    p_.setPen(QPen(Qt::black, 1));
    p_.drawRect(QRectF(233 + 21 * step + 0.5, 13.5, 18, 18));
    p_.restore();
  }
  void tempo(const QString& text) {
    p_.save();
    p_.scale(scale_, scale_);
    p_.fillRect(kTempoBox, Qt::white);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    f.setBold(true);
    p_.setFont(f);
    p_.setPen(Qt::black);
    p_.drawText(QRectF(kTempoBox).adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    p_.restore();
  }
  QImage finish() {
    p_.end();
    return image_;
  }

private:
  int scale_;
  QImage image_;
  QPainter p_;
  QImage knobs_, symbols_;
};

} // namespace

QImage composeWindow(int scale, bool busy) {
  Window w(scale);
  const struct {
    const char* name;
    QRect at;
  } panels[] = {{"channel_panel", kChannelPanel},
                {"lcd", kLcd},
                {"keyboard_panel", kKeyboardPanel},
                {"pitch_panel", kPitchPanel},
                {"tempo_panel", kTempoPanel},
                {"effects_panel", kEffectsPanel},
                {"pattern_frame", kPatternFrame},
                {"bank_frame", kBankFrame},
                {"emblem", kEmblem},
                {"logo", kLogo}};
  for (const auto& panel : panels)
    w.place(QString::fromLatin1(panel.name), panel.at);
  w.place(busy ? "bp3" : "bp1", kPatternCells);
  w.place(busy ? "bp2" : "bp1", kBankCells);
  w.place("samples_button", kSamplesButton);
  w.place(busy ? "song_pressed" : "song_button", kSongButton);

  const int channel = busy ? 1 : 0;
  for (int row = 0; row < 3; ++row) {
    w.knob(kDelayKnobs[row], busy ? 8 + 9 * row : 0);
    w.knob(kVolumeKnobs[row], busy ? 30 - 4 * row : 20);
    w.place(busy && row == 1 ? "distort_on" : "distort_off", kDistortToggles[row]);
    w.place(row == channel ? "octave_on" : "octave_off", kChannelButtons[row]);
  }
  const int litKey = busy ? 7 : 0; // semitone: C, or G when busy
  static const int whiteSemitones[] = {0, 2, 4, 5, 7, 9, 11};
  static const int blackSemitones[] = {1, 3, 6, 8, 10};
  for (int i = 0; i < 7; ++i)
    w.place(whiteSemitones[i] == litKey ? "white_step_on" : "white_step_off", whiteKey(i));
  for (int i = 0; i < 5; ++i)
    w.place(blackSemitones[i] == litKey ? "black_step_on" : "black_step_off", blackKey(i));
  for (int i = 0; i < 5; ++i)
    w.place(i + 1 == (busy ? 2 : 3) ? "octave_on" : "octave_off", kOctaveButtons[i]);
  w.knob(kPitchKnob, 20);
  w.place("minus_10", kMinus10);
  w.place(busy ? "play_on" : "play_off", kPlayButton);
  w.place("plus_10", kPlus10);
  w.knob(kShuffleKnob, busy ? 12 : 0);
  w.knob(kDecayKnob, busy ? 30 : 22);
  w.knob(kStepsKnob, 20);
  w.knob(kDistortKnob, busy ? 33 : 20);
  w.knob(kVinylKnob, busy ? 9 : 0);
  w.tempo(busy ? QStringLiteral("128") : QStringLiteral("120"));

  if (busy) { // an instrument step: the keys apply, the pitch knob does not
    w.place("active_led", kLedOverKeys);
    w.place("cover_pitch", kCoverPitch);
  } else {
    w.place("cover_keys", kCoverKeys);
    w.place("cover_pitch", kCoverPitch);
  }
  for (int step = 0; step < 16; ++step) {
    if (busy && (step % 4 == 0 || step == 6 || step == 11 || step == 14))
      w.symbol(step, step % 4 == 0 ? step / 4 : step);
    w.controller(step, busy && (step == 3 || step == 10));
  }
  w.stepFrame(busy ? 6 : 0);
  return w.finish();
}

} // namespace skin
