#include "audio_out/RenderCommand.h"

#include "audio_out/WavFile.h"
#include "song/AtomicFileWriter.h"
#include "song/FileIo.h"
#include "song/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <limits>

namespace lw {

namespace {

static_assert(std::endian::native == std::endian::little,
              "rendered samples are written as they lie in memory");

// The WAV file of a render: the header, then every pattern as it is rendered, written
// once into a uniquely named temporary file in the target's folder, which takes the
// target's place only when it is complete and on disk. The data size is known before
// the first sample: every pattern is patternSamples long.
class WavFileSink : public PatternSink {
public:
  // False when the temporary file cannot be created; `error` gets errno.
  bool Open(const std::string& target, int& error) {
    return out_.Open(target, &error, kRenderTempPrefix);
  }
  void Begin(uint64_t samples) {
    const uint64_t dataBytes = samples * sizeof(int16_t);
    // A RIFF file counts its size in 32 bits.
    if (dataBytes > std::numeric_limits<uint32_t>::max() - (kWavHeaderSize - 8)) {
      throw IoError("The rendered audio is too long for a wave-file");
    }
    expected_ = kWavHeaderSize + dataBytes;
    const auto header = WavHeader(static_cast<uint32_t>(dataBytes));
    out_.Write(header.data(), header.size());
  }
  void Append(const int16_t* samples, std::size_t count) override {
    out_.Write(samples, count * sizeof(int16_t));
  }
  void Commit() {
    if (out_.Written() != expected_) {
      throw IoError("The rendered audio does not match its wave-file header");
    }
    out_.Commit();
  }

private:
  AtomicFileWriter out_;
  uint64_t expected_ = 0;
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
  WavFileSink sink;
  if (!sink.Open(target, error)) {
    prompts.Notice(std::string(kNoTempFile) + "\n" + SystemErrorText(error));
    removeCreatedTarget();
    return false;
  }

  const SlotRange range =
      kind == RenderKind::EntireSong ? EntireSongRange(engine.Interface().sequence) : selection;
  progress.Show();
  try {
    if (kind == RenderKind::ThisPattern) {
      sink.Begin(RenderLength(engine, 1));
      RenderPattern(engine, engine.Interface().editBank, engine.Interface().editPattern, sink,
                    progress);
    } else {
      sink.Begin(RenderLength(engine, range.last - range.first + 1));
      RenderSong(engine, range, sink, progress);
    }
    sink.Commit();
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
