// Bitmaps of the drawing class: NanoVG images and framebuffers, loading them into this
// object's cache, drawing them, layers on framebuffers, reading a layer back and putting a
// shadow behind it.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "graphics/BitmapDecode.h"
#include "graphics/Constants.h"
#include "graphics/ResourceFile.h"
#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

void* handleOf(int image) { return reinterpret_cast<void*>(static_cast<intptr_t>(image)); }

// The screen's scale rounded up; 1 for a scale that is not a finite number above 0.
int targetScaleFor(float screenScale) {
  if (!(screenScale > 0.f) || !std::isfinite(screenScale)) return 1;
  return static_cast<int>(std::min(std::ceil(screenScale), 64.f));
}

// What follows the last '.' of the name (the whole name without one).
const char* extensionOf(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr ? dot + 1 : name;
}

// Pixels uploaded as a NanoVG image; 0 when they did not decode.
int uploadDecoded(NVGcontext* vg, const DecodedBitmap& decoded) {
  if (vg == nullptr || !decoded.IsValid()) return 0;
  return nvgCreateImageRGBA(vg, decoded.width, decoded.height, 0, decoded.rgba.data());
}

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
  // The pattern spans the image's own pixels: a size taken back from whole UI units would
  // lose the odd pixel of a layer at a fractional scale and resample the rest.
  NVGpaint paint = nvgImagePattern(mVG, 0.f, 0.f, static_cast<float>(api->GetWidth()),
                                   static_cast<float>(api->GetHeight()), 0.f, api->GetImage(), BlendWeight(blend));
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

// ---------------------------------------------------------------------------------------
// Loading

bool ICanvasNanoVG::BitmapExtSupported(const char* ext) {
  // A lower-case copy of at most 15 characters: extensions are short.
  char lower[16] = {};
  for (size_t i = 0; ext != nullptr && ext[i] != '\0' && i + 1 < sizeof lower; ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(ext[i])));
  return std::strstr(lower, "png") != nullptr || std::strstr(lower, "jpg") != nullptr ||
         std::strstr(lower, "jpeg") != nullptr;
}

APIBitmap* ICanvasNanoVG::LoadAPIBitmap(const char* path, int scale, EResourceLocation location, const char*) {
  if (location != kAbsolutePath || mVG == nullptr) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadResourceFile(path, bytes)) return nullptr;
  ActivateGLContext();
  const int image = uploadDecoded(mVG, DecodeBitmap(bytes.data(), bytes.size()));
  DeactivateGLContext();
  return image != 0 ? new Bitmap(mVG, image, static_cast<float>(scale), false) : nullptr;
}

APIBitmap* ICanvasNanoVG::LoadAPIBitmap(const char*, const void* data, int dataSize, int scale) {
  if (data == nullptr || dataSize <= 0 || mVG == nullptr) return nullptr;
  ActivateGLContext();
  const int image = uploadDecoded(mVG, DecodeBitmap(data, static_cast<size_t>(dataSize)));
  DeactivateGLContext();
  return image != 0 ? new Bitmap(mVG, image, static_cast<float>(scale), false) : nullptr;
}

IBitmap ICanvasNanoVG::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale) {
  if (name == nullptr || name[0] == '\0') return {};
  if (targetScale == 0) targetScale = targetScaleFor(GetScreenScale());
  StaticStorage<APIBitmap>::Accessor lock(mBitmapCache);
  if (APIBitmap* cached = mBitmapCache.Find(name, targetScale)) return IBitmap(cached, nStates, framesAreHorizontal, name);
  const char* ext = extensionOf(name);
  if (!BitmapExtSupported(ext)) return {};
  StringBuf path;
  int sourceScale = 0;
  const EResourceLocation location = SearchImageResource(name, ext, path, targetScale, sourceScale);
  if (location == kNotFound) return {};
  // Kept under the scale of the file found: a variant of another scale is found again
  // there, not decoded once more.
  if (APIBitmap* cached = mBitmapCache.Find(name, sourceScale)) return IBitmap(cached, nStates, framesAreHorizontal, name);
  APIBitmap* loaded = LoadAPIBitmap(path.Get(), sourceScale, location, ext);
  if (loaded == nullptr) return {};
  mBitmapCache.Add(loaded, name, sourceScale);
  return IBitmap(loaded, nStates, framesAreHorizontal, name);
}

