// The bitmap and SVG controls: which frame of a bitmap a value shows and where, meter
// messages (short, lying about their channels, or carrying values that are not numbers),
// the switch's stepping, the slider's handle and travel, the rotating knobs, rescaling, and
// which image, colour and turn the SVG controls draw.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "graphics/stock/BitmapControls.h"
#include "graphics/stock/SVGControls.h"
#include "graphics/svg/svg_builder.h"
#include "tests/graphics/stock/stock_fixture.h"
#include "tests/support/canvas/image_fixture.h"

using namespace stocktest;
using sp::test::RGBAImage;

namespace {

// Stacked (or side by side) frames, each one solid colour.
RGBAImage frames(const std::vector<IColor>& colors, int fw, int fh, bool horizontal) {
  const int n = static_cast<int>(colors.size());
  RGBAImage image;
  image.width = horizontal ? fw * n : fw;
  image.height = horizontal ? fh : fh * n;
  image.pixels.resize(static_cast<size_t>(image.width * image.height * 4));
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const IColor& c = colors[static_cast<size_t>(horizontal ? x / fw : y / fh)];
      uint8_t* p = &image.pixels[static_cast<size_t>((y * image.width + x) * 4)];
      p[0] = static_cast<uint8_t>(c.R), p[1] = static_cast<uint8_t>(c.G), p[2] = static_cast<uint8_t>(c.B), p[3] = 255;
    }
  }
  return image;
}

class ImageControlsTest : public StockTest {
protected:
  IBitmap load(const char* name, const RGBAImage& image, int nStates, bool horizontal) {
    const std::string png = sp::test::encodePNG(image);
    return g->LoadBitmap(name, png.data(), static_cast<int>(png.size()), nStates, horizontal, 1);
  }
  // The one bitmap drawn by the control.
  sp::test::DrawOp drawnBitmap(IControl& c) {
    drawOnly(c);
    const auto ops = g->opsOf({sp::test::DrawOp::DrawBitmap});
    EXPECT_EQ(ops.size(), 1u);
    return ops.empty() ? sp::test::DrawOp{} : ops[0];
  }
  // The colour of the drawn bitmap's pixel at the source offset.
  static IColor sourceColour(const sp::test::DrawOp& op) {
    const auto* bitmap = static_cast<const sp::test::TestBitmap*>(op.bitmap);
    const int x = static_cast<int>(op.args[0]), y = static_cast<int>(op.args[1]);
    const uint8_t* p = &bitmap->pixels[static_cast<size_t>((y * bitmap->GetWidth() + x) * 4)];
    return IColor(p[3], p[0], p[1], p[2]);
  }
};

// A square image of side 40 whose top half is filled red.
NSVGimage* topHalfRed() {
  svg::ImageBuilder b(40, 40);
  NSVGshape* shape = b.AddShape();
  svg::ImageBuilder::SetColor(shape->fill, svg::PackColor(255, 0, 0));
  b.AddRect(shape, 0, 0, 40, 20);
  return b.Release();
}

// A square image of side 10 filled with one colour, stroked in another.
NSVGimage* square(IColor fill, float side = 10.f) {
  svg::ImageBuilder b(side, side);
  NSVGshape* shape = b.AddShape();
  svg::ImageBuilder::SetColor(shape->fill, svg::PackColor(fill.R, fill.G, fill.B));
  svg::ImageBuilder::SetColor(shape->stroke, svg::PackColor(0, 0, 0));
  b.AddRect(shape, 0, 0, side, side);
  return b.Release();
}

// Owns images made for a test.
struct Images {
  std::vector<NSVGimage*> owned;
  ISVG add(NSVGimage* image) {
    owned.push_back(image);
    return ISVG(image);
  }
  ~Images() {
    for (NSVGimage* image : owned) nsvgDelete(image);
  }
};

