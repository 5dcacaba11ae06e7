#include "graphics/stock/PopupMenuControl.h"

#include <algorithm>
#include <cmath>

namespace plugkit::canvas {

namespace {

// Limited to [lo, hi]; when the area is too small for the panel (lo > hi) lo wins, so the
// panel starts at the area's top-left and what does not fit is clipped.
float limit(float v, float lo, float hi) { return std::max(lo, std::min(v, hi)); }

bool selectable(const IPopupMenu::Item* item) {
  return item != nullptr && !item->GetIsTitle() && !item->GetIsSeparator() && item->GetEnabled() &&
         item->GetSubmenu() == nullptr;
}

// The union of the measured texts of a menu's items with the control's text style (an
// empty text measures nothing).
IRECT measureItems(const ICanvas* g, const IText& text, const IPopupMenu& menu) {
  IRECT all;
  if (g == nullptr) return all;
  for (int i = 0; i < menu.NItems(); ++i) {
    IRECT r;
    g->MeasureText(text, menu.GetItemText(i), r);
    all = all.Union(r);
  }
  return all;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Panels

IPopupMenuControl::MenuPanel::MenuPanel(IPopupMenuControl& control, IPopupMenu& menu, float x, float y,
                                        int parentIdx)
    : mMenu(menu), mParentIdx(parentIdx) {
  const IRECT all = measureItems(control.GetGraphics(), control.mText, menu);
  mSingleCellBounds = IRECT(all.L - control.mTextMargin - control.mTickWidth, all.T,
                            all.R + control.mTextMargin + control.mArrowWidth, all.B);
  mSingleCellBounds = mSingleCellBounds.GetTranslated(x - mSingleCellBounds.L, y - mSingleCellBounds.T);
  const float W = mSingleCellBounds.Width(), H = mSingleCellBounds.Height();
  const IRECT& T = control.area();
  const float margin = control.mPanelMargin, gap = control.mCellGap;
  const int n = menu.NItems();
  auto heightOf = [&](int i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    return item != nullptr && item->GetIsSeparator() ? control.mSeparatorSize : H;
  };

  // Columns of the length asked for, but no more of them than fit the area's width: the
  // area wins, and the columns grow longer.
  int perColumn = control.mMaxColumnItems;
  if (perColumn > 0 && n > perColumn) {
    const int fitting = std::max(1, static_cast<int>((T.Width() - 2.f * margin + gap) / (W + gap)));
    if ((n + perColumn - 1) / perColumn > fitting) perColumn = (n + fitting - 1) / fitting;
  }

  float cx = x + margin, cy = y + margin;
  int inColumn = 0;
  bool movedUp = false;
  for (int i = 0; i < n; ++i) {
    const float h = heightOf(i);
    const bool columnFull = perColumn > 0 && inColumn >= perColumn;
    // A cell that would pass the area's bottom breaks the column, unless it is the
    // column's first (a new column would not be any taller).
    const bool pastBottom = !movedUp && inColumn > 0 && cy + h + margin > T.B;
    if (!columnFull && !pastBottom) {
      mCells.push_back(std::make_unique<IRECT>(cx, cy, cx + W, cy + h));
      cy += h + gap;
      ++inColumn;
      continue;
    }
    // The column is as long as asked, or the menu does not fit the area's height and is
    // not to scroll: the next column starts.
    if (columnFull || !control.mScrollIfTooBig) {
      cx += W + gap;
      cy = mSingleCellBounds.T + margin;
      mCells.push_back(std::make_unique<IRECT>(cx, cy, cx + W, cy + h));
      cy += h + gap;
      inColumn = 1;
      continue;
    }
    const float top = T.T + control.mDropShadowSize + margin;
    const int maxVisible = H + gap > 0.f ? static_cast<int>((T.B - margin - top) / (H + gap)) : 0;
    // A window of fewer than 3 rows cannot hold an item between its two arrows: the
    // column stays whole and is clipped to the area.
    if (maxVisible < 3) {
      mCells.push_back(std::make_unique<IRECT>(cx, cy, cx + W, cy + h));
      cy += h + gap;
      ++inColumn;
      continue;
    }
    if (n < maxVisible) {
      // The menu fits the area's height: the column goes on, and the panel is moved up
      // into the area below.
      movedUp = true;
      mCells.push_back(std::make_unique<IRECT>(cx, cy, cx + W, cy + h));
      cy += h + gap;
      ++inColumn;
      continue;
    }
    mCells.clear();
    mScroller = true;
    mMaxVisibleCells = maxVisible;
    cy = top;
    for (int j = 0; j < maxVisible; ++j) {
      mCells.push_back(std::make_unique<IRECT>(cx, cy, cx + W, cy + H));
      cy += H + gap;
    }
    break;
  }

  IRECT span;
  for (const auto& cell : mCells) span = span.Union(*cell);
  // Specified expanded bounds replace the root panel's own; its cells start at their
  // top-left.
  if (parentIdx < 0 && control.mSpecifiedExpandedBounds.Width() != 0.f) {
    const IRECT& e = control.mSpecifiedExpandedBounds;
    if (!mCells.empty())
      for (auto& cell : mCells) *cell = cell->GetTranslated(e.L - span.L, e.T - span.T);
    span = e;
  }
  if (span.IsEmpty()) span = IRECT(x + margin, y + margin, x + margin, y + margin);

  // Columns, a column moved up and expanded bounds may reach past the area: the panel is
  // moved back inside it, shadow included where the area is large enough for it, its
  // top-left kept when it is larger than the area.
  const float S = control.mDropShadowSize;
  auto shiftInto = [&](float a, float b, float lo, float hi) {
    const float pad = b - a + 2.f * (margin + S) <= hi - lo ? margin + S : margin;
    float d = 0.f;
    if (b + pad > hi) d = hi - (b + pad);
    if (a + d - pad < lo) d = lo - (a - pad);
    return d;
  };
  IRECT drawn = span;  // expanded bounds may not hold every cell
  for (const auto& cell : mCells) drawn = drawn.Union(*cell);
  const float dx = shiftInto(drawn.L, drawn.R, T.L, T.R);
  const float dy = shiftInto(drawn.T, drawn.B, T.T, T.B);
  if (dx != 0.f || dy != 0.f) {
    for (auto& cell : mCells) *cell = cell->GetTranslated(dx, dy);
    span = span.GetTranslated(dx, dy);
  }
  mTargetRECT = span.GetPadded(margin);
  mRECT = span.GetPadded(margin + S);
}

IRECT* IPopupMenuControl::MenuPanel::GetCell(int idx) const {
  return idx >= 0 && idx < NCells() ? mCells[static_cast<size_t>(idx)].get() : nullptr;
}

int IPopupMenuControl::MenuPanel::IndexOfCell(const IRECT* cell) const {
  if (cell == nullptr) return -1;
  for (int i = 0; i < NCells(); ++i)
    if (mCells[static_cast<size_t>(i)].get() == cell) return i;
  return -1;
}

bool IPopupMenuControl::MenuPanel::IsUpArrow(const IRECT* cell) const {
  return NCells() < mMenu.NItems() && mScrollItemOffset >= 1 && NCells() > 0 && cell == GetCell(0);
}

bool IPopupMenuControl::MenuPanel::IsDownArrow(const IRECT* cell) const {
  return NCells() < mMenu.NItems() && mScrollItemOffset < mMenu.NItems() - NCells() && NCells() > 0 &&
         cell == GetCell(NCells() - 1);
}

IPopupMenu::Item* IPopupMenuControl::MenuPanel::ItemForCell(const IRECT* cell) const {
  const int idx = IndexOfCell(cell);
  if (idx < 0 || IsUpArrow(cell) || IsDownArrow(cell)) return nullptr;
  return mMenu.GetItem(mScrollItemOffset + idx);
}

IRECT* IPopupMenuControl::MenuPanel::HitTestCells(float x, float y) const {
  for (const auto& cell : mCells) {
    if (!cell->ContainsPoint(x, y)) continue;
    if (IsUpArrow(cell.get()) || IsDownArrow(cell.get())) return cell.get();
    const IPopupMenu::Item* item = ItemForCell(cell.get());
    if (item != nullptr && item->GetEnabled()) return cell.get();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// The control

IPopupMenuControl::IPopupMenuControl(int paramIdx, const IText& text, const IRECT& collapsedBounds,
                                     const IRECT& expandedBounds)
    : IPopupMenuControlBase(collapsedBounds, paramIdx),
      mSpecifiedCollapsedBounds(collapsedBounds),
      mSpecifiedExpandedBounds(expandedBounds) {
  mText = text;
  SetActionFunction([](IControl* c) {
    auto* menu = static_cast<IPopupMenuControl*>(c);
    menu->SetAnimationFunction([](IControl* self) { static_cast<IPopupMenuControl*>(self)->animate(); },
                               menu->mState == kSubmenuOpening ? 200.0 : 100.0);
  });
  mHide = true;
}

IPopupMenuControl::~IPopupMenuControl() = default;

bool IPopupMenuControl::IsExpanded() const {
  return mState == kOpening || mState == kOpen || mState == kSubmenuOpening;
}

IPopupMenuControl::MenuPanel* IPopupMenuControl::GetPanel(int idx) const {
  return idx >= 0 && idx < NPanels() ? mMenuPanels[static_cast<size_t>(idx)].get() : nullptr;
}

IRECT IPopupMenuControl::GetTargetArea() const {
  if (!mTargetArea.IsEmpty() || GetGraphics() == nullptr) return mTargetArea;
  return GetGraphics()->GetBounds();
}

void IPopupMenuControl::deletePanels() {
  mMouseCellBounds = nullptr;
  mActiveMenuPanel = nullptr;
  mAppearingMenuPanel = nullptr;
  mMenuPanels.clear();
}

void IPopupMenuControl::CreatePopupMenu(IPopupMenu& menu, const IRECT& anchorArea) {
  // One menu at a time: a request while another is shown or fading is not taken.
  if (mState != kClosed) return;
  mMenu = &menu;
  mMenuHasSubmenus = false;
  for (int i = 0; i < menu.NItems(); ++i)
    if (menu.GetItem(i)->GetSubmenu() != nullptr) mMenuHasSubmenus = true;
  mCurrentTargetArea = GetTargetArea();
  Expand(anchorArea);
}

void IPopupMenuControl::GetPanelDimensions(IPopupMenu& menu, float& width, float& height) const {
  const IRECT all = measureItems(GetGraphics(), mText, menu);
  const int n = menu.NItems();
  int separators = 0;
  for (int i = 0; i < n; ++i)
    if (menu.GetItem(i)->GetIsSeparator()) ++separators;
  width = all.Width() + 2.f * mTextMargin + mTickWidth + mArrowWidth;
  height = n == 0 ? 0.f
                  : static_cast<float>(n - 1) * mCellGap + static_cast<float>(separators) * mSeparatorSize +
                        static_cast<float>(n - separators) * all.Height();
}

IRECT IPopupMenuControl::GetLargestCellRectForMenu(IPopupMenu& menu, float x, float y) const {
  const IRECT all = measureItems(GetGraphics(), mText, menu);
  const IRECT cell(all.L - mTextMargin - mTickWidth, all.T, all.R + mTextMargin + mArrowWidth, all.B);
  return cell.GetTranslated(x - cell.L, y - cell.T);
}

void IPopupMenuControl::Expand(const IRECT& anchor) {
  if (mMenu == nullptr) return;
  Hide(false);
  mState = kOpening;
  if (ICanvas* g = GetGraphics()) g->UpdateTooltips();
  deletePanels();
  mAnchorArea = anchor;
  mSubMenuOpened = false;
  if (mCurrentTargetArea.IsEmpty()) mCurrentTargetArea = GetTargetArea();

  float w = 0.f, h = 0.f;
  GetPanelDimensions(*mMenu, w, h);
  const float A = arrowSize(), S = mDropShadowSize;
  const IRECT& T = area();
  const float minX = T.L + S, maxX = T.R - w - 2.f * S;
  const float minY = T.T + S, maxY = T.B - h - 2.f * S;
  const float acx = anchor.CentreX(), acy = anchor.CentreY();
  const bool upperHalf = acy <= T.CentreY();
  const bool leftHalf = acx <= T.CentreX();
  const float textSize = mText.size;

  float x = 0.f, y = 0.f;
  auto besideAnchor = [&] {
    if (leftHalf) {
      x = anchor.R + A;
      mCalloutArrowDir = 1;
      mCalloutArrowBounds = IRECT(anchor.R, acy - A / 2.f, anchor.R + A, acy + A / 2.f);
    } else {
      x = anchor.L - A - w - S;
      mCalloutArrowDir = 3;
      mCalloutArrowBounds = IRECT(anchor.L - A, acy - A / 2.f, anchor.L, acy + A / 2.f);
    }
  };
  auto below = [&] {
    mCalloutArrowBounds = IRECT(acx - A / 2.f, anchor.B, acx + A / 2.f, anchor.B + A);
    mCalloutArrowDir = 2;
  };
  auto above = [&] {
    mCalloutArrowBounds = IRECT(acx - A / 2.f, anchor.T - A, acx + A / 2.f, anchor.T);
    mCalloutArrowDir = 0;
  };

  // First guess: beside the anchor, the first row level with it.
  y = upperHalf ? acy - (textSize + A) : acy - h + textSize + A;
  besideAnchor();

  const bool xOut = x <= minX || x > maxX;
  if (y <= minY || y > maxY || xOut) {
    if ((y <= minY || xOut) && upperHalf) {
      below();
      if (anchor.B + A <= maxY) {
        y = anchor.B + A;
        x = acx - w / 2.f;
      } else {
        besideAnchor();
        y = maxY;
      }
    }
    if ((y > maxY || xOut) && !upperHalf) {
      above();
      const float yAbove = anchor.T - A - h - S;
      if (yAbove > minY) {
        y = yAbove;
        x = acx - w / 2.f;
      } else {
        besideAnchor();
        y = minY;
      }
    }
    x = limit(x, minX, maxX);
    y = limit(y, minY, maxY);
  }

  if (mForcedBelow && anchor.B + A <= maxY) {
    below();
    x = limit(acx - w / 2.f, minX, maxX);
    y = anchor.B + A;
  }

  if (mMenuHasSubmenus) {
    mSubmenuOnRight = leftHalf;
    mMenuShift = leftHalf ? -std::fabs(mMenuShift) : std::fabs(mMenuShift);
    x = limit(acx - w / 2.f + mMenuShift, minX, maxX);
    if (T.B - anchor.B >= anchor.T - T.T) {
      y = anchor.B + A;
      below();
    } else {
      y = anchor.T - A - h - S;
      above();
    }
    y = limit(y, minY, maxY);
  }

  mMenuPanels.push_back(std::make_unique<MenuPanel>(*this, *mMenu, x, y, -1));
  MenuPanel* root = mMenuPanels.back().get();
  mActiveMenuPanel = mAppearingMenuPanel = root;
  mTargetRECT = root->mTargetRECT;
  mRECT = root->mRECT;
  mMouseIsOver = false;
  OnResize();
  SetDirty(true);
}

void IPopupMenuControl::coverVisiblePanels() {
  IRECT draw, target;
  for (const auto& panel : mMenuPanels) {
    if (!panel->mShouldDraw) continue;
    draw = draw.Union(panel->mRECT);
    target = target.Union(panel->mTargetRECT);
  }
  mRECT = draw;
  mTargetRECT = target;
  mMouseIsOver = false;
  OnResize();
}

void IPopupMenuControl::CalculateMenuPanels(float x, float y) {
  MenuPanel* active = mActiveMenuPanel;
  if (active == nullptr || mMouseCellBounds == nullptr || active->IndexOfCell(mMouseCellBounds) < 0) {
    SetDirty(false);
    return;
  }
  const int activeIdx = [&] {
    for (int i = 0; i < NPanels(); ++i)
      if (GetPanel(i) == active) return i;
    return -1;
  }();
  const IPopupMenu::Item* item = active->ItemForCell(mMouseCellBounds);
  IPopupMenu* submenu = item != nullptr ? item->GetSubmenu() : nullptr;

  if (submenu == nullptr) {
    // The active panel's submenus close, and theirs with them (parents come first).
    std::vector<bool> closing(mMenuPanels.size(), false);
    for (size_t i = 0; i < mMenuPanels.size(); ++i) {
      const int parent = mMenuPanels[i]->mParentIdx;
      closing[i] = parent == activeIdx || (parent >= 0 && closing[static_cast<size_t>(parent)]);
      if (closing[i]) mMenuPanels[i]->mShouldDraw = false;
    }
    active->mHighlightedCell = nullptr;
    mSubMenuOpened = false;
    coverVisiblePanels();
    SetDirty(false);
    return;
  }

  MenuPanel* subPanel = nullptr;
  for (const auto& panel : mMenuPanels) {
    panel->mShouldDraw = &panel->mMenu == submenu;
    if (panel->mShouldDraw && subPanel == nullptr) subPanel = panel.get();
  }
  active->mHighlightedCell = item->GetEnabled() ? mMouseCellBounds : nullptr;

  const IRECT& cell = *mMouseCellBounds;
  const IRECT& T = area();
  const float A = arrowSize(), S = mDropShadowSize, margin = mPanelMargin;
  if (subPanel == nullptr) {
    float w = 0.f, h = 0.f;
    GetPanelDimensions(*submenu, w, h);
    float sx = mSubmenuOnRight ? cell.R + margin + A : cell.L - margin - A - w - S;
    sx = limit(sx, T.L + S, T.R - w - 2.f * S);
    float sy = mCalloutArrowDir == 0 ? cell.T - margin / 2.f - h + 2.f * mCellGap + S : cell.T - margin;
    sy = limit(sy, T.T + S, T.B - h - 2.f * S);
    mMenuPanels.push_back(std::make_unique<MenuPanel>(*this, *submenu, sx, sy, activeIdx));
    subPanel = mMenuPanels.back().get();
  }

  // The submenu's ancestors show again.
  for (int idx = subPanel->mParentIdx; idx >= 0;) {
    MenuPanel* panel = GetPanel(idx);
    if (panel == nullptr) break;
    panel->mShouldDraw = true;
    idx = panel->mParentIdx;
  }
  mSubMenuOpened = true;
  const float cy = cell.CentreY();
  mSubMenuCalloutArrowBounds = mSubmenuOnRight ? IRECT(cell.R + margin, cy - A / 2.f, cell.R + margin + A, cy + A / 2.f)
                                               : IRECT(cell.L - margin - A, cy - A / 2.f, cell.L - margin, cy + A / 2.f);
  coverVisiblePanels();
  if (mAppearingMenuPanel != subPanel) {
    mState = kSubmenuOpening;
    mAppearingMenuPanel = subPanel;
    SetDirty(true);
  } else {
    SetDirty(false);
  }
}

void IPopupMenuControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl::OnMouseOver(x, y, mod);
  if (!IsExpanded()) return;
  mMouseCellBounds = mActiveMenuPanel != nullptr ? mActiveMenuPanel->HitTestCells(x, y) : nullptr;
  if (mMouseCellBounds == nullptr) {
    for (int i = NPanels() - 1; i >= 0; --i) {
      MenuPanel* panel = GetPanel(i);
      if (panel->mShouldDraw && panel->mRECT.ContainsPoint(x, y)) {
        mActiveMenuPanel = panel;
        mMouseCellBounds = panel->HitTestCells(x, y);
        break;
      }
    }
  }

  CalculateMenuPanels(x, y);

  MenuPanel* active = mActiveMenuPanel;
  if (active != nullptr && active->mScroller && mMouseCellBounds != nullptr && active->NCells() > 0) {
    if (mMouseCellBounds == active->GetCell(0))
      active->mScrollItemOffset = std::max(active->mScrollItemOffset - 1, 0);
    else if (mMouseCellBounds == active->GetCell(active->NCells() - 1))
      active->mScrollItemOffset =
          std::min(active->mScrollItemOffset + 1, std::max(active->mMenu.NItems() - active->NCells(), 0));
  }
  SetDirty(false);
}

void IPopupMenuControl::OnMouseOut() {
  mMouseCellBounds = nullptr;
  IControl::OnMouseOut();
}

void IPopupMenuControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  // While a panel fades in, a click is taken but chooses nothing.
  if (mState != kOpen) {
    IControl::OnMouseDown(x, y, mod);
    return;
  }
  mMouseCellBounds = mActiveMenuPanel != nullptr ? mActiveMenuPanel->HitTestCells(x, y) : nullptr;
  CollapseEverything();
}

void IPopupMenuControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&) {
  if (!IsExpanded()) return;
  mMouseCellBounds = mActiveMenuPanel != nullptr ? mActiveMenuPanel->HitTestCells(x, y) : nullptr;
  SetDirty(false);
}

void IPopupMenuControl::CollapseEverything() {
  IPopupMenu* root = mMenu;
  MenuPanel* active = mActiveMenuPanel;
  // A choice in a submenu is reported on that submenu.
  IPopupMenu* reported = active != nullptr ? &active->mMenu : root;
  if (root != nullptr) root->SetChosenItemIdx(-1);
  if (reported != nullptr) {
    reported->SetChosenItemIdx(-1);
    const IPopupMenu::Item* item = active != nullptr ? active->ItemForCell(mMouseCellBounds) : nullptr;
    if (selectable(item)) {
      reported->SetChosenItemIdx(active->mScrollItemOffset + active->IndexOfCell(mMouseCellBounds));
      active->mClickedCell = mMouseCellBounds;
    }
  }

  // Hidden and closing before anyone hears of the choice: a handler may open the next menu.
  mSubMenuOpened = false;
  mActiveMenuPanel = nullptr;
  mState = kChoiceFlash;
  Hide(true);
  SetDirty(true);

  ICanvas* g = GetGraphics();
  if (g == nullptr || reported == nullptr) return;
  const std::weak_ptr<const int> alive = g->GetLivenessToken();
  reported->ExecFunction();
  if (alive.expired()) return;
  g->SetControlValueAfterPopupMenu(reported);
  // Nothing of this control is touched from here: the report may have replaced its menu or
  // removed it.
}

void IPopupMenuControl::CloseNow() {
  if (GetAnimationFunction()) IControl::OnEndAnimation();
  deletePanels();
  mState = kClosed;
  mSubMenuOpened = false;
  mMenu = nullptr;
  mAnchorArea = IRECT();
  mCurrentTargetArea = IRECT();
  mRECT = mSpecifiedCollapsedBounds;
  mTargetRECT = mSpecifiedCollapsedBounds;
  mMouseIsOver = false;
  Hide(true);
}

void IPopupMenuControl::setAllWeights(float weight) {
  for (const auto& panel : mMenuPanels) panel->mBlend.weight = weight;
}

void IPopupMenuControl::animate() {
  const double p = GetAnimationProgress();
  if (p > 1.0) {
    OnEndAnimation();
    return;
  }
  const float progress = static_cast<float>(p);
  switch (mState) {
    case kOpening:
      if (mAppearingMenuPanel != nullptr) mAppearingMenuPanel->mBlend.weight = progress * mOpacity;
      break;
    case kFadingOut: setAllWeights((1.f - progress) * mOpacity); break;
    case kSubmenuOpening:
      if (mAppearingMenuPanel != nullptr) mAppearingMenuPanel->mBlend.weight = progress > 0.9f ? mOpacity : 0.f;
      break;
    case kClosing: setAllWeights(0.f); break;
    default: break;
  }
}

void IPopupMenuControl::OnEndAnimation() {
  switch (mState) {
    case kOpening:
      setAllWeights(mOpacity);
      mState = kOpen;
      IControl::OnEndAnimation();
      break;
    case kChoiceFlash:
      mState = kFadingOut;
      SetDirty(true);
      break;
    case kFadingOut:
      mTargetRECT = mSpecifiedCollapsedBounds;
      setAllWeights(0.f);
      mState = kClosing;
      mMouseCellBounds = nullptr;
      mAnchorArea = IRECT();
      SetDirty(true);
      break;
    case kSubmenuOpening:
      setAllWeights(mOpacity);
      mState = kOpen;
      IControl::OnEndAnimation();
      break;
    case kClosing:
      if (ICanvas* g = GetGraphics()) g->UpdateTooltips();
      deletePanels();
      mMenu = nullptr;
      mCurrentTargetArea = IRECT();
      mRECT = mSpecifiedCollapsedBounds;
      mState = kClosed;
      IControl::OnEndAnimation();
      break;
    default: IControl::OnEndAnimation(); break;
  }
}

// ---------------------------------------------------------------------------------------
// Drawing

void IPopupMenuControl::Draw(ICanvas& g) {
  for (const auto& owned : mMenuPanels) {
    MenuPanel* panel = owned.get();
    if (!panel->mShouldDraw) continue;
    const IBlend* blend = &panel->mBlend;
    DrawPanelShadow(g, panel);
    DrawPanelBackground(g, panel);

    int first = 0, last = panel->NCells();
    if (panel->NCells() < panel->mMenu.NItems() && panel->NCells() > 0) {
      IRECT* upCell = panel->GetCell(0);
      if (panel->IsUpArrow(upCell)) {
        const bool sel = upCell == mMouseCellBounds;
        DrawCellBackground(g, *upCell, nullptr, sel, blend);
        DrawUpArrow(g, *upCell, sel, blend);
        first = 1;
      }
      IRECT* downCell = panel->GetCell(panel->NCells() - 1);
      if (panel->IsDownArrow(downCell)) {
        const bool sel = downCell == mMouseCellBounds;
        DrawCellBackground(g, *downCell, nullptr, sel, blend);
        DrawDownArrow(g, *downCell, sel, blend);
        last = panel->NCells() - 1;
      }
    }
    for (int k = first; k < last; ++k) {
      IRECT* cell = panel->GetCell(k);
      const IPopupMenu::Item* item = panel->mMenu.GetItem(panel->mScrollItemOffset + k);
      if (item == nullptr) break;
      if (item->GetIsSeparator()) {
        DrawSeparator(g, *cell, blend);
        continue;
      }
      const bool sel = cell == mMouseCellBounds || cell == panel->mHighlightedCell;
      if (!(mState == kChoiceFlash && panel->mClickedCell != nullptr)) DrawCellBackground(g, *cell, item, sel, blend);
      DrawCellText(g, *cell, item, sel, blend);
      if (item->GetChecked()) DrawTick(g, *cell, item, sel, blend);
      if (item->GetSubmenu() != nullptr) DrawSubMenuArrow(g, *cell, item, sel, blend);
    }
  }

  if (!mMenuPanels.empty() && mCallOut) {
    DrawCalloutArrow(g, mCalloutArrowBounds, &mMenuPanels.front()->mBlend);
    if (mMenuHasSubmenus && mSubMenuOpened) DrawSubMenuCalloutArrow(g, mSubMenuCalloutArrowBounds, &mMenuPanels.front()->mBlend);
  }
}

void IPopupMenuControl::DrawPanelShadow(ICanvas& g, MenuPanel* panel) {
  const IRECT inner = panel->mRECT.GetPadded(-mDropShadowSize);
  g.DrawFastDropShadow(inner, panel->mRECT, 2.f, mRoundness, 10.f, &panel->mBlend);
}

void IPopupMenuControl::DrawPanelBackground(ICanvas& g, MenuPanel* panel) {
  g.FillRoundRect(mPanelBackgroundColor, panel->mTargetRECT, mRoundness, &panel->mBlend);
}

void IPopupMenuControl::DrawCellBackground(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel,
                                           const IBlend* blend) {
  if (sel) g.FillRect(mCellBackgroundColor, bounds.GetPadded(-mPanelMargin, 0.f, mPanelMargin, 0.f), blend);
}

void IPopupMenuControl::DrawCellText(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                     const IBlend* blend) {
  if (item == nullptr) return;
  const IRECT textRect(bounds.L + mTickWidth + mTextMargin, bounds.T, bounds.R - mTextMargin, bounds.B);
  mText.color = sel ? mItemMouseoverColor : (item->GetEnabled() ? mItemColor : mDisabledItemColor);
  mText.align = ETextHAlign::Left;
  g.DrawText(mText, item->GetText(), textRect, blend);
}

void IPopupMenuControl::DrawTick(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel,
                                 const IBlend* blend) {
  const float side = std::max(1.f, mTickWidth / 2.f);
  const float cx = bounds.L + mTickWidth / 2.f, cy = bounds.CentreY();
  g.FillRoundRect(sel ? mItemMouseoverColor : mItemColor,
                  IRECT(cx - side / 2.f, cy - side / 2.f, cx + side / 2.f, cy + side / 2.f), 2.f, blend);
}

void IPopupMenuControl::DrawSubMenuArrow(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel,
                                         const IBlend* blend) {
  const float h = bounds.Height(), cy = bounds.CentreY();
  const IColor& color = sel ? mItemMouseoverColor : mItemColor;
  if (mSubmenuOnRight) {
    const float tip = bounds.R + mPanelMargin / 2.f;
    g.FillTriangle(color, tip - h / 2.f, cy - h / 4.f, tip, cy, tip - h / 2.f, cy + h / 4.f, blend);
  } else {
    const float tip = bounds.L - mPanelMargin / 2.f;
    g.FillTriangle(color, tip + h / 2.f, cy - h / 4.f, tip, cy, tip + h / 2.f, cy + h / 4.f, blend);
  }
}

void IPopupMenuControl::DrawUpArrow(ICanvas& g, const IRECT& bounds, bool sel, const IBlend* blend) {
  const float h = bounds.Height(), cx = bounds.CentreX(), cy = bounds.CentreY();
  g.FillTriangle(sel ? mItemMouseoverColor : mItemColor, cx - 0.3f * h, cy + 0.3f * h, cx, cy - 0.3f * h,
                 cx + 0.3f * h, cy + 0.3f * h, blend);
}

void IPopupMenuControl::DrawDownArrow(ICanvas& g, const IRECT& bounds, bool sel, const IBlend* blend) {
  const float h = bounds.Height(), cx = bounds.CentreX(), cy = bounds.CentreY();
  g.FillTriangle(sel ? mItemMouseoverColor : mItemColor, cx - 0.3f * h, cy - 0.3f * h, cx, cy + 0.3f * h,
                 cx + 0.3f * h, cy - 0.3f * h, blend);
}

void IPopupMenuControl::DrawSeparator(ICanvas& g, const IRECT& bounds, const IBlend* blend) {
  if (BlendWeight(blend) > 0.9f) g.FillRect(mSeparatorColor, bounds, &BLEND_25);
}

namespace {

// A triangle filling r with its tip at the middle of one side: 0 down, 1 left, 2 up, 3 right.
void fillArrow(ICanvas& g, const IColor& color, const IRECT& r, int tip, const IBlend* blend) {
  switch (tip) {
    case 0: g.FillTriangle(color, r.L, r.T, r.CentreX(), r.B, r.R, r.T, blend); break;
    case 1: g.FillTriangle(color, r.R, r.T, r.L, r.CentreY(), r.R, r.B, blend); break;
    case 2: g.FillTriangle(color, r.L, r.B, r.CentreX(), r.T, r.R, r.B, blend); break;
    default: g.FillTriangle(color, r.L, r.T, r.R, r.CentreY(), r.L, r.B, blend); break;
  }
}

}  // namespace

void IPopupMenuControl::DrawCalloutArrow(ICanvas& g, const IRECT& bounds, const IBlend* blend) {
  fillArrow(g, mPanelBackgroundColor, bounds, mCalloutArrowDir, blend);
}

void IPopupMenuControl::DrawSubMenuCalloutArrow(ICanvas& g, const IRECT& bounds, const IBlend* blend) {
  fillArrow(g, mPanelBackgroundColor, bounds, mSubmenuOnRight ? 1 : 3, blend);
}

void AttachPopupMenuControl(ICanvas& g, const IText& text, const IRECT& bounds) {
  if (g.GetPopupMenuControl() != nullptr) return;
  g.AttachPopupMenuControl(new IPopupMenuControl(kNoLinkedParam, text, IRECT(), bounds));
}

}  // namespace plugkit::canvas
