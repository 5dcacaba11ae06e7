// The image builder the reader fills images through: paths land on their own shape, in
// the order they were added, also when shapes are filled by turns.
#include <gtest/gtest.h>

#include "graphics/svg/svg_builder.h"
#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

TEST(ImageBuilder, PathsStayWithTheirShapeInOrder) {
  svg::ImageBuilder b(10, 10);
  NSVGshape* first = b.AddShape();
  NSVGshape* second = b.AddShape();
  const float xy[8] = {0, 0, 1, 1, 2, 2, 3, 3};
  b.AddPath(first, xy, 4, false);
  b.AddPath(second, xy, 4, false);
  b.AddPath(second, xy, 4, true);
  b.AddPath(first, xy, 4, true);
  b.AddPath(first, {{5, 6}}, false);
  NSVGimage* image = b.Release();
  const auto a = paths(image->shapes), c = paths(image->shapes->next);
  ASSERT_EQ(a.size(), 3u);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(a[0]->closed, 0);
  EXPECT_EQ(a[1]->closed, 1);
  EXPECT_EQ(a[2]->npts, 1);
  EXPECT_FLOAT_EQ(a[2]->bounds[0], 5);
  EXPECT_FLOAT_EQ(a[2]->bounds[3], 6);
  EXPECT_EQ(c[0]->closed, 0);
  EXPECT_EQ(c[1]->closed, 1);
  EXPECT_FLOAT_EQ(c[1]->bounds[2], 3);
  nsvgDelete(image);
}
