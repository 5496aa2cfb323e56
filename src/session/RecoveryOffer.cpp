#include "session/RecoveryOffer.h"

#include "samples/SampleTable.h"
#include "samples/SongFile.h"
#include "session/DeadCopies.h"
#include "song/FileIo.h"
#include "song/ReadOnlyFile.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace lw {

namespace {

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string RecoveryQuestion(std::string_view title, int64_t savedAt) {
  std::string text = "LoopWren did not close properly. Recover your unsaved song \"";
  text += title;
  text += "\" from " + LocalTimeText(savedAt) + "?";
  return text;
}

std::string RecoveryCaption(const RecoveryInfo& info) {
  if (!info.title.empty()) {
    return info.title;
  }
  if (!info.songFileName.empty()) {
    return BaseName(info.songFileName);
  }
  return "Untitled";
}

std::string DamagedCopyText(const std::string& copyPath, std::string_view problem,
                            const std::string& keptAs) {
  std::string text = "The recovery copy \"" + copyPath + "\" cannot be loaded:\n";
  text += problem;
  text += keptAs.empty() ? "\nIt was left where it is." : "\nIt was kept as \"" + keptAs + "\".";
  return text;
}

RecoveryChoice ChooseRecovery(int64_t savedAt, const std::string& songFileName,
                              std::optional<int64_t> songFileTime) {
  if (!songFileName.empty() && songFileTime && *songFileTime > savedAt) {
    return RecoveryChoice::KeepAside;
  }
  return RecoveryChoice::Ask;
}

std::optional<std::string> CheckSongCopy(const std::string& path) {
  ReadOnlyFile file;
  int error = 0;
  if (!file.Open(path, &error)) {
    return SystemErrorText(error);
  }
  if (!file.SizeKnown()) {
    return std::string("The file is empty");
  }
  try {
    char magic[sizeof kSongMagic];
    file.ReadExactly(magic, sizeof magic);
    if (!std::equal(std::begin(magic), std::end(magic), std::begin(kSongMagic))) {
      return std::string("It is not a LoopWren Track");
    }
    file.Seek(kSongHeaderSize);
    for (int i = 0; i < kSampleSlots; ++i) {
      SlotRecord record{};
      file.ReadExactly(record.data(), record.size());
      SampleSlot slot;
      DecodeSlotRecord(record, slot);
      if (!slot.isUsed()) {
        continue;
      }
      if (slot.length < 0) {
        return "Sample slot " + std::to_string(i + 1) + " has a negative length";
      }
      const uint64_t data = static_cast<uint64_t>(slot.length) * sizeof(int16_t);
      if (!file.MayHold(data)) {
        return std::string(kReadBeyondEnd);
      }
      file.Seek(file.Position() + data);
    }
  } catch (const IoError& failure) {
    return std::string(failure.what());
  }
  if (file.Remaining() != 0) {
    return std::string("The file goes on past the end of the song");
  }
  return std::nullopt;
}

RecoveryOutcome OfferRecovery(Engine& engine, UserPrompts& prompts, const RecoveryInstance& own) {
  RecoveryOutcome result;
  bool loaded = false;
  for (const auto& dead : ClaimDeadCopies(own.Folder(), own.Name())) {
    const RecoveryInfo& info = dead->Info();
    if (loaded || ChooseRecovery(info.savedAt, info.songFileName, FileTime(info.songFileName)) ==
                      RecoveryChoice::KeepAside) {
      dead->KeepAside();
      continue;
    }
    const std::string path = dead->CopyPath();
    if (const auto problem = CheckSongCopy(path)) {
      const std::string kept = dead->KeepAside();
      prompts.Notice(DamagedCopyText(path, *problem, kept));
      continue;
    }
    if (!prompts.Confirm(RecoveryQuestion(RecoveryCaption(info), info.savedAt))) {
      dead->KeepAside();
      continue;
    }
    const OpenResult opened = RecoverSongCopy(engine, prompts, path, info.songFileName);
    if (!opened.replaced) {
      dead->KeepAside(); // what went wrong was reported as Open reports it
      continue;
    }
    loaded = true;
    result.opened = opened;
    // The copy holds exactly the song now loaded: it becomes this run's own.
    if (own.Started() && own.AdoptCopy(path, info)) {
      dead->Remove();
      result.adopted = true;
    } else {
      dead->KeepAside();
    }
  }
  RemoveOldKeptAsideCopies(own.Folder(), NowMilliseconds());
  return result;
}

} // namespace lw
