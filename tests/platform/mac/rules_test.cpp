// The platform layer's rules that need no Cocoa type: the frame rule and view sizes,
// backing scales and frame intervals, mouse modifiers and click parity, the cursor table,
// menu titles, looks and placement, text-field filters and font size, message-box tables,
// file types, folders, URLs and colours.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/IParam.h"
#include "platform/mac/PromptRules.h"
#include "platform/mac/ViewRules.h"

namespace {

using namespace plugkit::canvas;
using plugkit::IParam;

TEST(FrameRule, EdgesScaleOutwardsToWholePoints) {
  EXPECT_EQ(FrameRule(IRECT(10.2f, 20.7f, 30.1f, 40.4f), 1.5f), (ViewRect{15, 31, 31, 30}));
  EXPECT_EQ(FrameRule(IRECT(0, 0, 640, 400), 2.f), (ViewRect{0, 0, 1280, 800}));
  EXPECT_EQ(FrameRule(IRECT(-0.5f, 0.5f, 0.5f, 1.5f), 1.f), (ViewRect{-1, 0, 2, 2}));
  // The view's own size truncates: 641 x 1.5 = 961.5.
  EXPECT_EQ(ViewFrameFor(641, 401, 1.5f), (ViewRect{0, 0, 961, 601}));
}

TEST(ViewRules, ScalesAndFrameRatesOutsideTheirRangeAreNotTaken) {
  EXPECT_EQ(UsableBackingScale(2.0, 1.f), 2.f);
  EXPECT_EQ(UsableBackingScale(std::nan(""), 2.f), 2.f);
  EXPECT_EQ(UsableBackingScale(0.0, 2.f), 2.f);
  EXPECT_EQ(UsableBackingScale(-1.0, 2.f), 2.f);
  EXPECT_EQ(UsableBackingScale(std::numeric_limits<double>::infinity(), 2.f), 2.f);
  EXPECT_DOUBLE_EQ(FrameInterval(60), 1.0 / 60.0);
  EXPECT_DOUBLE_EQ(FrameInterval(30), 1.0 / 30.0);
  EXPECT_DOUBLE_EQ(FrameInterval(0), 1.0 / 60.0);
  EXPECT_DOUBLE_EQ(FrameInterval(-5), 1.0 / 60.0);
}

TEST(ViewRules, MouseModifiersAndClickParity) {
  const unsigned long shift = 0x20000, control = 0x40000, option = 0x80000, command = 0x100000;
  EXPECT_EQ(MouseModFor(true, 0), IMouseMod(true, false));
  EXPECT_EQ(MouseModFor(true, command), IMouseMod(true, true));  // Command-click: left and right
  EXPECT_EQ(MouseModFor(true, shift | control | option), IMouseMod(true, false, true, true, true));
  EXPECT_EQ(MouseModFor(false, command | shift), IMouseMod(false, true, true));
  EXPECT_FALSE(IsDoubleClick(1));
  EXPECT_TRUE(IsDoubleClick(2));
  EXPECT_FALSE(IsDoubleClick(3));
  EXPECT_TRUE(IsDoubleClick(4));
  EXPECT_EQ(RoundCursorCoordinate(500.4), 500.0);
  EXPECT_EQ(RoundCursorCoordinate(300.5), 301.0);
  EXPECT_EQ(RoundCursorCoordinate(-2.5), -3.0);
  EXPECT_EQ(DisplayY(301.0, 900.0), 599.0);
}

TEST(CursorTable, PrivateCursorsWithPublicFallbacks) {
  struct Row {
    int value;
    const char* privateName;
    const char* publicName;
  };
  const Row rows[] = {
      {0, nullptr, "arrowCursor"},
      {1, nullptr, "IBeamCursor"},
      {2, "busyButClickableCursor", nullptr},
      {3, nullptr, "crosshairCursor"},
      {4, "_windowResizeNorthCursor", "resizeUpCursor"},
      {5, "_windowResizeNorthWestSouthEastCursor", nullptr},
      {6, "_windowResizeNorthEastSouthWestCursor", nullptr},
      {7, "_windowResizeEastWestCursor", "resizeLeftRightCursor"},
      {8, "_windowResizeNorthSouthCursor", "resizeUpDownCursor"},
      {10, nullptr, "operationNotAllowedCursor"},
      {11, nullptr, "pointingHandCursor"},
      {12, "busyButClickableCursor", nullptr},
      {13, "_helpCursor", nullptr},
      {99, nullptr, "arrowCursor"},
      {-1, nullptr, "arrowCursor"},
  };
  for (const Row& r : rows) {
    const CursorChoice c = CursorFor(r.value);
    EXPECT_STREQ(c.privateName, r.privateName) << r.value;
    EXPECT_STREQ(c.publicName, r.publicName) << r.value;
    EXPECT_FALSE(c.isMove) << r.value;
  }
  EXPECT_TRUE(CursorFor(9).isMove);
}

TEST(MenuRules, PrefixModesLooksAndPlacement) {
  EXPECT_EQ(MenuItemTitle(0, 0, "Rock"), "Rock");
  EXPECT_EQ(MenuItemTitle(1, 0, "Rock"), "1: Rock");
  EXPECT_EQ(MenuItemTitle(2, 0, "Rock"), "01: Rock");
  EXPECT_EQ(MenuItemTitle(3, 0, "Rock"), "001: Rock");
  EXPECT_EQ(MenuItemTitle(2, 11, nullptr), "12: ");
  EXPECT_EQ(MenuItemTitle(7, 0, "Rock"), "Rock");  // an unknown mode puts nothing in front

  IPopupMenu::Item title("Factory", IPopupMenu::Item::kTitle | IPopupMenu::Item::kChecked);
  MenuItemLook look = LookOf(title);
  EXPECT_EQ(look.indent, 1);
  EXPECT_TRUE(look.checked);
  EXPECT_TRUE(look.enabled);
  IPopupMenu::Item off("Off", IPopupMenu::Item::kDisabled);
  look = LookOf(off);
  EXPECT_EQ(look.indent, 0);
  EXPECT_FALSE(look.enabled);
  EXPECT_FALSE(look.checked);

  const ViewRect bounds{10, 20, 100, 30};
  MenuPlacement at = PlaceMenu(1, 3, bounds);
  EXPECT_EQ(at.positioningItem, 1);
  EXPECT_EQ(at.x, 10);
  EXPECT_EQ(at.y, 20);
  at = PlaceMenu(5, 3, bounds);  // chosen 5 of 3: no item placed, 4 points below
  EXPECT_EQ(at.positioningItem, -1);
  EXPECT_EQ(at.x, 10);
  EXPECT_EQ(at.y, 54);
  EXPECT_EQ(PlaceMenu(-1, 3, bounds).positioningItem, -1);
}

TEST(TextFieldRules, FiltersByParameterTypeAndLength) {
  const FieldFilter integer = FieldFilterFor(true, IParam::kTypeInt, 0);
  EXPECT_TRUE(FieldAccepts(integer, u"-12"));
  EXPECT_FALSE(FieldAccepts(integer, u"1."));
  const FieldFilter real = FieldFilterFor(true, IParam::kTypeDouble, 0);
  EXPECT_TRUE(FieldAccepts(real, u"+1.5"));
  EXPECT_FALSE(FieldAccepts(real, u"1,5"));
  EXPECT_FALSE(FieldAccepts(FieldFilterFor(true, IParam::kTypeNone, 0), u"1"));
  EXPECT_TRUE(FieldAccepts(FieldFilterFor(true, IParam::kTypeNone, 0), u""));
  EXPECT_TRUE(FieldAccepts(FieldFilterFor(true, IParam::kTypeBool, 0), u"1"));
  EXPECT_TRUE(FieldAccepts(FieldFilterFor(true, IParam::kTypeEnum, 0), u"3"));

  const FieldFilter three = FieldFilterFor(true, IParam::kTypeInt, 3);
  EXPECT_TRUE(FieldAccepts(three, u"123"));
  EXPECT_FALSE(FieldAccepts(three, u"1234"));
  // Without a parameter: any character, but the length still holds.
  const FieldFilter free16 = FieldFilterFor(false, IParam::kTypeInt, 16);
  EXPECT_TRUE(FieldAccepts(free16, u"any text, 16 ch"));
  EXPECT_TRUE(FieldAccepts(free16, u"\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9"));
  EXPECT_FALSE(FieldAccepts(free16, u"seventeen letters"));
  EXPECT_TRUE(FieldAccepts(FieldFilterFor(false, 0, 0), u"no limit at all, however long it runs"));

  FieldFilter capped;
  capped.maxValue = 100;
  EXPECT_TRUE(FieldAccepts(capped, u"100"));
  EXPECT_FALSE(FieldAccepts(capped, u"101"));
  EXPECT_EQ(LeadingIntValue(u"  -42abc"), -42);
  EXPECT_EQ(LeadingIntValue(u"x"), 0);
  EXPECT_EQ(LeadingIntValue(u"99999999999999999999"), 2147483647);

  EXPECT_NEAR(FieldFontSize(14.f, 1.5f, 2048.0 / 2400.0), 17.92, 1e-9);
  EXPECT_NEAR(FieldFontSize(14.f, 1.5f, 1.0), 21.0, 1e-9);
  const ViewRect centred = CentredTextRect(ViewRect{0, 10, 50, 30}, 18);
  EXPECT_EQ(centred, (ViewRect{0, 16, 50, 18}));
}

TEST(MessageBoxRules, ButtonsAndResultsPerType) {
  struct Row {
    EMsgBoxType type;
    std::vector<std::string> buttons;
    std::vector<EMsgBoxResult> results;  // for responses 1000, 1001, 1002
  };
  using R = EMsgBoxResult;
  const Row rows[] = {
      {EMsgBoxType::OK, {"OK"}, {R::OK, R::OK, R::OK}},
      {EMsgBoxType::OKCancel, {"OK", "Cancel"}, {R::OK, R::Cancel, R::Cancel}},
      {EMsgBoxType::YesNoCancel, {"Yes", "No", "Cancel"}, {R::Yes, R::No, R::Cancel}},
      {EMsgBoxType::YesNo, {"Yes", "No"}, {R::Yes, R::No, R::No}},
      {EMsgBoxType::RetryCancel, {"Retry", "Cancel"}, {R::Retry, R::Cancel, R::Cancel}},
      {EMsgBoxType::NoButtons, {}, {R::Cancel, R::Cancel, R::Cancel}},
  };
  for (const Row& row : rows) {
    const auto buttons = MessageBoxButtons(row.type);
    ASSERT_EQ(buttons.size(), row.buttons.size());
    for (size_t i = 0; i < buttons.size(); ++i) EXPECT_EQ(buttons[i], row.buttons[i]);
    for (long k = 0; k < 3; ++k)
      EXPECT_EQ(MessageBoxResult(row.type, 1000 + k), row.results[static_cast<size_t>(k)])
          << static_cast<int>(row.type) << " " << k;
  }
}

TEST(DialogRules, TypesFoldersUrlsAndColours) {
  EXPECT_EQ(AllowedFileTypes("wav wave aif aiff aifc mp3 flac").size(), 7u);
  EXPECT_EQ(AllowedFileTypes("  sppreset  "), (std::vector<std::string>{"sppreset"}));
  EXPECT_EQ(AllowedFileTypes("a  b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(AllowedFileTypes("").empty());
  EXPECT_TRUE(AllowedFileTypes(nullptr).empty());

  EXPECT_EQ(FolderOf("/music/song.wav"), "/music/");
  EXPECT_EQ(FolderOf("/song.wav"), "/");
  EXPECT_EQ(WithTrailingSlash("/music"), "/music/");
  EXPECT_EQ(WithTrailingSlash("/music/"), "/music/");
  EXPECT_EQ(ExpandTilde("~/Desktop", "/home/u"), "/home/u/Desktop");
  EXPECT_EQ(ExpandTilde("~", "/home/u"), "/home/u");
  EXPECT_EQ(ExpandTilde("/x/~/y", "/home/u"), "/x/~/y");
  EXPECT_EQ(ExpandTilde("~user", "/home/u"), "~user");

  EXPECT_TRUE(IsWebURL("https://x"));
  EXPECT_TRUE(IsWebURL("see http in the middle"));
  EXPECT_FALSE(IsWebURL("/tmp/folder"));
  EXPECT_FALSE(IsWebURL(nullptr));

  double r = 0, g = 0, b = 0, a = 0;
  ColorComponents(IColor(255, 255, 0, 51), r, g, b, a);
  EXPECT_DOUBLE_EQ(r, 1.0);
  EXPECT_DOUBLE_EQ(b, 0.2);
  EXPECT_EQ(ColorFromComponents(0.5, 0.5, 0.5, 1.0), IColor(255, 127, 127, 127));
  EXPECT_EQ(ColorFromComponents(1.2, -0.1, std::nan(""), 0.0), IColor(0, 255, 0, 0));
}

}  // namespace
