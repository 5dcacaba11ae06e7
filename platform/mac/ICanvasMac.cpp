#include "platform/mac/ICanvasMac.h"

#include <memory>

#include "graphics/SpecialControls.h"
#include "platform/mac/ICanvasView.h"
#include "platform/mac/ViewRules.h"
#include "shims/apple/corefoundation/Dispatch.h"

namespace plugkit::canvas {

StaticStorage<CoreTextFontDescriptor> ICanvasMac::sFontDescriptorCache;

ICanvasMac::ICanvasMac(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale)
    : ICanvasNanoVG(dlg, w, h, fps, scale) {
  NSApplicationLoad();
  StaticStorage<CoreTextFontDescriptor>::Accessor lock(sFontDescriptorCache);
  sFontDescriptorCache.Retain();
}

ICanvasMac::~ICanvasMac() {
  StaticStorage<CoreTextFontDescriptor>::Accessor lock(sFontDescriptorCache);
  sFontDescriptorCache.Release();
  tearDownView();
}

// ---- The window ----

void ICanvasMac::tearDownView() {
  if (mView == nullptr) return;
  // Ours from here: the view goes when this reference does.
  NSPtr<ICanvasView_vSpectraPoise_vst3> view = NSPtr<ICanvasView_vSpectraPoise_vst3>::adopt(mView);
  mView = nullptr;
  view->endUserInput();
  view->removeAllToolTips();
  view->killTimer();
  view->detachGraphics();
  SetPlatformContext(nullptr);
  view->removeFromSuperview();
  // The NanoVG context draws into the view's layer: it goes while the layer is there.
  OnViewDestroyed();
}

void* ICanvasMac::OpenWindow(void* parent) {
  tearDownView();
  mView = new ICanvasView_vSpectraPoise_vst3(this);
  mView->activateGLContext();
  OnViewInitialized(mView->layer());
  SetScreenScale(UsableBackingScale(NSScreen::mainScreen()->backingScaleFactor(), GetScreenScale()));
  const std::weak_ptr<const int> alive = GetLivenessToken();
  GetDelegate()->LayoutUI(this);
  if (alive.expired() || mView == nullptr) return nullptr;
  UpdateTooltips();
  GetDelegate()->OnUIOpen();
  if (alive.expired() || mView == nullptr) return nullptr;
  if (parent != nullptr) static_cast<NSView*>(parent)->addSubview(mView);
  return mView;
}

void ICanvasMac::CloseWindow() { tearDownView(); }

void* ICanvasMac::GetWindow() { return mView; }

void ICanvasMac::PlatformResize(bool) {
  if (mView != nullptr) {
    NSAnimationContext::beginGrouping();
    NSAnimationContext::currentContext()->setDuration(0.0);
    const ViewRect frame = ViewFrameFor(Width(), Height(), GetDrawScale());
    mView->setFrameSize({frame.w, frame.h});
    NSAnimationContext::endGrouping();
  }
  UpdateTooltips();
}

void ICanvasMac::UpdateTooltips() {
  if (mView == nullptr || !TooltipsEnabled()) return;
  NSAutoreleasePool pool;
  mView->removeAllToolTips();
  // No tooltip rectangles while a drawn menu is shown or closing.
  if (const IPopupMenuControlBase* menu = GetPopupMenuControl(); menu != nullptr && menu->IsBusy()) return;
  ForStandardControlsFunc([this](IControl* control) {
    if (!control->IsHidden() && !control->GetTargetRECT().IsEmpty()) mView->registerToolTip(control->GetTargetRECT());
  });
}

void ICanvasMac::AttachPlatformView(const IRECT& r, void* view) {
  auto* platformView = static_cast<NSView*>(view);
  if (mView == nullptr || platformView == nullptr) return;
  const ViewRect frame = FrameRule(r, GetDrawScale());
  platformView->setFrame(NSMakeRect(frame.x, frame.y, frame.w, frame.h));
  mView->addSubview(platformView);
}

void ICanvasMac::RemovePlatformView(void* view) {
  if (view != nullptr) static_cast<NSView*>(view)->removeFromSuperview();
}

void ICanvasMac::HidePlatformView(void* view, bool hide) {
  if (view != nullptr) static_cast<NSView*>(view)->setHidden(hide);
}

EUIAppearance ICanvasMac::GetUIAppearance() const {
  if (mView == nullptr) return EUIAppearance::Light;
  return mView->effectiveAppearanceName() == NSAppearanceNameDarkAqua ? EUIAppearance::Dark : EUIAppearance::Light;
}

void ICanvasMac::ActivateGLContext() {
  if (mView != nullptr) mView->activateGLContext();
}

void ICanvasMac::DeactivateGLContext() {
  if (mView != nullptr) mView->deactivateGLContext();
}

// ---- The cursor ----

void ICanvasMac::PointToScreen(float& x, float& y) const {
  if (mView == nullptr || mView->window() == nullptr) return;
  const NSPoint inWindow = mView->convertPointToView({x * GetDrawScale(), y * GetDrawScale()}, nullptr);
  const NSPoint onScreen = mView->window()->convertPointToScreen(inWindow);
  x = static_cast<float>(onScreen.x);
  y = static_cast<float>(onScreen.y);
}

void ICanvasMac::ScreenToPoint(float& x, float& y) const {
  if (mView == nullptr || mView->window() == nullptr) return;
  const NSRect inWindow = mView->window()->convertRectFromScreen(NSMakeRect(x, y, 0, 0));
  const NSPoint inView = mView->convertPointFromView(inWindow.origin, nullptr);
  x = static_cast<float>(inView.x / GetDrawScale());
  y = static_cast<float>(inView.y / GetDrawScale());
}

void ICanvasMac::GetMouseLocation(float& x, float& y) const {
  const NSPoint mouse = NSEvent::mouseLocation();
  x = static_cast<float>(mouse.x);
  y = static_cast<float>(mouse.y);
  ScreenToPoint(x, y);
}

void ICanvasMac::StoreCursorPosition() {
  const NSPoint mouse = NSEvent::mouseLocation();
  mStoredCursorX = RoundCursorCoordinate(mouse.x);
  mStoredCursorY = RoundCursorCoordinate(mouse.y);
  float x = static_cast<float>(mStoredCursorX), y = static_cast<float>(mStoredCursorY);
  ScreenToPoint(x, y);
  SetCursorPosition(x, y);
}

void ICanvasMac::HideMouseCursor(bool hide, bool lock) {
  if (hide == mCursorHidden) return;
  mCursorHidden = hide;
  if (hide) {
    StoreCursorPosition();
    CGDisplayHideCursor(CGMainDisplayID());
    mCursorLock = lock;
  } else {
    CGDisplayShowCursor(CGMainDisplayID());
    mCursorLock = false;
  }
}

void ICanvasMac::RepositionCursor(CGPoint screenPoint) {
  const CGPoint display{screenPoint.x,
                        DisplayY(screenPoint.y, static_cast<double>(CGDisplayPixelsHigh(CGMainDisplayID())))};
  CGAssociateMouseAndMouseCursorPosition(false);
  CGDisplayMoveCursorToPoint(CGMainDisplayID(), display);
  CGAssociateMouseAndMouseCursorPosition(true);
}

void ICanvasMac::DoCursorLock(float x, float y, float& prevX, float& prevY) {
  if (mCursorHidden && mCursorLock && !mTabletInput) {
    RepositionCursor({mStoredCursorX, mStoredCursorY});
    GetCursorPosition(prevX, prevY);
  } else {
    prevX = x;
    prevY = y;
    SetCursorPosition(x, y);
  }
}

void ICanvasMac::MoveMouseCursor(float x, float y) {
  if (mTabletInput) return;
  if (mView != nullptr) PointToScreen(x, y);
  RepositionCursor({x, y});
  StoreCursorPosition();
}

ECursor ICanvasMac::SetMouseCursor(ECursor cursor) {
  if (mView != nullptr) mView->setMouseCursor(cursor);
  return ICanvasNanoVG::SetMouseCursor(cursor);
}

int ICanvasMac::GetUserOSVersion() {
  static const int version = NSAppKitVersionNumber >= 1404 ? 0x10B0 : NSAppKitVersionNumber >= 1266 ? 0x10A0 : 0x1040;
  return version;
}

// ---- Native text entry and menus ----

void ICanvasMac::CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                         const char* str) {
  if (mView == nullptr) return;
  const ViewRect r = FrameRule(bounds, GetDrawScale());
  mView->createTextEntry(paramIdx, text, str, length, NSMakeRect(r.x, r.y, r.w, r.h));
}

