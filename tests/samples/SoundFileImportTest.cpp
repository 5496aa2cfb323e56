#include "samples/SoundFileImport.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "WavBuilder.h"

#include "samples/Resample.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

namespace lw {
namespace {

using test::FakePrompts;

constexpr std::size_t kLimitValues = 2097152;

// Frames as doubles in [-1, 1) (libsndfile's normalised scale), channel-interleaved.
struct Sound {
  int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  int channels = 1;
  int rate = 44100;
  std::vector<double> frames;
};

void WriteSound(const std::string& path, const Sound& s) {
  SF_INFO info{};
  info.format = s.format;
  info.channels = s.channels;
  info.samplerate = s.rate;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  const auto count = static_cast<sf_count_t>(s.frames.size()) / s.channels;
  const int subtype = s.format & SF_FORMAT_SUBMASK;
  if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE || subtype == SF_FORMAT_VORBIS) {
    EXPECT_EQ(sf_writef_double(f, s.frames.data(), count), count);
  } else {
    // libsndfile scales doubles by 2^(bits-1) - 1 when it writes integers; 32-bit ints
    // are only shifted, so the file holds exactly the frames asked for.
    std::vector<int> ints;
    for (const double x : s.frames) {
      ints.push_back(static_cast<int>(std::clamp(x * 2147483648.0, -2147483648.0, 2147483647.0)));
    }
    EXPECT_EQ(sf_writef_int(f, ints.data(), count), count);
  }
  sf_close(f);
}

// Values that stress the rule at depth `bits`: extremes, exact halves of a 16-bit step
// (which round to even), and a deterministic spread.
std::vector<double> Frames(int channels, std::size_t count, int bits) {
  const double step = std::ldexp(1.0, 1 - bits); // one unit of the file's depth
  std::vector<double> special{-1.0, 1.0 - step, 0.0, step, -step};
  if (bits > 16) {
    for (const double half : {0.5, 1.5, 2.5, -0.5, -1.5}) {
      special.push_back(half / 32768);
    }
  }
  std::mt19937 random(7);
  std::vector<double> frames;
  for (std::size_t i = 0; i < count * static_cast<std::size_t>(channels); ++i) {
    const auto units =
        static_cast<int64_t>(random() % (uint64_t{1} << bits)) - (int64_t{1} << (bits - 1));
    frames.push_back(i < special.size() ? special[i] : static_cast<double>(units) * step);
  }
  return frames;
}

// The conversion worked out independently: mean of the channels in 16-bit units,
// rounded to nearest even by the FPU's default mode, then clipped.
SampleData Expected(const std::vector<double>& frames, int channels) {
  SampleData out;
  for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(channels)) {
    double sum = 0;
    for (int c = 0; c < channels; ++c) {
      sum += frames[i + static_cast<std::size_t>(c)] * 32768;
    }
    out.push_back(
        static_cast<int16_t>(std::clamp(std::nearbyint(sum / channels), -32768.0, 32767.0)));
  }
  return out;
}

struct ConvertFixture : ::testing::Test {
  test::TempDir dir;
  FakePrompts prompts;
  tWavImportInfo info;

