// The LV2 plugin's state restore on any stored value: the song's path as a session
// keeps it (any bytes, any length, with or without a terminator, of the wrong type), with
// or without the host's path mapping, naming no file or a file of any bytes. Restoring
// never crashes, and the plugin then plays (silence where the song is no song) without
// touching memory it should not.
//
// The input's first byte chooses: bits 0-1 what the value is (0: the rest as an abstract
// path the host maps into a folder of the target's own, where nothing is; 1: "song.lw" in
// that folder, holding the rest; 2: the rest as a file name in the working folder, with no
// mapping; 3: the rest under another type than a path), bit 2 whether a state
// is stored at all, bit 3 whether the host offers mapPath (always for 0: no absolute path
// of the machine's is ever opened).
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const LV2_Descriptor* Descriptor() {
  static const LV2_Descriptor* descriptor = [] {
    void* module = dlopen(LOOPWREN_LV2_BUNDLE "/loopwren.so", RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      std::fprintf(stderr, "%s\n", dlerror());
      std::abort();
    }
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    const auto entry = reinterpret_cast<Entry>(dlsym(module, "lv2_descriptor"));
    return entry(0);
  }();
  return descriptor;
}

std::map<std::string, LV2_URID>& Urids() {
  static std::map<std::string, LV2_URID> urids;
  return urids;
}

LV2_URID Map(LV2_URID_Map_Handle /*handle*/, const char* uri) {
  auto& urids = Urids();
  return urids.try_emplace(uri, static_cast<LV2_URID>(urids.size() + 1)).first->second;
}

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    char name[] = "/tmp/loopwren-fuzz-state-XXXXXX";
    const char* made = mkdtemp(name);
    if (made == nullptr) {
      std::abort();
    }
    return std::filesystem::path(made);
  }();
  return folder;
}

char* AbstractPath(LV2_State_Map_Path_Handle /*handle*/, const char* path) {
  return strdup(path);
}

// Every abstract path lands in the target's folder, under a name made of its bytes.
char* AbsolutePath(LV2_State_Map_Path_Handle /*handle*/, const char* path) {
  std::string name = "p";
  for (const char* c = path; *c != '\0' && name.size() < 64; ++c) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(*c));
    name += hex;
  }
  return strdup((Folder() / name).c_str());
}

struct Stored {
  bool present = false;
  uint32_t type = 0;
  std::vector<uint8_t> value;
};

const void* Retrieve(LV2_State_Handle handle, uint32_t /*key*/, size_t* size, uint32_t* type,
                     uint32_t* flags) {
  const auto& stored = *static_cast<const Stored*>(handle);
  if (!stored.present) {
    return nullptr;
  }
  *size = stored.value.size();
  *type = stored.type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return stored.value.data();
}

int Printf(LV2_Log_Handle /*handle*/, LV2_URID /*type*/, const char* /*format*/, ...) {
  return 0;
}
int Vprintf(LV2_Log_Handle /*handle*/, LV2_URID /*type*/, const char* /*format*/,
            va_list /*args*/) {
  return 0;
}

LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle /*handle*/, uint32_t /*size*/,
                           const void* /*data*/) {
  return LV2_WORKER_SUCCESS;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t mode = data[0];
  const std::vector<uint8_t> rest(data + 1, data + size);
  Stored stored;
  stored.present = (mode & 4) == 0;
  stored.type = Map(nullptr, LV2_ATOM__Path);
  switch (mode & 3) {
  case 0:
    stored.value = rest;
    break;
  case 1: {
    const std::filesystem::path song = Folder() / "song.lw";
    std::ofstream(song, std::ios::binary)
        .write(reinterpret_cast<const char*>(rest.data()),
               static_cast<std::streamsize>(rest.size()));
    const std::string name = (mode & 8) != 0 ? "song.lw" : song.string();
    stored.value.assign(name.begin(), name.end());
    stored.value.push_back(0);
    break;
  }
  case 2:
    // A name in the working folder: no separator, so no way out of it.
    stored.value = rest;
    std::replace(stored.value.begin(), stored.value.end(), uint8_t{'/'}, uint8_t{'_'});
    break;
  default:
    stored.value = rest;
    stored.type = Map(nullptr, LV2_ATOM__String);
    break;
  }
  (void)Folder();

  LV2_URID_Map map{nullptr, Map};
  LV2_Worker_Schedule schedule{nullptr, Schedule};
  LV2_State_Map_Path mapPath{nullptr, AbstractPath, AbsolutePath};
  const LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
  const LV2_Feature mapPathFeature{LV2_STATE__mapPath, &mapPath};
  LV2_Log_Log log{nullptr, Printf, Vprintf};
  const LV2_Feature logFeature{LV2_LOG__log, &log};
  const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, &logFeature, nullptr};
  const bool mapped = (mode & 8) != 0 || (mode & 3) == 0;
  const LV2_Feature* restoreFeatures[] = {&mapFeature, mapped ? &mapPathFeature : nullptr, nullptr};

  const LV2_Descriptor* d = Descriptor();
  LV2_Handle plugin = d->instantiate(d, 44100, LOOPWREN_LV2_BUNDLE, features);
  if (plugin == nullptr) {
    std::abort();
  }
  std::array<std::array<float, 64>, 5> outputs{};
  for (uint32_t p = 0; p < 5; ++p) {
    d->connect_port(plugin, p, outputs[p].data());
  }
  alignas(8) std::array<uint8_t, 256> control{};
  auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(control.data());
  sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
  sequence->atom.type = Map(nullptr, LV2_ATOM__Sequence);
  d->connect_port(plugin, 5, control.data());
  std::array<float, 11> knobs{};
  knobs.fill(-1.0F);
  for (uint32_t k = 0; k < knobs.size(); ++k) {
    d->connect_port(plugin, 7 + k, &knobs[k]);
  }
  const auto* state =
      static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
  state->restore(plugin, Retrieve, &stored, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                 restoreFeatures);
  for (int i = 0; i < 4; ++i) {
    d->run(plugin, 64);
  }
  d->cleanup(plugin);
  return 0;
}
