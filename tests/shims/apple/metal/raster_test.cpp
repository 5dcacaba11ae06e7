// The software GPU on its own: the scan converter's shared-edge rule, facing and culling,
// vertices it must drop, clipping, stencil and blending, sampling, the library format and
// resource bounds. Draws use the compiled-in shader functions with hand-made uniforms.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "shims/apple/metal/Gpu.h"
#include "shims/apple/metal/Metal.h"

namespace {

using namespace mtl;

// The library blob the renderer ships.
const char kBlob[] = "MTLB" "vertexShader\0" "fragmentShader\0" "fragmentShaderAA\0";

// A solid colour in the fragment uniform layout: gradient type with equal colours, no scissor.
std::vector<std::byte> solidUniforms(const float rgba[4]) {
  std::vector<std::byte> u(256);
  auto put = [&](size_t offset, float v) { std::memcpy(u.data() + offset, &v, 4); };
  put(48, 1.f);  // paint matrix: identity columns
  put(68, 1.f);
  put(88, 1.f);
  for (int c = 0; c < 4; ++c) {
    put(96 + 4 * c, rgba[c]);
    put(112 + 4 * c, rgba[c]);
  }
  put(128, 1.f);  // scissor extent and scale (1, 1): no scissor
  put(132, 1.f);
  put(136, 1.f);
  put(140, 1.f);
  put(156, 1.f);  // feather
  put(164, -1.f);  // stroke threshold
  return u;
}

struct Gpu {
  std::shared_ptr<Device> device = MTLCreateSystemDefaultDevice();
  std::shared_ptr<Library> library;
  std::shared_ptr<CommandQueue> queue = device->newCommandQueue();
  std::shared_ptr<Texture> color, stencilTex;
  std::shared_ptr<Buffer> viewSize;
  int w, h;

  Gpu(int width, int height) : w(width), h(height) {
    std::optional<Error> error;
    library = device->newLibraryWithData(kBlob, sizeof kBlob, &error);
    color = device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(PixelFormat::RGBA8Unorm, w, h, false));
    auto sd = TextureDescriptor::texture2DDescriptor(PixelFormat::Stencil8, w, h, false);
    sd.storageMode = StorageMode::Private;
    stencilTex = device->newTextureWithDescriptor(sd);
    viewSize = device->newBufferWithLength(8, 0);
    const float size[2] = {float(w), float(h)};
    std::memcpy(viewSize->contents(), size, 8);
  }

  std::shared_ptr<RenderPipelineState> pipeline(BlendFactor src, BlendFactor dst, bool fragment = true) {
    RenderPipelineDescriptor d;
    d.vertexFunction = library->newFunctionWithName("vertexShader");
    if (fragment) d.fragmentFunction = library->newFunctionWithName("fragmentShader");
    d.vertexDescriptor.attributes[0] = {VertexFormat::Float2, 0, 0};
    d.vertexDescriptor.attributes[1] = {VertexFormat::Float2, 8, 0};
    d.vertexDescriptor.layouts[0].stride = 16;
    auto& ca = d.colorAttachments[0];
    ca.pixelFormat = PixelFormat::RGBA8Unorm;
    ca.blendingEnabled = true;
    ca.sourceRGBBlendFactor = ca.sourceAlphaBlendFactor = src;
    ca.destinationRGBBlendFactor = ca.destinationAlphaBlendFactor = dst;
    if (!fragment) ca.writeMask = ColorWriteMaskNone;
    d.stencilAttachmentPixelFormat = PixelFormat::Stencil8;
    return device->newRenderPipelineStateWithDescriptor(d, nullptr);
  }

  std::shared_ptr<Buffer> vertices(const std::vector<float>& xy) {
    auto b = device->newBufferWithLength(xy.size() / 2 * 16, 0);
    auto* p = static_cast<float*>(b->contents());
    for (size_t i = 0; i < xy.size() / 2; ++i) {
      p[i * 4] = xy[i * 2];
      p[i * 4 + 1] = xy[i * 2 + 1];
      p[i * 4 + 2] = 0.5f;
      p[i * 4 + 3] = 1.f;
    }
    return b;
  }

  // A strip covering the whole target, drawn with a pipeline and uniforms.
  void fillTarget(RenderCommandEncoder& e, const std::shared_ptr<RenderPipelineState>& ps, const std::shared_ptr<Buffer>& u) {
    if (!wholeTarget) wholeTarget = vertices({0, float(h), 0, 0, float(w), float(h), float(w), 0});
    e.setVertexBuffer(wholeTarget, 0, 0);
    e.setRenderPipelineState(ps);
    e.setFragmentBuffer(u, 0, 0);
    e.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
  }
  std::shared_ptr<Buffer> wholeTarget;

