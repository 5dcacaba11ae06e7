// The headless desktop's views and windows: coordinates through flipped and unflipped
// views, windows and the screen; events delivered as AppKit does (the pressed view keeps
// the drag and the release, tracking areas hear entering and leaving also during drags,
// keys go to the first responder and end at the application); views leaving mid-event;
// backing scale, frame and window notifications; tooltips; drops; pictures of layers.
#include "tests/shims/apple/appkit/appkit_fixture.h"

namespace {

using namespace appkittest;

class Views : public DesktopTest {
protected:
  void SetUp() override {
    DesktopTest::SetUp();
    view = new RecordingView(NSMakeRect(10, 20, 300, 200));
    window->contentView()->addSubview(view);
    view->release();
    view->log.clear();
  }
  RecordingView* view = nullptr;
};

TEST_F(Views, PointsConvertThroughFlippedViewsWindowsAndTheScreen) {
  // The view's top left sits 20 + 200 points above the window's bottom.
  EXPECT_EQ(view->convertPointToView({0, 0}, nullptr), NSMakePoint(10, 220));
  EXPECT_EQ(view->convertPointToView({5, 7}, nullptr), NSMakePoint(15, 213));
  EXPECT_EQ(view->convertPointFromView({15, 213}, nullptr), NSMakePoint(5, 7));
  EXPECT_EQ(view->convertRectToView(NSMakeRect(5, 7, 10, 3), nullptr), NSMakeRect(15, 210, 10, 3));
  EXPECT_EQ(view->convertRectFromView(NSMakeRect(15, 210, 10, 3), nullptr), NSMakeRect(5, 7, 10, 3));
  EXPECT_EQ(window->convertPointToScreen({15, 213}), NSMakePoint(115, 413));
  EXPECT_EQ(window->convertRectFromScreen(NSMakeRect(115, 413, 1, 1)), NSMakeRect(15, 213, 1, 1));

  // An unflipped child of the flipped view.
  auto* inner = new NSView(NSMakeRect(50, 60, 40, 30));
  view->addSubview(inner);
  inner->release();
  EXPECT_EQ(inner->convertPointToView({0, 0}, view), NSMakePoint(50, 90));
  EXPECT_EQ(inner->convertPointToView({0, 30}, view), NSMakePoint(50, 60));
  EXPECT_EQ(inner->convertPointFromView({50, 90}, view), NSMakePoint(0, 0));
  EXPECT_EQ(view->hitTest({160, 140}), view);                 // content coordinates of the view's (150, 80)
  EXPECT_EQ(view->hitTest({60, 140}), inner);                 // the view's (50, 80)
  EXPECT_EQ(window->contentView()->hitTest({65, 150}), inner);  // the view's (55, 70)
}

TEST_F(Views, ThePressedViewKeepsTheDragAndTheReleaseAndHearsLeavingDuringIt) {
  auto* area = new NSTrackingArea(view->bounds(), 0x481, view);
  view->addTrackingArea(area);
  area->release();
  EventScript events(view);
  events.move({10, 10});
  events.press({10, 10}, NSEventModifierFlagShift, 1);
  EXPECT_EQ(window->firstResponder(), view);
  events.drag({350, 10});  // outside the view
  events.release({350, 10});
  EXPECT_EQ(view->log, (std::vector<std::string>{"entered", "down", "exited", "drag", "up"}));
  EXPECT_EQ(view->events[1].locationInWindow, NSMakePoint(20, 210));
  EXPECT_EQ(view->events[1].modifierFlags, NSEventModifierFlagShift);
  EXPECT_EQ(view->events[1].window, window);
  EXPECT_EQ(NSEvent::mouseLocation(), NSMakePoint(460, 410));

  // Moves reach the view only while the window accepts them.
  view->log.clear();
  events.move({20, 20});
  EXPECT_EQ(view->log, (std::vector<std::string>{"entered"}));
  window->setAcceptsMouseMovedEvents(true);
  events.move({21, 20});
  EXPECT_EQ(view->log, (std::vector<std::string>{"entered", "move"}));
}

TEST_F(Views, KeysGoToTheFirstResponderAndEndAtTheApplication) {
  EventScript events(view);
  events.keyDown(0, u"a");
  EXPECT_TRUE(view->log.empty());  // nobody is first responder: the window passes it on
  ASSERT_EQ(NSApp->unhandledKeys.size(), 1u);
  window->makeFirstResponder(view);
  events.keyDown(0, u"a");
  EXPECT_EQ(view->log, (std::vector<std::string>{"key"}));
  view->takesKeys = false;
  events.keyDown(48, u"\t", NSEventModifierFlagCommand);
  ASSERT_EQ(NSApp->unhandledKeys.size(), 2u);
  EXPECT_EQ(NSApp->unhandledKeys[1].keyCode, 48);
}

TEST_F(Views, AViewThatLeavesDuringItsOwnEventIsForgotten) {
  view->onEvent = [this](const std::string& what) {
    if (what == "down") view->removeFromSuperview();
  };
  EventScript events(view);
  NSPtr<RecordingView> keep = NSPtr<RecordingView>::retain(view);
  events.press({10, 10});
  EXPECT_EQ(view->window(), nullptr);
  EXPECT_EQ(window->firstResponder(), nullptr);
  EXPECT_EQ(keep->retainCount(), 1);
  NSEvent up;
  up.type = NSEventTypeLeftMouseUp;
  up.locationInWindow = {20, 210};
  window->sendEvent(&up);  // goes nowhere
  EXPECT_EQ(keep->log, (std::vector<std::string>{"down", "left"}));
}

TEST_F(Views, WindowBackingFrameAndTooltips) {
  view->log.clear();
  int frameNotes = 0;
  NSNotificationCenter::defaultCenter()->addObserver(
      this, [&](const NSNotification&) { ++frameNotes; }, NSViewFrameDidChangeNotification, view);
  view->setFrameSize({300, 200});  // unchanged
  view->setFrameSize({320, 200});
  EXPECT_EQ(frameNotes, 1);
  NSNotificationCenter::defaultCenter()->removeObserver(this);
  window->setBackingScaleFactor(2.0);
  EXPECT_EQ(view->log, (std::vector<std::string>{"backing"}));

  view->addToolTipRect(NSMakeRect(0, 0, 10, 10), view, nullptr);
  view->addToolTipRect(NSMakeRect(5, 5, 10, 10), view, nullptr);
  EXPECT_EQ(view->toolTipAt({7, 7}), "tip 2");
  EXPECT_EQ(view->toolTipAt({1, 1}), "tip 1");
  EXPECT_EQ(view->toolTipAt({50, 50}), "");
  view->removeAllToolTips();
  EXPECT_EQ(view->toolTipAt({7, 7}), "");
}

TEST_F(Views, FilesDropOnTheViewThatTakesFileNames) {
  EventScript events(view);
  EXPECT_FALSE(events.drop({"/a.wav"}, {10, 10}));  // not registered
  view->registerForDraggedTypes({NSFilenamesPboardType});
  EXPECT_TRUE(events.drop({"/a.wav"}, {10, 10}));
  EXPECT_TRUE(events.drop({"/a.wav", "/b.wav", "/c.wav"}, {10, 10}));
  EXPECT_EQ(view->log.back(), "drop 3");
}

class LayerView : public NSView {
public:
  using NSView::NSView;
  bool isFlipped() const override { return true; }
  CAMetalLayer* makeBackingLayer() override { return new CAMetalLayer(); }
};

TEST_F(Views, APictureOfTheWindowShowsEachLayerAtItsPlace) {
  auto* lv = new LayerView(NSMakeRect(0, 0, 4, 2));
  window->contentView()->addSubview(lv);
  lv->release();
  lv->setWantsLayer(true);
  ASSERT_NE(lv->layer(), nullptr);
  lv->layer()->setDevice(mtl::MTLCreateSystemDefaultDevice());
  lv->layer()->setDrawableSize({8, 4});  // 2 pixels per point
  auto drawable = lv->layer()->nextDrawable();
  ASSERT_TRUE(drawable);
  std::vector<uint8_t> bgra(8 * 4 * 4, 0);
  for (int i = 0; i < 8 * 4; ++i) {  // opaque; the top half blue (B G R A)
    bgra[i * 4 + 0] = i < 8 * 2 ? 255 : 0;
    bgra[i * 4 + 3] = 255;
  }
  drawable->texture()->replaceRegion(mtl::Region{{0, 0, 0}, {8, 4, 1}}, 0, bgra.data(), 8 * 4);
  drawable->present();

  window->setBackingScaleFactor(2.0);
  NSBitmapImageRep rep = window->contentView()->bitmapImageRepForCachingDisplayInRect(window->contentView()->bounds());
  EXPECT_EQ(rep.pixelsWide, 1280);
  EXPECT_EQ(rep.pixelsHigh, 800);
  window->contentView()->cacheDisplayInRect(window->contentView()->bounds(), rep);
  // The layer view sits at the bottom left of the unflipped content view.
  auto px = [&](int x, int y) { return &rep.rgba[(static_cast<size_t>(y) * 1280 + x) * 4]; };
  EXPECT_EQ(px(0, 796)[2], 255);  // blue, as RGBA
  EXPECT_EQ(px(7, 797)[3], 255);
  EXPECT_EQ(px(0, 798)[3], 255);
  EXPECT_EQ(px(0, 798)[2], 0);    // the bottom half is black
  EXPECT_EQ(px(8, 796)[3], 0);    // outside the view: nothing
  EXPECT_EQ(px(0, 795)[3], 0);
}

}  // namespace
