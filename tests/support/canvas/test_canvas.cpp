#include "tests/support/canvas/test_canvas.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

#include "graphics/BitmapDecode.h"
#include "graphics/ResourceFile.h"

namespace sp::test {

using plugkit::canvas::ICanvasEditorDelegate;
using plugkit::IParam;
using plugkit::canvas::IPopupMenu;

int codePoints(const char* str) {
  int n = 0;
  for (const char* p = str != nullptr ? str : ""; *p != '\0'; ++p)
    if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++n;
  return n;
}

namespace {

MenuSnapshot::Item snapshotItem(const IPopupMenu::Item& item);

std::vector<MenuSnapshot::Item> snapshotItems(const IPopupMenu& menu) {
  std::vector<MenuSnapshot::Item> items;
  for (int i = 0; i < menu.NItems(); ++i) items.push_back(snapshotItem(*menu.GetItem(i)));
  return items;
}

MenuSnapshot::Item snapshotItem(const IPopupMenu::Item& item) {
  MenuSnapshot::Item s;
  s.text = item.GetText();
  s.flags = item.GetFlags();
  s.tag = item.GetTag();
  if (const IPopupMenu* sub = item.GetSubmenu()) {
    s.hasSubmenu = true;
    s.submenu = snapshotItems(*sub);
  }
  return s;
}

MenuSnapshot snapshot(const IPopupMenu& menu) {
  MenuSnapshot s;
  s.title = menu.GetRootTitle();
  s.prefix = menu.GetPrefix();
  s.chosenIndex = menu.GetChosenItemIdx();
  s.items = snapshotItems(menu);
  return s;
}

std::string folderOf(const std::string& fullPath) {
  return std::filesystem::path(fullPath).parent_path().string() + "/";
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TestPlatform

TestPlatform::TestPlatform() {
  setFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
}

ICanvasEditorDelegate::MakeGraphicsFunc TestPlatform::graphicsFactory(ICanvasEditorDelegate& dlg, int w, int h,
                                                                      int fps, float scale) {
  return [this, &dlg, w, h, fps, scale]() -> plugkit::canvas::ICanvas* {
    return new TestCanvas(*this, dlg, w, h, fps, scale);
  };
}

// ---------------------------------------------------------------------------------------
// TestCanvas: lifetime and frames

TestCanvas::TestCanvas(TestPlatform& platform, ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale)
    : ICanvas(dlg, w, h, fps, scale), mPlatform(platform) {
  mPlatform.mCanvas = this;
}

TestCanvas::~TestCanvas() {
  if (mRemoveControlsOnDestroy) RemoveAllControls();
  if (mPlatform.mCanvas == this) mPlatform.mCanvas = nullptr;
}

bool TestCanvas::tick() {
  mDirtyRects.Clear();
  if (!IsDirty(mDirtyRects)) return false;
  SetAllControlsClean();
  Draw(mDirtyRects);
  return true;
}

int TestCanvas::count(DrawOp::Kind kind) const {
  int n = 0;
  for (const DrawOp& op : mOps)
    if (op.kind == kind) ++n;
  return n;
}

std::vector<IRECT> TestCanvas::clips() const {
  std::vector<IRECT> out;
  for (const DrawOp& op : mOps)
    if (op.kind == DrawOp::SetClip) out.push_back(op.rect);
  return out;
}

// ---------------------------------------------------------------------------------------
// Drawing

DrawOp& TestCanvas::record(DrawOp::Kind kind) {
  // While not recording, callers fill a scratch record that nobody reads.
  static DrawOp scratch;
  if (!mRecording) return scratch;
  mOps.push_back(DrawOp{});
  DrawOp& op = mOps.back();
  op.kind = kind;
  op.matrix = mBackendMatrix;
  op.clip = mBackendClip;
  return op;
}

std::vector<DrawOp> TestCanvas::opsOf(std::initializer_list<DrawOp::Kind> kinds) const {
  std::vector<DrawOp> out;
  for (const DrawOp& op : mOps)
    for (DrawOp::Kind k : kinds)
      if (op.kind == k) {
        out.push_back(op);
        break;
      }
  return out;
}

void TestCanvas::PathClear() { record(DrawOp::PathClear); }
void TestCanvas::PathClose() { record(DrawOp::PathClose); }
void TestCanvas::PathArc(float cx, float cy, float r, float a1, float a2, plugkit::canvas::EWinding winding) {
  record(DrawOp::PathArc).args = {cx, cy, r, a1, a2, static_cast<float>(winding)};
}
void TestCanvas::PathMoveTo(float x, float y) { record(DrawOp::PathMoveTo).args = {x, y}; }
void TestCanvas::PathLineTo(float x, float y) { record(DrawOp::PathLineTo).args = {x, y}; }
void TestCanvas::PathSetWinding(bool clockwise) { record(DrawOp::PathSetWinding).args = {clockwise ? 1.f : 0.f}; }
void TestCanvas::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) {
  record(DrawOp::PathCubicBezierTo).args = {c1x, c1y, c2x, c2y, x2, y2};
}
void TestCanvas::PathQuadraticBezierTo(float cx, float cy, float x2, float y2) {
  record(DrawOp::PathQuadraticBezierTo).args = {cx, cy, x2, y2};
}
void TestCanvas::PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                            const IBlend* blend) {
  DrawOp& op = record(DrawOp::PathStroke);
  op.pattern = pattern;
  op.args = {thickness};
  op.stroke = options;
  op.hasBlend = blend != nullptr;
  if (blend != nullptr) op.blend = *blend;
}
void TestCanvas::PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) {
  DrawOp& op = record(DrawOp::PathFill);
  op.pattern = pattern;
  op.fill = options;
  op.hasBlend = blend != nullptr;
  if (blend != nullptr) op.blend = *blend;
}
void TestCanvas::PathTransformSetMatrix(const IMatrix& m) {
  mBackendMatrix = m;
  record(DrawOp::SetTransform);
}
void TestCanvas::SetClipRegion(const IRECT& r) {
  mBackendClip = r;
  record(DrawOp::SetClip).rect = r;
}

