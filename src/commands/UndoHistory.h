#pragma once

#include "engine/BlackBox.h"

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
  // that undo can bring it back. Edits with the same non-empty `mergeKey` that follow one
  // another (the tempo box's keystrokes) make one step.
  void Begin(const Engine& engine, std::string what, std::initializer_list<int32_t> soundSlots = {},
             std::string mergeKey = {});
  // After the edit: keeps a step when the song changed. Without a Begin it does nothing.
  void End(Engine& engine);
  // Forgets a Begin whose edit did not happen.
  void Cancel();

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
  // New, Open and a failed load start afresh.
  void Clear();

  // Called whenever what undo or redo would do may have changed.
  std::function<void()> onChange;

  [[nodiscard]] std::size_t StepCount() const { return steps_.size(); }
  [[nodiscard]] std::size_t SampleBytes() const { return sampleBytes_; }

private:
  struct Step;
  struct Pending;

  void Swap(Engine& engine, Step& step);
  void Changed() const;
  void TrimOldest();

  std::vector<std::unique_ptr<Step>> steps_;
  std::size_t done_ = 0;                 // steps_[0, done_) are done, the rest undone
  std::optional<std::size_t> saved_ = 0; // done_ when the song matched its file
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
