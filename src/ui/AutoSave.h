#pragma once

#include "session/AutoSaveSchedule.h"
#include "session/RecoveryInstance.h"
#include "session/RecoveryWriter.h"

#include <QObject>
#include <QTimer>

#include <chrono>

namespace lw {

struct Engine;

// Keeps this run's recovery copy in step with the song: a timer looks at the song every
// second; while it has unsaved changes, a copy is made a few seconds after the last change
// (and at least every half minute while changes go on), and once nothing is unsaved the
// copy goes. The bytes are made here, on the interface thread, which alone writes the
// song's content and so reads it without the engine lock; the writer's thread puts them on
// disk, so neither the interface nor the sound waits for the disk.
class AutoSave : public QObject {
public:
  AutoSave(Engine& engine, RecoveryInstance& instance, AutoSaveTiming timing, QObject* parent);
  // Stops the writer. The copy stays: only Finish says the song may go.
  ~AutoSave() override;
  AutoSave(const AutoSave&) = delete;
  AutoSave& operator=(const AutoSave&) = delete;

  // One look at the song, at `now`; the timer calls it.
  void Poll(std::chrono::steady_clock::time_point now);
  // Nothing is unsaved any more (the song was saved, or replaced with the user's
  // agreement): the copy goes now rather than at the next look.
  void SongSettled();
  // The song now loaded is exactly the copy this run took over at start-up.
  void Adopted();
  // The run ends cleanly: the copy and the run's lock file are removed.
  void Finish();

  [[nodiscard]] RecoveryWriter& writer() { return writer_; }

private:
  Engine& engine_;
  RecoveryInstance& instance_;
  AutoSaveSchedule schedule_;
  RecoveryWriter writer_;
  QTimer timer_;
  bool warned_ = false;
};

} // namespace lw
