// The shader functions compiled into the software GPU: the vector renderer's "vertexShader",
// "fragmentShader" and "fragmentShaderAA", and texture sampling.
//
// Interface: vertex attribute 0 = position (points), 1 = texture coordinate; vertex buffer 1 =
// the view size (two floats, points). Fragment buffer 0 = one uniform record (176 bytes, layout
// in Shading.h), texture 0 and sampler 0 = the paint's image. Colours are premultiplied.
#include <cstring>
#include <string_view>

#include "shims/apple/metal/Gpu.h"
#include "shims/apple/metal/Shading.h"

namespace mtl::gpu {
namespace {

template <bool kAntiAlias>
bool fragment(const FragmentIn& in, float out[4]) {
  if (!in.buffers[0].data || in.buffers[0].size < sizeof(Uniforms)) return false;
  Uniforms u;
  std::memcpy(&u, in.buffers[0].data, sizeof u);
  return shading::shade<kAntiAlias>(u, in.textures[0], in.samplers[0], in.varyings, out);
}

void vertexShader(const VertexIn& in, VertexOut& out) {
  float w = 0.f, h = 0.f;
  if (in.buffers[1].data && in.buffers[1].size >= 8) {
    std::memcpy(&w, in.buffers[1].data, 4);
    std::memcpy(&h, in.buffers[1].data + 4, 4);
  }
  const float x = in.attributes[0][0], y = in.attributes[0][1];
  out.position[0] = 2.f * x / w - 1.f;
  out.position[1] = 1.f - 2.f * y / h;
  out.varyings[0] = x;
  out.varyings[1] = y;
  out.varyings[2] = in.attributes[1][0];
  out.varyings[3] = in.attributes[1][1];
}

const CompiledFunction kFunctions[] = {
    {"vertexShader", Function::Kind::Vertex, reinterpret_cast<const void*>(&vertexShader)},
    {"fragmentShader", Function::Kind::Fragment, reinterpret_cast<const void*>(&fragment<false>)},
    {"fragmentShaderAA", Function::Kind::Fragment, reinterpret_cast<const void*>(&fragment<true>)},
};

}  // namespace

void sample(const Texture* t, const SamplerDescriptor* s, float u, float v, float out[4]) { shading::sample(t, s, u, v, out); }

const CompiledFunction* findCompiledFunction(std::string_view name) {
  for (const auto& f : kFunctions)
    if (name == f.name) return &f;
  return nullptr;
}

FragmentKind fragmentKindOf(const void* entry) {
  if (entry == kFunctions[1].entry) return FragmentKind::Plain;
  if (entry == kFunctions[2].entry) return FragmentKind::AntiAlias;
  return FragmentKind::Other;
}

}  // namespace mtl::gpu
