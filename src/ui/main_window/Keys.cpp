// The main window under the hands: what every control is called and does for the keyboard,
// the wheel and assistive technology, the readout of a turning knob, and Space to play.
#include "commands/MainCommands.h"
#include "engine/Engine.h"
#include "song/SongState.h"
#include "ui/DialogParts.h"
#include "ui/SequencerWindow.h"
#include "ui/main_window/MainWindow.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace lw {

namespace {

constexpr int kReadoutMs = 1200; // how long a readout stays after the last turn

const char* const kKeyCaptions[12] = {"C",       "C sharp", "D",       "D sharp", "E",       "F",
                                      "F sharp", "G",       "G sharp", "A",       "A sharp", "B"};

const QString kKnobKeys = QStringLiteral(
    "Up and Down turn it by one, Page Up and Page Down by a tenth, Home and End to its ends; "
    "the wheel turns it (finer with Shift); a double-click sets it back to a new song's "
    "value.");

// A text box keeps its own keys, Space included; so does a focused button, which Space
// presses. Everywhere else Space starts and stops playback.
bool KeepsSpace(const QWidget* focus, const QWidget* tempoBox) {
  if (focus == nullptr || focus == tempoBox) {
    return false; // the tempo box takes digits only: a blank was never a tempo
  }
  if (const auto* line = qobject_cast<const QLineEdit*>(focus)) {
    return !line->isReadOnly();
  }
  if (qobject_cast<const QTextEdit*>(focus) != nullptr ||
      qobject_cast<const QPlainTextEdit*>(focus) != nullptr ||
      qobject_cast<const QAbstractSpinBox*>(focus) != nullptr ||
      qobject_cast<const QAbstractButton*>(focus) != nullptr) {
    return true;
  }
  if (const auto* box = qobject_cast<const QComboBox*>(focus)) {
    return box->isEditable();
  }
  if (const auto* control = dynamic_cast<const ImageControl*>(focus)) {
    const ImageControl::Role r = control->role();
    return r == ImageControl::Role::Button || r == ImageControl::Role::Toggle ||
           r == ImageControl::Role::Radio;
  }
  return false;
}

// The channel (0..2) a mute key names, with `solo` set for a solo key: 1, 2 and 3 mute,
// with Shift they solo (Shift turns them into !, @ and # on most keyboards); -1 for none.
int MuteKeyChannel(const QKeyEvent& key, bool& solo) {
  const Qt::KeyboardModifiers held = key.modifiers() & ~Qt::KeypadModifier;
  solo = held == Qt::ShiftModifier;
  if (held != Qt::NoModifier && !solo) {
    return -1;
  }
  static constexpr int kShifted[3] = {Qt::Key_Exclam, Qt::Key_At, Qt::Key_NumberSign};
  for (int c = 0; c < 3; ++c) {
    if (key.key() == Qt::Key_1 + c || (solo && key.key() == kShifted[c])) {
      return c;
    }
  }
  return -1;
}

// Space, and the mute and solo keys, from every window of the program: the song plays or
// stops as the play button of the window in front would have it.
class SpaceToPlay : public QObject {
public:
  SpaceToPlay(MainWindow& main, QWidget* tempoBox)
      : QObject(&main), main_(main), tempoBox_(tempoBox) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || QApplication::activePopupWidget() != nullptr) {
      return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    QWidget* focus = QApplication::focusWidget();
    bool solo = false;
    const int channel = MuteKeyChannel(*key, solo);
    // Digits are the tempo box's own, as they are every text box's.
    if (channel >= 0 && focus != tempoBox_ && !KeepsSpace(focus, tempoBox_)) {
      if (!key->isAutoRepeat()) {
        solo ? main_.ToggleSolo(channel) : main_.ToggleMute(channel);
      }
      return true;
    }
    if (key->key() != Qt::Key_Space || (key->modifiers() & ~Qt::KeypadModifier) != 0 ||
        KeepsSpace(focus, tempoBox_)) {
      return QObject::eventFilter(watched, event);
    }
    if (!key->isAutoRepeat()) {
      main_.PlayKey();
    }
    return true;
  }

private:
  MainWindow& main_;
  QWidget* tempoBox_;
};

