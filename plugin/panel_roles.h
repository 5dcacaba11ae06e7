#pragma once
// Roles of panel controls that the plug-in's idle work and target menu address by kind
// rather than by tag. The panel's controls take them on as a second base.
namespace spectrapoise::plugin {

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
