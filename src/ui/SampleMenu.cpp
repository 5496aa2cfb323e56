#include "ui/SampleMenu.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionMenuItem>

#include <algorithm>

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
    entries.insert(entries.begin(), {{caption, QStringLiteral("MILU"), false, lastSampleChoice},
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

SampleMenu::SampleMenu(QWidget* parent) : QWidget(parent, Qt::Popup) {
  setObjectName("SampleMenu");
  setAttribute(Qt::WA_X11NetWmWindowTypePopupMenu);
  setMouseTracking(true);
  // The platform's menu font and colours, as its menus have them.
  setFont(QApplication::font("QMenu"));
  setPalette(QApplication::palette("QMenu"));
}

void SampleMenu::Build(const std::vector<SampleMenuEntry>& entries) {
  items_.clear();
  columns_.clear();
  for (const SampleMenuEntry& entry : entries) {
    if (columns_.empty() || entry.newColumn) {
      columns_.emplace_back();
    }
    const int column = static_cast<int>(columns_.size()) - 1;
    const int row = static_cast<int>(columns_.back().size());
    columns_.back().push_back(static_cast<int>(items_.size()));
    const int32_t slot =
        entry.name == QStringLiteral("MILU") ? entry.lastUsedSlot : ChosenSlot(entry.name, -1);
    items_.push_back({entry.caption, entry.name, column, row, {}, slot});
  }
  highlighted_ = -1;
  LayOut();
}

void SampleMenu::InitItemOption(QStyleOptionMenuItem& option, const Item& item) const {
  option.initFrom(this);
  option.palette = palette();
  option.state = QStyle::State_None;
  if (isActiveWindow()) {
    option.state |= QStyle::State_Active;
  }
  if (isEnabled()) {
    option.state |= QStyle::State_Enabled;
  }
  if (highlighted_ >= 0 && &items_[static_cast<std::size_t>(highlighted_)] == &item) {
    option.state |= QStyle::State_Selected;
  }
  option.menuItemType =
      item.isSeparator() ? QStyleOptionMenuItem::Separator : QStyleOptionMenuItem::Normal;
  option.checkType = QStyleOptionMenuItem::NotCheckable;
  option.menuHasCheckableItems = false;
  option.maxIconWidth = 0;
  option.reservedShortcutWidth = 0;
  // Styles read '&' as a mnemonic marker; sample names show theirs as typed.
  option.text = item.isSeparator() ? QString() : QString(item.caption).replace('&', "&&");
  option.font = font();
  option.fontMetrics = fontMetrics();
  option.menuRect = rect();
  option.rect = item.rect;
}

// Each column is as wide as its widest entry, the entries are as high as the style makes
// them, and the panel is the columns side by side inside the style's menu frame and margins.
void SampleMenu::LayOut() {
  const QStyle* s = style();
  const int frame = s->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
  const int hMargin = s->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
  const int vMargin = s->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
  const QFontMetrics metrics = fontMetrics();

  std::vector<QSize> sizes;
  sizes.reserve(items_.size());
  for (const Item& item : items_) {
    QStyleOptionMenuItem option;
    InitItemOption(option, item);
    const QSize content =
        item.isSeparator() ? QSize(2, 2)
                           : metrics.size(Qt::TextSingleLine | Qt::TextShowMnemonic, option.text);
    sizes.push_back(s->sizeFromContents(QStyle::CT_MenuItem, &option, content, this));
  }

  int x = frame + hMargin;
  int tallest = 0;
  for (const std::vector<int>& column : columns_) {
    int width = 0;
    for (const int i : column) {
      width = std::max(width, sizes[static_cast<std::size_t>(i)].width());
    }
    int y = frame + vMargin;
    for (const int i : column) {
      const int height = sizes[static_cast<std::size_t>(i)].height();
      items_[static_cast<std::size_t>(i)].rect = QRect(x, y, width, height);
      y += height;
    }
    tallest = std::max(tallest, y - frame - vMargin);
    x += width;
  }
  size_ = QSize(x + hMargin + frame, tallest + 2 * (vMargin + frame));
  resize(size_);

  QStyleOption option;
  option.initFrom(this);
  option.rect = QRect(QPoint(), size_);
  QStyleHintReturnMask mask;
  if (s->styleHint(QStyle::SH_Menu_Mask, &option, this, &mask) != 0) {
    setMask(mask.region);
  } else {
    clearMask();
  }
  update();
}

QSize SampleMenu::sizeHint() const {
  return size_;
}

void SampleMenu::PopupAt(QPoint globalPosition) {
  highlighted_ = -1;
  armed_ = false;
  lastPointer_ = QCursor::pos();
  QScreen* screen = QGuiApplication::screenAt(globalPosition);
  if (screen == nullptr) {
    screen = this->screen();
  }
  const QRect area = screen->availableGeometry();
  const int x = std::min(globalPosition.x(), area.x() + area.width() - size_.width());
  const int y = std::min(globalPosition.y(), area.y() + area.height() - size_.height());
  move(std::max(x, area.x()), std::max(y, area.y()));
  show();
}

std::vector<std::vector<QString>> SampleMenu::Columns() const {
  std::vector<std::vector<QString>> names;
  for (const std::vector<int>& column : columns_) {
    names.emplace_back();
    for (const int i : column) {
      names.back().push_back(items_[static_cast<std::size_t>(i)].name);
    }
  }
  return names;
}

void SampleMenu::Choose(const QString& name) {
  hide();
  if (onChoose) {
    onChoose(name);
  }
}

QString SampleMenu::Caption(const QString& name) const {
  for (const Item& item : items_) {
    if (item.name == name) {
      return item.caption;
    }
  }
  return {};
}

QRect SampleMenu::EntryRect(const QString& name) const {
  for (const Item& item : items_) {
    if (item.name == name) {
      return item.rect;
    }
  }
  return {};
}

QString SampleMenu::Highlighted() const {
  return highlighted_ < 0 ? QString() : items_[static_cast<std::size_t>(highlighted_)].name;
}

void SampleMenu::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QStyle* s = style();
  QStyleOptionMenuItem panel;
  panel.initFrom(this);
  panel.state = QStyle::State_None;
  panel.checkType = QStyleOptionMenuItem::NotCheckable;
  panel.maxIconWidth = 0;
  panel.reservedShortcutWidth = 0;
  s->drawPrimitive(QStyle::PE_PanelMenu, &panel, &painter, this);

  QRegion emptyArea(rect());
  for (const Item& item : items_) {
    QStyleOptionMenuItem option;
    InitItemOption(option, item);
    painter.setClipRect(item.rect);
    s->drawControl(QStyle::CE_MenuItem, &option, &painter, this);
    emptyArea -= item.rect;
  }

  const int frame = s->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
  if (frame > 0) {
    const QRegion border = QRegion(rect()) - rect().adjusted(frame, frame, -frame, -frame);
    emptyArea -= border;
    painter.setClipRegion(border);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.state = QStyle::State_None;
    option.lineWidth = frame;
    option.midLineWidth = 0;
    s->drawPrimitive(QStyle::PE_FrameMenu, &option, &painter, this);
  }

  painter.setClipRegion(emptyArea);
  panel.menuItemType = QStyleOptionMenuItem::EmptyArea;
  panel.menuRect = rect();
  panel.rect = rect();
  s->drawControl(QStyle::CE_MenuEmptyArea, &panel, &painter, this);
}

int SampleMenu::ItemAt(QPoint position) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i].isSeparator() && items_[i].rect.contains(position)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void SampleMenu::Highlight(int index) {
  if (index == highlighted_) {
    return;
  }
  if (highlighted_ >= 0) {
    update(items_[static_cast<std::size_t>(highlighted_)].rect);
  }
  highlighted_ = index;
  if (highlighted_ >= 0) {
    update(items_[static_cast<std::size_t>(highlighted_)].rect);
  }
}

