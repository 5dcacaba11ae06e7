// A seeded monkey on the product's panel: a few hundred random presses (some quick second
// presses), drags, wheel turns, keys, menu answers and typed texts, with audio blocks, idle
// ticks and frames between them and the editor now and then closed (sometimes with a
// button held) and opened again. The host must hear balanced edits: every begin ended,
// none nested for one parameter, a value only inside an edit, none open once the editor
// is closed. SP_MONKEY_SEED runs one seed of your choice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/plugin/plugin_harness.h"
#include "tests/ui/product_panel.h"

using namespace uitest;
using sp::test::EventDriver;
using sp::test::Mods;

namespace {

// The test canvas whose prompts answer at random: each prompt scripts its answer just
// before the platform takes it.
class MonkeyCanvas : public sp::test::TestCanvas {
public:
  MonkeyCanvas(sp::test::TestPlatform& platform, ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale,
               std::mt19937& rng)
      : TestCanvas(platform, dlg, w, h, fps, scale), mRng(rng) {}

  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               MsgBoxCompletion completion) override {
    const auto buttons = uiscript::ButtonsOf(type);
    platform().answerMessageBox(buttons[pick(buttons.size())].first);
    return TestCanvas::ShowMessageBox(str, caption, type, std::move(completion));
  }
  void PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action, const char* ext,
                     FileCompletion completion) override {
    if (pick(2) == 0)
      platform().cancelFilePrompt();
    else
      platform().chooseFile("/nonexistent/monkey.wav");
    TestCanvas::PromptForFile(fileName, path, action, ext, std::move(completion));
  }
  void PromptForDirectory(StringBuf& dir, FileCompletion completion) override {
    platform().cancelDirectoryPrompt();
    TestCanvas::PromptForDirectory(dir, std::move(completion));
  }
  bool PromptForColor(IColor& color, const char* str, ColorCompletion completion) override {
    platform().pickColor(IColor(255, static_cast<int>(pick(256)), 40, 200));
    return TestCanvas::PromptForColor(color, str, std::move(completion));
  }
  void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                               const char* str) override {
    static const char* const kTexts[] = {"12", "-3,5", "1.5k", "abc", "", "  ", "Monkey", "+0", "\xE2\x88\x92" "7",
                                         "9999", "A"};
    switch (pick(4)) {
      case 0: platform().dismissText(); break;
      case 1: platform().leaveTextOpen(); break;
      default: platform().commitText(kTexts[pick(std::size(kTexts))]); break;
    }
    TestCanvas::CreatePlatformTextEntry(paramIdx, text, bounds, length, str);
  }
  // The answer is taken when the menu shows, on a later turn of the queue; an earlier
  // request not yet shown was overtaken by this one and will take nothing, so its answer
  // goes (every other kind is taken at once, so only menu answers can be waiting).
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) override {
    platform().clearScript();
    std::vector<int> path;
    if (pick(4) != 0 && choosable(menu, path))
      platform().chooseMenuItem(path);
    else
      platform().dismissMenu();
    return TestCanvas::CreatePlatformPopupMenu(menu, bounds, isAsync);
  }

private:
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(mRng); }
  // A random item the platform offers (enabled, not a separator or title), through
  // submenus; false when there is none.
  bool choosable(const IPopupMenu& menu, std::vector<int>& path) {
    std::vector<int> offered;
    for (int i = 0; i < menu.NItems(); ++i) {
      const IPopupMenu::Item* item = menu.GetItem(i);
      if (item->GetEnabled() && !item->GetIsSeparator() && !item->GetIsTitle()) offered.push_back(i);
    }
    while (!offered.empty()) {
      const std::size_t k = pick(offered.size());
      const int i = offered[k];
      path.push_back(i);
      const IPopupMenu* sub = menu.GetItem(i)->GetSubmenu();
      if (sub == nullptr || choosable(*sub, path)) return true;
      path.pop_back();
      offered.erase(offered.begin() + static_cast<std::ptrdiff_t>(k));
    }
    return false;
  }

  std::mt19937& mRng;
};

