#include "graphics/stock/TextEntryControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/Constants.h"

namespace plugkit::canvas {
struct TextEditCallbacks;
}

// The library's configuration: code points as characters, 32-bit key codes whose top bit
// marks a key that is not text, and its callbacks on the control.
#define STB_TEXTEDIT_CHARTYPE char32_t
#define STB_TEXTEDIT_POSITIONTYPE int
#define STB_TEXTEDIT_KEYTYPE unsigned int
#define STB_TEXTEDIT_STRING plugkit::canvas::ITextEntryControl
#define STB_TEXTEDIT_STRINGLEN(tc) plugkit::canvas::TextEditCallbacks::GetLength(tc)
#define STB_TEXTEDIT_LAYOUTROW(r, tc, n) plugkit::canvas::TextEditCallbacks::Layout(r, tc, n)
#define STB_TEXTEDIT_GETWIDTH(tc, n, i) plugkit::canvas::TextEditCallbacks::GetCharWidth(tc, n, i)
#define STB_TEXTEDIT_GETCHAR(tc, i) plugkit::canvas::TextEditCallbacks::GetChar(tc, i)
#define STB_TEXTEDIT_NEWLINE U'\n'
#define STB_TEXTEDIT_DELETECHARS(tc, i, n) plugkit::canvas::TextEditCallbacks::DeleteChars(tc, i, n)
#define STB_TEXTEDIT_INSERTCHARS(tc, i, c, n) plugkit::canvas::TextEditCallbacks::InsertChars(tc, i, c, n)
// No text while control (command) or the not-text bit is set; shift and alt only shape
// the character typed.
#define STB_TEXTEDIT_KEYTOTEXT(k) (((k) & 0xA0000000u) != 0 ? -1 : static_cast<int>((k) & ~0x50000000u))
#define STB_TEXTEDIT_K_SHIFT 0x40000000u
#define STB_TEXTEDIT_K_CONTROL 0x20000000u
#define STB_TEXTEDIT_K_KEY 0x80000000u
#define STB_TEXTEDIT_K_LEFT (STB_TEXTEDIT_K_KEY | 37u)
#define STB_TEXTEDIT_K_RIGHT (STB_TEXTEDIT_K_KEY | 39u)
#define STB_TEXTEDIT_K_UP (STB_TEXTEDIT_K_KEY | 38u)
#define STB_TEXTEDIT_K_DOWN (STB_TEXTEDIT_K_KEY | 40u)
#define STB_TEXTEDIT_K_PGUP (STB_TEXTEDIT_K_KEY | 33u)
#define STB_TEXTEDIT_K_PGDOWN (STB_TEXTEDIT_K_KEY | 34u)
#define STB_TEXTEDIT_K_LINESTART (STB_TEXTEDIT_K_KEY | 36u)
#define STB_TEXTEDIT_K_LINEEND (STB_TEXTEDIT_K_KEY | 35u)
#define STB_TEXTEDIT_K_TEXTSTART (STB_TEXTEDIT_K_LINESTART | STB_TEXTEDIT_K_CONTROL)
#define STB_TEXTEDIT_K_TEXTEND (STB_TEXTEDIT_K_LINEEND | STB_TEXTEDIT_K_CONTROL)
#define STB_TEXTEDIT_K_DELETE (STB_TEXTEDIT_K_KEY | 46u)
#define STB_TEXTEDIT_K_BACKSPACE (STB_TEXTEDIT_K_KEY | 8u)
#define STB_TEXTEDIT_K_UNDO (STB_TEXTEDIT_K_CONTROL | 'z')
#define STB_TEXTEDIT_K_REDO (STB_TEXTEDIT_K_CONTROL | STB_TEXTEDIT_K_SHIFT | 'z')
// The header part first (state and row records), the implementation once the callbacks
// below are defined.
#include <stb/stb_textedit.h>

