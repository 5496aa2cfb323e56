#include "audio_out/ExportFile.h"

#include "audio_out/WavFile.h"
#include "song/AtomicFileWriter.h"
#include "song/FileIo.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

namespace lw {

namespace {

constexpr int kMixRate = 44100;
constexpr int kOpusRate = 48000;

// libsndfile and the encoders it drives set a file up partly in process-wide state that
// they do not guard: the Ogg stream's serial number is drawn from a shared generator,
// LAME fills tables that all its encoders share, a failed open leaves its reason in a
// shared record. Renders of several songs at once therefore open their files, and
// write their first samples (when the encoders finish setting up), one at a time.
std::mutex& EncoderSetUp() {
  static std::mutex mutex;
  return mutex;
}

// A stem value at the mix's scale, halved toward zero as the mix is.
int16_t HalvedStem(int32_t value) {
  return static_cast<int16_t>(std::min(std::max(value / 2, -32768), 32767));
}

// HalvedStem over a pattern's stem. Runs of a fixed length let the compiler use vector
// instructions, which makes 16-bit stems several times cheaper to convert.
void HalveStem(const int32_t* values, std::size_t count, int16_t* out) {
  constexpr std::size_t kRun = 16;
  std::size_t i = 0;
  for (; i + kRun <= count; i += kRun) {
    for (std::size_t k = 0; k < kRun; ++k) {
      out[i + k] = HalvedStem(values[i + k]);
    }
  }
  for (; i < count; ++i) {
    out[i] = HalvedStem(values[i]);
  }
}

// The 16-bit WAV of the renders, written by the renders' own writer.
class Wav16File final : public ExportFile {
public:
  Wav16File(const std::string& path, uint64_t samples, const char* tempPrefix) {
    int error = 0;
    if (!file_.Open(path, error, tempPrefix)) {
      throw IoError(SystemErrorText(error));
    }
    file_.Begin(samples);
  }
  void WriteMix(const int16_t* samples, std::size_t count) override { file_.Write(samples, count); }
  void WriteStem(const int32_t* values, std::size_t count) override {
    shorts_.resize(count);
    HalveStem(values, count, shorts_.data());
    file_.Write(shorts_.data(), count);
  }
  void Finish() override { file_.Finish(); }
  void Commit() override { file_.Commit(); }

private:
  WavFileWriter file_;
  std::vector<int16_t> shorts_;
};

// libsndfile's output, through its virtual I/O, into an AtomicFileWriter. Encoders
// write on, and some go back to fill in a header at the end.
class VirtualOutput {
public:
  explicit VirtualOutput(AtomicFileWriter& out) : out_(out) {}

  static SF_VIRTUAL_IO Calls() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* self) -> sf_count_t {
      return static_cast<sf_count_t>(static_cast<VirtualOutput*>(self)->out_.Written());
    };
    io.seek = [](sf_count_t offset, int whence, void* self) -> sf_count_t {
      return static_cast<VirtualOutput*>(self)->Seek(offset, whence);
    };
    io.read = [](void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.write = [](const void* data, sf_count_t count, void* self) -> sf_count_t {
      return static_cast<VirtualOutput*>(self)->Write(data, count);
    };
    io.tell = [](void* self) -> sf_count_t {
      return static_cast<sf_count_t>(static_cast<VirtualOutput*>(self)->position_);
    };
    return io;
  }

  // The reason of the first write that failed; empty while none did.
  [[nodiscard]] const std::string& Failure() const { return failure_; }

private:
  sf_count_t Seek(sf_count_t offset, int whence) {
    const auto size = static_cast<sf_count_t>(out_.Written());
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? static_cast<sf_count_t>(position_)
                                                 : size;
    const sf_count_t to = base + offset;
    if (to < 0 || to > size) {
      return -1; // nothing is written past the end but by appending
    }
    position_ = static_cast<uint64_t>(to);
    return to;
  }