// The colours of the fills drawn, in order.
std::vector<IColor> fillColours(const sp::test::TestCanvas& g) {
  std::vector<IColor> out;
  for (const Fill& f : fills(g)) out.push_back(f.color);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Bitmaps

TEST_F(ImageControlsTest, AValueShowsItsFrameCentredInTheControl) {
  const IBitmap rgb = load("rgb.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  ASSERT_TRUE(rgb.IsValid());
  auto* c = attach(new IBitmapControl(10, 10, rgb));
  expectRect(c->GetRECT(), IRECT(10, 10, 14, 12));
  const struct {
    double value;
    IColor colour;
    int srcY;
  } cases[] = {{0.0, COLOR_RED, 0}, {0.5, COLOR_GREEN, 2}, {1.0, COLOR_BLUE, 4}, {0.2, COLOR_RED, 0}, {0.8, COLOR_BLUE, 4}};
  for (const auto& k : cases) {
    c->SetValue(k.value);
    const sp::test::DrawOp op = drawnBitmap(*c);
    EXPECT_EQ(op.args[1], k.srcY) << k.value;
    EXPECT_EQ(sourceColour(op), k.colour) << k.value;
    expectRect(op.rect, IRECT(10, 10, 14, 12));
  }
  // In a larger control the frame keeps its size, centred.
  g->SetControlBounds(c, IRECT(0, 0, 20, 20));
  c->SetValue(0.0);
  expectRect(drawnBitmap(*c).rect, IRECT(8, 9, 12, 11));
}

TEST_F(ImageControlsTest, HorizontalFramesAreSteppedAcross) {
  const IBitmap five = load("five.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE, COLOR_WHITE, COLOR_BLACK}, 2, 3, true),
                            5, true);
  auto* c = attach(new IBitmapControl(0, 0, five));
  c->SetValue(0.5);
  const sp::test::DrawOp op = drawnBitmap(*c);
  EXPECT_EQ(op.args[0], 2 * five.W() / 5);
  EXPECT_EQ(op.args[1], 0);
  EXPECT_EQ(sourceColour(op), COLOR_BLUE);

  const IBitmap one = load("one.png", frames({COLOR_GREEN}, 6, 6, false), 1, false);
  auto* whole = attach(new IBitmapControl(0, 0, one));
  for (double v : {0.0, 0.7, 1.0}) {
    whole->SetValue(v);
    const sp::test::DrawOp drawn = drawnBitmap(*whole);
    EXPECT_EQ(drawn.args[0], 0);
    EXPECT_EQ(drawn.args[1], 0);
  }
}

TEST_F(ImageControlsTest, AThreeFrameSwitchStepsThroughItsFramesAndWraps) {
  const IBitmap rgb = load("rgb.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  auto* s = attach(new IBSwitchControl(100, 100, rgb, kLevel));
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    mouse->click(102, 101);
    seen.push_back(sp::test::num(s->GetValue()));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"0.5", "1", "0", "0.5"}));
}

