#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "SoundFiles.h"
#include "TempDir.h"
#include "audio_out/ExportFormats.h"
#include "audio_out/RenderCommand.h"
#include "commands/SongCommands.h"
#include "engine/Vinyl.h"
#include "song/FileIo.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace lw {
namespace {

using test::PutNote;
using test::PutSample;
using test::ReadBytes;

struct CliRun {
  int status = -1;
  std::string output; // standard output and standard error
};

CliRun RenderCli(const std::string& args, const std::string& program = LOOPWREN_RENDER_BIN) {
  CliRun run;
  const std::string command = program + " " + args + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.output += buffer;
  }
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

struct RenderCliFixture : ::testing::Test {
  test::TempDir dir;
  std::string song;

  void SetUp() override { song = MakeSong("song.LW", 0); }

  // A song with every channel, the delay, overdrive and the noise in use; `variant`
  // moves its notes, so that songs of different variants render differently.
  std::string MakeSong(const std::string& name, int variant) {
    auto e = test::NewEngine();
    PutSample(*e, 0, std::vector<int16_t>(5000, 12000), 22050, SampleCategory::Instrument);
    PutSample(*e, 1, std::vector<int16_t>(30000, -7000), 44100, SampleCategory::Loop);
    for (int p = 0; p < 3; ++p) {
      PutNote(*e, 0, p, 0, 4 * p, 0).note = 40 + p + variant;
      PutNote(*e, 2, 7, 1, 0, 1);
    }
    e->state.song.channel(0, 1, 0).delaySend = 60;
    e->state.song.channel(0, 2, 0).distortOn = 1;
    e->state.song.vinylAmount = 30;
    e->state.sequence.slots[0] = {0, 0};
    e->state.sequence.slots[1] = {0, 1};
    e->state.sequence.slots[3] = {0, 2};
    e->state.sequence.slots[4] = {2, 7};
    e->state.songFileName = dir.File(name);
    test::FakePrompts prompts;
    EXPECT_TRUE(SaveSong(*e, prompts, "/"));
    return dir.File(name);
  }

