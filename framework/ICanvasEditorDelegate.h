#pragma once
// The editor delegate that owns the editor's graphics context: it makes the context on
// demand through the plug-in's make-graphics function, lays it out through the layout
// function, opens it in the host's parent view and deletes it when the window closes,
// keeping the window's size and draw scale for the next opening. Main thread only.
#include <functional>

#include "framework/IEditorDelegate.h"

namespace Steinberg {
class IPlugView;
namespace Vst {
class IComponentHandler;
}
}  // namespace Steinberg

namespace plugkit::canvas {

class ICanvas;

class ICanvasEditorDelegate : public plugkit::IEditorDelegate {
public:
  using MakeGraphicsFunc = std::function<ICanvas*()>;
  using LayoutFunc = std::function<void(ICanvas*)>;

  explicit ICanvasEditorDelegate(int nParams);
  // Deletes a graphics context that is still open.
  ~ICanvasEditorDelegate() override;

  // Creates the context when none exists, re-applies the size kept from the last closing,
  // and opens the context's window in parent; null when no context could be made.
  void* OpenWindow(void* parent) override;
  // Ignored while a close is under way. Tells the plug-in, keeps the size and draw scale,
  // closes and deletes the context.
  void CloseWindow() override;
  void OnParentWindowResize(int width, int height) override;
  void SetScreenScale(float scale) override;

  void SendControlValueFromDelegate(int ctrlTag, double normalizedValue) override;
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize = 0, const void* data = nullptr) override;
  // Updates every control slot linked to the parameter (a real value is normalised
  // through the parameter first), then tells the plug-in.
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;
  void SendMidiMsgFromDelegate(const IMidiMsg& msg) override;
  bool OnKeyDown(const IKeyPress& key) override;
  bool OnKeyUp(const IKeyPress& key) override;

  // The editor-state record: int32 width, int32 height, float32 draw scale (12 bytes).
  bool SerializeEditorState(IByteChunk& chunk) const override { return SerializeEditorSize(chunk); }
  int UnserializeEditorState(const IByteChunk& chunk, int startPos) override {
    return UnserializeEditorSize(chunk, startPos);
  }
  // Appends the open context's size and scale, or the kept ones while closed.
  bool SerializeEditorSize(IByteChunk& chunk) const;
  // Reads a record: the position after it, or -1 when it does not fit. A record is used
  // only when its width, height and scale are finite and above 0.
  int UnserializeEditorSize(const IByteChunk& chunk, int startPos);

  virtual ICanvas* CreateGraphics();
  virtual void LayoutUI(ICanvas* graphics);

  // The host's component handler and the open plug-in view, for the host's context menu
  // of a parameter. The VST3 binding provides them; null elsewhere.
  virtual Steinberg::Vst::IComponentHandler* GetHostComponentHandler() const { return nullptr; }
  virtual Steinberg::IPlugView* GetHostPlugView() const { return nullptr; }

  ICanvas* GetGraphics() const { return mGraphics; }
  ICanvas* GetUI() const { return mGraphics; }
  void SetMakeGraphicsFunc(MakeGraphicsFunc func) { mMakeGraphicsFunc = std::move(func); }
  void SetLayoutFunc(LayoutFunc func) { mLayoutFunc = std::move(func); }
  const MakeGraphicsFunc& GetMakeGraphicsFunc() const { return mMakeGraphicsFunc; }
  const LayoutFunc& GetLayoutFunc() const { return mLayoutFunc; }
  int GetSavedWidth() const { return mSavedWidth; }
  int GetSavedHeight() const { return mSavedHeight; }
  float GetSavedScale() const { return mSavedScale; }
  bool IsClosing() const { return mClosing; }

protected:
  MakeGraphicsFunc mMakeGraphicsFunc;
  LayoutFunc mLayoutFunc;
  ICanvas* mGraphics = nullptr;
  int mSavedWidth = 0;
  int mSavedHeight = 0;
  float mSavedScale = 0.f;
  bool mClosing = false;
};

}  // namespace plugkit::canvas
