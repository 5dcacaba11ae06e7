#include "platform/mac/ICanvasTextField.h"

#include "framework/ICanvasEditorDelegate.h"
#include "platform/mac/ICanvasMac.h"
#include "platform/mac/ICanvasView.h"

using namespace plugkit::canvas;
using plugkit::IParam;

bool ICanvasTextField_vSpectraPoise_vst3::becomeFirstResponder() {
  const bool accepted = NSTextField::becomeFirstResponder();
  if (accepted && NSTextView::respondsToSelector("setInsertionPointColor:") && currentEditor() != nullptr)
    currentEditor()->setInsertionPointColor(textColor());
  return accepted;
}

NSRect ICanvasTextFieldCell_vSpectraPoise_vst3::drawingRectForBounds(NSRect rect) {
  const NSRect r = NSTextFieldCell::drawingRectForBounds(rect);
  if (mIsEditingOrSelecting) return r;
  const ViewRect centred = CentredTextRect({r.origin.x, r.origin.y, r.size.width, r.size.height}, cellSize().height);
  return NSMakeRect(centred.x, centred.y, centred.w, centred.h);
}

void ICanvasTextFieldCell_vSpectraPoise_vst3::selectWithFrame(NSRect rect, NSView* controlView, NSTextView* editor,
                                                             NSObject* delegate, NSInteger selStart,
                                                             NSInteger selLength) {
  const NSRect centred = drawingRectForBounds(rect);
  mIsEditingOrSelecting = true;
  NSTextFieldCell::selectWithFrame(centred, controlView, editor, delegate, selStart, selLength);
  mIsEditingOrSelecting = false;
}

void ICanvasTextFieldCell_vSpectraPoise_vst3::editWithFrame(NSRect rect, NSView* controlView, NSTextView* editor,
                                                           NSObject* delegate, NSEvent* event) {
  const NSRect centred = drawingRectForBounds(rect);
  mIsEditingOrSelecting = true;
  NSTextFieldCell::editWithFrame(centred, controlView, editor, delegate, event);
  mIsEditingOrSelecting = false;
}

bool ICanvasFormatter_vSpectraPoise_vst3::isPartialStringValid(const std::u16string& partialString,
                                                               std::u16string*, std::string*) {
  return FieldAccepts(mFilter, partialString);
}

// ---- The view's text entry ----

void ICanvasView_vSpectraPoise_vst3::createTextEntry(int paramIdx, const IText& text, const char* str, int length,
                                                     NSRect bounds) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  if (mGraphics == nullptr) return;
  // One field at a time; a field whose request is no longer the context's (its control
  // went) gives way to the new one.
  if (mTextFieldView) {
    if (mGraphics->IsTextEntryLive(mTextEntryGeneration)) return;
    endUserInput();
  }
  mTextEntryGeneration = mGraphics->GetTextEntryGeneration();
  auto field = NSPtr<ICanvasTextField_vSpectraPoise_vst3>::adopt(new ICanvasTextField_vSpectraPoise_vst3(bounds));
  mTextFieldView = field;

  if (text.valign == ETextVAlign::Middle) {
    auto cell = NSPtr<ICanvasTextFieldCell_vSpectraPoise_vst3>::adopt(new ICanvasTextFieldCell_vSpectraPoise_vst3("textfield"));
    cell->setEditable(true);
    cell->setDrawsBackground(true);
    field->setCell(cell.get());
  }

  // The font the editor registered for the text, at the matching point size; a font no
  // one registered shows in the system font.
  const float drawScale = mGraphics->GetDrawScale();
  if (CoreTextFontDescriptor* cached = CoreTextHelpers::GetCTFontDescriptor(text, ICanvasMac::sFontDescriptorCache))
    field->setFont(NSFont::fontWithDescriptor(cached->GetDescriptor(),
                                              FieldFontSize(text.size, drawScale, cached->GetEMRatio()))
                       .get());
  else
    field->setFont(NSFont::systemFontOfSize(FieldFontSize(text.size, drawScale, 1.0)).get());

  switch (text.align) {
    case ETextHAlign::Left: field->setAlignment(NSTextAlignmentLeft); break;
    case ETextHAlign::Centre: field->setAlignment(NSTextAlignmentCenter); break;
    case ETextHAlign::Right: field->setAlignment(NSTextAlignmentRight); break;
  }

  // A parameter's field takes the characters of its type; every field keeps its length.
  const IParam* param = paramIdx >= 0 && mGraphics->GetDelegate() != nullptr ? mGraphics->GetDelegate()->GetParam(paramIdx)
                                                                              : nullptr;
  const FieldFilter filter = FieldFilterFor(param != nullptr, param != nullptr ? param->Type() : 0, length);
  if (filter.hasCharacterSet || filter.maxLength > 0)
    field->setFormatter(NSPtr<ICanvasFormatter_vSpectraPoise_vst3>::adopt(new ICanvasFormatter_vSpectraPoise_vst3(filter)).get());

  field->cell()->setLineBreakMode(NSLineBreakByTruncatingTail);
  field->setAllowsEditingTextAttributes(false);
  double r = 0, g = 0, b = 0, a = 0;
  ColorComponents(text.entryColor, r, g, b, a);
  field->setTextColor(NSColor::colorWithDeviceRed(r, g, b, a).get());
  ColorComponents(text.entryBackground, r, g, b, a);
  field->setBackgroundColor(NSColor::colorWithDeviceRed(r, g, b, a).get());
  field->setStringValue(str != nullptr ? str : "");
  field->setBordered(false);
  field->setFocusRingType(NSFocusRingTypeNone);
  field->setDelegate(this);

  addSubview(field.get());
  if (NSWindow* w = window()) {
    w->makeKeyAndOrderFront();
    w->makeFirstResponder(field.get());
  }
}

void ICanvasView_vSpectraPoise_vst3::controlTextDidEndEditing(const NSNotification&) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  const NSPtr<ICanvasTextField_vSpectraPoise_vst3> committing = mTextFieldView;
  if (!committing) return;
  if (mGraphics != nullptr && mGraphics->IsTextEntryLive(mTextEntryGeneration)) {
    const std::string text = committing->stringValue();
    mGraphics->SetControlValueAfterTextEdit(text.c_str());
    // The answer may have closed the editor (the view was detached) or opened the next
    // field (which then replaced this one).
    if (mGraphics != nullptr) mGraphics->SetAllControlsDirty();
  }
  if (mTextFieldView.get() == committing.get()) endUserInput();
}

void ICanvasView_vSpectraPoise_vst3::endUserInput() {
  if (!mTextFieldView) return;
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  NSPtr<ICanvasTextField_vSpectraPoise_vst3> field = std::move(mTextFieldView);
  field->setDelegate(nullptr);  // the removal below commits nothing
  field->removeFromSuperview();
  if (NSWindow* w = window()) w->makeFirstResponder(this);
  if (mGraphics != nullptr && mGraphics->IsTextEntryLive(mTextEntryGeneration)) mGraphics->ClearInTextEntryControl();
}
