#pragma once

#include "song/Song.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace lw {

// The song with everything that says where the user and the engine are in it. One
// instance lives inside the engine state, guarded by the engine lock as a whole.
//
// Who touches what: the interface thread alone writes the song, the sequence, the edit
// positions, songChanged, songFileName and lastSampleChoice, always with the lock held;
// the render thread reads the song and the sequence under the lock and never looks at
// the rest, so the interface thread may read all of them without the lock. The play
// positions (playBank to nextPattern) are written by both threads and read under the
// lock only. The atomics below are read and written by either thread at any time.
struct SongState {
  Song song{};
  SongSequence sequence{};

  // The pattern shown and edited in the main window, and the selected step and channel.
  int32_t editBank = 0;
  int32_t editPattern = 0;
  int32_t activeStep = 0;
  int32_t activeChannel = 0;
  // The pattern the engine plays, and the one it switches to at its next step 0.
  int32_t playBank = 0;
  int32_t playPattern = 0;
  int32_t nextBank = 0;
  int32_t nextPattern = 0;

  bool songChanged = false;
  std::string songFileName;
  // The main window's memory of the last sample chosen from its sample menu; -1 = none.
  int32_t lastSampleChoice = -1;

  // Song play. The song position is the sequencer grid's current column; the render
  // thread advances it while the interface thread may move it with a click, so it is
  // atomic, as are the loop fields the interface writes while the song plays.
  std::atomic<int32_t> songPosition{0};
  std::atomic<bool> loopEnabled{false}; // "Use selection as loop" is checked
  std::atomic<int32_t> loopFirstSlot{0};
  std::atomic<int32_t> loopLastSlot{0};

  [[nodiscard]] Channel& editedChannel() {
    return song.channel(editBank, editPattern, activeChannel);
  }
  [[nodiscard]] Step& activeStepRecord() {
    return song.step(editBank, editPattern, activeChannel, activeStep);
  }
};

// Resets the song, the sequence and the positions to a new song's defaults. It leaves
// the sample table, songFileName, songChanged, editBank and editPattern alone; the
// engine's NewSong adds the timing and the sequencer refresh.
void NewSongModel(SongState& state);

} // namespace lw
