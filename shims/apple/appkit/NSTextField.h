#pragma once
// The AppKit stand-in's text fields and what dresses them: colours, fonts, character sets,
// formatters, cells (the centring cell overrides their drawing rectangle) and the field
// editor. A field that becomes first responder starts editing and takes the script's text
// answer: a commit types the text unit by unit on the next turn of the main queue (each
// keystroke through the formatter, which may refuse it) and then ends editing as Return
// does; leaving it open waits for the test. Ending editing (Return, Tab, or the focus
// moving away) tells the delegate controlTextDidEndEditing. Main thread only.
#include <optional>
#include <string>

#include "shims/apple/appkit/AppKitFoundation.h"
#include "shims/apple/appkit/NSView.h"
#include "shims/apple/coretext/CoreText.h"

// ---- Colours and fonts ----

class NSColor : public NSObject {
public:
  static NSPtr<NSColor> colorWithDeviceRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  CGFloat redComponent() const { return mRed; }
  CGFloat greenComponent() const { return mGreen; }
  CGFloat blueComponent() const { return mBlue; }
  CGFloat alphaComponent() const { return mAlpha; }

private:
  NSColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a) : mRed(r), mGreen(g), mBlue(b), mAlpha(a) {}
  CGFloat mRed, mGreen, mBlue, mAlpha;
};

class NSFont : public NSObject {
public:
  // A font of the descriptor at a size (it keeps the descriptor); null without one.
  static NSPtr<NSFont> fontWithDescriptor(CTFontDescriptorRef descriptor, CGFloat size);
  static NSPtr<NSFont> systemFontOfSize(CGFloat size);
  CGFloat pointSize() const { return mSize; }
  // Null for the system font.
  CTFontDescriptorRef fontDescriptor() const { return mDescriptor; }

private:
  NSFont(CTFontDescriptorRef descriptor, CGFloat size) : mDescriptor(descriptor), mSize(size) {}
  ~NSFont() override;
  CTFontDescriptorRef mDescriptor;
  CGFloat mSize;
};

// ---- Character sets and formatters ----

class NSCharacterSet : public NSObject {
public:
  static NSPtr<NSCharacterSet> characterSetWithCharactersInString(const std::u16string& characters);
  bool characterIsMember(char16_t c) const { return mCharacters.find(c) != std::u16string::npos; }

private:
  explicit NSCharacterSet(std::u16string characters) : mCharacters(std::move(characters)) {}
  std::u16string mCharacters;
};

class NSFormatter : public NSObject {
public:
  // Whether an edit may make the field hold partialString (false keeps the old text).
  virtual bool isPartialStringValid(const std::u16string& partialString, std::u16string* newEditingString,
                                    std::string* error) {
    return true;
  }
  // The text of an object value (null: the object is not a string).
  virtual std::optional<std::u16string> stringForObjectValue(const std::u16string* object) {
    return object != nullptr ? std::optional<std::u16string>(*object) : std::nullopt;
  }
  virtual bool getObjectValue(std::u16string* object, const std::u16string& string, std::string* error) {
    if (object != nullptr) *object = string;
    return true;
  }
};

// ---- Cells and the field editor ----

enum NSTextAlignment : int {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentRight = 1,
  NSTextAlignmentCenter = 2,
  NSTextAlignmentJustified = 3,
  NSTextAlignmentNatural = 4,
};
enum NSLineBreakMode : int { NSLineBreakByWordWrapping = 0, NSLineBreakByTruncatingTail = 4 };
enum NSFocusRingType : int { NSFocusRingTypeDefault = 0, NSFocusRingTypeNone = 1, NSFocusRingTypeExterior = 2 };

// The text editor AppKit lays over a field while it is edited.
class NSTextView : public NSView {
public:
  using NSView::NSView;
  // The class answers setInsertionPointColor:.
  static bool respondsToSelector(const SEL& sel) { return sel == "setInsertionPointColor:"; }
  void setInsertionPointColor(NSColor* color) { mInsertionPointColor = NSPtr<NSColor>::retain(color); }
  NSColor* insertionPointColor() const { return mInsertionPointColor.get(); }

private:
  NSPtr<NSColor> mInsertionPointColor;
};

class NSTextFieldCell : public NSObject {
public:
  explicit NSTextFieldCell(const std::string& text = "");  // initTextCell:

  void setEditable(bool editable) { mEditable = editable; }
  bool isEditable() const { return mEditable; }
  void setDrawsBackground(bool draws) { mDrawsBackground = draws; }
  bool drawsBackground() const { return mDrawsBackground; }
  void setLineBreakMode(NSLineBreakMode mode) { mLineBreakMode = mode; }
  NSLineBreakMode lineBreakMode() const { return mLineBreakMode; }
  void setFont(NSFont* font) { mFont = NSPtr<NSFont>::retain(font); }
  NSFont* font() const { return mFont.get(); }

