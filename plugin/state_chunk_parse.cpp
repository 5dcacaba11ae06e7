// Parsing a state chunk whole into a record, in 64-bit positions, never reading outside the
// chunk. Nothing here touches the plug-in.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/editor_size.h"
#include "plugin/state_chunk.h"

namespace spectrapoise::plugin {

namespace {

constexpr std::int32_t kBandCount = static_cast<std::int32_t>(dsp::kBandCount);

// Bounds-checked reads in 64-bit positions.
class Reader {
public:
  Reader(const std::uint8_t* data, std::int64_t size) : data_(data), size_(size < 0 ? 0 : size) {}

  bool fits(std::int64_t pos, std::int64_t bytes) const {
    return pos >= 0 && bytes >= 0 && pos <= size_ && bytes <= size_ - pos;
  }
  bool i32(std::int64_t pos, std::int32_t& out) const { return copy(pos, &out, sizeof out); }
  bool f64(std::int64_t pos, double& out) const { return copy(pos, &out, sizeof out); }
  // A string at pos: its length must lie in 0..the bytes that follow. The text ends at
  // the first zero byte. The position after it, or -1.
  std::int64_t str(std::int64_t pos, std::string& out) const {
    std::int32_t length = 0;
    if (!i32(pos, length) || length < 0 || !fits(pos + 4, length)) return -1;
    const char* bytes = reinterpret_cast<const char*>(data_ + pos + 4);
    out.assign(bytes, strnlen(bytes, static_cast<std::size_t>(length)));
    return pos + 4 + length;
  }
  // All n doubles finite, into out; false when they do not fit or one is not finite.
  bool finiteValues(std::int64_t pos, dsp::BandCurve& out) const {
    if (!fits(pos, static_cast<std::int64_t>(out.size()) * 8)) return false;
    for (std::size_t k = 0; k < out.size(); ++k) {
      f64(pos + 8 * static_cast<std::int64_t>(k), out[k]);
      if (!std::isfinite(out[k])) return false;
    }
    return true;
  }

private:
  bool copy(std::int64_t pos, void* out, std::size_t bytes) const {
    if (!fits(pos, static_cast<std::int64_t>(bytes))) return false;
    std::memcpy(out, data_ + pos, bytes);
    return true;
  }
  const std::uint8_t* data_;
  std::int64_t size_;
};

std::optional<double> finite(double v) { return std::isfinite(v) ? std::optional<double>(v) : std::nullopt; }

// The target block at p (p is the header block's F word). The position after the spread
// values, or -1 when the block is absent or does not read.
std::int64_t parseTarget(const Reader& r, std::int64_t p, ParsedState& s) {
  std::int32_t tag = 0;
  if (!r.i32(p + 4, tag) || tag != kTargetTag) return -1;
  std::int64_t pos = p + 8;
  std::int32_t kind = 0;
  if (!r.i32(pos, kind) || static_cast<std::uint32_t>(kind) >= static_cast<std::uint32_t>(kTargetKindCount)) return -1;
  pos = r.str(pos + 4, s.targetName);
  if (pos < 0) return -1;
  pos = r.str(pos, s.targetSource);
  if (pos < 0) return -1;
  std::int32_t bands = 0;
  if (!r.i32(pos, bands) || bands != kBandCount) return -1;
  pos += 4;
  if (!r.finiteValues(pos, s.curve)) return -1;
  pos += 8 * static_cast<std::int64_t>(kBandCount);
  if (!r.finiteValues(pos, s.spread)) return -1;
  s.targetKind = static_cast<TargetKind>(kind);
  return pos + 8 * static_cast<std::int64_t>(kBandCount);
}

}  // namespace

ParsedState parseStateChunk(const std::uint8_t* data, std::int64_t size, std::int64_t start) {
  ParsedState s;
  const Reader r(data, size);
  if (start < 0) return s;

  std::int32_t tag = 0;
  if (!r.i32(start, tag) || tag != kHeaderTag) {
    // A plain block starts with "Bypass" (0.0 or 1.0), never with the header tag.
    if (!r.fits(start, kPlainBlockBytes)) return s;
    for (int i = 0; i < kParamCount; ++i) {
      double v = 0.0;
      r.f64(start + 8 * i, v);
      s.values[static_cast<std::size_t>(i)] = finite(v);
    }
    s.kind = ParsedState::Kind::Plain;
    s.end = start + kPlainBlockBytes;
    return s;
  }

  std::int32_t version = 0, accent = 0, width = 0, height = 0;
  if (!r.i32(start + 4, version) || !r.i32(start + 8, accent) || !r.i32(start + 12, width) ||
      !r.i32(start + 16, height))
    return s;
  std::int64_t p = r.str(start + 20, s.presetName);
  if (p < 0) return s;
  std::int32_t modified = 0, count = 0;
  if (!r.i32(p, modified) || !r.i32(p + 4, count) || count < 0) return s;
  p += 8;
  if (!r.fits(p, static_cast<std::int64_t>(count) * 8)) return s;
  for (std::int32_t i = 0; i < count && i < kParamCount; ++i) {
    double v = 0.0;
    r.f64(p + 8 * static_cast<std::int64_t>(i), v);
    s.values[static_cast<std::size_t>(i)] = finite(v);
  }
  p += 8 * static_cast<std::int64_t>(count);

  s.kind = ParsedState::Kind::Tagged;
  s.accent = static_cast<std::uint32_t>(accent) <= 5u ? accent : 0;
  s.width = width;
  s.height = height;
  if (width > 0 && height > 0 &&
      std::fabs(static_cast<float>(width) / static_cast<float>(height) - kEditorAspect) > 0.01f) {
    s.width = 640;
    s.height = 400;
  }
  s.modified = modified != 0;

  // Without a readable target block the target, resolution and loudness mode go back to
  // their defaults and the header block's F word ends the chunk.
  s.end = p;
  const std::int64_t q = parseTarget(r, p, s);
  if (q < 0) {
    s.hasTarget = false;
    s.targetName.clear();
    s.targetSource.clear();
    s.curve.fill(0.0);
    s.spread.fill(0.0);
    return s;
  }
  s.hasTarget = true;
  s.end = q;

  std::int64_t rpos = q;
  std::int32_t value = 0;
  if (r.i32(q + 4, tag) && tag == kResolutionTag && r.i32(q + 8, value) && static_cast<std::uint32_t>(value) <= 2u) {
    s.resolution = value;
    rpos = q + 12;
  }
  s.end = rpos;
  if (r.i32(rpos + 4, tag) && tag == kLoudnessTag && r.i32(rpos + 8, value)) {
    s.integrated = value == 1;
    if (value == 0 || value == 1) s.end = rpos + 12;
  }
  return s;
}

}  // namespace spectrapoise::plugin