void SampleMenu::mouseMoveEvent(QMouseEvent* event) {
  // Windows appearing under a still pointer send moves too; only real ones count.
  const QPoint pointer = event->globalPosition().toPoint();
  if (pointer == lastPointer_) {
    return;
  }
  lastPointer_ = pointer;
  armed_ = true;
  Highlight(ItemAt(event->position().toPoint()));
}

void SampleMenu::mousePressEvent(QMouseEvent* event) {
  if (!rect().contains(event->position().toPoint())) {
    QWidget::mousePressEvent(event); // a popup closes on a press outside it
    return;
  }
  armed_ = true;
  Highlight(ItemAt(event->position().toPoint()));
}

// The press that opened the popup may be let go over it; that chooses nothing until the
// pointer has moved or pressed in the popup.
void SampleMenu::mouseReleaseEvent(QMouseEvent* event) {
  const int index = ItemAt(event->position().toPoint());
  if (armed_ && index >= 0) {
    Choose(items_[static_cast<std::size_t>(index)].name);
  }
}

void SampleMenu::leaveEvent(QEvent* /*event*/) {
  Highlight(-1);
}

int SampleMenu::Neighbour(int from, int step) const {
  const int count = static_cast<int>(items_.size());
  const int start = from >= 0 ? from : (step > 0 ? -1 : count);
  for (int k = 1; k <= count; ++k) {
    const int i = ((start + step * k) % count + count) % count;
    if (!items_[static_cast<std::size_t>(i)].isSeparator()) {
      return i;
    }
  }
  return -1;
}

