// The stand-in's objects: device, resources, command buffers and encoders, the executor and
// the layer. Rasterisation is in Raster.cpp, the shader functions in Shaders.cpp.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "shims/apple/metal/Gpu.h"
#include "shims/apple/metal/MetalTesting.h"

namespace mtl {
namespace {

constexpr size_t kMaxTextureSide = 16384;

std::atomic<Device::Execution> gDefaultExecution{Device::Execution::Synchronous};
std::atomic<bool> gRejectLibraries{false};

size_t formatBytes(PixelFormat f) {
  switch (f) {
    case PixelFormat::R8Unorm:
    case PixelFormat::Stencil8: return 1;
    case PixelFormat::RGBA8Unorm:
    case PixelFormat::BGRA8Unorm: return 4;
    default: return 0;
  }
}

template <class T>
const T& as(const std::shared_ptr<Object>& o) { return static_cast<const T&>(*o); }

void runBlitPass(BlitCommandEncoder::Pass& pass) {
  for (auto& op : pass.ops) {
    if (auto* copy = std::get_if<BlitCommandEncoder::Pass::Copy>(&op)) {
      Texture& t = *copy->destination;
      const size_t bpp = t.bytesPerPixel();
      const size_t lw = t.levelWidth(copy->level), lh = t.levelHeight(copy->level);
      const Size& s = copy->size;
      if (copy->origin.x > lw || s.width > lw - copy->origin.x || copy->origin.y > lh || s.height > lh - copy->origin.y) continue;
      if (copy->sourceBytesPerRow < s.width * bpp) continue;
      const size_t need = s.height == 0 ? 0 : copy->sourceOffset + (s.height - 1) * copy->sourceBytesPerRow + s.width * bpp;
      if (need > copy->source->length()) continue;
      const auto* src = static_cast<const uint8_t*>(copy->source->contents()) + copy->sourceOffset;
      uint8_t* dst = t.levelData(copy->level);
      for (size_t row = 0; row < s.height; ++row)
        std::memcpy(dst + ((copy->origin.y + row) * lw + copy->origin.x) * bpp, src + row * copy->sourceBytesPerRow, s.width * bpp);
    } else if (auto* mips = std::get_if<BlitCommandEncoder::Pass::Mipmaps>(&op)) {
      Texture& t = *mips->texture;
      const size_t bpp = t.bytesPerPixel();
      for (size_t level = 1; level < t.mipmapLevelCount(); ++level) {
        const size_t sw = t.levelWidth(level - 1), sh = t.levelHeight(level - 1);
        const size_t w = t.levelWidth(level), h = t.levelHeight(level);
        const uint8_t* src = t.levelData(level - 1);
        uint8_t* dst = t.levelData(level);
        for (size_t y = 0; y < h; ++y)
          for (size_t x = 0; x < w; ++x)
            for (size_t c = 0; c < bpp; ++c) {
              const size_t x0 = std::min(2 * x, sw - 1), x1 = std::min(2 * x + 1, sw - 1);
              const size_t y0 = std::min(2 * y, sh - 1), y1 = std::min(2 * y + 1, sh - 1);
              const unsigned sum = src[(y0 * sw + x0) * bpp + c] + src[(y0 * sw + x1) * bpp + c] +
                                   src[(y1 * sw + x0) * bpp + c] + src[(y1 * sw + x1) * bpp + c];
              dst[(y * w + x) * bpp + c] = static_cast<uint8_t>((sum + 2) / 4);
            }
      }
    }
    // Sync: memory is shared with the CPU already.
  }
}

}  // namespace

TextureDescriptor TextureDescriptor::texture2DDescriptor(PixelFormat format, size_t width, size_t height, bool mipmapped) {
  TextureDescriptor d;
  d.pixelFormat = format;
  d.width = width;
  d.height = height;
  d.mipmapLevelCount = 1;
  if (mipmapped)
    for (size_t side = std::max(width, height); side > 1; side /= 2) ++d.mipmapLevelCount;
  return d;
}

// ---- Buffer ----
Buffer::Buffer(std::shared_ptr<Executor> exec, size_t length, uint32_t)
    : exec_(std::move(exec)), data_(new (std::nothrow) std::byte[std::max<size_t>(length, 1)]()), length_(length) {
  if (!data_) length_ = 0;
}

// ---- Texture ----
Texture::Texture(std::shared_ptr<Executor> exec, const TextureDescriptor& desc, std::vector<std::vector<uint8_t>> levels)
    : exec_(std::move(exec)), desc_(desc), levels_(std::move(levels)) {}

size_t Texture::bytesPerPixel() const { return formatBytes(desc_.pixelFormat); }
size_t Texture::levelWidth(size_t level) const { return std::max<size_t>(1, desc_.width >> level); }
size_t Texture::levelHeight(size_t level) const { return std::max<size_t>(1, desc_.height >> level); }

bool Texture::regionFits(const Region& r, size_t level, size_t bytesPerRow) const {
  if (level >= levels_.size() || desc_.storageMode == StorageMode::Private) return false;
  const size_t w = levelWidth(level), h = levelHeight(level);
  if (r.origin.x > w || r.size.width > w - r.origin.x) return false;
  if (r.origin.y > h || r.size.height > h - r.origin.y) return false;
  return bytesPerRow >= r.size.width * bytesPerPixel();
}

void Texture::replaceRegion(const Region& r, size_t level, const void* bytes, size_t bytesPerRow) {
  if (!bytes || !regionFits(r, level, bytesPerRow)) return;
  exec_->waitIdle();
  const size_t bpp = bytesPerPixel(), w = levelWidth(level);
  const auto* src = static_cast<const uint8_t*>(bytes);
  uint8_t* dst = levels_[level].data();
  for (size_t row = 0; row < r.size.height; ++row)
    std::memcpy(dst + ((r.origin.y + row) * w + r.origin.x) * bpp, src + row * bytesPerRow, r.size.width * bpp);
}

void Texture::getBytes(void* bytes, size_t bytesPerRow, const Region& r, size_t level) const {
  if (!bytes || !regionFits(r, level, bytesPerRow)) return;
  exec_->waitIdle();
  const size_t bpp = bytesPerPixel(), w = levelWidth(level);
  auto* dst = static_cast<uint8_t*>(bytes);
  const uint8_t* src = levels_[level].data();
  for (size_t row = 0; row < r.size.height; ++row)
    std::memcpy(dst + row * bytesPerRow, src + ((r.origin.y + row) * w + r.origin.x) * bpp, r.size.width * bpp);
}

// ---- Library ----
std::shared_ptr<Function> Library::newFunctionWithName(const std::string& name) const {
  if (std::find(names_.begin(), names_.end(), name) == names_.end()) return nullptr;
  const gpu::CompiledFunction* f = gpu::findCompiledFunction(name);
  return f ? std::make_shared<Function>(name, f->kind, f->entry) : nullptr;
}

// ---- Render encoder ----
namespace {
Command cmd(Command::Op op, uint32_t index = 0, uint64_t a = 0, uint64_t b = 0, uint64_t c = 0,
            std::shared_ptr<Object> object = nullptr) {
  Command r;
  r.op = op;
  r.index = index;
  r.a = a;
  r.b = b;
  r.c = c;
  r.object = std::move(object);
  return r;
}
}  // namespace

void RenderCommandEncoder::push(Command&& c) {
  if (!ended_) pass_->commands.push_back(std::move(c));
}
void RenderCommandEncoder::setCullMode(CullMode mode) { push(cmd(Command::Op::SetCull, 0, static_cast<uint64_t>(mode))); }
void RenderCommandEncoder::setFrontFacingWinding(Winding w) { push(cmd(Command::Op::SetWinding, 0, static_cast<uint64_t>(w))); }
void RenderCommandEncoder::setStencilReferenceValue(uint32_t v) { push(cmd(Command::Op::SetStencilRef, 0, v)); }
void RenderCommandEncoder::setViewport(const Viewport& vp) {
  Command c;
  c.op = Command::Op::SetViewport;
  c.viewport[0] = vp.originX;
  c.viewport[1] = vp.originY;
  c.viewport[2] = vp.width;
  c.viewport[3] = vp.height;
  push(std::move(c));
}
void RenderCommandEncoder::setVertexBuffer(std::shared_ptr<Buffer> buffer, size_t offset, size_t index) {
  if (index < gpu::kMaxBindings) push(cmd(Command::Op::SetVertexBuffer, uint32_t(index), offset, 0, 0, std::move(buffer)));
}
void RenderCommandEncoder::setFragmentBuffer(std::shared_ptr<Buffer> buffer, size_t offset, size_t index) {
  if (index < gpu::kMaxBindings) push(cmd(Command::Op::SetFragmentBuffer, uint32_t(index), offset, 0, 0, std::move(buffer)));
}
void RenderCommandEncoder::setFragmentBufferOffset(size_t offset, size_t index) {
  if (index < gpu::kMaxBindings) push(cmd(Command::Op::SetFragmentBufferOffset, uint32_t(index), offset));
}
void RenderCommandEncoder::setFragmentTexture(std::shared_ptr<Texture> texture, size_t index) {
  if (index < gpu::kMaxBindings) push(cmd(Command::Op::SetFragmentTexture, uint32_t(index), 0, 0, 0, std::move(texture)));
}
void RenderCommandEncoder::setFragmentSamplerState(std::shared_ptr<SamplerState> sampler, size_t index) {
  if (index < gpu::kMaxBindings) push(cmd(Command::Op::SetFragmentSampler, uint32_t(index), 0, 0, 0, std::move(sampler)));
}
void RenderCommandEncoder::setRenderPipelineState(std::shared_ptr<RenderPipelineState> state) {
  push(cmd(Command::Op::SetPipeline, 0, 0, 0, 0, std::move(state)));
}
void RenderCommandEncoder::setDepthStencilState(std::shared_ptr<DepthStencilState> state) {
  push(cmd(Command::Op::SetDepthStencil, 0, 0, 0, 0, std::move(state)));
}
void RenderCommandEncoder::drawPrimitives(PrimitiveType type, size_t start, size_t count) {
  push(cmd(Command::Op::Draw, static_cast<uint32_t>(type), start, count));
}
void RenderCommandEncoder::drawIndexedPrimitives(PrimitiveType type, size_t indexCount, IndexType indexType,
                                                 std::shared_ptr<Buffer> indexBuffer, size_t offset) {
  if (!indexBuffer) return;
  push(cmd(Command::Op::DrawIndexed, static_cast<uint32_t>(type), indexCount, offset, static_cast<uint64_t>(indexType), std::move(indexBuffer)));
}
void RenderCommandEncoder::endEncoding() { ended_ = true; }

// ---- Blit encoder ----
void BlitCommandEncoder::synchronizeResource(std::shared_ptr<Object> resource) {
  if (!ended_ && resource) pass_->ops.emplace_back(Pass::Sync{std::move(resource)});
}
void BlitCommandEncoder::copyFromBuffer(std::shared_ptr<Buffer> source, size_t sourceOffset, size_t sourceBytesPerRow,
                                        size_t, Size sourceSize, std::shared_ptr<Texture> destination, size_t,
                                        size_t destinationLevel, Origin destinationOrigin) {
  if (ended_ || !source || !destination || destinationLevel >= destination->mipmapLevelCount()) return;
  pass_->ops.emplace_back(Pass::Copy{std::move(source), sourceOffset, sourceBytesPerRow, sourceSize, std::move(destination),
                                     destinationLevel, destinationOrigin});
}
void BlitCommandEncoder::generateMipmapsForTexture(std::shared_ptr<Texture> texture) {
  if (!ended_ && texture) pass_->ops.emplace_back(Pass::Mipmaps{std::move(texture)});
}
void BlitCommandEncoder::endEncoding() { ended_ = true; }

// ---- Command buffer ----
CommandBuffer::CommandBuffer(std::shared_ptr<Executor> exec) : exec_(std::move(exec)), work_(std::make_unique<Work>()) {}
CommandBuffer::~CommandBuffer() = default;

void CommandBuffer::enqueue() {
  if (exec_->status(*this) == CommandBufferStatus::NotEnqueued) exec_->setStatus(*this, CommandBufferStatus::Enqueued);
}
void CommandBuffer::addCompletedHandler(Handler handler) {
  if (exec_->status(*this) < CommandBufferStatus::Committed) work_->handlers.push_back(std::move(handler));
}
void CommandBuffer::commit() {
  if (exec_->status(*this) >= CommandBufferStatus::Committed) return;
  exec_->commit(shared_from_this());
}
void CommandBuffer::waitUntilScheduled() { exec_->waitUntil(*this, CommandBufferStatus::Scheduled); }
void CommandBuffer::waitUntilCompleted() { exec_->waitUntil(*this, CommandBufferStatus::Completed); }
CommandBufferStatus CommandBuffer::status() const { return exec_->status(*this); }
void CommandBuffer::presentDrawable(std::shared_ptr<Drawable> drawable) {
  if (drawable && exec_->status(*this) < CommandBufferStatus::Committed) work_->presents.push_back(std::move(drawable));
}

std::shared_ptr<RenderCommandEncoder> CommandBuffer::renderCommandEncoderWithDescriptor(const RenderPassDescriptor& desc) {
  if (exec_->status(*this) >= CommandBufferStatus::Committed) return nullptr;
  const auto& color = desc.colorAttachments[0].texture;
  if (!color || color->pixelFormat() == PixelFormat::Stencil8) return nullptr;
  const auto& stencil = desc.stencilAttachment.texture;
  if (stencil && stencil->pixelFormat() != PixelFormat::Stencil8) return nullptr;
  auto pass = std::make_shared<RenderCommandEncoder::Pass>();
  pass->desc = desc;
  work_->passes.emplace_back(pass);
  return std::make_shared<RenderCommandEncoder>(std::move(pass));
}

std::shared_ptr<BlitCommandEncoder> CommandBuffer::blitCommandEncoder() {
  if (exec_->status(*this) >= CommandBufferStatus::Committed) return nullptr;
  auto pass = std::make_shared<BlitCommandEncoder::Pass>();
  work_->passes.emplace_back(pass);
  return std::make_shared<BlitCommandEncoder>(std::move(pass));
}

std::shared_ptr<CommandBuffer> CommandQueue::commandBuffer() { return std::make_shared<CommandBuffer>(exec_); }

// ---- Executor ----
void Executor::start() {
  if (threaded_) worker_ = std::thread([self = shared_from_this()] { self->workerLoop(); });
}

void Executor::shutdown() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    paused_ = false;
  }
  wake_.notify_all();
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id())
      worker_.detach();
    else
      worker_.join();
  }
}

