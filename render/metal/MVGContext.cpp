// The Metal submitter of the NanoVG back end and the entry points of nanovg_mtl.h.
#include "render/metal/MVGContext.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "render/metal/ShaderLibrary.h"

namespace mvg {
namespace {

// The process-wide framebuffer binding (null: the window).
std::atomic<MVGframebuffer*> gBinding{nullptr};

mtl::PixelFormat pixelFormatOf(TexFormat f) {
  switch (f) {
    case TexFormat::R8: return mtl::PixelFormat::R8Unorm;
    case TexFormat::RGBA8: return mtl::PixelFormat::RGBA8Unorm;
    case TexFormat::BGRA8: return mtl::PixelFormat::BGRA8Unorm;
    default: return mtl::PixelFormat::Invalid;
  }
}

size_t bytesPerPixelOf(const mtl::Texture& t) { return t.pixelFormat() == mtl::PixelFormat::R8Unorm ? 1 : 4; }

// Copies w x h pixels of NanoVG texture `type` (rows `stride` bytes apart) to (x, y) of the
// texture, widening three-byte pixels; false for an unknown type or without memory.
bool upload(mtl::Texture& tex, int type, int x, int y, int w, int h, const unsigned char* src, size_t stride) {
  const size_t sb = size_t(sourceBytesPerPixel(type)), db = size_t(storedBytesPerPixel(type));
  if (sb == 0) return false;
  const auto region = mtl::Region::make2D(size_t(x), size_t(y), size_t(w), size_t(h));
  if (sb == db) {
    tex.replaceRegion(region, 0, src, stride);
    return true;
  }
  std::vector<unsigned char> wide;
  try {
    wide.resize(size_t(w) * size_t(h) * db);
  } catch (const std::bad_alloc&) {
    return false;
  }
  widenRows(type, src, stride, w, h, wide.data());
  tex.replaceRegion(region, 0, wide.data(), size_t(w) * db);
  return true;
}

mtl::BlendFactor metalFactor(Factor f) { return static_cast<mtl::BlendFactor>(static_cast<uint32_t>(f)); }
static_assert(static_cast<uint32_t>(Factor::SourceAlphaSaturated) == static_cast<uint32_t>(mtl::BlendFactor::SourceAlphaSaturated));
static_assert(static_cast<uint32_t>(Factor::OneMinusDestinationColor) == static_cast<uint32_t>(mtl::BlendFactor::OneMinusDestinationColor));

// The reset a set gets when its frame completes or is cancelled (caller holds its mutex).
void resetSet(MVGbuffers& b) {
  b.isBusy = false;
  b.commandBuffer.reset();
  b.image = 0;
  b.arrays.resetCounts();
}

mtl::StencilDescriptor stencil(mtl::CompareFunction compare, mtl::StencilOperation fail, mtl::StencilOperation depthFail,
                               mtl::StencilOperation pass) {
  mtl::StencilDescriptor s;
  s.stencilCompareFunction = compare;
  s.stencilFailureOperation = fail;
  s.depthFailureOperation = depthFail;
  s.depthStencilPassOperation = pass;
  s.readMask = s.writeMask = 0xFF;
  return s;
}

}  // namespace

MVGContext::MVGContext(int flags, mtl::MetalLayer* layer) : Recorder(flags), layer_(layer) {}

MVGContext::~MVGContext() {
  cancelRecording();
  // Frames still in flight write into their sets when they complete: wait for all of them.
  if (semaphore_)
    for (int i = 0; i < maxBuffers_; ++i) semaphore_->acquire();
  MVGframebuffer* bound = gBinding.load();
  if (bound && nvg && bound->ctx == nvg) gBinding.compare_exchange_strong(bound, nullptr);
  for (auto& b : cbuffers_) freeCalls(b->arrays);
  if (layer_) layer_->setDevice(nullptr);
}

bool MVGContext::checkError(const std::optional<mtl::Error>& error, const char* message) const {
  if (!error) return true;
  if (flags() & kFlagDebug) std::printf("Error occurs after %s: %s\n", message, error->localizedDescription.c_str());
  return false;
}

bool MVGContext::loadLibrary() {
  if (!layer_) return false;
  if (!layer_->device()) layer_->setDevice(mtl::MTLCreateSystemDefaultDevice());
  device_ = layer_->device();
  if (!device_) return false;
  layer_->setOpaque(false);
  std::optional<mtl::Error> error;
  library_ = device_->newLibraryWithData(mvg_bitcode_macos, mvg_bitcode_macos_len, &error);
  checkError(error, "init library");
  if (!library_) return false;
  vertexFunction_ = library_->newFunctionWithName("vertexShader");
  fragmentFunction_ = library_->newFunctionWithName((flags() & kFlagAntialias) ? "fragmentShaderAA" : "fragmentShader");
  return vertexFunction_ && fragmentFunction_;
}

int MVGContext::renderCreate() {
  if (!device_ || !vertexFunction_ || !fragmentFunction_) return 0;
  queue_ = device_->newCommandQueue();
  maxBuffers_ = (flags() & kFlagTripleBuffer) ? 3 : (flags() & kFlagDoubleBuffer) ? 2 : 1;
  for (int i = 0; i < maxBuffers_; ++i) cbuffers_.push_back(std::make_unique<MVGbuffers>());
  clearBufferOnFlush_ = false;
  semaphore_ = std::make_shared<std::counting_semaphore<>>(maxBuffers_);

  vertexDescriptor_ = mtl::VertexDescriptor{};
  vertexDescriptor_.attributes[0] = {mtl::VertexFormat::Float2, 0, 0};
  vertexDescriptor_.attributes[1] = {mtl::VertexFormat::Float2, 2 * sizeof(float), 0};
  vertexDescriptor_.layouts[0].stride = sizeof(NVGvertex);
  vertexDescriptor_.layouts[0].stepFunction = mtl::VertexStepFunction::PerVertex;
  vertexDescriptor_.layouts[0].stepRate = 1;

  textureId_ = 0;
  textures_.clear();
  pseudoSampler_ = device_->newSamplerStateWithDescriptor(mtl::SamplerDescriptor{});
  blendFunc_ = Blend{};

  using C = mtl::CompareFunction;
  using O = mtl::StencilOperation;
  mtl::DepthStencilDescriptor d;
  defaultStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.frontFaceStencil = stencil(C::Always, O::Keep, O::Keep, O::IncrementWrap);
  d.backFaceStencil = stencil(C::Always, O::Keep, O::Keep, O::DecrementWrap);
  fillShapeStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.backFaceStencil.reset();
  d.frontFaceStencil = stencil(C::Equal, O::Keep, O::Keep, O::Zero);
  fillAntiAliasStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.frontFaceStencil = stencil(C::NotEqual, O::Zero, O::Zero, O::Zero);
  fillStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.frontFaceStencil = stencil(C::Equal, O::Keep, O::Keep, O::IncrementClamp);
  strokeShapeStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.frontFaceStencil = stencil(C::Equal, O::Keep, O::Keep, O::Keep);
  strokeAntiAliasStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  d.frontFaceStencil = stencil(C::Always, O::Zero, O::Zero, O::Zero);
  strokeClearStencilState_ = device_->newDepthStencilStateWithDescriptor(d);
  return queue_ ? 1 : 0;
}

// ---- frames ----

void MVGContext::cancelRecording() {
  MVGbuffers* b = current_;
  current_ = nullptr;
  setFrame(nullptr);
  if (!b) return;
  bool release = false;
  {
    std::lock_guard lock(b->mutex);
    if (b->isBusy && !b->commandBuffer) {
      resetSet(*b);
      release = true;
    }
  }
  if (release) semaphore_->release();
}

void MVGContext::renderViewport(float width, float height, float devicePixelRatio) {
  auto pixels = [](double v) -> unsigned { return v >= 1.0 ? static_cast<unsigned>(std::min(v, 1.0e9)) : 0u; };
  viewW_ = pixels(double(width) * devicePixelRatio);
  viewH_ = pixels(double(height) * devicePixelRatio);
  cancelRecording();  // a frame begun and never flushed
  if (!semaphore_) return;
  semaphore_->acquire();
  MVGbuffers* chosen = nullptr;
  for (auto& b : cbuffers_) {
    std::lock_guard lock(b->mutex);
    if (!b->isBusy) {
      b->isBusy = true;
      chosen = b.get();
      break;
    }
  }
  if (!chosen) {
    semaphore_->release();
    return;
  }
  current_ = chosen;
  setFrame(&chosen->arrays);
  if (!chosen->viewSizeBuffer) chosen->viewSizeBuffer = device_->newBufferWithLength(8, mtl::ResourceCPUCacheModeWriteCombined);
  if (chosen->viewSizeBuffer) {
    const float size[2] = {width, height};
    std::memcpy(chosen->viewSizeBuffer->contents(), size, sizeof size);
  }
}

void MVGContext::renderCancel() { cancelRecording(); }

void* MVGContext::growArray(Array which, size_t bytes, size_t keep) {
  if (!current_ || !device_) return nullptr;
  std::shared_ptr<mtl::Buffer>& slot = which == Array::Verts ? current_->vertBuffer
                                       : which == Array::Indexes ? current_->indexBuffer
                                                                 : current_->uniformBuffer;
  auto fresh = device_->newBufferWithLength(bytes, mtl::ResourceCPUCacheModeWriteCombined);
  if (!fresh) return nullptr;
  if (slot && keep) std::memcpy(fresh->contents(), slot->contents(), std::min(keep, slot->length()));
  slot = std::move(fresh);
  return slot->contents();
}

bool MVGContext::updateStencilTextureToSize(size_t w, size_t h) {
  MVGbuffers& b = *current_;
  if (b.stencilTexture && (b.stencilTexture->width() < w || b.stencilTexture->height() < h)) b.stencilTexture.reset();
  if (!b.stencilTexture) {
    auto desc = mtl::TextureDescriptor::texture2DDescriptor(mtl::PixelFormat::Stencil8, w, h, false);
    desc.usage = mtl::TextureUsageRenderTarget;
    desc.storageMode = mtl::StorageMode::Private;
    b.stencilTexture = device_->newTextureWithDescriptor(desc);
  }
  return b.stencilTexture != nullptr;
}

bool MVGContext::updateRenderPipelineStatesForBlend(const Blend& blend, mtl::PixelFormat format) {
  if (pipelineState_ && stencilOnlyPipelineState_ && pipelinePixelFormat_ == format && blendFunc_ == blend) return true;
  mtl::RenderPipelineDescriptor d;
  auto& ca = d.colorAttachments[0];
  ca.pixelFormat = format;
  d.stencilAttachmentPixelFormat = mtl::PixelFormat::Stencil8;
  d.vertexFunction = vertexFunction_;
  d.fragmentFunction = fragmentFunction_;
  d.vertexDescriptor = vertexDescriptor_;
  ca.blendingEnabled = true;
  ca.sourceRGBBlendFactor = metalFactor(blend.srcRGB);
  ca.destinationRGBBlendFactor = metalFactor(blend.dstRGB);
  ca.sourceAlphaBlendFactor = metalFactor(blend.srcAlpha);
  ca.destinationAlphaBlendFactor = metalFactor(blend.dstAlpha);
  std::optional<mtl::Error> error;
  pipelineState_ = device_->newRenderPipelineStateWithDescriptor(d, &error);
  checkError(error, "init pipeline state");
  d.fragmentFunction = nullptr;
  ca.writeMask = mtl::ColorWriteMaskNone;
  error.reset();
  stencilOnlyPipelineState_ = device_->newRenderPipelineStateWithDescriptor(d, &error);
  checkError(error, "init pipeline stencil only state");
  blendFunc_ = blend;
  pipelinePixelFormat_ = format;
  return pipelineState_ && stencilOnlyPipelineState_;
}

std::shared_ptr<mtl::RenderCommandEncoder> MVGContext::renderCommandEncoderWithColorTexture(
    const std::shared_ptr<mtl::CommandBuffer>& cb, const std::shared_ptr<mtl::Texture>& color) {
  mtl::RenderPassDescriptor desc;
  auto& ca = desc.colorAttachments[0];
  ca.texture = color;
  ca.loadAction = clearBufferOnFlush_ ? mtl::LoadAction::Clear : mtl::LoadAction::Load;
  ca.storeAction = mtl::StoreAction::Store;
  ca.clearColor = clearColor_;
  desc.stencilAttachment.texture = current_->stencilTexture;
  desc.stencilAttachment.clearStencil = 0;
  desc.stencilAttachment.loadAction = mtl::LoadAction::Clear;
  desc.stencilAttachment.storeAction = mtl::StoreAction::DontCare;
  auto enc = cb->renderCommandEncoderWithDescriptor(desc);
  if (!enc) return nullptr;
  clearBufferOnFlush_ = false;
  enc->setCullMode(mtl::CullMode::Back);
  enc->setFrontFacingWinding(mtl::Winding::CounterClockwise);
  enc->setStencilReferenceValue(0);
  enc->setViewport({0.0, 0.0, double(viewW_), double(viewH_), 0.0, 1.0});
  enc->setVertexBuffer(current_->vertBuffer, 0, 0);
  enc->setVertexBuffer(current_->viewSizeBuffer, 0, 1);
  enc->setFragmentBuffer(current_->uniformBuffer, 0, 0);
  return enc;
}

void MVGContext::encodeAndCommit(MVGbuffers& b, const std::shared_ptr<mtl::CommandBuffer>& cb,
                                 mtl::RenderCommandEncoder& enc, const std::shared_ptr<mtl::Texture>& color,
                                 const std::shared_ptr<mtl::Drawable>& drawable, int image) {
  {
    std::lock_guard lock(b.mutex);
    b.commandBuffer = cb;
    b.image = image;
  }
  cb->enqueue();
  cb->addCompletedHandler([set = &b, semaphore = semaphore_](mtl::CommandBuffer&) {
    {
      std::lock_guard lock(set->mutex);
      resetSet(*set);
    }
    semaphore->release();
  });

  const FrameArrays& f = b.arrays;
  for (int i = 0; i < f.ncalls; ++i) {
    const Call& call = f.calls[i];
    updateRenderPipelineStatesForBlend(call.blend, color->pixelFormat());
    switch (call.type) {
      case kCallFill: drawFill(enc, call); break;
      case kCallConvexFill: drawConvexFill(enc, call); break;
      case kCallStroke: drawStroke(enc, call); break;
      case kCallTriangles: drawTriangles(enc, call); break;
      default: break;
    }
  }
  enc.endEncoding();

  if (drawable && !layer_->presentsWithTransaction()) cb->presentDrawable(drawable);
  if (gBinding.load()) {
    auto blit = cb->blitCommandEncoder();
    blit->synchronizeResource(color);
    blit->endEncoding();
  }
  current_ = nullptr;
  setFrame(nullptr);
  cb->commit();
}

void MVGContext::renderFlush() {
  MVGbuffers* b = current_;
  if (!b) return;
  if (viewW_ == 0 || viewH_ == 0) {
    cancelRecording();
    return;
  }

  // The target: this context's bound framebuffer, else the layer's next drawable.
  std::shared_ptr<mtl::Texture> color;
  std::shared_ptr<mtl::Drawable> drawable;
  int image = 0;
  MVGframebuffer* fb = gBinding.load();
  if (fb && nvg && fb->ctx == nvg) {
    if (MVGtexture* t = findTexture(fb->image)) {
      color = t->tex;
      image = fb->image;
    }
  } else if (layer_) {
    drawable = layer_->nextDrawable();
    if (drawable) color = drawable->texture();
  }
  if (!color || !updateStencilTextureToSize(color->width(), color->height())) {
    cancelRecording();
    return;
  }

  auto cb = queue_->commandBuffer();
  auto enc = renderCommandEncoderWithColorTexture(cb, color);
  if (!enc) {
    cancelRecording();
    return;
  }
  try {
    encodeAndCommit(*b, cb, *enc, color, drawable, image);
  } catch (...) {
    // Memory ran out before the buffer was committed: its handler will never run, so the
    // set and its slot are given back here.
    if (cb->status() < mtl::CommandBufferStatus::Committed) {
      {
        std::lock_guard lock(b->mutex);
        resetSet(*b);
      }
      semaphore_->release();
    }
    current_ = nullptr;
    setFrame(nullptr);
    throw;
  }
  const bool transaction = drawable && layer_->presentsWithTransaction();
  if (transaction) {
    cb->waitUntilScheduled();
    drawable->present();
  }
}

// ---- drawing the calls ----

void MVGContext::setUniforms(mtl::RenderCommandEncoder& enc, int uniformOffset, int image) {
  enc.setFragmentBufferOffset(size_t(uniformOffset), 0);
  MVGtexture* t = image != 0 ? findTexture(image) : nullptr;
  if (t && t->tex) {
    enc.setFragmentTexture(t->tex, 0);
    enc.setFragmentSamplerState(t->sampler ? t->sampler : pseudoSampler_, 0);
  } else {
    enc.setFragmentTexture(nullptr, 0);
    enc.setFragmentSamplerState(pseudoSampler_, 0);
  }
}

void MVGContext::drawFill(mtl::RenderCommandEncoder& enc, const Call& call) {
  enc.setCullMode(mtl::CullMode::None);
  enc.setDepthStencilState(fillShapeStencilState_);
  enc.setRenderPipelineState(stencilOnlyPipelineState_);
  if (call.indexCount > 0)
    enc.drawIndexedPrimitives(mtl::PrimitiveType::Triangle, size_t(call.indexCount), mtl::IndexType::UInt32,
                              current_->indexBuffer, size_t(call.indexOffset) * indexSize);
  enc.setCullMode(mtl::CullMode::Back);
  enc.setRenderPipelineState(pipelineState_);
  setUniforms(enc, call.uniformOffset, call.image);
  if ((flags() & kFlagAntialias) && call.strokeCount > 0) {
    enc.setDepthStencilState(fillAntiAliasStencilState_);
    enc.drawPrimitives(mtl::PrimitiveType::TriangleStrip, size_t(call.strokeOffset), size_t(call.strokeCount));
  }
  enc.setDepthStencilState(fillStencilState_);
  enc.drawPrimitives(mtl::PrimitiveType::TriangleStrip, size_t(call.triangleOffset), size_t(call.triangleCount));
  enc.setDepthStencilState(defaultStencilState_);
}

void MVGContext::drawConvexFill(mtl::RenderCommandEncoder& enc, const Call& call) {
  setUniforms(enc, call.uniformOffset, call.image);
  enc.setRenderPipelineState(pipelineState_);
  if (call.indexCount > 0)
    enc.drawIndexedPrimitives(mtl::PrimitiveType::Triangle, size_t(call.indexCount), mtl::IndexType::UInt32,
                              current_->indexBuffer, size_t(call.indexOffset) * indexSize);
  if (call.strokeCount > 0)
    enc.drawPrimitives(mtl::PrimitiveType::TriangleStrip, size_t(call.strokeOffset), size_t(call.strokeCount));
}

void MVGContext::drawStroke(mtl::RenderCommandEncoder& enc, const Call& call) {
  if (call.strokeCount < 1) return;
  const auto strip = [&] {
    enc.drawPrimitives(mtl::PrimitiveType::TriangleStrip, size_t(call.strokeOffset), size_t(call.strokeCount));
  };
  if (flags() & kFlagStencilStrokes) {
    setUniforms(enc, call.uniformOffset + fragSize, call.image);
    enc.setDepthStencilState(strokeShapeStencilState_);
    enc.setRenderPipelineState(pipelineState_);
    strip();
    setUniforms(enc, call.uniformOffset, call.image);
    enc.setDepthStencilState(strokeAntiAliasStencilState_);
    strip();
    enc.setDepthStencilState(strokeClearStencilState_);
    enc.setRenderPipelineState(stencilOnlyPipelineState_);
    strip();
    enc.setDepthStencilState(defaultStencilState_);
  } else {
    setUniforms(enc, call.uniformOffset, call.image);
    enc.setRenderPipelineState(pipelineState_);
    strip();
  }
}

void MVGContext::drawTriangles(mtl::RenderCommandEncoder& enc, const Call& call) {
  setUniforms(enc, call.uniformOffset, call.image);
  enc.setRenderPipelineState(pipelineState_);
  enc.drawPrimitives(mtl::PrimitiveType::Triangle, size_t(call.triangleOffset), size_t(call.triangleCount));
}

// ---- textures ----

MVGtexture* MVGContext::findTexture(int image) {
  if (image == 0) return nullptr;
  for (auto& t : textures_)
    if (t.id == image) return &t;
  return nullptr;
}

const ImageInfo* MVGContext::findImage(int image) const {
  for (const auto& t : textures_)
    if (t.id == image && image != 0) {
      imageInfo_ = {t.type, t.flags};
      return &imageInfo_;
    }
  return nullptr;
}

MVGtexture* MVGContext::allocTexture() {
  if (textureId_ == std::numeric_limits<int>::max()) return nullptr;
  MVGtexture* slot = nullptr;
  for (auto& t : textures_)
    if (t.id == 0) {
      slot = &t;
      break;
    }
  if (!slot) slot = &textures_.emplace_back();
  *slot = MVGtexture{};
  slot->id = ++textureId_;
  return slot;
}

int MVGContext::renderCreateTexture(int type, int w, int h, int imageFlags, const unsigned char* data) {
  if (!device_ || w < 1 || h < 1 || w > kMaxTextureSide || h > kMaxTextureSide) return 0;
  const TexFormat format = formatForType(type);
  if (format == TexFormat::None) return 0;
  auto desc = mtl::TextureDescriptor::texture2DDescriptor(pixelFormatOf(format), size_t(w), size_t(h),
                                                          (imageFlags & NVG_IMAGE_GENERATE_MIPMAPS) != 0);
  desc.usage = mtl::TextureUsageShaderRead | mtl::TextureUsageShaderWrite | mtl::TextureUsageRenderTarget;
  auto tex = device_->newTextureWithDescriptor(desc);
  if (!tex) return 0;
  if (data && !upload(*tex, type, 0, 0, w, h, data, size_t(w) * size_t(sourceBytesPerPixel(type)))) return 0;
  if (imageFlags & NVG_IMAGE_GENERATE_MIPMAPS) {
    auto cb = queue_->commandBuffer();
    auto blit = cb->blitCommandEncoder();
    blit->generateMipmapsForTexture(tex);
    blit->endEncoding();
    cb->commit();
    cb->waitUntilCompleted();
  }
  mtl::SamplerDescriptor sd;
  const bool nearest = (imageFlags & NVG_IMAGE_NEAREST) != 0;
  sd.minFilter = sd.magFilter = nearest ? mtl::SamplerMinMagFilter::Nearest : mtl::SamplerMinMagFilter::Linear;
  if (imageFlags & NVG_IMAGE_GENERATE_MIPMAPS) sd.mipFilter = nearest ? mtl::SamplerMipFilter::Nearest : mtl::SamplerMipFilter::Linear;
  sd.sAddressMode = (imageFlags & NVG_IMAGE_REPEATX) ? mtl::SamplerAddressMode::Repeat : mtl::SamplerAddressMode::ClampToEdge;
  sd.tAddressMode = (imageFlags & NVG_IMAGE_REPEATY) ? mtl::SamplerAddressMode::Repeat : mtl::SamplerAddressMode::ClampToEdge;

  MVGtexture* t = allocTexture();
  if (!t) return 0;
  t->type = type;
  t->flags = imageFlags;
  t->width = w;
  t->height = h;
  t->tex = std::move(tex);
  t->sampler = device_->newSamplerStateWithDescriptor(sd);
  return t->id;
}

int MVGContext::renderDeleteTexture(int image) {
  MVGtexture* t = findTexture(image);
  if (!t) return 0;
  // Frames in flight keep their own references to the texture and sampler.
  *t = MVGtexture{};
  return 1;
}

int MVGContext::renderUpdateTexture(int image, int x, int y, int w, int h, const unsigned char* data) {
  MVGtexture* t = findTexture(image);
  if (!t || !t->tex || !data || !regionInside(x, y, w, h, size_t(t->width), size_t(t->height))) return 0;
  if (w == 0 || h == 0) return 1;
  // The caller's rows are the whole image's rows.
  const size_t sb = size_t(sourceBytesPerPixel(t->type));
  const size_t rowBytes = size_t(t->width) * sb;
  return upload(*t->tex, t->type, x, y, w, h, data + size_t(y) * rowBytes + size_t(x) * sb, rowBytes) ? 1 : 0;
}

int MVGContext::renderGetTextureSize(int image, int* w, int* h) {
  MVGtexture* t = findTexture(image);
  if (w) *w = t ? t->width : 0;
  if (h) *h = t ? t->height : 0;
  return t ? 1 : 0;
}

void MVGContext::waitForImage(int image) {
  std::vector<std::shared_ptr<mtl::CommandBuffer>> pending;
  for (auto& b : cbuffers_) {
    std::lock_guard lock(b->mutex);
    if (b->isBusy && b->image == image && b->commandBuffer) pending.push_back(b->commandBuffer);
  }
  for (auto& cb : pending) cb->waitUntilCompleted();
}

void MVGContext::readPixels(int image, int x, int y, int w, int h, void* data) {
  MVGtexture* t = findTexture(image);
  if (!t || !t->tex || !data || !regionInside(x, y, w, h, t->tex->width(), t->tex->height())) return;
  waitForImage(image);
  const size_t bpp = bytesPerPixelOf(*t->tex);
  t->tex->getBytes(data, size_t(w) * bpp, mtl::Region::make2D(size_t(x), size_t(y), size_t(w), size_t(h)), 0);
}

std::shared_ptr<mtl::Texture> MVGContext::imageHandle(int image) {
  MVGtexture* t = findTexture(image);
  if (!t) return nullptr;
  waitForImage(image);
  return t->tex;
}

int MVGContext::createImageFromHandle(std::shared_ptr<mtl::Texture> texture, int imageFlags) {
  if (!texture) return 0;
  MVGtexture* t = allocTexture();
  if (!t) return 0;
  t->type = NVG_TEXTURE_RGBA;
  t->flags = imageFlags;
  t->width = int(texture->width());
  t->height = int(texture->height());
  t->tex = std::move(texture);
  return t->id;
}

void MVGContext::clearWithColor(NVGcolor c) {
  clearColor_ = {double(c.r) * c.a, double(c.g) * c.a, double(c.b) * c.a, double(c.a)};
  clearBufferOnFlush_ = true;
}

MVGContext* contextOf(NVGcontext* ctx) {
  return ctx ? static_cast<MVGContext*>(nvgInternalParams(ctx)->userPtr) : nullptr;
}

// ---- NanoVG callbacks ----
namespace {

MVGContext* self(void* p) { return static_cast<MVGContext*>(p); }

int cbCreate(void* p, void*) { return self(p)->renderCreate(); }
int cbCreateTexture(void* p, int type, int w, int h, int flags, const unsigned char* data) {
  return self(p)->renderCreateTexture(type, w, h, flags, data);
}
int cbDeleteTexture(void* p, int image) { return self(p)->renderDeleteTexture(image); }
int cbUpdateTexture(void* p, int image, int x, int y, int w, int h, const unsigned char* data) {
  return self(p)->renderUpdateTexture(image, x, y, w, h, data);
}
int cbGetTextureSize(void* p, int image, int* w, int* h) { return self(p)->renderGetTextureSize(image, w, h); }
void cbViewport(void* p, float w, float h, float ratio) { self(p)->renderViewport(w, h, ratio); }
void cbCancel(void* p) { self(p)->renderCancel(); }
void cbFlush(void* p) { self(p)->renderFlush(); }
void cbFill(void* p, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, const float* bounds,
            const NVGpath* paths, int npaths) {
  self(p)->fill(paint, op, scissor, fringe, bounds, paths, npaths);
}
void cbStroke(void* p, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, float width,
              const NVGpath* paths, int npaths) {
  self(p)->stroke(paint, op, scissor, fringe, width, paths, npaths);
}
void cbTriangles(void* p, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, const NVGvertex* verts,
                 int nverts, float fringe) {
  self(p)->triangles(paint, op, scissor, verts, nverts, fringe);
}
void cbDelete(void* p) { delete self(p); }

}  // namespace
}  // namespace mvg

