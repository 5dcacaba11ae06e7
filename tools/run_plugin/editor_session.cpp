#include "tools/run_plugin/editor_session.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "framework/StringBuf.h"
#include "graphics/nanovg/ICanvasNanoVG.h"
#include "shims/apple/appkit/AppKit.h"
#include "shims/apple/appkit/AppKitTesting.h"
#include "shims/vst3sdk/vst3_includes.h"
#include "tools/testhost/host_objects.h"

namespace runplugin {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kDragSteps = 8;

// Numbers separated by commas, read in the C locale; false unless exactly `count`.
bool readNumbers(const std::string& text, float* out, int count) {
  std::size_t at = 0;
  for (int i = 0; i < count; ++i) {
    const std::size_t end = i + 1 < count ? text.find(',', at) : text.size();
    if (end == std::string::npos || end == at) return false;
    const std::string part = text.substr(at, end - at);
    char* stop = nullptr;
    const double v = ParseDoubleCLocale(part.c_str(), &stop);
    if (stop != part.c_str() + part.size() || !(v >= -1e6 && v <= 1e6)) return false;
    out[i] = static_cast<float>(v);
    at = end + 1;
  }
  return true;
}

}  // namespace

bool parsePoints(const std::string& text, UiStep& step) {
  float v[4] = {};
  if (readNumbers(text, v, 2)) {
    step.kind = UiStep::Click;
    step.x = v[0];
    step.y = v[1];
    return true;
  }
  if (readNumbers(text, v, 4)) {
    step.kind = UiStep::Drag;
    step.x = v[0];
    step.y = v[1];
    step.x2 = v[2];
    step.y2 = v[3];
    return true;
  }
  return false;
}

EditorSession::EditorSession(Steinberg::IPlugView* view, testhost::RunLoop& loop, GraphicsGetter graphics)
    : mView(view), mLoop(loop), mGraphics(std::move(graphics)), mWindow(kWidth, kHeight, 1.0) {}

EditorSession::~EditorSession() { close(); }

bool EditorSession::open(std::string& error) {
  if (mView == nullptr) {
    error = "the plug-in has no editor";
    return false;
  }
  mFrame = new testhost::PlugFrame(nullptr, &mLoop);
  // The window follows the size the editor asks for, as a host's does.
  mFrame->onResize = [this](const testhost::PlugFrame::Resize& r) {
    mWindow.resize(r.rect.getWidth(), r.rect.getHeight());
  };
  mView->setFrame(mFrame);
  mAttached = mView->attached(mWindow.parent(), "NSView") == Steinberg::kResultOk && mWindow.holdsAView();
  if (!mAttached) {
    error = "the editor did not open";
    return false;
  }
  // Short of memory the vector graphics context may not be made; the editor could not draw.
  const auto* vector = dynamic_cast<const plugkit::canvas::ICanvasNanoVG*>(mGraphics ? mGraphics() : nullptr);
  if (vector == nullptr || vector->GetContext() == nullptr) {
    close();
    error = "the editor could not make its drawing context";
    return false;
  }
  return true;
}

bool EditorSession::play(const std::vector<UiStep>& steps, std::string& error) {
  if (!mAttached) return true;
  uiscript::Script& script = NSApp->script();
  for (const UiStep& step : steps) {
    auto* content = static_cast<NSView*>(mWindow.parent());
    if (content->subviews().empty()) break;  // the editor closed itself
    EventScript events(content->subviews().front());
    // The view's points are the panel's units times the window's scale.
    const double k = content->subviews().front()->frame().size.width / kWidth;
    const NSPoint from{step.x * k, step.y * k};
    switch (step.kind) {
      case UiStep::Choose: script.chooseMenuItem({step.item}); break;
      case UiStep::Type: script.commitText(step.text); break;
      case UiStep::Click: events.click(from); break;
      case UiStep::Drag: {
        events.press(from);
        for (int i = 1; i <= kDragSteps; ++i) {
          const double t = static_cast<double>(i) / kDragSteps;
          events.drag({from.x + (step.x2 * k - from.x) * t, from.y + (step.y2 * k - from.y) * t});
        }
        events.release({step.x2 * k, step.y2 * k});
        break;
      }
    }
    if (step.kind == UiStep::Click || step.kind == UiStep::Drag) mLoop.fire(2);
  }
  const std::vector<std::string> left = failures();
  if (left.empty()) return true;
  error = "the editor's script went wrong: " + left.front();
  return false;
}

bool EditorSession::writePictures(const std::string& atOne, const std::string& atTwo, std::string& error) {
  if (!mAttached) {
    error = "the editor is not open";
    return false;
  }
  mLoop.fire(2);
  if (!mWindow.writePng(atOne, error)) return false;
  static_cast<NSView*>(mWindow.parent())->window()->setBackingScaleFactor(2.0);
  mLoop.fire(2);
  if (mWindow.writePng(atTwo, error)) return true;
  std::error_code ec;
  std::filesystem::remove(atOne, ec);
  return false;
}

NSView* EditorSession::view() const {
  const auto* content = static_cast<NSView*>(mWindow.parent());
  return mAttached && !content->subviews().empty() ? content->subviews().front() : nullptr;
}

std::vector<std::string> EditorSession::failures(bool checkUnused) {
  if (checkUnused) NSApp->script().checkAllUsed();
  return mWindow.failures();
}

void EditorSession::close() {
  if (mView != nullptr) {
    if (mAttached) mView->removed();
    mView->setFrame(nullptr);
    mView->release();
    mView = nullptr;
  }
  mAttached = false;
  if (mFrame != nullptr) {
    mFrame->release();
    mFrame = nullptr;
  }
}

}  // namespace runplugin
