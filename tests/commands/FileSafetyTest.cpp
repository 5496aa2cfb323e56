// What every reader and writer of files does with inputs and failures nobody plans for:
// folders, pipes and devices named as songs, files cut at every length, and every
// create, read, write, fsync and rename failing in turn. The user's song in memory and
// the file on disk must come through each of them whole, with nothing left behind and a
// message that names the file and the reason.
#include "EngineHelpers.h"
#include "FakePrompts.h"
#include "FileFaults.h"
#include "TempDir.h"
#include "audio_out/RenderCommand.h"
#include "commands/SongCommands.h"
#include "samples/SongFile.h"
#include "samples/WavImport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace lw {
namespace {

using test::FileFault;
using test::FileOp;
using test::PutNote;
using test::PutSample;
using test::ReadBytes;
using test::WriteBytes;

struct FileSafetyFixture : ::testing::Test {
  std::unique_ptr<Engine> engine = test::NewEngine();
  Engine& e = *engine;
  test::FakePrompts prompts;
  test::TempDir dir;

  void SetUp() override {
    PutSample(e, 2, std::vector<int16_t>(3000, 1234), 22050, SampleCategory::Drum, "Snare");
    PutNote(e, 0, 0, 0, 0, 2);
    e.state.song.tempo = 133;
  }
  bool SaveTo(const std::string& path) {
    e.state.songFileName = path;
    return SaveSong(e, prompts, dir.path().string());
  }
  // Open, agreeing to lose unsaved changes when asked.
  OpenResult OpenFrom(const std::string& path) {
    prompts.files.emplace_back(path);
    if (e.state.songChanged) {
      prompts.answers.push_back(true);
    }
    return OpenSong(e, prompts, dir.path().string());
  }
  // The song in memory is the one SetUp made, unchanged.
  void ExpectSongKept() {
    EXPECT_EQ(e.state.song.tempo, 133);
    EXPECT_EQ(e.samples.slots[2].name.text(), "Snare");
    EXPECT_EQ(e.samples.slots[2].data.size(), 3000U);
  }
};

// A folder, a pipe nobody writes to (which used to hang), a device that never ends and a
// device that is empty are refused at once with the reason; the song stays.
TEST_F(FileSafetyFixture, WhatIsNotARegularFileIsRefusedAtOnce) {
  const std::string fifo = dir.File("pipe.LW");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("folder.LW"));
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.LW"));
  std::filesystem::create_symlink("/dev/null", dir.File("null.LW"));
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {dir.File("folder.LW"), "Is a directory"},
      {fifo, SystemErrorText(kNotARegularFile)},
      {dir.File("zero.LW"), SystemErrorText(kNotARegularFile)},
      {dir.File("null.LW"), SystemErrorText(kNotARegularFile)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    prompts = {};
    EXPECT_FALSE(OpenFrom(c.path).replaced);
    EXPECT_EQ(prompts.notices, std::vector<std::string>{"Error opening LoopWren Track \"" + c.path +
                                                        "\"...\n" + c.reason});
    ExpectSongKept();
    // The importers refuse them the same way.
    tWavImportInfo info;
    EXPECT_EQ(ImportAudioFile(c.path, prompts, info).bytes, 0U);
  }
}

// A song cut at every length, read from a file of known size and from a source that
// hides its size and delivers odd pieces as a pipe does, fails cleanly; only the whole
// file loads.
TEST_F(FileSafetyFixture, ASongCutAtEveryLengthFailsCleanly) {
  ASSERT_TRUE(SaveTo(dir.File("small.LW")));
  const auto whole = ReadBytes(dir.File("small.LW"));
  for (const bool sizeKnown : {true, false}) {
    for (std::size_t length = 0; length <= whole.size(); length += sizeKnown ? 1 : 97) {
      ReadOnlyFile file;
      file.OpenMemory({whole.data(), length}, sizeKnown, sizeKnown ? whole.size() : 4093);
      try {
        const auto content = ReadSongBody(file);
        EXPECT_EQ(length, whole.size());
        EXPECT_EQ(content->song.tempo, 133);
        EXPECT_EQ(content->samples.slots[2].data.size(), 3000U);
      } catch (const IoError& error) {
        EXPECT_LT(length, whole.size());
        EXPECT_EQ(std::string(error.what()).rfind(kReadBeyondEnd, 0), 0U) << error.what();
      }
    }
  }
  // A 0-byte file is a truncated song too.
  WriteBytes(dir.File("empty.LW"), {});
  EXPECT_FALSE(OpenFrom(dir.File("empty.LW")).replaced);
  EXPECT_EQ(prompts.ioErrors,
            std::vector<std::string>{FileErrorText(kReadBeyondEnd, dir.File("empty.LW"))});
  ExpectSongKept();
}

