// The drawn popup menu: where its panels go, which item a click chooses and whom it is
// reported to, hover scrolling and submenus, the fades on the test clock, requests that
// meet a menu already shown, and requesters or the menu itself removed while it is shown.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/stock/PopupMenuControl.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;

namespace {

// A control that asks for its menu when pressed and logs what it is told.
class Opener : public IControl {
public:
  Opener(const IRECT& r, int paramIdx, Log& log, const char* name) : IControl(r, paramIdx), mLog(log), mName(name) {
    menu.SetFunction([this](IPopupMenu* m) { mLog.push_back(mName + " completion " + std::to_string(m->GetChosenItemIdx())); });
  }
  void Draw(ICanvas&) override {}
  void OnMouseDown(float, float, const IMouseMod&) override { ask(); }
  void ask() { GetUI()->CreatePopupMenu(*this, menu, anchor); }
  void OnPopupMenuSelection(IPopupMenu* m, int) override {
    reported.push_back(m);
    chosen.push_back(m != nullptr ? m->GetChosenItemIdx() : -1);
    mLog.push_back(mName + " report " + std::to_string(chosen.back()));
    if (onReport) onReport(m);
  }

  IPopupMenu menu;
  IRECT anchor;
  std::vector<IPopupMenu*> reported;
  std::vector<int> chosen;
  std::function<void(IPopupMenu*)> onReport;

private:
  Log& mLog;
  std::string mName;
};

class PopupMenuTest : public StockTest {
protected:
  void SetUp() override {
    StockTest::SetUp();
    if (HasFatalFailure()) return;
    AttachPopupMenuControl(*g);
    menuControl = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
    ASSERT_NE(menuControl, nullptr);
  }

  Opener* opener(const IRECT& anchor, int paramIdx = kNoLinkedParam, const char* name = "A",
                 std::initializer_list<const char*> items = {"Alpha", "Beta", "Gamma"}) {
    auto* o = attach(new Opener(anchor, paramIdx, events, name));
    o->anchor = anchor;
    for (const char* item : items) o->menu.AddItem(item);
    return o;
  }

  // Opens the opener's menu by a click on it and waits until it is fully shown.
  void openByClick(Opener& o) {
    mouse->click(o.anchor.CentreX(), o.anchor.CentreY());
    settle();
  }
  void settle() {
    for (int i = 0; i < 30 && menuControl->GetState() != IPopupMenuControl::kOpen; ++i) after(20);
    ASSERT_EQ(menuControl->GetState(), IPopupMenuControl::kOpen);
  }
  IPopupMenuControl::MenuPanel& root() { return *menuControl->GetPanel(0); }
  // The centre of a cell of a panel.
  void clickCell(IPopupMenuControl::MenuPanel& panel, int cell) {
    const IRECT* r = panel.GetCell(cell);
    mouse->click(r->CentreX(), r->CentreY());
  }
  void hoverCell(IPopupMenuControl::MenuPanel& panel, int cell) {
    const IRECT* r = panel.GetCell(cell);
    mouse->moveTo(r->CentreX(), r->CentreY());
  }

