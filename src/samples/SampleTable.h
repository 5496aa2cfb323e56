#pragma once

#include "song/LargeBuffer.h"
#include "song/ShortString.h"
#include "song/Song.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

enum class SampleCategory : uint8_t {
  Drum = 0,       // played at its rate, scaled by the step's pitch percentage
  Instrument = 1, // played at its rate, transposed to the step's note
  Loop = 2,       // stretched so the whole sample lasts one pattern
};

inline constexpr int kSampleSlots = 64;

// A sample's values. Made without zero-filling: every maker fills it at once (a file
// read, a resampler, a render). A big sample lives on huge pages, which a load fills
// much faster.
using SampleData = LargeBufferVector<int16_t>;

// One slot of the sample table. The slot owns its sample data; `length` is what the
// engine reads, and a used slot with a non-zero length always holds at least that many
// values. Stale fields of a free slot are kept, since a song file stores them.
struct SampleSlot {
  uint8_t used = 0;
  std::array<uint8_t, 3> reserved1{};
  int32_t length = 0;
  uint16_t rate = 0;
  ShortString name{};
  uint8_t reserved75 = 0;
  uint8_t category = 0; // a SampleCategory code; other values play at speed 1.0
  std::array<uint8_t, 3> reserved81{};
  SampleData data;

  [[nodiscard]] bool isUsed() const { return used != 0; }
};

struct SampleTable {
  std::array<SampleSlot, kSampleSlots> slots;
};

// List position -> slot index, shared by the sample manager's list and the main
// window's sample menu.
using SlotIndexMap = std::array<int32_t, kSampleSlots>;

// The stored form of a slot: an 84-byte little-endian record without its data.
inline constexpr std::size_t kSlotRecordSize = 84;
using SlotRecord = std::array<uint8_t, kSlotRecordSize>;

// Encodes the slot's fields, reserved bytes included; the data reference is written 0.
[[nodiscard]] SlotRecord EncodeSlotRecord(const SampleSlot& slot);
// Decodes a record into the slot's fields; the slot's data is emptied.
void DecodeSlotRecord(const SlotRecord& record, SampleSlot& slot);

// The table operations below run on the interface thread, under the engine lock.

[[nodiscard]] int32_t CountUsedSlots(const SampleTable& table);
// Writes the used slots' indexes in ascending order to map[0], map[1], ...; entries from
// CountUsedSlots() onward keep their old values.
void BuildSlotIndexMap(const SampleTable& table, SlotIndexMap& map);
// One line per used slot: the two-digit ordinal among the used slots, "> ", the name
// (UTF-8).
void SampleListLines(const SampleTable& table, std::vector<std::string>& lines);
// The lowest free slot, or -1 when all 64 are used.
[[nodiscard]] int32_t FindFreeSlot(const SampleTable& table);
// Sample data taken out of the table, for the caller to free once it has let go of the
// engine lock: the render thread must never wait for a release of up to 4 MB.
using ReleasedSamples = std::array<SampleData, kSampleSlots>;

// Marks every slot free and hands back all sample data; the other fields stay.
[[nodiscard]] ReleasedSamples ClearSampleTable(SampleTable& table);
// Removes the note of every step of the song that plays `slot`.
void RemoveSampleReferences(Song& song, int32_t slot);
// Removes the song's references to the slot, then frees it: used 0, length 0, rate 1,
// name "VOID"; the category stays. Hands back the slot's data.
[[nodiscard]] SampleData DeleteSample(SampleTable& table, Song& song, int32_t slot);

// Fills a free slot with a new sample of the given category. `name` is UTF-8 text; the
// slot keeps it as ShortString::assignText does.
void FillSlot(SampleSlot& slot, SampleData data, uint32_t rate, std::string_view name,
              SampleCategory category);
// Replaces a slot's sample, keeping `used` and the category: the length goes to 0
// before the data is swapped; `name` as for FillSlot. Hands back the old data.
[[nodiscard]] SampleData ReplaceSlotData(SampleSlot& slot, SampleData data, uint32_t rate,
                                         std::string_view name);

} // namespace lw
