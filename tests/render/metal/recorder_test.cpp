// The recorder on its own, driven by real NanoVG contexts whose render callbacks record into
// plain memory: the call list, vertex layout, fan indexes, uniforms, blend factors, paint
// conversion, buffer growth and the pure texture rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "render/metal/Recorder.h"
#include "tools/gallery/scenes.h"

namespace {

using namespace mvg;

class MemoryRecorder : public Recorder {
public:
  explicit MemoryRecorder(int flags) : Recorder(flags) { setFrame(&frame); }
  ~MemoryRecorder() override { freeCalls(frame); }

  FrameArrays frame;
  std::vector<std::byte> storage[3];
  std::vector<size_t> grown[3];  // bytes of each growth, per array
  bool failGrowth = false;
  std::map<int, ImageInfo> images;
  int nextImage = 1;

  void* growArray(Array which, size_t bytes, size_t keep) override {
    if (failGrowth) return nullptr;
    auto& v = storage[int(which)];
    std::vector<std::byte> fresh(bytes);
    if (keep) std::memcpy(fresh.data(), v.data(), keep);
    v.swap(fresh);
    grown[int(which)].push_back(bytes);
    return v.data();
  }
  const ImageInfo* findImage(int image) const override {
    auto it = images.find(image);
    return it == images.end() ? nullptr : &it->second;
  }
  const Call& call(int i) const { return frame.calls[i]; }
  const FragUniforms& uniforms(int byteOffset) const { return *fragUniformAtIndex(byteOffset); }
};

// A NanoVG context whose back end is a MemoryRecorder; flushing keeps the arrays to inspect.
class RecordingContext {
public:
  explicit RecordingContext(int flags = kFlagAntialias) : rec(flags) {
    NVGparams p;
    std::memset(&p, 0, sizeof p);
    p.userPtr = &rec;
    p.edgeAntiAlias = flags & kFlagAntialias;
    p.renderCreate = [](void*, void*) { return 1; };
    p.renderCreateTexture = [](void* u, int type, int, int, int flags, const unsigned char*) {
      auto* r = static_cast<MemoryRecorder*>(u);
      r->images[r->nextImage] = {type, flags};
      return r->nextImage++;
    };
    p.renderDeleteTexture = [](void* u, int image) { return int(static_cast<MemoryRecorder*>(u)->images.erase(image)); };
    p.renderUpdateTexture = [](void*, int, int, int, int, int, const unsigned char*) { return 1; };
    p.renderGetTextureSize = [](void*, int, int* w, int* h) {
      *w = *h = 512;
      return 1;
    };
    p.renderViewport = [](void* u, float, float, float) { static_cast<MemoryRecorder*>(u)->frame.resetCounts(); };
    p.renderCancel = [](void*) {};
    p.renderFlush = [](void*) {};
    p.renderFill = [](void* u, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* s, float fringe, const float* b,
                      const NVGpath* paths, int n) { static_cast<MemoryRecorder*>(u)->fill(paint, op, s, fringe, b, paths, n); };
    p.renderStroke = [](void* u, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* s, float fringe, float w,
                        const NVGpath* paths, int n) { static_cast<MemoryRecorder*>(u)->stroke(paint, op, s, fringe, w, paths, n); };
    p.renderTriangles = [](void* u, NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* s, const NVGvertex* v, int n,
                           float fringe) { static_cast<MemoryRecorder*>(u)->triangles(paint, op, s, v, n, fringe); };
    p.renderDelete = [](void*) {};
    vg = nvgCreateInternal(&p, nullptr);
    nvgBeginFrame(vg, 640, 400, 1.f);
  }
  ~RecordingContext() {
    nvgEndFrame(vg);
    nvgDeleteInternal(vg);
  }
  MemoryRecorder rec;
  NVGcontext* vg = nullptr;
};

bool sameVertex(const NVGvertex& a, const NVGvertex& b) { return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v; }

TEST(RecordFill, OneConvexPathUsesNoStencilAndNoBoundQuad) {
  RecordingContext c;
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 10, 10, 100, 50);
  nvgFill(c.vg);
  ASSERT_EQ(c.rec.frame.ncalls, 1);
  const Call& call = c.rec.call(0);
  EXPECT_EQ(call.type, kCallConvexFill);
  EXPECT_EQ(call.triangleCount, 0);
  EXPECT_EQ(call.indexCount, (4 - 2) * 3);
  // Fan of 4, then the fringe strip joined with a repeated first and last vertex.
  EXPECT_EQ(call.strokeOffset, 4 + 1);
  EXPECT_EQ(call.strokeCount, c.rec.frame.nverts - 4 - 2);
  EXPECT_TRUE(sameVertex(c.rec.frame.verts[4], c.rec.frame.verts[5]));
  EXPECT_TRUE(sameVertex(c.rec.frame.verts[c.rec.frame.nverts - 1], c.rec.frame.verts[c.rec.frame.nverts - 2]));
}

