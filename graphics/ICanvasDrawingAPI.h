#pragma once
// The drawing backend's seam of the graphics context: the primitives every drawing
// operation of ICanvas is built from (paths, paints, clip, text, bitmaps, shadows, the
// drawing surface and backend fonts). The drawing class implements them; ICanvas inherits
// this interface and composes its shapes, transforms, text and SVG drawing from it.
//
// Main thread only, between BeginFrame and EndFrame for the drawing calls. Angles are in
// degrees: arcs start at 12 o'clock and grow clockwise on screen. Points are transformed by
// the current path transform when they are added. No primitive reports a failure: a
// backend that cannot draw something draws nothing; LoadAPIFont answers false.
#include "graphics/Fonts.h"
#include "graphics/Geometry.h"
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
};

}  // namespace plugkit::canvas
