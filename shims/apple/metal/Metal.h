#pragma once
// Stand-in for the part of Metal and QuartzCore that the NanoVG renderer calls, as a small
// software GPU: a device with its library of three shader functions (written in C++), command
// queues and buffers with completion handlers, buffers, textures with real pixels (RGBA8, BGRA8,
// R8, stencil 8), samplers, pipeline and depth-stencil states, a render encoder that rasterises
// triangle lists and strips with stencil tests and blending, a blit encoder, and a layer that
// hands out drawables.
//
// Threads: by default a committed command buffer runs at once on the committing thread and its
// completion handlers run there before `commit` returns (deterministic pixels). A device made in
// worker-thread mode (MetalTesting.h) runs command buffers in commit order on a thread of its own,
// which also calls the completion handlers; texture uploads and read-backs then wait until that
// thread has finished everything committed before them.
//
// Failures: creation calls answer null (a size of 0 or above 16384, an unknown pixel format, no
// memory); `newLibraryWithData` and `newRenderPipelineState` also fill an error with a readable
// description. Draws with missing state draw nothing. Nothing throws.
//
// Objects are reference counted with std::shared_ptr, as the platform's objects are: a command
// buffer keeps every buffer, texture and state it uses alive until it has completed. A layer
// must outlive the drawables it handed out (their presentation writes into it).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mtl {

class Buffer;
class CommandBuffer;
class Device;
class Executor;
class Function;
class Texture;

