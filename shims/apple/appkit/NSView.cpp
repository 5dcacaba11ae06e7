#include "shims/apple/appkit/NSView.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "shims/apple/appkit/AppKitFoundation.h"
#include "shims/apple/appkit/NSApplication.h"

const char* const NSFilenamesPboardType = "NSFilenamesPboardType";
const char* const NSStringPboardType = "NSStringPboardType";
const char* const NSPasteboardTypeFileURL = "public.file-url";
const char* const NSAppearanceNameAqua = "NSAppearanceNameAqua";
const char* const NSAppearanceNameDarkAqua = "NSAppearanceNameDarkAqua";

NSPoint NSEvent::mouseLocation() { return NSApp->mouseLocation; }

// ---- Responders ----

#define SP_PASS_ON(method) \
  void NSResponder::method(NSEvent* event) { \
    if (NSResponder* next = nextResponder()) next->method(event); \
  }
SP_PASS_ON(mouseDown)
SP_PASS_ON(mouseUp)
SP_PASS_ON(mouseDragged)
SP_PASS_ON(rightMouseDown)
SP_PASS_ON(rightMouseUp)
SP_PASS_ON(rightMouseDragged)
SP_PASS_ON(mouseMoved)
SP_PASS_ON(mouseEntered)
SP_PASS_ON(mouseExited)
SP_PASS_ON(scrollWheel)
SP_PASS_ON(keyDown)
SP_PASS_ON(keyUp)
#undef SP_PASS_ON

// ---- Views ----

NSView::NSView(NSRect frame) : mFrame(frame) {}

NSView::~NSView() {
  for (NSView* child : mSubviews) {
    child->mSuperview = nullptr;
    child->release();
  }
  for (NSTrackingArea* area : mTrackingAreas) area->release();
}

void NSView::setFrame(NSRect frame) {
  if (frame == mFrame) return;
  mFrame = frame;
  NSNotificationCenter::defaultCenter()->postNotification(NSViewFrameDidChangeNotification, this);
}

void NSView::setFrameSize(NSSize size) { setFrame({mFrame.origin, size}); }

void NSView::setFrameOrigin(NSPoint origin) { setFrame({origin, mFrame.size}); }

void NSView::addSubview(NSView* view) {
  if (view == nullptr || view == this) return;
  view->retain();
  if (view->superview() != nullptr) view->removeFromSuperview();
  mSubviews.push_back(view);
  view->mSuperview = this;
  if (view->window() != mWindow) view->moveToWindow(mWindow);
}

void NSView::detachSubview(NSView* view) {
  auto it = std::find(mSubviews.begin(), mSubviews.end(), view);
  if (it == mSubviews.end()) return;
  mSubviews.erase(it);
  view->mSuperview = nullptr;
}

void NSView::removeFromSuperview() {
  NSView* parent = mSuperview;
  if (parent == nullptr) return;
  NSPtr<NSView> hold = NSPtr<NSView>::retain(this);
  if (mWindow != nullptr) mWindow->forgetView(this);
  parent->detachSubview(this);
  moveToWindow(nullptr);
  release();  // the superview's reference
}

void NSView::moveToWindow(NSWindow* window) {
  mWindow = window;
  const std::vector<NSView*> children = mSubviews;
  for (NSView* child : children) child->moveToWindow(window);
  viewDidMoveToWindow();
  if (window == nullptr) return;
  viewDidChangeBackingProperties();  // from none to the window's
  updateTrackingAreas();
}

NSResponder* NSView::nextResponder() const {
  if (mSuperview != nullptr) return mSuperview;
  if (mWindow != nullptr && mWindow->contentView() == this) return mWindow;
  return nullptr;
}

void NSView::setWantsLayer(bool wants) {
  mWantsLayer = wants;
  if (wants && !mLayer) mLayer.reset(makeBackingLayer());
}