using mvg::contextOf;

NVGcontext* nvgCreateMTL(void* metalLayer, int flags) {
  auto* layer = static_cast<mtl::MetalLayer*>(metalLayer);
  if (!layer) return nullptr;
  auto* mvgctx = new (std::nothrow) mvg::MVGContext(flags, layer);
  if (!mvgctx) return nullptr;
  // The library is made before NanoVG's context: NanoVG cannot unwind a failed creation safely.
  if (!mvgctx->loadLibrary()) {
    delete mvgctx;
    return nullptr;
  }
  NVGparams params;
  std::memset(&params, 0, sizeof params);
  params.userPtr = mvgctx;
  params.edgeAntiAlias = (flags & NVG_ANTIALIAS) ? 1 : 0;
  params.renderCreate = mvg::cbCreate;
  params.renderCreateTexture = mvg::cbCreateTexture;
  params.renderDeleteTexture = mvg::cbDeleteTexture;
  params.renderUpdateTexture = mvg::cbUpdateTexture;
  params.renderGetTextureSize = mvg::cbGetTextureSize;
  params.renderViewport = mvg::cbViewport;
  params.renderCancel = mvg::cbCancel;
  params.renderFlush = mvg::cbFlush;
  params.renderFill = mvg::cbFill;
  params.renderStroke = mvg::cbStroke;
  params.renderTriangles = mvg::cbTriangles;
  params.renderDelete = mvg::cbDelete;
  NVGcontext* ctx = nvgCreateInternal(&params, nullptr);  // on failure NanoVG has called renderDelete
  if (ctx) mvgctx->nvg = ctx;
  return ctx;
}

