#pragma once

#include "engine/Engine.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace lw {

// Frames are counted on the output's own clock: frame F is the F-th frame the server has
// played. The frame a rendered sample leaves the output at is its "output frame".
using OutputFrame = uint64_t;

// What reaches the engine at a given output frame: the seam through which notes and
// controllers that arrive during a period are played at their frame inside it. The
// renderer cuts its render at every frame this names and lets it act on the engine
// there, so an event lands on its own sample, never on a period boundary.
class FrameEvents {
public:
  static constexpr OutputFrame kNone = UINT64_MAX;

  virtual ~FrameEvents() = default;
  // Acts on the engine for every event due at or before `frame` (one that is late acts
  // now), and returns the output frame of the next event still waiting, or kNone. With
  // `sound` false another renderer owns the engine (an offline render): the events are
  // taken without touching it. Called on the process thread with the engine lock held,
  // before each stretch is rendered: it must not allocate, lock, log or make a system call.
  virtual OutputFrame ApplyDue(Engine& engine, OutputFrame frame, bool sound) noexcept
      LW_REQUIRES(engine.engineLock) = 0;
  // The voices the events have started while the song is stopped: the renderer plays
  // them alone then. Process thread.
  [[nodiscard]] virtual uint32_t liveVoices() const noexcept = 0;
};

// A leader of the song's time (a transport, a MIDI clock): where its beat grid is.
class BeatLeader {
public:
  virtual ~BeatLeader() = default;
  // The leader's beat (in quarter notes) at output frame `frame` and its tempo, or false
  // while it does not lead. Process thread, engine lock held: no allocation, lock or
  // system call.
  virtual bool BeatAt(OutputFrame frame, double& beat, double& bpm) noexcept = 0;
};

// The real-time half of an output that renders in its server's period (the JACK client;
// nothing here knows JACK): it renders the engine into float port buffers, the mix and
// each channel's stem, and never waits for the engine lock.
//
// The engine lock is busy while the interface applies an edit. The process callback
// never waits for it: it takes it with a try-lock, and keeps one period rendered ahead so
// that a busy lock costs nothing audible. Each period it
//   1. tries the lock; when it gets it, renders until the frames it holds cover this
//      period and the next one (rendering two periods at once when the last one found the
//      lock busy), and lets the lock go;
//   2. plays this period's frames out of what it holds, and keeps the rest.
// While the song is stopped the same goes on for the voices that events have started
// (pads played live), with the clock standing still, so a pad sounds one period after it
// is hit whether the song plays or not.
//
// So the output always lags the engine by one period (the latency the client reports),
// an edit that holds the lock across one period is heard one period later, with the state
// before the edit sounding meanwhile, and only a lock held across two periods or more
// leaves a gap: those periods play silence (counted in lateFrames) and the song resumes
// where it stopped, one gap later. The frames held ahead live in buffers allocated once,
// for the largest period JACK has; no allocation, no lock but the try-lock, no system call
// and no log on this path.
//
// Starts and stops come from the interface thread with the engine lock held. Each start
// opens a new session; what was rendered for an older one is dropped unheard.
class PeriodRenderer {
public:
  // The largest period JACK runs with; a larger one plays silence (oversizePeriods).
  static constexpr uint32_t kMaxPeriod = 8192;
  // The mix, then channel 1, 2 and 3.
  static constexpr int kPorts = 1 + kChannels;
  using PortBuffers = std::array<float*, kPorts>;

  explicit PeriodRenderer(Engine& engine);
  PeriodRenderer(const PeriodRenderer&) = delete;
  PeriodRenderer& operator=(const PeriodRenderer&) = delete;

  // The play button for this output: StartOrStopEngine, a new session on a start, none on
  // a stop. Returns whether the engine plays now. Interface thread.
  bool PlayBtnClick() LW_EXCLUDES(engine_.engineLock);
  // This output takes over an engine that may already be playing (from another output):
  // a playing engine goes on from its positions here. Interface thread.
  void TakeOver() LW_EXCLUDES(engine_.engineLock);
  // Stops the engine and the session: the program ends. Interface thread.
  void Stop() LW_EXCLUDES(engine_.engineLock);
  // Another output takes the engine: this one plays silence from its next period on and
  // leaves `playing` as it is. Interface thread.
  void Release() LW_EXCLUDES(engine_.engineLock);
  // Whether this output plays a session. Any thread.
  [[nodiscard]] bool Playing() const { return session_.load(std::memory_order_relaxed) != 0; }