CommandBufferStatus Executor::status(const CommandBuffer& cb) {
  std::lock_guard lock(mutex_);
  return cb.work_->status;
}

void Executor::setStatus(CommandBuffer& cb, CommandBufferStatus s) {
  {
    std::lock_guard lock(mutex_);
    cb.work_->status = s;
  }
  done_.notify_all();
}

void Executor::commit(const std::shared_ptr<CommandBuffer>& cb) {
  bool inline_run = true;
  {
    std::lock_guard lock(mutex_);
    // Queued first: a failed queueing leaves the buffer uncommitted.
    if (threaded_ && !stopping_ && worker_.joinable()) {
      pending_.push_back(cb);
      inline_run = false;
    }
    cb->work_->status = CommandBufferStatus::Committed;
    ++inFlight_;
  }
  if (inline_run)
    run(cb);
  else
    wake_.notify_all();
}

void Executor::run(const std::shared_ptr<CommandBuffer>& cb) {
  setStatus(*cb, CommandBufferStatus::Scheduled);
  CommandBuffer::Work& work = *cb->work_;
  // A committed buffer always ends and calls its handlers: its owner may be waiting for
  // them to give back what the buffer used.
  CommandBufferStatus end = CommandBufferStatus::Completed;
  try {
    for (auto& pass : work.passes) {
      if (auto* render = std::get_if<std::shared_ptr<RenderCommandEncoder::Pass>>(&pass))
        executeRenderPass(**render);
      else
        runBlitPass(*std::get<std::shared_ptr<BlitCommandEncoder::Pass>>(pass));
    }
    for (auto& d : work.presents) d->present();
  } catch (const std::bad_alloc&) {
    end = CommandBufferStatus::Error;
  }
  work.passes.clear();
  work.presents.clear();
  setStatus(*cb, end);
  std::vector<CommandBuffer::Handler> handlers;
  handlers.swap(work.handlers);
  for (auto& h : handlers) h(*cb);
  {
    std::lock_guard lock(mutex_);
    --inFlight_;
  }
  done_.notify_all();
}

