#include "ui/update_pill.h"

#include <algorithm>
#include <optional>

#include "graphics/ICanvas.h"
#include "services/updates.h"
#include "ui/panel_text.h"

namespace brightloom::controls {

using plugkit::canvas::ECursor;
using plugkit::canvas::ICanvas;

UpdatePillControl::UpdatePillControl(const IRECT& bounds, const IColor& fill, const IColor& hoverFill,
                                     const IColor& textColour, const IText& text, updates::UpdateCheck* checker,
                                     Relayout onRelayout)
    : IControl(bounds),
      mFill(fill),
      mHoverFill(hoverFill),
      mTextColour(textColour),
      mChecker(checker),
      mOnRelayout(std::move(onRelayout)) {
  mText = text;
  mDblAsSingleClick = true;  // a quick second click opens the page again
}

void UpdatePillControl::relayout() {
  const std::optional<updates::Notice> notice = mChecker != nullptr ? mChecker->notice() : std::nullopt;
  mLabel.clear();
  mUrl.clear();
  IRECT pill;
  if (notice && GetUI() != nullptr) {
    mLabel = notice->version + " AVAILABLE";
    mUrl = notice->url;
    const float w = balance_panel::textWidth(*GetUI(), mText, mLabel);
    const IRECT& r = mRECT;
    pill = IRECT(r.R - std::min(r.W(), 2.f * r.H() / 3.f + w), r.T, r.R, r.B);
  }
  if (pill == mPill) return;
  mPill = pill;
  if (mOnRelayout) {
    const Relayout told = mOnRelayout;  // the callback may replace the pill's functions
    told(mPill);
  }
}

bool UpdatePillControl::IsDirty() {
  if (mChecker != nullptr) {
    const std::int64_t changes = mChecker->changes();
    if (changes != mSeenChanges) {
      mSeenChanges = changes;
      relayout();
      return true;
    }
  }
  return IControl::IsDirty();
}

void UpdatePillControl::OnResize() {
  mPill = IRECT();
  relayout();
}

void UpdatePillControl::SetText(const IText& text) {
  IControl::SetText(text);
  mPill = IRECT();
  relayout();
}

bool UpdatePillControl::IsHit(float x, float y) const { return mPill.ContainsPoint(x, y); }

void UpdatePillControl::OnMouseOver(float x, float y, const plugkit::canvas::IMouseMod& mod) {
  const bool hovering = mPill.ContainsPoint(x, y);
  if (hovering != mHovered) {
    mHovered = hovering;
    if (ICanvas* g = GetUI()) g->SetMouseCursor(hovering ? ECursor::Hand : ECursor::Arrow);
    SetDirty(false);
  }
  IControl::OnMouseOver(x, y, mod);
}

void UpdatePillControl::OnMouseOut() {
  if (mHovered)
    if (ICanvas* g = GetUI()) g->SetMouseCursor(ECursor::Arrow);
  mHovered = false;
  SetDirty(false);
  IControl::OnMouseOut();
}

void UpdatePillControl::OnMouseDown(float, float, const plugkit::canvas::IMouseMod&) {
  ICanvas* g = GetUI();
  if (mUrl.empty() || g == nullptr) return;
  const std::string url = mUrl;
  g->OpenURL(url.c_str(), nullptr, nullptr, nullptr);
}

void UpdatePillControl::addMenuItems(plugkit::canvas::IPopupMenu& menu) const {
  const bool on = mChecker != nullptr && mChecker->enabled();
  menu.AddItem("Check for updates", -1,
               on ? plugkit::canvas::IPopupMenu::Item::kChecked : plugkit::canvas::IPopupMenu::Item::kNoFlags);
  menu.AddSeparator();
}

void UpdatePillControl::Draw(ICanvas& g) {
  if (mPill.IsEmpty()) relayout();
  if (mPill.IsEmpty()) return;
  const float p = 0.1f * mPill.H();
  const IRECT r(mPill.L, mPill.T + p, mPill.R, mPill.B - p);
  g.FillRoundRect(mHovered ? mHoverFill : mFill, r, r.H() / 6.f, &mBlend);
  g.DrawText(mText.WithColor(mTextColour).WithAlign(plugkit::canvas::ETextHAlign::Centre), mLabel.c_str(), r);
}

}  // namespace brightloom::controls
