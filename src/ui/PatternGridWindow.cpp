#include "ui/PatternGridWindow.h"

#include "commands/MainCommands.h"
#include "engine/Engine.h"
#include "session/UndoHistory.h"
#include "ui/DialogParts.h"
#include "ui/Settings.h"
#include "ui/Skin.h"
#include "ui/main_window/MainWindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

namespace lw {

namespace {

constexpr int kFollowMs = 16; // each screen frame
constexpr int kDragStart = 4; // pixels a press moves up or down before it is a drag
constexpr int kLeft = 96;     // the channels' names and switches
constexpr int kTop = 30;      // the title
const QString kPlaceName = QStringLiteral("patterngrid");

const QColor kInk(Qt::black);
const QColor kBeatShade(96, 150, 222);    // every other beat's four steps
const QColor kVolumeFill(64, 112, 190);   // a step's volume controller
const QColor kRunning(255, 255, 255, 90); // the column being heard

} // namespace

PatternGridView::PatternGridView(QWidget* parent)
    : ImageControl(parent, QStringLiteral("patternGrid"),
                   QRect(0, 0, kSteps * kCellWidth + 1, kHeader + kChannels * kCellHeight + 1)) {
  setFixedSize(size());
  setRole(Role::Table, QStringLiteral("Pattern grid"),
          QStringLiteral("Click: a step on or off. Drag up or down: its volume.\n"
                         "Right click or Return: choose its sample. Delete: clear it.\n"
                         "Arrow keys, Home and End: move."));
  setFocusPolicy(Qt::StrongFocus); // a click gives it the keys, to move on from there
  cells.rows = kChannels;
  cells.columns = kSteps;
  cells.text = [this](int row, int column) { return CellText(row, column); };
  cells.rowName = [](int row) { return QStringLiteral("Channel %1").arg(row + 1); };
  cells.rect = [](int row, int column) { return CellRect(row, column); };
  cells.press = [this](int row, int column) {
    if (onPressCell) {
      onPressCell(row, column);
    }
  };
}

QRect PatternGridView::CellRect(int channel, int step) {
  return {step * kCellWidth, kHeader + channel * kCellHeight, kCellWidth, kCellHeight};
}

std::optional<std::pair<int, int>> PatternGridView::CellAt(QPoint point) {
  if (point.x() < 0 || point.y() < kHeader) {
    return std::nullopt;
  }
  const int step = point.x() / kCellWidth;
  const int channel = (point.y() - kHeader) / kCellHeight;
  if (step >= kSteps || channel >= kChannels) {
    return std::nullopt;
  }
  return std::make_pair(channel, step);
}

void PatternGridView::Show(const GridCells& cells, int runningStep, int cursorChannel,
                           int cursorStep) {
  const bool cursorMoved = cursorChannel != cursorChannel_ || cursorStep != cursorStep_;
  if (cells == cells_ && runningStep == running_ && !cursorMoved) {
    return;
  }
  if (cells != cells_ || cursorMoved) {
    cells_ = cells;
    cursorChannel_ = cursorChannel;
    cursorStep_ = cursorStep;
    if (cursorChannel_ >= 0) {
      setAccessibleDescription(CellText(cursorChannel_, cursorStep_));
    }
    update();
  } else {
    // Only the light moved: the two columns it left and reached.
    for (const int column : {running_, runningStep}) {
      if (column >= 0) {
        update(QRect(column * kCellWidth, 0, kCellWidth + 1, height()));
      }
    }
  }
  running_ = runningStep;
}

QString PatternGridView::CellText(int channel, int step) const {
  const GridCell& cell = cells_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(step)];
  QString text = QStringLiteral("Channel %1, step %2").arg(channel + 1).arg(step + 1);
  if (!cell.triggers) {
    text += QStringLiteral(": empty");
  } else {
    text += QStringLiteral(": ") + QString::fromStdString(cell.name);
    if (!cell.note.empty()) {
      text += QStringLiteral(", ") + QString::fromStdString(cell.note);
    }
  }
  if (cell.volume >= 0) {
    text += QStringLiteral(", volume %1").arg(cell.volume);
  }
  return text;
}

