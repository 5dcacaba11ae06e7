#include "platform/mac/ICanvasView.h"

#include <vector>

#include "platform/mac/ICanvasMac.h"
#include "platform/mac/ICanvasTextField.h"
#include "platform/mac/KeyMap.h"
#include "platform/mac/PromptRules.h"
#include "platform/mac/ViewRules.h"

using namespace plugkit::canvas;

ICanvasView_vSpectraPoise_vst3::ICanvasView_vSpectraPoise_vst3(ICanvasMac* graphics) : mGraphics(graphics) {
  const ViewRect frame = ViewFrameFor(graphics->Width(), graphics->Height(), graphics->GetDrawScale());
  setFrame(NSMakeRect(frame.x, frame.y, frame.w, frame.h));
  setWantsLayer(true);
  if (CAMetalLayer* metal = layer()) {
    metal->setOpaque(true);
    metal->setPixelFormat(mtl::PixelFormat::BGRA8Unorm);
    metal->setDevice(mtl::MTLCreateSystemDefaultDevice());
    metal->setFramebufferOnly(true);
  }
  setLayerContentsRedrawPolicy(NSViewLayerContentsRedrawDuringViewResize);
  registerForDraggedTypes({NSFilenamesPboardType});
  setTimer();
}

ICanvasView_vSpectraPoise_vst3::~ICanvasView_vSpectraPoise_vst3() {
  killTimer();
  // The shared colour panel closes when it serves this view (another editor's stays).
  if (NSColorPanel::sharedColorPanelExists() && NSColorPanel::sharedColorPanel()->target() == this)
    NSColorPanel::sharedColorPanel()->close();
  mColorPickerFunc = nullptr;
  NSNotificationCenter::defaultCenter()->removeObserver(this);
}

CAMetalLayer* ICanvasView_vSpectraPoise_vst3::makeBackingLayer() { return new CAMetalLayer(); }

// ---- Window and backing ----

void ICanvasView_vSpectraPoise_vst3::viewDidMoveToWindow() {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  NSWindow* w = window();
  if (mGraphics == nullptr || w == nullptr) return;
  w->makeFirstResponder(this);
  w->setAcceptsMouseMovedEvents(true);
  mGraphics->SetScreenScale(UsableBackingScale(w->backingScaleFactor(), mGraphics->GetScreenScale()));
  if (mGraphics == nullptr) return;
  NSNotificationCenter* center = NSNotificationCenter::defaultCenter();
  center->removeObserver(this);
  center->addObserver(
      this, [this](const NSNotification&) { frameDidChange(); }, NSViewFrameDidChangeNotification, this);
}

void ICanvasView_vSpectraPoise_vst3::viewDidChangeBackingProperties() {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  NSWindow* w = window();
  if (mGraphics == nullptr || w == nullptr) return;
  mGraphics->SetPlatformContext(nullptr);
  const double factor = w->backingScaleFactor();
  const float usable = UsableBackingScale(factor, -1.f);
  if (usable < 0.f) return;  // not a scale: the old one stays
  if (usable != mGraphics->GetScreenScale()) mGraphics->SetScreenScale(usable);
  if (mGraphics == nullptr) return;
  if (CAMetalLayer* metal = layer()) {
    metal->setContentsScale(usable);
    metal->setDrawableSize({frame().size.width * usable, frame().size.height * usable});
  }
}

void ICanvasView_vSpectraPoise_vst3::frameDidChange() {
  NSWindow* w = window();
  CAMetalLayer* metal = layer();
  if (w == nullptr || metal == nullptr) return;
  const float usable = UsableBackingScale(w->backingScaleFactor(), -1.f);
  if (usable < 0.f) return;
  metal->setDrawableSize({frame().size.width * usable, frame().size.height * usable});
}

void ICanvasView_vSpectraPoise_vst3::viewDidChangeEffectiveAppearance() {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  mGraphics->OnAppearanceChanged(effectiveAppearanceName() == NSAppearanceNameDarkAqua ? EUIAppearance::Dark
                                                                                      : EUIAppearance::Light);
}

