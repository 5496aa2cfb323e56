// The main window's menus and the commands behind them.
#include "audio_out/AudioExport.h"
#include "audio_out/Playback.h"
#include "audio_out/RenderCommand.h"
#include "commands/Bounce.h"
#include "commands/EditMenu.h"
#include "commands/SongCommands.h"
#include "engine/Engine.h"
#include "live/LiveOutputs.h"
#include "song/Paths.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenuBar>
#include <QTimer>

namespace lw {

namespace {

// The menus' keys work from every window of the program that is not blocked by a modal
// dialog: the sequencer stays on screen beside (and above) the main window. Edit boxes
// keep the editing keys they claim for themselves.
QAction* Item(QMenu* menu, const QString& text, const QKeySequence& keys,
              std::function<void()> run) {
  QAction* action = menu->addAction(text);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::ApplicationShortcut);
  QObject::connect(action, &QAction::triggered, menu, std::move(run));
  return action;
}

} // namespace

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  Item(file, "New", QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewClick(); });
  Item(file, "Open", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenClick(); });
  recentMenu_ = file->addMenu(QStringLiteral("Recent songs"));
  recentMenu_->setObjectName("RecentSongs");
  connect(file, &QMenu::aboutToShow, this, [this] { RebuildRecentMenu(); });
  RebuildRecentMenu();
  file->addSeparator();
  Item(file, "Save", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveClick(); });
  Item(file, "Save as...", {}, [this] { SaveAsClick(); });
  file->addSeparator();
  QMenu* render = file->addMenu(QStringLiteral("Render Wav"));
  Item(render, "This pattern", {},
       [this] { RenderClick(static_cast<int>(RenderKind::ThisPattern)); });
  Item(render, "Entire song", {},
       [this] { RenderClick(static_cast<int>(RenderKind::EntireSong)); });
  songloopAction_ =
      Item(render, "Songloop", {}, [this] { RenderClick(static_cast<int>(RenderKind::SongLoop)); });
  songloopAction_->setEnabled(false);
  Item(file, "Export audio...", {}, [this] { ExportClick(); });
  file->addSeparator();
  Item(file, "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { QuitClick(); });

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  Item(edit, "Copy Pattern", QKeySequence(Qt::CTRL | Qt::Key_C),
       [this] { CopyPattern(engine_, clip_); });
  Item(edit, "Copy Channel", {}, [this] { CopyChannel(engine_, clip_); });
  Item(edit, "Copy Note", {}, [this] { CopyNote(engine_, clip_); });
  edit->addSeparator();
  Item(edit, "Paste", QKeySequence(Qt::CTRL | Qt::Key_V),
       [this] { Edit("Paste", [this] { return Paste(engine_, clip_); }); });
  edit->addSeparator();
  Item(edit, "&Clear this Channel", {},
       [this] { Edit("Clear Channel", [this] { return ClearChannel(engine_); }); });
  Item(edit, "Clear Controllers", {},
       [this] { Edit("Clear Controllers", [this] { return ClearControllers(engine_); }); });
  edit->addSeparator();
  Item(edit, "Lame &Timestretch", QKeySequence(Qt::ALT | Qt::Key_Backspace), [this] {
    Edit("Lame Timestretch", [this] { return LameTimestretch(engine_, context_.prompts); });
  });
  Item(edit, "Long &Stutter", QKeySequence(Qt::SHIFT | Qt::ALT | Qt::Key_Backspace),
       [this] { Edit("Long Stutter", [this] { return LongStutter(engine_, context_.prompts); }); });
  // After the items above, whose access keys stay as they are.
  edit->addSeparator();
  undoAction_ = Item(edit, "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { UndoClick(); });
  redoAction_ =
      Item(edit, "Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { RedoClick(); });
  redoAction_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  history_.onChange = [this] { UpdateUndoItems(); };
  UpdateUndoItems();

  // The toolkit draws a program's windows at the scale it was started with: a new size
  // shows from the next start, with the skin's dense art past 1 x.
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  QMenu* size = view->addMenu(QStringLiteral("&Size"));
  auto* sizes = new QActionGroup(size);
  const std::pair<const char*, double> kSizes[] = {
      {"&1 \u00d7", 1.0}, {"1.&5 \u00d7", 1.5}, {"&2 \u00d7", 2.0}};
  for (const auto& [text, scale] : kSizes) {
    QAction* item = size->addAction(QString::fromUtf8(text));
    item->setCheckable(true);
    item->setChecked(scale == context_.settings.windowScale());
    sizes->addAction(item);
    connect(item, &QAction::triggered, this, [this, scale = scale] {
      if (scale != context_.settings.windowScale()) {
        context_.settings.setWindowScale(scale);
        context_.prompts.Notice("LoopWren opens at this size when it starts next.");
      }
    });
  }

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  Item(tools, "Sample &Manager", QKeySequence(Qt::Key_F9), [this] { SampleManagerClick(); });
  tools->addSeparator();
  Item(tools, "&Pattern Sequencer", QKeySequence(Qt::Key_F12), [this] { PatternSequencerClick(); });
  Item(tools, "Pattern &grid", QKeySequence(Qt::CTRL | Qt::Key_G), [this] { PatternGridClick(); });
  tools->addSeparator();
  Item(tools, "&Bounce pattern", QKeySequence(Qt::CTRL | Qt::Key_B),
       [this] { BouncePatternClick(); });
  tools->addSeparator();
  Item(tools, "&Audio && MIDI...", {}, [this] {
    AudioMidiClick();
  })->setEnabled(context_.outputs != nullptr);
  recordAction_ = Item(tools, "&Record from MIDI", QKeySequence(Qt::CTRL | Qt::Key_R),
                       [this] { RecordClick(); });
  recordAction_->setCheckable(true);
  learnAction_ =
      Item(tools, "MIDI &learn", QKeySequence(Qt::CTRL | Qt::Key_L), [this] { LearnClick(); });
  learnAction_->setCheckable(true);
  for (QAction* action : {recordAction_, learnAction_}) {
    action->setEnabled(context_.outputs != nullptr);
  }

  QMenu* about = menuBar()->addMenu(QStringLiteral("&About"));
  Item(about, "The &LoopWren", {}, [this] { dialogs_->ShowAbout(0); });
  Item(about, "The &Kestra", {}, [this] { dialogs_->ShowAbout(1); });
  Item(about, "&Oske Lum", {}, [this] { dialogs_->ShowAbout(2); });
}

void MainWindow::Edit(const char* what, const std::function<RefreshFlags()>& command) {
  Refresh(Undoable(history_, engine_, what, command));
}

void MainWindow::UpdateUndoItems() {
  const std::string undo = history_.UndoName();
  const std::string redo = history_.RedoName();
  undoAction_->setText(undo.empty() ? QStringLiteral("Undo")
                                    : QStringLiteral("Undo ") + QString::fromStdString(undo));
  redoAction_->setText(redo.empty() ? QStringLiteral("Redo")
                                    : QStringLiteral("Redo ") + QString::fromStdString(redo));
  undoAction_->setEnabled(history_.CanUndo());
  redoAction_->setEnabled(history_.CanRedo());
}

void MainWindow::UndoClick() {
  if (history_.Undo(engine_)) {
    AfterUndo();
  }
}

void MainWindow::RedoClick() {
  if (history_.Redo(engine_)) {
    AfterUndo();
  }
}

// Every window shows the song again: the song-wide knobs, the sequencer (shown when
// asked), the sample list and the main window. The refresh rewrites the tempo box, whose
// change handling marks the song changed; whether it is was settled before, and stays.
void MainWindow::ShowWholeSong(bool showSequencer) {
  const bool changed = engine_.Interface().songChanged;
  LoadSongKnobs();
  dialogs_->RefreshSequencer();
  if (showSequencer) {
    dialogs_->ShowSequencer();
  }
  dialogs_->RefreshSampleList();
  RefreshDisplay(true, true, true);
  SetSongChanged(engine_, changed);
}

// Anything may have come back.
void MainWindow::AfterUndo() {
  ShowWholeSong(false);
}

// New and Open replace the whole song: the song-wide knobs take its settings, the
// sequencer shows its sequence, and nothing counts as changed afterwards.
void MainWindow::AfterSongReplaced(bool showSequencer) {
  mutes_ = {}; // a song opened fresh plays every channel
  ApplyMutes();
  SetSongChanged(engine_, false);
  ShowWholeSong(showSequencer);
  history_.Clear();
  history_.MarkSaved();
  if (autoSave_ != nullptr) {
    autoSave_->SongSettled();
  }
}

void MainWindow::NewClick() {
  if (NewComposition(engine_, context_.prompts).replaced) {
    AfterSongReplaced(false);
  }
}

void MainWindow::OpenClick() {
  AfterOpen(OpenSong(engine_, context_.prompts, songFolder_));
}

// An opened song replaced the one before; a damaged file left it, but its history goes.
bool MainWindow::AfterOpen(const OpenResult& result) {
  if (result.damaged) {
    history_.Clear();
    if (!engine_.Interface().songChanged) {
      history_.MarkSaved(); // the song it left is still what its file holds
    }
  }
  if (result.replaced) {
    AfterSongReplaced(result.showSequencer);
    RememberSong();
  }
  return result.replaced;
}

// A song from the program's installed data (a demo) or from a folder it cannot be
// written to is saved as a new song.
void MainWindow::SaveClick() {
  const std::string& name = engine_.Interface().songFileName;
  if (!name.empty() && !MaySaveBackTo(name, InstalledDataFolder(context_.appDir))) {
    SaveAsClick();
    return;
  }
  SettleDrag();
  if (SaveSong(engine_, context_.prompts, songFolder_)) {
    history_.MarkSaved();
    RememberSong();
    if (autoSave_ != nullptr) {
      autoSave_->SongSettled();
    }
  }
}

void MainWindow::SaveAsClick() {
  SettleDrag();
  if (SaveSongAs(engine_, context_.prompts, songFolder_)) {
    history_.MarkSaved();
    RememberSong();
    if (autoSave_ != nullptr) {
      autoSave_->SongSettled();
    }
  }
}

// A drag whose release went astray ends before a save, so that the step the save marks
// holds what the file holds.
void MainWindow::SettleDrag() {
  if (history_.DragOpen()) {
    history_.EndDrag(engine_);
  }
}

void MainWindow::RenderClick(int kind) {
  const SlotRange selection =
      SelectionRange(dialogs_->SelectionFirstSlot(), dialogs_->SelectionWidth());
  const std::string before = renderFolder_;
  RenderWavCommand(engine_, context_.prompts, context_.renderProgress,
                   static_cast<RenderKind>(kind), selection, renderFolder_);
  if (renderFolder_ != before) {
    context_.settings.setRenderFolder(renderFolder_);
  }
}

// The dialog comes only when the export can go ahead: not while playing. The song loop is
// the sequencer's selection, as for "Render Wav".
void MainWindow::ExportClick() {
  if (engine_.playing) {
    context_.prompts.Notice(kRenderWhilePlaying);
    return;
  }
  const std::optional<ExportChoice> choice = dialogs_->AskExport(songloopAction_->isEnabled());
  if (!choice) {
    return;
  }
  const SlotRange selection =
      SelectionRange(dialogs_->SelectionFirstSlot(), dialogs_->SelectionWidth());
  const std::string before = renderFolder_;
  ExportAudioCommand(engine_, context_.prompts, context_.renderProgress, choice->kind, selection,
                     choice->options, renderFolder_);
  if (renderFolder_ != before) {
    context_.settings.setRenderFolder(renderFolder_);
  }
}

void MainWindow::BouncePatternClick() {
  Undoable(history_, engine_, "Bounce Pattern", [this] {
    (void)BouncePattern(engine_, context_.prompts, manager_, [this](const std::string& proposed) {
      return dialogs_->AskBounceName(proposed);
    });
  });
  dialogs_->RefreshSampleList();
}

// The choice is remembered before it is tried: a JACK server that is not running now may
// be the next time.
void MainWindow::AudioMidiClick() {
  LiveOutputs* outputs = context_.outputs;
  if (outputs == nullptr) {
    return;
  }
  const std::optional<AudioMidiChoice> choice = dialogs_->AskOutput(
      {outputs->choice(), outputs->excludedPorts(), outputs->sync(), outputs->linkOn()},
      outputs->Describe());
  if (!choice) {
    return;
  }
  context_.settings.setAudioOutput(std::string(OutputChoiceKey(choice->output)));
  context_.settings.setMidiExcludedPorts(JoinPortNames(choice->excludedPorts));
  outputs->SetExcludedPorts(choice->excludedPorts);
  context_.settings.setTimeKeeper(std::string(SyncChoiceKey(choice->sync)));
  outputs->SetSync(choice->sync);
  context_.settings.setLinkOn(choice->link);
  outputs->SetLink(choice->link);
  const std::string told = outputs->Use(choice->output);
  RefreshDisplay(false, false, false);
  if (!told.empty()) {
    context_.prompts.Notice(told);
  }
}

void MainWindow::PollOutputs() {
  ShowLeader();
  if (engine_.playing && !soundTimer_->isActive()) {
    soundTimer_->start(); // another program started the song
  }
  const std::string told = context_.outputs != nullptr ? context_.outputs->Poll() : std::string();
  if (!told.empty()) {
    RefreshDisplay(false, false, false);
    context_.prompts.Notice(told);
  }
}

// Quit stops playback and closes the device itself, since the window's close handler
// does not run on this path, and asks nothing a second time.
void MainWindow::QuitClick() {
  if (!ConfirmDiscardChanges()) {
    return;
  }
  quitting_ = true;
  RememberPlaces();
  context_.playback.FormClose();
  if (autoSave_ != nullptr) {
    autoSave_->Finish();
  }
  QApplication::quit();
}

} // namespace lw