  std::shared_ptr<Buffer> uniforms(const float rgba[4]) {
    auto u = solidUniforms(rgba);
    auto b = device->newBufferWithLength(u.size(), 0);
    std::memcpy(b->contents(), u.data(), u.size());
    return b;
  }

  // One pass: clear to zero, then `encode` records draws.
  template <class F>
  void pass(F&& encode, LoadAction load = LoadAction::Clear) {
    RenderPassDescriptor rp;
    rp.colorAttachments[0].texture = color;
    rp.colorAttachments[0].loadAction = load;
    rp.colorAttachments[0].clearColor = {0, 0, 0, 0};
    rp.stencilAttachment.texture = stencilTex;
    rp.stencilAttachment.loadAction = LoadAction::Clear;
    auto cb = queue->commandBuffer();
    auto enc = cb->renderCommandEncoderWithDescriptor(rp);
    ASSERT_TRUE(enc);
    enc->setVertexBuffer(viewSize, 0, 1);
    encode(*enc);
    enc->endEncoding();
    cb->commit();
    cb->waitUntilCompleted();
  }

  std::vector<uint8_t> pixels() {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    color->getBytes(px.data(), w * 4, Region::make2D(0, 0, w, h), 0);
    return px;
  }
  const uint8_t* at(const std::vector<uint8_t>& px, int x, int y) { return &px[(size_t(y) * w + x) * 4]; }
};

const float kOneStep[4] = {1.f / 255, 1.f / 255, 1.f / 255, 1.f / 255};
const float kWhite[4] = {1, 1, 1, 1};

TEST(Rasteriser, TrianglesSharingAnEdgeCoverEachPixelOnce) {
  Gpu g(64, 64);
  // A quad split along a diagonal that passes through pixel centres, added with One, One.
  auto verts = g.vertices({3, 5, 61, 5, 3, 59, 61, 5, 61, 59, 3, 59});
  auto ps = g.pipeline(BlendFactor::One, BlendFactor::One);
  auto u = g.uniforms(kOneStep);
  g.pass([&](RenderCommandEncoder& e) {
    e.setRenderPipelineState(ps);
    e.setVertexBuffer(verts, 0, 0);
    e.setFragmentBuffer(u, 0, 0);
    e.drawPrimitives(PrimitiveType::Triangle, 0, 6);
  });
  auto px = g.pixels();
  for (int y = 6; y < 58; ++y)
    for (int x = 4; x < 60; ++x) ASSERT_EQ(g.at(px, x, y)[0], 1) << x << ", " << y;
  EXPECT_EQ(g.at(px, 2, 30)[0], 0);
  EXPECT_EQ(g.at(px, 30, 4)[0], 0);
}

TEST(Rasteriser, BackFacingStripIsCulledAndFrontFacingStripDrawn) {
  struct Case {
    std::vector<float> strip;
    bool drawn;
  };
  // Facing is judged in clip space, where y grows upwards: (10,10) (10,50) (50,10) in window
  // pixels (y down) runs counter-clockwise there; with the first two swapped it runs clockwise.
  const Case cases[] = {
      {{10, 10, 10, 50, 50, 10, 50, 50}, true},
      {{10, 50, 10, 10, 50, 50, 50, 10}, false},
  };
  for (const Case& c : cases) {
    Gpu g(64, 64);
    auto verts = g.vertices(c.strip);
    auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
    auto u = g.uniforms(kWhite);
    g.pass([&](RenderCommandEncoder& e) {
      e.setCullMode(CullMode::Back);
      e.setFrontFacingWinding(Winding::CounterClockwise);
      e.setRenderPipelineState(ps);
      e.setVertexBuffer(verts, 0, 0);
      e.setFragmentBuffer(u, 0, 0);
      e.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
    });
    auto px = g.pixels();
    int covered = 0;
    for (size_t i = 0; i < px.size(); i += 4) covered += px[i] == 255;
    if (c.drawn)
      EXPECT_EQ(covered, 40 * 40);
    else
      EXPECT_EQ(covered, 0);
  }
}