std::string NSView::effectiveAppearanceName() const {
  if (mWindow != nullptr && !mWindow->appearanceName().empty()) return mWindow->appearanceName();
  return NSApp->appearanceName;
}

NSRect NSView::convertRectToView(NSRect rect, const NSView* view) const {
  // Into window points, then down into the target.
  NSRect r = rect;
  const NSView* v = this;
  while (v != nullptr) {
    const NSView* parent = v->mSuperview;
    const bool parentFlipped = parent != nullptr && parent->isFlipped();
    if (v->isFlipped() != parentFlipped) r.origin.y = v->mFrame.size.height - (r.origin.y + r.size.height);
    r.origin.x += v->mFrame.origin.x;
    r.origin.y += v->mFrame.origin.y;
    v = parent;
  }
  if (view == nullptr) return r;
  return view->convertRectFromView(r, nullptr);
}

NSRect NSView::convertRectFromView(NSRect rect, const NSView* view) const {
  NSRect r = view != nullptr ? view->convertRectToView(rect, nullptr) : rect;
  // The chain from the window down to this view.
  std::vector<const NSView*> chain;
  for (const NSView* v = this; v != nullptr; v = v->mSuperview) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const NSView* v = *it;
    const NSView* parent = v->mSuperview;
    const bool parentFlipped = parent != nullptr && parent->isFlipped();
    r.origin.x -= v->mFrame.origin.x;
    r.origin.y -= v->mFrame.origin.y;
    if (v->isFlipped() != parentFlipped) r.origin.y = v->mFrame.size.height - (r.origin.y + r.size.height);
  }
  return r;
}

NSPoint NSView::convertPointToView(NSPoint point, const NSView* view) const {
  return convertRectToView({point, {0, 0}}, view).origin;
}

NSPoint NSView::convertPointFromView(NSPoint point, const NSView* view) const {
  return convertRectFromView({point, {0, 0}}, view).origin;
}

NSView* NSView::hitTest(NSPoint pointInSuperview) {
  if (mHidden) return nullptr;
  NSPoint local;
  // Into this view's coordinates from the superview's (or the window's).
  local.x = pointInSuperview.x - mFrame.origin.x;
  local.y = pointInSuperview.y - mFrame.origin.y;
  const bool parentFlipped = mSuperview != nullptr && mSuperview->isFlipped();
  if (isFlipped() != parentFlipped) local.y = mFrame.size.height - local.y;
  if (!(local.x >= 0 && local.x < mFrame.size.width && local.y >= 0 && local.y < mFrame.size.height))
    return nullptr;
  for (auto it = mSubviews.rbegin(); it != mSubviews.rend(); ++it)
    if (NSView* hit = (*it)->hitTest(local)) return hit;
  return this;
}

void NSView::addTrackingArea(NSTrackingArea* area) {
  if (area == nullptr) return;
  area->retain();
  mTrackingAreas.push_back(area);
}

void NSView::removeTrackingArea(NSTrackingArea* area) {
  auto it = std::find(mTrackingAreas.begin(), mTrackingAreas.end(), area);
  if (it == mTrackingAreas.end()) return;
  mTrackingAreas.erase(it);
  area->release();
}

NSInteger NSView::addToolTipRect(NSRect rect, NSView* owner, void* userData) {
  const NSInteger tag = mNextToolTipTag++;
  mToolTips.push_back({tag, rect, owner, userData});
  return tag;
}

std::string NSView::toolTipAt(NSPoint point) {
  for (auto it = mToolTips.rbegin(); it != mToolTips.rend(); ++it)
    if (NSPointInRect(point, it->rect) && it->owner != nullptr)
      return it->owner->stringForToolTip(it->tag, point, it->userData);
  return "";
}

NSDraggingSession* NSView::beginDraggingSession(const std::vector<NSDraggingItem>& items, NSEvent* event,
                                                NSDraggingSource* source) {
  NSDraggingSession session;
  session.items = items;
  session.view = this;
  session.source = source;
  if (event != nullptr) session.eventType = event->type;
  NSApp->drags.push_back(session);
  return &NSApp->drags.back();
}

