#pragma once

#include "engine/Engine.h"
#include "live/MidiReader.h"
#include "live/PeriodRenderer.h"
#include "live/SpscRing.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace lw {

// What the interface hears of the MIDI played: each note and control change, in order.
struct LiveReport {
  enum class Kind : uint8_t { Note, Control };
  Kind kind = Kind::Note;
  uint8_t number = 0;  // the note, or the controller
  uint8_t value = 0;   // the velocity, or the controller's value
  int8_t channel = -1; // the LoopWren channel a note played, -1: none answers it
  int8_t sample = -1;  // the sample it played, -1: none
  // Where the note was recorded while the song played and recording was armed: the
  // pattern being played and its step nearest to where the listener was. step -1: not
  // recorded there (the interface's step recording takes it while stopped).
  int8_t bank = -1;
  int8_t pattern = -1;
  int8_t step = -1;
};

// MIDI on its way in: the notes play the channels at their frames, and everything heard
// is reported to the interface, which learns, records and turns knobs with it.
//
// Messages come two ways. The output's own process thread schedules the messages of its
// MIDI port at the output frame they are to sound at (Schedule); any one other thread
// (the ALSA sequencer's reader) hands messages over lock-free to be played as soon as the
// next frames are rendered (Receive). ApplyDue plays them, on whichever thread renders,
// with the engine lock held; only one thread renders at a time, and a second one meeting
// the hand-over busy leaves it for the next call. The interface reads the reports with
// NextReport. No path here allocates, locks or makes a system call.
class LiveInput final : public FrameEvents, public MidiMessageSink {
public:
  LiveInput();

  // The output's process thread: `message` sounds at output frame `due` and is recorded
  // where the listener was at output frame `heard`. Messages are scheduled in the order
  // of their frames; a full schedule drops them.
  void Schedule(const MidiMessage& message, OutputFrame due, OutputFrame heard) noexcept;
  // Any one thread: played with the next frames rendered. System messages (the MIDI clock
  // and its Start, Stop, Continue and song position) are kept apart instead, stamped with
  // the moment they came, for the output that follows the clock.
  void Receive(const MidiMessage& message) noexcept override;
  // A system message that came at `microseconds` of the steady clock, for a source that
  // stamps its own events (a late wake-up of its reader then moves nothing).
  void ReceiveAt(const MidiMessage& message, int64_t microseconds) noexcept;

  // A system message handed over, with when it came: microseconds of the steady clock.
  struct TimedMessage {
    MidiMessage message;
    int64_t microseconds = 0;
  };
  // The next system message handed over, oldest first. The output's process thread.
  bool NextSystemMessage(TimedMessage& timed) noexcept { return system_.Pop(timed); }
  // Now on the clock Receive stamps with.
  [[nodiscard]] static int64_t SteadyMicroseconds() noexcept;

  // Plays what is due at `frame` and reports it. `sound` false (an offline render or a
  // stopped output owns the engine) reports without touching the voices. Render thread,
  // engine lock held.
  OutputFrame ApplyDue(Engine& engine, OutputFrame frame, bool sound) noexcept override
      LW_REQUIRES(engine.engineLock);
  // The voices live notes have started since the song last played: while the song is
  // stopped, only these are heard. Render thread.
  [[nodiscard]] uint32_t liveVoices() const noexcept override { return liveVoices_; }

  // How far before a message's arrival the listener heard what it answers, for messages
  // handed over by Receive: the output's latency. Interface thread, any time.
  void SetReceiveLatency(uint32_t frames) {
    receiveLatency_.store(frames, std::memory_order_relaxed);
  }

  // The note channel `channel` answers (learn changes it). Interface thread writes, any
  // thread reads.
  void SetChannelNote(int channel, int note);
  [[nodiscard]] int channelNote(int channel) const;
  // The channel answering `note`, or -1.
  [[nodiscard]] int ChannelOfNote(int note) const noexcept;

  // Armed: notes played while the song plays are reported with the step they belong to.
  void SetRecording(bool on) { recording_.store(on, std::memory_order_relaxed); }
  [[nodiscard]] bool recording() const { return recording_.load(std::memory_order_relaxed); }

  // The next report, oldest first. Interface thread.
  bool NextReport(LiveReport& report) noexcept { return reports_.Pop(report); }
  // Reports dropped because the interface did not read them in time.
  [[nodiscard]] uint64_t droppedReports() const {
    return droppedReports_.load(std::memory_order_relaxed);
  }

private:
  struct Scheduled {
    MidiMessage message;
    OutputFrame due = 0;
    OutputFrame heard = 0;
  };
  void Play(Engine& engine, const MidiMessage& message, OutputFrame frame, OutputFrame heard,
            bool sound) noexcept LW_REQUIRES(engine.engineLock);
  void Report(const LiveReport& report) noexcept;

  // The process thread's own: scheduled messages not yet due, oldest first.
  std::array<Scheduled, 1024> scheduled_{};
  std::size_t scheduledFirst_ = 0;
  std::size_t scheduledCount_ = 0;
  uint32_t liveVoices_ = 0;

  SpscRing<MidiMessage, 512> received_;
  // A second of clock ticks at 300 BPM.
  SpscRing<TimedMessage, 128> system_;
  std::atomic_flag draining_ = ATOMIC_FLAG_INIT; // a thread is taking messages from received_
  std::atomic<uint32_t> receiveLatency_{0};
  std::array<std::atomic<int>, kChannels> channelNotes_{};
  std::atomic<bool> recording_{false};
  SpscRing<LiveReport, 1024> reports_;
  std::atomic<uint64_t> droppedReports_{0};
};

} // namespace lw
