// loopwren.lv2: the LV2 instrument around the core. It plays a song file in time with the
// host's transport (SongPlayer), loads the song on the host's worker thread, keeps its
// path in the host's session, and says what went wrong through the host's log. run()
// allocates nothing, takes no blocking lock, makes no system call and never logs.
#include "engine/Vinyl.h"
#include "plugin/SongLoader.h"
#include "plugin/SongPlayer.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

namespace lw {
namespace {

constexpr const char* kPluginUri = "http://loopwren.org/lv2/loopwren";
constexpr const char* kSongUri = "http://loopwren.org/lv2/loopwren#song";

enum Port : uint32_t {
  kLeft,
  kRight,
  kChannel1,
  kChannel2,
  kChannel3,
  kControl,
  kNotify,
  kFirstKnob,
};
constexpr uint32_t kPortCount = kFirstKnob + kPluginKnobs;

// The longest song path the plugin takes: a message to the worker and back must fit the
// host's ring with room to spare.
constexpr std::size_t kMaxPath = 2048;

struct Uris {
  LV2_URID atomPath;
  LV2_URID atomFloat;
  LV2_URID atomDouble;
  LV2_URID atomInt;
  LV2_URID atomLong;
  LV2_URID atomUrid;
  LV2_URID atomEventTransfer;
  LV2_URID midiEvent;
  LV2_URID patchGet;
  LV2_URID patchSet;
  LV2_URID patchProperty;
  LV2_URID patchValue;
  LV2_URID timePosition;
  LV2_URID timeBar;
  LV2_URID timeBarBeat;
  LV2_URID timeBeat;
  LV2_URID timeBeatsPerBar;
  LV2_URID timeBeatsPerMinute;
  LV2_URID timeSpeed;
  LV2_URID song;

  explicit Uris(LV2_URID_Map* map) {
    const auto m = [&](const char* uri) { return map->map(map->handle, uri); };
    atomPath = m(LV2_ATOM__Path);
    atomFloat = m(LV2_ATOM__Float);
    atomDouble = m(LV2_ATOM__Double);
    atomInt = m(LV2_ATOM__Int);
    atomLong = m(LV2_ATOM__Long);
    atomUrid = m(LV2_ATOM__URID);
    atomEventTransfer = m(LV2_ATOM__eventTransfer);
    midiEvent = m(LV2_MIDI__MidiEvent);
    patchGet = m(LV2_PATCH__Get);
    patchSet = m(LV2_PATCH__Set);
    patchProperty = m(LV2_PATCH__property);
    patchValue = m(LV2_PATCH__value);
    timePosition = m(LV2_TIME__Position);
    timeBar = m(LV2_TIME__bar);
    timeBarBeat = m(LV2_TIME__barBeat);
    timeBeat = m(LV2_TIME__beat);
    timeBeatsPerBar = m(LV2_TIME__beatsPerBar);
    timeBeatsPerMinute = m(LV2_TIME__beatsPerMinute);
    timeSpeed = m(LV2_TIME__speed);
    song = m(kSongUri);
  }
};

// What goes to the worker and comes back from it.
enum class Job : uint32_t { Load, Free };
struct LoadJob {
  Job job = Job::Load;
  char path[kMaxPath];
};
struct FreeJob {
  Job job = Job::Free;
  Engine* engine = nullptr;
};
struct LoadDone {
  Engine* engine = nullptr; // null: the song could not be loaded
  char path[kMaxPath];
};

// The vinyl noise the programs play: installed, the bundle is lib/lv2/loopwren.lv2/ and
// the noise is in share/loopwren/ of the same prefix; in the build folder, beside the
// programs in bin/.
std::string NoiseBeside(const char* bundle) {
  const std::string prefix = std::string(bundle) + "/../../../";
  for (const std::string& candidate :
       {prefix + "share/loopwren/" + kVinylNoiseFile, prefix + "bin/" + kVinylNoiseFile}) {
    if (::access(candidate.c_str(), R_OK) == 0) {
      return candidate;
    }
  }
  return prefix + "share/loopwren/" + kVinylNoiseFile;
}

class Plugin {
public:
  Plugin(LV2_URID_Map* map, LV2_Worker_Schedule* schedule, LV2_Log_Log* log, double rate,
         const char* bundle)
      : uris_(map), schedule_(schedule), rate_(rate), noise_(NoiseBeside(bundle)) {
    lv2_log_logger_init(&logger_, map, log);
    lv2_atom_forge_init(&forge_, map);
    if (rate_ != kOutputRate) {
      lv2_log_error(&logger_, "LoopWren plays at 44100 Hz only; at %.0f Hz it stays silent\n",
                    rate_);
    }
  }

