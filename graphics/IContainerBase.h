#pragma once
// A control that holds child controls. The graphics context owns the children like any
// other control; the container only links them, and the links are undone from both sides
// when either is removed.
#include <functional>
#include <vector>

#include "graphics/IControl.h"

namespace plugkit::canvas {

class IContainerBase : public IControl {
public:
  using AttachFunc = std::function<void(IContainerBase* container, const IRECT& bounds)>;
  using ResizeFunc = std::function<void(IContainerBase* container, const IRECT& bounds)>;

  // No parameter; a container never takes the mouse itself.
  explicit IContainerBase(const IRECT& bounds, AttachFunc attachFunc = nullptr, ResizeFunc resizeFunc = nullptr);
  // Unlinks the children (the graphics context deletes them).
  ~IContainerBase() override;

  void OnAttached() override;
  void OnResize() override;
  void Hide(bool hide) override;
  void SetDisabled(bool disable) override;

  // Attaches child to this container's graphics context and links it. Null when the
  // container is not attached or the tag is taken (the child stays the caller's).
  IControl* AddChildControl(IControl* child, int tag = kNoTag, const char* group = "");
  IControl* AttachChild(IControl* child, int tag = kNoTag, const char* group = "") {
    return AddChildControl(child, tag, group);
  }
  // Removes (and deletes) the child through the graphics context.
  void RemoveChildControl(IControl* child);
  // Undoes the link only; the graphics context calls it when the child goes.
  void DetachChild(IControl* child);

  int NChildren() const { return static_cast<int>(mChildren.size()); }
  IControl* GetChild(int idx) const;
  void ForAllChildrenFunc(const std::function<void(IControl*)>& func);

protected:
  AttachFunc mAttachFunc;
  ResizeFunc mResizeFunc;
  std::vector<IControl*> mChildren;
};

}  // namespace plugkit::canvas
