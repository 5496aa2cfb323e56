#pragma once

#include "audio_out/ExportFormats.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lw {

// One mono 44100 Hz file of an export, written as the render produces it, into a
// uniquely named temporary file that replaces the target only at Commit; destroyed
// without Commit, it leaves the target as it was. Failures throw IoError with the
// system's or the encoder's reason.
//
// The mix arrives as the 16-bit samples the renders write; a stem as the engine gives it,
// at twice that scale, so that the mix sample is the stems' sum halved. Each format keeps
// all it can hold of that: 16-bit files take a stem halved toward zero as the mix is,
// 24-bit files keep it whole, the lossy formats take both as floats. A 16-bit WAV is
// written exactly as "Render Wav" writes it.
class ExportFile {
public:
  virtual ~ExportFile() = default;
  virtual void WriteMix(const int16_t* samples, std::size_t count) = 0;
  virtual void WriteStem(const int32_t* values, std::size_t count) = 0;
  // Puts the whole file on disk under its temporary name; Commit then lets it replace
  // the target. An export finishes every file before it commits any.
  virtual void Finish() = 0;
  virtual void Commit() = 0;
};

// Opens `path` for `samples` samples of `options.format`, at `options.quality` where the
// format is lossy. The temporary file's name starts with `tempPrefix`.
[[nodiscard]] std::unique_ptr<ExportFile> OpenExportFile(const std::string& path,
                                                         const ExportOptions& options,
                                                         uint64_t samples, const char* tempPrefix);

// The sample rate a format's files are written at: Opus knows no 44100 Hz, so its
// files are resampled to 48000 Hz.
[[nodiscard]] int FileRate(ExportFormat format);

} // namespace lw
