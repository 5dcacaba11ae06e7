// The drawn text entry: which keys type what for each kind of parameter, commit and
// dismissal with the host's edits around the value, undo and redo, caret and selection
// geometry (with the test canvas's measure and with real glyph advances), UTF-8 in and out,
// clipboard and context menu, the caret blink on the test clock, and a requester removed
// while its box is open.
#include <string>
#include <vector>

#include "graphics/stock/PopupMenuControl.h"
#include "graphics/stock/TextEntryControl.h"
#include "tests/graphics/stock/advance_canvas.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;

namespace {

// A control that asks for a text box and logs what comes back.
class Field : public IControl {
public:
  Field(const IRECT& r, int paramIdx, Log& log) : IControl(r, paramIdx), mLog(log) { SetPromptDisabled(false); }
  void Draw(ICanvas&) override {}
  void open(const char* str, const IText& text = DEFAULT_TEXT) { GetUI()->CreateTextEntry(*this, text, mRECT, str); }
  void OnTextEntryCompletion(const char* str, int) override {
    mLog.push_back(std::string("completion ") + str);
    if (onCompletion) onCompletion();
  }
  std::function<void()> onCompletion;

private:
  Log& mLog;
};

class TextEntryTest : public StockTest {
protected:
  void SetUp() override {
    StockTest::SetUp();
    if (HasFatalFailure()) return;
    AttachTextEntryControl(*g);
    entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
    ASSERT_NE(entry, nullptr);
  }

  Field* field(int paramIdx = kNoLinkedParam, const IRECT& r = IRECT(100, 50, 200, 70)) {
    return attach(new Field(r, paramIdx, events));
  }
  // Types each UTF-8 character of text as its own key.
  void type(const std::string& text) {
    for (char32_t c : UTF8ToUTF32String(text.c_str())) {
      const std::string one = UTF32ToUTF8String(std::u32string(1, c));
      // Letters, digits and space have their own key codes; other characters come with none.
      int vk = 0;
      if (c >= 'a' && c <= 'z') vk = static_cast<int>(c - 'a' + 'A');
      if ((c >= '0' && c <= '9') || c == ' ') vk = static_cast<int>(c);
      mouse->keyDown(vk, one.c_str());
    }
  }

