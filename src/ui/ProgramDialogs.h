#pragma once

#include "ui/MainDialogs.h"

class QWidget;

namespace lw {

// The windows the program's main window opens.
class ProgramDialogs : public MainDialogs {
public:
  explicit ProgramDialogs(QWidget* mainWindow) : mainWindow_(mainWindow) {}
  void ShowSplash() override;

private:
  QWidget* mainWindow_;
};

} // namespace lw
