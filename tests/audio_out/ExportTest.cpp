#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "SoundFiles.h"
#include "TempDir.h"
#include "audio_out/AudioExport.h"
#include "audio_out/ExportFile.h"
#include "engine/Vinyl.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

namespace lw {
namespace {

using test::FakePrompts;
using test::PutNote;
using test::PutSample;

TEST(ExportFormats, ExtensionsNamesAndStemPaths) {
  const struct {
    const char* path;
    std::optional<ExportFormat> format;
  } byPath[] = {
      {"a.wav", ExportFormat::Wav16},  {"/x/A.WAV", ExportFormat::Wav16},
      {"a.flac", ExportFormat::Flac},  {"a.Flac", ExportFormat::Flac},
      {"a.ogg", ExportFormat::Vorbis}, {"a.oga", ExportFormat::Vorbis},
      {"a.opus", ExportFormat::Opus},  {"a.mp3", ExportFormat::Mp3},
      {"a.aiff", std::nullopt},        {"a.d/song", std::nullopt},
      {"/x/.wav", std::nullopt},       {"song", std::nullopt},
  };
  for (const auto& row : byPath) {
    EXPECT_EQ(FormatOfPath(row.path), row.format) << row.path;
  }
  for (const ExportFormatInfo& info : ExportFormats()) {
    EXPECT_EQ(FormatNamed(info.name), info.format) << info.name;
    EXPECT_EQ(&InfoOf(info.format), &info);
  }
  EXPECT_EQ(FormatNamed("WAV24"), ExportFormat::Wav24);
  EXPECT_EQ(FormatNamed("aiff"), std::nullopt);

  const auto stems = StemPaths("/a.b/song.flac", ExportFormat::Flac);
  EXPECT_EQ(stems[0], "/a.b/song-ch1.flac");
  EXPECT_EQ(stems[2], "/a.b/song-ch3.flac");
  EXPECT_EQ(stems[3], "/a.b/song-delay.flac");
  EXPECT_EQ(stems[4], "/a.b/song-vinyl.flac");
  EXPECT_EQ(StemPaths("/a.b/song", ExportFormat::Mp3)[1], "/a.b/song-ch2.mp3");

  EXPECT_EQ(ExportTargetPath("/a/x", ExportFormat::Flac), "/a/x.flac");
  EXPECT_EQ(ExportTargetPath("/a/x.FLAC", ExportFormat::Flac), "/a/x.FLAC");
  EXPECT_EQ(ExportTargetPath("/a/x.wav", ExportFormat::Mp3), "/a/x.wav.mp3");
  EXPECT_EQ(ExportTargetPath("/a/x.wav", ExportFormat::Wav24), "/a/x.wav");
}

// A pattern with all three channels, overdrive, the delay fed back and vinyl noise, so
// that every stem carries sound.
struct ExportFixture : ::testing::Test {
  test::TempDir dir;
  FakePrompts prompts;
  RenderProgress quiet;

  std::unique_ptr<Engine> Song() {
    auto e = test::NewEngine();
    std::vector<int16_t> noise(5001);
    for (std::size_t i = 0; i < noise.size(); ++i) {
      noise[i] = static_cast<int16_t>((static_cast<int>(i * 7919) % 4001) - 2000);
    }
    const std::string noiseFile = dir.File("noise.raw");
    test::WriteBytes(noiseFile, {reinterpret_cast<const uint8_t*>(noise.data()),
                                 reinterpret_cast<const uint8_t*>(noise.data() + noise.size())});
    LoadVinylNoise(*e, noiseFile);
    std::vector<int16_t> tone(20000);
    for (std::size_t i = 0; i < tone.size(); ++i) {
      tone[i] = static_cast<int16_t>(std::lround(30000 * std::sin(static_cast<double>(i) / 9)));
    }
    PutSample(*e, 0, tone, 44100, SampleCategory::Drum);
    PutSample(*e, 1, tone, 22050, SampleCategory::Drum);
    for (int c = 0; c < kChannels; ++c) {
      for (int s = c; s < kSteps; s += 4) {
        PutNote(*e, 0, 0, c, s, c % 2);
      }
      e->state.song.channel(0, 0, c).delaySend = 40;
      e->state.song.channel(0, 0, c).distortOn = c == 2 ? 1 : 0;
    }
    e->state.song.distortAmount = 20;
    e->state.song.vinylAmount = 60;
    e->state.song.delayFeedback = 60;
    e->UpdateTiming();
    return e;
  }