void nvgDeleteMTL(NVGcontext* ctx) {
  if (ctx) nvgDeleteInternal(ctx);
}

void mvgClearWithColor(NVGcontext* ctx, NVGcolor color) {
  if (auto* c = contextOf(ctx)) c->clearWithColor(color);
}

MVGframebuffer* mvgCreateFramebuffer(NVGcontext* ctx, int width, int height, int imageFlags) {
  auto* c = contextOf(ctx);
  if (!c) return nullptr;
  auto* fb = new (std::nothrow) MVGframebuffer{};
  if (!fb) return nullptr;
  fb->image = c->renderCreateTexture(NVG_TEXTURE_RGBA, width, height, imageFlags | NVG_IMAGE_PREMULTIPLIED, nullptr);
  if (fb->image == 0) {
    delete fb;
    return nullptr;
  }
  fb->ctx = ctx;
  return fb;
}

void mvgBindFramebuffer(MVGframebuffer* fb) { mvg::gBinding.store(fb); }

void mvgDeleteFramebuffer(MVGframebuffer* fb) {
  if (!fb) return;
  MVGframebuffer* expected = fb;
  mvg::gBinding.compare_exchange_strong(expected, nullptr);
  if (fb->image > 0)
    if (auto* c = contextOf(fb->ctx)) c->renderDeleteTexture(fb->image);
  delete fb;
}

void mvgReadPixels(NVGcontext* ctx, int image, int x, int y, int width, int height, void* data) {
  if (auto* c = contextOf(ctx)) c->readPixels(image, x, y, width, height, data);
}

std::shared_ptr<mtl::Texture> mvgImageHandle(NVGcontext* ctx, int image) {
  auto* c = contextOf(ctx);
  return c ? c->imageHandle(image) : nullptr;
}

int mvgCreateImageFromHandle(NVGcontext* ctx, std::shared_ptr<mtl::Texture> texture, int imageFlags) {
  auto* c = contextOf(ctx);
  return c ? c->createImageFromHandle(std::move(texture), imageFlags) : 0;
}

std::shared_ptr<mtl::Device> mvgDevice(NVGcontext* ctx) {
  auto* c = contextOf(ctx);
  return c && c->metalLayer() ? c->metalLayer()->device() : nullptr;
}

std::shared_ptr<mtl::CommandQueue> mvgCommandQueue(NVGcontext* ctx) {
  auto* c = contextOf(ctx);
  return c ? c->commandQueue() : nullptr;
}

int mvgTarget() { return 1; }
