#pragma once
// The AppKit stand-in's desktop services: pasteboards (the general one in memory, one per
// drag) and the workspace, which records what it was asked to open or reveal and answers
// as the application says (NSApplication::workspaceSucceeds). Main thread only.
#include <optional>
#include <string>
#include <vector>

#include "shims/apple/appkit/AppKitFoundation.h"

class NSPasteboard : public NSObject {
public:
  // The application's general pasteboard.
  static NSPasteboard* generalPasteboard();
  NSPasteboard() = default;

  // Empties it; answers the new change count.
  NSInteger clearContents();
  NSInteger changeCount() const { return mChangeCount; }
  // False while writes fail (failWrites, for tests).
  bool setString(const std::string& string, const std::string& type);
  std::optional<std::string> stringForType(const std::string& type) const;
  // Writes the URLs (file URLs under NSPasteboardTypeFileURL, as their absolute strings).
  bool writeObjects(const std::vector<NSPtr<NSURL>>& urls);
  bool setPropertyList(const std::vector<std::string>& list, const std::string& type);
  std::optional<std::vector<std::string>> propertyListForType(const std::string& type) const;
  std::vector<std::string> types() const;

  bool failWrites = false;

private:
  struct Entry {
    std::string type;
    std::vector<std::string> values;
  };
  Entry* find(const std::string& type);
  const Entry* find(const std::string& type) const;
  std::vector<Entry> mEntries;
  NSInteger mChangeCount = 0;
};

class NSImage : public NSObject {
public:
  explicit NSImage(std::string file) : mFile(std::move(file)) {}
  const std::string& file() const { return mFile; }
  void setSize(NSSize size) { mSize = size; }
  NSSize size() const { return mSize; }

private:
  std::string mFile;
  NSSize mSize{32, 32};
};

class NSWorkspace {
public:
  static NSWorkspace* sharedWorkspace();
  // Each is recorded in the application's workspace log and answers its workspaceSucceeds.
  bool openURL(NSURL* url);
  bool openFile(const std::string& path);
  bool selectFile(const std::string& path, const std::string& rootFullPath);
  // The file's icon (its picture is known here by the file).
  NSPtr<NSImage> iconForFile(const std::string& path);
};
