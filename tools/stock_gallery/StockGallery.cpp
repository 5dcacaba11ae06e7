#include "tools/stock_gallery/StockGallery.h"

#include <cmath>

#include "graphics/stock/StockBases.h"
#include "graphics/stock/VectorButtons.h"
#include "graphics/stock/VectorPadsAndFrames.h"
#include "graphics/stock/VectorSliders.h"

namespace stock_gallery {

using namespace plugkit::canvas;

namespace {

constexpr int kColumns = 4;
constexpr int kRows = 6;

// The track base drawn as a bank of stepped meters.
class StepBank : public IVTrackControlBase {
public:
  using IVTrackControlBase::IVTrackControlBase;
  void Draw(ICanvas& g) override {
    DrawBackground(g, mRECT);
    DrawLabel(g);
    DrawWidget(g);
  }
};

}  // namespace

void attach(ICanvas& g, const Params& p) {
  const IRECT bounds = g.GetBounds();
  const float cw = bounds.Width() / kColumns, ch = bounds.Height() / kRows;
  auto cell = [&](int column, int row, int columns = 1) {
    return IRECT(bounds.L + column * cw, bounds.T + row * ch, bounds.L + (column + columns) * cw, bounds.T + (row + 1) * ch)
        .GetPadded(-10.f);
  };
  IVStyle style = DEFAULT_STYLE;
  style.roundness = 0.3f;

  g.AttachControl(new IURLControl(cell(0, 0), "Link", "https://www.brightloom.example/"), kLink);
  g.AttachControl(new ITextToggleControl(cell(1, 0), p.toggle, "OFF", "ON"), kTextToggle);
  g.AttachControl(new ICaptionControl(cell(2, 0), p.choice), kCaption);
  g.AttachControl(new PlaceHolder(cell(3, 0)), kPlaceHolder);

  // The grouped pair leaves room above it for the group's caption.
  g.AttachControl(new IVLabelControl(cell(0, 1).GetReducedFromTop(16.f), "Label", style), kLabel, kGroupName);
  g.AttachControl(new IVButtonControl(cell(1, 1).GetReducedFromTop(16.f), SplashClickActionFunc, "Button", style),
                  kButton, kGroupName);
  g.AttachControl(new IVSwitchControl(cell(2, 1), p.toggle, "Switch", style), kSwitch);
  g.AttachControl(new IVToggleControl(cell(3, 1), p.toggle, "Toggle", style), kToggle);

  g.AttachControl(new IVSlideSwitchControl(cell(0, 2), p.steps, "Slide", style, true), kSlideSwitch);
  g.AttachControl(new IVTabSwitchControl(cell(1, 2), p.choice, {}, "Tabs", style, EVShape::HalfRoundedRectangle),
                  kTabs);
  g.AttachControl(new IVRadioButtonControl(cell(2, 2), p.choice, {}, "Radio", style), kRadio);
  g.AttachControl(IVMenuButtonControl::Create(cell(3, 2), p.choice, "Menu", style), kMenuButton);

  g.AttachControl(new IVSliderControl(cell(0, 3), p.level, "Vertical", style, true), kVerticalSlider);
  g.AttachControl(new IVSliderControl(cell(1, 3), p.steps, "Horizontal", style, false, EDirection::Horizontal),
                  kHorizontalSlider);
  g.AttachControl(new StepBank(cell(2, 3), "Steps", style, {p.level, p.x, p.y}, 4), kStepBank);
  g.AttachControl(new IVRangeSliderControl(cell(3, 3), {p.x, p.y}, "Range", style, EDirection::Horizontal),
                  kRangeSlider);

  g.AttachControl(new IVXYPadControl(cell(0, 4, 1).GetPadded(0, 0, 0, ch), {p.x, p.y}, "XY", style), kXYPad);
  const std::vector<IVPlotControl::Plot> plots = {
      {COLOR_RED, [](double x) { return std::sin(x * 6.283185307179586); }},
      {COLOR_BLUE, [](double x) { return 2.0 * x - 1.0; }},
  };
  g.AttachControl(new IVPlotControl(cell(1, 4, 2).GetPadded(0, 0, 0, ch), plots, 64, "Plot", style), kPlot);
  g.AttachControl(new IVColorSwatchControl(cell(3, 4).GetPadded(0, 0, 0, ch), "Colours", nullptr, style), kSwatch);

  // Last: it takes its bounds from the controls of its group.
  g.AttachControl(new IVGroupControl("Group", kGroupName, 6.f, 22.f, 6.f, 6.f, style), kGroup);
}

}  // namespace stock_gallery
