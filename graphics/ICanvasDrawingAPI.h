#pragma once
// The drawing backend's seam of the graphics context: the primitives every drawing
// operation of ICanvas is built from (paths, paints, clip, text, bitmaps, shadows, the
// drawing surface and backend fonts). The drawing class implements them; ICanvas inherits
// this interface and composes its shapes, transforms, text and SVG drawing from it.
//
// Main thread only, between BeginFrame and EndFrame for the drawing calls. Angles are in
// degrees: arcs start at 12 o'clock and grow clockwise on screen. Points are transformed by
// the current path transform when they are added. No primitive reports a failure: a
// backend that cannot draw something draws nothing; LoadAPIFont answers false; the bitmap
// makers answer null. The bitmap and layer primitives may also run outside a frame (a
// bitmap is scaled when it is loaded).
#include "framework/Paths.h"
#include "graphics/Fonts.h"
#include "graphics/Geometry.h"
#include "graphics/Layer.h"
#include "graphics/Resources.h"
#include "graphics/Style.h"

namespace plugkit::canvas {

class ICanvasDrawingAPI {
public:
  virtual ~ICanvasDrawingAPI() = default;

  virtual void PathClear() = 0;
  virtual void PathClose() = 0;
  virtual void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = EWinding::CW) = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  // Winds the last sub-path: clockwise makes it a hole under the kept-windings fill rule.
  virtual void PathSetWinding(bool clockwise) = 0;
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) = 0;
  virtual void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = IStrokeOptions(),
                          const IBlend* blend = nullptr) = 0;
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                        const IBlend* blend = nullptr) = 0;
  virtual void PathTransformSetMatrix(const IMatrix& m) = 0;
  virtual void SetClipRegion(const IRECT& r) = 0;

  // Sets bounds to the text's extent (placed by its alignment inside bounds) and returns
  // its width.
  virtual float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const = 0;
  virtual void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) = 0;

  // Draws the part of the bitmap that starts at (srcX, srcY), at its natural size,
  // through dest.
  virtual void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                          const IBlend* blend = nullptr) = 0;
  // A soft box shadow of inner, offset by xyDrop, filling outer.
  virtual void DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop = 5.f,
                                  float roundness = 0.f, float blur = 10.f, const IBlend* blend = nullptr) = 0;

  // The surface follows a new size or scale.
  virtual void DrawResize() = 0;

  // Hands a font the platform found to the backend under fontID; false when the backend
  // cannot use it.
  virtual bool LoadAPIFont(const char* fontID, const PlatformFontPtr& font) = 0;

  // Bitmaps. The makers hand over a new bitmap that the caller owns (the graphics context
  // keeps it in its cache or a layer), or null when it cannot be made; a bitmap without
  // a handle counts as none. The backend keeps no cache of its own.

  // Whether files with this extension (without the dot, any case) can be decoded.
  virtual bool BitmapExtSupported(const char* ext) = 0;
  // Decodes the file found at path (where LocateResource found it) as a bitmap made for
  // the screen scale scale.
  virtual APIBitmap* LoadAPIBitmap(const char* path, int scale, EResourceLocation location, const char* ext) = 0;
  // Decodes a bitmap file held in memory (name only names it).
  virtual APIBitmap* LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale) = 0;
  // A transparent bitmap of width x height pixels to draw into (a layer's target).
  virtual APIBitmap* CreateAPIBitmap(int width, int height, float scale, float drawScale, bool cacheable = false) = 0;

  // Layers (the graphics context keeps the stack). Drawing goes to the top layer's bitmap
  // from now on, or to the frame when no layer is active; a top layer without a bitmap
  // takes drawing that goes nowhere.
  virtual void UpdateLayer() = 0;
  // The layer's pixels into data (4 bytes each, see AlphaChannel and FlippedBitmap), data
  // sized to match; data empty when they cannot be read.
  virtual void GetLayerBitmapData(const ILayer& layer, RawBitmapData& data) = 0;
  // Puts the shadow behind the layer's content: mask holds the layer's pixels with their
  // alpha blurred; the shadow's paint takes that alpha, offset by the shadow's offset.
  virtual void ApplyShadowMask(ILayer& layer, RawBitmapData& mask, const IShadow& shadow) = 0;
  // The byte of a read-back pixel that holds alpha (0..3), and whether read-back rows run
  // bottom to top.
  virtual int AlphaChannel() const = 0;
  virtual bool FlippedBitmap() const = 0;
};

}  // namespace plugkit::canvas
