#pragma once

#include <string>

namespace lw {

// The folder part of a path, with its trailing separator ("" for a bare file name).
[[nodiscard]] std::string FolderOf(const std::string& path);
// True when the path holds a '.' anywhere, folders included.
[[nodiscard]] bool HasDot(const std::string& path);
[[nodiscard]] bool FileExists(const std::string& path);

// The folder of the running program's real file (links resolved), with its trailing
// separator.
[[nodiscard]] std::string ProgramFolder();

// Where a data file or folder of the program (the vinyl noise, the sample kit) lies:
// beside the program first (a build folder, or a program kept in one folder), then in
// the installed data folder, found relative to the program's folder (PREFIX/bin/ to
// PREFIX/share/loopwren/) so that any prefix works. When neither holds it, the path
// beside the program, so that a message names the first place looked.
[[nodiscard]] std::string FindDataFile(const std::string& programFolder, const std::string& name);
// The same for a folder; empty when neither place holds it.
[[nodiscard]] std::string FindDataFolder(const std::string& programFolder, const std::string& name);
// The installed data folder of a program in `programFolder` (PREFIX/share/loopwren/),
// whether or not it exists.
[[nodiscard]] std::string InstalledDataFolder(const std::string& programFolder);
// Whether `path` lies inside `folder` (links resolved, the folder itself included).
[[nodiscard]] bool IsInside(const std::string& path, const std::string& folder);

} // namespace lw