  IPopupMenuControl* menuControl = nullptr;
  Log events;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Placement

TEST_F(PopupMenuTest, ThreeItemsMeasureSixtyThreeByFortySix) {
  IPopupMenu menu("", 0, false, {"Alpha", "Beta", "Gamma"});
  float w = 0, h = 0;
  menuControl->GetPanelDimensions(menu, w, h);
  EXPECT_FLOAT_EQ(w, 63.f);
  EXPECT_FLOAT_EQ(h, 46.f);
}

TEST_F(PopupMenuTest, TheRootPanelSitsBelowOrAboveTheAnchorOrBesideIt) {
  struct Case {
    IRECT anchor;
    bool forceBelow;
    IRECT target;
    int direction;
  };
  const Case cases[] = {
      // Room below: below, centred on the anchor.
      {IRECT(100, 100, 160, 120), true, IRECT(98.5f, 120, 171.5f, 176), 2},
      // No room below: above.
      {IRECT(100, 380, 160, 395), true, IRECT(98.5f, 324, 171.5f, 380), 0},
      // Right half without forcing it below: to the left of the anchor, level with it.
      {IRECT(500, 100, 560, 120), false, IRECT(427, 96, 500, 152), 3},
      // Left half: to the right.
      {IRECT(100, 100, 160, 120), false, IRECT(160, 96, 233, 152), 1},
  };
  for (const Case& c : cases) {
    Opener* o = opener(c.anchor);
    menuControl->SetForceBelow(c.forceBelow);
    o->ask();
    ASSERT_EQ(menuControl->NPanels(), 1);
    expectRect(root().mTargetRECT, c.target, "anchor at " + std::to_string(c.anchor.T));
    EXPECT_EQ(menuControl->GetCalloutDirection(), c.direction);
    menuControl->CloseNow();
    g->RemoveControl(o);
  }
}

TEST_F(PopupMenuTest, CellsAreStackedWithTheirGap) {
  openByClick(*opener(IRECT(100, 100, 160, 120)));
  ASSERT_EQ(root().NCells(), 3);
  const float tops[] = {125, 141, 157};
  for (int i = 0; i < 3; ++i) expectRect(*root().GetCell(i), IRECT(103.5f, tops[i], 166.5f, tops[i] + 14));
}

TEST_F(PopupMenuTest, PanelsStayInsideTheEditorWhereverTheAnchorIs) {
  Opener* o = opener(IRECT(), kNoLinkedParam, "A", {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"});
  for (float x = 0; x < 640; x += 35) {
    for (float y = 0; y < 400; y += 27) {
      for (bool below : {true, false}) {
        o->anchor = IRECT(x, y, x + 30, y + 15);
        menuControl->SetForceBelow(below);
        o->ask();
        ASSERT_EQ(menuControl->NPanels(), 1);
        EXPECT_TRUE(g->GetBounds().Contains(root().mRECT)) << x << "," << y << " below " << below;
        menuControl->CloseNow();
      }
    }
  }
}

// Every setting that moves panels: the panel and every cell stay inside the target area
// (the editor when none is set) wherever the anchor is, for a short and a long menu.
TEST_F(PopupMenuTest, EverySettingKeepsThePanelAndItsCellsInsideTheArea) {
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("Item " + std::to_string(i));
  int opened = 0;
  for (int count : {6, 60}) {
    Opener* o = opener(IRECT(), kNoLinkedParam, "A", {});
    for (int i = 0; i < count; ++i) o->menu.AddItem(names[static_cast<size_t>(i)].c_str());
    for (int setting = 0; setting < 32; ++setting) {
      const bool callout = setting & 1, scroll = !(setting & 4), expanded = setting & 8, area = setting & 16;
      const int perColumn = setting & 2 ? 3 : 0;
      menuControl->SetCallout(callout);
      menuControl->SetMaxItemsPerColumn(perColumn);
      menuControl->SetScrollIfTooBig(scroll);
      menuControl->SetExpandedBounds(expanded ? IRECT(420, 300, 600, 390) : IRECT());
      const IRECT T = area ? IRECT(40, 30, 600, 370) : g->GetBounds();
      menuControl->SetTargetArea(area ? T : IRECT());
      for (float x = 0; x < 640; x += 70) {
        for (float y = 0; y < 400; y += 50) {
          for (bool below : {true, false}) {
            o->anchor = IRECT(x, y, x + 30, y + 15);
            menuControl->SetForceBelow(below);
            o->ask();
            ASSERT_EQ(menuControl->NPanels(), 1);
            const std::string what = std::to_string(count) + " items, callout " + std::to_string(callout) +
                                     ", per column " + std::to_string(perColumn) + ", scroll " +
                                     std::to_string(scroll) + ", expanded " + std::to_string(expanded) +
                                     ", area " + std::to_string(area) + ", anchor " + std::to_string(x) + "," +
                                     std::to_string(y) + ", below " + std::to_string(below);
            EXPECT_TRUE(T.Contains(root().mTargetRECT)) << what;
            for (int i = 0; i < root().NCells(); ++i) EXPECT_TRUE(T.Contains(*root().GetCell(i))) << what << " cell " << i;
            menuControl->CloseNow();
            ++opened;
          }
        }
      }
    }
    g->RemoveControl(o);
  }
  EXPECT_GT(opened, 0);
}

// The faults the sweep guards against, with their figures: three per column under scrolling
// moved the single column up off the top; sixty items without scrolling ran off the right.
TEST_F(PopupMenuTest, ColumnsOfAFixedLengthAndUnscrolledColumnsStayOnScreen) {
  Opener* six = opener(IRECT(100, 0, 160, 20), kNoLinkedParam, "A", {"a", "b", "c", "d", "e", "f"});
  menuControl->SetMaxItemsPerColumn(3);
  six->ask();
  EXPECT_GE(root().mRECT.T, 0.f);
  EXPECT_EQ(root().NCells(), 6);
  EXPECT_FALSE(root().mScroller);
  // Two columns of three, side by side.
  EXPECT_FLOAT_EQ(root().GetCell(3)->T, root().GetCell(0)->T);
  EXPECT_GT(root().GetCell(3)->L, root().GetCell(0)->R);
  menuControl->CloseNow();
  g->RemoveControl(six);

  menuControl->SetMaxItemsPerColumn(0);
  menuControl->SetScrollIfTooBig(false);
  Opener* o = opener(IRECT(), kNoLinkedParam, "B", {});
  for (int i = 0; i < 60; ++i) o->menu.AddItem(("Item " + std::to_string(i)).c_str());
  for (float x = 0; x < 640; x += 40) {
    o->anchor = IRECT(x, 200, x + 30, 215);
    o->ask();
    EXPECT_TRUE(g->GetBounds().Contains(root().mRECT)) << x;
    menuControl->CloseNow();
  }
}

TEST_F(PopupMenuTest, AWindowTooSmallForOneRowStillOpensAndClosesSafely) {
  g->Resize(640, 20, 1.f);
  Opener* o = opener(IRECT(100, 2, 160, 18));
  openByClick(*o);
  EXPECT_GE(root().NCells(), 1);
  EXPECT_FALSE(root().mScroller);
  for (int i = 0; i < root().NCells(); ++i) EXPECT_TRUE(std::isfinite(root().GetCell(i)->T));
  mouse->moveTo(120, 10);
  mouse->click(120, 10);
  for (int i = 0; i < 10; ++i) after(50);
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kClosed);
  ASSERT_EQ(o->chosen.size(), 1u);
}

TEST_F(PopupMenuTest, AnEmptyMenuClosesWithNothingChosen) {
  Opener* o = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A", {});
  openByClick(*o);
  EXPECT_EQ(root().NCells(), 0);
  mouse->click(120, 125);
  ASSERT_EQ(o->chosen.size(), 1u);
  EXPECT_EQ(o->reported[0], nullptr);
}

// ---------------------------------------------------------------------------------------
// Choice

TEST_F(PopupMenuTest, AClickChoosesTheItemRunsTheCompletionOnceThenReportsAndEndsTheEdit) {
  Opener* o = opener(IRECT(100, 100, 160, 120), kLevel);
  mouse->press(130, 110);  // the press opens the opener's edit and asks for the menu
  mouse->release();
  settle();
  dlg.log.clear();
  clickCell(root(), 1);
  EXPECT_EQ(events, (Log{"A completion 1", "A report 1"}));
  ASSERT_EQ(o->reported.size(), 1u);
  EXPECT_EQ(o->reported[0], &o->menu);
  EXPECT_STREQ(o->menu.GetChosenItem()->GetText(), "Beta");
  EXPECT_EQ(dlg.log, (Log{"End 3"}));
  EXPECT_EQ(g->NOpenGestures(), 0);
}

TEST_F(PopupMenuTest, ClicksOnWhatCannotBeChosenReportNothing) {
  auto* sub = new IPopupMenu("", 0, false, {"Inner"});
  Opener* o = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A", {});
  o->menu.AddItem("Title", -1, IPopupMenu::Item::kTitle);
  o->menu.AddSeparator();
  o->menu.AddItem("Off", -1, IPopupMenu::Item::kDisabled);
  o->menu.AddItem("Sub", sub);
  o->menu.AddItem("Plain");
  struct Case {
    const char* what;
    std::function<void()> click;
  };
  const Case cases[] = {
      {"title", [&] { clickCell(root(), 0); }},
      {"separator", [&] { clickCell(root(), 1); }},
      {"disabled", [&] { clickCell(root(), 2); }},
      {"submenu item", [&] { clickCell(root(), 3); }},
      {"gap between cells", [&] {
         const IRECT* a = root().GetCell(3);
         mouse->click(a->CentreX(), a->B + 1.f);
       }},
      {"outside", [&] { mouse->click(600, 380); }},
  };
  for (const Case& c : cases) {
    o->ask();
    settle();
    c.click();
    ASSERT_FALSE(o->chosen.empty()) << c.what;
    EXPECT_EQ(o->chosen.back(), -1) << c.what;
    EXPECT_EQ(o->reported.back(), nullptr) << c.what;
    menuControl->CloseNow();
  }
}

TEST_F(PopupMenuTest, TheGapBetweenTwoCellsChoosesNeither) {
  Opener* o = opener(IRECT(100, 100, 160, 120));
  openByClick(*o);
  mouse->click(130, 140);  // between Alpha (125-139) and Beta (141-155)
  ASSERT_EQ(o->chosen.size(), 1u);
  EXPECT_EQ(o->chosen[0], -1);
}

TEST_F(PopupMenuTest, ATallMenuScrollsOneItemPerHoverAndNeverPastItsEnds) {
  g->Resize(640, 180, 1.f);
  std::vector<std::string> names;
  Opener* o = opener(IRECT(100, 10, 160, 30), kNoLinkedParam, "A", {});
  for (int i = 0; i < 40; ++i) o->menu.AddItem(("Item " + std::to_string(i)).c_str());
  openByClick(*o);
  ASSERT_TRUE(root().mScroller);
  ASSERT_EQ(root().NCells(), 10);
  for (int i = 0; i < 10; ++i) hoverCell(root(), 9);
  EXPECT_EQ(root().mScrollItemOffset, 10);
  for (int i = 0; i < 30; ++i) hoverCell(root(), 9);
  EXPECT_EQ(root().mScrollItemOffset, 30);

  after(20);
  drawOnly(*menuControl);
  const std::vector<std::string> drawn = texts(*g);
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), "Item 39");
  EXPECT_EQ(drawn.front(), "Item 31");  // the first cell is the up arrow

