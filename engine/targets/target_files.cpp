#include "engine/targets/target_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>

#include "services/files.h"

namespace spectrapoise::offline {

namespace {

constexpr std::string_view kMagic = "SpectraPoise target 1";
constexpr std::string_view kFactoryDisplayName = "factory target";
// A real target file is a few kilobytes; anything far larger is not one, and reading it
// whole (a menu lists every file each time it opens) would waste memory and time.
constexpr std::size_t kMaxTargetFileBytes = 1 << 20;

std::string oneLine(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '\n', ' ');
  std::replace(out.begin(), out.end(), '\r', ' ');
  return out;
}

void dropCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

bool allFinite(const dsp::BandCurve& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

void sortByName(std::vector<SavedTarget>& targets) {
  // std::string compares bytes as unsigned char: plain byte order.
  std::sort(targets.begin(), targets.end(),
            [](const SavedTarget& a, const SavedTarget& b) { return a.name < b.name; });
}

}  // namespace

namespace target_text {

std::string writeNumbers(const dsp::BandCurve& values) {
  std::string out;
  out.reserve(values.size() * 8);
  char buffer[400];  // fixed notation of the largest double with three decimals fits
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.push_back(' ');
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, values[i], std::chars_format::fixed, 3);
    out.append(buffer, result.ptr);
  }
  return out;
}

bool readNumbers(std::string_view text, dsp::BandCurve& values) {
  std::istringstream in{std::string(text)};
  in.imbue(std::locale::classic());
  for (double& v : values) {
    if (!(in >> v) || !std::isfinite(v)) return false;
  }
  return true;
}

}  // namespace target_text

std::string targetText(std::string_view name, std::string_view source, const dsp::BandCurve& curve,
                       const dsp::BandCurve& spread) {
  std::string text;
  text.append(kMagic).push_back('\n');
  text.append("name=").append(oneLine(name)).push_back('\n');
  text.append("source=").append(oneLine(source)).push_back('\n');
  text.append("points=180\n");
  text.append("curve=").append(target_text::writeNumbers(curve)).push_back('\n');
  text.append("spread=").append(target_text::writeNumbers(spread)).push_back('\n');
  return text;
}

bool parseTarget(std::istream& in, SavedTarget& target, std::string& error,
                 std::string_view displayName) {
  std::string line;
  if (!std::getline(in, line) || (dropCarriageReturn(line), line != kMagic)) {
    error = "not an SpectraPoise target: " + std::string(displayName);
    return false;
  }
  target = SavedTarget{};
  bool pointsValid = false, curveComplete = false, spreadComplete = false;
  while (std::getline(in, line)) {
    dropCarriageReturn(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string_view key = std::string_view(line).substr(0, equals);
    const std::string_view value = std::string_view(line).substr(equals + 1);
    if (key == "name")
      target.name = value;
    else if (key == "source")
      target.source = value;
    else if (key == "points")
      pointsValid = value == "180";
    else if (key == "curve")
      curveComplete = target_text::readNumbers(value, target.curve);
    else if (key == "spread")
      spreadComplete = target_text::readNumbers(value, target.spread);
  }
  if (!pointsValid) {
    error = "the target was written for another frequency grid: " + std::string(displayName);
    return false;
  }
  if (!curveComplete) {
    error = "the target has no complete curve: " + std::string(displayName);
    return false;
  }
  if (!spreadComplete) target.spread.fill(0.0);
  if (target.name.empty()) target.name = displayName;
  return true;
}

std::vector<SavedTarget> factoryTargets() {
  std::vector<SavedTarget> targets;
  for (std::string_view text : kFactoryTargetTexts) {
    std::istringstream in{std::string(text)};
    SavedTarget target;
    std::string error;
    if (!parseTarget(in, target, error, kFactoryDisplayName)) continue;
    target.factory = true;
    targets.push_back(std::move(target));
  }
  sortByName(targets);
  return targets;
}

std::filesystem::path userTargetDirectory(const std::string& root) {
  return std::filesystem::path(root) / "SpectraPoise" / "Targets";
}

std::vector<SavedTarget> listTargets(const std::filesystem::path& folder) {
  std::vector<SavedTarget> targets;
  for (const std::filesystem::path& file : brightloom::files::filesWithExtension(folder, kTargetExtension)) {
    SavedTarget target;
    std::string error;
    if (readTarget(file, target, error)) targets.push_back(std::move(target));
  }
  sortByName(targets);
  return targets;
}

bool readTarget(const std::filesystem::path& path, SavedTarget& target, std::string& error) {
  const std::string stem = path.stem().string();
  std::ifstream file(path, std::ios::binary);
  std::string bytes;
  bool readable = static_cast<bool>(file);
  char chunk[16384];
  while (readable && bytes.size() <= kMaxTargetFileBytes) {
    file.read(chunk, sizeof chunk);
    bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
    if (file.eof()) break;
    readable = static_cast<bool>(file);  // a read error
  }
  if (!readable || bytes.empty() || bytes.size() > kMaxTargetFileBytes) {
    error = "not an SpectraPoise target: " + stem;
    return false;
  }
  std::istringstream in(std::move(bytes));
  if (!parseTarget(in, target, error, stem)) return false;
  target.path = path;
  return true;
}

bool writeTarget(const std::filesystem::path& folder, std::string_view name, std::string_view source,
                 const dsp::BandCurve& curve, const dsp::BandCurve& spread, std::string& error) {
  const std::filesystem::path path =
      brightloom::files::pathForName(folder, name, kTargetExtension, "Target");
  // A non-finite value would be written as "nan" or "inf" and the file could never be read
  // back: refuse instead of reporting a save that is lost.
  if (!allFinite(curve) || !allFinite(spread)) {
    error = "could not write " + path.string();
    return false;
  }
  return brightloom::files::replaceFile(path, targetText(name, source, curve, spread), error);
}

}  // namespace spectrapoise::offline
