// The embedded shader library blob (the GPU's library format: "MTLB", then the
// zero-terminated function names, then an empty name).
#include "render/metal/ShaderLibrary.h"

namespace mvg {
const unsigned char mvg_bitcode_macos[] = "MTLB"
                                          "vertexShader\0"
                                          "fragmentShader\0"
                                          "fragmentShaderAA\0";
const size_t mvg_bitcode_macos_len = sizeof(mvg_bitcode_macos);
}  // namespace mvg
