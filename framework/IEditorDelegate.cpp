#include "framework/IEditorDelegate.h"

#include <algorithm>
#include <new>

namespace plugkit {

IEditorDelegate::IEditorDelegate(int nParams) {
  for (int i = 0; i < nParams; ++i) {
    auto* param = new IParam();
    if (mParams.Add(param) == nullptr) {
      delete param;
      mParams.Empty(true);
      throw std::bad_alloc();
    }
  }
}

IEditorDelegate::~IEditorDelegate() { mParams.Empty(true); }

void IEditorDelegate::SetSizeConstraints(int widthLo, int widthHi, int heightLo, int heightHi) {
  mMinWidth = std::min(widthLo, widthHi);
  mMaxWidth = std::max(widthLo, widthHi);
  mMinHeight = std::min(heightLo, heightHi);
  mMaxHeight = std::max(heightLo, heightHi);
}

void* IEditorDelegate::OpenWindow(void*) {
  OnUIOpen();
  return nullptr;
}

void IEditorDelegate::CloseWindow() { OnUIClose(); }

void IEditorDelegate::OnUIOpen() {
  for (int i = 0; i < NParams(); ++i)
    if (const IParam* param = GetParam(i)) SendParameterValueFromDelegate(i, param->GetNormalized(), true);
}

void IEditorDelegate::OnParamChange(int paramIdx, EParamSource, int) { OnParamChange(paramIdx); }

void IEditorDelegate::OnParamReset(EParamSource source) {
  for (int i = 0; i < NParams(); ++i) {
    OnParamChange(i, source, -1);
    OnParamChangeUI(i, source);
  }
}

void IEditorDelegate::OnRestoreState() {
  for (int i = 0; i < NParams(); ++i)
    if (const IParam* param = GetParam(i)) SendParameterValueFromDelegate(i, param->GetNormalized(), true);
}

void IEditorDelegate::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) {
  OnMessage(msgTag, ctrlTag, dataSize, data);
}

void IEditorDelegate::SendArbitraryMsgFromDelegate(int msgTag, int dataSize, const void* data) {
  OnMessage(msgTag, -1, dataSize, data);
}

void IEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg) { OnMidiMsgUI(msg); }

void IEditorDelegate::SendSysexMsgFromDelegate(const ISysEx& msg) { OnSysexMsgUI(msg); }

void IEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double, bool) {
  OnParamChangeUI(paramIdx, kDelegate);
}

void IEditorDelegate::SendParameterValueFromUI(int paramIdx, double normalizedValue) {
  if (IParam* param = GetParam(paramIdx)) param->SetNormalized(normalizedValue);
  OnParamChangeUI(paramIdx, kUI);
}

bool IEditorDelegate::ConstrainEditorResize(int& width, int& height) const {
  if (width >= mMinWidth && width <= mMaxWidth && height >= mMinHeight && height <= mMaxHeight) return true;
  width = std::clamp(width, mMinWidth, mMaxWidth);
  height = std::clamp(height, mMinHeight, mMaxHeight);
  return false;
}

}  // namespace plugkit