// The tempo box's wheel: a notch is a beat per minute. Escape gives the keys to `next`,
// where the digits mute again.
class TempoWheel : public QObject {
public:
  TempoWheel(MainWindow& main, QWidget* box, QWidget* next)
      : QObject(box), main_(main), next_(next) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      next_->setFocus(Qt::OtherFocusReason);
      return true;
    }
    if (event->type() != QEvent::Wheel) {
      return QObject::eventFilter(watched, event);
    }
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint delta = wheel->angleDelta();
    rest_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = rest_ / 120;
    rest_ -= notches * 120;
    if (notches != 0) {
      main_.TurnTempo(notches);
    }
    return true;
  }

private:
  MainWindow& main_;
  QWidget* next_;
  int rest_ = 0;
};

} // namespace

// In MIDI learn mode a mute or solo key also picks the switch the next controller flips.
void MainWindow::ToggleMute(int channel) {
  bool& on = mutes_.mute[static_cast<std::size_t>(channel)];
  on = !on;
  if (learning()) {
    learnSwitch_ = channel;
    learnKnob_ = learnChannel_ = -1;
  }
  ApplyMutes();
}

void MainWindow::ToggleSolo(int channel) {
  bool& on = mutes_.solo[static_cast<std::size_t>(channel)];
  on = !on;
  if (learning()) {
    learnSwitch_ = kChannels + channel;
    learnKnob_ = learnChannel_ = -1;
  }
  ApplyMutes();
}

QString MainWindow::muteText() const {
  QStringList parts;
  const auto list = [&](const std::array<bool, kChannels>& flags, const char* word) {
    QStringList channels;
    for (int c = 0; c < kChannels; ++c) {
      if (flags[static_cast<std::size_t>(c)]) {
        channels << QString::number(c + 1);
      }
    }
    if (!channels.isEmpty()) {
      parts << QString::fromLatin1(word) + QLatin1Char(' ') + channels.join(QLatin1Char(','));
    }
  };
  list(mutes_.mute, "MUTE");
  list(mutes_.solo, "SOLO");
  return parts.join(QStringLiteral("  "));
}

// The engine leaves the channels out from its next block; the window says so where the
// channels are, and its renders leave them out too.
void MainWindow::ApplyMutes() {
  engine_.silenced.store(mutes_.Silenced(), std::memory_order_relaxed);
  const QString text = muteText();
  if (muteBanner_ == nullptr) {
    muteBanner_ = new QLabel(client_);
    muteBanner_->setObjectName("muteBanner");
    muteBanner_->setFont(WindowFontPixels(11, true));
    muteBanner_->setAlignment(Qt::AlignCenter);
    muteBanner_->setStyleSheet(QStringLiteral("QLabel { background: rgb(24, 20, 8); color: "
                                              "rgb(255, 80, 60); border: 1px solid rgb(255, 80, "
                                              "60); }"));
    muteBanner_->setGeometry(24, 222, 109, 18);
    muteBanner_->setToolTip(QStringLiteral(
        "Channels left out of what is heard and of Render Wav, Export and Bounce. Keys: 1, 2, 3 "
        "mute; Shift+1, 2, 3 solo. The song file keeps every channel."));
  }
  muteBanner_->setText(text);
  muteBanner_->setAccessibleName(text.isEmpty() ? QString() : QStringLiteral("Left out: ") + text);
  muteBanner_->setVisible(!text.isEmpty());
  muteBanner_->raise();
}

void MainWindow::PlayKey() {
  if (auto* sequencer = dynamic_cast<SequencerWindow*>(QApplication::activeWindow())) {
    sequencer->PlayBtnMouseUp(Qt::LeftButton);
    return;
  }
  PlayBtnClick();
}

