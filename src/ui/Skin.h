#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

#include <array>

namespace lw {

inline const QColor kWindowColour(197, 155, 114);
inline const QColor kFieldColour(255, 226, 196);
inline const QColor kLcdBackground(111, 168, 239);

// The main window's pictures, loaded from the program's resources at the screen's pixel
// ratio. The panels and buttons are shown as they are; the templates only lend their
// pictures to the controls that show state.
struct Skin {
  QPixmap channelPanel, lcd, keyboardPanel, pitchPanel, tempoPanel, effectsPanel;
  QPixmap patternFrame, bankFrame, samplesPressed, songPressed, samplesButton, songButton;
  QPixmap recordOn, recordOff;
  QPixmap emblem, logo, coverKeys, coverPitch, activeLed;
  QPixmap playOn, playOff, distortOn, distortOff, octaveOn, octaveOff;
  QPixmap whiteStepOn, whiteStepOff, blackStepOn, blackStepOff, minus10, plus10;
  std::array<QPixmap, 8> bp;
  // Cut from the knob and symbol strips by BuildKnobBitmaps.
  std::array<QPixmap, 40> knobFrames;
  std::array<QPixmap, 16> sampleSymbols;
  QPixmap knobLine, symbolLine;
};

// A picture of the skin by name ("lcd", "bp3", ...). A picture the resources lack (a
// broken build) is replaced by a plain one of the right size, so the window still works.
[[nodiscard]] QPixmap SkinPicture(const QString& name, QSize size);

// A piece of a strip, in logical pixels, whatever the strip's pixel ratio.
[[nodiscard]] QPixmap Cut(const QPixmap& strip, QRect logical);

// Loads every picture of the main window.
void LoadSkin(Skin& skin);

// Cuts the knob strip into 40 frames of 19 x 19 (frame 0 at the minimum) and the symbol
// strip into 16 symbols of 15 x 15 (the top row 0..7, the bottom row 8..15), then lets the
// strips go.
void BuildKnobBitmaps(Skin& skin);

} // namespace lw
