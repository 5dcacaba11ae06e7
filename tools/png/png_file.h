#pragma once
// PNG files of rendered frames. Thread: any. Failures: false (the file may be missing);
// std::bad_alloc when memory runs out (nothing the encoder held is kept).
#include <cstdint>
#include <string>
#include <vector>

namespace pngfile {

// Writes premultiplied RGBA rows (top row first) as a straight-alpha PNG.
bool writePremultipliedPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba);
// The same PNG file's bytes (empty when the rows do not fit w x h or encoding fails).
std::string encodePremultipliedPng(int w, int h, const std::vector<uint8_t>& rgba);

}  // namespace pngfile
