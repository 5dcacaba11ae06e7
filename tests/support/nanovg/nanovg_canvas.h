#pragma once
// A headless editor on the NanoVG drawing class, for pixel tests and benchmarks.
//
// NanoVGTestCanvas is the smallest platform class over ICanvasNanoVG: its "view" is a Metal
// layer of the software GPU, sized like the window, so frames go through the real drawing
// class and the real renderer and land as pixels on the layer's drawable. Dialogs, prompts and
// menus answer as cancelled; fonts are found as files (by path, or by name among the build's
// Roboto files) and from memory, each with the face index set in fontFaceIndex.
//
// Typical use:
//   EditorDelegate dlg;
//   dlg.SetMakeGraphicsFunc(NanoVGTestCanvas::factory(dlg, 640, 400, 1.f, 2.f));
//   dlg.SetLayoutFunc(...);
//   dlg.OpenWindow(nullptr);
//   auto* g = static_cast<NanoVGTestCanvas*>(dlg.GetGraphics());
//   g->tick();
//   Rgba p = g->drawablePixel(10, 10);
//
// Thread: the test's. Failures: tick draws nothing without a window; reads answer empty.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/nanovg/ICanvasNanoVG.h"
#include "shims/apple/metal/Metal.h"

namespace sp::test {

using Rgba = std::array<int, 4>;

// A delegate without parameters whose editor tests open and close.
class EditorDelegate : public plugkit::canvas::ICanvasEditorDelegate {
public:
  EditorDelegate() : ICanvasEditorDelegate(0) {}
  void OnUIOpen() override {}
};

// A control that draws with a function (for scenes built in tests).
class DrawControl : public plugkit::canvas::IControl {
public:
  using DrawFunc = std::function<void(plugkit::canvas::ICanvas&, const plugkit::canvas::IRECT&)>;
  DrawControl(const plugkit::canvas::IRECT& bounds, DrawFunc draw) : IControl(bounds), mDraw(std::move(draw)) {}
  void Draw(plugkit::canvas::ICanvas& g) override {
    if (mDraw) mDraw(g, GetRECT());
  }

private:
  DrawFunc mDraw;
};

// The build's Roboto files.
std::string robotoRegularPath();
std::string robotoCondensedBoldPath();

class NanoVGTestCanvas : public plugkit::canvas::ICanvasNanoVG {
public:
  NanoVGTestCanvas(plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale,
                   float screenScale);
  ~NanoVGTestCanvas() override;

  // A make-graphics function for the delegate; the screen scale is applied when the window
  // opens.
  static plugkit::canvas::ICanvasEditorDelegate::MakeGraphicsFunc factory(
      plugkit::canvas::ICanvasEditorDelegate& dlg, int w = 640, int h = 400, float scale = 1.f,
      float screenScale = 1.f);

  // The view's render step: collect the dirty areas, mark all clean, draw. True when drawn.
  bool tick();
  // Every control dirty, then a tick.
  void redrawAll();

  mtl::MetalLayer* layer() const { return mLayer.get(); }
  // The picture on the view: RGBA rows, top first (empty before the first frame).
  std::vector<uint8_t> drawablePixels(int* w = nullptr, int* h = nullptr) const;
  Rgba drawablePixel(int x, int y) const;
  // The main framebuffer's pixels (premultiplied RGBA, top row first).
  std::vector<uint8_t> mainPixels(int* w = nullptr, int* h = nullptr) const;

  // The face index fonts found from now on get.
  int fontFaceIndex = 0;
  // The font IDs the graphics context asked to remember, in order.
  std::vector<std::string> cachedFonts;

  // The platform.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() override { return mView; }
  void PlatformResize(bool parentHasResized) override;
  void UpdateTooltips() override {}
  void GetMouseLocation(float& x, float& y) const override;
  void HideMouseCursor(bool hide = true, bool lock = true) override;
  void MoveMouseCursor(float x, float y) override;
  plugkit::canvas::EMsgBoxResult ShowMessageBox(const char* str, const char* caption,
                                                plugkit::canvas::EMsgBoxType type,
                                                MsgBoxCompletion completion = nullptr) override;
  void PromptForFile(StringBuf& fileName, StringBuf& path,
                     plugkit::canvas::EFileAction action = plugkit::canvas::EFileAction::Open, const char* ext = "",
                     FileCompletion completion = nullptr) override;
  void PromptForDirectory(StringBuf& dir, FileCompletion completion = nullptr) override;
  bool PromptForColor(plugkit::canvas::IColor& color, const char* str = "",
                      ColorCompletion completion = nullptr) override;
  using plugkit::canvas::ICanvas::PromptForColor;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  bool RevealPathInExplorerOrFinder(StringBuf& path, bool select = false) override { return false; }
  bool GetTextFromClipboard(StringBuf& str) override;
  bool SetTextInClipboard(const char* str) override;
  bool SetFilePathInClipboard(const char* path) override { return false; }
  void CreatePlatformTextEntry(int paramIdx, const plugkit::canvas::IText& text, const plugkit::canvas::IRECT& bounds,
                               int length, const char* str) override;
  void ForceEndUserEdit() override {}
  plugkit::canvas::IPopupMenu* CreatePlatformPopupMenu(plugkit::canvas::IPopupMenu& menu,
                                                       const plugkit::canvas::IRECT& bounds, bool& isAsync) override;
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) override;
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName,
                                                    plugkit::canvas::ETextStyle style) override;
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size) override;
  void CachePlatformFont(const char* fontID, const plugkit::canvas::PlatformFontPtr& font) override;
  const char* GetPlatformAPIStr() override { return "Headless"; }

private:
  void destroyView();

  float mOpenScreenScale;
  std::unique_ptr<mtl::MetalLayer> mLayer;
  int mViewToken = 0;
  void* mView = nullptr;
  float mMouseX = 0.f, mMouseY = 0.f;
  std::string mClipboard;
};

}  // namespace sp::test
