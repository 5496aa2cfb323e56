#pragma once

#include "engine/Engine.h"
#include "song/EditCommands.h"
#include "song/UserPrompts.h"

namespace lw {

// The File menu's New and the Edit menu's commands as the main window calls them. Each
// takes the engine lock for its edit alone, never while it asks the user, and returns
// what the window has to redraw. Interface thread; playback may go on meanwhile.

// How New ended. When the song was replaced, the window copies delayFeedback,
// delaySteps, distortAmount, shuffle and vinylAmount into its knobs and redraws; its
// redraw must leave songChanged cleared.
struct NewSongResult {
  bool replaced = false;
  RefreshFlags refresh;
};

// Asks before it erases the song, the sequence and all samples, then starts a new song.
// The file name, the edited bank and pattern and the clipboard stay as they were.
NewSongResult NewComposition(Engine& engine, UserPrompts& prompts);

void CopyPattern(Engine& engine, EditClipboard& clip);
void CopyChannel(Engine& engine, EditClipboard& clip);
void CopyNote(Engine& engine, EditClipboard& clip);
RefreshFlags Paste(Engine& engine, const EditClipboard& clip);
RefreshFlags ClearChannel(Engine& engine);
RefreshFlags ClearControllers(Engine& engine);
// Asks first; No changes nothing and redraws nothing.
RefreshFlags LameTimestretch(Engine& engine, UserPrompts& prompts);
RefreshFlags LongStutter(Engine& engine, UserPrompts& prompts);

} // namespace lw
