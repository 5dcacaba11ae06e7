#pragma once
// Runs SpectraPoise inside the headless test host on real audio: an audio file, or a demo
// signal (pink noise with a tonal imbalance). The plug-in is the bundle's own code linked
// into this program and created through the module's factory; the host drives it through
// its VST3 interfaces, and the meters and correction gains are read from the object. The
// audio is read, processed and written a block at a time (memory stays flat with its
// length), and the instance's update check never runs. Runs on the calling thread.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/run_plugin/editor_session.h"

namespace runplugin {

struct Options {
  std::string input;        // WAV, AIFF, FLAC or MP3; empty: the demo signal
  double demoSeconds = 20.0;
  std::string output;       // processed file (32-bit float WAV); empty: chosen from outDir
  std::string outDir = ".";
  int block = 512;          // frames per process call
  bool offline = false;     // the host's offline process mode
  bool correct = true;      // "Correct" on
  double amount = -1.0;     // all five "Correct" amounts in percent; < 0 keeps the defaults
  double speed = -1.0;      // "Correct Speed" in seconds; < 0 keeps the default
  // The editor: open for the last editorSeconds of the audio (all of it when the length is
  // not known), with the scripted interactions run as it opens; its picture written beside
  // the processed file at backing scale 1 and 2 ("<name>-editor.png", "<name>-editor@2x.png").
  bool editor = true;
  double editorSeconds = 4.0;
  std::vector<UiStep> ui;
  // The built bundle's module: the program is that module's code linked in, so its
  // resources (the editor's fonts and logo) are looked up in that bundle. Empty, or a file
  // that does not exist: none are found (the editor draws without text and logo).
  std::string bundleModule;
};

// Runs; progress lines go to `out`. False with an error text on failure: a folder that
// cannot be made, a file that cannot be read or written, a file that ends before the length
// it declares, an editor that does not open or shows a prompt nobody answered, a failed
// allocation ("out of memory"). A failed run leaves no processed file and no picture (each
// output file replaces its target in one step at the end). Channels beyond two are left
// out, and the report says so.
bool run(const Options& options, std::FILE* out, std::string& error);

}  // namespace runplugin
