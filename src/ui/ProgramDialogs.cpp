#include "ui/ProgramDialogs.h"

#include "ui/intro.h"

#include <QWidget>

namespace lw {

// Over the main window exactly, shown once and then let go.
void ProgramDialogs::ShowSplash() {
  TSplash splash(mainWindow_);
  splash.setGeometry(mainWindow_->geometry().left(), mainWindow_->geometry().top(), TSplash::kWidth,
                     TSplash::kHeight);
  splash.move(mainWindow_->geometry().center() - QPoint(TSplash::kWidth / 2, TSplash::kHeight / 2));
  splash.exec();
}

} // namespace lw
