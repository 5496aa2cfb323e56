#pragma once

#include <QTableWidget>

#include <functional>

namespace lw {

// The sequencer's grid: a fixed header row with the slot numbers over one row with the
// pattern of every slot, 128 columns wide. A drag selects a range of slots; the current
// column (the song position) is drawn like the selection and may sit apart from it, so
// song play never disturbs the range the user picked.
class SequenceGrid : public QTableWidget {
public:
  static constexpr int kColumnWidth = 28;
  static constexpr int kRowHeight = 18;

  explicit SequenceGrid(QWidget* parent);

  void SetSlotText(int slot, const QString& text);
  [[nodiscard]] QString HeaderText(int slot) const;
  [[nodiscard]] QString SlotText(int slot) const;

  // The selection's first slot and its number of slots; one slot at least.
  [[nodiscard]] int FirstSelected() const;
  [[nodiscard]] int SelectedWidth() const;
  void SelectSlots(int first, int last);

  // Moves the current column without touching the selection, and scrolls it into view.
  void ShowCurrent(int slot);
  [[nodiscard]] int CurrentSlot() const;

  // A mouse button was let go over the grid, after the grid has taken the click.
  std::function<void()> onMouseUp;

protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace lw
