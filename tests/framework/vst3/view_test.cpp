// The VST3 editor view: platform type, attach and remove, size negotiation, keys, the
// editor's resize requests, and views outliving or replacing one another.
#include <gtest/gtest.h>

#include <string>

#include "framework/vst3/IPluginVST3View.h"
#include "shims/vst3sdk/keycodes.h"
#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using sp::test::Bound;

int gParent = 0;  // a stand-in parent window

struct ViewFixture : ::testing::Test {
  Bound b;
  IPlugView* view = nullptr;
  testhost::PlugFrame* frame = new testhost::PlugFrame();
  ViewFixture() {
    b.plug->fakeView = &gParent;
    view = b.host->createView();
  }
  ~ViewFixture() override {
    if (view != nullptr) {
      view->setFrame(nullptr);
      view->release();
    }
    frame->release();
  }
};

TEST_F(ViewFixture, PlatformTypeAttachAndRemove) {
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  EXPECT_EQ(view->attached(&gParent, "X11EmbedWindowID"), kResultFalse);
  EXPECT_EQ(b.plug->openWindows, 0);

  view->setFrame(frame);
  ASSERT_EQ(view->attached(&gParent, "NSView"), kResultOk);
  EXPECT_EQ(view->attached(&gParent, "NSView"), kResultFalse);  // a second attach opens nothing
  EXPECT_EQ(b.plug->openWindows, 1);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(b.plug->closeWindows, 1);
  ASSERT_EQ(view->attached(&gParent, "NSView"), kResultOk);  // attach again after removal
  view->removed();

  b.plug->fakeView = nullptr;  // the editor cannot make its view
  EXPECT_EQ(view->attached(&gParent, "NSView"), kResultFalse);
  EXPECT_EQ(b.plug->openWindows, b.plug->closeWindows);  // what opened was closed again

  EXPECT_EQ(b.controller()->createView("other"), nullptr);
  EXPECT_EQ(b.controller()->createView(nullptr), nullptr);
}

TEST_F(ViewFixture, TestProgramsMayAcceptAPrivateType) {
  plugkit::SetExtraPlatformTypeForTesting("SpectraPoiseHeadless");
  EXPECT_EQ(view->isPlatformTypeSupported("SpectraPoiseHeadless"), kResultTrue);
  plugkit::SetExtraPlatformTypeForTesting(nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported("SpectraPoiseHeadless"), kResultFalse);
}

TEST_F(ViewFixture, SizeRules) {
  ViewRect rect;
  ASSERT_EQ(view->getSize(&rect), kResultOk);  // before opening: the configured size
  EXPECT_EQ(rect.getWidth(), 640);
  EXPECT_EQ(rect.getHeight(), 400);
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);
  EXPECT_EQ(view->onSize(nullptr), kResultFalse);
  EXPECT_EQ(view->canResize(), kResultTrue);

  struct Case {
    ViewRect in;
    ViewRect out;
  } cases[] = {
      {{0, 0, 2000, 100}, {0, 0, 1280, 300}},
      {{10, 20, 810, 520}, {10, 20, 810, 520}},
      {{5, 5, 105, 105}, {5, 5, 485, 305}},
  };
  for (Case c : cases) {
    EXPECT_EQ(view->checkSizeConstraint(&c.in), kResultOk);
    EXPECT_EQ(c.in.left, c.out.left);
    EXPECT_EQ(c.in.top, c.out.top);
    EXPECT_EQ(c.in.right, c.out.right);
    EXPECT_EQ(c.in.bottom, c.out.bottom);
  }

  ViewRect size(0, 0, 800, 500);
  b.plug->clearLog();
  EXPECT_EQ(view->onSize(&size), kResultOk);
  EXPECT_EQ(b.plug->countInLog("OnParentWindowResize 800 500"), 1);

  FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
  ASSERT_TRUE(scale);
  EXPECT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
}

