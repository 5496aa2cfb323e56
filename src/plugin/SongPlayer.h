#pragma once

#include "engine/Engine.h"

#include <array>
#include <cstdint>
#include <memory>

namespace lw {

// Where a plugin host's timeline is at the next frame rendered: rolling or standing, its
// tempo, and its beat in quarter notes from the timeline's start.
struct HostTime {
  bool rolling = false;
  double bpm = 120.0;
  double beat = 0.0;
};

// The mix knobs a host may automate. Each one's lowest value, its default, leaves the
// song's own setting; any other value sets it, for every pattern where the song keeps
// it per pattern (a channel's volume and delay send), as a mixer strip's fader would.
enum class PluginKnob {
  Volume1,
  Volume2,
  Volume3,
  Send1,
  Send2,
  Send3,
  Overdrive,
  DelayDecay,
  DelaySteps,
  Shuffle,
  Vinyl,
};
inline constexpr int kPluginKnobs = 11;
// The value of a knob that leaves the song's setting.
inline constexpr float kSongsOwn = -1.0F;

// A song played in time with a plugin host: the real-time half of the plugin, with
// nothing of the plugin standard in it.
//
// While the host rolls at the song's own tempo, the song plays exactly as the renderer
// renders it: each slot's pattern started afresh, patternSamples long, so the output is
// sample for sample the render's. At any other tempo the host's beat grid places every
// step (the engine's external position), and the song moves on through its sequence as
// live playback does. A start or a locate begins in the slot and step the host's beat
// lies in (a pattern is four beats); a stop silences with the engine's declick. MIDI
// notes play the channels at the frame they are given, rolling or not.
//
// The player owns its engine: only the thread that renders touches it, so the engine
// lock is always free and is taken with a try-lock. No allocation, no blocking lock, no
// system call.
class SongPlayer {
public:
  // The mix, then channel 1, 2 and 3.
  static constexpr int kOutputs = 1 + kChannels;
  using Outputs = std::array<float*, kOutputs>;
  // The longest stretch rendered at once.
  static constexpr uint32_t kMaxStretch = 1024;

  SongPlayer();

  // The song to play from the next frame on (loaded and timed), or none: silence. The
  // song it played comes back, for the caller to free away from the audio thread.
  std::unique_ptr<Engine> Swap(std::unique_ptr<Engine> engine) noexcept;
  [[nodiscard]] bool hasSong() const noexcept { return engine_ != nullptr; }

  // The host's time at the next frame rendered. A change of rolling, a jump of the beat
  // by more than a frame from where it was heading, or a tempo change that leaves or
  // reaches the song's own tempo restarts or stops the song there.
  void SetTime(const HostTime& time) noexcept;
  // A MIDI note on (velocity > 0), played at the next frame rendered.
  void NoteOn(int note, int velocity) noexcept;
  // A knob's value from its port, applied when it changes. kSongsOwn leaves the song's.
  void SetKnob(PluginKnob knob, float value) noexcept;

  // Renders `frames` frames into every non-null output.
  void Render(const Outputs& outputs, uint32_t frames) noexcept;

  // Whether the song plays, and whether the host's grid places its steps. For the tests.
  [[nodiscard]] bool playing() const noexcept { return mode_ != Mode::Stopped; }
  [[nodiscard]] bool followsGrid() const noexcept { return mode_ == Mode::Led; }

private:
  enum class Mode { Stopped, Own, Led };

  // Each takes the engine the player owns, its lock held.
  void Start(Engine& e, double beat) noexcept LW_REQUIRES(e.engineLock);
  void Stop(Engine& e) noexcept LW_REQUIRES(e.engineLock);
  // Starts slot `slot`'s pattern as a render starts it: `fresh` at a start or locate, else
  // right after the slot before.
  void StartSlot(Engine& e, int64_t slot, bool fresh) noexcept LW_REQUIRES(e.engineLock);
  void RenderStretch(Engine& e, const Outputs& outputs, uint32_t offset, uint32_t count) noexcept
      LW_REQUIRES(e.engineLock);
  void ApplyKnob(Engine& e, int knob, int32_t value) noexcept LW_REQUIRES(e.engineLock);
  // Notes the song's own settings of the knobs, which their lowest value puts back.
  void KeepSongsOwn(const Engine& e) noexcept LW_REQUIRES(e.engineLock);
  [[nodiscard]] static bool OwnTempo(const Engine& e, double bpm) noexcept
      LW_REQUIRES(e.engineLock);

  std::unique_ptr<Engine> engine_;
  HostTime time_;
  Mode mode_ = Mode::Stopped;
  // Own mode: the slot counted from the song's start, and the frames of its pattern
  // played; the bank and pattern a render would hold before slot 0.
  int64_t slot_ = 0;
  int32_t into_ = 0;
  int32_t firstBank_ = 0;
  int32_t firstPattern_ = 0;
  uint32_t liveVoices_ = 0; // voices notes started while stopped
  std::array<float, kPluginKnobs> knobs_{};
  std::array<int32_t, kPluginKnobs> applied_{}; // -1: the song's own
  static constexpr int kOwnChannels = kBanks * kPatterns * kChannels;
  using OwnChannels = std::array<int32_t, kOwnChannels>;
  struct OwnSettings {
    OwnChannels volumes{};
    OwnChannels sends{};
    int32_t overdrive = 0;
    int32_t decay = 0;
    int32_t delaySteps = 0;
    int32_t shuffle = 0;
    int32_t vinyl = 0;
  };
  OwnSettings own_;

  std::unique_ptr<int16_t[]> mix_;
  std::array<std::unique_ptr<int32_t[]>, Engine::kStems> stems_;
};

// MIDI notes 36, 38 and 42 (kick, snare, closed hat on a General MIDI kit) play
// channels 1, 2 and 3; -1 for any other.
[[nodiscard]] int PluginChannelOfNote(int note) noexcept;

} // namespace lw
