#pragma once

#include "engine/Engine.h"
#include "song/UserPrompts.h"

#include <string>

namespace lw {

// How an Open ended. When the song was replaced, the window copies the five song-wide
// settings into its knobs, redraws everything and shows the sequencer when asked to.
struct OpenResult {
  bool replaced = false;
  bool damaged = false;       // the file opened but could not be read whole
  bool showSequencer = false; // the loaded sequence reaches beyond slot 0
};

[[nodiscard]] FileDialogSpec OpenSongDialog(const std::string& folder);
[[nodiscard]] FileDialogSpec SaveSongDialog(const std::string& folder);

// A path from a song dialog: ".LW" is added when it holds no dot at all.
[[nodiscard]] std::string SongPathFromDialog(const std::string& chosen);

// Open: asks for a file, then, when the song has unsaved changes, whether to lose them
// ("Changes were made to the song..."); No changes nothing.
// Reads a whole song file and, only once it is complete, puts it in place of the song,
// the sequence and the samples, then follows its timing. A file that cannot be opened
// changes nothing but songFileName; one that fails while it is read is reported through
// the general error report and leaves the previous song as it was. Interface thread;
// takes the engine lock only for the swap.
OpenResult OpenSong(Engine& engine, UserPrompts& prompts, const std::string& folder);
// Open's reading of the file the dialog gave.
OpenResult OpenSongFile(Engine& engine, UserPrompts& prompts, const std::string& path);
// Whether a file given to the program is meant as a song: its name ends in ".LW" (in any
// case), or it begins as the program's song files do.
[[nodiscard]] bool LooksLikeSong(const std::string& path);

// Opens a file the user gave without the dialog (dropped on a window, picked from the
// recent songs), asking about unsaved changes as Open does. A file that cannot be opened
// is reported and changes nothing, the song's name included.
OpenResult OpenGivenSong(Engine& engine, UserPrompts& prompts, const std::string& path);

// Start-up's load of the song named on the command line: silent when the file cannot be
// opened (the name stays, so Save writes there); a damaged file is reported and leaves
// no name. Timing, redraw and songChanged are left to the rest of start-up.
OpenResult LoadCommandLineSong(Engine& engine, UserPrompts& prompts, const std::string& path);

// Puts a recovery copy's song in place of the song, read as Open reads a file, as an
// unsaved song named after the file it belongs to (empty for a song never saved), so that
// Save writes it where it belongs. A copy that cannot be read whole is reported as Open
// reports a file and changes nothing.
OpenResult RecoverSongCopy(Engine& engine, UserPrompts& prompts, const std::string& copyPath,
                           const std::string& songFileName);

// Save writes songFileName (Save as when it is empty); Save as asks for the file first.
// The file is written beside its target and renamed over it once complete, so a failed
// save leaves the previous file and songChanged as they were. True when saved.
bool SaveSong(Engine& engine, UserPrompts& prompts, const std::string& folder);

// Whether Save may write the song back to `path`, the file it came from: not into the
// program's installed data (`installedData`: the demo songs, which a Save as root would
// overwrite), and only where the song can be written at all (its folder takes a new file,
// or the file itself may be written over). Elsewhere the song is saved as a new song:
// Save asks for its name.
[[nodiscard]] bool MaySaveBackTo(const std::string& path, const std::string& installedData);

// Sets or clears songChanged: New, Open, Save and the end of start-up clear it.
void SetSongChanged(Engine& engine, bool changed);
bool SaveSongAs(Engine& engine, UserPrompts& prompts, const std::string& folder);

} // namespace lw
