#include "ui/SequenceGrid.h"

#include "song/SequenceEditing.h"
#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <climits>

namespace lw {

namespace {

// Vertical lines between the slots only, and the current cell in the selection's colours
// even while the grid has no focus: it is where the song plays.
class SlotDelegate : public QStyledItemDelegate {
public:
  explicit SlotDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), view_(view) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem look(option);
    look.state &= ~QStyle::State_HasFocus;
    if (index == view_->currentIndex()) {
      look.state |= QStyle::State_Selected;
    }
    QStyledItemDelegate::paint(painter, look, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }

private:
  QAbstractItemView* view_;
};

// The slot numbers over the columns. The style's section margins leave a 28-pixel column
// too little room for "[100]", so the numbers are centred in the whole section.
class SlotHeader : public QHeaderView {
public:
  explicit SlotHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->save();
    painter->setClipRect(rect); // the style leaves its own clip behind
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(rect, Qt::AlignCenter,
                      model()->headerData(logicalIndex, orientation()).toString());
    painter->restore();
  }
};

} // namespace

SequenceGrid::SequenceGrid(QWidget* parent) : QTableWidget(1, kSequenceSlots, parent) {
  setObjectName("seq");
  setFont(WindowFont(8));
  SetFieldColour(this, kFieldColour);
  setItemDelegate(new SlotDelegate(this));
  setShowGrid(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  setWordWrap(false);

  setHorizontalHeader(new SlotHeader(this));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(kRowHeight); // else the font's height decides
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView* header = horizontalHeader();
  header->setFont(WindowFont(8));
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setMinimumSectionSize(kColumnWidth);
  header->setDefaultSectionSize(kColumnWidth);
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setFixedHeight(kRowHeight);

  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    auto* head = new QTableWidgetItem(QString::fromStdString(SequenceHeaderText(slot)));
    setHorizontalHeaderItem(slot, head);
    auto* cell = new QTableWidgetItem();
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    cell->setTextAlignment(Qt::AlignCenter);
    setItem(0, slot, cell);
  }
  setFixedHeight(2 * kRowHeight + horizontalScrollBar()->sizeHint().height() + 2 * frameWidth());
  setCurrentCell(0, 0);
}

void SequenceGrid::SetSlotText(int slot, const QString& text) {
  QTableWidgetItem* cell = item(0, slot);
  if (cell != nullptr && cell->text() != text) {
    cell->setText(text);
  }
}

QString SequenceGrid::HeaderText(int slot) const {
  const QTableWidgetItem* head = horizontalHeaderItem(slot);
  return head != nullptr ? head->text() : QString();
}

QString SequenceGrid::SlotText(int slot) const {
  const QTableWidgetItem* cell = item(0, slot);
  return cell != nullptr ? cell->text() : QString();
}

int SequenceGrid::FirstSelected() const {
  const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
  if (ranges.isEmpty()) {
    return std::max(currentColumn(), 0);
  }
  int first = INT_MAX;
  for (const QTableWidgetSelectionRange& range : ranges) {
    first = std::min(first, range.leftColumn());
  }
  return first;
}

int SequenceGrid::SelectedWidth() const {
  const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
  if (ranges.isEmpty()) {
    return 1;
  }
  int last = 0;
  for (const QTableWidgetSelectionRange& range : ranges) {
    last = std::max(last, range.rightColumn());
  }
  return last - FirstSelected() + 1;
}

void SequenceGrid::SelectSlots(int first, int last) {
  clearSelection();
  setRangeSelected(QTableWidgetSelectionRange(0, first, 0, last), true);
}

void SequenceGrid::ShowCurrent(int slot) {
  const QModelIndex index = model()->index(0, slot);
  if (!index.isValid()) {
    return;
  }
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  scrollTo(index);
}

int SequenceGrid::CurrentSlot() const {
  return currentColumn();
}

void SequenceGrid::mouseReleaseEvent(QMouseEvent* event) {
  QTableWidget::mouseReleaseEvent(event);
  if (onMouseUp) {
    onMouseUp();
  }
}

} // namespace lw
