#include "commands/SongCommands.h"

#include "samples/SongFile.h"
#include "song/Paths.h"
#include "song/SongPosition.h"

#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

namespace lw {

namespace {

enum class LoadMessages { Shown, Silent };

// Reads `path` and swaps it in. The previous content is freed after the lock is let go.
OpenResult ReadAndReplace(Engine& engine, UserPrompts& prompts, const std::string& path,
                          LoadMessages messages) {
  ReadOnlyFile file;
  int error = 0;
  if (!file.Open(path, &error)) {
    if (messages == LoadMessages::Shown) {
      prompts.Notice("Error opening LoopWren Track \"" + path + "\"...\n" + SystemErrorText(error));
    }
    return {};
  }
  // Until the whole file is read, the song in memory is untouched.
  std::unique_ptr<SongContent> content;
  try {
    content = ReadSongBody(file);
  } catch (const IoError& failure) {
    prompts.ReportIoError(FileErrorText(failure.what(), path));
    return {false, true, false};
  } catch (const std::bad_alloc&) {
    prompts.ReportIoError(FileErrorText(kOutOfMemory, path));
    return {false, true, false};
  }
  {
    const EngineHold hold(engine.engineLock);
    std::swap(engine.state.song, content->song);
    std::swap(engine.state.sequence, content->sequence);
    std::swap(engine.samples, content->samples);
  }
  return {true, false, LastSequenceEntry(engine.Interface().sequence) > 0};
}

// The interface thread is the only writer of what a song file holds, so it writes the
// file without holding the lock.
bool WriteTo(Engine& engine, UserPrompts& prompts) {
  const SongDocument& state = engine.Interface();
  const std::string& path = state.songFileName;
  AtomicFileWriter out;
  int error = 0;
  if (!out.Open(path, &error)) {
    prompts.Notice("Error saving LoopWren Track \"" + path + "\"...\n" + SystemErrorText(error));
    return false;
  }
  try {
    WriteSongBody(out, state.song, state.sequence, engine.InterfaceSamples());
    out.Commit();
  } catch (const IoError& failure) {
    prompts.ReportIoError(FileErrorText(failure.what(), path));
    return false;
  } catch (const std::bad_alloc&) {
    prompts.ReportIoError(FileErrorText(kOutOfMemory, path));
    return false;
  }
  SetSongChanged(engine, false);
  return true;
}

void SetSongFileName(Engine& engine, std::string path) {
  const EngineHold hold(engine.engineLock);
  engine.state.songFileName = std::move(path);
}

} // namespace

FileDialogSpec OpenSongDialog(const std::string& folder) {
  return {"Open a song...", "LoopWren Tracks (*.LW)|*.LW|All files|*.*", "*.LW", folder};
}

FileDialogSpec SaveSongDialog(const std::string& folder) {
  return {"Save your song", "LoopWren Tracks (*.LW)|*.LW|All files (*.*)|*.*", "*.LW", folder};
}

std::string SongPathFromDialog(const std::string& chosen) {
  return HasDot(chosen) ? chosen : chosen + ".LW";
}

namespace {

// Unsaved work goes only with the user's agreement (and is not asked about when there is
// none to lose).
bool MayReplaceSong(Engine& engine, UserPrompts& prompts, const std::string& path) {
  return !engine.Interface().songChanged ||
         prompts.Confirm("Changes were made to the song...\r\nDo you really want to open \"" +
                         path + "\" without saving ?");
}

} // namespace

OpenResult OpenSong(Engine& engine, UserPrompts& prompts, const std::string& folder) {
  const auto chosen = prompts.AskOpenFile(OpenSongDialog(folder));
  if (!chosen) {
    return {};
  }
  const std::string path = SongPathFromDialog(*chosen);
  if (!MayReplaceSong(engine, prompts, path)) {
    return {};
  }
  return OpenSongFile(engine, prompts, path);
}

OpenResult OpenSongFile(Engine& engine, UserPrompts& prompts, const std::string& path) {
  const std::string previousName = engine.Interface().songFileName;
  SetSongFileName(engine, path);
  const OpenResult result = ReadAndReplace(engine, prompts, path, LoadMessages::Shown);
  if (result.damaged) {
    // The file is there but damaged: the previous song stays, and so does its name, so
    // a Save cannot overwrite the damaged file with a different song.
    SetSongFileName(engine, previousName);
  }
  if (result.replaced) {
    const EngineHold hold(engine.engineLock);
    engine.UpdateTiming();
    engine.state.songChanged = false;
  }
  return result;
}

bool LooksLikeSong(const std::string& path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
      c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (extension == "LW") {
      return true;
    }
  }
  ReadOnlyFile file;
  if (!file.Open(path)) {
    return false;
  }
  char magic[sizeof kSongMagic] = {};
  return file.ReadSome(magic, sizeof magic) == sizeof magic &&
         std::equal(std::begin(magic), std::end(magic), std::begin(kSongMagic));
}

OpenResult OpenGivenSong(Engine& engine, UserPrompts& prompts, const std::string& path) {
  if (!MayReplaceSong(engine, prompts, path)) {
    return {};
  }
  const std::string previousName = engine.Interface().songFileName;
  const OpenResult result = OpenSongFile(engine, prompts, path);
  if (!result.replaced) {
    // No dialog offered this file: one that is gone must not become the song's name, or
    // the next Save would write the song there.
    SetSongFileName(engine, previousName);
  }
  return result;
}

OpenResult LoadCommandLineSong(Engine& engine, UserPrompts& prompts, const std::string& path) {
  SetSongFileName(engine, path);
  const OpenResult result = ReadAndReplace(engine, prompts, path, LoadMessages::Silent);
  if (result.damaged) {
    // As with Open: the default song keeps no name, so a Save cannot overwrite the
    // damaged file with it.
    SetSongFileName(engine, {});
  }
  return result;
}

OpenResult RecoverSongCopy(Engine& engine, UserPrompts& prompts, const std::string& copyPath,
                           const std::string& songFileName) {
  const OpenResult result = ReadAndReplace(engine, prompts, copyPath, LoadMessages::Shown);
  if (result.replaced) {
    const EngineHold hold(engine.engineLock);
    engine.state.songFileName = songFileName;
    engine.UpdateTiming();
    engine.state.songChanged = true;
  }
  return result;
}

bool SaveSong(Engine& engine, UserPrompts& prompts, const std::string& folder) {
  if (engine.Interface().songFileName.empty()) {
    return SaveSongAs(engine, prompts, folder);
  }
  const BusyCursor busy(prompts);
  return WriteTo(engine, prompts);
}

bool MaySaveBackTo(const std::string& path, const std::string& installedData) {
  if (!installedData.empty() && IsInside(path, installedData)) {
    return false;
  }
  const std::string folder = FolderOf(path);
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0 ||
         ::access(path.c_str(), W_OK) == 0;
}

void SetSongChanged(Engine& engine, bool changed) {
  const EngineHold hold(engine.engineLock);
  engine.state.songChanged = changed;
}

bool SaveSongAs(Engine& engine, UserPrompts& prompts, const std::string& folder) {
  const auto chosen = prompts.AskSaveFile(SaveSongDialog(folder));
  if (!chosen) {
    return false;
  }
  const BusyCursor busy(prompts);
  SetSongFileName(engine, SongPathFromDialog(*chosen));
  return WriteTo(engine, prompts);
}

} // namespace lw
