// Native menus and text fields, end to end: a menu shows on the next turn of the main
// queue, its titles carry the model's number prefix, title items are indented and checked
// items marked, a submenu's choice answers the submenu with its index, the menu pops up at
// its chosen item or 4 points below; the requesting control hears the answer; fields take
// what their parameter's type allows, keep their length (also without a parameter), show
// the registered font at its point size, centre their text, commit once.
#include "tests/support/font_bytes.h"
#include "tests/platform/mac/mac_editor.h"

namespace {

using namespace mactest;

class MenusAndFields : public MacEditorTest {
protected:
  void SetUp() override {
    MacEditorTest::SetUp();
    open();
  }
};

TEST_F(MenusAndFields, MenusShowNextTurnWithPrefixesLooksAndSubmenus) {
  IPopupMenu menu("Targets", 3);
  menu.AddItem("Factory", -1, IPopupMenu::Item::kTitle | IPopupMenu::Item::kChecked);
  menu.AddItem("Rock");
  menu.AddSeparator();
  auto* sub = new IPopupMenu("More");
  sub->AddItem("A");
  sub->AddItem("B");
  menu.AddItem("More", sub);
  menu.AddItem("Off", -1, IPopupMenu::Item::kDisabled);

  script.chooseMenuItem({3, 1});
  g->CreatePopupMenu(*left, menu, IRECT(10, 20, 110, 40), 0);
  EXPECT_TRUE(script.menus.empty());  // on the next turn
  cfshim::DrainMainQueue();
  ASSERT_EQ(script.menus.size(), 1u);
  const uiscript::MenuSnapshot& shown = script.menus[0].menu;
  ASSERT_EQ(shown.items.size(), 5u);
  EXPECT_EQ(shown.items[0].text, "001: Factory");
  EXPECT_EQ(shown.items[0].flags, 2 | 4);  // indented, on
  EXPECT_EQ(shown.items[1].text, "002: Rock");
  EXPECT_EQ(shown.items[2].flags, 8);
  EXPECT_EQ(shown.items[3].text, "004: More");
  ASSERT_TRUE(shown.items[3].hasSubmenu);
  EXPECT_EQ(shown.items[3].submenu[1].text, "B");
  EXPECT_EQ(shown.items[4].flags, 1);
  EXPECT_EQ(left->names(), (std::vector<std::string>{"menu 1"}));
  EXPECT_EQ(left->chosenMenu, sub);
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
  // No chosen item: 4 points below the control.
  EXPECT_EQ(script.menus[0].positioningItem, -1);
  EXPECT_EQ(script.menus[0].locationX, 10.f);
  EXPECT_EQ(script.menus[0].locationY, 44.f);
}

TEST_F(MenusAndFields, AMenuOpensAtItsChosenItemWhenItHasOne) {
  IPopupMenu menu("", 0, false, {"a", "b", "c"});
  menu.SetChosenItemIdx(1);
  script.chooseMenuItem({2});
  g->CreatePopupMenu(*left, menu, IRECT(10, 20, 110, 40), 0);
  cfshim::DrainMainQueue();
  EXPECT_EQ(script.menus[0].positioningItem, 1);
  EXPECT_EQ(script.menus[0].locationY, 20.f);
  EXPECT_EQ(left->names(), (std::vector<std::string>{"menu 2"}));

  menu.SetChosenItemIdx(5);  // chosen 5 of 3
  script.dismissMenu();
  g->CreatePopupMenu(*left, menu, IRECT(10, 20, 110, 40), 0);
  cfshim::DrainMainQueue();
  EXPECT_EQ(script.menus[1].positioningItem, -1);
  EXPECT_EQ(script.menus[1].locationY, 44.f);
  EXPECT_EQ(left->names(), (std::vector<std::string>{"menu 2", "menu null"}));
}

TEST_F(MenusAndFields, FieldsTakeWhatTheirParameterAllowsAndKeepTheirLength) {
  // The integer "Level" (parameter 6) on the right control, length 3.
  right->SetTextEntryLength(3);
  script.commitText("1.");
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "", 0);
  cfshim::DrainMainQueue();
  ASSERT_EQ(script.textEntries.size(), 1u);
  EXPECT_EQ(script.textEntries[0].delivered, "1");
  EXPECT_EQ(dlg.GetParam(6)->Value(), 1.0);

