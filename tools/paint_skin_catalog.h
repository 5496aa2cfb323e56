// Every picture of the skin by name, with its size at 1x and the code that paints it.
#pragma once

#include "paint_skin_style.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

namespace skin {

struct Picture {
  QString name;
  QSize size; // at 1x
  std::function<void(Canvas&)> paint;
  // Pictures placed on the window are opaque; the icon and the button glyphs are not.
  bool opaque = true;
};

const std::vector<Picture>& catalog();
const Picture& picture(const QString& name);

// The picture painted at scale times the pixel density; the image holds device
// pixels and a device pixel ratio of 1, so that pictures can be composed pixel for pixel.
QImage render(const Picture& picture, int scale);
QImage render(const QString& name, int scale);
// The picture painted at any density, whole or not (an icon at 16 x 16 pixels is painted
// at 1/16); the image is the picture's size times density, rounded.
QImage renderAtDensity(const Picture& picture, double density);

} // namespace skin