namespace plugkit::canvas {

// ---------------------------------------------------------------------------------------
// UTF-8

namespace {

bool continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void appendUTF8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf8Of(char32_t c) {
  std::string s;
  appendUTF8(s, c);
  return s;
}

}  // namespace

std::u32string UTF8ToUTF32String(const char* str) {
  std::u32string out;
  if (str == nullptr) return out;
  const auto* p = reinterpret_cast<const unsigned char*>(str);
  const size_t n = std::strlen(str);
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    // Length of the form and the smallest value it may carry (a smaller one is overlong).
    int len = 1;
    char32_t value = b, least = 0;
    if (b >= 0xC0 && b < 0xE0) {
      len = 2, value = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b < 0xF0) {
      len = 3, value = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b < 0xF8) {
      len = 4, value = b & 0x07, least = 0x10000;
    } else if (b >= 0xF8 && b < 0xFC) {
      len = 5;
    } else if (b >= 0xFC && b < 0xFE) {
      len = 6;
    }
    bool whole = len > 1 && i + static_cast<size_t>(len) <= n;
    for (int k = 1; whole && k < len; ++k) {
      if (!continuation(p[i + static_cast<size_t>(k)])) whole = false;
      if (len <= 4) value = (value << 6) | (p[i + static_cast<size_t>(k)] & 0x3F);
    }
    if (len > 4 && whole) {
      out += U'_';
    } else if (len > 1 && whole && value >= least) {
      out += value;
    } else {
      out += static_cast<char32_t>(b);  // the byte stands for itself
      len = 1;
    }
    i += static_cast<size_t>(len);
  }
  return out;
}

std::string UTF32ToUTF8String(const std::u32string& str) {
  std::string out;
  out.reserve(str.size());
  for (char32_t c : str) appendUTF8(out, c);
  return out;
}

// ---------------------------------------------------------------------------------------
// The library's callbacks

struct ITextEntryControl::Editor {
  STB_TexteditState state;
};

struct TextEditCallbacks {
  static int GetLength(ITextEntryControl* c) { return static_cast<int>(c->mEditString.size()); }
  static char32_t GetChar(ITextEntryControl* c, int i) {
    return i >= 0 && i < GetLength(c) ? c->mEditString[static_cast<size_t>(i)] : U'\0';
  }
  static float GetCharWidth(ITextEntryControl* c, int lineStart, int i) {
    c->fillCharWidthCache();
    const int idx = lineStart + i;
    return idx >= 0 && idx < static_cast<int>(c->mCharWidths.size()) ? c->mCharWidths[static_cast<size_t>(idx)] : 0.f;
  }
  static int DeleteChars(ITextEntryControl* c, int pos, int n) { return c->deleteChars(pos, n) ? 1 : 0; }
  static int InsertChars(ITextEntryControl* c, int pos, const char32_t* chars, int n) {
    return c->insertChars(pos, chars, n) ? 1 : 0;
  }

  // One row holding every character, placed by the text's alignment; y is relative to
  // the box's top.
  static void Layout(StbTexteditRow* row, ITextEntryControl* c, int) {
    c->fillCharWidthCache();
    float w = 0.f;
    for (float cw : c->mCharWidths) w += cw;
    const IRECT& r = c->GetRECT();
    *row = StbTexteditRow{};
    row->x0 = r.L;
    switch (c->GetText().align) {
      case ETextHAlign::Left: row->x0 = r.L; break;
      case ETextHAlign::Centre: row->x0 = r.CentreX() - w / 2.f; break;
      case ETextHAlign::Right: row->x0 = r.R - w; break;
    }
    row->x1 = row->x0 + w;
    const float s = c->GetText().size;
    switch (c->GetText().valign) {
      case ETextVAlign::Top: row->ymin = 0.f; break;
      case ETextVAlign::Middle: row->ymin = r.Height() / 2.f - s / 2.f; break;
      case ETextVAlign::Bottom: row->ymin = r.Height() - s; break;
    }
    row->ymax = row->ymin + s;
    row->baseline_y_delta = 1.25f;
    row->num_chars = GetLength(c);
  }
};

}  // namespace plugkit::canvas

