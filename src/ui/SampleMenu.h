#pragma once

#include "samples/SampleTable.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QStyleOptionMenuItem;

namespace lw {

// One line of the sample popup: a sample ("MI05"), the last-used sample ("MILU") or the
// separator ("-"); `newColumn` starts a column with it. `lastUsedSlot` is the slot the
// last-used entry repeats.
struct SampleMenuEntry {
  QString caption;
  QString name;
  bool newColumn = false;
  int32_t lastUsedSlot = -1;
};

// The popup's lines for the samples in use: one per used slot in slot order, in columns
// of 12 lines, and, when the last choice names a slot in use, that sample and a separator
// at the top (the first column counts them whenever a last choice exists).
[[nodiscard]] std::vector<SampleMenuEntry>
SampleMenuEntries(const SampleTable& table, int32_t lastSampleChoice, SlotIndexMap& slotIndexMap);

// The slot an entry names: lastSampleChoice for "MILU", the number in "MInn" otherwise;
// -1 when the name holds no number.
[[nodiscard]] int32_t ChosenSlot(const QString& name, int32_t lastSampleChoice);

// The popup itself, drawn and driven like the platform's popup menus: the style's menu
// panel, frame and items, the entry under the pointer highlighted, arrow keys, Home and
// End to move, Return, Enter or Space to choose (the first entry when none is highlighted),
// Escape to close, and a character to jump to the entries starting with it (choosing them
// when they all place one sample). Toolkit menus break into columns only when they run
// out of screen, so this one lays its columns out itself.
class SampleMenu : public QWidget {
public:
  explicit SampleMenu(QWidget* parent);

  void Build(const std::vector<SampleMenuEntry>& entries);
  // Shows the popup with its top left corner at the point, moved left and up as far as
  // it takes to stay on that point's screen; nothing is highlighted yet.
  void PopupAt(QPoint globalPosition);
  // The entries' internal names, column by column.
  [[nodiscard]] std::vector<std::vector<QString>> Columns() const;
  // Chooses an entry as a click would: hides the popup, then reports the name.
  void Choose(const QString& name);

  // What an entry shows, its place in the popup (empty for an unknown name), and the
  // highlighted entry's name (empty when none is).
  [[nodiscard]] QString Caption(const QString& name) const;
  [[nodiscard]] QRect EntryRect(const QString& name) const;
  [[nodiscard]] QString Highlighted() const;

  [[nodiscard]] QSize sizeHint() const override;

  std::function<void(const QString& name)> onChoose;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  struct Item {
    QString caption;
    QString name;
    int column = 0;
    int row = 0;
    QRect rect;
    int32_t slot = -1; // the sample it places, -1 when unknown
    [[nodiscard]] bool isSeparator() const { return name == QStringLiteral("-"); }
  };

  void LayOut();
  void InitItemOption(QStyleOptionMenuItem& option, const Item& item) const;
  void Highlight(int index);
  [[nodiscard]] int ItemAt(QPoint position) const;
  // The entry `step` places after `from` in reading order, past separators and around
  // the ends; the first (or, stepping back, the last) entry when `from` is none.
  [[nodiscard]] int Neighbour(int from, int step) const;
  // The entry at `row` of `column` or, past its end, its last one; a separator gives
  // way to the entry below it.
  [[nodiscard]] int AtRow(int column, int row) const;
  void TypeAhead(const QString& text);

  std::vector<Item> items_;               // in reading order, column after column
  std::vector<std::vector<int>> columns_; // indices into items_
  QSize size_;                            // the panel around the laid-out entries
  int highlighted_ = -1;                  // index into items_, -1 for none
  bool armed_ = false; // a release chooses only after a press or a move in the popup
  QPoint lastPointer_; // where the pointer was last seen, in screen coordinates
};

} // namespace lw
