// The Mac graphics class's frame and cursor, end to end: the view's frame from the editor's
// size and draw scale (truncated), the frame rule of the rectangles it places, the screen
// and backing scales (NaN kept out), the cursor hidden where it was (rounded), locked drags
// warped back in display coordinates while they still report their movement, tablet input
// never warped, the pointer read and moved through window and screen, the cursor table
// with and without the private cursors, the appearance; a frame that failed drawn again.
#include <cmath>
#include <stdexcept>

#include "graphics/SpecialControls.h"
#include "tests/platform/mac/mac_editor.h"

namespace {

using namespace mactest;

class FrameAndCursor : public MacEditorTest {};

TEST_F(FrameAndCursor, TheViewFollowsTheEditorsSizeAndScales) {
  drawScale = 1.5f;
  open();
  EXPECT_EQ(view->frame(), NSMakeRect(0, 0, 960, 600));
  EXPECT_EQ(view->superview(), host->contentView());
  EXPECT_EQ(host->firstResponder(), view);
  g->Resize(641, 400, 1.5f);
  EXPECT_EQ(view->frame().size, NSMakeSize(961, 600));  // 961.5 truncated
  // The layer draws at the window's backing scale.
  EXPECT_EQ(view->layer()->drawableSize().width, 961);
  EXPECT_EQ(view->layer()->pixelFormat(), mtl::PixelFormat::BGRA8Unorm);
  EXPECT_TRUE(view->layer()->framebufferOnly());

  // Rectangles placed in the view follow the frame rule.
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), IRECT(10.2f, 20.7f, 30.1f, 40.4f), "x", kEveryValIdx);
  ASSERT_NE(view->textField(), nullptr);
  EXPECT_EQ(view->textField()->frame(), NSMakeRect(15, 31, 31, 30));
}

TEST_F(FrameAndCursor, BackingScalesReachTheContextAndTheLayerButNaNDoesNot) {
  open();
  EXPECT_EQ(g->GetScreenScale(), 1.f);
  host->setBackingScaleFactor(2.0);
  EXPECT_EQ(g->GetScreenScale(), 2.f);
  EXPECT_EQ(view->layer()->contentsScale(), 2.0);
  EXPECT_EQ(view->layer()->drawableSize().width, 1280);
  EXPECT_EQ(view->layer()->drawableSize().height, 800);
  host->setBackingScaleFactor(std::nan(""));
  EXPECT_EQ(g->GetScreenScale(), 2.f);
  EXPECT_EQ(view->layer()->drawableSize().width, 1280);
  host->setBackingScaleFactor(-1.0);
  EXPECT_EQ(g->GetScreenScale(), 2.f);
}

TEST_F(FrameAndCursor, AHiddenLockedCursorStaysWhereItWasWhileDragsReportTheirMovement) {
  open();
  NSApp->screenFrame = NSMakeRect(0, 0, 1440, 900);
  NSApp->mouseLocation = {500.4, 300.6};
  g->HideMouseCursor(true, true);
  double sx = 0, sy = 0;
  g->GetStoredCursorPosition(sx, sy);
  EXPECT_EQ(sx, 500);
  EXPECT_EQ(sy, 301);
  EXPECT_EQ(NSApp->cursorHideCount, 1);
  EXPECT_TRUE(g->CursorIsLocked());
  // The cursor position in framework units: screen (500, 301) is window (400, 101), the
  // view's (400, 299) from its top (the view fills the window's lower 400 points).
  float cx = 0, cy = 0;
  g->GetCursorPosition(cx, cy);
  EXPECT_EQ(cx, 400);
  EXPECT_EQ(cy, 299);

  g->HideMouseCursor(true, false);  // already hidden: nothing changes, not even the lock
  EXPECT_EQ(NSApp->cursorHideCount, 1);
  EXPECT_TRUE(g->CursorIsLocked());

  // A locked drag: the pointer warps back (display y = 900 - 301), the control still sees
  // how far the pointer moved.
  EventScript e = events();
  e.press({10, 10});
  e.drag({13, 14});
  ASSERT_FALSE(NSApp->cursorWarps.empty());
  EXPECT_EQ(NSApp->cursorWarps.back(), NSMakePoint(500, 599));
  EXPECT_TRUE(NSApp->mouseAssociated);
  const Recorder::Event& drag = left->last("drag");
  EXPECT_EQ(drag.dX, 13 - 400);
  EXPECT_EQ(drag.dY, 14 - 299);
  const size_t warps = NSApp->cursorWarps.size();
  e.drag({20, 20});
  EXPECT_EQ(left->last("drag").dX, 20 - 400);  // measured from the locked position again
  EXPECT_EQ(NSApp->cursorWarps.size(), warps + 1);

  // Tablet input is never warped.
  NSEvent pen = e.at(NSEventTypeLeftMouseDragged, {30, 30});
  pen.subtype = NSEventSubtypeTabletPoint;
  e.send(pen);
  EXPECT_EQ(NSApp->cursorWarps.size(), warps + 1);
  EXPECT_TRUE(g->GetTabletInput());
  e.release({30, 30});

  g->HideMouseCursor(false);
  EXPECT_EQ(NSApp->cursorHideCount, 0);
  EXPECT_FALSE(g->CursorIsLocked());
}