  ImportedAudio Convert(const std::string& name, const Sound& sound) {
    WriteSound(dir.File(name), sound);
    return ConvertSoundFile(dir.File(name), prompts, info);
  }
  ImportedAudio ConvertBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    test::WriteBytes(dir.File(name), bytes);
    return ConvertSoundFile(dir.File(name), prompts, info);
  }
  [[nodiscard]] std::vector<uint8_t> Bytes(const std::string& name, const Sound& sound) const {
    WriteSound(dir.File(name), sound);
    std::ifstream in(dir.File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void ExpectWarned(const ImportedAudio& got, const std::string& name, const std::string& reason) {
    EXPECT_EQ(got.bytes, 0U);
    EXPECT_EQ(prompts.warnings,
              std::vector<std::string>{SoundFileErrorText(dir.File(name), reason)});
    EXPECT_TRUE(prompts.questions.empty());
  }
};

TEST_F(ConvertFixture, LosslessFilesFollowTheRuleExactly) {
  const struct {
    const char* file;
    int format;
    int channels;
    int bits;
    int rate;
  } rows[] = {
      {"stereo24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 24, 48000},
      {"mono16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 16, 22050},
      {"eight.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8, 11025},
      {"quad32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 4, 32, 44100},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 24, 44100},
      {"drum.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 16, 32000},
      {"pad.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 24, 48000},
      {"tri.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 3, 16, 8000},
      {"hit.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_24, 2, 24, 44100},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    prompts = {};
    Sound sound{row.format, row.channels, row.rate, Frames(row.channels, 3000, row.bits)};
    const ImportedAudio got = Convert(row.file, sound);
    EXPECT_EQ(got.data, Expected(sound.frames, row.channels));
    EXPECT_EQ(got.bytes, 6000U);
    EXPECT_EQ(info.sampleRate, row.rate);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.name, std::string(row.file).substr(0, std::string(row.file).find('.')));
    EXPECT_TRUE(prompts.silent());
  }
}

TEST_F(ConvertFixture, FloatsBeyondFullScaleClipAndHalvesGoToEven) {
  Sound sound{SF_FORMAT_WAV | SF_FORMAT_DOUBLE,
              2,
              44100,
              {2.0, 2.0, -3.0, -1.0, 0.5 / 32768, 0.0, 1.5 / 32768, 1.5 / 32768, 2.5 / 32768, 0.0,
               std::nan(""), 0.0}};
  EXPECT_EQ(Convert("loud.wav", sound).data, (SampleData{32767, -32768, 0, 2, 1, 0}));
}

TEST_F(ConvertFixture, SixteenBitMonoWavConvertsToItsOwnValues) {
  Sound sound{SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, Frames(1, 5000, 16)};
  tWavImportInfo wavInfo;
  const std::string path = dir.File("same.wav");
  WriteSound(path, sound);
  EXPECT_EQ(ConvertSoundFile(path, prompts, info).data, ReadWavFile(path, prompts, wavInfo).data);
  EXPECT_EQ(info.sampleRate, wavInfo.sampleRate);
}

TEST_F(ConvertFixture, RatesAbove65535AreResampledAsTheWavImportDoes) {
  Sound sound{SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 96000, Frames(2, 9600, 24)};
  const ImportedAudio got = Convert("high.flac", sound);
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(got.data, Resample(Expected(sound.frames, 2), 96000, 44100));
  EXPECT_EQ(Convert("high.flac", sound).data, got.data) << "the same file gives the same bytes";
}

TEST_F(ConvertFixture, OggVorbisKeepsItsRateAndLength) {
  std::vector<double> frames(2 * 22050);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i] = 0.5 * std::sin(static_cast<double>(i) * 0.01);
  }
  const ImportedAudio got =
      Convert("tone.ogg", {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 22050, frames});
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(got.data.size(), 22050U);
  EXPECT_NEAR(got.data[10000], 16384 * std::sin(20000 * 0.01), 600);
  EXPECT_EQ(Convert("tone.ogg", {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 22050, frames}).data,
            got.data);
}

TEST_F(ConvertFixture, MoreThanTheLimitAsksAndCutsExactlyThere) {
  Sound sound{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, Frames(2, kLimitValues + 3, 16)};
  WriteSound(dir.File("long.flac"), sound);
  EXPECT_EQ(ConvertSoundFile(dir.File("long.flac"), prompts, info).bytes, 0U);
  EXPECT_EQ(prompts.questions, std::vector<std::string>{kAudioTooLargeQuestion});
  prompts = {};
  prompts.answers = {true};
  const ImportedAudio got = ConvertSoundFile(dir.File("long.flac"), prompts, info);
  EXPECT_EQ(got.bytes, 4194304U);
  sound.frames.resize(kLimitValues * 2);
  EXPECT_EQ(got.data, Expected(sound.frames, 2));
  // Exactly the limit is no question.
  prompts = {};
  EXPECT_EQ(Convert("full.flac", sound).bytes, 4194304U);
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ConvertFixture, DamagedFilesAreRefusedWithTheirReason) {
  const auto flac =
      Bytes("whole.flac", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, Frames(1, 20000, 16)});
  auto wav = Bytes("whole.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, Frames(2, 100, 16)});
  std::vector<uint8_t> noChannels = wav;
  noChannels[22] = 0; // the format chunk's channel count
  std::vector<uint8_t> noRate = wav;
  std::fill_n(noRate.begin() + 24, 4, 0);
  std::vector<uint8_t> oggGarbage{'O', 'g', 'g', 'S'};
  std::mt19937 random(3);
  for (int i = 0; i < 3000; ++i) {
    oggGarbage.push_back(static_cast<uint8_t>(random()));
  }
  std::vector<uint8_t> id3Garbage{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
  id3Garbage.insert(id3Garbage.end(), oggGarbage.begin() + 4, oggGarbage.end());
  std::vector<uint8_t> syncGarbage = oggGarbage;
  for (std::size_t at = 0; at + 4 < syncGarbage.size(); at += 417) {
    syncGarbage[at] = 0xFF, syncGarbage[at + 1] = 0xFB, syncGarbage[at + 2] = 0x90;
  }
  const struct {
    const char* file;
    std::vector<uint8_t> bytes;
  } rows[] = {
      {"cut.flac", {flac.begin(), flac.begin() + static_cast<std::ptrdiff_t>(flac.size() / 2)}},
      {"garbage.ogg", oggGarbage},
      {"none.wav", noChannels},
      {"still.wav", noRate},
      {"empty.flac", {}},
      {"tagged.mp3", id3Garbage},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    prompts = {};
    const ImportedAudio got = ConvertBytes(row.file, row.bytes);
    EXPECT_EQ(got.bytes, 0U);
    ASSERT_EQ(prompts.warnings.size(), 1U);
    EXPECT_EQ(
        prompts.warnings[0].rfind("Could not read \"" + dir.File(row.file) + "\" as audio: ", 0),
        0U)
        << prompts.warnings[0];
  }
  // Garbage between valid MPEG frame headers is concealed by the decoder, not refused:
  // what comes out is bounded and the same every time.
  prompts = {};
  const ImportedAudio first = ConvertBytes("synced.mp3", syncGarbage);
  EXPECT_LT(first.data.size(), 20000U);
  EXPECT_EQ(ConvertBytes("synced.mp3", syncGarbage).data, first.data);
}

// A Wave64 file whose data chunk claims 2^40 frames: decoding stops where the bytes end,
// allocating only for what is there, and the user is asked nothing.
TEST_F(ConvertFixture, AClaimedLengthOf2To40FramesReadsOnlyWhatIsThere) {
  const Sound sound{SF_FORMAT_W64 | SF_FORMAT_PCM_24, 2, 44100, Frames(2, 100, 24)};
  auto w64 = Bytes("huge.w64", sound);
  const std::array<uint8_t, 4> dataGuid{'d', 'a', 't', 'a'};
  const auto at = std::search(w64.begin(), w64.end(), dataGuid.begin(), dataGuid.end());
  ASSERT_NE(at, w64.end());
  uint64_t claimed = (uint64_t{1} << 40) * 6 + 24;
  for (int i = 0; i < 8; ++i, claimed >>= 8U) {
    at[16 + i] = static_cast<uint8_t>(claimed);
  }
  const ImportedAudio got = ConvertBytes("huge.w64", w64);
  EXPECT_EQ(got.data, Expected(sound.frames, 2));
  EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ConvertFixture, WhatIsNotARegularFileIsRefusedAtOnce) {
  const std::string fifo = dir.File("pipe.flac");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConvertSoundFile(fifo, prompts, info).bytes, 0U);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(prompts.warnings,
            std::vector<std::string>{SoundFileErrorText(fifo, SystemErrorText(kNotARegularFile))});
  prompts = {};
  EXPECT_EQ(ConvertSoundFile(dir.path().string(), prompts, info).bytes, 0U);
  EXPECT_EQ(prompts.warnings,
            std::vector<std::string>{SoundFileErrorText(dir.path().string(), "Is a directory")});
}

// Files not named as WAV: sound containers are decoded, everything else stays raw.
TEST_F(ConvertFixture, UnnamedSoundFilesAreDecodedAndTheRestStaysRaw) {
  Sound stereo{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 32000, Frames(2, 1000, 16)};
  WriteSound(dir.File("song.mp3"), stereo);
  EXPECT_EQ(ImportAudioFile(dir.File("song.mp3"), prompts, info).data, Expected(stereo.frames, 2));
  EXPECT_EQ(info.sampleRate, 32000);
  EXPECT_EQ(info.name, "song");

  std::mt19937 random(11);
  std::vector<uint8_t> noise(10001);
  for (auto& b : noise) {
    b = static_cast<uint8_t>(random());
  }
  for (const char* name : {"noise.raw", "noise"}) {
    SCOPED_TRACE(name);
    test::WriteBytes(dir.File(name), noise);
    const ImportedAudio got = ImportAudioFile(dir.File(name), prompts, info);
    ASSERT_EQ(got.bytes, 10000U);
    EXPECT_EQ(std::memcmp(got.data.data(), noise.data(), 10000), 0);
    EXPECT_EQ(info.sampleRate, 44100);
  }
  // A named WAV keeps its own reader and its refusals.
  prompts = {};
  WriteSound(dir.File("stereo.WAV"), stereo);
  Sound wav = stereo;
  wav.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  WriteSound(dir.File("stereo.WAV"), wav);
  EXPECT_EQ(ImportAudioFile(dir.File("stereo.WAV"), prompts, info).bytes, 0U);
  EXPECT_EQ(prompts.warnings, std::vector<std::string>{"This appears to be stereo WAV-file..."});
}

TEST(SoundFileSniff, RecognisesContainersButNotRawData) {
  const auto bytes = [](std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (const int b : list) {
      v.push_back(static_cast<uint8_t>(b));
    }
    return v;
  };
  const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  // Two MPEG-1 layer III frames at 128 kbit/s, 44100 Hz: 417 bytes each.
  std::vector<uint8_t> mpeg(900);
  for (const std::size_t at : {0U, 417U}) {
    mpeg[at] = 0xFF, mpeg[at + 1] = 0xFB, mpeg[at + 2] = 0x90;
  }
  std::vector<uint8_t> oneSync = mpeg;
  oneSync[417] = 0;
  const struct {
    std::vector<uint8_t> head;
    bool sound;
  } rows[] = {
      {text("RIFF....WAVEfmt "), true},
      {text("RF64....WAVEds64"), true},
      {text("FORM....AIFFCOMM"), true},
      {text("FORM....AIFCFVER"), true},
      {text("fLaC"), true},
      {text("OggS"), true},
      {text("caff"), true},
      {text("ID3\x03"), true},
      {bytes({0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1,
              0x00, 0x00}),
       true},
      {mpeg, true},
      {oneSync, false},
      {text("RIFF....AVI "), false},
      {text("FORM....8SVX"), false},
      {text("ID3"), false},
      {text("fLa"), false},
      {bytes({0xFF, 0xFB}), false},
      {{}, false},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(LooksLikeSoundFile(rows[i].head), rows[i].sound) << "row " << i;
  }
}

} // namespace
} // namespace lw