// A source of unknown size claiming 2^31 - 1 values in a slot allocates no more than
// arrives: the read fails as the data ends.
TEST_F(FileSafetyFixture, AHugeLengthFromASourceOfUnknownSizeAllocatesOnlyWhatArrives) {
  ASSERT_TRUE(SaveTo(dir.File("s.LW")));
  auto bytes = ReadBytes(dir.File("s.LW"));
  const std::size_t slot0 = kSongHeaderSize;
  bytes[slot0] = 1;
  bytes[slot0 + 4] = 0xFF;
  bytes[slot0 + 5] = 0xFF;
  bytes[slot0 + 6] = 0xFF;
  bytes[slot0 + 7] = 0x7F;
  ReadOnlyFile file;
  file.OpenMemory(bytes, false, 65536);
  EXPECT_THROW((void)ReadSongBody(file), IoError);
}

// The fsyncs of a folder among those a file operation makes, numbered from 1.
std::set<int> FolderSyncs(const FileFault& count) {
  std::set<int> folders;
  int nth = 0;
  for (const test::FileCall& call : count.Log()) {
    if (call.op == FileOp::Fsync) {
      ++nth;
      if (call.onFolder) {
        folders.insert(nth);
      }
    }
  }
  return folders;
}

// Every system call of a save failing in turn, with each error a disk gives: the previous
// file keeps its bytes (or, when only the folder's sync after the rename fails, holds
// the new song whole), no temporary file is left, the song stays unsaved, and the
// message names the file and the reason.
TEST_F(FileSafetyFixture, EveryFailingCallOfASaveKeepsThePreviousFile) {
  const std::string path = dir.File("song.LW");
  ASSERT_TRUE(SaveTo(path));
  const auto before = ReadBytes(path);
  std::map<FileOp, int> calls;
  std::set<int> folderSyncs;
  {
    const FileFault count(FileOp::Write, 0, 0);
    e.state.song.tempo = 140;
    ASSERT_TRUE(SaveTo(path));
    for (const FileOp op : {FileOp::Create, FileOp::Write, FileOp::Fsync, FileOp::Rename}) {
      calls[op] = count.Calls(op);
    }
    folderSyncs = FolderSyncs(count);
  }
  WriteBytes(path, before);
  e.state.song.tempo = 150;
  const std::string updated = SongFileBytes(e.state.song, e.state.sequence, e.samples);
  const std::vector<uint8_t> after(updated.begin(), updated.end());
  int failures = 0;
  for (const auto& [op, n] : calls) {
    for (int nth = 1; nth <= n; ++nth) {
      for (const int error : {ENOSPC, EIO, EACCES}) {
        if (op == FileOp::Create && error == EACCES) {
          continue; // a folder refusing the new file: the file is written in place (below)
        }
        SCOPED_TRACE(testing::Message() << "call " << nth << " of op " << static_cast<int>(op)
                                        << " fails with " << error);
        prompts = {};
        e.state.songChanged = true;
        WriteBytes(path, before);
        {
          const FileFault fault(op, nth, error);
          EXPECT_FALSE(SaveTo(path));
        }
        ++failures;
        const bool renamed = op == FileOp::Fsync && folderSyncs.contains(nth);
        EXPECT_EQ(ReadBytes(path), renamed ? after : before);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"song.LW"});
        EXPECT_TRUE(e.state.songChanged);
        const std::string reason = SystemErrorText(error);
        if (op == FileOp::Create) {
          std::string notice = "Error saving LoopWren Track \"" + path;
          notice += "\"...\n" + reason;
          EXPECT_EQ(prompts.notices, std::vector<std::string>{notice});
        } else if (op != FileOp::Create) {
          EXPECT_EQ(prompts.ioErrors, std::vector<std::string>{FileErrorText(reason, path)});
        }
      }
    }
  }
  EXPECT_GE(failures, 8);
}

