#pragma once

#include "JackTestServer.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lw::test {

// A JACK client that takes down the MIDI arriving at its input "in": each message's
// first byte and the frame time it came at, into room allocated beforehand.
class JackMidiRecorder {
public:
  struct Event {
    jack_nframes_t frame = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
  };

  JackMidiRecorder(const JackTestServer& server, std::size_t capacity)
      : client_(server.Connect("midi-recorder")), events_(capacity) {
    if (client_ == nullptr) {
      return;
    }
    port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, Process, this);
    ok_ = port_ != nullptr && jack_activate(client_) == 0;
  }
  ~JackMidiRecorder() {
    if (client_ != nullptr) {
      jack_client_close(client_);
    }
  }
  JackMidiRecorder(const JackMidiRecorder&) = delete;
  JackMidiRecorder& operator=(const JackMidiRecorder&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  bool ConnectFrom(const std::string& source) {
    return jack_connect(client_, source.c_str(), jack_port_name(port_)) == 0;
  }
  [[nodiscard]] std::size_t count() const { return count_.load(std::memory_order_acquire); }
  // The events taken down so far (read once count() says they are there).
  [[nodiscard]] std::vector<Event> Events() const {
    return {events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(count())};
  }

private:
  static int Process(jack_nframes_t frames, void* self) {
    auto& r = *static_cast<JackMidiRecorder*>(self);
    const jack_nframes_t start = jack_last_frame_time(r.client_);
    void* buffer = jack_port_get_buffer(r.port_, frames);
    const uint32_t n = jack_midi_get_event_count(buffer);
    std::size_t at = r.count_.load(std::memory_order_relaxed);
    for (uint32_t i = 0; i < n && at < r.events_.size(); ++i) {
      jack_midi_event_t e{};
      if (jack_midi_event_get(&e, buffer, i) == 0 && e.size > 0) {
        r.events_[at++] = {start + e.time, e.buffer[0],
                           static_cast<uint8_t>(e.size > 1 ? e.buffer[1] : 0),
                           static_cast<uint8_t>(e.size > 2 ? e.buffer[2] : 0)};
      }
    }
    r.count_.store(at, std::memory_order_release);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  bool ok_ = false;
  std::vector<Event> events_;
  std::atomic<std::size_t> count_{0};
};

} // namespace lw::test
