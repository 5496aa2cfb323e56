#pragma once

#include "audio_out/ExportFormats.h"
#include "audio_out/RenderCommand.h"

namespace lw {

// What "Export audio..." renders and how: the entire song as FLAC until the user chooses.
struct ExportChoice {
  RenderKind kind = RenderKind::EntireSong;
  ExportOptions options{ExportFormat::Flac, ExportOptions{}.quality, false};
};

} // namespace lw
