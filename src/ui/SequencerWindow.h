#pragma once

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lw {

struct Engine;
class ImageControl;
class SequenceGrid;
class MainWindow;

// The pattern / song sequencer: the 128 slots of the song sequence, the song's title and
// author, the loop switch and song play. Created at start-up, shown and hidden by the
// user, never destroyed before the program ends. The main window fills the selected slot
// with its bank and pattern clicks while this window is visible.
class SequencerWindow : public QWidget {
public:
  static constexpr int kClientWidth = 704;
  static constexpr int kClientHeight = 162;

  SequencerWindow(Engine& engine, MainWindow& main);
  ~SequencerWindow() override = default;
  SequencerWindow(const SequencerWindow&) = delete;
  SequencerWindow& operator=(const SequencerWindow&) = delete;

  // Refreshes the grid and the boxes, shows whether the song plays, and appears where
  // the user left it last time, or else directly below the main window; always on a
  // screen.
  void ShowBelowMain();
  // Keeps the window's place for the next time it opens (in this run or the next).
  void RememberPlace();

  // Both grid rows from the sequence, and the boxes from the title and author. A box is
  // written only when its text differs, and then its change handling runs as for typing.
  void RefreshSequenceGrid();

  // The main window's bank or pattern click: fills the selection's first slot.
  void SetSequenceSlot(int32_t bank, int32_t pattern);

  [[nodiscard]] int32_t SelectionFirstSlot() const;
  [[nodiscard]] int32_t SelectionWidth() const;

  // Handlers, public so that tests reach them as the user would.
  void seqMouseUp();
  void clearBtnClick();
  void cbLoopClick(bool checked);
  void TitleBoxChange();
  void AuthorBoxChange();
  void PlayBtnMouseDown(Qt::MouseButton button);
  void PlayBtnMouseUp(Qt::MouseButton button);

  // The engine moved the song position; runs on the interface thread.
  // Moves the grid's current column when the engine has moved the song position.
  void FollowSongPosition();

  [[nodiscard]] SequenceGrid* seq() const { return seq_; }
  [[nodiscard]] QLineEdit* titleBox() const { return titleBox_; }
  [[nodiscard]] QLineEdit* authorBox() const { return authorBox_; }
  [[nodiscard]] QCheckBox* loopBox() const { return cbLoop_; }
  [[nodiscard]] QPushButton* clearButton() const { return clearBtn_; }
  [[nodiscard]] ImageControl* playButton() const { return playBtn_; }

protected:
  void hideEvent(QHideEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildControls();
  void ShowPlayPicture(bool songPlays);

  Engine& engine_;
  MainWindow& main_;
  SequenceGrid* seq_ = nullptr;
  QLineEdit* titleBox_ = nullptr;
  QLineEdit* authorBox_ = nullptr;
  QCheckBox* cbLoop_ = nullptr;
  QPushButton* clearBtn_ = nullptr;
  ImageControl* playBtn_ = nullptr;
  uint32_t shownMoves_ = 0; // the engine's count of song-position moves last shown
};

} // namespace lw
