// The stock gallery drawn through the NanoVG drawing class on the software GPU: both pages,
// and the second with its drawn menu, text entry and value bubble open, written as PNGs for
// a look (SP_RENDER_PNG_DIR, else a temporary folder). Probes check that every control
// painted inside its own rectangle and that the open prompts show over the page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/stock/OverlayControls.h"
#include "graphics/stock/PopupMenuControl.h"
#include "graphics/stock/TextEntryControl.h"
#include "tests/graphics/stock/stock_fixture.h"
#include "tests/support/render/metal_target.h"
#include "tests/support/canvas/image_fixture.h"
#include "tests/support/nanovg/nanovg_canvas.h"
#include "tests/support/temp_dir.h"
#include "tools/stock_gallery/stock_gallery.h"

namespace {

using namespace plugkit::canvas;
using sp::test::NanoVGTestCanvas;
using sp::test::Rgba;
using stocktest::StockDelegate;

const IColor kBackground(255, 228, 231, 236);

class GalleryPictures : public ::testing::Test {
protected:
  // Opens a 640 x 400 editor whose layout loads the font, lays the background and runs page.
  void open(std::function<void(ICanvas&)> page) {
    dlg.SetMakeGraphicsFunc(NanoVGTestCanvas::factory(dlg, 640, 400, 1.f, 1.f));
    dlg.SetLayoutFunc([page](ICanvas* c) {
      c->LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
      c->AttachPanelBackground(IPattern(kBackground));
      page(*c);
    });
    dlg.OpenWindow(nullptr);
    g = static_cast<NanoVGTestCanvas*>(dlg.GetGraphics());
    ASSERT_NE(g, nullptr);
  }
  void TearDown() override {
    if (dlg.GetGraphics() != nullptr) dlg.CloseWindow();
  }

  void draw(const std::string& name) {
    g->redrawAll();
    pixels = g->mainPixels(&w, &h);
    ASSERT_EQ(w, 640);
    std::printf("picture: %s\n", sp::test::savePng(name, w, h, pixels).c_str());
  }
  // Pixels inside r (UI units) that differ from the background.
  int painted(const IRECT& r) const {
    int n = 0;
    for (int y = std::max(0, int(r.T)); y < std::min(h, int(r.B)); ++y)
      for (int x = std::max(0, int(r.L)); x < std::min(w, int(r.R)); ++x) {
        const Rgba p = sp::test::pixelAt(pixels, w, x, y);
        n += std::abs(p[0] - kBackground.R) + std::abs(p[1] - kBackground.G) + std::abs(p[2] - kBackground.B) > 24;
      }
    return n;
  }
  // n frames, 20 ms apart.
  void frames(int n) {
    for (int i = 0; i < n; ++i) {
      clock.advance(20);
      g->tick();
    }
  }
  void click(float x, float y) {
    IMouseInfo p;
    p.x = x;
    p.y = y;
    p.mod.L = true;
    g->OnMouseDown({p});
    g->OnMouseUp({p});
  }

  sp::test::TestClock clock;
  StockDelegate dlg;
  NanoVGTestCanvas* g = nullptr;
  std::vector<uint8_t> pixels;
  int w = 0, h = 0;
};

// The second page's bitmaps: three shaded frames, a handle and a bitmap font of 96 frames.
stock_gallery::ImageParams imageParams(ICanvas& c, const std::string& folder) {
  using sp::test::RGBAImage;
  auto load = [&c](const char* name, const RGBAImage& image, int frames) {
    const std::string png = sp::test::encodePNG(image);
    return c.LoadBitmap(name, png.data(), static_cast<int>(png.size()), frames, false, 1);
  };
  RGBAImage frames = RGBAImage::solid(40, 120, 60, 90, 160);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 40; ++x) frames.pixels[size_t((y * 40 + x) * 4 + 1)] = uint8_t(60 + (y / 40) * 80);
  stock_gallery::ImageParams p;
  p.frames = load("gallery-frames.png", frames, 3);
  p.handle = load("gallery-handle.png", RGBAImage::solid(14, 24, 200, 70, 40), 1);
  p.font = load("gallery-font.png", RGBAImage::gradient(7, 12 * 96), 96);
  p.folder = folder.c_str();
  p.level = stocktest::kLevel;
  p.toggle = stocktest::kPower;
  p.three = stocktest::kThree;
  return p;
}

}  // namespace

TEST_F(GalleryPictures, TheFirstPage) {
  stock_gallery::Params params;
  params.toggle = stocktest::kPower;
  params.choice = stocktest::kLetter;
  params.steps = stocktest::kSteps;
  params.level = stocktest::kMix;
  params.x = stocktest::kLevel;
  params.y = stocktest::kMix;
  open([params](ICanvas& c) { stock_gallery::attach(c, params); });
  draw("stock_gallery_page1");
  for (int tag = stock_gallery::kLink; tag < stock_gallery::kEndTag; ++tag)
    EXPECT_GT(painted(g->GetControlWithTag(tag)->GetRECT()), 30) << "tag " << tag;
}

TEST_F(GalleryPictures, TheSecondPageWithItsPromptsOpen) {
  sp::test::TempDir folder;
  ASSERT_TRUE(sp::test::writeFile(folder / "First take.txt", "1"));
  ASSERT_TRUE(sp::test::writeFile(folder / "Notes/Second.txt", "2"));
  const std::string path = folder.path().string();
  open([&path](ICanvas& c) { stock_gallery::attachImagesAndOverlays(c, imageParams(c, path)); });
  frames(5);  // frame times for the display
  draw("stock_gallery_page2");
  for (int tag = stock_gallery::kFileMenu; tag < stock_gallery::kEndImageTag; ++tag)
    EXPECT_GT(painted(g->GetControlWithTag(tag)->GetRECT()), 30) << "tag " << tag;
  EXPECT_GT(painted(g->GetFPSDisplay()->GetRECT()), 300);

  // The value bubble beside the dragged slider.
  const IRECT slider = g->GetControlWithTag(stock_gallery::kBitmapSlider)->GetRECT();
  IMouseInfo p;
  p.x = slider.CentreX();
  p.y = slider.CentreY();
  p.mod.L = true;
  g->OnMouseDown({p});
  frames(15);
  const IRECT bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0))->GetBubbleBounds();
  draw("stock_gallery_page2_bubble");
  g->OnMouseUp({p});
  EXPECT_GT(painted(bubble.GetPadded(-12.f)), 100);

  // The caption's value in the drawn text entry.
  const IRECT caption = g->GetControlWithTag(stock_gallery::kValueCaption)->GetRECT();
  click(caption.CentreX(), caption.CentreY());
  ASSERT_TRUE(g->GetTextEntryControl()->IsEditing());
  draw("stock_gallery_page2_entry");
  g->OnKeyDown(0, 0, IKeyPress("", kVK_ESCAPE));

  // The file menu drawn over the page, its folder as a submenu.
  const IRECT files = g->GetControlWithTag(stock_gallery::kFileMenu)->GetRECT();
  click(files.CentreX(), files.CentreY());
  auto* menu = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
  frames(8);
  ASSERT_EQ(menu->GetState(), IPopupMenuControl::kOpen);
  const IRECT* second = menu->GetPanel(0)->GetCell(1);
  g->OnMouseOver(second->CentreX(), second->CentreY(), IMouseMod());
  frames(12);
  ASSERT_EQ(menu->NPanels(), 2);
  draw("stock_gallery_page2_menu");
  EXPECT_GT(painted(menu->GetPanel(0)->mTargetRECT), 200);
  EXPECT_GT(painted(menu->GetPanel(1)->mTargetRECT), 100);
}
