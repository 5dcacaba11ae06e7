#pragma once
// ITextEntryControl: a single-line text box drawn by the graphics context instead of the
// platform's. Once attached (AttachTextEntryControl), every text-box request of the
// context (ICanvas::CreateTextEntry, PromptUserInput) opens here, and the committed text
// goes back through ICanvas::SetControlValueAfterTextEdit.
//
// Editing (cursor, selection, insertion, deletion, undo and redo) is stb_textedit's over
// the control's own string of code points; the control measures the characters (their
// advances, with the kerning between neighbours), turns key presses into the library's
// codes, draws, blinks the caret (on for the first half of every second), and offers the
// clipboard and a "Cut", "Copy", "Paste" menu on a right click.
//
// Typed characters: never control characters (C0, DEL, C1) nor the platform's function-
// key characters (U+F700 to U+F8FF); for a value of an integer, bool or enum parameter
// only "0123456789-+", for a double one "0123456789.-+". The box's length caps typing and
// pasting only for a value of a parameter (free text is not capped, as in the platform's
// field); undo and redo always put their text back, and leave the caret inside the text
// with nothing selected.
// The committed text is always valid UTF-8: an invalid code point becomes U+FFFD.
//
// Main thread only. Nothing here fails: a clipboard that cannot be read pastes nothing,
// keys the box does not take answer false so the graphics context can pass them on.
#include <memory>
#include <string>
#include <vector>

#include "graphics/ICanvas.h"
#include "graphics/SpecialControls.h"

namespace plugkit::canvas {

// UTF-8 to code points: 1 to 4 byte sequences; an overlong form, a bad continuation byte
// or a lone continuation byte gives its first byte as a code point of its own; a 5 or 6
// byte form gives one "_". Null or empty gives an empty string.
std::u32string UTF8ToUTF32String(const char* str);
// Code points to UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
std::string UTF32ToUTF8String(const std::u32string& str);

class ITextEntryControl : public ITextEntryControlBase {
public:
  ITextEntryControl();
  ~ITextEntryControl() override;

  // ITextEntryControlBase
  bool IsEditing() const override { return mEditing; }
  // Opens over bounds with the text style (drawn in its entry colours), everything
  // selected; a fresh undo history for each box.
  void CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length, const char* str) override;
  // Closes without sending the text.
  void DismissEdit() override;
  // Closes and sends the text. The box is closed before the text is delivered, so the
  // receiver may open the next box; nothing of this control is touched afterwards.
  void CommitEdit();

  // Replaces the text; cursor and selection are kept inside it.
  void SetStr(const char* str);
  void SelectAll();
  // The widths are measured again.
  void OnTextChange();
  void OnStateChanged();
  void Cut();
  void CopySelection();
  void Paste();

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;
  void Draw(ICanvas& g) override;
  void OnEndAnimation() override;

  // State, for drawing and tests.
  std::string GetStr() const { return UTF32ToUTF8String(mEditString); }
  int NChars() const { return static_cast<int>(mEditString.size()); }
  int GetCursor() const;
  int GetSelectionStart() const;
  int GetSelectionEnd() const;
  bool IsCursorShown() const { return mCursorIsShown; }
  // The row's left edge and the x of a position's caret (0..NChars()).
  float GetRowStart();
  float GetCaretX(int position);
  // The edit code a key press becomes (with its modifier bits), as handed to the library.
  static unsigned int KeyCode(unsigned int code, const IKeyPress& key);

private:
  friend struct TextEditCallbacks;
  struct Editor;

  // Width of c after prev (prev 0: at the start), kerning included.
  float measureCharWidth(char32_t c, char32_t prev) const;
  void fillCharWidthCache();
  // After an edit of the string: widths of the changed characters and their right
  // neighbour measured again.
  void remeasureFrom(int pos, int count);
  bool insertChars(int pos, const char32_t* chars, int n);
  bool deleteChars(int pos, int n);
  // Whether the character may be typed into this box.
  bool accepts(char32_t c) const;
  // The parameter whose value is edited (null for free text).
  const IParam* linkedParam() const;
  // Most characters typing and pasting may leave in the box; 0: no cap.
  int maxChars() const;
  void undoOrRedo(bool redo);
  // Runs an edit on the library state; SetDirty(false) and true when anything changed.
  template <class Edit>
  bool edit(Edit&& f);
  void closeBox();

  std::unique_ptr<Editor> mEditor;
  bool mCursorIsShown = false;
  bool mEditing = false;
  std::vector<float> mCharWidths;
  std::u32string mEditString;
  int mParamIdx = kNoLinkedParam;
  int mLength = 0;
  bool mReplaying = false;  // an undo or redo is putting text back
  unsigned mTextVersion = 0;  // moves with every insertion and deletion
  IPopupMenu mContextMenu;
};

// Attaches a drawn text entry unless the context already holds one.
void AttachTextEntryControl(ICanvas& g);

}  // namespace plugkit::canvas