void ICanvasView_vSpectraPoise_vst3::updateTrackingAreas() {
  NSView::updateTrackingAreas();
  if (mTrackingArea) removeTrackingArea(mTrackingArea.get());
  mTrackingArea = NSPtr<NSTrackingArea>::adopt(new NSTrackingArea(
      bounds(), NSTrackingMouseEnteredAndExited | NSTrackingEnabledDuringMouseDrag | NSTrackingActiveAlways, this));
  addTrackingArea(mTrackingArea.get());
}

void ICanvasView_vSpectraPoise_vst3::removeFromSuperview() {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  endUserInput();
  if (ICanvasMac* graphics = mGraphics) {
    // The host removes the view: the editor closes (the graphics class detaches the view,
    // removes it and lets go of it; the removal below then finds nothing to do).
    graphics->SetPlatformContext(nullptr);
    if (ICanvasEditorDelegate* delegate = graphics->GetDelegate()) delegate->CloseWindow();
  }
  NSView::removeFromSuperview();
}

// ---- Frame loop ----

void ICanvasView_vSpectraPoise_vst3::setTimer() {
  killTimer();
  if (mGraphics == nullptr) return;
  mTimer = NSPtr<NSTimer>::adopt(NSTimer::timerWithTimeInterval(FrameInterval(mGraphics->FPS()), true, [this](NSTimer*) {
    // A tick never throws into the run loop: a frame that failed is drawn again next time.
    try {
      render();
    } catch (...) {
    }
  }));
  if (mTimer) NSRunLoop::currentRunLoop()->addTimer(mTimer.get(), kCFRunLoopCommonModes);
}

void ICanvasView_vSpectraPoise_vst3::killTimer() {
  if (!mTimer) return;
  mTimer->invalidate();
  mTimer.reset();
}

void ICanvasView_vSpectraPoise_vst3::render() {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  mDirtyRects.Clear();
  if (!mGraphics->IsDirty(mDirtyRects) || mGraphics == nullptr) return;
  mGraphics->SetAllControlsClean();
  mGraphics->ActivateGLContext();
  try {
    mGraphics->Draw(mDirtyRects);
  } catch (...) {
    // The frame is drawn again on a later tick: the controls it cleaned are marked again
    // (the layers it left started are gone with the failed control's Draw).
    if (mGraphics != nullptr) {
      mGraphics->SetAllControlsDirty();
      mGraphics->DeactivateGLContext();
    }
    throw;
  }
  if (mGraphics == nullptr) return;
  swapBuffers();
  mGraphics->DeactivateGLContext();
}

// ---- Mouse ----

void ICanvasView_vSpectraPoise_vst3::getMouseXY(NSEvent* event, float& x, float& y) {
  const NSPoint p = convertPointFromView(event->locationInWindow, nullptr);
  const float scale = mGraphics->GetDrawScale();
  x = static_cast<float>(p.x / scale);
  y = static_cast<float>(p.y / scale);
  // The event's own kind decides before the lock: a tablet event is never warped.
  mGraphics->SetTabletInput(event->subtype == NSEventSubtypeTabletPoint);
  mGraphics->DoCursorLock(x, y, mPrevX, mPrevY);
}

IMouseInfo ICanvasView_vSpectraPoise_vst3::getMouseLeft(NSEvent* event) {
  IMouseInfo info;
  getMouseXY(event, info.x, info.y);
  info.mod = MouseModFor(true, event->modifierFlags);
  return info;
}

IMouseInfo ICanvasView_vSpectraPoise_vst3::getMouseRight(NSEvent* event) {
  IMouseInfo info;
  getMouseXY(event, info.x, info.y);
  info.mod = MouseModFor(false, event->modifierFlags);
  return info;
}

void ICanvasView_vSpectraPoise_vst3::mouseDown(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  const IMouseInfo info = getMouseLeft(event);
  if (IsDoubleClick(event->clickCount))
    mGraphics->OnMouseDblClick(info.x, info.y, info.mod);
  else
    mGraphics->OnMouseDown({info});
}

