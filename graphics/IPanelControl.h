#pragma once
// A container that fills its bounds with a pattern: the editor background and the shaded
// areas of the panel. It never takes the mouse itself.
#include "graphics/IContainerBase.h"

namespace plugkit::canvas {

class IPanelControl : public IContainerBase {
public:
  IPanelControl(const IRECT& bounds, const IColor& color, bool drawFrame = false, AttachFunc attachFunc = nullptr,
                ResizeFunc resizeFunc = nullptr);
  IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame = false, AttachFunc attachFunc = nullptr,
                ResizeFunc resizeFunc = nullptr);

  // The bounds filled with the pattern; with a frame, a light-grey outline of width 1.
  void Draw(ICanvas& g) override;

  const IPattern& GetPattern() const { return mPattern; }
  void SetPattern(const IPattern& pattern) {
    mPattern = pattern;
    SetDirty(false);
  }
  bool GetDrawFrame() const { return mDrawFrame; }
  void SetDrawFrame(bool draw) {
    mDrawFrame = draw;
    SetDirty(false);
  }

private:
  IPattern mPattern;
  bool mDrawFrame;
};

}  // namespace plugkit::canvas