  // Hovering the top scrolls back one at a time.
  hoverCell(root(), 0);
  EXPECT_EQ(root().mScrollItemOffset, 29);
  // The arrow cells choose nothing.
  clickCell(root(), 0);
  ASSERT_EQ(o->chosen.size(), 1u);
  EXPECT_EQ(o->chosen[0], -1);
}

TEST_F(PopupMenuTest, AClickOnAScrolledCellChoosesTheItemItShows) {
  g->Resize(640, 180, 1.f);
  Opener* o = opener(IRECT(100, 10, 160, 30), kNoLinkedParam, "A", {});
  for (int i = 0; i < 40; ++i) o->menu.AddItem(("Item " + std::to_string(i)).c_str());
  openByClick(*o);
  for (int i = 0; i < 5; ++i) hoverCell(root(), 9);
  clickCell(root(), 4);
  ASSERT_EQ(o->chosen.size(), 1u);
  EXPECT_EQ(o->chosen[0], 9);
}

TEST_F(PopupMenuTest, ASubmenuOpensOnHoverAndItsChoiceIsReportedOnTheSubmenu) {
  auto* sub = new IPopupMenu("", 0, false, {"X", "Y"});
  Opener* o = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A", {"First"});
  o->menu.AddItem("More", sub);
  openByClick(*o);
  hoverCell(root(), 1);
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kSubmenuOpening);
  ASSERT_EQ(menuControl->NPanels(), 2);
  IPopupMenuControl::MenuPanel& subPanel = *menuControl->GetPanel(1);
  EXPECT_EQ(&subPanel.mMenu, sub);
  EXPECT_GE(subPanel.mTargetRECT.L, root().GetCell(1)->R);  // opens to the right
  // A click while it fades in chooses nothing and keeps the menu.
  clickCell(subPanel, 1);
  EXPECT_TRUE(o->chosen.empty());
  settle();
  hoverCell(subPanel, 1);
  clickCell(subPanel, 1);
  ASSERT_EQ(o->reported.size(), 1u);
  EXPECT_EQ(o->reported[0], sub);
  EXPECT_EQ(o->chosen[0], 1);
  EXPECT_EQ(o->menu.GetChosenItemIdx(), -1);
}