TEST(Rasteriser, NonFiniteAndFarVerticesDropTheirTriangle) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float bad : {nan, inf, 1e30f, -1e30f}) {
    Gpu g(64, 64);
    auto verts = g.vertices({0, 0, bad, 10, 0, 64});
    auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
    auto u = g.uniforms(kWhite);
    const auto start = std::chrono::steady_clock::now();
    g.pass([&](RenderCommandEncoder& e) {
      e.setRenderPipelineState(ps);
      e.setVertexBuffer(verts, 0, 0);
      e.setFragmentBuffer(u, 0, 0);
      e.drawPrimitives(PrimitiveType::Triangle, 0, 3);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    auto px = g.pixels();
    for (uint8_t b : px) ASSERT_EQ(b, 0) << bad;
  }
}

TEST(Rasteriser, LargeTrianglesAndViewportsAreClippedToTheTarget) {
  Gpu g(32, 16);
  // A triangle reaching far outside (still within the 2^24 pixel limit), in a viewport four
  // times larger than the target: only the target's pixels are written.
  auto verts = g.vertices({-300000, -300000, 300000, -1000, -1000, 300000});
  auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
  auto u = g.uniforms(kWhite);
  g.pass([&](RenderCommandEncoder& e) {
    e.setViewport({-32, -16, 128, 64, 0, 1});
    e.setRenderPipelineState(ps);
    e.setVertexBuffer(verts, 0, 0);
    e.setFragmentBuffer(u, 0, 0);
    e.drawPrimitives(PrimitiveType::Triangle, 0, 3);
  });
  auto px = g.pixels();
  for (size_t i = 0; i < px.size(); i += 4) ASSERT_EQ(px[i], 255);
}

TEST(Rasteriser, StencilCountsWindingWithWrapAndCoversWhereNotZero) {
  Gpu g(32, 32);
  // Two overlapping front-facing quads (winding 2 where they overlap) and one back-facing
  // quad over the left part (back: decrement): cover where the count is not zero.
  auto quads = g.vertices({
      0, 32, 0, 0, 20, 32, 20, 0,  // front, x 0..20
      10, 32, 10, 0, 32, 32, 32, 0,  // front, x 10..32
      0, 0, 0, 32, 10, 0, 10, 32,  // back, x 0..10
  });
  auto cover = g.vertices({32, 32, 32, 0, 0, 32, 0, 0});
  auto stencilOnly = g.pipeline(BlendFactor::One, BlendFactor::Zero, false);
  auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
  auto u = g.uniforms(kWhite);
  DepthStencilDescriptor shape;
  StencilDescriptor front, back;
  front.depthStencilPassOperation = StencilOperation::IncrementWrap;
  back.depthStencilPassOperation = StencilOperation::DecrementWrap;
  shape.frontFaceStencil = front;
  shape.backFaceStencil = back;
  DepthStencilDescriptor coverDesc;
  StencilDescriptor ne;
  ne.stencilCompareFunction = CompareFunction::NotEqual;
  ne.stencilFailureOperation = ne.depthFailureOperation = ne.depthStencilPassOperation = StencilOperation::Zero;
  coverDesc.frontFaceStencil = ne;
  g.pass([&](RenderCommandEncoder& e) {
    e.setFrontFacingWinding(Winding::CounterClockwise);
    e.setFragmentBuffer(u, 0, 0);
    e.setDepthStencilState(g.device->newDepthStencilStateWithDescriptor(shape));
    e.setRenderPipelineState(stencilOnly);
    e.setVertexBuffer(quads, 0, 0);
    for (int q = 0; q < 3; ++q) e.drawPrimitives(PrimitiveType::TriangleStrip, q * 4, 4);
    e.setCullMode(CullMode::Back);
    e.setDepthStencilState(g.device->newDepthStencilStateWithDescriptor(coverDesc));
    e.setRenderPipelineState(ps);
    e.setVertexBuffer(cover, 0, 0);
    e.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
  });
  auto px = g.pixels();
  EXPECT_EQ(g.at(px, 5, 16)[0], 0);     // +1 - 1 = 0
  EXPECT_EQ(g.at(px, 15, 16)[0], 255);  // +2
  EXPECT_EQ(g.at(px, 25, 16)[0], 255);  // +1
}

TEST(Blending, FactorsAndStoreRounding) {
  struct Case {
    BlendFactor src, dst;
    float color[4];
    uint8_t expect[4];
  };
  // Destination: (255, 0, 0, 255) everywhere (drawn first with One, Zero).
  const Case cases[] = {
      {BlendFactor::One, BlendFactor::OneMinusSourceAlpha, {0, 0, 0.5f, 0.5f}, {128, 0, 128, 255}},
      {BlendFactor::Zero, BlendFactor::OneMinusSourceAlpha, {0, 0, 0, 1}, {0, 0, 0, 0}},  // destination-out
      {BlendFactor::SourceAlphaSaturated, BlendFactor::One, {0, 1, 0, 1}, {255, 0, 0, 255}},  // min(a, 1 - dst.a) = 0
      {BlendFactor::One, BlendFactor::Zero, {1.5f, -1, 0.5f, 0.25f}, {255, 0, 128, 64}},  // clamp, half up
  };
  for (const Case& c : cases) {
    Gpu g(8, 8);
    const float red[4] = {1, 0, 0, 1};
    auto base = g.uniforms(red);
    auto u = g.uniforms(c.color);
    auto opaque = g.pipeline(BlendFactor::One, BlendFactor::Zero);
    auto ps = g.pipeline(c.src, c.dst);
    g.pass([&](RenderCommandEncoder& e) {
      g.fillTarget(e, opaque, base);
      g.fillTarget(e, ps, u);
    });
    auto px = g.pixels();
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(g.at(px, 4, 4)[ch], c.expect[ch]) << "channel " << ch;
  }
}

TEST(Blending, NaNColourStoresZero) {
  Gpu g(8, 8);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float color[4] = {nan, 1, nan, 1};
  auto u = g.uniforms(color);
  auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
  g.pass([&](RenderCommandEncoder& e) { g.fillTarget(e, ps, u); });
  auto px = g.pixels();
  EXPECT_EQ(g.at(px, 3, 3)[0], 0);
  EXPECT_EQ(g.at(px, 3, 3)[1], 255);
}

TEST(Shading, ZeroFeatherGivesAHardEdgeInsteadOfNaN) {
  struct Case {
    float ex, ey;
    uint8_t red, blue;
  };
  // Inside the paint's box: inner colour; outside: outer; exactly on its edge (distance 0,
  // which a division by the feather would turn into NaN): inner.
  const Case cases[] = {{1000.f, 1000.f, 255, 0}, {0.f, 0.f, 0, 255}, {4.5f, 100.f, 255, 0}};
  for (const Case& c : cases) {
    Gpu g(8, 8);
    const float red[4] = {1, 0, 0, 1};
    auto u = g.uniforms(red);
    auto* bytes = static_cast<std::byte*>(u->contents());
    const float blue[4] = {0, 0, 1, 1}, zero = 0.f;
    std::memcpy(bytes + 112, blue, 16);  // outer colour
    std::memcpy(bytes + 144, &c.ex, 4);
    std::memcpy(bytes + 148, &c.ey, 4);
    std::memcpy(bytes + 156, &zero, 4);  // feather
    auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
    g.pass([&](RenderCommandEncoder& e) { g.fillTarget(e, ps, u); });
    auto px = g.pixels();
    EXPECT_EQ(g.at(px, 4, 4)[0], c.red) << c.ex;
    EXPECT_EQ(g.at(px, 4, 4)[2], c.blue) << c.ex;
    EXPECT_EQ(g.at(px, 4, 4)[3], 255) << c.ex;
  }
}

TEST(Resources, DrawsReadingPastTheirBuffersStopThere) {
  Gpu g(16, 16);
  auto verts = g.vertices({0, 16, 0, 0, 16, 16});
  auto indexes = g.device->newBufferWithLength(8, 0);  // two of three indexes
  const uint32_t idx[2] = {0, 1};
  std::memcpy(indexes->contents(), idx, 8);
  auto ps = g.pipeline(BlendFactor::One, BlendFactor::Zero);
  auto u = g.uniforms(kWhite);
  g.pass([&](RenderCommandEncoder& e) {
    e.setRenderPipelineState(ps);
    e.setVertexBuffer(verts, 0, 0);
    e.setFragmentBuffer(u, 0, 0);
    e.drawPrimitives(PrimitiveType::Triangle, 0, 300);            // vertices past the end
    e.drawIndexedPrimitives(PrimitiveType::Triangle, 3, IndexType::UInt32, indexes, 0);
    e.setFragmentBufferOffset(200, 0);                             // uniforms cut short
    e.drawPrimitives(PrimitiveType::Triangle, 0, 3);
  });
  auto px = g.pixels();
  EXPECT_EQ(g.at(px, 2, 8)[0], 255);  // the first draw's whole triangle
}

TEST(Resources, RegionsOutsideATextureCopyNothing) {
  auto device = MTLCreateSystemDefaultDevice();
  auto t = device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(PixelFormat::RGBA8Unorm, 4, 4, false));
  std::vector<uint8_t> ones(4 * 4 * 4 * 2, 1), out(64, 7);
  t->replaceRegion(Region::make2D(2, 0, 3, 1), 0, ones.data(), 12);  // x + w > width
  t->replaceRegion(Region::make2D(0, 0, 4, 1), 0, ones.data(), 8);   // short rows
  t->getBytes(out.data(), 16, Region::make2D(0, 0, 4, 4), 0);
  for (uint8_t b : out) EXPECT_EQ(b, 0);
  t->getBytes(out.data(), 16, Region::make2D(0, 3, 4, 2), 0);  // y + h > height
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[16], 0);
}

