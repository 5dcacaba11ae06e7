// libFuzzer target: the JSON reader on arbitrary bytes, and quote/read round trips.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = brightloom::json::parse(text);
  if (value && value->kind == brightloom::json::Value::kString) {
    const auto again = brightloom::json::parse(brightloom::json::quote(value->text));
    if (!again || again->text != value->text) std::abort();
  }
  if (value && value->kind == brightloom::json::Value::kObject) (void)value->string("spectrapoise");
  const auto quoted = brightloom::json::parse(brightloom::json::quote(text));
  if (!quoted || quoted->text != text) std::abort();
  return 0;
}
