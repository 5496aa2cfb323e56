#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QSettings;
class QWidget;

namespace lw {

struct ExportChoice;

// What the program remembers between runs: the import dialog's folder, where the windows
// were, the songs opened last, the export dialog's choices and the live output. Kept by
// QSettings where the desktop keeps a user's settings ($XDG_CONFIG_HOME/loopwren/loopwren.conf),
// never beside the program.
class ProgramSettings {
public:
  static constexpr int kRecentSongs = 8;

  // The user's own settings.
  ProgramSettings();
  // Settings kept in the given file (tests, tools).
  explicit ProgramSettings(const QString& file);
  ~ProgramSettings();
  ProgramSettings(const ProgramSettings&) = delete;
  ProgramSettings& operator=(const ProgramSettings&) = delete;

  [[nodiscard]] std::string importFolder() const;
  void setImportFolder(const std::string& folder);
  // Where the song dialogs opened a file last.
  [[nodiscard]] std::string songFolder() const;
  void setSongFolder(const std::string& folder);
  // Where the render dialog wrote a file last.
  [[nodiscard]] std::string renderFolder() const;
  void setRenderFolder(const std::string& folder);
  // What the export dialog was accepted with last; its defaults where nothing (or nothing
  // this program knows) is kept.
  [[nodiscard]] ExportChoice exportChoice() const;
  void setExportChoice(const ExportChoice& choice);

  // A window's outer top-left corner, by the window's name.
  [[nodiscard]] std::optional<QPoint> windowPosition(const QString& window) const;
  void setWindowPosition(const QString& window, QPoint position);

  // The live output chosen in "Audio & MIDI" (OutputChoiceKey's words; empty when never
  // chosen).
  [[nodiscard]] std::string audioOutput() const;
  void setAudioOutput(const std::string& choice);

  // What MIDI learn taught (MidiMapping's text) and the ALSA sequencer ports turned off
  // in "Audio & MIDI" (one name a line); empty when never set.
  // Whose time the song keeps (SyncChoiceKey's words; empty when never chosen).
  [[nodiscard]] std::string timeKeeper() const;
  // Ableton Link on (off when never chosen).
  [[nodiscard]] bool linkOn() const;
  void setLinkOn(bool on);
  // The size the windows are drawn at: 1, 1.5 or 2 (1 when never chosen or unknown).
  [[nodiscard]] double windowScale() const;
  void setWindowScale(double scale);
  void setTimeKeeper(const std::string& key);
  [[nodiscard]] std::string midiMapping() const;
  void setMidiMapping(const std::string& text);
  [[nodiscard]] std::string midiExcludedPorts() const;
  void setMidiExcludedPorts(const std::string& names);

  // The newest first, at most kRecentSongs, each path once.
  [[nodiscard]] QStringList recentSongs() const;
  void addRecentSong(const QString& path);
  void removeRecentSong(const QString& path);

  // Writes what changed to disk now.
  void sync();

private:
  std::unique_ptr<QSettings> store_;
};

// Where the import dialog opens at start-up: the folder used last, while it exists; else
// the Samples folder beside the program (a build folder) or the installed sample kit;
// else the user's music folder; else home.
[[nodiscard]] std::string StartingImportFolder(const ProgramSettings& settings,
                                               const std::string& appDir);
// Where the song dialogs open at start-up: the folder used last, while it exists; else
// the program's folder when it holds a Samples folder; else the user's music folder;
// else home.
[[nodiscard]] std::string StartingSongFolder(const ProgramSettings& settings,
                                             const std::string& appDir);

// Where the render dialog opens at start-up: the folder it wrote to last, while it exists;
// else where the song dialogs start.
[[nodiscard]] std::string StartingRenderFolder(const ProgramSettings& settings,
                                               const std::string& appDir);

// A remembered outer position when the window would still lie on a screen there (at
// least a title bar's worth of it), else nothing.
[[nodiscard]] std::optional<QPoint> VisiblePosition(std::optional<QPoint> position, QSize size);

// The outer position nearest to `position` at which a window of outer size `size` lies
// wholly on the screen that holds most of it (its top-left corner, when it is larger).
[[nodiscard]] QPoint KeptOnScreen(QPoint position, QSize size);

} // namespace lw
