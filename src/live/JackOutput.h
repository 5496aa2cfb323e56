#pragma once

#include "audio_out/HeardPosition.h"
#include "engine/Engine.h"
#include "live/JackTransport.h"
#include "live/LinkSession.h"
#include "live/LiveInput.h"
#include "live/MidiClockLeader.h"
#include "live/MidiClockTicks.h"
#include "live/MidiReader.h"
#include "live/PeriodRenderer.h"

#include <jack/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace lw {

// LoopWren as a JACK client: the engine renders in the server's period, inside the
// process callback, through a PeriodRenderer (which says how a busy engine lock is met).
// The client is "LoopWren" with the audio outputs "mix", "ch1", "ch2" and "ch3" (each
// channel's own part of the mix, at the mix's loudness, for a mixer) and the MIDI input
// "midi_in". It joins a server that already runs and never starts one.
//
// A server that stops, or drops the client, is noticed on JACK's own thread and only
// flagged: the interface sees lost() and closes the client on its thread. Xruns are
// counted. Open and Close belong to the interface thread.
class JackOutput {
public:
  static constexpr const char* kClientName = "LoopWren";
  static constexpr std::array<const char*, PeriodRenderer::kPorts> kPortNames = {"mix", "ch1",
                                                                                 "ch2", "ch3"};
  static constexpr const char* kMidiPortName = "midi_in";
  // MIDI clock, Start, Stop and the song position, sent while LoopWren leads.
  static constexpr const char* kClockPortName = "clock_out";

  explicit JackOutput(Engine& engine);
  ~JackOutput();
  JackOutput(const JackOutput&) = delete;
  JackOutput& operator=(const JackOutput&) = delete;

  // Joins the server named `server` (empty: the default one, or $JACK_DEFAULT_SERVER),
  // registers the ports, starts processing and connects the mix to the first two
  // physical playback ports. Returns an empty string on success, else why it cannot
  // (no server, a rate other than 44100 Hz, ...), with the client closed again.
  std::string Open(const std::string& server = {});
  // Leaves the server (or what is left of a client the server dropped). Afterwards no
  // callback runs.
  void Close();
  [[nodiscard]] bool isOpen() const { return client_ != nullptr; }

  // Where the notes of "midi_in" go, or nowhere. Set while the client is closed.
  void SetInput(LiveInput* input) {
    input_ = input;
    renderer_.SetEvents(input);
  }
  // How long after the listener heard a frame a note answering it arrives: the latency
  // the server reports from the mix port to the speakers and from the MIDI source to
  // "midi_in". Recording takes it off. Any thread.
  [[nodiscard]] uint32_t heardLatency() const {
    return playbackLatency_.load(std::memory_order_relaxed) +
           captureLatency_.load(std::memory_order_relaxed);
  }

  // Where the listener is in the engine's samples while a session plays: the sample the
  // last period began with, heard the server's playback latency after it left. Any thread.
  [[nodiscard]] std::optional<OutputCursor> songCursor() const;
  // How the client meets JACK's transport. Interface thread, open or not.
  void SetTransportRole(TransportRole role);
  [[nodiscard]] JackTransport& transport() { return transport_; }
  // The play button while the transport leads: starts the transport, or stops it while
  // it rolls. Interface thread.
  void StartOrStopTransport();
  // The Link session, which leads while it is on, or none. Set while the client is
  // closed.
  void SetLink(LinkSession* link) { leaders_.link = link; }
  // The MIDI clock coming in at "midi_in", which leads while enabled.
  [[nodiscard]] MidiClockLeader& clock() { return clockIn_; }

  [[nodiscard]] PeriodRenderer& renderer() { return renderer_; }
  [[nodiscard]] const PeriodRenderer& renderer() const { return renderer_; }

