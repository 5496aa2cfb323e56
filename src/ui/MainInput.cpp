// What the main window's buttons, tempo box, lcd rows, bank and pattern panels and
// sample popup do.
#include "audio_out/Playback.h"
#include "engine/BlackBox.h"
#include "ui/SampleMenu.h"
#include "ui/mainunit.h"

#include <QLineEdit>

#include <algorithm>

namespace lw {

namespace {

constexpr int32_t kMinTempo = 30;
constexpr int32_t kMaxTempo = 1230;

} // namespace

void TMain::PlayBtnClick() { context_.playback.PlayBtnClick(); }

void TMain::plus10Click() {
  {
    const auto hold = Lock();
    engine_.state.song.tempo = std::min(engine_.state.song.tempo + 10, kMaxTempo);
    engine_.UpdateTiming();
    engine_.state.songChanged = true;
  }
  RefreshDisplay(false, false, false);
}

void TMain::minus10Click() {
  {
    const auto hold = Lock();
    engine_.state.song.tempo = std::max(engine_.state.song.tempo - 10, kMinTempo);
    engine_.UpdateTiming();
    engine_.state.songChanged = true;
  }
  RefreshDisplay(false, false, false);
}

// Runs on every change of the box's text, typed or written by the program. Replacing the
// text runs it again on the new text before this run finishes.
void TMain::tempoBoxChange() {
  const QString text = tempoBox_->text();
  if (!text.isEmpty() && text != QStringLiteral(" ")) {
    bool isNumber = false;
    QString digits = text;
    while (digits.startsWith(' ')) {
      digits.remove(0, 1);
    }
    const int value = digits.toInt(&isNumber);
    if (!isNumber || digits.contains(' ')) {
      tempoBox_->setText(QStringLiteral("1"));
    } else if (value > kMaxTempo) {
      tempoBox_->setText(QStringLiteral("1230"));
    } else if (value < 0) {
      tempoBox_->setText(QString::number(engine_.state.song.tempo));
    } else if (value >= kMinTempo) {
      const auto hold = Lock();
      engine_.state.song.tempo = value;
      engine_.UpdateTiming();
    }
  }
  engine_.state.songChanged = true;
}

void TMain::DistortClick(int channel) {
  {
    const auto hold = Lock();
    engine_.state.song.channel(engine_.state.editBank, engine_.state.editPattern, channel).distortOn ^= 1U;
    engine_.state.songChanged = true;
  }
  RefreshDisplay(false, true, false);
}

void TMain::ChannelClick(int channel) {
  engine_.state.activeChannel = channel;
  engine_.state.activeStep = 0;
  RefreshDisplay(true, true, true);
}

void TMain::KeyClick(int semitone) {
  {
    const auto hold = Lock();
    Step& step = engine_.state.activeStepRecord();
    step.note = (step.note / 12) * 12 + semitone;
    engine_.state.songChanged = true;
  }
  RefreshDisplay(false, false, true);
}

void TMain::OctaveClick(int octave) {
  {
    const auto hold = Lock();
    Step& step = engine_.state.activeStepRecord();
    step.note = (step.note % 12) + 12 * octave;
    engine_.state.songChanged = true;
  }
  RefreshDisplay(false, false, true);
}

void TMain::lcdMouseDown(QPoint p) {
  if (p.x() < 65 || p.x() > 401 || p.y() < 2 || p.y() > 75) {
    return;
  }
  const int column = std::clamp((p.x() - 66) / 21, 0, kSteps - 1);
  SongState& s = engine_.state;
  s.activeStep = column;
  if (p.y() <= 24) {
    RefreshDisplay(false, false, true);
  } else if (p.y() <= 46) {
    Step& step = s.activeStepRecord();
    if (step.trigger != 0) {
      {
        const auto hold = Lock();
        step.trigger = 0;
        s.songChanged = true;
      }
      RefreshDisplay(false, false, true);
    } else {
      const QPoint origin = frameGeometry().topLeft(); // the window's outer corner
      SampleMenuPopup(QPoint(origin.x() + lcd_->x() + p.x(), origin.y() + lcd_->y() + p.y() + 30));
    }
  } else {
    dialogs_->ShowControllers();
    RefreshDisplay(false, false, true);
  }
}

void TMain::SampleMenuPopup(QPoint globalPosition) {
  if (CountUsedSlots(engine_.samples) == 0) {
    dialogs_->ShowSampleManager();
    return;
  }
  SlotIndexMap map{};
  sampleMenu_->Build(SampleMenuEntries(engine_.samples, engine_.state.lastSampleChoice, map));
  sampleMenu_->PopupAt(globalPosition);
}

void TMain::sampleChoose(const QString& entryName) {
  SongState& s = engine_.state;
  const int32_t slot = ChosenSlot(entryName, s.lastSampleChoice);
  // A slot freed since the popup was built is never put on a step.
  if (slot < 0 || slot >= kSampleSlots || !engine_.samples.slots[static_cast<std::size_t>(slot)].isUsed()) {
    return;
  }
  {
    const auto hold = Lock();
    if (entryName != QStringLiteral("MILU")) {
      s.lastSampleChoice = slot;
    }
    Step& step = s.activeStepRecord();
    step.sample = static_cast<uint8_t>(slot);
    step.trigger = 1;
    s.songChanged = true;
  }
  RefreshDisplay(false, false, true);
}

void TMain::BankPanelMouseDown(ImageControl& panel, QPoint p) {
  const int column = std::clamp(p.x() / 19, 0, 3);
  const int row = std::clamp(p.y() / 18, 0, 1);
  const int cell = column + 4 * row;
  SongState& s = engine_.state;
  {
    const auto hold = Lock();
    if (&panel == bankPanel_) {
      s.nextBank = s.editBank = cell;
      if (!engine_.playing) {
        s.playBank = cell;
      }
    } else {
      s.nextPattern = s.editPattern = cell;
      if (!engine_.playing) {
        s.playPattern = cell;
      }
    }
  }
  if (dialogs_->SequencerVisible()) {
    dialogs_->SetSequenceSlot(s.editBank, s.editPattern);
  }
  RefreshDisplay(true, true, true);
}

void TMain::Manager1Click() {
  dialogs_->ShowSampleManager();
  RefreshDisplay(false, false, true);
}

void TMain::PatternSequencer1Click() {
  if (!dialogs_->SequencerVisible()) {
    dialogs_->ShowSequencer();
  }
}

} // namespace lw
