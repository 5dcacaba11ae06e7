#pragma once
// The editor's size rule: 480 x 300 up to 1280 x 800 (the maxima times the platform scale
// when that is above 1), width / height = 1.6. Sizes are in host units (points times the
// platform scale).

namespace spectrapoise::plugin {

inline constexpr int kMinEditorWidth = 480;
inline constexpr int kMinEditorHeight = 300;
inline constexpr int kMaxEditorWidth = 1280;
inline constexpr int kMaxEditorHeight = 800;
inline constexpr float kEditorAspect = 1.6f;

// A platform scale fit for the size arithmetic: 1 when it is not a number above 0, and at
// most 16 (no screen has more backing pixels per point).
float usablePlatformScale(float scale);

// Limits (width, height) in place with the limit scale s. True when the pair already lay
// within the limits and had the aspect ratio, so nothing changed.
bool applySizeRule(int& width, int& height, float s);

// Rounds half away from zero into int, limited to +-1e9.
int roundToInt(double value);

}  // namespace spectrapoise::plugin