  // The mix and stems of one pass of the pattern, rendered in memory.
  struct Rendered {
    std::vector<int16_t> mix;
    std::vector<std::vector<int32_t>> stems;
  };
  Rendered InMemory() {
    auto e = Song();
    const auto n = static_cast<std::size_t>(e->clock.patternSamples);
    Rendered r{std::vector<int16_t>(n),
               std::vector<std::vector<int32_t>>(Engine::kStems, std::vector<int32_t>(n))};
    Engine::StemOutputs to{};
    for (std::size_t s = 0; s < to.size(); ++s) {
      to[s] = r.stems[s].data();
    }
    test::Start(*e);
    e->delay.ClearDelayLine();
    e->RenderBlockWithStems(r.mix.data(), to, n);
    return r;
  }

  bool Export(const std::string& target, const ExportOptions& options) {
    auto e = Song();
    return ExportAudioFile(*e, prompts, quiet, RenderKind::ThisPattern, target, {}, options);
  }
};

double Rms(const std::vector<float>& values) {
  double sum = 0;
  for (const float v : values) {
    sum += static_cast<double>(v) * v;
  }
  return values.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(values.size()));
}

// Every format, read back through libsndfile: mono, at its rate, as long as the render;
// the lossless ones hold exactly the rendered values, the lossy ones sound as loud.
TEST_F(ExportFixture, EveryFormatReadsBackAsRendered) {
  const Rendered want = InMemory();
  const std::size_t n = want.mix.size();
  for (const ExportFormatInfo& info : ExportFormats()) {
    SCOPED_TRACE(info.name);
    const std::string target = dir.File(std::string("song-") + info.name + "." + info.extension);
    ExportOptions options{info.format, 0.6, true};
    ASSERT_TRUE(Export(target, options));
    EXPECT_TRUE(prompts.ioErrors.empty());
    const auto stemPaths = StemPaths(target, info.format);
    for (std::size_t f = 0; f <= stemPaths.size(); ++f) {
      const std::string& path = f == 0 ? target : stemPaths[f - 1];
      SCOPED_TRACE(path);
      const test::SoundFile file = test::ReadSoundFile(path);
      ASSERT_TRUE(file.opened);
      EXPECT_EQ(file.rate, FileRate(info.format));
      EXPECT_EQ(file.channels, 1);
      std::vector<int32_t> expected(n);
      for (std::size_t i = 0; i < n; ++i) {
        const int32_t value = f == 0 ? 2 * want.mix[i] : want.stems[f - 1][i];
        expected[i] = info.format == ExportFormat::Wav24 ? std::clamp(value, -65536, 65535) * 128
                                                         : std::clamp(value / 2, -32768, 32767);
      }
      if (!info.lossy) {
        EXPECT_EQ(file.samples, expected);
        continue;
      }
      // Lossy codecs add their own delay and padding; the length is the render's, resampled,
      // within a codec frame or two.
      const double length = static_cast<double>(n) * FileRate(info.format) / 44100;
      EXPECT_NEAR(static_cast<double>(file.samples.size()), length, 2400.0);
      std::vector<float> source(expected.size());
      std::transform(expected.begin(), expected.end(), source.begin(),
                     [](int32_t v) { return static_cast<float>(v) / 32768.0F; });
      const double rms = Rms(source);
      EXPECT_NEAR(Rms(file.floats), rms, 0.15 * rms + 1e-4);
    }
  }
}

// A 16-bit WAV mix is the same file with or without stems, and is what "Render Wav" writes.
TEST_F(ExportFixture, AWavMixIsTheSameWithOrWithoutStems) {
  ASSERT_TRUE(Export(dir.File("plain.wav"), {ExportFormat::Wav16, 0.6, false}));
  ASSERT_TRUE(Export(dir.File("stems.wav"), {ExportFormat::Wav16, 0.6, true}));
  auto e = Song();
  ASSERT_TRUE(
      RenderToWavFile(*e, prompts, quiet, RenderKind::ThisPattern, dir.File("render.wav"), {}));
  const auto plain = test::ReadBytes(dir.File("plain.wav"));
  EXPECT_EQ(test::ReadBytes(dir.File("stems.wav")), plain);
  EXPECT_EQ(test::ReadBytes(dir.File("render.wav")), plain);
  EXPECT_FALSE(std::filesystem::exists(dir.File("plain-ch1.wav")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("stems-vinyl.wav")));
}

TEST_F(ExportFixture, QualityChangesTheLossyFilesSize) {
  for (const ExportFormatInfo& info : ExportFormats()) {
    if (!info.lossy) {
      continue;
    }
    SCOPED_TRACE(info.name);
    const std::string low = dir.File(std::string("low.") + info.extension);
    const std::string high = dir.File(std::string("high.") + info.extension);
    ASSERT_TRUE(Export(low, {info.format, 0.1, false}));
    ASSERT_TRUE(Export(high, {info.format, 0.9, false}));
    EXPECT_LT(std::filesystem::file_size(low), std::filesystem::file_size(high));
  }
}

// However an export fails, every file keeps what it held, the ones it created are gone
// and no temporary file is left; the message names the file and the reason.
TEST_F(ExportFixture, AFailedExportLeavesEveryFileAsItWas) {
  const std::string target = dir.File("song.flac");
  test::WriteBytes(target, {1, 2, 3});
  const ExportOptions options{ExportFormat::Flac, 0.6, true};
  // Count the writes of a whole export, then fail each of them in turn.
  int writes = 0;
  {
    const test::FileFault count(test::FileOp::Write, 0, 0);
    ASSERT_TRUE(Export(dir.File("counted.flac"), options));
    writes = count.Calls(test::FileOp::Write);
  }
  ASSERT_GT(writes, 5);
  for (int nth = 1; nth <= writes; nth += std::max(1, writes / 12)) {
    SCOPED_TRACE(nth);
    prompts.ioErrors.clear();
    {
      const test::FileFault fault(test::FileOp::Write, nth, ENOSPC);
      EXPECT_FALSE(Export(target, options));
    }
    ASSERT_EQ(prompts.ioErrors.size(), 1U);
    EXPECT_NE(prompts.ioErrors[0].find(SystemErrorText(ENOSPC)), std::string::npos);
    EXPECT_NE(prompts.ioErrors[0].find(dir.File("song")), std::string::npos);
    EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    for (const std::string& name : dir.Names()) {
      EXPECT_TRUE(name.rfind("song", 0) != 0 || name == "song.flac") << name;
      EXPECT_EQ(name.find(kExportTempPrefix), std::string::npos) << name;
    }
  }
}

TEST_F(ExportFixture, AnUnwritableTargetIsNamedAndNothingIsCreated) {
  const std::string target = dir.File("missing/song.ogg");
  EXPECT_FALSE(Export(target, {ExportFormat::Vorbis, 0.6, true}));
  ASSERT_EQ(prompts.notices.size(), 1U);
  EXPECT_EQ(prompts.notices[0], "Error creating \"" + target + "\"...\n" + SystemErrorText(ENOENT));
  // A stem's name that cannot be written removes the files created before it.
  std::filesystem::create_directory(dir.File("song-delay.wav"));
  prompts.notices.clear();
  EXPECT_FALSE(Export(dir.File("song.wav"), {ExportFormat::Wav16, 0.6, true}));
  ASSERT_EQ(prompts.notices.size(), 1U);
  EXPECT_NE(prompts.notices[0].find("song-delay.wav"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("song.wav")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("song-ch1.wav")));
}

TEST_F(ExportFixture, TheCommandAsksBeforeStemsReplaceFiles) {
  auto e = Song();
  std::string folder = dir.path().string();
  test::WriteBytes(dir.File("take-ch2.mp3"), {9});
  const ExportOptions options{ExportFormat::Mp3, 0.6, true};
  prompts.files.emplace_back(dir.File("take"));
  prompts.answers.push_back(false);
  EXPECT_FALSE(
      ExportAudioCommand(*e, prompts, quiet, RenderKind::ThisPattern, {}, options, folder));
  ASSERT_EQ(prompts.questions.size(), 1U);
  EXPECT_EQ(prompts.questions[0], ReplaceStemsQuestion("\"" + dir.File("take-ch2.mp3") + "\"\r\n"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("take.mp3")));
  EXPECT_EQ(test::ReadBytes(dir.File("take-ch2.mp3")), (std::vector<uint8_t>{9}));

  prompts.files.emplace_back(dir.File("take"));
  prompts.answers.push_back(true);
  EXPECT_TRUE(ExportAudioCommand(*e, prompts, quiet, RenderKind::ThisPattern, {}, options, folder));
  EXPECT_TRUE(test::ReadSoundFile(dir.File("take-ch2.mp3")).opened);
  EXPECT_EQ(folder, FolderOf(dir.File("take")));

  e->playing = true;
  EXPECT_FALSE(
      ExportAudioCommand(*e, prompts, quiet, RenderKind::ThisPattern, {}, options, folder));
  EXPECT_EQ(prompts.notices.back(), kRenderWhilePlaying);
  e->playing = false;
}

} // namespace
} // namespace lw
