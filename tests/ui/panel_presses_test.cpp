// Presses on the product's panel as the host hears them: a quick second press on a control
// that acts on a press is a second press (the platform reports it as a double click), and
// a value typed into an amount caption reaches the host as one edit, never nested.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "services/updates.h"
#include "tests/ui/product_panel.h"
#include "ui/panel_wiring.h"
#include "ui/parameter_controls.h"

using namespace uitest;
using sp::test::EventDriver;

namespace {

using Calls = std::vector<std::string>;

class PanelPresses : public ProductPanelTest {
protected:
  // Press and release, the main queue turns (menus and entries answer), then a second
  // press within the double-click interval and its release, and the queue again.
  void quickDoublePress(float x, float y) {
    EventDriver mouse(*g);
    mouse.press(x, y);
    mouse.release();
    platform.queue.drain();
    mouse.press(x, y, {}, 2);
    mouse.release();
    platform.queue.drain();
  }
  // The host's edit calls for one parameter, as "begin", "perform", "end".
  Calls callsFor(int id) const {
    Calls out;
    for (const auto& call : handler->calls)
      if ((call.kind == "begin" || call.kind == "perform" || call.kind == "end") && call.id == id)
        out.push_back(call.kind);
    return out;
  }
  // A new instance and editor, the platform's records emptied.
  void fresh() {
    closeEditor();
    TearDown();
    platform.menus.clear();
    platform.openedURLs.clear();
    platform.textEntries.clear();
    SetUp();
  }
  void savePresets(std::initializer_list<const char*> names) {
    const brightloom::controls::PresetHooks hooks = balance_panel::presetHooks(*plug);
    for (const char* name : names) hooks.save(name);
  }
  // The update checker holds a notice; the pill shows it from the next frame.
  void offerUpdate() {
    brightloom::updates::UpdateCheck& checker = *plug->updateCheck();
    checker.writeRecord({1, R"({"spectrapoise":{"version":"9.9.9","page":"/spectrapoise"}})"});
    checker.reload();
    frame();
  }
};

// The preset bar's row (bar 0..32 at scale 1): previous arrow, name box, next arrow,
// "Delete" and the menu button, all centred at y 16.
constexpr float kRow = 16.f;

TEST_F(PanelPresses, AQuickSecondPressActsAsASecondPress) {
  struct Case {
    const char* name;
    float x, y;
    std::function<void()> before;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"previous preset: two steps back", 24.f, kRow, [&] { savePresets({"A", "B", "C"}); },
       [&] { EXPECT_EQ(plug->presetName(), "A"); }},
      {"next preset: two steps on", 255.f, kRow, [&] { savePresets({"A", "B", "C"}); },
       [&] { EXPECT_EQ(plug->presetName(), "B"); }},
      {"Delete, then Sure?: the preset goes", 456.f, kRow, [&] { savePresets({"A", "B"}); },
       [&] {
         EXPECT_EQ(balance_panel::presetHooks(*plug).names(), (std::vector<std::string>{"A"}));
       }},
      {"name box: the list opens twice", 140.f, kRow,
       [&] {
         savePresets({"A"});
         platform.dismissMenu();
         platform.dismissMenu();
       },
       [&] { EXPECT_EQ(platform.menus.size(), 2u); }},
      {"menu button: the settings open twice", 615.f, kRow,
       [&] {
         platform.dismissMenu();
         platform.dismissMenu();
       },
       [&] { EXPECT_EQ(platform.menus.size(), 2u); }},
      {"target chip: its menu opens twice", 150.f, 92.f,
       [&] {
         platform.dismissMenu();
         platform.dismissMenu();
       },
       [&] { EXPECT_EQ(platform.menus.size(), 2u); }},
      {"loudness-target chip: its menu opens twice", 550.f, 240.f,
       [&] {
         platform.dismissMenu();
         platform.dismissMenu();
       },
       [&] { EXPECT_EQ(platform.menus.size(), 2u); }},
      {"update pill: the page opens twice", 515.f, 53.f, [&] { offerUpdate(); },
       [&] { EXPECT_EQ(platform.openedURLs.size(), 2u); }},
      {"CORRECT: on and off again, two edits", 60.f, 267.f, nullptr,
       [&] {
         EXPECT_EQ(param(kCorrect), 0.0);
         EXPECT_EQ(callsFor(kCorrect), (Calls{"begin", "perform", "end", "begin", "perform", "end"}));
       }},
      {"FREEZE: on and off again, two edits", 60.f, 293.f, nullptr,
       [&] {
         EXPECT_EQ(param(kFreeze), 0.0);
         EXPECT_EQ(callsFor(kFreeze), (Calls{"begin", "perform", "end", "begin", "perform", "end"}));
       }},
      {"bypassed, twice: bypassed again, two edits", 577.f, 53.f, [&] { hostSet(kBypass, 1.0); },
       [&] {
         EXPECT_EQ(param(kBypass), 1.0);
         EXPECT_EQ(callsFor(kBypass), (Calls{"begin", "perform", "end", "begin", "perform", "end"}));
       }},
      {"caption: a dismissed entry opens again", 223.f, 351.f,
       [&] {
         platform.dismissText();
         platform.dismissText();
       },
       [&] { EXPECT_EQ(platform.textEntries.size(), 2u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    if (c.before) c.before();
    handler->calls.clear();
    quickDoublePress(c.x, c.y);
    c.check();
  }
}

// The six amount captions: their centres and parameters.
struct CaptionAt {
  float x;
  int param;
  const char* typed;
};
constexpr CaptionAt kCaptions[] = {
    {66.f, kCorrectSpeed, "10"}, {149.f, kCorrectTilt, "20"},  {223.f, kCorrectLow, "20"},
    {297.f, kCorrectLoMid, "20"}, {371.f, kCorrectHiMid, "20"}, {445.f, kCorrectHigh, "20"},
};
constexpr float kCaptionY = 351.f;

TEST_F(PanelPresses, AValueTypedWhileTheCaptionIsHeldIsOneEdit) {
  for (const CaptionAt& c : kCaptions) {
    SCOPED_TRACE(c.param);
    handler->calls.clear();
    platform.leaveTextOpen();
    EventDriver mouse(*g);
    mouse.press(c.x, kCaptionY);
    ASSERT_TRUE(g->textEntryOpen());
    g->commitTextEntry(c.typed);  // typed and committed before the button comes up
    mouse.release();
    EXPECT_EQ(callsFor(c.param), (Calls{"begin", "perform", "end"}));
  }
}

TEST_F(PanelPresses, ACaptionPressThatChangesNothingTellsTheHostNothing) {
  for (const CaptionAt& c : kCaptions) {
    SCOPED_TRACE(c.param);
    handler->calls.clear();
    // Dismissed, committed unchanged by a click elsewhere, and double pressed then dismissed.
    platform.dismissText();
    EventDriver mouse(*g);
    mouse.click(c.x, kCaptionY);
    platform.queue.drain();
    platform.leaveTextOpen();
    mouse.click(c.x, kCaptionY);
    mouse.click(520.f, 300.f);  // where nothing takes it: the entry commits the text it opened with
    platform.dismissText();
    platform.dismissText();
    quickDoublePress(c.x, kCaptionY);
    EXPECT_EQ(callsFor(c.param), Calls{});
  }
}

}  // namespace
