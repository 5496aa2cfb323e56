#pragma once

#include "commands/PatternGrid.h"
#include "ui/ImageControl.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class QLabel;
class QTimer;
class QToolButton;

namespace lw {

struct Engine;
class MainWindow;

// The cells of the pattern grid window: three channels of sixteen steps, each showing
// whether its step plays, its sample's name, an instrument's note, and its volume
// controller as the cell's fill; a lit column where the sound is. A click toggles a step
// (placing the channel's last sample), a right click or Return opens the sample popup, a
// vertical drag sets the step's volume controller, and the keys move as on the lcd.
class PatternGridView : public ImageControl {
public:
  static constexpr int kCellWidth = 44;
  static constexpr int kCellHeight = 34;
  static constexpr int kHeader = 16; // the step numbers above the cells

  explicit PatternGridView(QWidget* parent);

  // What to show: the cells, the step being heard (-1: none) and the cell being edited
  // (channel -1: another pattern is edited). Repaints only what changed.
  void Show(const GridCells& cells, int runningStep, int cursorChannel, int cursorStep);
  [[nodiscard]] const GridCells& gridCells() const { return cells_; }
  [[nodiscard]] int runningStep() const { return running_; }
  // The cell under a point, or none.
  [[nodiscard]] static std::optional<std::pair<int, int>> CellAt(QPoint point);
  [[nodiscard]] static QRect CellRect(int channel, int step);
  // What a cell says to assistive technology.
  [[nodiscard]] QString CellText(int channel, int step) const;

  // What the window does with the user's gestures.
  std::function<void(int channel, int step)> onToggle;
  std::function<void(int channel, int step, QPoint global)> onPopup;
  std::function<void(int channel, int step)> onDragStart;
  std::function<void(int volume)> onDrag;
  std::function<void()> onDragEnd;
  std::function<void(int channel, int step)> onMove; // the keys moved the cursor
  std::function<void(int channel, int step)> onClear;
  // Assistive technology pressing a cell: what a click does.
  std::function<void(int channel, int step)> onPressCell;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void PaintCell(QPainter& painter, int channel, int step) const;

  GridCells cells_;
  int running_ = -1;
  int cursorChannel_ = 0;
  int cursorStep_ = 0;
  std::optional<std::pair<int, int>> pressed_; // the cell a left press began in
  int pressY_ = 0;
  bool dragging_ = false;
};

// "Pattern grid": the edited pattern (in song mode while the song sounds, the pattern
// heard) as a grid of all three channels, with each channel's mute and solo switches.
// It edits through the lcd's commands, so each edit is an undo step and the main window
// follows. Created at start-up like the sequencer, shown from the Tools menu; it keeps
// its place between runs.
class PatternGridWindow : public QWidget {
public:
  PatternGridWindow(Engine& engine, MainWindow& main);

  // Shows the window where the user left it last time, or below the main window.
  void ShowNearMain();
  void RememberPlace();
  // Brings the grid in line with the song, the sound and the switches: run each screen
  // frame while the window shows (tests call it directly).
  void Follow();

  // The pattern shown.
  [[nodiscard]] int32_t shownBank() const { return bank_; }
  [[nodiscard]] int32_t shownPattern() const { return pattern_; }
  [[nodiscard]] PatternGridView* grid() const { return grid_; }
  [[nodiscard]] QToolButton* muteButton(int channel) const {
    return mute_[static_cast<std::size_t>(channel)];
  }
  [[nodiscard]] QToolButton* soloButton(int channel) const {
    return solo_[static_cast<std::size_t>(channel)];
  }

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void KeepPlace();
  // Makes a cell the edited one (its pattern too), as a click on it in the lcd would.
  void Select(int channel, int step);
  void Toggle(int channel, int step);
  void Popup(int channel, int step, QPoint global);

  Engine& engine_;
  MainWindow& main_;
  QLabel* title_ = nullptr;
  PatternGridView* grid_ = nullptr;
  std::array<QToolButton*, 3> mute_{};
  std::array<QToolButton*, 3> solo_{};
  QTimer* follow_ = nullptr;
  int32_t bank_ = 0;
  int32_t pattern_ = 0;
};

} // namespace lw
