#include "ui/SampleManagerWindow.h"

#include "commands/SampleCommands.h"
#include "session/UndoHistory.h"
#include "ui/DialogParts.h"
#include "ui/Drops.h"
#include "ui/Skin.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHideEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

namespace lw {

namespace {

// A 16 x 16 picture in its normal and its greyed look.
QIcon ButtonIcon(const QString& name) {
  QIcon icon;
  icon.addPixmap(SkinPicture(name, {16, 16}), QIcon::Normal);
  icon.addPixmap(SkinPicture(name + QStringLiteral("_disabled"), {16, 16}), QIcon::Disabled);
  return icon;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

// At its place and at least its width; a font wider than the one the layout was drawn
// for lets the caption run on to the frame's edge rather than cut it.
QRadioButton* Radio(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  constexpr int kFrameInnerRight = 385;
  auto* radio = new QRadioButton(text, parent);
  radio->setObjectName(name);
  const int fits = std::min(radio->sizeHint().width(), kFrameInnerRight - geometry.left());
  geometry.setWidth(std::max(geometry.width(), fits));
  radio->setGeometry(geometry);
  return radio;
}

} // namespace

SampleManagerWindow::SampleManagerWindow(Engine& engine, UserPrompts& prompts,
                                         SampleManagerState& manager, UndoHistory& history,
                                         SamplePreviewer& preview, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      engine_(engine), prompts_(prompts), manager_(manager), history_(history), preview_(preview) {
  setObjectName("SampleManagerWindow");
  setWindowTitle(QStringLiteral("Sample Manager"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kDialogColour);
  setFont(WindowFont(8));
  setAcceptDrops(true);
  BuildControls();
}

void SampleManagerWindow::BuildControls() {
  sampleList_ = new QListWidget(this);
  sampleList_->setObjectName("sampleList");
  sampleList_->setAccessibleName(QStringLiteral("Samples"));
  sampleList_->setGeometry(16, 16, 177, 265);
  sampleList_->setSelectionMode(QAbstractItemView::SingleSelection);
  SetFieldColour(sampleList_, Qt::white);
  connect(sampleList_, &QListWidget::itemSelectionChanged, this, [this] { sampleListClick(); });

  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(208, 16, 185, 257);
  AddLabel(this, "Label1", QStringLiteral("Selected sample:"), {216, 24});
  // Beside the caption of the sample it plays, in the frame's free top right corner.
  playBtn_ = Button(this, "PlayBtn", QStringLiteral("Play"), {320, 20, 65, 25});
  connect(playBtn_, &QPushButton::clicked, this, [this] { PlayBtnClick(); });
  // Ahead of the focused button's own use of the key: here it always plays.
  auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
  space->setContext(Qt::WidgetWithChildrenShortcut);
  connect(space, &QShortcut::activated, this, [this] { PlayBtnClick(); });
  AddLabel(this, "Label4", QStringLiteral("Name:"), {216, 48});
  nameLabel_ = AddLabel(this, "NameLabel", QStringLiteral("---"), {264, 48});
  AddLabel(this, "Label3", QStringLiteral("Size:"), {216, 64});
  sizeLabel_ = AddLabel(this, "SizeLabel", QStringLiteral("---"), {264, 64});
  AddLabel(this, "Label5", QStringLiteral("Quality:"), {216, 80});
  qualityLabel_ = AddLabel(this, "QualityLabel", QStringLiteral("---"), {264, 80});
  for (QLabel* detail : {nameLabel_, sizeLabel_, qualityLabel_}) {
    detail->setMaximumWidth(385 - detail->x()); // a long name ends at the frame
  }
  auto* line = new QFrame(this);
  line->setObjectName("Bevel2");
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line->setGeometry(216, 104, 169, 2);
  AddLabel(this, "Label2", QStringLiteral("This sample is a..."), {216, 120});

  rbDrum_ = Radio(this, "rbDrum", QStringLiteral("drumsample (pitched)"), {216, 144, 145, 17});
  rbInstrument_ =
      Radio(this, "rbInstrument", QStringLiteral("instrument (melodic)"), {216, 168, 113, 17});
  rbLoop_ = Radio(this, "rbLoop", QStringLiteral("loop (stretched)"), {216, 192, 113, 17});
  // Only the user's clicks set a category; showing a sample's category stores nothing.
  connect(rbDrum_, &QRadioButton::clicked, this, [this] { rbDrumClick(); });
  connect(rbInstrument_, &QRadioButton::clicked, this, [this] { rbInstrumentClick(); });
  connect(rbLoop_, &QRadioButton::clicked, this, [this] { rbLoopClick(); });

  deleteBtn_ = Button(this, "DeleteBtn", QStringLiteral("Delete"), {216, 240, 81, 25});
  deleteBtn_->setIcon(ButtonIcon(QStringLiteral("delete16")));
  connect(deleteBtn_, &QPushButton::clicked, this, [this] { DeleteBtnClick(); });
  replaceBtn_ = Button(this, "ReplaceBtn", QStringLiteral("Replace"), {304, 240, 83, 25});
  replaceBtn_->setIcon(ButtonIcon(QStringLiteral("replace16")));
  connect(replaceBtn_, &QPushButton::clicked, this, [this] { ReplaceBtnClick(); });
  importBtn_ = Button(this, "ImportBtn", QStringLiteral("Import new sample"), {16, 288, 177, 25});
  // In the gap between the import and Done, on the import's row.
  convertBtn_ =
      Button(this, "ConvertBtn", QStringLiteral("Import and convert..."), {200, 288, 113, 25});
  connect(convertBtn_, &QPushButton::clicked, this, [this] { ConvertBtnClick(); });
  importBtn_->setDefault(true);
  connect(importBtn_, &QPushButton::clicked, this, [this] { ImportBtnClick(); });
  doneBtn_ = Button(this, "DoneBtn", QStringLiteral("Done"), {320, 288, 75, 25});
  connect(doneBtn_, &QPushButton::clicked, this, &QDialog::reject);
  ShowSampleDetails();
}

QRadioButton* SampleManagerWindow::categoryButton(int category) const {
  switch (category) {
  case 0:
    return rbDrum_;
  case 1:
    return rbInstrument_;
  default:
    return rbLoop_;
  }
}

void SampleManagerWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    FormShow();
    importBtn_->setFocus();
  }
}

void SampleManagerWindow::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) {
    preview_.StopPreview();
  }
}

