// The song reader on any bytes: a damaged song is refused with IoError and nothing else
// may happen (no crash, no undefined behaviour, no allocation beyond what arrives).
#include "FuzzSupport.h"
#include "samples/SongFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  lw::fuzz::ForEachSource(data, size, [](lw::ReadOnlyFile& file) {
    try {
      (void)lw::ReadSongBody(file);
    } catch (const lw::IoError&) {
    }
  });
  return 0;
}