TEST_F(ViewFixture, EditorResizeAsksTheFrameOnlyWhenItMust) {
  EXPECT_TRUE(b.plug->EditorResize(700, 437));  // not attached: stored only
  EXPECT_TRUE(frame->resizes.empty());
  EXPECT_EQ(b.plug->GetEditorWidth(), 700);

  view->setFrame(frame);
  ASSERT_EQ(view->attached(&gParent, "NSView"), kResultOk);
  EXPECT_TRUE(b.plug->EditorResize(700, 437));  // the current size: no frame call
  EXPECT_TRUE(frame->resizes.empty());
  EXPECT_TRUE(b.plug->EditorResize(800, 500));
  ASSERT_EQ(frame->resizes.size(), 1u);
  EXPECT_EQ(frame->resizes[0].view, view);
  EXPECT_EQ(frame->resizes[0].rect.getWidth(), 800);
  EXPECT_EQ(b.plug->GetEditorHeight(), 500);
  EXPECT_EQ(b.plug->GetHostPlugView(), view);
  view->removed();
  EXPECT_EQ(b.plug->GetHostPlugView(), nullptr);
}

TEST_F(ViewFixture, ASecondViewOutlivesTheFirst) {
  IPlugView* second = b.host->createView();
  ASSERT_NE(second, nullptr);
  view->release();  // the host lets the first view go
  view = nullptr;
  EXPECT_TRUE(b.plug->EditorResize(900, 563));  // the remembered view is the second, not freed memory
  second->setFrame(frame);
  ASSERT_EQ(second->attached(&gParent, "NSView"), kResultOk);
  EXPECT_TRUE(b.plug->EditorResize(900, 563));
  EXPECT_TRUE(frame->resizes.empty());
  EXPECT_TRUE(b.plug->EditorResize(1000, 625));
  EXPECT_EQ(frame->resizes.size(), 1u);
  second->removed();
  second->setFrame(nullptr);
  second->release();
  EXPECT_EQ(b.plug->GetView(), nullptr);
  EXPECT_TRUE(b.plug->EditorResize(640, 400));  // no view at all
}

TEST(Keys, TranslationTable) {
  struct Case {
    char16 key;
    int16 code;
    int vk;
    const char* text;
  } cases[] = {
      {u'a', 0, 65, "a"},   {0, KEY_SPACE, 32, " "}, {0, KEY_PAGEDOWN, 34, ""}, {0, KEY_NEXT, 34, ""},
      {0, 145, 65, "A"},    {u'=', KEY_EQUALS, 0, "="}, {0, -3, 0, ""},          {u'7', 0, 55, "7"},
      {0, KEY_F12, 123, ""}, {0, KEY_NUMPAD9, 105, ""}, {0, KEY_ALT, 18, ""},     {0, 60, 0, ""},
      {0x20AC, 0, 0, ""},   {0, KEY_RETURN, 13, ""},  {0, KEY_ENTER, 13, ""},    {0, KEY_DIVIDE, 111, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.key) + "/" + std::to_string(c.code));
    const plugkit::IKeyPress press = plugkit::TranslateKeyMessage(c.key, c.code, 0);
    EXPECT_EQ(press.VK, c.vk);
    EXPECT_STREQ(press.utf8, c.text);
  }
  const plugkit::IKeyPress mods = plugkit::TranslateKeyMessage(u'a', 0, kShiftKey | kCommandKey | kControlKey);
  EXPECT_TRUE(mods.S);
  EXPECT_TRUE(mods.C);
  EXPECT_FALSE(mods.A);
}

TEST(Keys, ReachTheEditorAndReaperKeepsAllButTheSpaceBar) {
  for (const char* host : {"testhost", "REAPER"}) {
    SCOPED_TRACE(host);
    Bound b(sp::test::productConfig(), host);
    IPlugView* view = b.host->createView();
    const bool reaper = std::string(host) == "REAPER";
    EXPECT_EQ(view->onKeyDown(u'a', 0, 0), reaper ? kResultFalse : kResultOk);
    EXPECT_EQ(view->onKeyDown(0, KEY_SPACE, kAlternateKey), kResultOk);
    EXPECT_EQ(view->onKeyUp(u' ', 0, 0), kResultOk);
    ASSERT_EQ(b.plug->keys.size(), reaper ? 2u : 3u);
    const plugkit::IKeyPress& space = b.plug->keys[reaper ? 0 : 1];
    EXPECT_EQ(space.VK, 32);
    EXPECT_STREQ(space.utf8, " ");
    EXPECT_TRUE(space.A);
    b.plug->keysHandled = false;
    EXPECT_EQ(view->onKeyDown(0, KEY_SPACE, 0), kResultFalse);
    view->release();
  }
}

}  // namespace
