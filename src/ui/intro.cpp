#include "ui/intro.h"

#include "ui/ImageControl.h"
#include "ui/Skin.h"

namespace lw {

TSplash::TSplash(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
  setObjectName("TSplash");
  resize(kWidth, kHeight);
  setStyleSheet(QStringLiteral("background: black;"));
  image_ = new ImageControl(this, "splashimage", QRect(0, 0, kWidth, kHeight));
  image_->setPicture(SkinPicture("splash", {kWidth, kHeight}));
  image_->onRelease = [this](ImageControl&, Qt::MouseButton, Qt::MouseButtons,
                             Qt::KeyboardModifiers, QPoint) { splashimageClick(); };
}

void TSplash::CoverWindow(const QWidget& window) {
  setGeometry(window.frameGeometry());
}

// The artwork stays at its own size in the middle; the black shows around it.
void TSplash::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  image_->move((width() - kWidth) / 2, (height() - kHeight) / 2);
}

} // namespace lw