void PatternGridView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), kLcdBackground);
  QFont numbers = font();
  numbers.setPixelSize(10);
  painter.setFont(numbers);
  for (int i = 0; i < kSteps; ++i) {
    const QRect header(i * kCellWidth, 0, kCellWidth, kHeader);
    if (i == running_) {
      painter.fillRect(header, kInk);
      painter.setPen(kLcdBackground);
    } else {
      painter.setPen(kInk);
    }
    painter.drawText(header, Qt::AlignCenter, QString::number(i + 1));
  }
  for (int c = 0; c < kChannels; ++c) {
    for (int i = 0; i < kSteps; ++i) {
      PaintCell(painter, c, i);
    }
  }
  if (running_ >= 0) {
    painter.fillRect(QRect(running_ * kCellWidth, kHeader, kCellWidth, kChannels * kCellHeight),
                     kRunning);
  }
  if (cursorChannel_ >= 0) {
    const QRect mark = CellRect(cursorChannel_, cursorStep_);
    if (hasFocus()) {
      // The lcd's focus mark: amber, dotted over a dark line.
      painter.setPen(QPen(QColor(40, 30, 0), 2));
      painter.drawRect(mark.adjusted(1, 1, -1, -1));
      painter.setPen(QPen(QColor(255, 190, 40), 2, Qt::DotLine));
      painter.drawRect(mark.adjusted(1, 1, -1, -1));
    } else {
      painter.setPen(QPen(kInk, 2));
      painter.drawRect(mark.adjusted(1, 1, -1, -1));
    }
  }
}

void PatternGridView::PaintCell(QPainter& painter, int channel, int step) const {
  const GridCell& cell = cells_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(step)];
  const QRect box = CellRect(channel, step);
  if ((step / 4) % 2 == 1) {
    painter.fillRect(box, kBeatShade);
  }
  if (cell.volume >= 0) {
    const int fill = (box.height() - 1) * cell.volume / kMaxVolume;
    painter.fillRect(QRect(box.left(), box.bottom() - fill + 1, box.width(), fill), kVolumeFill);
  }
  painter.setPen(QPen(kInk, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawLine(box.topLeft(), box.bottomLeft());
  painter.drawLine(box.topLeft(), box.topRight());
  if (cell.controllers) {
    painter.drawRect(QRect(box.right() - 7, box.bottom() - 7, 5, 5));
  }
  if (!cell.triggers) {
    return;
  }
  // A step that plays: an ink bar along its top, the sample's first letters, the note.
  painter.fillRect(QRect(box.left() + 1, box.top() + 1, box.width() - 1, 3), kInk);
  const QRect text = box.adjusted(3, 5, -2, -2);
  QFont small = font();
  small.setPixelSize(10);
  painter.setFont(small);
  const QFontMetrics metrics(small);
  painter.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                   metrics.elidedText(QString::fromStdString(cell.name), Qt::ElideRight,
                                      text.width(), Qt::TextSingleLine));
  if (!cell.note.empty()) {
    QFont bold = small;
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(cell.note));
  }
}

void PatternGridView::mousePressEvent(QMouseEvent* event) {
  const auto cell = CellAt(event->position().toPoint());
  if (!cell) {
    return;
  }
  if (event->button() == Qt::RightButton) {
    if (onPopup) {
      onPopup(cell->first, cell->second, event->globalPosition().toPoint());
    }
    return;
  }
  if (event->button() == Qt::LeftButton) {
    pressed_ = cell;
    pressY_ = event->position().toPoint().y();
    dragging_ = false;
  }
}

void PatternGridView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || (event->buttons() & Qt::LeftButton) == 0) {
    return;
  }
  const int y = event->position().toPoint().y();
  if (!dragging_ && std::abs(y - pressY_) < kDragStart) {
    return;
  }
  if (!dragging_) {
    dragging_ = true;
    if (onDragStart) {
      onDragStart(pressed_->first, pressed_->second);
    }
  }
  const QRect box = CellRect(pressed_->first, pressed_->second);
  if (onDrag) {
    onDrag(DragVolume(y - box.top(), box.height()));
  }
}

void PatternGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressed_ || event->button() != Qt::LeftButton) {
    return;
  }
  const auto cell = *pressed_;
  pressed_.reset();
  if (dragging_) {
    dragging_ = false;
    if (onDragEnd) {
      onDragEnd();
    }
  } else if (onToggle) {
    onToggle(cell.first, cell.second);
  }
}

