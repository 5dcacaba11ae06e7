// libFuzzer target: the preset reader's rules on arbitrary file contents, and Base64.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "services/presets.h"

namespace {
constexpr brightloom::presets::Format kFormat{".sppreset", "SpectraPoise preset 1", "SpectraPoise",
                                             "SpectraPoise"};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  brightloom::presets::SavedPreset preset;
  std::string error;
  if (brightloom::presets::detail::parsePresetText(kFormat, text, "f.sppreset", preset, error)) {
    if (preset.state.empty() || preset.name.empty() || !error.empty()) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  std::vector<std::uint8_t> bytes;
  if (brightloom::presets::fromBase64(text, bytes)) {
    std::vector<std::uint8_t> again;
    if (!brightloom::presets::fromBase64(brightloom::presets::toBase64(bytes), again) || again != bytes) {
      std::abort();
    }
  }
  return 0;
}
