#pragma once
// The drawing class of the editor: the graphics context's drawing primitives on NanoVG with
// the Metal renderer. Every frame is drawn into a persistent offscreen main framebuffer, which
// is then copied onto the view's drawable; only the dirty regions are redrawn into it. Paths,
// paints and blend modes map one to one onto NanoVG calls; bitmaps are NanoVG images kept in
// this object's own cache; layers are framebuffers; text goes through NanoVG's font stash, fed
// from a process-wide cache of font bytes.
//
// Abstract: the platform class derives from it and supplies the window, its Metal layer and
// the platform operations. It hands the layer over with OnViewInitialized once the view exists
// and calls OnViewDestroyed before the view goes. Bitmaps decoded or scaled here are kept in
// this object's own cache (NanoVG images belong to one context), never in the process-wide
// one. A layer's framebuffer belongs to the context too: layers kept by controls go with the
// controls, which are removed before the context; a layer kept elsewhere must go first.
//
// Thread: the main thread. The font cache is process-wide and guarded by its mutex (taken
// before the framebuffer mutex where both are needed). Failures are not reported: without a
// context, a framebuffer or a font, the drawing concerned draws nothing; LoadAPIFont answers
// false; a bitmap that cannot be loaded is an empty IBitmap.
#include <vector>

#include "framework/Mutex.h"
#include "graphics/ICanvas.h"
#include "render/metal/nanovg_mtl.h"

namespace plugkit::canvas {

class ICanvasNanoVG : public ICanvas {
public:
  // A bitmap of this backend: a NanoVG image, or a framebuffer whose image holds a layer.
  // Its handle is the image id (0 when there is none).
  class Bitmap : public APIBitmap {
  public:
    // A loaded image: size from NanoVG (0 x 0 for image 0). A shared image is never deleted.
    Bitmap(NVGcontext* vg, int image, float scale, bool sharedTexture);
    // A cleared framebuffer of width x height pixels. When the renderer refuses it, the
    // bitmap has no image and drawing into it or with it does nothing.
    Bitmap(ICanvasNanoVG* graphics, NVGcontext* vg, int width, int height, float scale, float drawScale);
    // An image made from RGBA pixels (rows top first, straight alpha).
    Bitmap(NVGcontext* vg, int width, int height, const unsigned char* rgba, float scale, float drawScale);
    ~Bitmap() override;

    int GetImage() const;
    MVGframebuffer* GetFBO() const { return mFBO; }

  private:
    ICanvasNanoVG* mGraphics = nullptr;
    NVGcontext* mVG = nullptr;
    MVGframebuffer* mFBO = nullptr;
    bool mSharedTexture = false;
  };

  ICanvasNanoVG(ICanvasEditorDelegate& dlg, int w, int h, int fps = 60, float scale = 1.f);
  ~ICanvasNanoVG() override;

  // ---- Frame and main framebuffer ----
  void BeginFrame() override;
  void EndFrame() override;
  // The view exists: makes the NanoVG context on its Metal layer (an mtl::MetalLayer*).
  virtual void OnViewInitialized(void* layer);
  // The view goes: removes every control, empties the bitmap cache and deletes the main
  // framebuffer and the context.
  virtual void OnViewDestroyed();
  // A new main framebuffer of the window's size in device pixels.
  void DrawResize() override;
  // Opaque black wherever asked: pixels are not read back here.
  virtual IColor GetPoint(int x, int y) { return IColor(255, 0, 0, 0); }
  virtual void* GetDrawContext() { return mVG; }
  virtual const char* GetDrawingAPIStr() { return "NanoVG | Metal"; }
  NVGcontext* GetContext() const { return mVG; }
  MVGframebuffer* GetMainFramebuffer() const { return mMainFBO; }
  bool InFrame() const { return mInDraw; }

