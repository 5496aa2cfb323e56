#include "ui/ImageControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <memory>
#include <vector>

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

void ImageControl::setRole(Role role, const QString& name, const QString& tooltip) {
  role_ = role;
  setAccessibleName(name);
  // A button's tooltip ends with its keys, as every control's says them.
  const bool buttonLike = role == Role::Button || role == Role::Toggle || role == Role::Radio;
  const QString help =
      buttonLike ? tooltip + QStringLiteral(" Space or Return presses it once Tab has reached it.")
                 : tooltip;
  setToolTip(help);
  setAccessibleDescription(help);
  // Tab reaches it; a click does not move the focus, so the keys go on going where they
  // went (the tempo box, a control reached by Tab) and Space keeps playing.
  setFocusPolicy(role == Role::Picture ? Qt::NoFocus : Qt::TabFocus);
}

void ImageControl::AnnounceChange() {
  if (!QAccessible::isActive()) {
    return;
  }
  if (role_ == Role::Dial || role_ == Role::Spin) {
    QAccessibleValueChangeEvent event(this, value.current ? value.current() : 0);
    QAccessible::updateAccessibility(&event);
  } else if (role_ == Role::Toggle || role_ == Role::Radio) {
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
  } else if (role_ == Role::Table) {
    QAccessibleEvent event(this, QAccessible::TableModelChanged);
    QAccessible::updateAccessibility(&event);
  }
}

void ImageControl::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawPixmap(rect(), picture_);
  if (hasFocus()) {
    // The skin's lcd amber, dotted over a dark line so it shows on light and dark art.
    const QRect mark = (focusMark ? focusMark() : rect()).adjusted(0, 0, -1, -1);
    painter.setPen(QPen(QColor(40, 30, 0), 1));
    painter.drawRect(mark);
    painter.setPen(QPen(QColor(255, 190, 40), 1, Qt::DotLine));
    painter.drawRect(mark);
  }
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

void ImageControl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (onDoubleClick && event->button() == Qt::LeftButton) {
    onDoubleClick(event->position().toPoint());
    return;
  }
  mousePressEvent(event);
}

void ImageControl::keyPressEvent(QKeyEvent* event) {
  if (onKey && onKey(*event)) {
    return;
  }
  const bool buttonLike = role_ == Role::Button || role_ == Role::Toggle || role_ == Role::Radio;
  const int key = event->key();
  const bool press = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter ||
                     key == Qt::Key_Select;
  if (buttonLike && press && onActivate && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
    if (!event->isAutoRepeat()) {
      onActivate();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

void ImageControl::wheelEvent(QWheelEvent* event) {
  if (!onWheel) {
    QWidget::wheelEvent(event);
    return;
  }
  // Shift turns a vertical wheel sideways on some systems.
  const QPoint delta = event->angleDelta();
  wheelRest_ += delta.y() != 0 ? delta.y() : delta.x();
  const int notches = wheelRest_ / 120;
  wheelRest_ -= notches * 120;
  if (notches != 0) {
    onWheel(notches, event->modifiers());
  }
  event->accept();
}

void ImageControl::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void ImageControl::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

namespace {

QAccessible::Role AccessibleRole(ImageControl::Role role) {
  switch (role) {
  case ImageControl::Role::Picture:
    return QAccessible::Graphic;
  case ImageControl::Role::Button:
    return QAccessible::Button;
  case ImageControl::Role::Toggle:
    return QAccessible::CheckBox;
  case ImageControl::Role::Radio:
    return QAccessible::RadioButton;
  case ImageControl::Role::Dial:
    return QAccessible::Dial;
  case ImageControl::Role::Spin:
    return QAccessible::SpinBox;
  case ImageControl::Role::Table:
    return QAccessible::Table;
  }
  return QAccessible::Graphic;
}

class AccessibleImageControl;

// One cell of a table control: its text, and a press that does what a click on it does.
class AccessibleCell final : public QAccessibleInterface,
                             public QAccessibleTableCellInterface,
                             public QAccessibleActionInterface {
public:
  AccessibleCell(ImageControl* control, int row, int column)
      : control_(control), row_(row), column_(column) {}

  [[nodiscard]] bool isValid() const override { return control_ != nullptr; }
  [[nodiscard]] QObject* object() const override { return nullptr; }
  [[nodiscard]] QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override {
    return nullptr;
  }
  [[nodiscard]] QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(control_);
  }
  [[nodiscard]] QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  [[nodiscard]] int childCount() const override { return 0; }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface* /*child*/) const override {
    return -1;
  }
  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !control_->cells.text) {
      return {};
    }
    return control_->cells.text(row_, column_);
  }
  void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
  [[nodiscard]] QRect rect() const override {
    const ImageControl::Cells& c = control_->cells;
    const QRect whole(control_->mapToGlobal(QPoint(0, 0)), control_->size());
    if (c.rect) {
      return c.rect(row_, column_).translated(whole.topLeft());
    }
    if (c.rows <= 0 || c.columns <= 0) {
      return whole;
    }
    const int w = whole.width() / c.columns;
    const int h = whole.height() / c.rows;
    return {whole.left() + column_ * w, whole.top() + row_ * h, w, h};
  }
  [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Cell; }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TableCellInterface) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    if (t == QAccessible::ActionInterface) {
      return static_cast<QAccessibleActionInterface*>(this);
    }
    return nullptr;
  }

  [[nodiscard]] bool isSelected() const override { return false; }
  [[nodiscard]] QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  [[nodiscard]] QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  [[nodiscard]] int columnIndex() const override { return column_; }
  [[nodiscard]] int rowIndex() const override { return row_; }
  [[nodiscard]] int columnExtent() const override { return 1; }
  [[nodiscard]] int rowExtent() const override { return 1; }
  [[nodiscard]] QAccessibleInterface* table() const override { return parent(); }

  [[nodiscard]] QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && control_->cells.press) {
      control_->cells.press(row_, column_);
    }
  }
  [[nodiscard]] QStringList keyBindingsForAction(const QString& /*name*/) const override {
    return {};
  }

