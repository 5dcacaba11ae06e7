// The shipped bundle's editor in a host, as a Mac host embeds it: the "NSView" editor opens
// in a window of the host's desktop (which the bundle shares: its cursor, its keys, its
// script), its frames come from the host's run loop through the plug-in frame, it draws
// pixels into its layer, the host reads them back, and closing it leaves the window
// empty; Linux hosts' "X11EmbedWindowID" stays declined. The command writes the editor's
// picture as a PNG.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shims/apple/appkit/AppKit.h"
#include "shims/apple/appkit/AppKitTesting.h"
#include "tests/support/temp_dir.h"
#include "tools/testhost/editor.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/module.h"
#include "tools/testhost/plugin_host.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

const std::string kBundle = SP_BUNDLE_DIR;

TEST(BundleEditor, OpensInTheHostsWindowDrawsAndClosesCleanly) {
  std::string error;
  auto module = testhost::Module::load(kBundle, error);
  ASSERT_TRUE(module) << error;
  auto* context = new testhost::HostContext("testhost");
  module->factory3()->setHostContext(static_cast<IHostApplication*>(context));
  {
    auto plugin = testhost::Plugin::create(*module, 0, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_EQ(plugin->initialize(static_cast<IHostApplication*>(context)), kResultOk);
    IPlugView* view = plugin->createView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultFalse);

    NSApp->cursorLog.clear();
    auto* loop = new testhost::RunLoop();
    auto* frame = new testhost::PlugFrame(nullptr, loop);
    {
      testhost::EditorWindow window(640, 400, 2.0);
      view->setFrame(frame);
      ASSERT_EQ(view->attached(window.parent(), "NSView"), kResultOk);
      ASSERT_TRUE(window.holdsAView());
      auto* content = static_cast<NSView*>(window.parent());
      NSView* editor = content->subviews().front();
      EXPECT_EQ(editor->frame(), NSMakeRect(0, 0, 640, 400));
      EXPECT_TRUE(editor->isFlipped());

      // The frame timer runs from the host's loop and draws into the layer.
      EXPECT_GE(loop->timerCount(), 2);  // the plug-in's idle timer and the view's frames
      loop->fire(3);
      int w = 0, h = 0;
      const std::vector<uint8_t> pixels = window.picture(w, h);
      EXPECT_EQ(w, 1280);
      EXPECT_EQ(h, 800);
      // A frame covers the whole editor (the panel's background is opaque); before the
      // panel has anything to draw, no frame is presented at all.
      size_t opaque = 0;
      for (size_t i = 3; i < pixels.size(); i += 4) opaque += pixels[i] == 255;
      EXPECT_TRUE(opaque == 0 || opaque == pixels.size() / 4) << opaque;

      // The bundle's view talks to the host's desktop: the cursor it sets is the host's.
      EventScript events(editor);
      events.move({10, 10});
      EXPECT_FALSE(NSApp->cursorLog.empty());
      EXPECT_EQ(NSApp->currentCursor, "arrowCursor");
      // Keys the editor does not take reach the host.
      const size_t keys = NSApp->unhandledKeys.size();
      events.keyDown(122, u"\uF704");
      EXPECT_EQ(NSApp->unhandledKeys.size(), keys + 1);

      // At backing scale 2 the largest editor is still 1280 x 800 points: the backing scale
      // is not a window scale, so the size limits are not narrowed by it.
      ViewRect largest(0, 0, 1300, 820);
      EXPECT_EQ(view->checkSizeConstraint(&largest), kResultOk);
      EXPECT_EQ(largest.getWidth(), 1280);
      EXPECT_EQ(largest.getHeight(), 800);
      ASSERT_EQ(view->onSize(&largest), kResultOk);
      EXPECT_EQ(editor->frame(), NSMakeRect(0, 0, 1280, 800));
      ViewRect now;
      EXPECT_EQ(view->getSize(&now), kResultOk);
      EXPECT_EQ(now.getWidth(), 1280);

      EXPECT_EQ(view->removed(), kResultOk);
      EXPECT_FALSE(window.holdsAView());
      EXPECT_TRUE(window.failures().empty());
      view->setFrame(nullptr);
    }
    EXPECT_EQ(loop->timerCount(), 0);
    view->release();
    frame->release();
    loop->release();
  }
  module->factory3()->setHostContext(nullptr);
  context->release();
}

TEST(BundleEditor, TheCommandWritesTheEditorsPicture) {
  sp::test::TempDir dir;
  const std::string in = (dir.path() / "in.wav").string(), out = (dir.path() / "out.wav").string();
  const std::string png = (dir.path() / "editor.png").string();
  {
    // Half a second of quiet noise: enough for the editor to open, tick and draw.
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> samples(48000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = 0.1f * std::sin(0.05f * static_cast<float>(i));
    sf_writef_float(f, samples.data(), 24000);
    sf_close(f);
  }
  const std::string command = std::string(SP_TESTHOST) + " process " + kBundle + " " + in + " " + out + " --editor " +
                              png + " > " + (dir.path() / "report.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream report(dir.path() / "report.txt");
  const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("editor attached"), std::string::npos) << text;
  std::ifstream file(png, std::ios::binary);
  char magic[8] = {};
  file.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
  // Width and height in the header: 1280 x 800.
  char header[16] = {};
  file.read(header, 16);
  auto be = [](const char* p) {
    return (uint32_t(uint8_t(p[0])) << 24) | (uint32_t(uint8_t(p[1])) << 16) | (uint32_t(uint8_t(p[2])) << 8) |
           uint8_t(p[3]);
  };
  EXPECT_EQ(be(header + 8), 1280u);
  EXPECT_EQ(be(header + 12), 800u);
  const char* keep = std::getenv("SP_KEEP_EDITOR_PNG");
  if (keep != nullptr && keep[0] != '\0') std::filesystem::copy_file(png, keep, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
