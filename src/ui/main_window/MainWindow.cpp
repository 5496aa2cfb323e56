// The main window's construction: its controls at their places, in their stacking order.
#include "ui/main_window/MainWindow.h"

#include "audio_out/SamplePreview.h"

#include "audio_out/Playback.h"
#include "engine/Engine.h"
#include "live/LiveOutputs.h"
#include "ui/DialogParts.h"
#include "ui/SampleMenu.h"
#include "ui/Settings.h"

#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace lw {

namespace {

// How often the window asks the live outputs whether the JACK server is still there.
constexpr int kOutputPollMs = 250;
// Knobs follow a controller and recorded notes show within a screen frame or two.
constexpr int kMidiPollMs = 10;
// The step light follows the sound each screen frame while the song plays.
constexpr int kSoundFollowMs = 16;

// A mark in the lcd's ink on the step row: the outline that frames the active step's
// number, or the bar lit under the number of the step being heard.
class StepMark : public QWidget {
public:
  enum class Look { Outline, Bar };
  StepMark(QWidget* parent, const char* name, Look look) : QWidget(parent), look_(look) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    if (look_ == Look::Bar) {
      painter.fillRect(rect(), Qt::black);
      return;
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

private:
  Look look_;
};

// The tempo box holds the focus, so it would take the menus' copy and paste keys for
// itself; the menus come first, as on the hardware-like panel they belong to.
class TempoBoxKeys : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool menuKey = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
      if (menuKey) {
        return true; // not accepted: the menu's shortcut runs
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

constexpr int kKeyLefts[12] = {175, 190, 205, 220, 235, 265, 280, 295, 310, 325, 340, 355};
constexpr bool kBlackKey[12] = {false, true,  false, true,  false, false,
                                true,  false, true,  false, true,  false};
const char* const kKeyNames[12] = {"bC",   "bCis", "bD",   "bDis", "bE",   "bF",
                                   "bFis", "bG",   "bGis", "bA",   "bAis", "bB"};

} // namespace

MainWindow::MainWindow(MainContext context)
    : context_(std::move(context)), engine_(context_.engine) {
  setWindowTitle(QStringLiteral(" "));
  setAccessibleName(QStringLiteral("LoopWren")); // what a screen reader calls the window
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(WindowFont(8));
  setAcceptDrops(true);

  client_ = new QWidget(this);
  client_->setObjectName("client");
  client_->setFixedSize(kClientWidth, kClientHeight);
  client_->setAutoFillBackground(true);
  QPalette palette = client_->palette();
  palette.setColor(QPalette::Window, kWindowColour);
  client_->setPalette(palette);
  setCentralWidget(client_);

  LoadSkin(skin_);
  BuildControls();
  BuildMenus();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  // FormCreate: the device opens and live playback takes its blocks.
  context_.playback.OpenOutput();
  context_.playback.refreshDisplay = [this] { RefreshDisplay(false, false, false); };
  if (context_.outputs != nullptr) {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { PollOutputs(); });
    poll->start(kOutputPollMs);
    auto* midi = new QTimer(this);
    connect(midi, &QTimer::timeout, this, [this] { PollMidi(); });
    midi->start(kMidiPollMs);
    // Where there is no ALSA sequencer, "Audio & MIDI" says so; nothing else needs to.
    (void)context_.outputs->OpenMidi(SplitPortNames(context_.settings.midiExcludedPorts()));
  }
  LoadMidiMapping();
  engine_.state.songFileName.clear();
}

MainWindow::~MainWindow() = default;

namespace {

// For a live output that plays no previews.
class SilentPreviews : public SamplePreviewer {
public:
  void Preview(PreviewSound /*sound*/) override {}
  void StopPreview() override {}
};

} // namespace

SamplePreviewer& MainWindow::previewer() const {
  static SilentPreviews silent; // stateless
  auto* previews = dynamic_cast<SamplePreviewer*>(&context_.playback);
  return previews != nullptr ? *previews : silent;
}

ImageControl* MainWindow::AddImage(const QString& name, QRect geometry, const QPixmap& picture,
                                   bool hand) {
  auto* image = new ImageControl(client_, name, geometry);
  image->setPicture(picture);
  if (hand) {
    image->setCursor(Qt::PointingHandCursor);
  }
  return image;
}

// A skinned push button: a press with any button but the right one moves it out of view
// so the artwork beneath shows; the release (wherever the pointer is) moves it back and
// runs the action.
ImageControl* MainWindow::AddButton(const QString& name, QRect geometry, const QPixmap& picture,
                                    std::function<void()> action) {
  ImageControl* button = AddImage(name, geometry, picture, true);
  button->onPress = [](ImageControl& self, Qt::MouseButton pressed, Qt::MouseButtons,
                       Qt::KeyboardModifiers, QPoint) {
    if (pressed != Qt::RightButton) {
      self.move(self.x() + 2000, self.y());
    }
  };
  button->onActivate = action;
  button->onRelease = [action = std::move(action)](ImageControl& self, Qt::MouseButton released,
                                                   Qt::MouseButtons, Qt::KeyboardModifiers,
                                                   QPoint) {
    if (released != Qt::RightButton) {
      self.move(self.x() - 2000, self.y());
      action();
    }
  };
  return button;
}

ImageControl* MainWindow::AddKnob(const QString& name, QPoint at, int index) {
  // Until start-up cuts the knob strip into frames, a knob shows the strip's first one.
  ImageControl* knob =
      AddImage(name, QRect(at, QSize(19, 19)), Cut(skin_.knobLine, QRect(0, 0, 19, 19)), false);
  knob->onPress = [this, index](ImageControl&, Qt::MouseButton, Qt::MouseButtons,
                                Qt::KeyboardModifiers, QPoint p) { KnobMouseDown(index, p); };
  knob->onMove = [this, index](ImageControl&, Qt::MouseButton, Qt::MouseButtons buttons,
                               Qt::KeyboardModifiers modifiers,
                               QPoint p) { KnobMouseMove(index, buttons, modifiers, p); };
  knob->onRelease = [this](ImageControl&, Qt::MouseButton, Qt::MouseButtons, Qt::KeyboardModifiers,
                           QPoint) { KnobMouseUp(); };
  knobImages_[static_cast<std::size_t>(index)] = knob;
  return knob;
}

void MainWindow::BuildControls() {
  // Panels first: every control lies above the panel that carries it.
  AddImage("channel_panel", {8, 8, 149, 118}, skin_.channelPanel, false);
  lcdPicture_ = skin_.lcd.copy();
  lcd_ = AddImage("lcd", {166, 8, 426, 81}, lcdPicture_, true);
  lcd_->onPress = [this](ImageControl&, Qt::MouseButton, Qt::MouseButtons, Qt::KeyboardModifiers,
                         QPoint p) { lcdMouseDown(p); };
  AddImage("Image3", {166, 96, 221, 125}, skin_.keyboardPanel, false);
  AddImage("Image4", {394, 96, 59, 94}, skin_.pitchPanel, false);
  AddImage("Image2", {460, 96, 132, 115}, skin_.tempoPanel, false);
  AddImage("Image1", {600, 40, 96, 171}, skin_.effectsPanel, false);
  AddImage("Image6", {497, 223, 96, 61}, skin_.patternFrame, false);
  AddImage("Image5", {600, 223, 96, 61}, skin_.bankFrame, false);
  AddImage("Image7", {8, 256, 72, 25}, skin_.samplesPressed, false);
  AddImage("Image10", {85, 256, 72, 25}, skin_.songPressed, false);
  AddImage("Image8", {24, 144, 109, 96}, skin_.emblem, false);
  AddImage("Image9", {278, 240, 166, 38}, skin_.logo, false);

  const char* const delayNames[3] = {"DelayKnob1", "Delayknob2", "DelayKnob3"};
  for (int c = 0; c < 3; ++c) {
    const int top = 23 + 29 * c + (c == 2 ? 1 : 0); // 23, 52, 82
    AddKnob(delayNames[c], {28, top}, kDelay1 + c);
    AddKnob(QStringLiteral("volKnob%1").arg(c + 1), {61, top}, kVol1 + c);
    distort_[c] = AddButton(QStringLiteral("Distort%1").arg(c + 1), {91, top + 3, 15, 13},
                            skin_.distortOff, [this, c] { DistortClick(c); });
    channel_[c] = AddButton(QStringLiteral("Channel%1").arg(c + 1), {119, top + 2, 23, 16},
                            skin_.octaveOff, [this, c] { ChannelClick(c); });
  }

  stepFrame_ = new StepMark(client_, "stepFrame", StepMark::Look::Outline);
  stepFrame_->setGeometry(233, 13, 19, 19);
  stepLight_ = new StepMark(client_, "stepLight", StepMark::Look::Bar);
  stepLight_->setGeometry(StepLightPlace(0));
  stepLight_->hide();
  soundTimer_ = new QTimer(this);
  soundTimer_->setInterval(kSoundFollowMs);
  connect(soundTimer_, &QTimer::timeout, this, [this] { FollowSound(); });

  for (int k = 0; k < 12; ++k) {
    const QRect at(kKeyLefts[k], kBlackKey[k] ? 114 : 145, 23, 25);
    keys_[k] = AddButton(kKeyNames[k], at, kBlackKey[k] ? skin_.blackStepOff : skin_.whiteStepOff,
                         [this, k] { KeyClick(k); });
  }
  for (int n = 0; n < 5; ++n) {
    octaves_[n] = AddButton(QStringLiteral("Oct%1").arg(n + 1), {236 + 30 * n, 188, 23, 16},
                            skin_.octaveOff, [this, n] { OctaveClick(n + 1); });
  }
  AddKnob("PitchKnob", {414, 144}, kPitch);

  AddButton("minus_10", {475, 112, 23, 25}, skin_.minus10, [this] { minus10Click(); });
  AddButton("plus_10", {557, 112, 23, 25}, skin_.plus10, [this] { plus10Click(); });
  AddKnob("ShuffleKnob", {483, 164}, kShuffle);
  playBtn_ = AddButton("PlayBtn", {525, 161, 42, 20}, skin_.playOff, [this] { PlayBtnClick(); });
  AddKnob("DelFB", {622, 77}, kDelFB);
  AddKnob("DelSteps", {656, 77}, kDelSteps);
  AddKnob("DistortKnob", {622, 165}, kDistort);
  AddKnob("VinylKnob", {656, 165}, kVinyl);

  patPanel_ = AddImage("PatPanel", {507, 240, 77, 37}, skin_.bp[0], true);
  bankPanel_ = AddImage("BankPanel", {610, 240, 77, 37}, skin_.bp[0], true);
  for (ImageControl* panel : {patPanel_, bankPanel_}) {
    panel->onPress = [this](ImageControl& self, Qt::MouseButton, Qt::MouseButtons,
                            Qt::KeyboardModifiers, QPoint p) { BankPanelMouseDown(self, p); };
  }
  AddButton("Samples", {8, 256, 72, 25}, skin_.samplesButton, [this] { SampleManagerClick(); });
  AddButton("SongBtn", {85, 256, 72, 25}, skin_.songButton, [this] { PatternSequencerClick(); });
  // Recording from MIDI, where MIDI can come in; lit while armed.
  recordBtn_ = AddButton("RecordBtn", {162, 256, 72, 25}, skin_.recordOff,
                         [this] { recordAction_->trigger(); });
  recordBtn_->setVisible(context_.outputs != nullptr);

  // Covers lie above what they cover; out of view means 2000 pixels to the left edge.
  coverKeys_ = AddImage("Cover_Keys", {172, 110, 209, 64}, skin_.coverKeys, false);
  coverKeys_->setCursor(Qt::ForbiddenCursor);
  coverPitch_ = AddImage("Cover_Pitch", {401, 135, 45, 47}, skin_.coverPitch, false);
  coverPitch_->setCursor(Qt::ForbiddenCursor);
  activeLed_ = AddImage("active_led", {2000, 99, 14, 5}, skin_.activeLed, false);

  tempoBox_ = new QLineEdit(QStringLiteral("120"), client_);
  tempoBox_->setObjectName("tempoBox");
  tempoBox_->setGeometry(510, 116, 40, 17);
  tempoBox_->setFrame(false);
  tempoBox_->setMaxLength(4);
  // Bold 14 pixels: at 15 the four digits of the highest tempo are wider than the box,
  // which then scrolls the first digit out of view.
  tempoBox_->setFont(WindowFontPixels(14, true));
  tempoBox_->setStyleSheet(
      QStringLiteral("QLineEdit { background: white; color: black; border: none; padding: 0; }"));
  tempoBox_->installEventFilter(new TempoBoxKeys(tempoBox_));
  connect(tempoBox_, &QLineEdit::textChanged, this, [this] { tempoBoxChange(); });
  tempoBox_->setFocus();

  sampleMenu_ = new SampleMenu(this);
  sampleMenu_->onChoose = [this](const QString& name) { sampleChoose(name); };
  SetUpAccess();
}

ImageControl* MainWindow::control(const QString& name) const {
  return client_->findChild<ImageControl*>(name, Qt::FindDirectChildrenOnly);
}

const KnobState& MainWindow::knob(const QString& name) const {
  for (std::size_t i = 0; i < knobImages_.size(); ++i) {
    if (knobImages_[i] != nullptr && knobImages_[i]->objectName() == name) {
      return knobs_[i];
    }
  }
  static const KnobState none{};
  return none;
}

} // namespace lw
