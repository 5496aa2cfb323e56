#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <functional>

namespace lw {

// A picture that is a control: it shows a pixmap at its own size and reports mouse
// presses, moves and releases with the button, the modifiers and the position relative
// to itself. While a button is held, the pointer stays captured by the control that
// received the press, so its release and moves arrive here wherever the pointer goes.
class ImageControl : public QWidget {
public:
  using MouseHandler = std::function<void(ImageControl&, Qt::MouseButton button,
                                          Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint)>;

  ImageControl(QWidget* parent, const QString& name, QRect geometry);

  void setPicture(const QPixmap& picture);
  [[nodiscard]] const QPixmap& picture() const { return picture_; }
  // Its left edge in view; out of view it sits 2000 pixels further right.
  [[nodiscard]] QPoint home() const { return home_; }
  void setHome(QPoint home) { home_ = home; }

  MouseHandler onPress;
  MouseHandler onMove;
  MouseHandler onRelease;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  QPixmap picture_;
  QPoint home_;
};

} // namespace lw