void TestCanvas::DrawBitmap(const plugkit::canvas::IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                            const IBlend* blend) {
  DrawOp& op = record(DrawOp::DrawBitmap);
  op.rect = dest;
  op.args = {static_cast<float>(srcX), static_cast<float>(srcY)};
  op.bitmap = bitmap.GetAPIBitmap();
  op.hasBlend = blend != nullptr;
  if (blend != nullptr) op.blend = *blend;
}

void TestCanvas::DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop,
                                    float roundness, float blur, const IBlend* blend) {
  DrawOp& op = record(DrawOp::DropShadow);
  op.rect = innerBounds;
  op.rect2 = outerBounds;
  op.args = {xyDrop, roundness, blur};
  op.hasBlend = blend != nullptr;
  if (blend != nullptr) op.blend = *blend;
}

float TestCanvas::DoMeasureText(const IText& text, const char* str, IRECT& bounds) const {
  const float w = 0.5f * text.size * static_cast<float>(codePoints(str));
  const float h = text.size;
  float l = bounds.L, t = bounds.T;
  switch (text.align) {
    case plugkit::canvas::ETextHAlign::Left: l = bounds.L; break;
    case plugkit::canvas::ETextHAlign::Centre: l = bounds.CentreX() - w / 2.f; break;
    case plugkit::canvas::ETextHAlign::Right: l = bounds.R - w; break;
  }
  switch (text.valign) {
    case plugkit::canvas::ETextVAlign::Top: t = bounds.T; break;
    case plugkit::canvas::ETextVAlign::Middle: t = bounds.CentreY() - h / 2.f; break;
    case plugkit::canvas::ETextVAlign::Bottom: t = bounds.B - h; break;
  }
  const IRECT placed = bounds;
  bounds = IRECT(l, t, l + w, t + h);
  // A rotated text measures as its rotated box, placed by its alignment.
  DoMeasureTextRotation(text, placed, bounds);
  return bounds.Width();
}

void TestCanvas::DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  DrawOp& op = record(DrawOp::DrawText);
  op.textStyle = text;
  op.text = str != nullptr ? str : "";
  op.rect = bounds;
  op.hasBlend = blend != nullptr;
  if (blend != nullptr) op.blend = *blend;
}