// ---- enumerations (values as the platform numbers them) ----
enum class PixelFormat : uint32_t { Invalid = 0, R8Unorm = 10, RGBA8Unorm = 70, BGRA8Unorm = 80, Stencil8 = 253 };
enum class StorageMode : uint32_t { Shared = 0, Managed = 1, Private = 2 };
enum ResourceOptions : uint32_t {
  ResourceCPUCacheModeDefaultCache = 0,
  ResourceCPUCacheModeWriteCombined = 1,
  ResourceStorageModeShared = 0,
  ResourceStorageModePrivate = 2u << 4,
};
enum TextureUsage : uint32_t { TextureUsageShaderRead = 1, TextureUsageShaderWrite = 2, TextureUsageRenderTarget = 4 };
enum class SamplerMinMagFilter : uint32_t { Nearest = 0, Linear = 1 };
enum class SamplerMipFilter : uint32_t { NotMipmapped = 0, Nearest = 1, Linear = 2 };
enum class SamplerAddressMode : uint32_t { ClampToEdge = 0, Repeat = 2 };
enum class BlendFactor : uint32_t {
  Zero = 0, One = 1, SourceColor = 2, OneMinusSourceColor = 3, SourceAlpha = 4, OneMinusSourceAlpha = 5,
  DestinationColor = 6, OneMinusDestinationColor = 7, DestinationAlpha = 8, OneMinusDestinationAlpha = 9,
  SourceAlphaSaturated = 10,
};
enum class BlendOperation : uint32_t { Add = 0 };
enum ColorWriteMask : uint32_t { ColorWriteMaskNone = 0, ColorWriteMaskAll = 0xF };
enum class CompareFunction : uint32_t { Never = 0, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
enum class StencilOperation : uint32_t { Keep = 0, Zero, Replace, IncrementClamp, DecrementClamp, Invert, IncrementWrap, DecrementWrap };
enum class CullMode : uint32_t { None = 0, Front = 1, Back = 2 };
enum class Winding : uint32_t { Clockwise = 0, CounterClockwise = 1 };
// Only the triangle kinds draw; the others are accepted and draw nothing.
enum class PrimitiveType : uint32_t { Point = 0, Line, LineStrip, Triangle, TriangleStrip };
enum class IndexType : uint32_t { UInt16 = 0, UInt32 = 1 };
enum class LoadAction : uint32_t { DontCare = 0, Load = 1, Clear = 2 };
enum class StoreAction : uint32_t { DontCare = 0, Store = 1 };
enum class VertexFormat : uint32_t { Invalid = 0, Float2 = 29 };
enum class VertexStepFunction : uint32_t { Constant = 0, PerVertex = 1 };
// Error: the buffer ended without all of its work done (memory ran out while it ran); its
// completion handlers still run.
enum class CommandBufferStatus : uint32_t { NotEnqueued = 0, Enqueued, Committed, Scheduled, Completed, Error };

// ---- plain records ----
struct Origin { size_t x = 0, y = 0, z = 0; };
struct Size { size_t width = 0, height = 0, depth = 1; };
struct Region {
  Origin origin;
  Size size;
  static Region make2D(size_t x, size_t y, size_t width, size_t height) { return {{x, y, 0}, {width, height, 1}}; }
};
struct ClearColor { double red = 0, green = 0, blue = 0, alpha = 1; };
struct Viewport { double originX = 0, originY = 0, width = 0, height = 0, znear = 0, zfar = 1; };
struct DrawableSize { double width = 0, height = 0; };

struct Error { std::string localizedDescription; };

struct TextureDescriptor {
  PixelFormat pixelFormat = PixelFormat::RGBA8Unorm;
  size_t width = 1, height = 1;
  size_t mipmapLevelCount = 1;
  uint32_t usage = TextureUsageShaderRead;
  StorageMode storageMode = StorageMode::Managed;
  static TextureDescriptor texture2DDescriptor(PixelFormat format, size_t width, size_t height, bool mipmapped);
};

struct SamplerDescriptor {
  SamplerMinMagFilter minFilter = SamplerMinMagFilter::Nearest;
  SamplerMinMagFilter magFilter = SamplerMinMagFilter::Nearest;
  SamplerMipFilter mipFilter = SamplerMipFilter::NotMipmapped;
  SamplerAddressMode sAddressMode = SamplerAddressMode::ClampToEdge;
  SamplerAddressMode tAddressMode = SamplerAddressMode::ClampToEdge;
};

struct VertexAttributeDescriptor {
  VertexFormat format = VertexFormat::Invalid;
  size_t offset = 0;
  size_t bufferIndex = 0;
};
struct VertexBufferLayoutDescriptor {
  size_t stride = 0;
  VertexStepFunction stepFunction = VertexStepFunction::PerVertex;
  size_t stepRate = 1;
};
struct VertexDescriptor {
  static constexpr int kMaxAttributes = 4;
  static constexpr int kMaxLayouts = 4;
  VertexAttributeDescriptor attributes[kMaxAttributes];
  VertexBufferLayoutDescriptor layouts[kMaxLayouts];
};

struct RenderPipelineColorAttachmentDescriptor {
  PixelFormat pixelFormat = PixelFormat::Invalid;
  bool blendingEnabled = false;
  BlendFactor sourceRGBBlendFactor = BlendFactor::One;
  BlendFactor destinationRGBBlendFactor = BlendFactor::Zero;
  BlendFactor sourceAlphaBlendFactor = BlendFactor::One;
  BlendFactor destinationAlphaBlendFactor = BlendFactor::Zero;
  BlendOperation rgbBlendOperation = BlendOperation::Add;
  BlendOperation alphaBlendOperation = BlendOperation::Add;
  uint32_t writeMask = ColorWriteMaskAll;
};
struct RenderPipelineDescriptor {
  std::shared_ptr<Function> vertexFunction;
  std::shared_ptr<Function> fragmentFunction;  // may be null: stencil-only drawing
  VertexDescriptor vertexDescriptor;
  RenderPipelineColorAttachmentDescriptor colorAttachments[1];
  PixelFormat stencilAttachmentPixelFormat = PixelFormat::Invalid;
};

struct StencilDescriptor {
  CompareFunction stencilCompareFunction = CompareFunction::Always;
  StencilOperation stencilFailureOperation = StencilOperation::Keep;
  StencilOperation depthFailureOperation = StencilOperation::Keep;
  StencilOperation depthStencilPassOperation = StencilOperation::Keep;
  uint32_t readMask = 0xFF;
  uint32_t writeMask = 0xFF;
};
// Without a descriptor for a face, that face is neither tested nor written.
struct DepthStencilDescriptor {
  CompareFunction depthCompareFunction = CompareFunction::Always;
  bool depthWriteEnabled = false;
  std::optional<StencilDescriptor> frontFaceStencil;
  std::optional<StencilDescriptor> backFaceStencil;
};

struct RenderPassColorAttachmentDescriptor {
  std::shared_ptr<Texture> texture;
  LoadAction loadAction = LoadAction::DontCare;
  StoreAction storeAction = StoreAction::Store;
  ClearColor clearColor;
};
struct RenderPassStencilAttachmentDescriptor {
  std::shared_ptr<Texture> texture;
  LoadAction loadAction = LoadAction::DontCare;
  StoreAction storeAction = StoreAction::DontCare;
  uint32_t clearStencil = 0;
};
struct RenderPassDescriptor {
  RenderPassColorAttachmentDescriptor colorAttachments[1];
  RenderPassStencilAttachmentDescriptor stencilAttachment;
};

// ---- objects ----
class Object {
public:
  virtual ~Object() = default;
};

class Buffer : public Object {
public:
  Buffer(std::shared_ptr<Executor> exec, size_t length, uint32_t options);
  void* contents() { return data_.get(); }
  size_t length() const { return length_; }

private:
  std::shared_ptr<Executor> exec_;
  std::unique_ptr<std::byte[]> data_;
  size_t length_;
};

class Texture : public Object {
public:
  Texture(std::shared_ptr<Executor> exec, const TextureDescriptor& desc, std::vector<std::vector<uint8_t>> levels);
  PixelFormat pixelFormat() const { return desc_.pixelFormat; }
  size_t width() const { return desc_.width; }
  size_t height() const { return desc_.height; }
  size_t mipmapLevelCount() const { return desc_.mipmapLevelCount; }
  uint32_t usage() const { return desc_.usage; }
  StorageMode storageMode() const { return desc_.storageMode; }
  // Copies rows into (from) a region of one mipmap level; a region outside the level, a
  // short row stride or private storage copies nothing. Waits for committed GPU work first.
  void replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes, size_t bytesPerRow);
  void getBytes(void* bytes, size_t bytesPerRow, const Region& region, size_t mipmapLevel) const;

