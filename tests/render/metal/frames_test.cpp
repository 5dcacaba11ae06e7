// Frames and their buffer sets: cancelled and failed flushes give their set back, frames in
// flight block the next frame until the GPU completes one, read-backs wait for the frame that
// drew the image, and deletion waits for frames in flight. Also creation failures and bad
// geometry. Several tests run the GPU on its worker thread (ThreadSanitizer suite).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "render/metal/MVGContext.h"
#include "shims/apple/metal/MetalTesting.h"
#include "tests/support/render/metal_target.h"
#include "tools/gallery/scenes.h"

namespace sp::test {
namespace {

using namespace std::chrono_literals;

// Devices made while this lives run their command buffers on a worker thread.
struct WorkerGpu {
  WorkerGpu() { mtl::testing::setDefaultExecution(mtl::Device::Execution::WorkerThread); }
  ~WorkerGpu() { mtl::testing::setDefaultExecution(mtl::Device::Execution::Synchronous); }
};

void fillRect(NVGcontext* vg, float x, float y, float w, float h, NVGcolor c) {
  nvgBeginPath(vg);
  nvgRect(vg, x, y, w, h);
  nvgFillColor(vg, c);
  nvgFill(vg);
}

int freeSets(mvg::MVGContext& c) {
  int n = 0;
  for (auto& b : c.bufferSets()) {
    std::lock_guard lock(b->mutex);
    n += !b->isBusy;
  }
  return n;
}

TEST(Frames, CancelledAndTargetlessFramesGiveTheirBuffersBack) {
  MetalTarget t(64, 64);
  mvg::MVGContext& c = *mvg::contextOf(t.vg());
  ASSERT_EQ(c.maxBuffers(), 3);
  // A zero-width viewport cancels at flush.
  for (int i = 0; i < 4; ++i) {
    mvgBindFramebuffer(t.framebuffer());
    nvgBeginFrame(t.vg(), 0, 64, 1.f);
    fillRect(t.vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
    nvgEndFrame(t.vg());
  }
  EXPECT_EQ(freeSets(c), 3);
  // The window with a drawable size of 0 has no drawable to draw into.
  mvgBindFramebuffer(nullptr);
  t.layer().setDrawableSize({0, 0});
  for (int i = 0; i < 4; ++i) {
    nvgBeginFrame(t.vg(), 64, 64, 1.f);
    fillRect(t.vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
    nvgEndFrame(t.vg());
  }
  EXPECT_EQ(freeSets(c), 3);
  EXPECT_FALSE(t.layer().frontTexture());
  t.layer().setDrawableSize({64, 64});
  nvgBeginFrame(t.vg(), 64, 64, 1.f);
  fillRect(t.vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
  nvgEndFrame(t.vg());
  ASSERT_TRUE(t.layer().frontTexture());
  // Frames begun and never ended, cancelled twice, or ended without a beginning.
  nvgBeginFrame(t.vg(), 64, 64, 1.f);
  nvgBeginFrame(t.vg(), 64, 64, 1.f);
  nvgCancelFrame(t.vg());
  nvgCancelFrame(t.vg());
  nvgEndFrame(t.vg());
  EXPECT_EQ(freeSets(c), 3);
  for (int i = 0; i < 5; ++i) {
    t.begin();
    t.end();  // nothing to draw
  }
  EXPECT_EQ(freeSets(c), 3);
}

TEST(Frames, FourthFrameWaitsUntilTheGpuCompletesOne) {
  WorkerGpu worker;
  MetalTarget t(64, 64);
  auto device = mvgDevice(t.vg());
  mtl::testing::pause(*device);
  for (int i = 0; i < 3; ++i) {
    t.begin();
    fillRect(t.vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
    nvgEndFrame(t.vg());
  }
  std::atomic<bool> begun{false};
  std::thread fourth([&] {
    nvgBeginFrame(t.vg(), 64, 64, 1.f);
    begun = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(begun.load());
  mtl::testing::resume(*device);
  fourth.join();
  EXPECT_TRUE(begun.load());
  nvgCancelFrame(t.vg());
}

TEST(Frames, ReadBackRightAfterTheFrameSeesIt) {
  WorkerGpu worker;
  MetalTarget t(64, 64);
  for (int i = 0; i < 20; ++i) {
    t.begin(1.f, nvgRGBA(0, 0, 0, 255));
    fillRect(t.vg(), 0, 0, 64, 64, nvgRGBA(uint8_t(i * 10), 0, 0, 255));
    t.end();
    ASSERT_EQ(t.at(30, 30)[0], i * 10) << "frame " << i;
  }
}

TEST(Frames, WorkerThreadDrawsTheSamePixelsAsTheSynchronousGpu) {
  std::vector<uint8_t> reference;
  for (bool threaded : {false, true}) {
    if (threaded) mtl::testing::setDefaultExecution(mtl::Device::Execution::WorkerThread);
    MetalTarget t(640, 400);
    mtl::testing::setDefaultExecution(mtl::Device::Execution::Synchronous);
    gallery::Assets assets;
    std::string error;
    ASSERT_TRUE(gallery::loadAssets(t.vg(), assets, &error)) << error;
    for (int frame = 0; frame < 6; ++frame) {
      mvgBindFramebuffer(t.framebuffer());
      nvgBeginFrame(t.vg(), 640, 400, 1.f);
      gallery::drawBusy(t.vg(), 640, 400, assets);
      nvgEndFrame(t.vg());  // frames overlap on the worker; the font atlas is updated meanwhile
    }
    t.begin();
    gallery::drawBusy(t.vg(), 640, 400, assets);
    t.end();
    if (!threaded)
      reference = t.pixels();
    else
      EXPECT_TRUE(t.pixels() == reference);
  }
}

TEST(Deletion, ContextWithFramesInFlightWaitsForThem) {
  WorkerGpu worker;
  auto t = std::make_unique<MetalTarget>(64, 64);
  auto device = mvgDevice(t->vg());
  mtl::testing::pause(*device);
  for (int i = 0; i < 2; ++i) {
    t->begin();
    fillRect(t->vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
    nvgEndFrame(t->vg());
  }
  t->begin();  // and a third still recording
  fillRect(t->vg(), 0, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
  std::atomic<bool> deleted{false};
  std::thread deleter([&] {
    t.reset();
    deleted = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(deleted.load());
  mtl::testing::resume(*device);
  deleter.join();
  EXPECT_TRUE(deleted.load());
}

TEST(Deletion, ImageSampledByAFrameInFlight) {
  WorkerGpu worker;
  MetalTarget t(64, 64);
  const unsigned char green[4] = {0, 255, 0, 255};
  const int image = nvgCreateImageRGBA(t.vg(), 1, 1, 0, green);
  ASSERT_NE(image, 0);
  auto device = mvgDevice(t.vg());
  mtl::testing::pause(*device);
  mvgBindFramebuffer(t.framebuffer());
  nvgBeginFrame(t.vg(), 64, 64, 1.f);
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 64, 64);
  nvgFillPaint(t.vg(), nvgImagePattern(t.vg(), 0, 0, 64, 64, 0, image, 1.f));
  nvgFill(t.vg());
  nvgEndFrame(t.vg());
  nvgDeleteImage(t.vg(), image);
  mtl::testing::resume(*device);
  std::vector<uint8_t> px(4);
  mvgReadPixels(t.vg(), t.framebuffer()->image, 10, 10, 1, 1, px.data());
  EXPECT_EQ(px[1], 255);
}

TEST(Creation, RejectedShaderLibraryGivesNoContext) {
  mtl::testing::setRejectLibraries(true);
  mtl::MetalLayer layer;
  layer.setDrawableSize({16, 16});
  NVGcontext* vg = nvgCreateMTL(&layer, NVG_ANTIALIAS | NVG_DEBUG);
  mtl::testing::setRejectLibraries(false);
  EXPECT_FALSE(vg);
  EXPECT_FALSE(nvgCreateMTL(nullptr, 0));
  vg = nvgCreateMTL(&layer, NVG_ANTIALIAS | NVG_DOUBLE_BUFFER);
  ASSERT_TRUE(vg);
  EXPECT_EQ(mvg::contextOf(vg)->maxBuffers(), 2);
  nvgDeleteMTL(vg);
}

TEST(BadInput, NonFiniteAndHugeGeometryDrawsNothingAndReturns) {
  MetalTarget t(64, 64);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  t.begin();
  fillRect(t.vg(), nan, 0, 10, 10, nvgRGBA(255, 0, 0, 255));
  fillRect(t.vg(), 0, 0, inf, 10, nvgRGBA(255, 0, 0, 255));
  fillRect(t.vg(), -1e30f, -1e30f, 2e30f, 2e30f, nvgRGBA(255, 0, 0, 255));
  nvgBeginPath(t.vg());
  nvgMoveTo(t.vg(), 0, 0);
  nvgLineTo(t.vg(), nan, 30);
  nvgLineTo(t.vg(), 40, 1e30f);
  nvgStrokeWidth(t.vg(), 1e20f);
  nvgStroke(t.vg());
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 10, 10);
  nvgFillPaint(t.vg(), nvgLinearGradient(t.vg(), 0, 0, 0, 0, nvgRGBA(0, 0, 0, 255), nvgRGBA(255, 255, 255, 255)));
  nvgFill(t.vg());
  t.end();
  for (int y = 20; y < 64; ++y)
    for (int x = 20; x < 64; ++x) ASSERT_EQ(t.at(x, y)[3], 0) << x << ", " << y;
  // A frame far larger than the target, and a NaN one.
  mvgBindFramebuffer(t.framebuffer());
  nvgBeginFrame(t.vg(), 1e9f, 1e9f, 4.f);
  fillRect(t.vg(), 0, 0, 1e9f, 1e9f, nvgRGBA(0, 255, 0, 255));
  nvgEndFrame(t.vg());
  nvgBeginFrame(t.vg(), nan, 64, 1.f);
  fillRect(t.vg(), 0, 0, 10, 10, nvgRGBA(0, 255, 0, 255));
  nvgEndFrame(t.vg());
  // Images of no size, unknown images.
  EXPECT_EQ(nvgCreateImageRGBA(t.vg(), 0, 0, 0, nullptr), 0);
  nvgUpdateImage(t.vg(), 4242, nullptr);
  int w = 1, h = 1;
  nvgImageSize(t.vg(), 4242, &w, &h);
  EXPECT_EQ(w, 0);
  nvgDeleteImage(t.vg(), 4242);
  EXPECT_EQ(freeSets(*mvg::contextOf(t.vg())), 3);
}

}  // namespace
}  // namespace sp::test
