#pragma once
// The stock vector buttons and switches: a label, a momentary button, switches that step
// through states (plain, toggle with off/on texts, sliding handle), a row of tabs, radio
// buttons, and a button that opens its parameter's value menu. The mouse behaviour comes
// from the button and switch bases (StockBases.h); the look from IVectorBase and IVStyle.
// Each control's hit area is its widget rectangle (the label and value strips do not take
// the mouse).
//
// Main thread only. Nothing here fails: without a linked parameter the value texts stay as
// they are, and a menu button without a parameter is refused when it is made.
#include <initializer_list>
#include <string>
#include <vector>

#include "graphics/IContainerBase.h"
#include "graphics/IVectorBase.h"
#include "graphics/stock/StockBases.h"

namespace plugkit::canvas {

class IVLabelControl : public ITextControl, public IVectorBase {
public:
  explicit IVLabelControl(const IRECT& bounds, const char* str = "", const IVStyle& style = DEFAULT_STYLE);

  // Background, the text in the style's value text (over its shadow when the style draws
  // shadows), and a frame when the style draws one.
  void Draw(ICanvas& g) override;
};

class IVButtonControl : public IButtonControlBase, public IVectorBase {
public:
  explicit IVButtonControl(const IRECT& bounds, ActionFunc action = SplashClickActionFunc, const char* label = "",
                           const IVStyle& style = DEFAULT_STYLE, bool labelInButton = true, bool valueInButton = false,
                           EVShape shape = EVShape::Rectangle);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  void OnResize() override;
  bool IsHit(float x, float y) const override { return mWidgetBounds.ContainsPoint(x, y); }
};

class IVSwitchControl : public ISwitchControlBase, public IVectorBase {
public:
  // Two states on a parameter.
  explicit IVSwitchControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, const char* label = "",
                           const IVStyle& style = DEFAULT_STYLE, bool valueInButton = true);
  IVSwitchControl(const IRECT& bounds, ActionFunc action, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                  int numStates = 2, bool valueInButton = true);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  // Redraws, and takes the value text from the linked parameter's current value.
  void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx) override;
  void OnResize() override;
  bool IsHit(float x, float y) const override { return mWidgetBounds.ContainsPoint(x, y); }
  // The value text as SetDirty writes it; an empty label takes the parameter's name.
  void OnInit() override;
  void OnMouseOut() override;

protected:
  // The linked parameter's display text of its current value, into the value string.
  void updateValueStr();
};

class IVToggleControl : public IVSwitchControl {
public:
  IVToggleControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, const char* offText = "OFF", const char* onText = "ON");
  IVToggleControl(const IRECT& bounds, ActionFunc action, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                  const char* offText = "OFF", const char* onText = "ON", bool initialState = false);

  // Pressed above 0.5.
  void DrawWidget(ICanvas& g) override;
  // The on text above 0.5, else the off text, whatever the style says about values.
  void DrawValue(ICanvas& g, bool mouseOver) override;

private:
  std::string mOffText;
  std::string mOnText;
};

class IVSlideSwitchControl : public IVSwitchControl {
public:
  static constexpr double kSlideMs = 100.0;

  // Two states on a parameter.
  explicit IVSlideSwitchControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, const char* label = "",
                                const IVStyle& style = DEFAULT_STYLE, bool valueInButton = false,
                                EDirection direction = EDirection::Horizontal);
  // The action runs when a slide ends. initialState is stored as value 0 (0 the first
  // state, 1 the last).
  IVSlideSwitchControl(const IRECT& bounds, ActionFunc action, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, bool valueInButton = false,
                       EDirection direction = EDirection::Horizontal, int numStates = 2, int initialState = 0);

  // The value text is left out while the handle slides.
  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  virtual void DrawHandle(ICanvas& g, const IRECT& bounds);
  virtual void DrawTrack(ICanvas& g, const IRECT& bounds);
  // The handle's rectangles follow the value, except while it slides.
  void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx) override;
  void OnResize() override;
  void OnEndAnimation() override;

  // The handle sits in the cell of the current state and will slide to the next one.
  void UpdateRects();
  const IRECT& GetHandleRect() const { return mHandleBounds; }
  const IRECT& GetStartRect() const { return mStartRect; }
  const IRECT& GetEndRect() const { return mEndRect; }

private:
  IRECT cellOf(int state) const;
  static void startSlide(IControl* control);
  static void slideStep(IControl* control);

  IRECT mStartRect;
  IRECT mEndRect;
  IRECT mHandleBounds;
  EDirection mDirection;
};

