#include "platform/mac/PromptRules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/IParam.h"

namespace plugkit::canvas {

std::string MenuItemTitle(int prefixMode, int index, const char* text) {
  char prefix[32] = {};
  switch (prefixMode) {
    case 1: std::snprintf(prefix, sizeof prefix, "%1d: ", index + 1); break;
    case 2: std::snprintf(prefix, sizeof prefix, "%02d: ", index + 1); break;
    case 3: std::snprintf(prefix, sizeof prefix, "%03d: ", index + 1); break;
    default: break;
  }
  return std::string(prefix) + (text != nullptr ? text : "");
}

MenuItemLook LookOf(const IPopupMenu::Item& item) {
  MenuItemLook look;
  look.separator = item.GetIsSeparator();
  look.submenu = item.GetSubmenu() != nullptr;
  look.indent = item.GetIsTitle() ? 1 : 0;
  look.enabled = item.GetEnabled();
  look.checked = item.GetChecked();
  return look;
}

MenuPlacement PlaceMenu(int chosenIndex, int itemCount, const ViewRect& bounds) {
  if (chosenIndex >= 0 && chosenIndex < itemCount) return {chosenIndex, bounds.x, bounds.y};
  return {-1, bounds.x, bounds.y + bounds.h + 4.0};
}

FieldFilter FieldFilterFor(bool linkedToParameter, int paramType, int length) {
  FieldFilter filter;
  filter.maxLength = length > 0 ? length : 0;
  if (!linkedToParameter) return filter;
  filter.hasCharacterSet = true;
  switch (paramType) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: filter.characterSet = u"0123456789-+"; break;
    case IParam::kTypeDouble: filter.characterSet = u"0123456789.-+"; break;
    default: break;
  }
  return filter;
}

int LeadingIntValue(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool FieldAccepts(const FieldFilter& filter, std::u16string_view text) {
  if (filter.hasCharacterSet) {
    for (char16_t c : text)
      if (filter.characterSet.find(c) == std::u16string::npos) return false;
  }
  if (filter.maxLength != 0 && text.size() > static_cast<size_t>(filter.maxLength)) return false;
  if (filter.maxValue != 0 && LeadingIntValue(text) > filter.maxValue) return false;
  return true;
}

double FieldFontSize(float textSize, float drawScale, double emRatio) {
  return static_cast<double>(textSize) * static_cast<double>(drawScale) * emRatio;
}

ViewRect CentredTextRect(const ViewRect& cell, double textHeight) {
  const double d = static_cast<double>(static_cast<float>(cell.h - textHeight));
  return {cell.x, cell.y + d / 2.0, cell.w, cell.h - d};
}

std::vector<const char*> MessageBoxButtons(EMsgBoxType type) {
  switch (type) {
    case EMsgBoxType::OK: return {"OK"};
    case EMsgBoxType::OKCancel: return {"OK", "Cancel"};
    case EMsgBoxType::YesNoCancel: return {"Yes", "No", "Cancel"};
    case EMsgBoxType::YesNo: return {"Yes", "No"};
    case EMsgBoxType::RetryCancel: return {"Retry", "Cancel"};
    default: return {};
  }
}

EMsgBoxResult MessageBoxResult(EMsgBoxType type, long response) {
  const bool first = response == 1000, second = response == 1001;
  switch (type) {
    case EMsgBoxType::OK: return EMsgBoxResult::OK;
    case EMsgBoxType::OKCancel: return first ? EMsgBoxResult::OK : EMsgBoxResult::Cancel;
    case EMsgBoxType::YesNoCancel:
      return first ? EMsgBoxResult::Yes : second ? EMsgBoxResult::No : EMsgBoxResult::Cancel;
    case EMsgBoxType::YesNo: return first ? EMsgBoxResult::Yes : EMsgBoxResult::No;
    case EMsgBoxType::RetryCancel: return first ? EMsgBoxResult::Retry : EMsgBoxResult::Cancel;
    default: return EMsgBoxResult::Cancel;
  }
}

std::vector<std::string> AllowedFileTypes(const char* ext) {
  std::vector<std::string> types;
  if (ext == nullptr) return types;
  std::string token;
  for (const char* p = ext;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!token.empty()) types.push_back(token);
      token.clear();
      if (*p == '\0') break;
    } else {
      token += *p;
    }
  }
  return types;
}

std::string FolderOf(const std::string& fullPath) {
  const size_t slash = fullPath.find_last_of('/');
  if (slash == std::string::npos) return "/";
  return fullPath.substr(0, slash) + "/";
}

std::string WithTrailingSlash(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + "/";
}

std::string ExpandTilde(const std::string& path, const std::string& home) {
  if (path == "~") return home;
  if (path.size() >= 2 && path[0] == '~' && path[1] == '/') return home + path.substr(1);
  return path;
}

bool IsWebURL(const char* url) { return url != nullptr && std::strstr(url, "http") != nullptr; }

void ColorComponents(const IColor& color, double& r, double& g, double& b, double& a) {
  r = color.R / 255.0;
  g = color.G / 255.0;
  b = color.B / 255.0;
  a = color.A / 255.0;
}

IColor ColorFromComponents(double r, double g, double b, double a) {
  auto channel = [](double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(v, 0.0, 1.0) * 255.0);
  };
  return IColor(channel(a), channel(r), channel(g), channel(b));
}

}  // namespace plugkit::canvas
