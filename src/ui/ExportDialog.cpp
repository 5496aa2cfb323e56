#include "ui/ExportDialog.h"

#include "ui/DialogParts.h"
#include "ui/Settings.h"
#include "ui/Skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace lw {

namespace {

// As the File > Render Wav submenu names them, in RenderKind's order.
constexpr std::array<const char*, 3> kKindCaptions{"This pattern", "Entire song", "Songloop"};
constexpr std::array<const char*, 3> kKindNames{"rbPattern", "rbSong", "rbSongloop"};

constexpr int kRightEdge = ExportDialog::kClientWidth - 16;
constexpr int kSecondColumn = 160;

} // namespace

ExportDialog::ExportDialog(ProgramSettings& settings, bool songloop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      settings_(settings) {
  setObjectName("ExportDialog");
  setWindowTitle(QStringLiteral("Export audio"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));

  AddLabel(this, "RenderLabel", QStringLiteral("Render:"), {16, 16});
  for (std::size_t k = 0; k < kinds_.size(); ++k) {
    auto* button = new QRadioButton(QString::fromLatin1(kKindCaptions[k]), this);
    button->setObjectName(kKindNames[k]);
    button->setGeometry(24, 36 + 22 * static_cast<int>(k),
                        std::min(button->sizeHint().width(), kSecondColumn - 8 - 24), 17);
    kinds_[k] = button;
  }
  kindButton(RenderKind::SongLoop)->setEnabled(songloop);

  AddLabel(this, "FormatLabel", QStringLiteral("Format:"), {kSecondColumn, 16});
  formatBox_ = new QComboBox(this);
  formatBox_->setObjectName("FormatBox");
  formatBox_->setGeometry(kSecondColumn, 34, kRightEdge - kSecondColumn, 22);
  for (const ExportFormatInfo& info : ExportFormats()) {
    formatBox_->addItem(QString::fromLatin1(info.caption), static_cast<int>(info.format));
  }
  SetFieldColour(formatBox_, kFieldColour);

  QLabel* qualityLabel =
      AddLabel(this, "QualityLabel", QStringLiteral("Quality:"), {kSecondColumn, 66});
  // Wide enough for "10"; the label is not resized as its number changes.
  qualityValue_ = new QLabel(this);
  qualityValue_->setObjectName("QualityValue");
  qualityValue_->setGeometry(qualityLabel->geometry().right() + 6, 66, 24, qualityLabel->height());
  qualitySlider_ = new QSlider(Qt::Horizontal, this);
  qualitySlider_->setObjectName("QualitySlider");
  qualitySlider_->setGeometry(kSecondColumn, 84, kRightEdge - kSecondColumn, 21);
  qualitySlider_->setRange(0, kQualitySteps);
  qualitySlider_->setPageStep(1);
  qualitySlider_->setTickPosition(QSlider::TicksBelow);
  qualitySlider_->setTickInterval(1);
  connect(qualitySlider_, &QSlider::valueChanged, this,
          [this](int value) { qualityValue_->setText(QString::number(value)); });
  QLabel* smaller =
      AddLabel(this, "SmallerLabel", QStringLiteral("smaller files"), {kSecondColumn, 108});
  QLabel* better = AddLabel(this, "BetterLabel", QStringLiteral("better sound"), {0, 108});
  better->move(kRightEdge - better->width(), 108);
  qualityParts_ = {qualityLabel, qualityValue_, qualitySlider_, smaller, better};

  auto* line = new QFrame(this);
  line->setObjectName("Bevel1");
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line->setGeometry(16, 130, kRightEdge - 16, 2);
  stemsBox_ = new QCheckBox(
      QStringLiteral("Also write stems: each channel, the delay and the vinyl noise"), this);
  stemsBox_->setObjectName("StemsBox");
  stemsBox_->setGeometry(16, 140, kRightEdge - 16, 17);

  cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelBtn_->setObjectName("CancelBtn");
  cancelBtn_->setGeometry(kRightEdge - 156, 164, 75, 25);
  cancelBtn_->setAutoDefault(false);
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
  okBtn_ = new QPushButton(QStringLiteral("Ok"), this);
  okBtn_->setObjectName("OkBtn");
  okBtn_->setGeometry(kRightEdge - 75, 164, 75, 25);
  okBtn_->setDefault(true);
  connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);

  connect(formatBox_, &QComboBox::currentIndexChanged, this, [this] { FormatChanged(); });
  SetChoice(settings_.exportChoice());
}

ExportChoice ExportDialog::Choice() const {
  ExportChoice choice;
  for (std::size_t k = 0; k < kinds_.size(); ++k) {
    if (kinds_[k]->isChecked()) {
      choice.kind = static_cast<RenderKind>(k);
    }
  }
  choice.options.format = static_cast<ExportFormat>(formatBox_->currentData().toInt());
  choice.options.quality = static_cast<double>(qualitySlider_->value()) / kQualitySteps;
  choice.options.stems = stemsBox_->isChecked();
  return choice;
}

// A song loop that cannot be chosen now gives way to the entire song.
void ExportDialog::SetChoice(const ExportChoice& choice) {
  const RenderKind kind =
      choice.kind == RenderKind::SongLoop && !kindButton(RenderKind::SongLoop)->isEnabled()
          ? RenderKind::EntireSong
          : choice.kind;
  kindButton(kind)->setChecked(true);
  formatBox_->setCurrentIndex(formatBox_->findData(static_cast<int>(choice.options.format)));
  const double quality = std::clamp(choice.options.quality, 0.0, 1.0);
  qualitySlider_->setValue(static_cast<int>(std::lround(quality * kQualitySteps)));
  qualityValue_->setText(QString::number(qualitySlider_->value()));
  stemsBox_->setChecked(choice.options.stems);
  FormatChanged();
}

// The lossless formats have no quality to choose.
void ExportDialog::FormatChanged() {
  const bool lossy = InfoOf(static_cast<ExportFormat>(formatBox_->currentData().toInt())).lossy;
  for (QWidget* part : qualityParts_) {
    part->setEnabled(lossy);
  }
}

void ExportDialog::accept() {
  settings_.setExportChoice(Choice());
  QDialog::accept();
}

void ExportDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    okBtn_->setFocus();
  }
}

} // namespace lw
