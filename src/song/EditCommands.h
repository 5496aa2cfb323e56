#pragma once

#include "song/SongState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// Which parts of the main window a command asks to redraw: the bank and pattern panels,
// the channel's knobs and buttons, and the lcd's step display.
struct RefreshFlags {
  bool refreshPanels = false;
  bool refreshChannel = false;
  bool refreshStep = false;

  static constexpr RefreshFlags All() { return {true, true, true}; }
  static constexpr RefreshFlags ChannelAndStep() { return {false, true, true}; }
  static constexpr RefreshFlags StepOnly() { return {false, false, true}; }
  friend bool operator==(const RefreshFlags&, const RefreshFlags&) = default;
};

// The program's private clipboard, owned by the main window. It lives apart from the song,
// so New and Open keep it. `clipData` holds a copied Pattern, Channel or Step from its
// first byte on; the bytes behind the last copy keep older content and are never read.
struct EditClipboard {
  static constexpr std::string_view kPattern = "pattern";
  static constexpr std::string_view kChannel = "channel";
  static constexpr std::string_view kNote = "note";

  std::string clipKind; // empty until something is copied
  std::array<std::byte, sizeof(Pattern)> clipData{};
};

// The editing commands of the Edit menu. They act on the edited pattern (editBank,
// editPattern), its channel activeChannel and its step activeStep, never on the pattern
// being played. Interface thread, with the engine lock held: the render thread reads the
// song while playback goes on.

void CopyPattern(const SongDocument& state, EditClipboard& clip);
void CopyChannel(const SongDocument& state, EditClipboard& clip);
void CopyNote(const SongDocument& state, EditClipboard& clip);

// Overwrites the edited pattern, channel or active step with what was copied last; with
// nothing copied it changes nothing. Marks the song changed either way.
RefreshFlags Paste(SongState& state, const EditClipboard& clip);

// Gives all 16 steps of the edited channel the default step; the channel's overdrive
// switch, volume and delay send stay.
RefreshFlags ClearChannel(SongState& state);
// Resets volume, mode and positions of the edited channel's steps; the notes stay.
RefreshFlags ClearControllers(SongState& state);

// The two slicing commands cut the sample of each step from activeStep to 15 into equal
// consecutive slices; they differ only in the mode written.
enum class SliceCommand { LameTimestretch, LongStutter };

// 1024 / (16 - activeStep), rounded: 64 for step 0 up to 1024 for step 15.
[[nodiscard]] int32_t SliceSize(int32_t activeStep);
// The question asked before slicing.
[[nodiscard]] std::string SliceQuestion(SliceCommand command);
// Writes the slices into the edited channel without asking. The positions are not
// clamped: rounding lets the last end position reach 1026.
RefreshFlags ApplySlices(SongState& state, SliceCommand command);

} // namespace lw