TEST(RecordFill, SeveralPathsLayFansQuadAndJoinedStripWithAbsoluteIndexes) {
  RecordingContext c;
  // Something before, so the fill's numbers are absolute, not relative to the call.
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 300, 300, 10, 10);
  nvgFill(c.vg);
  const int before = c.rec.frame.nverts;
  const int indexesBefore = c.rec.frame.nindexes;

  nvgBeginPath(c.vg);
  nvgRect(c.vg, 10, 10, 120, 120);
  nvgRect(c.vg, 40, 40, 60, 60);
  nvgPathWinding(c.vg, NVG_HOLE);
  nvgFill(c.vg);
  ASSERT_EQ(c.rec.frame.ncalls, 2);
  const Call& call = c.rec.call(1);
  EXPECT_EQ(call.type, kCallFill);
  EXPECT_EQ(call.triangleCount, 4);
  EXPECT_EQ(call.indexOffset, indexesBefore);
  EXPECT_EQ(call.indexCount, 2 * (4 - 2) * 3);
  const uint32_t* ix = c.rec.frame.indexes + call.indexOffset;
  const uint32_t fans[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(ix[i], uint32_t(before) + fans[i]) << i;
  // The bound quad follows the fans, as a strip (x1,y1) (x1,y0) (x0,y1) (x0,y0), uv (0.5, 1).
  EXPECT_EQ(call.triangleOffset, before + 8);
  const NVGvertex* q = c.rec.frame.verts + call.triangleOffset;
  EXPECT_GT(q[0].x, q[2].x);
  EXPECT_GT(q[0].y, q[1].y);
  EXPECT_EQ(q[0].x, q[1].x);
  EXPECT_EQ(q[2].y, q[0].y);
  EXPECT_EQ(q[3].x, q[2].x);
  EXPECT_FLOAT_EQ(q[1].u, 0.5f);
  EXPECT_FLOAT_EQ(q[1].v, 1.0f);
  // The joined strip fills the last slots.
  const int stripStart = before + 8 + 4;
  EXPECT_EQ(call.strokeOffset, stripStart + 1);
  EXPECT_EQ(call.strokeCount, c.rec.frame.nverts - stripStart - 2);
}

