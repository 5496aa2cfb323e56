#pragma once

#include "song/UserPrompts.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lw::test {

// A scripted user: records every text shown and answers from queues (No and Cancel
// when a queue runs dry).
class FakePrompts : public UserPrompts {
public:
  std::vector<std::string> notices;
  std::vector<std::string> warnings;
  std::vector<std::string> questions;
  std::vector<std::string> ioErrors;
  std::vector<FileDialogSpec> dialogs;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> files;
  int busyDepth = 0;
  int busyShown = 0;
  // What the user does in the next open dialog before it answers (selects files in it).
  std::function<void(const FileDialogSpec&)> whileOpen;

  void Notice(std::string_view text) override { notices.emplace_back(text); }
  void Warning(std::string_view text) override { warnings.emplace_back(text); }
  bool Confirm(std::string_view text) override {
    questions.emplace_back(text);
    return Next(answers, false);
  }
  void ReportIoError(std::string_view text) override { ioErrors.emplace_back(text); }
  std::optional<std::string> AskOpenFile(const FileDialogSpec& dialog) override {
    dialogs.push_back(dialog);
    if (auto act = std::exchange(whileOpen, nullptr)) {
      act(dialog);
    }
    return Next(files, std::optional<std::string>());
  }
  std::optional<std::string> AskSaveFile(const FileDialogSpec& dialog) override {
    dialogs.push_back(dialog);
    return Next(files, std::optional<std::string>());
  }
  void SetBusy(bool busy) override {
    busyDepth += busy ? 1 : -1;
    busyShown += busy ? 1 : 0;
  }

  [[nodiscard]] bool silent() const {
    return notices.empty() && warnings.empty() && questions.empty() && ioErrors.empty();
  }

private:
  template <typename T> static T Next(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
      return fallback;
    }
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
  }
};

} // namespace lw::test
