#pragma once
// IPopupMenuControl: a popup menu drawn by the graphics context itself instead of the
// platform's: one rounded, shadowed panel per open menu level, cells with text, check
// marks and submenu arrows, an optional callout arrow pointing at the area that opened it,
// hover scrolling for menus taller than the window, and short fades. Once attached
// (AttachPopupMenuControl), every menu request of the context opens here.
//
// The menu shown stays its caller's; the control only reads it and sets its chosen index.
// Lifecycle: closed -> opening (100 ms) -> open; hovering a submenu item -> submenu
// opening (200 ms) -> open; a click reports the choice and hides the menu at once ->
// choice flash, fading out, closing (100 ms each) -> closed. Every event goes to it while
// it is expanded (opening, open, submenu opening).
//
// Placement: every panel, with its cells, is moved inside the target area (shadow
// included where there is room for it). A maximum of items per column breaks the menu
// into columns whether or not it scrolls, the columns lengthened when more of them would
// not fit the area's width; a menu taller than the area scrolls (or, with scrolling off,
// breaks into columns); specified expanded bounds hold the root panel's cells from their
// top-left.
//
// Main thread only. Nothing here fails: an empty menu, a window too small for one row and
// a click on nothing all close the menu with nothing chosen.
#include <memory>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/ICanvas.h"
#include "graphics/SpecialControls.h"

namespace plugkit::canvas {

class IPopupMenuControl : public IPopupMenuControlBase {
public:
  enum EMenuState : int {
    kClosed = 0,
    kOpening = 1,
    kOpen = 2,
    kFadingOut = 3,
    kChoiceFlash = 4,
    kSubmenuOpening = 5,
    kClosing = 6,
  };

  // One open menu level: its cells, placed when it is made.
  class MenuPanel {
  public:
    MenuPanel(IPopupMenuControl& control, IPopupMenu& menu, float x, float y, int parentIdx);

    // The first cell holding the point whose item is selectable, or an arrow cell of a
    // scrolled panel; null when none.
    IRECT* HitTestCells(float x, float y) const;
    int NCells() const { return static_cast<int>(mCells.size()); }
    IRECT* GetCell(int idx) const;
    // The cell's position in the list, or -1.
    int IndexOfCell(const IRECT* cell) const;
    // The item a cell shows: the scroll offset plus its position (null for an arrow cell
    // and outside the menu).
    IPopupMenu::Item* ItemForCell(const IRECT* cell) const;
    // A scrolled panel's first cell while items lie above, last cell while items lie below.
    bool IsUpArrow(const IRECT* cell) const;
    bool IsDownArrow(const IRECT* cell) const;

    IPopupMenu& mMenu;
    std::vector<std::unique_ptr<IRECT>> mCells;
    IRECT mRECT;        // the panel with its drop shadow
    IRECT mTargetRECT;  // the panel background
    int mMaxVisibleCells = 0;
    bool mShouldDraw = true;
    IBlend mBlend{EBlend::Default, 0.f};
    IRECT mSingleCellBounds;
    IRECT* mHighlightedCell = nullptr;  // the cell whose submenu is open
    IRECT* mClickedCell = nullptr;
    int mParentIdx = -1;
    bool mScroller = false;
    int mScrollItemOffset = 0;
  };

  // Hidden until the first menu; its action function starts the fades.
  IPopupMenuControl(int paramIdx = kNoLinkedParam, const IText& text = DEFAULT_TEXT,
                    const IRECT& collapsedBounds = IRECT(), const IRECT& expandedBounds = IRECT());
  ~IPopupMenuControl() override;

  // IPopupMenuControlBase
  bool IsExpanded() const override;
  bool IsBusy() const override { return mState != kClosed; }
  // Opens the menu for the anchor area when closed; ignored otherwise.
  void CreatePopupMenu(IPopupMenu& menu, const IRECT& anchorArea) override;
  void CloseNow() override;

  // Lays out and shows the root panel for the anchor area.
  void Expand(const IRECT& anchorArea);
  // Reports the choice (the clicked item of the panel under the pointer, or nothing) and
  // starts closing. The menu is hidden before anyone hears of the choice, so a handler
  // may open the next menu at once; nothing of this control is touched after the report.
  virtual void CollapseEverything();

  // The size of a panel showing menu (cells, gaps and separators; no margins).
  void GetPanelDimensions(IPopupMenu& menu, float& width, float& height) const;
  // One cell of menu placed at (x, y).
  IRECT GetLargestCellRectForMenu(IPopupMenu& menu, float x, float y) const;
  // Opens, shows or hides the submenu panels for the cell under the pointer.
  void CalculateMenuPanels(float x, float y);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override {}
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(ICanvas& g) override;
  void OnEndAnimation() override;