  ITextEntryControl* entry = nullptr;
  Log events;
};

struct Key {
  const char* what;
  int vk;
  const char* utf8;
  sp::test::Mods mods;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Keys

TEST_F(TextEntryTest, AnIntegerValueTakesDigitsAndSignsByTheCharacterTyped) {
  Field* f = field(kSteps);
  f->open("");
  ASSERT_TRUE(entry->IsEditing());
  const Key refused[] = {
      {"letter", 'A', "a", {}},
      {"point", 190, ".", {}},
      {"space", kVK_SPACE, " ", {}},
      {"F1", kVK_F1, "\xEF\x9C\x84", {}},  // U+F704
      {"Ctrl+B", 'B', "b", {.command = true}},
      {"a control character", 'A', "\x01", {}},
      {"DEL", 127, "\x7F", {}},
  };
  for (const Key& k : refused) {
    entry->SetStr("");
    EXPECT_FALSE(mouse->keyDown(k.vk, k.utf8, k.mods)) << k.what;
    EXPECT_EQ(entry->GetStr(), "") << k.what;
  }
  const Key taken[] = {
      {"5", '5', "5", {}},
      {"plus", 187, "+", {.shift = true}},
      {"minus", 189, "-", {}},
      {"keypad 7", 103, "7", {}},
      {"AZERTY 1 (shifted)", '1', "1", {.shift = true}},
  };
  for (const Key& k : taken) {
    entry->SetStr("");
    EXPECT_TRUE(mouse->keyDown(k.vk, k.utf8, k.mods)) << k.what;
    EXPECT_EQ(entry->GetStr(), k.utf8) << k.what;
  }
}

TEST_F(TextEntryTest, ADoubleValueAlsoTakesThePointAndAFreeTextTakesAnyCharacter) {
  Field* d = field(kLevel);
  d->open("");
  type(".5a");
  EXPECT_EQ(entry->GetStr(), ".5");
  mouse->keyDown(kVK_ESCAPE);

  Field* free = field(kNoLinkedParam, IRECT(300, 50, 400, 70));
  free->SetTextEntryLength(20);
  free->open("");
  type("a. é€");
  EXPECT_EQ(entry->GetStr(), "a. é€");
}

TEST_F(TextEntryTest, TypingAValueStopsAtTheBoxLength) {
  Field* f = field(kSteps);
  f->SetTextEntryLength(3);
  f->open("");
  type("1234");
  EXPECT_EQ(entry->GetStr(), "123");
}

// Each kind of edit on a value shorter than the box's length, one longer than it (the
// host's text may be), and free text, which has no cap whatever the length says.
TEST_F(TextEntryTest, TheLengthCapsTypingAndPastingOfAValueButNeverUndoOrRedo) {
  struct Case {
    const char* what;
    int paramIdx;
    int length;
    const char* str;
    const char* typedAtEnd;   // after "5" typed behind the text
    const char* pastedAtEnd;  // after "6789" pasted behind that
  };
  const Case cases[] = {
      {"value shorter than the cap", kSteps, 7, "12", "125", "1256789"},
      {"value longer than the cap", kSteps, 7, "123456789", "123456789", "123456789"},
      {"free text over the length", kNoLinkedParam, 3, "123456789", "1234567895", "12345678956789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Field* f = field(c.paramIdx);
    f->SetTextEntryLength(c.length);
    const int n = static_cast<int>(UTF8ToUTF32String(c.str).size());
    f->open(c.str);
    type("5");  // replaces the whole text
    EXPECT_EQ(entry->GetStr(), "5");
    const sp::test::Mods undo{.command = true}, redo{.shift = true, .command = true};
    mouse->keyDown('Z', "z", undo);
    EXPECT_EQ(entry->GetStr(), "");
    mouse->keyDown('Z', "z", undo);
    EXPECT_EQ(entry->GetStr(), c.str);
    EXPECT_EQ(entry->GetCursor(), n);
    EXPECT_EQ(entry->GetSelectionStart(), entry->GetSelectionEnd());
    mouse->keyDown('Z', "Z", redo);
    EXPECT_EQ(entry->GetStr(), "");
    EXPECT_EQ(entry->GetCursor(), 0);
    mouse->keyDown('Z', "Z", redo);
    EXPECT_EQ(entry->GetStr(), "5");
    mouse->keyDown('Z', "z", undo);
    mouse->keyDown('Z', "z", undo);
    ASSERT_EQ(entry->GetStr(), c.str);
    type("5");
    EXPECT_EQ(entry->GetStr(), c.typedAtEnd);
    platform.clipboard = "6789";
    mouse->keyDown('V', "v", undo);
    EXPECT_EQ(entry->GetStr(), c.pastedAtEnd);
    events.clear();
    mouse->keyDown(kVK_RETURN, "\r");
    if (c.paramIdx == kNoLinkedParam) {  // a value goes to its parameter instead
      EXPECT_EQ(events, (Log{std::string("completion ") + c.pastedAtEnd}));
    }
    g->RemoveControl(f);
  }
}

TEST_F(TextEntryTest, TypingOverTheSelectedValueAndReturnSendsTheNewValueOnce) {
  Field* f = field(kMix);
  dlg.hostSets(kMix, 0.125);
  f->PromptUserInput(0);
  ASSERT_TRUE(entry->IsEditing());
  EXPECT_EQ(entry->GetStr(), "12.5");
  EXPECT_EQ(entry->GetSelectionStart(), 0);
  EXPECT_EQ(entry->GetSelectionEnd(), 4);
  dlg.log.clear();
  type("7");
  EXPECT_EQ(entry->GetStr(), "7");
  EXPECT_TRUE(mouse->keyDown(kVK_RETURN, "\r"));
  EXPECT_EQ(dlg.log, (Log{"Begin 4", "Send 4 0.07", "End 4"}));
  EXPECT_FALSE(entry->IsEditing());
  EXPECT_TRUE(entry->GetRECT().IsEmpty());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
}

TEST_F(TextEntryTest, KeypadEnterCommitsAndEscapeSendsNothing) {
  Field* f = field(kNoLinkedParam);
  f->open("x");
  EXPECT_TRUE(mouse->keyDown(kVK_KEYPAD_ENTER, "\x03"));
  EXPECT_EQ(events, (Log{"completion x"}));

  Field* v = field(kMix, IRECT(300, 50, 400, 70));
  v->PromptUserInput(0);
  dlg.log.clear();
  type("9");
  EXPECT_TRUE(mouse->keyDown(kVK_ESCAPE));
  EXPECT_TRUE(dlg.log.empty());
  EXPECT_FALSE(entry->IsEditing());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  // The next box opens.
  f->open("y");
  EXPECT_TRUE(entry->IsEditing());
}

TEST_F(TextEntryTest, UndoAndRedoStepThroughTheTyping) {
  Field* f = field();
  f->open("");
  type("abc");
  mouse->keyDown('Z', "z", {.command = true});
  EXPECT_EQ(entry->GetStr(), "ab");
  mouse->keyDown('Z', "Z", {.shift = true, .command = true});
  EXPECT_EQ(entry->GetStr(), "abc");
  // A new box starts without the old one's history.
  mouse->keyDown(kVK_RETURN, "\r");
  f->open("new");
  mouse->keyDown('Z', "z", {.command = true});
  EXPECT_EQ(entry->GetStr(), "new");
}

TEST_F(TextEntryTest, UndoLeavesNoSelectionForTheNextKeyToReplace) {
  field()->open("");
  type("abc");
  mouse->keyDown(kVK_LEFT, "", {.shift = true});
  mouse->keyDown(kVK_LEFT, "", {.shift = true});  // "bc" selected
  mouse->keyDown('Z', "z", {.command = true});   // takes back the "c"
  EXPECT_EQ(entry->GetStr(), "ab");
  EXPECT_EQ(entry->GetCursor(), 2);
  EXPECT_EQ(entry->GetSelectionStart(), entry->GetSelectionEnd());
  type("x");
  EXPECT_EQ(entry->GetStr(), "abx");
}

TEST_F(TextEntryTest, TabAndUnknownKeysAreLeftToTheEditor) {
  field()->open("ab");
  EXPECT_FALSE(mouse->keyDown(kVK_TAB, "\t"));
  mouse->keyDown(kVK_END);
  EXPECT_FALSE(mouse->keyDown(kVK_RIGHT));  // nothing moves past the end
  EXPECT_TRUE(mouse->keyDown(kVK_LEFT));
  EXPECT_TRUE(mouse->keyDown(kVK_LEFT, "", {.shift = true}));
  EXPECT_EQ(entry->GetSelectionStart(), 1);
  EXPECT_EQ(entry->GetSelectionEnd(), 0);
}

// ---------------------------------------------------------------------------------------
// Mouse, geometry and drawing

TEST_F(TextEntryTest, AClickPutsTheCaretAtTheNearestCharacterBoundary) {
  Field* f = field();
  f->open("abcd", DEFAULT_TEXT.WithAlign(ETextHAlign::Left));
  mouse->click(110, 60);
  EXPECT_EQ(entry->GetCursor(), 1);
  mouse->click(111, 60);
  EXPECT_EQ(entry->GetCursor(), 2);
  // A drag selects.
  mouse->press(101, 60);
  mouse->dragTo(125, 60);
  mouse->release();
  EXPECT_EQ(entry->GetSelectionStart(), 0);
  EXPECT_EQ(entry->GetSelectionEnd(), 4);
  mouse->doubleClick(150, 60);
  EXPECT_EQ(entry->GetSelectionEnd(), 4);
}

TEST_F(TextEntryTest, CentredTextPutsTheEndCaretAtItsRightEdge) {
  Field* f = field();
  f->open("abcd");
  EXPECT_FLOAT_EQ(entry->GetRowStart(), 136.f);
  mouse->keyDown(kVK_END);
  drawOnly(*entry);
  std::vector<Fill> caret;
  for (const Fill& fill : fills(*g))
    if (fill.color == COLOR_BLACK && fill.box.Width() == 1.f) caret.push_back(fill);
  ASSERT_EQ(caret.size(), 1u);
  EXPECT_FLOAT_EQ(caret[0].box.L, 163.f);
  EXPECT_FLOAT_EQ(caret[0].box.R, 164.f);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"abcd"}));
}

