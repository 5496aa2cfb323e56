#pragma once

#include <cstddef>
#include <cstdint>

namespace lw {

// One complete MIDI message: a channel message (note off/on, poly pressure, control
// change, program change, channel pressure, pitch bend), a system common message with its
// data (song position, song select, quarter frame, tune request) or a real-time byte
// (clock, start, continue, stop, ...), which has no data. Unused data bytes are 0.
struct MidiMessage {
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  [[nodiscard]] uint8_t kind() const { return status < 0xF0 ? status & 0xF0 : status; }
  [[nodiscard]] uint8_t channel() const { return status & 0x0F; }
  // A note on with velocity 0 is a note off, as every keyboard sends it.
  [[nodiscard]] bool isNoteOn() const { return kind() == 0x90 && data2 != 0; }
  [[nodiscard]] bool isControlChange() const { return kind() == 0xB0; }

  friend bool operator==(const MidiMessage&, const MidiMessage&) = default;
};

// Where messages read on some thread go (the ALSA sequencer's reader, a test). Receive
// must not block or allocate: it may run next to the audio path.
class MidiMessageSink {
public:
  virtual ~MidiMessageSink() = default;
  virtual void Receive(const MidiMessage& message) noexcept = 0;
};

// Turns a MIDI byte stream into messages: running status, real-time bytes between the
// bytes of a message, system-exclusive messages (skipped whole, however long), a message
// cut short by the next status byte (dropped), data bytes with no status before them and
// the undefined status bytes (ignored) are all met as a MIDI 1.0 receiver must. It keeps
// three bytes of state, never allocates and may run on the audio thread.
class MidiReader {
public:
  // Reads `count` bytes, calling `onMessage(const MidiMessage&)` for each message they
  // complete. A message may span calls.
  template <class OnMessage>
  void Feed(const uint8_t* bytes, std::size_t count, OnMessage&& onMessage) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
      MidiMessage message;
      if (Take(bytes[i], message)) {
        onMessage(message);
      }
    }
  }
  // Forgets a message in progress and the running status: the next bytes start afresh.
  void Reset() noexcept;

private:
  // Takes one byte; true when it completes `message`.
  bool Take(uint8_t byte, MidiMessage& message) noexcept;

  uint8_t status_ = 0; // the running status, or the system common message being read; 0: none
  uint8_t data1_ = 0;
  uint8_t have_ = 0; // data bytes of the current message read so far
  bool inSysex_ = false;
};

// How many data bytes follow `status` (0 for real-time bytes, sysex and undefined ones).
[[nodiscard]] int MidiDataBytes(uint8_t status) noexcept;

} // namespace lw
