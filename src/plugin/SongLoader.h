#pragma once

#include "engine/Engine.h"

#include <memory>
#include <string>

namespace lw {

// Loads a song file into an engine of its own, ready to play, as loopwren-render loads
// one: the vinyl noise from `noisePath`, a new song, then the file. On failure: null,
// and `why` says so in a line for a log ("cannot read PATH: No such file or directory",
// "PATH is damaged: ..."). Allocates and reads files: never on the audio thread.
[[nodiscard]] std::unique_ptr<Engine>
LoadSongEngine(const std::string& path, const std::string& noisePath, std::string& why);

} // namespace lw
