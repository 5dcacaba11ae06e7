#include "ui/title_control.h"

#include <cmath>

#include "graphics/ICanvas.h"
#include "ui/panel_text.h"

namespace balance_panel {

TitleControl::TitleControl(const IRECT& bounds, const char* str, const IText& text)
    : ITextControl(bounds, str, text, plugkit::canvas::DEFAULT_BGCOLOR, false) {}

void TitleControl::Draw(ICanvas& g) {
  g.FillRect(mBGColor, mRECT, &mBlend);
  if (mStr.Empty() || g.GetControlInTextEntry() == this) return;
  const float width = mRECT.W(), scale = g.GetBackingPixelScale();
  if (mStr.Get() != mFitText || std::fabs(width - mFitWidth) >= 0.01f || scale != mFitScale) {
    mFitText = mStr.Get();
    mFitWidth = width;
    mFitScale = scale;
    mFitResult = fitWithEllipsis(g, mText, mFitText, width);
  }
  g.DrawText(mText, mFitResult.c_str(), mRECT, &mBlend);
}

}  // namespace balance_panel