class IVTabSwitchControl : public ISwitchControlBase, public IVectorBase {
public:
  enum class ETabSegment : int { First = 0, Inner = 1, Last = 2 };

  IVTabSwitchControl(const IRECT& bounds, int paramIdx = kNoLinkedParam,
                     std::initializer_list<const char*> options = {}, const char* label = "",
                     const IVStyle& style = DEFAULT_STYLE, EVShape shape = EVShape::Rectangle,
                     EDirection direction = EDirection::Horizontal);
  IVTabSwitchControl(const IRECT& bounds, ActionFunc action, std::initializer_list<const char*> options,
                     const char* label = "", const IVStyle& style = DEFAULT_STYLE, EVShape shape = EVShape::Rectangle,
                     EDirection direction = EDirection::Horizontal);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  virtual void DrawButton(ICanvas& g, const IRECT& r, bool pressed, bool mouseOver, ETabSegment segment,
                          bool disabled);
  virtual void DrawButtonText(ICanvas& g, const IRECT& r, bool pressed, bool mouseOver, ETabSegment segment,
                              bool disabled, const char* text);
  // The tab holding the point, or -1.
  virtual int GetButtonForPoint(float x, float y) const;
  bool IsHit(float x, float y) const override { return GetButtonForPoint(x, y) >= 0; }
  // Selects the clicked tab. A tab whose state is disabled takes no click: nothing changes
  // and no action runs. A single tab selects value 0.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  // Labels from the linked parameter's display texts when none were given.
  void OnInit() override;

  // The label of the selected tab, or "".
  const char* GetSelectedLabelStr() const;
  int GetSelectedIdx() const;
  int GetMouseOverIdx() const { return mMouseOverButton; }
  const std::vector<IRECT>& GetTabRects() const { return mButtons; }

protected:
  EVShape mTabShape;
  int mMouseOverButton = -1;
  std::vector<IRECT> mButtons;
  std::vector<std::string> mTabLabels;
  EDirection mDirection;
};

class IVRadioButtonControl : public IVTabSwitchControl {
public:
  IVRadioButtonControl(const IRECT& bounds, int paramIdx = kNoLinkedParam,
                       std::initializer_list<const char*> options = {}, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, EVShape shape = EVShape::Ellipse,
                       EDirection direction = EDirection::Vertical, float markSize = 10.f);
  IVRadioButtonControl(const IRECT& bounds, ActionFunc action, std::initializer_list<const char*> options,
                       const char* label = "", const IVStyle& style = DEFAULT_STYLE, EVShape shape = EVShape::Ellipse,
                       EDirection direction = EDirection::Vertical, float markSize = 10.f);

  // A mark per option at the left of its row, the option's text beside it.
  void DrawWidget(ICanvas& g) override;
  // With marks-only hit testing, only the mark column of each option takes the mouse.
  int GetButtonForPoint(float x, float y) const override;

  void SetMarksOnlyHitTesting(bool marksOnly) { mOnlyMarksRespond = marksOnly; }
  float GetMarkColumnWidth() const { return mMarkColumnWidth; }

private:
  void setTextAlignment();

  float mMarkSize;
  float mMarkColumnWidth;
  bool mOnlyMarksRespond = false;
};

// A button showing its parameter's value; after its click splash the parameter's value
// menu opens under it. The button itself is a child IVButtonControl, attached with the
// container.
class IVMenuButtonControl : public IContainerBase, public IVectorBase {
public:
  // Null for a parameter index below 0: the button has nothing to show or choose.
  static IVMenuButtonControl* Create(const IRECT& bounds, int paramIdx, const char* label = "",
                                     const IVStyle& style = DEFAULT_STYLE, EVShape shape = EVShape::Rectangle);

  void Draw(ICanvas& g) override {}
  void SetValueFromDelegate(double value, int valIdx = 0) override;
  void SetValueFromUserInput(double value, int valIdx = 0) override;
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override;
  void SetStyle(const IVStyle& style) override;

  // The child button (null once it was removed).
  IVButtonControl* GetButton() const;

private:
  IVMenuButtonControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style, EVShape shape);
  // The child's click ended: opens the host's edit of the parameter, then its value menu.
  void openMenu(IControl& button);
  void refreshButton();
  IVStyle buttonStyle(const IVStyle& style) const;
};

}  // namespace plugkit::canvas
