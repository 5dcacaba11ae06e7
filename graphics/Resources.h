#pragma once
// The records behind bitmap and SVG handles: a backend bitmap (subclassed by the drawing
// backend) and the holder of one parsed SVG image.
#include <memory>

struct NSVGimage;

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

}  // namespace plugkit::canvas