  // GPU side (used while command buffers run).
  size_t bytesPerPixel() const;
  size_t levelWidth(size_t level) const;
  size_t levelHeight(size_t level) const;
  uint8_t* levelData(size_t level) { return levels_[level].data(); }
  const uint8_t* levelData(size_t level) const { return levels_[level].data(); }

private:
  bool regionFits(const Region& region, size_t level, size_t bytesPerRow) const;
  std::shared_ptr<Executor> exec_;
  TextureDescriptor desc_;
  std::vector<std::vector<uint8_t>> levels_;
};

class SamplerState : public Object {
public:
  explicit SamplerState(const SamplerDescriptor& d) : desc_(d) {}
  const SamplerDescriptor& descriptor() const { return desc_; }

private:
  SamplerDescriptor desc_;
};

class Function : public Object {
public:
  enum class Kind { Vertex, Fragment };
  Function(std::string name, Kind kind, const void* entry) : name_(std::move(name)), kind_(kind), entry_(entry) {}
  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }
  const void* entry() const { return entry_; }

private:
  std::string name_;
  Kind kind_;
  const void* entry_;
};

class Library : public Object {
public:
  explicit Library(std::vector<std::string> names) : names_(std::move(names)) {}
  // Null when the library holds no function of that name.
  std::shared_ptr<Function> newFunctionWithName(const std::string& name) const;
  const std::vector<std::string>& functionNames() const { return names_; }

private:
  std::vector<std::string> names_;
};