TEST_F(TextEntryTest, TheSelectionIsShadedInTheForegroundColour) {
  Field* f = field();
  f->open("abcd", DEFAULT_TEXT.WithAlign(ETextHAlign::Left).WithEntryColors(COLOR_WHITE, COLOR_RED));
  drawOnly(*entry);
  const std::vector<Fill> drawn = fills(*g);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].color, COLOR_WHITE);
  expectRect(drawn[1].box, IRECT(100, 54.4f, 128, 65.6f));
  EXPECT_EQ(drawn[1].color, COLOR_RED);
  EXPECT_TRUE(drawn[1].hasBlend);
}

TEST_F(TextEntryTest, TheCaretIsOnForTheFirstHalfOfEverySecond) {
  field()->open("ab");
  mouse->keyDown(kVK_END);
  after(0);
  EXPECT_TRUE(entry->IsCursorShown());
  after(499);
  EXPECT_TRUE(entry->IsCursorShown());
  after(2);
  EXPECT_FALSE(entry->IsCursorShown());
  after(500);
  EXPECT_TRUE(entry->IsCursorShown());  // the next period began
  after(400);
  EXPECT_TRUE(entry->IsCursorShown());
  after(200);
  EXPECT_FALSE(entry->IsCursorShown());
}

TEST_F(TextEntryTest, AClickOutsideCommitsAndNothingBeneathHearsIt) {
  Field* f = field();
  Field* other = field(kLevel, IRECT(300, 200, 400, 300));
  f->open("kept");
  dlg.log.clear();
  mouse->click(350, 250);
  EXPECT_EQ(events, (Log{"completion kept"}));
  EXPECT_TRUE(dlg.log.empty());  // the control beneath saw no press
  EXPECT_EQ(g->GetMouseControl(350, 250, false), other);
}

