#pragma once
// The records behind bitmap and SVG handles: a backend bitmap (subclassed by the drawing
// backend) and the holder of one parsed SVG image.
#include <memory>
#include <string>

#include "graphics/svg/nanosvg.h"

namespace plugkit::canvas {

// A bitmap of the drawing backend: its handle, size in device pixels, the screen scale
// the pixels were made for and the draw scale.
class APIBitmap {
public:
  APIBitmap() = default;
  APIBitmap(void* handle, int width, int height, float scale, float drawScale)
      : mBitmap(handle), mWidth(width), mHeight(height), mScale(scale), mDrawScale(drawScale) {}
  virtual ~APIBitmap() = default;
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  void SetBitmap(void* handle, int width, int height, float scale, float drawScale) {
    mBitmap = handle;
    mWidth = width;
    mHeight = height;
    mScale = scale;
    mDrawScale = drawScale;
  }
  void* GetBitmap() const { return mBitmap; }
  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }
  float GetScale() const { return mScale; }
  float GetDrawScale() const { return mDrawScale; }

private:
  void* mBitmap = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  float mScale = 0.f;
  float mDrawScale = 1.f;
};

// Owns one parsed SVG image; the loader hands over the function that frees it.
class SVGHolder {
public:
  using Deleter = void (*)(NSVGimage*);
  SVGHolder(NSVGimage* image, Deleter deleter) : mImage(image, deleter) {}
  NSVGimage* GetImage() const { return mImage.get(); }

private:
  std::unique_ptr<NSVGimage, Deleter> mImage;
};

// A bitmap handed to controls: the backend bitmap (not owned; the caches own it), its
// logical size (pixels divided by the bitmap's scale, truncated), the number of frames,
// whether the frames sit side by side, and the resource name. An empty IBitmap has no
// backend bitmap.
class IBitmap {
public:
  IBitmap() = default;
  IBitmap(APIBitmap* bitmap, int nStates, bool framesAreHorizontal, const char* name = "")
      : mBitmap(bitmap), mN(nStates), mFramesAreHorizontal(framesAreHorizontal), mName(name != nullptr ? name : "") {
    if (bitmap != nullptr && bitmap->GetScale() > 0.f) {
      mW = static_cast<int>(static_cast<float>(bitmap->GetWidth()) / bitmap->GetScale());
      mH = static_cast<int>(static_cast<float>(bitmap->GetHeight()) / bitmap->GetScale());
    }
  }

  APIBitmap* GetAPIBitmap() const { return mBitmap; }
  bool IsValid() const { return mBitmap != nullptr; }
  int W() const { return mW; }
  int H() const { return mH; }
  int N() const { return mN; }
  // The size of one frame.
  int FW() const { return mFramesAreHorizontal && mN > 1 ? mW / mN : mW; }
  int FH() const { return !mFramesAreHorizontal && mN > 1 ? mH / mN : mH; }
  bool GetFramesAreHorizontal() const { return mFramesAreHorizontal; }
  float GetScale() const { return mBitmap != nullptr ? mBitmap->GetScale() : 0.f; }
  float GetDrawScale() const { return mBitmap != nullptr ? mBitmap->GetDrawScale() : 0.f; }
  const char* GetResourceName() const { return mName.c_str(); }

private:
  APIBitmap* mBitmap = nullptr;
  int mW = 0;
  int mH = 0;
  int mN = 0;
  bool mFramesAreHorizontal = false;
  std::string mName;
};

// A parsed SVG image handed to controls (owned by the SVG cache); null when loading failed.
struct ISVG {
  explicit ISVG(NSVGimage* image = nullptr) : mImage(image) {}
  bool IsValid() const { return mImage != nullptr; }
  float W() const { return mImage != nullptr ? mImage->width : 0.f; }
  float H() const { return mImage != nullptr ? mImage->height : 0.f; }

  NSVGimage* mImage = nullptr;
};

}  // namespace plugkit::canvas
