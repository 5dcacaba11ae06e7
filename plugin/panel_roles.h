#pragma once
// The panel's contract with the plug-in: the tags and groups by which the plug-in's idle
// work finds panel controls (the panel's layout gives them), the product title, and the
// roles of controls that the idle work and the target menu address by kind rather than by
// tag (the panel's controls take them on as a second base). Constants and interfaces: any
// thread may read the constants; the roles are used on the main thread. Nothing fails.
namespace spectrapoise::plugin {

// Tags of the panel's controls.
inline constexpr int kTitleTag = 0;  // the title line: the host's track, else the product title
inline constexpr int kFooterTag = 1;
inline constexpr int kSpectrumTag = 2;
inline constexpr int kLegendTag = 3;
inline constexpr int kReadoutsTag = 4;
inline constexpr int kMeterTag = 5;
inline constexpr int kLoudnessChipTag = 6;
inline constexpr int kTargetChipTag = 7;
// The controls every idle tick redraws while the editor is open (the amount captions too,
// by their role, while the correction is live).
inline constexpr int kLiveTags[] = {kSpectrumTag, kLegendTag, kReadoutsTag, kMeterTag, kTargetChipTag};

// Groups of the shades the idle work shows and hides.
inline constexpr const char* kCorrectShade = "correct-shade";
inline constexpr const char* kFreezeShade = "freeze-shade";
inline constexpr const char* kBypassShade = "bypass-shade";

// The title line without a track name, and the logo's stand-in.
inline constexpr const char* kProductTitle = "SPECTRAPOISE";

// The target chip (the control with tag 7). The plug-in opens the target name entry over
// it only when the chip takes typed text; the chip hands the typed name to
// EditorServices::setPendingTargetName.
class TargetChipRole {
public:
  virtual ~TargetChipRole() = default;
  virtual bool hasTextHandler() const = 0;
};

// A correction amount's caption: redrawn on every idle tick while the correction is live.
class AmountCaptionRole {
public:
  virtual ~AmountCaptionRole() = default;
};

}  // namespace spectrapoise::plugin
