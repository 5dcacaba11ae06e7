#pragma once
// The test host's processing run: an audio file through the bundle's plug-in, read and
// written a block at a time.
#include <cstdint>
#include <string>
#include <vector>

namespace testhost {

struct RunOptions {
  std::string bundle;
  std::string input;   // audio file read with libsndfile (mono or stereo)
  std::string output;  // WAV written: 32-bit float, or 64-bit float with sixtyFour
  int blockSize = 512;
  bool randomBlocks = false;  // block sizes drawn from 1..maxBlock
  unsigned seed = 1;
  int maxBlock = 4096;
  bool sixtyFour = false;
  bool offline = false;
  std::string hostName = "testhost";
  bool reaper = false;  // offer REAPER's host-function interface (no functions)
  struct ParamChange {
    uint32_t id;
    int64_t frame;
    double value;  // normalised
  };
  std::vector<ParamChange> changes;
  std::string stateIn;   // state bytes restored before processing
  std::string stateOut;  // state bytes saved after processing (before the output is renamed into place)
  // Attach the editor view to a window of the headless desktop (backing scale 2) whose
  // frame offers a run loop, fired about every 20 ms of audio; with editorPng, the window's
  // picture is written there after the run.
  bool editor = false;
  std::string editorPng;
};

// Runs the options; false with an error text on failure ("out of memory" when an allocation
// fails). Progress lines go to `report`. The output file and the state file each replace
// their target in one step; a failed run leaves neither behind.
bool runProcess(const RunOptions& options, std::string& error, std::string& report);

// Parses "ID=VALUE@FRAME" (id decimal or 0x hex, value normalised).
bool parseParamChange(const std::string& text, RunOptions::ParamChange& change);

}  // namespace testhost
