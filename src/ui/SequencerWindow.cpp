#include "ui/SequencerWindow.h"

#include "commands/SequencerCommands.h"
#include "engine/Engine.h"
#include "session/UndoHistory.h"
#include "ui/DialogParts.h"
#include "ui/Drops.h"
#include "ui/ImageControl.h"
#include "ui/SequenceGrid.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <mutex>
#include <utility>

namespace lw {

namespace {

constexpr QRect kTitleBox(8, 88, 250, 22);
constexpr QRect kAuthorBox(266, 88, 250, 22);
constexpr QRect kPlayBtn(536, 89, 42, 20);
constexpr QPoint kPressedOffset(2000, 0); // where the play picture waits while held
constexpr int kFollowMs = 16; // how often the grid looks for song-position moves: each screen frame
const QString kPlaceName = QStringLiteral("sequencer");

QLineEdit* SongTextBox(QWidget* parent, const char* name, QRect geometry) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  box->setMaxLength(64);
  box->setFont(WindowFont(9, true));
  SetFieldColour(box, kFieldColour);
  return box;
}

bool ActsOnPlay(Qt::MouseButton button) {
  return button == Qt::LeftButton || button == Qt::MiddleButton;
}

} // namespace

SequencerWindow::SequencerWindow(Engine& engine, MainWindow& main)
    : QWidget(&main, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      engine_(engine), main_(main) {
  setObjectName("SequencerWindow");
  setWindowTitle(QStringLiteral("Pattern / Song Sequencer"));
  setFixedSize(kClientWidth, kClientHeight);
  SetBackground(this, kWindowColour);
  setFont(WindowFont(8));
  setAcceptDrops(true);
  BuildControls();

  // The engine counts the song position's moves; the grid follows them from here.
  auto* follow = new QTimer(this);
  follow->setInterval(kFollowMs);
  connect(follow, &QTimer::timeout, this, [this] { FollowSongPosition(); });
  follow->start();
}

void SequencerWindow::BuildControls() {
  seq_ = new SequenceGrid(this);
  seq_->setGeometry(8, 8, kClientWidth - 16, seq_->height());
  seq_->onMouseUp = [this] { seqMouseUp(); };

  seq_->setAccessibleName(QStringLiteral("Song sequence"));
  QLabel* titleLabel =
      AddLabel(this, "Label2", QStringLiteral("Song title"), {kTitleBox.left(), 72});
  titleBox_ = SongTextBox(this, "TitleBox", kTitleBox);
  titleLabel->setBuddy(titleBox_); // the box's name for assistive technology
  connect(titleBox_, &QLineEdit::textChanged, this, [this] { TitleBoxChange(); });
  QLabel* authorLabel =
      AddLabel(this, "Label3", QStringLiteral("Author / Composer"), {kAuthorBox.left(), 72});
  authorBox_ = SongTextBox(this, "AuthorBox", kAuthorBox);
  authorLabel->setBuddy(authorBox_);
  connect(authorBox_, &QLineEdit::textChanged, this, [this] { AuthorBoxChange(); });

  // The sunken well the play picture leaves uncovered while it is held down.
  auto* well = new QFrame(this);
  well->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  well->setGeometry(kPlayBtn);
  playBtn_ = new ImageControl(this, "PlayBtn", kPlayBtn);
  playBtn_->setCursor(Qt::PointingHandCursor);
  playBtn_->onPress = [this](ImageControl&, Qt::MouseButton button, Qt::MouseButtons,
                             Qt::KeyboardModifiers, QPoint) { PlayBtnMouseDown(button); };
  playBtn_->onRelease = [this](ImageControl&, Qt::MouseButton button, Qt::MouseButtons,
                               Qt::KeyboardModifiers, QPoint) { PlayBtnMouseUp(button); };
  ImageControl::InstallAccessibility();
  playBtn_->setRole(ImageControl::Role::Toggle, QStringLiteral("Play song"),
                    QStringLiteral("Play song: plays the song from the selected slot, or stops "
                                   "it (Space)."));
  playBtn_->onActivate = [this] { PlayBtnMouseUp(Qt::LeftButton); };
  playBtn_->checked = [this] { return engine_.playing.load() && engine_.songMode; };
  ShowPlayPicture(false);

  clearBtn_ = new QPushButton(QStringLiteral("clear selection"), this);
  clearBtn_->setObjectName("clearBtn");
  clearBtn_->setGeometry(592, 86, 104, 25);
  connect(clearBtn_, &QPushButton::clicked, this, [this] { clearBtnClick(); });

  auto* help =
      new QLabel(QStringLiteral("To chain your patterns to a song, select the slot you wish to "
                                "fill and then select a pattern in the main window... (This "
                                "window has to be visible to accept changes.)"),
                 this);
  help->setObjectName("Label1");
  help->setWordWrap(true);
  help->setGeometry(8, 118, 508, 40);

  cbLoop_ = new QCheckBox(QStringLiteral("Use selection as loop"), this);
  cbLoop_->setObjectName("cbLoop");
  cbLoop_->setGeometry(536, 122, 160, 17);
  connect(cbLoop_, &QCheckBox::toggled, this, [this](bool checked) { cbLoopClick(checked); });
}

void SequencerWindow::ShowBelowMain() {
  RefreshSequenceGrid();
  const QRect mainFrame = main_.frameGeometry();
  const QSize outer = frameGeometry().size();
  const auto remembered = VisiblePosition(main_.settings().windowPosition(kPlaceName), outer);
  move(KeptOnScreen(remembered.value_or(QPoint(mainFrame.left(), mainFrame.bottom() + 1 + 2)),
                    outer));
  ShowPlayPicture(SongPlayPicture(engine_) == PlayPicture::PlayOn);
  if (isVisible()) {
    raise(); // already open, perhaps behind another window
  } else {
    show();
  }
}

void SequencerWindow::RememberPlace() {
  if (isVisible()) {
    main_.settings().setWindowPosition(kPlaceName, frameGeometry().topLeft());
  }
}

void SequencerWindow::hideEvent(QHideEvent* event) {
  // No longer visible by now: RememberPlace would keep nothing.
  main_.settings().setWindowPosition(kPlaceName, frameGeometry().topLeft());
  QWidget::hideEvent(event);
}

// A song dropped here opens as one dropped on the main window does.
void SequencerWindow::dragEnterEvent(QDragEnterEvent* event) {
  AcceptSongDrag(event);
}

void SequencerWindow::dropEvent(QDropEvent* event) {
  if (const auto song = TakeSongDrop(event)) {
    main_.OpenGivenSongFile(*song);
  }
}

void SequencerWindow::RefreshSequenceGrid() {
  SongSequence sequence{};
  std::string title;
  std::string author;
  {
    const EngineHold hold(engine_.engineLock);
    sequence = engine_.state.sequence;
    title = engine_.state.song.title.text();
    author = engine_.state.song.author.text();
  }
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    seq_->SetSlotText(slot, QString::fromStdString(SequenceCellText(sequence.slots[slot])));
  }
  // Writing a box runs its change handling, which stores the text back and marks the
  // song changed, so a box is written only when it shows something else.
  for (const auto& [box, text] :
       {std::pair{titleBox_, ShownText(title)}, std::pair{authorBox_, ShownText(author)}}) {
    if (box->text() != text) {
      box->setText(text);
    }
  }
}

