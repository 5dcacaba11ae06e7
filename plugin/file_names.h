#pragma once
// Small helpers shared by the preset and target actions.
#include <filesystem>
#include <string>
#include <system_error>

namespace spectrapoise::plugin {

// A typed name without the spaces and tabs at both ends.
inline std::string trimmedName(const std::string& text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// A typed preset name as the preset store writes it into its file: each line break (CR or
// LF) a space, then trimmed. The existence test and the file name both use this one name.
inline std::string cleanedPresetName(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return trimmedName(text);
}

// Something (file, folder, link) lies at path.
inline bool existsAt(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  return !ec && status.type() != std::filesystem::file_type::none &&
         status.type() != std::filesystem::file_type::not_found;
}

}  // namespace spectrapoise::plugin
