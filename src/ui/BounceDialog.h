#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace lw {

// "Bounce Pattern to Sample": asks for the name of the loop a pattern becomes. Created
// at start-up and shown modally for every bounce.
class BounceDialog : public QDialog {
public:
  static constexpr int kClientWidth = 305;
  static constexpr int kClientHeight = 166;

  explicit BounceDialog(QWidget* parent);

  // Puts the proposed name into the box, before the dialog is shown.
  void Propose(const std::string& name);
  // The name as typed, in the song's stored form.
  [[nodiscard]] std::string Name() const;

  [[nodiscard]] QLineEdit* loopName() const { return loopName_; }
  [[nodiscard]] QPushButton* okButton() const { return okBtn_; }
  [[nodiscard]] QPushButton* cancelButton() const { return cancelBtn_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  QLineEdit* loopName_;
  QPushButton* cancelBtn_;
  QPushButton* okBtn_;
};

} // namespace lw
