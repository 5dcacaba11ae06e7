#pragma once
// The submitter half of the Metal back end: buffer sets of frames in flight, textures and
// samplers, pipeline and depth-stencil states, and the flush that encodes the recorded calls
// into one render pass. Internal to render/metal (tests look inside).
//
// Threads: everything runs on the drawing thread except the completion handler, which resets
// its buffer set under the set's mutex and signals the semaphore.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "render/metal/Recorder.h"
#include "render/metal/nanovg_mtl.h"
#include "shims/apple/metal/Metal.h"

namespace mvg {

struct MVGtexture {
  int id = 0;  // 0: free slot
  int type = 0;  // NanoVG texture type
  int flags = 0;
  int width = 0, height = 0;
  std::shared_ptr<mtl::Texture> tex;
  std::shared_ptr<mtl::SamplerState> sampler;
};

struct MVGbuffers {
  std::mutex mutex;  // guards isBusy, commandBuffer, image and the completion reset
  std::shared_ptr<mtl::CommandBuffer> commandBuffer;
  bool isBusy = false;
  int image = 0;
  std::shared_ptr<mtl::Buffer> viewSizeBuffer;
  std::shared_ptr<mtl::Texture> stencilTexture;
  FrameArrays arrays;
  std::shared_ptr<mtl::Buffer> indexBuffer, vertBuffer, uniformBuffer;
};

class MVGContext final : public Recorder {
public:
  MVGContext(int flags, mtl::MetalLayer* layer);
  ~MVGContext() override;

  // Device and library; false (with the debug line) when the library cannot be made.
  bool loadLibrary();

  // NanoVG callbacks.
  int renderCreate();
  int renderCreateTexture(int type, int w, int h, int imageFlags, const unsigned char* data);
  int renderDeleteTexture(int image);
  int renderUpdateTexture(int image, int x, int y, int w, int h, const unsigned char* data);
  int renderGetTextureSize(int image, int* w, int* h);
  void renderViewport(float width, float height, float devicePixelRatio);
  void renderCancel();
  void renderFlush();

  // Public operations behind nanovg_mtl.h.
  void clearWithColor(NVGcolor color);
  void readPixels(int image, int x, int y, int w, int h, void* data);
  std::shared_ptr<mtl::Texture> imageHandle(int image);
  int createImageFromHandle(std::shared_ptr<mtl::Texture> texture, int imageFlags);
  void waitForImage(int image);

  MVGtexture* findTexture(int image);
  MVGtexture* allocTexture();

  // Inspection.
  NVGcontext* nvg = nullptr;  // set once NanoVG has made the context
  mtl::MetalLayer* metalLayer() const { return layer_; }
  const std::shared_ptr<mtl::Device>& device() const { return device_; }
  const std::shared_ptr<mtl::CommandQueue>& commandQueue() const { return queue_; }
  int maxBuffers() const { return maxBuffers_; }
  MVGbuffers* currentBuffers() const { return current_; }
  const std::vector<std::unique_ptr<MVGbuffers>>& bufferSets() const { return cbuffers_; }
  std::pair<unsigned, unsigned> viewPortSize() const { return {viewW_, viewH_}; }

protected:
  void* growArray(Array which, size_t bytes, size_t keep) override;
  const ImageInfo* findImage(int image) const override;

private:
  // Encodes the set's calls into cb, hands the set to cb's completion and commits it.
  void encodeAndCommit(MVGbuffers& b, const std::shared_ptr<mtl::CommandBuffer>& cb, mtl::RenderCommandEncoder& enc,
                       const std::shared_ptr<mtl::Texture>& color, const std::shared_ptr<mtl::Drawable>& drawable,
                       int image);
  void cancelRecording();             // reset and signal a set that is busy and not yet committed
  bool checkError(const std::optional<mtl::Error>& error, const char* message) const;
  bool updateRenderPipelineStatesForBlend(const Blend& blend, mtl::PixelFormat format);
  bool updateStencilTextureToSize(size_t w, size_t h);
  std::shared_ptr<mtl::RenderCommandEncoder> renderCommandEncoderWithColorTexture(const std::shared_ptr<mtl::CommandBuffer>& cb,
                                                                                const std::shared_ptr<mtl::Texture>& color);
  void setUniforms(mtl::RenderCommandEncoder& enc, int uniformOffset, int image);
  void drawFill(mtl::RenderCommandEncoder& enc, const Call& call);
  void drawConvexFill(mtl::RenderCommandEncoder& enc, const Call& call);
  void drawStroke(mtl::RenderCommandEncoder& enc, const Call& call);
  void drawTriangles(mtl::RenderCommandEncoder& enc, const Call& call);

  mtl::MetalLayer* layer_;
  std::shared_ptr<mtl::Device> device_;
  std::shared_ptr<mtl::Library> library_;
  std::shared_ptr<mtl::CommandQueue> queue_;
  std::shared_ptr<mtl::Function> vertexFunction_, fragmentFunction_;
  mtl::VertexDescriptor vertexDescriptor_;
  std::shared_ptr<mtl::SamplerState> pseudoSampler_;
  std::shared_ptr<mtl::RenderPipelineState> pipelineState_, stencilOnlyPipelineState_;
  Blend blendFunc_;
  mtl::PixelFormat pipelinePixelFormat_ = mtl::PixelFormat::Invalid;
  std::shared_ptr<mtl::DepthStencilState> defaultStencilState_, fillShapeStencilState_, fillAntiAliasStencilState_,
      fillStencilState_, strokeShapeStencilState_, strokeAntiAliasStencilState_, strokeClearStencilState_;

  unsigned viewW_ = 0, viewH_ = 0;
  mtl::ClearColor clearColor_;
  bool clearBufferOnFlush_ = false;

  std::deque<MVGtexture> textures_;  // stable addresses; slots are reused
  int textureId_ = 0;
  mutable ImageInfo imageInfo_;

  std::vector<std::unique_ptr<MVGbuffers>> cbuffers_;
  MVGbuffers* current_ = nullptr;
  int maxBuffers_ = 0;
  std::shared_ptr<std::counting_semaphore<>> semaphore_;  // shared with completion handlers
};

// The context behind a NanoVG context made by nvgCreateMTL.
MVGContext* contextOf(NVGcontext* ctx);

}  // namespace mvg
