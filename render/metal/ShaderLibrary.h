#pragma once
// The renderer's compiled shader library, embedded in the program: the functions
// "vertexShader", "fragmentShader" and "fragmentShaderAA". Constant data, any thread.
#include <cstddef>

namespace mvg {
extern const unsigned char mvg_bitcode_macos[];
extern const size_t mvg_bitcode_macos_len;
}  // namespace mvg
