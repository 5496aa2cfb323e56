// The program's icon for the desktop's icon theme: pictures at the sizes the hicolor
// theme asks for, painted from the icon's art, and a scalable SVG written from its marks.
#pragma once

#include <QImage>
#include <QString>
#include <array>

namespace skin {

inline constexpr std::array<int, 7> kIconSizes = {16, 32, 48, 64, 128, 256, 512};

// The icon painted at pixels x pixels.
QImage renderIcon(int pixels);

// Writes FOLDER/hicolor/NxN/apps/NAME.png for every size and
// FOLDER/hicolor/scalable/apps/NAME.svg; false, after saying why, when one cannot be written.
bool writeIconTheme(const QString& folder, const QString& name);

} // namespace skin
