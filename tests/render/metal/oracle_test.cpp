// The Metal back end against NanoVG's own GL back end on Mesa's software renderer: every
// gallery scene drawn by both, channel difference at most 2 away from edges (where the
// reference changes by more than a few steps within two pixels).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/render/gl_oracle.h"
#include "tests/support/render/metal_target.h"
#include "tools/gallery/scenes.h"

namespace sp::test {
namespace {

constexpr int kW = 640, kH = 400;

struct Difference {
  int max = 0;
  int x = -1, y = -1;
  long compared = 0;
};

// Compares pixels whose 5 x 5 neighbourhood in the reference stays within `flat` per channel.
Difference compareAwayFromEdges(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& ref, int w, int h, int flat = 12) {
  Difference d;
  for (int y = 2; y < h - 2; ++y)
    for (int x = 2; x < w - 2; ++x) {
      const Rgba r = pixelAt(ref, w, x, y);
      bool edge = false;
      for (int dy = -2; dy <= 2 && !edge; ++dy)
        for (int dx = -2; dx <= 2 && !edge; ++dx) {
          const Rgba n = pixelAt(ref, w, x + dx, y + dy);
          for (int c = 0; c < 4; ++c)
            if (std::abs(n[c] - r[c]) > flat) edge = true;
        }
      if (edge) continue;
      ++d.compared;
      const Rgba o = pixelAt(ours, w, x, y);
      for (int c = 0; c < 4; ++c)
        if (std::abs(o[c] - r[c]) > d.max) {
          d.max = std::abs(o[c] - r[c]);
          d.x = x;
          d.y = y;
        }
    }
  return d;
}

class OracleTest : public ::testing::TestWithParam<gallery::Scene> {};

TEST_P(OracleTest, SceneMatchesTheGlBackEndAwayFromEdges) {
  const gallery::Scene& scene = GetParam();
  std::string error;
  auto gl = GlOracle::create(kW, kH, NVG_ANTIALIAS | NVG_STENCIL_STROKES, &error);
  ASSERT_TRUE(gl) << error;
  gallery::Assets glAssets;
  ASSERT_TRUE(gallery::loadAssets(gl->vg(), glAssets, &error)) << error;
  gl->clear(0.1f, 0.1f, 0.12f, 1.f);
  nvgBeginFrame(gl->vg(), kW, kH, 1.f);
  scene.draw(gl->vg(), kW, kH, glAssets);
  nvgEndFrame(gl->vg());
  const std::vector<uint8_t> ref = gl->readPixels();

  MetalTarget mt(kW, kH);
  ASSERT_TRUE(mt.vg());
  gallery::Assets assets;
  ASSERT_TRUE(gallery::loadAssets(mt.vg(), assets, &error)) << error;
  mt.begin(1.f, nvgRGBAf(0.1f, 0.1f, 0.12f, 1.f));
  scene.draw(mt.vg(), kW, kH, assets);
  const std::vector<uint8_t>& ours = mt.end();

  const Difference d = compareAwayFromEdges(ours, ref, kW, kH);
  savePng(std::string("oracle-") + scene.name + "-metal", kW, kH, ours);
  savePng(std::string("oracle-") + scene.name + "-gl", kW, kH, ref);
  EXPECT_GT(d.compared, kW * kH / 8);
  EXPECT_LE(d.max, 2) << scene.name << ": worst at (" << d.x << ", " << d.y << ")";
}

std::string sceneName(const ::testing::TestParamInfo<gallery::Scene>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Scenes, OracleTest, ::testing::ValuesIn(gallery::scenes()), sceneName);

}  // namespace
}  // namespace sp::test
