#include "graphics/IRECTList.h"

namespace plugkit::canvas {

IRECT IRECTList::Bounds() const {
  IRECT u;
  for (const IRECT& r : mRects) u = u.Union(r);
  return u;
}

void IRECTList::PixelAlign(float scale) {
  for (IRECT& r : mRects) r.PixelAlign(scale);
}

bool IRECTList::Mergeable(const IRECT& a, const IRECT& b) {
  if (a.IsEmpty() || b.IsEmpty()) return true;
  if (a.L == b.L && a.R == b.R && ((b.T <= a.T && a.T <= b.B) || (a.T <= b.T && b.T <= a.B))) return true;
  if (a.T == b.T && a.B == b.B && ((b.L <= a.L && a.L <= b.R) || (a.L <= b.L && b.L <= a.R))) return true;
  return false;
}

IRECT IRECTList::Split(IRECT r, const IRECT& n) {
  if (r.L == n.L) {
    if (r.T == n.T) {
      Add(IRECT(n.R, r.T, r.R, n.B));
      return IRECT(r.L, n.B, r.R, r.B);
    }
    Add(IRECT(r.L, r.T, r.R, n.T));
    return IRECT(n.R, n.T, r.R, r.B);
  }
  if (r.T == n.T) {
    Add(IRECT(r.L, r.T, n.L, n.B));
    return IRECT(r.L, n.B, r.R, r.B);
  }
  Add(IRECT(r.L, r.T, r.R, n.T));
  return IRECT(r.L, n.T, n.L, r.B);
}

bool IRECTList::cutStrip(int i, const IRECT& n) {
  const IRECT r = Get(i);
  float lo1, hi1, lo2, hi2;  // the parts before and after the strip, along the cut axis
  const bool fullHeight = n.T == r.T && n.B == r.B;
  if (fullHeight) {
    lo1 = r.L, hi1 = n.L, lo2 = n.R, hi2 = r.R;
  } else {
    lo1 = r.T, hi1 = n.T, lo2 = n.B, hi2 = r.B;
  }
  const bool before = hi1 > lo1, after = hi2 > lo2;
  auto part = [&](float lo, float hi) {
    return fullHeight ? IRECT(lo, r.T, hi, r.B) : IRECT(r.L, lo, r.R, hi);
  };
  if (before && after) {
    // A strip strictly inside: keep one side here and append the other, so nothing of
    // the entry outside the strip is lost.
    Set(i, part(lo1, hi1));
    Add(part(lo2, hi2));
    return true;
  }
  if (before) {
    Set(i, part(lo1, hi1));
    return true;
  }
  if (after) {
    Set(i, part(lo2, hi2));
    return true;
  }
  return false;
}

void IRECTList::Optimize() {
  // Pass 1: no two entries overlap afterwards. The list may grow while it is walked, so
  // entries are read by index and the size is read again on every step.
  for (int i = 0; i < Size(); ++i) {
    for (int j = i + 1; j < Size();) {
      const IRECT ri = Get(i), rj = Get(j);
      if (ri.Contains(rj)) {
        Delete(j);
        continue;
      }
      if (rj.Contains(ri)) {
        Delete(i);
        j = i + 1;
        if (i >= Size()) break;
        continue;
      }
      if (ri.Intersects(rj)) {
        const IRECT n = ri.Intersect(rj);
        // Rectangles that only touch share no area; cutting by a line would only
        // fragment them (and could split the same pair forever).
        if (n.Width() > 0.f && n.Height() > 0.f) {
          if (Mergeable(ri, n)) {
            if (!cutStrip(i, n)) {
              Delete(i);
              j = i + 1;
              if (i >= Size()) break;
              continue;
            }
          } else if (Mergeable(rj, n)) {
            if (!cutStrip(j, n)) {
              Delete(j);
              continue;
            }
          } else if (rj.Area() <= ri.Area()) {
            const IRECT kept = Split(rj, n);
            Set(j, kept);
          } else {
            const IRECT kept = Split(ri, n);
            Set(i, kept);
          }
        }
      }
      ++j;
    }
  }

  // Pass 2: merge entries that share two edges and touch.
  for (int i = 0; i < Size();) {
    int found = -1;
    for (int j = i + 1; j < Size(); ++j) {
      if (Mergeable(Get(i), Get(j))) {
        found = j;
        break;
      }
    }
    if (found < 0) {
      ++i;
      continue;
    }
    Set(found, Get(i).Union(Get(found)));
    Delete(i);
    i = 0;
  }
}

}  // namespace plugkit::canvas