class RenderPipelineState : public Object {
public:
  explicit RenderPipelineState(const RenderPipelineDescriptor& d) : desc_(d) {}
  const RenderPipelineDescriptor& descriptor() const { return desc_; }

private:
  RenderPipelineDescriptor desc_;
};

class DepthStencilState : public Object {
public:
  explicit DepthStencilState(const DepthStencilDescriptor& d) : desc_(d) {}
  const DepthStencilDescriptor& descriptor() const { return desc_; }

private:
  DepthStencilDescriptor desc_;
};

// One recorded command of an encoder (internal record, replayed when the buffer runs).
struct Command;

class RenderCommandEncoder {
public:
  void setCullMode(CullMode mode);
  void setFrontFacingWinding(Winding winding);
  void setStencilReferenceValue(uint32_t value);
  void setViewport(const Viewport& viewport);
  void setVertexBuffer(std::shared_ptr<Buffer> buffer, size_t offset, size_t index);
  void setFragmentBuffer(std::shared_ptr<Buffer> buffer, size_t offset, size_t index);
  void setFragmentBufferOffset(size_t offset, size_t index);
  void setFragmentTexture(std::shared_ptr<Texture> texture, size_t index);  // null samples 0
  void setFragmentSamplerState(std::shared_ptr<SamplerState> sampler, size_t index);
  void setRenderPipelineState(std::shared_ptr<RenderPipelineState> state);
  void setDepthStencilState(std::shared_ptr<DepthStencilState> state);
  void drawPrimitives(PrimitiveType type, size_t vertexStart, size_t vertexCount);
  void drawIndexedPrimitives(PrimitiveType type, size_t indexCount, IndexType indexType,
                             std::shared_ptr<Buffer> indexBuffer, size_t indexBufferOffset);
  void endEncoding();

  struct Pass;  // internal
  explicit RenderCommandEncoder(std::shared_ptr<Pass> pass) : pass_(std::move(pass)) {}

private:
  void push(Command&& c);
  std::shared_ptr<Pass> pass_;
  bool ended_ = false;
};

class BlitCommandEncoder {
public:
  void synchronizeResource(std::shared_ptr<Object> resource);
  void copyFromBuffer(std::shared_ptr<Buffer> source, size_t sourceOffset, size_t sourceBytesPerRow,
                      size_t sourceBytesPerImage, Size sourceSize, std::shared_ptr<Texture> destination,
                      size_t destinationSlice, size_t destinationLevel, Origin destinationOrigin);
  void generateMipmapsForTexture(std::shared_ptr<Texture> texture);
  void endEncoding();

  struct Pass;  // internal
  explicit BlitCommandEncoder(std::shared_ptr<Pass> pass) : pass_(std::move(pass)) {}

private:
  std::shared_ptr<Pass> pass_;
  bool ended_ = false;
};

class Drawable;

class CommandBuffer : public Object, public std::enable_shared_from_this<CommandBuffer> {
public:
  using Handler = std::function<void(CommandBuffer&)>;
  explicit CommandBuffer(std::shared_ptr<Executor> exec);
  ~CommandBuffer() override;

  void enqueue();
  void addCompletedHandler(Handler handler);
  void commit();  // a second commit does nothing
  // Both return at once for a buffer that was never committed.
  void waitUntilScheduled();
  void waitUntilCompleted();
  void presentDrawable(std::shared_ptr<Drawable> drawable);
  // Null when the pass has no colour texture or an attachment has the wrong pixel format.
  std::shared_ptr<RenderCommandEncoder> renderCommandEncoderWithDescriptor(const RenderPassDescriptor& desc);
  std::shared_ptr<BlitCommandEncoder> blitCommandEncoder();
  CommandBufferStatus status() const;

  struct Work;  // internal: the passes and presents recorded so far
  Work& work() { return *work_; }

private:
  friend class Executor;
  std::shared_ptr<Executor> exec_;
  std::unique_ptr<Work> work_;
};