TEST_F(ImageControlsTest, MeterMessagesSetLevelsAndNeverReadPastTheirRecord) {
  const IBitmap rgb = load("rgb.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  auto* meter = attach(new IBMeterControl(0, 0, rgb, -60.f, 0.f, true));
  // A record of exactly this many bytes: the header, then the floats given.
  auto send = [&](int32_t count, int32_t offset, std::vector<float> values, int msgTag = 0) {
    std::vector<uint8_t> record(12 + 4 * values.size());
    const int32_t header[3] = {7, count, offset};
    std::memcpy(record.data(), header, 12);
    if (!values.empty()) std::memcpy(record.data() + 12, values.data(), 4 * values.size());
    meter->OnMsgFromDelegate(msgTag, static_cast<int>(record.size()), record.data());
    return meter->GetValue();
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_NEAR(send(1, 0, {0.0316f, 0, 0}), 0.5, 1e-3);  // 30 dB below full scale
  EXPECT_EQ(send(1, 0, {0.f, 0, 0}), 0.0);
  EXPECT_EQ(send(1, 0, {2.f, 0, 0}), 1.0);
  EXPECT_EQ(send(1, 0, {nan, 0, 0}), 0.0);
  EXPECT_NEAR(send(1000, 0, {0.0316f, 0, 0}), 0.5, 1e-3);  // a count beyond the record
  EXPECT_NEAR(send(-1, 0, {1.f, 1.f, 1.f}), 0.5, 1e-3);    // nothing read
  EXPECT_NEAR(send(1, -1, {1.f, 1.f, 1.f}), 0.5, 1e-3);
  EXPECT_NEAR(send(1, 1, {1.f, 1.f, 1.f}), 0.5, 1e-3);     // a channel the meter does not have
  EXPECT_NEAR(send(1, 0, {1.f, 0, 0}, 3), 0.5, 1e-3);      // another message
  meter->SetDisabled(true);
  EXPECT_NEAR(send(1, 0, {1.f, 0, 0}), 0.5, 1e-3);
  meter->SetDisabled(false);
  EXPECT_EQ(send(1, 0, {1.f}), 0.0);  // a record under 20 bytes reads as silence
  meter->OnMsgFromDelegate(0, 24, nullptr);
  EXPECT_EQ(meter->GetValue(), 0.0);

  auto* linear = attach(new IBMeterControl(0, 0, rgb, -60.f, 0.f, false));
  std::vector<uint8_t> record(24, 0);
  const int32_t header[3] = {7, 1, 0};
  std::memcpy(record.data(), header, 12);
  const float v = 0.3f;
  std::memcpy(record.data() + 12, &v, 4);
  linear->OnMsgFromDelegate(0, 24, record.data());
  EXPECT_NEAR(linear->GetValue(), 0.3, 1e-6);
}

TEST_F(ImageControlsTest, TheSliderHandleTravelsTheTrackLessItselfAndFollowsThePointer) {
  const IBitmap handle = load("handle.png", frames({COLOR_RED}, 10, 4, false), 1, false);
  auto* s = attach(new IBSliderControl(0, 0, 100, handle, IBitmap(), kLevel));
  expectRect(s->GetRECT(), IRECT(0, 0, 10, 100));
  expectRect(s->GetHandleBounds(1.0), IRECT(0, 0, 10, 4));
  expectRect(s->GetHandleBounds(0.0), IRECT(0, 96, 10, 100));
  s->SetHideCursorOnDrag(false);
  mouse->press(5, 50);
  EXPECT_NEAR(s->GetValue(), 0.5, 1e-3);
  EXPECT_NEAR(s->GetHandleBounds().CentreY(), 50.f, 0.1f);
  mouse->dragTo(5, 2);
  mouse->release();
  EXPECT_NEAR(s->GetValue(), 1.0, 1e-3);

  const IBitmap track = load("track.png", frames({COLOR_BLUE}, 20, 6, false), 1, false);
  auto* h = attach(new IBSliderControl(IRECT(0, 200, 100, 220), handle, track, kNoLinkedParam, EDirection::Horizontal));
  expectRect(h->GetTrackBounds(), IRECT(40, 207, 60, 213));
  h->SetValue(1.0);
  drawOnly(*h);
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 2u);
  expectRect(drawn[0].rect, IRECT(40, 207, 60, 213));  // the track
  expectRect(drawn[1].rect, IRECT(50, 207, 60, 211));  // the handle at the right end
}

TEST_F(ImageControlsTest, KnobsShowTheFrameOfTheirValueOrTurnTheirImage) {
  const IBitmap rgb = load("rgb.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  auto* knob = attach(new IBKnobControl(0, 0, rgb));
  knob->SetValue(0.5);
  EXPECT_EQ(sourceColour(drawnBitmap(*knob)), COLOR_GREEN);

  const IBitmap one = load("one.png", frames({COLOR_GREEN}, 6, 6, false), 1, false);
  auto* rotater = attach(new IBKnobRotaterControl(IRECT(0, 0, 20, 20), one));
  for (const auto& [value, angle] : {std::pair{0.0, -130.0}, std::pair{1.0, 130.0}, std::pair{0.5, 0.0}}) {
    rotater->SetValue(value);
    const sp::test::DrawOp op = drawnBitmap(*rotater);
    EXPECT_NEAR(std::atan2(op.matrix.yx, op.matrix.xx) * 180.0 / 3.14159265358979, angle, 1e-3) << value;
    EXPECT_NEAR(op.matrix.tx, 10.0, 1e-4);
  }
}

TEST_F(ImageControlsTest, BitmapsAreLoadedAgainForANewScreenScale) {
  const IBitmap rgb = load("rgb.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  auto* c = attach(new IBitmapControl(0, 0, rgb));
  auto* text = attach(new IBTextControl(IRECT(0, 50, 100, 70), rgb, DEFAULT_TEXT, "AB", 4, 2));
  g->SetScreenScale(2.f);
  EXPECT_EQ(c->GetBitmap().GetScale(), 2.f);
  EXPECT_EQ(c->GetBitmap().N(), 3);
  EXPECT_EQ(text->GetBitmap().GetScale(), 2.f);
  c->SetValue(0.5);
  EXPECT_EQ(drawnBitmap(*c).args[1], 2);
}

TEST_F(ImageControlsTest, ABitmapTextDrawsACharacterFramePerCharacter) {
  const IBitmap font = load("font.png", frames({COLOR_RED, COLOR_GREEN, COLOR_BLUE}, 4, 2, false), 3, false);
  auto* text = attach(new IBTextControl(IRECT(0, 0, 100, 20), font, DEFAULT_TEXT, "!\"", 4, 2));
  drawOnly(*text);
  EXPECT_EQ(g->count(sp::test::DrawOp::DrawBitmap), 2);
  text->SetStr("");
  drawOnly(*text);
  EXPECT_EQ(g->count(sp::test::DrawOp::DrawBitmap), 0);
}

TEST_F(ImageControlsTest, AnEmptyBitmapDrawsNothing) {
  auto* c = attach(new IBitmapControl(0, 0, IBitmap()));
  auto* s = attach(new IBSliderControl(IRECT(0, 0, 10, 100), IBitmap(), IBitmap()));
  auto* k = attach(new IBKnobRotaterControl(IRECT(0, 0, 10, 10), IBitmap()));
  for (IControl* control : {static_cast<IControl*>(c), static_cast<IControl*>(s), static_cast<IControl*>(k)}) {
    drawOnly(*control);
    EXPECT_EQ(g->count(sp::test::DrawOp::DrawBitmap), 0);
  }
  g->SetScreenScale(2.f);
}

// ---------------------------------------------------------------------------------------
// SVG

TEST_F(ImageControlsTest, AnSVGKnobTurnsItsImageInTheSquareOfItsBounds) {
  Images images;
  auto* knob = attach(new ISVGKnobControl(IRECT(0, 0, 40, 40), images.add(topHalfRed()), kLevel));
  knob->SetValue(0.5);
  drawOnly(*knob);
  EXPECT_EQ(colourAt(*g, 20, 10), std::optional<IColor>(COLOR_RED));
  EXPECT_EQ(colourAt(*g, 20, 30), std::nullopt);
  knob->SetValue(0.8333333);
  drawOnly(*knob);
  EXPECT_EQ(colourAt(*g, 30, 20), std::optional<IColor>(COLOR_RED));
  EXPECT_EQ(colourAt(*g, 10, 20), std::nullopt);

  // Wider than high: a 40 x 40 square in the middle.
  g->SetControlBounds(knob, IRECT(100, 0, 180, 40));
  knob->SetValue(0.5);
  drawOnly(*knob);
  const std::vector<Fill> drawn = fills(*g);
  ASSERT_EQ(drawn.size(), 1u);
  expectRect(drawn[0].box, IRECT(120, 0, 160, 20));
}

TEST_F(ImageControlsTest, AnSVGToggleDrawsOneImageInTheColourOfItsStateAndHover) {
  Images images;
  const SVGColors colours = {COLOR_RED, COLOR_GREEN, COLOR_BLUE, COLOR_YELLOW};
  auto* toggle = attach(new ISVGToggleControl(IRECT(100, 100, 120, 120), kPower, images.add(square(COLOR_WHITE)),
                                              colours, EColorReplacement::Fill));
  EXPECT_FALSE(toggle->GetActionFunction());
  drawOnly(*toggle);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_RED}));
  mouse->click(110, 110);
  drawOnly(*toggle);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_YELLOW}));  // on, the pointer over it
  mouse->moveTo(300, 300);
  drawOnly(*toggle);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_GREEN}));
  mouse->click(110, 110);
  drawOnly(*toggle);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_BLUE}));

  // Two images, no colours replaced.
  auto* two = attach(new ISVGButtonControl(IRECT(0, 0, 10, 10), nullptr, images.add(square(COLOR_RED)),
                                           images.add(square(COLOR_GREEN))));
  drawOnly(*two);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_RED}));
  two->SetValue(1.0);
  drawOnly(*two);
  EXPECT_EQ(fillColours(*g), (std::vector<IColor>{COLOR_GREEN}));
}

