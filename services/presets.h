#pragma once
// A product's presets as small text files in a folder of the user's: the magic first line,
// "name=" and "state=" with the state bytes in Base64. The store knows nothing of what the
// state bytes mean.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brightloom::presets {

struct Format {
  std::string_view extension;    // with its dot, e.g. ".sppreset"
  std::string_view magic;        // the exact first line of every file
  std::string_view folder;       // the product's folder under the user root
  std::string_view productName;  // used in messages
};

struct SavedPreset {
  std::string name;
  std::vector<std::uint8_t> state;
  std::filesystem::path path;
};

// Files larger than this are never read whole; they count as having no readable state.
inline constexpr std::uintmax_t kMaxPresetFileBytes = 16u * 1024u * 1024u;

// root / folder / "Presets".
std::filesystem::path userPresetDirectory(const Format& format, const std::filesystem::path& root);

// Every readable preset of the folder, sorted by name (unsigned byte order), equal names by
// path. Unreadable files are left out. Throws std::filesystem::filesystem_error when stepping
// through the folder fails.
std::vector<SavedPreset> listPresets(const Format& format, const std::filesystem::path& folder);

// Reads one preset file. On failure returns false and sets `error` to
// "not an <product> preset: <file name>" or "the preset has no readable state: <file name>".
bool readPreset(const Format& format, const std::filesystem::path& path, SavedPreset& preset,
                std::string& error);

// The file a preset of this name is to be written to. The name is taken as stored (each line
// break a space); its cleaned file name's file when it is free or holds a preset of exactly
// that stored name, else the first such of "<stem>-1" .. "<stem>-999". Empty when all 1000
// candidates hold something else.
std::filesystem::path presetPathForName(const Format& format, const std::filesystem::path& folder,
                                        std::string_view name);

// Writes the preset file atomically, under the name as stored (see presetPathForName), to
// the file presetPathForName chooses. On failure returns false with "could not write " + path.
bool writePreset(const Format& format, const std::filesystem::path& folder, std::string_view name,
                 std::span<const std::uint8_t> state, std::string& error);

// RFC 4648 Base64 with "=" padding and no line breaks.
std::string toBase64(std::span<const std::uint8_t> bytes);
// Strict decoding: length a multiple of 4, padding only at the end. On false `bytes` may hold
// a decoded prefix; callers treat it as no data.
bool fromBase64(std::string_view text, std::vector<std::uint8_t>& bytes);

namespace detail {
// The reading rules of readPreset applied to a file's bytes already in memory.
bool parsePresetText(const Format& format, std::string_view text, const std::filesystem::path& path,
                     SavedPreset& preset, std::string& error);
}  // namespace detail

}  // namespace brightloom::presets