// Every knob's name, tooltip and the unit its readout speaks in.
void MainWindow::DescribeKnob(int index, QString& name, QString& help, KnobUnit& unit) {
  const int c = index >= kDelay1 && index < kVol1  ? index - kDelay1 + 1
                : index >= kVol1 && index < kPitch ? index - kVol1 + 1
                                                   : 0;
  switch (index) {
  case kDelFB:
    name = QStringLiteral("Delay decay");
    help = QStringLiteral("Delay decay: how much of each echo comes back, in percent.");
    unit = KnobUnit::Percent;
    break;
  case kDelSteps:
    name = QStringLiteral("Delay steps");
    help = QStringLiteral("Delay steps: how many steps an echo comes after its sound.");
    unit = KnobUnit::Steps;
    break;
  case kDistort:
    name = QStringLiteral("Distort");
    help = QStringLiteral("Lo-fi distort: how hard the channels with distortion on are driven.");
    unit = KnobUnit::Share;
    break;
  case kVinyl:
    name = QStringLiteral("Vinyl");
    help = QStringLiteral("Lo-fi vinyl: how loud the record's crackle is.");
    unit = KnobUnit::Percent;
    break;
  case kShuffle:
    name = QStringLiteral("Shuffle");
    help = QStringLiteral("Shuffle: how much longer the first of every two steps lasts, in "
                          "percent.");
    unit = KnobUnit::Percent;
    break;
  case kPitch:
    name = QStringLiteral("Pitch");
    help = QStringLiteral("Pitch: the speed the step's drum sample plays at.");
    unit = KnobUnit::Speed;
    break;
  default:
    if (index < kVol1) {
      name = QStringLiteral("Delay send %1").arg(c);
      help = QStringLiteral("Delay send %1: how much of channel %1 goes into the delay.").arg(c);
      unit = KnobUnit::Percent;
    } else {
      name = QStringLiteral("Volume %1").arg(c);
      help = QStringLiteral("Volume %1: the loudness of channel %1 in this pattern.").arg(c);
      unit = KnobUnit::Volume;
    }
    break;
  }
  help += QLatin1Char(' ') + kKnobKeys;
}

QString MainWindow::KnobText(int index) const {
  QString name;
  QString help;
  KnobUnit unit{};
  DescribeKnob(index, name, help, unit);
  return QString::fromStdString(KnobValueText(unit, knobs_[static_cast<std::size_t>(index)]));
}

// A turn from a key, the wheel or assistive technology: a core command, one undo step;
// the moves that share `mergeKey` and follow one another are one step.
void MainWindow::TurnKnob(int index, int32_t to, const std::string& mergeKey) {
  KnobState& knob = knobs_[static_cast<std::size_t>(index)];
  to = std::clamp(to, knob.minimum, knob.maximum);
  if (to != knob.value) {
    history_.Begin(engine_, KnobName(index), {}, mergeKey);
    knob.value = to;
    ShowKnobFrame(index);
    WriteKnob(index);
    history_.End(engine_);
  }
  ShowKnobReadout(index);
}

void MainWindow::ShowKnobReadout(int index) {
  QString name;
  QString help;
  KnobUnit unit{};
  DescribeKnob(index, name, help, unit);
  ShowReadout(knobImages_[static_cast<std::size_t>(index)],
              name + QStringLiteral("  ") + KnobText(index));
}

// A small lcd-like label beside the control, for a moment.
void MainWindow::ShowReadout(const QWidget* near, const QString& text) {
  if (readout_ == nullptr) {
    readout_ = new QLabel(client_);
    readout_->setObjectName("readout");
    readout_->setFont(WindowFontPixels(11, true));
    readout_->setStyleSheet(QStringLiteral("QLabel { background: rgb(24, 20, 8); color: "
                                           "rgb(255, 190, 40); border: 1px solid rgb(255, 190, "
                                           "40); padding: 1px 4px; }"));
    readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
    readoutTimer_ = new QTimer(this);
    readoutTimer_->setSingleShot(true);
    connect(readoutTimer_, &QTimer::timeout, readout_, &QWidget::hide);
  }
  readout_->setText(text);
  readout_->adjustSize();
  QPoint at = near->geometry().bottomLeft() + QPoint(0, 3);
  if (at.y() + readout_->height() > client_->height()) {
    at.setY(near->geometry().top() - readout_->height() - 3);
  }
  at.setX(std::clamp(at.x(), 0, std::max(client_->width() - readout_->width(), 0)));
  readout_->move(at);
  readout_->raise();
  readout_->show();
  readoutTimer_->start(kReadoutMs);
}