void Executor::waitUntil(const CommandBuffer& cb, CommandBufferStatus s) {
  std::unique_lock lock(mutex_);
  if (cb.work_->status < CommandBufferStatus::Committed) return;
  if (threaded_ && worker_.joinable() && worker_.get_id() == std::this_thread::get_id()) return;
  done_.wait(lock, [&] { return cb.work_->status >= s; });
}

void Executor::waitIdle() {
  std::unique_lock lock(mutex_);
  if (!threaded_ || (worker_.joinable() && worker_.get_id() == std::this_thread::get_id())) return;
  done_.wait(lock, [&] { return inFlight_ == 0; });
}

void Executor::pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void Executor::resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
}

void Executor::workerLoop() {
  for (;;) {
    std::shared_ptr<CommandBuffer> cb;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return (!paused_ && !pending_.empty()) || (stopping_ && pending_.empty()); });
      if (pending_.empty()) return;
      cb = std::move(pending_.front());
      pending_.pop_front();
    }
    run(cb);
  }
}

// ---- Device ----
Device::Device(Execution execution) : exec_(std::make_shared<Executor>(execution == Execution::WorkerThread)) { exec_->start(); }
Device::~Device() { exec_->shutdown(); }

std::shared_ptr<Library> Device::newLibraryWithData(const void* data, size_t length, std::optional<Error>* error) {
  auto fail = [&](const char* why) -> std::shared_ptr<Library> {
    if (error) *error = Error{why};
    return nullptr;
  };
  if (gRejectLibraries.load()) return fail("Invalid library file");
  const auto* p = static_cast<const char*>(data);
  if (!p || length < 5 || std::memcmp(p, "MTLB", 4) != 0) return fail("Invalid library file");
  std::vector<std::string> names;
  size_t pos = 4;
  for (;;) {
    const void* nul = std::memchr(p + pos, 0, length - pos);
    if (!nul) return fail("Invalid library file: truncated function table");
    const size_t len = static_cast<const char*>(nul) - (p + pos);
    if (len == 0) break;
    std::string name(p + pos, len);
    if (!gpu::findCompiledFunction(name)) return fail("Invalid library file: unknown function");
    names.push_back(std::move(name));
    pos += len + 1;
    if (pos >= length) return fail("Invalid library file: truncated function table");
  }
  return std::make_shared<Library>(std::move(names));
}

