#pragma once
// Whole-file replacement through an exclusively created temporary file. Shared by every
// writer of files (presets, targets, the update record, framework preset files), which differ
// only in how they name the temporary file.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace plugkit {

// Creates, for reading and writing, a file that did not exist before at nextTemporaryPath()
// (a new name is asked for when one is taken, at most 100 times) and answers its descriptor,
// with its name in `path`; -1 with errno set when none could be made. Never follows or reuses
// whatever already lies at a name.
int CreateExclusiveFile(const std::function<std::string()>& nextTemporaryPath, std::string& path);

// Creates a file with CreateExclusiveFile, writes all of `text`, syncs it to disk, closes it and
// renames it onto `target`. On any failure removes that temporary file and returns false;
// `target` is then untouched.
bool WriteThroughTemporary(const std::filesystem::path& target, std::string_view text,
                           const std::function<std::string()>& nextTemporaryPath);

}  // namespace plugkit
