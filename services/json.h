#pragma once
// A small strict JSON reader that builds a tree of values, and the string quoter that writers
// use for every string they compose. Nesting is limited to 8 containers around a value, so the
// recursion stays shallow for any input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brightloom::json {

struct Member;

struct Value {
  enum Kind : std::int32_t { kNull = 0, kBoolean = 1, kNumber = 2, kString = 3, kArray = 4, kObject = 5 };

  std::int32_t kind = kNull;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<Value> array;
  // Members in document order; duplicate keys are all kept.
  std::vector<Member> object;

  // The text of the first member named `key` when this is an object and that member is a
  // string; nothing otherwise (later members with the same key are never consulted).
  std::optional<std::string> string(std::string_view key) const;
  // The first member named `key`, or null when this is no object or has no such member.
  const Value* member(std::string_view key) const;
};

// One (key, value) pair of an object.
struct Member {
  std::string key;
  Value value;
};

namespace detail {

class Reader {
public:
  static constexpr int kMaxDepth = 8;

  explicit Reader(std::string_view text) : text_(text) {}

  // Parses the whole text as one value; nothing when it is not exactly one valid value.
  std::optional<Value> document();
  // Parses one value after optional whitespace into `out` (passed fresh).
  bool parse(Value& out, int depth);
  // Parses one string literal at the position and appends its decoded bytes to `out`.
  bool string(std::string& out);
  bool hex4(unsigned& out);
  static void appendUtf8(std::string& out, unsigned codePoint);

private:
  void skipWhitespace();
  bool literal(std::string_view word);
  bool number(Value& out);

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace detail

// Shorthand for detail::Reader(text).document().
std::optional<Value> parse(std::string_view text);

// The JSON string literal of a byte string, quotes included. Bytes >= 0x80 pass unchanged.
std::string quote(std::string_view text);

}  // namespace brightloom::json
