#pragma once
// Kinds and results exchanged with the platform layer: cursors, message boxes, file
// prompts, resize mode and appearance.
namespace plugkit::canvas {

enum class ECursor : int {
  Arrow = 0,
  IBeam = 1,
  Wait = 2,
  Cross = 3,
  UpArrow = 4,
  SizeNWSE = 5,
  SizeNESW = 6,
  SizeWE = 7,
  SizeNS = 8,
  SizeAll = 9,
  NotAllowed = 10,
  Hand = 11,
  AppStarting = 12,
  Help = 13,
};

enum class EMsgBoxType : int { OK = 0, OKCancel = 1, NoButtons = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class EMsgBoxResult : int { OK = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

enum class EFileAction : int { Open = 0, Save = 1 };

// How a corner drag resizes the editor: by draw scale or by logical size.
enum class EUIResizerMode : int { Scale = 0, Size = 1 };

enum class EUIAppearance : int { Light = 0, Dark = 1 };

}  // namespace plugkit::canvas
