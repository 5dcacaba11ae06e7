#pragma once
// A headless graphics context for tests, and the scripted platform behind it.
//
// TestPlatform outlives the editor windows of a test: it holds the script of answers
// (message boxes, file and folder prompts, popup menus, text entries, colours), records
// what was shown, owns the main queue on which menus and sheet completions run, and makes
// TestCanvas objects for an editor delegate. Any box, prompt, menu or text entry without a
// scripted answer fails the test, and so does a scripted answer left unused at the end.
//
// TestCanvas records every drawing primitive (path commands, fills and strokes with their
// paints and options, text, bitmaps, shadows), each with the transform and the clip in
// force when it was made, and the bitmap and layer primitives (bitmaps made, layer
// switches, shadow masks); decodes PNG and JPEG files into TestBitmaps that hold their
// pixels (layers' bitmaps start transparent; drawing does not change pixels); measures
// text deterministically (width 0.5 x size per UTF-8
// code point, height = size, rotated by the text's angle); finds fonts from the platform's
// lists; and behaves like the platform class for windows, cursor, menus (shown on the next
// turn of the main queue), text entries (one at a time, length and character limits) and
// dialogs.
//
// Typical use:
//   sp::test::TestPlatform platform;
//   delegate.SetMakeGraphicsFunc(platform.graphicsFactory(delegate));
//   delegate.OpenWindow(nullptr);
//   platform.answerMessageBox("Yes");
//   ... trigger the box ...
//   EXPECT_EQ(platform.messageBoxes.back().caption, "Save preset");
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "shims/apple/appkit/UIScript.h"
#include "tests/support/canvas/main_queue.h"

namespace sp::test {

using plugkit::canvas::EFileAction;
using plugkit::canvas::EMsgBoxResult;
using plugkit::canvas::EMsgBoxType;
using plugkit::canvas::IBlend;
using plugkit::canvas::IColor;
using plugkit::canvas::IFillOptions;
using plugkit::canvas::IMatrix;
using plugkit::canvas::IPattern;
using plugkit::canvas::IRECT;
using plugkit::canvas::IStrokeOptions;
using plugkit::canvas::IText;

class TestCanvas;

// A bitmap of the test canvas: its pixels (R G B A, top row first), where it came from
// ("file <path>", "memory <name>", "created"), and a count of the live ones.
class TestBitmap : public plugkit::canvas::APIBitmap {
public:
  TestBitmap(int width, int height, float scale, float drawScale, std::vector<uint8_t> rgba, std::string origin);
  ~TestBitmap() override;
  static int live() { return sLive; }

  std::vector<uint8_t> pixels;
  std::string origin;

private:
  static int sLive;
};

// One recorded drawing call.
struct DrawOp {
  enum Kind {
    BeginFrame,
    EndFrame,
    PathClear,
    PathClose,
    PathArc,
    PathMoveTo,
    PathLineTo,
    PathSetWinding,
    PathCubicBezierTo,
    PathQuadraticBezierTo,
    PathStroke,
    PathFill,
    SetTransform,
    SetClip,
    DrawText,
    DrawResize,
    DrawBitmap,
    DropShadow,
    CreateBitmap,  // args: width, height, scale, draw scale; bitmap: the one made (null when refused)
    UpdateLayer,   // bitmap and rect: the top layer's bitmap and bounds (null: the frame); args: depth
    ShadowMask,    // bitmap: the layer's; pattern: the shadow's; args: blur, x, y, opacity, foreground
  };
  Kind kind;
  std::vector<float> args;  // coordinates, radius and angles, winding, stroke thickness,
                            // bitmap source offset, shadow drop, roundness and blur
  IRECT rect;               // clip region, text bounds, bitmap destination, shadow inner box
  IRECT rect2;              // shadow outer box
  // The transform in force: the one sent last (for a SetTransform op, the one it sends).
  IMatrix matrix;
  IRECT clip;               // the clip region in force
  const void* bitmap = nullptr;  // the backend bitmap drawn
  IPattern pattern;         // stroke and fill paint
  IStrokeOptions stroke;
  IFillOptions fill;
  bool hasBlend = false;
  IBlend blend;
  IText textStyle;
  std::string text;
};

// The script and the records of what was shown: the one vocabulary of the scripted
// platforms (shims/apple/appkit/UIScript.h).
using uiscript::MenuSnapshot;
using uiscript::ShownDirectoryPrompt;
using uiscript::ShownFilePrompt;
using uiscript::ShownMenu;
using uiscript::ShownMessageBox;
using uiscript::ShownTextEntry;

class TestPlatform : public uiscript::Script {
public:
  // Fonts the platform finds: by file name, and by family name and style (a family
  // listed in systemFonts is found in every style). Memory fonts are found whenever they
  // hold bytes. With rejectFonts the drawing backend refuses every font.
  std::vector<std::string> fontFiles;
  std::vector<std::string> systemFonts;
  bool rejectFonts = false;
  // Bitmaps: the bundle identifier the canvas answers (resources are found in the bundle
  // only when it is this module's own); refusals of the backend; the read-back layout;
  // every decode asked for, "file <path> @<scale>" or "memory <name> @<scale>", followed
  // by " failed: <reason>" when it failed.
  std::string bundleID;
  bool failBitmapCreation = false;
  bool failLayerRead = false;
  int alphaChannel = 3;
  bool flippedBitmap = false;
  std::vector<std::string> bitmapLog;
  // The font calls in order: "platform <id> <source>", "backend <id>", "cache <id>" and
  // "release <id>" when the platform font object is deleted.
  std::vector<std::string> fontLog;

