#include "samples/WavImport.h"
#include "FakePrompts.h"
#include "SampleValues.h"
#include "TempDir.h"
#include "WavBuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <random>

namespace lw {
namespace {

using test::FakePrompts;
using test::Ramp;
using test::WavBuilder;
using test::WriteBytes;

const std::string kNotValid = "This appears not to be a valid WAV-file...";
const std::string kCompressed = "This appears to be a compressed WAV-file...";
const std::string kNoData = "This WAV-file contains no data, or is in an unknown format...";
const std::string kStereo = "This appears to be stereo WAV-file...";
const std::string kOpenFailed = "An error occurred while opening this file...";
const std::string kWavTooLarge =
    "This WAV-file is larger than 4 Mb. Import the first part anyway ?";
const std::string kRawTooLarge =
    "This audio file is larger than 4 Mb. Import the first part anyway ?";
constexpr uint32_t kLimit = 4194304;

struct ImportFixture : ::testing::Test {
  test::TempDir dir;
  FakePrompts prompts;
  tWavImportInfo info;

  ImportedAudio Import(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir.File(name);
    WriteBytes(path, bytes);
    return ImportAudioFile(path, prompts, info);
  }
  ImportedAudio ImportWav(const WavBuilder& wav, const std::string& name = "kick.wav") {
    return Import(name, wav.Build());
  }
  // The general error report of a read past the end of a file of the test's folder.
  [[nodiscard]] std::string ReadPastEnd(const std::string& name) const {
    return FileErrorText(kReadBeyondEnd, dir.File(name));
  }
  // The one warning shown, with nothing imported.
  void ExpectRefused(const ImportedAudio& got, const std::string& warning) {
    EXPECT_EQ(got.bytes, 0U);
    EXPECT_TRUE(got.data.empty());
    EXPECT_EQ(prompts.warnings, std::vector<std::string>{warning});
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.ioErrors.empty());
  }
};

TEST_F(ImportFixture, APlainWavFileImportsItsSamplesAndDescribesThem) {
  const auto values = Ramp(4410);
  const ImportedAudio got = ImportWav(WavBuilder().Samples(values));
  EXPECT_EQ(got.bytes, 8820U);
  EXPECT_EQ(got.data, values);
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.bits, 16);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.name, "kick");
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ImportFixture, RatesUpTo65535AreKeptAsTheyAre) {
  for (const uint32_t rate : {48000U, 8000U, 65535U}) {
    WavBuilder wav;
    wav.rate = rate;
    const ImportedAudio got = ImportWav(wav.Bits(16).Samples(Ramp(100)));
    EXPECT_EQ(got.bytes, 200U);
    EXPECT_EQ(info.sampleRate, static_cast<int32_t>(rate));
  }
}

TEST_F(ImportFixture, NamesAreCutBeforeTheFirstDotOfTheFileName) {
  const std::vector<uint8_t> raw{1, 2, 3, 4};
  (void)Import("kick.wav", WavBuilder().Samples({1}).Build());
  EXPECT_EQ(info.name, "kick");
  (void)Import("my.kick.wav", WavBuilder().Samples({1}).Build());
  EXPECT_EQ(info.name, "my");
  (void)Import("noext", raw);
  EXPECT_EQ(info.name, "");
  std::filesystem::create_directory(dir.path() / "kit.v2");
  (void)Import("kit.v2/snare.raw", raw);
  EXPECT_EQ(info.name, "snare") << "dots in the folders do not count";
  EXPECT_EQ(ImportNameOf("/a.b/noext"), "");
}

