#include "ui/chips.h"

#include "graphics/ICanvas.h"
#include "ui/panel_text.h"

namespace balance_panel {

// ---------------------------------------------------------------------------------------
// ChipControl

ChipControl::ChipControl(const IRECT& bounds, const IText& text, const Palette& palette, LabelGetter label,
                         MenuFiller fillMenu, PickHandler onPick, TextHandler onText)
    : IControl(bounds),
      mChipText(text),
      mPalette(palette),
      mLabel(std::move(label)),
      mFillMenu(std::move(fillMenu)),
      mOnPick(std::move(onPick)),
      mOnText(std::move(onText)) {
  mDblAsSingleClick = true;  // a quick second press opens the menu again
}

void ChipControl::OnMouseDown(float, float, const IMouseMod& mod) {
  ICanvas* g = GetUI();
  if (!mod.L || g == nullptr || g->GetControlInTextEntry() != nullptr || !mFillMenu) return;
  mMenu.RemoveAllItems();
  mMenu.SetChosenItemIdx(-1);
  mFillMenu(mMenu);
  g->CreatePopupMenu(*this, mMenu, mRECT, 0);
}

void ChipControl::OnPopupMenuSelection(IPopupMenu* menu, int) {
  if (menu == nullptr || menu->GetChosenItemIdx() < 0 || !mOnPick) return;
  const PickHandler pick = mOnPick;  // the handler may replace the chip's functions
  pick(*this, menu->GetChosenItemIdx());
}

void ChipControl::OnTextEntryCompletion(const char* str, int) {
  if (mOnText) {
    const TextHandler handler = mOnText;
    handler(str);
  }
  SetDirty(false);
}

void ChipControl::Draw(ICanvas& g) {
  if (!mLabel) return;
  const IRECT& r = mRECT;
  g.DrawRoundRect(GetMouseIsOver() ? mPalette.textMuted : mPalette.textFaint,
                  IRECT(r.L + 0.5f, r.T + 0.5f, r.R - 0.5f, r.B - 0.5f), r.H() / 2.f, nullptr, 1.f);
  const IRECT area = labelArea();
  const std::string label = fitWithEllipsis(g, mChipText, mLabel(), area.W());
  g.DrawText(mChipText, label.c_str(), area);
  const float cy = (r.T + r.B) / 2.f + 1.f;
  g.FillTriangle(mPalette.textMuted, r.R - 16.f, cy - 2.5f, r.R - 8.f, cy - 2.5f, r.R - 12.f, cy + 2.5f);
}

// ---------------------------------------------------------------------------------------
// LegendControl

namespace {

constexpr const char* kItems[4] = {"INPUT", "TARGET", "OUTPUT", "CORRECTION"};
constexpr IColor kInputLine{235, 250, 250, 250};
constexpr IColor kOutputLine{190, 250, 250, 250};
constexpr float kSwatch = 14.f;  // swatch length
constexpr float kLabelOffset = 18.f;
constexpr float kGap = 10.f;

}  // namespace

LegendControl::LegendControl(const IRECT& bounds) : IControl(bounds) { SetIgnoreMouse(true); }

void LegendControl::Draw(ICanvas& g) {
  const int n = extraItems && extraItems() ? 4 : 2;
  float widths[4] = {};
  float row = 0.f;
  for (int i = 0; i < n; ++i) {
    widths[i] = textWidth(g, text, kItems[i]);
    row += kLabelOffset + widths[i] + (i > 0 ? kGap : 0.f);
  }
  // A row wider than the control is scaled as a whole to span it.
  const IRECT& r = mRECT;
  const float s = row > r.W() && r.W() > 0.f ? r.W() / row : 1.f;
  const IText style = s < 1.f ? text.WithSize(text.size * s) : text;
  const float cy = (r.T + r.B) / 2.f;
  float x = r.R - row * s;

  for (int i = 0; i < n; ++i) {
    switch (i) {
      case 0: g.DrawLine(kInputLine, x, cy, x + kSwatch * s, cy, nullptr, 1.5f); break;
      case 1: g.FillRect(accent.WithAlpha(114), IRECT(x, cy - 4.f * s, x + kSwatch * s, cy + 4.f * s)); break;
      case 2:
        for (const float start : {0.f, 5.f, 10.f})
          g.DrawLine(kOutputLine, x + start * s, cy, x + (start + 3.f) * s, cy, nullptr, 1.5f);
        break;
      default: g.DrawLine(accent, x, cy, x + kSwatch * s, cy, nullptr, 2.f); break;
    }
    const float labelX = x + kLabelOffset * s;
    g.DrawText(style, kItems[i], IRECT(labelX, r.T, labelX + widths[i] * s + 2.f, r.B));
    x += (widths[i] + kLabelOffset + kGap) * s;
  }
}

}  // namespace balance_panel