TEST_F(TextEntryTest, ACommitMayOpenTheNextBox) {
  Field* f = field();
  Field* next = field(kNoLinkedParam, IRECT(300, 50, 400, 70));
  f->onCompletion = [&] { next->open("second"); };
  f->open("first");
  mouse->keyDown(kVK_RETURN, "\r");
  EXPECT_TRUE(entry->IsEditing());
  EXPECT_EQ(entry->GetStr(), "second");
  expectRect(entry->GetRECT(), IRECT(300, 50, 400, 70));
  EXPECT_EQ(g->GetControlInTextEntry(), next);
}

TEST_F(TextEntryTest, ARequesterRemovedWhileItsBoxIsOpenClosesTheBoxUncommitted) {
  Field* f = field(kMix);
  f->PromptUserInput(0);
  dlg.log.clear();
  g->RemoveControl(f);
  EXPECT_FALSE(entry->IsEditing());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(mouse->keyDown(kVK_RETURN, "\r"));
  mouse->click(150, 60);
  g->tick();
  EXPECT_TRUE(dlg.log.empty());
}

TEST_F(TextEntryTest, SetStrKeepsCaretAndSelectionInsideTheNewText) {
  field()->open("abcdef");
  mouse->keyDown(kVK_END);
  entry->SetStr("ab");
  EXPECT_LE(entry->GetCursor(), 2);
  entry->SelectAll();
  entry->SetStr("");
  EXPECT_EQ(entry->GetSelectionEnd(), 0);
  drawOnly(*entry);
}

// ---------------------------------------------------------------------------------------
// UTF-8

