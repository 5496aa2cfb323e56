// The skin's controls, drawn at any rectangle in any of their looks. The button
// pictures use them as they are; the panels use the pressed look under each button,
// because pressing a button takes its picture away and shows the panel beneath.
#pragma once

#include "paint_skin_style.h"

namespace skin {

enum class Look { Off, On, Pressed };

void drawKey(Canvas& c, const QRectF& r, bool black, Look look);
void drawOctaveLamp(Canvas& c, const QRectF& r, Look look);
void drawDistortLamp(Canvas& c, const QRectF& r, Look look);
void drawPlayButton(Canvas& c, const QRectF& r, Look look);
void drawRecordButton(Canvas& c, const QRectF& r, Look look);
void drawTempoStep(Canvas& c, const QRectF& r, int delta, Look look);
void drawWideButton(Canvas& c, const QRectF& r, const QString& label, Look look);
// The unlit socket the active indicator sits in.
void drawLedSocket(Canvas& c, const QRectF& r);

// Whole pictures.
void paintKnobLine(Canvas& c);
void paintActiveLed(Canvas& c);
void paintCoverKeys(Canvas& c);
void paintCoverPitch(Canvas& c);

} // namespace skin