void TestCanvas::DrawResize() {
  ++mDrawResizes;
  record(DrawOp::DrawResize);
}

void TestCanvas::BeginFrame() {
  ICanvas::BeginFrame();
  record(DrawOp::BeginFrame);
}

void TestCanvas::EndFrame() { record(DrawOp::EndFrame); }

// ---------------------------------------------------------------------------------------
// Bitmaps and layers

int TestBitmap::sLive = 0;

TestBitmap::TestBitmap(int width, int height, float scale, float drawScale, std::vector<uint8_t> rgba,
                       std::string from)
    : pixels(std::move(rgba)), origin(std::move(from)) {
  SetBitmap(this, width, height, scale, drawScale);
  ++sLive;
}

TestBitmap::~TestBitmap() { --sLive; }

namespace {

TestBitmap* decoded(const plugkit::canvas::DecodedBitmap& image, int scale, const std::string& origin,
                    std::vector<std::string>& log) {
  if (!image.IsValid()) {
    log.back() += " failed: " + image.error;
    return nullptr;
  }
  return new TestBitmap(image.width, image.height, static_cast<float>(scale), 1.f, image.rgba, origin);
}

}  // namespace

bool TestCanvas::BitmapExtSupported(const char* ext) {
  // A lower-case copy of at most 15 characters: extensions are short.
  char lower[16] = {};
  for (size_t i = 0; ext != nullptr && ext[i] != '\0' && i + 1 < sizeof lower; ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(ext[i])));
  return std::strstr(lower, "png") != nullptr || std::strstr(lower, "jpg") != nullptr ||
         std::strstr(lower, "jpeg") != nullptr;
}

plugkit::canvas::APIBitmap* TestCanvas::LoadAPIBitmap(const char* path, int scale, plugkit::EResourceLocation,
                                                      const char*) {
  const std::string file = path != nullptr ? path : "";
  mPlatform.bitmapLog.push_back("file " + file + " @" + std::to_string(scale));
  std::vector<uint8_t> bytes;
  if (!plugkit::canvas::ReadResourceFile(file.c_str(), bytes)) {
    mPlatform.bitmapLog.back() += " failed: unreadable";
    return nullptr;
  }
  return decoded(plugkit::canvas::DecodeBitmap(bytes.data(), bytes.size()), scale, "file " + file,
                 mPlatform.bitmapLog);
}

plugkit::canvas::APIBitmap* TestCanvas::LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale) {
  const std::string id = name != nullptr ? name : "";
  mPlatform.bitmapLog.push_back("memory " + id + " @" + std::to_string(scale));
  return decoded(plugkit::canvas::DecodeBitmap(data, dataSize > 0 ? static_cast<size_t>(dataSize) : 0), scale,
                 "memory " + id, mPlatform.bitmapLog);
}

plugkit::canvas::APIBitmap* TestCanvas::CreateAPIBitmap(int width, int height, float scale, float drawScale, bool) {
  TestBitmap* bitmap = nullptr;
  if (!mPlatform.failBitmapCreation && width > 0 && height > 0)
    bitmap = new TestBitmap(width, height, scale, drawScale,
                            std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0),
                            "created");
  DrawOp& op = record(DrawOp::CreateBitmap);
  op.args = {static_cast<float>(width), static_cast<float>(height), scale, drawScale};
  op.bitmap = bitmap;
  return bitmap;
}

void TestCanvas::UpdateLayer() {
  DrawOp& op = record(DrawOp::UpdateLayer);
  op.args = {static_cast<float>(mLayers.size())};
  if (!mLayers.empty()) {
    op.bitmap = mLayers.back()->GetAPIBitmap();
    op.rect = mLayers.back()->Bounds();
  }
}

void TestCanvas::GetLayerBitmapData(const plugkit::canvas::ILayer& layer, plugkit::canvas::RawBitmapData& data) {
  data.clear();
  const auto* bitmap = dynamic_cast<const TestBitmap*>(layer.GetAPIBitmap());
  if (bitmap == nullptr || mPlatform.failLayerRead) return;
  data = bitmap->pixels;
}

