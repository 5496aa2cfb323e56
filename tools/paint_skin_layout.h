// Where the main window places its panels and controls, in window client coordinates.
// The panel art draws scales, sockets and pressed looks under the controls, so it has
// to know exactly where each control will sit; the preview composes the window from
// the same table.
#pragma once

#include <QPoint>
#include <QRect>
#include <array>

namespace skin::layout {

inline constexpr QSize kWindow{704, 291};
inline constexpr int kKnob = 19;

inline constexpr QRect kChannelPanel{8, 8, 149, 118};
inline constexpr QRect kLcd{166, 8, 426, 81};
inline constexpr QRect kKeyboardPanel{166, 96, 221, 125};
inline constexpr QRect kPitchPanel{394, 96, 59, 94};
inline constexpr QRect kTempoPanel{460, 96, 132, 115};
inline constexpr QRect kEffectsPanel{600, 40, 96, 171};
inline constexpr QRect kPatternFrame{497, 223, 96, 61};
inline constexpr QRect kBankFrame{600, 223, 96, 61};
inline constexpr QRect kPatternCells{507, 240, 77, 37};
inline constexpr QRect kBankCells{610, 240, 77, 37};
inline constexpr QRect kSamplesButton{8, 256, 72, 25};
inline constexpr QRect kSongButton{85, 256, 72, 25};
inline constexpr QRect kEmblem{24, 144, 109, 96};
inline constexpr QRect kLogo{278, 240, 166, 38};

inline constexpr std::array<QPoint, 3> kDelayKnobs{{{28, 23}, {28, 52}, {28, 82}}};
inline constexpr std::array<QPoint, 3> kVolumeKnobs{{{61, 23}, {61, 52}, {61, 82}}};
inline constexpr std::array<QRect, 3> kDistortToggles{
    {{91, 26, 15, 13}, {91, 55, 15, 13}, {91, 85, 15, 13}}};
inline constexpr std::array<QRect, 3> kChannelButtons{
    {{119, 25, 23, 16}, {119, 54, 23, 16}, {119, 84, 23, 16}}};

inline constexpr QSize kKey{23, 25};
inline constexpr int kBlackKeyTop = 114;
inline constexpr int kWhiteKeyTop = 145;
inline constexpr std::array<int, 5> kBlackKeyLefts{190, 220, 280, 310, 340};
inline constexpr std::array<int, 7> kWhiteKeyLefts{175, 205, 235, 265, 295, 325, 355};
inline constexpr std::array<QRect, 5> kOctaveButtons{{{236, 188, 23, 16},
                                                      {266, 188, 23, 16},
                                                      {296, 188, 23, 16},
                                                      {326, 188, 23, 16},
                                                      {356, 188, 23, 16}}};

inline constexpr QPoint kPitchKnob{414, 144};
inline constexpr QRect kMinus10{475, 112, 23, 25};
inline constexpr QRect kPlus10{557, 112, 23, 25};
inline constexpr QRect kTempoBox{510, 116, 40, 17};
inline constexpr QPoint kShuffleKnob{483, 164};
inline constexpr QRect kPlayButton{525, 161, 42, 20};

inline constexpr QPoint kDecayKnob{622, 77};
inline constexpr QPoint kStepsKnob{656, 77};
inline constexpr QPoint kDistortKnob{622, 165};
inline constexpr QPoint kVinylKnob{656, 165};

inline constexpr QRect kCoverKeys{172, 110, 209, 64};
inline constexpr QRect kCoverPitch{401, 135, 45, 47};
inline constexpr QRect kLedOverKeys{171, 99, 14, 5};
inline constexpr QRect kLedOverPitch{400, 99, 14, 5};

// The lcd's own geometry, in lcd coordinates.
inline constexpr int kStepSquareLeft = 67;
inline constexpr int kStepSquareTop = 5;
inline constexpr int kStepPitch = 21;
inline constexpr int kStepSquare = 19;
inline constexpr QRect kNoteCell{69, 29, 16, 16}; // step 0; inclusive of 84 and 44
inline constexpr QRect kCtrlCell{72, 59, 9, 9};   // step 0; inclusive of 80 and 67
inline constexpr int kLabelWidth = 65;

inline QRect knobRect(QPoint topLeft) {
  return {topLeft, QSize(kKnob, kKnob)};
}
inline QRect blackKey(int i) {
  return {QPoint(kBlackKeyLefts[i], kBlackKeyTop), kKey};
}
inline QRect whiteKey(int i) {
  return {QPoint(kWhiteKeyLefts[i], kWhiteKeyTop), kKey};
}

// A window rectangle or point seen from a panel's own corner.
inline QRect local(const QRect& panel, const QRect& r) {
  return r.translated(-panel.topLeft());
}
inline QPointF knobCentre(const QRect& panel, QPoint knob) {
  return QPointF(knob - panel.topLeft()) + QPointF(kKnob / 2.0, kKnob / 2.0);
}

} // namespace skin::layout
