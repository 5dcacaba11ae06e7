// SVG images loaded short of memory: the load gives no image, throws nothing and caches
// nothing, so that a logo which cannot be read costs the logo only (its user draws what
// stands in for it), never the editor; with memory again the same image loads.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "tests/graphics/fake_delegate.h"
#include "tests/support/alloc_counter.h"

using namespace gfxtest;

namespace {

bool cached(const char* name) {
  const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
  return ICanvas::sSVGCache.Find(name, 1.0) != nullptr;
}

void uncache(const char* name) {
  const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
  if (SVGHolder* holder = ICanvas::sSVGCache.Find(name, 1.0)) ICanvas::sSVGCache.Remove(holder);
}

// A logo of n gradient stops, every one of them on each of n shapes.
std::string manyStopsOnManyShapes(int n) {
  std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"90\" height=\"18\"><linearGradient id=\"g\">";
  for (int i = 0; i < n; ++i)
    text += "<stop offset=\"" + std::to_string(static_cast<double>(i) / n) + "\" stop-color=\"#2080f0\"/>";
  text += "</linearGradient>";
  for (int i = 0; i < n; ++i) text += "<rect x=\"1\" width=\"80\" height=\"16\" fill=\"url(#g)\"/>";
  return text + "</svg>";
}

// The load, with the calling thread's allocations limited as asked; whether it threw.
ISVG loadLimited(ICanvas& g, const char* name, const std::string& text, long allocations, size_t bytes,
                 bool& threw) {
  ISVG svg;
  threw = false;
  alloccount::limit(allocations, bytes);
  try {
    svg = g.LoadSVG(name, static_cast<const void*>(text.data()), static_cast<int>(text.size()));
  } catch (...) {
    threw = true;
  }
  alloccount::unlimited();
  return svg;
}

}  // namespace

TEST_F(EditorTest, AnSvgImageLoadsOrNotButNeverThrowsShortOfMemory) {
  const std::string text =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"10\"><linearGradient id=\"g\">"
      "<stop stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/></linearGradient>"
      "<rect width=\"40\" height=\"10\" rx=\"2\" fill=\"url(#g)\"/><path d=\"M1 1h5v5z\" stroke=\"#fff\"/></svg>";
  alloccount::start();
  ASSERT_TRUE(g->LoadSVG("count.svg", static_cast<const void*>(text.data()), 0).IsValid());
  const long allocations = alloccount::stop();
  uncache("count.svg");

  for (long i = 0; i < allocations; ++i) {
    bool threw = false;
    const ISVG svg = loadLimited(*g, "logo.svg", text, i, SIZE_MAX, threw);
    EXPECT_FALSE(threw) << "allocation " << i << " of " << allocations;
    // The last allocations of the first load may be there already (the cache's room).
    EXPECT_EQ(svg.IsValid(), cached("logo.svg")) << "allocation " << i << " of " << allocations;
    if (i < allocations / 2) {
      EXPECT_FALSE(svg.IsValid()) << "allocation " << i << " of " << allocations;
    }
    uncache("logo.svg");
  }
  EXPECT_TRUE(g->LoadSVG("logo.svg", static_cast<const void*>(text.data()), 0).IsValid());
  uncache("logo.svg");
}

TEST_F(EditorTest, ALogoOfManyStopsOnManyShapesLoadsInLittleMemory) {
  // 8,000 stops on each of 8,000 shapes, about 700 KB: half a gigabyte if every shape
  // copied every stop; a few megabytes when each keeps what drawing reads.
  const std::string text = manyStopsOnManyShapes(8000);
  bool threw = false;
  const ISVG svg = loadLimited(*g, "logo.svg", text, LONG_MAX, size_t{64} << 20, threw);
  EXPECT_FALSE(threw);
  ASSERT_TRUE(svg.IsValid());
  EXPECT_EQ(svg.W(), 90.f);
  uncache("logo.svg");
}