void TestCanvas::ApplyShadowMask(plugkit::canvas::ILayer& layer, plugkit::canvas::RawBitmapData& mask,
                                 const plugkit::canvas::IShadow& shadow) {
  DrawOp& op = record(DrawOp::ShadowMask);
  op.bitmap = layer.GetAPIBitmap();
  op.rect = layer.Bounds();
  op.pattern = shadow.mPattern;
  op.args = {shadow.mBlurSize, shadow.mXOffset, shadow.mYOffset, shadow.mOpacity, shadow.mDrawForeground ? 1.f : 0.f};
  mShadowMask = mask;
}

// ---------------------------------------------------------------------------------------
// Fonts

namespace {

// A font the test platform found; tells the log when it is released.
class TestFont : public plugkit::canvas::PlatformFont {
public:
  TestFont(std::vector<std::string>& log, std::string id, bool system)
      : PlatformFont(system), mLog(log), mID(std::move(id)) {}
  ~TestFont() override { mLog.push_back("release " + mID); }
  std::unique_ptr<plugkit::canvas::IFontData> GetFontData() override {
    static const char kBytes[] = "font";
    return std::make_unique<plugkit::canvas::IFontData>(kBytes, 4, 0);
  }

private:
  std::vector<std::string>& mLog;
  std::string mID;
};

bool listed(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& entry : list)
    if (entry == name) return true;
  return false;
}

}  // namespace

plugkit::canvas::PlatformFontPtr TestCanvas::LoadPlatformFont(const char* fontID, const char* fileNameOrResID) {
  const std::string id = fontID != nullptr ? fontID : "", file = fileNameOrResID != nullptr ? fileNameOrResID : "";
  mPlatform.fontLog.push_back("platform " + id + " " + file);
  if (!listed(mPlatform.fontFiles, file)) return nullptr;
  return std::make_unique<TestFont>(mPlatform.fontLog, id, false);
}

plugkit::canvas::PlatformFontPtr TestCanvas::LoadPlatformFont(const char* fontID, const char* fontName,
                                                              plugkit::canvas::ETextStyle style) {
  const std::string id = fontID != nullptr ? fontID : "", family = fontName != nullptr ? fontName : "";
  mPlatform.fontLog.push_back("platform " + id + " " + family + " style " + std::to_string(static_cast<int>(style)));
  if (!listed(mPlatform.systemFonts, family)) return nullptr;
  return std::make_unique<TestFont>(mPlatform.fontLog, id, true);
}

plugkit::canvas::PlatformFontPtr TestCanvas::LoadPlatformFont(const char* fontID, void* data, int size) {
  const std::string id = fontID != nullptr ? fontID : "";
  mPlatform.fontLog.push_back("platform " + id + " memory " + std::to_string(size));
  if (data == nullptr || size <= 0) return nullptr;
  return std::make_unique<TestFont>(mPlatform.fontLog, id, false);
}

void TestCanvas::CachePlatformFont(const char* fontID, const plugkit::canvas::PlatformFontPtr&) {
  mPlatform.fontLog.push_back(std::string("cache ") + (fontID != nullptr ? fontID : ""));
}

bool TestCanvas::LoadAPIFont(const char* fontID, const plugkit::canvas::PlatformFontPtr& font) {
  mPlatform.fontLog.push_back(std::string("backend ") + (fontID != nullptr ? fontID : ""));
  // This backend draws no glyphs: any bytes with a face do (the 4 stand-in bytes are no
  // font a glyph rasteriser would take).
  const std::unique_ptr<plugkit::canvas::IFontData> data = font != nullptr ? font->GetFontData() : nullptr;
  return data != nullptr && !mPlatform.rejectFonts && data->GetSize() > 0 && data->GetFaceIdx() >= 0;
}

// ---------------------------------------------------------------------------------------
// Window and cursor

void* TestCanvas::OpenWindow(void*) {
  mView = &mViewToken;
  ++mOpens;
  SetScreenScale(mPlatform.screenScale);
  GetDelegate()->LayoutUI(this);
  UpdateTooltips();
  GetDelegate()->OnUIOpen();
  return mView;
}