  // Incoming events, or none. Set while no period runs.
  void SetEvents(FrameEvents* events) { events_ = events; }
  // The leader whose beat grid places the steps while it leads, or none (the song's own
  // tempo does). Set while no period runs.
  void SetLeader(BeatLeader* leader) { leader_ = leader; }
  // The leader starts the song: the session's first frame is output frame `at`, where
  // its beat is `beat` (quarter notes from the song's start, 4 to a pattern), and the
  // song starts in the step that beat lies in; in song mode, in the slot so many patterns
  // after slot 0 as the song plays on. Process thread; does nothing when the engine lock
  // is busy (the caller tries again next period) and returns whether it started.
  bool StartLed(OutputFrame at, double beat) noexcept;
  // The leader stops the song. Process thread; false when the lock was busy.
  bool StopLed() noexcept;

  // Fills `frames` frames of every port buffer for the period that starts at output frame
  // `periodStart`. A null buffer is not written. Process thread.
  void Process(const PortBuffers& ports, uint32_t frames, OutputFrame periodStart) noexcept;

  // The song's step length (without shuffle) as the engine had it at the last period
  // that found the lock free. Process thread.
  [[nodiscard]] int32_t stepLength() const { return stepLength_; }
  [[nodiscard]] Engine& engine() { return engine_; }

  // Counters for the interface and the tests, any thread.
  struct Counters {
    uint64_t periods = 0;         // Process calls
    uint64_t lockBusy = 0;        // periods that found the engine lock taken
    uint64_t lateFrames = 0;      // frames of a session played as silence: nothing was ready
    uint64_t oversizePeriods = 0; // periods longer than kMaxPeriod, played as silence
  };
  [[nodiscard]] Counters counters() const;
  // The output frame at which the current session's first rendered frame left, once it
  // has; until then (and while stopped) kNoFrame.
  static constexpr OutputFrame kNoFrame = UINT64_MAX;
  [[nodiscard]] OutputFrame sessionStart() const {
    return sessionStart_.load(std::memory_order_acquire);
  }

  // The engine's sample (Engine::renderedSamples) that the last period began to play,
  // while a session plays one; else kNoFrame. Any thread.
  [[nodiscard]] uint64_t playedSample() const {
    return playedSample_.load(std::memory_order_relaxed);
  }

private:
  static constexpr uint32_t kHeld = 2 * kMaxPeriod;
  std::atomic<uint64_t> playedSample_{kNoFrame};

  // Renders until `target` frames are held, cut at the frames events act on: the song,
  // or with `stopped` the live voices alone.
  void RenderAhead(uint32_t target, OutputFrame periodStart, bool stopped) noexcept
      LW_REQUIRES(engine_.engineLock);
  // Renders `count` frames onto the end of what is held.
  void RenderStretch(uint32_t count, bool stopped) noexcept LW_REQUIRES(engine_.engineLock);
  // Plays `frames` held frames into the ports (silence for those missing) and keeps the
  // rest at the front.
  void PlayHeld(const PortBuffers& ports, uint32_t frames) noexcept;
  // Forgets the held frames: they belong to a session that is over.
  void DropHeld(uint32_t session) noexcept;
  void PadTo(OutputFrame start, OutputFrame periodStart) noexcept;
  void NewSession() LW_REQUIRES(engine_.engineLock);

  Engine& engine_;
  FrameEvents* events_ = nullptr;
  BeatLeader* leader_ = nullptr;

  // The interface writes these with the engine lock held; the process thread reads them
  // with or without it.
  std::atomic<uint32_t> session_{0}; // 0: this output plays nothing
  uint32_t lastSession_ LW_GUARDED_BY(engine_.engineLock) = 0;
  // The session a leader started and the output frame it begins at (kNoFrame once begun).
  // The process thread's.
  uint32_t ledSession_ = 0;
  int32_t stepLength_ = 0;
  OutputFrame ledStart_ = kNoFrame;

  // The process thread's own: the frames rendered and not yet played, per port, and the
  // session they belong to.
  struct Held {
    std::array<std::unique_ptr<float[]>, kPorts> ports;
    uint32_t count = 0;
    uint32_t session = 0;
    bool started = false; // a frame of this session has been played
  };
  Held held_;
  // One stretch of the engine's render before it becomes floats.
  std::unique_ptr<int16_t[]> mix_;
  std::array<std::unique_ptr<int32_t[]>, Engine::kStems> stems_;

  std::atomic<uint64_t> periods_{0};
  std::atomic<uint64_t> lockBusy_{0};
  std::atomic<uint64_t> lateFrames_{0};
  std::atomic<uint64_t> oversizePeriods_{0};
  std::atomic<OutputFrame> sessionStart_{kNoFrame};
};

} // namespace lw
