// Editor size and scale: the size rule, the settings menu's scales, the host resizing the
// window (also synchronously from inside the editor's own resize request), the scale a
// closed editor reports, and the size a state chunk sets for the next opening.
#include <gtest/gtest.h>

#include <atomic>

#include "framework/vst3/IPluginVST3View.h"
#include "plugin/state_chunk.h"
#include "tests/support/plugin/editor_fixture.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

TEST(EditorSizeRule, ConstrainsSizeAndAspect) {
  struct Case {
    float platformScale;
    int w, h;
    bool unchanged;
    int wantW, wantH;
  };
  const Case cases[] = {
      {1.f, 800, 500, true, 800, 500},     {1.f, 800, 600, false, 800, 500},
      {1.f, 2000, 1000, false, 1280, 800}, {1.f, 100, 100, false, 480, 300},
      {1.f, 1280, 800, true, 1280, 800},   {1.f, 480, 300, true, 480, 300},
      {1.f, 1000, 500, false, 800, 500},   {2.f, 2560, 1600, true, 2560, 1600},
      {2.f, 4000, 4000, false, 2560, 1600}, {1.5f, 3000, 3000, false, 1920, 1200},
      {0.f, 2000, 1000, false, 1280, 800},  {1.f, INT32_MAX, INT32_MIN, false, 480, 300},
  };
  PlugPtr plug = makePlug();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platformScale << " " << c.w << "x" << c.h);
    plug->setKeptPlatformScale(c.platformScale);
    int w = c.w;
    int h = c.h;
    EXPECT_EQ(plug->ConstrainEditorResize(w, h), c.unchanged);
    EXPECT_EQ(w, c.wantW);
    EXPECT_EQ(h, c.wantH);
  }
}

TEST(EditorSizeRule, ClosedEditorScaleComesFromTheStoredSize) {
  PlugPtr plug = makePlug();
  EXPECT_EQ(plug->editorScale(), 1.0f);
  plug->SetEditorSize(1000, 625);
  EXPECT_FLOAT_EQ(plug->editorScale(), 1000.f / 640.f);
  plug->setKeptPlatformScale(2.f);
  EXPECT_FLOAT_EQ(plug->editorScale(), 1000.f / 1280.f);
  plug->applyEditorScale(2.f);  // closed: nothing
  EXPECT_EQ(plug->GetEditorWidth(), 1000);
}

class EditorSize : public EditorFixture {};

TEST_F(EditorSize, ApplyingAScaleResizesWithinTheLimits) {
  plug->applyEditorScale(0.75f);
  EXPECT_EQ(ui()->WindowWidth(), 480);
  EXPECT_EQ(ui()->WindowHeight(), 300);
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 0.75f);
  EXPECT_EQ(ui()->Width(), 640);
  EXPECT_EQ(plug->GetEditorWidth(), 480);
  EXPECT_EQ(plug->GetEditorHeight(), 300);
  ASSERT_FALSE(platform.canvas()->platformResizes().empty());

  plug->applyEditorScale(2.f);
  EXPECT_EQ(ui()->WindowWidth(), 1280);
  EXPECT_EQ(ui()->WindowHeight(), 800);
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 2.f);
  EXPECT_FLOAT_EQ(plug->editorScale(), 2.f);

  plug->applyEditorScale(100.f);  // limited, never overflowed
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 2.f);
  plug->applyEditorScale(NAN);
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 2.f);
}

TEST_F(EditorSize, HostResizeKeepsTheAspect) {
  plug->OnParentWindowResize(1000, 700);
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 1000.f / 640.f);
  EXPECT_EQ(plug->GetEditorWidth(), 1000);
  EXPECT_EQ(plug->GetEditorHeight(), 625);
  EXPECT_EQ(ui()->Width(), 640);
  EXPECT_EQ(ui()->Height(), 400);

  const int resizes = platform.canvas()->drawResizes();
  plug->OnParentWindowResize(1000, 625);  // the same scale: the editor stays
  EXPECT_EQ(platform.canvas()->drawResizes(), resizes);

  closeEditor();
  plug->OnParentWindowResize(640, 400);  // closed: nothing
  EXPECT_EQ(plug->GetEditorWidth(), 1000);
}

