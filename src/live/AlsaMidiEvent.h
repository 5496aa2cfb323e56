#pragma once

#include "live/MidiReader.h"

#include <alsa/asoundlib.h>

#include <array>
#include <cstddef>

namespace lw {

// The most messages one sequencer event stands for: a 14-bit parameter number and value
// (NRPN, RPN) reach a MIDI receiver as four control changes.
inline constexpr std::size_t kMaxMessagesPerEvent = 4;
using EventMessages = std::array<MidiMessage, kMaxMessagesPerEvent>;

// The MIDI messages a sequencer event stands for, as the bytes on a MIDI cable would
// carry it; returns how many of `out` it filled. Channel messages (the 14-bit
// controllers, NRPN and RPN as their control changes), song position, clock, start,
// continue and stop are converted; every other event (system exclusive, a note with a
// duration, the sequencer's own announcements, ...) gives none.
//
// Sequencer events hold wider fields than MIDI bytes. A quantity out of range (a
// velocity, a controller value, a bend) is clamped, so that too much stays "as much as
// there is"; a number (a note, a controller, a program, a channel) keeps its low bits, as
// ALSA's own MIDI encoder sends it. Any thread; never allocates.
std::size_t ToMidiMessages(const snd_seq_event_t& event, EventMessages& out) noexcept;

} // namespace lw
