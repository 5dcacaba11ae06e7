// Runs SpectraPoise in the headless test host on an audio file or on a demo signal.
//   run_plugin [options] [input.wav|.aiff|.flac|.mp3]
//     --offline        the host's offline process mode (the correction runs inline)
//     --block N        frames per process call (default 512)
//     --no-correct     leave "Correct" off (metering only)
//     --amount P       all five correction amounts in percent (default: the plug-in's 50)
//     --speed S        "Correct Speed" in seconds (default: the plug-in's 15)
//     --seconds S      length of the demo signal (default 20)
//     --out FILE       the processed file (default: <out-dir>/<input name>-spectrapoise.wav)
//     --out-dir DIR    folder for the demo input and the processed file (default .)
//     --no-editor      write no picture of the editor
//   The editor is open for the last 4 s of the audio; its picture is written beside the
//   processed file at scale 1 and 2. Interactions run in order as it opens (points in the
//   panel's 640 x 400 units):
//     --click X,Y      a click
//     --drag X,Y,X2,Y2 a drag
//     --choose N       the item the next menu answers with (give it before the click)
//     --type TEXT      the text the next text entry is committed with (before the click)
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "tools/run_plugin/run_plugin.h"

namespace {

int usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--offline] [--block N] [--no-correct] [--amount P] [--speed S] [--seconds S]\n"
               "       [--out FILE] [--out-dir DIR] [--no-editor] [--click X,Y] [--drag X,Y,X2,Y2]\n"
               "       [--choose N] [--type TEXT] [input.wav|.aiff|.flac|.mp3]\n",
               self);
  return 2;
}

bool toNumber(const char* text, double& value, double lo, double hi) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v >= lo && v <= hi)) return false;
  value = v;
  return true;
}

int runCommand(int argc, char** argv) {
  runplugin::Options o;
  o.bundleModule = SP_BUNDLE_MODULE;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    double v = 0.0;
    if (arg == "--offline") {
      o.offline = true;
    } else if (arg == "--no-correct") {
      o.correct = false;
    } else if (arg == "--block" && hasValue && toNumber(argv[i + 1], v, 1, 65536)) {
      o.block = static_cast<int>(v);
      ++i;
    } else if (arg == "--amount" && hasValue && toNumber(argv[i + 1], v, 0, 100)) {
      o.amount = v;
      ++i;
    } else if (arg == "--speed" && hasValue && toNumber(argv[i + 1], v, 2, 60)) {
      o.speed = v;
      ++i;
    } else if (arg == "--seconds" && hasValue && toNumber(argv[i + 1], v, 1, 3600)) {
      o.demoSeconds = v;
      ++i;
    } else if (arg == "--out" && hasValue) {
      o.output = argv[++i];
    } else if (arg == "--out-dir" && hasValue) {
      o.outDir = argv[++i];
    } else if (arg == "--no-editor") {
      o.editor = false;
    } else if ((arg == "--click" || arg == "--drag") && hasValue) {
      runplugin::UiStep step;
      if (!runplugin::parsePoints(argv[++i], step) || (step.kind == runplugin::UiStep::Drag) != (arg == "--drag"))
        return usage(argv[0]);
      o.ui.push_back(step);
    } else if (arg == "--choose" && hasValue && toNumber(argv[i + 1], v, 0, 1000)) {
      runplugin::UiStep step;
      step.kind = runplugin::UiStep::Choose;
      step.item = static_cast<int>(v);
      o.ui.push_back(step);
      ++i;
    } else if (arg == "--type" && hasValue) {
      runplugin::UiStep step;
      step.kind = runplugin::UiStep::Type;
      step.text = argv[++i];
      o.ui.push_back(step);
    } else if (!arg.empty() && arg[0] != '-' && o.input.empty()) {
      o.input = arg;
    } else {
      return usage(argv[0]);
    }
  }
  std::string error;
  if (!runplugin::run(o, stdout, error)) {
    std::fprintf(stderr, "run_plugin: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return runCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "run_plugin: out of memory\n");
    return 1;
  }
}