// A plug-in frame that resizes the view at once, inside resizeView, as some hosts do.
class SyncFrame : public Steinberg::IPlugFrame {
public:
  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* r) override {
    ++requests;
    if (requests > 5) return Steinberg::kResultFalse;  // a loop would show here
    view->onSize(r);
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    *obj = nullptr;
    if (Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::IPlugFrame::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid)) {
      *obj = this;
      addRef();
      return Steinberg::kResultOk;
    }
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs; }
  Steinberg::uint32 PLUGIN_API release() override { return --refs; }
  std::atomic<Steinberg::uint32> refs{1};
  int requests = 0;
};

TEST(EditorSizeView, SynchronousHostResizeSettles) {
  TestPlatform platform;
  PlugPtr plug = makePlug();
  plug->setGraphicsMaker([&](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
    return platform.graphicsFactory(dlg, w, h, fps, scale)();
  });
  SyncFrame frame;
  Steinberg::IPlugView* view = plug->createView("editor");
  ASSERT_NE(view, nullptr);
  view->setFrame(&frame);
  plugkit::SetExtraPlatformTypeForTesting("SpectraPoiseHeadless");
  int parent = 0;
  ASSERT_EQ(view->attached(&parent, "SpectraPoiseHeadless"), Steinberg::kResultOk);

  plug->applyEditorScale(1.5f);
  EXPECT_EQ(frame.requests, 1);
  EXPECT_FLOAT_EQ(plug->GetUI()->GetDrawScale(), 1.5f);
  EXPECT_EQ(plug->GetEditorWidth(), 960);
  EXPECT_EQ(plug->GetEditorHeight(), 600);

  // The host's own resize, after asking about the size.
  Steinberg::ViewRect r(0, 0, 1100, 700);
  EXPECT_EQ(view->checkSizeConstraint(&r), Steinberg::kResultOk);
  EXPECT_EQ(r.getWidth(), 1100);
  EXPECT_EQ(r.getHeight(), 688);
  EXPECT_EQ(view->onSize(&r), Steinberg::kResultOk);
  EXPECT_FLOAT_EQ(plug->GetUI()->GetDrawScale(), 1100.f / 640.f);
  EXPECT_EQ(frame.requests, 1);

  view->removed();
  view->setFrame(nullptr);
  view->release();
  plugkit::SetExtraPlatformTypeForTesting(nullptr);
}

// Points at scale 1 in the chunk: 640 x 400 at 1.5 is stored as 960 x 600.
std::vector<std::uint8_t> stateWithSize(SpectraPoise& plug, int w, int h) {
  plugkit::IByteChunk chunk;
  EXPECT_TRUE(plug.SerializeState(chunk));
  std::vector<std::uint8_t> bytes(chunk.GetData(), chunk.GetData() + chunk.Size());
  std::memcpy(bytes.data() + 12, &w, 4);
  std::memcpy(bytes.data() + 16, &h, 4);
  return bytes;
}

TEST_F(EditorSize, StateWrittenWithTheEditorOpenCarriesItsWindowSize) {
  plug->applyEditorScale(1.5f);
  plugkit::IByteChunk chunk;
  ASSERT_TRUE(plug->SerializeState(chunk));
  std::int32_t w = 0, h = 0;
  chunk.Get(&w, 12);
  chunk.Get(&h, 16);
  EXPECT_EQ(w, 960);
  EXPECT_EQ(h, 600);
}

TEST_F(EditorSize, AStateReadWhileClosedSetsTheNextOpening) {
  plug->applyEditorScale(1.5f);
  closeEditor();  // keeps 640 x 400 at 1.5 for the next opening
  ASSERT_FLOAT_EQ(plug->GetSavedScale(), 1.5f);

  const std::vector<std::uint8_t> bytes = stateWithSize(*plug, 1000, 625);
  plugkit::IByteChunk chunk;
  chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_GT(plug->UnserializeState(chunk, 0), 0);
  EXPECT_EQ(plug->GetEditorWidth(), 1000);
  EXPECT_EQ(plug->GetEditorHeight(), 625);
  EXPECT_EQ(plug->GetSavedScale(), 0.f);

  openEditor();
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 1000.f / 640.f);
}

TEST_F(EditorSize, AStateReadWhileOpenLeavesTheWindowAlone) {
  const std::vector<std::uint8_t> bytes = stateWithSize(*plug, 1000, 625);
  plugkit::IByteChunk chunk;
  chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_GT(plug->UnserializeState(chunk, 0), 0);
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 1.f);
  EXPECT_EQ(plug->restoredEditorWidth(), 1000);
}

}  // namespace
