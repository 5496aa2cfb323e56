#pragma once

#include "audio_out/ExportFormats.h"
#include "audio_out/RenderCommand.h"

#include <string>

namespace lw {

// The temporary files of an export start with this and end in six unique characters.
inline constexpr const char* kExportTempPrefix = ".lwexport-";

// The save dialog of "Export audio..." for `format`, starting in `folder`.
[[nodiscard]] FileDialogSpec ExportDialogSpec(ExportFormat format, const std::string& folder);

// The target for a chosen name: the format's extension is added unless the name ends in
// it already (in any case).
[[nodiscard]] std::string ExportTargetPath(const std::string& chosen, ExportFormat format);

// Renders what `kind` names (as the render commands do) into `target` in `options.format`
// and, with `options.stems`, into the stems' files beside it (StemPaths), all from one
// pass. Every file is written into a temporary file that replaces it only when the
// whole render is done; a render that fails leaves every file as it was and removes the
// ones it created. Refused while playing, with the render's message. Returns true when
// every file was written. Interface thread, playback stopped.
bool ExportAudioFile(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                     RenderKind kind, const std::string& target, const SlotRange& selection,
                     const ExportOptions& options);

// The question asked before stems replace files of their names; `names` lists them one per
// line.
[[nodiscard]] std::string ReplaceStemsQuestion(const std::string& names);

// The menu command once the export dialog has chosen what and how: asks for the file
// (starting in `folder`, which becomes the chosen file's folder), asks before stems replace
// existing files, exports.
bool ExportAudioCommand(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                        RenderKind kind, const SlotRange& selection, const ExportOptions& options,
                        std::string& folder);

} // namespace lw