void TestCanvas::CloseWindow() {
  if (mView == nullptr) return;
  if (mEntryOpen) dismissTextEntry();
  mView = nullptr;
  ++mCloses;
  // Removing the view tells the delegate, as the platform view does; during the delegate's
  // own close this call is ignored. It may delete this object: nothing follows it.
  GetDelegate()->CloseWindow();
}

void TestCanvas::GetMouseLocation(float& x, float& y) const {
  x = mPlatform.mouseX;
  y = mPlatform.mouseY;
}

void TestCanvas::HideMouseCursor(bool hide, bool lock) {
  ++mCursorHideCalls;
  if (hide == mCursorHidden) return;
  mCursorHidden = hide;
  mCursorLock = hide ? lock : false;
  if (hide) SetCursorPosition(mPlatform.mouseX, mPlatform.mouseY);
}

void TestCanvas::MoveMouseCursor(float x, float y) {
  if (mTabletInput) return;
  mPlatform.mouseX = x;
  mPlatform.mouseY = y;
}

// ---------------------------------------------------------------------------------------
// Dialogs

EMsgBoxResult TestCanvas::ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                         MsgBoxCompletion completion) {
  ReleaseMouseCapture();
  const auto buttons = uiscript::ButtonsOf(type);
  EMsgBoxResult result = buttons.back().second;
  std::function<void()> whileOpen;
  if (auto answer = mPlatform.takeMessageBox()) {
    bool found = false;
    for (const auto& [label, value] : buttons) {
      if (label == answer->button) {
        result = value;
        found = true;
      }
    }
    if (!found)
      mPlatform.fail("message box of type " + std::to_string(static_cast<int>(type)) + " has no button \"" +
                     answer->button + "\"");
    whileOpen = std::move(answer->whileOpen);
  } else {
    mPlatform.fail(std::string("unscripted message box \"") + (caption ? caption : "") + "\": " + (str ? str : ""));
  }
  mPlatform.messageBoxes.push_back({str != nullptr ? str : "", caption != nullptr ? caption : "", type, result});
  // Timers keep firing inside the modal loop: the test's code runs while the box is open
  // (it may even close the editor). The completion runs once the loop has ended.
  if (whileOpen) {
    const ModalScope modal(*this);
    whileOpen();
  }
  if (completion) completion(result);
  return result;
}

void TestCanvas::PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action, const char* ext,
                               FileCompletion completion) {
  if (mView == nullptr) {
    fileName.Set("");
    return;
  }
  mPlatform.filePrompts.push_back(
      {action, ext != nullptr ? ext : "", fileName.Get(), path.Get(), static_cast<bool>(completion)});
  fileName.Set("");

  TestPlatform::PathAnswer answer;
  if (auto scripted = mPlatform.takeFile())
    answer = *scripted;
  else
    mPlatform.fail(std::string("unscripted file prompt (extensions \"") + (ext ? ext : "") + "\")");

  if (completion) {
    // A sheet: the prompt returns at once and the answer comes on a later turn.
    const std::weak_ptr<const int> alive = GetLivenessToken();
    mPlatform.queue.post([alive, answer, completion] {
      if (alive.expired()) return;
      if (answer.cancel)
        completion(StringBuf(""), StringBuf(""));
      else
        completion(StringBuf(answer.path.c_str()), StringBuf(folderOf(answer.path).c_str()));
    });
    return;
  }
  if (!answer.cancel) {
    fileName.Set(answer.path.c_str());
    path.Set(folderOf(answer.path).c_str());
  }
}

void TestCanvas::PromptForDirectory(StringBuf& dir, FileCompletion completion) {
  if (dir.Empty()) dir.Set("~/Desktop");
  mPlatform.directoryPrompts.push_back({dir.Get(), static_cast<bool>(completion)});
  TestPlatform::PathAnswer answer;
  if (auto scripted = mPlatform.takeDirectory())
    answer = *scripted;
  else
    mPlatform.fail("unscripted folder prompt");
  const std::string chosen = answer.cancel ? "" : answer.path + "/";
  if (completion) {
    const std::weak_ptr<const int> alive = GetLivenessToken();
    mPlatform.queue.post([alive, chosen, completion] {
      if (!alive.expired()) completion(StringBuf(""), StringBuf(chosen.c_str()));
    });
    return;
  }
  dir.Set(chosen.c_str());
}

