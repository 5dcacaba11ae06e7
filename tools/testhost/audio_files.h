#pragma once
// Audio files read and written a block at a time, so a run's memory stays flat with the
// length of the file: a reader of whatever libsndfile decodes, and a WAV writer that replaces
// its target in one step. Each object is used on one thread; failures are return values.
#include <sndfile.h>

#include <cstdint>
#include <string>

namespace testhost {

// "<path>.partial-<pid>-<n>": a fresh temporary name beside `path`, unique per process and call.
std::string temporaryNameBeside(const std::string& path);

class AudioReader {
public:
  AudioReader() = default;
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // False with the decoder's reason when the file cannot be opened or has no channel or rate.
  bool open(const std::string& path, std::string& reason);
  int channels() const { return info_.channels; }
  int sampleRate() const { return info_.samplerate; }
  // The frames the file declares; -1 when it declares no length.
  std::int64_t declaredFrames() const;
  // Reads up to `frames` frames into `interleaved` (channels() samples a frame). Returns the
  // frames read: fewer, or 0, at the end of the file or where it cannot be decoded further.
  std::int64_t read(float* interleaved, std::int64_t frames);
  std::int64_t read(double* interleaved, std::int64_t frames);
  std::int64_t framesRead() const { return framesRead_; }

private:
  SNDFILE* file_ = nullptr;
  SF_INFO info_{};
  std::int64_t framesRead_ = 0;
};

// A WAV file of 32-bit (or 64-bit) float samples, written into an exclusively created
// temporary file beside its target and renamed onto the target by commit. Until then the
// target is untouched; a writer that goes without commit removes its temporary file.
class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter() { abandon(); }
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // False with the system's reason when the temporary file cannot be made.
  bool open(const std::string& path, int channels, int sampleRate, bool sixtyFour, std::string& reason);
  // Appends frames; false once any write has come up short.
  bool write(const float* interleaved, std::int64_t frames);
  bool write(const double* interleaved, std::int64_t frames);
  // Finishes the file, syncs it to disk and renames it onto the target. False (the temporary
  // file removed, the target untouched) when any step or an earlier write failed.
  bool commit();
  // Closes and removes the temporary file; nothing when none is open.
  void abandon();

private:
  bool close();
  SNDFILE* file_ = nullptr;
  int fd_ = -1;
  bool failed_ = false;
  std::string path_;
  std::string temporary_;
};

}  // namespace testhost