void PatternGridView::keyPressEvent(QKeyEvent* event) {
  int channel = std::max(cursorChannel_, 0);
  int step = cursorStep_;
  switch (event->key()) {
  case Qt::Key_Left:
    step = std::max(step - 1, 0);
    break;
  case Qt::Key_Right:
    step = std::min(step + 1, kSteps - 1);
    break;
  case Qt::Key_Up:
    channel = std::max(channel - 1, 0);
    break;
  case Qt::Key_Down:
    channel = std::min(channel + 1, kChannels - 1);
    break;
  case Qt::Key_Home:
    step = 0;
    break;
  case Qt::Key_End:
    step = kSteps - 1;
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (onPopup) {
      onPopup(channel, step, mapToGlobal(CellRect(channel, step).bottomLeft()));
    }
    return;
  case Qt::Key_Delete:
  case Qt::Key_Backspace:
    if (onClear) {
      onClear(channel, step);
    }
    return;
  default:
    ImageControl::keyPressEvent(event);
    return;
  }
  if (onMove) {
    onMove(channel, step);
  }
}

PatternGridWindow::PatternGridWindow(Engine& engine, MainWindow& main)
    : QWidget(&main,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      engine_(engine), main_(main) {
  setObjectName("PatternGridWindow");
  setWindowTitle(QStringLiteral("Pattern grid"));
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));

  title_ = new QLabel(this);
  title_->setObjectName("gridTitle");
  title_->setGeometry(8, 6, 400, 18);
  title_->setFont(WindowFont(9, true));
  grid_ = new PatternGridView(this);
  grid_->move(kLeft, kTop);
  setFixedSize(kLeft + grid_->width() + 8, kTop + grid_->height() + 8);

  for (int c = 0; c < kChannels; ++c) {
    const int top = kTop + PatternGridView::kHeader + c * PatternGridView::kCellHeight + 6;
    auto* name = new QLabel(QStringLiteral("Ch %1").arg(c + 1), this);
    name->setGeometry(8, top, 30, 22);
    // A switch of the main window's: toggled, not clicked, as assistive technology
    // toggles it without a click. Following a key, the window's own setChecked finds the
    // switch where it is already.
    const auto button = [&](const QString& text, const QString& what, const QString& key, int left,
                            const std::array<bool, kChannels>& state,
                            void (MainWindow::*toggle)(int)) {
      auto* b = new QToolButton(this);
      b->setText(text);
      b->setObjectName(QStringLiteral("%1%2").arg(what.toLower()).arg(c + 1));
      b->setGeometry(left, top, 24, 22);
      b->setCheckable(true);
      b->setFocusPolicy(Qt::TabFocus);
      b->setAccessibleName(QStringLiteral("%1 channel %2").arg(what).arg(c + 1));
      b->setToolTip(QStringLiteral("%1 channel %2 (%3)").arg(what).arg(c + 1).arg(key));
      connect(b, &QToolButton::toggled, this, [this, c, &state, toggle](bool on) {
        if (on != state[static_cast<std::size_t>(c)]) {
          (main_.*toggle)(c);
          Follow();
        }
      });
      return b;
    };
    const ChannelMutes& mutes = main_.mutes();
    QToolButton* mute = button(QStringLiteral("M"), QStringLiteral("Mute"), QString::number(c + 1),
                               40, mutes.mute, &MainWindow::ToggleMute);
    QToolButton* solo =
        button(QStringLiteral("S"), QStringLiteral("Solo"), QStringLiteral("Shift+%1").arg(c + 1),
               66, mutes.solo, &MainWindow::ToggleSolo);
    mute_[static_cast<std::size_t>(c)] = mute;
    solo_[static_cast<std::size_t>(c)] = solo;
  }

  grid_->onToggle = [this](int c, int i) { Toggle(c, i); };
  grid_->onPressCell = [this](int c, int i) { Toggle(c, i); };
  grid_->onPopup = [this](int c, int i, QPoint at) { Popup(c, i, at); };
  grid_->onMove = [this](int c, int i) { Select(c, i); };
  grid_->onClear = [this](int c, int i) {
    Select(c, i);
    if (Undoable(main_.history(), engine_, "Remove Note",
                 [this, i] { return RemoveNoteAt(engine_, i); })) {
      main_.Refresh(RefreshFlags::StepOnly());
    }
    Follow();
  };
  grid_->onDragStart = [this](int c, int i) {
    Select(c, i);
    main_.history().BeginDrag(engine_, "Step Volume");
  };
  grid_->onDrag = [this](int volume) {
    if (SetStepVolume(engine_, volume)) {
      main_.Refresh(RefreshFlags::StepOnly());
      Follow();
    }
  };
  grid_->onDragEnd = [this] { main_.history().EndDrag(engine_); };

  follow_ = new QTimer(this);
  follow_->setInterval(kFollowMs);
  connect(follow_, &QTimer::timeout, this, [this] { Follow(); });
  Follow();
}

