#include "services/presets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include "services/files.h"

namespace brightloom::presets {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string notAPreset(const Format& format, const std::filesystem::path& path) {
  return "not an " + std::string(format.productName) + " preset: " + path.filename().string();
}

std::string noState(const std::filesystem::path& path) {
  return "the preset has no readable state: " + path.filename().string();
}

// A regular file opened for reading; anything else (a FIFO would block) is refused.
class InputFile {
public:
  explicit InputFile(const std::filesystem::path& path) : fd_(files::openRegularFile(path)) {
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<std::uintmax_t>(std::max<off_t>(st.st_size, 0));
  }
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  std::uintmax_t size() const { return size_; }

  // Appends bytes until `out` holds `total` bytes or the file ends. False on a read error.
  bool readUpTo(std::string& out, std::size_t total) {
    char buffer[65536];
    while (out.size() < total) {
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, total - out.size()));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) break;
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

private:
  int fd_ = -1;
  std::uintmax_t size_ = 0;
};

// True when the text starts with the first line `magic`, ended by LF, CR LF, a lone CR at the
// end of the text, or the end of the text.
bool startsWithMagicLine(std::string_view text, std::string_view magic) {
  if (text.substr(0, magic.size()) != magic) return false;
  const std::string_view rest = text.substr(magic.size());
  return rest.empty() || rest[0] == '\n' || rest == "\r" || rest.substr(0, 2) == "\r\n";
}

// The name as a file stores it: every line break a space, so it fits on its line.
std::string storedName(std::string_view name) {
  std::string stored(name);
  std::replace(stored.begin(), stored.end(), '\n', ' ');
  std::replace(stored.begin(), stored.end(), '\r', ' ');
  return stored;
}

// `name` is a stored name already.
std::string presetFileText(const Format& format, const std::string& name, std::span<const std::uint8_t> state) {
  std::string text;
  text.reserve(format.magic.size() + name.size() + state.size() * 4 / 3 + 20);
  text.append(format.magic).append("\n");
  text.append("name=").append(name).append("\n");
  text.append("state=").append(toBase64(state)).append("\n");
  return text;
}

}  // namespace

std::filesystem::path userPresetDirectory(const Format& format, const std::filesystem::path& root) {
  return root / std::string(format.folder) / "Presets";
}

namespace detail {

bool parsePresetText(const Format& format, std::string_view text, const std::filesystem::path& path,
                     SavedPreset& preset, std::string& error) {
  if (!startsWithMagicLine(text, format.magic)) {
    error = notAPreset(format, path);
    return false;
  }
  preset = SavedPreset{};
  bool hasState = false;
  std::size_t lineStart = text.find('\n');
  while (lineStart != std::string_view::npos) {
    ++lineStart;
    const std::size_t lineEnd = text.find('\n', lineStart);
    std::string_view line = text.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                                      : lineEnd - lineStart);
    lineStart = lineEnd;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, eq);
    const std::string_view value = line.substr(eq + 1);
    if (key == "name") {
      preset.name = std::string(value);
    } else if (key == "state") {
      hasState = fromBase64(value, preset.state) && !preset.state.empty();
    }
  }
  if (!hasState) {
    preset.state.clear();
    error = noState(path);
    return false;
  }
  if (preset.name.empty()) preset.name = path.stem().string();
  preset.path = path;
  return true;
}

}  // namespace detail

bool readPreset(const Format& format, const std::filesystem::path& path, SavedPreset& preset,
                std::string& error) {
  InputFile file(path);
  std::string text;
  // The first line decides from the first bytes alone, before anything else is read.
  if (!file.isOpen() || !file.readUpTo(text, format.magic.size() + 2) ||
      !startsWithMagicLine(text, format.magic)) {
    error = notAPreset(format, path);
    return false;
  }
  if (file.size() > kMaxPresetFileBytes || !file.readUpTo(text, kMaxPresetFileBytes + 1) ||
      text.size() > kMaxPresetFileBytes) {
    preset = SavedPreset{};
    error = noState(path);
    return false;
  }
  return detail::parsePresetText(format, text, path, preset, error);
}

std::vector<SavedPreset> listPresets(const Format& format, const std::filesystem::path& folder) {
  std::vector<SavedPreset> presets;
  for (const auto& path : files::filesWithExtension(folder, format.extension)) {
    SavedPreset preset;
    std::string error;
    if (readPreset(format, path, preset, error)) presets.push_back(std::move(preset));
  }
  // std::string compares bytes as unsigned char; equal names keep a stable order by path.
  std::sort(presets.begin(), presets.end(), [](const SavedPreset& a, const SavedPreset& b) {
    if (a.name != b.name) return a.name < b.name;
    return a.path.native() < b.path.native();
  });
  return presets;
}

namespace {

// presetPathForName for a name that is a stored name already: the files are chosen by the
// name they store, so a candidate is found again by the name read back from it.
std::filesystem::path pathForStoredName(const Format& format, const std::filesystem::path& folder,
                                        const std::string& name) {
  const std::filesystem::path base = files::pathForName(folder, name, format.extension, "Preset");
  const std::string stem = base.stem().string();
  for (int n = 0; n < 1000; ++n) {
    const std::filesystem::path candidate =
        n == 0 ? base : folder / (stem + "-" + std::to_string(n) + std::string(format.extension));
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(candidate, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) return candidate;
    SavedPreset existing;
    std::string error;
    if (readPreset(format, candidate, existing, error) && existing.name == name) return candidate;
  }
  return {};
}

}  // namespace

std::filesystem::path presetPathForName(const Format& format, const std::filesystem::path& folder,
                                        std::string_view name) {
  return pathForStoredName(format, folder, storedName(name));
}

bool writePreset(const Format& format, const std::filesystem::path& folder, std::string_view name,
                 std::span<const std::uint8_t> state, std::string& error) {
  const std::string stored = storedName(name);
  const std::filesystem::path path = pathForStoredName(format, folder, stored);
  if (path.empty()) {
    // Every candidate holds another file: overwrite none of them.
    error = "could not write " + files::pathForName(folder, stored, format.extension, "Preset").string();
    return false;
  }
  return files::replaceFile(path, presetFileText(format, stored, state), error);
}

std::string toBase64(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = std::uint32_t{bytes[i]} << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

bool fromBase64(std::string_view text, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t g = 0; g < text.size(); g += 4) {
    const bool last = g + 4 == text.size();
    int padding = 0;
    if (last && text[g + 3] == '=') padding = text[g + 2] == '=' ? 2 : 1;
    std::array<int, 4> d{};
    for (int k = 0; k < 4 - padding; ++k) {
      d[k] = base64Digit(text[g + k]);
      if (d[k] < 0) return false;
    }
    const std::uint32_t v = (static_cast<std::uint32_t>(d[0]) << 18) | (static_cast<std::uint32_t>(d[1]) << 12) |
                            (static_cast<std::uint32_t>(d[2]) << 6) | static_cast<std::uint32_t>(d[3]);
    bytes.push_back(static_cast<std::uint8_t>(v >> 16));
    if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

}  // namespace brightloom::presets
