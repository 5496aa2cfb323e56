#pragma once

#include "audio_out/Render.h"
#include "song/UserPrompts.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// loopwren-render's standard error, shared by the songs it renders at once. Every line
// is written whole, so lines of songs rendered side by side never mix.
//
// A single render keeps the renderer's first form: "Rendering...  42 %" on one line,
// messages as they are. Several songs (Board) get a line each while they render,
// "A.LW: 42 %", which ends as "A.LW: done" or "A.LW: failed", and every message names
// its song. Progress is only shown on a terminal (`live`); messages always are.
class RenderConsole {
public:
  enum class Style { Single, Board };

  // `columns`: the terminal's width, 0 when unknown. A running line longer than that
  // would wrap, and the lines drawn over it would land one row too low.
  RenderConsole(std::FILE* out, Style style, bool live, std::size_t columns = 0)
      : out_(out), style_(style), live_(live), columns_(columns) {}

  // A line of the renderer's own: "loopwren-render: <text>".
  void Note(std::string_view text);

  // One song's render: its messages (any of which means the render failed) and its
  // progress. Lives on the thread that renders the song.
  class Song final : public UserPrompts, public RenderProgress {
  public:
    Song(RenderConsole& console, std::string name);
    ~Song() override;
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;

    void Notice(std::string_view text) override { Fail(text); }
    void Warning(std::string_view text) override { Fail(text); }
    bool Confirm(std::string_view /*text*/) override { return false; }
    void ReportIoError(std::string_view text) override { Fail(text); }
    std::optional<std::string> AskOpenFile(const FileDialogSpec& /*dialog*/) override { return {}; }
    std::optional<std::string> AskSaveFile(const FileDialogSpec& /*dialog*/) override { return {}; }

    void PatternStarted() override;
    void SetOverall(int percent) override;
    void Hide() override;

    // A message saying why the render failed; its second line, the system's reason,
    // joins the first.
    void Fail(std::string_view text);
    // A message that is no failure.
    void Note(std::string_view text);
    // The render is over: its line says so.
    void Finish(bool written);

    [[nodiscard]] bool failed() const { return failed_; }
    // When the first pattern began to render, if one did.
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> firstPattern() const {
      return firstPattern_;
    }

  private:
    RenderConsole& console_;
    std::string name_;
    int last_ = -1; // the percentage shown
    bool failed_ = false;
    bool onBoard_ = false;
    std::optional<std::chrono::steady_clock::time_point> firstPattern_;
  };

private:
  // A song's line on the board while it renders.
  struct Running {
    const Song* song;
    std::string text;
  };

  // Writes `line` above the board's running lines, or simply when there is no board.
  void Line(std::string line);
  void SetRunning(const Song& song, std::string text);
  void EndRunning(const Song& song, std::string line);
  // Draws the lines not yet drawn and every running line again, over the running lines
  // drawn last time. Mutex held.
  void Redraw();

  std::FILE* out_;
  Style style_;
  bool live_;
  std::size_t columns_;
  std::mutex mutex_;
  std::vector<std::string> pending_; // lines that stay, not yet drawn
  std::vector<Running> running_;     // in the order the songs began
  std::size_t drawn_ = 0;            // running lines on the terminal below the others
};

} // namespace lw