QString MainWindow::readoutText() const {
  return readout_ != nullptr && readout_->isVisible() ? readout_->text() : QString();
}

// The value a new song gives the knob: what a double-click sets it back to.
int32_t MainWindow::NewSongKnobValue(int index) {
  static const auto fresh = [] {
    auto state = std::make_unique<SongState>();
    NewSongModel(*state);
    return state;
  }();
  const Song& song = fresh->song;
  const Channel& channel = song.pattern(0, 0).channels[0];
  switch (index) {
  case kDelFB:
    return song.delayFeedback;
  case kDelSteps:
    return song.delaySteps;
  case kDistort:
    return song.distortAmount;
  case kVinyl:
    return song.vinylAmount;
  case kShuffle:
    return song.shuffle;
  case kPitch:
    return channel.steps[0].pitch - 50;
  default:
    return index < kVol1 ? channel.delaySend : channel.volume;
  }
}

bool MainWindow::KnobKey(int index, const QKeyEvent& key) {
  static const std::pair<int, KnobMove> kMoves[] = {
      {Qt::Key_Up, KnobMove::Up},         {Qt::Key_Right, KnobMove::Up},
      {Qt::Key_Down, KnobMove::Down},     {Qt::Key_Left, KnobMove::Down},
      {Qt::Key_PageUp, KnobMove::PageUp}, {Qt::Key_PageDown, KnobMove::PageDown},
      {Qt::Key_Home, KnobMove::Home},     {Qt::Key_End, KnobMove::End}};
  if ((key.modifiers() & ~Qt::KeypadModifier) != 0) {
    return false;
  }
  for (const auto& [code, move] : kMoves) {
    if (key.key() == code) {
      // A held key's repeats are one step; each new press is a step of its own.
      if (!key.isAutoRepeat()) {
        ++knobPresses_;
      }
      TurnKnob(index, MovedKnobValue(knobs_[static_cast<std::size_t>(index)], move),
               "knob key " + std::to_string(knobPresses_));
      return true;
    }
  }
  return false;
}

// A notch turns a knob by one; with Shift, four notches do. The notches of one knob that
// follow one another are one undo step.
void MainWindow::KnobWheel(int index, int notches, Qt::KeyboardModifiers modifiers) {
  int by = notches;
  if ((modifiers & Qt::ShiftModifier) != 0) {
    fineWheel_ += notches;
    by = fineWheel_ / 4;
    fineWheel_ -= by * 4;
  }
  const KnobState& knob = knobs_[static_cast<std::size_t>(index)];
  TurnKnob(index, knob.value + by, "knob wheel " + std::to_string(index));
}

void MainWindow::TurnTempo(int notches) {
  if (leaderShown_) {
    return; // another program leads the tempo
  }
  const int32_t tempo = std::clamp(engine_.Interface().song.tempo + notches, 30, 1230);
  history_.Begin(engine_, "Tempo", {}, "tempo wheel");
  tempoBox_->setText(QString::number(tempo));
  history_.End(engine_);
  ShowReadout(tempoBox_, QStringLiteral("Tempo  %1 BPM").arg(engine_.Interface().song.tempo));
}

void MainWindow::SelectPanel(ImageControl& panel, int cell) {
  const PanelKind kind = &panel == bankPanel_ ? PanelKind::Bank : PanelKind::Pattern;
  const RefreshFlags flags = SelectPanelCell(engine_, kind, std::clamp(cell, 0, 7));
  if (dialogs_->SequencerVisible()) {
    Undoable(history_, engine_, "Sequence Slot", [this] {
      dialogs_->SetSequenceSlot(engine_.Interface().editBank, engine_.Interface().editPattern);
    });
  }
  Refresh(flags);
  panel.AnnounceChange();
}

