// The plug-in base's source dumps: the current preset written out as source text that
// calls the preset-filling operations, appended to a file.
#include "framework/IPluginBase.h"

#include <cstdio>
#include <string>

#include "framework/IPluginBaseText.h"

namespace plugkit {

namespace {

// Appends a C string literal of text (quotes and backslashes escaped).
void appendQuoted(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  out += '"';
}

bool appendToFile(const char* path, const std::string& text) {
  if (path == nullptr || *path == '\0') return false;
  FILE* f = std::fopen(path, "a");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

std::string formatValue(const IParam& param, double value) {
  char buffer[64];
  StringBuf text;
  switch (param.Type()) {
    case IParam::kTypeBool: return value >= 0.5 ? "true" : "false";
    case IParam::kTypeInt:
    case IParam::kTypeEnum: text.SetFormatted(63, "%d", static_cast<int>(value)); break;
    default: text.SetFormatted(63, "%.6f", value); break;
  }
  std::snprintf(buffer, sizeof(buffer), "%s", text.Get());
  return buffer;
}

}  // namespace

bool IPluginBase::DumpMakePresetSrc(const char* path) const {
  std::string text = "MakePreset(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", {";
  for (int i = 0; i < NParams(); ++i) {
    text += i == 0 ? "" : ", ";
    text += formatValue(*GetParam(i), GetParam(i)->Value());
  }
  text += "});\n";
  return appendToFile(path, text);
}

bool IPluginBase::DumpMakePresetFromNamedParamsSrc(const char* path, const char* paramEnumNames[]) const {
  if (paramEnumNames == nullptr) return false;
  std::string text = "  MakePresetFromNamedParams(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", {";
  for (int i = 0; i < NParams(); ++i) {
    text += i == 0 ? "\n" : ",\n";
    text += "    {";
    text += paramEnumNames[i] != nullptr ? paramEnumNames[i] : "";
    text += ", " + formatValue(*GetParam(i), GetParam(i)->Value()) + "}";
  }
  text += "});\n";
  return appendToFile(path, text);
}

bool IPluginBase::DumpPresetBlob(const char* path) const {
  IByteChunk state;
  if (!SerializeState(state)) return false;
  std::string text = "MakePresetFromBlob(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", \"" + detail::Base64Encode(state.GetData(), state.Size()) + "\", ";
  text += std::to_string(state.Size()) + ");\n";
  return appendToFile(path, text);
}

}  // namespace plugkit
