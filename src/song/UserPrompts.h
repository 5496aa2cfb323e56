#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

// A file dialog's settings. The filter lists "caption|patterns" pairs joined by '|'.
struct FileDialogSpec {
  std::string title;
  std::string filter;
  std::string defaultExtension;
  std::string initialFolder;
  // An open dialog calls it with each file the user selects in it, to let the user hear
  // the file before choosing it; none for the dialogs that play nothing.
  std::function<void(const std::string& path)> preview = nullptr;
};

// Everything the core asks or tells the user. The core never shows anything itself: the
// program implements this with message boxes and file dialogs, tests with a scripted
// fake that records every text and answers every question. Interface thread only.
class UserPrompts {
public:
  virtual ~UserPrompts() = default;

  // A plain message box with an OK button: errors and notices.
  virtual void Notice(std::string_view text) = 0;
  // A warning box: a refused input file.
  virtual void Warning(std::string_view text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(std::string_view text) = 0;
  // The general error report for a read or write that failed after its file was opened.
  virtual void ReportIoError(std::string_view text) = 0;
  // A file to open or to save to; nothing when the user cancels.
  virtual std::optional<std::string> AskOpenFile(const FileDialogSpec& dialog) = 0;
  virtual std::optional<std::string> AskSaveFile(const FileDialogSpec& dialog) = 0;
  // The wait cursor, for operations that keep the interface thread busy.
  virtual void SetBusy(bool /*busy*/) {}
};

// Shows the wait cursor for as long as it lives, so every way out restores it.
class BusyCursor {
public:
  explicit BusyCursor(UserPrompts& prompts) : prompts_(prompts) { prompts_.SetBusy(true); }
  ~BusyCursor() { prompts_.SetBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

private:
  UserPrompts& prompts_;
};

} // namespace lw
