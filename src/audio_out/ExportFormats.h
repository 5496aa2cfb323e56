#pragma once

#include "engine/Engine.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lw {

// The formats "Export audio..." and the command-line renderer write.
enum class ExportFormat { Wav16, Wav24, Flac, Vorbis, Opus, Mp3 };

struct ExportFormatInfo {
  ExportFormat format;
  const char* name;      // as --format takes it
  const char* extension; // without the dot
  const char* caption;   // as the export dialog lists it
  bool lossy;
};

// Every format, in the order the dialog lists them.
[[nodiscard]] std::span<const ExportFormatInfo> ExportFormats();
[[nodiscard]] const ExportFormatInfo& InfoOf(ExportFormat format);
// The format --format names ("wav16", "wav24", "flac", "ogg", "opus", "mp3").
[[nodiscard]] std::optional<ExportFormat> FormatNamed(std::string_view name);
// The format a file name's extension stands for, in any case: ".wav" is the 16-bit WAV
// the renders have always written; ".oga" is Ogg Vorbis too.
[[nodiscard]] std::optional<ExportFormat> FormatOfPath(std::string_view path);

// How an export is written. `quality` applies to the lossy formats only: 0 gives the
// smallest files, 1 the best sound.
struct ExportOptions {
  ExportFormat format = ExportFormat::Wav16;
  double quality = 0.6;
  bool stems = false;
};

// The stems' files beside `target`: "<name>-ch1.<ext>", "-ch2", "-ch3", "-delay" and
// "-vinyl", in the order of the engine's stems. `name` is the target without its
// extension; a target without one gets the format's.
[[nodiscard]] std::array<std::string, Engine::kStems> StemPaths(const std::string& target,
                                                                ExportFormat format);

} // namespace lw
