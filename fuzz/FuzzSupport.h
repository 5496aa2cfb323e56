#pragma once

#include "song/ReadOnlyFile.h"
#include "song/UserPrompts.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lw::fuzz {

// Answers every question with yes, so that the readers go as far as they can.
class YesPrompts : public UserPrompts {
public:
  void Notice(std::string_view /*text*/) override {}
  void Warning(std::string_view /*text*/) override {}
  bool Confirm(std::string_view /*text*/) override { return true; }
  void ReportIoError(std::string_view /*text*/) override {}
  std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override { return {}; }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override { return {}; }
};

// The two ways the program can meet the bytes: a file of known size, and a source that
// hides its size and delivers them in odd pieces as a pipe does (the piece size taken
// from the input's length, so it varies).
template <class Read> void ForEachSource(const uint8_t* data, std::size_t size, Read read) {
  const std::span<const uint8_t> bytes(data, size);
  ReadOnlyFile file;
  file.OpenMemory(bytes, true, size);
  read(file);
  ReadOnlyFile pipe;
  pipe.OpenMemory(bytes, false, 509 + size % 3583);
  read(pipe);
}

} // namespace lw::fuzz