int SampleMenu::AtRow(int column, int row) const {
  const std::vector<int>& entries = columns_[static_cast<std::size_t>(column)];
  const int last = static_cast<int>(entries.size()) - 1;
  int r = std::min(row, last);
  if (items_[static_cast<std::size_t>(entries[static_cast<std::size_t>(r)])].isSeparator()) {
    r = r < last ? r + 1 : r - 1;
  }
  return r < 0 ? -1 : entries[static_cast<std::size_t>(r)];
}

void SampleMenu::TypeAhead(const QString& text) {
  std::vector<int> matches;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i].isSeparator() && items_[i].caption.startsWith(text, Qt::CaseInsensitive)) {
      matches.push_back(static_cast<int>(i));
    }
  }
  // The last-used entry repeats a sample of the list: a letter that finds only that
  // sample, under both entries, places it as a letter finding one entry does.
  const int32_t firstSlot =
      matches.empty() ? -1 : items_[static_cast<std::size_t>(matches[0])].slot;
  const bool oneSample =
      !matches.empty() && std::all_of(matches.begin(), matches.end(), [&](int i) {
        const int32_t slot = items_[static_cast<std::size_t>(i)].slot;
        return slot >= 0 && slot == firstSlot;
      });
  if (matches.size() == 1 || oneSample) {
    Choose(items_[static_cast<std::size_t>(matches.front())].name);
    return;
  }
  if (!matches.empty()) {
    const auto next = std::upper_bound(matches.begin(), matches.end(), highlighted_);
    Highlight(next != matches.end() ? *next : matches.front());
  }
}

void SampleMenu::keyPressEvent(QKeyEvent* event) {
  const int column = highlighted_ < 0 ? -1 : items_[static_cast<std::size_t>(highlighted_)].column;
  const int row = highlighted_ < 0 ? -1 : items_[static_cast<std::size_t>(highlighted_)].row;
  switch (event->key()) {
  case Qt::Key_Up:
    Highlight(Neighbour(highlighted_, -1));
    break;
  case Qt::Key_Down:
    Highlight(Neighbour(highlighted_, 1));
    break;
  case Qt::Key_Left:
  case Qt::Key_Right: {
    const int next = column + (event->key() == Qt::Key_Left ? -1 : 1);
    if (highlighted_ < 0) {
      Highlight(Neighbour(-1, 1));
    } else if (next >= 0 && next < static_cast<int>(columns_.size())) {
      Highlight(AtRow(next, row));
    }
    break;
  }
  case Qt::Key_Home:
    Highlight(Neighbour(-1, 1));
    break;
  case Qt::Key_End:
    Highlight(Neighbour(-1, -1));
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Space:
    // With nothing highlighted yet, the first entry: the sample last used, if any.
    if (const int chosen = highlighted_ >= 0 ? highlighted_ : Neighbour(-1, 1); chosen >= 0) {
      Choose(items_[static_cast<std::size_t>(chosen)].name);
    }
    break;
  case Qt::Key_Escape:
    hide();
    break;
  default:
    if ((event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0 &&
        !event->text().isEmpty() && event->text().front().isPrint()) {
      TypeAhead(event->text());
    } else {
      QWidget::keyPressEvent(event);
    }
  }
}

void SampleMenu::hideEvent(QHideEvent* event) {
  highlighted_ = -1;
  QWidget::hideEvent(event);
}

void SampleMenu::changeEvent(QEvent* event) {
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
    LayOut();
  }
  QWidget::changeEvent(event);
}

} // namespace lw