NSBitmapImageRep NSView::bitmapImageRepForCachingDisplayInRect(NSRect rect) const {
  NSBitmapImageRep rep;
  rep.rect = convertRectToView(rect, nullptr);
  rep.scale = mWindow != nullptr ? mWindow->backingScaleFactor() : 1.0;
  rep.pixelsWide = static_cast<int>(std::lround(rect.size.width * rep.scale));
  rep.pixelsHigh = static_cast<int>(std::lround(rect.size.height * rep.scale));
  if (rep.pixelsWide > 0 && rep.pixelsHigh > 0)
    rep.rgba.assign(static_cast<size_t>(rep.pixelsWide) * static_cast<size_t>(rep.pixelsHigh) * 4, 0);
  return rep;
}

void NSView::cacheDisplayInRect(NSRect, NSBitmapImageRep& rep) {
  std::fill(rep.rgba.begin(), rep.rgba.end(), 0);
  drawLayersInto(rep);
}

void NSView::drawLayersInto(NSBitmapImageRep& rep) {
  if (mHidden) return;
  if (mLayer && !rep.rgba.empty()) {
    const std::shared_ptr<mtl::Texture> front = mLayer->frontTexture();
    if (front) {
      const int tw = static_cast<int>(front->width()), th = static_cast<int>(front->height());
      std::vector<uint8_t> pixels(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4);
      front->getBytes(pixels.data(), static_cast<size_t>(tw) * 4, mtl::Region{{0, 0, 0}, {static_cast<size_t>(tw), static_cast<size_t>(th), 1}}, 0);
      const bool bgra = front->pixelFormat() == mtl::PixelFormat::BGRA8Unorm;
      // This view's rectangle in the rep's pixels (rows top first).
      const NSRect w = convertRectToView(bounds(), nullptr);
      const double left = (w.origin.x - rep.rect.origin.x) * rep.scale;
      const double top = ((rep.rect.origin.y + rep.rect.size.height) - (w.origin.y + w.size.height)) * rep.scale;
      const double wide = w.size.width * rep.scale, high = w.size.height * rep.scale;
      for (int y = 0; y < rep.pixelsHigh; ++y) {
        const double vy = (y + 0.5 - top) / high;
        if (vy < 0 || vy >= 1) continue;
        const int sy = std::min(th - 1, static_cast<int>(vy * th));
        for (int x = 0; x < rep.pixelsWide; ++x) {
          const double vx = (x + 0.5 - left) / wide;
          if (vx < 0 || vx >= 1) continue;
          const int sx = std::min(tw - 1, static_cast<int>(vx * tw));
          const uint8_t* s = &pixels[(static_cast<size_t>(sy) * tw + sx) * 4];
          uint8_t* d = &rep.rgba[(static_cast<size_t>(y) * rep.pixelsWide + x) * 4];
          d[0] = bgra ? s[2] : s[0];
          d[1] = s[1];
          d[2] = bgra ? s[0] : s[2];
          d[3] = s[3];
        }
      }
    }
  }
  const std::vector<NSView*> children = mSubviews;
  for (NSView* child : children) child->drawLayersInto(rep);
}

// ---- Windows ----

NSWindow::NSWindow(NSRect contentRect) : mFrame(contentRect) {
  auto* content = new NSView({{0, 0}, contentRect.size});
  setContentView(content);
  content->release();
}

NSWindow::~NSWindow() {
  if (mContentView != nullptr) {
    mContentView->moveToWindow(nullptr);
    mContentView->release();
  }
}

