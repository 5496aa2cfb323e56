#include "ui/AudioMidiDialog.h"

#include "ui/DialogParts.h"
#include "ui/Skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace lw {

namespace {

// In the order of OutputChoice.
constexpr const char* kOutputNames[3] = {"rbAuto", "rbJack", "rbSdl"};
constexpr const char* kOutputCaptions[3] = {"Auto: JACK when a JACK server is running, else SDL",
                                            "JACK: the client \"LoopWren\", in the server's period",
                                            "SDL: the system's sound output, as always"};

constexpr int kButtonsTop = 396;

// In the order of SyncChoice.
constexpr const char* kSyncCaptions[4] = {
    "Its own tempo", "Follow the JACK transport (start, stop, position, tempo)",
    "Lead the JACK transport with its own tempo", "Follow MIDI clock at \"midi_in\""};

// A check box shows "&" as the start of a shortcut; a port's name means it as itself.
QString Caption(const std::string& name) {
  return QString::fromStdString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

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

  AddRoundedPanel(this, "midiPanel", {8, 176, 345, 124});
  AddLabel(this, "Label3", QStringLiteral("MIDI from"), {16, 184});
  // The rows keep the radio buttons' pitch; the list scrolls past four of them, and
  // sideways for a name longer than the panel is wide.
  midiList_ = new QScrollArea(this);
  midiList_->setObjectName("MidiPorts");
  midiList_->setGeometry(16, 206, 329, 88);
  midiList_->setFrameShape(QFrame::NoFrame);
  midiList_->setWidgetResizable(true);
  auto* rows = new QWidget;
  rows->setObjectName("MidiPortRows");
  SetBackground(rows, kFieldColour);
  midiRows_ = new QVBoxLayout(rows);
  midiRows_->setContentsMargins(0, 0, 0, 0);
  midiRows_->setSpacing(5);
  midiStatus_ = new QLabel(rows);
  midiStatus_->setObjectName("MidiStatus");
  midiStatus_->setWordWrap(true);
  midiStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  midiRows_->addWidget(midiStatus_);
  midiRows_->addStretch(1);
  midiList_->setWidget(rows);
  SetBackground(midiList_->viewport(), kFieldColour);
  ShowMidiPorts({}, {}, {});

  AddRoundedPanel(this, "syncPanel", {8, 308, 345, 80});
  AddLabel(this, "Label4", QStringLiteral("The song keeps time with"), {16, 316});
  sync_ = new QComboBox(this);
  sync_->setObjectName("SyncChoice");
  sync_->setGeometry(16, 334, 329, 22);
  for (const char* caption : kSyncCaptions) {
    sync_->addItem(QString::fromLatin1(caption));
  }
  link_ =
      new QCheckBox(QStringLiteral("Share tempo, phase and start with Ableton Link peers"), this);
  link_->setObjectName("LinkOn");
  link_->setGeometry(16, 362, 329, 17);
  SetBackground(link_, kFieldColour);

  cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelBtn_->setObjectName("CancelBtn");
  cancelBtn_->setGeometry(197, kButtonsTop, 75, 25);
  cancelBtn_->setAutoDefault(false);
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
  okBtn_ = new QPushButton(QStringLiteral("Ok"), this);
  okBtn_->setObjectName("OkBtn");
  okBtn_->setGeometry(278, kButtonsTop, 75, 25);
  okBtn_->setDefault(true);
  connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

void AudioMidiDialog::ShowSync(SyncChoice sync, bool link) {
  sync_->setCurrentIndex(static_cast<int>(sync));
  link_->setChecked(link);
}

bool AudioMidiDialog::Link() const {
  return link_->isChecked();
}

SyncChoice AudioMidiDialog::Sync() const {
  return static_cast<SyncChoice>(std::clamp(sync_->currentIndex(), 0, 3));
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

void AudioMidiDialog::ShowMidiPorts(const std::vector<AlsaPort>& ports,
                                    const std::set<std::string>& excluded,
                                    const std::string& unavailable) {
  for (QCheckBox* box : portBoxes_) {
    delete box;
  }
  portBoxes_.clear();
  portNames_.clear();
  absentExcluded_ = excluded;
  if (unavailable.empty()) {
    for (const AlsaPort& port : ports) {
      if (std::find(portNames_.begin(), portNames_.end(), port.name) != portNames_.end()) {
        continue;
      }
      auto* box = new QCheckBox(Caption(port.name), midiList_->widget());
      box->setObjectName(QStringLiteral("cbMidiPort%1").arg(portBoxes_.size()));
      box->setFixedHeight(17);
      box->setChecked(!excluded.contains(port.name));
      SetBackground(box, kFieldColour);
      midiRows_->insertWidget(midiRows_->count() - 1, box); // above the stretch
      portBoxes_.push_back(box);
      portNames_.push_back(port.name);
      absentExcluded_.erase(port.name);
    }
  }
  // Hidden, the line is emptied too: its old place may lie over the boxes.
  if (!portBoxes_.empty()) {
    midiStatus_->clear();
  } else if (unavailable.empty()) {
    midiStatus_->setText(QStringLiteral("No program or device offers MIDI now."));
  } else {
    midiStatus_->setText(QString::fromStdString(unavailable));
  }
  midiStatus_->setVisible(portBoxes_.empty());
}

std::set<std::string> AudioMidiDialog::ExcludedPorts() const {
  std::set<std::string> excluded = absentExcluded_;
  for (std::size_t i = 0; i < portBoxes_.size(); ++i) {
    if (!portBoxes_[i]->isChecked()) {
      excluded.insert(portNames_[i]);
    }
  }
  return excluded;
}

void AudioMidiDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(this);
  }
}

} // namespace lw