void ICanvasView_vSpectraPoise_vst3::rightMouseDown(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  const IMouseInfo info = getMouseRight(event);
  if (IsDoubleClick(event->clickCount))
    mGraphics->OnMouseDblClick(info.x, info.y, info.mod);
  else
    mGraphics->OnMouseDown({info});
}

void ICanvasView_vSpectraPoise_vst3::mouseUp(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  mGraphics->OnMouseUp({getMouseLeft(event)});
  if (mGraphics == nullptr || !mMouseOutDuringDrag) return;
  mMouseOutDuringDrag = false;
  mGraphics->OnMouseOut();
}

void ICanvasView_vSpectraPoise_vst3::rightMouseUp(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  mGraphics->OnMouseUp({getMouseRight(event)});
}

void ICanvasView_vSpectraPoise_vst3::mouseDragged(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  const float prevX = mPrevX, prevY = mPrevY;
  IMouseInfo info = getMouseLeft(event);
  if (mGraphics->PlatformTextEntryInProgress()) return;
  info.dX = info.x - prevX;
  info.dY = info.y - prevY;
  mGraphics->OnMouseDrag({info});
}

void ICanvasView_vSpectraPoise_vst3::rightMouseDragged(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  const float prevX = mPrevX, prevY = mPrevY;
  IMouseInfo info = getMouseRight(event);
  if (mTextFieldView) return;
  info.dX = info.x - prevX;
  info.dY = info.y - prevY;
  mGraphics->OnMouseDrag({info});
}

void ICanvasView_vSpectraPoise_vst3::mouseMoved(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  const IMouseInfo info = getMouseLeft(event);
  mGraphics->OnMouseOver(info.x, info.y, info.mod);
}

void ICanvasView_vSpectraPoise_vst3::mouseEntered(NSEvent*) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  mMouseOutDuringDrag = false;
  if (mGraphics == nullptr) return;
  mGraphics->SetMouseCursor(mGraphics->GetCursorKind());
}

void ICanvasView_vSpectraPoise_vst3::mouseExited(NSEvent*) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  if (!mGraphics->ControlIsCaptured())
    mGraphics->OnMouseOut();
  else
    mMouseOutDuringDrag = true;
}

void ICanvasView_vSpectraPoise_vst3::scrollWheel(NSEvent* event) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  endUserInput();
  if (mGraphics == nullptr) return;
  const IMouseInfo info = getMouseLeft(event);
  mGraphics->OnMouseWheel(info.x, info.y, info.mod, static_cast<float>(event->deltaY));
}

// ---- Keys ----

void ICanvasView_vSpectraPoise_vst3::dispatchKey(NSEvent* event, bool up) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  int mods = 0;
  const int vk = KeyEventToVK(event->keyCode, event->charactersIgnoringModifiers, event->modifierFlags, mods);
  const IKeyPress press = KeyPressFor(vk, mods, event->charactersIgnoringModifiers);
  const bool handled = up ? mGraphics->OnKeyUp(mPrevX, mPrevY, press) : mGraphics->OnKeyDown(mPrevX, mPrevY, press);
  if (handled) return;
  // The host sees the keys the editor does not take.
  if (NSResponder* next = nextResponder()) {
    if (up)
      next->keyUp(event);
    else
      next->keyDown(event);
  }
}

void ICanvasView_vSpectraPoise_vst3::keyDown(NSEvent* event) { dispatchKey(event, false); }

void ICanvasView_vSpectraPoise_vst3::keyUp(NSEvent* event) { dispatchKey(event, true); }

// ---- Cursor ----

