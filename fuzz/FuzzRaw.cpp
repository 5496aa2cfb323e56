// The raw importer on any bytes, answering yes to every question.
#include "FuzzSupport.h"
#include "samples/WavImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  lw::fuzz::ForEachSource(data, size, [size](lw::ReadOnlyFile& file) {
    lw::fuzz::YesPrompts prompts;
    lw::tWavImportInfo info;
    const lw::ImportedAudio got = lw::ReadRaw(file, "fuzz.raw", prompts, info);
    if (got.bytes != got.data.size() * 2 || got.bytes > size) {
      __builtin_trap();
    }
  });
  return 0;
}