TEST_F(PopupMenuTest, HoveringAPlainItemClosesTheOpenSubmenusBelowIt) {
  auto* deep = new IPopupMenu("", 0, false, {"Deep"});
  auto* sub = new IPopupMenu("", 0, false, {"Z"});
  sub->AddItem("Deeper", deep);
  Opener* o = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A", {"First"});
  o->menu.AddItem("More", sub);
  openByClick(*o);
  hoverCell(root(), 1);
  settle();
  hoverCell(*menuControl->GetPanel(1), 1);
  settle();
  ASSERT_EQ(menuControl->NPanels(), 3);
  mouse->moveTo(root().GetCell(0)->CentreX(), root().GetCell(0)->CentreY());
  EXPECT_TRUE(root().mShouldDraw);
  EXPECT_FALSE(menuControl->GetPanel(1)->mShouldDraw);
  EXPECT_FALSE(menuControl->GetPanel(2)->mShouldDraw);
}

// ---------------------------------------------------------------------------------------
// Fades and drawing

TEST_F(PopupMenuTest, TheMenuFadesInThenHidesAtTheClickAndClosesInThreeSteps) {
  Opener* o = opener(IRECT(100, 100, 160, 120));
  o->ask();
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kOpening);
  EXPECT_TRUE(menuControl->IsExpanded());
  after(0);
  EXPECT_FLOAT_EQ(root().mBlend.weight, 0.f);
  after(50);
  EXPECT_NEAR(root().mBlend.weight, 0.475f, 1e-5);
  after(50);
  EXPECT_NEAR(root().mBlend.weight, 0.95f, 1e-5);
  after(1);
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kOpen);

  clickCell(root(), 0);
  EXPECT_TRUE(menuControl->IsHidden());
  EXPECT_FALSE(menuControl->IsExpanded());
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kChoiceFlash);
  const IPopupMenuControl::EMenuState expected[] = {IPopupMenuControl::kFadingOut, IPopupMenuControl::kClosing,
                                                    IPopupMenuControl::kClosed};
  for (IPopupMenuControl::EMenuState state : expected) {
    after(90);
    EXPECT_NE(menuControl->GetState(), state);
    after(11);
    EXPECT_EQ(menuControl->GetState(), state);
  }
  EXPECT_EQ(menuControl->NPanels(), 0);
  EXPECT_TRUE(menuControl->GetAnchorArea().IsEmpty());
}