TEST_F(ImportFixture, RefusalsComeInTheirOrder) {
  struct Case {
    const char* what;
    WavBuilder wav;
    std::string warning;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, auto change, const std::string& warning) {
    WavBuilder wav;
    wav.Samples(Ramp(50));
    change(wav);
    cases.push_back({what, wav, warning});
  };
  add(
      "no RIFF", [](WavBuilder& w) { w.riff = "RIFX"; }, kNotValid);
  add(
      "no WAVE", [](WavBuilder& w) { w.wave = "AVI "; }, kNotValid);
  add(
      "LIST before fmt", [](WavBuilder& w) { w.beforeFmt = {'L', 'I', 'S', 'T', 0, 0, 0, 0}; },
      kNotValid);
  add(
      "no fmt", [](WavBuilder& w) { w.fmt = "fmt_"; }, kNotValid);
  add(
      "float, stereo, 32 bits, no data tag",
      [](WavBuilder& w) {
        w.formatTag = 3;
        w.channels = 2;
        w.Bits(32);
        w.dataTag = "dat_";
      },
      kCompressed);
  add(
      "extensible, 24 bits",
      [](WavBuilder& w) {
        w.formatTag = 0xFFFE;
        w.Bits(24);
      },
      kCompressed);
  add(
      "8 bits without a data tag",
      [](WavBuilder& w) {
        w.Bits(8);
        w.dataTag = "dat_";
      },
      kNoData);
  add(
      "8 bits", [](WavBuilder& w) { w.Bits(8); },
      "This appears to be a 8 bit WAV-file... \r\nPlease convert it to 16 bit first.");
  add(
      "24 bits", [](WavBuilder& w) { w.Bits(24); },
      "This appears to be a 24 bit WAV-file... \r\nPlease convert it to 16 bit first.");
  add(
      "8-bit stereo",
      [](WavBuilder& w) {
        w.channels = 2;
        w.Bits(8);
      },
      "This appears to be a 8 bit WAV-file... \r\nPlease convert it to 16 bit first.");
  add(
      "16-bit stereo",
      [](WavBuilder& w) {
        w.channels = 2;
        w.Bits(16);
      },
      kStereo);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prompts = FakePrompts();
    info = tWavImportInfo{7, 8, "old", 9};
    ExpectRefused(ImportWav(c.wav, "song.part.wav"), c.warning);
    EXPECT_EQ(info.sampleRate, 7) << "a refused file leaves the description";
    EXPECT_EQ(info.bits, 8);
    EXPECT_EQ(info.channels, 9);
    EXPECT_EQ(info.name, "song") << "but its name is taken on every call";
  }
}

TEST_F(ImportFixture, ARateOrChannelCountOf0IsRefusedWithoutDividing) {
  const std::string warning =
      "This WAV-file gives a sample rate or a channel count of 0 and cannot be played...";
  WavBuilder noRate;
  noRate.rate = 0;
  ExpectRefused(ImportWav(noRate.Samples(Ramp(10))), warning);

  prompts = FakePrompts();
  WavBuilder noChannels;
  noChannels.channels = 0;
  ExpectRefused(ImportWav(noChannels.Samples(Ramp(10))), warning);

  prompts = FakePrompts();
  WavBuilder compressedToo = noRate;
  compressedToo.formatTag = 2;
  ExpectRefused(ImportWav(compressedToo), kCompressed);
}

TEST_F(ImportFixture, TagsAreReadInAnyLetterCase) {
  WavBuilder wav;
  wav.riff = "riff";
  wav.wave = "wAvE";
  wav.fmt = "FMT ";
  wav.dataTag = "DaTa";
  const ImportedAudio got = ImportWav(wav.Samples(Ramp(8)));
  EXPECT_EQ(got.data, Ramp(8));
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ImportFixture, TheDataTagIsFoundWithin1500OffsetsOfTheByteRateField) {
  // The byte-rate field ends at offset 32; the tag may begin at offsets 32 to 1531.
  for (const std::size_t filler : {0U, 1U, 777U, 1499U}) {
    SCOPED_TRACE(filler);
    prompts = FakePrompts();
    WavBuilder wav;
    wav.afterByteRate.assign(filler, 'x');
    const ImportedAudio got = ImportWav(wav.Samples(Ramp(20)));
    EXPECT_EQ(got.data, Ramp(20));
    EXPECT_TRUE(prompts.silent());
  }
  prompts = FakePrompts();
  WavBuilder tooFar;
  tooFar.afterByteRate.assign(1500, 'x');
  ExpectRefused(ImportWav(tooFar.Samples(Ramp(20))), kNoData);
}

