#include "live/LiveInput.h"

#include "live/MidiMapping.h"

#include <algorithm>
#include <chrono>

namespace lw {

LiveInput::LiveInput() {
  const MidiMapping defaults;
  for (int c = 0; c < kChannels; ++c) {
    channelNotes_[static_cast<std::size_t>(c)].store(
        defaults.channelNotes[static_cast<std::size_t>(c)]);
  }
}

void LiveInput::SetChannelNote(int channel, int note) {
  if (channel >= 0 && channel < kChannels && note >= 0 && note < 128) {
    channelNotes_[static_cast<std::size_t>(channel)].store(note, std::memory_order_relaxed);
  }
}

int LiveInput::channelNote(int channel) const {
  return channelNotes_.at(static_cast<std::size_t>(channel)).load(std::memory_order_relaxed);
}

int LiveInput::ChannelOfNote(int note) const noexcept {
  for (int c = 0; c < kChannels; ++c) {
    if (channelNotes_[static_cast<std::size_t>(c)].load(std::memory_order_relaxed) == note) {
      return c;
    }
  }
  return -1;
}

void LiveInput::Schedule(const MidiMessage& message, OutputFrame due, OutputFrame heard) noexcept {
  if (scheduledCount_ == scheduled_.size()) {
    return;
  }
  scheduled_[(scheduledFirst_ + scheduledCount_) % scheduled_.size()] = {message, due, heard};
  ++scheduledCount_;
}

void LiveInput::Receive(const MidiMessage& message) noexcept {
  if (message.status >= 0xF0) {
    ReceiveAt(message, SteadyMicroseconds());
    return;
  }
  (void)received_.Push(message);
}

void LiveInput::ReceiveAt(const MidiMessage& message, int64_t microseconds) noexcept {
  if (message.status >= 0xF0) {
    (void)system_.Push({message, microseconds});
  }
}

int64_t LiveInput::SteadyMicroseconds() noexcept {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

OutputFrame LiveInput::ApplyDue(Engine& engine, OutputFrame frame, bool sound) noexcept {
  if (draining_.test_and_set(std::memory_order_acquire)) {
    return kNone; // another thread renders this moment; it plays them
  }
  if (engine.playing.load(std::memory_order_relaxed)) {
    liveVoices_ = 0; // the song owns the voices again
  }
  const OutputFrame latency = receiveLatency_.load(std::memory_order_relaxed);
  MidiMessage message;
  while (received_.Pop(message)) {
    Play(engine, message, frame, frame > latency ? frame - latency : 0, sound);
  }
  OutputFrame next = kNone;
  while (scheduledCount_ > 0) {
    const Scheduled& first = scheduled_[scheduledFirst_];
    if (first.due > frame) {
      next = first.due;
      break;
    }
    Play(engine, first.message, frame, first.heard, sound);
    scheduledFirst_ = (scheduledFirst_ + 1) % scheduled_.size();
    --scheduledCount_;
  }
  draining_.clear(std::memory_order_release);
  return next;
}

void LiveInput::Play(Engine& engine, const MidiMessage& message, OutputFrame frame,
                     OutputFrame heard, bool sound) noexcept {
  LiveReport report;
  report.number = message.data1;
  report.value = message.data2;
  if (message.isControlChange()) {
    report.kind = LiveReport::Kind::Control;
    Report(report);
    return;
  }
  if (!message.isNoteOn()) {
    return; // a sample plays to its end: note offs and the rest change nothing
  }
  const int channel = ChannelOfNote(message.data1);
  report.channel = static_cast<int8_t>(channel);
  if (channel >= 0) {
    const int32_t sample = engine.LiveSample(channel);
    report.sample = static_cast<int8_t>(sample);
    const bool isPlaying = engine.playing.load(std::memory_order_relaxed);
    if (sound && sample >= 0) {
      engine.PlayLiveNote(channel, sample, StepNoteOfMidiNote(message.data1), message.data2);
      if (!isPlaying) {
        liveVoices_ |= 1U << channel;
      }
    }
    if (sound && isPlaying && recording() && sample >= 0) {
      report.bank = static_cast<int8_t>(engine.state.playBank);
      report.pattern = static_cast<int8_t>(engine.state.playPattern);
      report.step = static_cast<int8_t>(engine.NearestStep(static_cast<int64_t>(frame - heard)));
    }
  }
  Report(report);
}

void LiveInput::Report(const LiveReport& report) noexcept {
  if (!reports_.Push(report)) {
    droppedReports_.fetch_add(1, std::memory_order_relaxed);
  }
}

} // namespace lw
