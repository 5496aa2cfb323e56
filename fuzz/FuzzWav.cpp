// The WAV importer on any bytes, answering yes to every question.
#include "FuzzSupport.h"
#include "samples/WavImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  lw::fuzz::ForEachSource(data, size, [](lw::ReadOnlyFile& file) {
    lw::fuzz::YesPrompts prompts;
    lw::tWavImportInfo info;
    const lw::ImportedAudio got = lw::ReadWav(file, "fuzz.wav", prompts, info);
    if (got.bytes != got.data.size() * 2) {
      __builtin_trap(); // an import's size and its data always agree
    }
  });
  return 0;
}