  // What the program renders right after starting with the song on its command line.
  std::vector<uint8_t> InProcess(RenderKind kind, int first, int second) {
    auto e = std::make_unique<Engine>();
    (void)ClearSampleTable(e->samples);
    LoadVinylNoise(*e, std::filesystem::path(LOOPWREN_RENDER_BIN).parent_path() / kVinylNoiseFile);
    e->NewSong();
    test::FakePrompts prompts;
    EXPECT_TRUE(LoadCommandLineSong(*e, prompts, song).replaced);
    e->UpdateTiming();
    SlotRange selection;
    if (kind == RenderKind::ThisPattern) {
      e->state.editBank = first - 1;
      e->state.editPattern = second - 1;
    } else if (kind == RenderKind::SongLoop) {
      selection = {first, second};
      e->state.songPosition = first;
      e->state.loopEnabled = true;
      e->state.loopFirstSlot = first;
      e->state.loopLastSlot = second;
    }
    RenderProgress quiet;
    const std::string out = dir.File("inprocess.wav");
    EXPECT_TRUE(RenderToWavFile(*e, prompts, quiet, kind, out, selection));
    return ReadBytes(out);
  }
};

TEST_F(RenderCliFixture, RendersTheSongAsTheProgramDoesAndTheSameBytesEveryTime) {
  const CliRun a = RenderCli(Quote(song) + " " + Quote(dir.File("a.wav")));
  ASSERT_EQ(a.status, 0) << a.output;
  EXPECT_EQ(a.output, "") << "progress only goes to a terminal";
  const CliRun b = RenderCli("--quiet " + Quote(song) + " " + Quote(dir.File("b.wav")));
  ASSERT_EQ(b.status, 0) << b.output;
  const auto first = ReadBytes(dir.File("a.wav"));
  EXPECT_EQ(first.size(), 44U + 2U * 5 * 88192) << "slots 0 to 4, the empty slot repeating";
  EXPECT_EQ(first, ReadBytes(dir.File("b.wav")));
  EXPECT_EQ(first, InProcess(RenderKind::EntireSong, 0, 0));
}

TEST_F(RenderCliFixture, PatternAndSlotOptionsPickWhatTheMenusWould) {
  ASSERT_EQ(RenderCli("--pattern 3-8 " + Quote(song) + " " + Quote(dir.File("p.wav"))).status, 0);
  EXPECT_EQ(ReadBytes(dir.File("p.wav")), InProcess(RenderKind::ThisPattern, 3, 8));
  ASSERT_EQ(RenderCli("--slots 1-3 " + Quote(song) + " " + Quote(dir.File("s.wav"))).status, 0);
  const auto loop = ReadBytes(dir.File("s.wav"));
  EXPECT_EQ(loop.size(), 44U + 2U * 3 * 88192);
  EXPECT_EQ(loop, InProcess(RenderKind::SongLoop, 1, 3));
}

TEST_F(RenderCliFixture, VerboseSaysWhereTheNoiseCameFromAndWhenTheFirstSampleBegan) {
  const CliRun run =
      RenderCli("--verbose --quiet --pattern 1-1 " + Quote(song) + " " + Quote(dir.File("v.wav")));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string noise =
      (std::filesystem::path(LOOPWREN_RENDER_BIN).parent_path() / kVinylNoiseFile).string();
  EXPECT_NE(run.output.find("loopwren-render: vinyl noise from " + noise + " ("), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("loopwren-render: the first sample began "), std::string::npos)
      << run.output;
  EXPECT_EQ(ReadBytes(dir.File("v.wav")), InProcess(RenderKind::ThisPattern, 1, 1));
}

// Installed, the renderer lies in PREFIX/bin and its noise in PREFIX/share/loopwren; a
// noise file beside the renderer (a build folder) comes first.
TEST_F(RenderCliFixture, TheNoiseIsFoundBesideTheRendererElseInTheInstalledDataFolder) {
  namespace fs = std::filesystem;
  const fs::path built = fs::path(LOOPWREN_RENDER_BIN).parent_path();
  const fs::path prefix = dir.path() / "prefix";
  const fs::path program = prefix / "bin" / "loopwren-render";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "loopwren");
  fs::copy_file(LOOPWREN_RENDER_BIN, program);
  const struct {
    bool beside;
    bool installed;
    std::string said;
  } cases[] = {
      {false, false, "no vinyl noise (" + (prefix / "bin" / kVinylNoiseFile).string()},
      {false, true, "vinyl noise from " + (prefix / "share/loopwren" / kVinylNoiseFile).string()},
      {true, true, "vinyl noise from " + (prefix / "bin" / kVinylNoiseFile).string()},
  };
  for (const auto& c : cases) {
    for (const auto& [wanted, folder] :
         {std::pair{c.beside, prefix / "bin"}, std::pair{c.installed, prefix / "share/loopwren"}}) {
      fs::remove(folder / kVinylNoiseFile);
      if (wanted) {
        fs::copy_file(built / kVinylNoiseFile, folder / kVinylNoiseFile);
      }
    }
    const CliRun run =
        RenderCli("--verbose --quiet --pattern 1-1 " + Quote(song) + " " + Quote(dir.File("i.wav")),
                  program.string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("loopwren-render: " + c.said), std::string::npos) << run.output;
  }
}

