#include "ui/intro.h"

#include "ui/ImageControl.h"
#include "ui/Skin.h"

namespace lw {

TSplash::TSplash(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
  setObjectName("TSplash");
  setFixedSize(kWidth, kHeight);
  setStyleSheet(QStringLiteral("background: black;"));
  image_ = new ImageControl(this, "splashimage", QRect(0, 0, kWidth, kHeight));
  image_->setPicture(SkinPicture("splash", {kWidth, kHeight}));
  image_->onRelease = [this](ImageControl&, Qt::MouseButton, Qt::MouseButtons,
                             Qt::KeyboardModifiers, QPoint) { splashimageClick(); };
}

} // namespace lw
