#include "ui/ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace lw {

ImageControl::ImageControl(QWidget* parent, const QString& name, QRect geometry)
    : QWidget(parent), home_(geometry.topLeft()) {
  setObjectName(name);
  setGeometry(geometry);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageControl::setPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void ImageControl::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawPixmap(rect(), picture_);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
  if (onPress) {
    onPress(*this, event->button(), event->buttons(), event->modifiers(),
            event->position().toPoint());
  }
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) {
    onMove(*this, Qt::NoButton, event->buttons(), event->modifiers(), event->position().toPoint());
  }
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
  if (onRelease) {
    onRelease(*this, event->button(), event->buttons(), event->modifiers(),
              event->position().toPoint());
  }
}

} // namespace lw
