#include "engine/targets/reference_files.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "engine/dsp/spectrum_analysis.h"
#include "services/files.h"

namespace spectrapoise::offline {

namespace {

constexpr sf_count_t kChunkFrames = 4096;
constexpr double kMinimumLearnSeconds = 2.0;

// What an extension promises. The decoder detects the format from the content, so after
// opening, the detected format must belong to the family the extension names.
enum class Family { None, WavOrAiff, Mp3, Flac };

std::string lowerExtension(const std::string& name) {
  std::string ext = std::filesystem::path(name).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

Family familyOf(const std::string& ext) {
  if (ext == ".wav" || ext == ".wave" || ext == ".aif" || ext == ".aiff" || ext == ".aifc")
    return Family::WavOrAiff;
  if (ext == ".mp3") return Family::Mp3;
  if (ext == ".flac") return Family::Flac;
  return Family::None;
}

bool formatBelongsTo(Family family, int format) {
  const int type = format & SF_FORMAT_TYPEMASK;
  switch (family) {
    case Family::WavOrAiff:
      return type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX || type == SF_FORMAT_RF64 ||
             type == SF_FORMAT_W64 || type == SF_FORMAT_AIFF;
    case Family::Mp3:
      return type == SF_FORMAT_MPEG;
    case Family::Flac:
      return type == SF_FORMAT_FLAC;
    case Family::None:
      break;
  }
  return false;
}

std::string fileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string unsupportedMessage(const std::string& ext) {
  return "unsupported file type " + ext + " (WAV, AIFF, MP3 or FLAC)";
}

// An open audio file, closed on every way out.
class AudioFile {
public:
  // Opens `path` when it is a regular file whose content belongs to `family` and that has at
  // least one channel and a rate above 0. Anything else is refused before a read could block
  // on it (a FIFO nobody writes, a device).
  AudioFile(const std::string& path, Family family) : fd_(brightloom::files::openRegularFile(path, &notRegular_)) {
    if (fd_ < 0) return;
    file_ = sf_open_fd(fd_, SFM_READ, &info_, SF_FALSE);
    if (file_ != nullptr &&
        (!formatBelongsTo(family, info_.format) || info_.channels < 1 || info_.samplerate < 1)) {
      sf_close(file_);
      file_ = nullptr;
    }
  }
  ~AudioFile() {
    if (file_ != nullptr) sf_close(file_);
    if (fd_ >= 0) ::close(fd_);
  }
  AudioFile(const AudioFile&) = delete;
  AudioFile& operator=(const AudioFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // The path was there but was not a regular file.
  bool notRegular() const { return notRegular_; }
  int channels() const { return info_.channels; }
  double sampleRate() const { return static_cast<double>(info_.samplerate); }

  // Reads chunks of up to 4096 frames while fewer than `limit` frames were read (so the last
  // chunk may run past it), the file has frames and no cancel is set. Hands each chunk to
  // onChunk as its left and right samples (interleaved: the channel count is the stride;
  // right is left in a mono file). Returns the frames read.
  template <typename OnChunk>
  std::uint64_t readChunks(std::uint64_t limit, const std::atomic<bool>* cancel, OnChunk onChunk) {
    const int channels = info_.channels;
    std::vector<float> chunk(static_cast<std::size_t>(std::max(1, channels)) * kChunkFrames);
    std::uint64_t read = 0;
    while (read < limit) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
      const sf_count_t frames = sf_readf_float(file_, chunk.data(), kChunkFrames);
      if (frames <= 0) break;
      const float* left = chunk.data();
      onChunk(left, channels > 1 ? left + 1 : left, static_cast<std::size_t>(frames),
              static_cast<std::size_t>(channels));
      read += static_cast<std::uint64_t>(frames);
    }
    return read;
  }

private:
  bool notRegular_ = false;
  int fd_ = -1;
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

// "could not read NAME", with the reason when the path was not a regular file.
std::string unreadableMessage(const std::string& path, bool notRegular) {
  return "could not read " + fileNameOf(path) + (notRegular ? ": not a regular file" : "");
}

// maxSeconds x rate in frames. NaN or nothing gives 0; beyond 2^64 (or infinite) no limit.
std::uint64_t frameLimit(double maxSeconds, double rate) {
  const double frames = maxSeconds * rate;
  if (!(frames > 0.0)) return 0;
  if (frames >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(frames);
}

// The analysis and the learner of one file; the analysis' hops go into the learner.
struct Feeder {
  explicit Feeder(double rate) {
    analysis.prepare(rate);
    analysis.hopCallback = [this](const dsp::BandCurve& bands, double meanSquare, double seconds) {
      learner.add(bands, meanSquare, seconds);
    };
  }
  Feeder(const Feeder&) = delete;
  Feeder& operator=(const Feeder&) = delete;

  dsp::SpectrumAnalysis analysis;
  dsp::TargetLearner learner;
};

// A file in memory for the WAV writer, so the file on disk is replaced in one step.
struct MemoryFile {
  std::string bytes;
  sf_count_t position = 0;

  static MemoryFile& of(void* user) { return *static_cast<MemoryFile*>(user); }
  static sf_count_t length(void* user) { return static_cast<sf_count_t>(of(user).bytes.size()); }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    MemoryFile& m = of(user);
    sf_count_t base = whence == SEEK_CUR ? m.position : whence == SEEK_END ? length(user) : 0;
    if (offset < -base) return -1;
    m.position = base + offset;
    return m.position;
  }
  static sf_count_t read(void* to, sf_count_t count, void* user) {
    MemoryFile& m = of(user);
    const sf_count_t size = length(user);
    const sf_count_t n = m.position >= size ? 0 : std::min(count, size - m.position);
    if (n > 0) std::memcpy(to, m.bytes.data() + m.position, static_cast<std::size_t>(n));
    m.position += n;
    return n;
  }
  static sf_count_t write(const void* from, sf_count_t count, void* user) {
    MemoryFile& m = of(user);
    try {  // nothing may be thrown through the decoder library
      const auto end = static_cast<std::size_t>(m.position + count);
      if (end > m.bytes.size()) m.bytes.resize(end);
      std::memcpy(m.bytes.data() + m.position, from, static_cast<std::size_t>(count));
    } catch (...) {
      return 0;
    }
    m.position += count;
    return count;
  }
  static sf_count_t tell(void* user) { return of(user).position; }
};

}  // namespace

bool isReferenceFileName(const std::string& name) {
  return familyOf(lowerExtension(name)) != Family::None;
}

bool learnFromFile(const std::string& path, dsp::LearnedTarget& result, std::string& error,
                   double maxSeconds, const std::atomic<bool>* cancel) {
  const std::string ext = lowerExtension(path);
  const Family family = familyOf(ext);
  if (family == Family::None) {
    error = unsupportedMessage(ext);
    return false;
  }
  const std::string name = fileNameOf(path);

  std::optional<Feeder> feeder;
  std::uint64_t fed = 0;
  bool notRegular = false;
  {
    AudioFile file(path, family);
    notRegular = file.notRegular();
    if (file.isOpen()) {
      feeder.emplace(file.sampleRate());
      dsp::SpectrumAnalysis& analysis = feeder->analysis;
      fed = file.readChunks(frameLimit(maxSeconds, file.sampleRate()), cancel,
                            [&analysis](const float* left, const float* right, std::size_t frames,
                                        std::size_t stride) {
                              analysis.push(left, right, frames, stride);
                            });
    }
  }
  if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
    error = "cancelled";
    return false;
  }
  if (!feeder || fed == 0) {
    error = unreadableMessage(path, notRegular);
    return false;
  }
  std::string reason;
  if (!feeder->learner.finish(result, reason, kMinimumLearnSeconds)) {
    error = name + ": " + reason;
    return false;
  }
  return true;
}

bool readAudioFile(const std::string& path, std::vector<float>& left, std::vector<float>& right,
                   double& sampleRate, std::string& error, double maxSeconds) {
  left.clear();
  right.clear();
  sampleRate = 0.0;
  const std::string ext = lowerExtension(path);
  const Family family = familyOf(ext);
  if (family == Family::None) {
    error = unsupportedMessage(ext);
    return false;
  }
  bool notRegular = false;
  {
    AudioFile file(path, family);
    notRegular = file.notRegular();
    if (file.isOpen()) {
      sampleRate = file.sampleRate();
      file.readChunks(frameLimit(maxSeconds, sampleRate), nullptr,
                      [&](const float* l, const float* r, std::size_t frames, std::size_t stride) {
                        for (std::size_t i = 0; i < frames; ++i) {
                          left.push_back(l[i * stride]);
                          right.push_back(r[i * stride]);
                        }
                      });
    }
  }
  if (left.empty() || !(sampleRate > 0.0)) {
    error = unreadableMessage(path, notRegular);
    return false;
  }
  return true;
}

bool writeWavFile(const std::string& path, const std::vector<float>& left,
                  const std::vector<float>& right, double sampleRate, std::string& error) {
  const std::string cannot = "could not write " + path;
  if (right.size() < left.size() || !(sampleRate >= 1.0 && sampleRate <= 2147483647.0)) {
    error = cannot;
    return false;
  }
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SF_VIRTUAL_IO io{&MemoryFile::length, &MemoryFile::seek, &MemoryFile::read, &MemoryFile::write,
                   &MemoryFile::tell};
  MemoryFile memory;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
  if (file == nullptr) {
    error = cannot;
    return false;
  }
  std::vector<float> chunk(2 * kChunkFrames);
  std::size_t written = 0;
  while (written < left.size()) {
    const std::size_t n = std::min<std::size_t>(kChunkFrames, left.size() - written);
    for (std::size_t i = 0; i < n; ++i) {
      chunk[2 * i] = left[written + i];
      chunk[2 * i + 1] = right[written + i];
    }
    const sf_count_t done = sf_writef_float(file, chunk.data(), static_cast<sf_count_t>(n));
    written += static_cast<std::size_t>(std::max<sf_count_t>(done, 0));
    if (done != static_cast<sf_count_t>(n)) break;
  }
  const bool closed = sf_close(file) == 0;
  if (written < left.size() || !closed) {
    error = "could not write all of " + path;
    return false;
  }
  return brightloom::files::replaceFile(path, memory.bytes, error);
}

}  // namespace spectrapoise::offline
