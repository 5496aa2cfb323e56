#pragma once

#include "song/UserPrompts.h"

#include <QStringList>

class QWidget;

namespace lw {

// The user's side of UserPrompts: message boxes, Yes/No questions and file dialogs.
class QtPrompts : public UserPrompts {
public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  void Notice(std::string_view text) override;
  void Warning(std::string_view text) override;
  bool Confirm(std::string_view text) override;
  void ReportIoError(std::string_view text) override;
  std::optional<std::string> AskOpenFile(const FileDialogSpec& dialog) override;
  std::optional<std::string> AskSaveFile(const FileDialogSpec& dialog) override;
  void SetBusy(bool busy) override;

private:
  QWidget* parent_;
};

// "Caption|pattern|Caption|pattern" as the toolkit's name filters ("Caption (pattern)"),
// with "*.*" meaning every file.
[[nodiscard]] QStringList NameFilters(const std::string& filter);

} // namespace lw
