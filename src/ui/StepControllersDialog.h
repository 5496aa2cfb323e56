#pragma once

#include <QDialog>

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lw {

struct Engine;
struct Step;

// "Controllers for this step": the volume override, the special note behaviour and the
// start and end positions of one step. Every change goes straight into the step as it is
// typed or clicked; there is no cancel. Created at start-up and reused.
class StepControllersDialog : public QDialog {
public:
  static constexpr int kClientWidth = 449;
  static constexpr int kClientHeight = 296;

  StepControllersDialog(Engine& engine, QWidget* parent);

  // The step to edit; set by the caller before every showing.
  Step* editedStep = nullptr;

  // Fills the controls from the step. Writing a control runs its handler only when it
  // shows something new, so opening the dialog again on the same step changes nothing.
  void FormShow();

  // Handlers, public so that tests reach them as the user would.
  void volumeboxChange();
  void rbDefaultClick();
  void rbNoteOffClick();
  void rbRetrigCClick();
  void rbRetrigLClick();
  void rbRetrigSClick();
  void loopStartChange();
  void loopEndChange();
  void HidePositionControls();
  void ShowPositionControls();

  [[nodiscard]] QLineEdit* volumeBox() const { return volumebox_; }
  [[nodiscard]] QLineEdit* startBox() const { return loopStart_; }
  [[nodiscard]] QLineEdit* endBox() const { return loopEnd_; }
  // rbDefault, rbNoteOff, rbRetrigC, rbRetrigL, rbRetrigS.
  [[nodiscard]] QRadioButton* modeButton(int index) const { return modes_.at(index); }
  [[nodiscard]] QPushButton* doneButton() const { return doneBtn_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildControls();
  void ShowControlsFor(uint8_t mode);
  void ShowStartOnly();
  void ShowStartAndEnd();
  void SetMode(uint8_t mode);
  [[nodiscard]] std::array<QWidget*, 5> PositionControlWidgets() const;
  // Writes a box only when it shows something else, as its handler then runs.
  static void ShowInBox(QLineEdit* box, const QString& text);

  Engine& engine_;
  QLineEdit* volumebox_ = nullptr;
  std::array<QRadioButton*, 5> modes_{};
  QLineEdit* loopStart_ = nullptr;
  QLineEdit* loopEnd_ = nullptr;
  QLabel* startLabel_ = nullptr;
  QLabel* loopLabel_ = nullptr;
  QLabel* rangeLabel_ = nullptr;
  QPushButton* doneBtn_ = nullptr;
};

} // namespace lw