TEST_F(FrameAndCursor, ThePointerIsReadAndMovedThroughWindowAndScreen) {
  drawScale = 2.f;
  open();
  NSApp->mouseLocation = {300, 700};  // window (200, 500): the view's (200, 800 - 500)
  float x = 0, y = 0;
  g->GetMouseLocation(x, y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 150);
  g->MoveMouseCursor(10, 20);  // the view's (20, 40): window (20, 760), screen (120, 960)
  ASSERT_EQ(NSApp->cursorWarps.size(), 1u);
  float sx = 10, sy = 20;
  g->PointToScreen(sx, sy);
  EXPECT_EQ(NSApp->cursorWarps[0], NSMakePoint(sx, 900 - sy));
  g->GetCursorPosition(x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);

  g->SetTabletInput(true);
  g->MoveMouseCursor(50, 50);
  EXPECT_EQ(NSApp->cursorWarps.size(), 1u);
}

TEST_F(FrameAndCursor, CursorsWithAndWithoutThePrivateOnes) {
  open();
  g->SetMouseCursor(ECursor::SizeNWSE);
  EXPECT_EQ(NSApp->currentCursor, "_windowResizeNorthWestSouthEastCursor");
  g->SetMouseCursor(ECursor::SizeAll);
  EXPECT_EQ(NSApp->currentCursor, "move");
  NSApp->helpCursorShown = true;
  g->SetMouseCursor(ECursor::Help);
  EXPECT_TRUE(NSApp->helpCursorShown);
  g->SetMouseCursor(ECursor::Hand);
  EXPECT_FALSE(NSApp->helpCursorShown);
  EXPECT_EQ(NSApp->currentCursor, "pointingHandCursor");

  NSApp->privateCursorsAvailable = false;
  EXPECT_EQ(g->SetMouseCursor(ECursor::SizeNWSE), ECursor::Hand);
  EXPECT_EQ(NSApp->currentCursor, "arrowCursor");
  g->SetMouseCursor(ECursor::SizeWE);
  EXPECT_EQ(NSApp->currentCursor, "resizeLeftRightCursor");
  g->SetMouseCursor(static_cast<ECursor>(42));
  EXPECT_EQ(NSApp->currentCursor, "arrowCursor");
  EXPECT_EQ(g->GetCursorKind(), static_cast<ECursor>(42));
}

class BusyMenu : public IPopupMenuControlBase {
public:
  BusyMenu() : IPopupMenuControlBase(IRECT()) {}
  void Draw(ICanvas&) override {}
  bool IsExpanded() const override { return busy; }
  bool IsBusy() const override { return busy; }
  void CreatePopupMenu(IPopupMenu&, const IRECT&) override {}
  void CloseNow() override { busy = false; }
  bool busy = false;
};

TEST_F(FrameAndCursor, TooltipsCoverTheVisibleControlsWhileNoDrawnMenuIsShown) {
  open();
  g->EnableTooltips(true);
  left->SetTooltip("Left");
  right->Hide(true);
  g->UpdateTooltips();
  ASSERT_EQ(view->toolTips().size(), 1u);
  EXPECT_EQ(view->toolTips()[0].rect, NSMakeRect(0, 0, 320, 400));
  EventScript e = events();
  g->EnableMouseOver(true);
  auto* probe = new Recorder(IRECT(400, 0, 500, 100));
  probe->SetTooltip("Probe");
  g->AttachControl(probe);
  e.move({450, 50});
  g->UpdateTooltips();
  EXPECT_EQ(view->toolTipAt({450, 50}), "Probe");  // the control under the pointer answers

  auto* menu = new BusyMenu();
  g->AttachPopupMenuControl(menu);
  menu->busy = true;
  g->UpdateTooltips();
  EXPECT_TRUE(view->toolTips().empty());
  // With tooltips off, earlier rectangles stay.
  menu->busy = false;
  g->UpdateTooltips();
  const size_t shown = view->toolTips().size();
  g->EnableTooltips(false);
  g->UpdateTooltips();
  EXPECT_EQ(view->toolTips().size(), shown);
}