  // Called by C code: a failure is kept and reported as a short write.
  sf_count_t Write(const void* data, sf_count_t count) noexcept {
    if (count < 0 || !failure_.empty()) {
      return 0;
    }
    try {
      const auto* in = static_cast<const char*>(data);
      auto left = static_cast<uint64_t>(count);
      const uint64_t written = out_.Written();
      if (position_ < written) {
        const uint64_t over = std::min(left, written - position_);
        out_.Overwrite(position_, in, over);
        position_ += over;
        in += over;
        left -= over;
      }
      if (left > 0) {
        out_.Write(in, left);
        position_ += left;
      }
      return count;
    } catch (const std::exception& failure) {
      failure_ = failure.what();
      return 0;
    }
  }

  AtomicFileWriter& out_;
  uint64_t position_ = 0;
  std::string failure_;
};

// Every other format, encoded by libsndfile.
class EncodedFile final : public ExportFile {
public:
  EncodedFile(const std::string& path, const ExportOptions& options, const char* tempPrefix)
      : format_(options.format), output_(out_) {
    int error = 0;
    if (!out_.Open(path, &error, tempPrefix)) {
      throw IoError(SystemErrorText(error));
    }
    SF_INFO info{};
    info.samplerate = FileRate(format_);
    info.channels = 1;
    info.format = SndfileFormat(format_);
    io_ = VirtualOutput::Calls();
    const std::lock_guard setUp(EncoderSetUp());
    file_ = sf_open_virtual(&io_, SFM_WRITE, &info, &output_);
    if (file_ == nullptr) {
      throw IoError(sf_strerror(nullptr));
    }
    Configure(options);
    if (format_ == ExportFormat::Opus) {
      int resamplerError = 0;
      resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &resamplerError);
      if (resampler_ == nullptr) {
        throw IoError(src_strerror(resamplerError));
      }
    }
  }
  ~EncodedFile() override {
    if (file_ != nullptr) {
      const auto setUp = FirstWrite();
      sf_close(file_);
    }
    if (resampler_ != nullptr) {
      src_delete(resampler_);
    }
  }
  EncodedFile(const EncodedFile&) = delete;
  EncodedFile& operator=(const EncodedFile&) = delete;

  void WriteMix(const int16_t* samples, std::size_t count) override {
    const auto setUp = FirstWrite();
    switch (format_) {
    case ExportFormat::Wav24:
      ints_.resize(count);
      std::transform(samples, samples + count, ints_.begin(),
                     [](int16_t s) { return static_cast<int32_t>(s) * 65536; });
      WriteInts();
      return;
    case ExportFormat::Flac:
      Check(sf_write_short(file_, samples, static_cast<sf_count_t>(count)),
            static_cast<sf_count_t>(count));
      return;
    default:
      floats_.resize(count);
      std::transform(samples, samples + count, floats_.begin(),
                     [](int16_t s) { return static_cast<float>(s) / 32768.0F; });
      WriteFloats(false);
      return;
    }
  }

  void WriteStem(const int32_t* values, std::size_t count) override {
    const auto setUp = FirstWrite();
    switch (format_) {
    case ExportFormat::Wav24:
      // 24 bits hold a stem whole: value / 2 at 16 bits is value * 128 at 24.
      ints_.resize(count);
      std::transform(values, values + count, ints_.begin(),
                     [](int32_t v) { return std::clamp(v, -65536, 65535) * 32768; });
      WriteInts();
      return;
    case ExportFormat::Flac:
      shorts_.resize(count);
      HalveStem(values, count, shorts_.data());
      Check(sf_write_short(file_, shorts_.data(), static_cast<sf_count_t>(count)),
            static_cast<sf_count_t>(count));
      return;
    default:
      floats_.resize(count);
      std::transform(values, values + count, floats_.begin(),
                     [](int32_t v) { return static_cast<float>(v) / 65536.0F; });
      WriteFloats(false);
      return;
    }
  }

