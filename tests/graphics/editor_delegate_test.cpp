// The editor delegate: opening and closing a headless editor, the kept size and scale,
// the editor-state record, and values and messages from the plug-in to the controls.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/IByteChunk.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/test_canvas.h"

using namespace gfxtest;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

class DelegateTest : public ::testing::Test {
protected:
  void SetUp() override {
    dlg.SetMakeGraphicsFunc(platform.graphicsFactory(dlg));
    dlg.SetLayoutFunc([this](ICanvas* g) {
      ++layouts;
      dlg.log.push_back("Layout");
      linked = new Probe(IRECT(0, 0, 10, 10), 3);
      g->AttachControl(linked, 1);
      twoSlots = new Probe(IRECT(0, 20, 10, 30), std::initializer_list<int>{0, 3});
      g->AttachControl(twoSlots, 2);
      auto* midi = new Probe(IRECT(0, 40, 10, 50));
      midi->SetWantsMidi(true);
      g->AttachControl(midi, 3);
    });
  }

  FakeDelegate dlg;
  TestPlatform platform;
  int layouts = 0;
  Probe* linked = nullptr;
  Probe* twoSlots = nullptr;
};

}  // namespace

TEST_F(DelegateTest, OpeningLaysOutAndTellsThePluginClosingDeletesTheContext) {
  void* view = dlg.OpenWindow(nullptr);
  ASSERT_NE(view, nullptr);
  TestCanvas* g = platform.canvas();
  ASSERT_EQ(dlg.GetGraphics(), g);
  EXPECT_EQ(layouts, 1);
  EXPECT_EQ(g->NControls(), 3);
  EXPECT_EQ(dlg.only({"Layout", "OnUIOpen"}), (Log{"Layout", "OnUIOpen"}));
  EXPECT_EQ(g->windowOpens(), 1);

  dlg.log.clear();
  dlg.CloseWindow();
  // The view's removal called CloseWindow again; the delegate ignored it.
  EXPECT_EQ(dlg.only({"OnUIClose"}), (Log{"OnUIClose"}));
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
  EXPECT_EQ(platform.canvas(), nullptr);
  dlg.CloseWindow();  // closed already: only the plug-in hears of it
  EXPECT_EQ(dlg.only({"OnUIClose"}).size(), 2u);
}

TEST_F(DelegateTest, ReopeningRestoresTheKeptScaleBeforeTheWindowOpens) {
  dlg.OpenWindow(nullptr);
  platform.canvas()->Resize(640, 400, 1.5f, true);
  dlg.CloseWindow();
  EXPECT_EQ(dlg.GetSavedWidth(), 640);
  EXPECT_EQ(dlg.GetSavedHeight(), 400);
  EXPECT_EQ(dlg.GetSavedScale(), 1.5f);

  dlg.log.clear();
  dlg.OpenWindow(nullptr);
  EXPECT_EQ(platform.canvas()->GetDrawScale(), 1.5f);
  const Log order = dlg.only({"HostResize", "Layout", "OnUIOpen"});
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order.front(), "HostResize 960x600");
  EXPECT_EQ(order[order.size() - 2], "Layout");
  EXPECT_EQ(order.back(), "OnUIOpen");
  EXPECT_EQ(layouts, 2);
  dlg.CloseWindow();
}

TEST_F(DelegateTest, WithoutAMakeGraphicsFunctionNothingOpens) {
  FakeDelegate bare;
  EXPECT_EQ(bare.CreateGraphics(), nullptr);
  EXPECT_EQ(bare.OpenWindow(nullptr), nullptr);
  bare.LayoutUI(nullptr);  // no layout function: nothing
}