bool TestCanvas::PromptForColor(IColor& color, const char*, ColorCompletion completion) {
  if (mView == nullptr) return false;
  const std::optional<IColor> scripted = mPlatform.takeColor();
  if (!scripted) {
    mPlatform.fail("unscripted colour prompt");
    return true;
  }
  const IColor picked = *scripted;
  if (completion) {
    const std::weak_ptr<const int> alive = GetLivenessToken();
    mPlatform.queue.post([alive, picked, completion] {
      if (!alive.expired()) completion(picked);
    });
  }
  return true;
}

bool TestCanvas::OpenURL(const char* url, const char*, const char*, const char*) {
  mPlatform.openedURLs.emplace_back(url != nullptr ? url : "");
  return true;
}

bool TestCanvas::RevealPathInExplorerOrFinder(StringBuf& path, bool) {
  std::error_code ec;
  return !path.Empty() && std::filesystem::exists(path.Get(), ec);
}

bool TestCanvas::GetTextFromClipboard(StringBuf& str) {
  str.Set(mPlatform.clipboard.c_str());
  return !mPlatform.clipboard.empty();
}

bool TestCanvas::SetTextInClipboard(const char* str) {
  mPlatform.clipboard = str != nullptr ? str : "";
  return true;
}

bool TestCanvas::SetFilePathInClipboard(const char* path) {
  mPlatform.clipboard = path != nullptr ? path : "";
  return true;
}

// ---------------------------------------------------------------------------------------
// Text entry

void TestCanvas::CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                         const char* str) {
  if (mView == nullptr) return;
  // One entry at a time; an open field whose request is no longer the graphics context's
  // (its control went) is closed for the new one.
  if (mEntryOpen && IsTextEntryLive(mEntryGeneration)) return;
  mEntryOpen = true;
  mEntryGeneration = GetTextEntryGeneration();
  mEntryParamIdx = paramIdx;
  mEntryLength = length;
  mPlatform.textEntries.push_back({paramIdx, text, bounds, length, str != nullptr ? str : "", false, ""});

  const std::optional<TestPlatform::TextAnswer> scripted = mPlatform.takeText();
  if (!scripted) {
    mPlatform.fail(std::string("unscripted text entry (initial text \"") + (str ? str : "") + "\")");
    return;
  }
  const TestPlatform::TextAnswer answer = *scripted;
  if (answer.kind == TestPlatform::TextAnswer::LeaveOpen) return;

  const std::weak_ptr<const int> alive = GetLivenessToken();
  const size_t entry = mPlatform.textEntries.size();
  TestCanvas* self = this;
  mPlatform.queue.post([alive, self, entry, answer] {
    // Only the entry this answer belongs to, while it is still open.
    if (alive.expired() || !self->mEntryOpen || self->mPlatform.textEntries.size() != entry) return;
    if (answer.kind == TestPlatform::TextAnswer::Commit)
      self->commitTextEntry(answer.text.c_str());
    else
      self->dismissTextEntry();
  });
}

std::string TestCanvas::typeInto(const std::string& typed) const {
  const char* accepted = nullptr;  // null: any character
  if (mEntryParamIdx >= 0) {
    if (const IParam* param = GetDelegate()->GetParam(mEntryParamIdx)) {
      switch (param->Type()) {
        case IParam::kTypeBool:
        case IParam::kTypeInt:
        case IParam::kTypeEnum: accepted = "0123456789-+"; break;
        case IParam::kTypeDouble: accepted = "0123456789.-+"; break;
        default: accepted = ""; break;
      }
    }
  }
  // Keystroke by keystroke: a character the field refuses is dropped, typing goes on.
  std::string out;
  int count = 0;
  for (size_t i = 0; i < typed.size();) {
    size_t len = 1;
    const unsigned char lead = static_cast<unsigned char>(typed[i]);
    if (lead >= 0xF0) len = 4;
    else if (lead >= 0xE0) len = 3;
    else if (lead >= 0xC0) len = 2;
    const std::string ch = typed.substr(i, len);
    i += len;
    if (accepted != nullptr && (ch.size() != 1 || std::strchr(accepted, ch[0]) == nullptr)) continue;
    if (mEntryLength > 0 && count + 1 > mEntryLength) continue;
    out += ch;
    ++count;
  }
  return out;
}