IBitmap ICanvasNanoVG::LoadBitmap(const char* name, const void* data, int dataSize, int nStates,
                                  bool framesAreHorizontal, int targetScale) {
  // The name is the cache key: without one, two bitmaps would be taken for each other.
  if (name == nullptr || name[0] == '\0' || data == nullptr || dataSize <= 0) return {};
  if (targetScale == 0) targetScale = targetScaleFor(GetScreenScale());
  StaticStorage<APIBitmap>::Accessor lock(mBitmapCache);
  if (APIBitmap* cached = mBitmapCache.Find(name, targetScale)) return IBitmap(cached, nStates, framesAreHorizontal, name);
  if (!BitmapExtSupported(extensionOf(name))) return {};
  APIBitmap* source = nullptr;
  for (const int s : ImageScaleOrder(targetScale))
    if ((source = mBitmapCache.Find(name, s)) != nullptr) break;
  if (source == nullptr) {
    source = LoadAPIBitmap(name, data, dataSize, 1);
    if (source == nullptr) return {};
    mBitmapCache.Add(source, name, 1.0);
  }
  const IBitmap bitmap(source, nStates, framesAreHorizontal, name);
  if (source->GetScale() == static_cast<float>(targetScale)) return bitmap;
  return ScaleBitmap(bitmap, name, targetScale);  // kept through RetainBitmap
}

void ICanvasNanoVG::RetainBitmap(const IBitmap& bitmap, const char* name) {
  APIBitmap* api = bitmap.GetAPIBitmap();
  if (api == nullptr) return;
  StaticStorage<APIBitmap>::Accessor lock(mBitmapCache);
  mBitmapCache.Add(api, name, api->GetScale());
}

void ICanvasNanoVG::ReleaseBitmap(const IBitmap& bitmap) {
  if (bitmap.GetAPIBitmap() == nullptr) return;
  StaticStorage<APIBitmap>::Accessor lock(mBitmapCache);
  mBitmapCache.Remove(bitmap.GetAPIBitmap());
}

// ---------------------------------------------------------------------------------------
// Framebuffers and layers

APIBitmap* ICanvasNanoVG::CreateAPIBitmap(int width, int height, float scale, float drawScale, bool) {
  if (mVG == nullptr) return nullptr;
  // The framebuffer is cleared in a frame of its own: what was drawn so far is rendered,
  // and drawing goes on in the target it was drawn to (a bitmap made in a layer, whose copy
  // the GPU refuses, pushes no layer that would rebind it).
  if (mInDraw) endTargetFrame();
  auto* bitmap = new Bitmap(this, mVG, width, height, scale, drawScale);
  if (mInDraw) beginTargetFrame();
  return bitmap;
}

void ICanvasNanoVG::UpdateLayer() {
  if (mVG == nullptr) return;
  endTargetFrame();
  beginTargetFrame();
}

void ICanvasNanoVG::beginTargetFrame() {
  if (mLayers.empty()) {
    beginMainFrame();
    return;
  }
  const ILayer& top = *mLayers.back();
  const auto* bitmap = dynamic_cast<const Bitmap*>(top.GetAPIBitmap());
  MVGframebuffer* fbo = bitmap != nullptr ? bitmap->GetFBO() : nullptr;
  if (fbo != nullptr)
    mvgBindFramebuffer(fbo);
  else
    mDropFrame = true;  // drawing into this layer goes nowhere
  nvgBeginFrame(mVG, top.Bounds().Width() * GetDrawScale(), top.Bounds().Height() * GetDrawScale(), GetScreenScale());
}

