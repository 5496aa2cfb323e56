#include "ui/SampleMenu.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lw {

namespace {

constexpr int kLinesPerColumn = 12;

QString EntryName(int32_t slot) {
  return QStringLiteral("MI%1").arg(slot, 2, 10, QLatin1Char('0'));
}

// A sample's name as its line shows it, up to the name's first NUL byte.
QString Caption(const SampleSlot& slot) {
  return QString::fromUtf8(slot.name.text().c_str());
}

} // namespace

std::vector<SampleMenuEntry> SampleMenuEntries(const SampleTable& table, int32_t lastSampleChoice,
                                               SlotIndexMap& slotIndexMap) {
  const int32_t count = CountUsedSlots(table);
  BuildSlotIndexMap(table, slotIndexMap);
  std::vector<SampleMenuEntry> entries;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t slot = slotIndexMap[static_cast<std::size_t>(i)];
    const bool newColumn = i > 0 && (lastSampleChoice >= 0 ? (i + 2) % kLinesPerColumn == 0
                                                           : i % kLinesPerColumn == 0);
    entries.push_back({Caption(table.slots[slot]), EntryName(slot), newColumn});
  }
  if (lastSampleChoice >= 0 && lastSampleChoice < kSampleSlots &&
      table.slots[lastSampleChoice].isUsed()) {
    const QString caption = Caption(table.slots[lastSampleChoice]);
    entries.insert(entries.begin(), {{caption, QStringLiteral("MILU"), false},
                                     {QStringLiteral("-"), QStringLiteral("-"), false}});
  }
  return entries;
}

int32_t ChosenSlot(const QString& name, int32_t lastSampleChoice) {
  if (name == QStringLiteral("MILU")) {
    return lastSampleChoice;
  }
  bool ok = false;
  const int slot = name.mid(2, 2).toInt(&ok);
  return ok && name.size() == 4 ? slot : -1;
}

SampleMenu::SampleMenu(QWidget* parent) : QFrame(parent, Qt::Popup) {
  setObjectName("SampleMenu");
  setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void SampleMenu::Build(const std::vector<SampleMenuEntry>& entries) {
  // The entries of the previous build go first.
  delete layout();
  qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
  columns_.clear();

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(6);
  QVBoxLayout* column = nullptr;
  for (const SampleMenuEntry& entry : entries) {
    if (column == nullptr || entry.newColumn) {
      column = new QVBoxLayout;
      column->setSpacing(0);
      row->addLayout(column);
      columns_.emplace_back();
    }
    columns_.back().push_back(entry.name);
    if (entry.name == QStringLiteral("-")) {
      auto* line = new QFrame(this);
      line->setObjectName("-");
      line->setFrameShape(QFrame::HLine);
      line->setFrameShadow(QFrame::Sunken);
      column->addWidget(line);
      continue;
    }
    auto* button = new QPushButton(entry.caption, this);
    button->setObjectName(entry.name);
    button->setFlat(true);
    button->setStyleSheet(QStringLiteral("text-align: left; padding: 2px 12px;"));
    const QString name = entry.name;
    connect(button, &QPushButton::clicked, this, [this, name] { Choose(name); });
    column->addWidget(button);
  }
  for (int i = 0; i < row->count(); ++i) {
    if (auto* col = dynamic_cast<QVBoxLayout*>(row->itemAt(i)->layout())) {
      col->addStretch();
    }
  }
  adjustSize();
}

void SampleMenu::PopupAt(QPoint globalPosition) {
  move(globalPosition);
  show();
}

std::vector<std::vector<QString>> SampleMenu::Columns() const {
  return columns_;
}

void SampleMenu::Choose(const QString& name) {
  hide();
  if (onChoose) {
    onChoose(name);
  }
}

} // namespace lw
