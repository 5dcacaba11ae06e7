#pragma once
// The host track the plug-in sits on: REAPER's host functions (found by name through the
// host context), the accent colour table, and the rules that turn a track's colour into
// an accent colour. Main thread only.
#include <array>
#include <cstddef>

class IReaperHostApplication;
class MediaTrack;  // REAPER's opaque track

namespace spectrapoise::plugin {

// REAPER's interface on the host context and the three functions the plug-in asks for.
// All empty outside REAPER.
struct ReaperFunctions {
  using GetSetTrackInfoString = bool (*)(MediaTrack* track, const char* key, char* buffer, bool set);
  using GetTrackInfoValue = double (*)(MediaTrack* track, const char* key);
  using ColorFromNative = void (*)(int native, int* r, int* g, int* b);

  IReaperHostApplication* host = nullptr;  // holds one reference
  GetSetTrackInfoString getSetTrackString = nullptr;
  GetTrackInfoValue getTrackValue = nullptr;
  ColorFromNative colorFromNative = nullptr;

  // The track holding the plug-in (REAPER's parent lookup 1), or null.
  MediaTrack* track() const;
  // Releases the interface and forgets the functions.
  void release();
};

// REAPER's P_NAME takes no buffer size: it gets a zeroed buffer this large whose last byte
// is forced to 0 afterwards.
inline constexpr std::size_t kTrackNameBuffer = 4096;
// The longest track label in bytes (cut on a UTF-8 character boundary).
inline constexpr std::size_t kTrackLabelMax = 560;

struct Accent {
  const char* name;
  int r;
  int g;
  int b;
};
// The accent colours by index; 5 takes the track's colour ("DAW color").
inline constexpr std::array<Accent, 6> kAccents{{
    {"Green", 21, 232, 121},
    {"Red", 233, 21, 90},
    {"Orange", 255, 122, 0},
    {"Blue", 0, 184, 255},
    {"Purple", 134, 0, 255},
    {"DAW color", 21, 232, 121},
}};
inline constexpr int kDawColorAccent = 5;

// A track colour brought into the luminance range 47..200 with its proportions kept.
// False (colour untouched) for a colour too dark to scale (luminance below 1).
bool levelTrackColour(int& r, int& g, int& b);

// A double from REAPER as an int32, cut toward zero; false when it is not a number or
// lies outside the int32 range.
bool toInt32(double value, int& out);

// The first `max` bytes of text (or all of it), never ending inside a UTF-8 character.
std::size_t utf8Prefix(const char* text, std::size_t length, std::size_t max);

}  // namespace spectrapoise::plugin