TEST_F(PopupMenuTest, WhileHiddenTheMenuDrawsNothingAndClicksReachTheControlsBeneath) {
  Opener* o = opener(IRECT(100, 100, 160, 120));
  openByClick(*o);
  clickCell(root(), 0);
  g->clearDrawOps();
  g->SetAllControlsDirty();
  g->tick();
  EXPECT_TRUE(texts(*g).empty());
  // The opener is clickable again at once: a second menu opens for it.
  mouse->click(130, 110);
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kOpening);
}

TEST_F(PopupMenuTest, SeparatorsShowOnlyOnceThePanelIsAlmostOpaque) {
  Opener* o = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A", {"One"});
  o->menu.AddSeparator();
  o->menu.AddItem("Two");
  o->ask();
  auto separatorFills = [&] {
    drawOnly(*menuControl);
    int n = 0;
    for (const sp::test::DrawOp& op : g->opsOf({sp::test::DrawOp::PathFill}))
      if (sp::test::colorOf(op) == COLOR_MID_GRAY) ++n;
    return n;
  };
  after(50);
  EXPECT_EQ(separatorFills(), 0);
  settle();
  EXPECT_EQ(separatorFills(), 1);
}

TEST_F(PopupMenuTest, TheHoveredCellIsHighlightedAndCheckedItemsGetATick) {
  Opener* o = opener(IRECT(100, 100, 160, 120));
  o->menu.CheckItem(2, true);
  openByClick(*o);
  hoverCell(root(), 1);
  drawOnly(*menuControl);
  const IRECT* beta = root().GetCell(1);
  EXPECT_EQ(colourAt(*g, beta->L + 20, beta->CentreY()), std::optional<IColor>(COLOR_BLUE));
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawText});
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_EQ(drawn[1].textStyle.color, COLOR_WHITE);
  EXPECT_EQ(drawn[0].textStyle.color, COLOR_BLACK);
  const IRECT* gamma = root().GetCell(2);
  EXPECT_EQ(colourAt(*g, gamma->L + 5, gamma->CentreY()), std::optional<IColor>(COLOR_BLACK));  // the tick
}