void NSWindow::setContentView(NSView* view) {
  if (view == mContentView) return;
  if (view != nullptr) view->retain();
  if (mContentView != nullptr) {
    forgetView(mContentView);
    mContentView->moveToWindow(nullptr);
    mContentView->release();
  }
  mContentView = view;
  if (view != nullptr) {
    view->setFrame({{0, 0}, mFrame.size});
    view->moveToWindow(this);
  }
}

void NSWindow::setContentSize(NSSize size) {
  mFrame.size = size;
  if (mContentView != nullptr) mContentView->setFrame({{0, 0}, size});
}

namespace {

void forEachView(NSView* view, const std::function<void(NSView*)>& f) {
  if (view == nullptr) return;
  NSPtr<NSView> hold = NSPtr<NSView>::retain(view);
  f(view);
  const std::vector<NSView*> children = view->subviews();
  for (NSView* child : children) forEachView(child, f);
}

bool isInside(const NSView* view, const NSView* ancestor) {
  for (const NSView* v = view; v != nullptr; v = v->superview())
    if (v == ancestor) return true;
  return false;
}

}  // namespace

void NSWindow::setBackingScaleFactor(double scale) {
  mBackingScale = scale;
  forEachView(mContentView, [](NSView* v) { v->viewDidChangeBackingProperties(); });
}

void NSWindow::setAppearanceName(const std::string& name) {
  mAppearance = name;
  forEachView(mContentView, [](NSView* v) { v->viewDidChangeEffectiveAppearance(); });
}

bool NSWindow::makeFirstResponder(NSResponder* responder) {
  if (responder == mFirstResponder) return true;
  if (mFirstResponder != nullptr && !mFirstResponder->resignFirstResponder()) return false;
  mFirstResponder = nullptr;
  if (responder != nullptr && responder != this) {
    if (!responder->becomeFirstResponder()) return false;
    mFirstResponder = responder;
  }
  return true;
}

NSResponder* NSWindow::nextResponder() const { return NSApp; }

NSRect NSWindow::convertRectFromScreen(NSRect rect) const {
  return {{rect.origin.x - mFrame.origin.x, rect.origin.y - mFrame.origin.y}, rect.size};
}
NSRect NSWindow::convertRectToScreen(NSRect rect) const {
  return {{rect.origin.x + mFrame.origin.x, rect.origin.y + mFrame.origin.y}, rect.size};
}
NSPoint NSWindow::convertPointFromScreen(NSPoint point) const {
  return convertRectFromScreen({point, {0, 0}}).origin;
}
NSPoint NSWindow::convertPointToScreen(NSPoint point) const { return convertRectToScreen({point, {0, 0}}).origin; }

void NSWindow::forgetView(NSView* view) {
  if (mPressedView != nullptr && isInside(mPressedView, view)) mPressedView = nullptr;
  if (NSView* responder = mFirstResponder != nullptr ? mFirstResponder->asView() : nullptr;
      responder != nullptr && isInside(responder, view)) {
    NSResponder* leaving = mFirstResponder;
    mFirstResponder = nullptr;
    leaving->resignFirstResponder();
  }
}

void NSWindow::updateTracking(NSEvent* event, bool dragging) {
  std::vector<std::pair<NSPtr<NSTrackingArea>, bool>> changes;  // area, entered
  forEachView(mContentView, [&](NSView* v) {
    const NSPoint local = v->convertPointFromView(event->locationInWindow, nullptr);
    for (NSTrackingArea* area : v->trackingAreas()) {
      if (!(area->options() & NSTrackingMouseEnteredAndExited)) continue;
      if (dragging && !(area->options() & NSTrackingEnabledDuringMouseDrag)) continue;
      const bool inside = !v->isHidden() && NSPointInRect(local, area->rect());
      if (inside != area->pointerInside) {
        area->pointerInside = inside;
        changes.emplace_back(NSPtr<NSTrackingArea>::retain(area), inside);
      }
    }
  });
  for (auto& [area, entered] : changes) {
    NSEvent e = *event;
    e.type = entered ? NSEventTypeMouseEntered : NSEventTypeMouseExited;
    if (NSResponder* owner = area->owner()) {
      NSPtr<NSObject> hold = NSPtr<NSObject>::retain(owner);
      if (entered)
        owner->mouseEntered(&e);
      else
        owner->mouseExited(&e);
    }
  }
}

