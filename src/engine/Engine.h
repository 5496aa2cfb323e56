#pragma once

#include "engine/Delay.h"
#include "engine/EngineLock.h"
#include "engine/Overdrive.h"
#include "engine/PlayTrace.h"
#include "engine/Scale.h"
#include "engine/StepClock.h"
#include "samples/SampleTable.h"
#include "song/SongState.h"
#include "song/Uninitialized.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lw {

// A MIDI note as a step stores it: MIDI note 60 (middle C) plays a sample at its own
// pitch, and notes beyond the eight octaves the keyboard has take the nearest one.
[[nodiscard]] int32_t StepNoteOfMidiNote(int midiNote) noexcept;

inline constexpr int kOutputRate = 44100;

// One of the three voices; voice v plays channel v of the pattern being played.
// A new voice is silent: it names no sample, has no loop points and no speed.
struct Voice {
  int32_t stepSample = -1;     // sample byte of the current step, read as signed
  uint8_t stepTrigger = 0;     // trigger byte of the current step
  int32_t nextStepSample = -1; // the same one step ahead
  uint8_t nextStepTrigger = 0;
  int32_t sampleIndex = -1; // slot being played; -1 = none
  double position = 0.0;    // read position in sample frames
  double speed = 0.0;       // frames per output sample; <= 0 = silent
  double loopStart = -1.0;  // where to jump back to after loopEnd; -1 = none
  double loopEnd = -1.0;
  double stopPoint = -1.0; // past this the voice reads silence; -1 = none
  int32_t fade = 0;        // declick divisor; 0 = no fade
  int32_t fadeStart = 0;   // the fade runs while fadeStart > samplesLeft; -1 = never
  int32_t volume = 0;      // 0..127
};

// The record-surface noise bed, looped one value per output sample.
struct VinylNoise {
  UninitializedVector<int16_t> noise;
  uint32_t count = 0;    // 0 = no noise
  uint32_t position = 0; // index of the value played last; never reset by play or render

  // The noise scaled by the vinyl amount, worked out as playback reaches it: valid for
  // `scaledCount` values from `scaledFrom` on (wrapping at count), for `scaledAmount`
  // (-1 = none yet). LoadVinylNoise sizes it with `noise`, so the mixer never allocates;
  // noise without it is not played.
  UninitializedVector<int16_t> scaled;
  int32_t scaledAmount = -1;
  uint32_t scaledFrom = 0;
  uint32_t scaledCount = 0;
};

// All song and engine state of the program in one object: the song and its positions,
// the sample table, the voices, the clock, the delay and the vinyl noise. The program
// has one; tests build their own.
//
// `engineLock` guards everything but the atomics, and Clang checks it. The thread that
// renders live audio holds it for each block it renders; the interface thread holds it
// for each edit. It is never held during file I/O, a dialog, or a call into the audio
// device. The interface thread is the only writer of the song, the sequence, the sample
// table and the edit positions, so it may also read those without the lock through
// Interface(); the render thread's fields (the play positions, voices, clock, delay and
// vinyl position) are read under the lock only.
struct Engine {
  Engine();

  EngineMutex engineLock;
  SongState state LW_GUARDED_BY(engineLock);
  SampleTable samples LW_GUARDED_BY(engineLock);
  std::array<Voice, kChannels> voices LW_GUARDED_BY(engineLock);
  StepClock clock LW_GUARDED_BY(engineLock);
  std::atomic<bool> playing{false};  // live playback or a render is running
  std::atomic<bool> songMode{false}; // patterns follow the song sequence
  Delay delay LW_GUARDED_BY(engineLock);
  VinylNoise vinyl LW_GUARDED_BY(engineLock);

  // The channels taken out of what is heard, bit c for channel c: the window's mute and
  // solo, never part of the song. A silenced channel's voice keeps running, so it comes
  // back on the very sample it is let in again; going silent while it sounds, it fades
  // out as a note cut by the next one does. Any thread; the renderer takes it at each
  // block, and a start (of play or a render) silences at once, without a fade.
  std::atomic<uint32_t> silenced{0};

