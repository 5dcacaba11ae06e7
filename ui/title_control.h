#pragma once
// TitleControl: the panel's title line (the host track's label or the product name). It is
// a static text control whose text, when wider than the control, is cut by whole
// characters and ends in "…" (as the chips and the preset name are fitted), measured by
// the graphics context that draws it; the stored text stays whole. It never takes the mouse.
//
// Main thread only. Nothing here fails: a text too long for even one character shows "…".
#include <string>

#include "graphics/ITextControl.h"
#include "ui/palette.h"

namespace balance_panel {

class TitleControl : public plugkit::canvas::ITextControl {
public:
  TitleControl(const IRECT& bounds, const char* str, const IText& text);

  void Draw(ICanvas& g) override;

private:
  // The last fit: the text, the width and the backing scale it was fitted at, and what
  // was drawn.
  std::string mFitText;
  float mFitWidth = -1.f;
  float mFitScale = 0.f;
  std::string mFitResult;
};

}  // namespace balance_panel