void NSWindow::sendEvent(NSEvent* event) {
  if (event == nullptr) return;
  event->window = this;
  NSPtr<NSWindow> holdWindow = NSPtr<NSWindow>::retain(this);
  struct Current {
    NSEvent* previous;
    explicit Current(NSEvent* e) : previous(std::exchange(NSApp->currentEvent, e)) {}
    ~Current() { NSApp->currentEvent = previous; }
  } current(event);
  NSApp->mouseLocation = convertPointToScreen(event->locationInWindow);
  auto viewAt = [this](NSPoint p) -> NSView* {
    return mContentView != nullptr ? mContentView->hitTest(p) : nullptr;
  };
  switch (event->type) {
    case NSEventTypeLeftMouseDown:
    case NSEventTypeRightMouseDown: {
      NSView* hit = viewAt(event->locationInWindow);
      if (hit == nullptr) return;
      NSPtr<NSView> hold = NSPtr<NSView>::retain(hit);
      if (hit != mFirstResponder && hit->acceptsFirstResponder()) makeFirstResponder(hit);
      if (hit->window() != this) return;  // the click closed it
      mPressedView = hit;
      if (event->type == NSEventTypeLeftMouseDown)
        hit->mouseDown(event);
      else
        hit->rightMouseDown(event);
      return;
    }
    case NSEventTypeLeftMouseUp:
    case NSEventTypeRightMouseUp: {
      NSView* target = mPressedView != nullptr ? mPressedView : viewAt(event->locationInWindow);
      mPressedView = nullptr;
      if (target == nullptr) return;
      NSPtr<NSView> hold = NSPtr<NSView>::retain(target);
      if (event->type == NSEventTypeLeftMouseUp)
        target->mouseUp(event);
      else
        target->rightMouseUp(event);
      updateTracking(event, false);
      return;
    }
    case NSEventTypeLeftMouseDragged:
    case NSEventTypeRightMouseDragged: {
      updateTracking(event, true);
      NSView* target = mPressedView != nullptr ? mPressedView : viewAt(event->locationInWindow);
      if (target == nullptr) return;
      NSPtr<NSView> hold = NSPtr<NSView>::retain(target);
      if (event->type == NSEventTypeLeftMouseDragged)
        target->mouseDragged(event);
      else
        target->rightMouseDragged(event);
      return;
    }
    case NSEventTypeMouseMoved: {
      updateTracking(event, false);
      if (!mAcceptsMouseMoved) return;
      if (NSView* hit = viewAt(event->locationInWindow)) {
        NSPtr<NSView> hold = NSPtr<NSView>::retain(hit);
        hit->mouseMoved(event);
      }
      return;
    }
    case NSEventTypeMouseEntered:
    case NSEventTypeMouseExited:
      updateTracking(event, mPressedView != nullptr);
      return;
    case NSEventTypeScrollWheel: {
      if (NSView* hit = viewAt(event->locationInWindow)) {
        NSPtr<NSView> hold = NSPtr<NSView>::retain(hit);
        hit->scrollWheel(event);
      }
      return;
    }
    case NSEventTypeKeyDown:
    case NSEventTypeKeyUp: {
      NSResponder* target = mFirstResponder != nullptr ? mFirstResponder : this;
      NSPtr<NSObject> hold = NSPtr<NSObject>::retain(target);
      if (event->type == NSEventTypeKeyDown)
        target->keyDown(event);
      else
        target->keyUp(event);
      return;
    }
  }
}

// ---- The screen ----