TEST(RecordStroke, StencilStrokesRecordTwoUniformSlotsWithThresholds) {
  for (int flags : {int(kFlagAntialias), kFlagAntialias | kFlagStencilStrokes}) {
    RecordingContext c(flags);
    nvgBeginPath(c.vg);
    nvgMoveTo(c.vg, 10, 10);
    nvgLineTo(c.vg, 100, 80);
    nvgStrokeWidth(c.vg, 2);
    nvgStroke(c.vg);
    ASSERT_EQ(c.rec.frame.ncalls, 1);
    const Call& call = c.rec.call(0);
    EXPECT_EQ(call.type, kCallStroke);
    EXPECT_EQ(call.strokeOffset, 1);
    EXPECT_EQ(call.strokeCount, c.rec.frame.nverts - 2);
    const FragUniforms& first = c.rec.uniforms(call.uniformOffset);
    EXPECT_FLOAT_EQ(first.strokeThr, -1.f);
    EXPECT_FLOAT_EQ(first.strokeMult, 1.5f);  // (2 / 2 + 1 / 2) / 1
    if (flags & kFlagStencilStrokes) {
      EXPECT_EQ(c.rec.frame.nuniforms, 2);
      EXPECT_FLOAT_EQ(c.rec.uniforms(call.uniformOffset + Recorder::fragSize).strokeThr, 1.f - 0.5f / 255.f);
    } else {
      EXPECT_EQ(c.rec.frame.nuniforms, 1);
    }
  }
}

TEST(RecordTriangles, TextBecomesTrianglesOfTheAlphaAtlas) {
  RecordingContext c;
  ASSERT_GE(nvgCreateFont(c.vg, "roboto", gallery::robotoPath().c_str()), 0);
  nvgFontSize(c.vg, 14);
  nvgText(c.vg, 20, 40, "Hg", nullptr);
  ASSERT_EQ(c.rec.frame.ncalls, 1);
  const Call& call = c.rec.call(0);
  EXPECT_EQ(call.type, kCallTriangles);
  EXPECT_EQ(call.triangleCount, 2 * 6);
  const FragUniforms& u = c.rec.uniforms(call.uniformOffset);
  EXPECT_EQ(u.type, kShaderTriangles);
  EXPECT_EQ(u.texType, 2);
  EXPECT_EQ(c.rec.images.at(call.image).type, NVG_TEXTURE_ALPHA);
}

TEST(Blend, CompositeOperationsMapToFactorQuadruples) {
  using F = Factor;
  struct Case {
    int op;
    Factor src, dst;
  };
  const Case cases[] = {
      {NVG_SOURCE_OVER, F::One, F::OneMinusSourceAlpha},
      {NVG_SOURCE_IN, F::DestinationAlpha, F::Zero},
      {NVG_SOURCE_OUT, F::OneMinusDestinationAlpha, F::Zero},
      {NVG_ATOP, F::DestinationAlpha, F::OneMinusSourceAlpha},
      {NVG_DESTINATION_OVER, F::OneMinusDestinationAlpha, F::One},
      {NVG_DESTINATION_IN, F::Zero, F::SourceAlpha},
      {NVG_DESTINATION_OUT, F::Zero, F::OneMinusSourceAlpha},
      {NVG_DESTINATION_ATOP, F::OneMinusDestinationAlpha, F::SourceAlpha},
      {NVG_LIGHTER, F::One, F::One},
      {NVG_COPY, F::One, F::Zero},
      {NVG_XOR, F::OneMinusDestinationAlpha, F::OneMinusSourceAlpha},
  };
  RecordingContext c;
  for (const Case& k : cases) {
    nvgGlobalCompositeOperation(c.vg, k.op);
    nvgBeginPath(c.vg);
    nvgRect(c.vg, 0, 0, 10, 10);
    nvgFill(c.vg);
    const Blend& b = c.rec.call(c.rec.frame.ncalls - 1).blend;
    EXPECT_EQ(b, (Blend{k.src, k.dst, k.src, k.dst})) << "operation " << k.op;
  }
  // A factor NanoVG does not define: premultiplied source-over for all four.
  nvgGlobalCompositeBlendFuncSeparate(c.vg, NVG_ONE, 3, NVG_ONE, NVG_ZERO);
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 0, 0, 10, 10);
  nvgFill(c.vg);
  EXPECT_EQ(c.rec.call(c.rec.frame.ncalls - 1).blend, (Blend{F::One, F::OneMinusSourceAlpha, F::One, F::OneMinusSourceAlpha}));
}

