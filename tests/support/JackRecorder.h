#pragma once

#include "JackTestServer.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lw::test {

// A JACK client that records its audio inputs ("in_1", ...), as a mixer or a recorder
// would: every period's frames go on the end of buffers allocated beforehand until they
// are full, each period noted with the server's frame time at its start.
class JackRecorder {
public:
  JackRecorder(const JackTestServer& server, int inputs, std::size_t capacity)
      : client_(server.Connect("recorder")), buffers_(static_cast<std::size_t>(inputs)) {
    if (client_ == nullptr) {
      return;
    }
    for (int i = 0; i < inputs; ++i) {
      const std::string name = "in_" + std::to_string(i + 1);
      ports_.push_back(
          jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
      buffers_[static_cast<std::size_t>(i)].assign(capacity, 0.0F);
    }
    periods_.resize(capacity / 8 + 1);
    jack_set_process_callback(client_, Process, this);
    ok_ = jack_activate(client_) == 0;
  }
  ~JackRecorder() {
    if (client_ != nullptr) {
      jack_client_close(client_);
    }
  }
  JackRecorder(const JackRecorder&) = delete;
  JackRecorder& operator=(const JackRecorder&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] jack_client_t* client() const { return client_; }
  // Connects another client's output port ("LoopWren:mix") to input `input` (from 0).
  bool ConnectFrom(const std::string& source, int input) {
    return jack_connect(client_, source.c_str(),
                        jack_port_name(ports_[static_cast<std::size_t>(input)])) == 0;
  }
  // Records from the next period on, from the start of the buffers.
  void Start() { recording_.store(true); }
  [[nodiscard]] std::size_t frames() const { return recorded_.load(std::memory_order_acquire); }
  // The frame time of the first recorded frame; valid once frames() > 0.
  [[nodiscard]] jack_nframes_t firstFrame() const { return periods_[0].time; }
  // Waits until `frames` frames are recorded, at most `limit`.
  bool WaitFor(std::size_t frames, std::chrono::seconds limit = std::chrono::seconds(30)) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (this->frames() < frames) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Where the first period recorded from frame time `time` on was recorded, and how many
  // frames after `time` it began: 0 unless the server skipped this client for the period
  // that began then. Nothing while no such period has been recorded yet.
  struct Place {
    std::size_t index = 0;
    std::size_t late = 0;
  };
  [[nodiscard]] std::optional<Place> Find(jack_nframes_t time) const {
    const std::size_t recorded = periodCount_.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < recorded; ++i) {
      const auto after = static_cast<int32_t>(periods_[i].time - time);
      if (after >= 0 && periods_[i].index < frames()) {
        return Place{periods_[i].index, static_cast<std::size_t>(after)};
      }
    }
    return std::nullopt;
  }
  // Input `input`'s frames from index `start` on, at most `count` of them, as integers at
  // `scale` (32768 for the mix).
  [[nodiscard]] std::vector<int32_t> ValuesAt(int input, std::size_t start, std::size_t count,
                                              float scale = 32768.0F) const {
    const auto& b = buffers_[static_cast<std::size_t>(input)];
    std::vector<int32_t> out;
    for (std::size_t i = start; i < std::min(start + count, frames()); ++i) {
      out.push_back(static_cast<int32_t>(std::lround(b[i] * scale)));
    }
    return out;
  }

private:
  static int Process(jack_nframes_t frames, void* self) {
    auto& r = *static_cast<JackRecorder*>(self);
    if (!r.recording_.load(std::memory_order_relaxed)) {
      return 0;
    }
    const std::size_t at = r.recorded_.load(std::memory_order_relaxed);
    const std::size_t period = r.periodCount_.load(std::memory_order_relaxed);
    if (period == r.periods_.size() || at == r.buffers_[0].size()) {
      return 0;
    }
    r.periods_[period] = {jack_last_frame_time(r.client_), at};
    r.periodCount_.store(period + 1, std::memory_order_release);
    const std::size_t n = std::min<std::size_t>(frames, r.buffers_[0].size() - at);
    for (std::size_t i = 0; i < r.ports_.size(); ++i) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(r.ports_[i], frames));
      std::copy_n(in, n, r.buffers_[i].begin() + static_cast<std::ptrdiff_t>(at));
    }
    r.recorded_.store(at + n, std::memory_order_release);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  std::vector<jack_port_t*> ports_;
  std::vector<std::vector<float>> buffers_;
  bool ok_ = false;
  std::atomic<bool> recording_{false};
  std::atomic<std::size_t> recorded_{0};
  struct Period {
    jack_nframes_t time = 0; // the server's frame time at its start
    std::size_t index = 0;   // where its first frame was recorded
  };
  std::vector<Period> periods_;
  std::atomic<std::size_t> periodCount_{0};
};

} // namespace lw::test
