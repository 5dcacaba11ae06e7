// Chips and legend: the chip's menu (filled once per left press, anchored on the chip, the
// chosen index to the pick callback), its text entry, its label cut by whole UTF-8
// characters, and the legend row (right-aligned, scaled to fit when too wide).
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/panel_fixture.h"
#include "ui/chips.h"
#include "ui/panel_text.h"

using namespace uitest;
using balance_panel::ChipControl;
using balance_panel::LegendControl;
using sp::test::EventDriver;

namespace {

const Palette kPalette = testPalette();
const std::string kEllipsis = "\xE2\x80\xA6";
const IRECT kTargetChip(72, 81, 250, 103);
const IRECT kLoudnessChip(509, 230, 609, 252);

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Well-formed UTF-8 (no stray or missing continuation bytes).
bool validUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

class ChipsTest : public PanelTest {
protected:
  ChipControl* makeChip(const IRECT& bounds, bool withFunctions = true) {
    ChipControl::LabelGetter labelFn;
    ChipControl::MenuFiller filler;
    ChipControl::PickHandler pick;
    ChipControl::TextHandler text;
    if (withFunctions) {
      labelFn = [this] { return label; };
      filler = [this](IPopupMenu& menu) {
        ++fills;
        for (const char* item : {"Balanced", "Dance", "Metal"}) menu.AddItem(item);
      };
      pick = [this](ChipControl& chip, int index) { picks.emplace_back(&chip, index); };
      text = [this](const char* str) { typed.push_back(str); };
    }
    return attach(new ChipControl(bounds, entryStyle(style("Roboto-Regular", 11.5f, kPalette.text, ETextHAlign::Left)),
                                  kPalette, std::move(labelFn), std::move(filler), std::move(pick), std::move(text)));
  }
  // The label the chip draws.
  std::string drawnLabel(ChipControl& chip) {
    draw(chip);
    const auto all = texts();
    return all.empty() ? "<none>" : all[0].text;
  }

  std::string label = "Balanced";
  int fills = 0;
  std::vector<std::pair<ChipControl*, int>> picks;
  std::vector<std::string> typed;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Chip menu and entry

TEST_F(ChipsTest, LeftPressFillsTheMenuOnceAndOpensItOnTheChip) {
  ChipControl* chip = makeChip(kTargetChip);
  EventDriver mouse(*g);
  platform.chooseMenuItem({2});
  mouse.click(100.f, 90.f);
  EXPECT_EQ(fills, 1);
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_EQ(platform.menus[0].bounds, kTargetChip);
  EXPECT_EQ(platform.menus[0].menu.items.size(), 3u);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0], std::make_pair(chip, 2));

  // The menu is emptied before it is filled again.
  platform.chooseMenuItem({0});
  mouse.click(100.f, 90.f);
  platform.queue.drain();
  EXPECT_EQ(fills, 2);
  EXPECT_EQ(platform.menus[1].menu.items.size(), 3u);
  EXPECT_EQ(platform.menus[1].menu.chosenIndex, -1);
  EXPECT_EQ(picks.back().second, 0);
  EXPECT_TRUE(plug.log.empty());
}

TEST_F(ChipsTest, RightPressesAndDismissedMenusCallNothing) {
  makeChip(kTargetChip);
  EventDriver mouse(*g);
  mouse.rightClick(100.f, 90.f);
  platform.queue.drain();
  EXPECT_EQ(fills, 0);
  EXPECT_TRUE(platform.menus.empty());

  platform.dismissMenu();
  mouse.click(100.f, 90.f);
  platform.queue.drain();
  EXPECT_EQ(fills, 1);
  EXPECT_TRUE(picks.empty());
}

