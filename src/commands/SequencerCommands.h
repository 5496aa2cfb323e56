#pragma once

#include "engine/Engine.h"
#include "song/SequenceEditing.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace lw {

// The sequencer window's operations as it calls them; each takes the engine lock for its
// edit. Interface thread, while the song may be playing.

void SetSequenceSlot(Engine& engine, int32_t firstSlot, int32_t bank, int32_t pattern);
void ClearSequenceSlots(Engine& engine, int32_t firstSlot, int32_t lastSlot);
void SetSongTitle(Engine& engine, std::string_view text);
void SetSongAuthor(Engine& engine, std::string_view text);
// "Use selection as loop": the engine reads it at every advance of the song position.
void SetLoopEnabled(Engine& engine, bool enabled);

// The picture the sequencer's play button shows.
enum class PlayPicture { PlayOff, PlayOn };

// Play_On while the song plays from this window, Play_Off otherwise.
[[nodiscard]] PlayPicture SongPlayPicture(const Engine& engine);

// The sequencer's play button, for the selection firstSlot..lastSlot. While the song
// plays it stops it; while a single pattern plays it only shows Play_Off; otherwise it
// starts the song at the selection's first slot with the selection as the loop range.
// `playBtnClick` is the main window's play operation, which starts and stops live
// playback and takes the engine lock itself.
PlayPicture SongPlayButton(Engine& engine, int32_t firstSlot, int32_t lastSlot,
                           const std::function<void()>& playBtnClick);

} // namespace lw
