#pragma once

#include "engine/Engine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace lw {

// The song's undo and redo. Every edit of what a song file holds (the song, its sequence
// and the sample table) runs between Begin and End; End keeps a step when the song came
// out different. A step holds the other side of its edit: the song as it was before
// while the step is done, as it was after once undone. Undo and redo swap that side with
// the engine's under the engine lock, which moves no sample data and allocates nothing,
// so playback goes on; whatever a dropped step held is freed after the lock is let go.
// Interface thread only.
class UndoHistory {
public:
  // The history keeps at least this many steps, unless their sample data passes
  // kMaxSampleBytes first; the oldest steps go first, the newest always stays.
  static constexpr std::size_t kMaxSteps = 200;
  static constexpr std::size_t kMaxSampleBytes = std::size_t{512} << 20;

  explicit UndoHistory(std::size_t maxSteps = kMaxSteps,
                       std::size_t maxSampleBytes = kMaxSampleBytes);
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // Before an edit named `what` ("Paste", "Tempo"...). `soundSlots` are the slots whose
  // sound the edit may replace or free (a replace, a delete): their data is copied now so
  // that undo can bring it back. An edit begun inside another is part of it, and keeps
  // the sounds it names too. Edits with the same non-empty `mergeKey` that follow one
  // another directly (the tempo box's keystrokes) make one step; an undo, a redo or a
  // save between them parts them. An open drag ends first (see BeginDrag).
  void Begin(const Engine& engine, std::string what, std::initializer_list<int32_t> soundSlots = {},
             std::string mergeKey = {});
  // After the edit: keeps a step when the song changed. Without a Begin it does nothing.
  void End(Engine& engine);
  // Forgets a Begin whose edit did not happen.
  void Cancel();

  // A knob's drag: a press begins it, the release ends it. A release can go astray (a
  // window that opens while the button is held takes it), so the drag also ends where
  // anything else begins: another drag, another edit, an undo or a redo. A drag begun
  // inside an open edit is part of that edit, and its release ends nothing.
  void BeginDrag(const Engine& engine, std::string what);
  void EndDrag(Engine& engine);
  // A drag's step is open: its moves are recorded.
  [[nodiscard]] bool DragOpen() const;

  [[nodiscard]] bool CanUndo() const { return done_ > 0; }
  [[nodiscard]] bool CanRedo() const { return done_ < steps_.size(); }
  // What the next undo or redo would take back or do again; empty when there is none.
  [[nodiscard]] std::string UndoName() const;
  [[nodiscard]] std::string RedoName() const;
  // Undo and redo set songChanged: false exactly when the song is back where it was
  // last saved (or opened). False when there was nothing to do.
  bool Undo(Engine& engine);
  bool Redo(Engine& engine);

  // The song in memory is what its file holds now (saved, opened, new).
  void MarkSaved() { saved_ = done_; }
  // New, Open and a failed load start afresh. Clearing never says the song is what its
  // file holds: a caller that knows it is (New, Open) says so with MarkSaved.
  void Clear();
  // No state the history can reach is what the song's file holds (a song recovered from a
  // copy of unsaved work): undo never marks it saved.
  void MarkUnsaved() { saved_.reset(); }

  // Called whenever what undo or redo would do may have changed.
  std::function<void()> onChange;

  [[nodiscard]] std::size_t StepCount() const { return steps_.size(); }
  [[nodiscard]] std::size_t SampleBytes() const { return sampleBytes_; }

private:
  struct Step;
  struct Pending;

  void Open(const Engine& engine, std::string what, std::string mergeKey, bool drag);
  void KeepSounds(const SampleTable& table, std::initializer_list<int32_t> soundSlots);
  void Finish(const Engine& engine);
  void EndOpenDrag(const Engine& engine);
  void Forget();
  void Swap(Engine& engine, Step& step);
  void Changed() const;
  void TrimOldest();

  std::vector<std::unique_ptr<Step>> steps_;
  std::size_t done_ = 0;                 // steps_[0, done_) are done, the rest undone
  std::optional<std::size_t> saved_ = 0; // done_ when the song matched its file
  // The newest step was kept by the edit just before, and neither undo nor redo came
  // since: a keystroke with its merge key may still join it.
  bool mergeable_ = false;
  std::unique_ptr<Pending> pending_;
  std::size_t sampleBytes_ = 0;
  std::size_t maxSteps_;
  std::size_t maxSampleBytes_;
};

// Runs `edit` as one undoable step named `what`.
template <class Edit>
auto Undoable(UndoHistory& history, Engine& engine, std::string what, Edit&& edit) {
  history.Begin(engine, std::move(what));
  if constexpr (std::is_void_v<decltype(edit())>) {
    edit();
    history.End(engine);
  } else {
    auto result = edit();
    history.End(engine);
    return result;
  }
}

} // namespace lw
