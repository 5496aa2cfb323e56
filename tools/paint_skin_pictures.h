// The whole pictures of the skin, one painter each, grouped by where they appear.
#pragma once

#include "paint_skin_style.h"

namespace skin {

// The main window's panels.
void paintChannelPanel(Canvas& c);
void paintKeyboardPanel(Canvas& c);
void paintPitchPanel(Canvas& c);
void paintTempoPanel(Canvas& c);
void paintEffectsPanel(Canvas& c);
void paintCellFrame(Canvas& c, const QString& label);

// The display and what is shown in it.
void paintLcd(Canvas& c);
void paintCells(Canvas& c, int lit); // lit counts from 1, as the cells are numbered
void paintSymbolLine(Canvas& c);

// Decoration and identity.
void paintEmblem(Canvas& c);
void paintLogo(Canvas& c);
void paintIcon(Canvas& c);
void paintSplash(Canvas& c);
void paintAboutLoopWren(Canvas& c);
void paintAboutKestra(Canvas& c);
void paintAboutKestraStrip(Canvas& c);
void paintAboutAuthor(Canvas& c);

// The sample manager's button pictures.
void paintDelete(Canvas& c, bool enabled);
void paintReplace(Canvas& c, bool enabled);

} // namespace skin
