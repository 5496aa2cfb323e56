#pragma once

#include "JackTestServer.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lw::test {

// A JACK client that plays MIDI from its output "out", as a pad controller behind a MIDI
// interface would: each message is written in the period that holds its frame time, at
// its frame in that period.
class JackMidiSender {
public:
  explicit JackMidiSender(const JackTestServer& server) : client_(server.Connect("pads")) {
    if (client_ == nullptr) {
      return;
    }
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    events_.resize(1024);
    jack_set_process_callback(client_, Process, this);
    ok_ = port_ != nullptr && jack_activate(client_) == 0;
  }
  ~JackMidiSender() {
    if (client_ != nullptr) {
      jack_client_close(client_);
    }
  }
  JackMidiSender(const JackMidiSender&) = delete;
  JackMidiSender& operator=(const JackMidiSender&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  bool ConnectTo(const std::string& port) {
    return jack_connect(client_, jack_port_name(port_), port.c_str()) == 0;
  }
  // The server's frame time about now.
  [[nodiscard]] jack_nframes_t Now() const { return jack_frame_time(client_); }
  // Sends three bytes at frame time `time`, which must be later than any sent before.
  void Send(jack_nframes_t time, std::array<uint8_t, 3> bytes) {
    const std::size_t n = count_.load(std::memory_order_relaxed);
    if (n < events_.size()) {
      events_[n] = {time, bytes};
      count_.store(n + 1, std::memory_order_release);
    }
  }
  // Messages written so far, and those whose frame had passed before their period came.
  [[nodiscard]] std::size_t sent() const { return sent_.load(std::memory_order_acquire); }
  [[nodiscard]] std::size_t missed() const { return missed_.load(std::memory_order_acquire); }

private:
  struct Event {
    jack_nframes_t time = 0;
    std::array<uint8_t, 3> bytes{};
  };
  static int Process(jack_nframes_t frames, void* self) {
    auto& s = *static_cast<JackMidiSender*>(self);
    const jack_nframes_t start = jack_last_frame_time(s.client_);
    void* buffer = jack_port_get_buffer(s.port_, frames);
    jack_midi_clear_buffer(buffer);
    const std::size_t count = s.count_.load(std::memory_order_acquire);
    while (s.next_ < count) {
      const Event& e = s.events_[s.next_];
      const auto offset = static_cast<int32_t>(e.time - start);
      if (offset >= static_cast<int32_t>(frames)) {
        break;
      }
      if (offset < 0) {
        s.missed_.fetch_add(1, std::memory_order_release);
      } else {
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), e.bytes.data(), 3);
        s.sent_.fetch_add(1, std::memory_order_release);
      }
      ++s.next_;
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  bool ok_ = false;
  std::vector<Event> events_;
  std::atomic<std::size_t> count_{0};
  std::size_t next_ = 0; // the process thread's
  std::atomic<std::size_t> sent_{0};
  std::atomic<std::size_t> missed_{0};
};

} // namespace lw::test
