#include "commands/SequencerCommands.h"

#include <algorithm>

namespace lw {

void SetSequenceSlot(Engine& engine, int32_t firstSlot, int32_t bank, int32_t pattern) {
  const EngineHold hold(engine.engineLock);
  SetSequenceSlot(engine.state, firstSlot, bank, pattern);
}

void ClearSequenceSlots(Engine& engine, int32_t firstSlot, int32_t lastSlot) {
  const EngineHold hold(engine.engineLock);
  ClearSequenceSlots(engine.state, firstSlot, lastSlot);
}

void SetSongTitle(Engine& engine, std::string_view text) {
  const EngineHold hold(engine.engineLock);
  SetSongTitle(engine.state, text);
}

void SetLoopEnabled(Engine& engine, bool enabled) {
  const EngineHold hold(engine.engineLock);
  engine.state.loopEnabled = enabled;
}

void SetSongAuthor(Engine& engine, std::string_view text) {
  const EngineHold hold(engine.engineLock);
  SetSongAuthor(engine.state, text);
}

PlayPicture SongPlayPicture(const Engine& engine) {
  return engine.playing && engine.songMode ? PlayPicture::PlayOn : PlayPicture::PlayOff;
}

PlayPicture SongPlayButton(Engine& engine, int32_t firstSlot, int32_t lastSlot,
                           const std::function<void()>& playBtnClick) {
  if (engine.playing) {
    if (engine.songMode) {
      playBtnClick();
      engine.songMode = false;
    }
    return PlayPicture::PlayOff;
  }
  {
    const EngineHold hold(engine.engineLock);
    const int32_t first = std::clamp(firstSlot, 0, kSequenceSlots - 1);
    const int32_t last = std::clamp(lastSlot, first, kSequenceSlots - 1);
    SongState& state = engine.state;
    state.loopFirstSlot = first;
    state.loopLastSlot = last;
    // The grid's current column is the slot that plays, so the song goes on from it
    // even when the position was left elsewhere by an earlier run.
    state.songPosition = first;
    const PatternRef start = SongStartPattern(state, first);
    state.playBank = start.bank;
    state.playPattern = start.pattern;
    // Step 0 with the voices silenced, even after a song stopped from the main window
    // left song mode on; song mode then keeps them as they are.
    engine.songMode = false;
    engine.ProcessStep();
    engine.songMode = true;
  }
  playBtnClick();
  return PlayPicture::PlayOn;
}

} // namespace lw
