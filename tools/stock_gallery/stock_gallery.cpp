#include "tools/stock_gallery/stock_gallery.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/stock/BitmapControls.h"
#include "graphics/stock/DirBrowseControlBase.h"
#include "graphics/stock/OverlayControls.h"
#include "graphics/stock/PopupMenuControl.h"
#include "graphics/stock/SVGControls.h"
#include "graphics/stock/StockBases.h"
#include "graphics/stock/TextEntryControl.h"
#include "graphics/stock/VectorButtons.h"
#include "graphics/stock/VectorPadsAndFrames.h"
#include "graphics/stock/VectorSliders.h"

namespace stock_gallery {

using namespace plugkit::canvas;

namespace {

constexpr int kColumns = 5;
constexpr int kRows = 4;

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

// The directory browser as a file menu: the chosen file's name, and the menu of the
// folder's ".txt" files on a click.
class FileMenu : public IDirBrowseControlBase {
public:
  FileMenu(const IRECT& bounds, const char* folder) : IDirBrowseControlBase(bounds, ".txt", false, true) {
    mIgnoreMouse = false;
    if (folder != nullptr && folder[0] != '\0') AddPath(folder, "");
  }
  void OnInit() override { SetupMenu(); }
  void Draw(ICanvas& g) override {
    g.FillRect(COLOR_WHITE, mRECT, &mBlend);
    g.DrawRect(COLOR_DARK_GRAY, mRECT, &mBlend);
    StringBuf file;
    GetSelectedFile(file);
    const char* slash = std::strrchr(file.Get(), '/');
    g.DrawText(mText, file.Empty() ? "Choose a file" : (slash != nullptr ? slash + 1 : file.Get()), mRECT, &mBlend);
  }
  void OnMouseDown(float, float, const IMouseMod&) override { GetUI()->CreatePopupMenu(*this, mMainMenu, mRECT); }
  void OnPopupMenuSelection(IPopupMenu* menu, int) override {
    const IPopupMenu::Item* item = menu != nullptr ? menu->GetChosenItem() : nullptr;
    if (item == nullptr) return;
    SetSelectedFile(GetFile(item->GetTag()));
    CheckSelectedItem();
    SetDirty(false);
  }
};

// The page's SVG images, parsed once into the process's SVG cache.
constexpr const char* kKnobSVG =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40'>"
    "<circle cx='20' cy='20' r='18' fill='#c8c8c8' stroke='#464646' stroke-width='2'/>"
    "<rect x='18' y='3' width='4' height='15' fill='#d03030'/></svg>";
constexpr const char* kPillSVG =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'>"
    "<rect x='2' y='2' width='36' height='16' rx='6' fill='#ffffff' stroke='#000000' stroke-width='2'/></svg>";
constexpr const char* kDotSVG[3] = {
    "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='20'><circle cx='10' cy='10' r='8' fill='#d03030'/></svg>",
    "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='20'><circle cx='10' cy='10' r='8' fill='#30a030'/></svg>",
    "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='20'><circle cx='10' cy='10' r='8' fill='#3030d0'/></svg>",
};
constexpr const char* kTrackSVG =
    "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='100'>"
    "<rect x='3' y='0' width='4' height='100' fill='#464646'/></svg>";
constexpr const char* kHandleSVG =
    "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='6'><rect x='0' y='0' width='10' height='6' "
    "fill='#3030d0'/></svg>";

ISVG svgOf(ICanvas& g, const char* name, const char* text) { return g.LoadSVG(name, static_cast<const void*>(text), 0); }

}  // namespace

void attach(ICanvas& g, const Params& p) {
  // Five columns; rows as tall as their controls need: a row of small controls, a row of
  // buttons and switches, a tall row for the radio marks and the sliders, and one for the
  // pad, plot, swatch and the placeholder (whose texts need two columns).
  const IRECT bounds = g.GetBounds();
  const float cw = bounds.Width() / kColumns;
  const float rowTop[kRows + 1] = {0.f, 65.f / 400.f, 135.f / 400.f, 265.f / 400.f, 1.f};
  auto cell = [&](int column, int row, int columns = 1) {
    return IRECT(bounds.L + column * cw, bounds.T + rowTop[row] * bounds.Height(), bounds.L + (column + columns) * cw,
                 bounds.T + rowTop[row + 1] * bounds.Height())
        .GetPadded(-10.f);
  };
  IVStyle style = DEFAULT_STYLE;
  style.roundness = 0.3f;

  g.AttachControl(new IURLControl(cell(0, 0), "Link", "https://www.brightloom.example/"), kLink);
  g.AttachControl(new ITextToggleControl(cell(1, 0), p.toggle, "OFF", "ON"), kTextToggle);
  g.AttachControl(new ICaptionControl(cell(2, 0), p.choice), kCaption);
  g.AttachControl(new IVSwitchControl(cell(3, 0), p.toggle, "Switch", style), kSwitch);
  g.AttachControl(new IVToggleControl(cell(4, 0), p.toggle, "Toggle", style), kToggle);

  // The grouped pair leaves room above it for the group's caption.
  g.AttachControl(new IVLabelControl(cell(0, 1).GetReducedFromTop(16.f), "Label", style), kLabel, kGroupName);
  g.AttachControl(new IVButtonControl(cell(1, 1).GetReducedFromTop(16.f), SplashClickActionFunc, "Button", style),
                  kButton, kGroupName);
  g.AttachControl(new IVSlideSwitchControl(cell(2, 1), p.steps, "Slide", style, true), kSlideSwitch);
  g.AttachControl(new IVTabSwitchControl(cell(3, 1), p.choice, {}, "Tabs", style, EVShape::HalfRoundedRectangle),
                  kTabs);
  g.AttachControl(IVMenuButtonControl::Create(cell(4, 1), p.choice, "Menu", style), kMenuButton);

  // The selected option's mark and text are drawn in the pressed colour: a dark one here,
  // so they stand out from the background.
  IVStyle radioStyle = style;
  radioStyle.colorSpec.SetColor(kPressed, IColor(255, 40, 90, 160));
  g.AttachControl(new IVRadioButtonControl(cell(0, 2), p.choice, {}, "Radio", radioStyle), kRadio);
  g.AttachControl(new IVSliderControl(cell(1, 2), p.level, "Vertical", style, true), kVerticalSlider);
  g.AttachControl(new IVSliderControl(cell(2, 2), p.steps, "Horizontal", style, false, EDirection::Horizontal),
                  kHorizontalSlider);
  g.AttachControl(new StepBank(cell(3, 2), "Steps", style, {p.level, p.x, p.y}, 4), kStepBank);
  g.AttachControl(new IVRangeSliderControl(cell(4, 2), {p.x, p.y}, "Range", style, EDirection::Horizontal),
                  kRangeSlider);

  g.AttachControl(new IVXYPadControl(cell(0, 3), {p.x, p.y}, "XY", style), kXYPad);
  const std::vector<IVPlotControl::Plot> plots = {
      {COLOR_RED, [](double x) { return std::sin(x * 6.283185307179586); }},
      {COLOR_BLUE, [](double x) { return 2.0 * x - 1.0; }},
  };
  g.AttachControl(new IVPlotControl(cell(1, 3), plots, 64, "Plot", style), kPlot);
  g.AttachControl(new IVColorSwatchControl(cell(2, 3), "Colours", nullptr, style), kSwatch);
  g.AttachControl(new PlaceHolder(cell(3, 3, 2)), kPlaceHolder);

  // Last: it takes its bounds from the controls of its group.
  g.AttachControl(new IVGroupControl("Group", kGroupName, 6.f, 22.f, 6.f, 6.f, style), kGroup);
}

void attachImagesAndOverlays(ICanvas& g, const ImageParams& p) {
  constexpr int kPageColumns = 5;
  constexpr int kPageRows = 4;
  const IRECT bounds = g.GetBounds();
  const float cw = bounds.Width() / kPageColumns, ch = bounds.Height() / kPageRows;
  auto cell = [&](int index, int columns = 1) {
    const int column = index % kPageColumns, row = index / kPageColumns;
    return IRECT(bounds.L + column * cw, bounds.T + row * ch, bounds.L + (column + columns) * cw,
                 bounds.T + (row + 1) * ch)
        .GetPadded(-10.f);
  };
  const SVGColors colours = {COLOR_LIGHT_GRAY, COLOR_ORANGE, COLOR_MID_GRAY, COLOR_YELLOW};

  g.AttachControl(new FileMenu(cell(0), p.folder), kFileMenu);
  g.AttachControl(new ICaptionControl(cell(1), p.level), kValueCaption);
  g.AttachControl(new ISVGButtonControl(cell(2), DefaultClickActionFunc, svgOf(g, "gallery-pill.svg", kPillSVG),
                                        colours, EColorReplacement::Fill),
                  kSVGButton);
  g.AttachControl(new ISVGToggleControl(cell(3), p.toggle, svgOf(g, "gallery-dot-0.svg", kDotSVG[0]),
                                        svgOf(g, "gallery-dot-1.svg", kDotSVG[1])),
                  kSVGToggle);

  g.AttachControl(new ISVGKnobControl(cell(4), svgOf(g, "gallery-knob.svg", kKnobSVG), p.level), kSVGKnob);
  g.AttachControl(new ISVGSwitchControl(cell(5),
                                        {svgOf(g, "gallery-dot-0.svg", kDotSVG[0]), svgOf(g, "gallery-dot-1.svg", kDotSVG[1]),
                                         svgOf(g, "gallery-dot-2.svg", kDotSVG[2])}),
                  kSVGSwitch);
  g.AttachControl(new ISVGSliderControl(cell(6), svgOf(g, "gallery-handle.svg", kHandleSVG),
                                        svgOf(g, "gallery-track.svg", kTrackSVG), p.level),
                  kSVGSlider);
  g.AttachControl(new IBitmapControl(cell(7), p.frames, p.level), kBitmap);

  g.AttachControl(new IBMeterControl(cell(8).L, cell(8).T, p.frames), kBitmapMeter);
  g.AttachControl(new IBButtonControl(cell(9), p.handle), kBitmapButton);
  g.AttachControl(new IBSwitchControl(cell(10), p.frames, p.three), kBitmapSwitch);
  auto* slider = new IBSliderControl(cell(11), p.handle, IBitmap(), p.level, EDirection::Horizontal);
  slider->SetActionFunction(ShowBubbleHorizontalActionFunc);
  g.AttachControl(slider, kBitmapSlider);

  g.AttachControl(new IBKnobControl(cell(12), p.frames, p.level), kBitmapKnob);
  g.AttachControl(new IBKnobRotaterControl(cell(13), p.handle, p.level), kBitmapRotater);
  g.AttachControl(new IBTextControl(cell(14), p.font, DEFAULT_TEXT, "Bitmap text", std::max(p.font.FW(), 1),
                                    std::max(p.font.FH(), 1)),
                  kBitmapText);

  // The special controls: menus and text boxes are drawn from here on.
  AttachPopupMenuControl(g);
  AttachTextEntryControl(g);
  AttachBubbleControl(g);
  AttachCornerResizer(g);
  // Two cells wide, so the interface name and the readings have room side by side; clear
  // of the corner resizer.
  ShowFPSDisplay(g, true, cell(18, 2).GetReducedFromRight(20.f).GetReducedFromBottom(10.f));
}

}  // namespace stock_gallery