TEST(Resources, TextureSidesOutsideTheLimitsAreRefused) {
  auto device = MTLCreateSystemDefaultDevice();
  for (auto [w, h] : {std::pair<size_t, size_t>{0, 5}, {5, 0}, {16385, 1}, {1, 20000}})
    EXPECT_FALSE(device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(PixelFormat::RGBA8Unorm, w, h, false)));
  EXPECT_TRUE(device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(PixelFormat::R8Unorm, 16384, 1, false)));
}

TEST(Sampling, FormatsFiltersAndAddressModes) {
  auto device = MTLCreateSystemDefaultDevice();
  auto make = [&](PixelFormat f, const uint8_t* data, size_t bpp) {
    auto t = device->newTextureWithDescriptor(TextureDescriptor::texture2DDescriptor(f, 2, 1, false));
    t->replaceRegion(Region::make2D(0, 0, 2, 1), 0, data, 2 * bpp);
    return t;
  };
  const uint8_t rgba[8] = {255, 0, 0, 255, 0, 0, 255, 255};  // red, blue
  const uint8_t bgra[8] = {0, 0, 255, 255, 255, 0, 0, 255};  // the same in BGRA
  const uint8_t r8[2] = {51, 204};
  auto trgba = make(PixelFormat::RGBA8Unorm, rgba, 4);
  auto tbgra = make(PixelFormat::BGRA8Unorm, bgra, 4);
  auto tr8 = make(PixelFormat::R8Unorm, r8, 1);
  SamplerDescriptor nearest, linear, repeat;
  linear.minFilter = linear.magFilter = SamplerMinMagFilter::Linear;
  repeat.sAddressMode = SamplerAddressMode::Repeat;
  struct Case {
    const Texture* t;
    const SamplerDescriptor* s;
    float u;
    float expect[4];
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {trgba.get(), &nearest, 0.25f, {1, 0, 0, 1}},
      {trgba.get(), &nearest, 0.75f, {0, 0, 1, 1}},
      {tbgra.get(), &nearest, 0.75f, {0, 0, 1, 1}},
      {trgba.get(), &linear, 0.5f, {0.5f, 0, 0.5f, 1}},
      {tbgra.get(), &linear, 0.5f, {0.5f, 0, 0.5f, 1}},
      {trgba.get(), &nearest, -3.f, {1, 0, 0, 1}},   // clamp to edge
      {trgba.get(), &repeat, 1.25f, {1, 0, 0, 1}},   // wraps to texel 0
      {trgba.get(), &repeat, -0.25f, {0, 0, 1, 1}},  // wraps to texel 1
      {tr8.get(), &nearest, 0.75f, {0.8f, 0, 0, 1}},
      {trgba.get(), &linear, nan, {0, 0, 0, 0}},
      {nullptr, &linear, 0.5f, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    float out[4];
    gpu::sample(c.t, c.s, c.u, 0.5f, out);
    for (int ch = 0; ch < 4; ++ch) EXPECT_NEAR(out[ch], c.expect[ch], 1e-6) << "u " << c.u << " channel " << ch;
  }
}

TEST(Library, OnlyTheKnownFormatWithKnownFunctionsLoads) {
  auto device = MTLCreateSystemDefaultDevice();
  std::optional<Error> error;
  auto lib = device->newLibraryWithData(kBlob, sizeof kBlob, &error);
  ASSERT_TRUE(lib);
  EXPECT_FALSE(error);
  EXPECT_TRUE(lib->newFunctionWithName("fragmentShaderAA"));
  EXPECT_FALSE(lib->newFunctionWithName("computeShader"));

  const char unknown[] = "MTLB" "vertexShader\0" "mystery\0";
  const char truncated[] = {'M', 'T', 'L', 'B', 'v', 'e', 'r'};
  const char junk[] = "not a library";
  for (auto [data, size] : {std::pair<const void*, size_t>{unknown, sizeof unknown}, {truncated, sizeof truncated},
                            {junk, sizeof junk}, {nullptr, 0}}) {
    error.reset();
    EXPECT_FALSE(device->newLibraryWithData(data, size, &error));
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->localizedDescription.empty());
  }
}

}  // namespace