  void Connect(uint32_t port, void* data) {
    if (port < kPortCount) {
      ports_[port] = data;
    }
  }

  void Run(uint32_t frames);

  LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                         uint32_t size, const void* data);
  LV2_Worker_Status WorkResponse(uint32_t size, const void* data);

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                        const LV2_Feature* const* features);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                           const LV2_Feature* const* features);

private:
  [[nodiscard]] bool Playable() const { return rate_ == kOutputRate; }
  void Render(uint32_t offset, uint32_t frames);
  void ReadPosition(const LV2_Atom_Object* position);
  void ReadPatch(const LV2_Atom_Object* message);
  void TellPath(int64_t frame);
  [[nodiscard]] bool Number(const LV2_Atom* atom, double& value) const;

  Uris uris_;
  LV2_Worker_Schedule* schedule_;
  LV2_Log_Logger logger_{};
  LV2_Atom_Forge forge_{};
  double rate_;
  std::string noise_;
  std::array<void*, kPortCount> ports_{};
  SongPlayer player_;
  HostTime time_;
  double beatsPerBar_ = 4.0;
  // The song's path as the plugin knows it (empty: none), and whether the host has yet
  // to hear it on the notify port.
  std::array<char, kMaxPath> path_{};
  bool tellPath_ = false;
};

bool Plugin::Number(const LV2_Atom* atom, double& value) const {
  if (atom == nullptr) {
    return false;
  }
  if (atom->type == uris_.atomFloat) {
    value = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  } else if (atom->type == uris_.atomDouble) {
    value = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  } else if (atom->type == uris_.atomInt) {
    value = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  } else if (atom->type == uris_.atomLong) {
    value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  } else {
    return false;
  }
  return true;
}

void Plugin::ReadPosition(const LV2_Atom_Object* position) {
  const LV2_Atom* bar = nullptr;
  const LV2_Atom* barBeat = nullptr;
  const LV2_Atom* beat = nullptr;
  const LV2_Atom* beatsPerBar = nullptr;
  const LV2_Atom* bpm = nullptr;
  const LV2_Atom* speed = nullptr;
  lv2_atom_object_get(position, uris_.timeBar, &bar, uris_.timeBarBeat, &barBeat, uris_.timeBeat,
                      &beat, uris_.timeBeatsPerBar, &beatsPerBar, uris_.timeBeatsPerMinute, &bpm,
                      uris_.timeSpeed, &speed, 0);
  double value = 0.0;
  if (Number(beatsPerBar, value) && value > 0.0) {
    beatsPerBar_ = value;
  }
  if (Number(bpm, value) && value > 0.0) {
    time_.bpm = value;
  }
  if (Number(speed, value)) {
    time_.rolling = value > 0.0;
  }
  double barNumber = 0.0;
  double inBar = 0.0;
  if (Number(bar, barNumber) && Number(barBeat, inBar)) {
    time_.beat = barNumber * beatsPerBar_ + inBar;
  } else if (Number(beat, value)) {
    time_.beat = value;
  }
  player_.SetTime(time_);
}

