#include "shims/apple/appkit/NSWorkspace.h"

#include "shims/apple/appkit/NSApplication.h"

NSPasteboard* NSPasteboard::generalPasteboard() { return NSApp->generalPasteboard(); }

NSInteger NSPasteboard::clearContents() {
  mEntries.clear();
  return ++mChangeCount;
}

NSPasteboard::Entry* NSPasteboard::find(const std::string& type) {
  for (Entry& e : mEntries)
    if (e.type == type) return &e;
  return nullptr;
}

const NSPasteboard::Entry* NSPasteboard::find(const std::string& type) const {
  for (const Entry& e : mEntries)
    if (e.type == type) return &e;
  return nullptr;
}

bool NSPasteboard::setString(const std::string& string, const std::string& type) {
  return setPropertyList({string}, type);
}

std::optional<std::string> NSPasteboard::stringForType(const std::string& type) const {
  const Entry* e = find(type);
  if (e == nullptr || e->values.size() != 1) return std::nullopt;
  return e->values.front();
}

bool NSPasteboard::writeObjects(const std::vector<NSPtr<NSURL>>& urls) {
  std::vector<std::string> values;
  for (const NSPtr<NSURL>& url : urls)
    if (url) values.push_back(url->absoluteString());
  if (values.empty()) return false;
  return setPropertyList(values, NSPasteboardTypeFileURL);
}

bool NSPasteboard::setPropertyList(const std::vector<std::string>& list, const std::string& type) {
  if (failWrites) return false;
  if (Entry* e = find(type))
    e->values = list;
  else
    mEntries.push_back({type, list});
  return true;
}

std::optional<std::vector<std::string>> NSPasteboard::propertyListForType(const std::string& type) const {
  const Entry* e = find(type);
  if (e == nullptr) return std::nullopt;
  return e->values;
}

std::vector<std::string> NSPasteboard::types() const {
  std::vector<std::string> out;
  for (const Entry& e : mEntries) out.push_back(e.type);
  return out;
}

NSWorkspace* NSWorkspace::sharedWorkspace() {
  static NSWorkspace workspace;
  return &workspace;
}

bool NSWorkspace::openURL(NSURL* url) {
  if (url == nullptr) return false;
  NSApp->workspaceLog.push_back("open " + url->absoluteString());
  return NSApp->workspaceSucceeds;
}

bool NSWorkspace::openFile(const std::string& path) {
  NSApp->workspaceLog.push_back("open file " + path);
  return NSApp->workspaceSucceeds;
}

bool NSWorkspace::selectFile(const std::string& path, const std::string& rootFullPath) {
  NSApp->workspaceLog.push_back("select " + path + " in " + rootFullPath);
  return NSApp->workspaceSucceeds;
}

NSPtr<NSImage> NSWorkspace::iconForFile(const std::string& path) { return NSPtr<NSImage>::adopt(new NSImage(path)); }
