#pragma once
// Learning a target from a reference audio file (WAV, AIFF, MP3, FLAC), decoded at the file's
// own rate and fed through the spectrum analysis into a target learner; and small utilities
// for reading and writing audio files.

#include <atomic>
#include <string>
#include <vector>

#include "engine/dsp/target_learner.h"

namespace spectrapoise::offline {

// Learns from at most `maxSeconds` of the file (checked per 4096-frame chunk). `cancel` may be
// null; once set, the call stops after the current chunk with "cancelled". Only a regular
// file is read: anything else (a FIFO, a device, a folder) is refused without waiting on it.
// On failure sets `error` ("unsupported file type .ext (WAV, AIFF, MP3 or FLAC)", "cancelled",
// "could not read NAME", "could not read NAME: not a regular file" or "NAME: " + the
// learner's reason) and leaves `result` alone. A read that blocks (a stalled mount) blocks
// the call: callers run it where that cannot hold anyone up.
bool learnFromFile(const std::string& path, dsp::LearnedTarget& result, std::string& error,
                   double maxSeconds, const std::atomic<bool>* cancel);

// True for the extensions .wav .wave .aif .aiff .aifc .mp3 .flac in any letter case.
bool isReferenceFileName(const std::string& name);

// Decodes up to `maxSeconds` (per chunk) into left and right (mono: the same samples twice;
// beyond two channels the rest is ignored). Refuses what is not a regular file and reports
// failures as learnFromFile does.
bool readAudioFile(const std::string& path, std::vector<float>& left, std::vector<float>& right,
                   double& sampleRate, std::string& error, double maxSeconds);

// Writes a stereo 32-bit float WAV file, replacing the file in one step. Fails with
// "could not write " + path, creating nothing, when `right` is shorter than `left` or the rate
// is not finite or lies outside 1..2^31-1. A rate with a fraction is cut to whole hertz.
bool writeWavFile(const std::string& path, const std::vector<float>& left,
                  const std::vector<float>& right, double sampleRate, std::string& error);

}  // namespace spectrapoise::offline
