// The headless platform class over the NanoVG drawing class (see nanovg_canvas.h).
#include "tests/support/nanovg/nanovg_canvas.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace sp::test {

using namespace plugkit::canvas;

namespace {

// A font file's bytes with the face to use.
class TestFont : public PlatformFont {
public:
  TestFont(std::vector<uint8_t> bytes, int faceIdx) : PlatformFont(false), mBytes(std::move(bytes)), mFace(faceIdx) {}
  std::unique_ptr<IFontData> GetFontData() override {
    return std::make_unique<IFontData>(mBytes.data(), static_cast<int>(mBytes.size()), mFace);
  }

private:
  std::vector<uint8_t> mBytes;
  int mFace;
};

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A path as given, else the name (with ".ttf" added when missing) among the build's fonts.
std::filesystem::path findFontFile(const std::string& name) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(name, ec)) return name;
  const std::string file = name.ends_with(".ttf") ? name : name + ".ttf";
  for (const char* dir : {SP_FONT_DIR "/RobotoTTF", SP_FONT_DIR}) {
    const std::filesystem::path p = std::filesystem::path(dir) / file;
    if (std::filesystem::is_regular_file(p, ec)) return p;
  }
  return {};
}

}  // namespace

std::string robotoRegularPath() { return SP_FONT_DIR "/RobotoTTF/Roboto-Regular.ttf"; }
std::string robotoCondensedBoldPath() { return SP_FONT_DIR "/RobotoCondensed-Bold.ttf"; }

NanoVGTestCanvas::NanoVGTestCanvas(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale, float screenScale)
    : ICanvasNanoVG(dlg, w, h, fps, scale), mOpenScreenScale(screenScale) {}

NanoVGTestCanvas::~NanoVGTestCanvas() { destroyView(); }

ICanvasEditorDelegate::MakeGraphicsFunc NanoVGTestCanvas::factory(ICanvasEditorDelegate& dlg, int w, int h,
                                                                  float scale, float screenScale) {
  return [&dlg, w, h, scale, screenScale]() -> ICanvas* {
    return new NanoVGTestCanvas(dlg, w, h, 60, scale, screenScale);
  };
}

bool NanoVGTestCanvas::tick() {
  IRECTList rects;
  if (mView == nullptr || !IsDirty(rects)) return false;
  SetAllControlsClean();
  Draw(rects);
  return true;
}

void NanoVGTestCanvas::redrawAll() {
  SetAllControlsDirty();
  tick();
}

std::vector<uint8_t> NanoVGTestCanvas::drawablePixels(int* w, int* h) const {
  std::shared_ptr<mtl::Texture> front = mLayer ? mLayer->frontTexture() : nullptr;
  if (!front) return {};
  const int tw = static_cast<int>(front->width()), th = static_cast<int>(front->height());
  std::vector<uint8_t> px(size_t(tw) * size_t(th) * 4);
  front->getBytes(px.data(), size_t(tw) * 4, mtl::Region::make2D(0, 0, size_t(tw), size_t(th)), 0);
  if (front->pixelFormat() == mtl::PixelFormat::BGRA8Unorm)
    for (size_t i = 0; i < px.size(); i += 4) std::swap(px[i], px[i + 2]);
  if (w) *w = tw;
  if (h) *h = th;
  return px;
}

Rgba NanoVGTestCanvas::drawablePixel(int x, int y) const {
  int w = 0, h = 0;
  const std::vector<uint8_t> px = drawablePixels(&w, &h);
  if (x < 0 || y < 0 || x >= w || y >= h) return {-1, -1, -1, -1};
  const size_t i = (size_t(y) * size_t(w) + size_t(x)) * 4;
  return {px[i], px[i + 1], px[i + 2], px[i + 3]};
}

std::vector<uint8_t> NanoVGTestCanvas::mainPixels(int* w, int* h) const {
  MVGframebuffer* fb = GetMainFramebuffer();
  if (fb == nullptr) return {};
  std::shared_ptr<mtl::Texture> tex = mvgImageHandle(GetContext(), fb->image);
  if (!tex) return {};
  const int tw = static_cast<int>(tex->width()), th = static_cast<int>(tex->height());
  std::vector<uint8_t> px(size_t(tw) * size_t(th) * 4);
  mvgReadPixels(GetContext(), fb->image, 0, 0, tw, th, px.data());
  if (w) *w = tw;
  if (h) *h = th;
  return px;
}

// ---------------------------------------------------------------------------------------
// Window

