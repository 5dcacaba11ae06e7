#pragma once
// An ordered list of rectangles: the dirty areas of one frame. Optimize reduces the list
// to rectangles that cover exactly the same area and overlap nowhere.
#include <vector>

#include "graphics/Geometry.h"

namespace plugkit::canvas {

class IRECTList {
public:
  IRECTList() { mRects.reserve(256); }

  int Size() const { return static_cast<int>(mRects.size()); }
  void Add(const IRECT& r) { mRects.push_back(r); }
  void Set(int i, const IRECT& r) { mRects[static_cast<size_t>(i)] = r; }
  const IRECT& Get(int i) const { return mRects[static_cast<size_t>(i)]; }
  void Delete(int i) { mRects.erase(mRects.begin() + i); }
  void Clear() { mRects.clear(); }

  // The union of all entries (empty entries contribute nothing).
  IRECT Bounds() const;
  // Aligns every entry to device pixels at the scale.
  void PixelAlign(float scale);
  // Removes covered entries, cuts overlaps away and merges entries that share two edges
  // and touch. The covered area stays exactly the same.
  void Optimize();

  // True when either is empty, or when both share left and right edges and their vertical
  // ranges touch or overlap, or share top and bottom and their horizontal ranges do.
  // Edges are compared exactly.
  static bool Mergeable(const IRECT& a, const IRECT& b);

  // Replaces r, from which the corner n is taken away, by two rectangles: one appended to
  // the list and the one returned. Used when neither r nor the other rectangle is
  // mergeable with n.
  IRECT Split(IRECT r, const IRECT& n);

private:
  // Takes the strip n (full height or full width of the entry) away from entry i; a strip
  // in the middle leaves two parts, the second appended. Returns false when nothing of
  // the entry is left (the caller deletes it).
  bool cutStrip(int i, const IRECT& n);

  std::vector<IRECT> mRects;
};

}  // namespace plugkit::canvas