class PanelMonkey : public ProductPanelTest {
protected:
  void beforeOpen() override {
    plug->setGraphicsMaker([this](ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
      return new MonkeyCanvas(platform, dlg, w, h, fps, scale, rng);
    });
    sp::test::connect(*plug, 2, 2);
    sp::test::resetAt(*plug, 48000.0);
    // The host's view of the edits, checked as they arrive.
    handler->onCall = [this](const testhost::ComponentHandler::Call& call) {
      const std::string at = " (step " + std::to_string(step) + ", parameter " + std::to_string(call.id) + ")";
      int& open = openEdits[call.id];
      if (call.kind == "begin") {
        if (open > 0) faults.push_back("nested begin" + at);
        ++open;
      } else if (call.kind == "end") {
        if (open == 0) faults.push_back("end without begin" + at);
        else --open;
      } else if (call.kind == "perform" && open == 0) {
        faults.push_back("value outside an edit" + at);
      }
    };
  }
  void TearDown() override {
    handler->onCall = nullptr;
    platform.clearScript();
    ProductPanelTest::TearDown();
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  float coord(float max) { return std::uniform_real_distribution<float>(0.f, max)(rng); }
  Mods mods() {
    Mods m;
    m.shift = pick(6) == 0;
    m.command = pick(12) == 0;
    m.alt = pick(12) == 0;
    return m;
  }
  // Where a press lands: mostly on the controls' rows, else anywhere.
  std::pair<float, float> spot() {
    static const float kRows[] = {16.f, 53.f, 92.f, 180.f, 240.f, 267.f, 293.f, 326.f, 351.f, 394.f};
    if (pick(4) == 0) return {coord(640.f), coord(400.f)};
    return {coord(640.f), kRows[pick(static_cast<int>(std::size(kRows)))] + coord(6.f) - 3.f};
  }
  void audio() {
    double* in[2] = {noise.left.data() + played, noise.right.data() + played};
    double* out[2] = {scratch.left.data(), scratch.right.data()};
    plug->ProcessBlock(in, out, kBlock);
    played = (played + kBlock) % (noise.size() - kBlock);
  }
  // The main queue, the idle tick and a frame, as the host's loop turns.
  void settle() {
    platform.queue.drain();
    if (g == nullptr) return;
    if (pick(3) == 0) tick();
    if (g != nullptr && pick(3) == 0) frame();
  }
  int openCount() const {
    int n = 0;
    for (const auto& [id, open] : openEdits) n += open;
    return n;
  }
  void closeAndCheck() {
    closeEditor();
    mouse.reset();
    platform.queue.drain();
    platform.clearScript();
    EXPECT_EQ(openCount(), 0) << "edits left open after the editor closed (step " << step << ")";
  }

  void runMonkey(unsigned seed, int steps) {
    rng.seed(seed);
    g->setRecording(false);
    mouse = std::make_unique<EventDriver>(*g);
    for (step = 0; step < steps; ++step) {
      for (int b = pick(3); b > 0; --b) audio();
      if (g == nullptr) {
        openEditor();
        ASSERT_NE(g, nullptr);
        g->setRecording(false);
        mouse = std::make_unique<EventDriver>(*g);
      }
      const auto [x, y] = spot();
      switch (pick(23)) {
        case 0:
        case 1:
        case 2:
        case 3: mouse->click(x, y, mods()); break;
        case 4:
        case 5: {  // a quick second press, maybe the queue turning in between
          const Mods m = mods();
          mouse->click(x, y, m);
          if (pick(2) == 0) platform.queue.drain();
          if (g == nullptr) break;
          mouse->press(x, y, m, 2);
          mouse->release(m);
          break;
        }
        case 6:
        case 7:
        case 8: {  // a drag
          const Mods m = mods();
          mouse->press(x, y, m);
          for (int d = pick(4) + 1; d > 0 && g != nullptr; --d) mouse->dragTo(x + coord(80.f) - 40.f, y + coord(80.f) - 40.f, m);
          if (g != nullptr) mouse->release(m);
          break;
        }
        case 9: mouse->rightClick(x, y, mods()); break;
        case 10:
        case 11: mouse->wheel(x, y, static_cast<float>(pick(7) - 3), mods()); break;
        case 12:
        case 13: {  // keys at the pointer
          static const std::pair<int, const char*> kKeys[] = {
              {'1', "1"}, {'5', "5"}, {'A', "a"}, {kVK_RETURN, "\r"}, {kVK_ESCAPE, ""}, {kVK_BACK, ""},
              {kVK_UP, ""}, {0xBD, "-"}, {0xBE, "."}, {' ', " "}};
          const auto& [vk, text] = kKeys[pick(static_cast<int>(std::size(kKeys)))];
          mouse->moveTo(x, y);
          const Mods m = mods();
          mouse->keyDown(vk, text, m);
          if (g != nullptr) mouse->keyUp(vk, text, m);
          break;
        }
        case 14: mouse->moveTo(x, y); break;
        case 15:  // an open entry typed into and committed, or left
          if (g->textEntryOpen()) g->commitTextEntry(pick(2) == 0 ? "33" : "x");
          break;
        case 16:
        case 19:
        case 20:
        case 21: {  // a press held while the queue turns (menus, entries answer), then released
          const Mods m = mods();
          mouse->press(x, y, m);
          settle();
          if (g != nullptr && g->textEntryOpen() && pick(2) == 0) g->commitTextEntry("42");
          if (g != nullptr) mouse->release(m);
          break;
        }
        case 17: {  // the host changes a parameter
          const int id = pick(kParamCount);
          const plugkit::IParam* p = plug->GetParam(id);
          hostSet(id, p->GetMin() + (p->GetMax() - p->GetMin()) * coord(1.f));
          break;
        }
        case 18:  // the editor closes, sometimes with the button held
          if (pick(3) == 0) {
            if (pick(2) == 0) mouse->press(x, y);
            closeAndCheck();
          }
          break;
        default: settle(); break;
      }
      if (g != nullptr) settle();
      if (HasFatalFailure()) return;
    }
    if (g != nullptr) closeAndCheck();
  }

  static constexpr int kBlock = 480;
  std::mt19937 rng;
  std::unique_ptr<EventDriver> mouse;
  std::map<int, int> openEdits;
  std::vector<std::string> faults;
  int step = 0;
  sp::test::Stereo noise = sp::test::pinkNoise(48000, 0.2, 5);
  sp::test::Stereo scratch{static_cast<std::size_t>(kBlock)};
  std::size_t played = 0;
};

std::vector<unsigned> seeds() {
  if (const char* chosen = std::getenv("SP_MONKEY_SEED"); chosen != nullptr && *chosen != '\0')
    return {static_cast<unsigned>(std::strtoul(chosen, nullptr, 10))};
  return {1, 2, 3};
}

TEST_F(PanelMonkey, EveryHostEditIsBalancedAndNoneNestsOrOutlivesTheEditor) {
  for (const unsigned seed : seeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    faults.clear();
    openEdits.clear();
    if (g == nullptr) openEditor();
    runMonkey(seed, 400);
    EXPECT_EQ(faults, std::vector<std::string>{});
  }
}

}  // namespace
