#pragma once
// The plug-in's state chunk: four tagged blocks, each ending in the host-bypass word F.
// Little-endian int32 and double; a string is an int32 byte count and the bytes; a tag's
// first character is its most significant byte ('SPS1' is stored 31 53 50 53).
//
//   'SPS1' version accent width height name  modified count values... F
//   'SPT1' kind name source 180 curve... spread... F
//   'SPR1' resolution F
//   'SPL1' loudness-mode F
//
// A chunk is parsed whole into a record before anything is applied, so a chunk that does
// not read is refused without changing the plug-in.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/dsp/engine_types.h"
#include "framework/IPlugStructs.h"
#include "plugin/parameters.h"
#include "plugin/target_store.h"

namespace spectrapoise::plugin {

inline constexpr std::int32_t kHeaderTag = static_cast<std::int32_t>(plugkit::FourCC("SPS1"));
inline constexpr std::int32_t kTargetTag = static_cast<std::int32_t>(plugkit::FourCC("SPT1"));
inline constexpr std::int32_t kResolutionTag = static_cast<std::int32_t>(plugkit::FourCC("SPR1"));
inline constexpr std::int32_t kLoudnessTag = static_cast<std::int32_t>(plugkit::FourCC("SPL1"));
inline constexpr std::int32_t kStateVersion = 1;
// The plain parameter block: one double per parameter.
inline constexpr std::int64_t kPlainBlockBytes = 8 * kParamCount;

struct ParsedState {
  enum class Kind { Refused, Plain, Tagged };
  Kind kind = Kind::Refused;
  // Where the caller reads the bypass word: the F word after the last block accepted, or
  // the end of a plain block. -1 when refused.
  std::int64_t end = -1;

  // Per parameter: the stored value, or nothing for the parameter's default.
  std::array<std::optional<double>, kParamCount> values{};

  // Tagged chunks only.
  int accent = 0;
  int width = 0;
  int height = 0;
  std::string presetName;
  bool modified = false;
  bool hasTarget = false;  // false: the built-in target, resolution 2, short-term loudness
  TargetKind targetKind = TargetKind::Balanced;
  std::string targetName;
  std::string targetSource;
  dsp::BandCurve curve{};
  dsp::BandCurve spread{};
  int resolution = 2;
  bool integrated = false;
};

// Parses the chunk from `start`. Never reads outside [data, data + size).
ParsedState parseStateChunk(const std::uint8_t* data, std::int64_t size, std::int64_t start);

}  // namespace spectrapoise::plugin
