// The wren that LoopWren is named after, as a shape that every picture can place.
#pragma once

#include "paint_skin_marks.h"
#include "paint_skin_style.h"

#include <QPainterPath>

namespace skin {

// The bird facing right, standing, in a box of 100 x 100 units with its feet at the
// bottom; scale and move it to taste.
QPainterPath wrenSilhouette();
QPainterPath wrenAt(const QRectF& box);
// The round badge with the singing wren, as on the main window and the splash.
Marks medallionMarks(QPointF centre, double radius);
void drawMedallion(Canvas& c, QPointF centre, double radius);
// The program's icon on its 256 x 256 canvas: a tile with a strip of display over the
// badge. paintIcon() paints it; the desktop's scalable icon is written from the same marks.
Marks iconMarks();
// The name, set as the logo: "Loop" in ink (cream on a dark ground), "Wren" in lamp
// colour; centred in box.
void drawWordmark(Canvas& c, const QRectF& box, double pixels, bool onDark);
// A dark maker's plate with the name on it, as on the front of the machine.
void drawNameplate(Canvas& c, const QRectF& r, double pixels);

} // namespace skin