class CommandQueue : public Object {
public:
  explicit CommandQueue(std::shared_ptr<Executor> exec) : exec_(std::move(exec)) {}
  std::shared_ptr<CommandBuffer> commandBuffer();

private:
  std::shared_ptr<Executor> exec_;
};

class Device : public Object {
public:
  enum class Execution { Synchronous, WorkerThread };
  explicit Device(Execution execution);
  ~Device() override;

  // A library blob is the bytes "MTLB" followed by zero-terminated function names and an
  // empty name; every name must be a function this GPU has compiled in.
  std::shared_ptr<class Library> newLibraryWithData(const void* data, size_t length, std::optional<Error>* error);
  std::shared_ptr<CommandQueue> newCommandQueue();
  std::shared_ptr<Buffer> newBufferWithLength(size_t length, uint32_t options);
  std::shared_ptr<Texture> newTextureWithDescriptor(const TextureDescriptor& desc);
  std::shared_ptr<SamplerState> newSamplerStateWithDescriptor(const SamplerDescriptor& desc);
  std::shared_ptr<RenderPipelineState> newRenderPipelineStateWithDescriptor(const RenderPipelineDescriptor& desc,
                                                                            std::optional<Error>* error);
  std::shared_ptr<DepthStencilState> newDepthStencilStateWithDescriptor(const DepthStencilDescriptor& desc);

  Executor& executor() { return *exec_; }
  long renderPipelineStatesBuilt() const { return pipelinesBuilt_; }

private:
  std::shared_ptr<Executor> exec_;
  long pipelinesBuilt_ = 0;
};

std::shared_ptr<Device> MTLCreateSystemDefaultDevice();

// ---- QuartzCore: the layer and its drawables ----
class MetalLayer;

class Drawable : public Object {
public:
  Drawable(MetalLayer* layer, std::shared_ptr<Texture> texture) : layer_(layer), texture_(std::move(texture)) {}
  const std::shared_ptr<Texture>& texture() const { return texture_; }
  void present();  // makes the texture the layer's front picture

private:
  MetalLayer* layer_;
  std::shared_ptr<Texture> texture_;
};

class MetalLayer {
public:
  std::shared_ptr<Device> device() const { return device_; }
  void setDevice(std::shared_ptr<Device> d) { device_ = std::move(d); }
  bool opaque() const { return opaque_; }
  void setOpaque(bool v) { opaque_ = v; }
  PixelFormat pixelFormat() const { return pixelFormat_; }
  void setPixelFormat(PixelFormat f) { pixelFormat_ = f; }
  bool framebufferOnly() const { return framebufferOnly_; }
  void setFramebufferOnly(bool v) { framebufferOnly_ = v; }
  double contentsScale() const { return contentsScale_; }
  void setContentsScale(double s) { contentsScale_ = s; }
  DrawableSize drawableSize() const { return drawableSize_; }
  void setDrawableSize(DrawableSize s) { drawableSize_ = s; }
  bool presentsWithTransaction() const { return presentsWithTransaction_; }
  void setPresentsWithTransaction(bool v) { presentsWithTransaction_ = v; }
  // A zeroed drawable of the drawable size; null without a device or when a side is 0.
  std::shared_ptr<Drawable> nextDrawable();
  // The picture shown: the texture of the last presented drawable (null before the first).
  std::shared_ptr<Texture> frontTexture() const;
  void setFrontTexture(std::shared_ptr<Texture> t);

private:
  std::shared_ptr<Device> device_;
  bool opaque_ = true;
  PixelFormat pixelFormat_ = PixelFormat::BGRA8Unorm;
  bool framebufferOnly_ = true;
  double contentsScale_ = 1.0;
  DrawableSize drawableSize_;
  bool presentsWithTransaction_ = false;
  mutable std::mutex frontMutex_;  // the front picture is set on the GPU thread
  std::shared_ptr<Texture> front_;
};

}  // namespace mtl