TEST_F(RenderCliFixture, RendersRunningTogetherIntoOneFolderEachWriteTheirOwnBytes) {
  const std::vector<std::string> kinds = {
      "", "--pattern 1-2", "--slots 0-4", "--pattern 3-8", "--slots 3-4", ""};
  std::vector<std::vector<uint8_t>> alone;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const std::string out = dir.File("alone" + std::to_string(i) + ".wav");
    ASSERT_EQ(RenderCli(kinds[i] + " " + Quote(song) + " " + Quote(out)).status, 0);
    alone.push_back(ReadBytes(out));
  }
  for (int round = 0; round < 3; ++round) {
    std::vector<std::FILE*> running;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      const std::string out = dir.File("together" + std::to_string(i) + ".wav");
      running.push_back(::popen((std::string(LOOPWREN_RENDER_BIN) + " " + kinds[i] + " " +
                                 Quote(song) + " " + Quote(out) + " 2>&1")
                                    .c_str(),
                                "r"));
    }
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      const int raw = ::pclose(running[i]);
      EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "run " << i;
      EXPECT_EQ(ReadBytes(dir.File("together" + std::to_string(i) + ".wav")), alone[i])
          << "round " << round << ", run " << i << ": " << kinds[i];
    }
  }
  EXPECT_EQ(dir.Names().size(), 1 + 2 * kinds.size()) << "no temporary file is left behind";
}

TEST_F(RenderCliFixture, UsageErrorsExitWith2AndShowTheUsage) {
  for (const std::string args :
       {"", "--pattern 9-1 a b", "--slots 5-2 a b", "--pattern 1-1 --slots 0-1 a b", "--bogus a b",
        "only-one", "--pattern"}) {
    const CliRun r = RenderCli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.output.find("Usage: loopwren-render"), std::string::npos) << args;
  }
  const CliRun help = RenderCli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--slots A-B"), std::string::npos);
  const CliRun version = RenderCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.output.find("1.2"), std::string::npos);
}

