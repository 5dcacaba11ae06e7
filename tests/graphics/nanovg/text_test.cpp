// Text of the NanoVG drawing class with Roboto: measured boxes by alignment and device
// ratio, where the ink lands, multi-line placement and termination, unknown faces, and font
// registration through the process-wide cache (shared bytes, face indexes, re-registration
// in one context, refused faces and IDs).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

#include "render/metal/MVGContext.h"
#include "tests/graphics/nanovg/nanovg_fixture.h"

namespace nanovgtest {
namespace {

void loadRoboto(ICanvas* c) { c->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"); }

IText style(ETextHAlign h, ETextVAlign v, const char* font = "Roboto-Regular") {
  IText t(14.f, COLOR_BLACK, font);
  t.align = h;
  t.valign = v;
  return t;
}

void expectRect(const IRECT& got, const IRECT& want, const std::string& where) {
  EXPECT_NEAR(got.L, want.L, 1e-3) << where;
  EXPECT_NEAR(got.T, want.T, 1e-3) << where;
  EXPECT_NEAR(got.R, want.R, 1e-3) << where;
  EXPECT_NEAR(got.B, want.B, 1e-3) << where;
}

// The box of pixels with any alpha; empty when nothing was drawn.
struct Ink {
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1;
  bool empty() const { return r < 0; }
};
Ink inkOf(const Editor& e) {
  Ink ink;
  for (int y = 0; y < e.h; ++y)
    for (int x = 0; x < e.w; ++x)
      if (e.at(x, y)[3] > 0) {
        ink.l = std::min(ink.l, x);
        ink.t = std::min(ink.t, y);
        ink.r = std::max(ink.r, x);
        ink.b = std::max(ink.b, y);
      }
  return ink;
}

int recordedCalls(ICanvas& g) {
  auto* vg = static_cast<NVGcontext*>(static_cast<ICanvasNanoVG&>(g).GetDrawContext());
  return mvg::contextOf(vg)->currentBuffers()->arrays.ncalls;
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A font collection of two faces: Roboto-Regular (face 0) and RobotoCondensed-Bold (face 1),
// each font's table offsets moved to where it now starts.
std::vector<uint8_t> makeCollection() {
  const std::vector<uint8_t> faces[2] = {readFile(sp::test::robotoRegularPath()),
                                         readFile(sp::test::robotoCondensedBoldPath())};
  auto put32 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (24 - 8 * i));
  };
  auto get32 = [](const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 | uint32_t(v[at + 3]);
  };
  std::vector<uint8_t> out(20, 0);
  std::memcpy(out.data(), "ttcf", 4);
  put32(out, 4, 0x00010000);
  put32(out, 8, 2);
  for (int f = 0; f < 2; ++f) {
    while (out.size() % 4 != 0) out.push_back(0);
    const uint32_t start = uint32_t(out.size());
    put32(out, 12 + 4 * f, start);
    out.insert(out.end(), faces[f].begin(), faces[f].end());
    const int tables = faces[f][4] << 8 | faces[f][5];
    for (int t = 0; t < tables; ++t) {
      const size_t rec = start + 12 + 16 * size_t(t) + 8;
      put32(out, rec, get32(out, rec) + start);
    }
  }
  return out;
}

// Ends the process when the guarded code does not finish: an endless loop becomes a
// failure instead of a suite time-out.
class Watchdog {
public:
  explicit Watchdog(const char* what)
      : mThread([this, what] {
          std::unique_lock<std::mutex> lock(mMutex);
          if (!mDone.wait_for(lock, std::chrono::seconds(1), [this] { return mFinished; })) {
            std::fprintf(stderr, "watchdog: %s did not end\n", what);
            std::_Exit(1);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mFinished = true;
    }
    mDone.notify_all();
    mThread.join();
  }

private:
  std::mutex mMutex;
  std::condition_variable mDone;
  bool mFinished = false;
  std::thread mThread;
};

TEST(Text, MeasuredBoxesFollowAlignmentAndTheFramesDeviceRatio) {
  struct Case {
    float ratio;
    ETextHAlign h;
    ETextVAlign v;
    IRECT box;
  };
  const Case cases[] = {
      {1.f, ETextHAlign::Left, ETextVAlign::Top, IRECT(-1, 0, 29, 14)},
      {1.f, ETextHAlign::Centre, ETextVAlign::Middle, IRECT(35, 3, 65, 17)},
      {1.f, ETextHAlign::Right, ETextVAlign::Bottom, IRECT(71, 6, 101, 20)},
      // Advances are rounded to whole device pixels at the ratio of the last frame.
      {2.f, ETextHAlign::Left, ETextVAlign::Top, IRECT(0, 0, 28, 14)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("ratio " + std::to_string(c.ratio) + " align " + std::to_string(int(c.h)) + "/" +
                 std::to_string(int(c.v)));
    Editor e(100, 20, 1.f, c.ratio, loadRoboto);
    e.draw([](ICanvas&) {});
    IRECT r(0, 0, 100, 20);
    const float width = e.g->MeasureText(style(c.h, c.v), "Hello", r);
    expectRect(r, c.box, "box");
    EXPECT_NEAR(width, c.box.Width(), 1e-3);
  }
}

TEST(Text, InkLandsInsideTheMeasuredBox) {
  Editor e(200, 60, 1.f, 1.f, loadRoboto);
  const IRECT bounds(20, 10, 180, 50);
  for (const IText& t : {style(ETextHAlign::Left, ETextVAlign::Top), style(ETextHAlign::Centre, ETextVAlign::Middle),
                         style(ETextHAlign::Right, ETextVAlign::Bottom)}) {
    SCOPED_TRACE("align " + std::to_string(int(t.align)));
    e.draw([&](ICanvas& g) { g.DrawText(t, "Hello", bounds); });
    IRECT box = bounds;
    e.g->MeasureText(t, "Hello", box);
    const Ink ink = inkOf(e);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.l, int(std::floor(box.L)));
    EXPECT_LE(ink.r, int(std::ceil(box.R)));
    EXPECT_GE(ink.t, int(std::floor(box.T)));
    EXPECT_LE(ink.b, int(std::ceil(box.B)));
    EXPECT_GT(ink.r - ink.l, 24) << "the word's ink spans most of the box";
  }
  e.save("nanovg-text-right-bottom");
}

TEST(Text, RotatedTextIsPlacedByItsRotatedBox) {
  Editor e(100, 100, 1.f, 1.f, loadRoboto);
  IText t = style(ETextHAlign::Left, ETextVAlign::Top);
  t.angle = 90.f;
  e.draw([&](ICanvas& g) { g.DrawText(t, "Hello", IRECT(20, 20, 90, 90)); });
  e.save("nanovg-text-rotated");
  const Ink ink = inkOf(e);
  ASSERT_FALSE(ink.empty());
  EXPECT_GT(ink.b - ink.t, 24) << "runs downwards";
  EXPECT_LT(ink.r - ink.l, 14);
  EXPECT_GE(ink.l, 19);
  EXPECT_GE(ink.t, 19);
  EXPECT_LE(ink.b, 52);
}

TEST(Text, AnUnknownFaceMeasuresNothingAndDrawsNothing) {
  Editor e(100, 20, 1.f, 1.f, loadRoboto);
  int before = -1, after = -1;
  float width = -1.f;
  IRECT box(0, 0, 100, 20);
  e.draw([&](ICanvas& g) {
    before = recordedCalls(g);
    g.DrawText(style(ETextHAlign::Left, ETextVAlign::Top, "NoSuchFont"), "Hello", IRECT(0, 0, 100, 20));
    g.DrawMultiLineText(style(ETextHAlign::Left, ETextVAlign::Top, "NoSuchFont"), "Hello\nWorld", IRECT(0, 0, 100, 20));
    after = recordedCalls(g);
    width = g.MeasureText(style(ETextHAlign::Centre, ETextVAlign::Middle, "NoSuchFont"), "Hello", box);
  });
  EXPECT_EQ(after, before) << "no triangles recorded";
  EXPECT_EQ(width, 0.f);
  expectRect(box, IRECT(50, 10, 50, 10), "a box of no size at the anchor");
  EXPECT_TRUE(inkOf(e).empty());
}

TEST(Text, AdvancesStepOverSpacesThatHaveNoInk) {
  Editor e(100, 20, 1.f, 1.f, loadRoboto);
  const IText t = style(ETextHAlign::Left, ETextVAlign::Top);
  float space = 0.f, a = 0.f, aSpaceA = 0.f, spaceInk = 0.f, unknown = -1.f;
  e.draw([&](ICanvas& g) {
    space = g.MeasureTextAdvance(t, " ");
    a = g.MeasureTextAdvance(t, "a");
    aSpaceA = g.MeasureTextAdvance(t, "a a");
    IRECT box;
    spaceInk = g.MeasureText(t, " ", box);
    unknown = g.MeasureTextAdvance(style(ETextHAlign::Left, ETextVAlign::Top, "NoSuchFont"), "a a");
  });
  EXPECT_GT(space, 2.f) << "a space at 14 advances by about a quarter em";
  EXPECT_LT(spaceInk, space) << "its ink box is narrower than its advance";
  EXPECT_NEAR(aSpaceA, 2 * a + space, 1.f) << "advances add up along the string";
  EXPECT_EQ(unknown, 0.f);
}

TEST(MultiLineText, BottomAlignmentPutsTheFirstRowThreeLinesAboveTheBottom) {
  Editor e(100, 100, 1.f, 1.f, loadRoboto);
  e.draw([](ICanvas& g) {
    g.DrawMultiLineText(style(ETextHAlign::Left, ETextVAlign::Bottom), "A\nB\nC", IRECT(0, 0, 100, 100));
  });
  e.save("nanovg-multiline-bottom");
  // Rows of 14 with their bottoms at 58, 72 and 86 (B - 42 + k x 14); capitals sit between
  // the baseline (about 3 above the row's bottom) and the cap height (about 8.5 above it).
  const Ink ink = inkOf(e);
  ASSERT_FALSE(ink.empty());
  EXPECT_GE(ink.t, 44);
  EXPECT_LE(ink.t, 48);
  EXPECT_GE(ink.b, 80);
  EXPECT_LE(ink.b, 84);
}

TEST(MultiLineText, EveryTextEndsWithItsRows) {
  struct Case {
    const char* text;
    int lastRowBottom;  // bottom-aligned in (0, 0, 100, 100): 100 - rows x 14 + rows x 14 ...
  };
  Editor e(100, 100, 1.f, 1.f, loadRoboto);
  const char* texts[] = {"a\nb\nc\n", "\n\n\n", "", "Supercalifragilisticexpialidocious", "x\n\n\n\n\n\n\n"};
  for (const char* text : texts) {
    SCOPED_TRACE(std::string("text \"") + text + "\"");
    e.draw([&](ICanvas& g) {
      Watchdog guard("DrawMultiLineText");
      g.DrawMultiLineText(style(ETextHAlign::Left, ETextVAlign::Top), text, IRECT(0, 0, 20, 100));
    });
  }
  // "a\nb\nc\n" is three rows: bottom-aligned, the last row ends at the bottom.
  e.draw([](ICanvas& g) {
    Watchdog guard("DrawMultiLineText");
    g.DrawMultiLineText(style(ETextHAlign::Left, ETextVAlign::Bottom), "H\nH\nH\n", IRECT(0, 0, 100, 100));
  });
  const Ink ink = inkOf(e);
  ASSERT_FALSE(ink.empty());
  EXPECT_GE(ink.t, 44);
  EXPECT_LE(ink.b, 86);
  EXPECT_GE(ink.b, 80);
  // A word wider than the box is broken inside it and drawn in full.
  e.draw([](ICanvas& g) {
    Watchdog guard("DrawMultiLineText");
    g.DrawMultiLineText(style(ETextHAlign::Left, ETextVAlign::Top), "Supercalifragilistic", IRECT(0, 0, 30, 100));
  });
  EXPECT_GT(inkOf(e).b, 28) << "several rows";
}

class FontRegistration : public ::testing::Test {
protected:
  void TearDown() override { EXPECT_EQ(ICanvasNanoVG::sFontCache.Size(), 0) << "emptied with the last drawing object"; }
};

TEST_F(FontRegistration, TwoEditorsShareOneCopyOfTheBytesAndKeepTheFaceIndex) {
  std::vector<uint8_t> collection = makeCollection();
  auto layout = [&](ICanvas* c) {
    static_cast<NanoVGTestCanvas*>(c)->fontFaceIndex = 1;
    EXPECT_TRUE(c->LoadFont("Collection", collection.data(), int(collection.size())));
    static_cast<NanoVGTestCanvas*>(c)->fontFaceIndex = 0;
    c->LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
    c->LoadFont("Condensed", "RobotoCondensed-Bold.ttf");
  };
  Editor first(200, 40, 1.f, 1.f, layout);
  ASSERT_EQ(ICanvasNanoVG::sFontCache.Size(), 3);
  const IFontData* data = ICanvasNanoVG::sFontCache.Find("Collection", 1.0);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetFaceIdx(), 1);
  const uint8_t* bytes = data->Get();

