#pragma once

#include "JackTestServer.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <cmath>
#include <cstdint>

namespace lw::test {

// A JACK client as a DAW is one: the transport's timebase master at a steady tempo, its
// bar, beat and tick worked out from the frame (ticks truncated, as masters publish
// them). It notes the frame time at which the transport first rolled, and its frame then.
class JackTimebaseMaster {
public:
  JackTimebaseMaster(const JackTestServer& server, double bpm)
      : client_(server.Connect("daw")), bpm_(bpm) {
    if (client_ == nullptr) {
      return;
    }
    jack_set_process_callback(client_, Process, this);
    ok_ =
        jack_set_timebase_callback(client_, 0, Timebase, this) == 0 && jack_activate(client_) == 0;
  }
  ~JackTimebaseMaster() {
    if (client_ != nullptr) {
      jack_client_close(client_);
    }
  }
  JackTimebaseMaster(const JackTimebaseMaster&) = delete;
  JackTimebaseMaster& operator=(const JackTimebaseMaster&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] jack_client_t* client() const { return client_; }
  // The frame time of the first period the transport rolled in, and its frame then;
  // valid once rolled() is true.
  [[nodiscard]] bool rolled() const { return rolled_.load(std::memory_order_acquire); }
  [[nodiscard]] jack_nframes_t rolledAt() const { return rolledAt_; }
  [[nodiscard]] jack_nframes_t rolledFrom() const { return rolledFrom_; }
  // Periods the server has run since it activated. The server runs every active client
  // each period, so once this has grown by two, a client activated before has run too.
  [[nodiscard]] uint64_t periods() const { return periods_.load(std::memory_order_acquire); }
  // The first frame of the transport whose beat has reached `beat`.
  [[nodiscard]] jack_nframes_t FrameOf(double beat) const {
    return static_cast<jack_nframes_t>(std::ceil(beat * 60.0 * 44100 / bpm_ - 1e-9));
  }

private:
  static void Timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* p, int,
                       void* self) {
    const double bpm = static_cast<JackTimebaseMaster*>(self)->bpm_;
    const double beats = static_cast<double>(p->frame) * bpm / (60.0 * 44100);
    const double whole = std::floor(beats);
    const auto index = static_cast<int64_t>(whole);
    p->valid = JackPositionBBT;
    p->beats_per_minute = bpm;
    p->beats_per_bar = 4;
    p->beat_type = 4;
    p->ticks_per_beat = 1920;
    p->bar = static_cast<int32_t>(index / 4 + 1);
    p->beat = static_cast<int32_t>(index % 4 + 1);
    p->tick = static_cast<int32_t>((beats - whole) * 1920);
    p->bar_start_tick = static_cast<double>(index - index % 4) * 1920;
  }
  static int Process(jack_nframes_t, void* self) {
    auto& m = *static_cast<JackTimebaseMaster*>(self);
    m.periods_.fetch_add(1, std::memory_order_release);
    jack_position_t pos{};
    if (!m.rolled_.load(std::memory_order_relaxed) &&
        jack_transport_query(m.client_, &pos) == JackTransportRolling) {
      m.rolledAt_ = jack_last_frame_time(m.client_);
      m.rolledFrom_ = pos.frame;
      m.rolled_.store(true, std::memory_order_release);
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  double bpm_;
  bool ok_ = false;
  std::atomic<bool> rolled_{false};
  std::atomic<uint64_t> periods_{0};
  jack_nframes_t rolledAt_ = 0;
  jack_nframes_t rolledFrom_ = 0;
};

} // namespace lw::test