  script.commitText("1234");
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "", 0);
  cfshim::DrainMainQueue();
  EXPECT_EQ(script.textEntries[1].delivered, "123");
  EXPECT_EQ(dlg.GetParam(6)->Value(), 100.0);  // clamped to the range

  // The prompt for a parameter opens with its display text.
  script.commitText("");
  g->PromptUserInput(*right, right->GetRECT(), 0);
  EXPECT_EQ(script.textEntries[2].initial, "100");
  cfshim::DrainMainQueue();

  // A pasted "1.5" in an integer field is refused whole.
  script.leaveTextOpen();
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "", 0);
  EXPECT_FALSE(view->textField()->paste("1.5"));
  g->ForceEndUserEdit();

  // Without a parameter any character, up to the length.
  left->SetTextEntryLength(16);
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), left->GetRECT(), "", kEveryValIdx);
  EXPECT_EQ(view->textField()->typeText(std::string("abcdefghijklmnopq")), 16);
  EXPECT_EQ(view->textField()->stringValue(), "abcdefghijklmnop");
  view->textField()->endEditing();
  EXPECT_EQ(left->names(), (std::vector<std::string>{"text abcdefghijklmnop"}));
  EXPECT_EQ(view->textField(), nullptr);
}

TEST_F(MenusAndFields, AScriptedCommitTypesOverTheInitialText) {
  left->SetTextEntryLength(16);
  script.commitText("-16.5");
  g->CreateTextEntry(*left, IText(14.f), left->GetRECT(), "-14.0", kEveryValIdx);
  cfshim::DrainMainQueue();
  ASSERT_EQ(script.textEntries.size(), 1u);
  EXPECT_EQ(script.textEntries[0].initial, "-14.0");
  EXPECT_EQ(script.textEntries[0].delivered, "-16.5");
  EXPECT_EQ(left->names(), (std::vector<std::string>{"text -16.5"}));
}

TEST_F(MenusAndFields, FieldsShowTheRegisteredFontAtItsPointSizeAndCentreTheirText) {
  ASSERT_TRUE(g->LoadFont("Roboto-Regular", fontbytes::robotoRegularPath().c_str()));
  g->Resize(640, 400, 1.5f);
  view = g->GetView();
  IText text(14.f);
  text.SetFont("Roboto-Regular");
  text.align = ETextHAlign::Right;
  text.entryColor = IColor(255, 255, 0, 0);
  text.entryBackground = IColor(255, 0, 0, 255);
  script.leaveTextOpen();
  g->CreateTextEntry(*left, text, IRECT(0, 0, 100, 40), "x", kEveryValIdx);
  ICanvasTextField_vSpectraPoise_vst3* field = view->textField();
  ASSERT_NE(field, nullptr);
  ASSERT_NE(field->font(), nullptr);
  EXPECT_NEAR(field->font()->pointSize(), 17.92, 1e-4);
  EXPECT_NE(field->font()->fontDescriptor(), nullptr);
  EXPECT_EQ(field->alignment(), NSTextAlignmentRight);
  EXPECT_EQ(field->textColor()->redComponent(), 1.0);
  EXPECT_EQ(field->backgroundColor()->blueComponent(), 1.0);
  EXPECT_FALSE(field->isBordered());
  EXPECT_EQ(field->focusRingType(), NSFocusRingTypeNone);
  EXPECT_FALSE(field->allowsEditingTextAttributes());
  EXPECT_EQ(field->cell()->lineBreakMode(), NSLineBreakByTruncatingTail);
  // The centring cell places the field editor where the text is drawn.
  ASSERT_NE(field->currentEditor(), nullptr);
  const double textHeight = field->cell()->cellSize().height;
  EXPECT_EQ(field->currentEditor()->frame().origin.y, (60 - textHeight) / 2);
  EXPECT_EQ(field->currentEditor()->insertionPointColor(), field->textColor());
  g->ForceEndUserEdit();

  // A font nobody registered: the system font at the size times the draw scale.
  text.SetFont("Unregistered");
  script.leaveTextOpen();
  g->CreateTextEntry(*left, text, IRECT(0, 0, 100, 40), "x", kEveryValIdx);
  EXPECT_EQ(view->textField()->font()->fontDescriptor(), nullptr);
  EXPECT_NEAR(view->textField()->font()->pointSize(), 21.0, 1e-9);
}

TEST_F(MenusAndFields, OneFieldAtATimeAndAFieldWhoseControlWentGivesWay) {
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), left->GetRECT(), "a", kEveryValIdx);
  const NSPtr<ICanvasTextField_vSpectraPoise_vst3> first =
      NSPtr<ICanvasTextField_vSpectraPoise_vst3>::retain(view->textField());
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "b", 0);  // refused by the context
  EXPECT_EQ(view->textField(), first.get());
  g->RemoveControl(left);
  left = nullptr;
  script.commitText("5");
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "", 0);
  EXPECT_NE(view->textField(), first.get());
  EXPECT_EQ(first->superview(), nullptr);
  cfshim::DrainMainQueue();
  EXPECT_EQ(dlg.GetParam(6)->Value(), 5.0);
}

}  // namespace
