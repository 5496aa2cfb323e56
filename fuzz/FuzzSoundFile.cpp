// The converting import on any bytes, answering yes to every question.
#include "FuzzSupport.h"
#include "samples/SoundFileImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  lw::fuzz::ForEachSource(data, size, [](lw::ReadOnlyFile& file) {
    lw::fuzz::YesPrompts prompts;
    lw::tWavImportInfo info;
    const lw::ImportedAudio got = lw::ConvertSound(file, "fuzz.flac", prompts, info);
    if (got.bytes != got.data.size() * 2 || got.bytes > lw::kImportLimitBytes) {
      __builtin_trap(); // an import's size and its data agree, within the limit
    }
  });
  return 0;
}
