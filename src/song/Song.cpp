#include "song/Song.h"
#include "song/SongState.h"

namespace lw {

namespace {

void ResetStep(Step& step) {
  step.trigger = 0;
  step.sample = kNoSample;
  step.volume = kNoVolumeChange;
  step.mode = static_cast<uint8_t>(StepMode::None);
  step.startPos = 0;
  step.endPos = kPositionMax;
  step.pitch = 100;
  step.note = 36;
}

} // namespace

void ResetSongBlock(Song& song) {
  song.delaySteps = 3;
  song.delayFeedback = 50;
  song.distortAmount = 32;
  song.vinylAmount = 0;
  song.tempo = 120;
  song.shuffle = 0;
  song.title.assignText("Untitled track");
  song.author.length = 0;
  for (Bank& bank : song.banks) {
    for (Pattern& pattern : bank.patterns) {
      for (Channel& channel : pattern.channels) {
        channel.distortOn = 0;
        channel.volume = 64;
        channel.delaySend = 0;
        for (Step& step : channel.steps) {
          ResetStep(step);
        }
      }
    }
  }
}

void ClearSequence(SongSequence& sequence) {
  for (SequenceEntry& slot : sequence.slots) {
    slot.bank = -1;
    slot.pattern = -1;
  }
}

void NewSongModel(SongState& state) {
  state.lastSampleChoice = -1;
  ResetSongBlock(state.song);
  state.playPattern = 0;
  state.playBank = 0;
  state.nextPattern = 0;
  state.nextBank = 0;
  state.activeStep = 0;
  state.activeChannel = 0;
  ClearSequence(state.sequence);
}

} // namespace lw
