#include "ui/RenderProgressDialog.h"

#include "ui/DialogParts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

namespace lw {

namespace {

QProgressBar* Gauge(QWidget* parent, const char* name, QRect geometry) {
  auto* gauge = new QProgressBar(parent);
  gauge->setObjectName(name);
  gauge->setGeometry(geometry);
  gauge->setRange(0, 100);
  gauge->setValue(0);
  gauge->setTextVisible(false);
  gauge->setStyleSheet(QStringLiteral("QProgressBar { background: black; border: none; }"
                                      "QProgressBar::chunk { background: #FFE2C4; }"));
  return gauge;
}

void BoldLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
  QLabel* label = AddLabel(parent, name, text, at);
  label->setFont(WindowFont(9, true));
  label->adjustSize();
}

} // namespace

RenderProgressDialog::RenderProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName("RenderProgressDialog");
  setWindowTitle(QStringLiteral("Rendering to Wav..."));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kDialogColour);
  setFont(WindowFont(8));
  BoldLabel(this, "Label1", QStringLiteral("Current pattern..."), {48, 16});
  current_ = Gauge(this, "current", {48, 32, 257, 25});
  BoldLabel(this, "Label2", QStringLiteral("Overall..."), {48, 72});
  overall_ = Gauge(this, "overall", {48, 88, 257, 25});
}

void RenderProgressDialog::FormShow() {
  SetGauge(current_, 0);
  SetGauge(overall_, 0);
}

// Shown without a modal loop: the render goes on at once on this thread. Letting the
// window system map the window first is all the event handling done while it runs; the
// user's input waits until the render is over.
void RenderProgressDialog::Show() {
  FormShow();
  show();
  CentreOnScreen(this);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
}

void RenderProgressDialog::Hide() {
  hide();
}

void RenderProgressDialog::PatternStarted() {
  repaint();
}

void RenderProgressDialog::SetCurrent(int percent) {
  SetGauge(current_, percent);
}

void RenderProgressDialog::SetOverall(int percent) {
  SetGauge(overall_, percent);
}

void RenderProgressDialog::SetGauge(QProgressBar* gauge, int percent) {
  if (gauge->value() != percent) {
    gauge->setValue(percent);
    gauge->repaint();
  }
}

} // namespace lw
