#include "session/UndoHistory.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

namespace lw {

namespace {

// What a song file holds before its samples: the two blocks are stored as they lie in
// memory, so comparing their bytes compares the file.
struct SongBlocks {
  Song song;
  SongSequence sequence;
};

bool SameBytes(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

template <class T> void SwapBytes(T& a, T& b) {
  auto* x = reinterpret_cast<uint8_t*>(&a);
  std::swap_ranges(x, x + sizeof(T), reinterpret_cast<uint8_t*>(&b));
}

std::size_t DataBytes(const SampleSlot& slot) {
  return slot.data.size() * sizeof(int16_t);
}

} // namespace

// One side of a slot: with its sound when the edit replaced, freed or filled it, or only
// its record when the sound stayed (a category).
struct SlotSide {
  int32_t slot = 0;
  bool withData = false;
  SampleSlot side;
};

struct UndoHistory::Step {
  std::string what;
  std::string mergeKey;
  SongBlocks blocks{};
  std::vector<SlotSide> slots;

  [[nodiscard]] std::size_t SampleBytes() const {
    std::size_t bytes = 0;
    for (const SlotSide& s : slots) {
      bytes += DataBytes(s.side);
    }
    return bytes;
  }
};

struct UndoHistory::Pending {
  int depth = 0;
  bool drag = false; // a knob's drag, which whatever begins next ends
  std::string what;
  std::string mergeKey;
  SongBlocks before{};
  std::array<SlotRecord, kSampleSlots> records{};
  std::array<const int16_t*, kSampleSlots> data{};
  std::array<std::size_t, kSampleSlots> sizes{};
  std::vector<std::pair<int32_t, SampleData>> copies;
};

static_assert(std::is_trivially_copyable_v<Song> && std::is_trivially_copyable_v<SongSequence>);

UndoHistory::UndoHistory(std::size_t maxSteps, std::size_t maxSampleBytes)
    : maxSteps_(std::max<std::size_t>(maxSteps, 1)), maxSampleBytes_(maxSampleBytes) {
}
UndoHistory::~UndoHistory() = default;

void UndoHistory::Begin(const Engine& engine, std::string what,
                        std::initializer_list<int32_t> soundSlots, std::string mergeKey) {
  EndOpenDrag(engine);
  if (pending_) {
    ++pending_->depth; // part of an edit already begun
  } else {
    Open(engine, std::move(what), std::move(mergeKey), false);
  }
  KeepSounds(engine.InterfaceSamples(), soundSlots);
}

void UndoHistory::BeginDrag(const Engine& engine, std::string what) {
  EndOpenDrag(engine);
  if (!pending_) {
    Open(engine, std::move(what), {}, true);
  }
}

void UndoHistory::EndDrag(Engine& engine) {
  EndOpenDrag(engine);
}

bool UndoHistory::DragOpen() const {
  return pending_ && pending_->drag;
}

// A drag's step never has an edit inside it (whatever begins ends it first), so it ends
// here whole.
void UndoHistory::EndOpenDrag(const Engine& engine) {
  if (DragOpen()) {
    Finish(engine);
  }
}

void UndoHistory::Open(const Engine& engine, std::string what, std::string mergeKey, bool drag) {
  auto p = std::make_unique<Pending>();
  p->what = std::move(what);
  p->mergeKey = std::move(mergeKey);
  p->drag = drag;
  const SongDocument& state = engine.Interface();
  std::memcpy(&p->before.song, &state.song, sizeof(Song));
  std::memcpy(&p->before.sequence, &state.sequence, sizeof(SongSequence));
  const SampleTable& table = engine.InterfaceSamples();
  for (int32_t i = 0; i < kSampleSlots; ++i) {
    const SampleSlot& slot = table.slots[static_cast<std::size_t>(i)];
    p->records[static_cast<std::size_t>(i)] = EncodeSlotRecord(slot);
    p->data[static_cast<std::size_t>(i)] = slot.data.data();
    p->sizes[static_cast<std::size_t>(i)] = slot.data.size();
  }
  pending_ = std::move(p);
}

// Copies the sounds the open edit had at its Begin in the slots named, once each. A slot
// whose sound differs already lost it earlier in this edit (nothing left to keep) or got
// a new one from it, which undo does not need.
void UndoHistory::KeepSounds(const SampleTable& table, std::initializer_list<int32_t> soundSlots) {
  Pending& p = *pending_;
  for (const int32_t slot : soundSlots) {
    if (slot < 0 || slot >= kSampleSlots) {
      continue;
    }
    const auto at = static_cast<std::size_t>(slot);
    const SampleData& data = table.slots[at].data;
    const bool kept = std::any_of(p.copies.begin(), p.copies.end(),
                                  [slot](const auto& c) { return c.first == slot; });
    if (!kept && data.data() == p.data[at] && data.size() == p.sizes[at]) {
      p.copies.emplace_back(slot, SampleData(data.begin(), data.end()));
    }
  }
}

void UndoHistory::Cancel() {
  if (pending_ && pending_->depth-- == 0) {
    pending_.reset();
  }
}

void UndoHistory::End(Engine& engine) {
  if (pending_ && pending_->depth-- == 0) {
    Finish(engine);
  }
}

void UndoHistory::Finish(const Engine& engine) {
  const std::unique_ptr<Pending> p = std::move(pending_);
  auto step = std::make_unique<Step>();
  const SongDocument& state = engine.Interface();
  bool changed = !SameBytes(&p->before.song, &state.song, sizeof(Song)) ||
                 !SameBytes(&p->before.sequence, &state.sequence, sizeof(SongSequence));
  const SampleTable& table = engine.InterfaceSamples();
  for (int32_t i = 0; i < kSampleSlots; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const SampleSlot& now = table.slots[at];
    const bool sameRecord = EncodeSlotRecord(now) == p->records[at];
    const bool sameData = now.data.data() == p->data[at] && now.data.size() == p->sizes[at];
    if (sameRecord && sameData) {
      continue;
    }
    changed = true;
    SlotSide side{i, !sameData, {}};
    DecodeSlotRecord(p->records[at], side.side);
    if (!sameData && p->sizes[at] > 0) {
      const auto copy = std::find_if(p->copies.begin(), p->copies.end(),
                                     [i](const auto& c) { return c.first == i; });
      if (copy == p->copies.end()) {
        // An edit freed a sound nobody kept: it cannot be undone, and neither can the
        // steps before it, whose sides assume it.
        Forget();
        Changed();
        return;
      }
      side.side.data = std::move(copy->second);
    }
    step->slots.push_back(std::move(side));
  }
  if (!changed) {
    return;
  }
  // The redo steps lead away from here; a saved state among them is out of reach.
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  if (saved_ && *saved_ > done_) {
    saved_.reset();
  }
  const bool merge = mergeable_ && !p->mergeKey.empty() && done_ > 0 && saved_ != done_ &&
                     steps_.back()->mergeKey == p->mergeKey && step->slots.empty() &&
                     steps_.back()->slots.empty();
  mergeable_ = true;
  if (merge) {
    return; // the step before holds the song as it was before the first of them
  }

  step->what = p->what;
  step->mergeKey = p->mergeKey;
  step->blocks = p->before;
  steps_.push_back(std::move(step));
  ++done_;
  sampleBytes_ = 0;
  for (const auto& s : steps_) {
    sampleBytes_ += s->SampleBytes();
  }
  TrimOldest();
  Changed();
}

void UndoHistory::TrimOldest() {
  std::size_t drop = 0;
  std::size_t bytes = sampleBytes_;
  while (steps_.size() - drop > 1 &&
         (steps_.size() - drop > maxSteps_ || bytes > maxSampleBytes_)) {
    bytes -= steps_[drop]->SampleBytes();
    ++drop;
  }
  if (drop == 0) {
    return;
  }
  steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(drop));
  sampleBytes_ = bytes;
  done_ -= std::min(done_, drop);
  if (saved_ && *saved_ < drop) {
    saved_.reset();
  } else if (saved_) {
    *saved_ -= drop;
  }
}

std::string UndoHistory::UndoName() const {
  return CanUndo() ? steps_[done_ - 1]->what : std::string();
}

std::string UndoHistory::RedoName() const {
  return CanRedo() ? steps_[done_]->what : std::string();
}

// Trades the step's side for the engine's: blocks byte for byte, a slot's sound by moving
// its buffer. Nothing is allocated or freed here.
void UndoHistory::Swap(Engine& engine, Step& step) {
  const EngineHold hold(engine.engineLock);
  SwapBytes(engine.state.song, step.blocks.song);
  SwapBytes(engine.state.sequence, step.blocks.sequence);
  for (SlotSide& s : step.slots) {
    SampleSlot& live = engine.samples.slots[static_cast<std::size_t>(s.slot)];
    if (s.withData) {
      std::swap(live, s.side);
    } else { // the record only; the sound stays where it is
      const SlotRecord other = EncodeSlotRecord(s.side);
      SampleData sound = std::move(live.data);
      const SlotRecord mine = EncodeSlotRecord(live);
      DecodeSlotRecord(other, live);
      live.data = std::move(sound);
      DecodeSlotRecord(mine, s.side);
    }
  }
  engine.UpdateTiming();
}

bool UndoHistory::Undo(Engine& engine) {
  EndOpenDrag(engine);
  if (!CanUndo() || pending_) {
    return false;
  }
  mergeable_ = false;
  --done_;
  Swap(engine, *steps_[done_]);
  {
    const EngineHold hold(engine.engineLock);
    engine.state.songChanged = saved_ != done_;
  }
  Changed();
  return true;
}

bool UndoHistory::Redo(Engine& engine) {
  EndOpenDrag(engine);
  if (!CanRedo() || pending_) {
    return false;
  }
  mergeable_ = false;
  Swap(engine, *steps_[done_]);
  ++done_;
  {
    const EngineHold hold(engine.engineLock);
    engine.state.songChanged = saved_ != done_;
  }
  Changed();
  return true;
}

void UndoHistory::Clear() {
  pending_.reset();
  Forget();
  Changed();
}

// Drops every step. No state left in reach is known to be what the song's file holds.
void UndoHistory::Forget() {
  steps_.clear();
  done_ = 0;
  saved_.reset();
  mergeable_ = false;
  sampleBytes_ = 0;
}

void UndoHistory::Changed() const {
  if (onChange) {
    onChange();
  }
}

} // namespace lw
