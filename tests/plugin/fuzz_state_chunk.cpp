// libFuzzer target: the state-chunk parser on arbitrary bytes from arbitrary start
// positions. It must refuse or read within the chunk, and a record it accepts must hold
// only values the plug-in can apply.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugin/state_chunk.h"

namespace sp = spectrapoise::plugin;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void checkRecord(const sp::ParsedState& s, std::int64_t size, std::int64_t start) {
  switch (s.kind) {
    case sp::ParsedState::Kind::Refused:
      check(s.end == -1);
      return;
    case sp::ParsedState::Kind::Plain:
      check(s.end == start + sp::kPlainBlockBytes && s.end <= size);
      break;
    case sp::ParsedState::Kind::Tagged:
      check(s.end > start && s.end <= size);
      check(s.accent >= 0 && s.accent <= 5);
      check(s.resolution >= 0 && s.resolution <= 2);
      check(!s.hasTarget || (s.targetKind >= 0 && s.targetKind <= 3));
      for (std::size_t k = 0; k < s.curve.size(); ++k) check(std::isfinite(s.curve[k]) && std::isfinite(s.spread[k]));
      break;
  }
  for (const auto& v : s.values) check(!v || std::isfinite(*v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto n = static_cast<std::int64_t>(size);
  checkRecord(sp::parseStateChunk(data, n, 0), n, 0);
  // The first byte, when there is one, also picks another start position.
  if (size > 0) {
    const std::int64_t start = static_cast<std::int64_t>(data[0]) - 1;
    checkRecord(sp::parseStateChunk(data, n, start), n, start);
  }
  return 0;
}
