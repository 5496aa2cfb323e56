#include "samples/SampleTable.h"

#include <cstring>
#include <utility>

namespace lw {

namespace {

// Offsets of the stored slot record.
constexpr std::size_t kUsedAt = 0;
constexpr std::size_t kReserved1At = 1;
constexpr std::size_t kLengthAt = 4;
constexpr std::size_t kRateAt = 8;
constexpr std::size_t kNameAt = 10;
constexpr std::size_t kReserved75At = 75;
constexpr std::size_t kDataRefAt = 76;
constexpr std::size_t kCategoryAt = 80;
constexpr std::size_t kReserved81At = 81;
static_assert(kNameAt + sizeof(ShortString) == kReserved75At);
static_assert(kReserved81At + 3 == kSlotRecordSize);

void PutLe32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8U);
  out[2] = static_cast<uint8_t>(v >> 16U);
  out[3] = static_cast<uint8_t>(v >> 24U);
}

uint32_t GetLe32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8U) |
         (static_cast<uint32_t>(in[2]) << 16U) | (static_cast<uint32_t>(in[3]) << 24U);
}

} // namespace

SlotRecord EncodeSlotRecord(const SampleSlot& slot) {
  SlotRecord r{};
  r[kUsedAt] = slot.used;
  std::memcpy(&r[kReserved1At], slot.reserved1.data(), slot.reserved1.size());
  PutLe32(&r[kLengthAt], static_cast<uint32_t>(slot.length));
  r[kRateAt] = static_cast<uint8_t>(slot.rate);
  r[kRateAt + 1] = static_cast<uint8_t>(slot.rate >> 8U);
  r[kNameAt] = slot.name.length;
  std::memcpy(&r[kNameAt + 1], slot.name.chars, ShortString::kCapacity);
  r[kReserved75At] = slot.reserved75;
  PutLe32(&r[kDataRefAt], 0);
  r[kCategoryAt] = slot.category;
  std::memcpy(&r[kReserved81At], slot.reserved81.data(), slot.reserved81.size());
  return r;
}

void DecodeSlotRecord(const SlotRecord& r, SampleSlot& slot) {
  slot.used = r[kUsedAt];
  std::memcpy(slot.reserved1.data(), &r[kReserved1At], slot.reserved1.size());
  slot.length = static_cast<int32_t>(GetLe32(&r[kLengthAt]));
  slot.rate = static_cast<uint16_t>(r[kRateAt] | (r[kRateAt + 1] << 8U));
  slot.name.length = r[kNameAt];
  std::memcpy(slot.name.chars, &r[kNameAt + 1], ShortString::kCapacity);
  slot.reserved75 = r[kReserved75At];
  slot.category = r[kCategoryAt];
  std::memcpy(slot.reserved81.data(), &r[kReserved81At], slot.reserved81.size());
  slot.data = SampleData();
}

int32_t CountUsedSlots(const SampleTable& table) {
  int32_t n = 0;
  for (const SampleSlot& slot : table.slots) {
    n += slot.isUsed() ? 1 : 0;
  }
  return n;
}

void BuildSlotIndexMap(const SampleTable& table, SlotIndexMap& map) {
  std::size_t position = 0;
  for (int32_t i = 0; i < kSampleSlots; ++i) {
    if (table.slots[i].isUsed()) {
      map[position++] = i;
    }
  }
}

void SampleListLines(const SampleTable& table, std::vector<std::string>& lines) {
  lines.clear();
  int ordinal = 0;
  for (const SampleSlot& slot : table.slots) {
    if (!slot.isUsed()) {
      continue;
    }
    ++ordinal;
    std::string line = ordinal < 10 ? "0" : "";
    line += std::to_string(ordinal);
    line += "> ";
    line += slot.name.text();
    lines.push_back(std::move(line));
  }
}

int32_t FindFreeSlot(const SampleTable& table) {
  for (int32_t i = 0; i < kSampleSlots; ++i) {
    if (!table.slots[i].isUsed()) {
      return i;
    }
  }
  return -1;
}

ReleasedSamples ClearSampleTable(SampleTable& table) {
  ReleasedSamples released;
  for (std::size_t i = 0; i < table.slots.size(); ++i) {
    table.slots[i].used = 0;
    released[i] = std::exchange(table.slots[i].data, SampleData());
  }
  return released;
}

void RemoveSampleReferences(Song& song, int32_t slot) {
  for (Bank& bank : song.banks) {
    for (Pattern& pattern : bank.patterns) {
      for (Channel& channel : pattern.channels) {
        for (Step& step : channel.steps) {
          if (step.sampleIndex() == slot) {
            step.sample = kNoSample;
            step.trigger = 0;
          }
        }
      }
    }
  }
}

SampleData DeleteSample(SampleTable& table, Song& song, int32_t slot) {
  if (slot < 0 || slot >= kSampleSlots) {
    return {};
  }
  RemoveSampleReferences(song, slot);
  SampleSlot& s = table.slots[slot];
  s.used = 0;
  s.length = 0;
  s.rate = 1;
  s.name.assignText("VOID");
  return std::exchange(s.data, SampleData());
}

void FillSlot(SampleSlot& slot, SampleData data, uint32_t rate, std::string_view name,
              SampleCategory category) {
  slot.length = 0;
  slot.data = std::move(data);
  slot.length = static_cast<int32_t>(slot.data.size());
  slot.rate = static_cast<uint16_t>(rate);
  slot.name.assignText(name);
  slot.category = static_cast<uint8_t>(category);
  slot.used = 1;
}

SampleData ReplaceSlotData(SampleSlot& slot, SampleData data, uint32_t rate,
                           std::string_view name) {
  slot.length = 0;
  SampleData old = std::exchange(slot.data, std::move(data));
  slot.length = static_cast<int32_t>(slot.data.size());
  slot.rate = static_cast<uint16_t>(rate);
  slot.name.assignText(name);
  return old;
}

} // namespace lw