void Plugin::ReadPatch(const LV2_Atom_Object* message) {
  if (message->body.otype == uris_.patchGet) {
    tellPath_ = true;
    return;
  }
  const LV2_Atom* property = nullptr;
  const LV2_Atom* value = nullptr;
  lv2_atom_object_get(message, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
  if (property == nullptr || property->type != uris_.atomUrid ||
      reinterpret_cast<const LV2_Atom_URID*>(property)->body != uris_.song || value == nullptr ||
      value->type != uris_.atomPath || value->size == 0 || value->size > kMaxPath) {
    return;
  }
  LoadJob job;
  const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
  const std::size_t length = strnlen(text, value->size);
  std::memcpy(job.path, text, length);
  job.path[length] = '\0';
  schedule_->schedule_work(schedule_->handle,
                           static_cast<uint32_t>(offsetof(LoadJob, path) + length + 1), &job);
}

void Plugin::TellPath(int64_t frame) {
  lv2_atom_forge_frame_time(&forge_, frame);
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_object(&forge_, &object, 0, uris_.patchSet);
  lv2_atom_forge_key(&forge_, uris_.patchProperty);
  lv2_atom_forge_urid(&forge_, uris_.song);
  lv2_atom_forge_key(&forge_, uris_.patchValue);
  lv2_atom_forge_path(&forge_, path_.data(),
                      static_cast<uint32_t>(strnlen(path_.data(), kMaxPath)));
  lv2_atom_forge_pop(&forge_, &object);
}

void Plugin::Render(uint32_t offset, uint32_t frames) {
  if (frames == 0) {
    return;
  }
  SongPlayer::Outputs outputs{};
  for (int p = 0; p < SongPlayer::kOutputs; ++p) {
    const auto index = static_cast<std::size_t>(p == 0 ? kLeft : kChannel1 + p - 1);
    auto* port = static_cast<float*>(ports_[index]);
    outputs[static_cast<std::size_t>(p)] = port == nullptr ? nullptr : port + offset;
  }
  if (Playable()) {
    player_.Render(outputs, frames);
  } else {
    for (float* out : outputs) {
      if (out != nullptr) {
        std::fill_n(out, frames, 0.0F);
      }
    }
  }
}

void Plugin::Run(uint32_t frames) {
  auto* notify = static_cast<LV2_Atom_Sequence*>(ports_[kNotify]);
  LV2_Atom_Forge_Frame sequence{};
  if (notify != nullptr) {
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(notify), notify->atom.size);
    lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
  }
  for (int k = 0; k < kPluginKnobs; ++k) {
    if (const auto* knob =
            static_cast<const float*>(ports_[kFirstKnob + static_cast<uint32_t>(k)])) {
      player_.SetKnob(static_cast<PluginKnob>(k), *knob);
    }
  }
  uint32_t done = 0;
  if (const auto* control = static_cast<const LV2_Atom_Sequence*>(ports_[kControl])) {
    LV2_ATOM_SEQUENCE_FOREACH(control, event) {
      const auto at = static_cast<uint32_t>(std::clamp<int64_t>(event->time.frames, done, frames));
      Render(done, at - done);
      done = at;
      if (event->body.type == uris_.midiEvent) {
        const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
        if (event->body.size >= 3 && (bytes[0] & 0xF0) == 0x90) {
          player_.NoteOn(bytes[1], bytes[2]);
        }
      } else if (lv2_atom_forge_is_object_type(&forge_, event->body.type)) {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->body.otype == uris_.timePosition) {
          ReadPosition(object);
        } else {
          ReadPatch(object);
        }
      }
    }
  }
  Render(done, frames - done);
  if (auto* right = static_cast<float*>(ports_[kRight]); right != nullptr) {
    if (const auto* left = static_cast<const float*>(ports_[kLeft]); left != nullptr) {
      std::copy_n(left, frames, right);
    } else {
      std::fill_n(right, frames, 0.0F);
    }
  }
  if (notify != nullptr) {
    if (tellPath_) {
      tellPath_ = false;
      TellPath(0);
    }
    lv2_atom_forge_pop(&forge_, &sequence);
  }
}