// The lcd's cell under the keyboard: the step being edited, in one of the three rows.
QRect MainWindow::LcdCell(int row, int step) {
  static constexpr int kTop[3] = {2, 25, 47};
  static constexpr int kHeight[3] = {23, 22, 29};
  return {65 + 21 * step, kTop[row], 22, kHeight[row]};
}

bool MainWindow::LcdKey(const QKeyEvent& key) {
  if ((key.modifiers() & ~Qt::KeypadModifier) != 0) {
    return false;
  }
  const int step = engine_.Interface().activeStep;
  switch (key.key()) {
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_Home:
  case Qt::Key_End: {
    const int to = key.key() == Qt::Key_Home  ? 0
                   : key.key() == Qt::Key_End ? kSteps - 1
                                              : step + (key.key() == Qt::Key_Left ? -1 : 1);
    Refresh(SelectStep(engine_, std::clamp(to, 0, kSteps - 1)));
    break;
  }
  case Qt::Key_Up:
  case Qt::Key_Down:
    lcdRow_ = std::clamp(lcdRow_ + (key.key() == Qt::Key_Up ? -1 : 1), 0, 2);
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (lcdRow_ == 1) {
      const QRect cell = LcdCell(1, step);
      SampleMenuPopup(lcd_->mapToGlobal(cell.bottomLeft()));
    } else if (lcdRow_ == 2) {
      lcdMouseDown(LcdCell(2, step).center());
    }
    break;
  case Qt::Key_Delete:
  case Qt::Key_Backspace:
    if (lcdRow_ != 1) {
      return false;
    }
    if (Undoable(history_, engine_, "Remove Note",
                 [this, step] { return RemoveNoteAt(engine_, step); })) {
      Refresh(RefreshFlags::StepOnly());
    }
    break;
  default:
    return false;
  }
  lcd_->update();
  lcd_->AnnounceChange();
  return true;
}

QString MainWindow::LcdCellText(int row, int column) const {
  const SongDocument& s = engine_.Interface();
  const Step& step =
      s.song.pattern(s.editBank, s.editPattern).channels[s.activeChannel].steps[column];
  QString text = QStringLiteral("Step %1").arg(column + 1);
  if (row == 0) {
    return column == s.activeStep ? text + QStringLiteral(", being edited") : text;
  }
  if (row == 2) {
    return text + QStringLiteral(" controllers");
  }
  if (!step.showsNote()) {
    return text + QStringLiteral(": empty");
  }
  const SampleTable& samples = engine_.InterfaceSamples();
  const int32_t index = step.sampleIndex();
  const SampleSlot* slot = index >= 0 && index < kSampleSlots && samples.slots[index].isUsed()
                               ? &samples.slots[index]
                               : nullptr;
  text += QStringLiteral(": ") + (slot != nullptr ? QString::fromStdString(slot->name.text())
                                                  : QStringLiteral("missing sample"));
  if (slot != nullptr && slot->category == static_cast<uint8_t>(SampleCategory::Instrument)) {
    const int key = ((step.note % 12) + 12) % 12;
    text += QStringLiteral(", ") + QString::fromLatin1(kKeyCaptions[key]) +
            QString::number(step.note >= 0 ? step.note / 12 : -1);
  }
  return text;
}

