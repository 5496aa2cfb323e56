#pragma once

#include "audio_out/Render.h"
#include "song/UserPrompts.h"

#include <string>

namespace lw {

// The three "Render Wav" commands.
enum class RenderKind { ThisPattern, EntireSong, SongLoop };

inline constexpr const char* kRenderWhilePlaying =
    "You can not render while playing. Please press the play-button to stop playback and try "
    "again...";
inline constexpr const char* kNoTempFile = "Could not create temporary storage file !";
// The temporary file of a render starts with this and ends in six unique characters.
inline constexpr const char* kRenderTempPrefix = ".lwrender-";

// The save dialog of the render commands, starting in `folder`.
[[nodiscard]] FileDialogSpec RenderDialog(const std::string& folder);

// Makes sure a render's target can be written before anything is rendered. An existing
// target is opened without truncating it, so a failed render cannot destroy it; a new one
// is created empty (`created`), to be removed again if the render fails. False with errno
// in `error`.
bool ProbeRenderTarget(const std::string& target, bool& created, int& error);

// How many samples a render of `patterns` patterns gives.
[[nodiscard]] uint64_t RenderLength(Engine& engine, int32_t patterns);

// The target path for a chosen name: ".wav" is added when the path holds no dot at all.
[[nodiscard]] std::string RenderTargetPath(const std::string& chosen);

// Renders into the WAV file `target` (already completed with RenderTargetPath): the
// pattern shown for ThisPattern, the whole sequence for EntireSong, the `selection` for
// SongLoop. The file is written once, into a uniquely named temporary file in the
// target's folder that replaces the target when complete, so renders into one folder
// never collide. Refused while playing. A render that fails leaves no partial file
// behind: neither the temporary file nor a target it created, and an existing target
// keeps its old contents; its messages give the system's reason on a second line.
// Returns true when the WAV file was written. Interface thread, playback stopped.
bool RenderToWavFile(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                     RenderKind kind, const std::string& target, const SlotRange& selection);

// The menu command: refuses while playing, asks for the file (the dialog starts in
// `folder`, which then becomes the chosen file's folder), renders.
bool RenderWavCommand(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                      RenderKind kind, const SlotRange& selection, std::string& folder);

} // namespace lw
