// The drawing class: its lifetime, the NanoVG context and the frame drawn into the main
// framebuffer, then copied onto the view.
#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

// Antialiased edges, three frames in flight.
constexpr int kContextFlags = NVG_ANTIALIAS | NVG_TRIPLE_BUFFER;

}  // namespace

StaticStorage<IFontData> ICanvasNanoVG::sFontCache;

ICanvasNanoVG::ICanvasNanoVG(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale)
    : ICanvas(dlg, w, h, fps, scale) {
  StaticStorage<IFontData>::Accessor fonts(sFontCache);
  sFontCache.Retain();
}

ICanvasNanoVG::~ICanvasNanoVG() {
  // A platform class tears its view down first; a context still alive here goes now,
  // while the controls' layers can still give their framebuffers back to it.
  destroyContext();
  {
    StaticStorage<IFontData>::Accessor fonts(sFontCache);
    sFontCache.Release();
    ClearFBOStack();
  }
  StaticStorage<APIBitmap>::Accessor bitmaps(mBitmapCache);
  mBitmapCache.Clear();
}

void ICanvasNanoVG::OnViewInitialized(void* layer) {
  destroyContext();
  mVG = nvgCreateMTL(layer, kContextFlags);
}

void ICanvasNanoVG::OnViewDestroyed() {
  RemoveAllControls();
  destroyContext();
}

void ICanvasNanoVG::destroyContext() {
  if (mVG == nullptr) return;
  // Controls own layers whose framebuffers belong to the context.
  RemoveAllControls();
  // An aborted frame may have left layers and deferred framebuffers behind, and its frame
  // begun: the renderer keeps a frame's buffers until it is flushed or cancelled, and waits
  // for all of them before it goes.
  nvgCancelFrame(mVG);
  mLayers.clear();
  StaticStorage<APIBitmap>::Accessor bitmaps(mBitmapCache);
  mBitmapCache.Clear();
  mInDraw = false;
  mDropFrame = false;
  ClearFBOStack();
  if (mMainFBO != nullptr) {
    mvgDeleteFramebuffer(mMainFBO);
    mMainFBO = nullptr;
  }
  nvgDeleteMTL(mVG);
  mVG = nullptr;
}

void ICanvasNanoVG::DrawResize() {
  ActivateGLContext();
  if (mMainFBO != nullptr) {
    mvgDeleteFramebuffer(mMainFBO);
    mMainFBO = nullptr;
  }
  if (mVG != nullptr) {
    const int w = static_cast<int>(static_cast<float>(WindowWidth()) * GetScreenScale());
    const int h = static_cast<int>(static_cast<float>(WindowHeight()) * GetScreenScale());
    mMainFBO = mvgCreateFramebuffer(mVG, w, h, 0);
  }
  DeactivateGLContext();
}

void ICanvasNanoVG::beginMainFrame() {
  mvgBindFramebuffer(mMainFBO);
  nvgBeginFrame(mVG, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()), GetScreenScale());
}

void ICanvasNanoVG::endTargetFrame() {
  if (mDropFrame)
    nvgCancelFrame(mVG);
  else
    nvgEndFrame(mVG);
  mDropFrame = false;
}

void ICanvasNanoVG::BeginFrame() {
  mInDraw = true;
  mDropFrame = false;
  ICanvas::BeginFrame();
  if (mVG == nullptr) return;
  beginMainFrame();
}

void ICanvasNanoVG::EndFrame() {
  if (mVG != nullptr) {
    const float w = static_cast<float>(WindowWidth()), h = static_cast<float>(WindowHeight());
    endTargetFrame();
    mvgBindFramebuffer(nullptr);
    // Without a main framebuffer there is nothing to show.
    if (mMainFBO != nullptr) {
      nvgBeginFrame(mVG, w, h, GetScreenScale());
      const NVGpaint paint = nvgImagePattern(mVG, 0.f, 0.f, w, h, 0.f, mMainFBO->image, 1.f);
      nvgSave(mVG);
      nvgResetTransform(mVG);
      nvgBeginPath(mVG);
      nvgRect(mVG, 0.f, 0.f, w, h);
      nvgFillPaint(mVG, paint);
      nvgFill(mVG);
      nvgRestore(mVG);
      nvgEndFrame(mVG);
    }
  }
  mInDraw = false;
  ClearFBOStack();
}

void ICanvasNanoVG::DeleteFBO(MVGframebuffer* fbo) {
  if (fbo == nullptr) return;
  if (!mInDraw) {
    mvgDeleteFramebuffer(fbo);
    return;
  }
  MutexLock lock(&mFBOMutex);
  mFBOStack.push_back(fbo);
}

void ICanvasNanoVG::ClearFBOStack() {
  MutexLock lock(&mFBOMutex);
  while (!mFBOStack.empty()) {
    mvgDeleteFramebuffer(mFBOStack.back());
    mFBOStack.pop_back();
  }
}

}  // namespace plugkit::canvas
