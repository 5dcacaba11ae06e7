// The reader short of memory: whichever allocation fails, nsvgParse gives null and says
// so; nothing escapes it and nothing is kept (the sanitizer build finds what leaks).
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdint>
#include <new>
#include <string>

#include "tests/graphics/svg/reader_fixture.h"
#include "tests/support/alloc_counter.h"

using namespace svgtest;

namespace {

// The XML parser's memory through operator new too, so that its failures are met.
void* xmlAllocate(size_t size) { return ::operator new(size, std::nothrow); }
void xmlDeallocate(void* p) { ::operator delete(p); }

}  // namespace

TEST(ReaderOutOfMemory, EveryFailingAllocationGivesNullAndAReason) {
  const pugi::allocation_function oldAllocate = pugi::get_memory_allocation_function();
  const pugi::deallocation_function oldDeallocate = pugi::get_memory_deallocation_function();
  pugi::set_memory_management_functions(xmlAllocate, xmlDeallocate);

  // Something of every part: gradients with stops and href, styles, transforms, paths
  // with arcs, basic shapes, dashes, a size from the shapes' bounds.
  const std::string text =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 20\">"
      "<defs><linearGradient id=\"a\" x2=\"0\" y2=\"1\"><stop offset=\"0\" stop-color=\"#102030\"/>"
      "<stop offset=\"0.5\" style=\"stop-color:red;stop-opacity:0.5\"/><stop offset=\"1\" stop-color=\"blue\"/>"
      "</linearGradient><radialGradient id=\"b\" href=\"#a\" r=\"40%\"/></defs>"
      "<g transform=\"translate(2 3) rotate(10)\" style=\"fill:url(#b);stroke:url(#a) green\">"
      "<path d=\"M0 0h10v5a3 4 20 1 0 -4 4q2 2 4 0t3 3c1 1 2 2 3 3s1 1 2 0z\" stroke-dasharray=\"1 2\"/>"
      "<rect x=\"1\" y=\"1\" width=\"8\" height=\"4\" rx=\"1\"/><circle cx=\"20\" cy=\"10\" r=\"5\"/>"
      "<ellipse cx=\"30\" cy=\"10\" rx=\"5\" ry=\"3\"/><line x2=\"9\" y2=\"9\" stroke=\"#abc\"/>"
      "<polygon points=\"0,0 5,5 0,5\" fill=\"url(#a)\"/><polyline points=\"1 1 2 2 3 1\"/></g></svg>";

  std::string copy = text;
  alloccount::start();
  NSVGimage* whole = nsvgParse(copy.data(), "px", 72.f);
  const long allocations = alloccount::stop();
  ASSERT_NE(whole, nullptr) << svg::LastParseError();
  nsvgDelete(whole);
  ASSERT_GT(allocations, 20);

  for (long i = 0; i < allocations; ++i) {
    copy = text;
    NSVGimage* image = nullptr;
    bool threw = false;
    alloccount::limit(i, SIZE_MAX);
    try {
      image = nsvgParse(copy.data(), "px", 72.f);
    } catch (...) {
      threw = true;
    }
    alloccount::unlimited();
    EXPECT_FALSE(threw) << "allocation " << i << " of " << allocations;
    EXPECT_EQ(image, nullptr) << "allocation " << i << " of " << allocations;
    nsvgDelete(image);
    if (!threw) {
      EXPECT_NE(svg::LastParseError().find("memory"), std::string::npos)
          << "allocation " << i << ": " << svg::LastParseError();
    }
  }

  // Memory again: the same text reads whole.
  copy = text;
  Parsed again(copy);
  EXPECT_NE(again.image, nullptr) << again.error;
  pugi::set_memory_management_functions(oldAllocate, oldDeallocate);
}
