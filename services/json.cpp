#include "services/json.h"

#include <charconv>
#include <system_error>

#include "framework/StringBuf.h"

namespace brightloom::json {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Overflow and underflow of the exact conversion: redone with strtod in the "C" locale, which
// gives the infinity or the zero (or denormal) that JSON's decimal text stands for.
double convertOutOfRange(std::string_view matched) {
  const std::string copy(matched);
  return ParseDoubleCLocale(copy.c_str(), nullptr);
}

}  // namespace

std::optional<std::string> Value::string(std::string_view key) const {
  const Value* m = member(key);
  if (m == nullptr || m->kind != kString) return std::nullopt;
  return m->text;
}

const Value* Value::member(std::string_view key) const {
  if (kind != kObject) return nullptr;
  for (const Member& m : object) {
    if (m.key == key) return &m.value;
  }
  return nullptr;
}

namespace detail {

void Reader::skipWhitespace() {
  while (pos_ < text_.size()) {
    const char c = text_[pos_];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
    ++pos_;
  }
}

std::optional<Value> Reader::document() {
  Value value;
  if (!parse(value, 0)) return std::nullopt;
  skipWhitespace();
  if (pos_ != text_.size()) return std::nullopt;
  return value;
}

bool Reader::literal(std::string_view word) {
  if (text_.substr(pos_, word.size()) != word) return false;
  pos_ += word.size();
  return true;
}

bool Reader::parse(Value& out, int depth) {
  if (depth > kMaxDepth) return false;
  skipWhitespace();
  if (pos_ >= text_.size()) return false;

  switch (text_[pos_]) {
    case '[': {
      ++pos_;
      out.kind = Value::kArray;
      skipWhitespace();
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return true;
      }
      while (true) {
        Value element;
        if (!parse(element, depth + 1)) return false;
        out.array.push_back(std::move(element));
        skipWhitespace();
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_++];
        if (c == ']') return true;
        if (c != ',') return false;
      }
    }
    case '{': {
      ++pos_;
      out.kind = Value::kObject;
      skipWhitespace();
      if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return true;
      }
      while (true) {
        skipWhitespace();
        std::string key;
        if (!string(key)) return false;
        skipWhitespace();
        if (pos_ >= text_.size() || text_[pos_] != ':') return false;
        ++pos_;
        Value member;
        if (!parse(member, depth + 1)) return false;
        out.object.push_back(Member{std::move(key), std::move(member)});
        skipWhitespace();
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_++];
        if (c == '}') return true;
        if (c != ',') return false;
      }
    }
    case 't':
      out.kind = Value::kBoolean;
      out.boolean = true;
      return literal("true");
    case 'f':
      out.kind = Value::kBoolean;
      out.boolean = false;
      return literal("false");
    case 'n':
      out.kind = Value::kNull;
      return literal("null");
    case '"':
      out.kind = Value::kString;
      return string(out.text);
    default:
      return number(out);
  }
}

bool Reader::number(Value& out) {
  const std::size_t start = pos_;
  std::size_t p = pos_;
  const std::size_t n = text_.size();
  if (p < n && text_[p] == '-') ++p;
  if (p >= n || !isDigit(text_[p])) return false;
  if (text_[p] == '0') {
    ++p;
  } else {
    while (p < n && isDigit(text_[p])) ++p;
  }
  if (p < n && text_[p] == '.') {
    ++p;
    if (p >= n || !isDigit(text_[p])) return false;
    while (p < n && isDigit(text_[p])) ++p;
  }
  if (p < n && (text_[p] == 'e' || text_[p] == 'E')) {
    ++p;
    if (p < n && (text_[p] == '+' || text_[p] == '-')) ++p;
    if (p >= n || !isDigit(text_[p])) return false;
    while (p < n && isDigit(text_[p])) ++p;
  }

  const std::string_view matched = text_.substr(start, p - start);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(matched.data(), matched.data() + matched.size(), value);
  if (ec == std::errc::result_out_of_range) {
    value = convertOutOfRange(matched);
  } else if (ec != std::errc() || end != matched.data() + matched.size()) {
    return false;
  }
  out.kind = Value::kNumber;
  out.number = value;
  pos_ = p;
  return true;
}

bool Reader::hex4(unsigned& out) {
  if (text_.size() - pos_ < 4) return false;
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = text_[pos_ + i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  pos_ += 4;
  out = value;
  return true;
}

void Reader::appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool Reader::string(std::string& out) {
  if (pos_ >= text_.size() || text_[pos_] != '"') return false;
  ++pos_;
  while (pos_ < text_.size()) {
    const unsigned char c = static_cast<unsigned char>(text_[pos_++]);
    if (c == '"') return true;
    if (c < 0x20) return false;
    if (c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    if (pos_ >= text_.size()) return false;
    switch (text_[pos_++]) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        unsigned unit = 0;
        if (!hex4(unit)) return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          unsigned low = 0;
          if (text_.substr(pos_, 2) != "\\u") return false;
          pos_ += 2;
          if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          unit = 0x10000 + (unit - 0xD800) * 0x400 + (low - 0xDC00);
        }
        appendUtf8(out, unit);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

}  // namespace detail

std::optional<Value> parse(std::string_view text) { return detail::Reader(text).document(); }

std::string quote(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace brightloom::json
