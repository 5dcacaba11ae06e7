// Text layout, measuring and drawing on NanoVG's font stash, and font registration from the
// process-wide cache of font bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

// The font stash keeps 63 bytes of a name: a longer ID would be registered cut and never
// found again.
constexpr size_t kMaxFontIDLength = 63;
constexpr int kRowsPerBatch = 3;
// The largest glyph size, in device pixels, that the font stash is asked for: its glyph
// records keep sizes and advances (times ten) and offsets in 16 bits, and a checked font's
// advances stay within kMaxMetricRatio line heights (graphics/FontInfo.h).
constexpr float kMaxStashSize = 800.f;
static_assert(kMaxStashSize * kMaxMetricRatio * 10.f < 32767.f);
// NanoVG scales glyphs by the transform's average scale, at most this much.
constexpr float kMaxFontTransformScale = 4.f;

// The text's size, kept to what the stash can hold at the current transform and device
// ratio: 0 for a size that is not a number, a negative one or one below nothing.
float stashSafeSize(NVGcontext* vg, float size, float deviceRatio) {
  if (!(size > 0.f)) return 0.f;
  float t[6];
  nvgCurrentTransform(vg, t);
  float scale = 0.5f * (std::sqrt(t[0] * t[0] + t[1] * t[1]) + std::sqrt(t[2] * t[2] + t[3] * t[3]));
  scale = std::isfinite(scale) ? std::min(scale + 0.01f, kMaxFontTransformScale) : kMaxFontTransformScale;
  const float ratio = std::isfinite(deviceRatio) ? std::max(deviceRatio, 1.f) : 1.f;
  const float limit = kMaxStashSize / (std::max(scale, 1e-3f) * ratio);
  return std::min(size, limit);
}

// The text's size and face in the context.
void setFont(NVGcontext* vg, const IText& text, float deviceRatio) {
  nvgFontSize(vg, stashSafeSize(vg, text.size, deviceRatio));
  nvgFontFace(vg, text.font);
}

int horizontalAlign(const IText& text, const IRECT& r, double& x) {
  switch (text.align) {
    case ETextHAlign::Centre: x = r.CentreX(); return NVG_ALIGN_CENTER;
    case ETextHAlign::Right: x = r.R; return NVG_ALIGN_RIGHT;
    default: x = r.L; return NVG_ALIGN_LEFT;
  }
}

// Never the baseline: top, middle or bottom of the line box.
int verticalAlign(const IText& text, const IRECT& r, double& y, float& factor) {
  switch (text.valign) {
    case ETextVAlign::Middle: y = r.CentreY(); factor = 0.5f; return NVG_ALIGN_MIDDLE;
    case ETextVAlign::Bottom: y = r.B; factor = 1.f; return NVG_ALIGN_BOTTOM;
    default: y = r.T; factor = 0.f; return NVG_ALIGN_TOP;
  }
}

// Calls draw(row, index) for every row of str broken at width, in order; answers the count.
// Each batch continues from the last row's next character, so trailing newlines end too.
template <class Draw>
int forEachRow(NVGcontext* vg, const char* str, float width, Draw draw) {
  const char* start = str;
  const char* end = str + std::strlen(str);
  NVGtextRow rows[kRowsPerBatch];
  int count = 0;
  for (;;) {
    const int n = nvgTextBreakLines(vg, start, end, width, rows, kRowsPerBatch);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) draw(rows[i], count++);
    const char* next = rows[n - 1].next;
    if (next == nullptr || next <= start) break;  // no progress: stop rather than loop
    start = next;
  }
  return count;
}

// Outside a frame NanoVG keeps the state the last frame left (the view pass's identity
// transform and pixel ratio), and glyph advances round to the size the glyphs are
// rasterised at: text measured there would not match text measured while drawing at another
// draw or screen scale. Such a measurement runs in a frame of its own, cancelled after it,
// with the pixel ratio and the draw scale of a drawing frame.
class MeasuringFrame {
public:
  MeasuringFrame(NVGcontext* vg, bool inFrame, float width, float height, float screenScale, float drawScale)
      : mVG(inFrame ? nullptr : vg) {
    if (mVG == nullptr) return;
    nvgBeginFrame(mVG, width, height, screenScale);
    nvgScale(mVG, drawScale, drawScale);
  }
  ~MeasuringFrame() {
    if (mVG != nullptr) nvgCancelFrame(mVG);
  }
  MeasuringFrame(const MeasuringFrame&) = delete;
  MeasuringFrame& operator=(const MeasuringFrame&) = delete;

private:
  NVGcontext* mVG;
};

}  // namespace

void ICanvasNanoVG::PrepareAndMeasureText(const IText& text, const char* str, IRECT& r, double& x, double& y) const {
  nvgFontBlur(mVG, 0.f);
  setFont(mVG, text, GetScreenScale());
  float factor = 0.f;
  const int align = horizontalAlign(text, r, x) | verticalAlign(text, r, y, factor);
  nvgTextAlign(mVG, align);
  // An unknown font leaves the bounds unwritten: a box of no size at the anchor.
  float b[4] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(x), static_cast<float>(y)};
  nvgTextBounds(mVG, static_cast<float>(x), static_cast<float>(y), str, nullptr, b);
  r = IRECT(b[0], b[1], b[2], b[3]);
}

