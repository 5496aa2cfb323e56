#include "ui/StepControllersDialog.h"

#include "commands/StepControllers.h"
#include "engine/Engine.h"
#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace lw {

namespace {

QLineEdit* NumberBox(QWidget* parent, const char* name, QRect geometry) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  SetFieldColour(box, kFieldColour);
  return box;
}

constexpr const char* kModeNames[5] = {"rbDefault", "rbNoteOff", "rbRetrigC", "rbRetrigL",
                                       "rbRetrigS"};
constexpr const char* kModeCaptions[5] = {
    "Keep it going (do nothing special)", "Note Off", "Retrigger note and continue",
    "Retrigger note and loop back", "Retrigger note and stop (stutter)"};

} // namespace

StepControllersDialog::StepControllersDialog(Engine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), engine_(engine) {
  setObjectName("StepControllersDialog");
  setWindowTitle(QStringLiteral("Controllers for this step"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));
  BuildControls();
}

void StepControllersDialog::BuildControls() {
  AddRoundedPanel(this, "volumePanel", {8, 8, 433, 60});
  QLabel* volumeLabel = AddLabel(
      this, "Label1",
      QStringLiteral("Override volume for this channel (0-127, or blank for no change)"), {16, 16});
  volumebox_ = NumberBox(this, "volumebox", {16, 36, 49, 21});
  volumeLabel->setBuddy(volumebox_); // the boxes' names for assistive technology
  connect(volumebox_, &QLineEdit::textChanged, this, [this] { volumeboxChange(); });

  AddRoundedPanel(this, "behaviourPanel", {8, 76, 433, 172});
  AddLabel(this, "Label3", QStringLiteral("Special note behavior (FT 9xx command)"), {16, 84});
  using Handler = void (StepControllersDialog::*)();
  const Handler handlers[5] = {
      &StepControllersDialog::rbDefaultClick, &StepControllersDialog::rbNoteOffClick,
      &StepControllersDialog::rbRetrigCClick, &StepControllersDialog::rbRetrigLClick,
      &StepControllersDialog::rbRetrigSClick};
  for (int i = 0; i < 5; ++i) {
    auto* button = new QRadioButton(QString::fromLatin1(kModeCaptions[i]), this);
    button->setObjectName(kModeNames[i]);
    button->setGeometry(16, 106 + 22 * i, 233, 17);
    SetBackground(button, kFieldColour);
    // The form starts as a new step is: nothing special.
    button->setChecked(i == 0);
    // A button runs its handler when it becomes checked, by a click or by FormShow.
    connect(button, &QRadioButton::toggled, this, [this, handler = handlers[i]](bool checked) {
      if (checked) {
        (this->*handler)();
      }
    });
    modes_[i] = button;
  }

  startLabel_ = AddLabel(this, "startLabel", QStringLiteral("Start position"), {264, 106});
  loopStart_ = NumberBox(this, "loopStart", {264, 122, 73, 21});
  startLabel_->setBuddy(loopStart_);
  connect(loopStart_, &QLineEdit::textChanged, this, [this] { loopStartChange(); });
  loopLabel_ = AddLabel(this, "loopLabel", QStringLiteral("End/Loopback position"), {264, 150});
  loopEnd_ = NumberBox(this, "loopEnd", {264, 166, 73, 21});
  loopLabel_->setBuddy(loopEnd_);
  connect(loopEnd_, &QLineEdit::textChanged, this, [this] { loopEndChange(); });
  rangeLabel_ = new QLabel(
      QStringLiteral("Values ranging from 0 to 1024 may be entered in here. (512 = halfway)."),
      this);
  rangeLabel_->setObjectName("rangeLabel");
  rangeLabel_->setWordWrap(true);
  rangeLabel_->setGeometry(264, 194, 169, 48);

  HidePositionControls();

  doneBtn_ = new QPushButton(QStringLiteral("Done"), this);
  doneBtn_->setObjectName("DoneBtn");
  doneBtn_->setGeometry(187, 260, 75, 25);
  doneBtn_->setDefault(true);
  connect(doneBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

void StepControllersDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    FormShow();
    volumebox_->setFocus();
  }
}

