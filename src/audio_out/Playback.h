#pragma once

#include "audio_out/PlayControl.h"
#include "audio_out/SamplePreview.h"
#include "audio_out/WaveOut.h"
#include "engine/Engine.h"

#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace lw {

// What the play button does to the engine: in pattern mode the pattern on screen becomes
// the one played; a start restarts the clock, either clears the delay line, and `playing`
// flips. Returns whether the engine plays now. Engine lock held.
bool StartOrStopEngine(Engine& engine) LW_REQUIRES(engine.engineLock);

// Live playback: joins the engine to the wave-output device. Every finished block
// queues the block rendered last time and renders the next one, so two blocks are
// queued while the third is rendered; the first rendered sample is heard 12,289 samples
// after the start. It also plays the sample manager's previews (see Preview).
class LivePlayback : public PlayControl, public SamplePreviewer {
public:
  static constexpr int kBlockSamples = 6144; // about 139 ms
  static constexpr int kBlockBytes = kBlockSamples * 2;
  // Blocks queued on the device while the next one is rendered.
  static constexpr int kQueuedBlocks = 2;

  // Allocates the output buffer and installs BufferDone as the device's callback.
  LivePlayback(Engine& engine, WaveOut& waveOut);
  // Takes BufferDone off the device, waiting for a run of it to finish, so that no
  // block finished later calls into a playback that is gone.
  ~LivePlayback() override;
  LivePlayback(const LivePlayback&) = delete;
  LivePlayback& operator=(const LivePlayback&) = delete;

  // Opens the wave-output device. Interface thread.
  void OpenOutput() override;

  // Starts or stops playback. In pattern mode it starts with the pattern on screen; in
  // song mode it keeps the positions the engine holds. Either way the output begins
  // afresh, which ends a preview. Interface thread.
  void PlayBtnClick() override;

  // Plays `sound` once from its start, ending the preview before it. While the song
  // plays, the sound is added to each block of the song as the block is queued, so it is
  // heard behind the blocks already queued and the song stays what the engine renders.
  // While the song is stopped, the output plays the sound alone (the one before is cut
  // off at once) and falls silent at its end. With the device released to other
  // programs nothing is heard. Interface thread.
  void Preview(PreviewSound sound) override;
  // Ends the preview: at once while stopped, behind the queued blocks while playing.
  void StopPreview() override;
  // Whether this output plays the song (a render to a file sets `playing` too).
  // Interface thread; takes the block gate, so never with the engine lock held.
  [[nodiscard]] bool songPlaying();
  // The device's read point in the engine's samples, when it reads a block of the song.
  [[nodiscard]] std::optional<OutputCursor> songCursor() const override;
  // Whether some of a preview is still to be queued.
  [[nodiscard]] bool previewing();

  // Run once per finished block, on the device's notification thread. It tops the queue
  // up to kQueuedBlocks and does nothing when the queue is that deep already: a stop
  // returns every queued block as finished, and those reports may run after the next
  // start, which cannot tell them from reports of its own blocks. Going by the queue's
  // depth rather than by the reports makes such late reports harmless: every block that
  // finishes leaves a gap and a report behind, so each gap is filled by one report and
  // the queue never grows past its depth (a full queue would drop a block on every
  // write, each drop report another finished block, and the notification thread render
  // and throw away audio without end). While the song is stopped it tops the queue up
  // with a preview's blocks alone, the same way.
  void BufferDone() noexcept;

  // The main window closes: stop, then close the device.
  void FormClose() override;
  // The application loses or regains the focus: while stopped the device is released to
  // other programs (ending a preview) and taken back; while playing it keeps playing.
  void DeactivatePlayBack() override;
  void ReactivatePlayBack() override;

  // Another output takes over the engine: the queue is dropped and no block is rendered
  // until Resume, whatever `playing` says. Interface thread.
  void Suspend();
  // This output takes the engine back: when the engine is playing, the queue is primed as
  // a start primes it and playback carries on from the engine's positions, which are left
  // as they are. Interface thread.
  void Resume();

private:
  // Tops the queue up with blocks of the preview alone. Song stopped.
  void QueuePreviewBlocks() LW_REQUIRES(gate_);
  // A silent block and a one-sample block, so that every finished block is followed by
  // the next rendered one.
  void PrimeQueue() LW_REQUIRES(gate_);
  // Writes a block whose first sample is the engine's sample `first` (kNotSong: silence
  // or a preview), noting which it is for songCursor.
  void WriteBlock(const int16_t* data, int32_t byteCount, uint64_t first) LW_REQUIRES(gate_);

  Engine& engine_;
  WaveOut& waveOut_;
  // Orders a block's hand-over against starts and stops: no block is queued after a
  // stop has reset the device.
  Mutex gate_;
  std::vector<int16_t> outputBuffer_ LW_GUARDED_BY(gate_);
  // Live playback's own record of playing: an offline render sets engine_.playing too,
  // and must never have its samples taken by a block that finished meanwhile.
  bool songPlaying_ LW_GUARDED_BY(gate_) = false;
  SamplePreview preview_ LW_GUARDED_BY(gate_);
  bool suspended_ LW_GUARDED_BY(gate_) = false;

  static constexpr uint64_t kNotSong = UINT64_MAX;
  // The engine's sample that begins outputBuffer_, or kNotSong.
  uint64_t bufferFirst_ LW_GUARDED_BY(gate_) = kNotSong;
  // Which engine sample begins block n, kept in entry n % WaveOut::kSlots beside n itself
  // (a seqlock's number): written under the gate, read by songCursor on any thread.
  struct BlockStart {
    std::atomic<uint64_t> block{kNotSong};
    std::atomic<uint64_t> first{kNotSong};
  };
  std::array<BlockStart, WaveOut::kSlots> blockStarts_;
};

} // namespace lw
