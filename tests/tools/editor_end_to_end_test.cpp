// The editor end to end: the product made by the module's factory and driven by the test
// host, its editor open in a window of the headless desktop (real NanoVG drawing on the
// software renderer), pink noise playing between the steps, and the user's clicks, drags,
// menu choices and typed text scripted through the desktop. At each step the plug-in's
// parameters, the edits the host received and chosen pixels of the window's picture are
// checked; at the end an incremental frame must equal a full redraw, byte for byte.
// Pictures at a few steps go to $SP_RENDER_PNG_DIR (else the test's temporary folder).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/ICanvas.h"
#include "platform/mac/ICanvasView.h"
#include "plugin/SpectraPoise.h"
#include "plugin/parameters.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "services/updates.h"
#include "shims/apple/appkit/AppKit.h"
#include "shims/apple/appkit/AppKitTesting.h"
#include "shims/vst3sdk/utf_convert.h"
#include "tests/support/render/metal_target.h"
#include "tests/support/signals/test_signals.h"
#include "ui/preset_bar.h"
#include "ui/update_pill.h"
#include "tools/run_plugin/editor_session.h"
#include "tools/run_plugin/product_instance.h"

namespace {

using namespace spectrapoise::plugin;
using brightloom::controls::PresetBarControl;
using brightloom::controls::UpdatePillControl;
using plugkit::canvas::IControl;
using plugkit::canvas::IRECT;
using runplugin::UiStep;
using sp::test::Rgba;

constexpr int kBlock = 480;  // 10 ms at 48 kHz
constexpr double kRate = 48000.0;

// Panel indexes of the catalogue.
constexpr int kFreezeShade = 23;
constexpr int kPresetBar = 32;
constexpr int kPill = 30;

UiStep click(float x, float y) {
  UiStep s;
  s.kind = UiStep::Click;
  s.x = x;
  s.y = y;
  return s;
}
UiStep drag(float x, float y, float x2, float y2) {
  UiStep s = click(x, y);
  s.kind = UiStep::Drag;
  s.x2 = x2;
  s.y2 = y2;
  return s;
}
UiStep choose(int item) {
  UiStep s;
  s.kind = UiStep::Choose;
  s.item = item;
  return s;
}
UiStep type(const std::string& text) {
  UiStep s;
  s.kind = UiStep::Type;
  s.text = text;
  return s;
}
UiStep clickCentre(const IRECT& r) { return click((r.L + r.R) / 2.f, (r.T + r.B) / 2.f); }

bool near(const Rgba& p, int r, int g, int b, int tol = 3) {
  return std::abs(p[0] - r) <= tol && std::abs(p[1] - g) <= tol && std::abs(p[2] - b) <= tol;
}
std::string str(const Rgba& p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ")";
}

class EditorEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    runplugin::ProductSetup setup;
    setup.hostName = "SpectraPoise end to end";
    setup.rate = kRate;
    setup.block = kBlock;
    setup.bundleModule = SP_BUNDLE_MODULE;
    std::string error;
    ASSERT_TRUE(runplugin::startProduct(setup, product, error)) << error;
    plug = product.plug;
    editor = std::make_unique<runplugin::EditorSession>(product.host->createView(), *product.loop,
                                                        [p = plug] { return p->GetUI(); });
    ASSERT_TRUE(editor->open(error)) << error;
  }
  void TearDown() override {
    if (editor) {
      EXPECT_EQ(editor->failures(true), std::vector<std::string>{});
      editor.reset();
    }
  }

  testhost::ComponentHandler& handler() const { return *product.host->handler(); }
  plugkit::canvas::ICanvas& ui() const { return *plug->GetUI(); }
  double param(int idx) const { return plug->GetParam(idx)->Value(); }

  // seconds of pink noise through the plug-in in 10 ms blocks, the host's loop turning
  // every 20 ms (idle work and frames). The edits the host received since the last block
  // go to the processor with the next one, as a host forwards them.
  void play(double seconds) {
    const sp::test::StereoNoise& noise = sp::test::pinkNoise();
    const int blocks = static_cast<int>(seconds * kRate / kBlock + 0.5);
    for (int b = 0; b < blocks; ++b) {
      for (; forwarded < handler().calls.size(); ++forwarded) {
        const testhost::ComponentHandler::Call& c = handler().calls[forwarded];
        if (c.kind == "perform") changes.add(static_cast<Steinberg::Vst::ParamID>(c.id), 0, c.value);
      }
      for (int i = 0; i < kBlock; ++i) {
        const std::size_t at = (played + static_cast<std::size_t>(i)) % noise.left.size();
        audio.setIn(0, i, noise.left[at]);
        audio.setIn(1, i, noise.right[at]);
      }
      played += kBlock;
      audio.setFrames(kBlock);
      product.host->process(audio, &changes);
      changes.clear();
      if (plug->workerRing().unread() >= 8192) {
        ASSERT_TRUE(runplugin::waitForWorker(*plug));
      }
      if (b % 2 == 1) product.loop->fire(1);
    }
  }
  void run(const std::vector<UiStep>& steps) {
    std::string error;
    ASSERT_TRUE(editor->play(steps, error)) << error;
  }
  // The edits the host received for a parameter since the mark.
  std::size_t mark() const { return handler().calls.size(); }
  std::vector<double> performed(int id, std::size_t from = 0) const {
    std::vector<double> values;
    for (std::size_t i = from; i < handler().calls.size(); ++i)
      if (handler().calls[i].id == id && handler().calls[i].kind == "perform") values.push_back(handler().calls[i].value);
    return values;
  }
  // Since the mark: begin, one or more performs, end.
  bool editedInOneGesture(int id, std::size_t from) const {
    std::string kinds;
    for (std::size_t i = from; i < handler().calls.size(); ++i) {
      const testhost::ComponentHandler::Call& c = handler().calls[i];
      if (c.id == id && (c.kind == "begin" || c.kind == "perform" || c.kind == "end")) kinds += c.kind[0];
    }
    return kinds.size() >= 3 && kinds.front() == 'b' && kinds.back() == 'e' &&
           kinds.find_first_not_of('p', 1) == kinds.size() - 1;
  }

  // The window's picture and a pixel of it (window pixels).
  std::vector<uint8_t> picture(int* w = nullptr, int* h = nullptr) {
    int pw = 0, ph = 0;
    std::vector<uint8_t> rgba = editor->window().picture(pw, ph);
    if (w != nullptr) *w = pw;
    if (h != nullptr) *h = ph;
    lastWidth = pw;
    return rgba;
  }
  Rgba at(int x, int y) {
    const std::vector<uint8_t> rgba = picture();
    return sp::test::pixelAt(rgba, lastWidth, x, y);
  }
  std::string save(const std::string& name) {
    int w = 0, h = 0;
    const std::vector<uint8_t> rgba = picture(&w, &h);
    return sp::test::savePng("editor-e2e-" + name, w, h, rgba);
  }

  // The view's frame step alone: the dirty controls drawn, no idle work.
  void frameOnly() {
    auto* view = dynamic_cast<ICanvasView_vSpectraPoise_vst3*>(editor->view());
    ASSERT_NE(view, nullptr);
    view->render();
  }
  // One frame with idle stopped, then the whole panel marked dirty and drawn again: the
  // two pictures must be equal (a difference is a lost dirty mark).
  void expectIncrementalEqualsFull(const std::string& step) {
    SCOPED_TRACE(step);
    frameOnly();
    int w = 0, h = 0;
    const std::vector<uint8_t> incremental = picture(&w, &h);
    ui().SetAllControlsDirty();
    frameOnly();
    const std::vector<uint8_t> full = picture();
    ASSERT_EQ(incremental.size(), full.size());
    std::size_t differing = 0, first = full.size();
    for (std::size_t i = 0; i < full.size(); ++i)
      if (incremental[i] != full[i]) {
        ++differing;
        first = std::min(first, i);
      }
    EXPECT_EQ(differing, 0u) << "first at x " << (first / 4) % static_cast<std::size_t>(w) << ", y "
                             << (first / 4) / static_cast<std::size_t>(w);
    if (differing != 0) {
      sp::test::savePng("editor-e2e-incremental-" + step, w, h, incremental);
      sp::test::savePng("editor-e2e-full-" + step, w, h, full);
    }
  }

  // The host names the plug-in's track (the channel context).
  void nameTrack(const char* name, int index) {
    Steinberg::Vst::ChannelContext::IInfoListener* listener = nullptr;
    ASSERT_EQ(product.host->controller()->queryInterface(Steinberg::Vst::ChannelContext::IInfoListener::iid,
                                                          reinterpret_cast<void**>(&listener)),
              Steinberg::kResultOk);
    auto* list = new Steinberg::Vst::HostAttributeList();
    Steinberg::Vst::String128 text{};
    vst3shim::utf8ToUtf16(name, std::strlen(name), reinterpret_cast<char16_t*>(text), 128);
    list->setString(Steinberg::Vst::ChannelContext::kChannelNameKey, text);
    list->setInt(Steinberg::Vst::ChannelContext::kChannelIndexKey, index);
    EXPECT_EQ(listener->setChannelContextInfos(list), Steinberg::kResultOk);
    list->release();
    listener->release();
  }
  // The update checker holds a notice of that version.
  void offer(const std::string& version) {
    brightloom::updates::UpdateCheck& checker = *plug->updateCheck();
    checker.writeRecord({1, R"({"spectrapoise":{"version":")" + version + R"(","page":"/spectrapoise"}})"});
    checker.reload();
  }

  runplugin::ProductInstance product;
  SpectraPoise* plug = nullptr;
  std::unique_ptr<runplugin::EditorSession> editor;
  testhost::AudioBlock audio{2, 2, kBlock, Steinberg::Vst::kSample32};
  testhost::ParameterChanges changes;
  std::size_t forwarded = 0;
  std::size_t played = 0;
  int lastWidth = 0;
};

}  // namespace

