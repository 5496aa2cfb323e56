#include "audio_out/AudioExport.h"

#include "audio_out/ExportFile.h"
#include "song/FileIo.h"
#include "song/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace lw {

namespace {

// The files of one export: the mix, then the stems in the engine's order.
class ExportSink : public PatternSink {
public:
  ExportSink(const std::vector<std::string>& paths, const ExportOptions& options,
             uint64_t samples) {
    files_.reserve(paths.size());
    for (const std::string& path : paths) {
      try {
        files_.push_back(OpenExportFile(path, options, samples, kExportTempPrefix));
      } catch (const IoError& failure) {
        throw FileFailure{path, failure.what()};
      }
    }
    paths_ = paths;
  }

  [[nodiscard]] bool WantsStems() const override { return files_.size() > 1; }
  void Append(const int16_t* samples, std::size_t count) override {
    Guard(0, [&] { files_[0]->WriteMix(samples, count); });
  }
  void AppendStems(const Stems& stems, std::size_t count) override {
    for (std::size_t s = 0; s < stems.size(); ++s) {
      Guard(s + 1, [&] { files_[s + 1]->WriteStem(stems[s], count); });
    }
  }
  void Commit() {
    for (std::size_t f = 0; f < files_.size(); ++f) {
      Guard(f, [&] { files_[f]->Finish(); });
    }
    for (std::size_t f = 0; f < files_.size(); ++f) {
      Guard(f, [&] { files_[f]->Commit(); });
    }
  }

  // A failure of one file, with its name.
  struct FileFailure {
    std::string path;
    std::string reason;
  };

private:
  template <class Action> void Guard(std::size_t file, const Action& action) {
    try {
      action();
    } catch (const IoError& failure) {
      throw FileFailure{paths_[file], failure.what()};
    }
  }

  std::vector<std::string> paths_;
  std::vector<std::unique_ptr<ExportFile>> files_;
};

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

FileDialogSpec ExportDialogSpec(ExportFormat format, const std::string& folder) {
  const ExportFormatInfo& info = InfoOf(format);
  const std::string pattern = std::string("*.") + info.extension;
  return {"Export audio...",
          std::string(info.caption) + " (" + pattern + ")|" + pattern + "|All files (*.*)|*.*",
          pattern, folder};
}

std::string ExportTargetPath(const std::string& chosen, ExportFormat format) {
  const std::string extension = std::string(".") + InfoOf(format).extension;
  if (chosen.size() > extension.size()) {
    const std::string end = chosen.substr(chosen.size() - extension.size());
    bool same = true;
    for (std::size_t i = 0; i < end.size(); ++i) {
      same = same && std::tolower(static_cast<unsigned char>(end[i])) == extension[i];
    }
    if (same) {
      return chosen;
    }
  }
  return chosen + extension;
}

bool ExportAudioFile(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                     RenderKind kind, const std::string& target, const SlotRange& selection,
                     const ExportOptions& options) {
  if (engine.playing) {
    prompts.Notice(kRenderWhilePlaying);
    return false;
  }
  const BusyCursor busy(prompts);
  std::vector<std::string> paths{target};
  if (options.stems) {
    for (const std::string& stem : StemPaths(target, options.format)) {
      paths.push_back(stem);
    }
  }
  // Files that did not exist are created empty first, so that nothing else takes their
  // names meanwhile, and removed again if the export fails.
  std::vector<std::string> created;
  const auto removeCreated = [&created] {
    for (const std::string& path : created) {
      ::unlink(path.c_str());
    }
  };
  for (const std::string& path : paths) {
    bool isNew = false;
    int error = 0;
    if (!ProbeRenderTarget(path, isNew, error)) {
      removeCreated();
      prompts.Notice("Error creating \"" + path + "\"...\n" + SystemErrorText(error));
      return false;
    }
    if (isNew) {
      created.push_back(path);
    }
  }

  const SlotRange range =
      kind == RenderKind::EntireSong ? EntireSongRange(engine.Interface().sequence) : selection;
  const int32_t patterns = kind == RenderKind::ThisPattern ? 1 : range.last - range.first + 1;
  progress.Show();
  try {
    ExportSink sink(paths, options, RenderLength(engine, patterns));
    if (kind == RenderKind::ThisPattern) {
      RenderPattern(engine, engine.Interface().editBank, engine.Interface().editPattern, sink,
                    progress);
    } else {
      RenderSong(engine, range, sink, progress);
    }
    sink.Commit();
  } catch (const ExportSink::FileFailure& failure) {
    progress.Hide();
    removeCreated(); // the files remove their temporary files themselves
    prompts.ReportIoError(FileErrorText(failure.reason, failure.path));
    return false;
  }
  progress.Hide();
  return true;
}

std::string ReplaceStemsQuestion(const std::string& names) {
  return "These stems exist already:\r\n" + names + "Do you want to replace them ?";
}

bool ExportAudioCommand(Engine& engine, UserPrompts& prompts, RenderProgress& progress,
                        RenderKind kind, const SlotRange& selection, const ExportOptions& options,
                        std::string& folder) {
  if (engine.playing) {
    prompts.Notice(kRenderWhilePlaying);
    return false;
  }
  const auto chosen = prompts.AskSaveFile(ExportDialogSpec(options.format, folder));
  if (!chosen) {
    return false;
  }
  const std::string target = ExportTargetPath(*chosen, options.format);
  if (!FolderOf(target).empty()) {
    folder = FolderOf(target);
  }
  if (options.stems) {
    std::string existing;
    for (const std::string& stem : StemPaths(target, options.format)) {
      if (Exists(stem)) {
        existing += "\"" + stem + "\"\r\n";
      }
    }
    if (!existing.empty() && !prompts.Confirm(ReplaceStemsQuestion(existing))) {
      return false;
    }
  }
  return ExportAudioFile(engine, prompts, progress, kind, target, selection, options);
}

} // namespace lw
