#include "plugin/SongLoader.h"

#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "samples/SampleTable.h"
#include "song/FileIo.h"
#include "song/ReadOnlyFile.h"
#include "song/UserPrompts.h"

#include <optional>

namespace lw {
namespace {

// What loading tells the user, kept for the log; it asks nothing.
class LoadPrompts final : public UserPrompts {
public:
  void Notice(std::string_view text) override { Keep(text); }
  void Warning(std::string_view text) override { Keep(text); }
  bool Confirm(std::string_view text) override {
    Keep(text);
    return false;
  }
  void ReportIoError(std::string_view text) override { Keep(text); }
  std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
  [[nodiscard]] const std::string& said() const { return said_; }

private:
  void Keep(std::string_view text) {
    if (!said_.empty()) {
      said_ += ' ';
    }
    said_ += text;
  }
  std::string said_;
};

} // namespace

std::unique_ptr<Engine> LoadSongEngine(const std::string& path, const std::string& noisePath,
                                       std::string& why) {
  ReadOnlyFile probe;
  int error = 0;
  if (!probe.Open(path, &error)) {
    why = "cannot read " + path + ": " + SystemErrorText(error);
    return nullptr;
  }
  auto engine = std::make_unique<Engine>();
  LoadVinylNoise(*engine, noisePath);
  {
    const EngineHold hold(engine->engineLock);
    (void)ClearSampleTable(engine->samples);
    engine->NewSong();
  }
  LoadPrompts prompts;
  const OpenResult loaded = LoadCommandLineSong(*engine, prompts, path);
  if (!loaded.replaced || loaded.damaged) {
    why = path + " is damaged" + (prompts.said().empty() ? "" : ": " + prompts.said());
    return nullptr;
  }
  {
    const EngineHold hold(engine->engineLock);
    engine->UpdateTiming();
    engine->state.songChanged = false;
  }
  return engine;
}

} // namespace lw