TEST(ConvertPaint, ScissorTransformAndStrokeValues) {
  MemoryRecorder rec(kFlagAntialias);
  FragUniforms u;
  NVGpaint paint;
  std::memset(&paint, 0, sizeof paint);
  paint.innerColor = nvgRGBAf(1, 0.5f, 0, 0.5f);
  paint.outerColor = nvgRGBAf(0, 0, 1, 1);
  paint.feather = 1;
  NVGscissor scissor;
  std::memset(&scissor, 0, sizeof scissor);
  scissor.extent[0] = scissor.extent[1] = -1.f;  // no scissor
  // A singular paint transform (all zero) is replaced by the identity.
  ASSERT_TRUE(rec.convertPaint(&u, &paint, &scissor, 2.f, 1.f, -1.f));
  for (float v : u.scissorMat) EXPECT_EQ(v, 0.f);
  EXPECT_EQ(u.scissorExt[0], 1.f);
  EXPECT_EQ(u.scissorExt[1], 1.f);
  EXPECT_EQ(u.scissorScale[0], 1.f);
  EXPECT_EQ(u.scissorScale[1], 1.f);
  const float identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(u.paintMat[i], identity[i]) << i;
  EXPECT_FLOAT_EQ(u.strokeMult, 1.5f);
  EXPECT_FLOAT_EQ(u.innerCol[0], 0.5f);  // premultiplied
  EXPECT_FLOAT_EQ(u.innerCol[1], 0.25f);
  EXPECT_FLOAT_EQ(u.innerCol[3], 0.5f);
  EXPECT_EQ(u.type, kShaderGradient);

  // A scissor: the inverse of its transform, its extent, and the scale over the fringe.
  nvgTransformScale(scissor.xform, 2.f, 4.f);
  scissor.xform[4] = 100;
  scissor.xform[5] = 50;
  scissor.extent[0] = 30;
  scissor.extent[1] = 20;
  nvgTransformIdentity(paint.xform);
  ASSERT_TRUE(rec.convertPaint(&u, &paint, &scissor, 1.f, 0.5f, -1.f));
  EXPECT_FLOAT_EQ(u.scissorMat[0], 0.5f);
  EXPECT_FLOAT_EQ(u.scissorMat[5], 0.25f);
  EXPECT_FLOAT_EQ(u.scissorMat[8], -50.f);
  EXPECT_FLOAT_EQ(u.scissorMat[9], -12.5f);
  EXPECT_FLOAT_EQ(u.scissorMat[10], 1.f);
  EXPECT_FLOAT_EQ(u.scissorExt[0], 30.f);
  EXPECT_FLOAT_EQ(u.scissorScale[0], 4.f);
  EXPECT_FLOAT_EQ(u.scissorScale[1], 8.f);

  // Images: texType by type and premultiplication; an unknown image refuses the paint.
  rec.images[5] = {NVG_TEXTURE_RGBA, NVG_IMAGE_PREMULTIPLIED};
  rec.images[6] = {NVG_TEXTURE_BGR, 0};
  rec.images[7] = {NVG_TEXTURE_ALPHA, NVG_IMAGE_PREMULTIPLIED};
  const std::pair<int, int> texTypes[] = {{5, 0}, {6, 1}, {7, 2}};
  for (auto [image, texType] : texTypes) {
    paint.image = image;
    ASSERT_TRUE(rec.convertPaint(&u, &paint, &scissor, 1.f, 1.f, -1.f));
    EXPECT_EQ(u.type, kShaderImage);
    EXPECT_EQ(u.texType, texType);
  }
  paint.image = 99;
  EXPECT_FALSE(rec.convertPaint(&u, &paint, &scissor, 1.f, 1.f, -1.f));
}

TEST(ConvertPaint, UnknownImageDropsTheCall) {
  RecordingContext c;
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 0, 0, 50, 50);
  nvgFillPaint(c.vg, nvgImagePattern(c.vg, 0, 0, 50, 50, 0, 99, 1.f));
  nvgFill(c.vg);
  nvgFontSize(c.vg, 12);
  EXPECT_EQ(c.rec.frame.ncalls, 0);
}

