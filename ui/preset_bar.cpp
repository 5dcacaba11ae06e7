#include "ui/preset_bar.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"
#include "ui/panel_text.h"

namespace brightloom::controls {

using plugkit::canvas::ETextHAlign;

namespace {

// Widths in row heights.
constexpr float kArrowGap = 0.5f;   // between the next arrow and "Save"
constexpr float kButton = 3.4f;     // "Save", "Save as", "Delete"
constexpr float kButtonGap = 0.16f;
constexpr float kMenuLeft = 0.73f;  // the menu button around the right inset
constexpr float kMenuRight = 0.27f;
constexpr float kRowInset = 0.28f;  // the previous arrow starts this far left of the inset
constexpr float kNameWidth = 210.f;
constexpr float kTitleWidth = 120.f;
constexpr float kEntryWidth = 220.f;

std::string trimmed(const char* text) {
  std::string s(text);
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t begin = 0, end = s.size();
  while (begin < end && blank(s[begin])) ++begin;
  while (end > begin && blank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

}  // namespace

PresetBarControl::PresetBarControl(const IRECT& bounds, Style style, PresetHooks hooks,
                                   std::function<void(const IRECT&)> openMenu)
    : IControl(bounds), mStyle(std::move(style)), mHooks(std::move(hooks)), mOpenMenu(std::move(openMenu)) {
  mDblAsSingleClick = true;  // a quick second press steps, opens or deletes again
}

PresetBarControl::Layout PresetBarControl::layout() const {
  const IRECT& b = mRECT;
  Layout out;
  out.pad = std::max(2.f, 0.18f * b.H());
  const float top = b.T + out.pad, bottom = b.B - out.pad, h = bottom - top;
  auto box = [&](float l, float w) { return IRECT(l, top, l + w, bottom); };

  float xr = b.R - mStyle.insetRight;
  if (mOpenMenu) {
    out.regions[kMenu] = IRECT(xr - kMenuLeft * h, top, xr + kMenuRight * h, bottom);
    xr = out.regions[kMenu].L - 0.5f * h;
  }
  float x0 = b.L + mStyle.insetLeft - kRowInset * h;
  if (!mStyle.title.empty()) x0 += kTitleWidth * mStyle.scale;
  const float fixed = 2.f * kButtonGap * h + 3.f * kButton * h + (2.f + kArrowGap) * h;
  const float nameWidth = std::max(h, std::min(kNameWidth * mStyle.scale + fixed, xr - x0) - fixed);

  out.regions[kPrevious] = box(x0, h);
  out.regions[kName] = box(out.regions[kPrevious].R, nameWidth);
  out.regions[kNext] = box(out.regions[kName].R, h);
  out.regions[kSave] = box(out.regions[kNext].R + kArrowGap * h, kButton * h);
  out.regions[kSaveAs] = box(out.regions[kSave].R + kButtonGap * h, kButton * h);
  out.regions[kDelete] = box(out.regions[kSaveAs].R + kButtonGap * h, kButton * h);
  return out;
}

IRECT PresetBarControl::region(Region r) const {
  return r > kNone && r < kRegions ? layout().regions[r] : IRECT();
}

PresetBarControl::Region PresetBarControl::regionAt(float x, float y) const {
  const Layout l = layout();
  for (int r = kPrevious; r < kRegions; ++r)
    if (l.regions[r].ContainsPoint(x, y)) return static_cast<Region>(r);
  return kNone;
}

void PresetBarControl::refreshCache() {
  mNames = mHooks.names ? mHooks.names() : std::vector<std::string>();
  mAnyNames = !mNames.empty();
  mCacheFilled = true;
}

void PresetBarControl::OnMouseDown(float x, float y, const IMouseMod&) {
  const Region r = regionAt(x, y);
  const std::string cur = current();
  if (r == kDelete) {
    if (cur.empty()) return;
    if (mPendingDelete == cur) {
      mPendingDelete.clear();
      if (mHooks.remove) mHooks.remove(cur);
      refreshCache();
    } else {
      mPendingDelete = cur;
    }
    SetDirty(false);
    return;
  }

  if (!mPendingDelete.empty()) {
    mPendingDelete.clear();
    SetDirty(false);
  }
  switch (r) {
    case kPrevious: step(-1); break;
    case kName: openList(); break;
    case kNext: step(+1); break;
    case kSave:
      if (!cur.empty() && mHooks.save) mHooks.save(cur);
      SetDirty(false);
      break;
    case kSaveAs: promptForName(); break;
    case kMenu:
      if (mOpenMenu) {
        const std::function<void(const IRECT&)> open = mOpenMenu;
        open(region(kMenu));
      }
      break;
    default: break;
  }
}

void PresetBarControl::step(int direction) {
  refreshCache();
  if (mNames.empty()) return;
  const std::string cur = current();
  const int n = static_cast<int>(mNames.size());
  const auto found = std::find(mNames.begin(), mNames.end(), cur);
  const int next = found != mNames.end() ? (static_cast<int>(found - mNames.begin()) + direction % n + n) % n
                                         : (direction < 1 ? n - 1 : 0);
  if (mHooks.load) {
    const std::string name = mNames[static_cast<std::size_t>(next)];
    mHooks.load(name);
  }
  SetDirty(false);
}

void PresetBarControl::openList() {
  refreshCache();
  mMenuNames = mNames;
  ICanvas* g = GetUI();
  if (mMenuNames.empty() || g == nullptr) return;
  const std::string cur = current();
  mMenu.RemoveAllItems();
  mMenu.SetChosenItemIdx(-1);
  for (const std::string& name : mMenuNames)
    mMenu.AddItem(name.c_str(), -1, name == cur ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
  g->CreatePopupMenu(*this, mMenu, region(kName), 0);
}

void PresetBarControl::OnPopupMenuSelection(IPopupMenu* menu, int) {
  if (menu != nullptr) {
    const int i = menu->GetChosenItemIdx();
    if (i >= 0 && i < static_cast<int>(mMenuNames.size()) && mHooks.load) {
      const std::string name = mMenuNames[static_cast<std::size_t>(i)];
      mHooks.load(name);
    }
  }
  SetDirty(false);
}

void PresetBarControl::promptForName() {
  ICanvas* g = GetUI();
  if (g == nullptr) return;
  const IRECT name = region(kName);
  const float w = std::max(kEntryWidth * mStyle.scale, name.W());
  const float cx = name.CentreX();
  SetTextEntryLength(kNameLength);
  g->CreateTextEntry(*this, mStyle.labelText, IRECT(cx - w / 2.f, name.T, cx + w / 2.f, name.B), current().c_str(),
                     0);
}

void PresetBarControl::OnTextEntryCompletion(const char* str, int) {
  if (str == nullptr || !mHooks.save) return;
  const std::string name = trimmed(str);
  if (name.empty()) return;
  mHooks.save(name);
  refreshCache();
  SetDirty(false);
}

void PresetBarControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl::OnMouseOver(x, y, mod);
  const Region r = regionAt(x, y);
  if (r == mHovered) return;
  if (mHovered == kNone) refreshCache();
  if (mHovered == kDelete) mPendingDelete.clear();
  mHovered = r;
  SetDirty(false);
}

void PresetBarControl::OnMouseOut() {
  IControl::OnMouseOut();
  if (mHovered == kNone && mPendingDelete.empty()) return;
  mHovered = kNone;
  mPendingDelete.clear();
  SetDirty(false);
}

const std::string& PresetBarControl::fitted(ICanvas& g, const IText& text, const std::string& name, float width) {
  if (name == mFitName && std::fabs(width - mFitWidth) < 0.5f) return mFitResult;
  mFitName = name;
  mFitWidth = width;
  mFitResult = balance_panel::fitWithEllipsis(g, text, name, width);
  return mFitResult;
}

void PresetBarControl::drawButton(ICanvas& g, const IRECT& r, const char* text, bool hoverFill, const IColor& frame,
                                  const IColor& textColour) {
  const float radius = r.H() / 4.f;
  g.FillRoundRect(mStyle.buttonFill, r, radius, &mBlend);
  if (hoverFill) g.FillRoundRect(mStyle.hoverFill, r, radius, &mBlend);
  g.DrawRoundRect(frame, r, radius, &mBlend, 1.f);
  g.DrawText(mStyle.labelText.WithAlign(ETextHAlign::Centre).WithColor(textColour), text, r);
}

void PresetBarControl::drawHamburger(ICanvas& g, const IRECT& r, bool hovered) {
  if (hovered) g.FillRoundRect(mStyle.hoverFill, r, r.H() / 4.f, &mBlend);
  const IColor& colour = hovered ? mStyle.label : mStyle.labelDim;
  const float len = 0.46f * r.W();
  const float t = std::max(1.f, 0.085f * r.H());
  const float cx = r.CentreX(), cy = r.CentreY();
  for (const float dy : {-0.21f * r.H(), 0.f, 0.21f * r.H()})
    g.FillRoundRect(colour, IRECT(cx - len / 2.f, cy + dy - t / 2.f, cx + len / 2.f, cy + dy + t / 2.f), t / 2.f,
                    &mBlend);
}

void PresetBarControl::Draw(ICanvas& g) {
  if (!mCacheFilled) refreshCache();
  const std::string cur = current();
  const Layout l = layout();
  const IRECT& b = mRECT;

  g.FillRect(mStyle.barFill, b, &mBlend);
  g.FillRect(mStyle.barLine, IRECT(b.L, b.B - 1.f, b.R, b.B), &mBlend);

  const IText centred = mStyle.labelText.WithAlign(ETextHAlign::Centre);
  if (!mStyle.title.empty()) {
    const IRECT area(b.L + mStyle.insetLeft, b.T, l.regions[kPrevious].L - l.pad, b.B);
    if (area.W() > 0.f)
      g.DrawText(mStyle.labelText.WithAlign(ETextHAlign::Left).WithColor(mStyle.labelDim), mStyle.title.c_str(),
                 area);
  }

  // The name box.
  const IRECT& name = l.regions[kName];
  const float radius = name.H() / 4.f;
  g.FillRoundRect(mStyle.buttonFill, name, radius, &mBlend);
  if (mHovered == kName) g.FillRoundRect(mStyle.hoverFill, name, radius, &mBlend);
  g.DrawRoundRect(mStyle.buttonFrame, name, radius, &mBlend, 1.f);
  const IRECT textArea(name.L + l.pad, name.T, name.R - l.pad, name.B);
  if (!cur.empty()) {
    const std::string star = mHooks.modified && mHooks.modified() ? "*" : "";
    const float room = textArea.W() - balance_panel::textWidth(g, centred, star);
    const std::string shown = fitted(g, centred, cur, room) + star;
    g.DrawText(centred.WithColor(mStyle.label), shown.c_str(), textArea);
  } else {
    g.DrawText(centred.WithColor(mStyle.labelDim), "no preset", textArea);
  }

  // The arrows.
  for (const Region r : {kPrevious, kNext}) {
    const IRECT& a = l.regions[r];
    if (mHovered == r && mAnyNames) g.FillRoundRect(mStyle.hoverFill, a, a.H() / 4.f, &mBlend);
    const float hw = 0.22f * a.W(), hh = 0.26f * a.H();
    const float cx = a.CentreX(), cy = a.CentreY();
    const IColor& colour = mAnyNames ? mStyle.label : mStyle.labelDim;
    if (r == kPrevious)
      g.FillTriangle(colour, cx - hw, cy, cx + hw, cy - hh, cx + hw, cy + hh, &mBlend);
    else
      g.FillTriangle(colour, cx + hw, cy, cx - hw, cy - hh, cx - hw, cy + hh, &mBlend);
  }

  const bool haveCurrent = !cur.empty();
  const bool armed = haveCurrent && mPendingDelete == cur;
  const IColor& enabledText = haveCurrent ? mStyle.label : mStyle.labelDim;
  drawButton(g, l.regions[kSave], "Save", mHovered == kSave && haveCurrent, mStyle.buttonFrame, enabledText);
  drawButton(g, l.regions[kSaveAs], "Save as", mHovered == kSaveAs, mStyle.buttonFrame, mStyle.label);
  drawButton(g, l.regions[kDelete], armed ? "Sure?" : "Delete", mHovered == kDelete && haveCurrent,
             armed ? mStyle.confirm : mStyle.buttonFrame, armed ? mStyle.confirm : enabledText);

  if (mOpenMenu) drawHamburger(g, l.regions[kMenu], mHovered == kMenu);
}

}  // namespace brightloom::controls