// ---------------------------------------------------------------------------------------
// Requests that meet a shown menu, and removal

TEST_F(PopupMenuTest, ASecondRequestWhileOpenIsAnsweredAtOnceAndTheFirstKeepsItsMenu) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kLevel, "A");
  Opener* b = opener(IRECT(300, 100, 360, 120), kMix, "B", {"Other"});
  mouse->press(130, 110);
  mouse->release();
  settle();
  dlg.log.clear();
  // Something asks for B's menu while A's is shown, with B's edit open.
  g->BeginParamGesture(b, kMix);
  b->ask();
  EXPECT_EQ(events, (Log{"B report -1"}));
  EXPECT_EQ(dlg.log, (Log{"Begin 4", "End 4"}));
  EXPECT_EQ(menuControl->GetMenu(), &a->menu);
  EXPECT_EQ(g->GetControlInPopupMenu(), a);

  events.clear();
  clickCell(root(), 2);
  EXPECT_EQ(events, (Log{"A completion 2", "A report 2"}));
  EXPECT_TRUE(b->chosen.size() == 1 && b->chosen[0] == -1);
  EXPECT_EQ(g->NOpenGestures(), 0);
}

TEST_F(PopupMenuTest, ARequestWhileTheMenuFadesOutOpensTheNewMenu) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A");
  Opener* b = opener(IRECT(300, 100, 360, 120), kNoLinkedParam, "B", {"Other"});
  openByClick(*a);
  clickCell(root(), 0);
  after(101);
  ASSERT_EQ(menuControl->GetState(), IPopupMenuControl::kFadingOut);
  b->ask();
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kOpening);
  EXPECT_EQ(menuControl->GetMenu(), &b->menu);
  settle();
  clickCell(root(), 0);
  ASSERT_EQ(b->chosen.size(), 1u);
  EXPECT_EQ(b->chosen[0], 0);
}