  // Where the text is drawn inside the cell's rectangle (here: the whole rectangle).
  virtual NSRect drawingRectForBounds(NSRect rect) { return rect; }
  // The size the text needs: one line of the font (1.25 x its point size, 13 points for
  // the system font), 0.6 x the point size per character wide.
  virtual NSSize cellSize() const;
  // Editing begins: the field editor is laid over rect.
  virtual void selectWithFrame(NSRect rect, NSView* controlView, NSTextView* editor, NSObject* delegate,
                               NSInteger selStart, NSInteger selLength);
  virtual void editWithFrame(NSRect rect, NSView* controlView, NSTextView* editor, NSObject* delegate,
                             NSEvent* event);

  // The text (kept by the field).
  std::u16string text;

private:
  bool mEditable = false;
  bool mDrawsBackground = false;
  NSLineBreakMode mLineBreakMode = NSLineBreakByWordWrapping;
  NSPtr<NSFont> mFont;
};

// ---- Text fields ----

class NSTextFieldDelegate {
public:
  virtual void controlTextDidEndEditing(const NSNotification& notification) = 0;

protected:
  ~NSTextFieldDelegate() = default;
};

class NSTextField : public NSView {
public:
  explicit NSTextField(NSRect frame);

  NSTextFieldCell* cell() const { return mCell.get(); }
  // Takes the cell (retained); the field's text and font move into it.
  void setCell(NSTextFieldCell* cell);
  NSFormatter* formatter() const { return mFormatter.get(); }
  void setFormatter(NSFormatter* formatter) { mFormatter = NSPtr<NSFormatter>::retain(formatter); }
  NSFont* font() const { return mCell->font(); }
  void setFont(NSFont* font) { mCell->setFont(font); }
  NSTextAlignment alignment() const { return mAlignment; }
  void setAlignment(NSTextAlignment alignment) { mAlignment = alignment; }
  NSColor* textColor() const { return mTextColor.get(); }
  void setTextColor(NSColor* color) { mTextColor = NSPtr<NSColor>::retain(color); }
  NSColor* backgroundColor() const { return mBackgroundColor.get(); }
  void setBackgroundColor(NSColor* color) { mBackgroundColor = NSPtr<NSColor>::retain(color); }
  void setBordered(bool bordered) { mBordered = bordered; }
  bool isBordered() const { return mBordered; }
  void setFocusRingType(NSFocusRingType type) { mFocusRing = type; }
  NSFocusRingType focusRingType() const { return mFocusRing; }
  void setAllowsEditingTextAttributes(bool allows) { mEditsAttributes = allows; }
  bool allowsEditingTextAttributes() const { return mEditsAttributes; }
  // UTF-8.
  std::string stringValue() const;
  void setStringValue(const std::string& utf8);
  // Not retained.
  void setDelegate(NSTextFieldDelegate* delegate) { mDelegate = delegate; }
  NSTextFieldDelegate* delegate() const { return mDelegate; }

  bool acceptsFirstResponder() override { return true; }
  // A field takes the clicks on it (the caret moves); they do not pass on.
  void mouseDown(NSEvent* event) override {}
  void mouseUp(NSEvent* event) override {}
  void mouseDragged(NSEvent* event) override {}
  // While editing, keys type their characters (through the formatter); Return and Tab end
  // editing. Keys do not pass on.
  void keyDown(NSEvent* event) override;
  void keyUp(NSEvent* event) override {}
  // Starts editing: the field editor over the cell's editing frame; the script answers.
  bool becomeFirstResponder() override;
  // The focus moves away: editing ends (the delegate hears it).
  bool resignFirstResponder() override;
  // The field editor while editing, else null.
  NSTextView* currentEditor() const { return mEditing ? mEditor.get() : nullptr; }
  bool isEditing() const { return mEditing; }

  // The user types: each UTF-16 unit goes through the formatter, which may refuse it.
  // Answers how many units were taken.
  int typeText(const std::u16string& units);
  int typeText(const std::string& utf8);
  // The user pastes: one edit for the whole text.
  bool paste(const std::string& utf8);
  // Return, Tab or a click elsewhere: editing ends and the delegate hears it.
  void endEditing();

protected:
  ~NSTextField() override = default;

private:
  bool tryEdit(const std::u16string& proposed);

  NSPtr<NSTextFieldCell> mCell;
  NSPtr<NSFormatter> mFormatter;
  NSPtr<NSColor> mTextColor;
  NSPtr<NSColor> mBackgroundColor;
  NSPtr<NSTextView> mEditor;
  NSTextAlignment mAlignment = NSTextAlignmentNatural;
  NSFocusRingType mFocusRing = NSFocusRingTypeDefault;
  bool mBordered = true;
  bool mEditsAttributes = true;
  bool mEditing = false;
  NSTextFieldDelegate* mDelegate = nullptr;
};

// UTF-8 and UTF-16 (ill-formed input becomes U+FFFD; a NUL ends the text).
std::u16string NSStringFromUTF8(const std::string& utf8);
std::string NSStringToUTF8(const std::u16string& utf16);
