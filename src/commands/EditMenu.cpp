#include "commands/EditMenu.h"

#include <array>
#include <utility>

namespace lw {

namespace {

RefreshFlags Slice(Engine& engine, UserPrompts& prompts, SliceCommand command) {
  if (!prompts.Confirm(SliceQuestion(command))) {
    return {};
  }
  const EngineHold hold(engine.engineLock);
  return ApplySlices(engine.state, command);
}

} // namespace

NewSongResult NewComposition(Engine& engine, UserPrompts& prompts) {
  if (!prompts.Confirm("This will erase your entire composition, the song-sequence and all "
                       "samples. Do you want to continue ?")) {
    return {};
  }
  // The sample data is moved out under the lock and freed after it is let go.
  ReleasedSamples released;
  {
    const EngineHold hold(engine.engineLock);
    released = ClearSampleTable(engine.samples);
    engine.NewSong();
    engine.state.songChanged = false;
  }
  return {true, RefreshFlags::All()};
}

void CopyPattern(Engine& engine, EditClipboard& clip) {
  const EngineHold hold(engine.engineLock);
  CopyPattern(engine.state, clip);
}

void CopyChannel(Engine& engine, EditClipboard& clip) {
  const EngineHold hold(engine.engineLock);
  CopyChannel(engine.state, clip);
}

void CopyNote(Engine& engine, EditClipboard& clip) {
  const EngineHold hold(engine.engineLock);
  CopyNote(engine.state, clip);
}

RefreshFlags Paste(Engine& engine, const EditClipboard& clip) {
  const EngineHold hold(engine.engineLock);
  return Paste(engine.state, clip);
}

RefreshFlags ClearChannel(Engine& engine) {
  const EngineHold hold(engine.engineLock);
  return ClearChannel(engine.state);
}

RefreshFlags ClearControllers(Engine& engine) {
  const EngineHold hold(engine.engineLock);
  return ClearControllers(engine.state);
}

RefreshFlags LameTimestretch(Engine& engine, UserPrompts& prompts) {
  return Slice(engine, prompts, SliceCommand::LameTimestretch);
}

RefreshFlags LongStutter(Engine& engine, UserPrompts& prompts) {
  return Slice(engine, prompts, SliceCommand::LongStutter);
}

} // namespace lw
