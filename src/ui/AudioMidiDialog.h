#pragma once

#include "live/LiveOutputs.h"

#include <QDialog>

#include <array>
#include <string>

class QLabel;
class QPushButton;
class QRadioButton;

namespace lw {

// "Audio & MIDI": which live output plays (Auto, JACK or SDL), with a line on the one
// playing now. Made when shown; the caller applies and remembers the choice on Ok.
class AudioMidiDialog : public QDialog {
public:
  static constexpr int kClientWidth = 361;
  static constexpr int kClientHeight = 209;

  explicit AudioMidiDialog(QWidget* parent);

  // Marks the current choice and shows the line on the output playing.
  void Show(OutputChoice choice, const std::string& playing);
  [[nodiscard]] OutputChoice Choice() const;

  // Auto, JACK, SDL.
  [[nodiscard]] QRadioButton* outputButton(int index) const { return outputs_.at(index); }
  [[nodiscard]] QLabel* playingLabel() const { return playing_; }
  [[nodiscard]] QPushButton* okButton() const { return okBtn_; }
  [[nodiscard]] QPushButton* cancelButton() const { return cancelBtn_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  std::array<QRadioButton*, 3> outputs_{};
  QLabel* playing_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* okBtn_ = nullptr;
};

} // namespace lw
