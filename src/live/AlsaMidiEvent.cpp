#include "live/AlsaMidiEvent.h"

#include <algorithm>

namespace lw {

namespace {

constexpr int kMax7 = 0x7F;
constexpr int kMax14 = 0x3FFF;
constexpr int kBendCentre = 0x2000;

uint8_t Low7(unsigned number) {
  return static_cast<uint8_t>(number & kMax7);
}

uint8_t Clamp7(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, kMax7));
}

int Clamp14(int value) {
  return std::clamp(value, 0, kMax14);
}

uint8_t Msb(int value14) {
  return static_cast<uint8_t>(value14 >> 7);
}

uint8_t Lsb(int value14) {
  return static_cast<uint8_t>(value14 & kMax7);
}

MidiMessage Channel(uint8_t kind, unsigned channel, uint8_t data1, uint8_t data2 = 0) {
  return {static_cast<uint8_t>(kind | (channel & 0x0F)), data1, data2};
}

// A 14-bit value as two control changes: its high seven bits to controller `coarse`, its
// low seven to `fine`.
void Split14(unsigned channel, uint8_t coarse, uint8_t fine, int value14, MidiMessage* out) {
  out[0] = Channel(0xB0, channel, coarse, Msb(value14));
  out[1] = Channel(0xB0, channel, fine, Lsb(value14));
}

// A 14-bit controller's number selects its coarse half; the fine half is 32 further on.
// Numbers from 32 on have no fine half and take the value as a 7-bit one.
std::size_t Control14(const snd_seq_ev_ctrl_t& control, EventMessages& out) {
  if (control.param >= 32) {
    out[0] = Channel(0xB0, control.channel, Low7(control.param), Clamp7(control.value));
    return 1;
  }
  Split14(control.channel, static_cast<uint8_t>(control.param),
          static_cast<uint8_t>(control.param + 32), Clamp14(control.value), out.data());
  return 2;
}

// The parameter number's two halves, then the data entry's two halves.
std::size_t Parameter(const snd_seq_ev_ctrl_t& control, bool registered, EventMessages& out) {
  Split14(control.channel, registered ? 101 : 99, registered ? 100 : 98,
          static_cast<int>(control.param & kMax14), out.data());
  Split14(control.channel, 6, 38, Clamp14(control.value), out.data() + 2);
  return 4;
}

std::size_t RealTime(uint8_t status, EventMessages& out) {
  out[0] = MidiMessage{status, 0, 0};
  return 1;
}

} // namespace

std::size_t ToMidiMessages(const snd_seq_event_t& event, EventMessages& out) noexcept {
  const snd_seq_ev_note_t& note = event.data.note;
  const snd_seq_ev_ctrl_t& control = event.data.control;
  switch (event.type) {
  case SND_SEQ_EVENT_NOTEON:
    out[0] = Channel(0x90, note.channel, Low7(note.note), Clamp7(note.velocity));
    return 1;
  case SND_SEQ_EVENT_NOTEOFF:
    out[0] = Channel(0x80, note.channel, Low7(note.note), Clamp7(note.velocity));
    return 1;
  case SND_SEQ_EVENT_KEYPRESS:
    out[0] = Channel(0xA0, note.channel, Low7(note.note), Clamp7(note.velocity));
    return 1;
  case SND_SEQ_EVENT_CONTROLLER:
    out[0] = Channel(0xB0, control.channel, Low7(control.param), Clamp7(control.value));
    return 1;
  case SND_SEQ_EVENT_PGMCHANGE:
    out[0] = Channel(0xC0, control.channel, Low7(static_cast<unsigned>(control.value)));
    return 1;
  case SND_SEQ_EVENT_CHANPRESS:
    out[0] = Channel(0xD0, control.channel, Clamp7(control.value));
    return 1;
  case SND_SEQ_EVENT_PITCHBEND: {
    const int value = std::clamp(control.value, -kBendCentre, kBendCentre - 1) + kBendCentre;
    out[0] = Channel(0xE0, control.channel, Lsb(value), Msb(value));
    return 1;
  }
  case SND_SEQ_EVENT_CONTROL14:
    return Control14(control, out);
  case SND_SEQ_EVENT_NONREGPARAM:
    return Parameter(control, false, out);
  case SND_SEQ_EVENT_REGPARAM:
    return Parameter(control, true, out);
  case SND_SEQ_EVENT_SONGPOS: {
    const int value = Clamp14(control.value);
    out[0] = MidiMessage{0xF2, Lsb(value), Msb(value)};
    return 1;
  }
  case SND_SEQ_EVENT_CLOCK:
    return RealTime(0xF8, out);
  case SND_SEQ_EVENT_START:
    return RealTime(0xFA, out);
  case SND_SEQ_EVENT_CONTINUE:
    return RealTime(0xFB, out);
  case SND_SEQ_EVENT_STOP:
    return RealTime(0xFC, out);
  default:
    return 0;
  }
}

} // namespace lw