void SequencerWindow::SetSequenceSlot(int32_t bank, int32_t pattern) {
  const int32_t slot = SelectionFirstSlot();
  lw::SetSequenceSlot(engine_, slot, bank, pattern);
  SequenceEntry entry{};
  {
    const EngineHold hold(engine_.engineLock);
    entry = engine_.state.sequence.slots[slot];
  }
  seq_->SetSlotText(slot, QString::fromStdString(SequenceCellText(entry)));
}

int32_t SequencerWindow::SelectionFirstSlot() const {
  return seq_->FirstSelected();
}

int32_t SequencerWindow::SelectionWidth() const {
  return seq_->SelectedWidth();
}

// A click in the grid moves the song: the next advance starts from the slot clicked.
void SequencerWindow::seqMouseUp() {
  const int32_t first = SelectionFirstSlot();
  {
    const EngineHold hold(engine_.engineLock);
    SetSongPosition(engine_.state, first);
  }
  seq_->ShowCurrent(first);
}

void SequencerWindow::clearBtnClick() {
  const int32_t first = SelectionFirstSlot();
  Undoable(main_.history(), engine_, "Clear Sequence",
           [&] { ClearSequenceSlots(engine_, first, first + SelectionWidth() - 1); });
  RefreshSequenceGrid();
}

// The engine reads the switch at every advance, so it takes effect while the song plays.
void SequencerWindow::cbLoopClick(bool checked) {
  SetLoopEnabled(engine_, checked);
  main_.songloopAction()->setEnabled(checked);
}

// Keystrokes in a row in one box make one step of the undo history.
void SequencerWindow::TitleBoxChange() {
  main_.history().Begin(engine_, "Song Title", {}, "title box");
  SetSongTitle(engine_, StoredText(titleBox_->text()));
  main_.history().End(engine_);
}

void SequencerWindow::AuthorBoxChange() {
  main_.history().Begin(engine_, "Author", {}, "author box");
  SetSongAuthor(engine_, StoredText(authorBox_->text()));
  main_.history().End(engine_);
}

void SequencerWindow::PlayBtnMouseDown(Qt::MouseButton button) {
  if (ActsOnPlay(button)) {
    playBtn_->move(playBtn_->home() + kPressedOffset);
  }
}

void SequencerWindow::PlayBtnMouseUp(Qt::MouseButton button) {
  if (!ActsOnPlay(button)) {
    return;
  }
  playBtn_->move(playBtn_->home());
  const int32_t first = SelectionFirstSlot();
  const PlayPicture picture = SongPlayButton(engine_, first, first + SelectionWidth() - 1,
                                             [this] { main_.PlayBtnClick(); });
  ShowPlayPicture(picture == PlayPicture::PlayOn);
  if (picture == PlayPicture::PlayOn) {
    seq_->ShowCurrent(engine_.PlayPosition().songPosition.load());
  }
}

void SequencerWindow::FollowSongPosition() {
  // While the song sounds, the slot heard; otherwise where the engine stands.
  if (const std::optional<PlayTrace::Mark>& heard = main_.heard()) {
    if (heard->positionMoves != shownMoves_) {
      shownMoves_ = heard->positionMoves;
      seq_->ShowCurrent(heard->songPosition);
    }
    return;
  }
  const uint32_t moves = engine_.songPositionMoves.load(std::memory_order_acquire);
  if (moves != shownMoves_) {
    shownMoves_ = moves;
    seq_->ShowCurrent(engine_.PlayPosition().songPosition.load());
  }
}

void SequencerWindow::ShowPlayPicture(bool songPlays) {
  playBtn_->setPicture(songPlays ? main_.skin().playOn : main_.skin().playOff);
}

} // namespace lw
