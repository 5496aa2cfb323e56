#include "ui/BounceDialog.h"

#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace lw {

BounceDialog::BounceDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("BounceDialog");
  setWindowTitle(QStringLiteral("Bounce Pattern to Sample"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));

  auto* about = new QLabel(
      QStringLiteral("This function renders the current pattern into a sample and stores it "
                     "into your instrument list. You can then use it as any normal sample... The "
                     "loop will be normalized automatically to max-out the volume !"),
      this);
  about->setObjectName("Label2");
  about->setWordWrap(true);
  about->setGeometry(24, 16, 257, 57);
  // The frame holds four lines; at the dialog's 8 points the explanation wraps to five,
  // so it is set half a point smaller.
  about->setFont(WindowFont(7.5));
  AddLabel(this, "Label1", QStringLiteral("Enter a descriptive name for this pattern/loop:"),
           {24, 80});

  loopName_ = new QLineEdit(this);
  loopName_->setObjectName("LoopName");
  loopName_->setGeometry(24, 96, 257, 21);
  loopName_->setMaxLength(64);
  SetFieldColour(loopName_, kFieldColour);

  cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelBtn_->setObjectName("CancelBtn");
  cancelBtn_->setGeometry(143, 136, 75, 25);
  cancelBtn_->setAutoDefault(false);
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
  okBtn_ = new QPushButton(QStringLiteral("Ok"), this);
  okBtn_->setObjectName("OkBtn");
  okBtn_->setGeometry(224, 136, 75, 25);
  okBtn_->setDefault(true);
  connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

void BounceDialog::Propose(const std::string& name) {
  loopName_->setText(ShownText(name));
}

std::string BounceDialog::Name() const {
  return StoredText(loopName_->text());
}

void BounceDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    loopName_->setFocus();
    loopName_->selectAll();
  }
}

} // namespace lw
