#pragma once
// A static line of text over a background colour. With set-bounds-from-string it resizes
// itself around its text, keeping its centre. It never takes the mouse.
#include "framework/StringBuf.h"
#include "graphics/Constants.h"
#include "graphics/IControl.h"

namespace plugkit::canvas {

class ITextControl : public IControl {
public:
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
               const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);

  void Draw(ICanvas& g) override;
  void OnInit() override;

  // Stores the text (nothing when it is the same) and redraws; re-centres when the control
  // sizes itself to its text.
  virtual void SetStr(const char* str);
  // printf-style, in the C locale, cut to at most maxLength bytes without splitting a
  // UTF-8 character. Does not re-centre.
  virtual void SetStrFmt(int maxLength, const char* format, ...) __attribute__((format(printf, 3, 4)));
  virtual void ClearStr() { SetStr(""); }
  // Both rectangles become the measured text box centred on the current centre. Needs
  // the graphics context; an empty text keeps the rectangles.
  void SetBoundsBasedOnStr();

  const char* GetStr() const { return mStr.Get(); }
  const IColor& GetBGColor() const { return mBGColor; }
  void SetBGColor(const IColor& color) {
    mBGColor = color;
    SetDirty(false);
  }
  bool GetSetBoundsBasedOnStr() const { return mSetBoundsBasedOnStr; }

protected:
  StringBuf mStr;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr;
};

}  // namespace plugkit::canvas
