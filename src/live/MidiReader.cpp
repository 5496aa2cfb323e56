#include "live/MidiReader.h"

namespace lw {

int MidiDataBytes(uint8_t status) noexcept {
  if (status < 0x80) {
    return 0;
  }
  if (status < 0xF0) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
  }
  switch (status) {
  case 0xF1: // quarter frame
  case 0xF3: // song select
    return 1;
  case 0xF2: // song position pointer
    return 2;
  default:
    return 0;
  }
}

void MidiReader::Reset() noexcept {
  status_ = 0;
  data1_ = 0;
  have_ = 0;
  inSysex_ = false;
}

bool MidiReader::Take(uint8_t byte, MidiMessage& message) noexcept {
  if (byte >= 0xF8) {
    // Real-time bytes may come between any two bytes and leave everything as it was.
    // 0xF9 and 0xFD are undefined.
    if (byte == 0xF9 || byte == 0xFD) {
      return false;
    }
    message = {byte, 0, 0};
    return true;
  }
  if (byte >= 0x80) {
    // Any other status byte ends a system-exclusive message and cuts short a message
    // whose data has not all come.
    inSysex_ = byte == 0xF0;
    have_ = 0;
    if (byte >= 0xF0) {
      // System common messages cancel the running status. The ones without data are
      // complete at once; the undefined ones and the end of an exclusive are dropped.
      status_ = MidiDataBytes(byte) > 0 ? byte : 0;
      if (byte == 0xF6) {
        message = {byte, 0, 0};
        return true;
      }
      return false;
    }
    status_ = byte;
    return false;
  }
  if (inSysex_ || status_ == 0) {
    return false; // an exclusive's data, or data with no status before it
  }
  const int needed = MidiDataBytes(status_);
  if (have_ == 0) {
    data1_ = byte;
    if (needed > 1) {
      have_ = 1;
      return false;
    }
    message = {status_, byte, 0};
  } else {
    have_ = 0;
    message = {status_, data1_, byte};
  }
  if (status_ >= 0xF0) {
    status_ = 0; // system common messages have no running status
  }
  return true;
}

} // namespace lw