TEST_F(TextEntryTest, UTF8ComesInAsCodePointsAndGoesOutValid) {
  struct Case {
    const char* what;
    std::string in;
    std::u32string points;
    std::string out;
  };
  const Case cases[] = {
      {"e acute", "\xC3\xA9", U"\u00E9", "\xC3\xA9"},
      {"euro", "\xE2\x82\xAC", U"\u20AC", "\xE2\x82\xAC"},
      {"beyond U+FFFF", "\xF0\x9F\x98\x80", U"\U0001F600", "\xF0\x9F\x98\x80"},
      {"overlong", "\xC0\x80", std::u32string{0xC0, 0x80}, "\xC3\x80\xC2\x80"},
      {"lone continuation", "a\x80", std::u32string{U'a', 0x80}, "a\xC2\x80"},
      {"cut short", "\xE2\x82", std::u32string{0xE2, 0x82}, "\xC3\xA2\xC2\x82"},
      {"five-byte form", "\xF8\x88\x80\x80\x80", U"_", "_"},
      {"six-byte form", "\xFC\x84\x80\x80\x80\x80x", U"_x", "_x"},
      {"encoded surrogate", "\xED\xA0\x80", std::u32string{0xD800}, "\xEF\xBF\xBD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", std::u32string{0x110000}, "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UTF8ToUTF32String(c.in.c_str()), c.points) << c.what;
    EXPECT_EQ(UTF32ToUTF8String(c.points), c.out) << c.what;
  }
  EXPECT_TRUE(UTF8ToUTF32String(nullptr).empty());
}

TEST_F(TextEntryTest, ACharacterBeyondUFFFFIsOneCharacterOfTheBox) {
  Field* f = field();
  f->SetTextEntryLength(10);
  platform.clipboard = "\xF0\x9F\x98\x80";
  f->open("");
  mouse->keyDown('V', "v", {.command = true});
  EXPECT_EQ(entry->NChars(), 1);
  EXPECT_EQ(entry->GetCursor(), 1);
  mouse->keyDown(kVK_BACK);
  EXPECT_EQ(entry->GetStr(), "");
  type("a\xF0\x9F\x98\x80");
  mouse->keyDown(kVK_RETURN, "\r");
  EXPECT_EQ(events, (Log{"completion a\xF0\x9F\x98\x80"}));
}

TEST_F(TextEntryTest, ABadStringGivenToTheBoxIsCommittedAsValidUTF8) {
  Field* f = field();
  f->open("\xED\xA0\x80z");
  mouse->keyDown(kVK_RETURN, "\r");
  EXPECT_EQ(events, (Log{"completion \xEF\xBF\xBDz"}));
}

// ---------------------------------------------------------------------------------------
// Clipboard and context menu

TEST_F(TextEntryTest, CopyCutAndPasteGoThroughThePlatformClipboard) {
  Field* f = field(kSteps);
  f->open("123");
  mouse->keyDown('C', "c", {.command = true});
  EXPECT_EQ(platform.clipboard, "123");
  mouse->keyDown('X', "x", {.command = true});
  EXPECT_EQ(entry->GetStr(), "");
  // What cannot be typed is left out, and what does not fit the box.
  platform.clipboard = "4a5\n6789012";
  mouse->keyDown('V', "v", {.command = true});
  EXPECT_EQ(entry->GetStr(), "4567890");
  mouse->keyDown('Z', "z", {.command = true});
  EXPECT_EQ(entry->GetStr(), "");
  platform.clipboard.clear();
  EXPECT_TRUE(mouse->keyDown('V', "v", {.command = true}));
  EXPECT_EQ(entry->GetStr(), "");
}

TEST_F(TextEntryTest, TheContextMenuActsOnTheBox) {
  Field* f = field();
  f->open("word");
  platform.chooseMenuItem({1});  // "Copy", from the platform's menu
  mouse->rightClick(150, 60);
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_EQ(platform.menus[0].menu.items.size(), 3u);
  EXPECT_EQ(platform.menus[0].menu.items[2].text, "Paste");
  EXPECT_EQ(platform.clipboard, "word");
  EXPECT_TRUE(entry->IsEditing());
}

TEST_F(TextEntryTest, WithADrawnMenuTheContextMenuIsDrawnOverTheBox) {
  AttachPopupMenuControl(*g);
  auto* menu = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
  Field* f = field();
  f->open("word");
  platform.clipboard = "XY";
  mouse->rightClick(150, 60);
  ASSERT_TRUE(menu->IsExpanded());
  EXPECT_EQ(g->GetMouseControl(150, 60, false), menu);  // the menu comes first
  after(101);
  const IRECT* paste = menu->GetPanel(0)->GetCell(2);
  mouse->click(paste->CentreX(), paste->CentreY());
  EXPECT_EQ(entry->GetStr(), "XY");
  EXPECT_TRUE(entry->IsEditing());
  EXPECT_EQ(g->GetMouseControl(150, 60, false), entry);
}

// ---------------------------------------------------------------------------------------
// Real glyph advances

namespace {

class TextEntryAdvanceTest : public TextEntryTest {
protected:
  sp::test::TestCanvas* makeCanvas() override { return new stocktest::AdvanceCanvas(platform, dlg); }
};

}  // namespace

TEST_F(TextEntryAdvanceTest, ATypedSpaceMovesTheCaretByItsAdvance) {
  auto* canvas = static_cast<stocktest::AdvanceCanvas*>(g);
  ASSERT_TRUE(canvas->fontLoaded());
  const IText text = DEFAULT_TEXT.WithAlign(ETextHAlign::Left);
  const float space = canvas->advance(text, " ");
  ASSERT_GT(space, 2.f);
  IRECT ink;
  // A trailing space adds nothing to the ink box: widths taken from it would lose the space.
  EXPECT_NEAR(canvas->MeasureText(text, "a ", ink), canvas->MeasureText(text, "a", ink), 0.5f);

  Field* f = field(kNoLinkedParam);
  f->open("ab", text);
  mouse->keyDown(kVK_END);
  const float before = entry->GetCaretX(entry->GetCursor());
  type(" ");
  const float after = entry->GetCaretX(entry->GetCursor());
  EXPECT_NEAR(after - before, space, 1.f);
  EXPECT_NEAR(after - entry->GetRowStart(), canvas->advance(text, "ab "), 1.f);
}
