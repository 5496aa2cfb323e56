#pragma once

#include "EngineHelpers.h"
#include "TempDir.h"
#include "engine/Engine.h"
#include "samples/SongFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What the recovery tests share: a fixed moment, local time pinned to UTC, and songs to
// copy.
namespace lw::test {

// 2026-12-08 14:05:00 UTC, in milliseconds.
inline constexpr int64_t kDecember8 = int64_t{1796738700} * 1000;

// Local time is UTC while a test runs, so the texts are the same on every machine.
struct Utc {
  Utc() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

inline std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

inline std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// An engine holding a song with a title, a note, a sequence and a sample.
inline std::unique_ptr<Engine> SongEngine(const std::string& title, int note = 40) {
  auto engine = test::NewEngine();
  engine->state.song.title.assignText(title);
  test::PutNote(*engine, 2, 3, 1, 7, 4).note = note;
  engine->state.sequence.slots[5] = {2, 3};
  std::vector<int16_t> data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<int16_t>(i * 13 - 30000);
  }
  test::PutSample(*engine, 4, data, 22050, SampleCategory::Drum, "Kick");
  return engine;
}

inline std::string CopyOf(const Engine& e) {
  return SongFileBytes(e.state.song, e.state.sequence, e.samples);
}

inline std::ptrdiff_t FilesIn(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(folder),
                       std::filesystem::directory_iterator());
}

} // namespace lw::test
