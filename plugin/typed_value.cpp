#include "plugin/typed_value.h"

#include <cstring>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "graphics/IControl.h"
#include "plugin/parameters.h"

namespace spectrapoise::plugin {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSeparator(char c) { return c == '.' || c == ','; }

}  // namespace

std::optional<double> parseTypedValue(std::string_view text, double min, double max, bool allowK) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skipSpace = [&] {
    while (i < n && isSpace(text[i])) ++i;
  };

  skipSpace();
  if (i == n) return std::nullopt;

  bool negative = false;
  if (text[i] == '-') {
    negative = true;
    ++i;
  } else if (text[i] == '+') {
    ++i;
  } else if (text.substr(i, 3) == "\xE2\x88\x92") {  // U+2212 MINUS SIGN
    negative = true;
    i += 3;
  }
  skipSpace();
  if (i == n) return std::nullopt;

  double value = 0.0;
  bool integerDigits = false;
  while (i < n && isDigit(text[i])) {
    value = value * 10.0 + (text[i] - '0');
    integerDigits = true;
    ++i;
  }
  if (i < n && isSeparator(text[i])) {
    const bool digitFollows = i + 1 < n && isDigit(text[i + 1]);
    if (!digitFollows && !integerDigits) return std::nullopt;
    ++i;
    double weight = 0.1;
    while (i < n && isDigit(text[i])) {
      value += (text[i] - '0') * weight;
      weight *= 0.1;
      ++i;
    }
  } else if (!integerDigits) {
    return std::nullopt;
  }

  skipSpace();
  if (allowK && i < n && (text[i] == 'k' || text[i] == 'K')) value *= 1000.0;

  if (negative) value = -value;
  if (value < min) value = min;
  if (value > max) value = max;
  return value;
}

}  // namespace spectrapoise::plugin

namespace typed_value {

bool sendTypedValue(plugkit::canvas::IControl& control, int paramIdx, const char* text, bool allowK) {
  if (text == nullptr || paramIdx < 0) return false;
  plugkit::canvas::ICanvasEditorDelegate* delegate = control.GetDelegate();
  if (delegate == nullptr) return false;
  const plugkit::IParam* param = delegate->GetParam(paramIdx);
  if (param == nullptr) return false;
  const std::optional<double> value =
      spectrapoise::plugin::parseTypedValue(std::string_view(text, std::strlen(text)), param->GetMin(),
                                            param->GetMax(), allowK);
  if (!value) return false;

  plugkit::canvas::ICanvas* ui = control.GetUI();
  bool heldOpen = false;
  if (ui != nullptr)
    ui->ForControlWithParam(paramIdx, [&](plugkit::canvas::IControl* bound) {
      heldOpen = heldOpen || ui->HasOpenGesture(bound, paramIdx);
    });
  if (!heldOpen) delegate->BeginInformHostOfParamChangeFromUI(paramIdx);
  delegate->SendParameterValueFromUI(paramIdx, spectrapoise::plugin::normalizedForEdit(*param, *value));
  if (!heldOpen) delegate->EndInformHostOfParamChangeFromUI(paramIdx);

  // Every view of the parameter shows the stored value, without sending it again.
  const double stored = spectrapoise::plugin::normalizedForEdit(*param, param->Value());
  if (ui != nullptr) {
    ui->ForControlWithParam(paramIdx, [&](plugkit::canvas::IControl* bound) {
      for (int slot = 0; slot < bound->NVals(); ++slot)
        if (bound->GetParamIdx(slot) == paramIdx) bound->SetValue(stored, slot);
      bound->SetDirty(false);
    });
  }
  return true;
}

}  // namespace typed_value