  // ---- Paths, paints and blend modes ----
  // Points, arcs, stroke widths and matrices that are not finite, or points landing beyond
  // a billion device pixels, are dropped before NanoVG sees them.
  void PathClear() override;
  void PathClose() override;
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = EWinding::CW) override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathSetWinding(bool clockwise) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = IStrokeOptions(),
                  const IBlend* blend = nullptr) override;
  // Fill rule 1 winds the last sub-path as a hole (NanoVG has no even-odd rule): a path
  // made of one sub-path still fills.
  void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                const IBlend* blend = nullptr) override;
  // Scales by the draw scale and, inside a layer, moves the layer's top-left corner to 0, 0.
  void PathTransformSetMatrix(const IMatrix& m) override;
  void SetClipRegion(const IRECT& r) override;
  // Equal dashes and gaps as separate segments; nothing for a dash length that is not above
  // 0 or a line whose segment count is not finite.
  void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                      float thickness = 1.f, float dashLen = 2.f) override;
  void DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr, float thickness = 1.f,
                      float dashLen = 2.f) override;
  void DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop = 5.f,
                          float roundness = 0.f, float blur = 10.f, const IBlend* blend = nullptr) override;

  // ---- Bitmaps, framebuffers and layers ----
  // The part of the bitmap from (srcX, srcY) at its natural size through dest; nothing for
  // an empty bitmap or one without an image.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IBlend* blend = nullptr) override;
  using ICanvas::DrawBitmap;
  // True when the lower-cased extension contains "png", "jpg" or "jpeg".
  bool BitmapExtSupported(const char* ext) override;
  // The bitmap file of name for the target scale (0: the screen's, rounded up): the one
  // this object loaded before at the target scale or at the scale of the variant file
  // found, else the variant file decoded and kept under its own scale. Empty for an
  // unsupported extension, no file or a file that does not decode; nothing is kept then.
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false,
                     int targetScale = 0) override;
  // A bitmap file in memory, decoded once as made for scale 1 and kept under (name, 1); on
  // a screen of another scale a copy drawn at the target scale is kept under that scale.
  IBitmap LoadBitmap(const char* name, const void* data, int dataSize, int nStates = 1,
                     bool framesAreHorizontal = false, int targetScale = 0) override;
  // The bitmaps of this object belong to its own cache (a NanoVG image lives in one
  // context): a scaled copy is kept there, and released from there.
  void RetainBitmap(const IBitmap& bitmap, const char* name) override;
  void ReleaseBitmap(const IBitmap& bitmap) override;
  // Decoded (PNG or JPEG) and uploaded as a NanoVG image; null when the file cannot be read
  // or decoded, or there is no context.
  APIBitmap* LoadAPIBitmap(const char* path, int scale, EResourceLocation location, const char* ext) override;
  APIBitmap* LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale) override;
  // A cleared framebuffer; inside a frame the drawing so far is rendered first and the
  // frame goes on where it was (the top layer's framebuffer, else the main one).
  APIBitmap* CreateAPIBitmap(int width, int height, float scale, float drawScale, bool cacheable = false) override;
  // Ends the NanoVG frame of the current target and begins one on the new target: the top
  // layer's framebuffer at its bounds times the draw scale, else the main framebuffer. A
  // layer without a framebuffer takes its drawing nowhere (the frame is dropped).
  void UpdateLayer() override;
  // RGBA bytes, premultiplied, top row first.
  void GetLayerBitmapData(const ILayer& layer, RawBitmapData& data) override;
  void ApplyShadowMask(ILayer& layer, RawBitmapData& mask, const IShadow& shadow) override;
  int AlphaChannel() const override { return 3; }
  bool FlippedBitmap() const override { return false; }
  // The bitmaps this object loaded or kept (main thread; lock it for anything longer).
  const StaticStorage<APIBitmap>& GetBitmapCache() const { return mBitmapCache; }

  // ---- Text and fonts ----
  // Text sizes are kept to what the font stash holds (glyphs of at most 800 device pixels);
  // a size that is not above 0 draws nothing, and text at an anchor that is not finite is
  // dropped.
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override;
  // The pen's advance over the string from the glyph positions (a space advances though it
  // has no ink); 0 for an unknown face.
  float MeasureTextAdvance(const IText& text, const char* str) const override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) override;
  // Rows broken at the width of bounds, placed by the text's alignment.
  void DrawMultiLineText(const IText& text, const char* str, const IRECT& bounds,
                         const IBlend* blend = nullptr) override;
  // Registers the font's bytes in this context under fontID, from the process-wide cache
  // when another context registered them before. False for an ID of 64 bytes or more,
  // without a context, for data that is not valid (a damaged font is named on stderr with
  // its fault and never reaches NanoVG) or that NanoVG refuses.
  bool LoadAPIFont(const char* fontID, const PlatformFontPtr& font) override;

  // Font bytes by ID (at scale 1), shared by every context of the process: NanoVG keeps
  // pointers into them. Emptied when the last drawing object goes.
  static StaticStorage<IFontData> sFontCache;

protected:
  // Framebuffers released inside a frame wait until its end.
  void DeleteFBO(MVGframebuffer* fbo);
  void ClearFBOStack();

private:
  void destroyContext();
  // Ends the NanoVG frame of the current target: rendered, or dropped when the target takes
  // no drawing.
  void endTargetFrame();
  void beginMainFrame();
  // Begins a NanoVG frame on the current target: the top layer's framebuffer, else the main
  // one.
  void beginTargetFrame();
  // The text's font, size and alignment set in the context; r becomes the measured box and
  // (x, y) the anchor.
  void PrepareAndMeasureText(const IText& text, const char* str, IRECT& r, double& x, double& y) const;

  bool mInDraw = false;
  bool mDropFrame = false;  // the current target is a layer without a framebuffer
  Mutex mFBOMutex;
  std::vector<MVGframebuffer*> mFBOStack;
  StaticStorage<APIBitmap> mBitmapCache;
  NVGcontext* mVG = nullptr;
  MVGframebuffer* mMainFBO = nullptr;
};

// ---- Conversions to NanoVG (free functions) ----

// (R, G, B) / 255 and alpha A x weight / 255 (weight 1 without a blend); not clamped.
NVGcolor NanoVGColor(const IColor& color, const IBlend* blend = nullptr);
void NanoVGRect(NVGcontext* vg, const IRECT& r);
// The composite operation of the blend's method; an unknown method leaves it as it is.
void NanoVGSetBlendMode(NVGcontext* vg, const IBlend* blend);
// A gradient from the first to the last stop, placed by the inverse of the pattern's
// transform (the identity when that transform cannot be inverted).
NVGpaint NanoVGPaint(NVGcontext* vg, const IPattern& pattern, const IBlend* blend = nullptr);

}  // namespace plugkit::canvas
