#include "commands/SampleCommands.h"

#include "samples/SoundFileImport.h"
#include "song/Paths.h"

#include <memory>
#include <string_view>
#include <utility>

namespace lw {

namespace {

// The user's side for a file read only to be heard: nothing is shown, and a file too
// large to import whole is heard as far as the import would keep it.
class QuietPrompts : public UserPrompts {
public:
  void Notice(std::string_view /*text*/) override {}
  void Warning(std::string_view /*text*/) override {}
  bool Confirm(std::string_view text) override { return text == kAudioTooLargeQuestion; }
  void ReportIoError(std::string_view /*text*/) override {}
  std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override {
    return std::nullopt;
  }
};

PreviewSound SoundOf(ImportedAudio audio, const tWavImportInfo& info) {
  if (audio.bytes == 0 || info.sampleRate <= 0) {
    return {};
  }
  return {std::make_shared<const SampleData>(std::move(audio.data)),
          static_cast<uint32_t>(info.sampleRate)};
}

// Asks for a file with `dialog`. With a previewer, the files selected while the dialog
// is open are heard as `read` reads them, and a preview begun there ends with the dialog.
std::optional<std::string> AskHearing(UserPrompts& prompts, FileDialogSpec dialog,
                                      SamplePreviewer* preview,
                                      PreviewSound (*read)(const std::string&)) {
  bool heard = false;
  if (preview != nullptr) {
    dialog.preview = [preview, read, &heard](const std::string& path) {
      heard = true;
      preview->Preview(read(path)); // an unreadable file silences the one before
    };
  }
  std::optional<std::string> chosen = prompts.AskOpenFile(dialog);
  if (heard) {
    preview->StopPreview();
  }
  return chosen;
}

// The slot behind the selected line, or -1.
int32_t SelectedSlot(const Engine& engine, const SampleManagerState& manager) {
  if (manager.selected < 0 || manager.selected >= CountUsedSlots(engine.InterfaceSamples())) {
    return -1;
  }
  return manager.slotIndexMap[static_cast<std::size_t>(manager.selected)];
}

// The next import dialog opens where the user picked the last file.
std::string FolderForNextImport(const std::string& chosen) {
  const std::string folder = FolderOf(chosen);
  return folder.empty() ? std::string(".") : folder;
}

// Asks for a file and imports it. Nothing when the dialog was cancelled.
std::optional<ImportedAudio> AskAndImport(UserPrompts& prompts, SampleManagerState& manager,
                                          SamplePreviewer* preview) {
  const auto chosen =
      AskHearing(prompts, ImportSampleDialog(manager.lastImportFolder), preview, ImportFileSound);
  if (!chosen) {
    return std::nullopt;
  }
  ImportedAudio audio = ImportAudioFile(*chosen, prompts, manager.importInfo);
  manager.lastImportFolder = FolderForNextImport(*chosen);
  return audio;
}

void MarkChanged(Engine& engine) {
  const EngineHold hold(engine.engineLock);
  engine.state.songChanged = true;
}

// Puts an imported sound into the lowest free slot as an instrument sample. The song
// counts as changed once a file was chosen, even when it was refused.
ImportOutcome StoreImport(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                          ImportedAudio audio) {
  ImportOutcome outcome = ImportOutcome::Refused;
  if (audio.bytes > 0) {
    {
      const EngineHold hold(engine.engineLock);
      const int32_t slot = FindFreeSlot(engine.samples);
      if (slot >= 0) {
        FillSlot(engine.samples.slots[static_cast<std::size_t>(slot)], std::move(audio.data),
                 static_cast<uint32_t>(manager.importInfo.sampleRate), manager.importInfo.name,
                 SampleCategory::Instrument);
        outcome = ImportOutcome::Imported;
      } else {
        outcome = ImportOutcome::TableFull;
      }
    }
    if (outcome == ImportOutcome::TableFull) {
      prompts.Notice("You have reached the limit of 64 samples");
    } else {
      RefreshSampleList(engine, manager);
    }
  }
  MarkChanged(engine);
  return outcome;
}

} // namespace

FileDialogSpec ImportSampleDialog(const std::string& folder) {
  return {"Import a new sample",
          "Wave-files (*.wav)|*.wav|Raw sample data (*.raw)|*.raw|SMP-Files|*.smp|"
          "Raw samples (*.sam)|*.sam",
          "", folder};
}

void RefreshSampleList(Engine& engine, SampleManagerState& manager) {
  const EngineHold hold(engine.engineLock);
  SampleListLines(engine.samples, manager.lines);
  BuildSlotIndexMap(engine.samples, manager.slotIndexMap);
  manager.selected = static_cast<int32_t>(manager.lines.size()) - 1;
}

void SelectSample(SampleManagerState& manager, int32_t position) {
  const bool valid = position >= 0 && position < static_cast<int32_t>(manager.lines.size());
  manager.selected = valid ? position : -1;
}

SampleDetails ShowSampleDetails(Engine& engine, const SampleManagerState& manager) {
  const EngineHold hold(engine.engineLock);
  const int32_t slot = SelectedSlot(engine, manager);
  if (slot < 0) {
    return {};
  }
  const SampleSlot& s = engine.samples.slots[static_cast<std::size_t>(slot)];
  SampleDetails details;
  details.name = s.name.text();
  details.size = std::to_string(s.length) + " samples";
  details.quality = std::to_string(s.rate) + "Hz, 16Bit, Mono";
  details.canDeleteOrReplace = true;
  if (s.category <= static_cast<uint8_t>(SampleCategory::Loop)) {
    details.category = static_cast<SampleCategory>(s.category);
  }
  return details;
}

void ImportNewSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                     SamplePreviewer* preview) {
  std::optional<ImportedAudio> audio = AskAndImport(prompts, manager, preview);
  if (audio) {
    StoreImport(engine, prompts, manager, std::move(*audio));
  }
}

