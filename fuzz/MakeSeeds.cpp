// Writes the fuzzers' seed inputs: songs written by the program's own writer with varied
// content, WAV files with every header field broken in turn, raw data and noise.
//
// Usage: loopwren_fuzz_seeds FOLDER
// (creates FOLDER/song, FOLDER/wav, FOLDER/raw, FOLDER/vinyl, FOLDER/sound_file,
// FOLDER/midi_stream, FOLDER/plugin_state)
#include "engine/Engine.h"
#include "samples/SongFile.h"
#include "song/AtomicFileWriter.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace lw;
using Bytes = std::vector<uint8_t>;

bool Put(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

SampleData Wave(std::size_t n, int period) {
  SampleData data(n);
  for (std::size_t i = 0; i < n; ++i) {
    data[i] = static_cast<int16_t>(
        (static_cast<int>(i % static_cast<std::size_t>(period)) * 60000 / period) - 30000);
  }
  return data;
}

// A short sound written by libsndfile itself in `format`, `channels` wide.
bool WriteSound(const std::string& path, int format, int channels, int rate) {
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = rate;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    return false;
  }
  constexpr sf_count_t kFrames = 300;
  std::vector<double> frames;
  for (sf_count_t i = 0; i < kFrames * channels; ++i) {
    frames.push_back(static_cast<double>((i * 37) % 200 - 100) / 101);
  }
  const bool ok = sf_writef_double(f, frames.data(), kFrames) == kFrames;
  return sf_close(f) == 0 && ok;
}

// A song built by `build`, written as the program writes it.
bool WriteSong(const std::string& path, const std::function<void(Engine&)>& build) {
  Engine e;
  const EngineHold hold(e.engineLock);
  e.NewSong();
  build(e);
  AtomicFileWriter out;
  if (!out.Open(path)) {
    return false;
  }
  WriteSongBody(out, e.state.song, e.state.sequence, e.samples);
  out.Commit();
  return true;
}

void Steps(Engine& e, int bank, int pattern, int sample,
           uint8_t mode) LW_NO_THREAD_SAFETY_ANALYSIS {
  for (int c = 0; c < kChannels; ++c) {
    for (int s = 0; s < kSteps; s += 1 + c) {
      Step& step = e.state.song.step(bank, pattern, c, s);
      step.trigger = 1;
      step.sample = static_cast<uint8_t>(sample + c);
      step.mode = s % 4 == 3 ? mode : 255;
      step.startPos = 64 * s;
      step.endPos = 64 * s + 80;
      step.pitch = static_cast<uint8_t>(50 + 6 * s);
      step.note = 12 + 3 * s;
      step.volume = s % 5 == 0 ? static_cast<uint8_t>(8 * s) : 255;
    }
  }
}

Bytes Le(uint32_t value, int bytes) {
  Bytes out;
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  return out;
}

// A WAV file field by field, any of which a seed may break.
struct Wav {
  uint32_t riffSize = 0;
  uint32_t fmtSize = 16;
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint32_t byteRate = 88200;
  uint16_t blockAlign = 2;
  uint16_t bits = 16;
  std::string dataTag = "data";
  uint32_t dataSize = 400;
  std::size_t dataBytes = 400;
  Bytes extra; // between the format fields and the data tag

  [[nodiscard]] Bytes Build() const {
    Bytes b = {'R', 'I', 'F', 'F'};
    const auto add = [&b](const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); };
    add(Le(riffSize, 4));
    add({'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    add(Le(fmtSize, 4));
    add(Le(format, 2));
    add(Le(channels, 2));
    add(Le(rate, 4));
    add(Le(byteRate, 4));
    add(Le(blockAlign, 2));
    add(Le(bits, 2));
    add(extra);
    add(Bytes(dataTag.begin(), dataTag.end()));
    add(Le(dataSize, 4));
    for (std::size_t i = 0; i < dataBytes; ++i) {
      b.push_back(static_cast<uint8_t>(i * 37));
    }
    return b;
  }
};

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  for (const char* sub :
       {"", "/song", "/wav", "/raw", "/vinyl", "/sound_file", "/midi_stream", "/plugin_state"}) {
    ::mkdir((root + sub).c_str(), 0755);
  }
  bool ok = true;
  const auto song = [&](const std::string& name, const std::function<void(Engine&)>& build) {
    ok = WriteSong(root + "/song/" + name + ".LW", build) && ok;
  };
  song("new", [](Engine&) {});
  song("kit", [](Engine& e) LW_NO_THREAD_SAFETY_ANALYSIS {
    FillSlot(e.samples.slots[0], Wave(900, 50), 44100, "kick", SampleCategory::Drum);
    FillSlot(e.samples.slots[1], Wave(500, 7), 22050, "hat", SampleCategory::Drum);
    FillSlot(e.samples.slots[2], Wave(2000, 100), 11025, "bass", SampleCategory::Instrument);
    Steps(e, 0, 0, 0, static_cast<uint8_t>(StepMode::RetrigLoop));
    e.state.song.distortAmount = 20;
    e.state.song.vinylAmount = 50;
    e.state.song.delaySteps = 2;
    e.state.song.delayFeedback = 70;
    e.state.song.shuffle = 30;
    e.state.song.title.assignText("Fuzz kit");
  });
  song("slices", [](Engine& e) LW_NO_THREAD_SAFETY_ANALYSIS {
    FillSlot(e.samples.slots[5], Wave(3000, 300), 44100, "loop", SampleCategory::Loop);
    FillSlot(e.samples.slots[6], Wave(1500, 30), 8000, "lead", SampleCategory::Instrument);
    FillSlot(e.samples.slots[7], Wave(300, 3), 65535, "tick", SampleCategory::Drum);
    for (const uint8_t mode : {2, 3, 4, 5}) {
      Steps(e, mode - 2, mode, 5, mode);
    }
    for (int c = 0; c < kChannels; ++c) {
      e.state.song.channel(0, 2, c).distortOn = 1;
      e.state.song.channel(0, 2, c).delaySend = 50;
    }
    e.state.song.tempo = 220;
  });
  song("sequence", [](Engine& e) LW_NO_THREAD_SAFETY_ANALYSIS {
    FillSlot(e.samples.slots[0], Wave(700, 20), 44100, "k", SampleCategory::Drum);
    for (int p = 0; p < 4; ++p) {
      Steps(e, p, p, 0, static_cast<uint8_t>(StepMode::NoteOff));
    }
    for (int slot = 0; slot < 20; slot += 2) {
      e.state.sequence.slots[slot] = {static_cast<int8_t>(slot % 4), static_cast<int8_t>(slot % 4)};
    }
    e.state.song.tempo = 40;
  });