private:
  ImageControl* control_;
  int row_;
  int column_;
};

// What assistive technology reads of a skinned control: its role and name (from
// setRole), a toggle's state, a dial's value and range, a table's cells, and a press.
class AccessibleImageControl final : public QAccessibleWidget,
                                     public QAccessibleValueInterface,
                                     public QAccessibleTableInterface {
public:
  explicit AccessibleImageControl(ImageControl* control)
      : QAccessibleWidget(control, AccessibleRole(control->role())) {}
  ~AccessibleImageControl() override {
    for (const QAccessible::Id id : cellIds_) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }
  AccessibleImageControl(const AccessibleImageControl&) = delete;
  AccessibleImageControl& operator=(const AccessibleImageControl&) = delete;

  [[nodiscard]] ImageControl* control() const { return static_cast<ImageControl*>(widget()); }

  [[nodiscard]] QAccessible::Role role() const override {
    return AccessibleRole(control()->role());
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const ImageControl::Role r = control()->role();
    if (r == ImageControl::Role::Toggle || r == ImageControl::Role::Radio) {
      s.checkable = true;
      s.checked = control()->checked && control()->checked();
    }
    return s;
  }
  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value && control()->value.text) {
      return control()->value.text();
    }
    return QAccessibleWidget::text(t);
  }
  void* interface_cast(QAccessible::InterfaceType t) override {
    const ImageControl::Role r = control()->role();
    if (t == QAccessible::ValueInterface &&
        (r == ImageControl::Role::Dial || r == ImageControl::Role::Spin)) {
      return static_cast<QAccessibleValueInterface*>(this);
    }
    if (t == QAccessible::TableInterface && r == ImageControl::Role::Table) {
      return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(t);
  }

  [[nodiscard]] int childCount() const override {
    const ImageControl::Cells& c = control()->cells;
    return control()->role() == ImageControl::Role::Table ? c.rows * c.columns : 0;
  }
  [[nodiscard]] QAccessibleInterface* child(int index) const override {
    const int columns = control()->cells.columns;
    if (index < 0 || index >= childCount() || columns <= 0) {
      return nullptr;
    }
    return cellAt(index / columns, index % columns);
  }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      if (cells_[i] == child) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i) {
      QAccessibleInterface* cell = child(i);
      if (cell != nullptr && cell->rect().contains(x, y)) {
        return cell;
      }
    }
    return nullptr;
  }

  // The press of a button; the toggles' too.
  [[nodiscard]] QStringList actionNames() const override {
    const ImageControl::Role r = control()->role();
    if (r == ImageControl::Role::Button || r == ImageControl::Role::Toggle ||
        r == ImageControl::Role::Radio) {
      return {pressAction()};
    }
    if (r == ImageControl::Role::Dial || r == ImageControl::Role::Spin) {
      return {increaseAction(), decreaseAction()};
    }
    return {};
  }
  void doAction(const QString& name) override {
    ImageControl& c = *control();
    if (name == pressAction() && c.onActivate) {
      c.onActivate();
    } else if ((name == increaseAction() || name == decreaseAction()) && c.value.set &&
               c.value.current) {
      c.value.set(c.value.current() + (name == increaseAction() ? 1 : -1));
    } else {
      QAccessibleWidget::doAction(name);
    }
  }
  [[nodiscard]] QStringList keyBindingsForAction(const QString& name) const override {
    if (name == pressAction()) {
      return {QStringLiteral("Space"), QStringLiteral("Return")};
    }
    if (name == increaseAction()) {
      return {QStringLiteral("Up")};
    }
    if (name == decreaseAction()) {
      return {QStringLiteral("Down")};
    }
    return {};
  }

  [[nodiscard]] QVariant currentValue() const override {
    return control()->value.current ? control()->value.current() : 0;
  }
  void setCurrentValue(const QVariant& v) override {
    if (control()->value.set) {
      control()->value.set(v.toInt());
    }
  }
  [[nodiscard]] QVariant maximumValue() const override { return control()->value.maximum; }
  [[nodiscard]] QVariant minimumValue() const override { return control()->value.minimum; }
  [[nodiscard]] QVariant minimumStepSize() const override { return 1; }

  [[nodiscard]] QAccessibleInterface* caption() const override { return nullptr; }
  [[nodiscard]] QAccessibleInterface* summary() const override { return nullptr; }
  [[nodiscard]] QAccessibleInterface* cellAt(int row, int column) const override {
    const ImageControl::Cells& c = control()->cells;
    if (row < 0 || row >= c.rows || column < 0 || column >= c.columns) {
      return nullptr;
    }
    const int at = row * c.columns + column;
    const int count = c.rows * c.columns;
    const auto index = static_cast<std::size_t>(at);
    if (cells_.size() != static_cast<std::size_t>(count)) {
      cells_.assign(static_cast<std::size_t>(count), nullptr);
    }
    if (cells_[index] == nullptr) {
      cells_[index] = new AccessibleCell(control(), row, column); // owned by the registry
      cellIds_.push_back(QAccessible::registerAccessibleInterface(cells_[index]));
    }
    return cells_[index];
  }
  [[nodiscard]] int selectedCellCount() const override { return 0; }
  [[nodiscard]] QList<QAccessibleInterface*> selectedCells() const override { return {}; }
  [[nodiscard]] QString columnDescription(int column) const override {
    return QStringLiteral("Step %1").arg(column + 1);
  }
  [[nodiscard]] QString rowDescription(int row) const override {
    return control()->cells.rowName ? control()->cells.rowName(row) : QString();
  }
  [[nodiscard]] int selectedColumnCount() const override { return 0; }
  [[nodiscard]] int selectedRowCount() const override { return 0; }
  [[nodiscard]] int columnCount() const override { return control()->cells.columns; }
  [[nodiscard]] int rowCount() const override { return control()->cells.rows; }
  [[nodiscard]] QList<int> selectedColumns() const override { return {}; }
  [[nodiscard]] QList<int> selectedRows() const override { return {}; }
  [[nodiscard]] bool isColumnSelected(int /*column*/) const override { return false; }
  [[nodiscard]] bool isRowSelected(int /*row*/) const override { return false; }
  bool selectRow(int /*row*/) override { return false; }
  bool selectColumn(int /*column*/) override { return false; }
  bool unselectRow(int /*row*/) override { return false; }
  bool unselectColumn(int /*column*/) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* /*event*/) override {}

private:
  mutable std::vector<AccessibleCell*> cells_;
  mutable std::vector<QAccessible::Id> cellIds_;
};

QAccessibleInterface* ImageControlFactory(const QString& /*className*/, QObject* object) {
  auto* control =
      qobject_cast<QWidget*>(object) != nullptr ? dynamic_cast<ImageControl*>(object) : nullptr;
  if (control == nullptr) {
    return nullptr;
  }
  return new AccessibleImageControl(control);
}

} // namespace

void ImageControl::InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(ImageControlFactory);
    return true;
  }();
  (void)installed;
}

} // namespace lw