TEST_F(ImageControlsTest, AnSVGSwitchShowsTheImageOfItsState) {
  Images images;
  auto* s = attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10),
                                         {images.add(square(COLOR_RED)), images.add(square(COLOR_GREEN)),
                                          images.add(square(COLOR_BLUE))}));
  EXPECT_EQ(s->GetNumStates(), 3);
  for (const auto& [value, colour] : {std::pair{0.0, COLOR_RED}, std::pair{0.5, COLOR_GREEN}, std::pair{1.0, COLOR_BLUE}}) {
    s->SetValue(value);
    drawOnly(*s);
    EXPECT_EQ(fillColours(*g), (std::vector<IColor>{colour})) << value;
  }
}

TEST_F(ImageControlsTest, AnSVGSliderScalesItsImagesAndStartsAtTheBottom) {
  Images images;
  // Track 10 x 100, handle 10 x 10; in a 40 x 200 control the scale is 2.
  svg::ImageBuilder trackImage(10, 100);
  NSVGshape* shape = trackImage.AddShape();
  svg::ImageBuilder::SetColor(shape->fill, svg::PackColor(0, 0, 255));
  trackImage.AddRect(shape, 0, 0, 10, 100);
  auto* s = attach(new ISVGSliderControl(IRECT(0, 0, 40, 200), images.add(square(COLOR_RED)),
                                         images.add(trackImage.Release()), kLevel));
  expectRect(s->GetTrackImageBounds(), IRECT(10, 0, 30, 200));
  expectRect(s->GetHandleBounds(1.0), IRECT(10, 0, 30, 20));
  expectRect(s->GetHandleBounds(0.0), IRECT(10, 180, 30, 200));
  expectRect(s->GetTrack(), IRECT(10, 20, 30, 200));
  s->SetValue(0.0);
  drawOnly(*s);
  const std::vector<Fill> drawn = fills(*g);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[1].color, COLOR_RED);
  expectRect(drawn[1].box, IRECT(10, 180, 30, 200));

  auto* h = attach(new ISVGSliderControl(IRECT(0, 300, 200, 340), images.add(square(COLOR_RED)),
                                         images.add(square(COLOR_BLUE, 20)), kNoLinkedParam, EDirection::Horizontal));
  expectRect(h->GetTrackImageBounds(), IRECT(0, 220, 200, 420));
  expectRect(h->GetHandleBounds(1.0), IRECT(100, 270, 200, 370));
  expectRect(h->GetHandleBounds(0.0), IRECT(0, 270, 100, 370));
}

TEST_F(ImageControlsTest, NullOrEmptySVGImagesDrawNothing) {
  Images images;
  svg::ImageBuilder empty(0, 0);
  const ISVG none;
  const ISVG sizeless = images.add(empty.Release());
  auto* knob = attach(new ISVGKnobControl(IRECT(0, 0, 40, 40), none));
  auto* button = attach(new ISVGButtonControl(IRECT(0, 0, 40, 40), nullptr, sizeless, none));
  auto* slider = attach(new ISVGSliderControl(IRECT(0, 0, 40, 200), sizeless, none));
  for (IControl* c : {static_cast<IControl*>(knob), static_cast<IControl*>(button), static_cast<IControl*>(slider)}) {
    drawOnly(*c);
    EXPECT_EQ(g->count(sp::test::DrawOp::PathFill), 0);
  }
  EXPECT_TRUE(slider->GetTrackImageBounds().IsEmpty());
  EXPECT_TRUE(slider->GetHandleBounds(0.5).IsEmpty());
  EXPECT_TRUE(slider->GetTrack().IsEmpty());
}