#define STB_TEXTEDIT_IMPLEMENTATION
#include <stb/stb_textedit.h>

namespace plugkit::canvas {

// ---------------------------------------------------------------------------------------
// The control

ITextEntryControl::ITextEntryControl()
    : ITextEntryControlBase(IRECT(), kNoLinkedParam),
      mEditor(std::make_unique<Editor>()),
      mContextMenu("", 0, false, {"Cut", "Copy", "Paste"}) {
  stb_textedit_initialize_state(&mEditor->state, 1);
  SetActionFunction([](IControl* c) {
    auto* entry = static_cast<ITextEntryControl*>(c);
    entry->mCursorIsShown = true;
    entry->SetAnimationFunction(
        [](IControl* self) {
          auto* e = static_cast<ITextEntryControl*>(self);
          const double p = e->GetAnimationProgress();
          if (p > 1.0) {
            e->OnEndAnimation();
          } else if (p > 0.5 && e->mCursorIsShown) {
            e->mCursorIsShown = false;
            e->SetDirty(false);
          }
        },
        1000.0);
  });
  // The menu acts on the control that owns it.
  mContextMenu.SetFunction([this](IPopupMenu* menu) {
    if (menu == nullptr || !mEditing) return;
    switch (menu->GetChosenItemIdx()) {
      case 0: Cut(); break;
      case 1: CopySelection(); break;
      case 2: Paste(); break;
      default: break;
    }
  });
}

ITextEntryControl::~ITextEntryControl() = default;

int ITextEntryControl::GetCursor() const { return mEditor->state.cursor; }
int ITextEntryControl::GetSelectionStart() const { return mEditor->state.select_start; }
int ITextEntryControl::GetSelectionEnd() const { return mEditor->state.select_end; }

void ITextEntryControl::CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                        const char* str) {
  SetBothRects(bounds);
  SetText(text);
  mText.color = text.entryColor;
  mParamIdx = paramIdx;
  mLength = length;
  // A new box: its undo history starts empty.
  stb_textedit_initialize_state(&mEditor->state, 1);
  mEditString = UTF8ToUTF32String(str);
  OnTextChange();
  SelectAll();
  mEditor->state.cursor = 0;
  mEditing = true;
  SetDirty(true);
}

void ITextEntryControl::closeBox() {
  mEditing = false;
  mCursorIsShown = false;
  SetBothRects(IRECT());
  if (ICanvas* g = GetGraphics()) g->SetAllControlsDirty();
}

void ITextEntryControl::CommitEdit() {
  if (!mEditing) return;
  const std::string text = UTF32ToUTF8String(mEditString);
  closeBox();
  if (ICanvas* g = GetGraphics()) g->SetControlValueAfterTextEdit(text.c_str());
  // Nothing of this control is touched from here: the receiver may have opened the next
  // box or removed this control.
}

void ITextEntryControl::DismissEdit() {
  if (!mEditing) return;
  closeBox();
  if (ICanvas* g = GetGraphics()) g->ClearInTextEntryControl();
}

void ITextEntryControl::SetStr(const char* str) {
  mEditString = UTF8ToUTF32String(str);
  ++mTextVersion;
  mCharWidths.clear();
  // Positions beyond the new text would be read past its end.
  const int n = NChars();
  STB_TexteditState& s = mEditor->state;
  s.cursor = std::clamp(s.cursor, 0, n);
  s.select_start = std::clamp(s.select_start, 0, n);
  s.select_end = std::clamp(s.select_end, 0, n);
}

void ITextEntryControl::SelectAll() {
  mEditor->state.select_start = 0;
  mEditor->state.select_end = NChars();
}

void ITextEntryControl::OnTextChange() {
  mCharWidths.clear();
  fillCharWidthCache();
}

void ITextEntryControl::OnStateChanged() { SetDirty(false); }

