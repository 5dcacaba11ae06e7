#pragma once
// Target files: a fixed first line, then key=value lines with the target's name, where it
// came from, the band count and two lists of 180 numbers (curve and spread, dB). Also the
// factory targets carried as texts in the same format, and the user target folder.

#include <array>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dsp/engine_types.h"

namespace spectrapoise::offline {

struct SavedTarget {
  std::string name;    // shown in menus
  std::string source;  // where it came from (a reference file's name); may be empty
  dsp::BandCurve curve{};
  dsp::BandCurve spread{};  // all 0 when the file has none
  std::filesystem::path path;  // the file it was read from; empty for factory targets
  bool factory = false;
};

// "Dance", "Metal", "Pop", "Rock", "Schlager" as target-file texts (no source line).
extern const std::array<std::string_view, 5> kFactoryTargetTexts;

inline constexpr std::string_view kTargetExtension = ".sptarget";

namespace target_text {
// The 180 values, fixed notation with three decimals, single spaces, whatever the locale.
std::string writeNumbers(const dsp::BandCurve& values);
// Reads whitespace-separated numbers in the C locale. True when the first 180 read and are
// finite; later numbers are ignored. `values` may be partly written when it fails.
bool readNumbers(std::string_view text, dsp::BandCurve& values);
}  // namespace target_text

// The whole file text. Line feeds and then carriage returns in the name and source become
// spaces, so each stays on its line.
std::string targetText(std::string_view name, std::string_view source, const dsp::BandCurve& curve,
                       const dsp::BandCurve& spread);

// Reads a target text. `displayName` stands in the messages and as the name when the text
// has none. On failure sets `error` and returns false; `target` may then be partly written.
bool parseTarget(std::istream& in, SavedTarget& target, std::string& error,
                 std::string_view displayName);

// The factory targets, parsed, flagged and sorted by name.
std::vector<SavedTarget> factoryTargets();

// root / "SpectraPoise" / "Targets".
std::filesystem::path userTargetDirectory(const std::string& root);

// The readable target files of a folder, sorted by name (byte order). Unreadable files are
// skipped; a missing folder gives none. An error while stepping through the folder throws
// std::filesystem::filesystem_error.
std::vector<SavedTarget> listTargets(const std::filesystem::path& folder);

// Reads one target file; its stem is the display name. On success sets target.path.
bool readTarget(const std::filesystem::path& path, SavedTarget& target, std::string& error);

// Writes folder / (clean name + ".sptarget") through a temporary file and a rename, replacing
// a file of that name. On failure sets `error` to "could not write " + path; the old file
// stays as it was.
bool writeTarget(const std::filesystem::path& folder, std::string_view name, std::string_view source,
                 const dsp::BandCurve& curve, const dsp::BandCurve& spread, std::string& error);

}  // namespace spectrapoise::offline
