#pragma once
// The update notice: in the panel's top row, a small pill reading the offered version and
// " AVAILABLE" while the update checker holds a notice of a newer version; a click (a
// quick second one too) opens the notice's page in the browser. Without a notice it draws
// nothing and takes no clicks.
// The pill sits right-aligned in the control's rectangle, as wide as its text needs (never
// wider than the rectangle), and reports where it sits whenever that changes, so the
// title can end just left of it. It also supplies the settings menu's "Check for updates"
// item.
//
// Main thread only. The checker belongs to the plug-in and outlives the editor; it is read
// only under its own lock (status copies), so drawing never holds it. A null checker
// counts as no notice and checks off.
#include <cstdint>
#include <functional>
#include <string>

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "ui/palette.h"

namespace brightloom::updates {
class UpdateCheck;
}

namespace brightloom::controls {

using plugkit::canvas::IColor;
using plugkit::canvas::IRECT;
using plugkit::canvas::IText;

class UpdatePillControl : public plugkit::canvas::IControl {
public:
  // Told the pill's new rectangle (all zero: no pill).
  using Relayout = std::function<void(const IRECT&)>;

  UpdatePillControl(const IRECT& bounds, const IColor& fill, const IColor& hoverFill, const IColor& textColour,
                    const IText& text, updates::UpdateCheck* checker, Relayout onRelayout);

  void OnMouseDown(float x, float y, const plugkit::canvas::IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const plugkit::canvas::IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  void Draw(plugkit::canvas::ICanvas& g) override;
  void SetText(const IText& text) override;
  bool IsHit(float x, float y) const override;
  // A move of the checker's change count lays the pill out again and redraws it.
  bool IsDirty() override;

  // Takes the checker's notice and sizes the pill to it.
  void relayout();
  // "Check for updates" (checked while checks are on) and a separator.
  void addMenuItems(plugkit::canvas::IPopupMenu& menu) const;

  const IRECT& pillRect() const { return mPill; }
  const std::string& label() const { return mLabel; }
  const std::string& url() const { return mUrl; }
  bool hovered() const { return mHovered; }
  updates::UpdateCheck* checker() const { return mChecker; }

private:
  IColor mFill;
  IColor mHoverFill;
  IColor mTextColour;
  updates::UpdateCheck* mChecker;
  Relayout mOnRelayout;
  std::int64_t mSeenChanges = -1;
  IRECT mPill;
  std::string mLabel;
  std::string mUrl;
  bool mHovered = false;
};

}  // namespace brightloom::controls
