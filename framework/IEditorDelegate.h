#pragma once
// The root of the plug-in object: it owns the parameter list and declares the hooks
// through which values, messages and key presses pass between the plug-in and its
// editor. Every hook has a default; the plug-in and the framework layers above override
// what they need. Everything here runs on the host's main thread unless a hook says
// otherwise.
#include "framework/IByteChunk.h"
#include "framework/IParam.h"
#include "framework/IPlugStructs.h"
#include "framework/PtrList.h"

namespace plugkit {

class IEditorDelegate {
public:
  explicit IEditorDelegate(int nParams);
  virtual ~IEditorDelegate();
  IEditorDelegate(const IEditorDelegate&) = delete;
  IEditorDelegate& operator=(const IEditorDelegate&) = delete;

  // Parameters, by index; null outside the list.
  int NParams() const { return mParams.GetSize(); }
  IParam* GetParam(int paramIdx) { return mParams.Get(paramIdx); }
  const IParam* GetParam(int paramIdx) const { return mParams.Get(paramIdx); }

  // The host window's size in host units, kept for the next opening (0 x 0 at start).
  int GetEditorWidth() const { return mEditorWidth; }
  int GetEditorHeight() const { return mEditorHeight; }
  void SetEditorSize(int width, int height) {
    mEditorWidth = width;
    mEditorHeight = height;
  }
  // Size limits, each pair stored in ascending order.
  void SetSizeConstraints(int widthLo, int widthHi, int heightLo, int heightHi);
  int GetMinWidth() const { return mMinWidth; }
  int GetMaxWidth() const { return mMaxWidth; }
  int GetMinHeight() const { return mMinHeight; }
  int GetMaxHeight() const { return mMaxHeight; }

  // Window. The defaults only tell the plug-in (OnUIOpen, result null; OnUIClose).
  virtual void* OpenWindow(void* parent);
  virtual void CloseWindow();
  virtual void OnParentWindowResize(int width, int height) {}
  // Sends every parameter's current normalised value to the editor.
  virtual void OnUIOpen();
  virtual void OnUIClose() {}

  // Parameter hooks. OnParamChange with a source may run on the audio thread (source
  // host, inside process); the default calls OnParamChange(idx).
  virtual void OnParamChange(int paramIdx, EParamSource source, int sampleOffset = -1);
  virtual void OnParamChange(int paramIdx) {}
  virtual void OnParamChangeUI(int paramIdx, EParamSource source = kUI) {}
  // For every parameter in index order: OnParamChange(i, source, -1), OnParamChangeUI(i, source).
  virtual void OnParamReset(EParamSource source);

  // Messages to the editor side.
  virtual void OnMidiMsgUI(const IMidiMsg& msg) {}
  virtual void OnSysexMsgUI(const ISysEx& msg) {}
  virtual bool OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data) { return false; }
  // Sends every parameter's normalised value to the editor after a state was restored.
  virtual void OnRestoreState();
  virtual bool OnKeyDown(const IKeyPress& key) { return false; }
  virtual bool OnKeyUp(const IKeyPress& key) { return false; }

  // From the plug-in to the editor.
  virtual void SendControlValueFromDelegate(int ctrlTag, double normalizedValue) {}
  virtual void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize = 0, const void* data = nullptr);
  virtual void SendArbitraryMsgFromDelegate(int msgTag, int dataSize = 0, const void* data = nullptr);
  virtual void SendMidiMsgFromDelegate(const IMidiMsg& msg);
  virtual void SendSysexMsgFromDelegate(const ISysEx& msg);
  // Default: OnParamChangeUI(paramIdx, kDelegate) only (the editor side adds the controls).
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

  // From the editor to the plug-in and the host.
  virtual void DirtyParametersFromUI() {}
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx) {}
  // Default: stores the value in the parameter and tells OnParamChangeUI(paramIdx, kUI).
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue);
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx) {}
  virtual bool EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize) { return false; }
  virtual void SendMidiMsgFromUI(const IMidiMsg& msg) {}
  virtual void SendSysexMsgFromUI(const ISysEx& msg) {}
  virtual void SendArbitraryMsgFromUI(int msgTag, int ctrlTag = -1, int dataSize = 0, const void* data = nullptr) {}
  virtual void DeferMidiMsg(const IMidiMsg& msg) {}
  virtual void DeferSysexMsg(const ISysEx& msg) {}

  // True when width and height lie within the limits; otherwise clamps both and answers false.
  virtual bool ConstrainEditorResize(int& width, int& height) const;
  virtual bool SerializeEditorState(IByteChunk& chunk) const { return true; }
  virtual int UnserializeEditorState(const IByteChunk& chunk, int startPos) { return startPos; }
  virtual void SetScreenScale(float scale) {}

protected:
  PtrList<IParam> mParams;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
  int mMinWidth = 10;
  int mMaxWidth = 100000;
  int mMinHeight = 10;
  int mMaxHeight = 100000;
};

}  // namespace plugkit
