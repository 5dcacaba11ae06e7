#pragma once
// The Foundation classes the editor's AppKit code uses: URLs, the file manager, timers on
// the main run loop and the notification centre. Main thread only.
#include <functional>
#include <string>
#include <vector>

#include "shims/apple/appkit/AppKitTypes.h"
#include "shims/apple/corefoundation/CoreFoundation.h"

// ---- URLs ----

class NSURL : public NSObject {
public:
  // Null when no URL forms from the text: empty, or holding a character URLs do not
  // carry (a space, a control character, any of <>"{}|\^`, a non-ASCII byte, or a '%'
  // not followed by two hex digits).
  static NSURL* URLWithString(const std::string& text);
  // A file URL of the path; null for an empty path.
  static NSURL* fileURLWithPath(const std::string& path);

  bool isFileURL() const { return mFile; }
  // The file path of a file URL; a web URL's text.
  const std::string& path() const { return mPath; }
  // "file://" and the percent-encoded path for a file URL; the text for a web URL.
  std::string absoluteString() const;

private:
  NSURL(bool file, std::string path) : mFile(file), mPath(std::move(path)) {}
  bool mFile;
  std::string mPath;
};

// ---- Files ----

class NSFileManager {
public:
  static NSFileManager* defaultManager();
  // The real file system.
  bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
};

// ---- Timers ----

class NSTimer : public NSObject {
public:
  using Block = std::function<void(NSTimer*)>;
  // A timer that calls the block every interval seconds (once without repeats) once it is
  // added to a run loop. Null when the run-loop timer cannot be made.
  static NSTimer* timerWithTimeInterval(double interval, bool repeats, Block block);
  // Stops it for good; later calls do nothing.
  void invalidate();
  bool isValid() const;
  double timeInterval() const { return mInterval; }
  CFRunLoopTimerRef runLoopTimer() const { return mTimer; }

private:
  NSTimer() = default;
  ~NSTimer() override;
  static void fire(CFRunLoopTimerRef, void* info);
  CFRunLoopTimerRef mTimer = nullptr;
  double mInterval = 0.0;
  bool mRepeats = false;
  Block mBlock;
};

// The main run loop. Timers added to it run from the test's stepped loop, or from the
// host's loop (they follow the loop the host offered to the plug-in's own timer).
class NSRunLoop {
public:
  static NSRunLoop* currentRunLoop();
  static NSRunLoop* mainRunLoop() { return currentRunLoop(); }
  void addTimer(NSTimer* timer, CFStringRef mode);
};

// ---- Notifications ----

extern const char* const NSViewFrameDidChangeNotification;

struct NSNotification {
  std::string name;
  NSObject* object = nullptr;
};

class NSNotificationCenter {
public:
  using Handler = std::function<void(const NSNotification&)>;
  static NSNotificationCenter* defaultCenter();
  // The handler runs for every notification of that name from that object (null: any).
  void addObserver(const void* observer, Handler handler, const std::string& name, const NSObject* object);
  // Every registration of the observer goes.
  void removeObserver(const void* observer);
  // Runs the matching handlers in the order they were added; a handler may remove
  // observers (removed ones are skipped).
  void postNotification(const std::string& name, NSObject* object);
  int observerCount() const { return static_cast<int>(mEntries.size()); }

private:
  struct Entry {
    const void* observer;
    Handler handler;
    std::string name;
    const NSObject* object;
    uint64_t id;
  };
  std::vector<Entry> mEntries;
  uint64_t mNextId = 1;
};