LV2_Worker_Status Plugin::Work(LV2_Worker_Respond_Function respond,
                               LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
  if (size < sizeof(Job)) {
    return LV2_WORKER_ERR_UNKNOWN;
  }
  Job job{};
  std::memcpy(&job, data, sizeof job);
  if (job == Job::Free && size == sizeof(FreeJob)) {
    FreeJob free;
    std::memcpy(&free, data, sizeof free);
    delete free.engine;
    return LV2_WORKER_SUCCESS;
  }
  if (job != Job::Load || size <= offsetof(LoadJob, path) || size > sizeof(LoadJob)) {
    return LV2_WORKER_ERR_UNKNOWN;
  }
  LoadDone done;
  const auto* path = static_cast<const char*>(data) + offsetof(LoadJob, path);
  const std::size_t length = strnlen(path, size - offsetof(LoadJob, path));
  std::memcpy(done.path, path, length);
  done.path[length] = '\0';
  std::string why;
  std::unique_ptr<Engine> engine = LoadSongEngine(done.path, noise_, why);
  if (engine == nullptr) {
    lv2_log_error(&logger_, "LoopWren: %s; it stays silent\n", why.c_str());
  }
  done.engine = engine.get();
  if (respond(handle, static_cast<uint32_t>(offsetof(LoadDone, path) + length + 1), &done) !=
      LV2_WORKER_SUCCESS) {
    lv2_log_error(&logger_, "LoopWren: the host took no answer; %s is not played\n", done.path);
    return LV2_WORKER_ERR_NO_SPACE; // the engine goes with `engine`
  }
  (void)engine.release(); // the audio thread has it now
  return LV2_WORKER_SUCCESS;
}

// The audio thread, between two runs: the song loaded takes over, and the worker frees
// the one it replaces.
LV2_Worker_Status Plugin::WorkResponse(uint32_t size, const void* data) {
  if (size <= offsetof(LoadDone, path) || size > sizeof(LoadDone)) {
    return LV2_WORKER_ERR_UNKNOWN;
  }
  LoadDone done;
  std::memcpy(&done, data, size);
  const std::size_t length = size - offsetof(LoadDone, path) - 1;
  std::memcpy(path_.data(), done.path, length);
  path_[length] = '\0';
  tellPath_ = true;
  FreeJob free;
  free.engine = player_.Swap(std::unique_ptr<Engine>(done.engine)).release();
  if (free.engine != nullptr) {
    schedule_->schedule_work(schedule_->handle, sizeof free, &free);
  }
  return LV2_WORKER_SUCCESS;
}

LV2_State_Status Plugin::Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                              const LV2_Feature* const* features) {
  if (path_[0] == '\0') {
    return LV2_STATE_SUCCESS;
  }
  const auto* mapPath =
      static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
  const auto* freePath =
      static_cast<const LV2_State_Free_Path*>(lv2_features_data(features, LV2_STATE__freePath));
  char* abstract =
      mapPath != nullptr ? mapPath->abstract_path(mapPath->handle, path_.data()) : nullptr;
  const char* stored = abstract != nullptr ? abstract : path_.data();
  const LV2_State_Status status = store(handle, uris_.song, stored, std::strlen(stored) + 1,
                                        uris_.atomPath, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  if (abstract != nullptr) {
    if (freePath != nullptr) {
      freePath->free_path(freePath->handle, abstract);
    } else {
      std::free(abstract);
    }
  }
  return status;
}

// The host restores while no run() is going on: the song is loaded here and now.
LV2_State_Status Plugin::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                 const LV2_Feature* const* features) {
  std::size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* value = retrieve(handle, uris_.song, &size, &type, &flags);
  if (value == nullptr || type != uris_.atomPath || size == 0) {
    path_[0] = '\0';
    std::unique_ptr<Engine> old = player_.Swap(nullptr);
    return LV2_STATE_SUCCESS;
  }
  const auto* mapPath =
      static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
  const auto* freePath =
      static_cast<const LV2_State_Free_Path*>(lv2_features_data(features, LV2_STATE__freePath));
  const std::string stored(static_cast<const char*>(value),
                           strnlen(static_cast<const char*>(value), size));
  char* absolute =
      mapPath != nullptr ? mapPath->absolute_path(mapPath->handle, stored.c_str()) : nullptr;
  const std::string path = absolute != nullptr ? absolute : stored;
  if (absolute != nullptr) {
    if (freePath != nullptr) {
      freePath->free_path(freePath->handle, absolute);
    } else {
      std::free(absolute);
    }
  }
  if (path.size() >= kMaxPath) {
    lv2_log_error(&logger_, "LoopWren: the song's path is too long; it stays silent\n");
    std::unique_ptr<Engine> old = player_.Swap(nullptr);
    return LV2_STATE_SUCCESS;
  }
  std::memcpy(path_.data(), path.c_str(), path.size() + 1);
  tellPath_ = true;
  std::string why;
  std::unique_ptr<Engine> engine = LoadSongEngine(path, noise_, why);
  if (engine == nullptr) {
    lv2_log_error(&logger_, "LoopWren: %s; it stays silent\n", why.c_str());
  }
  std::unique_ptr<Engine> old = player_.Swap(std::move(engine));
  return LV2_STATE_SUCCESS;
}