void StepControllersDialog::FormShow() {
  if (editedStep == nullptr) {
    return;
  }
  const Step step = *editedStep;
  ShowInBox(volumebox_, step.volume <= kMaxVolume ? QString::number(step.volume) : QString());
  const std::optional<int> button = ModeButton(step.mode);
  if (!button) {
    // A mode only a foreign file holds: no button claims it and the byte stays as it is.
    for (QRadioButton* mode : modes_) {
      mode->setAutoExclusive(false);
      mode->setChecked(false);
      mode->setAutoExclusive(true);
    }
    HidePositionControls();
    return;
  }
  modes_.at(static_cast<std::size_t>(*button))->setChecked(true);
  ShowControlsFor(step.mode);
}

void StepControllersDialog::volumeboxChange() {
  const BoxEdit edit = VolumeBoxEdit(volumebox_->text().toStdString());
  if (edit.replaceWith) {
    volumebox_->setText(QString::fromStdString(*edit.replaceWith));
  }
  StoreBoxEdit(engine_, editedStep, StepField::Volume, edit);
}

void StepControllersDialog::loopStartChange() {
  const BoxEdit edit = PositionBoxEdit(loopStart_->text().toStdString());
  if (edit.replaceWith) {
    loopStart_->setText(QString::fromStdString(*edit.replaceWith));
  }
  StoreBoxEdit(engine_, editedStep, StepField::StartPos, edit);
}

// An end at or before the start stays in the box but is not stored.
void StepControllersDialog::loopEndChange() {
  const BoxEdit edit = PositionBoxEdit(loopEnd_->text().toStdString());
  if (edit.replaceWith) {
    loopEnd_->setText(QString::fromStdString(*edit.replaceWith));
  }
  StoreBoxEdit(engine_, editedStep, StepField::EndPos, edit);
}

void StepControllersDialog::rbDefaultClick() {
  SetMode(static_cast<uint8_t>(StepMode::None));
}
void StepControllersDialog::rbNoteOffClick() {
  SetMode(static_cast<uint8_t>(StepMode::NoteOff));
}
void StepControllersDialog::rbRetrigCClick() {
  SetMode(static_cast<uint8_t>(StepMode::RetrigContinue));
}
void StepControllersDialog::rbRetrigLClick() {
  SetMode(static_cast<uint8_t>(StepMode::RetrigLoop));
}
void StepControllersDialog::rbRetrigSClick() {
  SetMode(static_cast<uint8_t>(StepMode::RetrigStutter));
}

// The positions stay as they are whatever the mode, shown or not.
void StepControllersDialog::SetMode(uint8_t mode) {
  SetStepMode(engine_, editedStep, mode);
  ShowControlsFor(mode);
}

void StepControllersDialog::ShowControlsFor(uint8_t mode) {
  switch (PositionControlsFor(mode)) {
  case PositionControls::None:
    HidePositionControls();
    break;
  case PositionControls::StartOnly:
    ShowStartOnly();
    break;
  case PositionControls::StartAndEnd:
    ShowStartAndEnd();
    break;
  }
}

void StepControllersDialog::HidePositionControls() {
  for (QWidget* control : PositionControlWidgets()) {
    control->hide();
  }
}

void StepControllersDialog::ShowPositionControls() {
  for (QWidget* control : PositionControlWidgets()) {
    control->show();
  }
}

std::array<QWidget*, 5> StepControllersDialog::PositionControlWidgets() const {
  return {loopStart_, loopEnd_, startLabel_, loopLabel_, rangeLabel_};
}

void StepControllersDialog::ShowStartOnly() {
  loopEnd_->hide();
  loopLabel_->hide();
  loopStart_->show();
  startLabel_->show();
  rangeLabel_->show();
  if (editedStep != nullptr) {
    ShowInBox(loopStart_, QString::number(editedStep->startPos));
  }
}

void StepControllersDialog::ShowStartAndEnd() {
  if (editedStep != nullptr) {
    ShowInBox(loopStart_, QString::number(editedStep->startPos));
    ShowInBox(loopEnd_, QString::number(editedStep->endPos));
  }
  ShowPositionControls();
}

void StepControllersDialog::ShowInBox(QLineEdit* box, const QString& text) {
  if (box->text() != text) {
    box->setText(text);
  }
}

} // namespace lw
