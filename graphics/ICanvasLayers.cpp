// Layers (offscreen bitmaps a control draws into once and then only draws) and the soft
// drop shadow made from a layer's alpha.
#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"
#include "graphics/ShadowBlur.h"

namespace plugkit::canvas {

namespace {

// No layer is made wider or taller than this many device pixels.
constexpr double kMaxLayerSide = 32768.0;

bool drawable(const OwnedLayer& layer) { return layer != nullptr && layer->mBitmap != nullptr; }

// One frame over the layer's bitmap.
IBitmap layerBitmap(const ILayer& layer) { return IBitmap(layer.mBitmap.get(), 1, false); }

}  // namespace

bool ICanvas::layerPixelSize(const IRECT& bounds, float s, int& width, int& height) {
  width = height = 0;
  const double w = std::ceil(static_cast<double>(s) * std::ceil(static_cast<double>(bounds.Width())));
  const double h = std::ceil(static_cast<double>(s) * std::ceil(static_cast<double>(bounds.Height())));
  // Written so that a size that is not a number fails too.
  if (!(w >= 1.0 && w <= kMaxLayerSide && h >= 1.0 && h <= kMaxLayerSide)) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

void ICanvas::StartLayer(IControl* control, const IRECT& r, bool cacheable) {
  const float s = GetBackingPixelScale();
  const IRECT bounds = r.GetPixelAligned(s);
  int w = 0, h = 0;
  APIBitmap* bitmap = layerPixelSize(bounds, s, w, h) ? CreateAPIBitmap(w, h, mScreenScale, mDrawScale, cacheable)
                                                      : nullptr;
  if (bitmap != nullptr && bitmap->GetBitmap() == nullptr) {
    delete bitmap;
    bitmap = nullptr;
  }
  // Pushed with or without a bitmap, so that the caller's EndLayer still finds it.
  PushLayer(new ILayer(bitmap, bounds, control, control != nullptr ? control->GetRECT() : IRECT()));
}

OwnedLayer ICanvas::EndLayer() { return OwnedLayer(PopLayer()); }

void ICanvas::ResumeLayer(OwnedLayer& layer) {
  ILayer* resumed = layer.release();
  if (resumed != nullptr) PushLayer(resumed);
}

void ICanvas::PushLayer(ILayer* layer) {
  if (layer == nullptr) return;
  mLayers.push_back(layer);
  UpdateLayer();
  PathTransformReset();
  PathClipRegion(layer->Bounds());
  PathClear();
}

ILayer* ICanvas::PopLayer() {
  ILayer* layer = nullptr;
  if (!mLayers.empty()) {
    layer = mLayers.back();
    mLayers.pop_back();
  }
  UpdateLayer();
  PathTransformReset();
  PathClipRegion();
  PathClear();
  return layer;
}

void ICanvas::PopLayersTo(int depth, bool deleteThem) {
  while (NLayers() > std::max(depth, 0)) {
    ILayer* layer = PopLayer();
    if (deleteThem) delete layer;
  }
}

bool ICanvas::CheckLayer(const OwnedLayer& layer) {
  if (!drawable(layer)) return false;
  if (layer->mControl != nullptr && layer->mControl->GetRECT() != layer->mControlRECT) {
    layer->mControlRECT = layer->mControl->GetRECT();
    layer->Invalidate();
  }
  if (layer->mInvalid) return false;
  const APIBitmap& bitmap = *layer->mBitmap;
  return bitmap.GetScale() == mScreenScale && bitmap.GetDrawScale() == mDrawScale;
}

void ICanvas::DrawLayer(const OwnedLayer& layer, const IBlend* blend) {
  if (!drawable(layer)) return;
  PathTransformSave();
  PathTransformReset();
  DrawBitmap(layerBitmap(*layer), layer->Bounds(), 0, 0, blend);
  PathTransformRestore();
}

void ICanvas::DrawFittedLayer(const OwnedLayer& layer, const IRECT& r, const IBlend* blend) {
  if (!drawable(layer)) return;
  const IRECT& bounds = layer->Bounds();
  PathTransformSave();
  PathTransformTranslate(r.L, r.T);
  PathTransformScale(r.Width() / bounds.Width(), r.Height() / bounds.Height());
  DrawBitmap(layerBitmap(*layer), IRECT(0.f, 0.f, bounds.Width(), bounds.Height()), 0, 0, blend);
  PathTransformRestore();
}

void ICanvas::DrawRotatedLayer(const OwnedLayer& layer, double angle) {
  if (!drawable(layer)) return;
  const IRECT& bounds = layer->Bounds();
  PathTransformSave();
  PathTransformReset();
  DrawRotatedBitmap(layerBitmap(*layer), bounds.CentreX(), bounds.CentreY(), angle, nullptr);
  PathTransformRestore();
}

void ICanvas::ApplyLayerDropShadow(OwnedLayer& layer, const IShadow& shadow) {
  if (!drawable(layer)) return;
  const APIBitmap& bitmap = *layer->mBitmap;
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0) return;
  RawBitmapData pixels;
  GetLayerBitmapData(*layer, pixels);
  // A read-back that failed, or did not give every pixel, gets no shadow.
  if (pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h) * 4) return;
  const ShadowKernel kernel =
      MakeShadowKernel(shadow.mBlurSize, bitmap.GetScale() * bitmap.GetDrawScale(), std::max(w, h));
  BlurShadowAlpha(pixels.data(), w, h, AlphaChannel(), kernel);
  ApplyShadowMask(*layer, pixels, shadow);
}

}  // namespace plugkit::canvas
