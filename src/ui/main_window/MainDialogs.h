#pragma once

#include "live/LiveOutputs.h"
#include "ui/ExportChoice.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace lw {

// The windows the main window opens. The program gives it the real ones; until a window
// exists its entry does nothing, and tests give their own.
class MainDialogs {
public:
  virtual ~MainDialogs() = default;
  // The sample manager, modally.
  virtual void ShowSampleManager() {}
  // The song sequencer, not modally, below the main window.
  virtual void ShowSequencer() {}
  [[nodiscard]] virtual bool SequencerVisible() const { return false; }
  // A bank or pattern click while the sequencer is visible fills its selected slot.
  virtual void SetSequenceSlot(int32_t /*bank*/, int32_t /*pattern*/) {}
  // New and Open replaced the sequence, title and author.
  virtual void RefreshSequencer() {}
  // The pattern grid, not modally, beside the main window.
  virtual void ShowPatternGrid() {}
  // The controllers of the active step, modally.
  virtual void ShowControllers() {}
  // The splash window over the main window, modally, once.
  virtual void ShowSplash() {}
  // The bounce dialog, shown with the proposed name: the name accepted, or nothing when
  // cancelled.
  virtual std::optional<std::string> AskBounceName(const std::string& /*proposed*/) {
    return std::nullopt;
  }
  // The export dialog, with "Songloop" to choose when `songloop`: the choices accepted,
  // or nothing when cancelled.
  virtual std::optional<ExportChoice> AskExport(bool /*songloop*/) { return std::nullopt; }
  // "Audio & MIDI", shown with the choices made now and a line on the output playing:
  // the choices made, or nothing when cancelled.
  virtual std::optional<AudioMidiChoice> AskOutput(const AudioMidiChoice& /*current*/,
                                                   const std::string& /*playing*/) {
    return std::nullopt;
  }
  // The sequencer's selection, for "Songloop".
  [[nodiscard]] virtual int32_t SelectionFirstSlot() const { return 0; }
  [[nodiscard]] virtual int32_t SelectionWidth() const { return 1; }
  // The sample manager's list, refreshed even while it is hidden.
  virtual void RefreshSampleList() {}
  // The three about boxes.
  virtual void ShowAbout(int /*which*/) {}
  // The windows keep their places for the next run.
  virtual void RememberPlaces() {}
};

} // namespace lw