  Editor second(200, 40, 1.f, 1.f, layout);
  EXPECT_EQ(ICanvasNanoVG::sFontCache.Size(), 3);
  EXPECT_EQ(ICanvasNanoVG::sFontCache.Find("Collection", 1.0)->Get(), bytes);

  // Both draw face 1, the condensed bold face, not face 0.
  auto widthIn = [](Editor& e, const char* font) {
    e.draw([](ICanvas&) {});
    IRECT r(0, 0, 200, 40);
    return e.g->MeasureText(style(ETextHAlign::Left, ETextVAlign::Top, font), "Balance control", r);
  };
  const float regular = widthIn(first, "Roboto-Regular"), condensed = widthIn(first, "Condensed");
  ASSERT_NE(regular, condensed);
  EXPECT_EQ(widthIn(first, "Collection"), condensed);
  EXPECT_EQ(widthIn(second, "Collection"), condensed);
}

TEST_F(FontRegistration, ARebuiltPanelRegistersItsFontsOnlyOnce) {
  Editor e(100, 20, 1.f, 1.f, loadRoboto);
  NVGcontext* vg = e.vg();
  // A rebuild (accent or track colour changed) runs the layout again in the same context.
  EXPECT_TRUE(e.g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  EXPECT_TRUE(e.g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  EXPECT_TRUE(e.g->LoadFont("Probe", "RobotoCondensed-Bold.ttf"));
  EXPECT_EQ(nvgFindFont(vg, "Roboto-Regular"), 0);
  EXPECT_EQ(nvgFindFont(vg, "Probe"), 1) << "the same id as after one layout";
}

TEST_F(FontRegistration, AFaceTheFileLacksIsRefusedAndNothingIsCached) {
  Editor e(100, 20, 1.f, 1.f);
  e.g->fontFaceIndex = 1;  // Roboto-Regular.ttf holds one face
  EXPECT_FALSE(e.g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  EXPECT_EQ(ICanvasNanoVG::sFontCache.Size(), 0);
  EXPECT_TRUE(e.g->cachedFonts.empty()) << "the platform is told only of fonts the backend took";
  e.g->fontFaceIndex = -1;
  EXPECT_FALSE(e.g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  e.g->fontFaceIndex = 0;
  EXPECT_TRUE(e.g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  EXPECT_EQ(e.g->cachedFonts, std::vector<std::string>{"Roboto-Regular"});
}

// Roboto with one fault each, as a damaged or swapped font file would bring them.
std::vector<uint8_t> robotoBytes() {
  std::ifstream in(sp::test::robotoRegularPath(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
uint32_t be(const std::vector<uint8_t>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | b[at + i];
  return v;
}
void setBe(std::vector<uint8_t>& b, size_t at, int n, uint32_t v) {
  for (int i = n - 1; i >= 0; --i, v >>= 8) b[at + i] = static_cast<uint8_t>(v);
}
// The directory record of the tag (Roboto is a single font: records from byte 12).
size_t record(const std::vector<uint8_t>& b, const char* tag) {
  for (size_t r = 12; r + 16 <= 12 + 16 * be(b, 4, 2); r += 16)
    if (std::memcmp(&b[r], tag, 4) == 0) return r;
  ADD_FAILURE() << "Roboto has no " << tag;
  return 12;
}
size_t table(const std::vector<uint8_t>& b, const char* tag) { return be(b, record(b, tag) + 8, 4); }

TEST_F(FontRegistration, DamagedFontsAreRefusedBeforeNanoVGReadsThem) {
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  const struct {
    const char* name;
    Damage damage;
  } cases[] = {
      {"14 bytes", [](auto& b) { b.resize(14); }},
      {"cut in half", [](auto& b) { b.resize(b.size() / 2); }},
      {"table directory longer than the file", [](auto& b) { setBe(b, 4, 2, 0xFFF0); }},
      {"hmtx placed past the end", [](auto& b) { setBe(b, record(b, "hmtx") + 8, 4, uint32_t(b.size()) + 64); }},
      {"hmtx shorter than the glyph count", [](auto& b) { setBe(b, record(b, "hmtx") + 12, 4, 8); }},
      {"no long horizontal metrics", [](auto& b) { setBe(b, table(b, "hhea") + 34, 2, 0); }},
      {"character maps placed past the end",
       [](auto& b) {
         const size_t cmap = table(b, "cmap");
         for (uint32_t i = 0; i < be(b, cmap + 2, 2); ++i) setBe(b, cmap + 8 + 8 * i, 4, 0x7FFFFF00);
       }},
      {"character map counts damaged",
       [](auto& b) {
         const size_t cmap = table(b, "cmap");
         for (uint32_t i = 0; i < be(b, cmap + 2, 2); ++i) {
           const size_t sub = cmap + be(b, cmap + 8 + 8 * i, 4);
           if (be(b, sub, 2) == 4) setBe(b, sub + 12, 2, 0x7FFE);     // search numbers
           if (be(b, sub, 2) == 12) setBe(b, sub + 12, 4, 0xFFFFFF);  // groups
         }
       }},
      {"ascender equal to descender",
       [](auto& b) {
         setBe(b, table(b, "hhea") + 4, 2, 0);
         setBe(b, table(b, "hhea") + 6, 2, 0);
       }},
      {"advance out of proportion", [](auto& b) { setBe(b, table(b, "hmtx") + 4, 2, 0x7FFF); }},
      {"unknown glyph location format", [](auto& b) { setBe(b, table(b, "head") + 50, 2, 7); }},
      {"glyph outlines cut short", [](auto& b) { setBe(b, record(b, "glyf") + 12, 4, 16); }},
      {"outlines only in CFF", [](auto& b) { std::memcpy(&b[record(b, "glyf")], "CFF ", 4); }},
      {"GPOS cut short", [](auto& b) { setBe(b, record(b, "GPOS") + 12, 4, 12); }},
      {"composite glyph made of itself",
       [](auto& b) {
         const bool longLoca = be(b, table(b, "head") + 50, 2) == 1;
         const size_t loca = table(b, "loca"), glyf = table(b, "glyf");
         for (uint32_t g = 0; g < be(b, table(b, "maxp") + 4, 2); ++g) {
           const size_t at = glyf + (longLoca ? be(b, loca + 4 * g, 4) : 2 * be(b, loca + 2 * g, 2));
           if (int16_t(be(b, at, 2)) < 0) {
             setBe(b, at + 12, 2, g);  // the first component's glyph
             return;
           }
         }
         ADD_FAILURE() << "Roboto has no composite glyph";
       }},
  };
  Editor e(120, 40, 1.f, 1.f, loadRoboto);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = robotoBytes();
    c.damage(bytes);
    EXPECT_FALSE(e.g->LoadFont("Damaged", bytes.data(), int(bytes.size())));
    EXPECT_EQ(ICanvasNanoVG::sFontCache.Find("Damaged", 1.0), nullptr);
    EXPECT_EQ(nvgFindFont(e.vg(), "Damaged"), -1);
  }
  EXPECT_EQ(e.g->cachedFonts, std::vector<std::string>{"Roboto-Regular"}) << "the platform hears of none of them";
  // The editor still draws with its sound font.
  e.draw([](ICanvas& g) { g.DrawText(style(ETextHAlign::Left, ETextVAlign::Top), "Tone", IRECT(0, 0, 120, 40)); });
  EXPECT_FALSE(inkOf(e).empty());
}

TEST_F(FontRegistration, IDsTheFontStashWouldCutAreRefused) {
  Editor e(100, 20, 1.f, 1.f);
  const std::string longest(63, 'f'), tooLong(64, 'f');
  EXPECT_FALSE(e.g->LoadFont(tooLong.c_str(), "Roboto-Regular.ttf"));
  EXPECT_FALSE(e.g->LoadFont("", "Roboto-Regular.ttf"));
  ASSERT_TRUE(e.g->LoadFont(longest.c_str(), "Roboto-Regular.ttf"));
  e.draw([](ICanvas&) {});
  IRECT r(0, 0, 100, 20);
  EXPECT_GT(e.g->MeasureText(style(ETextHAlign::Left, ETextVAlign::Top, longest.c_str()), "Hello", r), 0.f)
      << "found again by its full name";
}

TEST_F(FontRegistration, KeysDoNotFollowTheNumericLocale) {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no comma locale installed";
  {
    Editor first(100, 20, 1.f, 1.f, loadRoboto);
    Editor second(100, 20, 1.f, 1.f, loadRoboto);
    EXPECT_EQ(ICanvasNanoVG::sFontCache.Size(), 1);
    EXPECT_NE(ICanvasNanoVG::sFontCache.Find("Roboto-Regular", 1.0), nullptr);
  }
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
}  // namespace nanovgtest
