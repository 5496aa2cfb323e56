#include "plugin/SongPlayer.h"

#include "audio_out/Render.h"
#include "song/ControlRanges.h"
#include "song/SongPosition.h"

#include <algorithm>
#include <cmath>

namespace lw {
namespace {

// The outputs' scale: the mix's 16-bit sample to ±1, and a stem (before the mix halves
// it) on the same scale as the mix.
constexpr float kMixScale = 32768.0F;
constexpr float kStemScale = 2 * kMixScale;
constexpr double kPatternBeats = 4.0;

double FramesPerBeat(double bpm) {
  return kOutputRate * 60.0 / std::clamp(bpm, 1.0, 100000.0);
}

// Where a pattern's channel keeps its own settings among the player's copies.
std::size_t OwnIndex(int bank, int pattern, int channel) {
  const int index = (bank * kPatterns + pattern) * kChannels + channel;
  return static_cast<std::size_t>(index);
}

bool InBankRange(int32_t value) {
  return value >= 0 && value < kBanks;
}

} // namespace

int PluginChannelOfNote(int note) noexcept {
  switch (note) {
  case 36:
    return 0;
  case 38:
    return 1;
  case 42:
    return 2;
  default:
    return -1;
  }
}

SongPlayer::SongPlayer() : mix_(std::make_unique<int16_t[]>(kMaxStretch)) {
  for (auto& stem : stems_) {
    stem = std::make_unique<int32_t[]>(kMaxStretch);
  }
  knobs_.fill(kSongsOwn);
  applied_.fill(-1);
}

std::unique_ptr<Engine> SongPlayer::Swap(std::unique_ptr<Engine> engine) noexcept {
  std::swap(engine, engine_);
  mode_ = Mode::Stopped;
  liveVoices_ = 0;
  applied_.fill(-1);
  if (engine_ == nullptr) {
    return engine;
  }
  Engine& e = *engine_;
  if (!e.engineLock.try_lock()) {
    return engine; // never so: the player is the engine's only user
  }
  firstBank_ = e.state.playBank;
  firstPattern_ = e.state.playPattern;
  e.songMode = true;
  KeepSongsOwn(e);
  for (int k = 0; k < kPluginKnobs; ++k) {
    const float value = knobs_[static_cast<std::size_t>(k)];
    if (value >= 0.0F) {
      applied_[static_cast<std::size_t>(k)] = static_cast<int32_t>(std::lround(value));
      ApplyKnob(e, k, applied_[static_cast<std::size_t>(k)]);
    }
  }
  if (time_.rolling) {
    Start(e, time_.beat);
  }
  e.engineLock.unlock();
  return engine;
}

void SongPlayer::SetTime(const HostTime& time) noexcept {
  const HostTime was = time_;
  time_ = time;
  if (engine_ == nullptr) {
    return;
  }
  Engine& e = *engine_;
  if (!e.engineLock.try_lock()) {
    return;
  }
  if (!time.rolling) {
    if (mode_ != Mode::Stopped) {
      Stop(e);
    }
  } else {
    const bool jumped = std::fabs(time.beat - was.beat) * FramesPerBeat(time.bpm) > 1.0;
    const bool modeChanges = (mode_ == Mode::Own) != OwnTempo(e, time.bpm);
    if (mode_ == Mode::Stopped || !was.rolling || jumped || modeChanges) {
      Start(e, time.beat);
    } else if (time.bpm == was.bpm) {
      // Hosts give the beat within the bar in single precision: while the timeline runs
      // on, the beat reckoned from frames is the exact one.
      time_.beat = was.beat;
    }
  }
  e.engineLock.unlock();
}

bool SongPlayer::OwnTempo(const Engine& e, double bpm) noexcept {
  return bpm == static_cast<double>(std::clamp(e.state.song.tempo, kMinTempo, kMaxTempo));
}

// A render starts the clock at the first slot's pattern with the song's mode as it was,
// then in song mode from a cleared delay line, and each slot's pattern afresh.
void SongPlayer::Start(Engine& e, double beat) noexcept {
  beat = std::max(beat, 0.0);
  liveVoices_ = 0;
  if (OwnTempo(e, time_.bpm)) {
    mode_ = Mode::Own;
    const auto pattern = static_cast<int64_t>(std::floor(beat / kPatternBeats));
    StartSlot(e, pattern, true);
    e.delay.ClearDelayLine();
    // Into the pattern: the step the beat lies in, as far into it as the beat is.
    const double fraction = beat / kPatternBeats - static_cast<double>(pattern);
    into_ = std::clamp(static_cast<int32_t>(std::llround(fraction * e.clock.patternSamples)), 0,
                       std::max(e.clock.patternSamples - 1, 0));
    if (into_ > 0) {
      e.playing = false;
      e.StartAtSample(into_);
      e.playing = true;
    }
    return;
  }
  mode_ = Mode::Led;
  SongState& s = e.state;
  const SequenceEntry first = s.sequence.slots[0];
  const SongBar start = first.playable() ? SongBar{0, first.bank, first.pattern}
                                         : SongBar{0, firstBank_, firstPattern_};
  const SongBar bar = SongAtBar(s, start, static_cast<int64_t>(std::floor(beat / kPatternBeats)));
  s.songPosition.store(bar.slot, std::memory_order_relaxed);
  s.playBank = s.nextBank = bar.bank;
  s.playPattern = s.nextPattern = bar.pattern;
  e.playing = false;
  e.StartAtBeat(beat);
  e.delay.ClearDelayLine();
  e.playing = true;
}

void SongPlayer::StartSlot(Engine& e, int64_t slot, bool fresh) noexcept {
  slot_ = slot;
  into_ = 0;
  // An empty slot repeats the pattern before it, bank and pattern taken apart. A render
  // reads the slots in order from the pattern the song opened with, so a fresh start
  // reads those before its own too. After the song's last slot it starts over.
  const int32_t slots = EntireSongRange(e.state.sequence).last + 1;
  const auto index = static_cast<int32_t>(slot % std::max(slots, 1));
  fresh = fresh || index == 0;
  int32_t bank = fresh ? firstBank_ : e.state.playBank;
  int32_t pattern = fresh ? firstPattern_ : e.state.playPattern;
  for (int32_t k = fresh ? 0 : index; k <= index; ++k) {
    const SequenceEntry entry = e.state.sequence.slots[k];
    bank = InBankRange(entry.bank) ? entry.bank : bank;
    pattern = InBankRange(entry.pattern) ? entry.pattern : pattern;
  }
  e.playing = false;
  e.state.playBank = bank;
  e.state.playPattern = pattern;
  e.ProcessStep();
  e.playing = true;
}

void SongPlayer::Stop(Engine& e) noexcept {
  e.playing = false;
  e.delay.ClearDelayLine();
  mode_ = Mode::Stopped;
}

void SongPlayer::NoteOn(int note, int velocity) noexcept {
  const int channel = PluginChannelOfNote(note);
  if (engine_ == nullptr || channel < 0 || velocity <= 0) {
    return;
  }
  Engine& e = *engine_;
  if (!e.engineLock.try_lock()) {
    return;
  }
  const int32_t sample = e.LiveSample(channel);
  if (sample >= 0) {
    e.PlayLiveNote(channel, sample, StepNoteOfMidiNote(note), std::min(velocity, 127));
    if (mode_ == Mode::Stopped) {
      liveVoices_ |= 1U << channel;
    }
  }
  e.engineLock.unlock();
}

void SongPlayer::SetKnob(PluginKnob knob, float value) noexcept {
  const auto k = static_cast<std::size_t>(knob);
  knobs_[k] = value;
  const int32_t wanted = value < 0.0F ? -1 : static_cast<int32_t>(std::lround(value));
  if (engine_ == nullptr || wanted == applied_[k]) {
    return;
  }
  Engine& e = *engine_;
  if (!e.engineLock.try_lock()) {
    return;
  }
  applied_[k] = wanted;
  ApplyKnob(e, static_cast<int>(k), wanted);
  e.engineLock.unlock();
}

void SongPlayer::KeepSongsOwn(const Engine& e) noexcept {
  const Song& song = e.state.song;
  for (int b = 0; b < kBanks; ++b) {
    for (int p = 0; p < kPatterns; ++p) {
      for (int c = 0; c < kChannels; ++c) {
        const Channel& channel = song.channel(b, p, c);
        own_.volumes[OwnIndex(b, p, c)] = channel.volume;
        own_.sends[OwnIndex(b, p, c)] = channel.delaySend;
      }
    }
  }
  own_.overdrive = song.distortAmount;
  own_.decay = song.delayFeedback;
  own_.delaySteps = song.delaySteps;
  own_.shuffle = song.shuffle;
  own_.vinyl = song.vinylAmount;
}

// `value` -1 puts the song's own setting back.
void SongPlayer::ApplyKnob(Engine& e, int knob, int32_t value) noexcept {
  Song& song = e.state.song;
  const bool own = value < 0;
  const auto perPattern = [own, value](Song& song, int c, const OwnChannels& kept, int32_t max,
                                       int32_t Channel::*field) {
    for (int b = 0; b < kBanks; ++b) {
      for (int p = 0; p < kPatterns; ++p) {
        song.channel(b, p, c).*field = own ? kept[OwnIndex(b, p, c)] : std::min(value, max);
      }
    }
  };
  const auto or_ = [&](int32_t kept, int32_t max) { return own ? kept : std::min(value, max); };
  switch (static_cast<PluginKnob>(knob)) {
  case PluginKnob::Volume1:
  case PluginKnob::Volume2:
  case PluginKnob::Volume3: {
    const int c = knob - static_cast<int>(PluginKnob::Volume1);
    perPattern(song, c, own_.volumes, kMaxVolume, &Channel::volume);
    if (e.playing) {
      e.voices[static_cast<std::size_t>(c)].volume =
          std::clamp(song.channel(e.state.playBank, e.state.playPattern, c).volume, 0, kMaxVolume);
    }
    break;
  }
  case PluginKnob::Send1:
  case PluginKnob::Send2:
  case PluginKnob::Send3:
    perPattern(song, knob - static_cast<int>(PluginKnob::Send1), own_.sends, kMaxDelaySend,
               &Channel::delaySend);
    break;
  case PluginKnob::Overdrive:
    song.distortAmount = or_(own_.overdrive, kMaxDistortAmount);
    break;
  case PluginKnob::DelayDecay:
    song.delayFeedback = or_(own_.decay, kMaxDelayFeedback);
    e.UpdateTiming();
    break;
  case PluginKnob::DelaySteps:
    song.delaySteps = static_cast<uint8_t>(or_(own_.delaySteps, kMaxDelaySteps));
    e.UpdateTiming();
    break;
  case PluginKnob::Shuffle:
    song.shuffle = or_(own_.shuffle, kMaxShuffle);
    e.UpdateTiming();
    break;
  case PluginKnob::Vinyl:
    song.vinylAmount = or_(own_.vinyl, kMaxVinylAmount);
    break;
  }
}

void SongPlayer::Render(const Outputs& outputs, uint32_t frames) noexcept {
  const auto silence = [&] {
    for (float* out : outputs) {
      if (out != nullptr) {
        std::fill_n(out, frames, 0.0F);
      }
    }
  };
  if (engine_ == nullptr) {
    silence();
    return;
  }
  Engine& e = *engine_;
  if (!e.engineLock.try_lock()) {
    silence();
    return;
  }
  uint32_t done = 0;
  while (done < frames) {
    uint32_t count = std::min(frames - done, kMaxStretch);
    if (mode_ == Mode::Own) {
      if (into_ >= e.clock.patternSamples) {
        StartSlot(e, slot_ + 1, false);
      }
      count = std::min<uint32_t>(count, static_cast<uint32_t>(e.clock.patternSamples - into_));
    } else if (mode_ == Mode::Led) {
      const int64_t before = e.FollowBeat(time_.beat, time_.bpm);
      count = static_cast<uint32_t>(std::min<int64_t>(count, before + 1));
    }
    RenderStretch(e, outputs, done, count);
    done += count;
    if (time_.rolling) {
      time_.beat += count / FramesPerBeat(time_.bpm);
    }
  }
  e.engineLock.unlock();
}

void SongPlayer::RenderStretch(Engine& e, const Outputs& outputs, uint32_t offset,
                               uint32_t count) noexcept {
  Engine::StemOutputs stems{};
  for (std::size_t s = 0; s < stems.size(); ++s) {
    stems[s] = stems_[s].get();
  }
  if (mode_ == Mode::Stopped) {
    e.RenderLiveVoices(mix_.get(), stems, count, liveVoices_);
  } else {
    e.RenderBlockWithStems(mix_.get(), stems, count);
    into_ += static_cast<int32_t>(count);
  }
  if (outputs[0] != nullptr) {
    for (uint32_t i = 0; i < count; ++i) {
      outputs[0][offset + i] = static_cast<float>(mix_[i]) / kMixScale;
    }
  }
  for (int c = 0; c < kChannels; ++c) {
    float* out = outputs[1 + static_cast<std::size_t>(c)];
    if (out != nullptr) {
      const int32_t* stem = stems_[static_cast<std::size_t>(c)].get();
      for (uint32_t i = 0; i < count; ++i) {
        out[offset + i] = static_cast<float>(stem[i]) / kStemScale;
      }
    }
  }
}

} // namespace lw
