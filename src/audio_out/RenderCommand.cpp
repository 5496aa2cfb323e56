#include "audio_out/RenderCommand.h"

#include "audio_out/WavFile.h"
#include "song/FileIo.h"
#include "song/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lw {

namespace {

// A render's WAV file, as the render hands it each pattern.
class WavFileSink : public PatternSink {
public:
  explicit WavFileSink(WavFileWriter& file) : file_(file) {}
  void Append(const int16_t* samples, std::size_t count) override { file_.Write(samples, count); }

private:
  WavFileWriter& file_;
};

} // namespace

bool ProbeRenderTarget(const std::string& target, bool& created, int& error) {
  created = false;
  // Never waits: a pipe nobody reads from is refused (ENXIO) instead of hanging.
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created = fd >= 0;
  }
  if (fd < 0) {
    error = errno;
    return false;
  }
  ::close(fd);
  return true;
}

uint64_t RenderLength(Engine& engine, int32_t patterns) {
  const EngineHold hold(engine.engineLock);
  return static_cast<uint64_t>(patterns) * static_cast<uint64_t>(engine.clock.patternSamples);
}

FileDialogSpec RenderDialog(const std::string& folder) {
  return {"Stream to a wave-file...", "Windows wave-files (*.wav)|*.wav|All files (*.*)|*.*",
          "*.wav", folder};
}

std::string RenderTargetPath(const std::string& chosen) {
  return HasDot(chosen) ? chosen : chosen + ".wav";
}

bool RenderToWavFile(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                     RenderKind kind, const std::string& target, const SlotRange& selection) {
  if (engine.playing) {
    prompts.Notice(kRenderWhilePlaying);
    return false;
  }
  const BusyCursor busy(prompts);
  bool createdTarget = false;
  int error = 0;
  if (!ProbeRenderTarget(target, createdTarget, error)) {
    prompts.Notice("Error creating wave-file \"" + target + "\"...\n" + SystemErrorText(error));
    return false;
  }
  const auto removeCreatedTarget = [&] {
    if (createdTarget) {
      ::unlink(target.c_str());
    }
  };
  WavFileWriter file;
  WavFileSink sink(file);
  if (!file.Open(target, error, kRenderTempPrefix)) {
    prompts.Notice(std::string(kNoTempFile) + "\n" + SystemErrorText(error));
    removeCreatedTarget();
    return false;
  }

  const SlotRange range =
      kind == RenderKind::EntireSong ? EntireSongRange(engine.Interface().sequence) : selection;
  progress.Show();
  try {
    if (kind == RenderKind::ThisPattern) {
      file.Begin(RenderLength(engine, 1));
      RenderPattern(engine, engine.Interface().editBank, engine.Interface().editPattern, sink,
                    progress);
    } else {
      file.Begin(RenderLength(engine, range.last - range.first + 1));
      RenderSong(engine, range, sink, progress);
    }
    file.Commit();
  } catch (const IoError& failure) {
    progress.Hide();
    removeCreatedTarget(); // the sink removes its temporary file itself
    prompts.ReportIoError(FileErrorText(failure.what(), target));
    return false;
  }
  progress.Hide();
  return true;
}

bool RenderWavCommand(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                      RenderKind kind, const SlotRange& selection, std::string& folder) {
  if (engine.playing) {
    prompts.Notice(kRenderWhilePlaying);
    return false;
  }
  const auto chosen = prompts.AskSaveFile(RenderDialog(folder));
  if (!chosen) {
    return false;
  }
  const std::string target = RenderTargetPath(*chosen);
  if (!FolderOf(target).empty()) {
    folder = FolderOf(target);
  }
  return RenderToWavFile(engine, prompts, progress, kind, target, selection);
}

} // namespace lw
