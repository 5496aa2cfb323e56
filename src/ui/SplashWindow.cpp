#include "ui/SplashWindow.h"

#include "ui/ImageControl.h"
#include "ui/Skin.h"

namespace lw {

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
  setObjectName("SplashWindow");
  resize(kWidth, kHeight);
  setStyleSheet(QStringLiteral("background: black;"));
  image_ = new ImageControl(this, "splashimage", QRect(0, 0, kWidth, kHeight));
  image_->setPicture(SkinPicture("splash", {kWidth, kHeight}));
  image_->onRelease = [this](ImageControl&, Qt::MouseButton, Qt::MouseButtons,
                             Qt::KeyboardModifiers, QPoint) { splashimageClick(); };
}

void SplashWindow::CoverWindow(const QWidget& window) {
  setGeometry(window.frameGeometry());
}

// The artwork stays at its own size in the middle; the black shows around it.
void SplashWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  image_->move((width() - kWidth) / 2, (height() - kHeight) / 2);
}

} // namespace lw