template <class Edit>
bool ITextEntryControl::edit(Edit&& f) {
  const STB_TexteditState& s = mEditor->state;
  const int cursor = s.cursor, start = s.select_start, end = s.select_end;
  const unsigned version = mTextVersion;
  f(mEditor->state);
  const bool changed =
      cursor != s.cursor || start != s.select_start || end != s.select_end || version != mTextVersion;
  if (changed) OnStateChanged();
  return changed;
}

// ---------------------------------------------------------------------------------------
// Widths and edits

float ITextEntryControl::measureCharWidth(char32_t c, char32_t prev) const {
  const ICanvas* g = GetGraphics();
  if (g == nullptr) return 0.f;
  const std::string one = utf8Of(c);
  if (prev == U'\0') return g->MeasureTextAdvance(mText, one.c_str());
  const std::string before = utf8Of(prev);
  return g->MeasureTextAdvance(mText, (before + one).c_str()) - g->MeasureTextAdvance(mText, before.c_str());
}

void ITextEntryControl::fillCharWidthCache() {
  if (!mCharWidths.empty() || mEditString.empty()) return;
  mCharWidths.resize(mEditString.size());
  for (size_t i = 0; i < mEditString.size(); ++i) mCharWidths[i] = measureCharWidth(mEditString[i], i > 0 ? mEditString[i - 1] : U'\0');
}

void ITextEntryControl::remeasureFrom(int pos, int count) {
  // Only the edited characters and the one after them (its kerning partner changed) need
  // new widths; the list keeps up with the string.
  if (mCharWidths.size() != mEditString.size()) {
    mCharWidths.clear();
    fillCharWidthCache();
    return;
  }
  const int n = NChars();
  for (int i = std::max(pos, 0); i <= pos + count && i < n; ++i)
    mCharWidths[static_cast<size_t>(i)] =
        measureCharWidth(mEditString[static_cast<size_t>(i)], i > 0 ? mEditString[static_cast<size_t>(i) - 1] : U'\0');
}

int ITextEntryControl::maxChars() const { return linkedParam() != nullptr && mLength > 0 ? mLength : 0; }

bool ITextEntryControl::insertChars(int pos, const char32_t* chars, int n) {
  if (n < 0 || pos < 0 || pos > NChars()) return false;
  // Undo and redo put back text the box held before: never refused, or it would be lost.
  const int cap = maxChars();
  if (!mReplaying && cap > 0 && NChars() + n > cap) return false;
  const bool widthsKept = mCharWidths.size() == mEditString.size();
  mEditString.insert(static_cast<size_t>(pos), chars, static_cast<size_t>(n));
  if (widthsKept) mCharWidths.insert(mCharWidths.begin() + pos, static_cast<size_t>(n), 0.f);
  ++mTextVersion;
  remeasureFrom(pos, n);
  return true;
}

bool ITextEntryControl::deleteChars(int pos, int n) {
  if (n < 0 || pos < 0 || pos + n > NChars()) return false;
  const bool widthsKept = mCharWidths.size() == mEditString.size();
  mEditString.erase(static_cast<size_t>(pos), static_cast<size_t>(n));
  if (widthsKept) mCharWidths.erase(mCharWidths.begin() + pos, mCharWidths.begin() + pos + n);
  ++mTextVersion;
  remeasureFrom(pos, 0);
  return true;
}

const IParam* ITextEntryControl::linkedParam() const {
  const ICanvasEditorDelegate* dlg = GetDelegate();
  return dlg != nullptr && mParamIdx >= 0 ? dlg->GetParam(mParamIdx) : nullptr;
}

bool ITextEntryControl::accepts(char32_t c) const {
  // Control characters, the platform's function-key characters and what is no character.
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xF700 && c <= 0xF8FF) || (c >= 0xD800 && c <= 0xDFFF) ||
      c > 0x10FFFF)
    return false;
  const IParam* param = linkedParam();
  if (param == nullptr) return true;
  const char* allowed = nullptr;
  switch (param->Type()) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: allowed = "0123456789-+"; break;
    case IParam::kTypeDouble: allowed = "0123456789.-+"; break;
    default: return true;
  }
  return c < 0x80 && std::strchr(allowed, static_cast<int>(c)) != nullptr;
}

