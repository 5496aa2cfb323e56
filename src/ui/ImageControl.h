#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <functional>

class QKeyEvent;

namespace lw {

// A picture that is a control: it shows a pixmap at its own size and reports mouse
// presses, moves and releases with the button, the modifiers and the position relative
// to itself. While a button is held, the pointer stays captured by the control that
// received the press, so its release and moves arrive here wherever the pointer goes.
//
// A control given a role (setRole) also takes the keyboard focus from Tab (never from a
// click, so a click leaves the focus where it was), shows a focus mark, answers the wheel
// and its keys, and tells assistive technology what it is: a button, a toggle, a dial
// with its value, a table of cells.
class ImageControl : public QWidget {
public:
  using MouseHandler = std::function<void(ImageControl&, Qt::MouseButton button,
                                          Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint)>;

  enum class Role {
    Picture, // artwork: no focus, nothing to tell
    Button,  // Space and Return press it
    Toggle,  // a button with an on and an off state
    Radio,   // one of a group, of which one is on
    Dial,    // a value within a range
    Spin,    // a choice among numbered cells, as a value within a range
    Table,   // rows and columns of cells
  };

  // What a dial or spin's value is, what it reads as, and how it is set.
  struct Value {
    std::function<int()> current;
    int minimum = 0;
    int maximum = 0;
    std::function<void(int)> set;
    std::function<QString()> text;
  };

  // A table's size and its cells: what a cell reads as and what pressing it does.
  struct Cells {
    int rows = 0;
    int columns = 0;
    std::function<QString(int row, int column)> text;
    std::function<QString(int row)> rowName;
    std::function<void(int row, int column)> press;
    // Where a cell lies in the control; when null, the rows and columns share it evenly.
    std::function<QRect(int row, int column)> rect;
  };

  ImageControl(QWidget* parent, const QString& name, QRect geometry);

  void setPicture(const QPixmap& picture);
  [[nodiscard]] const QPixmap& picture() const { return picture_; }
  // Its left edge in view; out of view it sits 2000 pixels further right.
  [[nodiscard]] QPoint home() const { return home_; }
  void setHome(QPoint home) { home_ = home; }

  // Makes the picture a control: its role, its name for assistive technology, and the
  // tooltip that says what it does and its keys.
  void setRole(Role role, const QString& name, const QString& tooltip);
  [[nodiscard]] Role role() const { return role_; }
  // A toggle's or radio's state, the play button's included.
  std::function<bool()> checked;
  Value value;
  Cells cells;
  // Space and Return on a button, and its accessible press.
  std::function<void()> onActivate;
  // Keys for the control itself; true when the key was its own.
  std::function<bool(const QKeyEvent&)> onKey;
  // Whole wheel notches (up positive), gathered from smaller steps of fine wheels.
  std::function<void(int notches, Qt::KeyboardModifiers)> onWheel;
  // A double-click of the left button; without it, the second click is a press again.
  std::function<void(QPoint)> onDoubleClick;
  // Where the focus mark goes inside the control; the whole of it when null.
  std::function<QRect()> focusMark;

  MouseHandler onPress;
  MouseHandler onMove;
  MouseHandler onRelease;

  // Tells assistive technology the value or state changed (the program changed it).
  void AnnounceChange();

  // The interfaces assistive technology reads the controls through; once per program.
  static void InstallAccessibility();

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  QPixmap picture_;
  QPoint home_;
  Role role_ = Role::Picture;
  int wheelRest_ = 0; // eighths of a degree not yet a whole notch
};

} // namespace lw
