#include "ui/AboutWindow.h"

#include "ui/AboutTexts.h"
#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

namespace lw {

AboutWindow::AboutWindow(AboutBox which, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("AboutWindow");
  setWindowTitle(QStringLiteral(" "));
  setFont(WindowFont(8));
  switch (which) {
  case AboutBox::LoopWren:
    BuildLoopWren();
    break;
  case AboutBox::Kestra:
    BuildKestra();
    break;
  case AboutBox::OskeLum:
    BuildOskeLum();
    break;
  }
  button_->setFocus();
}

void AboutWindow::BuildLoopWren() {
  setFixedSize(456, 265);
  SetBackground(this, kWindowColour);
  AddPicture(QStringLiteral("about_loopwren"), {128, 2, 222, 49});
  AddText(QString::fromUtf8(kAboutLoopWren), {16, 56, 425, 164});
  AddButton(QStringLiteral("Okidoki"), {184, 232, 105, 25});
}

void AboutWindow::BuildKestra() {
  setFixedSize(456, 332);
  SetBackground(this, kFieldColour);
  AddPicture(QStringLiteral("about_kestra"), {64, 2, 320, 85});
  AddPicture(QStringLiteral("about_kestra_strip"), {72, 306, 320, 15});
  AddText(QString::fromUtf8(kAboutKestra), {16, 96, 425, 164});
  AddButton(QStringLiteral("I can't wait !"), {176, 264, 105, 25});
}

void AboutWindow::BuildOskeLum() {
  setFixedSize(456, 265);
  SetBackground(this, kWindowColour);
  AddPicture(QStringLiteral("about_author"), {0, 0, 250, 221});
  QLabel* files =
      AddLabel(this, "filesLabel", QStringLiteral("Current files on subject:"), {256, 8});
  files->setFont(WindowFontPixels(12));
  files->adjustSize();
  auto* line = new QFrame(this);
  line->setObjectName("line");
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line->setGeometry(0, 221, 456, 2);
  AddText(QString::fromUtf8(kAboutOskeLum), {256, 32, 193, 188});
  AddButton(QStringLiteral("Okidoki"), {184, 232, 105, 25});
}

void AboutWindow::AddPicture(const QString& name, QRect geometry) {
  auto* picture = new QLabel(this);
  picture->setObjectName(name);
  picture->setGeometry(geometry);
  picture->setPixmap(SkinPicture(name, geometry.size()));
}

void AboutWindow::AddText(const QString& text, QRect geometry) {
  text_ = new QPlainTextEdit(text, this);
  text_->setObjectName("text");
  text_->setGeometry(geometry);
  text_->setReadOnly(true);
  text_->setFrameStyle(QFrame::NoFrame);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text_->setFont(WindowFontPixels(11));
  text_->setFocusPolicy(Qt::NoFocus);
  SetFieldColour(text_, palette().color(QPalette::Window));
}

void AboutWindow::AddButton(const QString& caption, QRect geometry) {
  button_ = new QPushButton(caption, this);
  button_->setObjectName("button");
  button_->setGeometry(geometry);
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    button_->setFocus();
  }
}

} // namespace lw
