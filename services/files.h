#pragma once
// Safe file names and whole-file replacement shared by every feature that writes user files
// (presets, targets), and opening a file to read only when it is a regular one. Any thread.
// All names and texts are UTF-8 byte strings.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brightloom::files {

// folder / (clean name + extension). The name is cleaned byte-wise: unsafe bytes become "-",
// it is cut to at most 80 bytes on a UTF-8 boundary, leading and trailing dots and spaces go,
// an empty result becomes `fallback`, and reserved device names get a trailing "-".
std::filesystem::path pathForName(const std::filesystem::path& folder, std::string_view name,
                                  std::string_view extension, std::string_view fallback);

// Writes `text` to a fresh temporary file beside `path` and renames it onto `path`, so readers
// see either the old file or the whole new one. Creates missing folders. On failure returns
// false, sets `error` to "could not write " + path, leaves the old file as it was and removes
// the temporary file. On success leaves `error` alone.
bool replaceFile(const std::filesystem::path& path, std::string_view text, std::string& error);

// Removes one file (or empty folder). On failure returns false and sets `error` to
// "could not delete " + the last path component.
bool deleteNamedFile(const std::filesystem::path& path, std::string& error);

// Regular files (following symbolic links) directly inside `folder` whose extension equals
// `extension` exactly, in directory order. Empty when the folder is missing or cannot be
// opened; an error while stepping through the folder throws std::filesystem::filesystem_error.
std::vector<std::filesystem::path> filesWithExtension(const std::filesystem::path& folder,
                                                      std::string_view extension);

// Opens a regular file (following symbolic links) for reading, close-on-exec, with blocking
// reads. What is not a regular file (a FIFO nobody writes, a device, a folder) is refused
// without waiting on it: it is opened without blocking and its kind taken from the open
// descriptor, so nothing can be swapped in between. Returns the descriptor, which the caller
// closes, or -1; then `notRegular`, when given, tells whether the path opened but was not a
// regular file.
int openRegularFile(const std::filesystem::path& path, bool* notRegular = nullptr);

}  // namespace brightloom::files
