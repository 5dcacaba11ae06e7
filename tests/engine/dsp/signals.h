#pragma once
// Test programmes for the meters: stereo pieces of sine or noise, rendered block by block so
// long programmes need no memory, or whole for short ones.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

namespace sp::test {

class Programme {
public:
  explicit Programme(double rate, unsigned seed = 1) : rate_(rate), rng_(seed) {}

  // A sine of peak `dbfs` on both channels; `hz` and the rate are whole numbers. The phase
  // runs on across pieces.
  Programme& sine(double hz, double dbfs, double seconds, double phaseDegrees = 0.0) {
    Piece p;
    p.frames = static_cast<std::uint64_t>(std::llround(seconds * rate_));
    const auto r = static_cast<std::uint64_t>(rate_), f = static_cast<std::uint64_t>(hz);
    const double amplitude = std::pow(10.0, dbfs / 20.0);
    const double phase = phaseDegrees * std::numbers::pi / 180.0;
    const std::uint64_t period = r / std::gcd(r, f);
    p.table.resize(period);
    for (std::uint64_t n = 0; n < period; ++n)  // whole cycles removed exactly
      p.table[n] = amplitude * std::sin(2.0 * std::numbers::pi * double((f * n) % r) / rate_ + phase);
    pieces_.push_back(std::move(p));
    return *this;
  }

  // Independent uniform noise per channel with RMS `dbfs`.
  Programme& noise(double dbfs, double seconds) {
    Piece p;
    p.frames = static_cast<std::uint64_t>(std::llround(seconds * rate_));
    p.noiseAmplitude = std::pow(10.0, dbfs / 20.0) * std::sqrt(3.0);
    pieces_.push_back(std::move(p));
    return *this;
  }

  std::uint64_t frames() const {
    std::uint64_t n = 0;
    for (const Piece& p : pieces_) n += p.frames;
    return n;
  }

  // Writes up to `n` frames; returns how many (0 at the end).
  std::size_t next(double* left, double* right, std::size_t n) {
    std::size_t done = 0;
    while (done < n && piece_ < pieces_.size()) {
      const Piece& p = pieces_[piece_];
      if (inPiece_ == p.frames) {
        ++piece_;
        inPiece_ = 0;
        continue;
      }
      if (p.table.empty()) {
        std::uniform_real_distribution<double> u(-p.noiseAmplitude, p.noiseAmplitude);
        left[done] = u(rng_);
        right[done] = u(rng_);
      } else {
        left[done] = right[done] = p.table[position_ % p.table.size()];
      }
      ++done;
      ++inPiece_;
      ++position_;
    }
    return done;
  }

  double rate() const { return rate_; }

private:
  struct Piece {
    std::uint64_t frames = 0;
    std::vector<double> table;  // one period of a sine; empty for noise
    double noiseAmplitude = 0.0;
  };
  double rate_;
  std::mt19937 rng_;
  std::vector<Piece> pieces_;
  std::size_t piece_ = 0;
  std::uint64_t inPiece_ = 0;
  std::uint64_t position_ = 0;
};

// A whole (short) programme in memory.
struct Stereo {
  std::vector<double> left, right;
  std::size_t frames() const { return left.size(); }
  const double* channels[2] = {nullptr, nullptr};
  const double* const* pointers() {
    channels[0] = left.data();
    channels[1] = right.data();
    return channels;
  }
};

inline Stereo render(Programme p) {
  Stereo s;
  s.left.resize(p.frames());
  s.right.resize(p.frames());
  p.next(s.left.data(), s.right.data(), s.left.size());
  return s;
}

}  // namespace sp::test