// A folder that takes no new file (as a read-only folder refuses even the temporary
// file) with a writable song file in it: the save writes the file in place, byte for
// byte what an ordinary save writes, however long the file was before.
TEST_F(FileSafetyFixture, AWritableFileInAFolderThatTakesNoNewFileIsSavedInPlace) {
  ASSERT_TRUE(SaveTo(dir.File("ordinary.LW")));
  const auto ordinary = ReadBytes(dir.File("ordinary.LW"));
  std::filesystem::remove(dir.File("ordinary.LW"));
  const std::string path = dir.File("song.LW");
  for (const std::size_t before : {ordinary.size() * 3, ordinary.size() - 1, std::size_t{0}}) {
    SCOPED_TRACE(before);
    WriteBytes(path, std::vector<uint8_t>(before, 0xAB));
    {
      const FileFault readOnlyFolder(FileOp::Create, 1, EACCES);
      ASSERT_TRUE(SaveTo(path)) << (prompts.notices.empty() ? "" : prompts.notices[0]);
    }
    EXPECT_EQ(ReadBytes(path), ordinary);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"song.LW"});
  }
  auto check = test::NewEngine();
  prompts.files.emplace_back(path);
  ASSERT_TRUE(OpenSong(*check, prompts, dir.path().string()).replaced);
  EXPECT_EQ(check->state.song.tempo, 133);
  EXPECT_EQ(check->samples.slots[2].data.size(), 3000U);

  // Without a file to write over, the folder's refusal is the answer.
  const FileFault readOnlyFolder(FileOp::Create, 1, EACCES);
  EXPECT_FALSE(SaveTo(dir.File("new.LW")));
  EXPECT_EQ(prompts.notices,
            std::vector<std::string>{"Error saving LoopWren Track \"" + dir.File("new.LW") +
                                     "\"...\nPermission denied"});
}

// An in-place save failing at each step: the file keeps its old bytes, or holds the new
// ones whole; never a mixture. Without room reserved first, a write could fail half-way
// over the old content, so a file system that cannot reserve is not written over at all.
TEST_F(FileSafetyFixture, AnInPlaceSaveFailingAtAnyStepKeepsTheOldFileOrWritesTheNewWhole) {
  const std::string path = dir.File("song.LW");
  PutSample(e, 3, std::vector<int16_t>(9000, -77), 22050, SampleCategory::Drum, "Longer");
  ASSERT_TRUE(SaveTo(path));
  const auto old = ReadBytes(path); // longer than the song saved below
  (void)DeleteSample(e.samples, e.state.song, 3);
  e.state.song.tempo = 150;
  const std::string updated = SongFileBytes(e.state.song, e.state.sequence, e.samples);
  const std::vector<uint8_t> fresh(updated.begin(), updated.end());
  ASSERT_LT(fresh.size(), old.size());
  const std::string noReservation = kInPlaceNeedsReservation;
  const struct {
    const char* what;
    FileOp op;
    int error;
    bool halfFirst;
    bool written;       // the file holds the new song whole
    std::string reason; // empty when the save succeeds
  } cases[] = {
      {"disk full", FileOp::Fallocate, ENOSPC, false, false, SystemErrorText(ENOSPC)},
      {"no reservation", FileOp::Fallocate, EOPNOTSUPP, false, false, noReservation},
      {"no reservation on this file", FileOp::Fallocate, EINVAL, false, false, noReservation},
      {"write fails half-way", FileOp::Write, EIO, true, false, SystemErrorText(EIO)},
      {"write fails at once", FileOp::Write, ENOSPC, false, false, SystemErrorText(ENOSPC)},
      {"cut fails", FileOp::Truncate, EIO, false, false, SystemErrorText(EIO)},
      {"sync fails", FileOp::Fsync, EIO, false, true, SystemErrorText(EIO)},
      {"nothing fails", FileOp::Write, 0, false, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(path, old);
    prompts = {};
    e.state.songChanged = true;
    {
      const FileFault fault({{FileOp::Create, 1, EACCES}, {c.op, 1, c.error}}, c.halfFirst);
      EXPECT_EQ(SaveTo(path), c.reason.empty());
    }
    EXPECT_EQ(ReadBytes(path), c.written ? fresh : old);
    EXPECT_EQ(e.state.songChanged, !c.reason.empty());
    EXPECT_EQ(prompts.ioErrors, c.reason.empty()
                                    ? std::vector<std::string>{}
                                    : std::vector<std::string>{FileErrorText(c.reason, path)});
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"song.LW"});
  }
}

// A save is on disk once the folder that names it is: after the rename the folder is
// synced too. A folder that cannot be synced (EINVAL, a read-only file system) does not
// fail the save.
TEST_F(FileSafetyFixture, ASaveSyncsItsFolderAfterTheRename) {
  const std::string path = dir.File("song.LW");
  for (const int error : {0, EINVAL, EROFS}) {
    SCOPED_TRACE(error);
    prompts = {};
    const FileFault count(FileOp::Fsync, 2, error);
    ASSERT_TRUE(SaveTo(path));
    const std::vector<test::FileCall> ending{
        {FileOp::Fsync, false}, {FileOp::Rename, false}, {FileOp::Fsync, true}};
    ASSERT_GE(count.Log().size(), ending.size());
    EXPECT_EQ(std::vector<test::FileCall>(count.Log().end() - 3, count.Log().end()), ending);
  }
}