  // MIDI events, each a length byte and its bytes: pads, running status, an exclusive
  // message, real-time bytes inside a note, controllers and a song position.
  const auto midi = [&](const std::string& name, const Bytes& bytes) {
    ok = Put(root + "/midi_stream/" + name + ".mid", bytes) && ok;
  };
  midi("pads", {3, 0x99, 36, 100, 3, 0x99, 38, 90, 3, 0x89, 36, 0, 3, 0x99, 42, 127});
  midi("running", {9, 0x90, 36, 100, 38, 90, 42, 0, 60, 64});
  midi("sysex", {12, 0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0x90, 36, 0xF8, 100, 0xFE, 0xB0});
  midi("controls", {6, 0xB0, 7, 100, 0xB3, 74, 12, 2, 0xC0, 5, 3, 0xF2, 0x10, 0x02});
  const auto wav = [&](const std::string& name, const Wav& w) {
    ok = Put(root + "/wav/" + name + ".wav", w.Build()) && ok;
  };
  wav("plain", Wav{});
  Wav w;
  w.format = 3;
  wav("float", w);
  w = Wav{};
  w.channels = 2;
  w.byteRate = 176400;
  wav("stereo", w);
  w = Wav{};
  w.byteRate = 44100;
  wav("eight_bit", w);
  w = Wav{};
  w.rate = 0;
  wav("no_rate", w);
  w = Wav{};
  w.channels = 0;
  wav("no_channels", w);
  w = Wav{};
  w.dataTag = "junk";
  wav("no_data", w);
  w = Wav{};
  w.dataSize = 0x7fffffff;
  wav("huge_size", w);
  w = Wav{};
  w.extra = Bytes(300, 'x');
  wav("late_data", w);
  w = Wav{};
  w.rate = 96000;
  w.byteRate = 192000;
  wav("resampled", w);
  w = Wav{};
  w.dataBytes = 7;
  wav("cut", w);

  const struct {
    const char* name;
    int format;
    int channels;
    int rate;
  } sounds[] = {
      {"tiny.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 8000},
      {"stereo24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 48000},
      {"drum.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 22050},
      {"stereo24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 96000},
      {"hit.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 1, 44100},
      {"hit.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_U8, 1, 11025},
      {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 8000},
  };
  for (const auto& s : sounds) {
    ok = WriteSound(root + "/sound_file/" + s.name, s.format, s.channels, s.rate) && ok;
  }

  ok = Put(root + "/raw/short.raw", {1, 2, 3}) && ok;
  ok = Put(root + "/raw/ramp.raw", Wav{}.Build()) && ok;
  ok = Put(root + "/vinyl/odd.raw", Bytes(1001, 0x55)) && ok;
  ok = Put(root + "/vinyl/empty.raw", {}) && ok;

  // The plugin's stored state: each song as the file a stored path names (mapped and not),
  // and paths, missing states and values of the wrong type.
  for (const char* name : {"kit", "sequence"}) {
    std::FILE* in = std::fopen((root + "/song/" + name + ".LW").c_str(), "rb");
    Bytes file;
    if (in != nullptr) {
      for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in)) {
        file.push_back(static_cast<uint8_t>(c));
      }
      std::fclose(in);
    }
    for (const uint8_t mode : {1, 9}) {
      Bytes state{mode};
      state.insert(state.end(), file.begin(), file.end());
      ok = Put(root + "/plugin_state/" + name + "-" + std::to_string(mode), state) && ok;
    }
  }
  ok = Put(root + "/plugin_state/mapped", {8, 's', 'o', 'n', 'g', '.', 'l', 'w', 0}) && ok;
  ok = Put(root + "/plugin_state/relative", {2, 'a', '/', 'b', 0, 'c'}) && ok;
  ok = Put(root + "/plugin_state/string", {3, '/', 't', 'm', 'p'}) && ok;
  ok = Put(root + "/plugin_state/none", {4}) && ok;
  if (!ok) {
    std::perror(root.c_str());
  }
  return ok ? 0 : 1;
}
