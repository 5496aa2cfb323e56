#include "audio_out/ExportFormats.h"

#include <algorithm>
#include <cctype>

namespace lw {

namespace {

constexpr std::array<ExportFormatInfo, 6> kFormats{{
    {ExportFormat::Wav16, "wav16", "wav", "WAV, 16-bit", false},
    {ExportFormat::Wav24, "wav24", "wav", "WAV, 24-bit", false},
    {ExportFormat::Flac, "flac", "flac", "FLAC", false},
    {ExportFormat::Vorbis, "ogg", "ogg", "Ogg Vorbis", true},
    {ExportFormat::Opus, "opus", "opus", "Opus", true},
    {ExportFormat::Mp3, "mp3", "mp3", "MP3", true},
}};

constexpr std::array<const char*, Engine::kStems> kStemSuffixes{"-ch1", "-ch2", "-ch3", "-delay",
                                                                "-vinyl"};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Where the extension's dot is in the file name, or npos.
std::size_t ExtensionDot(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) ||
      dot == (slash == std::string_view::npos ? 0 : slash + 1)) {
    return std::string_view::npos; // no dot in the name, or a hidden file's leading one
  }
  return dot;
}

} // namespace

std::span<const ExportFormatInfo> ExportFormats() {
  return kFormats;
}

const ExportFormatInfo& InfoOf(ExportFormat format) {
  return kFormats[static_cast<std::size_t>(format)];
}

std::optional<ExportFormat> FormatNamed(std::string_view name) {
  for (const ExportFormatInfo& info : kFormats) {
    if (SameLetters(name, info.name)) {
      return info.format;
    }
  }
  return std::nullopt;
}

std::optional<ExportFormat> FormatOfPath(std::string_view path) {
  const std::size_t dot = ExtensionDot(path);
  if (dot == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view extension = path.substr(dot + 1);
  if (SameLetters(extension, "oga")) {
    return ExportFormat::Vorbis;
  }
  for (const ExportFormatInfo& info : kFormats) {
    if (SameLetters(extension, info.extension)) {
      return info.format; // ".wav" finds the 16-bit WAV first
    }
  }
  return std::nullopt;
}

std::array<std::string, Engine::kStems> StemPaths(const std::string& target, ExportFormat format) {
  const std::size_t dot = ExtensionDot(target);
  const std::string name = dot == std::string::npos ? target : target.substr(0, dot);
  const std::string extension =
      dot == std::string::npos ? std::string(".") + InfoOf(format).extension : target.substr(dot);
  std::array<std::string, Engine::kStems> paths;
  for (std::size_t s = 0; s < paths.size(); ++s) {
    paths[s] = name;
    paths[s] += kStemSuffixes[s];
    paths[s] += extension;
  }
  return paths;
}

} // namespace lw
