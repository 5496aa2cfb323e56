// The starter kit as a user meets it: every file imports through the sample manager's
// reader as 16-bit mono 44100 Hz, peaks near -3 dBFS, starts and ends without a click,
// the pitched ones sound a C, and the loops last exactly one pattern at 120 BPM. The
// generator makes the same bytes every time it runs.
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "samples/WavImport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

namespace lw {
namespace {

constexpr double kC2 = 65.40639132514966;
constexpr double kC4 = 261.6255653005986;
constexpr std::size_t kOnePattern = 0; // the length of one pattern at 120 BPM

struct KitFile {
  const char* name;
  std::size_t length; // values, or kOnePattern
};

const KitFile kKit[] = {
    {"kick.wav", 30870},
    {"snare.wav", 15435},
    {"clap.wav", 17640},
    {"hat-closed.wav", 6615},
    {"hat-open.wav", 30870},
    {"rim.wav", 5292},
    {"tom-low.wav", 26460},
    {"tom-high.wav", 26460},
    {"cowbell.wav", 19845},
    {"bass-C2.wav", 52920},
    {"lead-C4.wav", 52920},
    {"stab-Cm7-C4.wav", 39690},
    {"loop-funk-120.wav", kOnePattern},
    {"loop-arp-Cm-120.wav", kOnePattern},
};

// The instruments and the C their names give (the stab's lowest note).
struct PitchedFile {
  const char* name;
  double hz;
};

const PitchedFile kPitched[] = {
    {"bass-C2.wav", kC2},
    {"lead-C4.wav", kC4},
    {"stab-Cm7-C4.wav", kC4},
};

// Test names show the file.
void PrintTo(const KitFile& file, std::ostream* out) {
  *out << file.name;
}
void PrintTo(const PitchedFile& file, std::ostream* out) {
  *out << file.name;
}

// The engine's pattern length at 120 BPM.
std::size_t PatternSamplesAt120() {
  auto engine = test::NewEngine();
  engine->state.song.tempo = 120;
  engine->UpdateTiming();
  return static_cast<std::size_t>(engine->clock.patternSamples);
}

std::string KitPath(const std::string& name) {
  return (std::filesystem::path(LOOPWREN_KIT_DIR) / name).string();
}

int RunGenerator(const std::string& folder) {
  const std::string command = std::string(LOOPWREN_KIT_BIN) + " '" + folder + "'";
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

double Dbfs(double magnitude) {
  return 20 * std::log10(magnitude / 32768.0);
}

// The magnitude of the Hann-windowed Fourier transform of `n` values from `from` at `hz`.
double Magnitude(const SampleData& x, std::size_t from, std::size_t n, double hz) {
  const double w = 2 * std::numbers::pi * hz / 44100;
  double re = 0.0;
  double im = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double window =
        0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / (n - 1));
    const double v = window * x[from + i];
    re += v * std::cos(w * static_cast<double>(i));
    im -= v * std::sin(w * static_cast<double>(i));
  }
  return std::hypot(re, im);
}

// The frequency of the strongest component within a semitone of `near`, to a tenth of a
// cent, from a window of 16384 values 50 ms in (past the attack).
double StrongestNear(const SampleData& x, double near) {
  constexpr std::size_t kFrom = 2205;
  constexpr std::size_t kWindow = 16384;
  const auto at = [&](double cents) {
    return Magnitude(x, kFrom, kWindow, near * std::exp2(cents / 1200));
  };
  double best = 0.0;
  for (double step : {5.0, 0.5, 0.1}) {
    double bestCents = best;
    double bestMagnitude = -1.0;
    for (int k = -20; k <= 20; ++k) {
      const double c = best + k * step;
      const double m = std::abs(c) <= 100 ? at(c) : -1.0;
      if (m > bestMagnitude) {
        bestMagnitude = m;
        bestCents = c;
      }
    }
    best = bestCents;
  }
  return near * std::exp2(best / 1200);
}

struct Imported {
  ImportedAudio audio;
  tWavImportInfo info;
  test::FakePrompts prompts;
};

Imported Import(const std::string& name) {
  Imported result;
  result.audio = ImportAudioFile(KitPath(name), result.prompts, result.info);
  return result;
}

// "bass-C2.wav" -> "bass_C2", a test name.
std::string TestName(const char* file) {
  std::string name = std::filesystem::path(file).stem().string();
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

class KitFileTest : public ::testing::TestWithParam<KitFile> {};

TEST_P(KitFileTest, ImportsAsSixteenBitMonoAt44100WithItsLength) {
  const KitFile& file = GetParam();
  const Imported kit = Import(file.name);
  EXPECT_TRUE(kit.prompts.silent());
  EXPECT_EQ(kit.info.sampleRate, 44100);
  EXPECT_EQ(kit.info.bits, 16);
  EXPECT_EQ(kit.info.channels, 1);
  EXPECT_EQ(kit.info.name, std::filesystem::path(file.name).stem().string());
  const std::size_t expected = file.length == kOnePattern ? PatternSamplesAt120() : file.length;
  EXPECT_EQ(kit.audio.data.size(), expected);
  EXPECT_EQ(kit.audio.bytes, 2 * expected);
}

TEST_P(KitFileTest, PeaksNearMinusThreeDbfs) {
  const Imported kit = Import(GetParam().name);
  ASSERT_FALSE(kit.audio.data.empty());
  int peak = 0;
  for (int16_t v : kit.audio.data) {
    peak = std::max(peak, std::abs(static_cast<int>(v)));
  }
  EXPECT_GE(Dbfs(peak), -6.0);
  EXPECT_LE(Dbfs(peak), -0.5);
}

// No click: the sound begins at silence and rises from it without a jump, and its last
// millisecond has faded to within 1 % of full scale.
TEST_P(KitFileTest, StartsAndEndsAtSilence) {
  const Imported kit = Import(GetParam().name);
  const SampleData& x = kit.audio.data;
  ASSERT_GT(x.size(), 44U);
  constexpr int kOnePercent = 328;
  EXPECT_LE(std::abs(x[0]), kOnePercent);
  EXPECT_LE(std::abs(x[1]), 10 * kOnePercent);
  for (std::size_t i = x.size() - 44; i < x.size(); ++i) {
    EXPECT_LE(std::abs(x[i]), kOnePercent) << "value " << i << " of " << x.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Kit, KitFileTest, ::testing::ValuesIn(kKit),
                         [](const ::testing::TestParamInfo<KitFile>& info) {
                           return TestName(info.param.name);
                         });

class PitchedFileTest : public ::testing::TestWithParam<PitchedFile> {};

// The instrument category plays note 36 at the sample's own pitch, so a pitched sample
// must sound the C its name gives: its strongest component near that C lies within 3
// cents of it, and an octave below there is next to nothing, so the C is the fundamental.
TEST_P(PitchedFileTest, SoundsItsCAsTheFundamental) {
  const PitchedFile& file = GetParam();
  const Imported kit = Import(file.name);
  ASSERT_GT(kit.audio.data.size(), 2205U + 16384U);
  const double found = StrongestNear(kit.audio.data, file.hz);
  EXPECT_NEAR(1200 * std::log2(found / file.hz), 0.0, 3.0) << found << " Hz";
  const double fundamental = Magnitude(kit.audio.data, 2205, 16384, file.hz);
  const double octaveBelow = Magnitude(kit.audio.data, 2205, 16384, file.hz / 2);
  EXPECT_LT(octaveBelow, fundamental / 30);
}

INSTANTIATE_TEST_SUITE_P(Kit, PitchedFileTest, ::testing::ValuesIn(kPitched),
                         [](const ::testing::TestParamInfo<PitchedFile>& info) {
                           return TestName(info.param.name);
                         });

TEST(StarterKit, TheFolderHoldsTheKitAndTheDemoSongs) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(LOOPWREN_KIT_DIR)) {
    found.push_back(entry.path().filename().string());
  }
  std::vector<std::string> expected = {"demo"};
  for (const KitFile& file : kKit) {
    expected.emplace_back(file.name);
  }
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}

// A loop sample lasting one pattern at 120 BPM plays at speed 1 there: its own pitch.
TEST(StarterKit, LoopsPlayAtTheirOwnPitchAt120) {
  auto engine = test::NewEngine();
  engine->state.song.tempo = 120;
  engine->UpdateTiming();
  int loops = 0;
  for (const KitFile& file : kKit) {
    if (file.length != kOnePattern) {
      continue;
    }
    Imported kit = Import(file.name);
    SampleSlot& slot = engine->samples.slots[loops++];
    FillSlot(slot, std::move(kit.audio.data), 44100, "loop", SampleCategory::Loop);
    EXPECT_EQ(engine->SampleSpeed(slot, Step{}), 1.0) << file.name;
  }
  EXPECT_EQ(loops, 2);
}

TEST(StarterKit, TheGeneratorWritesTheSameBytesEveryTime) {
  const test::TempDir first;
  const test::TempDir second;
  ASSERT_EQ(RunGenerator(first.path().string()), 0);
  ASSERT_EQ(RunGenerator(second.path().string()), 0);
  EXPECT_EQ(first.Names().size(), std::size(kKit));
  for (const KitFile& file : kKit) {
    const auto bytes = test::ReadBytes(first.File(file.name));
    EXPECT_FALSE(bytes.empty()) << file.name;
    EXPECT_EQ(bytes, test::ReadBytes(second.File(file.name))) << file.name;
    // The build's kit is what the generator makes now.
    EXPECT_EQ(bytes, test::ReadBytes(KitPath(file.name))) << file.name;
  }
}

TEST(StarterKit, TheGeneratorRefusesAFolderItCannotMake) {
  const test::TempDir dir;
  test::WriteBytes(dir.File("file"), {1, 2, 3});
  EXPECT_EQ(RunGenerator(dir.File("file") + "/kit"), 1);
}

} // namespace
} // namespace lw
