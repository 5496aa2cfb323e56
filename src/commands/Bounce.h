#pragma once

#include "commands/SampleCommands.h"
#include "engine/Engine.h"
#include "song/UserPrompts.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lw {

// The bounce dialog: shown with the proposed name, it gives the name the user accepted
// (both UTF-8), or nothing when the user cancelled.
using BounceNameDialog = std::function<std::optional<std::string>(const std::string& proposed)>;

// "Bounced 1-3" for bank 0, pattern 2: the edited pattern as the panels number it.
[[nodiscard]] std::string ProposedBounceName(const SongDocument& state);

// Tools > Bounce pattern: renders the edited pattern into memory, normalises it and stores
// it as a new loop sample in the lowest free slot, then refreshes the sample manager's list.
// Refused while playback runs. Returns the new slot, or -1 when nothing was added.
// Interface thread; the render takes the engine lock itself.
int32_t BouncePattern(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                      const BounceNameDialog& askName);

} // namespace lw
