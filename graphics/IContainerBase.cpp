#include "graphics/IContainerBase.h"

#include <algorithm>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

IContainerBase::IContainerBase(const IRECT& bounds, AttachFunc attachFunc, ResizeFunc resizeFunc)
    : IControl(bounds), mAttachFunc(std::move(attachFunc)), mResizeFunc(std::move(resizeFunc)) {
  mIgnoreMouse = true;
}

IContainerBase::~IContainerBase() {
  for (IControl* child : mChildren) child->SetParent(nullptr);
  mChildren.clear();
}

void IContainerBase::OnAttached() {
  if (mAttachFunc) mAttachFunc(this, mRECT);
  OnResize();
}

void IContainerBase::OnResize() {
  if (mResizeFunc && NChildren() > 0) mResizeFunc(this, mRECT);
}

void IContainerBase::Hide(bool hide) {
  ForAllChildrenFunc([hide](IControl* child) { child->Hide(hide); });
  IControl::Hide(hide);
}

void IContainerBase::SetDisabled(bool disable) {
  ForAllChildrenFunc([disable](IControl* child) { child->SetDisabled(disable); });
  IControl::SetDisabled(disable);
}

IControl* IContainerBase::AddChildControl(IControl* child, int tag, const char* group) {
  if (child == nullptr || GetGraphics() == nullptr) return nullptr;
  child->SetParent(this);
  if (GetGraphics()->AttachControl(child, tag, group) == nullptr) {
    child->SetParent(nullptr);
    return nullptr;
  }
  mChildren.push_back(child);
  return child;
}

void IContainerBase::RemoveChildControl(IControl* child) {
  if (child == nullptr || child->GetParent() != this) return;
  if (GetGraphics() != nullptr)
    GetGraphics()->RemoveControl(child);
  else
    DetachChild(child);
}

void IContainerBase::DetachChild(IControl* child) {
  auto it = std::find(mChildren.begin(), mChildren.end(), child);
  if (it != mChildren.end()) mChildren.erase(it);
  if (child != nullptr && child->GetParent() == this) child->SetParent(nullptr);
}

IControl* IContainerBase::GetChild(int idx) const {
  return idx >= 0 && idx < NChildren() ? mChildren[static_cast<size_t>(idx)] : nullptr;
}

void IContainerBase::ForAllChildrenFunc(const std::function<void(IControl*)>& func) {
  for (size_t i = 0; i < mChildren.size(); ++i) func(mChildren[i]);
}

}  // namespace plugkit::canvas
