#pragma once

#include "commands/SongCommands.h"
#include "engine/Engine.h"
#include "session/RecoveryFiles.h"
#include "session/RecoveryInstance.h"
#include "song/UserPrompts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

// The question asked at start-up for a dead program's copy.
[[nodiscard]] std::string RecoveryQuestion(std::string_view title, int64_t savedAt);
// What a copy is called in the question: its title, else its file's name, else
// "Untitled".
[[nodiscard]] std::string RecoveryCaption(const RecoveryInfo& info);
// The notice for a copy that cannot be loaded.
[[nodiscard]] std::string DamagedCopyText(const std::string& copyPath, std::string_view problem,
                                          const std::string& keptAs);

// Whether a dead program's copy is worth the question: it is, unless the song it came from
// was saved to its file after the copy was made (that file then holds the later work).
enum class RecoveryChoice { Ask, KeepAside };
[[nodiscard]] RecoveryChoice ChooseRecovery(int64_t savedAt, const std::string& songFileName,
                                            std::optional<int64_t> songFileTime);

// Checks that a file has a song file's shape from its first byte to its last, without
// reading the sample data: the magic, the blocks, the slot records and exactly the data
// they promise. Gives the problem found, or nothing.
[[nodiscard]] std::optional<std::string> CheckSongCopy(const std::string& path);

// Start-up's offer: asks about each dead program's copy that is newer than its song's
// file, newest first, and loads the first one the user takes as an unsaved song that
// keeps its file name; that copy becomes this run's own. Every other copy is kept aside;
// a damaged one is reported. Interface thread.
struct RecoveryOutcome {
  OpenResult opened;    // replaced: a copy was loaded
  bool adopted = false; // the loaded copy is now this run's own copy
};
RecoveryOutcome OfferRecovery(Engine& engine, UserPrompts& prompts, const RecoveryInstance& own);

} // namespace lw