  // How often the song position has moved on (the position itself is
  // state.songPosition). The render thread counts; the interface compares it with what it
  // last showed, on its own thread, so the engine never calls out while it holds its lock.
  std::atomic<uint32_t> songPositionMoves{0};

  // Samples rendered since the engine was made (by live play, a render, live notes), and
  // where in them each step began: an output that knows which of these samples its
  // listener hears can show the step being heard. Any thread reads.
  std::atomic<uint64_t> renderedSamples{0};
  PlayTrace trace;

  // Resets the song, the sequence and the positions to a new song's defaults and
  // follows the new timing. The sample table, songFileName, songChanged and the edited
  // pattern are the caller's. Interface thread, engine lock held.
  void NewSong() LW_REQUIRES(engineLock);

  // Turns tempo, shuffle and the delay settings into step lengths, the pattern length,
  // voice speeds and delay parameters. Settings outside their control ranges (only a
  // foreign song file holds them) are taken at the nearest value the controls can set.
  // Interface thread with the engine lock held, or either thread while stopped.
  void UpdateTiming() LW_REQUIRES(engineLock);

  // Recomputes the speeds of the voices whose current step names a used drum or loop
  // sample. Called by UpdateTiming.
  void UpdateVoiceRates() noexcept LW_REQUIRES(engineLock);

  // With `playing` false: restarts the clock at step 0 of (playBank, playPattern). With
  // `playing` true: moves to the next step boundary. Render thread, or the thread that
  // starts playback or a render, engine lock held. Never allocates or blocks.
  void ProcessStep() noexcept LW_REQUIRES(engineLock);

  // Produces the next output sample: advances the clock, mixes the voices with their
  // fades, overdrive and volume, runs the delay, adds the vinyl noise, halves and clips.
  // Render thread, engine lock held.
  int16_t RenderSample() noexcept LW_REQUIRES(engineLock);

  // The same for `count` samples in a row, as the renderers and live playback use it.
  // Render thread, engine lock held throughout.
  void RenderBlock(int16_t* out, std::size_t count) noexcept LW_REQUIRES(engineLock);

  // What reaches the mix before it is halved and clipped: each channel's voice (volume,
  // overdrive and fade applied), the delay's return and the vinyl noise, in that order.
  // Their sum halved toward zero and clipped is the mix sample.
  static constexpr int kStems = kChannels + 2;
  using StemOutputs = std::array<int32_t*, kStems>;

  // RenderBlock that also writes `count` values of every stem, from the same pass: the
  // mix it produces is the one RenderBlock would. Render thread, engine lock held.
  void RenderBlockWithStems(int16_t* out, const StemOutputs& stems, std::size_t count) noexcept
      LW_REQUIRES(engineLock);

  // Live play: notes from a pad or keyboard, played on a channel's voice.
  //
  // The sample a note on `channel` plays: that of the channel's nearest triggered step at
  // or before the step being played (while stopped: the active step), searching back
  // through the pattern being played (while stopped: the one edited), else the sample
  // last chosen from the sample menu; -1 when none names a sample the table holds.
  // Render thread, engine lock held.
  [[nodiscard]] int32_t LiveSample(int channel) const noexcept LW_REQUIRES(engineLock);
  // Starts `sample` on the voice of `channel` at the next sample rendered, as a step with
  // that sample, `note` (as a step stores it; 36 = the sample's own pitch) and the step
  // volume `volume` (0..127) would start it. A drum plays at its own speed. The
  // declick of a note coming on the next step stays. Render thread, engine lock held.
  void PlayLiveNote(int channel, int32_t sample, int32_t note, int32_t volume) noexcept
      LW_REQUIRES(engineLock);
  // Renders `count` samples of the voices in `voiceMask` (bit v = voice v) alone, with
  // the clock standing still: what live notes sound like while the song is stopped. The
  // delay runs; the vinyl noise does not, and keeps its place. Render thread, engine lock
  // held, `playing` false.
  void RenderLiveVoices(int16_t* out, const StemOutputs& stems, std::size_t count,
                        uint32_t voiceMask) noexcept LW_REQUIRES(engineLock);
  // The step of the pattern being played whose start lies nearest to where the clock was
  // `framesBack` samples before the next sample rendered (wrapping around the pattern):
  // where a note played then belongs. Render thread, engine lock held, `playing` true.
  [[nodiscard]] int32_t NearestStep(int64_t framesBack) const noexcept LW_REQUIRES(engineLock);

