#include "audio_out/Playback.h"

#include <algorithm>

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

void LivePlayback::PlayBtnClick() {
  {
    const MutexHold gate(gate_);
    bool nowPlaying = false;
    {
      const EngineHold hold(engine_.engineLock);
      nowPlaying = StartOrStopEngine(engine_);
    }
    if (nowPlaying) {
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
  if (suspended_ || !engine_.playing || waveOut_.queuedBlocks() >= kQueuedBlocks) {
    return;
  }
  waveOut_.Write(outputBuffer_.data(), kBlockBytes);
  const EngineHold hold(engine_.engineLock);
  engine_.RenderBlock(outputBuffer_.data(), outputBuffer_.size());
}

void LivePlayback::Suspend() {
  const MutexHold gate(gate_);
  suspended_ = true;
  waveOut_.Reset();
}

void LivePlayback::Resume() {
  const MutexHold gate(gate_);
  suspended_ = false;
  if (engine_.playing) {
    PrimeQueue();
  }
}

void LivePlayback::PrimeQueue() {
  std::fill(outputBuffer_.begin(), outputBuffer_.end(), int16_t{0});
  waveOut_.Write(outputBuffer_.data(), kBlockBytes);
  waveOut_.Write(outputBuffer_.data(), 2);
}

void LivePlayback::FormClose() {
  {
    const MutexHold gate(gate_);
    if (engine_.playing) {
      engine_.playing = false;
      waveOut_.Reset();
    }
  }
  waveOut_.Close();
}

void LivePlayback::DeactivatePlayBack() {
  if (!engine_.playing) {
    waveOut_.Close();
  }
}

void LivePlayback::ReactivatePlayBack() {
  if (!engine_.playing) {
    waveOut_.Open(-1);
  }
}

} // namespace lw
