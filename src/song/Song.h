#pragma once

#include "song/ControlRanges.h"

#include "song/ShortString.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// The song as it is held in memory and stored in the song file: fixed-size records in
// their stored order, reserved bytes included. The layouts below are the file layout,
// so every size and offset is checked at compile time, and the whole Song and
// SongSequence blocks are copied to and from files as they stand.

namespace lw {

static_assert(std::endian::native == std::endian::little,
              "the song blocks are stored little-endian as they lie in memory");

inline constexpr int kBanks = 8;
inline constexpr int kPatterns = 8;
inline constexpr int kChannels = 3;
inline constexpr int kSteps = 16;
inline constexpr int kSequenceSlots = 128;

// The special note behaviour of a step. Stored as a byte; any other value acts as None.
enum class StepMode : uint8_t {
  None = 255,
  NoteOff = 2,
  RetrigContinue = 3,
  RetrigLoop = 4,
  RetrigStutter = 5,
};

inline constexpr uint8_t kNoSample = 255;
inline constexpr uint8_t kNoVolumeChange = 255;

struct Step {
  uint8_t trigger; // non-zero: a note starts on this step
  uint8_t sample;  // sample slot 0..63, 255 = none
  // The step controllers: volume, mode, startPos and endPos.
  uint8_t volume;   // 0..127 sets the voice volume, 128..255 = no change
  uint8_t mode;     // a StepMode value
  int32_t startPos; // 0..1024
  int32_t endPos;   // 0..1024
  uint8_t pitch;    // drum speed in percent, 50..150
  uint8_t reserved[3];
  int32_t note; // semitone 12 * octave + key, 36 = the sample's own pitch

  // The sample byte read as signed: 255 becomes -1, as the engine reads it.
  [[nodiscard]] int32_t sampleIndex() const { return static_cast<int8_t>(sample); }
  // A note shows on the display only with a trigger and a sample byte below 128.
  [[nodiscard]] bool showsNote() const { return trigger != 0 && sample < 128; }
};

struct Channel {
  Step steps[kSteps];
  uint8_t distortOn; // 1 = overdrive applies to this channel in this pattern
  uint8_t reserved[3];
  int32_t volume;    // 0..127
  int32_t delaySend; // 0..100
};

struct Pattern {
  Channel channels[kChannels];
};

struct Bank {
  Pattern patterns[kPatterns];
};

struct Song {
  uint8_t delaySteps; // 0..6
  uint8_t reserved0[3];
  int32_t delayFeedback; // percent, 0..90
  int32_t distortAmount; // 0..63
  int32_t vinylAmount;   // 0..100
  int32_t tempo;         // beats per minute, 30..1230
  int32_t shuffle;       // 0..50
  ShortString title;
  ShortString author;
  uint8_t reserved1[2];
  Bank banks[kBanks];

  // Constant-time access to the record at (bank, pattern, channel, step).
  [[nodiscard]] Pattern& pattern(int bank, int pat) { return banks[bank].patterns[pat]; }
  [[nodiscard]] const Pattern& pattern(int bank, int pat) const {
    return banks[bank].patterns[pat];
  }
  [[nodiscard]] Channel& channel(int bank, int pat, int ch) {
    return banks[bank].patterns[pat].channels[ch];
  }
  [[nodiscard]] const Channel& channel(int bank, int pat, int ch) const {
    return banks[bank].patterns[pat].channels[ch];
  }
  [[nodiscard]] Step& step(int bank, int pat, int ch, int st) {
    return banks[bank].patterns[pat].channels[ch].steps[st];
  }
  [[nodiscard]] const Step& step(int bank, int pat, int ch, int st) const {
    return banks[bank].patterns[pat].channels[ch].steps[st];
  }
};

struct SequenceEntry {
  int8_t bank;    // 0..7; negative (stored 255) marks an empty slot
  int8_t pattern; // 0..7 (255 in an empty slot)

  [[nodiscard]] bool used() const { return bank >= 0; }
  // A used slot that names a pattern the song has. A slot written elsewhere may be
  // used and still name bank 9 or pattern -1; such a slot is never played.
  [[nodiscard]] bool playable() const {
    return bank >= 0 && bank < kBanks && pattern >= 0 && pattern < kPatterns;
  }
};

struct SongSequence {
  SequenceEntry slots[kSequenceSlots];
};

// Every size and offset of the stored layout.
static_assert(sizeof(Step) == 20);
static_assert(offsetof(Step, trigger) == 0);
static_assert(offsetof(Step, sample) == 1);
static_assert(offsetof(Step, volume) == 2);
static_assert(offsetof(Step, mode) == 3);
static_assert(offsetof(Step, startPos) == 4);
static_assert(offsetof(Step, endPos) == 8);
static_assert(offsetof(Step, pitch) == 12);
static_assert(offsetof(Step, reserved) == 13);
static_assert(offsetof(Step, note) == 16);

static_assert(sizeof(Channel) == 332);
static_assert(offsetof(Channel, steps) == 0);
static_assert(offsetof(Channel, distortOn) == 320);
static_assert(offsetof(Channel, reserved) == 321);
static_assert(offsetof(Channel, volume) == 324);
static_assert(offsetof(Channel, delaySend) == 328);

static_assert(sizeof(Pattern) == 996);
static_assert(sizeof(Bank) == 7968);

static_assert(sizeof(Song) == 63900);
static_assert(offsetof(Song, delaySteps) == 0);
static_assert(offsetof(Song, reserved0) == 1);
static_assert(offsetof(Song, delayFeedback) == 4);
static_assert(offsetof(Song, distortAmount) == 8);
static_assert(offsetof(Song, vinylAmount) == 12);
static_assert(offsetof(Song, tempo) == 16);
static_assert(offsetof(Song, shuffle) == 20);
static_assert(offsetof(Song, title) == 24);
static_assert(offsetof(Song, author) == 89);
static_assert(offsetof(Song, reserved1) == 154);
static_assert(offsetof(Song, banks) == 156);

static_assert(sizeof(SequenceEntry) == 2);
static_assert(sizeof(SongSequence) == 256);

static_assert(std::is_trivially_copyable_v<Song>);
static_assert(std::is_trivially_copyable_v<SongSequence>);

// Stores the defaults of a new song into every setting, pattern and step. The reserved
// bytes and the bytes behind the strings' lengths are left as they are.
void ResetSongBlock(Song& song);

// Empties all 128 slots.
void ClearSequence(SongSequence& sequence);

} // namespace lw