  // The server stopped or dropped the client since Open: nothing plays until Close.
  [[nodiscard]] bool lost() const { return lost_.load(std::memory_order_acquire); }
  // The server's words for it (may be empty). Valid once lost() is true.
  [[nodiscard]] std::string lostReason() const;
  // Xruns the server reported to this object's clients, since it was made.
  [[nodiscard]] uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
  // The server's period, in frames, and the name the server gave the client (JACK adds a
  // number when "LoopWren" is taken).
  [[nodiscard]] uint32_t periodFrames() const {
    return periodFrames_.load(std::memory_order_relaxed);
  }
  [[nodiscard]] const std::string& clientName() const { return clientName_; }
  // The open client, for tests that look at it from outside.
  [[nodiscard]] jack_client_t* client() const { return client_; }

private:
  static int OnProcess(jack_nframes_t frames, void* self) noexcept;
  static int OnXrun(void* self) noexcept;
  static int OnSync(jack_transport_state_t state, jack_position_t* position, void* self) noexcept;
  static void OnTimebase(jack_transport_state_t state, jack_nframes_t frames,
                         jack_position_t* position, int newPosition, void* self) noexcept;
  static int OnBufferSize(jack_nframes_t frames, void* self) noexcept;
  static int OnSampleRate(jack_nframes_t rate, void* self) noexcept;
  static void OnShutdown(jack_status_t code, const char* reason, void* self) noexcept;
  static void OnLatency(jack_latency_callback_mode_t mode, void* self) noexcept;
  // Flags the client as lost, keeping the first reason given. Any JACK thread.
  void MarkLost(const char* reason) noexcept;
  void ConnectToSpeakers();

  // Schedules the period's MIDI events on the input. Process thread.
  void ReadMidi(jack_nframes_t frames) noexcept;
  // Hands the clock messages the input was handed (from the ALSA sequencer) to the clock
  // leader, at the frames of the moments they came. Process thread.
  void ReadHandedOver(jack_nframes_t frames) noexcept;
  // Writes the period's MIDI clock. Process thread, after the renderer's Process.
  void SendClock(jack_nframes_t frames) noexcept;

  // Whichever leads: the transport while it follows one, else the MIDI clock.
  struct Leaders final : BeatLeader {
    JackTransport* transport = nullptr;
    MidiClockLeader* clock = nullptr;
    LinkSession* link = nullptr;
    bool BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept override {
      return transport->BeatAt(frame, beat, bpm) || clock->BeatAt(frame, beat, bpm) ||
             (link != nullptr && link->BeatAt(frame, beat, bpm));
    }
  };

  PeriodRenderer renderer_;
  JackTransport transport_;
  MidiClockLeader clockIn_;
  Leaders leaders_;
  LiveInput* input_ = nullptr;
  MidiReader midiReader_; // the process thread's
  std::atomic<uint32_t> playbackLatency_{0};
  std::atomic<uint32_t> captureLatency_{0};
  jack_client_t* client_ = nullptr;
  std::array<jack_port_t*, PeriodRenderer::kPorts> ports_{};
  jack_port_t* midiIn_ = nullptr;
  jack_port_t* clockOut_ = nullptr;
  // The process thread's: the clock sent for the session that began at clockStart_.
  MidiClockTicks clockTicks_;
  OutputFrame clockStart_ = PeriodRenderer::kNoFrame;
  std::string clientName_;

  // The process thread's own: the server's frame time, widened to 64 bits.
  bool clockStarted_ = false;
  jack_nframes_t lastFrameTime_ = 0;
  OutputFrame frameClock_ = 0;

  std::atomic<uint32_t> periodFrames_{0};
  std::atomic<uint64_t> xruns_{0};
  std::atomic<bool> lost_{false};
  std::atomic_flag lostClaimed_ = ATOMIC_FLAG_INIT;
  std::array<char, 256> lostReason_{};
};

// Where a moment `at` (JACK's microseconds) falls in frames from the start of the current
// period, which began at `periodStart` and ends at `periodEnd` (microseconds, as
// jack_get_cycle_times gives them) and holds `frames` frames: negative before it.
[[nodiscard]] int64_t FramesIntoPeriod(int64_t at, int64_t periodStart, int64_t periodEnd,
                                       jack_nframes_t frames) noexcept;

} // namespace lw
