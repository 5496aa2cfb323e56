// Writes the busy song of the render benchmark to a song file, so that the command-line
// renderer can be timed as a user runs it: loopwren_busy_song OUT.LW [SEND%]
#include "BusySong.h"
#include "samples/SongFile.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  using namespace lw;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.LW [SEND%%]\n", argv[0]);
    return 2;
  }
  const auto engine = bench::BusySong(argc > 2 ? std::atoi(argv[2]) : 50);
  AtomicFileWriter out;
  if (!out.Open(argv[1])) {
    std::perror(argv[1]);
    return 1;
  }
  try {
    const SongDocument& state = engine->Interface();
    WriteSongBody(out, state.song, state.sequence, engine->InterfaceSamples());
    out.Commit();
  } catch (const IoError& error) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
    return 1;
  }
  return 0;
}