TEST(Growth, BuffersGrowByHalfTheirCapacityOnTopOfWhatIsNeeded) {
  MemoryRecorder rec(0);
  EXPECT_EQ(rec.allocVerts(10000), 0);
  EXPECT_EQ(rec.frame.cverts, 10000);
  EXPECT_EQ(rec.allocVerts(1000), 10000);
  EXPECT_EQ(rec.frame.cverts, 16000);
  ASSERT_EQ(rec.grown[int(Recorder::Array::Verts)].size(), 2u);
  EXPECT_EQ(rec.grown[int(Recorder::Array::Verts)][1], 16000u * sizeof(NVGvertex));
  EXPECT_EQ(rec.allocFragUniforms(1), 0);
  EXPECT_EQ(rec.allocFragUniforms(1), Recorder::fragSize);
  EXPECT_EQ(rec.frame.cuniforms, 128);
  EXPECT_EQ(rec.allocIndexes(5), 0);
  EXPECT_EQ(rec.frame.cindexes, 4096);
  EXPECT_EQ(rec.allocVerts(-1), -1);
}

TEST(Growth, FailedAllocationDropsOnlyTheCallBeingRecorded) {
  RecordingContext c;
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 0, 0, 10, 10);
  nvgFill(c.vg);
  ASSERT_EQ(c.rec.frame.ncalls, 1);
  c.rec.failGrowth = true;
  nvgBeginPath(c.vg);
  nvgMoveTo(c.vg, 0, 0);
  for (int i = 1; i < 3000; ++i) nvgLineTo(c.vg, float((i * 13) % 600), float((i * 7) % 400));  // past the capacity
  nvgFill(c.vg);
  nvgStroke(c.vg);
  EXPECT_EQ(c.rec.frame.ncalls, 1);
  c.rec.failGrowth = false;
  nvgBeginPath(c.vg);
  nvgRect(c.vg, 0, 0, 10, 10);
  nvgFill(c.vg);
  EXPECT_EQ(c.rec.frame.ncalls, 2);
}

TEST(TextureRules, FormatsBytesAndRegions) {
  struct Case {
    int type;
    TexFormat format;
    int source, stored;
  };
  const Case cases[] = {
      {NVG_TEXTURE_ALPHA, TexFormat::R8, 1, 1},   {NVG_TEXTURE_BGR, TexFormat::RGBA8, 3, 4},
      {NVG_TEXTURE_BGRA, TexFormat::BGRA8, 4, 4}, {NVG_TEXTURE_RGB, TexFormat::RGBA8, 3, 4},
      {NVG_TEXTURE_RGBA, TexFormat::RGBA8, 4, 4}, {7, TexFormat::None, 0, 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(formatForType(k.type), k.format) << k.type;
    EXPECT_EQ(sourceBytesPerPixel(k.type), k.source) << k.type;
    EXPECT_EQ(storedBytesPerPixel(k.type), k.stored) << k.type;
  }
  EXPECT_TRUE(regionInside(90, 0, 10, 1, 100, 1));
  EXPECT_FALSE(regionInside(95, 0, 10, 1, 100, 1));
  EXPECT_FALSE(regionInside(-1, 0, 1, 1, 100, 1));
  EXPECT_FALSE(regionInside(0, 0, 1, -1, 100, 1));
  EXPECT_FALSE(regionInside(2147483647, 0, 2147483647, 1, 100, 1));
  const unsigned char bgr[6] = {1, 2, 3, 4, 5, 6};
  unsigned char wide[8];
  widenRows(NVG_TEXTURE_BGR, bgr, 6, 2, 1, wide);
  const unsigned char expect[8] = {3, 2, 1, 255, 6, 5, 4, 255};
  EXPECT_EQ(std::memcmp(wide, expect, 8), 0);
}

}  // namespace
