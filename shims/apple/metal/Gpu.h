#pragma once
// Inside the software GPU: the recorded commands of encoders, the executor that runs committed
// command buffers (inline or on its worker thread), and the interface between the rasteriser
// and the compiled-in shader functions. Not part of what callers of the stand-in see.
// The rasteriser's fast paths are specialised to the vector renderer's shader (the fragment
// functions of render/metal): they prove, per run, that the general shading would give the
// same bytes, and fall back to it otherwise.
// Threads: the Executor may be called from any thread; a render pass runs on whichever thread
// executes its command buffer and touches only the resources that buffer holds.
// Failures: a command buffer that runs short of memory while it executes ends with the status
// Error (what it drew so far stays) and still calls its handlers.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <thread>
#include <variant>

#include "shims/apple/metal/Metal.h"

namespace mtl {

struct Command {
  enum class Op : uint8_t {
    SetCull, SetWinding, SetStencilRef, SetViewport, SetVertexBuffer, SetFragmentBuffer,
    SetFragmentBufferOffset, SetFragmentTexture, SetFragmentSampler, SetPipeline, SetDepthStencil,
    Draw, DrawIndexed,
  };
  Op op = Op::Draw;
  uint32_t index = 0;  // binding slot, or the primitive type of a draw
  uint64_t a = 0, b = 0, c = 0;
  double viewport[4] = {0, 0, 0, 0};
  std::shared_ptr<Object> object;
};

struct RenderCommandEncoder::Pass {
  RenderPassDescriptor desc;
  std::vector<Command> commands;
};

struct BlitCommandEncoder::Pass {
  struct Copy {
    std::shared_ptr<Buffer> source;
    size_t sourceOffset, sourceBytesPerRow;
    Size size;
    std::shared_ptr<Texture> destination;
    size_t level;
    Origin origin;
  };
  struct Mipmaps { std::shared_ptr<Texture> texture; };
  struct Sync { std::shared_ptr<Object> resource; };
  std::vector<std::variant<Copy, Mipmaps, Sync>> ops;
};

struct CommandBuffer::Work {
  std::vector<std::variant<std::shared_ptr<RenderCommandEncoder::Pass>, std::shared_ptr<BlitCommandEncoder::Pass>>> passes;
  std::vector<std::shared_ptr<Drawable>> presents;
  std::vector<Handler> handlers;
  CommandBufferStatus status = CommandBufferStatus::NotEnqueued;  // under the executor's mutex
};

// Runs committed command buffers in commit order. Synchronous: on the committing thread.
// Worker thread: on a thread that keeps a reference to this executor until it has drained.
class Executor : public std::enable_shared_from_this<Executor> {
public:
  explicit Executor(bool threaded) : threaded_(threaded) {}
  bool threaded() const { return threaded_; }
  void start();     // threaded only: starts the worker
  void shutdown();  // threaded only: lets the worker drain and end; joins it unless called on it

  void commit(const std::shared_ptr<CommandBuffer>& cb);
  void waitUntil(const CommandBuffer& cb, CommandBufferStatus status);
  CommandBufferStatus status(const CommandBuffer& cb);
  void setStatus(CommandBuffer& cb, CommandBufferStatus status);
  // Waits until everything committed so far has completed (no wait on the worker itself).
  void waitIdle();
  void pause();
  void resume();

private:
  void run(const std::shared_ptr<CommandBuffer>& cb);
  void workerLoop();

  const bool threaded_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::shared_ptr<CommandBuffer>> pending_;
  long inFlight_ = 0;
  bool paused_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

// Executes one recorded render pass: loads, replays the commands and rasterises.
void executeRenderPass(RenderCommandEncoder::Pass& pass);

namespace gpu {

constexpr int kMaxVaryings = 4;
constexpr int kMaxBindings = 4;

// A bound buffer as a shader sees it: bytes from the bound offset to the buffer's end.
struct BufferView {
  const std::byte* data = nullptr;
  size_t size = 0;
};

struct VertexIn {
  float attributes[VertexDescriptor::kMaxAttributes][2];
  const BufferView* buffers;  // kMaxBindings vertex buffers
};
struct VertexOut {
  float position[2];  // clip space, w = 1
  float varyings[kMaxVaryings];
};
using VertexFunction = void (*)(const VertexIn&, VertexOut&);

struct FragmentIn {
  float varyings[kMaxVaryings];
  const BufferView* buffers;               // kMaxBindings fragment buffers
  const Texture* const* textures;          // kMaxBindings, null samples 0
  const SamplerDescriptor* const* samplers;
};
// Writes premultiplied colour; false discards the fragment.
using FragmentFunction = bool (*)(const FragmentIn&, float out[4]);

// Samples level 0: R8 reads (r, 0, 0, 1); linear filtering takes 4 taps at (u w - 0.5, v h - 0.5),
// nearest the texel floor(u w). A missing texture or a non-finite coordinate gives 0.
void sample(const Texture* texture, const SamplerDescriptor* sampler, float u, float v, float out[4]);

struct CompiledFunction {
  const char* name;
  Function::Kind kind;
  const void* entry;
};
// The shader functions compiled into this GPU; null for an unknown name.
const CompiledFunction* findCompiledFunction(std::string_view name);

// Which compiled fragment function an entry point is: the renderer's "fragmentShader"
// (Plain), "fragmentShaderAA" (AntiAlias), or any other.
enum class FragmentKind { Plain, AntiAlias, Other };
FragmentKind fragmentKindOf(const void* entry);

}  // namespace gpu
}  // namespace mtl