  // External time: a leader (a transport, a MIDI clock, a plugin host) places the steps
  // on its beat grid instead of the song's own tempo. Step k of a pattern lies at beat
  // k / 4, each odd step moved later by the song's shuffle exactly as the engine's own
  // clock moves it, and begins on the first sample whose beat is at or past its own.
  //
  // The step `beat` lies in (0..15), and the beat at which the step after it begins.
  [[nodiscard]] int32_t StepAtBeat(double beat, double& nextStepBeat) const noexcept
      LW_REQUIRES(engineLock);
  // Sets the clock's countdown so that the next step begins where the leader's grid puts
  // it, `beat` being the leader's position at the next sample rendered and `bpm` its
  // tempo; returns how many samples come before that step's first (0: the next sample
  // begins it, its beat lying in a step the clock has not reached). Render thread,
  // engine lock held, `playing` true.
  int64_t FollowBeat(double beat, double bpm) noexcept LW_REQUIRES(engineLock);
  // Starts the clock in the step `beat` lies in, as a start does at step 0: what a leader
  // starting or moving mid-pattern hears (FollowBeat then times the step). Render thread
  // or interface thread, engine lock held, `playing` false.
  void StartAtBeat(double beat) noexcept LW_REQUIRES(engineLock);
  // Starts the clock `into` samples into the pattern to be played on the song's own step
  // lengths: in the step holding that sample, as a start does at step 0, with the samples
  // of the step already past taken off its countdown. Engine lock held, `playing` false.
  void StartAtSample(int32_t into) noexcept LW_REQUIRES(engineLock);

  // The speed at which a slot plays for a step, by the slot's category.
  [[nodiscard]] double SampleSpeed(const SampleSlot& slot, const Step& step) const noexcept
      LW_REQUIRES(engineLock);

  // The song, the sequence, the sample table and the edit positions, read on the
  // interface thread, which is the only thread that writes them. Never used for the
  // render thread's fields.
  [[nodiscard]] const SongDocument& Interface() const LW_NO_THREAD_SAFETY_ANALYSIS { return state; }
  // The song position and the loop fields, atomics that any thread may read and write.
  [[nodiscard]] SongPlayPosition& PlayPosition() LW_NO_THREAD_SAFETY_ANALYSIS { return state; }
  [[nodiscard]] const SampleTable& InterfaceSamples() const LW_NO_THREAD_SAFETY_ANALYSIS {
    return samples;
  }

private:
  struct MixSettings {
    const int16_t* curve = nullptr; // the overdrive curve of distortAmount
    int32_t distortAmount = 0;
    int32_t vinylAmount = 0;
    std::array<bool, kChannels> distort{};
    std::array<int32_t, kChannels> send{};
    // The tables of exact halves of each channel's send and of the vinyl amount.
    std::array<const PercentHalves::Bits*, kChannels> sendHalves{};
    const PercentHalves::Bits* vinylHalves = nullptr;
    // The sample each voice plays: its values, how many may be read, and its length
    // (nullptr and 0 when the voice names no slot).
    std::array<const int16_t*, kChannels> data{};
    std::array<uint64_t, kChannels> readable{};
    std::array<double, kChannels> readableBound{}; // `readable` as a double
    std::array<int32_t, kChannels> length{};
  };
  // What one voice adds to the mix and to the delay send for each sample value s at one
  // curve, fade, volume and send, indexed by s / 16 + 2048 (overdrive looks up the
  // magnitude in steps of 16): the whole chain from the sample value on, so a voice with
  // overdrive on reads one entry per sample. Each entry packs both sums (see RunSum).
  struct ShapeTable {
    static constexpr int32_t kEntries = 2 * (kOverdriveEntries - 1) + 1;
    int32_t curve = -1; // -1 = never built
    int32_t fade = 0;
    int32_t volume = 0;
    int32_t send = 0;
    std::array<int64_t, kEntries> entries;
  };
  static constexpr uint32_t kAllVoices = (1U << kChannels) - 1;
  // The longest run the mixer renders in one go, and so the size of its sums.
  static constexpr int32_t kRunLength = 1024;

