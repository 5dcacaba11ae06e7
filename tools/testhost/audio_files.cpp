#include "tools/testhost/audio_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/FileWrite.h"

namespace testhost {

std::string temporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned long long> counter{0};
  return path + ".partial-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
}

// AudioReader --------------------------------------------------------------------------

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool AudioReader::open(const std::string& path, std::string& reason) {
  info_ = SF_INFO{};
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (file_ == nullptr) {
    reason = sf_strerror(nullptr);
    return false;
  }
  if (info_.channels < 1 || info_.samplerate < 1) {
    sf_close(file_);
    file_ = nullptr;
    reason = "no channel or no sample rate";
    return false;
  }
  return true;
}

std::int64_t AudioReader::declaredFrames() const {
  return info_.frames >= 0 && info_.frames < SF_COUNT_MAX ? info_.frames : -1;
}

std::int64_t AudioReader::read(float* interleaved, std::int64_t frames) {
  const sf_count_t got = file_ == nullptr || frames <= 0 ? 0 : sf_readf_float(file_, interleaved, frames);
  framesRead_ += got > 0 ? got : 0;
  return got > 0 ? got : 0;
}

std::int64_t AudioReader::read(double* interleaved, std::int64_t frames) {
  const sf_count_t got = file_ == nullptr || frames <= 0 ? 0 : sf_readf_double(file_, interleaved, frames);
  framesRead_ += got > 0 ? got : 0;
  return got > 0 ? got : 0;
}

// WavWriter ----------------------------------------------------------------------------

bool WavWriter::open(const std::string& path, int channels, int sampleRate, bool sixtyFour, std::string& reason) {
  abandon();
  fd_ = plugkit::CreateExclusiveFile([&] { return temporaryNameBeside(path); }, temporary_);
  if (fd_ < 0) {
    temporary_.clear();
    reason = std::strerror(errno);
    return false;
  }
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (sixtyFour ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT);
  file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
  if (file_ == nullptr) {
    reason = sf_strerror(nullptr);
    abandon();
    return false;
  }
  path_ = path;
  failed_ = false;
  return true;
}

bool WavWriter::write(const float* interleaved, std::int64_t frames) {
  failed_ = failed_ || file_ == nullptr || sf_writef_float(file_, interleaved, frames) != frames;
  return !failed_;
}

bool WavWriter::write(const double* interleaved, std::int64_t frames) {
  failed_ = failed_ || file_ == nullptr || sf_writef_double(file_, interleaved, frames) != frames;
  return !failed_;
}

bool WavWriter::close() {
  bool ok = !failed_;
  if (file_ != nullptr) {
    ok = sf_close(file_) == 0 && ok;  // writes the header's sizes
    file_ = nullptr;
  }
  if (fd_ >= 0) {
    ok = ok && ::fsync(fd_) == 0;
    // close is not retried: on Linux the descriptor is released even when it reports EINTR.
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
  }
  return ok;
}

bool WavWriter::commit() {
  if (temporary_.empty()) return false;
  const bool ok = close() && std::rename(temporary_.c_str(), path_.c_str()) == 0;
  if (ok) temporary_.clear();
  abandon();
  return ok;
}

void WavWriter::abandon() {
  failed_ = true;
  close();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace testhost
