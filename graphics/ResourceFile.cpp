#include "graphics/ResourceFile.h"

#include <cstdio>
#include <memory>

namespace plugkit::canvas {

bool ReadResourceFile(const char* path, std::vector<uint8_t>& bytes, size_t maxBytes) {
  bytes.clear();
  if (path == nullptr || path[0] == '\0') return false;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || static_cast<unsigned long>(size) > maxBytes) return false;
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  bytes.resize(static_cast<size_t>(size));
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace plugkit::canvas