NSScreen* NSScreen::mainScreen() {
  static NSScreen screen;
  return &screen;
}
NSRect NSScreen::frame() const { return NSApp->screenFrame; }
double NSScreen::backingScaleFactor() const { return NSApp->screenBackingScale; }

// ---- Cursors ----

namespace {

bool isPrivateSelector(const SEL& sel) {
  return sel == "busyButClickableCursor" || sel == "helpCursorShown" || sel == "_setHelpCursor:" ||
         (!sel.empty() && sel[0] == '_');
}

const char* const kPublicCursors[] = {"arrowCursor",          "IBeamCursor",          "crosshairCursor",
                                      "pointingHandCursor",   "operationNotAllowedCursor", "resizeUpCursor",
                                      "resizeUpDownCursor",   "resizeLeftRightCursor"};
const char* const kPrivateCursors[] = {"busyButClickableCursor",
                                       "_windowResizeNorthCursor",
                                       "_windowResizeNorthWestSouthEastCursor",
                                       "_windowResizeNorthEastSouthWestCursor",
                                       "_windowResizeEastWestCursor",
                                       "_windowResizeNorthSouthCursor",
                                       "_helpCursor"};

NSCursor* namedCursor(const std::string& name) {
  static std::vector<NSPtr<NSCursor>> cursors;  // kept for the process's life, as the system's are
  for (const NSPtr<NSCursor>& c : cursors)
    if (c->name() == name) return c.get();
  cursors.push_back(NSPtr<NSCursor>::adopt(new NSCursor(name, {0, 0})));
  return cursors.back().get();
}

}  // namespace

NSCursor::NSCursor(std::string name, NSPoint hotSpot) : mName(std::move(name)), mHotSpot(hotSpot) {}

NSCursor* NSCursor::arrowCursor() { return namedCursor("arrowCursor"); }
NSCursor* NSCursor::IBeamCursor() { return namedCursor("IBeamCursor"); }
NSCursor* NSCursor::crosshairCursor() { return namedCursor("crosshairCursor"); }
NSCursor* NSCursor::pointingHandCursor() { return namedCursor("pointingHandCursor"); }
NSCursor* NSCursor::operationNotAllowedCursor() { return namedCursor("operationNotAllowedCursor"); }
NSCursor* NSCursor::resizeUpCursor() { return namedCursor("resizeUpCursor"); }
NSCursor* NSCursor::resizeUpDownCursor() { return namedCursor("resizeUpDownCursor"); }
NSCursor* NSCursor::resizeLeftRightCursor() { return namedCursor("resizeLeftRightCursor"); }

bool NSCursor::respondsToSelector(const SEL& sel) {
  for (const char* name : kPublicCursors)
    if (sel == name) return true;
  if (!NSApp->privateCursorsAvailable || !isPrivateSelector(sel)) return false;
  if (sel == "helpCursorShown" || sel == "_setHelpCursor:") return true;
  for (const char* name : kPrivateCursors)
    if (sel == name) return true;
  return false;
}

NSCursor* NSCursor::performSelector(const SEL& sel) {
  if (!respondsToSelector(sel) || sel == "helpCursorShown" || sel == "_setHelpCursor:") return nullptr;
  return namedCursor(sel);
}

bool NSCursor::helpCursorShown() { return NSApp->helpCursorShown; }
void NSCursor::setHelpCursor(bool shown) { NSApp->helpCursorShown = shown; }

void NSCursor::set() {
  NSApp->currentCursor = mName;
  NSApp->cursorLog.push_back(mName);
}

// ---- Animation groups ----

namespace {
int gGroupingDepth = 0;
}

void NSAnimationContext::beginGrouping() { ++gGroupingDepth; }
void NSAnimationContext::endGrouping() {
  if (gGroupingDepth > 0) --gGroupingDepth;
}
NSAnimationContext* NSAnimationContext::currentContext() {
  static NSAnimationContext context;
  return &context;
}
int NSAnimationContext::groupingDepth() { return gGroupingDepth; }
