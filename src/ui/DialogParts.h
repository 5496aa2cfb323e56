#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

class QLabel;
class QWidget;

namespace lw {

// The darker brown of the sample manager and the render dialog.
inline const QColor kDialogColour(182, 140, 99);

// A label as big as its text, at its place.
QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, QPoint at);

// The light field behind a group of controls, with rounded corners, at its place.
QWidget* AddRoundedPanel(QWidget* parent, const char* name, QRect geometry);

// A window's or a control's own colour, and the colour of an edit box's or a list's field.
void SetBackground(QWidget* widget, const QColor& colour);
void SetFieldColour(QWidget* widget, const QColor& colour);

// The windows were laid out, pixel by pixel, for an Arial-like sans-serif of 8 points.
// They are set in DejaVu Sans Condensed, the DejaVu face whose widths come nearest
// Arial's; plain DejaVu Sans sets the same texts about a tenth wider. The family is named
// exactly, any sans-serif being only the last resort, and a window's font has to resolve
// to it: where it is missing, texts drawn in fixed frames no longer fit them.
[[nodiscard]] QString WindowFontFamily();

// The windows' font at a point size (or, with pixels, a pixel size), bold when asked.
[[nodiscard]] QFont WindowFont(qreal points, bool bold = false);
[[nodiscard]] QFont WindowFontPixels(int pixels, bool bold = false);

// Puts a window in the middle of the screen its parent is on (or the primary screen).
void CentreOnScreen(QWidget* window);

// A box's text as the core takes it, and the core's text as a box shows it: UTF-8. The
// song stores a text in its own single-byte code page, one byte a character, and keeps
// 64 characters of it (song/ShortString.h).
[[nodiscard]] std::string StoredText(const QString& text);
[[nodiscard]] QString ShownText(const std::string& text);

} // namespace lw
