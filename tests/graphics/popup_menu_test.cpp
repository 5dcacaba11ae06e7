// The popup menu model: insertion positions, flags, submenus, checks and ownership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/IPopupMenu.h"

using namespace plugkit::canvas;
using Item = IPopupMenu::Item;

namespace {

std::vector<std::string> texts(const IPopupMenu& menu) {
  std::vector<std::string> out;
  for (int i = 0; i < menu.NItems(); ++i) out.emplace_back(menu.GetItem(i)->GetText());
  return out;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(PopupMenu, NewMenuHasNothingChosenAndListedItems) {
  IPopupMenu menu("Title", 2, true, {"a", "b"});
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(menu.GetChosenItem(), nullptr);
  EXPECT_STREQ(menu.GetRootTitle(), "Title");
  EXPECT_EQ(menu.GetPrefix(), 2);
  EXPECT_TRUE(menu.GetMultiCheck());
  EXPECT_EQ(texts(menu), (Texts{"a", "b"}));
  EXPECT_EQ(menu.GetItem(0)->GetTag(), -1);
  EXPECT_EQ(menu.GetItem(0)->GetFlags(), 0);
  EXPECT_EQ(menu.GetItem(2), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);
}

TEST(PopupMenu, InsertionPositionByIndex) {
  struct Case {
    int index;
    Texts expected;
  } cases[] = {
      {-1, {"a", "b", "c", "new"}},  {0, {"new", "a", "b", "c"}},  {2, {"a", "b", "new", "c"}},
      {100, {"a", "b", "c", "new"}}, {-7, {"new", "a", "b", "c"}},
  };
  for (const Case& c : cases) {
    IPopupMenu menu("", 0, false, {"a", "b", "c"});
    Item* item = menu.AddItem("new", c.index);
    EXPECT_EQ(texts(menu), c.expected) << "index " << c.index;
    EXPECT_EQ(menu.GetItem(menu.GetIndexOf(item)), item);
  }
}

TEST(PopupMenu, SortedInsertionFoldsAsciiCaseAndGoesInFrontOfEqual) {
  IPopupMenu menu;
  menu.AddItem("beta", -2);
  menu.AddItem("Alpha", -2);
  menu.AddItem("gamma", -2);
  EXPECT_EQ(texts(menu), (Texts{"Alpha", "beta", "gamma"}));

  Item* equal = menu.AddItem("alpha", -2);
  EXPECT_EQ(menu.GetIndexOf(equal), 0);
  menu.AddItem("", -2);  // no text sorts as the empty string
  EXPECT_STREQ(menu.GetItem(0)->GetText(), "");
  // Bytes above ASCII are compared as they are, never through a locale.
  menu.AddItem("\xC3\xA9t\xC3\xA9", -2);
  EXPECT_STREQ(menu.GetItem(menu.NItems() - 1)->GetText(), "\xC3\xA9t\xC3\xA9");
}

TEST(PopupMenu, ExistingItemsKeepTheirFlagsAndTags) {
  IPopupMenu menu;
  Item* sep = menu.AddItem(new Item("", Item::kSeparator, -1));
  Item* checked = menu.AddItem("on", -1, Item::kChecked | Item::kDisabled);
  EXPECT_TRUE(sep->GetIsSeparator());
  EXPECT_TRUE(checked->GetChecked());
  EXPECT_FALSE(checked->GetEnabled());
  EXPECT_EQ(menu.AddItem(static_cast<Item*>(nullptr)), nullptr);
  EXPECT_EQ(menu.NItems(), 2);
}

TEST(PopupMenu, SubmenuGetsTheParentsCompletion) {
  int calls = 0;
  IPopupMenu menu;
  menu.SetFunction([&](IPopupMenu*) { ++calls; });
  auto* sub = new IPopupMenu("sub");
  sub->SetFunction([](IPopupMenu*) { FAIL() << "replaced"; });
  Item* item = menu.AddItem("More", sub);
  EXPECT_EQ(item->GetSubmenu(), sub);
  sub->ExecFunction();
  EXPECT_EQ(calls, 1);

  // Without a completion on the parent, the submenu keeps its own.
  IPopupMenu plain;
  auto* own = new IPopupMenu();
  own->SetFunction([&](IPopupMenu*) { calls += 10; });
  plain.AddItem("x", -1, own);
  own->ExecFunction();
  EXPECT_EQ(calls, 11);
}

TEST(PopupMenu, CheckItemAloneInsideASubmenuClearsTheWholeTree) {
  IPopupMenu root;
  root.AddItem("a", -1, Item::kChecked);
  auto* sub = new IPopupMenu();
  sub->AddItem("s1", -1, Item::kChecked);
  Item* target = sub->AddItem("s2");
  auto* deeper = new IPopupMenu();
  deeper->AddItem("d1", -1, Item::kChecked);
  sub->AddItem("deeper", deeper);
  Item* parentOfSub = root.AddItem("sub", sub);
  parentOfSub->SetChecked(true);

  root.CheckItemAlone(target);
  EXPECT_FALSE(root.GetItem(0)->GetChecked());
  EXPECT_FALSE(parentOfSub->GetChecked());
  EXPECT_FALSE(sub->GetItem(0)->GetChecked());
  EXPECT_TRUE(target->GetChecked());
  EXPECT_FALSE(deeper->GetItem(0)->GetChecked());
}

TEST(PopupMenu, RemoveEmptySubmenusWorksOneLevelAndDeletesWhatItRemoves) {
  IPopupMenu root;
  root.AddItem("keep");
  auto* empty = new IPopupMenu();
  root.AddItem("empty", empty);
  auto* holdsEmpty = new IPopupMenu();
  holdsEmpty->AddItem("inner", new IPopupMenu());
  root.AddItem("holds empty", holdsEmpty);

  root.RemoveEmptySubmenus();  // the removed item and its submenu are deleted (ASan checks)
  EXPECT_EQ(texts(root), (Texts{"keep", "holds empty"}));
  EXPECT_EQ(holdsEmpty->NItems(), 1);
}

TEST(PopupMenu, ResetEmptiesForReuseButKeepsCompletion) {
  int calls = 0;
  IPopupMenu menu("old", 3, true, {"x"});
  menu.SetChosenItemIdx(0);
  menu.SetFunction([&](IPopupMenu*) { ++calls; });
  menu.Reset("new");
  EXPECT_EQ(menu.NItems(), 0);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(menu.GetPrefix(), 0);
  EXPECT_FALSE(menu.GetMultiCheck());
  EXPECT_STREQ(menu.GetRootTitle(), "new");
  menu.ExecFunction();
  EXPECT_EQ(calls, 1);
  menu.RemoveItem(5);  // out of range: nothing
}