void SampleManagerWindow::FormShow() {
  RefreshSampleList();
}

void SampleManagerWindow::RefreshSampleList() {
  lw::RefreshSampleList(engine_, manager_);
  ShowList();
}

void SampleManagerWindow::ShowList() {
  {
    const QSignalBlocker quiet(sampleList_);
    sampleList_->clear();
    for (const std::string& line : manager_.lines) {
      sampleList_->addItem(ShownText(line));
    }
    sampleList_->setCurrentRow(manager_.selected);
  }
  ShowSampleDetails();
}

void SampleManagerWindow::ShowSampleDetails() {
  const SampleDetails details = lw::ShowSampleDetails(engine_, manager_);
  if (details.category) {
    categoryButton(static_cast<int>(*details.category))->setChecked(true);
  }
  nameLabel_->setText(ShownText(details.name));
  sizeLabel_->setText(QString::fromStdString(details.size));
  qualityLabel_->setText(QString::fromStdString(details.quality));
  for (QLabel* label : {nameLabel_, sizeLabel_, qualityLabel_}) {
    label->adjustSize();
  }
  deleteBtn_->setEnabled(details.canDeleteOrReplace);
  replaceBtn_->setEnabled(details.canDeleteOrReplace);
  playBtn_->setEnabled(details.canDeleteOrReplace);
}

void SampleManagerWindow::sampleListClick() {
  const QList<QListWidgetItem*> chosen = sampleList_->selectedItems();
  SelectSample(manager_, chosen.isEmpty() ? -1 : sampleList_->row(chosen.front()));
  ShowSampleDetails();
}

void SampleManagerWindow::ImportBtnClick() {
  Undoable(history_, engine_, "Import Sample",
           [this] { ImportNewSample(engine_, prompts_, manager_, &preview_); });
  ShowList();
}

void SampleManagerWindow::ConvertBtnClick() {
  Undoable(history_, engine_, "Import Sample",
           [this] { ImportAndConvertSample(engine_, prompts_, manager_, &preview_); });
  ShowList();
}

void SampleManagerWindow::ImportDroppedFiles(const std::vector<std::string>& paths) {
  Undoable(history_, engine_, paths.size() == 1 ? "Import Sample" : "Import Samples", [&] {
    for (const std::string& path : paths) {
      if (ImportDroppedSampleFile(engine_, prompts_, manager_, path) == ImportOutcome::TableFull) {
        break;
      }
    }
  });
  ShowList();
}

void SampleManagerWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) {
    event->acceptProposedAction();
  }
}

void SampleManagerWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> files = LocalFiles(event->mimeData());
  if (!files.empty()) {
    event->acceptProposedAction();
    ImportDroppedFiles(files);
  }
}

// The selected sample's slot, whose sound a delete or a replace lets go; -1 for none.
int32_t SampleManagerWindow::SelectedSlot() const {
  const int32_t line = manager_.selected;
  return line >= 0 && line < static_cast<int32_t>(manager_.lines.size())
             ? manager_.slotIndexMap[static_cast<std::size_t>(line)]
             : -1;
}

void SampleManagerWindow::DeleteBtnClick() {
  history_.Begin(engine_, "Delete Sample", {SelectedSlot()});
  DeleteSelectedSample(engine_, prompts_, manager_);
  history_.End(engine_);
  ShowList();
}

void SampleManagerWindow::ReplaceBtnClick() {
  history_.Begin(engine_, "Replace Sample", {SelectedSlot()});
  ReplaceSelectedSample(engine_, prompts_, manager_, &preview_);
  history_.End(engine_);
  ShowList();
}

// Nothing is selected: nothing to hear, and a preview playing goes on.
void SampleManagerWindow::PlayBtnClick() {
  PreviewSound sound = SelectedSampleSound(engine_, manager_);
  if (!sound.empty()) {
    preview_.Preview(std::move(sound));
  }
}

void SampleManagerWindow::SetCategory(SampleCategory category) {
  Undoable(history_, engine_, "Sample Category",
           [&] { SetSelectedCategory(engine_, manager_, category); });
}

void SampleManagerWindow::rbDrumClick() {
  SetCategory(SampleCategory::Drum);
}

void SampleManagerWindow::rbInstrumentClick() {
  SetCategory(SampleCategory::Instrument);
}

void SampleManagerWindow::rbLoopClick() {
  SetCategory(SampleCategory::Loop);
}

} // namespace lw