  virtual void DrawCalloutArrow(ICanvas& g, const IRECT& bounds, const IBlend* blend);
  virtual void DrawSubMenuCalloutArrow(ICanvas& g, const IRECT& bounds, const IBlend* blend);
  virtual void DrawPanelBackground(ICanvas& g, MenuPanel* panel);
  virtual void DrawPanelShadow(ICanvas& g, MenuPanel* panel);
  virtual void DrawCellBackground(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                  const IBlend* blend);
  virtual void DrawCellText(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                            const IBlend* blend);
  virtual void DrawTick(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                        const IBlend* blend);
  virtual void DrawSubMenuArrow(ICanvas& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                const IBlend* blend);
  virtual void DrawUpArrow(ICanvas& g, const IRECT& bounds, bool sel, const IBlend* blend);
  virtual void DrawDownArrow(ICanvas& g, const IRECT& bounds, bool sel, const IBlend* blend);
  virtual void DrawSeparator(ICanvas& g, const IRECT& bounds, const IBlend* blend);

  // Settings.
  // 0: no maximum.
  void SetMaxItemsPerColumn(int n) { mMaxColumnItems = n; }
  void SetScrollIfTooBig(bool scroll) { mScrollIfTooBig = scroll; }
  void SetCallout(bool callout) { mCallOut = callout; }
  void SetForceBelow(bool force) { mForcedBelow = force; }
  // The area panels stay inside. Empty (the default): the editor's bounds at each opening.
  void SetTargetArea(const IRECT& area) { mTargetArea = area; }
  void SetExpandedBounds(const IRECT& bounds) { mSpecifiedExpandedBounds = bounds; }

  // State, for drawing and tests.
  EMenuState GetState() const { return mState; }
  int NPanels() const { return static_cast<int>(mMenuPanels.size()); }
  MenuPanel* GetPanel(int idx) const;
  MenuPanel* GetActivePanel() const { return mActiveMenuPanel; }
  IRECT* GetMouseCell() const { return mMouseCellBounds; }
  IPopupMenu* GetMenu() const { return mMenu; }
  int GetCalloutDirection() const { return mCalloutArrowDir; }
  const IRECT& GetAnchorArea() const { return mAnchorArea; }
  // The area in force: the one set, else the editor's bounds.
  IRECT GetTargetArea() const;
  float GetOpacity() const { return mOpacity; }

private:
  friend class MenuPanel;

  // The area the current opening lays out in.
  const IRECT& area() const { return mCurrentTargetArea; }
  float arrowSize() const { return mCallOut ? mCalloutArrowSize : 0.f; }
  void animate();
  void setAllWeights(float weight);
  // Keeps the drawing rectangle on every visible panel.
  void coverVisiblePanels();
  void deletePanels();

  std::vector<std::unique_ptr<MenuPanel>> mMenuPanels;
  MenuPanel* mActiveMenuPanel = nullptr;
  MenuPanel* mAppearingMenuPanel = nullptr;
  EMenuState mState = kClosed;
  IRECT* mMouseCellBounds = nullptr;
  IPopupMenu* mMenu = nullptr;
  int mMaxColumnItems = 0;
  bool mScrollIfTooBig = true;
  bool mCallOut = false;
  bool mMenuHasSubmenus = false;
  bool mForcedBelow = true;
  bool mSubmenuOnRight = true;
  bool mSubMenuOpened = false;
  float mCellGap = 2.f;
  float mSeparatorSize = 2.f;
  float mRoundness = 5.f;
  float mDropShadowSize = 10.f;
  float mOpacity = 0.95f;
  float mMenuShift = 0.f;
  float mTextMargin = 5.f;
  float mTickWidth = 10.f;
  float mArrowWidth = 8.f;
  float mPanelMargin = 5.f;
  float mCalloutArrowSize = 8.f;
  IRECT mAnchorArea;
  int mCalloutArrowDir = 1;
  IRECT mCalloutArrowBounds;
  IRECT mSubMenuCalloutArrowBounds;
  IRECT mTargetArea;
  IRECT mCurrentTargetArea;
  IColor mPanelBackgroundColor = COLOR_WHITE;
  IColor mCellBackgroundColor = COLOR_BLUE;
  IColor mItemMouseoverColor = COLOR_WHITE;
  IColor mItemColor = COLOR_BLACK;
  IColor mDisabledItemColor = COLOR_GRAY;
  IColor mSeparatorColor = COLOR_MID_GRAY;
  IRECT mSpecifiedCollapsedBounds;
  IRECT mSpecifiedExpandedBounds;
};

// Attaches a drawn popup menu with this text style (root panel laid out in bounds when
// they are not of zero width), unless the context already holds one.
void AttachPopupMenuControl(ICanvas& g, const IText& text = DEFAULT_TEXT, const IRECT& bounds = IRECT());

}  // namespace plugkit::canvas
