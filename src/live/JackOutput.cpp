#include "live/JackOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace lw {

namespace {

// libjack prints its own complaints (a missing server above all, which Auto meets on
// every start without one); the reasons Open returns say what matters instead.
void Quiet(const char* /*message*/) {
}

std::string OpenFailure(jack_status_t status) {
  if ((status & JackServerFailed) != 0) {
    return "no JACK server is running";
  }
  if ((status & JackVersionError) != 0) {
    return "the JACK server speaks another version of JACK's protocol";
  }
  if ((status & JackShmFailure) != 0) {
    return "JACK's shared memory cannot be reached";
  }
  return "the JACK server refused the client";
}

} // namespace

JackOutput::JackOutput(Engine& engine) : renderer_(engine) {
  leaders_.transport = &transport_;
  leaders_.clock = &clockIn_;
  renderer_.SetLeader(&leaders_);
}

JackOutput::~JackOutput() {
  Close();
}

std::string JackOutput::Open(const std::string& server) {
  if (client_ != nullptr) {
    return {};
  }
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  lost_.store(false);
  lostClaimed_.clear();
  lostReason_.fill('\0');
  clockStarted_ = false;

  jack_status_t status{};
  if (server.empty()) {
    client_ = jack_client_open(kClientName, JackNoStartServer, &status);
  } else {
    client_ = jack_client_open(kClientName,
                               static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                               &status, server.c_str());
  }
  if (client_ == nullptr) {
    return OpenFailure(status);
  }
  const jack_nframes_t rate = jack_get_sample_rate(client_);
  if (rate != static_cast<jack_nframes_t>(kOutputRate)) {
    Close();
    return "the JACK server runs at " + std::to_string(rate) + " Hz, and LoopWren plays at " +
           std::to_string(kOutputRate) + " Hz only";
  }
  for (std::size_t p = 0; p < ports_.size(); ++p) {
    ports_[p] =
        jack_port_register(client_, kPortNames[p], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  }
  midiIn_ = jack_port_register(client_, kMidiPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  clockOut_ =
      jack_port_register(client_, kClockPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (midiIn_ == nullptr || clockOut_ == nullptr ||
      std::any_of(ports_.begin(), ports_.end(), [](jack_port_t* p) { return p == nullptr; })) {
    Close();
    return "the JACK server refused LoopWren's ports";
  }
  periodFrames_.store(jack_get_buffer_size(client_));
  jack_set_process_callback(client_, OnProcess, this);
  jack_set_xrun_callback(client_, OnXrun, this);
  jack_set_buffer_size_callback(client_, OnBufferSize, this);
  jack_set_sample_rate_callback(client_, OnSampleRate, this);
  jack_set_latency_callback(client_, OnLatency, this);
  jack_on_info_shutdown(client_, OnShutdown, this);
  // A client that takes part in starting the transport sees it wait to start, one period
  // before it rolls: so a song that follows it begins on the very frame it rolls from.
  jack_set_sync_callback(client_, OnSync, this);
  if (jack_activate(client_) != 0) {
    Close();
    return "the JACK server did not start LoopWren's client";
  }
  clientName_ = jack_get_client_name(client_);
  ConnectToSpeakers();
  SetTransportRole(transport_.role());
  return {};
}

void JackOutput::Close() {
  if (client_ == nullptr) {
    return;
  }
  jack_client_close(client_);
  client_ = nullptr;
  ports_.fill(nullptr);
  midiIn_ = nullptr;
  clockOut_ = nullptr;
  clockStart_ = PeriodRenderer::kNoFrame;
}

std::string JackOutput::lostReason() const {
  if (!lost()) {
    return {};
  }
  return {lostReason_.data(), strnlen(lostReason_.data(), lostReason_.size())};
}

// Mono: the mix goes to the left and the right speaker.
void JackOutput::ConnectToSpeakers() {
  const char** speakers = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsPhysical | JackPortIsInput);
  if (speakers == nullptr) {
    return;
  }
  const char* mix = jack_port_name(ports_[0]);
  for (int i = 0; i < 2 && speakers[i] != nullptr; ++i) {
    jack_connect(client_, mix, speakers[i]);
  }
  jack_free(static_cast<void*>(speakers));
}

std::optional<OutputCursor> JackOutput::songCursor() const {
  const uint64_t played = renderer_.playedSample();
  if (played == PeriodRenderer::kNoFrame) {
    return std::nullopt;
  }
  const uint32_t period = periodFrames();
  return OutputCursor{played, playbackLatency_.load(std::memory_order_relaxed), period};
}

int JackOutput::OnProcess(jack_nframes_t frames, void* self) noexcept {
  auto& out = *static_cast<JackOutput*>(self);
  PeriodRenderer::PortBuffers buffers{};
  for (std::size_t p = 0; p < buffers.size(); ++p) {
    buffers[p] = static_cast<float*>(jack_port_get_buffer(out.ports_[p], frames));
  }
  // The server's frame time wraps at 2^32 frames (27 hours); the renderer's does not.
  const jack_nframes_t now = jack_last_frame_time(out.client_);
  if (!out.clockStarted_) {
    out.clockStarted_ = true;
    out.frameClock_ = now;
  } else {
    out.frameClock_ += static_cast<jack_nframes_t>(now - out.lastFrameTime_);
  }
  out.lastFrameTime_ = now;
  out.transport_.Process(out.client_, out.renderer_, out.frameClock_, frames);
  out.ReadMidi(frames);
  out.ReadHandedOver(frames);
  out.clockIn_.Period(out.renderer_, out.frameClock_);
  if (out.leaders_.link != nullptr) {
    out.leaders_.link->Period(out.renderer_, out.frameClock_, frames,
                              out.playbackLatency_.load(std::memory_order_relaxed));
  }
  out.renderer_.Process(buffers, frames, out.frameClock_);
  out.SendClock(frames);
  return 0;
}

// While LoopWren leads (it plays, and no transport leads it), MIDI clock goes out laid on
// its steps: a session starts with Start (or, in song mode from a later slot, the song
// position and Continue) on its first frame, and the ticks run on the engine's step grid.
// The first step after a start is a frame short, so the grid's origin is the frame before.
void JackOutput::SendClock(jack_nframes_t frames) noexcept {
  void* buffer = jack_port_get_buffer(clockOut_, frames);
  jack_midi_clear_buffer(buffer);
  const OutputFrame periodStart = frameClock_;
  const OutputFrame start = renderer_.sessionStart();
  const bool leads = renderer_.Playing() && !transport_.ledSong() && !clockIn_.ledSong() &&
                     (leaders_.link == nullptr || !leaders_.link->ledSong()) &&
                     start != PeriodRenderer::kNoFrame;
  const auto at = [&](OutputFrame frame) {
    return static_cast<jack_nframes_t>(frame > periodStart ? frame - periodStart : 0);
  };
  if (!leads) {
    if (clockStart_ != PeriodRenderer::kNoFrame) {
      const uint8_t stop = 0xFC;
      jack_midi_event_write(buffer, 0, &stop, 1);
      clockStart_ = PeriodRenderer::kNoFrame;
    }
    return;
  }
  const int32_t stepLength = std::max(renderer_.stepLength(), 1);
  if (start != clockStart_) {
    clockStart_ = start;
    clockTicks_.Reset(start - 1, stepLength);
    Engine& engine = renderer_.engine();
    const int32_t slot =
        engine.songMode ? engine.PlayPosition().songPosition.load(std::memory_order_relaxed) : 0;
    if (slot > 0) {
      // The song position counts sixteenths: one a step, sixteen a slot.
      const int32_t sixteenths = std::min(slot * kSteps, 0x3FFF);
      const std::array<uint8_t, 3> position{0xF2, static_cast<uint8_t>(sixteenths & 0x7F),
                                            static_cast<uint8_t>(sixteenths >> 7)};
      jack_midi_event_write(buffer, at(start), position.data(), position.size());
      const uint8_t resume = 0xFB;
      jack_midi_event_write(buffer, at(start), &resume, 1);
    } else {
      const uint8_t begin = 0xFA;
      jack_midi_event_write(buffer, at(start), &begin, 1);
    }
  }
  clockTicks_.SetStepLength(stepLength);
  clockTicks_.Take(periodStart, frames, [&](uint64_t frame) {
    const uint8_t tick = 0xF8;
    jack_midi_event_write(buffer, at(std::max<OutputFrame>(frame, start)), &tick, 1);
  });
}

// Each event of the period, at its frame in it, is due one period later: the renderer
// holds one period ahead, so every note sounds exactly one period after it arrived, on
// its own frame. An event is a whole message; one that is not cannot spill into the next.
void JackOutput::ReadMidi(jack_nframes_t frames) noexcept {
  void* buffer = jack_port_get_buffer(midiIn_, frames);
  const uint32_t count = jack_midi_get_event_count(buffer);
  const OutputFrame back = heardLatency();
  for (uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event{};
    if (jack_midi_event_get(&event, buffer, i) != 0) {
      continue;
    }
    const OutputFrame arrived = frameClock_ + event.time;
    const OutputFrame heard = arrived > back ? arrived - back : 0;
    midiReader_.Reset();
    midiReader_.Feed(event.buffer, event.size, [&](const MidiMessage& message) {
      if (message.status >= 0xF0) {
        clockIn_.Take(message, arrived + frames);
      } else if (input_ != nullptr) {
        input_->Schedule(message, arrived + frames, heard);
      }
    });
  }
}

// A message handed over came in real time during the period before this one, as the
// port's events of this period did; like them, it is due one period after its frame in
// this period. Messages from before the client listened are old news and dropped.
void JackOutput::ReadHandedOver(jack_nframes_t frames) noexcept {
  if (input_ == nullptr) {
    return;
  }
  constexpr int64_t kOldNews = kOutputRate / 2;
  bool mapped = false;
  jack_nframes_t cycleFrame = 0;
  jack_time_t cycleStart = 0;
  jack_time_t cycleEnd = 0;
  float periodMicroseconds = 0;
  int64_t steadyLead = 0; // the steady clock's microseconds less JACK's
  LiveInput::TimedMessage timed;
  while (input_->NextSystemMessage(timed)) {
    if (!mapped) {
      if (jack_get_cycle_times(client_, &cycleFrame, &cycleStart, &cycleEnd, &periodMicroseconds) !=
              0 ||
          cycleEnd <= cycleStart) {
        continue;
      }
      steadyLead = LiveInput::SteadyMicroseconds() - static_cast<int64_t>(jack_get_time());
      mapped = true;
    }
    const int64_t offset =
        FramesIntoPeriod(timed.microseconds - steadyLead, static_cast<int64_t>(cycleStart),
                         static_cast<int64_t>(cycleEnd), frames) +
        frames;
    if (offset < -kOldNews || -offset > static_cast<int64_t>(frameClock_)) {
      continue;
    }
    clockIn_.Take(timed.message,
                  static_cast<OutputFrame>(static_cast<int64_t>(frameClock_) + offset + frames));
  }
}

int64_t FramesIntoPeriod(int64_t at, int64_t periodStart, int64_t periodEnd,
                         jack_nframes_t frames) noexcept {
  const double fraction = static_cast<double>(at - periodStart) /
                          static_cast<double>(std::max<int64_t>(periodEnd - periodStart, 1));
  return std::llround(fraction * frames);
}

void JackOutput::SetTransportRole(TransportRole role) {
  const TransportRole was = transport_.role();
  transport_.SetRole(role);
  if (client_ == nullptr) {
    return;
  }
  if (role == TransportRole::Master) {
    jack_set_timebase_callback(client_, 0, OnTimebase, this);
  } else if (was == TransportRole::Master) {
    jack_release_timebase(client_);
  }
}

void JackOutput::StartOrStopTransport() {
  if (client_ == nullptr) {
    return;
  }
  jack_position_t position{};
  if (jack_transport_query(client_, &position) == JackTransportStopped) {
    jack_transport_start(client_);
  } else {
    jack_transport_stop(client_);
  }
}

int JackOutput::OnSync(jack_transport_state_t /*state*/, jack_position_t* /*position*/,
                       void* /*self*/) noexcept {
  return 1; // ready at once: the song is started where the transport will roll from
}

void JackOutput::OnTimebase(jack_transport_state_t /*state*/, jack_nframes_t /*frames*/,
                            jack_position_t* position, int /*newPosition*/, void* self) noexcept {
  static_cast<JackOutput*>(self)->transport_.PublishPosition(*position);
}

int JackOutput::OnXrun(void* self) noexcept {
  static_cast<JackOutput*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

// Periods up to PeriodRenderer::kMaxPeriod (JACK's largest) are rendered from buffers
// allocated beforehand, so a new size needs nothing but noting.
int JackOutput::OnBufferSize(jack_nframes_t frames, void* self) noexcept {
  static_cast<JackOutput*>(self)->periodFrames_.store(frames, std::memory_order_relaxed);
  return 0;
}

int JackOutput::OnSampleRate(jack_nframes_t rate, void* self) noexcept {
  if (rate != static_cast<jack_nframes_t>(kOutputRate)) {
    static_cast<JackOutput*>(self)->MarkLost("the server's sample rate changed");
  }
  return 0;
}

void JackOutput::OnShutdown(jack_status_t /*code*/, const char* reason, void* self) noexcept {
  static_cast<JackOutput*>(self)->MarkLost(reason);
}

void JackOutput::MarkLost(const char* reason) noexcept {
  if (lostClaimed_.test_and_set()) {
    return;
  }
  if (reason != nullptr) {
    const std::size_t n = strnlen(reason, lostReason_.size() - 1);
    std::memcpy(lostReason_.data(), reason, n);
    lostReason_[n] = '\0';
  }
  lost_.store(true, std::memory_order_release);
}

// The renderer holds one period ahead, so the audio leaves one period after the MIDI that
// played it came in.
void JackOutput::OnLatency(jack_latency_callback_mode_t mode, void* self) noexcept {
  auto& out = *static_cast<JackOutput*>(self);
  const jack_nframes_t period = out.periodFrames_.load(std::memory_order_relaxed);
  if (mode == JackCaptureLatency) {
    jack_latency_range_t range{};
    jack_port_get_latency_range(out.midiIn_, JackCaptureLatency, &range);
    out.captureLatency_.store(range.min, std::memory_order_relaxed);
    range.min += period;
    range.max += period;
    for (jack_port_t* port : out.ports_) {
      jack_port_set_latency_range(port, JackCaptureLatency, &range);
    }
    return;
  }
  jack_latency_range_t toSpeakers{};
  jack_port_get_latency_range(out.ports_[0], JackPlaybackLatency, &toSpeakers);
  out.playbackLatency_.store(toSpeakers.min, std::memory_order_relaxed);
  jack_latency_range_t range{std::numeric_limits<jack_nframes_t>::max(), 0};
  for (jack_port_t* port : out.ports_) {
    jack_latency_range_t downstream{};
    jack_port_get_latency_range(port, JackPlaybackLatency, &downstream);
    range.min = std::min(range.min, downstream.min);
    range.max = std::max(range.max, downstream.max);
  }
  range.min += period;
  range.max += period;
  jack_port_set_latency_range(out.midiIn_, JackPlaybackLatency, &range);
}

} // namespace lw
