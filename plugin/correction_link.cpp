#include "plugin/correction_link.h"

namespace spectrapoise::plugin {

dsp::CorrectionGains CorrectionLink::load(const AtomicFloats<5>& from) {
  dsp::CorrectionGains g;
  for (std::size_t i = 0; i < 5; ++i) g[i] = from.load(i);
  return g;
}

void CorrectionLink::store(AtomicFloats<5>& to, const dsp::CorrectionGains& gains) {
  for (std::size_t i = 0; i < 5; ++i) to.store(i, static_cast<float>(gains[i]));
}

CorrectionLink::CorrectionLink() {
  for (std::size_t i = 0; i < 4; ++i) holdLevels_.store(i, 1.f);
}

std::array<float, 4> CorrectionLink::holdLevels() const {
  return {holdLevels_.load(0), holdLevels_.load(1), holdLevels_.load(2), holdLevels_.load(3)};
}

void CorrectionLink::publishHoldLevels(const std::array<double, 4>& levels) {
  for (std::size_t i = 0; i < 4; ++i) holdLevels_.store(i, static_cast<float>(levels[i]));
}

void CorrectionLink::requestFreezeCapture() {
  // A new generation with the request bit set.
  std::uint64_t s = freezeRequest_.load();
  while (!freezeRequest_.compare_exchange_weak(s, ((s >> 1) + 1) << 1 | 1u)) {
  }
}

std::optional<std::uint64_t> CorrectionLink::pendingFreezeCapture() const {
  const std::uint64_t request = freezeRequest_.load();
  if ((request & 1u) == 0) return std::nullopt;
  return request;
}

void CorrectionLink::completeFreezeCapture(std::uint64_t pending) {
  std::uint64_t expected = pending;
  freezeRequest_.compare_exchange_strong(expected, pending & ~std::uint64_t{1});
}

}  // namespace spectrapoise::plugin
