#pragma once

// A small LV2 host for the tests, on lilv: it loads loopwren.lv2 by its URI from the
// build folder's bundle, gives it the features it asks for (URID mapping, a worker, a
// log, mapped paths for its state), feeds its control port with time:Position, MIDI and
// patch messages, and keeps what its outputs play.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lw::test {

inline constexpr const char* kPluginUri = "http://loopwren.org/lv2/loopwren";
inline constexpr const char* kSongUri = "http://loopwren.org/lv2/loopwren#song";

class PluginHost {
public:
  // The outputs' ports, and the first knob's.
  static constexpr uint32_t kLeft = 0;
  static constexpr uint32_t kRight = 1;
  static constexpr uint32_t kChannel1 = 2;
  static constexpr uint32_t kControl = 5;
  static constexpr uint32_t kNotify = 6;
  static constexpr uint32_t kFirstKnob = 7;
  static constexpr uint32_t kKnobs = 11;
  static constexpr uint32_t kMaxBlock = 8192;

  explicit PluginHost(double rate = 44100) {
    world_ = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, LOOPWREN_LV2_BUNDLE "/");
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    map_ = {this, [](LV2_URID_Map_Handle h, const char* u) {
              return static_cast<PluginHost*>(h)->Map(u);
            }};
    // Like a host's rings, the queues of jobs and answers take them without allocating:
    // run() and work_response() may schedule.
    schedule_ = {this, [](LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
                   auto& host = *static_cast<PluginHost*>(h);
                   if (host.jobCount_ == host.jobs_.size() || size > host.jobs_[0].size()) {
                     return LV2_WORKER_ERR_NO_SPACE;
                   }
                   std::memcpy(host.jobs_[host.jobCount_].data(), data, size);
                   host.jobSizes_[host.jobCount_++] = size;
                   return LV2_WORKER_SUCCESS;
                 }};
    log_ = {this, LogPrintf, LogVprintf};
    mapFeature_ = {LV2_URID__map, &map_};
    scheduleFeature_ = {LV2_WORKER__schedule, &schedule_};
    logFeature_ = {LV2_LOG__log, &log_};
    features_ = {&mapFeature_, &scheduleFeature_, &logFeature_, nullptr};
    if (plugin_ != nullptr) {
      instance_ = lilv_plugin_instantiate(plugin_, rate, features_.data());
    }
    lv2_atom_forge_init(&forge_, &map_);
    control_.resize(64 * 1024);
    notify_.resize(64 * 1024);
    for (auto& out : outputs_) {
      out.resize(kMaxBlock);
    }
    knobs_.fill(-1.0F);
    if (instance_ != nullptr) {
      for (uint32_t p = 0; p < 5; ++p) {
        lilv_instance_connect_port(instance_, p, outputs_[p].data());
      }
      lilv_instance_connect_port(instance_, kControl, control_.data());
      lilv_instance_connect_port(instance_, kNotify, notify_.data());
      for (uint32_t k = 0; k < kKnobs; ++k) {
        lilv_instance_connect_port(instance_, kFirstKnob + k, &knobs_[k]);
      }
      lilv_instance_activate(instance_);
      worker_ = static_cast<const LV2_Worker_Interface*>(
          lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
      state_ = static_cast<const LV2_State_Interface*>(
          lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    }
    StartEvents();
  }
  ~PluginHost() {
    if (instance_ != nullptr) {
      lilv_instance_deactivate(instance_);
      RunWorker(); // frees what the worker was handed
      lilv_instance_free(instance_);
    }
    lilv_world_free(world_);
  }
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  [[nodiscard]] bool ok() const {
    return instance_ != nullptr && worker_ != nullptr && state_ != nullptr;
  }
  [[nodiscard]] const LilvPlugin* plugin() const { return plugin_; }
  [[nodiscard]] LilvWorld* world() const { return world_; }
  [[nodiscard]] const std::string& logged() const { return logged_; }
  LV2_URID Map(const char* uri) {
    const auto [it, added] = urids_.try_emplace(uri, static_cast<LV2_URID>(urids_.size() + 1));
    return it->second;
  }

  // Events for the next Run, at frames within it, in order.
  void Position(uint32_t frame, bool rolling, double bpm, double beat, double beatsPerBar = 4) {
    lv2_atom_forge_frame_time(&forge_, frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge_, &object, 0, Map(LV2_TIME__Position));
    const auto bar = static_cast<int64_t>(beat / beatsPerBar);
    lv2_atom_forge_key(&forge_, Map(LV2_TIME__bar));
    lv2_atom_forge_long(&forge_, bar);
    lv2_atom_forge_key(&forge_, Map(LV2_TIME__barBeat));
    lv2_atom_forge_float(&forge_,
                         static_cast<float>(beat - static_cast<double>(bar) * beatsPerBar));
    lv2_atom_forge_key(&forge_, Map(LV2_TIME__beatsPerBar));
    lv2_atom_forge_float(&forge_, static_cast<float>(beatsPerBar));
    lv2_atom_forge_key(&forge_, Map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge_, static_cast<float>(bpm));
    lv2_atom_forge_key(&forge_, Map(LV2_TIME__speed));
    lv2_atom_forge_float(&forge_, rolling ? 1.0F : 0.0F);
    lv2_atom_forge_pop(&forge_, &object);
  }
  void Note(uint32_t frame, uint8_t note, uint8_t velocity) {
    const uint8_t bytes[3] = {0x90, note, velocity};
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_atom(&forge_, 3, Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge_, bytes, 3);
  }
  // patch:Set of the song's path, as a host's file chooser sends it.
  void SetSong(const std::string& path) {
    lv2_atom_forge_frame_time(&forge_, 0);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge_, &object, 0, Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge_, Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge_, Map(kSongUri));
    lv2_atom_forge_key(&forge_, Map(LV2_PATCH__value));
    lv2_atom_forge_path(&forge_, path.c_str(), static_cast<uint32_t>(path.size()));
    lv2_atom_forge_pop(&forge_, &object);
  }
  void GetSong() {
    lv2_atom_forge_frame_time(&forge_, 0);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge_, &object, 0, Map(LV2_PATCH__Get));
    lv2_atom_forge_pop(&forge_, &object);
  }
  void Knob(uint32_t knob, float value) { knobs_[knob] = value; }

  // One block of `frames`: the worker's answers first, then run(), then the worker's
  // jobs (as a host's worker thread would do them before the next block).
  void Run(uint32_t frames) {
    DeliverResponses();
    RunPlugin(frames);
    ReadNotify();
    for (uint32_t p = 0; p < 5; ++p) {
      played_[p].insert(played_[p].end(), outputs_[p].begin(), outputs_[p].begin() + frames);
    }
    StartEvents();
  }
  // The worker's answers, handed to the plugin as a host does between two runs.
  void DeliverResponses() {
    for (std::size_t r = 0; r < responseCount_; ++r) {
      worker_->work_response(lilv_instance_get_handle(instance_), responseSizes_[r],
                             responses_[r].data());
    }
    responseCount_ = 0;
  }
  // run() alone: no answers delivered, nothing kept, the events not cleared.
  void RunPlugin(uint32_t frames) {
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(notify_.data());
    notify->atom.type = 0;
    notify->atom.size = static_cast<uint32_t>(notify_.size() - sizeof(LV2_Atom));
    lilv_instance_run(instance_, frames);
  }
  // Clears the events given for the next run.
  void ClearEvents() { StartEvents(); }
  // Runs the jobs scheduled so far, as the worker thread does.
  void RunWorker() {
    for (std::size_t j = 0; j < jobCount_; ++j) {
      const std::vector<uint8_t> job(jobs_[j].begin(), jobs_[j].begin() + jobSizes_[j]);
      worker_->work(
          lilv_instance_get_handle(instance_),
          [](LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
            auto& host = *static_cast<PluginHost*>(h);
            if (host.responseCount_ == host.responses_.size() || size > host.responses_[0].size()) {
              return LV2_WORKER_ERR_NO_SPACE;
            }
            std::memcpy(host.responses_[host.responseCount_].data(), data, size);
            host.responseSizes_[host.responseCount_++] = size;
            return LV2_WORKER_SUCCESS;
          },
          this, static_cast<uint32_t>(job.size()), job.data());
    }
    jobCount_ = 0;
  }
  [[nodiscard]] bool workPending() const { return jobCount_ > 0 || responseCount_ > 0; }

  // What port `port` has played since the host began (or Forget).
  [[nodiscard]] const std::vector<float>& played(uint32_t port) const { return played_[port]; }
  void Forget() {
    for (auto& p : played_) {
      p.clear();
    }
  }
  // The song path the plugin last told on its notify port.
  [[nodiscard]] const std::string& toldPath() const { return toldPath_; }

  // The plugin's state, as a host keeps it with a session in `folder`: the values stored,
  // by key, with paths made relative to the folder.
  struct Saved {
    std::map<LV2_URID, std::pair<uint32_t, std::vector<uint8_t>>> values;
  };
  Saved Save(const std::string& folder) {
    folder_ = folder;
    Saved saved;
    const LV2_Feature mapPath{LV2_STATE__mapPath, &mapPath_};
    const LV2_Feature* features[] = {&mapFeature_, &mapPath, nullptr};
    state_->save(
        lilv_instance_get_handle(instance_),
        [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
           uint32_t /*flags*/) {
          const auto* bytes = static_cast<const uint8_t*>(value);
          static_cast<Saved*>(h)->values[key] = {type, {bytes, bytes + size}};
          return LV2_STATE_SUCCESS;
        },
        &saved, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    return saved;
  }
  LV2_State_Status Restore(Saved& saved, const std::string& folder) {
    folder_ = folder;
    const LV2_Feature mapPath{LV2_STATE__mapPath, &mapPath_};
    const LV2_Feature* features[] = {&mapFeature_, &mapPath, nullptr};
    return state_->restore(
        lilv_instance_get_handle(instance_),
        [](LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
           uint32_t* flags) -> const void* {
          auto& values = static_cast<Saved*>(h)->values;
          const auto it = values.find(key);
          if (it == values.end()) {
            return nullptr;
          }
          *size = it->second.second.size();
          *type = it->second.first;
          *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
          return it->second.second.data();
        },
        &saved, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
  }

private:
  static int LogPrintf(LV2_Log_Handle h, LV2_URID /*type*/, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = static_cast<PluginHost*>(h)->Print(fmt, args);
    va_end(args);
    return n;
  }
  static int LogVprintf(LV2_Log_Handle h, LV2_URID /*type*/, const char* fmt, va_list args) {
    return static_cast<PluginHost*>(h)->Print(fmt, args);
  }
  int Print(const char* fmt, va_list args) {
    char text[1024];
    const int n = std::vsnprintf(text, sizeof text, fmt, args);
    logged_ += text;
    return n;
  }
  void StartEvents() {
    lv2_atom_forge_set_buffer(&forge_, control_.data(), control_.size());
    lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
  }
  void ReadNotify() {
    const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(notify_.data());
    if (notify->atom.type != Map(LV2_ATOM__Sequence)) {
      return;
    }
    LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
      const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
      if (object->body.otype != Map(LV2_PATCH__Set)) {
        continue;
      }
      const LV2_Atom* value = nullptr;
      lv2_atom_object_get(object, Map(LV2_PATCH__value), &value, 0);
      if (value != nullptr && value->type == Map(LV2_ATOM__Path)) {
        toldPath_ = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
      }
    }
  }
  static char* AbstractPath(LV2_State_Map_Path_Handle h, const char* path) {
    const std::string& folder = static_cast<PluginHost*>(h)->folder_;
    std::string p = path;
    if (p.rfind(folder + "/", 0) == 0) {
      p = p.substr(folder.size() + 1);
    }
    return strdup(p.c_str());
  }
  static char* AbsolutePath(LV2_State_Map_Path_Handle h, const char* path) {
    const std::string p = path;
    return strdup(p.starts_with('/') ? p.c_str()
                                     : (static_cast<PluginHost*>(h)->folder_ + "/" + p).c_str());
  }

  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
  LilvInstance* instance_ = nullptr;
  const LV2_Worker_Interface* worker_ = nullptr;
  const LV2_State_Interface* state_ = nullptr;
  std::map<std::string, LV2_URID> urids_;
  LV2_URID_Map map_{};
  LV2_Worker_Schedule schedule_{};
  LV2_Log_Log log_{};
  LV2_State_Map_Path mapPath_{this, AbstractPath, AbsolutePath};
  LV2_Feature mapFeature_{};
  LV2_Feature scheduleFeature_{};
  LV2_Feature logFeature_{};
  std::vector<const LV2_Feature*> features_;
  LV2_Atom_Forge forge_{};
  LV2_Atom_Forge_Frame sequence_{};
  std::vector<uint8_t> control_;
  std::vector<uint8_t> notify_;
  std::array<std::vector<float>, 5> outputs_;
  std::array<std::vector<float>, 5> played_;
  std::array<float, kKnobs> knobs_{};
  std::array<std::array<uint8_t, 4096>, 16> jobs_{};
  std::array<uint32_t, 16> jobSizes_{};
  std::size_t jobCount_ = 0;
  std::array<std::array<uint8_t, 4096>, 16> responses_{};
  std::array<uint32_t, 16> responseSizes_{};
  std::size_t responseCount_ = 0;
  std::string logged_;
  std::string toldPath_;
  std::string folder_;
};

} // namespace lw::test
