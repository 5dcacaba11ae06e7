// Parsing SVG text into the image data model: the product's logo and a 1 MiB file of
// path data. Anchor in the same run: the XML library's own load_buffer of the same text,
// which the reader does first; the goal is a whole parse under three times that.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/svg/nanosvg.h"

namespace {

std::string readLogo() {
  const auto path = std::filesystem::path(__FILE__).parent_path() / "../../resources/spectrapoise-lockup.svg";
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// About 1 MiB of paths mixing every command, absolute and relative, with numbers of one
// or two decimals, as drawing programs write them (fixed seed).
std::string pathFile() {
  uint32_t seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  auto num = [&](int range) {
    const int v = next(range * 100);
    return std::to_string(v / 100) + "." + std::to_string(v % 100);
  };
  std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1000\">\n";
  while (text.size() < (size_t{1} << 20)) {
    text += "<path fill=\"#3a6ea5\" stroke=\"#102030\" stroke-width=\"1.5\" d=\"M" + num(1000) + " " + num(1000);
    for (int i = 0; i < 40; ++i) {
      switch (next(8)) {
        case 0: text += "L" + num(1000) + " " + num(1000); break;
        case 1: text += "l" + num(20) + "-" + num(20); break;
        case 2: text += "C" + num(1000) + " " + num(1000) + " " + num(1000) + " " + num(1000) + " " + num(1000) + " " + num(1000); break;
        case 3: text += "c" + num(20) + " " + num(20) + "-" + num(20) + " " + num(20) + " " + num(20) + " " + num(20); break;
        case 4: text += "Q" + num(1000) + " " + num(1000) + " " + num(1000) + " " + num(1000); break;
        case 5: text += "a" + num(30) + " " + num(20) + " 0 0 1 " + num(40) + " " + num(40); break;
        case 6: text += "h" + num(30) + "v-" + num(30); break;
        default: text += "s" + num(20) + " " + num(20) + " " + num(20) + " " + num(20); break;
      }
    }
    text += "z\"/>\n";
  }
  return text + "</svg>\n";
}

const std::string& input(int which) {
  static const std::string logo = readLogo();
  static const std::string paths = pathFile();
  return which == 0 ? logo : paths;
}

void BM_XmlOnly(benchmark::State& state) {
  const std::string& text = input(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The reader works in place, so each run parses a fresh copy (the copy is timed too).
void BM_Parse(benchmark::State& state) {
  const std::string& text = input(static_cast<int>(state.range(0)));
  if (text.empty()) {
    state.SkipWithError("no input text");
    return;
  }
  std::vector<char> buffer(text.size() + 1);
  for (auto _ : state) {
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    NSVGimage* image = nsvgParse(buffer.data(), "px", 72.f);
    if (image == nullptr) {
      state.SkipWithError("the text did not parse");
      return;
    }
    nsvgDelete(image);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// 0: the logo, 1: the 1 MiB path file.
BENCHMARK(BM_XmlOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Parse)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