TEST_F(ImportFixture, TheFirstSpellingOfDataWinsEvenInsideAnotherChunk) {
  // A LIST chunk whose text holds "Data" followed by what reads as a size of 4 and two
  // values; the real data chunk behind it is never reached.
  WavBuilder wav;
  wav.afterByteRate = {2,   0,   16,  0,   'L', 'I', 'S', 'T', 12,   0,    0,    0,
                       'D', 'a', 't', 'a', 4,   0,   0,   0,   0x34, 0x12, 0x78, 0x56};
  const ImportedAudio got = ImportWav(wav.Samples(Ramp(100)));
  EXPECT_EQ(got.bytes, 4U);
  EXPECT_EQ(got.data, (std::vector<int16_t>{0x1234, 0x5678}));
}

TEST_F(ImportFixture, OddDataSizesLoseTheirLastByteAndTinyOnesImportNothingSilently) {
  WavBuilder odd;
  odd.data = {1, 0, 2, 0, 3, 0, 4, 0, 9};
  const ImportedAudio got = ImportWav(odd);
  EXPECT_EQ(got.bytes, 8U);
  EXPECT_EQ(got.data, (std::vector<int16_t>{1, 2, 3, 4}));

  for (const std::vector<uint8_t>& tiny : {std::vector<uint8_t>{}, std::vector<uint8_t>{5}}) {
    info = tWavImportInfo{7, 8, "", 9};
    WavBuilder wav;
    wav.data = tiny;
    EXPECT_EQ(ImportWav(wav).bytes, 0U);
    EXPECT_EQ(Import("tiny.raw", tiny).bytes, 0U);
    EXPECT_EQ(info.sampleRate, 7);
  }
  EXPECT_EQ(Import("odd.raw", {1, 0, 2, 0, 3}).data, (std::vector<int16_t>{1, 2}));
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ImportFixture, RawFilesAre44100HzWhateverTheirExtension) {
  info = tWavImportInfo{7, 8, "", 9};
  const ImportedAudio got = Import("loop.smp", {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00});
  EXPECT_EQ(got.data, (std::vector<int16_t>{-32768, 32767, 1}));
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.bits, 16);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.name, "loop");
}

TEST_F(ImportFixture, AFolderNamedWavMakesAnyFileAWavFile) {
  std::filesystem::create_directory(dir.path() / "Drums.WaV");
  const ImportedAudio got = Import("Drums.WaV/hat.raw", {1, 2, 3, 4, 5, 6, 7, 8});
  ExpectRefused(got, kNotValid);
  EXPECT_EQ(info.name, "hat");
}

TEST_F(ImportFixture, WavDataOfExactlyTheLimitImportsWithoutAQuestion) {
  WavBuilder wav;
  wav.data.assign(kLimit, 0x11);
  const ImportedAudio got = ImportWav(wav);
  EXPECT_EQ(got.bytes, kLimit);
  EXPECT_EQ(got.data.size(), kLimit / 2);
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ImportFixture, OneByteMoreAsksAndYesImportsTheFirst4Mb) {
  WavBuilder wav;
  wav.data.assign(kLimit + 1, 0x22);
  wav.data[kLimit - 1] = 0x33;
  prompts.answers = {true};
  const ImportedAudio got = ImportWav(wav);
  EXPECT_EQ(prompts.questions, std::vector<std::string>{kWavTooLarge});
  EXPECT_EQ(got.bytes, kLimit);
  EXPECT_EQ(got.data.back(), 0x3322);

  prompts = FakePrompts();
  prompts.answers = {false};
  EXPECT_EQ(ImportWav(wav).bytes, 0U);
  EXPECT_EQ(prompts.questions.size(), 1U);
  EXPECT_TRUE(prompts.warnings.empty()) << "No ends the import without a further message";
}

