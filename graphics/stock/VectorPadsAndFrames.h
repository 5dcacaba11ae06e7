#pragma once
// Stock vector controls that are neither sliders nor buttons: IVXYPadControl (two values
// on one square pad), IVPlotControl (functions of x drawn as curves over a grid),
// IVGroupControl (a captioned frame around a named group of controls) and
// IVColorSwatchControl (cells that edit the style's own colours through the platform's
// colour chooser). The look comes from IVectorBase and IVStyle.
//
// Main thread only. Nothing here fails: a pad given fewer than two parameters keeps two
// values (the missing ones unlinked), a plot asked for fewer than two points samples two,
// and a swatch whose chooser answers after the swatch was removed hears nothing (the
// graphics context drops the answer).
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "graphics/IContainerBase.h"
#include "graphics/IVectorBase.h"
#include "graphics/Layer.h"

namespace plugkit::canvas {

class IVXYPadControl : public IControl, public IVectorBase {
public:
  // Value 0 is x (linked to the first listed parameter), value 1 is y. With an edge-
  // reaching handle the handle's centre reaches the widget's edge, clipped there; else the
  // pad is the widget less the handle radius.
  IVXYPadControl(const IRECT& bounds, std::initializer_list<int> params, const char* label = "",
                 const IVStyle& style = DEFAULT_STYLE, float handleRadius = 10.f, bool edgeReachingHandle = true,
                 bool drawCross = true);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  virtual void DrawHandle(ICanvas& g, const IRECT& pad, const IRECT& handle);
  // The centre cross, when asked for.
  virtual void DrawTrack(ICanvas& g);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // The pointer, held inside the pad, becomes both values (y grows upwards).
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnResize() override;

  // The area the handle's centre moves over.
  IRECT GetPadBounds() const;
  bool GetMouseDown() const { return mMouseDown; }

private:
  float mHandleRadius;
  bool mMouseDown = false;
  bool mEdgeReachingHandle;
  bool mDrawCross;
};

class IVPlotControl : public IControl, public IVectorBase {
public:
  struct Plot {
    IColor color;
    std::function<double(double)> func;
  };

  // Each function is sampled at numPoints evenly spaced x in 0..1 (at least 2) and drawn
  // with min..max mapped onto the curve area; min = max draws at mid-height.
  //
  // useLayer caches the drawn body (grid, curves, frame) in an offscreen layer: later
  // frames draw the layer and call no function, until a function is added, the style or
  // the control's rectangle changes, or the draw or screen scale does.
  IVPlotControl(const IRECT& bounds, const std::vector<Plot>& plots = {}, int numPoints = 100, const char* label = "",
                const IVStyle& style = DEFAULT_STYLE, float min = -1.f, float max = 1.f, bool useLayer = false);

  void AddPlotFunc(const IColor& color, std::function<double(double)> func);
  void Draw(ICanvas& g) override;
  void OnResize() override;
  void OnAppearanceChanged() override;

  int NPlots() const { return static_cast<int>(mPlots.size()); }
  int NPoints() const { return static_cast<int>(mPoints.size()); }
  bool GetUseLayer() const { return mUseLayer; }

private:
  void drawBody(ICanvas& g, const IBlend* blend);
  void invalidateLayer();

  std::vector<Plot> mPlots;
  OwnedLayer mLayer;
  float mMin;
  float mMax;
  bool mUseLayer;
  int mHorizontalDivisions = 10;
  int mVerticalDivisions = 10;
  std::vector<float> mPoints;
};

class IVGroupControl : public IContainerBase, public IVectorBase {
public:
  // A frame over fixed bounds, with optional container functions.
  IVGroupControl(const IRECT& bounds, const char* label = "", float captionIndent = 10.f,
                 const IVStyle& style = DEFAULT_STYLE, AttachFunc attachFunc = nullptr,
                 ResizeFunc resizeFunc = nullptr);
  // A frame around the controls of a group, with these margins; it takes its bounds when
  // attached, so attach it after the group's controls.
  IVGroupControl(const char* label, const char* groupName, float padL = 0.f, float padT = 0.f, float padR = 0.f,
                 float padB = 0.f, const IVStyle& style = DEFAULT_STYLE);

  void OnInit() override;
  // The bounds become the union of the group's non-empty control bounds, grown by the margins.
  void SetBoundsBasedOnGroup(const char* groupName, float padL, float padT, float padR, float padB);
  // The caption rides on the frame's top line, with a gap around it.
  void OnResize() override;
  void Draw(ICanvas& g) override;
  // The frame, open where the caption is (closed without a caption).
  void DrawWidget(ICanvas& g) override;

  const char* GetGroupName() const { return mGroupName.c_str(); }

private:
  std::string mGroupName;
  float mPadL = 0.f;
  float mPadT = 0.f;
  float mPadR = 0.f;
  float mPadB = 0.f;
  float mLabelOffset;
  float mLabelPadding = 10.f;
};

class IVColorSwatchControl : public IControl, public IVectorBase {
public:
  using ColorChosenFunc = std::function<void(int cell, IColor color)>;
  // Block: 3 columns and at least 3 rows; Row: one row of N cells; Column: one column.
  enum class ECellLayout : int { Block = 0, Row = 1, Column = 2 };

  // One cell per colour role, labelled by the matching entry of cellLabels (a cell without
  // one shows its swatch over the whole cell).
  IVColorSwatchControl(const IRECT& bounds, const char* label = "", ColorChosenFunc func = nullptr,
                       const IVStyle& style = DEFAULT_STYLE, ECellLayout layout = ECellLayout::Block,
                       std::initializer_list<EVColor> colorRoles = {kBackground, kForeground, kPressed, kFrame,
                                                                    kHighlight, kShadow, kExtra1, kExtra2, kExtra3},
                       std::initializer_list<const char*> cellLabels = {});

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  void OnResize() override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // Opens the colour chooser for the clicked cell. Each colour chosen becomes that role's
  // colour and is reported to the colour-chosen function.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;

  // The cell holding the point, or -1.
  int GetCellForPoint(float x, float y) const;
  const std::vector<IRECT>& GetCellRects() const { return mCellRects; }
  int GetMouseOverCell() const { return mCellOver; }

private:
  ColorChosenFunc mColorChosenFunc;
  int mCellOver = -1;
  ECellLayout mLayout;
  std::vector<IRECT> mCellRects;
  std::vector<std::string> mLabels;
  std::vector<EVColor> mColorRoles;
};

}  // namespace plugkit::canvas