  // Unscripted prompts, answers that do not fit and answers never used fail the test.
  TestPlatform();
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  // A make-graphics function that builds a TestCanvas on this platform.
  plugkit::canvas::ICanvasEditorDelegate::MakeGraphicsFunc graphicsFactory(
      plugkit::canvas::ICanvasEditorDelegate& dlg, int w = 640, int h = 400, int fps = 60, float scale = 1.f);
  // The live canvas made last (null once it is deleted).
  TestCanvas* canvas() const { return mCanvas; }

  // The script (answerMessageBox, chooseFile, chooseMenuItem, commitText, pickColor, ...)
  // and the records (messageBoxes, filePrompts, directoryPrompts, menus, textEntries,
  // openedURLs) are uiscript::Script's.

  MainQueue queue;
  // The backing scale of the screen, applied when a window opens.
  float screenScale = 1.f;
  // The pointer position reported by GetMouseLocation (logical units).
  float mouseX = 0.f;
  float mouseY = 0.f;
  std::string clipboard;

private:
  friend class TestCanvas;

  TestCanvas* mCanvas = nullptr;
};

class TestCanvas : public plugkit::canvas::ICanvas {
public:
  TestCanvas(TestPlatform& platform, plugkit::canvas::ICanvasEditorDelegate& dlg, int w = 640, int h = 400,
             int fps = 60, float scale = 1.f);
  ~TestCanvas() override;

  TestPlatform& platform() { return mPlatform; }
  // Off: the destructor leaves the controls to the graphics context's own destructor.
  void setRemoveControlsOnDestroy(bool remove) { mRemoveControlsOnDestroy = remove; }

  // The view's render step: collect the dirty areas, mark all clean, draw. True when drawn.
  bool tick();
  const plugkit::canvas::IRECTList& lastDirtyRects() const { return mDirtyRects; }

  // Recorded drawing calls (recording can be switched off for benchmarks). Each holds the
  // transform and the clip in force when it was made.
  const std::vector<DrawOp>& drawOps() const { return mOps; }
  // The recorded calls of these kinds only, in order.
  std::vector<DrawOp> opsOf(std::initializer_list<DrawOp::Kind> kinds) const;
  void clearDrawOps() { mOps.clear(); }
  void setRecording(bool on) { mRecording = on; }
  int count(DrawOp::Kind kind) const;
  // The clip regions set, in order.
  std::vector<IRECT> clips() const;

  // Platform-side counters.
  int windowOpens() const { return mOpens; }
  int windowCloses() const { return mCloses; }
  int drawResizes() const { return mDrawResizes; }
  int tooltipUpdates() const { return mTooltipUpdates; }
  const std::vector<bool>& platformResizes() const { return mPlatformResizes; }
  int cursorHideCalls() const { return mCursorHideCalls; }

  // The open platform text entry (the last one shown), if any.
  bool textEntryOpen() const { return mEntryOpen; }
  // Types text into the open entry (through its limits) and commits it.
  void commitTextEntry(const char* text);
  // Closes the open entry without a commit.
  void dismissTextEntry();
  // A click outside the open entry: the field loses the focus and commits the text it
  // holds (its initial text; nothing was typed) before the click is dispatched.
  void commitTextEntryOnClickAt(float x, float y);

