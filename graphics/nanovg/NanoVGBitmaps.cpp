// Bitmaps of the drawing class: NanoVG images and framebuffers, and drawing them.
#include <cstdint>

#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

void* handleOf(int image) { return reinterpret_cast<void*>(static_cast<intptr_t>(image)); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Bitmap

ICanvasNanoVG::Bitmap::Bitmap(NVGcontext* vg, int image, float scale, bool sharedTexture)
    : mVG(vg), mSharedTexture(sharedTexture) {
  // A failed decode (image 0) has no size: NanoVG writes none for an unknown image.
  int w = 0, h = 0;
  if (vg != nullptr && image != 0) nvgImageSize(vg, image, &w, &h);
  SetBitmap(handleOf(image), w, h, scale, 1.f);
}

ICanvasNanoVG::Bitmap::Bitmap(ICanvasNanoVG* graphics, NVGcontext* vg, int width, int height, float scale,
                              float drawScale)
    : mGraphics(graphics), mVG(vg) {
  mFBO = vg != nullptr ? mvgCreateFramebuffer(vg, width, height, 0) : nullptr;
  if (mFBO != nullptr) {
    mvgBindFramebuffer(mFBO);
    mvgClearWithColor(vg, nvgRGBAf(0.f, 0.f, 0.f, 0.f));
    nvgBeginFrame(vg, static_cast<float>(width), static_cast<float>(height), 1.f);
    nvgEndFrame(vg);
  }
  SetBitmap(handleOf(mFBO != nullptr ? mFBO->image : 0), width, height, scale, drawScale);
}

ICanvasNanoVG::Bitmap::Bitmap(NVGcontext* vg, int width, int height, const unsigned char* rgba, float scale,
                              float drawScale)
    : mVG(vg) {
  const int image = vg != nullptr ? nvgCreateImageRGBA(vg, width, height, 0, rgba) : 0;
  SetBitmap(handleOf(image), width, height, scale, drawScale);
}

ICanvasNanoVG::Bitmap::~Bitmap() {
  if (mSharedTexture) return;
  if (mFBO != nullptr) {
    mGraphics->DeleteFBO(mFBO);
  } else if (GetImage() != 0) {
    nvgDeleteImage(mVG, GetImage());
  }
}

int ICanvasNanoVG::Bitmap::GetImage() const { return static_cast<int>(reinterpret_cast<intptr_t>(GetBitmap())); }

// ---------------------------------------------------------------------------------------
// Drawing

void ICanvasNanoVG::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY, const IBlend* blend) {
  const auto* api = dynamic_cast<const Bitmap*>(bitmap.GetAPIBitmap());
  if (api == nullptr || api->GetImage() == 0 || mVG == nullptr) return;
  const float backendScale = api->GetScale() * api->GetDrawScale();
  if (!(backendScale > 0.f)) return;
  const float s = 1.f / backendScale;
  NVGpaint paint = nvgImagePattern(mVG, 0.f, 0.f, static_cast<float>(bitmap.W()) * api->GetScale(),
                                   static_cast<float>(bitmap.H()) * api->GetScale(), 0.f, api->GetImage(),
                                   BlendWeight(blend));
  // Pixels to UI units, the source offset at dest's corner. Set directly: composing a scale
  // after the translation would scale the translation too.
  const float xform[6] = {s, 0.f, 0.f, s, dest.L - static_cast<float>(srcX), dest.T - static_cast<float>(srcY)};
  for (int i = 0; i < 6; ++i) paint.xform[i] = xform[i];
  nvgBeginPath(mVG);
  NanoVGRect(mVG, dest);
  nvgFillPaint(mVG, paint);
  NanoVGSetBlendMode(mVG, blend);
  nvgFill(mVG);
  nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
  nvgBeginPath(mVG);
}

}  // namespace plugkit::canvas
