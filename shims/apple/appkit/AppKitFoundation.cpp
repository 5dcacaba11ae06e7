#include "shims/apple/appkit/AppKitFoundation.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <new>

#include "shims/apple/corefoundation/CFHostRunLoop.h"

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool formsURL(const std::string& text) {
  if (text.empty()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c >= 0x7F || std::strchr("<>\"{}|\\^`", c) != nullptr) return false;
    if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
  }
  return true;
}

}  // namespace

NSURL* NSURL::URLWithString(const std::string& text) {
  if (!formsURL(text)) return nullptr;
  const bool file = text.rfind("file://", 0) == 0;
  return new NSURL(file, file ? text.substr(7) : text);
}

NSURL* NSURL::fileURLWithPath(const std::string& path) {
  if (path.empty()) return nullptr;
  return new NSURL(true, path);
}

std::string NSURL::absoluteString() const {
  if (!mFile) return mPath;
  static const char* hex = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : mPath) {
    if (std::isalnum(c) || std::strchr("/-._~!$&'()*+,;=:@", c) != nullptr) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

NSFileManager* NSFileManager::defaultManager() {
  static NSFileManager manager;
  return &manager;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  if (isDirectory != nullptr) *isDirectory = S_ISDIR(st.st_mode);
  return true;
}

NSTimer* NSTimer::timerWithTimeInterval(double interval, bool repeats, Block block) {
  auto* timer = new (std::nothrow) NSTimer();
  if (timer == nullptr) return nullptr;
  timer->mInterval = interval > 0.0 ? interval : 0.0;
  timer->mRepeats = repeats;
  timer->mBlock = std::move(block);
  CFRunLoopTimerContext context{0, timer, nullptr, nullptr, nullptr};
  timer->mTimer = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + timer->mInterval,
                                       repeats ? timer->mInterval : 0.0, 0, 0, &NSTimer::fire, &context);
  if (timer->mTimer == nullptr) {
    timer->release();
    return nullptr;
  }
  CFRunLoopTimerSetFollowsMainLoop(timer->mTimer, true);
  return timer;
}

NSTimer::~NSTimer() {
  invalidate();
  if (mTimer != nullptr) CFRelease(mTimer);
}

void NSTimer::fire(CFRunLoopTimerRef, void* info) {
  auto* timer = static_cast<NSTimer*>(info);
  // The block may invalidate the timer and release the last outside reference to it.
  NSPtr<NSTimer> hold = NSPtr<NSTimer>::retain(timer);
  const Block block = timer->mBlock;
  if (block) block(timer);
}

void NSTimer::invalidate() {
  if (mTimer != nullptr) CFRunLoopTimerInvalidate(mTimer);
  mBlock = nullptr;
}

bool NSTimer::isValid() const { return mTimer != nullptr && CFRunLoopTimerIsValid(mTimer); }

NSRunLoop* NSRunLoop::currentRunLoop() {
  static NSRunLoop loop;
  return &loop;
}

void NSRunLoop::addTimer(NSTimer* timer, CFStringRef mode) {
  if (timer == nullptr || timer->runLoopTimer() == nullptr) return;
  CFRunLoopAddTimer(CFRunLoopGetMain(), timer->runLoopTimer(), mode);
}

const char* const NSViewFrameDidChangeNotification = "NSViewFrameDidChangeNotification";

NSNotificationCenter* NSNotificationCenter::defaultCenter() {
  static NSNotificationCenter center;
  return &center;
}

void NSNotificationCenter::addObserver(const void* observer, Handler handler, const std::string& name,
                                       const NSObject* object) {
  mEntries.push_back({observer, std::move(handler), name, object, mNextId++});
}

void NSNotificationCenter::removeObserver(const void* observer) {
  std::erase_if(mEntries, [observer](const Entry& e) { return e.observer == observer; });
}

void NSNotificationCenter::postNotification(const std::string& name, NSObject* object) {
  std::vector<uint64_t> ids;
  for (const Entry& e : mEntries)
    if (e.name == name && (e.object == nullptr || e.object == object)) ids.push_back(e.id);
  const NSNotification note{name, object};
  for (uint64_t id : ids) {
    Handler handler;
    for (const Entry& e : mEntries)
      if (e.id == id) handler = e.handler;
    if (handler) handler(note);
  }
}
