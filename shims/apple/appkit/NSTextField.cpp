#include "shims/apple/appkit/NSTextField.h"

#include <cmath>

#include "shims/apple/appkit/NSApplication.h"
#include "shims/apple/corefoundation/Dispatch.h"
#include "shims/vst3sdk/utf_convert.h"

std::u16string NSStringFromUTF8(const std::string& utf8) {
  std::u16string out(utf8.size() + 1, u'\0');  // never more units than bytes
  out.resize(vst3shim::utf8ToUtf16(utf8.data(), utf8.size(), out.data(), out.size()));
  return out;
}

std::string NSStringToUTF8(const std::u16string& utf16) { return vst3shim::utf16ToUtf8(utf16.data(), utf16.size()); }

// ---- Colours and fonts ----

NSPtr<NSColor> NSColor::colorWithDeviceRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  return NSPtr<NSColor>::adopt(new NSColor(red, green, blue, alpha));
}

NSPtr<NSFont> NSFont::fontWithDescriptor(CTFontDescriptorRef descriptor, CGFloat size) {
  if (descriptor == nullptr) return {};
  CFRetain(descriptor);
  return NSPtr<NSFont>::adopt(new NSFont(descriptor, size));
}

NSPtr<NSFont> NSFont::systemFontOfSize(CGFloat size) { return NSPtr<NSFont>::adopt(new NSFont(nullptr, size)); }

NSFont::~NSFont() { CFRelease(mDescriptor); }

NSPtr<NSCharacterSet> NSCharacterSet::characterSetWithCharactersInString(const std::u16string& characters) {
  return NSPtr<NSCharacterSet>::adopt(new NSCharacterSet(characters));
}

// ---- Cells ----

NSTextFieldCell::NSTextFieldCell(const std::string& initial) : text(NSStringFromUTF8(initial)) {}

NSSize NSTextFieldCell::cellSize() const {
  const CGFloat size = mFont ? mFont->pointSize() : 13.0;
  return {std::ceil(0.6 * size * static_cast<CGFloat>(text.size())), std::ceil(1.25 * size)};
}

void NSTextFieldCell::selectWithFrame(NSRect rect, NSView*, NSTextView* editor, NSObject*, NSInteger, NSInteger) {
  if (editor != nullptr) editor->setFrame(rect);
}

void NSTextFieldCell::editWithFrame(NSRect rect, NSView*, NSTextView* editor, NSObject*, NSEvent*) {
  if (editor != nullptr) editor->setFrame(rect);
}

// ---- Text fields ----

NSTextField::NSTextField(NSRect frame)
    : NSView(frame), mCell(NSPtr<NSTextFieldCell>::adopt(new NSTextFieldCell(""))),
      mEditor(NSPtr<NSTextView>::adopt(new NSTextView())) {
  mCell->setEditable(true);
}

void NSTextField::setCell(NSTextFieldCell* cell) {
  if (cell == nullptr) return;
  NSPtr<NSTextFieldCell> next = NSPtr<NSTextFieldCell>::retain(cell);
  next->text = mCell->text;
  if (next->font() == nullptr) next->setFont(mCell->font());
  mCell = next;
}

std::string NSTextField::stringValue() const { return NSStringToUTF8(mCell->text); }

void NSTextField::setStringValue(const std::string& utf8) { mCell->text = NSStringFromUTF8(utf8); }

bool NSTextField::becomeFirstResponder() {
  NSPtr<NSTextField> hold = NSPtr<NSTextField>::retain(this);
  mEditing = true;
  mCell->selectWithFrame(bounds(), this, mEditor.get(), this, 0, static_cast<NSInteger>(mCell->text.size()));

  uiscript::Script& script = NSApp->script();
  uiscript::ShownTextEntry shown{};
  shown.paramIdx = -1;
  shown.text.size = font() != nullptr ? static_cast<float>(font()->pointSize()) : 13.f;
  shown.bounds = plugkit::canvas::IRECT(static_cast<float>(frame().origin.x), static_cast<float>(frame().origin.y),
                                        static_cast<float>(frame().origin.x + frame().size.width),
                                        static_cast<float>(frame().origin.y + frame().size.height));
  shown.length = 0;
  shown.initial = stringValue();
  script.textEntries.push_back(shown);
  const size_t entry = script.textEntries.size();

  const std::optional<uiscript::Script::TextAnswer> answer = script.takeText();
  if (!answer) {
    script.fail("unscripted text entry (initial text \"" + shown.initial + "\")");
    return true;
  }
  switch (answer->kind) {
    case uiscript::Script::TextAnswer::LeaveOpen: break;
    case uiscript::Script::TextAnswer::Dismiss:
      script.fail("a native text field is not dismissed by the user: script leaveTextOpen and close it in the "
                  "editor");
      break;
    case uiscript::Script::TextAnswer::Commit: {
      // Typed and committed on the next turn, while this field is still being edited.
      NSPtr<NSTextField> self = NSPtr<NSTextField>::retain(this);
      const std::string text = answer->text;
      dispatch_async(dispatch_get_main_queue(), [self, text, entry] {
        if (!self->isEditing() || self->window() == nullptr) return;
        // The field opens with its text selected: the typing replaces it.
        self->mCell->text.clear();
        self->typeText(text);
        uiscript::Script& s = NSApp->script();
        if (s.textEntries.size() >= entry) {
          s.textEntries[entry - 1].committed = true;
          s.textEntries[entry - 1].delivered = self->stringValue();
        }
        self->endEditing();
      });
      break;
    }
  }
  return true;
}

bool NSTextField::resignFirstResponder() {
  if (mEditing) endEditing();
  return true;
}

bool NSTextField::tryEdit(const std::u16string& proposed) {
  if (mFormatter) {
    std::u16string replacement;
    std::string error;
    if (!mFormatter->isPartialStringValid(proposed, &replacement, &error)) return false;
  }
  mCell->text = proposed;
  return true;
}

int NSTextField::typeText(const std::u16string& units) {
  int taken = 0;
  for (char16_t unit : units) taken += tryEdit(mCell->text + unit) ? 1 : 0;
  return taken;
}

void NSTextField::keyDown(NSEvent* event) {
  if (event == nullptr || !mEditing) return;
  const std::u16string& chars = event->charactersIgnoringModifiers;
  if (event->keyCode == 36 || event->keyCode == 76 || event->keyCode == 48 || chars == u"\r" || chars == u"\t") {
    endEditing();
    return;
  }
  typeText(chars);
}

int NSTextField::typeText(const std::string& utf8) { return typeText(NSStringFromUTF8(utf8)); }

bool NSTextField::paste(const std::string& utf8) { return tryEdit(mCell->text + NSStringFromUTF8(utf8)); }

void NSTextField::endEditing() {
  if (!mEditing) return;
  NSPtr<NSTextField> hold = NSPtr<NSTextField>::retain(this);
  mEditing = false;
  if (NSTextFieldDelegate* delegate = mDelegate) delegate->controlTextDidEndEditing({"NSControlTextDidEndEditingNotification", this});
}
