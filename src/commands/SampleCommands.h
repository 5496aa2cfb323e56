#pragma once

#include "audio_out/SamplePreview.h"
#include "engine/Engine.h"
#include "samples/WavImport.h"
#include "song/UserPrompts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lw {

// What the sample manager dialog keeps between its operations: where the import dialog
// opens next, the lines its list shows with the slot behind each, the selected line and
// the description of the last import. The dialog owns one for the life of the program.
struct SampleManagerState {
  std::string lastImportFolder = ".";
  std::vector<std::string> lines;
  SlotIndexMap slotIndexMap{};
  int32_t selected = -1; // list position; -1 = no line selected
  tWavImportInfo importInfo;
};

// The right-hand side of the dialog for the selected sample.
struct SampleDetails {
  std::string name = "---";    // UTF-8
  std::string size = "---";    // "4410 samples"
  std::string quality = "---"; // "44100Hz, 16Bit, Mono"
  bool canDeleteOrReplace = false;
  // The radio button to check; none leaves the buttons as they are.
  std::optional<SampleCategory> category;
};

// The import dialog, opening in `folder`.
[[nodiscard]] FileDialogSpec ImportSampleDialog(const std::string& folder);

// The operations below run on the interface thread. They read files and ask the user
// without the engine lock and take it only to change the table, so playback may go on.

// Rebuilds the list and the slot map from the table and selects the last line.
void RefreshSampleList(Engine& engine, SampleManagerState& manager);
// A click in the list.
void SelectSample(SampleManagerState& manager, int32_t position);
[[nodiscard]] SampleDetails ShowSampleDetails(Engine& engine, const SampleManagerState& manager);

// "Import new sample": asks for a file and puts it into the lowest free slot as an
// instrument sample. Once a file was chosen the song counts as changed, even when the
// file was refused. With a previewer, each file selected in the dialog is heard through
// it as ImportFileSound reads it, and closing the dialog ends that.
void ImportNewSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                     SamplePreviewer* preview = nullptr);
// The same for a file given without the dialog (dropped on the window), with the same
// checks and messages. The import folder stays where it was.
enum class ImportOutcome { Imported, Refused, TableFull };
ImportOutcome ImportSampleFile(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                               const std::string& path);
// "Import and convert...": asks for any sound file libsndfile reads and puts it, converted
// to 16-bit mono (ConvertSound), into the lowest free slot as "Import new sample" does;
// the dialog's selection is heard as ConvertFileSound reads it.
void ImportAndConvertSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                            SamplePreviewer* preview = nullptr);
[[nodiscard]] FileDialogSpec ConvertSampleDialog(const std::string& folder);
// A dropped file: converted when it is a WAV the plain import would refuse for its depth
// or channel count, otherwise as ImportSampleFile.
ImportOutcome ImportDroppedSampleFile(Engine& engine, UserPrompts& prompts,
                                      SampleManagerState& manager, const std::string& path);
// "Delete": asks, then removes the song's references to the selected sample and frees it.
void DeleteSelectedSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager);
// "Replace": asks, then gives the selected sample a new sound from a file; its slot, its
// category and the notes that play it stay. Its dialog is heard as the import's is.
void ReplaceSelectedSample(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                           SamplePreviewer* preview = nullptr);
// The sounds the sample manager lets the user hear. They tell the user nothing: what
// cannot be read is simply not heard (an empty sound).
//
// The selected sample's sound, copied out of the table so that a delete or a replace
// leaves it whole; empty while no line is selected.
[[nodiscard]] PreviewSound SelectedSampleSound(const Engine& engine,
                                               const SampleManagerState& manager);
// A file as "Import new sample" reads it (a WAV, raw data, or a converted sound file); a
// WAV that import refuses for its depth or channels is heard converted. A file too large
// to import whole is heard as far as the import would keep it.
[[nodiscard]] PreviewSound ImportFileSound(const std::string& path);
// A file as "Import and convert..." reads it.
[[nodiscard]] PreviewSound ConvertFileSound(const std::string& path);

// The category radio buttons; nothing happens while no line is selected.
void SetSelectedCategory(Engine& engine, const SampleManagerState& manager,
                         SampleCategory category);

} // namespace lw