float ICanvasNanoVG::DoMeasureText(const IText& text, const char* str, IRECT& bounds) const {
  if (mVG == nullptr || str == nullptr) return 0.f;
  const MeasuringFrame frame(mVG, mInDraw, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()),
                             GetScreenScale(), GetDrawScale());
  const IRECT r = bounds;
  double x = 0.0, y = 0.0;
  PrepareAndMeasureText(text, str, bounds, x, y);
  DoMeasureTextRotation(text, r, bounds);
  return bounds.Width();
}

float ICanvasNanoVG::MeasureTextAdvance(const IText& text, const char* str) const {
  if (mVG == nullptr || str == nullptr || str[0] == '\0') return 0.f;
  const MeasuringFrame frame(mVG, mInDraw, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()),
                             GetScreenScale(), GetDrawScale());
  nvgFontBlur(mVG, 0.f);
  setFont(mVG, text, GetScreenScale());
  nvgTextAlign(mVG, NVG_ALIGN_LEFT | NVG_ALIGN_BASELINE);
  return nvgTextBounds(mVG, 0.f, 0.f, str, nullptr, nullptr);
}

void ICanvasNanoVG::DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (mVG == nullptr || str == nullptr) return;
  IRECT measured = bounds;
  double x = 0.0, y = 0.0;
  PrepareAndMeasureText(text, str, measured, x, y);
  if (!std::isfinite(x) || !std::isfinite(y)) return;  // an anchor that is not a number draws nothing
  PathTransformSave();
  if (text.angle != 0.f && std::isfinite(text.angle)) {
    double tx = 0.0, ty = 0.0;
    CalculateTextRotation(text, bounds, measured, tx, ty);
    PathTransformTranslate(static_cast<float>(tx), static_cast<float>(ty));
    PathTransformRotate(text.angle);
  }
  nvgFillColor(mVG, NanoVGColor(text.color, blend));
  NanoVGSetBlendMode(mVG, blend);
  nvgText(mVG, static_cast<float>(x), static_cast<float>(y), str, nullptr);
  nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
  PathTransformRestore();
}

void ICanvasNanoVG::DrawMultiLineText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (mVG == nullptr || str == nullptr) return;
  nvgSave(mVG);
  setFont(mVG, text, GetScreenScale());
  double x = 0.0, y = 0.0;
  float factor = 0.f;
  nvgTextAlign(mVG, horizontalAlign(text, bounds, x) | verticalAlign(text, bounds, y, factor));
  float lineHeight = 0.f;
  nvgTextMetrics(mVG, nullptr, nullptr, &lineHeight);
  nvgFillColor(mVG, NanoVGColor(text.color, blend));

  const float width = bounds.Width();
  const int n = forEachRow(mVG, str, width, [](const NVGtextRow&, int) {});
  const double top = y - static_cast<double>(n) * lineHeight * factor;
  forEachRow(mVG, str, width, [&](const NVGtextRow& row, int k) {
    nvgText(mVG, static_cast<float>(x), static_cast<float>(top + k * static_cast<double>(lineHeight)), row.start,
            row.end);
  });
  nvgRestore(mVG);
}

bool ICanvasNanoVG::LoadAPIFont(const char* fontID, const PlatformFontPtr& font) {
  if (fontID == nullptr || fontID[0] == '\0' || std::strlen(fontID) > kMaxFontIDLength || mVG == nullptr)
    return false;
  StaticStorage<IFontData>::Accessor fonts(sFontCache);
  if (IFontData* cached = sFontCache.Find(fontID, 1.0)) {
    // Registered in this context already (a rebuilt panel loads its fonts again).
    if (nvgFindFont(mVG, fontID) != -1) return true;
    // NanoVG does not copy the bytes, and must not free them: the cache owns them.
    return nvgCreateFontMemAtIndex(mVG, fontID, const_cast<unsigned char*>(cached->Get()), cached->GetSize(),
                                   0 /* freeData */, cached->GetFaceIdx()) != -1;
  }
  if (!font) return false;
  std::unique_ptr<IFontData> data = font->GetFontData();
  if (!data) return false;
  if (!data->IsValid()) {
    // NanoVG's glyph reader trusts every offset in the bytes: a damaged font never reaches it.
    std::fprintf(stderr, "SpectraPoise: font \"%s\" refused: %s\n", fontID, data->Fault());
    return false;
  }
  const int id = nvgCreateFontMemAtIndex(mVG, fontID, const_cast<unsigned char*>(data->Get()), data->GetSize(),
                                         0 /* freeData */, data->GetFaceIdx());
  if (id == -1) return false;
  sFontCache.Add(data.release(), fontID, 1.0);
  return true;
}

}  // namespace plugkit::canvas
