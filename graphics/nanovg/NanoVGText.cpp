// Text layout, measuring and drawing on NanoVG's font stash, and font registration from the
// process-wide cache of font bytes.
#include <cstring>

#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

// The font stash keeps 63 bytes of a name: a longer ID would be registered cut and never
// found again.
constexpr size_t kMaxFontIDLength = 63;
constexpr int kRowsPerBatch = 3;

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

}  // namespace

void ICanvasNanoVG::PrepareAndMeasureText(const IText& text, const char* str, IRECT& r, double& x, double& y) const {
  nvgFontBlur(mVG, 0.f);
  nvgFontSize(mVG, text.size);
  nvgFontFace(mVG, text.font);
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
  const IRECT r = bounds;
  double x = 0.0, y = 0.0;
  PrepareAndMeasureText(text, str, bounds, x, y);
  DoMeasureTextRotation(text, r, bounds);
  return bounds.Width();
}

float ICanvasNanoVG::MeasureTextAdvance(const IText& text, const char* str) const {
  if (mVG == nullptr || str == nullptr || str[0] == '\0') return 0.f;
  nvgFontBlur(mVG, 0.f);
  nvgFontSize(mVG, text.size);
  nvgFontFace(mVG, text.font);
  nvgTextAlign(mVG, NVG_ALIGN_LEFT | NVG_ALIGN_BASELINE);
  return nvgTextBounds(mVG, 0.f, 0.f, str, nullptr, nullptr);
}

void ICanvasNanoVG::DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (mVG == nullptr || str == nullptr) return;
  IRECT measured = bounds;
  double x = 0.0, y = 0.0;
  PrepareAndMeasureText(text, str, measured, x, y);
  PathTransformSave();
  if (text.angle != 0.f) {
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
  nvgFontSize(mVG, text.size);
  nvgFontFace(mVG, text.font);
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
  if (!data || !data->IsValid()) return false;
  const int id = nvgCreateFontMemAtIndex(mVG, fontID, const_cast<unsigned char*>(data->Get()), data->GetSize(),
                                         0 /* freeData */, data->GetFaceIdx());
  if (id == -1) return false;
  sFontCache.Add(data.release(), fontID, 1.0);
  return true;
}

}  // namespace plugkit::canvas