TEST_F(DelegateTest, EditorStateRecordRoundTripsAndBadRecordsApplyNothing) {
  dlg.OpenWindow(nullptr);
  platform.canvas()->Resize(640, 400, 1.25f, true);
  plugkit::IByteChunk chunk;
  ASSERT_TRUE(dlg.SerializeEditorState(chunk));
  EXPECT_EQ(chunk.Size(), 12);
  dlg.CloseWindow();

  // While closed, a full record becomes the kept size.
  FakeDelegate other;
  other.SetMakeGraphicsFunc(platform.graphicsFactory(other));
  EXPECT_EQ(other.UnserializeEditorState(chunk, 0), 12);
  EXPECT_EQ(other.GetSavedScale(), 1.25f);
  other.OpenWindow(nullptr);
  EXPECT_EQ(platform.canvas()->GetDrawScale(), 1.25f);
  // While open, a record resizes at once; one with NaN is ignored.
  plugkit::IByteChunk nan;
  const int32_t w = 640, h = 400;
  const float bad = std::numeric_limits<float>::quiet_NaN(), good = 2.f;
  nan.Put(&w), nan.Put(&h), nan.Put(&bad);
  EXPECT_EQ(other.UnserializeEditorState(nan, 0), 12);
  EXPECT_EQ(platform.canvas()->GetDrawScale(), 1.25f);
  plugkit::IByteChunk two;
  two.Put(&w), two.Put(&h), two.Put(&good);
  EXPECT_EQ(other.UnserializeEditorState(two, 0), 12);
  EXPECT_EQ(platform.canvas()->GetDrawScale(), 2.f);
  other.CloseWindow();

  // An 8-byte record while closed: -1, no scale kept, and no resize at the next opening.
  plugkit::IByteChunk shortRecord;
  shortRecord.Put(&w), shortRecord.Put(&h);
  EXPECT_EQ(other.UnserializeEditorState(shortRecord, 0), -1);
  EXPECT_EQ(other.GetSavedScale(), 0.f);
  other.log.clear();
  other.OpenWindow(nullptr);
  EXPECT_TRUE(other.only({"HostResize 1280"}).empty());
  EXPECT_EQ(platform.canvas()->GetDrawScale(), 1.f);
  // A NaN record while closed leaves the kept size alone.
  other.CloseWindow();
  EXPECT_EQ(other.UnserializeEditorState(nan, 0), 12);
  EXPECT_EQ(other.GetSavedScale(), 1.f);
  EXPECT_EQ(other.UnserializeEditorState(chunk, 4), -1);
}

TEST_F(DelegateTest, ParameterValuesFromThePluginReachEveryLinkedSlot) {
  dlg.SendParameterValueFromDelegate(3, 6000.0, false);
  EXPECT_EQ(dlg.only({"ParamChangeUI"}), (Log{"ParamChangeUI 3 4"}));

  dlg.OpenWindow(nullptr);
  dlg.log.clear();
  dlg.SendParameterValueFromDelegate(3, 6000.0, false);
  EXPECT_NEAR(linked->GetValue(0), 0.5856, 1e-4);
  EXPECT_NEAR(twoSlots->GetValue(1), 0.5856, 1e-4);
  EXPECT_EQ(twoSlots->GetValue(0), 0.0);
  EXPECT_EQ(dlg.only({"ParamChangeUI"}), (Log{"ParamChangeUI 3 4"}));
  dlg.SendParameterValueFromDelegate(3, std::numeric_limits<double>::quiet_NaN(), true);
  EXPECT_NEAR(linked->GetValue(0), 0.5856, 1e-4);
  dlg.SendParameterValueFromDelegate(99, 5.0, false);  // no such parameter: only the plug-in hears
  dlg.CloseWindow();
}

TEST_F(DelegateTest, ControlValuesMessagesMidiAndKeysGoThroughTheOpenContext) {
  dlg.SendControlValueFromDelegate(1, 0.5);  // closed: nothing to reach
  dlg.OpenWindow(nullptr);
  dlg.SendControlValueFromDelegate(1, 0.5);
  EXPECT_EQ(linked->GetValue(), 0.5);
  dlg.SendControlValueFromDelegate(42, 0.5);
  dlg.SendControlMsgFromDelegate(2, 77);
  EXPECT_TRUE(twoSlots->called("OnMsg 77"));
  dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 144, 60, 100));
  auto* midi = static_cast<Probe*>(platform.canvas()->GetControlWithTag(3));
  EXPECT_TRUE(midi->called("OnMidi 144"));
  EXPECT_FALSE(linked->called("OnMidi 144"));

  // Keys go to the control under the current mouse location (never to index 0).
  twoSlots->onKey = [](Probe&, const IKeyPress&) { return true; };
  platform.mouseX = 5, platform.mouseY = 25;
  EXPECT_TRUE(dlg.OnKeyDown(IKeyPress("a", 'A')));
  platform.mouseX = 500, platform.mouseY = 300;
  EXPECT_FALSE(dlg.OnKeyDown(IKeyPress("a", 'A')));
  dlg.CloseWindow();
  EXPECT_FALSE(dlg.OnKeyDown(IKeyPress("a", 'A')));
}

TEST_F(DelegateTest, DelegateDestroyedWithTheEditorOpenDeletesTheContext) {
  auto* owner = new FakeDelegate;
  owner->logUI = false;
  owner->SetMakeGraphicsFunc(platform.graphicsFactory(*owner));
  owner->OpenWindow(nullptr);
  owner->GetGraphics()->AttachControl(new Probe(IRECT(0, 0, 1, 1)));
  delete owner;  // ASan: the context and its control go with it
  EXPECT_EQ(platform.canvas(), nullptr);
}