// The plugin standard's entry points.

LV2_Handle Instantiate(const LV2_Descriptor* /*descriptor*/, double rate, const char* bundle,
                       const LV2_Feature* const* features) {
  LV2_URID_Map* map = nullptr;
  LV2_Worker_Schedule* schedule = nullptr;
  LV2_Log_Log* log = nullptr;
  const char* missing = lv2_features_query(features, LV2_LOG__log, &log, false, LV2_URID__map, &map,
                                           true, LV2_WORKER__schedule, &schedule, true, nullptr);
  if (missing != nullptr) {
    LV2_Log_Logger logger{};
    lv2_log_logger_init(&logger, map, log);
    lv2_log_error(&logger, "LoopWren: the host lacks the feature <%s>\n", missing);
    return nullptr;
  }
  try {
    return new Plugin(map, schedule, log, rate, bundle);
  } catch (const std::exception&) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data) {
  static_cast<Plugin*>(instance)->Connect(port, data);
}

void Run(LV2_Handle instance, uint32_t frames) {
  static_cast<Plugin*>(instance)->Run(frames);
}

void Cleanup(LV2_Handle instance) {
  delete static_cast<Plugin*>(instance);
}

LV2_Worker_Status WorkEntry(LV2_Handle instance, LV2_Worker_Respond_Function respond,
                            LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
  return static_cast<Plugin*>(instance)->Work(respond, handle, size, data);
}

LV2_Worker_Status WorkResponseEntry(LV2_Handle instance, uint32_t size, const void* data) {
  return static_cast<Plugin*>(instance)->WorkResponse(size, data);
}

LV2_State_Status SaveEntry(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, uint32_t /*flags*/,
                           const LV2_Feature* const* features) {
  return static_cast<Plugin*>(instance)->Save(store, handle, features);
}

LV2_State_Status RestoreEntry(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, uint32_t /*flags*/,
                              const LV2_Feature* const* features) {
  return static_cast<Plugin*>(instance)->Restore(retrieve, handle, features);
}

const void* ExtensionData(const char* uri) {
  static const LV2_Worker_Interface worker{WorkEntry, WorkResponseEntry, nullptr};
  static const LV2_State_Interface state{SaveEntry, RestoreEntry};
  if (std::strcmp(uri, LV2_WORKER__interface) == 0) {
    return &worker;
  }
  if (std::strcmp(uri, LV2_STATE__interface) == 0) {
    return &state;
  }
  return nullptr;
}

const LV2_Descriptor kDescriptor{kPluginUri, Instantiate, ConnectPort, nullptr,
                                 Run,        nullptr,     Cleanup,     ExtensionData};

} // namespace
} // namespace lw

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &lw::kDescriptor : nullptr;
}