TEST_F(RenderCliFixture, UnreadableOrUnwritableFilesExitWith1AndLeaveNoOutput) {
  const CliRun missing = RenderCli(Quote(dir.File("none.LW")) + " " + Quote(dir.File("x.wav")));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find(dir.File("none.LW")), std::string::npos);
  EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos);

  test::WriteBytes(dir.File("short.LW"), std::vector<uint8_t>(5000, 1));
  const CliRun shortFile = RenderCli(Quote(dir.File("short.LW")) + " " + Quote(dir.File("x.wav")));
  EXPECT_EQ(shortFile.status, 1);
  EXPECT_NE(shortFile.output.find("Read beyond end of file"), std::string::npos);

  const std::string target = dir.File("no/folder/x.wav");
  const CliRun unwritable = RenderCli(Quote(song) + " " + Quote(target));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.output.find(target), std::string::npos);
  EXPECT_NE(unwritable.output.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));

  // A pipe nobody writes to is refused at once, as the song and as the output; a full
  // disk names the file it could not write.
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string args;
    std::string named;
    std::string reason;
  } failures[] = {
      {Quote(fifo) + " " + Quote(dir.File("x.wav")), fifo, SystemErrorText(kNotARegularFile)},
      {Quote(song) + " " + Quote(fifo), fifo, "No such device or address"},
      {Quote(song) + " /dev/full", "/dev/full", "No space left on device"},
      {"/dev/zero " + Quote(dir.File("x.wav")), "/dev/zero", SystemErrorText(kNotARegularFile)},
  };
  for (const auto& f : failures) {
    const CliRun run = RenderCli("--pattern 1-1 " + f.args);
    EXPECT_EQ(run.status, 1) << f.args;
    EXPECT_NE(run.output.find(f.named), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(f.reason), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

// What the renders below check a file against: the plain render of pattern 1-1.
constexpr std::size_t kPatternSamples = 88192;

TEST_F(RenderCliFixture, TheOutputsExtensionOrFormatChoosesTheFileFormat) {
  ASSERT_EQ(RenderCli("--pattern 1-1 " + Quote(song) + " " + Quote(dir.File("plain.wav"))).status,
            0);
  const test::SoundFile plain = test::ReadSoundFile(dir.File("plain.wav"));
  ASSERT_EQ(plain.samples.size(), kPatternSamples);
  const struct {
    std::string options;
    std::string name;
    int container;
    int encoding;
    int rate;
    int scale; // of the samples against the 16-bit WAV's, 0 for lossy formats
  } rows[] = {
      {"", "a.WAV", SF_FORMAT_WAV, SF_FORMAT_PCM_16, 44100, 1},
      {"--format wav16", "b.wav", SF_FORMAT_WAV, SF_FORMAT_PCM_16, 44100, 1},
      {"--format wav24", "c.wav", SF_FORMAT_WAV, SF_FORMAT_PCM_24, 44100, 256},
      {"", "d.flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_16, 44100, 1},
      {"--format FLAC", "e.flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_16, 44100, 1},
      {"--format flac", "no-extension", SF_FORMAT_FLAC, SF_FORMAT_PCM_16, 44100, 1},
      {"", "f.ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS, 44100, 0},
      {"--format ogg", "g.oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS, 44100, 0},
      {"", "h.opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, 48000, 0},
      {"", "i.mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, 44100, 0},
  };
  for (const auto& row : rows) {
    const std::string out = dir.File(row.name);
    const CliRun run = RenderCli(row.options + " --pattern 1-1 " + Quote(song) + " " + Quote(out));
    ASSERT_EQ(run.status, 0) << row.name << ": " << run.output;
    EXPECT_EQ(run.output, "") << row.name;
    const test::SoundFile file = test::ReadSoundFile(out);
    ASSERT_TRUE(file.opened) << row.name;
    EXPECT_EQ(file.format & SF_FORMAT_TYPEMASK, row.container) << row.name;
    EXPECT_EQ(file.format & SF_FORMAT_SUBMASK, row.encoding) << row.name;
    EXPECT_EQ(file.rate, row.rate) << row.name;
    EXPECT_EQ(file.channels, 1) << row.name;
    // Lossy encoders may pad the end to a whole frame.
    const auto length = static_cast<double>(kPatternSamples) * row.rate / 44100;
    EXPECT_NEAR(static_cast<double>(file.samples.size()), length, row.scale > 0 ? 0 : 2048)
        << row.name;
    if (row.scale > 0) {
      std::vector<int32_t> scaled(plain.samples);
      for (int32_t& v : scaled) {
        v *= row.scale;
      }
      EXPECT_EQ(file.samples, scaled) << row.name;
    }
  }
  EXPECT_EQ(ReadBytes(dir.File("a.WAV")), ReadBytes(dir.File("plain.wav")));
  EXPECT_EQ(ReadBytes(dir.File("b.wav")), ReadBytes(dir.File("plain.wav")));
  EXPECT_EQ(dir.Names().size(), 2 + std::size(rows)) << "the song, plain.wav and the rows' files";
}

TEST_F(RenderCliFixture, StemsAreWrittenBesideTheMixWhichStaysAsItWas) {
  ASSERT_EQ(RenderCli("--pattern 3-8 " + Quote(song) + " " + Quote(dir.File("plain.wav"))).status,
            0);
  for (const std::string name : {"mix.wav", "mix.flac", "mix.ogg"}) {
    const CliRun run =
        RenderCli("--stems --pattern 3-8 " + Quote(song) + " " + Quote(dir.File(name)));
    ASSERT_EQ(run.status, 0) << name << ": " << run.output;
    const test::SoundFile mix = test::ReadSoundFile(dir.File(name));
    for (const std::string& stem : StemPaths(dir.File(name), ExportFormat::Wav16)) {
      const test::SoundFile file = test::ReadSoundFile(stem);
      ASSERT_TRUE(file.opened) << stem;
      EXPECT_EQ(file.format, mix.format) << stem;
      EXPECT_EQ(file.samples.size(), mix.samples.size()) << stem;
    }
  }
  EXPECT_EQ(ReadBytes(dir.File("mix.wav")), ReadBytes(dir.File("plain.wav")));
  EXPECT_EQ(test::ReadSoundFile(dir.File("mix.flac")).samples,
            test::ReadSoundFile(dir.File("plain.wav")).samples);
  // The channel stems hold sound: the song's pattern 3-8 plays the loop on channel 2.
  const auto ch2 = test::ReadSoundFile(dir.File("mix-ch2.flac")).samples;
  EXPECT_TRUE(std::any_of(ch2.begin(), ch2.end(), [](int32_t v) { return v != 0; }));
  EXPECT_EQ(dir.Names().size(), 2 + 3 * 6U);
}

TEST_F(RenderCliFixture, BadFormatsJobsAndFoldersAreUsageErrors) {
  const std::string s = Quote(song);
  const std::string folder = Quote(dir.path().string());
  const std::string out = dir.File("out");
  const std::string wav = Quote(out + ".wav");
  const auto words = [](std::initializer_list<std::string> list) {
    std::string joined;
    for (const std::string& word : list) {
      joined.append(" ").append(word);
    }
    return joined;
  };
  for (const std::string& args : {
           words({"--format aiff", s, wav}),
           words({"--format", s, wav}),
           words({"--format flac", s, Quote(out + ".mp3")}),
           words({"--format wav24", s, Quote(out + ".flac")}),
           words({"--format ogg", s, Quote(out + ".opus")}),
           words({"-j 0", s, wav}),
           words({"-j x", s, wav}),
           words({"-j -1", s, wav}),
           words({"-j 2x", s, wav}),
           words({"-j0", s, wav}),
           words({s, wav, "-j"}),
           words({"--out-dir", folder}),
           words({s, "--out-dir"}),
           words({"--out-dir ''", s}),
           // Two songs of one name in one folder, and a song whose name is a stem's.
           words({"--out-dir", folder, s, s}),
           words({"--stems --out-dir", folder, s, Quote(dir.File("song-ch1.lw"))}),
       }) {
    const CliRun r = RenderCli(args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.output;
    EXPECT_NE(r.output.find("Usage: loopwren-render"), std::string::npos) << args;
  }
  EXPECT_EQ(dir.Names().size(), 1U) << "nothing was written";
  const CliRun help = RenderCli("--help");
  for (const char* option : {"--stems", "--format F", "--out-dir DIR", "-j N"}) {
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  }
}

TEST_F(RenderCliFixture, AMissingOutputFolderIsNamedAndNothingIsRendered) {
  for (const std::string& folder : {dir.File("none"), song}) {
    const CliRun run = RenderCli("--out-dir " + Quote(folder) + " " + Quote(song));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot write into " + folder + ": "), std::string::npos)
        << run.output;
  }
  EXPECT_EQ(dir.Names().size(), 1U);
}

// Songs rendered side by side write exactly what one run per song writes. (An Ogg
// stream carries a serial number of its own in every page, drawn anew by every run, so
// Opus files are compared by what they decode to.)
TEST_F(RenderCliFixture, ABatchWritesWhatOneRunPerSongWrites) {
  const std::vector<std::string> songs = {song, MakeSong("second.lw", 3), MakeSong("third", 7)};
  const std::vector<std::string> names = {"song", "second", "third"};
  namespace fs = std::filesystem;
  const struct {
    std::string options;
    std::string extension;
    std::size_t files; // per song
  } rows[] = {
      {"", ".wav", 1},
      {"--stems", ".wav", 6},
      {"--format flac --stems", ".flac", 6},
      {"--slots 1-3 --format mp3", ".mp3", 1},
      {"--pattern 1-2 --format opus", ".opus", 1},
  };
  for (const auto& row : rows) {
    const fs::path batch = dir.path() / "batch";
    const fs::path alone = dir.path() / "alone";
    fs::remove_all(batch);
    fs::remove_all(alone);
    fs::create_directories(batch);
    fs::create_directories(alone);
    std::string files;
    for (const std::string& s : songs) {
      files += " " + Quote(s);
    }
    const CliRun run = RenderCli(row.options + " -j 2 --out-dir " + Quote(batch.string()) + files);
    ASSERT_EQ(run.status, 0) << row.options << ": " << run.output;
    EXPECT_EQ(run.output, "") << row.options;
    for (std::size_t i = 0; i < songs.size(); ++i) {
      const std::string out = (alone / (names[i] + row.extension)).string();
      ASSERT_EQ(RenderCli(row.options + " " + Quote(songs[i]) + " " + Quote(out)).status, 0);
    }
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(alone)) {
      ++written;
      const std::string name = entry.path().filename().string();
      const std::string inBatch = (batch / name).string();
      if (row.extension == ".opus") {
        const test::SoundFile a = test::ReadSoundFile(inBatch);
        const test::SoundFile b = test::ReadSoundFile(entry.path().string());
        EXPECT_TRUE(a.opened) << name;
        EXPECT_EQ(a.floats, b.floats) << name;
      } else {
        EXPECT_EQ(ReadBytes(inBatch), ReadBytes(entry.path().string()))
            << row.options << ": " << name;
      }
    }
    EXPECT_EQ(written, songs.size() * row.files) << row.options;
    EXPECT_EQ(std::distance(fs::directory_iterator(batch), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(written))
        << row.options;
  }
}

TEST_F(RenderCliFixture, ABatchRendersEverySongItCanAndNamesEachFailure) {
  namespace fs = std::filesystem;
  const fs::path out = dir.path() / "out";
  fs::create_directories(out / "blocked.flac"); // a folder where the mix should go
  const std::string blocked = MakeSong("blocked.LW", 1);
  const std::string good = MakeSong("good.LW", 2);
  const std::string missing = dir.File("missing.LW");
  const CliRun run =
      RenderCli("--stems --format flac -j 3 --pattern 1-1 --out-dir " + Quote(out.string()) + " " +
                Quote(missing) + " " + Quote(blocked) + " " + Quote(good));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("loopwren-render: " + missing + ": cannot read " + missing +
                            ": No such file or directory\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("loopwren-render: " + blocked + ": "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find((out / "blocked.flac").string()), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("loopwren-render: 2 of 3 songs failed\n"), std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find(good), std::string::npos) << run.output;
  // The good song and its stems, and nothing of the others: no stem of a failed render.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"blocked.flac", "good-ch1.flac", "good-ch2.flac",
                                             "good-ch3.flac", "good-delay.flac", "good-vinyl.flac",
                                             "good.flac"}));
  EXPECT_TRUE(fs::is_directory(out / "blocked.flac"));
}

// The renderer run on a terminal of its own: what it shows there.
std::string OnTerminal(const std::string& args) {
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", (std::string(LOOPWREN_RENDER_BIN) + " " + args).c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::string shown;
  char buffer[4096];
  for (ssize_t n = 0; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) {
    shown.append(buffer, static_cast<std::size_t>(n)); // ends in EIO once the child is gone
  }
  ::close(terminal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return shown;
}

TEST_F(RenderCliFixture, OnATerminalEachSongHasAProgressLineEndingInDoneOrFailed) {
  const std::string second = MakeSong("second.LW", 1);
  const std::string missing = dir.File("missing.LW");
  const std::string board = OnTerminal("-j 2 --out-dir " + Quote(dir.path().string()) + " " +
                                       Quote(song) + " " + Quote(second) + " " + Quote(missing));
  for (const std::string& line :
       {song + ": 100 %", second + ": 100 %", song + ": done\x1b[K", second + ": done\x1b[K",
        missing + ": failed\x1b[K", std::string("loopwren-render: 1 of 3 songs failed\x1b[K")}) {
    EXPECT_NE(board.find(line), std::string::npos) << line << " in:\n" << board;
  }
  EXPECT_EQ(board.find(missing + ": 0 %"), std::string::npos) << "it never began";

  const std::string one =
      OnTerminal("--pattern 1-1 " + Quote(song) + " " + Quote(dir.File("a.wav")));
  EXPECT_NE(one.find("\rRendering... 100 %"), std::string::npos) << one;
  EXPECT_EQ(OnTerminal("--quiet --out-dir " + Quote(dir.path().string()) + " " + Quote(song)), "");
}

} // namespace
} // namespace lw