void PatternGridWindow::ShowNearMain() {
  Follow();
  const QRect mainFrame = main_.frameGeometry();
  const QSize outer = frameGeometry().size();
  const auto remembered = VisiblePosition(main_.settings().windowPosition(kPlaceName), outer);
  move(
      KeptOnScreen(remembered.value_or(QPoint(mainFrame.right() + 1 + 2, mainFrame.top())), outer));
  if (isVisible()) {
    raise();
  } else {
    show();
  }
  activateWindow();
  grid_->setFocus();
}

void PatternGridWindow::RememberPlace() {
  if (isVisible()) {
    KeepPlace();
  }
}

void PatternGridWindow::KeepPlace() {
  main_.settings().setWindowPosition(kPlaceName, frameGeometry().topLeft());
}

void PatternGridWindow::showEvent(QShowEvent* event) {
  follow_->start();
  QWidget::showEvent(event);
}

void PatternGridWindow::hideEvent(QHideEvent* event) {
  KeepPlace(); // no longer visible by now
  follow_->stop();
  QWidget::hideEvent(event);
}

void PatternGridWindow::Follow() {
  const SongDocument& s = engine_.Interface();
  const std::optional<PlayTrace::Mark>& heard = main_.heard();
  // In song mode the grid follows the song as it is heard; otherwise it shows what the
  // main window edits.
  if (engine_.songMode && heard) {
    bank_ = heard->bank;
    pattern_ = heard->pattern;
  } else {
    bank_ = s.editBank;
    pattern_ = s.editPattern;
  }
  const bool edited = bank_ == s.editBank && pattern_ == s.editPattern;
  const int running =
      heard && heard->bank == bank_ && heard->pattern == pattern_ ? heard->step : -1;
  grid_->Show(PatternGridCells(s, engine_.InterfaceSamples(), bank_, pattern_), running,
              edited ? s.activeChannel : -1, edited ? s.activeStep : 0);
  const QString title =
      QStringLiteral("Bank %1  Pattern %2").arg(bank_ + 1).arg(pattern_ + 1) +
      (engine_.songMode && heard ? QStringLiteral("  (song position %1)").arg(heard->songPosition)
                                 : QString());
  if (title_->text() != title) {
    title_->setText(title);
  }
  const ChannelMutes& mutes = main_.mutes();
  for (int c = 0; c < kChannels; ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (mute_[i]->isChecked() != mutes.mute[i]) {
      mute_[i]->setChecked(mutes.mute[i]);
    }
    if (solo_[i]->isChecked() != mutes.solo[i]) {
      solo_[i]->setChecked(mutes.solo[i]);
    }
  }
}

void PatternGridWindow::Select(int channel, int step) {
  main_.Refresh(SelectCell(engine_, bank_, pattern_, channel, step));
  Follow();
}

void PatternGridWindow::Toggle(int channel, int step) {
  Select(channel, step);
  if (Undoable(main_.history(), engine_, "Remove Note",
               [this, step] { return RemoveNoteAt(engine_, step); })) {
    main_.Refresh(RefreshFlags::StepOnly());
  } else {
    const int32_t slot = ChannelLastSample(engine_.Interface(), engine_.InterfaceSamples(), bank_,
                                           pattern_, channel, step);
    if (slot < 0) {
      // Nothing to repeat yet: choose, as the lcd offers.
      Popup(channel, step, grid_->mapToGlobal(PatternGridView::CellRect(channel, step).center()));
      return;
    }
    if (Undoable(main_.history(), engine_, "Place Sample",
                 [this, slot] { return ChooseSample(engine_, slot, true); })) {
      main_.Refresh(RefreshFlags::StepOnly());
    }
  }
  Follow();
}

void PatternGridWindow::Popup(int channel, int step, QPoint global) {
  Select(channel, step);
  main_.SampleMenuPopup(global);
  Follow();
}

} // namespace lw