TEST_F(ChipsTest, APressWhileATextEntryIsOpenIsIgnoredAndAfterADismissalWorksAgain) {
  ChipControl* chip = makeChip(kTargetChip);
  platform.leaveTextOpen();
  g->CreateTextEntry(*chip, chip->chipText(), chip->GetRECT(), "Learned target", -1);
  ASSERT_TRUE(g->textEntryOpen());
  EventDriver mouse(*g);
  mouse.click(100.f, 90.f);
  platform.queue.drain();
  EXPECT_EQ(fills, 0);

  g->dismissTextEntry();
  platform.dismissMenu();
  mouse.click(100.f, 90.f);
  platform.queue.drain();
  EXPECT_EQ(fills, 1);
}

TEST_F(ChipsTest, CommittedTextGoesToTheTextCallback) {
  ChipControl* chip = makeChip(kTargetChip);
  EXPECT_TRUE(chip->hasTextHandler());
  platform.commitText("Club mix");
  chip->SetTextEntryLength(16);  // as the plug-in does before it opens the name entry
  g->CreateTextEntry(*chip, chip->chipText(), chip->GetRECT(), "Learned target", -1);
  platform.queue.drain();
  EXPECT_EQ(typed, (std::vector<std::string>{"Club mix"}));
}

TEST_F(ChipsTest, EmptyFunctionsDrawAndDoNothing) {
  ChipControl* bare = makeChip(kLoudnessChip, false);
  EXPECT_FALSE(bare->hasTextHandler());
  draw(*bare);
  EXPECT_TRUE(g->drawOps().empty());
  EventDriver mouse(*g);
  mouse.click(550.f, 240.f);  // no filler: no menu
  platform.queue.drain();
  EXPECT_TRUE(platform.menus.empty());
  // A chosen item without a pick callback, and a commit without a text callback.
  IPopupMenu menu;
  menu.AddItem("x");
  menu.SetChosenItemIdx(0);
  bare->OnPopupMenuSelection(&menu, 0);
  bare->OnTextEntryCompletion("typed", -1);
  EXPECT_TRUE(plug.log.empty());
}

// ---------------------------------------------------------------------------------------
// Chip drawing and label cut

TEST_F(ChipsTest, ChipDrawsOutlineLabelAndChevron) {
  ChipControl* chip = makeChip(kTargetChip);
  draw(*chip);
  const auto all = shapes();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_FALSE(all[0].fill());
  EXPECT_EQ(all[0].colour(), kPalette.textFaint);
  EXPECT_TRUE(rectNear(all[0].bounds(), IRECT(72.5f, 81.5f, 249.5f, 102.5f)));
  EXPECT_EQ(all[1].colour(), kPalette.textMuted);
  EXPECT_EQ(all[1].points(), (std::vector<std::pair<float, float>>{{234.f, 90.5f}, {242.f, 90.5f}, {238.f, 95.5f}}));
  EXPECT_EQ(textOp("Balanced").rect, IRECT(82.f, 81.f, 228.f, 103.f));

  EventDriver mouse(*g);
  mouse.moveTo(100.f, 90.f);
  draw(*chip);
  EXPECT_EQ(shapes()[0].colour(), kPalette.textMuted);
}