TEST_F(FrameAndCursor, AppearanceAndWindowlessAnswers) {
  open();
  EXPECT_EQ(g->GetUIAppearance(), EUIAppearance::Light);
  host->setAppearanceName(NSAppearanceNameDarkAqua);
  EXPECT_EQ(g->GetUIAppearance(), EUIAppearance::Dark);
  EXPECT_STREQ(g->GetPlatformAPIStr(), "Cocoa");
  EXPECT_EQ(g->GetSharedResourcesSubPath(), std::string("SpectraPoise"));

  g->CloseWindow();
  EXPECT_EQ(g, dlg.GetGraphics());  // the context's own close keeps it; the delegate's deletes it
  EXPECT_EQ(g->GetWindow(), nullptr);
  EXPECT_FALSE(g->WindowIsOpen());
  EXPECT_EQ(g->GetUIAppearance(), EUIAppearance::Light);
  EXPECT_EQ(g->SetMouseCursor(ECursor::IBeam), ECursor::Arrow);
  g->ForceEndUserEdit();
  g->PlatformResize(true);
  IColor c;
  EXPECT_FALSE(g->PromptForColor(c, ""));
  StringBuf file("x"), folder("/tmp/");
  g->PromptForFile(file, folder);
  EXPECT_STREQ(file.Get(), "");
}

class Painter : public IControl {
public:
  Painter() : IControl(IRECT(0, 0, 640, 400)) {}
  void Draw(ICanvas& g) override {
    g.FillRect(IColor(255, 0, 0, 0), GetRECT());
    g.FillRect(IColor(255, 255, 0, 0), IRECT(10, 10, 110, 60));
  }
};

class Pixels : public MacEditorTest {
protected:
  void SetUp() override {
    windowScale = 2.0;
    layout = [](ICanvas* g) { g->AttachControl(new Painter()); };
    MacEditorTest::SetUp();
  }
};

TEST_F(Pixels, FramesReachTheLayerAtTheBackingScale) {
  open();
  loop.advance(20);
  NSView* content = host->contentView();
  NSBitmapImageRep rep = content->bitmapImageRepForCachingDisplayInRect(content->bounds());
  content->cacheDisplayInRect(content->bounds(), rep);
  ASSERT_EQ(rep.pixelsWide, 1600);
  ASSERT_EQ(rep.pixelsHigh, 1200);
  // The view fills the window's lower left 640 x 400 points: its top is row 400.
  auto px = [&](int x, int y) { return std::vector<int>(&rep.rgba[(size_t(y) * 1600 + x) * 4], &rep.rgba[(size_t(y) * 1600 + x) * 4] + 4); };
  EXPECT_EQ(px(40, 400 + 40), (std::vector<int>{255, 0, 0, 255}));    // inside the red rectangle
  EXPECT_EQ(px(230, 400 + 40), (std::vector<int>{0, 0, 0, 255}));     // beside it: black
  EXPECT_EQ(px(1279, 400 + 799), (std::vector<int>{0, 0, 0, 255}));   // the editor's last pixel
  EXPECT_EQ(px(1290, 400 + 40)[3], 0);                                // outside the editor
  EXPECT_EQ(px(40, 399)[3], 0);
}

// Draws a yellow square through a layer it keeps; its first Draw throws half-way, with
// the layer started.
class FailsOnce : public IControl {
public:
  FailsOnce() : IControl(IRECT(200, 100, 300, 200)) {}
  void Draw(ICanvas& g) override {
    ++draws;
    if (!g.CheckLayer(mLayer)) {
      g.StartLayer(this, GetRECT());
      g.FillRect(IColor(255, 255, 255, 0), GetRECT());
      if (draws == 1) throw std::runtime_error("the first frame fails");
      mLayer = g.EndLayer();
    }
    g.DrawLayer(mLayer);
  }
  int draws = 0;
  OwnedLayer mLayer;
};

class FailedFrame : public Pixels {
protected:
  void SetUp() override {
    Pixels::SetUp();
    layout = [this](ICanvas* g) {
      g->AttachControl(new Painter());
      failing = static_cast<FailsOnce*>(g->AttachControl(new FailsOnce()));
    };
  }
  FailsOnce* failing = nullptr;
};

TEST_F(FailedFrame, AFrameThatFailedIsDrawnAgainWholeOnALaterTick) {
  open();
  loop.advance(100);  // a few ticks
  ASSERT_GE(failing->draws, 2) << "drawn again after the failed tick";
  EXPECT_EQ(g->NLayers(), 0);
  NSView* content = host->contentView();
  NSBitmapImageRep rep = content->bitmapImageRepForCachingDisplayInRect(content->bounds());
  content->cacheDisplayInRect(content->bounds(), rep);
  ASSERT_EQ(rep.pixelsWide, 1600);
  auto px = [&](int x, int y) { return std::vector<int>(&rep.rgba[(size_t(y) * 1600 + x) * 4], &rep.rgba[(size_t(y) * 1600 + x) * 4] + 4); };
  // In pixels at backing 2, below the window's top 400 rows: the square at (400..600, 200..400).
  EXPECT_EQ(px(410, 400 + 210), (std::vector<int>{255, 255, 0, 255})) << "the square's top left, in place";
  EXPECT_EQ(px(590, 400 + 390), (std::vector<int>{255, 255, 0, 255})) << "its bottom right";
  EXPECT_EQ(px(40, 400 + 40), (std::vector<int>{255, 0, 0, 255})) << "the control before it, unmoved";
  EXPECT_EQ(px(390, 400 + 210), (std::vector<int>{0, 0, 0, 255})) << "left of the square";
}

}  // namespace
