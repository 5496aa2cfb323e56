#pragma once

#include "samples/Manager.h"

#include <QFrame>
#include <QString>

#include <functional>
#include <vector>

namespace lw {

// One line of the sample popup: a sample ("MI05"), the last-used sample ("MILU") or the
// separator ("-"); `newColumn` starts a column with it.
struct SampleMenuEntry {
  QString caption;
  QString name;
  bool newColumn = false;
};

// The popup's lines for the samples in use: one per used slot in slot order, in columns
// of 12 lines, and, when the last choice names a slot in use, that sample and a separator
// at the top (the first column counts them whenever a last choice exists).
[[nodiscard]] std::vector<SampleMenuEntry>
SampleMenuEntries(const SampleTable& table, int32_t lastSampleChoice, SlotIndexMap& slotIndexMap);

// The slot an entry names: lastSampleChoice for "MILU", the number in "MInn" otherwise;
// -1 when the name holds no number.
[[nodiscard]] int32_t ChosenSlot(const QString& name, int32_t lastSampleChoice);

// The popup itself. Toolkit menus break into columns only when they run out of screen,
// so this one lays its columns out itself.
class SampleMenu : public QFrame {
public:
  explicit SampleMenu(QWidget* parent);

  void Build(const std::vector<SampleMenuEntry>& entries);
  void PopupAt(QPoint globalPosition);
  // The entries' internal names, column by column.
  [[nodiscard]] std::vector<std::vector<QString>> Columns() const;
  // Chooses an entry as a click would (for keyboard use and tests).
  void Choose(const QString& name);

  std::function<void(const QString& name)> onChoose;

private:
  std::vector<std::vector<QString>> columns_;
};

} // namespace lw