std::shared_ptr<CommandQueue> Device::newCommandQueue() { return std::make_shared<CommandQueue>(exec_); }

std::shared_ptr<Buffer> Device::newBufferWithLength(size_t length, uint32_t options) {
  auto b = std::make_shared<Buffer>(exec_, length, options);
  return b->contents() ? b : nullptr;
}

std::shared_ptr<Texture> Device::newTextureWithDescriptor(const TextureDescriptor& d) {
  const size_t bpp = formatBytes(d.pixelFormat);
  if (bpp == 0 || d.width < 1 || d.height < 1 || d.width > kMaxTextureSide || d.height > kMaxTextureSide) return nullptr;
  TextureDescriptor desc = d;
  const size_t maxLevels = TextureDescriptor::texture2DDescriptor(d.pixelFormat, d.width, d.height, true).mipmapLevelCount;
  desc.mipmapLevelCount = std::clamp<size_t>(d.mipmapLevelCount, 1, maxLevels);
  std::vector<std::vector<uint8_t>> levels;
  try {
    for (size_t l = 0; l < desc.mipmapLevelCount; ++l)
      levels.emplace_back(std::max<size_t>(1, d.width >> l) * std::max<size_t>(1, d.height >> l) * bpp, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return std::make_shared<Texture>(exec_, desc, std::move(levels));
}

std::shared_ptr<SamplerState> Device::newSamplerStateWithDescriptor(const SamplerDescriptor& d) {
  return std::make_shared<SamplerState>(d);
}

std::shared_ptr<RenderPipelineState> Device::newRenderPipelineStateWithDescriptor(const RenderPipelineDescriptor& d,
                                                                                  std::optional<Error>* error) {
  auto fail = [&](const char* why) -> std::shared_ptr<RenderPipelineState> {
    if (error) *error = Error{why};
    return nullptr;
  };
  if (!d.vertexFunction || d.vertexFunction->kind() != Function::Kind::Vertex) return fail("Vertex function is not a vertex function");
  if (d.fragmentFunction && d.fragmentFunction->kind() != Function::Kind::Fragment) return fail("Fragment function is not a fragment function");
  if (formatBytes(d.colorAttachments[0].pixelFormat) == 0 || d.colorAttachments[0].pixelFormat == PixelFormat::Stencil8)
    return fail("Invalid colour attachment pixel format");
  ++pipelinesBuilt_;
  return std::make_shared<RenderPipelineState>(d);
}

std::shared_ptr<DepthStencilState> Device::newDepthStencilStateWithDescriptor(const DepthStencilDescriptor& d) {
  return std::make_shared<DepthStencilState>(d);
}

std::shared_ptr<Device> MTLCreateSystemDefaultDevice() { return std::make_shared<Device>(gDefaultExecution.load()); }

// ---- Layer ----
void Drawable::present() {
  if (layer_) layer_->setFrontTexture(texture_);
}

std::shared_ptr<Drawable> MetalLayer::nextDrawable() {
  if (!device_) return nullptr;
  const double w = drawableSize_.width, h = drawableSize_.height;
  if (!(w >= 1 && h >= 1 && w <= kMaxTextureSide && h <= kMaxTextureSide)) return nullptr;
  auto desc = TextureDescriptor::texture2DDescriptor(pixelFormat_, static_cast<size_t>(w), static_cast<size_t>(h), false);
  desc.usage = TextureUsageRenderTarget;
  auto tex = device_->newTextureWithDescriptor(desc);
  return tex ? std::make_shared<Drawable>(this, std::move(tex)) : nullptr;
}

std::shared_ptr<Texture> MetalLayer::frontTexture() const {
  std::lock_guard lock(frontMutex_);
  return front_;
}

void MetalLayer::setFrontTexture(std::shared_ptr<Texture> t) {
  std::lock_guard lock(frontMutex_);
  front_ = std::move(t);
}

namespace testing {
void setDefaultExecution(Device::Execution execution) { gDefaultExecution.store(execution); }
void setRejectLibraries(bool reject) { gRejectLibraries.store(reject); }
void pause(Device& device) { device.executor().pause(); }
void resume(Device& device) { device.executor().resume(); }
}  // namespace testing

}  // namespace mtl