ImportOutcome ImportSampleFile(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                               const std::string& path) {
  return StoreImport(engine, prompts, manager, ImportAudioFile(path, prompts, manager.importInfo));
}

FileDialogSpec ConvertSampleDialog(const std::string& folder) {
  return {"Import and convert a sample",
          "Sound files (*.wav *.aif *.aiff *.aifc *.flac *.ogg *.oga *.opus *.mp3 *.caf *.w64 "
          "*.rf64)|*.wav;*.aif;*.aiff;*.aifc;*.flac;*.ogg;*.oga;*.opus;*.mp3;*.caf;*.w64;*.rf64|"
          "All files (*)|*",
          "", folder};
}

void ImportAndConvertSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                            SamplePreviewer* preview) {
  const auto chosen =
      AskHearing(prompts, ConvertSampleDialog(manager.lastImportFolder), preview, ConvertFileSound);
  if (!chosen) {
    return;
  }
  ImportedAudio audio = ConvertSoundFile(*chosen, prompts, manager.importInfo);
  manager.lastImportFolder = FolderForNextImport(*chosen);
  StoreImport(engine, prompts, manager, std::move(audio));
}

ImportOutcome ImportDroppedSampleFile(Engine& engine, UserPrompts& prompts,
                                      SampleManagerState& manager, const std::string& path) {
  if (!WavNeedsConversion(path)) {
    return ImportSampleFile(engine, prompts, manager, path);
  }
  return StoreImport(engine, prompts, manager, ConvertSoundFile(path, prompts, manager.importInfo));
}

void DeleteSelectedSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager) {
  if (CountUsedSlots(engine.InterfaceSamples()) == 0) {
    return;
  }
  if (!prompts.Confirm(
          "Are you sure you want to delete this sample (and references to it in your song) ?")) {
    return;
  }
  const int32_t slot = SelectedSlot(engine, manager);
  if (slot < 0 || !engine.InterfaceSamples().slots[static_cast<std::size_t>(slot)].isUsed()) {
    return;
  }
  SampleData released; // freed after the lock is let go
  {
    const EngineHold hold(engine.engineLock);
    released = DeleteSample(engine.samples, engine.state.song, slot);
  }
  manager.selected = -1;
  RefreshSampleList(engine, manager);
  MarkChanged(engine);
}

void ReplaceSelectedSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                           SamplePreviewer* preview) {
  if (CountUsedSlots(engine.InterfaceSamples()) == 0) {
    return;
  }
  if (!prompts.Confirm("Are you sure you want to replace this sample with another one ?\r\n"
                       "The original sample will be deleted after you have selected\r\n"
                       "a new/better one from disk...")) {
    return;
  }
  const int32_t slot = SelectedSlot(engine, manager);
  if (slot < 0 || !engine.InterfaceSamples().slots[static_cast<std::size_t>(slot)].isUsed()) {
    return;
  }
  std::optional<ImportedAudio> audio = AskAndImport(prompts, manager, preview);
  if (!audio) {
    return;
  }
  if (audio->bytes > 0) {
    SampleData released; // freed after the lock is let go
    {
      const EngineHold hold(engine.engineLock);
      released = ReplaceSlotData(
          engine.samples.slots[static_cast<std::size_t>(slot)], std::move(audio->data),
          static_cast<uint32_t>(manager.importInfo.sampleRate), manager.importInfo.name);
    }
    RefreshSampleList(engine, manager);
  }
  MarkChanged(engine);
}

PreviewSound SelectedSampleSound(const Engine& engine, const SampleManagerState& manager) {
  const int32_t slot = SelectedSlot(engine, manager);
  if (slot < 0) {
    return {};
  }
  const SampleSlot& s = engine.InterfaceSamples().slots[static_cast<std::size_t>(slot)];
  if (!s.isUsed() || s.length <= 0 || s.data.size() < static_cast<std::size_t>(s.length)) {
    return {};
  }
  return {std::make_shared<const SampleData>(s.data.begin(), s.data.begin() + s.length), s.rate};
}

PreviewSound ImportFileSound(const std::string& path) {
  QuietPrompts quiet;
  tWavImportInfo info;
  PreviewSound sound = SoundOf(ImportAudioFile(path, quiet, info), info);
  if (sound.empty() && WavNeedsConversion(path)) {
    return ConvertFileSound(path);
  }
  return sound;
}

PreviewSound ConvertFileSound(const std::string& path) {
  QuietPrompts quiet;
  tWavImportInfo info;
  return SoundOf(ConvertSoundFile(path, quiet, info), info);
}

void SetSelectedCategory(Engine& engine, const SampleManagerState& manager,
                         SampleCategory category) {
  const EngineHold hold(engine.engineLock);
  const int32_t slot = SelectedSlot(engine, manager);
  if (slot < 0) {
    return;
  }
  engine.samples.slots[static_cast<std::size_t>(slot)].category = static_cast<uint8_t>(category);
  engine.state.songChanged = true;
}

} // namespace lw
