// The skin's pictures are compiled into the loopwren_skin library as Qt resources
// under ":/skin/": NAME.png at 1x and NAME@2x.png at twice the pixel density. A
// static library's resources are registered only when something asks for them, so
// the program calls InitSkinResources once at start-up, before it loads a picture.
#pragma once

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE declares the registration function at the scope it is used in, and
// that function lives in the global namespace; so the call sits outside namespace lw.
inline void loopwrenInitSkinResources() {
  Q_INIT_RESOURCE(skin);
}

namespace lw {

inline void InitSkinResources() {
  ::loopwrenInitSkinResources();
}

} // namespace lw
