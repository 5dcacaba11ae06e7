#include "framework/ICanvasEditorDelegate.h"

#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

bool validRecord(int width, int height, float scale) {
  return width > 0 && height > 0 && std::isfinite(scale) && scale > 0.f;
}

}  // namespace

ICanvasEditorDelegate::ICanvasEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

ICanvasEditorDelegate::~ICanvasEditorDelegate() {
  ICanvas* graphics = mGraphics;
  mGraphics = nullptr;
  delete graphics;
}

ICanvas* ICanvasEditorDelegate::CreateGraphics() { return mMakeGraphicsFunc ? mMakeGraphicsFunc() : nullptr; }

void ICanvasEditorDelegate::LayoutUI(ICanvas* graphics) {
  if (mLayoutFunc) mLayoutFunc(graphics);
}

void* ICanvasEditorDelegate::OpenWindow(void* parent) {
  if (mGraphics == nullptr) mGraphics = CreateGraphics();
  if (mGraphics == nullptr) return nullptr;
  if (validRecord(mSavedWidth, mSavedHeight, mSavedScale))
    mGraphics->Resize(mSavedWidth, mSavedHeight, mSavedScale, true);
  return mGraphics->OpenWindow(parent);
}

void ICanvasEditorDelegate::CloseWindow() {
  if (mClosing) return;  // the view's removal during the context's own close
  mClosing = true;
  OnUIClose();
  if (ICanvas* graphics = mGraphics) {
    mSavedWidth = graphics->Width();
    mSavedHeight = graphics->Height();
    mSavedScale = graphics->GetDrawScale();
    graphics->CloseWindow();
    mGraphics = nullptr;
    delete graphics;
  }
  mClosing = false;
}

void ICanvasEditorDelegate::OnParentWindowResize(int width, int height) {
  if (mGraphics == nullptr) return;
  float scale = mGraphics->GetPlatformWindowScale();
  if (!(scale > 0.f) || !std::isfinite(scale)) scale = 1.f;
  mGraphics->Resize(static_cast<int>(static_cast<float>(width) / scale),
                    static_cast<int>(static_cast<float>(height) / scale), 1.f, false);
}

void ICanvasEditorDelegate::SetScreenScale(float scale) {
  if (mGraphics != nullptr) mGraphics->SetScreenScale(scale);
}

void ICanvasEditorDelegate::SendControlValueFromDelegate(int ctrlTag, double normalizedValue) {
  if (mGraphics == nullptr) return;
  if (IControl* control = mGraphics->GetControlWithTag(ctrlTag)) control->SetValueFromDelegate(normalizedValue, 0);
}

void ICanvasEditorDelegate::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) {
  if (mGraphics == nullptr) return;
  if (IControl* control = mGraphics->GetControlWithTag(ctrlTag)) control->OnMsgFromDelegate(msgTag, dataSize, data);
}

void ICanvasEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) {
  if (mGraphics != nullptr) {
    bool usable = std::isfinite(value);
    if (usable && !normalized) {
      const IParam* param = GetParam(paramIdx);
      usable = param != nullptr;
      if (usable) value = param->ToNormalized(value);
    }
    if (usable) {
      mGraphics->ForStandardControlsFunc([paramIdx, value](IControl* control) {
        for (int slot = 0; slot < control->NVals(); ++slot)
          if (control->GetParamIdx(slot) == paramIdx) control->SetValueFromDelegate(value, slot);
      });
    }
  }
  OnParamChangeUI(paramIdx, kDelegate);
}

void ICanvasEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg) {
  if (mGraphics != nullptr) {
    mGraphics->ForStandardControlsFunc([&msg](IControl* control) {
      if (control->GetWantsMidi()) control->OnMidi(msg);
    });
  }
  OnMidiMsgUI(msg);
}

bool ICanvasEditorDelegate::OnKeyDown(const IKeyPress& key) {
  if (mGraphics == nullptr) return false;
  float x = 0.f, y = 0.f;
  mGraphics->GetMouseLocation(x, y);
  return mGraphics->OnKeyDown(x, y, key);
}

bool ICanvasEditorDelegate::OnKeyUp(const IKeyPress& key) {
  if (mGraphics == nullptr) return false;
  float x = 0.f, y = 0.f;
  mGraphics->GetMouseLocation(x, y);
  return mGraphics->OnKeyUp(x, y, key);
}

bool ICanvasEditorDelegate::SerializeEditorSize(IByteChunk& chunk) const {
  int32_t width = mSavedWidth, height = mSavedHeight;
  float scale = mSavedScale;
  if (mGraphics != nullptr) {
    width = mGraphics->Width();
    height = mGraphics->Height();
    scale = mGraphics->GetDrawScale();
  }
  return chunk.Put(&width) && chunk.Put(&height) && chunk.Put(&scale);
}

int ICanvasEditorDelegate::UnserializeEditorSize(const IByteChunk& chunk, int startPos) {
  int32_t width = 0, height = 0;
  float scale = 0.f;
  int pos = chunk.Get(&width, startPos);
  if (pos >= 0) pos = chunk.Get(&height, pos);
  if (pos >= 0) pos = chunk.Get(&scale, pos);
  if (pos < 0) {
    // A record cut short leaves no scale to apply at the next opening.
    if (mGraphics == nullptr) mSavedScale = 0.f;
    return -1;
  }
  if (!validRecord(width, height, scale)) return pos;  // unusable numbers are ignored
  if (mGraphics != nullptr) {
    mGraphics->Resize(width, height, scale, true);
  } else {
    mSavedWidth = width;
    mSavedHeight = height;
    mSavedScale = scale;
  }
  return pos;
}

}  // namespace plugkit::canvas
