// User prompts: a popup menu or a text box opened for a control, and the answer routed back
// to it, with the host's edit gestures balanced around the answer.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"

namespace plugkit::canvas {

void ICanvas::PromptUserInput(IControl& control, const IRECT& bounds, int valIdx) {
  const IParam* param = control.GetParam(valIdx);
  if (param == nullptr) return;

  const bool isMenu = param->Type() == IParam::kTypeEnum ||
                      (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0);
  if (isMenu) {
    StringBuf current;
    param->GetDisplay(current, true);
    mPromptPopupMenu.Reset(param->GetName());
    for (int i = 0; i < param->NDisplayTexts(); ++i) {
      const char* text = param->GetDisplayText(static_cast<double>(i));
      IPopupMenu::Item* item = mPromptPopupMenu.AddItem(text);
      if (std::strcmp(text, current.Get()) == 0) item->SetChecked(true);
    }
    DoCreatePopupMenu(control, mPromptPopupMenu, bounds, valIdx, false);
    return;
  }

  StringBuf str;
  param->GetDisplay(param->Value(), false, str, false);
  if (control.GetPromptShowsParamLabel()) {
    str.Append(" ");
    str.Append(param->GetLabel());
  }
  CreateTextEntry(control, control.GetText(), bounds, str.Get(), valIdx);
}

void ICanvas::CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds, const char* str, int valIdx) {
  // One text box at a time: a second request must not take the open box's target, or the
  // text typed for one control would go to another.
  if (mInTextEntry != nullptr) return;
  mInTextEntry = &control;
  mTextEntryValIdx = valIdx;
  ++mTextEntryGeneration;
  const int paramIdx = valIdx >= 0 ? control.GetParamIdx(valIdx) : kNoLinkedParam;
  if (mTextEntryControl != nullptr)
    mTextEntryControl->CreateTextEntry(paramIdx, text, bounds, control.GetTextEntryLength(), str != nullptr ? str : "");
  else
    CreatePlatformTextEntry(paramIdx, text, bounds, control.GetTextEntryLength(), str != nullptr ? str : "");
  if (mInTextEntry != nullptr) mInTextEntry->SetDirty(false);
}

void ICanvas::CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx) {
  DoCreatePopupMenu(control, menu, bounds, valIdx, false);
}

void ICanvas::DoCreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx,
                                bool isContext) {
  // The drawn menu shows one menu at a time, and whether it can take this one is decided
  // before anything of the pending request changes: an expanded menu keeps its requester,
  // and the newcomer is answered at once as dismissed; one still fading out after its
  // choice is closed now and shows the new menu.
  if (mPopupControl != nullptr) {
    if (mPopupControl->IsExpanded()) {
      answerMenuDismissed(control, valIdx, isContext);
      return;
    }
    if (mPopupControl->IsBusy()) mPopupControl->CloseNow();
  }

  // The menu takes the pointer; gestures opened by the press stay open until the answer.
  releaseCaptures(false);
  // A different control's pending menu is overtaken and will get no answer: the gestures
  // its press opened end now.
  IControl* overtaken = mInPopupMenu != &control ? mInPopupMenu : nullptr;
  mInPopupMenu = &control;
  mPopupMenuValIdx = valIdx;
  mIsContextMenu = isContext;
  ++mPopupGeneration;
  if (overtaken != nullptr) {
    const std::weak_ptr<const int> alive = mAlive;
    EndParamGesturesOf(overtaken);
    if (alive.expired() || mInPopupMenu != &control) return;
  }

  if (mPopupControl != nullptr) {
    // It answers through SetControlValueAfterPopupMenu when a choice closes it.
    mPopupControl->CreatePopupMenu(menu, bounds);
    return;
  }
  bool isAsync = false;
  IPopupMenu* chosen = CreatePlatformPopupMenu(menu, bounds, isAsync);
  if (!isAsync && mInPopupMenu != nullptr) SetControlValueAfterPopupMenu(chosen);
}

void ICanvas::answerMenuDismissed(IControl& control, int valIdx, bool isContext) {
  IControl* c = &control;
  const Delivery outcome = deliverPrompt(c, [&] {
    if (isContext)
      c->OnContextSelection(-1);
    else
      c->OnPopupMenuSelection(nullptr, valIdx);
  });
  if (outcome == Delivery::ControlPresent) EndParamGesturesOf(c);
}

