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
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "tools/run_plugin/run_plugin.h"

namespace {

int usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--offline] [--block N] [--no-correct] [--amount P] [--speed S] [--seconds S]\n"
               "       [--out FILE] [--out-dir DIR] [input.wav|.aiff|.flac|.mp3]\n",
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
