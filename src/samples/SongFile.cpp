#include "samples/SongFile.h"

#include <string_view>

#include <string>

namespace lw {

namespace {

void ReadSlot(ReadOnlyFile& file, int index, SampleSlot& slot) {
  SlotRecord record{};
  file.ReadExactly(record.data(), record.size());
  DecodeSlotRecord(record, slot);
  if (!slot.isUsed()) {
    return;
  }
  const std::string which =
      "sample \"" + slot.name.text() + "\" (slot " + std::to_string(index + 1) + ")";
  if (slot.length < 0) {
    throw IoError("The song file is damaged: " + which + " has a negative length");
  }
  // Checked before allocating, so a damaged length never asks for gigabytes; a file
  // whose size is unknown is read in pieces instead, which allocate no more than arrives.
  try {
    file.ReadValues(slot.data, static_cast<std::size_t>(slot.length));
  } catch (const IoError& error) {
    if (std::string_view(error.what()) != kReadBeyondEnd) {
      throw;
    }
    throw IoError(std::string(kReadBeyondEnd) + ": the data of " + which + " is cut short");
  }
}

} // namespace

std::unique_ptr<SongContent> ReadSongBody(ReadOnlyFile& file) {
  auto content = std::make_unique<SongContent>();
  char magic[sizeof kSongMagic];
  file.ReadExactly(magic, sizeof magic);
  file.ReadExactly(&content->song, sizeof(Song));
  file.ReadExactly(&content->sequence, sizeof(SongSequence));
  for (int i = 0; i < kSampleSlots; ++i) {
    ReadSlot(file, i, content->samples.slots[i]);
  }
  return content;
}

namespace {

// The song file's bytes in order, to any writer with Write(data, count).
template <class Out>
void WriteBody(Out& out, const Song& song, const SongSequence& sequence,
               const SampleTable& samples) {
  out.Write(kSongMagic, sizeof kSongMagic);
  out.Write(&song, sizeof(Song));
  out.Write(&sequence, sizeof(SongSequence));
  for (const SampleSlot& slot : samples.slots) {
    const SlotRecord record = EncodeSlotRecord(slot);
    out.Write(record.data(), record.size());
    if (slot.isUsed()) {
      // A used slot's length and its data agree; the record promises exactly what follows.
      out.Write(slot.data.data(), slot.data.size() * sizeof(int16_t));
    }
  }
}

struct MemoryOut {
  std::string& bytes;
  void Write(const void* data, std::size_t count) {
    bytes.append(static_cast<const char*>(data), count);
  }
};

} // namespace

void WriteSongBody(AtomicFileWriter& out, const Song& song, const SongSequence& sequence,
                   const SampleTable& samples) {
  WriteBody(out, song, sequence, samples);
}

std::string SongFileBytes(const Song& song, const SongSequence& sequence,
                          const SampleTable& samples) {
  std::size_t size = kEmptySongFileSize;
  for (const SampleSlot& slot : samples.slots) {
    size += slot.isUsed() ? slot.data.size() * sizeof(int16_t) : 0;
  }
  std::string bytes;
  bytes.reserve(size);
  MemoryOut out{bytes};
  WriteBody(out, song, sequence, samples);
  return bytes;
}

} // namespace lw
