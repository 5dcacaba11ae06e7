#pragma once
// Numbers typed into the panel's in-place text entries: a parser independent of the
// process locale (point or comma as the decimal mark, "+", "-" or U+2212 as the sign,
// an optional thousands suffix "k"), and the edit that applies a typed value to a
// parameter the way a mouse gesture would.
#include <optional>
#include <string_view>

namespace plugkit::canvas {
class IControl;
}

namespace spectrapoise::plugin {

// The number at the start of the text, clamped to [min, max]; nothing when the text holds
// no number. With allowK a "k" or "K" after the number multiplies it by 1000. There is no
// exponent notation; text after the number is ignored.
std::optional<double> parseTypedValue(std::string_view text, double min, double max, bool allowK);

}  // namespace spectrapoise::plugin

namespace typed_value {

// Parses the text within the parameter's range and sends it to the host as one editor
// gesture (begin, value, end), then updates every control slot bound to the parameter.
// While a control of the editor holds the parameter's gesture open (a press not yet
// released), the value joins that gesture: the host never hears a nested begin. Main
// thread. False, changing nothing, for a null text, an unknown parameter or text without
// a number.
bool sendTypedValue(plugkit::canvas::IControl& control, int paramIdx, const char* text, bool allowK);

}  // namespace typed_value