void ICanvas::SetControlValueAfterPopupMenu(IPopupMenu* menu) {
  IControl* control = mInPopupMenu;
  if (control == nullptr) return;
  const uint64_t generation = mPopupGeneration;
  const int valIdx = mPopupMenuValIdx;
  const bool isContext = mIsContextMenu;

  const Delivery outcome = deliverPrompt(control, [&] {
    if (isContext)
      control->OnContextSelection(menu != nullptr ? menu->GetChosenItemIdx() : -1);
    else
      control->OnPopupMenuSelection(menu != nullptr && menu->GetChosenItemIdx() >= 0 ? menu : nullptr, valIdx);
  });
  if (outcome == Delivery::ContextGone) return;  // the callback closed the editor

  // The gestures the press opened end with the answer (a removed control had its own
  // ended when it went). When the callback opened another prompt, that one stays pending.
  if (outcome == Delivery::ControlPresent) EndParamGesturesOf(control);
  if (generation == mPopupGeneration && mInPopupMenu == control) mInPopupMenu = nullptr;
}

void ICanvas::DeleteFromPopupMenu(IPopupMenu* menu, int itemIdx) {
  if (mInPopupMenu != nullptr) mInPopupMenu->OnDeleteFromPopupMenu(menu, itemIdx);
}

void ICanvas::SetControlValueAfterTextEdit(const char* str) {
  IControl* control = mInTextEntry;
  if (control == nullptr) return;
  if (str == nullptr) str = "";
  const int valIdx = mTextEntryValIdx;
  // The box is closed once committed: the answer may open the next one.
  mInTextEntry = nullptr;

  deliverPrompt(control, [&] {
    const IParam* param = valIdx >= 0 ? control->GetParam(valIdx) : nullptr;
    if (param != nullptr) {
      double v = param->StringToValue(str);
      const double step = param->GetStep();
      if (param->GetStepped() && step > 0.0) v = std::round(v / step) * step;
      v = std::clamp(v, param->GetMin(), param->GetMax());
      control->SetValueFromUserInput(std::clamp(param->ToNormalized(v), 0.0, 1.0), valIdx);
    } else {
      control->OnTextEntryCompletion(str, valIdx);
    }
  });
}

bool ICanvas::PromptForColor(IControl& control, IColor& color, const char* str, ColorCompletion completion) {
  mInColorPrompt = &control;
  const uint64_t generation = ++mColorGeneration;
  const std::weak_ptr<const int> alive = mAlive;
  // The chooser may answer many times, long after the request: each answer finds its
  // requester again, or is dropped.
  ColorCompletion answer = [this, alive, generation, completion = std::move(completion)](const IColor& picked) {
    if (alive.expired() || generation != mColorGeneration || mInColorPrompt == nullptr || !completion) return;
    const ColorCompletion run = completion;  // the platform may drop this function while it runs
    deliverPrompt(mInColorPrompt, [&] { run(picked); });
  };
  const bool shown = PromptForColor(color, str, std::move(answer));
  if (!shown && !alive.expired() && generation == mColorGeneration) mInColorPrompt = nullptr;
  return shown;
}

ICanvas::ModalScope::ModalScope(ICanvas& canvas) : mCanvas(canvas), mAlive(canvas.mAlive) { ++canvas.mModalRuns; }

ICanvas::ModalScope::~ModalScope() {
  if (!mAlive.expired()) --mCanvas.mModalRuns;
}

ICanvas::Delivery ICanvas::deliverPrompt(IControl* control, const std::function<void()>& callback) {
  const std::weak_ptr<const int> alive = mAlive;
  mDelivering.push_back(control);
  ++mPromptCallbacks;
  withOwnGestures(callback);
  if (alive.expired()) return Delivery::ContextGone;  // nothing of this object may be touched
  --mPromptCallbacks;
  const bool present = mDelivering.back() == control;
  mDelivering.pop_back();
  return present ? Delivery::ControlPresent : Delivery::ControlRemoved;
}

}  // namespace plugkit::canvas
