#pragma once
// The native text field of the editor view: the field (its insertion point takes the text
// colour), the cell that centres the text vertically, and the formatter that filters what
// may be typed (a character set by the parameter's type, a length). Main thread only.
#include <string>

#include "platform/mac/PromptRules.h"
#include "shims/apple/appkit/AppKit.h"

class ICanvasTextField_vSpectraPoise_vst3 : public NSTextField {
public:
  using NSTextField::NSTextField;
  bool becomeFirstResponder() override;
};

class ICanvasTextFieldCell_vSpectraPoise_vst3 : public NSTextFieldCell {
public:
  using NSTextFieldCell::NSTextFieldCell;
  // The text's rectangle centred vertically in rect (the whole rect while the field editor
  // is being placed).
  NSRect drawingRectForBounds(NSRect rect) override;
  // The field editor sits where the text is drawn.
  void selectWithFrame(NSRect rect, NSView* controlView, NSTextView* editor, NSObject* delegate, NSInteger selStart,
                       NSInteger selLength) override;
  void editWithFrame(NSRect rect, NSView* controlView, NSTextView* editor, NSObject* delegate,
                     NSEvent* event) override;

private:
  bool mIsEditingOrSelecting = false;
};

class ICanvasFormatter_vSpectraPoise_vst3 : public NSFormatter {
public:
  explicit ICanvasFormatter_vSpectraPoise_vst3(const plugkit::canvas::FieldFilter& filter) : mFilter(filter) {}
  void setAcceptableCharacterSet(const std::u16string& characters) {
    mFilter.hasCharacterSet = true;
    mFilter.characterSet = characters;
  }
  void setMaximumLength(int length) { mFilter.maxLength = length; }
  void setMaximumValue(int value) { mFilter.maxValue = value; }
  const plugkit::canvas::FieldFilter& filter() const { return mFilter; }
  bool isPartialStringValid(const std::u16string& partialString, std::u16string* newEditingString,
                            std::string* error) override;

private:
  plugkit::canvas::FieldFilter mFilter;
};
