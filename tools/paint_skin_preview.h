// The main window put together from the skin's pictures, the way the program places
// them, so the artwork can be judged as a whole.
#pragma once

#include <QImage>

namespace skin {

// quiet: the window as it comes up, with the default song. Busy: a pattern with notes
// and controllers on it, an instrument step selected, playing.
QImage composeWindow(int scale, bool busy);

} // namespace skin
