#pragma once

#include "audio_out/HeardPosition.h"

#include <functional>
#include <optional>

namespace lw {

// What the windows do with live playback, whichever output plays it: open the output at
// start-up, start and stop, close it when the program ends, and let it go while the
// program is in the background. Interface thread.
class PlayControl {
public:
  virtual ~PlayControl() = default;

  // The main window is created: the output opens and live playback takes its blocks.
  virtual void OpenOutput() = 0;
  // Starts or stops playback. In pattern mode it starts with the pattern on screen; in
  // song mode it keeps the positions the engine holds.
  virtual void PlayBtnClick() = 0;
  // The main window closes: stop, then close the output.
  virtual void FormClose() = 0;
  // The application loses or regains the focus.
  virtual void DeactivatePlayBack() = 0;
  virtual void ReactivatePlayBack() = 0;

  // Where the listener is in the song while it sounds: none while stopped, and while the
  // output still plays what came before the song's first sample. Any thread.
  [[nodiscard]] virtual std::optional<OutputCursor> songCursor() const { return std::nullopt; }

  // RefreshDisplay with none of its flags, after every start and stop.
  std::function<void()> refreshDisplay;
};

} // namespace lw