// Names, roles, tooltips, keys and the Tab order of every control.
void MainWindow::SetUpAccess() {
  ImageControl::InstallAccessibility();
  for (int k = 0; k < kKnobCount; ++k) {
    ImageControl* image = knobImages_[static_cast<std::size_t>(k)];
    QString name;
    QString help;
    KnobUnit unit{};
    DescribeKnob(k, name, help, unit);
    image->setRole(ImageControl::Role::Dial, name, help);
    const KnobState& knob = knobs_[static_cast<std::size_t>(k)];
    image->value = {[this, k] { return knobs_[static_cast<std::size_t>(k)].value; }, knob.minimum,
                    knob.maximum,
                    [this, k](int v) { TurnKnob(k, v, "knob access " + std::to_string(k)); },
                    [this, k] { return KnobText(k); }};
    image->onKey = [this, k](const QKeyEvent& key) { return KnobKey(k, key); };
    image->onWheel = [this, k](int notches, Qt::KeyboardModifiers modifiers) {
      KnobWheel(k, notches, modifiers);
    };
    image->onDoubleClick = [this, k](QPoint) {
      TurnKnob(k, NewSongKnobValue(k), "knob reset " + std::to_string(++knobPresses_));
    };
  }

  playBtn_->setRole(ImageControl::Role::Toggle, QStringLiteral("Play"),
                    QStringLiteral("Play: starts and stops the pattern, or the song from the "
                                   "pattern sequencer (Space)."));
  playBtn_->checked = [this] { return engine_.playing.load(); };
  recordBtn_->setRole(ImageControl::Role::Toggle, QStringLiteral("Record"),
                      QStringLiteral("Record: notes played on a MIDI keyboard go into the "
                                     "pattern while it plays."));
  recordBtn_->checked = [this] { return recordAction_ != nullptr && recordAction_->isChecked(); };
  control("plus_10")->setRole(ImageControl::Role::Button, QStringLiteral("Tempo up 10"),
                              QStringLiteral("Raises the tempo by 10 beats per minute."));
  control("minus_10")
      ->setRole(ImageControl::Role::Button, QStringLiteral("Tempo down 10"),
                QStringLiteral("Lowers the tempo by 10 beats per minute."));
  control("Samples")->setRole(ImageControl::Role::Button, QStringLiteral("Samples"),
                              QStringLiteral("Opens the sample manager (F9)."));
  control("SongBtn")->setRole(ImageControl::Role::Button, QStringLiteral("Song"),
                              QStringLiteral("Opens the pattern sequencer (F12)."));
  for (int c = 0; c < kChannels; ++c) {
    distort_[c]->setRole(ImageControl::Role::Toggle, QStringLiteral("Distortion %1").arg(c + 1),
                         QStringLiteral("Distortion %1: drives channel %1 through the overdrive "
                                        "in this pattern.")
                             .arg(c + 1));
    distort_[c]->checked = [this, c] {
      const SongDocument& s = engine_.Interface();
      return s.song.pattern(s.editBank, s.editPattern).channels[c].distortOn != 0;
    };
    channel_[c]->setRole(ImageControl::Role::Radio, QStringLiteral("Channel %1").arg(c + 1),
                         QStringLiteral("Channel %1: shows and edits its steps.").arg(c + 1));
    channel_[c]->checked = [this, c] { return engine_.Interface().activeChannel == c; };
  }
  for (int k = 0; k < 12; ++k) {
    keys_[k]->setRole(ImageControl::Role::Button,
                      QStringLiteral("Note ") + QString::fromLatin1(kKeyCaptions[k]),
                      QStringLiteral("Sets the step's note to %1 in its octave.")
                          .arg(QString::fromLatin1(kKeyCaptions[k])));
  }
  for (int n = 0; n < 5; ++n) {
    octaves_[n]->setRole(ImageControl::Role::Button, QStringLiteral("Octave %1").arg(n + 1),
                         QStringLiteral("Puts the step's note in octave %1.").arg(n + 1));
  }

  lcd_->setRole(ImageControl::Role::Table, QStringLiteral("Steps"),
                QStringLiteral("The channel's sixteen steps. Top row: the step to edit; notes "
                               "row: a click places a sample or removes it; ctrl. row: the "
                               "step's controllers. Arrow keys move, Return opens the samples "
                               "or the controllers, Delete empties a step."));
  lcd_->cells = {
      3,
      kSteps,
      [this](int row, int column) { return LcdCellText(row, column); },
      [](int row) {
        static const char* const kRows[3] = {"Step", "Notes", "Controllers"};
        return QString::fromLatin1(kRows[row]);
      },
      [this](int row, int column) {
        lcdRow_ = row;
        if (row == 1 &&
            !engine_.Interface()
                 .song.pattern(engine_.Interface().editBank, engine_.Interface().editPattern)
                 .channels[engine_.Interface().activeChannel]
                 .steps[column]
                 .showsNote()) {
          Refresh(SelectStep(engine_, column));
          SampleMenuPopup(lcd_->mapToGlobal(LcdCell(1, column).bottomLeft()));
          return;
        }
        lcdMouseDown(LcdCell(row, column).center());
      },
      [](int row, int column) { return LcdCell(row, column); }};
  lcd_->onKey = [this](const QKeyEvent& key) { return LcdKey(key); };
  lcd_->focusMark = [this] { return LcdCell(lcdRow_, engine_.Interface().activeStep); };

  for (ImageControl* panel : {bankPanel_, patPanel_}) {
    const bool bank = panel == bankPanel_;
    panel->setRole(ImageControl::Role::Spin,
                   bank ? QStringLiteral("Bank") : QStringLiteral("Pattern"),
                   bank ? QStringLiteral("Bank: one of eight, each with eight patterns. Arrow "
                                         "keys and the wheel pick the next or the one before.")
                        : QStringLiteral("Pattern: one of the bank's eight. Arrow keys and the "
                                         "wheel pick the next or the one before."));
    const auto current = [this, bank] {
      return (bank ? engine_.Interface().editBank : engine_.Interface().editPattern) + 1;
    };
    panel->value = {current, 1, 8, [this, panel](int v) { SelectPanel(*panel, v - 1); },
                    [current] { return QString::number(current()); }};
    panel->onKey = [this, panel, current](const QKeyEvent& key) {
      const int k = key.key();
      const int to = k == Qt::Key_Home                          ? 1
                     : k == Qt::Key_End                         ? 8
                     : (k == Qt::Key_Up || k == Qt::Key_Right)  ? current() + 1
                     : (k == Qt::Key_Down || k == Qt::Key_Left) ? current() - 1
                                                                : 0;
      if (to == 0 || (key.modifiers() & ~Qt::KeypadModifier) != 0) {
        return false;
      }
      SelectPanel(*panel, to - 1);
      return true;
    };
    panel->onWheel = [this, panel, current](int notches, Qt::KeyboardModifiers) {
      SelectPanel(*panel, current() - 1 + notches);
    };
  }

  tempoBox_->setAccessibleName(QStringLiteral("Tempo"));
  tempoBox_->setToolTip(QStringLiteral("Tempo in beats per minute, 30 to 1230: type it, or "
                                       "turn the wheel over it. Escape gives the keys to the "
                                       "steps."));
  tempoBox_->installEventFilter(new TempoWheel(*this, tempoBox_, lcd_));
  qApp->installEventFilter(new SpaceToPlay(*this, tempoBox_));

  // Tab goes through the sections as the eye reads them: channels, steps, notes, tempo,
  // effects, patterns.
  std::vector<QWidget*> order;
  for (int c = 0; c < kChannels; ++c) {
    const int send = kDelay1 + c;
    const int volume = kVol1 + c;
    order.insert(order.end(),
                 {knobImages_[static_cast<std::size_t>(send)],
                  knobImages_[static_cast<std::size_t>(volume)], distort_[c], channel_[c]});
  }
  order.push_back(lcd_);
  order.insert(order.end(), keys_.begin(), keys_.end());
  order.insert(order.end(), octaves_.begin(), octaves_.end());
  order.insert(order.end(),
               {knobImages_[kPitch], control("minus_10"), tempoBox_, control("plus_10"),
                knobImages_[kShuffle], playBtn_, knobImages_[kDelFB], knobImages_[kDelSteps],
                knobImages_[kDistort], knobImages_[kVinyl], patPanel_, bankPanel_,
                control("Samples"), control("SongBtn"), recordBtn_});
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

} // namespace lw
