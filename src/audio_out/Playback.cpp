#include "audio_out/Playback.h"

#include <algorithm>
#include <utility>

namespace lw {

bool StartOrStopEngine(Engine& engine) {
  SongState& s = engine.state;
  if (!engine.songMode) {
    s.playPattern = s.nextPattern = s.editPattern;
    s.playBank = s.nextBank = s.editBank;
  }
  if (!engine.playing) {
    engine.ProcessStep();
  }
  engine.delay.ClearDelayLine();
  // Set after the engine is prepared, cleared before the device is reset.
  const bool nowPlaying = !engine.playing;
  engine.playing = nowPlaying;
  return nowPlaying;
}

LivePlayback::LivePlayback(Engine& engine, WaveOut& waveOut)
    : engine_(engine), waveOut_(waveOut), outputBuffer_(kBlockSamples, 0) {
  waveOut_.SetCallback([this] { BufferDone(); });
}

LivePlayback::~LivePlayback() {
  waveOut_.SetCallback(nullptr);
}

void LivePlayback::OpenOutput() {
  waveOut_.Open(-1);
}

bool LivePlayback::songPlaying() {
  const MutexHold hold(gate_);
  return songPlaying_;
}

void LivePlayback::PlayBtnClick() {
  PreviewSound ended; // freed after the gate is let go
  {
    const MutexHold gate(gate_);
    ended = preview_.Stop();
    bool nowPlaying = false;
    {
      const EngineHold hold(engine_.engineLock);
      nowPlaying = StartOrStopEngine(engine_);
    }
    songPlaying_ = nowPlaying;
    if (nowPlaying) {
      // Blocks of a preview may still be queued: the song starts on an empty queue, so
      // that its first sample is heard where it always is.
      if (waveOut_.queuedBlocks() > 0) {
        waveOut_.Reset();
      }
      PrimeQueue();
    } else {
      waveOut_.Reset();
    }
  }
  if (refreshDisplay) {
    refreshDisplay();
  }
}

void LivePlayback::BufferDone() noexcept {
  const MutexHold gate(gate_);
  // Only this gate's holders write, and the device only takes blocks away, so the queue
  // is no deeper when the write comes.
  if (suspended_ || waveOut_.queuedBlocks() >= kQueuedBlocks) {
    return;
  }
  if (!songPlaying_) {
    QueuePreviewBlocks();
    return;
  }
  // Added as the block is queued rather than as it is rendered: a block sooner.
  preview_.MixInto(outputBuffer_.data(), outputBuffer_.size());
  WriteBlock(outputBuffer_.data(), kBlockBytes, bufferFirst_);
  const EngineHold hold(engine_.engineLock);
  bufferFirst_ = engine_.renderedSamples.load(std::memory_order_relaxed);
  engine_.RenderBlock(outputBuffer_.data(), outputBuffer_.size());
}

void LivePlayback::WriteBlock(const int16_t* data, int32_t byteCount, uint64_t first) {
  const uint64_t block = waveOut_.blocksWritten();
  BlockStart& start = blockStarts_[block % WaveOut::kSlots];
  // The seqlock's writer: the number taken away, the sample (with release, so a reader
  // that sees it sees the number taken away too), then the number.
  start.block.store(kNotSong, std::memory_order_relaxed);
  start.first.store(first, std::memory_order_release);
  start.block.store(block, std::memory_order_release);
  waveOut_.Write(data, byteCount);
}

std::optional<OutputCursor> LivePlayback::songCursor() const {
  const WaveOut::ReadPoint at = waveOut_.readPoint();
  const BlockStart& start = blockStarts_[at.block % WaveOut::kSlots];
  if (start.block.load(std::memory_order_acquire) != at.block) {
    return std::nullopt; // not written yet: the queue ran dry, or playback stopped
  }
  const uint64_t first = start.first.load(std::memory_order_acquire);
  if (start.block.load(std::memory_order_relaxed) != at.block || first == kNotSong) {
    return std::nullopt;
  }
  const uint32_t device = waveOut_.deviceFrames();
  return OutputCursor{first + at.position, device, device};
}

void LivePlayback::Suspend() {
  PreviewSound ended; // freed after the gate is let go
  {
    const MutexHold gate(gate_);
    ended = preview_.Stop();
    suspended_ = true;
    songPlaying_ = false;
    waveOut_.Reset();
  }
}

void LivePlayback::Resume() {
  const MutexHold gate(gate_);
  suspended_ = false;
  songPlaying_ = engine_.playing;
  if (songPlaying_) {
    PrimeQueue();
  }
}

void LivePlayback::PrimeQueue() {
  std::fill(outputBuffer_.begin(), outputBuffer_.end(), int16_t{0});
  bufferFirst_ = kNotSong;
  WriteBlock(outputBuffer_.data(), kBlockBytes, kNotSong);
  WriteBlock(outputBuffer_.data(), 2, kNotSong);
}

void LivePlayback::QueuePreviewBlocks() {
  while (preview_.active() && waveOut_.queuedBlocks() < kQueuedBlocks) {
    std::fill(outputBuffer_.begin(), outputBuffer_.end(), int16_t{0});
    preview_.MixInto(outputBuffer_.data(), outputBuffer_.size());
    WriteBlock(outputBuffer_.data(), kBlockBytes, kNotSong);
  }
}

void LivePlayback::Preview(PreviewSound sound) {
  PreviewSound replaced; // freed after the gate is let go
  {
    const MutexHold gate(gate_);
    if (suspended_ || (!songPlaying_ && !waveOut_.isOpen())) {
      // Queued now, the sound would play whenever the device is taken back.
      replaced = preview_.Stop();
    } else {
      replaced = preview_.Start(std::move(sound));
      if (!songPlaying_) {
        waveOut_.Reset();
        QueuePreviewBlocks();
      }
    }
  }
}

void LivePlayback::StopPreview() {
  PreviewSound ended; // freed after the gate is let go
  {
    const MutexHold gate(gate_);
    ended = preview_.Stop();
    if (!songPlaying_ && !suspended_) {
      waveOut_.Reset();
    }
  }
}

bool LivePlayback::previewing() {
  const MutexHold gate(gate_);
  return preview_.active();
}

void LivePlayback::FormClose() {
  PreviewSound ended; // freed after the gate is let go
  {
    const MutexHold gate(gate_);
    ended = preview_.Stop();
    if (engine_.playing) {
      engine_.playing = false;
      songPlaying_ = false;
      waveOut_.Reset();
    }
  }
  waveOut_.Close();
}

void LivePlayback::DeactivatePlayBack() {
  if (engine_.playing) {
    return;
  }
  PreviewSound ended; // freed after the gate is let go
  {
    // Ended before the device closes, so that no block of it is queued on a closed device.
    const MutexHold gate(gate_);
    ended = preview_.Stop();
  }
  waveOut_.Close();
}

void LivePlayback::ReactivatePlayBack() {
  if (!engine_.playing) {
    waveOut_.Open(-1);
  }
}

} // namespace lw
