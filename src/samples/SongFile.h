#pragma once

#include "samples/SampleTable.h"
#include "song/AtomicFileWriter.h"
#include "song/ReadOnlyFile.h"
#include "song/Song.h"

#include <cstdint>
#include <memory>
#include <string>

namespace lw {

// The song file: the magic "LOOPWREN", the Song block, the SongSequence, then the 64
// sample records in slot order, each followed by its data when the slot is used.
inline constexpr char kSongMagic[8] = {'L', 'O', 'O', 'P', 'W', 'R', 'E', 'N'};
inline constexpr uint64_t kSongHeaderSize = sizeof kSongMagic + sizeof(Song) + sizeof(SongSequence);
inline constexpr uint64_t kEmptySongFileSize = kSongHeaderSize + kSampleSlots * kSlotRecordSize;
static_assert(kEmptySongFileSize == 69540);

// Everything a song file holds, read whole before it replaces anything.
struct SongContent {
  Song song{};
  SongSequence sequence{};
  SampleTable samples;
};

// Reads a song file's body from an open file. The magic is not checked: a file of the
// right shape loads whatever its first 8 bytes are. Throws IoError when the file ends
// early or a used slot promises more data than the file holds; nothing is allocated for
// data the file does not have. Interface thread, without the engine lock.
[[nodiscard]] std::unique_ptr<SongContent> ReadSongBody(ReadOnlyFile& file);

// Writes a whole song file. Throws IoError when a write fails. Interface thread: the
// interface is the only writer of these blocks, so it reads them without the lock.
void WriteSongBody(AtomicFileWriter& out, const Song& song, const SongSequence& sequence,
                   const SampleTable& samples);

// The same bytes in memory, exactly as a save would write them. Interface thread, as
// above.
[[nodiscard]] std::string SongFileBytes(const Song& song, const SongSequence& sequence,
                                        const SampleTable& samples);

} // namespace lw
