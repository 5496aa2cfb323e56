#include "audio_out/RenderWav.h"

#include "audio_out/WavFile.h"
#include "song/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lw {

namespace {

// The temporary raw file: the samples of each pattern appended as they are rendered.
class RawFileSink : public PatternSink {
public:
  ~RawFileSink() override {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  bool Create(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
  }
  void Append(const int16_t* samples, std::size_t count) override {
    const auto* bytes = reinterpret_cast<const char*>(samples);
    std::size_t left = count * sizeof(int16_t);
    while (left > 0) {
      const ssize_t n = ::write(fd_, bytes, left);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n < 0) {
        throw IoError(SystemErrorText(errno));
      }
      bytes += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  void Close() {
    if (fd_ >= 0) {
      const int fd = fd_;
      fd_ = -1;
      if (::close(fd) != 0) {
        throw IoError(SystemErrorText(errno));
      }
    }
  }

private:
  int fd_ = -1;
};

// Makes sure the target can be written before anything is rendered. An existing target
// is opened without truncating it, so a failed render cannot destroy it; a new one is
// created empty and removed again if the render fails.
bool ProbeTarget(const std::string& target, bool& created) {
  created = false;
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created = fd >= 0;
  }
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

} // namespace

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
  if (!ProbeTarget(target, createdTarget)) {
    prompts.Notice("Error creating wave-file \"" + target + "\"...");
    return false;
  }
  const std::string tempPath = FolderOf(target) + kRenderTempName;
  const auto cleanUp = [&] {
    ::unlink(tempPath.c_str());
    if (createdTarget) {
      ::unlink(target.c_str());
    }
  };
  RawFileSink sink;
  if (!sink.Create(tempPath)) {
    prompts.Notice(kNoTempFile);
    cleanUp();
    return false;
  }

  progress.Show();
  try {
    switch (kind) {
    case RenderKind::ThisPattern:
      RenderPattern(engine, engine.state.editBank, engine.state.editPattern, sink, progress);
      break;
    case RenderKind::EntireSong:
      RenderSong(engine, EntireSongRange(engine.state.sequence), sink, progress);
      break;
    case RenderKind::SongLoop:
      RenderSong(engine, selection, sink, progress);
      break;
    }
    sink.Close();
    WriteWavFile(tempPath, target);
  } catch (const IoError& error) {
    progress.Hide();
    cleanUp();
    prompts.ReportIoError(error.what());
    return false;
  }
  progress.Hide();
  return true;
}

bool RenderWavCommand(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                      RenderKind kind, const SlotRange& selection, const std::string& folder) {
  if (engine.playing) {
    prompts.Notice(kRenderWhilePlaying);
    return false;
  }
  const auto chosen = prompts.AskSaveFile(RenderDialog(folder));
  if (!chosen) {
    return false;
  }
  return RenderToWavFile(engine, prompts, progress, kind, RenderTargetPath(*chosen), selection);
}

} // namespace lw
