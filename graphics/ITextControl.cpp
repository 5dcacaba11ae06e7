#include "graphics/ITextControl.h"

#include <cstdarg>
#include <cstring>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

// The length of text cut back so that it does not end inside a UTF-8 character.
int wholeCharacters(const char* text, int length) {
  int start = length;
  // The lead byte of the last character.
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return length;  // no lead byte: not UTF-8, keep the bytes
  const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
  int need = 1;
  if (lead >= 0xF0) need = 4;
  else if (lead >= 0xE0) need = 3;
  else if (lead >= 0xC0) need = 2;
  return length - (start - 1) < need ? start - 1 : length;
}

}  // namespace

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text, const IColor& bgColor,
                           bool setBoundsBasedOnStr)
    : IControl(bounds), mStr(str != nullptr ? str : ""), mBGColor(bgColor), mSetBoundsBasedOnStr(setBoundsBasedOnStr) {
  mText = text;
  mIgnoreMouse = true;
}

void ITextControl::OnInit() {
  if (mSetBoundsBasedOnStr) SetBoundsBasedOnStr();
}

void ITextControl::SetStr(const char* str) {
  if (str == nullptr) str = "";
  if (std::strcmp(str, mStr.Get()) == 0) return;
  mStr.Set(str);
  if (mSetBoundsBasedOnStr) SetBoundsBasedOnStr();
  SetDirty(false);
}

void ITextControl::SetStrFmt(int maxLength, const char* format, ...) {
  if (maxLength < 0) maxLength = 0;
  va_list args;
  va_start(args, format);
  mStr.SetFormattedV(maxLength, format != nullptr ? format : "", args);
  va_end(args);
  mStr.SetLen(wholeCharacters(mStr.Get(), mStr.GetLength()));
  SetDirty(false);
}

void ITextControl::SetBoundsBasedOnStr() {
  ICanvas* g = GetGraphics();
  if (g == nullptr) return;
  // Measured into a copy: an empty text leaves the copy, and so the rectangles, as they are.
  IRECT measured = mRECT;
  g->MeasureText(mText, mStr.Get(), measured);
  const float cx = mRECT.CentreX(), cy = mRECT.CentreY();
  const float hw = measured.Width() / 2.f, hh = measured.Height() / 2.f;
  SetBothRects(IRECT(cx - hw, cy - hh, cx + hw, cy + hh));
}

void ITextControl::Draw(ICanvas& g) {
  g.FillRect(mBGColor, mRECT, &mBlend);
  if (!mStr.Empty() && g.GetControlInTextEntry() != this) g.DrawText(mText, mStr.Get(), mRECT, &mBlend);
}

}  // namespace plugkit::canvas