void ICanvasMac::ForceEndUserEdit() {
  if (mView != nullptr) mView->endUserInput();
}

IPopupMenu* ICanvasMac::CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) {
  isAsync = true;
  // The queued block touches this object and the menu only while the context lives and
  // the request is still the one pending (its control not removed, no newer menu asked).
  const std::weak_ptr<const int> alive = GetLivenessToken();
  const uint64_t generation = GetPopupGeneration();
  IPopupMenu* requested = &menu;
  dispatch_async(dispatch_get_main_queue(), [this, alive, generation, requested, bounds] {
    if (alive.expired() || !IsPopupRequestLive(generation)) return;
    IPopupMenu* chosen = nullptr;
    if (mView != nullptr) {
      const ViewRect r = FrameRule(bounds, GetDrawScale());
      NSPtr<ICanvasView_vSpectraPoise_vst3> view = NSPtr<ICanvasView_vSpectraPoise_vst3>::retain(mView);
      {
        const ModalScope modal(*this);
        chosen = view->createPopupMenu(*requested, NSMakeRect(r.x, r.y, r.w, r.h));
      }
      if (alive.expired() || !IsPopupRequestLive(generation)) return;
      if (chosen != nullptr && chosen->GetFunction()) {
        chosen->ExecFunction();
        if (alive.expired() || !IsPopupRequestLive(generation)) return;
      }
    }
    SetControlValueAfterPopupMenu(chosen);
  });
  return nullptr;
}

// ---- Platform fonts ----

PlatformFontPtr ICanvasMac::LoadPlatformFont(const char* fontID, const char* fileNameOrResID) {
  return CoreTextHelpers::LoadPlatformFont(fontID, fileNameOrResID, GetBundleID(), GetSharedResourcesSubPath());
}

PlatformFontPtr ICanvasMac::LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) {
  return CoreTextHelpers::LoadPlatformFont(fontID, fontName, style);
}

PlatformFontPtr ICanvasMac::LoadPlatformFont(const char* fontID, void* data, int size) {
  return CoreTextHelpers::LoadPlatformFont(fontID, data, size);
}

void ICanvasMac::CachePlatformFont(const char* fontID, const PlatformFontPtr& font) {
  CoreTextHelpers::CachePlatformFont(fontID, font, sFontDescriptorCache);
}

ICanvas* MakeGraphics(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale, const char* bundleID,
                      const char* appGroupID, const char* sharedResourcesSubPath) {
  auto* graphics = new ICanvasMac(dlg, w, h, fps, scale);
  graphics->SetBundleID(bundleID);
  graphics->SetAppGroupID(appGroupID);
  graphics->SetSharedResourcesSubPath(sharedResourcesSubPath);
  return graphics;
}

}  // namespace plugkit::canvas