// The song's folder renamed while the song is being written: the file lands in the
// folder under its new name and nothing is left anywhere else.
TEST_F(FileSafetyFixture, AFolderRenamedDuringASaveKeepsNoTemporaryFile) {
  const std::string path = dir.File("songs/song.LW");
  for (const int error : {0, ENOSPC}) {
    SCOPED_TRACE(error);
    std::filesystem::remove_all(dir.File("moved"));
    std::filesystem::create_directory(dir.File("songs"));
    prompts = {};
    bool saved = false;
    {
      const FileFault moveAway(FileOp::Fsync, 1, error, [&] {
        std::filesystem::rename(dir.File("songs"), dir.File("moved"));
      });
      saved = SaveTo(path);
    }
    ASSERT_TRUE(std::filesystem::exists(dir.File("moved")));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("moved"))) {
      left.push_back(entry.path().filename().string());
    }
    if (error == 0) {
      EXPECT_TRUE(saved);
      EXPECT_EQ(left, std::vector<std::string>{"song.LW"});
    } else {
      EXPECT_FALSE(saved);
      EXPECT_TRUE(left.empty()) << left[0];
    }
  }
}

// Every failing read while a song opens leaves the song in memory as it was.
TEST_F(FileSafetyFixture, EveryFailingReadOfAnOpenKeepsTheSong) {
  auto other = test::NewEngine();
  other->state.song.tempo = 99;
  other->state.songFileName = dir.File("other.LW");
  ASSERT_TRUE(SaveSong(*other, prompts, dir.path().string()));
  int reads = 0;
  {
    const FileFault count(FileOp::Read, 0, 0);
    auto probe = test::NewEngine();
    prompts.files.emplace_back(dir.File("other.LW"));
    ASSERT_TRUE(OpenSong(*probe, prompts, dir.path().string()).replaced);
    reads = count.Calls(FileOp::Read);
  }
  ASSERT_GT(reads, 3);
  for (int nth = 1; nth <= reads; ++nth) {
    SCOPED_TRACE(nth);
    prompts = {};
    const FileFault fault(FileOp::Read, nth, EIO);
    EXPECT_FALSE(OpenFrom(dir.File("other.LW")).replaced);
    EXPECT_EQ(prompts.ioErrors,
              std::vector<std::string>{FileErrorText(SystemErrorText(EIO), dir.File("other.LW"))});
    ExpectSongKept();
  }
}

// Every failing call of a render: no output file, no temporary file, an old file kept.
TEST_F(FileSafetyFixture, EveryFailingCallOfARenderLeavesNoOutput) {
  e.UpdateTiming();
  RenderProgress quiet;
  const std::string old = dir.File("old.wav");
  std::map<FileOp, int> calls;
  std::set<int> folderSyncs;
  {
    const FileFault count(FileOp::Write, 0, 0);
    ASSERT_TRUE(RenderToWavFile(e, prompts, quiet, RenderKind::ThisPattern, old, {}));
    for (const FileOp op : {FileOp::Create, FileOp::Write, FileOp::Fsync, FileOp::Rename}) {
      calls[op] = count.Calls(op);
    }
    folderSyncs = FolderSyncs(count);
  }
  const auto rendered = ReadBytes(old);
  WriteBytes(old, {1, 2, 3});
  for (const auto& [op, n] : calls) {
    for (int nth = 1; nth <= n; ++nth) {
      for (const std::string& target : {old, dir.File("new.wav")}) {
        SCOPED_TRACE(testing::Message()
                     << target << " call " << nth << " of op " << static_cast<int>(op));
        prompts = {};
        {
          const FileFault fault(op, nth, ENOSPC);
          EXPECT_FALSE(RenderToWavFile(e, prompts, quiet, RenderKind::ThisPattern, target, {}));
        }
        // Only the folder's sync after the rename failed: a file that was there holds
        // the whole render; a new one is removed as after any failure.
        if (op == FileOp::Fsync && folderSyncs.contains(nth) && target == old) {
          EXPECT_EQ(ReadBytes(target), rendered);
          WriteBytes(old, {1, 2, 3});
        }
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.wav"});
        EXPECT_EQ(ReadBytes(old), (std::vector<uint8_t>{1, 2, 3}));
        if (op != FileOp::Create) {
          EXPECT_EQ(prompts.ioErrors,
                    std::vector<std::string>{FileErrorText("No space left on device", target)});
        }
      }
    }
  }
}

} // namespace
} // namespace lw