  void Finish() override {
    if (file_ == nullptr) {
      return;
    }
    const auto setUp = FirstWrite(); // a file of no samples sets up as it closes
    if (resampler_ != nullptr) {
      floats_.clear();
      WriteFloats(true); // what the resampler still holds
    }
    SNDFILE* file = file_;
    file_ = nullptr;
    const int closed = sf_close(file);
    if (!output_.Failure().empty()) {
      throw IoError(output_.Failure());
    }
    if (closed != 0) {
      throw IoError(sf_error_number(closed));
    }
    out_.Finish();
  }
  void Commit() override {
    Finish();
    out_.Commit();
  }

private:
  static int SndfileFormat(ExportFormat format) {
    switch (format) {
    case ExportFormat::Wav24:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    case ExportFormat::Flac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case ExportFormat::Vorbis:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case ExportFormat::Opus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case ExportFormat::Mp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case ExportFormat::Wav16:
      break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  }

  void Configure(const ExportOptions& options) {
    if (!InfoOf(format_).lossy) {
      // FLAC's middle effort: nearly the smallest files at a fraction of the slowest
      // levels' time.
      double level = 0.5;
      if (format_ == ExportFormat::Flac) {
        sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
      }
      return;
    }
    if (format_ != ExportFormat::Vorbis) {
      int mode = SF_BITRATE_MODE_VARIABLE;
      sf_command(file_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    double level = 1.0 - std::clamp(options.quality, 0.0, 1.0);
    sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  }

  // Holds EncoderSetUp through the file's first write; no lock after that.
  std::unique_lock<std::mutex> FirstWrite() {
    if (written_) {
      return {};
    }
    written_ = true;
    return std::unique_lock(EncoderSetUp());
  }

  void Check(sf_count_t written, sf_count_t wanted) {
    if (written != wanted) {
      throw IoError(!output_.Failure().empty() ? output_.Failure()
                                               : std::string(sf_strerror(file_)));
    }
  }

  void WriteInts() {
    Check(sf_write_int(file_, ints_.data(), static_cast<sf_count_t>(ints_.size())),
          static_cast<sf_count_t>(ints_.size()));
  }

  // Writes floats_, through the resampler for Opus; `last` flushes the resampler.
  void WriteFloats(bool last) {
    if (resampler_ == nullptr) {
      Check(sf_write_float(file_, floats_.data(), static_cast<sf_count_t>(floats_.size())),
            static_cast<sf_count_t>(floats_.size()));
      return;
    }
    constexpr double kRatio = static_cast<double>(kOpusRate) / kMixRate;
    resampled_.resize(floats_.size() * 2 + 1024);
    SRC_DATA data{};
    data.data_in = floats_.data();
    data.input_frames = static_cast<long>(floats_.size());
    data.src_ratio = kRatio;
    data.end_of_input = last ? 1 : 0;
    for (;;) {
      data.data_out = resampled_.data();
      data.output_frames = static_cast<long>(resampled_.size());
      const int error = src_process(resampler_, &data);
      if (error != 0) {
        throw IoError(src_strerror(error));
      }
      Check(sf_write_float(file_, resampled_.data(), data.output_frames_gen),
            data.output_frames_gen);
      data.data_in += data.input_frames_used;
      data.input_frames -= data.input_frames_used;
      if (data.input_frames == 0 && (!last || data.output_frames_gen == 0)) {
        return;
      }
    }
  }

  ExportFormat format_;
  AtomicFileWriter out_;
  VirtualOutput output_;
  SF_VIRTUAL_IO io_{};
  SNDFILE* file_ = nullptr;
  SRC_STATE* resampler_ = nullptr;
  bool written_ = false;
  std::vector<int16_t> shorts_;
  std::vector<int32_t> ints_;
  std::vector<float> floats_;
  std::vector<float> resampled_;
};

} // namespace

int FileRate(ExportFormat format) {
  return format == ExportFormat::Opus ? kOpusRate : kMixRate;
}

std::unique_ptr<ExportFile> OpenExportFile(const std::string& path, const ExportOptions& options,
                                           uint64_t samples, const char* tempPrefix) {
  if (options.format == ExportFormat::Wav16) {
    return std::make_unique<Wav16File>(path, samples, tempPrefix);
  }
  return std::make_unique<EncodedFile>(path, options, tempPrefix);
}

} // namespace lw
