#include "ui/AudioMidiDialog.h"

#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace lw {

namespace {

// In the order of OutputChoice.
constexpr const char* kOutputNames[3] = {"rbAuto", "rbJack", "rbSdl"};
constexpr const char* kOutputCaptions[3] = {"Auto: JACK when a JACK server is running, else SDL",
                                            "JACK: the client \"LoopWren\", in the server's period",
                                            "SDL: the system's sound output, as always"};

} // namespace

AudioMidiDialog::AudioMidiDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("AudioMidiDialog");
  setWindowTitle(QStringLiteral("Audio & MIDI"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));

  AddRoundedPanel(this, "outputPanel", {8, 8, 345, 100});
  AddLabel(this, "Label1", QStringLiteral("Play the song through"), {16, 16});
  for (int i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(QString::fromLatin1(kOutputCaptions[i]), this);
    button->setObjectName(kOutputNames[i]);
    button->setGeometry(16, 38 + 22 * i, 329, 17);
    SetBackground(button, kFieldColour);
    outputs_[static_cast<std::size_t>(i)] = button;
  }
  outputs_[0]->setChecked(true);

  AddLabel(this, "Label2", QStringLiteral("Playing now through"), {8, 118});
  playing_ = new QLabel(this);
  playing_->setObjectName("PlayingLabel");
  playing_->setWordWrap(true);
  playing_->setGeometry(8, 134, 345, 34);
  playing_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelBtn_->setObjectName("CancelBtn");
  cancelBtn_->setGeometry(197, 176, 75, 25);
  cancelBtn_->setAutoDefault(false);
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
  okBtn_ = new QPushButton(QStringLiteral("Ok"), this);
  okBtn_->setObjectName("OkBtn");
  okBtn_->setGeometry(278, 176, 75, 25);
  okBtn_->setDefault(true);
  connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

void AudioMidiDialog::Show(OutputChoice choice, const std::string& playing) {
  outputs_.at(static_cast<std::size_t>(choice))->setChecked(true);
  playing_->setText(QString::fromStdString(playing));
}

OutputChoice AudioMidiDialog::Choice() const {
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    if (outputs_[i]->isChecked()) {
      return static_cast<OutputChoice>(i);
    }
  }
  return OutputChoice::Auto;
}

void AudioMidiDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
  }
}

} // namespace lw
