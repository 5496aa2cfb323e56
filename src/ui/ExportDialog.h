#pragma once

#include "ui/ExportChoice.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace lw {

class ProgramSettings;

// "Export audio": what to render, the format, the quality of a lossy format and the
// stems. It opens with the choices accepted last, as the settings keep them, and keeps
// the ones it is accepted with.
class ExportDialog : public QDialog {
public:
  static constexpr int kClientWidth = 385;
  static constexpr int kClientHeight = 196;
  // The quality slider's steps: 0 the smallest files, kQualitySteps the best sound.
  static constexpr int kQualitySteps = 10;

  // `songloop`: the sequencer's selection is the song loop, so "Songloop" can be chosen.
  ExportDialog(ProgramSettings& settings, bool songloop, QWidget* parent);

  // The choices as the dialog shows them.
  [[nodiscard]] ExportChoice Choice() const;
  void SetChoice(const ExportChoice& choice);

  [[nodiscard]] QRadioButton* kindButton(RenderKind kind) const {
    return kinds_.at(static_cast<std::size_t>(kind));
  }
  [[nodiscard]] QComboBox* formatBox() const { return formatBox_; }
  [[nodiscard]] QSlider* qualitySlider() const { return qualitySlider_; }
  [[nodiscard]] QLabel* qualityValue() const { return qualityValue_; }
  [[nodiscard]] QCheckBox* stemsBox() const { return stemsBox_; }
  [[nodiscard]] QPushButton* okButton() const { return okBtn_; }
  [[nodiscard]] QPushButton* cancelButton() const { return cancelBtn_; }

  void accept() override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void FormatChanged();

  ProgramSettings& settings_;
  std::array<QRadioButton*, 3> kinds_{};
  QComboBox* formatBox_;
  QSlider* qualitySlider_;
  QLabel* qualityValue_;
  std::array<QWidget*, 5> qualityParts_{}; // the slider with its labels
  QCheckBox* stemsBox_;
  QPushButton* cancelBtn_;
  QPushButton* okBtn_;
};

} // namespace lw
