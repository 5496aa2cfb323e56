#include "commands/Bounce.h"

#include "audio_out/Render.h"

#include <utility>

namespace lw {

std::string ProposedBounceName(const SongDocument& state) {
  return "Bounced " + std::to_string(state.editBank + 1) + "-" +
         std::to_string(state.editPattern + 1);
}

int32_t BouncePattern(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                      const BounceNameDialog& askName) {
  if (engine.playing) {
    prompts.Notice("You can not bounce a pattern while playing. Please press the play-button "
                   "to stop playback and try again...");
    return -1;
  }
  const std::optional<std::string> name = askName(ProposedBounceName(engine.Interface()));
  if (!name) {
    return -1;
  }
  const BusyCursor busy(prompts);
  const int32_t slot = FindFreeSlot(engine.InterfaceSamples());
  if (slot < 0) {
    prompts.Notice("Unfortunately you have reached the limit of 64 samples...");
    return -1;
  }
  // Playback is stopped, so nothing can trigger the slot before it is filled; it is
  // normalised before it goes in, so the slot never holds the quieter first take.
  SampleData rendered =
      RenderBounce(engine, engine.Interface().editBank, engine.Interface().editPattern);
  NormaliseBounce(rendered.data(), rendered.size());
  {
    const EngineHold hold(engine.engineLock);
    FillSlot(engine.samples.slots[static_cast<std::size_t>(slot)], std::move(rendered), kOutputRate,
             *name, SampleCategory::Loop);
    engine.state.songChanged = true;
  }
  RefreshSampleList(engine, manager);
  return slot;
}

} // namespace lw
