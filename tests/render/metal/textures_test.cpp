// Images and framebuffers of the back end: ids and slots, samplers from image flags, uploads
// and read-backs with their region checks, refused sizes, framebuffer creation, binding and
// deletion.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "render/metal/MVGContext.h"
#include "tests/support/render/metal_target.h"

namespace sp::test {
namespace {

using mvg::MVGContext;

// A back end without NanoVG on top, so image ids start at 1.
struct BareContext {
  mtl::MetalLayer layer;
  MVGContext ctx{NVG_ANTIALIAS, &layer};
  BareContext() {
    EXPECT_TRUE(ctx.loadLibrary());
    EXPECT_EQ(ctx.renderCreate(), 1);
  }
};

TEST(ImageIds, SlotsAreReusedButIdsNeverAre) {
  BareContext b;
  EXPECT_EQ(b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 4, 4, 0, nullptr), 1);
  EXPECT_EQ(b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 4, 4, 0, nullptr), 2);
  EXPECT_EQ(b.ctx.renderCreateTexture(NVG_TEXTURE_ALPHA, 4, 4, 0, nullptr), 3);
  EXPECT_EQ(b.ctx.renderDeleteTexture(2), 1);
  EXPECT_EQ(b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 8, 2, 0, nullptr), 4);
  EXPECT_EQ(b.ctx.renderDeleteTexture(2), 0);
  int w = 7, h = 7;
  EXPECT_EQ(b.ctx.renderGetTextureSize(99, &w, &h), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(b.ctx.renderGetTextureSize(4, &w, &h), 1);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 2);
}

TEST(ImageIds, RefusedSizesAndTypes) {
  BareContext b;
  const int sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {20000, 1}, {1, 16385}};
  for (auto& s : sizes) EXPECT_EQ(b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, s[0], s[1], 0, nullptr), 0) << s[0] << " x " << s[1];
  EXPECT_EQ(b.ctx.renderCreateTexture(17, 4, 4, 0, nullptr), 0);
  EXPECT_NE(b.ctx.renderCreateTexture(NVG_TEXTURE_ALPHA, 16384, 1, 0, nullptr), 0);
}

TEST(Samplers, ImageFlagsChooseFilterMipsAndAddressing) {
  using F = mtl::SamplerMinMagFilter;
  using M = mtl::SamplerMipFilter;
  using A = mtl::SamplerAddressMode;
  struct Case {
    int flags;
    F filter;
    M mip;
    A s, t;
  };
  const Case cases[] = {
      {0, F::Linear, M::NotMipmapped, A::ClampToEdge, A::ClampToEdge},
      {NVG_IMAGE_REPEATX | NVG_IMAGE_NEAREST, F::Nearest, M::NotMipmapped, A::Repeat, A::ClampToEdge},
      {NVG_IMAGE_REPEATY, F::Linear, M::NotMipmapped, A::ClampToEdge, A::Repeat},
      {NVG_IMAGE_GENERATE_MIPMAPS, F::Linear, M::Linear, A::ClampToEdge, A::ClampToEdge},
  };
  BareContext b;
  const std::vector<unsigned char> data(16 * 16 * 4, 200);
  for (const Case& c : cases) {
    const int id = b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 16, 16, c.flags, data.data());
    const mvg::MVGtexture* t = b.ctx.findTexture(id);
    ASSERT_TRUE(t && t->sampler);
    const mtl::SamplerDescriptor& d = t->sampler->descriptor();
    EXPECT_EQ(d.minFilter, c.filter) << c.flags;
    EXPECT_EQ(d.magFilter, c.filter) << c.flags;
    EXPECT_EQ(d.mipFilter, c.mip) << c.flags;
    EXPECT_EQ(d.sAddressMode, c.s) << c.flags;
    EXPECT_EQ(d.tAddressMode, c.t) << c.flags;
    EXPECT_EQ(t->tex->mipmapLevelCount(), (c.flags & NVG_IMAGE_GENERATE_MIPMAPS) ? 5u : 1u);
  }
}

TEST(Uploads, RegionReadsFromTheWholeImagesRows) {
  BareContext b;
  const int id = b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 100, 10, 0, nullptr);
  std::vector<unsigned char> data(100 * 10 * 4);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
  EXPECT_EQ(b.ctx.renderUpdateTexture(id, 5, 7, 10, 2, data.data()), 1);
  std::vector<unsigned char> back(10 * 2 * 4);
  b.ctx.readPixels(id, 5, 7, 10, 2, back.data());
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 40; ++i)
      ASSERT_EQ(back[row * 40 + i], data[2820 + row * 400 + i]) << "row " << row << " byte " << i;  // 7 x 400 + 5 x 4
  std::vector<unsigned char> outside(4 * 4, 0);
  b.ctx.readPixels(id, 4, 7, 1, 1, outside.data());
  EXPECT_EQ(outside[0], 0);  // never written
}

