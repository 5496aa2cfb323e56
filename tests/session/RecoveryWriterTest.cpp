#include "session/RecoveryWriter.h"
#include "RecoveryTestSupport.h"
#include "TempDir.h"
#include "session/RecoveryInstance.h"
#include "song/Paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace lw {
namespace {

using test::CopyOf;
using test::SongEngine;
using test::TempDir;
using test::Text;

TEST(RecoveryWriter, TheLastRequestWinsAndARemovalComesAfterAWrite) {
  TempDir dir;
  RecoveryInstance own;
  ASSERT_TRUE(own.Start(dir.path().string() + "/", 1, 2));
  RecoveryWriter writer(own);
  std::string last;
  for (int i = 0; i < 20; ++i) {
    last = CopyOf(*SongEngine("Take", i));
    writer.Write(last, {"", "Take", i}, static_cast<uint64_t>(i));
  }
  writer.Wait();
  EXPECT_EQ(Text(own.CopyPath()), last);
  EXPECT_EQ(writer.TakeFinished().back().fingerprint, 19u);
  writer.Write(last, {}, 20);
  writer.Remove();
  writer.Wait();
  EXPECT_FALSE(FileExists(own.CopyPath()) || FileExists(own.InfoPath()));
}

} // namespace
} // namespace lw