void ICanvasNanoVG::GetLayerBitmapData(const ILayer& layer, RawBitmapData& data) {
  data.clear();
  const auto* bitmap = dynamic_cast<const Bitmap*>(layer.GetAPIBitmap());
  if (bitmap == nullptr || bitmap->GetImage() == 0 || mVG == nullptr) return;
  const int w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w <= 0 || h <= 0) return;
  try {
    data.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  } catch (const std::bad_alloc&) {
    data.clear();
    return;
  }
  // Pushing the layer renders whatever is pending; the read waits for the layer's frames.
  // The caller keeps the layer: a read that throws pops it, never leaves it to the stack.
  ILayer& target = const_cast<ILayer&>(layer);
  const int depth = NLayers();
  try {
    PushLayer(&target);
    mvgReadPixels(mVG, bitmap->GetImage(), 0, 0, w, h, data.data());
  } catch (...) {
    PopLayersTo(depth, false);
    data.clear();
    throw;
  }
  PopLayer();
}

void ICanvasNanoVG::ApplyShadowMask(ILayer& layer, RawBitmapData& mask, const IShadow& shadow) {
  const APIBitmap* bitmap = layer.GetAPIBitmap();
  if (bitmap == nullptr || mVG == nullptr) return;
  const int w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w <= 0 || h <= 0 || mask.size() < static_cast<size_t>(w) * static_cast<size_t>(h) * 4) return;
  const IRECT bounds = layer.Bounds();

  if (!shadow.mDrawForeground) {
    // Cleared with raw calls: a fill through PathFill would reset the blend before it.
    PushLayer(&layer);
    nvgGlobalCompositeBlendFunc(mVG, NVG_ZERO, NVG_ZERO);
    nvgBeginPath(mVG);
    NanoVGRect(mVG, bounds);
    nvgFillColor(mVG, NanoVGColor(COLOR_TRANSPARENT));
    nvgFill(mVG);
    nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
    PopLayer();
  }

  // The mask's alpha takes the shadow's paint in a layer of its own, which then goes behind
  // the layer's content at the shadow's offset.
  Bitmap maskBitmap(mVG, w, h, mask.data(), bitmap->GetScale(), bitmap->GetDrawScale());
  ILayer shadowLayer(CreateAPIBitmap(w, h, bitmap->GetScale(), bitmap->GetDrawScale()), bounds, nullptr, IRECT());
  // Both layers pushed here are kept elsewhere (by the caller, on this stack): a step that
  // throws pops them, and restores the transform, before the exception goes on.
  const int depth = NLayers();
  PathTransformSave();
  try {
    PushLayer(&layer);
    PushLayer(&shadowLayer);
    DrawBitmap(IBitmap(&maskBitmap, 1, false), bounds, 0, 0, nullptr);
    PathRect(bounds);
    PathTransformTranslate(-shadow.mXOffset, -shadow.mYOffset);
    const IBlend sourceIn(EBlend::SrcIn, 1.f);
    PathFill(shadow.mPattern, IFillOptions(), &sourceIn);
    PopLayer();
    const float opacity = shadow.mOpacity >= 0.f ? std::min(shadow.mOpacity, 1.f) : 0.f;  // NaN counts as 0
    const IBlend behind(EBlend::DstOver, opacity);
    if (shadowLayer.GetAPIBitmap() != nullptr)
      DrawBitmap(IBitmap(shadowLayer.GetAPIBitmap(), 1, false), bounds.GetTranslated(shadow.mXOffset, shadow.mYOffset),
                 0, 0, &behind);
  } catch (...) {
    PopLayersTo(depth, false);
    PathTransformRestore();
    throw;
  }
  PopLayer();
  PathTransformRestore();
}

}  // namespace plugkit::canvas