void TestCanvas::commitTextEntry(const char* text) {
  if (!mEntryOpen) return;
  deliverTextEntry(typeInto(text != nullptr ? text : ""));
}

void TestCanvas::commitTextEntryOnClickAt(float x, float y) {
  if (!mEntryOpen || mPlatform.textEntries.empty()) return;
  const ShownTextEntry& entry = mPlatform.textEntries.back();
  if (entry.bounds.ContainsPoint(x, y)) return;
  deliverTextEntry(entry.initial);
}

void TestCanvas::deliverTextEntry(const std::string& delivered) {
  mEntryOpen = false;
  // A field whose request the graphics context no longer holds delivers nothing.
  if (!IsTextEntryLive(mEntryGeneration)) return;
  if (!mPlatform.textEntries.empty()) {
    mPlatform.textEntries.back().committed = true;
    mPlatform.textEntries.back().delivered = delivered;
  }
  const std::weak_ptr<const int> alive = GetLivenessToken();
  SetControlValueAfterTextEdit(delivered.c_str());
  if (alive.expired()) return;
  SetAllControlsDirty();
}

void TestCanvas::dismissTextEntry() {
  if (!mEntryOpen) return;
  mEntryOpen = false;
  if (IsTextEntryLive(mEntryGeneration)) ClearInTextEntryControl();  // a dismissed entry is forgotten
}

// ---------------------------------------------------------------------------------------
// Menus

IPopupMenu* TestCanvas::CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) {
  isAsync = true;
  // The job keeps the context's liveness token and the request's generation; this object
  // and the menu are touched only while both still hold.
  const std::weak_ptr<const int> alive = GetLivenessToken();
  const uint64_t generation = GetPopupGeneration();
  TestCanvas* self = this;
  IPopupMenu* requested = &menu;
  mPlatform.queue.post([alive, generation, self, requested, bounds] {
    if (alive.expired() || !self->IsPopupRequestLive(generation)) return;
    if (self->mView == nullptr) {
      self->SetControlValueAfterPopupMenu(nullptr);
      return;
    }
    self->showMenu(requested, bounds);
  });
  return nullptr;
}

void TestCanvas::showMenu(IPopupMenu* menu, const IRECT& bounds) {
  mPlatform.menus.push_back({snapshot(*menu), bounds});

  IPopupMenu* chosen = nullptr;
  if (const std::optional<TestPlatform::MenuAnswer> scripted = mPlatform.takeMenu(); !scripted) {
    mPlatform.fail(std::string("unscripted popup menu \"") + menu->GetRootTitle() + "\"");
  } else {
    const TestPlatform::MenuAnswer& answer = *scripted;
    if (!answer.dismiss) {
      IPopupMenu* current = menu;
      for (size_t k = 0; k < answer.path.size() && current != nullptr; ++k) {
        IPopupMenu::Item* item = current->GetItem(answer.path[k]);
        if (item == nullptr) {
          mPlatform.fail("menu path step " + std::to_string(k) + ": no item " + std::to_string(answer.path[k]));
          current = nullptr;
        } else if (k + 1 < answer.path.size()) {
          current = item->GetSubmenu();
          if (current == nullptr) mPlatform.fail("menu path step " + std::to_string(k) + ": item has no submenu");
        } else if (item->GetSubmenu() != nullptr || item->GetIsSeparator() || !item->GetEnabled()) {
          mPlatform.fail(std::string("menu path ends on an item that cannot be chosen: \"") + item->GetText() + "\"");
          current = nullptr;
        } else {
          current->SetChosenItemIdx(answer.path[k]);
          chosen = current;
        }
      }
      if (answer.path.empty()) mPlatform.fail("empty menu path");
    }
  }

  const std::weak_ptr<const int> alive = GetLivenessToken();
  if (chosen != nullptr && chosen->GetFunction()) chosen->ExecFunction();
  if (alive.expired()) return;
  SetControlValueAfterPopupMenu(chosen);
}

}  // namespace sp::test
