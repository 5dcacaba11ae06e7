// The software GPU's worker-thread mode: command buffers run in commit order on the worker,
// completion handlers run there, waits return only after completion, a paused queue holds
// work back, and texture uploads wait for the work committed before them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "shims/apple/metal/Metal.h"
#include "shims/apple/metal/MetalTesting.h"

namespace {

using namespace mtl;

struct WorkerDevice {
  WorkerDevice() {
    mtl::testing::setDefaultExecution(Device::Execution::WorkerThread);
    device = MTLCreateSystemDefaultDevice();
    mtl::testing::setDefaultExecution(Device::Execution::Synchronous);
  }
  std::shared_ptr<Device> device;
};

TEST(WorkerThread, BuffersCompleteInCommitOrderOffTheCommittingThread) {
  WorkerDevice w;
  auto queue = w.device->newCommandQueue();
  std::vector<int> order;  // written by the worker only, read after the last wait
  std::atomic<int> offThread{0};
  const auto self = std::this_thread::get_id();
  std::vector<std::shared_ptr<CommandBuffer>> buffers;
  for (int i = 0; i < 200; ++i) {
    auto cb = queue->commandBuffer();
    cb->addCompletedHandler([&order, &offThread, self, i](CommandBuffer& done) {
      order.push_back(i);
      if (std::this_thread::get_id() != self) ++offThread;
      EXPECT_EQ(done.status(), CommandBufferStatus::Completed);
    });
    cb->commit();
    buffers.push_back(cb);
  }
  for (auto& cb : buffers) cb->waitUntilCompleted();
  buffers.back()->waitUntilCompleted();
  w.device.reset();  // joins the worker: every handler has run
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
  EXPECT_EQ(offThread.load(), 200);
}

TEST(WorkerThread, PausedQueueHoldsWorkUntilResumed) {
  WorkerDevice w;
  auto queue = w.device->newCommandQueue();
  std::atomic<bool> done{false};
  mtl::testing::pause(*w.device);
  auto cb = queue->commandBuffer();
  cb->addCompletedHandler([&](CommandBuffer&) { done = true; });
  cb->commit();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(cb->status(), CommandBufferStatus::Committed);
  mtl::testing::resume(*w.device);
  cb->waitUntilCompleted();
  EXPECT_EQ(cb->status(), CommandBufferStatus::Completed);
}

TEST(WorkerThread, UploadsWaitForCommittedWorkThatUsesTheTexture) {
  WorkerDevice w;
  auto queue = w.device->newCommandQueue();
  auto tex = w.device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(PixelFormat::RGBA8Unorm, 8, 8, false));
  for (int round = 0; round < 50; ++round) {
    // The GPU clears the texture while the CPU replaces and reads it: never at the same time.
    RenderPassDescriptor rp;
    rp.colorAttachments[0].texture = tex;
    rp.colorAttachments[0].loadAction = LoadAction::Clear;
    rp.colorAttachments[0].clearColor = {1, 1, 1, 1};
    auto cb = queue->commandBuffer();
    cb->renderCommandEncoderWithDescriptor(rp)->endEncoding();
    cb->commit();
    std::vector<uint8_t> px(8 * 8 * 4, uint8_t(round));
    tex->replaceRegion(Region::make2D(0, 0, 8, 8), 0, px.data(), 32);
    std::vector<uint8_t> back(px.size());
    tex->getBytes(back.data(), 32, Region::make2D(0, 0, 8, 8), 0);
    ASSERT_EQ(back[0], uint8_t(round));
  }
}

TEST(WorkerThread, DeviceGoesAwayWithWorkPending) {
  WorkerDevice w;
  auto queue = w.device->newCommandQueue();
  std::atomic<int> handled{0};
  mtl::testing::pause(*w.device);
  for (int i = 0; i < 5; ++i) {
    auto cb = queue->commandBuffer();
    cb->addCompletedHandler([&](CommandBuffer&) { ++handled; });
    cb->commit();
  }
  w.device.reset();  // shutting down lets the paused work drain first
  EXPECT_EQ(handled.load(), 5);
}

}  // namespace