  // ICanvasDrawingAPI: recorded; text measured as described above; fonts taken unless
  // the platform rejects them.
  void PathClear() override;
  void PathClose() override;
  void PathArc(float cx, float cy, float r, float a1, float a2,
               plugkit::canvas::EWinding winding = plugkit::canvas::EWinding::CW) override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathSetWinding(bool clockwise) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = IStrokeOptions(),
                  const IBlend* blend = nullptr) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                const IBlend* blend = nullptr) override;
  void PathTransformSetMatrix(const IMatrix& m) override;
  void SetClipRegion(const IRECT& r) override;
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) override;
  void DrawBitmap(const plugkit::canvas::IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IBlend* blend = nullptr) override;
  using plugkit::canvas::ICanvas::DrawBitmap;
  void DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop = 5.f,
                          float roundness = 0.f, float blur = 10.f, const IBlend* blend = nullptr) override;
  void DrawResize() override;
  bool LoadAPIFont(const char* fontID, const plugkit::canvas::PlatformFontPtr& font) override;
  // Bitmaps and layers: decoded and made as TestBitmaps; recorded.
  bool BitmapExtSupported(const char* ext) override;
  plugkit::canvas::APIBitmap* LoadAPIBitmap(const char* path, int scale, plugkit::EResourceLocation location,
                                            const char* ext) override;
  plugkit::canvas::APIBitmap* LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale) override;
  plugkit::canvas::APIBitmap* CreateAPIBitmap(int width, int height, float scale, float drawScale,
                                              bool cacheable = false) override;
  void UpdateLayer() override;
  // The pixels of the layer's TestBitmap.
  void GetLayerBitmapData(const plugkit::canvas::ILayer& layer, plugkit::canvas::RawBitmapData& data) override;
  // Recorded; the mask is kept (lastShadowMask).
  void ApplyShadowMask(plugkit::canvas::ILayer& layer, plugkit::canvas::RawBitmapData& mask,
                       const plugkit::canvas::IShadow& shadow) override;
  int AlphaChannel() const override { return mPlatform.alphaChannel; }
  bool FlippedBitmap() const override { return mPlatform.flippedBitmap; }
  const plugkit::canvas::RawBitmapData& lastShadowMask() const { return mShadowMask; }
  const char* GetBundleID() const override { return mPlatform.bundleID.c_str(); }
  // The frame hooks of the graphics context: recorded.
  void BeginFrame() override;
  void EndFrame() override;

  // ICanvasPlatformAPI: the scripted platform.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() override { return mView; }
  void PlatformResize(bool parentHasResized) override { mPlatformResizes.push_back(parentHasResized); }
  void UpdateTooltips() override { ++mTooltipUpdates; }
  void GetMouseLocation(float& x, float& y) const override;
  void HideMouseCursor(bool hide = true, bool lock = true) override;
  void MoveMouseCursor(float x, float y) override;
  // A modal run: the scripted answer's whileOpen runs inside it.
  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               MsgBoxCompletion completion = nullptr) override;
  void PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action = EFileAction::Open,
                     const char* ext = "", FileCompletion completion = nullptr) override;
  void PromptForDirectory(StringBuf& dir, FileCompletion completion = nullptr) override;
  // The picked colour arrives on the next turn of the main queue.
  bool PromptForColor(IColor& color, const char* str = "", ColorCompletion completion = nullptr) override;
  using plugkit::canvas::ICanvas::PromptForColor;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  bool RevealPathInExplorerOrFinder(StringBuf& path, bool select = false) override;
  bool GetTextFromClipboard(StringBuf& str) override;
  bool SetTextInClipboard(const char* str) override;
  bool SetFilePathInClipboard(const char* path) override;
  void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                               const char* str) override;
  void ForceEndUserEdit() override { dismissTextEntry(); }
  plugkit::canvas::IPopupMenu* CreatePlatformPopupMenu(plugkit::canvas::IPopupMenu& menu, const IRECT& bounds,
                                                       bool& isAsync) override;
  // Fonts, answered from the platform's lists.
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) override;
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName,
                                                    plugkit::canvas::ETextStyle style) override;
  plugkit::canvas::PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size) override;
  void CachePlatformFont(const char* fontID, const plugkit::canvas::PlatformFontPtr& font) override;
  // A platform hook with a base answer.
  const char* GetPlatformAPIStr() override { return "Headless"; }

private:
  DrawOp& record(DrawOp::Kind kind);
  void showMenu(plugkit::canvas::IPopupMenu* menu, const IRECT& bounds);
  std::string typeInto(const std::string& typed) const;
  // Closes the open entry and hands the text to the graphics context.
  void deliverTextEntry(const std::string& delivered);

  TestPlatform& mPlatform;
  std::vector<DrawOp> mOps;
  IMatrix mBackendMatrix;  // the transform sent last
  IRECT mBackendClip;      // the clip sent last
  bool mRecording = true;
  bool mRemoveControlsOnDestroy = true;
  plugkit::canvas::RawBitmapData mShadowMask;
  plugkit::canvas::IRECTList mDirtyRects;
  int mViewToken = 0;
  void* mView = nullptr;
  int mOpens = 0;
  int mCloses = 0;
  int mDrawResizes = 0;
  int mTooltipUpdates = 0;
  int mCursorHideCalls = 0;
  std::vector<bool> mPlatformResizes;
  bool mEntryOpen = false;
  uint64_t mEntryGeneration = 0;  // the graphics context's generation of the open entry
  int mEntryParamIdx = -1;
  int mEntryLength = 0;
};

// Number of UTF-8 code points (continuation bytes are not counted).
int codePoints(const char* str);

}  // namespace sp::test
