#include "app/RenderConsole.h"

#include <algorithm>
#include <utility>

namespace lw {

namespace {

constexpr const char* kProgram = "loopwren-render: ";
// The terminal's "erase to the end of the line", so a shorter line covers a longer one.
constexpr const char* kEraseToEnd = "\x1b[K";

// The end of `text` that fits in `columns` - 1 columns, marked as cut. Counts bytes, so a
// name in UTF-8 is cut shorter than it need be, but never inside a character.
std::string FitTo(std::string text, std::size_t columns) {
  if (columns < 8 || text.size() < columns) {
    return text;
  }
  std::size_t from = text.size() - (columns - 4);
  while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) {
    ++from;
  }
  return "..." + text.substr(from);
}

} // namespace

void RenderConsole::Note(std::string_view text) {
  Line(kProgram + std::string(text));
}

void RenderConsole::Line(std::string line) {
  const std::lock_guard lock(mutex_);
  if (style_ == Style::Board && live_) {
    pending_.push_back(std::move(line));
    Redraw();
    return;
  }
  line += '\n';
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

void RenderConsole::SetRunning(const Song& song, std::string text) {
  const std::lock_guard lock(mutex_);
  const auto at = std::find_if(running_.begin(), running_.end(),
                               [&song](const Running& r) { return r.song == &song; });
  if (at == running_.end()) {
    running_.push_back({&song, std::move(text)});
  } else {
    at->text = std::move(text);
  }
  Redraw();
}

void RenderConsole::EndRunning(const Song& song, std::string line) {
  const std::lock_guard lock(mutex_);
  std::erase_if(running_, [&song](const Running& r) { return r.song == &song; });
  pending_.push_back(std::move(line));
  Redraw();
}

void RenderConsole::Redraw() {
  // Every running line drawn last time is drawn over by a line now: a song leaves the
  // running lines only with a line that stays.
  std::string text;
  if (drawn_ > 0) {
    text += "\x1b[" + std::to_string(drawn_) + "A";
  }
  text += '\r';
  for (const std::string& line : pending_) {
    text += line + kEraseToEnd + "\n";
  }
  for (const Running& r : running_) {
    text += FitTo(r.text, columns_) + kEraseToEnd + "\n";
  }
  pending_.clear();
  drawn_ = running_.size();
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
}

RenderConsole::Song::Song(RenderConsole& console, std::string name)
    : console_(console), name_(std::move(name)) {
}

RenderConsole::Song::~Song() {
  if (onBoard_) {
    console_.EndRunning(*this, name_ + ": failed");
  }
}

void RenderConsole::Song::PatternStarted() {
  if (!firstPattern_) {
    firstPattern_ = std::chrono::steady_clock::now();
  }
}

void RenderConsole::Song::SetOverall(int percent) {
  if (!console_.live_ || percent == last_) {
    return;
  }
  last_ = percent;
  if (console_.style_ == Style::Single) {
    std::fprintf(console_.out_, "\rRendering... %3d %%", percent);
    std::fflush(console_.out_);
    return;
  }
  onBoard_ = true;
  console_.SetRunning(*this, name_ + ": " + std::to_string(percent) + " %");
}

void RenderConsole::Song::Hide() {
  if (console_.live_ && console_.style_ == Style::Single && last_ >= 0) {
    std::fputc('\n', console_.out_);
  }
}

void RenderConsole::Song::Fail(std::string_view text) {
  std::string line(text);
  for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) {
    line.replace(at, 1, ": ");
  }
  Note(line);
  failed_ = true;
}

void RenderConsole::Song::Note(std::string_view text) {
  console_.Note(console_.style_ == Style::Board ? name_ + ": " + std::string(text)
                                                : std::string(text));
}

void RenderConsole::Song::Finish(bool written) {
  if (console_.live_ && console_.style_ == Style::Board) {
    onBoard_ = false;
    console_.EndRunning(*this, name_ + (written ? ": done" : ": failed"));
  }
}

} // namespace lw