  [[nodiscard]] MixSettings CurrentMixSettings() noexcept LW_REQUIRES(engineLock);
  // RenderBlock, with the stems written where `stems` is not null.
  void RenderRuns(int16_t* out, const StemOutputs* stems, std::size_t count) noexcept
      LW_REQUIRES(engineLock);
  // Mixes `n` samples of the current step whose first sees the clock at `samplesLeft`;
  // with `stems`, writes theirs from the start of each.
  void MixRun(int16_t* out, int32_t n, int32_t samplesLeft, const MixSettings& settings,
              const StemOutputs* stems, uint32_t voiceMask = kAllVoices,
              bool withVinyl = true) noexcept LW_REQUIRES(engineLock);
  // Runs the delay over the voices' sums, adds the noise, halves and clips; `tap` sees
  // each sample's echo and noise.
  template <class Tap>
  void FinishRun(int16_t* out, int32_t n, const MixSettings& settings, const Tap& tap,
                 bool withVinyl = true) noexcept LW_REQUIRES(engineLock);
  // Takes a change of `silenced`: a voice let in is heard at once, one taken out fades.
  void FollowSilenced() noexcept LW_REQUIRES(engineLock);
  // What a silenced voice's run adds: its fade out, then nothing.
  void FadeOut(int v, int64_t* own, int32_t n) noexcept LW_REQUIRES(engineLock);
  // Adds what voice `v` plays over the run to `sums`.
  void MixVoice(int v, int32_t n, int32_t samplesLeft, const MixSettings& settings,
                int64_t* sums) noexcept LW_REQUIRES(engineLock);
  const ShapeTable* ShapeTableFor(const MixSettings& settings, int v, int32_t fade,
                                  int32_t runLength) noexcept LW_REQUIRES(engineLock);
  void ScaleVinyl(int32_t n, int32_t amount, const PercentHalves::Bits& halves) noexcept
      LW_REQUIRES(engineLock);

  // Starts the clock at `step` of the pattern to be played: its voices take that step
  // (sounding on in song mode), and the step after it is the next one.
  void StartClockAtStep(int32_t step) noexcept LW_REQUIRES(engineLock);
  void StepBoundary() noexcept LW_REQUIRES(engineLock);
  void TriggerVoice(Voice& voice, const Step& step) noexcept LW_REQUIRES(engineLock);
  void ApplyStepControllers(Voice& voice, const Step& step) const noexcept LW_REQUIRES(engineLock);
  [[nodiscard]] const SampleSlot* UsedSlot(int32_t index) const noexcept LW_REQUIRES(engineLock);

  PercentHalves percentHalves_ LW_GUARDED_BY(engineLock);
  std::array<ShapeTable, 8> shapeTables_ LW_GUARDED_BY(engineLock); // filled as voices meet them
  uint32_t nextShapeTable_ LW_GUARDED_BY(engineLock) = 0;
  // The voices' sums over a run: mix * 2^32 + send for each sample.
  std::array<int64_t, kRunLength> runSums_ LW_GUARDED_BY(engineLock);
  // Each voice's own sums, kept apart while stems are rendered or the voice is silenced.
  std::array<std::array<int64_t, kRunLength>, kChannels> voiceSums_ LW_GUARDED_BY(engineLock);
  // How each voice leaves the mix: kHeard, the divisor of its fade out (doubling each
  // sample, as a declick's), or kSilent.
  static constexpr int32_t kHeard = 0;
  static constexpr int32_t kSilent = -1;
  std::array<int32_t, kChannels> muteFade_ LW_GUARDED_BY(engineLock){};
  // renderedSamples, counted by the render thread: the number of the sample rendered next.
  uint64_t sampleCount_ LW_GUARDED_BY(engineLock) = 0;
  // Marks the step the clock has just begun in the trace.
  void TraceStep(bool start) noexcept LW_REQUIRES(engineLock);
  const OverdriveTable& overdrive_; // built once, read-only
};

} // namespace lw