TEST(Uploads, RegionsOutsideTheImageWriteAndReadNothing) {
  BareContext b;
  const int id = b.ctx.renderCreateTexture(NVG_TEXTURE_RGBA, 100, 1, 0, nullptr);
  const std::vector<unsigned char> data(100 * 4 * 2, 0xAB);
  EXPECT_EQ(b.ctx.renderUpdateTexture(id, 95, 0, 10, 1, data.data()), 0);
  EXPECT_EQ(b.ctx.renderUpdateTexture(id, -1, 0, 1, 1, data.data()), 0);
  EXPECT_EQ(b.ctx.renderUpdateTexture(id, 0, 0, 1, 2, data.data()), 0);
  EXPECT_EQ(b.ctx.renderUpdateTexture(77, 0, 0, 1, 1, data.data()), 0);
  std::vector<unsigned char> all(100 * 4, 1);
  b.ctx.readPixels(id, 0, 0, 100, 1, all.data());
  for (unsigned char v : all) ASSERT_EQ(v, 0);
  std::vector<unsigned char> untouched(40, 9);
  b.ctx.readPixels(id, 95, 0, 10, 1, untouched.data());
  b.ctx.readPixels(id, 0, 0, 1, 2, untouched.data());
  b.ctx.readPixels(55, 0, 0, 1, 1, untouched.data());
  for (unsigned char v : untouched) ASSERT_EQ(v, 9);
}

TEST(Uploads, ThreeByteTypesAreWidenedAndAlphaRowsAreOneByte) {
  BareContext b;
  const unsigned char bgr[2 * 3] = {1, 2, 3, 4, 5, 6};
  const int id = b.ctx.renderCreateTexture(NVG_TEXTURE_BGR, 2, 1, 0, bgr);
  unsigned char back[8];
  b.ctx.readPixels(id, 0, 0, 2, 1, back);
  const unsigned char expect[8] = {3, 2, 1, 255, 6, 5, 4, 255};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(back[i], expect[i]) << i;
  const unsigned char rgbUpdate[2 * 3] = {10, 20, 30, 40, 50, 60};
  const int rgb = b.ctx.renderCreateTexture(NVG_TEXTURE_RGB, 2, 1, 0, nullptr);
  EXPECT_EQ(b.ctx.renderUpdateTexture(rgb, 1, 0, 1, 1, rgbUpdate), 1);
  b.ctx.readPixels(rgb, 1, 0, 1, 1, back);
  EXPECT_EQ(back[0], 40);
  EXPECT_EQ(back[3], 255);
  const unsigned char alpha[3] = {7, 8, 9};
  const int a = b.ctx.renderCreateTexture(NVG_TEXTURE_ALPHA, 3, 1, 0, alpha);
  unsigned char one[3] = {};
  b.ctx.readPixels(a, 0, 0, 3, 1, one);
  EXPECT_EQ(one[2], 9);
}

TEST(Framebuffers, CreationBindingAndDeletion) {
  MetalTarget t(64, 32);
  MVGContext* c = mvg::contextOf(t.vg());
  MVGframebuffer* fb = mvgCreateFramebuffer(t.vg(), 16, 16, 0);
  ASSERT_TRUE(fb);
  EXPECT_EQ(fb->ctx, t.vg());
  EXPECT_TRUE(c->findTexture(fb->image)->flags & NVG_IMAGE_PREMULTIPLIED);
  EXPECT_FALSE(mvgCreateFramebuffer(t.vg(), 0, 16, 0));
  EXPECT_FALSE(mvgCreateFramebuffer(t.vg(), 16, 99999, 0));
  EXPECT_FALSE(mvgCreateFramebuffer(nullptr, 16, 16, 0));
  EXPECT_EQ(mvgImageHandle(t.vg(), fb->image).get(), c->findTexture(fb->image)->tex.get());
  EXPECT_FALSE(mvgImageHandle(t.vg(), 4242));

  // Deleting the bound framebuffer unbinds it: the next frame goes to the window.
  mvgBindFramebuffer(fb);
  const int image = fb->image;
  mvgDeleteFramebuffer(fb);
  EXPECT_FALSE(c->findTexture(image));
  nvgBeginFrame(t.vg(), 64, 32, 1.f);
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 8, 8);
  nvgFill(t.vg());
  nvgEndFrame(t.vg());
  EXPECT_TRUE(t.layer().frontTexture());
  mvgDeleteFramebuffer(nullptr);
}

TEST(Framebuffers, ImagesFromHandlesWrapTheTexture) {
  MetalTarget t(32, 32);
  auto tex = mvgDevice(t.vg())->newTextureWithDescriptor(
      mtl::TextureDescriptor::texture2DDescriptor(mtl::PixelFormat::RGBA8Unorm, 8, 4, false));
  const int id = mvgCreateImageFromHandle(t.vg(), tex, NVG_IMAGE_NODELETE);
  ASSERT_NE(id, 0);
  int w = 0, h = 0;
  nvgImageSize(t.vg(), id, &w, &h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(mvgImageHandle(t.vg(), id), tex);
  EXPECT_EQ(mvgCreateImageFromHandle(t.vg(), nullptr, 0), 0);
  EXPECT_EQ(mvgTarget(), 1);
  EXPECT_TRUE(mvgCommandQueue(t.vg()));
}

}  // namespace
}  // namespace sp::test
