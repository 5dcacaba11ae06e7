// The redraw loop: dirty rectangles of the dirty controls, then every control drawn
// against each optimised rectangle, clipped to it and to its containers.
#include <algorithm>
#include <cmath>

#include "graphics/Clock.h"
#include "graphics/ICanvas.h"
#include "graphics/IContainerBase.h"

namespace plugkit::canvas {

namespace {

// The area a control may draw into: its rectangle grown by 0.75 (anti-aliased outlines
// spill out), cut to each of its containers grown alike. Empty when nothing is left.
IRECT visibleArea(const IControl& control, float scale, bool align) {
  auto grown = [&](const IControl& c) {
    const IRECT r = c.GetRECT().GetPadded(0.75f);
    return align ? r.GetPixelAligned(scale) : r;
  };
  IRECT area = grown(control);
  for (const IContainerBase* p = control.GetParent(); p != nullptr; p = p->GetParent()) {
    const IRECT pr = grown(*p);
    if (!area.Intersects(pr)) return IRECT();
    area = area.Intersect(pr);
    if (area.Width() <= 0.f || area.Height() <= 0.f) return IRECT();
  }
  return area;
}

}  // namespace

bool ICanvas::IsDirty(IRECTList& rects) {
  if (mDisplayTickFunc) mDisplayTickFunc();
  ForAllControlsFunc([](IControl* c) { c->Animate(); });

  // A control partly outside its container only needs its visible part redrawn; one
  // wholly outside needs nothing.
  auto report = [&](IControl* c) {
    mReportedInScan.push_back(c);
    const IRECT r = visibleArea(*c, 1.f, false);
    if (!r.IsEmpty()) rects.Add(r);
  };
  mReportedInScan.clear();
  mMarkedInScan.clear();
  mInDirtyScan = true;
  bool dirty = false;
  ForAllControlsFunc([&](IControl* c) {
    if (!c->IsDirty()) return;
    dirty = true;
    report(c);
  });
  mInDirtyScan = false;

  // A control's IsDirty may mark others (a relayout of its neighbour). The caller cleans
  // every control after this scan, so a mark on a control the scan had passed would be
  // lost: it is drawn in this frame.
  for (IControl* c : mMarkedInScan) {
    if (c == nullptr || std::find(mReportedInScan.begin(), mReportedInScan.end(), c) != mReportedInScan.end())
      continue;
    dirty = true;
    report(c);
  }
  return dirty;
}

void ICanvas::Draw(IRECTList& rects) {
  if (rects.Size() == 0) return;
  const float scale = GetBackingPixelScale();
  BeginFrame();
  if (!mStrict) {
    rects.PixelAlign(scale);
    rects.Optimize();
    for (int i = 0; i < rects.Size(); ++i) {
      const IRECT r = rects.Get(i);
      ForAllControlsFunc([&](IControl* c) { DrawControl(c, r, scale); });
    }
  } else {
    const IRECT r = rects.Bounds().GetPixelAligned(scale);
    ForAllControlsFunc([&](IControl* c) { DrawControl(c, r, scale); });
  }
  EndFrame();
}

void ICanvas::Draw(const IRECT& bounds, float scale) {
  ForAllControlsFunc([&](IControl* c) { DrawControl(c, bounds, scale); });
}

void ICanvas::DrawControl(IControl* control, const IRECT& bounds, float scale) {
  if (control == nullptr) return;
  // A hidden background at index 0 still draws; other hidden controls do not.
  if (control->IsHidden() && control != GetControl(0)) return;

  const IRECT own = control->GetRECT().GetPadded(0.75f).GetPixelAligned(scale);
  IRECT clip = bounds.Intersect(own);
  if (clip.Width() <= 0.f || clip.Height() <= 0.f) return;
  // Cut (never slide) the clip to every container, so it stays inside the pass rectangle.
  for (const IContainerBase* p = control->GetParent(); p != nullptr; p = p->GetParent()) {
    const IRECT pr = p->GetRECT().GetPadded(0.75f).GetPixelAligned(scale);
    if (!clip.Intersects(pr)) return;
    clip = clip.Intersect(pr);
    if (clip.Width() <= 0.f || clip.Height() <= 0.f) return;
  }

  PrepareRegion(clip);
  // A layer the control started (or resumed) and did not end goes, with its bitmap:
  // nothing else owns it, and the next control (or the next frame, when this Draw throws)
  // draws to the frame again.
  const int layers = NLayers();
  try {
    control->Draw(*this);
  } catch (...) {
    PopLayersTo(layers, true);
    throw;
  }
  PopLayersTo(layers, true);
  EndRegion(clip);
}

void ICanvas::PrepareRegion(const IRECT& r) {
  mTransformStack.clear();
  mTransform = IMatrix();
  PathTransformSetMatrix(mTransform);
  PathClear();
  SetClipRegion(r);
  mClipRECT = r;
}

void ICanvas::BeginFrame() {
  // Frame times are measured only for the frame-rate display, which this product never
  // attaches. The first frame after it was attached has no previous frame to measure from.
  if (mFPSDisplay == nullptr) return;
  static const double start = NowMs();
  const double now = (NowMs() - start) / 1000.0;
  if (mPrevTimestampKnown) mFPSDisplay->Update(static_cast<float>(now - mPrevTimestamp));
  mPrevTimestamp = now;
  mPrevTimestampKnown = true;
}

}  // namespace plugkit::canvas
