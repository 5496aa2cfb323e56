#include "samples/Resample.h"

#include "song/FileIo.h"

#include <soxr.h>

#include <cmath>
#include <string>

namespace lw {

SampleData Resample(const SampleData& input, uint32_t fromRate, uint32_t toRate) {
  if (input.empty() || fromRate == 0 || toRate == 0) {
    return {};
  }
  const double ratio = static_cast<double>(toRate) / fromRate;
  // One spare value beyond the exact length, so rounding never cuts the tail.
  const auto capacity =
      static_cast<std::size_t>(std::ceil(static_cast<double>(input.size()) * ratio)) + 1;
  SampleData output(capacity);

  soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER; // dither is random: an import must give the same sample twice
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  std::size_t used = 0;
  std::size_t produced = 0;
  const soxr_error_t error =
      soxr_oneshot(fromRate, toRate, 1, input.data(), input.size(), &used, output.data(),
                   output.size(), &produced, &io, &quality, &runtime);
  if (error != nullptr) {
    throw IoError(std::string("Resampling failed: ") + error);
  }
  output.resize(produced);
  return output;
}

} // namespace lw