TEST_F(EditorEndToEnd, ClicksDragsMenusAndTypedTextChangeThePlugInAndThePanel) {
  ASSERT_FALSE(HasFailure());
  play(1.0);
  const Rgba dotOff = at(29, 267);
  save("0-correct-off");

  {
    SCOPED_TRACE("1: click CORRECT");
    const std::size_t from = mark();
    run({click(60, 267)});
    EXPECT_EQ(param(kCorrect), 1.0);
    EXPECT_EQ(performed(kCorrect), std::vector<double>{1.0});
    EXPECT_TRUE(editedInOneGesture(kCorrect, from));
    play(1.0);
    EXPECT_TRUE(near(at(29, 267), 21, 232, 121)) << str(at(29, 267)) << ", off " << str(dotOff);
    EXPECT_FALSE(near(dotOff, 21, 232, 121, 60)) << str(dotOff);
    save("1-correct-on");
  }
  {
    SCOPED_TRACE("2: the spectrum's low handle to x 250");
    // The low handle at 200 Hz sits at x 22 + 456 / 3 = 174; x 250 is 20 Hz x 1000^0.5.
    const std::size_t from = mark();
    run({drag(174, 180, 250, 180)});
    EXPECT_NEAR(param(kLowCrossover), 632.0, 1e-6);
    ASSERT_FALSE(performed(kLowCrossover).empty());
    EXPECT_DOUBLE_EQ(performed(kLowCrossover).back(), plug->GetParam(kLowCrossover)->ToNormalized(632.0));
    EXPECT_TRUE(editedInOneGesture(kLowCrossover, from));
    play(0.2);
  }
  {
    SCOPED_TRACE("3: targets by menu and by typed text");
    const std::string before = plug->currentTarget().name;
    run({choose(1), click(160, 92)});  // the first factory target from the target chip
    EXPECT_NE(plug->currentTarget().name, before);
    ASSERT_FALSE(NSApp->script().menus.empty());
    EXPECT_EQ(plug->currentTarget().name, NSApp->script().menus.back().menu.items.at(1).text);
    // The loudness target: "Type a value…", then "-14.26" (to the half-dB grid: -14.5).
    run({choose(4), type("-14.26"), click(559, 241)});
    ASSERT_FALSE(NSApp->script().textEntries.empty());
    EXPECT_EQ(NSApp->script().textEntries.back().initial, "-14.0");
    EXPECT_EQ(NSApp->script().textEntries.back().delivered, "-14.26");
    EXPECT_EQ(param(kLoudnessTarget), -14.5);
    run({choose(2), click(559, 241)});
    EXPECT_EQ(NSApp->script().menus.back().menu.items.at(2).text, "\xE2\x88\x92" "23 LUFS \xC2\xB7 broadcast");
    EXPECT_EQ(param(kLoudnessTarget), -23.0);
    EXPECT_DOUBLE_EQ(performed(kLoudnessTarget).back(), plug->GetParam(kLoudnessTarget)->ToNormalized(-23.0));
    play(0.2);
  }
  {
    SCOPED_TRACE("4: preset bar: save as, move Low, load back");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr);
    ASSERT_EQ(plug->presetDirectory().string().rfind(dataHome, 0), 0u) << plug->presetDirectory();
    auto* bar = dynamic_cast<PresetBarControl*>(ui().GetControl(kPresetBar));
    ASSERT_NE(bar, nullptr);
    run({type("E2E"), clickCentre(bar->region(PresetBarControl::kSaveAs))});
    EXPECT_EQ(plug->presetName(), "E2E");
    EXPECT_FALSE(plug->presetModified());
    ASSERT_EQ(plug->savedPresets().size(), 1u);
    const double low = param(kCorrectLow);
    std::size_t from = mark();
    run({drag(223, 326, 223, 296)});
    EXPECT_GT(param(kCorrectLow), low);
    EXPECT_TRUE(editedInOneGesture(kCorrectLow, from));
    play(0.1);
    EXPECT_TRUE(plug->presetModified());
    from = mark();
    run({choose(0), clickCentre(bar->region(PresetBarControl::kName))});
    EXPECT_EQ(NSApp->script().menus.back().menu.items.at(0).text, "E2E");
    EXPECT_EQ(param(kCorrectLow), low);
    ASSERT_FALSE(performed(kCorrectLow, from).empty());
    EXPECT_DOUBLE_EQ(performed(kCorrectLow, from).back(), plug->GetParam(kCorrectLow)->ToNormalized(low));
    EXPECT_EQ(plug->presetName(), "E2E");
    EXPECT_FALSE(plug->presetModified());
    play(0.2);
    save("4-preset-loaded");
  }
  {
    SCOPED_TRACE("5: FREEZE");
    const Rgba speedLit = at(52, 326), lowLit = at(209, 326);
    const std::size_t from = mark();
    run({click(60, 293)});
    EXPECT_EQ(param(kFreeze), 1.0);
    EXPECT_EQ(performed(kFreeze, from), std::vector<double>{1.0});
    play(0.2);
    EXPECT_EQ(ui().GetControl(8)->GetValue(), 1.0);  // the pill reads "FROZEN"
    EXPECT_FALSE(ui().GetControl(kFreezeShade)->IsHidden());
    const Rgba speedShaded = at(52, 326), lowNow = at(209, 326);
    EXPECT_LT(std::max({speedShaded[0], speedShaded[1], speedShaded[2]}),
              std::max({speedLit[0], speedLit[1], speedLit[2]}) / 2)
        << str(speedLit) << " " << str(speedShaded);
    EXPECT_TRUE(near(lowNow, lowLit[0], lowLit[1], lowLit[2], 8)) << str(lowLit) << " " << str(lowNow);
    save("5-frozen");
  }
  {
    SCOPED_TRACE("6: a long track label, then a long version");
    nameTrack("A very long track name that runs all the way under the update notice", 12);
    play(0.1);
    IControl* title = ui().GetControlWithTag(0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetRECT().R, 504.f);
    expectIncrementalEqualsFull("long-title");
    offer("9999.9999.9999");
    product.loop->fire(1);
    auto* pill = dynamic_cast<UpdatePillControl*>(ui().GetControl(kPill));
    ASSERT_NE(pill, nullptr);
    EXPECT_EQ(pill->label(), "9999.9999.9999 AVAILABLE");
    EXPECT_EQ(pill->pillRect().R, 524.f);
    EXPECT_EQ(ui().GetControlWithTag(0)->GetRECT().R, pill->pillRect().L - 10.f);
    expectIncrementalEqualsFull("notice");
    save("6-notice");
  }
  {
    SCOPED_TRACE("7: \"Blue\" from the settings menu");
    run({choose(7), click(615, 16)});
    EXPECT_EQ(plug->accentIndex(), 3);
    product.loop->fire(1);  // the next idle tick rebuilds, its frame draws
    EXPECT_TRUE(near(at(29, 267), 0, 184, 255)) << str(at(29, 267));
    // The rebuilt panel: its controls are new; found by tag, they hold the same state.
    ASSERT_NE(ui().GetControlWithTag(2), nullptr);
    EXPECT_EQ(ui().GetControlWithTag(2)->GetValue(0), plug->GetParam(kLowCrossover)->GetNormalized());
    play(0.2);
    save("7-blue");
  }
  {
    SCOPED_TRACE("8: \"Window 1.5x\", then a double click on the corner");
    run({choose(13), click(615, 16)});
    EXPECT_EQ(plug->editorScale(), 1.5f);
    EXPECT_EQ(editor->view()->frame().size.width, 960.0);
    EXPECT_EQ(editor->view()->frame().size.height, 600.0);
    play(0.2);
    int w = 0, h = 0;
    picture(&w, &h);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 600);
    EXPECT_TRUE(near(at(43, 400), 0, 184, 255)) << str(at(43, 400));
    save("8-window-1.5");
    const NSPoint corner{632 * 1.5, 392 * 1.5};
    EventScript events(editor->view());
    events.click(corner, 0, 1);
    events.click(corner, 0, 2);
    product.loop->fire(2);
    EXPECT_EQ(plug->editorScale(), 1.0f);
    EXPECT_EQ(editor->view()->frame().size.width, 640.0);
    EXPECT_EQ(editor->view()->frame().size.height, 400.0);
    play(0.2);
    EXPECT_TRUE(near(at(29, 267), 0, 184, 255)) << str(at(29, 267));
    save("8-corner-back");
  }
  {
    SCOPED_TRACE("the end: an incremental frame equals a full redraw");
    expectIncrementalEqualsFull("end");
  }
}