void ICanvasView_vSpectraPoise_vst3::setMouseCursor(ECursor cursor) {
  const CursorChoice choice = CursorFor(static_cast<int>(cursor));
  NSCursor* shown = nullptr;
  if (choice.isMove) {
    if (!mMoveCursor) mMoveCursor = NSPtr<NSCursor>::adopt(new NSCursor("move", {0, 0}));
    shown = mMoveCursor.get();
  } else {
    if (choice.privateName != nullptr && NSCursor::respondsToSelector(choice.privateName))
      shown = NSCursor::performSelector(choice.privateName);
    if (shown == nullptr && choice.publicName != nullptr) shown = NSCursor::performSelector(choice.publicName);
  }
  if (shown == nullptr) shown = NSCursor::arrowCursor();
  if (NSCursor::respondsToSelector("helpCursorShown") && NSCursor::helpCursorShown() && cursor != ECursor::Help)
    NSCursor::setHelpCursor(false);
  shown->set();
}

// ---- Tooltips ----

void ICanvasView_vSpectraPoise_vst3::registerToolTip(const IRECT& bounds) {
  if (mGraphics == nullptr) return;
  const ViewRect r = FrameRule(bounds, mGraphics->GetDrawScale());
  addToolTipRect(NSMakeRect(r.x, r.y, r.w, r.h), this, nullptr);
}

std::string ICanvasView_vSpectraPoise_vst3::stringForToolTip(NSInteger, NSPoint, void*) {
  if (mGraphics == nullptr) return "";
  const IControl* control = mGraphics->GetControl(mGraphics->GetMouseOverIdx());
  return control != nullptr ? control->GetTooltip() : "";
}

// ---- Drops ----

NSUInteger ICanvasView_vSpectraPoise_vst3::draggingEntered(NSDraggingInfo* info) {
  if (info == nullptr || info->draggingPasteboard() == nullptr) return NSDragOperationNone;
  for (const std::string& type : info->draggingPasteboard()->types())
    if (type == NSFilenamesPboardType) return NSDragOperationGeneric;
  return NSDragOperationNone;
}

bool ICanvasView_vSpectraPoise_vst3::performDragOperation(NSDraggingInfo* info) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr || info == nullptr || info->draggingPasteboard() == nullptr) return true;
  const auto files = info->draggingPasteboard()->propertyListForType(NSFilenamesPboardType);
  if (!files || files->empty()) return true;
  const NSPoint p = convertPointFromView(info->draggingLocation(), nullptr);
  const float x = static_cast<float>(p.x / mGraphics->GetDrawScale());
  const float y = static_cast<float>(p.y / mGraphics->GetDrawScale());
  if (files->size() == 1) {
    mGraphics->OnDrop(files->front().c_str(), x, y);
  } else {
    std::vector<const char*> paths;
    for (const std::string& f : *files) paths.push_back(f.c_str());
    mGraphics->OnDropMultiple(paths, x, y);
  }
  return true;
}

// ---- The colour panel ----

bool ICanvasView_vSpectraPoise_vst3::promptForColor(const IColor& color, ColorPickerFunc func) {
  mColorPickerFunc = std::move(func);
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  if (panel == nullptr) return false;
  panel->setTarget(this);
  panel->setAction("onColorPicked:");
  panel->setShowsAlpha(true);
  double r = 0, g = 0, b = 0, a = 0;
  ColorComponents(color, r, g, b, a);
  panel->setColor(NSColor::colorWithDeviceRed(r, g, b, a).get());
  panel->orderFront();
  return true;
}

bool ICanvasView_vSpectraPoise_vst3::performAction(const SEL& sel, NSObject* sender) {
  if (sel != "onColorPicked:") return false;
  onColorPicked(static_cast<NSColorPanel*>(sender));
  return true;
}

void ICanvasView_vSpectraPoise_vst3::onColorPicked(NSColorPanel* panel) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (panel == nullptr || panel->color() == nullptr || !mColorPickerFunc) return;
  const NSColor* c = panel->color();
  const ColorPickerFunc func = mColorPickerFunc;  // the answer may open another prompt
  func(ColorFromComponents(c->redComponent(), c->greenComponent(), c->blueComponent(), c->alphaComponent()));
}