// ---------------------------------------------------------------------------------------
// Clipboard

void ITextEntryControl::CopySelection() {
  const STB_TexteditState& s = mEditor->state;
  if (s.select_start == s.select_end || GetGraphics() == nullptr) return;
  const int from = std::clamp(std::min(s.select_start, s.select_end), 0, NChars());
  const int to = std::clamp(std::max(s.select_start, s.select_end), 0, NChars());
  const std::u32string part = mEditString.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
  GetGraphics()->SetTextInClipboard(UTF32ToUTF8String(part).c_str());
}

void ITextEntryControl::Cut() {
  CopySelection();
  edit([this](STB_TexteditState& s) { stb_textedit_cut(this, &s); });
}

void ITextEntryControl::Paste() {
  ICanvas* g = GetGraphics();
  if (g == nullptr) return;
  StringBuf text;
  if (!g->GetTextFromClipboard(text)) return;
  // What could not be typed is left out, and what does not fit the box.
  std::u32string pasted;
  for (char32_t c : UTF8ToUTF32String(text.Get()))
    if (accepts(c)) pasted += c;
  const STB_TexteditState& s = mEditor->state;
  const int from = std::clamp(std::min(s.select_start, s.select_end), 0, NChars());
  const int to = std::clamp(std::max(s.select_start, s.select_end), 0, NChars());
  if (const int cap = maxChars(); cap > 0) {
    const int room = std::max(cap - (NChars() - (to - from)), 0);
    if (static_cast<int>(pasted.size()) > room) pasted.resize(static_cast<size_t>(room));
  }
  if (pasted.empty()) return;
  edit([&](STB_TexteditState& st) { stb_textedit_paste(this, &st, pasted.data(), static_cast<int>(pasted.size())); });
}

// ---------------------------------------------------------------------------------------
// Mouse and keys

void ITextEntryControl::undoOrRedo(bool redo) {
  edit([&](STB_TexteditState& s) {
    mReplaying = true;
    stb_textedit_key(this, &s, redo ? STB_TEXTEDIT_K_REDO : STB_TEXTEDIT_K_UNDO);
    mReplaying = false;
    // The library moves the caret but keeps the old selection, which may no longer fit
    // the text and would make the next key replace text nobody selected.
    s.cursor = std::clamp(s.cursor, 0, NChars());
    s.select_start = s.select_end = s.cursor;
  });
}

void ITextEntryControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (!mEditing) return;
  if (!mRECT.ContainsPoint(x, y)) {
    CommitEdit();
    return;
  }
  if (mod.R) {
    if (ICanvas* g = GetGraphics()) g->CreatePopupMenu(*this, mContextMenu, IRECT(x, y, x, y), 0);
    return;
  }
  if (mod.L) edit([&](STB_TexteditState& s) { stb_textedit_click(this, &s, x, y); });
}

void ITextEntryControl::OnMouseDrag(float x, float y, float, float, const IMouseMod& mod) {
  if (mEditing && mod.L) edit([&](STB_TexteditState& s) { stb_textedit_drag(this, &s, x, y); });
}

void ITextEntryControl::OnMouseUp(float x, float y, const IMouseMod& mod) {
  if (!mEditing || !mod.L) return;
  edit([&](STB_TexteditState& s) { stb_textedit_drag(this, &s, x, y); });
  SetDirty(true);  // the caret shows at once and blinks from here
}

void ITextEntryControl::OnMouseDblClick(float, float, const IMouseMod&) {
  if (!mEditing) return;
  SelectAll();
  SetDirty(false);
}

unsigned int ITextEntryControl::KeyCode(unsigned int code, const IKeyPress& key) {
  if (key.C) code |= STB_TEXTEDIT_K_CONTROL;
  if (key.S) code |= STB_TEXTEDIT_K_SHIFT;
  if (key.A) code |= 0x10000000u;
  return code;
}