TEST_F(ImportFixture, RawFilesAboveTheLimitAskTheirOwnQuestion) {
  const std::vector<uint8_t> exact(kLimit, 1);
  EXPECT_EQ(Import("exact.raw", exact).bytes, kLimit);
  EXPECT_TRUE(prompts.silent());

  std::vector<uint8_t> over(kLimit + 1, 1);
  prompts.answers = {true};
  EXPECT_EQ(Import("over.raw", over).bytes, kLimit);
  prompts.answers = {false};
  EXPECT_EQ(Import("over.raw", over).bytes, 0U);
  EXPECT_EQ(prompts.questions, (std::vector<std::string>{kRawTooLarge, kRawTooLarge}));
}

TEST_F(ImportFixture, AHugeDeclaredSizeAsksAndThenFailsAsAReadPastTheEnd) {
  WavBuilder wav;
  wav.Samples(Ramp(10)).DeclaredSize(0x80000000U);
  prompts.answers = {false};
  EXPECT_EQ(ImportWav(wav).bytes, 0U);
  EXPECT_EQ(prompts.questions, std::vector<std::string>{kWavTooLarge});

  prompts = FakePrompts();
  prompts.answers = {true};
  EXPECT_EQ(ImportWav(wav).bytes, 0U);
  EXPECT_EQ(prompts.ioErrors, std::vector<std::string>{ReadPastEnd("kick.wav")});
}

TEST_F(ImportFixture, ATruncatedHeaderIsAReadErrorOrFindsNoData) {
  const std::vector<uint8_t> whole = WavBuilder().Samples(Ramp(4)).Build();
  for (std::size_t size = 0; size < 44; ++size) {
    SCOPED_TRACE(size);
    prompts = FakePrompts();
    info = tWavImportInfo{7, 8, "", 9};
    const ImportedAudio got =
        Import("cut.wav", std::vector<uint8_t>(whole.begin(), whole.begin() + size));
    EXPECT_EQ(got.bytes, 0U);
    EXPECT_EQ(info.sampleRate, 7);
    if (size >= 32 && size < 40) {
      // The header is complete; the data tag is missing or cut.
      EXPECT_EQ(prompts.warnings, std::vector<std::string>{kNoData});
      EXPECT_TRUE(prompts.ioErrors.empty());
    } else {
      EXPECT_EQ(prompts.ioErrors, std::vector<std::string>{ReadPastEnd("cut.wav")});
      EXPECT_TRUE(prompts.warnings.empty());
    }
  }
}

TEST_F(ImportFixture, DataCutShortIsReportedAndImportsNothing) {
  info = tWavImportInfo{7, 8, "", 9};
  std::vector<uint8_t> bytes = WavBuilder().Samples(Ramp(1000)).Build();
  bytes.resize(bytes.size() - 1);
  const ImportedAudio got = Import("short.wav", bytes);
  EXPECT_EQ(got.bytes, 0U);
  EXPECT_TRUE(got.data.empty());
  EXPECT_EQ(prompts.ioErrors, std::vector<std::string>{ReadPastEnd("short.wav")});
  EXPECT_EQ(info.sampleRate, 7);
}

TEST_F(ImportFixture, FilesThatCannotBeOpenedAreRefused) {
  ExpectRefused(ImportAudioFile(dir.File("missing.wav"), prompts, info), kOpenFailed);
  prompts = FakePrompts();
  ExpectRefused(ImportAudioFile(dir.path().string(), prompts, info), kOpenFailed);
  EXPECT_EQ(info.name, "") << "the name is taken even from a path that cannot be opened";
}

