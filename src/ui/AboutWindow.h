#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace lw {

// The three boxes of the About menu, in its order.
enum class AboutBox { LoopWren = 0, Kestra = 1, OskeLum = 2 };

// An about box: pictures, a read-only text and one button. Each is made when its menu
// item is chosen, shown modally and destroyed when it closes.
class AboutWindow : public QDialog {
public:
  AboutWindow(AboutBox which, QWidget* parent);

  [[nodiscard]] QPushButton* button() const { return button_; }
  [[nodiscard]] QPlainTextEdit* text() const { return text_; }

  // The button is also the cancel button, and every way out answers OK.
  void reject() override { accept(); }

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildLoopWren();
  void BuildKestra();
  void BuildOskeLum();
  void AddPicture(const QString& name, QRect geometry);
  void AddText(const QString& text, QRect geometry);
  void AddButton(const QString& caption, QRect geometry);

  QPlainTextEdit* text_ = nullptr;
  QPushButton* button_ = nullptr;
};

} // namespace lw