TEST_F(PopupMenuTest, AHandlerMayOpenTheNextMenuFromItsReport) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A");
  Opener* b = opener(IRECT(300, 100, 360, 120), kNoLinkedParam, "B", {"Next"});
  a->onReport = [&](IPopupMenu*) { b->ask(); };
  openByClick(*a);
  clickCell(root(), 1);
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kOpening);
  EXPECT_EQ(menuControl->GetMenu(), &b->menu);
  EXPECT_FALSE(menuControl->IsHidden());
  settle();
  clickCell(root(), 0);
  ASSERT_EQ(b->chosen.size(), 1u);
  EXPECT_EQ(b->chosen[0], 0);
}

TEST_F(PopupMenuTest, RemovingTheOpenerWhileItsMenuIsShownClosesItSilently) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kLevel, "A");
  mouse->press(130, 110);
  mouse->release();
  settle();
  hoverCell(root(), 1);
  dlg.log.clear();
  g->RemoveControl(a);  // its menu goes with it
  EXPECT_EQ(dlg.log, (Log{"End 3"}));
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kClosed);
  EXPECT_TRUE(menuControl->IsHidden());
  EXPECT_EQ(menuControl->NPanels(), 0);
  EXPECT_EQ(menuControl->GetMenu(), nullptr);
  EXPECT_TRUE(events.empty());
  // Events and frames after it touch nothing of the menu.
  mouse->moveTo(130, 148);
  mouse->click(130, 148);
  for (int i = 0; i < 10; ++i) after(20);
}

TEST_F(PopupMenuTest, RemovingTheMenuControlWhileShownAnswersTheOpenerAsDismissed) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kLevel, "A");
  mouse->press(130, 110);
  mouse->release();
  settle();
  dlg.log.clear();
  g->RemovePopupMenuControl();
  EXPECT_EQ(g->GetPopupMenuControl(), nullptr);
  EXPECT_EQ(events, (Log{"A report -1"}));
  EXPECT_EQ(dlg.log, (Log{"End 3"}));
  // Menus are the platform's again.
  platform.dismissMenu();
  a->ask();
  platform.queue.drain();
  EXPECT_EQ(platform.menus.size(), 1u);
}

TEST_F(PopupMenuTest, AReportThatRemovesTheMenuControlLeavesNothingDangling) {
  Opener* a = opener(IRECT(100, 100, 160, 120), kNoLinkedParam, "A");
  a->onReport = [&](IPopupMenu*) { g->RemovePopupMenuControl(); };
  openByClick(*a);
  clickCell(root(), 0);  // the press hits the menu, which goes while its click runs
  EXPECT_EQ(g->GetPopupMenuControl(), nullptr);
  EXPECT_EQ(a->chosen, (std::vector<int>{0}));
  after(20);
  mouse->click(130, 110);
}

TEST_F(PopupMenuTest, WhileExpandedEveryEventGoesToTheMenu) {
  Opener* a = opener(IRECT(100, 100, 160, 120));
  Opener* under = opener(IRECT(0, 200, 640, 400), kNoLinkedParam, "U", {"U"});
  openByClick(*a);
  EXPECT_EQ(g->GetMouseControl(10, 300, false), menuControl);
  mouse->moveTo(10, 300);
  EXPECT_EQ(g->GetMouseOverControl(), menuControl);
  mouse->wheel(10, 300, 1.f);
  EXPECT_TRUE(under->chosen.empty());
  mouse->click(10, 300);  // closes the menu; the control beneath hears nothing
  EXPECT_EQ(a->chosen, (std::vector<int>{-1}));
  EXPECT_EQ(menuControl->GetState(), IPopupMenuControl::kChoiceFlash);
  EXPECT_EQ(g->GetMouseControl(10, 300, false), under);
}
