#pragma once
// Learns a target (a band curve and a spread per band) from a stream of analysis hops: the
// hops are collected into one-second blocks; finish() keeps the loud blocks, averages their
// spectra into a curve normalised to the overall level, and measures how much the curve
// varies between segments of about ten seconds.

#include <string>
#include <vector>

#include "engine/dsp/engine_types.h"

namespace spectrapoise::dsp {

struct LearnedTarget {
  BandCurve curve{};   // dB relative to the mean power over 40 Hz..16 kHz
  BandCurve spread{};  // dB; all 0 when no spread was measured
  double seconds = 0.0;  // seconds of loud material that went into it
};

class TargetLearner {
public:
  struct Block {
    BandCurve bands{};  // band powers of the block's hops, added up (linear)
    // While filling: sum of hop level x hop weight. Once stored: the weighted mean level.
    double level = 0.0;
    double weight = 0.0;  // seconds of hops in the block
  };

  // One analysis hop: its band powers, its mean square as the level and its duration in
  // seconds as the weight. A hop with any non-finite value is ignored entirely.
  void add(const BandCurve& bands, double level, double weight);

  // Builds the target from what was fed so far. On failure sets `error` to the reason and
  // leaves `result` alone. The learner itself does not change, so learning can go on.
  bool finish(LearnedTarget& result, std::string& error, double minimumSeconds) const;

  // Back to empty.
  void clear();

  // Seconds of all accepted hops.
  double totalSeconds() const { return totalSeconds_; }
  const std::vector<Block>& blocks() const { return blocks_; }
  const Block& currentBlock() const { return current_; }

private:
  std::vector<Block> blocks_;
  Block current_;
  double totalSeconds_ = 0.0;
};

}  // namespace spectrapoise::dsp
