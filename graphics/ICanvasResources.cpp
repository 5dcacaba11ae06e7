// Resources and their caches: bitmaps in scale variants (found, decoded by the backend,
// scaled to the screen and kept once per name and scale), SVG images, resource files and
// font files. Every bitmap and image belongs to its cache; the caller gets handles.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "graphics/ICanvas.h"
#include "graphics/ResourceFile.h"

namespace plugkit::canvas {

namespace {

// The extension as LoadBitmap sees it: after the last '.', or the whole name.
const char* bitmapExt(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr ? dot + 1 : name;
}

// A font file read whole; face 0.
class ResourceFont : public PlatformFont {
public:
  explicit ResourceFont(std::vector<uint8_t> bytes) : PlatformFont(false), mBytes(std::move(bytes)) {}
  std::unique_ptr<IFontData> GetFontData() override {
    return std::make_unique<IFontData>(mBytes.data(), static_cast<int>(mBytes.size()), 0);
  }

private:
  std::vector<uint8_t> mBytes;
};

// The first four bytes of a TrueType, OpenType or collection file.
bool looksLikeFont(const std::vector<uint8_t>& b) {
  if (b.size() < 12) return false;
  static const char* const kTags[] = {"\x00\x01\x00\x00", "OTTO", "true", "typ1", "ttcf"};
  for (const char* tag : kTags)
    if (std::memcmp(b.data(), tag, 4) == 0) return true;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Names and scales

std::vector<int> ICanvas::ImageScaleOrder(int targetScale) {
  std::vector<int> order;
  for (int s = targetScale; s >= 1;) {
    order.push_back(s);
    if (s == targetScale && targetScale != 3)
      s = 3;
    else if (s - 1 == targetScale)
      s = targetScale - 1;
    else
      s = s - 1;
  }
  return order;
}

std::string ICanvas::ImageVariantName(const char* name, int scale) {
  const std::string full = name != nullptr ? name : "";
  if (scale == 1) return full;
  const size_t separator = full.find_last_of("/\\");
  const size_t dot = full.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  const std::string stem = hasExt ? full.substr(0, dot) : full;
  const std::string ext = hasExt ? full.substr(dot) : std::string();
  // '@', up to 11 characters of the scale, 'x' and the terminator.
  std::vector<char> out(full.size() + 16);
  const int n = std::snprintf(out.data(), out.size(), "%s@%dx%s", stem.c_str(), scale, ext.c_str());
  if (n < 0 || static_cast<size_t>(n) >= out.size()) return full;
  return std::string(out.data(), static_cast<size_t>(n));
}

EResourceLocation ICanvas::SearchImageResource(const char* name, const char* type, StringBuf& result,
                                               int targetScale, int& sourceScale) {
  sourceScale = 0;
  if (targetScale < 1 || name == nullptr || name[0] == '\0') return kNotFound;
  for (const int s : ImageScaleOrder(targetScale)) {
    const std::string file = ImageVariantName(name, s);
    const EResourceLocation location =
        LocateResource(file.c_str(), type, result, GetBundleID(), nullptr, GetSharedResourcesSubPath());
    if (location != kNotFound) {
      sourceScale = s;
      return location;
    }
  }
  return kNotFound;
}

APIBitmap* ICanvas::SearchBitmapInCache(const char* name, int targetScale, int& sourceScale) {
  const StaticStorage<APIBitmap>::Accessor lock(sBitmapCache);
  sourceScale = 0;
  for (const int s : ImageScaleOrder(targetScale)) {
    if (APIBitmap* bitmap = sBitmapCache.Find(name, s)) {
      sourceScale = s;
      return bitmap;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// Bitmaps

namespace {

// The screen's scale rounded up; 1 for a scale that is not a finite number above 0.
int screenTargetScale(float screenScale) {
  if (!(screenScale > 0.f) || !std::isfinite(screenScale)) return 1;
  return static_cast<int>(std::min(std::ceil(screenScale), 64.f));
}

}  // namespace

APIBitmap* ICanvas::adoptDecoded(APIBitmap* decoded, const char* name) {
  std::unique_ptr<APIBitmap> owned(decoded);
  if (!owned || owned->GetBitmap() == nullptr || owned->GetWidth() <= 0 || owned->GetHeight() <= 0) return nullptr;
  APIBitmap* bitmap = owned.release();
  RetainBitmap(IBitmap(bitmap, 1, false, name), name);
  return bitmap;
}

IBitmap ICanvas::bitmapAtScale(APIBitmap* source, const char* name, int nStates, bool framesAreHorizontal,
                               int targetScale) {
  const IBitmap bitmap(source, nStates, framesAreHorizontal, name);
  if (source->GetScale() == static_cast<float>(targetScale)) return bitmap;
  return ScaleBitmap(bitmap, name, targetScale);
}

IBitmap ICanvas::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale) {
  if (name == nullptr || name[0] == '\0') return {};
  if (targetScale == 0) targetScale = screenTargetScale(mScreenScale);

  const StaticStorage<APIBitmap>::Accessor lock(sBitmapCache);
  if (APIBitmap* cached = sBitmapCache.Find(name, targetScale)) return IBitmap(cached, nStates, framesAreHorizontal, name);
  const char* ext = bitmapExt(name);
  if (!BitmapExtSupported(ext)) return {};

  StringBuf path;
  int sourceScale = 0;
  APIBitmap* source = nullptr;
  const EResourceLocation location = SearchImageResource(name, ext, path, targetScale, sourceScale);
  if (location != kNotFound) {
    // A variant of another scale may be cached from an earlier load.
    if (sourceScale != targetScale) source = sBitmapCache.Find(name, sourceScale);
    if (source == nullptr) source = adoptDecoded(LoadAPIBitmap(path.Get(), sourceScale, location, ext), name);
  } else {
    source = SearchBitmapInCache(name, targetScale, sourceScale);
  }
  if (source == nullptr) return {};
  return bitmapAtScale(source, name, nStates, framesAreHorizontal, targetScale);
}

IBitmap ICanvas::LoadBitmap(const char* name, const void* data, int dataSize, int nStates, bool framesAreHorizontal,
                            int targetScale) {
  // The name is the cache key: without one, two bitmaps would be taken for each other.
  if (name == nullptr || name[0] == '\0' || data == nullptr || dataSize <= 0) return {};
  if (targetScale == 0) targetScale = screenTargetScale(mScreenScale);

  const StaticStorage<APIBitmap>::Accessor lock(sBitmapCache);
  if (APIBitmap* cached = sBitmapCache.Find(name, targetScale)) return IBitmap(cached, nStates, framesAreHorizontal, name);
  if (!BitmapExtSupported(bitmapExt(name))) return {};

  int sourceScale = 0;
  APIBitmap* source = SearchBitmapInCache(name, targetScale, sourceScale);
  if (source == nullptr) source = adoptDecoded(LoadAPIBitmap(name, data, dataSize, 1), name);
  if (source == nullptr) return {};
  return bitmapAtScale(source, name, nStates, framesAreHorizontal, targetScale);
}

IBitmap ICanvas::ScaleBitmap(const IBitmap& in, const char* name, int targetScale) {
  const float drawScale = in.GetDrawScale();
  if (!in.IsValid() || targetScale < 1 || !(drawScale > 0.f) || !std::isfinite(drawScale)) return {};

  // The copy is drawn at the target's scales, set only while its layer is on top: the pop
  // begins the caller's frame (the window's or an outer layer's) again at the caller's
  // scales, so a load in the middle of a frame leaves its scales, transform and clip as
  // they were.
  const float screenScale = mScreenScale, ownDrawScale = mDrawScale;
  const float s = static_cast<float>(targetScale) * drawScale;
  const IRECT bounds = IRECT(0.f, 0.f, static_cast<float>(in.W()) / drawScale, static_cast<float>(in.H()) / drawScale)
                           .GetPixelAligned(s);
  IBitmap result;
  int w = 0, h = 0;
  APIBitmap* target =
      layerPixelSize(bounds, s, w, h) ? CreateAPIBitmap(w, h, static_cast<float>(targetScale), drawScale, true) : nullptr;
  if (target != nullptr) {
    // The layer lends its bitmap for the drawing; the cache keeps it afterwards.
    ILayer layer(target, bounds, nullptr, IRECT());
    if (target->GetBitmap() != nullptr) {
      const int depth = NLayers();
      const auto finish = [&] {
        mScreenScale = screenScale;
        mDrawScale = ownDrawScale;
        PopLayersTo(depth, false);
        PathTransformRestore();
      };
      PathTransformSave();
      try {
        mScreenScale = static_cast<float>(targetScale);
        mDrawScale = drawScale;
        PushLayer(&layer);
        DrawBitmap(in, bounds, 0, 0, nullptr);
      } catch (...) {
        finish();  // the layer lives on this stack: it never stays on the layer stack
        throw;
      }
      finish();
      result = IBitmap(layer.mBitmap.release(), in.N(), in.GetFramesAreHorizontal(), name);
      RetainBitmap(result, name);
    }
  }
  return result;
}

void ICanvas::RetainBitmap(const IBitmap& bitmap, const char* name) {
  if (bitmap.GetAPIBitmap() == nullptr) return;
  const StaticStorage<APIBitmap>::Accessor lock(sBitmapCache);
  sBitmapCache.Add(bitmap.GetAPIBitmap(), name, bitmap.GetAPIBitmap()->GetScale());
}

void ICanvas::ReleaseBitmap(const IBitmap& bitmap) {
  if (bitmap.GetAPIBitmap() == nullptr) return;
  const StaticStorage<APIBitmap>::Accessor lock(sBitmapCache);
  sBitmapCache.Remove(bitmap.GetAPIBitmap());
}

IBitmap ICanvas::GetScaledBitmap(const IBitmap& src) {
  return LoadBitmap(src.GetResourceName(), src.N(), src.GetFramesAreHorizontal(), screenTargetScale(mScreenScale));
}

// ---------------------------------------------------------------------------------------
// SVG images

ISVG ICanvas::LoadSVG(const char* name, const char* units, float dpi) {
  if (name == nullptr || name[0] == '\0') return ISVG();
  const StaticStorage<SVGHolder>::Accessor lock(sSVGCache);
  if (const SVGHolder* cached = sSVGCache.Find(name, 1.0)) return ISVG(cached->GetImage());
  // Short of memory the image is not loaded, as if the file were missing.
  try {
    const std::vector<uint8_t> text = LoadResource(name, "svg");
    if (text.empty()) return ISVG();
    return LoadSVG(name, text.data(), static_cast<int>(text.size()), units, dpi);
  } catch (const std::bad_alloc&) {
    return ISVG();
  }
}

ISVG ICanvas::LoadSVG(const char* name, const void* data, int dataSize, const char* units, float dpi) {
  // The name is the cache key: without one, two images would be taken for each other.
  if (name == nullptr || name[0] == '\0') return ISVG();
  const StaticStorage<SVGHolder>::Accessor lock(sSVGCache);
  if (const SVGHolder* cached = sSVGCache.Find(name, 1.0)) return ISVG(cached->GetImage());
  if (data == nullptr) return ISVG();

  // The reader works on a zero-terminated copy, which it may change. Short of memory
  // (the reader itself never throws), nothing is loaded and nothing cached.
  try {
    const char* text = static_cast<const char*>(data);
    const size_t length = dataSize > 0 ? strnlen(text, static_cast<size_t>(dataSize)) : std::strlen(text);
    std::vector<char> copy(text, text + length);
    copy.push_back('\0');
    std::unique_ptr<NSVGimage, void (*)(NSVGimage*)> image(nsvgParse(copy.data(), units != nullptr ? units : "px", dpi),
                                                           &nsvgDelete);
    if (image == nullptr) return ISVG();
    if (!(image->width > 0.f && image->height > 0.f) || !std::isfinite(image->width) || !std::isfinite(image->height))
      return ISVG();
    auto* holder = new SVGHolder(image.get(), &nsvgDelete);
    sSVGCache.Add(holder, name, 1.0);  // owns the holder even when it throws
    return ISVG(image.release());
  } catch (const std::bad_alloc&) {
    return ISVG();
  }
}

// ---------------------------------------------------------------------------------------
// Resource files and fonts

std::vector<uint8_t> ICanvas::LoadResource(const char* name, const char* type) {
  std::vector<uint8_t> bytes;
  StringBuf path;
  if (LocateResource(name, type, path, GetBundleID(), nullptr, GetSharedResourcesSubPath()) == kNotFound) return bytes;
  ReadResourceFile(path.Get(), bytes);
  return bytes;
}

PlatformFontPtr ICanvas::LoadFontResource(const char* fileNameOrResID) {
  if (fileNameOrResID == nullptr || fileNameOrResID[0] == '\0') return nullptr;
  const char* dot = std::strrchr(fileNameOrResID, '.');
  std::vector<uint8_t> bytes = LoadResource(fileNameOrResID, dot != nullptr ? dot + 1 : "ttf");
  if (!looksLikeFont(bytes)) return nullptr;
  return std::make_unique<ResourceFont>(std::move(bytes));
}

}  // namespace plugkit::canvas