TEST_F(ChipsTest, LabelsAreCutByWholeCharactersWithAnEllipsis) {
  const std::string umlaut = "\xC3\x84";  // U+00C4
  struct Case {
    const char* name;
    IRECT chip;
    std::string label, expected;
  };
  const Case cases[] = {
      {"target chip: 25 fit", kTargetChip, repeat("A", 25), repeat("A", 25)},
      {"target chip: 26 are cut to 24", kTargetChip, repeat("A", 26), repeat("A", 24) + kEllipsis},
      {"two-byte characters go whole", kTargetChip, repeat(umlaut, 26), repeat(umlaut, 24) + kEllipsis},
      {"loudness chip: 11 fit", kLoudnessChip, repeat("A", 11), repeat("A", 11)},
      {"loudness chip: 12 are cut", kLoudnessChip, repeat("A", 12), repeat("A", 10) + kEllipsis},
      {"nothing fits but the ellipsis", IRECT(0, 0, 36, 20), "\x80\x80\x80" "BB", kEllipsis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    label = c.label;
    const std::string drawn = drawnLabel(*makeChip(c.chip));
    EXPECT_EQ(drawn, c.expected);
    if (validUtf8(c.label)) {
      EXPECT_TRUE(validUtf8(drawn));
    }
  }
}

TEST(PanelText, DropLastCharacterRemovesWholeCharactersAndStopsAtTheStart) {
  const std::pair<std::string, std::string> cases[] = {
      {"A\xC3\x84", "A"},          {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5"},
      {"A\x80\x80", "A"},          {"\x80\x80\x80", ""},
      {"A\xC3", "A"},              {"\xC3\x84", ""},
      {"AB", "A"},                 {"", ""},
  };
  for (const auto& [text, expected] : cases) {
    std::string s = text;
    balance_panel::dropLastCharacter(s);
    EXPECT_EQ(s, expected);
  }
}

// ---------------------------------------------------------------------------------------
// Legend

class LegendTest : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    legend = attach(new LegendControl(IRECT(256, 80, 478, 104)), 3);
    legend->text = style("Roboto-Regular", 9, IColor(107, 250, 250, 250), ETextHAlign::Left);
    legend->accent = kPalette.accent;
    legend->extraItems = [this] { return extra; };
  }
  bool extra = false;
  LegendControl* legend = nullptr;
};

TEST_F(LegendTest, TwoItemsEndAtTheRightEdge) {
  EXPECT_TRUE(legend->GetIgnoreMouse());
  draw(*legend);
  const auto all = shapes();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].points(), (std::vector<std::pair<float, float>>{{382.5f, 92.f}, {396.5f, 92.f}}));
  EXPECT_FLOAT_EQ(all[0].thickness(), 1.5f);
  EXPECT_EQ(all[0].colour(), IColor(235, 250, 250, 250));
  EXPECT_TRUE(rectNear(all[1].bounds(), IRECT(433.f, 88.f, 447.f, 96.f)));
  EXPECT_EQ(all[1].colour(), kPalette.accent.WithAlpha(114));
  EXPECT_EQ(textOp("INPUT").rect, IRECT(400.5f, 80.f, 425.f, 104.f));
  EXPECT_EQ(textOp("TARGET").rect, IRECT(451.f, 80.f, 480.f, 104.f));  // text ends at 478
  EXPECT_FALSE(drewText("OUTPUT"));

  legend->extraItems = nullptr;
  draw(*legend);
  EXPECT_EQ(texts().size(), 2u);
}

TEST_F(LegendTest, AFourItemRowTooWideIsScaledToSpanTheControl) {
  extra = true;
  draw(*legend);
  // 223.5 units wide at size 9 in a 222-unit control.
  const float s = 222.f / 223.5f;
  const auto labels = texts();
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_FLOAT_EQ(labels[0].textStyle.size, 9.f * s);
  const auto all = shapes();
  EXPECT_NEAR(all.front().points()[0].first, 256.f, 1e-3f);  // the input line starts at L
  const DrawOp& last = labels.back();
  EXPECT_EQ(last.text, "CORRECTION");
  EXPECT_NEAR(last.rect.R - 2.f, 478.f, 1e-3f);  // and the last label ends at R
  // Output dashes and the correction line in between, in order.
  std::vector<IColor> colours;
  for (const Shape& sh : all) colours.push_back(sh.colour());
  EXPECT_EQ(colours, (std::vector<IColor>{IColor(235, 250, 250, 250), kPalette.accent.WithAlpha(114),
                                          IColor(190, 250, 250, 250), IColor(190, 250, 250, 250),
                                          IColor(190, 250, 250, 250), kPalette.accent}));
  EXPECT_FLOAT_EQ(all.back().thickness(), 2.f);
}

TEST_F(LegendTest, AFittingFourItemRowIsDrawnUnscaled) {
  extra = true;
  legend->SetRECT(IRECT(200, 80, 478, 104));
  draw(*legend);
  EXPECT_FLOAT_EQ(texts()[0].textStyle.size, 9.f);
  EXPECT_NEAR(shapes().front().points()[0].first, 478.f - 223.5f, 1e-3f);
}