bool ITextEntryControl::OnKeyDown(float, float, const IKeyPress& key) {
  if (!mEditing) return false;
  auto send = [this](unsigned int code) {
    return edit([&](STB_TexteditState& s) { stb_textedit_key(this, &s, code); });
  };

  if (key.C && key.VK >= 'A' && key.VK <= 'Z') {
    switch (key.VK) {
      case 'A':
        SelectAll();
        SetDirty(false);
        return true;
      case 'C': CopySelection(); return true;
      case 'V': Paste(); return true;
      case 'X': Cut(); return true;
      case 'Z': undoOrRedo(key.S); return true;
      default: break;
    }
  }

  const std::u32string typed = UTF8ToUTF32String(key.utf8);
  const char32_t c = typed.empty() ? U'\0' : typed[0];

  switch (key.VK) {
    case kVK_BACK: return send(KeyCode(STB_TEXTEDIT_K_BACKSPACE, key));
    case kVK_TAB: return false;
    case kVK_RETURN:
    case kVK_KEYPAD_ENTER: CommitEdit(); return true;
    case kVK_ESCAPE: DismissEdit(); return true;
    case kVK_PRIOR:
    case kVK_NEXT:
    case kVK_END:
    case kVK_HOME:
    case kVK_LEFT:
    case kVK_UP:
    case kVK_RIGHT:
    case kVK_DOWN:
    case kVK_DELETE: return send(KeyCode(STB_TEXTEDIT_K_KEY | static_cast<unsigned int>(key.VK), key));
    default: break;
  }

  ICanvas* g = GetGraphics();
  if (g == nullptr || g->GetControlInTextEntry() == nullptr) return false;
  // Function keys, Insert and Num Lock type nothing, whatever character they carry.
  if ((key.VK >= kVK_F1 && key.VK <= kVK_F1 + 23) || key.VK == kVK_INSERT || key.VK == kVK_NUMLOCK) return false;
  if (!accepts(c)) return false;
  return send(KeyCode(static_cast<unsigned int>(c), key));
}

void ITextEntryControl::OnEndAnimation() {
  if (mEditing)
    SetDirty(true);  // the next blink period
  else
    IControl::OnEndAnimation();
}

// ---------------------------------------------------------------------------------------
// Drawing

float ITextEntryControl::GetRowStart() {
  StbTexteditRow row{};
  TextEditCallbacks::Layout(&row, this, 0);
  return row.x0;
}

float ITextEntryControl::GetCaretX(int position) {
  fillCharWidthCache();
  float x = GetRowStart();
  const int end = std::clamp(position, 0, static_cast<int>(mCharWidths.size()));
  for (int i = 0; i < end; ++i) x += mCharWidths[static_cast<size_t>(i)];
  return x;
}

void ITextEntryControl::Draw(ICanvas& g) {
  if (!mEditing) return;
  g.FillRect(mText.entryBackground, mRECT);

  StbTexteditRow row{};
  TextEditCallbacks::Layout(&row, this, 0);
  const float s = mText.size;
  const float top = mRECT.T + row.ymin + 0.1f * s, bottom = mRECT.T + row.ymax - 0.1f * s;
  const STB_TexteditState& st = mEditor->state;
  const bool selection = st.select_start != st.select_end;
  if (selection) {
    const int count = NChars();
    const float from = GetCaretX(std::min(st.select_start, st.select_end));
    const float to = GetCaretX(std::min(std::max(st.select_start, st.select_end), count));
    const IBlend blend(EBlend::Default, 0.2f);
    g.FillRect(mText.entryColor, IRECT(from, top, to, bottom), &blend);
  }

  g.DrawText(mText, GetStr().c_str(), mRECT);

  if (!selection && mCursorIsShown) {
    const float x = GetCaretX(st.cursor);
    g.FillRect(mText.entryColor, IRECT(std::round(x - 1.f), top, std::round(x), bottom));
  }
}

void AttachTextEntryControl(ICanvas& g) {
  if (g.GetTextEntryControl() != nullptr) return;
  g.AttachTextEntryControl(new ITextEntryControl());
}

}  // namespace plugkit::canvas