void* NanoVGTestCanvas::OpenWindow(void*) {
  destroyView();
  mView = &mViewToken;
  mLayer = std::make_unique<mtl::MetalLayer>();
  OnViewInitialized(mLayer.get());
  SetScreenScale(mOpenScreenScale);
  GetDelegate()->LayoutUI(this);
  UpdateTooltips();
  GetDelegate()->OnUIOpen();
  return mView;
}

void NanoVGTestCanvas::destroyView() {
  if (mView == nullptr) return;
  mView = nullptr;
  OnViewDestroyed();
}

void NanoVGTestCanvas::CloseWindow() {
  if (mView == nullptr) return;
  destroyView();
  // As a removed view does: tells the delegate, which ignores it during its own close and
  // otherwise deletes this object. Nothing may follow.
  GetDelegate()->CloseWindow();
}

void NanoVGTestCanvas::PlatformResize(bool) {
  if (!mLayer) return;
  const double s = GetScreenScale();
  mLayer->setContentsScale(s);
  mLayer->setDrawableSize({static_cast<double>(static_cast<int>(WindowWidth() * s)),
                           static_cast<double>(static_cast<int>(WindowHeight() * s))});
}

void NanoVGTestCanvas::GetMouseLocation(float& x, float& y) const {
  x = mMouseX;
  y = mMouseY;
}

void NanoVGTestCanvas::HideMouseCursor(bool hide, bool lock) {
  mCursorHidden = hide;
  mCursorLock = hide && lock;
}

void NanoVGTestCanvas::MoveMouseCursor(float x, float y) {
  mMouseX = x;
  mMouseY = y;
}

// ---------------------------------------------------------------------------------------
// Dialogs, prompts and menus: answered as cancelled

EMsgBoxResult NanoVGTestCanvas::ShowMessageBox(const char*, const char*, EMsgBoxType type,
                                               MsgBoxCompletion completion) {
  const EMsgBoxResult result =
      type == EMsgBoxType::YesNo ? EMsgBoxResult::No : (type == EMsgBoxType::OK ? EMsgBoxResult::OK : EMsgBoxResult::Cancel);
  if (completion) completion(result);
  return result;
}

void NanoVGTestCanvas::PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction, const char*,
                                     FileCompletion completion) {
  fileName.Set("");
  path.Set("");
  if (completion) completion(fileName, path);
}

void NanoVGTestCanvas::PromptForDirectory(StringBuf& dir, FileCompletion completion) {
  dir.Set("");
  if (completion) completion(dir, dir);
}

bool NanoVGTestCanvas::PromptForColor(IColor&, const char*, ColorCompletion) { return false; }

bool NanoVGTestCanvas::OpenURL(const char*, const char*, const char*, const char*) { return false; }

bool NanoVGTestCanvas::GetTextFromClipboard(StringBuf& str) {
  str.Set(mClipboard.c_str());
  return !mClipboard.empty();
}

bool NanoVGTestCanvas::SetTextInClipboard(const char* str) {
  mClipboard = str != nullptr ? str : "";
  return true;
}

void NanoVGTestCanvas::CreatePlatformTextEntry(int, const IText&, const IRECT&, int, const char*) {
  ClearInTextEntryControl();
}

IPopupMenu* NanoVGTestCanvas::CreatePlatformPopupMenu(IPopupMenu&, const IRECT&, bool& isAsync) {
  isAsync = false;
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// Fonts

PlatformFontPtr NanoVGTestCanvas::LoadPlatformFont(const char*, const char* fileNameOrResID) {
  const std::filesystem::path path = findFontFile(fileNameOrResID != nullptr ? fileNameOrResID : "");
  if (path.empty()) return nullptr;
  std::vector<uint8_t> bytes = readBytes(path);
  if (bytes.empty()) return nullptr;
  return std::make_unique<TestFont>(std::move(bytes), fontFaceIndex);
}

PlatformFontPtr NanoVGTestCanvas::LoadPlatformFont(const char*, const char*, ETextStyle) { return nullptr; }

PlatformFontPtr NanoVGTestCanvas::LoadPlatformFont(const char*, void* data, int size) {
  if (data == nullptr || size <= 0) return nullptr;
  const auto* p = static_cast<const uint8_t*>(data);
  return std::make_unique<TestFont>(std::vector<uint8_t>(p, p + size), fontFaceIndex);
}

void NanoVGTestCanvas::CachePlatformFont(const char* fontID, const PlatformFontPtr&) {
  cachedFonts.emplace_back(fontID != nullptr ? fontID : "");
}

}  // namespace sp::test
