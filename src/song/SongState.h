#pragma once

#include "song/Song.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace lw {

// What the interface thread owns: the song, its sequence, where the user edits and what
// the program knows of the song's file. The interface thread alone writes these, always
// with the engine lock held; the render thread reads the song and the sequence under the
// lock and never looks at the rest, so the interface thread may read all of it without
// the lock (Engine::Interface).
struct SongDocument {
  Song song{};
  SongSequence sequence{};

  // The pattern shown and edited in the main window, and the selected step and channel.
  int32_t editBank = 0;
  int32_t editPattern = 0;
  int32_t activeStep = 0;
  int32_t activeChannel = 0;

  bool songChanged = false;
  std::string songFileName;
  // The main window's memory of the last sample chosen from its sample menu; -1 = none.
  int32_t lastSampleChoice = -1;

  [[nodiscard]] Channel& editedChannel() {
    return song.channel(editBank, editPattern, activeChannel);
  }
  [[nodiscard]] Step& activeStepRecord() {
    return song.step(editBank, editPattern, activeChannel, activeStep);
  }
};

// The pattern the engine plays, and the one it switches to at its next step 0. Written
// by both threads, read under the engine lock only.
struct PlayedPatterns {
  int32_t playBank = 0;
  int32_t playPattern = 0;
  int32_t nextBank = 0;
  int32_t nextPattern = 0;
};

// Song play. The song position is the sequencer grid's current column; the render
// thread advances it while the interface thread may move it with a click, so it is
// atomic, as are the loop fields the interface writes while the song plays. Any thread
// reads and writes them at any time (Engine::PlayPosition).
struct SongPlayPosition {
  std::atomic<int32_t> songPosition{0};
  std::atomic<bool> loopEnabled{false}; // "Use selection as loop" is checked
  std::atomic<int32_t> loopFirstSlot{0};
  std::atomic<int32_t> loopLastSlot{0};
};

// The song with everything that says where the user and the engine are in it. One
// instance lives inside the engine state, guarded by the engine lock as a whole; its
// three parts say who may touch what.
struct SongState : SongDocument, PlayedPatterns, SongPlayPosition {};

// Resets the song, the sequence and the positions to a new song's defaults. It leaves
// the sample table, songFileName, songChanged, editBank and editPattern alone; the
// engine's NewSong adds the timing and the sequencer refresh.
void NewSongModel(SongState& state);

} // namespace lw
