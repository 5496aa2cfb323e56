#pragma once

#include "song/Song.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// What MIDI learn has taught: the note each channel answers, the control change that
// turns each of the main window's twelve knobs, and those that flip the channels' mute
// and solo switches. Kept in the settings, never in a song.
struct MidiMapping {
  static constexpr int kKnobs = 12;
  static constexpr int kControllers = 128;
  // Switches 0..2 mute channel 1..3; 3..5 solo it.
  static constexpr int kSwitches = 2 * kChannels;

  std::array<int, kChannels> channelNotes{36, 38, 42};   // kick, snare, closed hat
  std::array<int8_t, kControllers> knobOfController{};   // -1: the controller turns none
  std::array<int8_t, kControllers> switchOfController{}; // -1: it flips none

  MidiMapping() {
    knobOfController.fill(-1);
    switchOfController.fill(-1);
  }

  // Learning a controller for a knob takes it away from the knob it turned before, and
  // the knob's former controller turns nothing any more: one controller, one knob. A
  // controller does one thing: learnt for a knob it flips no switch, and the other way.
  void LearnController(int controller, int knob);
  void LearnSwitch(int controller, int sw);
  // Learning a note for a channel: a channel that answered the note before gives it up
  // and takes the channel's old note, so no two channels answer one note.
  void LearnNote(int channel, int note);

  // As the settings keep it: "notes=36,38,42;cc=7:9,10:0", with ";switch=20:0,21:3" when
  // switches are learnt. Text that cannot be read,
  // in whole or in part, leaves the defaults where it is wrong.
  [[nodiscard]] std::string ToText() const;
  [[nodiscard]] static MidiMapping FromText(std::string_view text);

  friend bool operator==(const MidiMapping&, const MidiMapping&) = default;
};

// A controller's value 0..127 on a knob's range, the ends on the ends, rounded half to
// even.
[[nodiscard]] int32_t KnobValueOfController(int value, int32_t minimum, int32_t maximum);

} // namespace lw