TEST_F(ImportFixture, AWriteProtectedFileImports) {
  const std::string path = dir.File("locked.wav");
  WriteBytes(path, WavBuilder().Samples(Ramp(10)).Build());
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(ImportAudioFile(path, prompts, info).bytes, 20U);
  EXPECT_TRUE(prompts.silent());
}

TEST_F(ImportFixture, GarbageIsRefusedOrReportedWithoutHarm) {
  std::mt19937 random(2024);
  const std::vector<uint8_t> plainHeader = WavBuilder().Build();
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    prompts = FakePrompts();
    prompts.answers = {true};
    std::vector<uint8_t> bytes(random() % 3000);
    for (auto& b : bytes) {
      b = static_cast<uint8_t>(random());
    }
    const int kind = round % 4;
    if (kind == 0) {
      // No RIFF tag at all.
      const ImportedAudio got = Import("noise.wav", bytes);
      EXPECT_EQ(got.bytes, 0U);
      if (bytes.size() >= 4) {
        EXPECT_EQ(prompts.warnings, std::vector<std::string>{kNotValid});
      } else {
        EXPECT_EQ(prompts.ioErrors, std::vector<std::string>{ReadPastEnd("noise.wav")});
      }
      continue;
    }
    // A real header (up to the byte rate, or up to the data tag) with garbage behind it,
    // and sometimes a data tag at a random place with a random size.
    const std::size_t keep = kind == 1 ? 20 : kind == 2 ? 32 : 36;
    bytes.insert(bytes.begin(), plainHeader.begin(), plainHeader.begin() + keep);
    if (kind == 3 && bytes.size() > 48) {
      const std::size_t at = 32 + random() % (bytes.size() - 40);
      std::copy_n("data", 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    const ImportedAudio got = Import("noise.wav", bytes);
    EXPECT_EQ(got.data.size() * 2, got.bytes);
    EXPECT_LE(got.bytes, kLimit);
    EXPECT_LE(got.bytes, bytes.size());
    if (got.bytes == 0) {
      EXPECT_LE(prompts.warnings.size() + prompts.ioErrors.size(), 1U);
    } else {
      EXPECT_TRUE(prompts.warnings.empty());
      EXPECT_EQ(info.sampleRate, 44100);
    }
  }
}

TEST_F(ImportFixture, RatesAbove65535AreResampledTo44100) {
  // One second of a 1 kHz tone at 96000 Hz.
  std::vector<int16_t> tone(96000);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * 1000 * i / 96000.0)));
  }
  WavBuilder wav;
  wav.rate = 96000;
  const ImportedAudio got = ImportWav(wav.Bits(16).Samples(tone));
  EXPECT_EQ(info.sampleRate, 44100);
  ASSERT_NEAR(static_cast<double>(got.data.size()), 44100.0, 2.0);
  EXPECT_EQ(got.bytes, got.data.size() * 2);
  // Still one second of 1 kHz: 2000 zero crossings, at the same level.
  int crossings = 0;
  int peak = 0;
  for (std::size_t i = 1; i < got.data.size(); ++i) {
    crossings += (got.data[i - 1] < 0) != (got.data[i] < 0) ? 1 : 0;
    peak = std::max(peak, std::abs(static_cast<int>(got.data[i])));
  }
  EXPECT_NEAR(crossings, 2000, 4);
  EXPECT_NEAR(peak, 16000, 400);

  // The same file gives the same sample every time.
  const ImportedAudio again = ImportWav(wav);
  EXPECT_EQ(again.data, got.data);
}

TEST_F(ImportFixture, ADataSizeThatResamplesToNothingImportsNothing) {
  WavBuilder wav;
  wav.rate = 1000000;
  const ImportedAudio got = ImportWav(wav.Bits(16).Samples({100, 200}));
  EXPECT_EQ(got.bytes, 0U);
  EXPECT_TRUE(got.data.empty());
}

} // namespace
} // namespace lw
