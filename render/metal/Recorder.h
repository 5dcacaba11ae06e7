#pragma once
// The platform-free half of the Metal back end of NanoVG: it turns NanoVG's fill, stroke and
// triangle callbacks into one frame's call records, vertices, fan indexes and fragment uniforms,
// and holds the pure rules (blend factors, paint conversion, texture formats, region checks).
// The submitter (MVGContext) derives from it, backs the arrays with GPU buffers and draws them.
//
// Thread: the drawing thread only. Failures: an allocation that fails answers -1 (or null) and the
// call being recorded is dropped; the frame goes on.
#include <cstddef>
#include <cstdint>

#include "nanovg.h"

namespace mvg {

// Creation flags of the back end.
enum : int {
  kFlagAntialias = 1 << 0,
  kFlagStencilStrokes = 1 << 1,
  kFlagDebug = 1 << 2,
  kFlagDoubleBuffer = 1 << 12,
  kFlagTripleBuffer = 1 << 13,
};
constexpr int kMaxTextureSide = 16384;

enum CallType : int { kCallNone = 0, kCallFill = 1, kCallConvexFill = 2, kCallStroke = 3, kCallTriangles = 4 };

// Blend factors, numbered as the GPU numbers them.
enum class Factor : uintptr_t {
  Zero = 0, One = 1, SourceColor = 2, OneMinusSourceColor = 3, SourceAlpha = 4, OneMinusSourceAlpha = 5,
  DestinationColor = 6, OneMinusDestinationColor = 7, DestinationAlpha = 8, OneMinusDestinationAlpha = 9,
  SourceAlphaSaturated = 10,
};
struct Blend {
  Factor srcRGB = Factor::One, dstRGB = Factor::OneMinusSourceAlpha;
  Factor srcAlpha = Factor::One, dstAlpha = Factor::OneMinusSourceAlpha;
  bool operator==(const Blend&) const = default;
};

struct Call {  // zeroed when allocated
  int type = 0;
  int image = 0;
  int triangleOffset = 0, triangleCount = 0;
  int indexOffset = 0, indexCount = 0;
  int strokeOffset = 0, strokeCount = 0;
  int uniformOffset = 0;  // bytes
  Blend blend;
};

// One fragment uniform record: the layout the shader functions of the GPU read (they declare
// the same record on their side).
struct FragUniforms {
  float scissorMat[12];  // 3x3 as three float4 columns
  float paintMat[12];
  float innerCol[4];
  float outerCol[4];
  float scissorExt[2];
  float scissorScale[2];
  float extent[2];
  float radius;
  float feather;
  float strokeMult;
  float strokeThr;
  int32_t texType;
  int32_t type;
};
static_assert(sizeof(FragUniforms) == 176);
static_assert(offsetof(FragUniforms, innerCol) == 96 && offsetof(FragUniforms, scissorExt) == 128 &&
              offsetof(FragUniforms, radius) == 152 && offsetof(FragUniforms, texType) == 168);

// Shader paint types.
enum : int32_t { kShaderGradient = 0, kShaderImage = 1, kShaderTriangles = 2 };

// The arrays of one frame. `calls` is heap memory of the recorder; the others point into
// storage the submitter provides (GPU buffers).
struct FrameArrays {
  Call* calls = nullptr;
  int ccalls = 0, ncalls = 0;
  uint32_t* indexes = nullptr;
  int cindexes = 0, nindexes = 0;
  NVGvertex* verts = nullptr;
  int cverts = 0, nverts = 0;
  unsigned char* uniforms = nullptr;
  int cuniforms = 0, nuniforms = 0;
  void resetCounts() { ncalls = nindexes = nverts = nuniforms = 0; }
};

// What the recorder knows of an image.
struct ImageInfo {
  int type = 0;   // NanoVG texture type
  int flags = 0;  // image flags
};

// Texture format of a NanoVG texture type. BGR and RGB are widened to RGBA with alpha 255.
enum class TexFormat { None, R8, RGBA8, BGRA8 };
TexFormat formatForType(int type);
int sourceBytesPerPixel(int type);  // bytes per pixel of the caller's data; 0 for unknown types
int storedBytesPerPixel(int type);  // bytes per pixel in the texture; 0 for unknown types
// texType of the shader: 2 alpha-only, else 0 premultiplied, 1 straight.
int32_t texTypeFor(int type, int flags);
// True when (x, y, w, h) lies inside a width x height image (all non-negative).
bool regionInside(int x, int y, int w, int h, size_t width, size_t height);
// Copies a w x h region of `type` pixels into RGBA (or the stored layout) rows of w pixels.
void widenRows(int type, const unsigned char* src, size_t srcStride, int w, int h, unsigned char* dst);

// NanoVG transform (a, b, c, d, e, f) to float4 columns; inverse with identity for singular
// (|det| < 1e-6 or non-finite) transforms.
void xformToMat3x4(float* m, const float* t);
void xformInverse(float* inv, const float* t);

class Recorder {
public:
  enum class Array { Indexes, Verts, Uniforms };
  explicit Recorder(int flags) : flags_(flags) {}
  virtual ~Recorder();

  int flags() const { return flags_; }
  static constexpr int fragSize = 256;
  static constexpr int indexSize = 4;

  // The frame arrays being recorded (null: no frame; recording callbacks then do nothing).
  void setFrame(FrameArrays* frame) { frame_ = frame; }
  FrameArrays* frame() const { return frame_; }

  // NanoVG's recording callbacks.
  void fill(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, const float* bounds,
            const NVGpath* paths, int npaths);
  void stroke(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, float strokeWidth,
              const NVGpath* paths, int npaths);
  void triangles(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, const NVGvertex* verts, int nverts,
                 float fringe);

  // Pieces, public for tests.
  Call* allocCall();
  int allocVerts(int n);
  int allocIndexes(int n);
  int allocFragUniforms(int n);
  FragUniforms* fragUniformAtIndex(int offset) const;
  static Blend blendCompositeOperation(NVGcompositeOperationState op);
  bool convertPaint(FragUniforms* frag, const NVGpaint* paint, const NVGscissor* scissor, float width, float fringe,
                    float strokeThr) const;

  // Frees the call array of a frame (the submitter owns the other storage).
  static void freeCalls(FrameArrays& frame);

protected:
  // Replaces one array's storage by `bytes` bytes keeping its first `keep` bytes; null on failure.
  virtual void* growArray(Array which, size_t bytes, size_t keep) = 0;
  // The image's type and flags; null for an unknown id.
  virtual const ImageInfo* findImage(int image) const = 0;

private:
  int grow(Array which, int n, int minimum, size_t itemBytes, int& count, int& capacity, void*& pointer);
  void takeBackCall() { --frame_->ncalls; }

  const int flags_;
  FrameArrays* frame_ = nullptr;
};

}  // namespace mvg
