// The headless test host: loads a VST3 bundle as a host does.
//   testhost <bundle>                       prints the factory and class information
//   testhost process <bundle> <in> <out> [options]
//       --block N          fixed block size (default 512)
//       --random-blocks S  random block sizes 1..max, seed S
//       --max-block N      maximum block size announced to the plug-in (default 4096)
//       --64               64-bit processing (output written as 64-bit float WAV)
//       --offline          offline process mode
//       --param ID=V@F     normalised value V for parameter ID at frame F (repeatable)
//       --host-name NAME   the name the host context reports
//       --reaper           offer REAPER's host-function interface
//       --state-in FILE    restore this state before processing
//       --state-out FILE   save the state after processing
//       --editor [FILE.png]  attach the editor view to a window of the headless desktop
//                          (its frame's run loop fired every 20 ms of audio); with a file
//                          ending in ".png", write the editor's picture there
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "tools/testhost/module.h"
#include "tools/testhost/run.h"

namespace {

int usage(const char* self) {
  std::fprintf(stderr, "usage: %s <bundle.vst3>\n       %s process <bundle.vst3> <in> <out> [options]\n", self, self);
  return 2;
}

bool toInt(const char* text, int& value, int lo) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < lo || v > 1 << 20) return false;
  value = static_cast<int>(v);
  return true;
}

int runCommand(int argc, char** argv) {
  if (argc < 2) return usage(argv[0]);
  const std::string first = argv[1];
  if (first != "process") {
    std::string error;
    auto module = testhost::Module::load(argv[1], error);
    if (!module) {
      std::fprintf(stderr, "testhost: %s\n", error.c_str());
      return 1;
    }
    std::fputs(testhost::describeFactory(*module).c_str(), stdout);
    return 0;
  }
  if (argc < 5) return usage(argv[0]);
  testhost::RunOptions o;
  o.bundle = argv[2];
  o.input = argv[3];
  o.output = argv[4];
  for (int i = 5; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    int seed = 0;
    if (arg == "--block" && hasValue && toInt(argv[i + 1], o.blockSize, 1)) {
      ++i;
    } else if (arg == "--random-blocks" && hasValue && toInt(argv[i + 1], seed, 0)) {
      o.randomBlocks = true;
      o.seed = static_cast<unsigned>(seed);
      ++i;
    } else if (arg == "--max-block" && hasValue && toInt(argv[i + 1], o.maxBlock, 1)) {
      ++i;
    } else if (arg == "--64") {
      o.sixtyFour = true;
    } else if (arg == "--offline") {
      o.offline = true;
    } else if (arg == "--param" && hasValue) {
      testhost::RunOptions::ParamChange change{};
      if (!testhost::parseParamChange(argv[++i], change)) {
        std::fprintf(stderr, "testhost: bad parameter change %s (ID=VALUE@FRAME)\n", argv[i]);
        return 2;
      }
      o.changes.push_back(change);
    } else if (arg == "--host-name" && hasValue) {
      o.hostName = argv[++i];
    } else if (arg == "--reaper") {
      o.reaper = true;
    } else if (arg == "--state-in" && hasValue) {
      o.stateIn = argv[++i];
    } else if (arg == "--state-out" && hasValue) {
      o.stateOut = argv[++i];
    } else if (arg == "--editor") {
      o.editor = true;
      const std::string next = hasValue ? argv[i + 1] : "";
      if (next.size() > 4 && next.compare(next.size() - 4, 4, ".png") == 0) o.editorPng = argv[++i];
    } else {
      std::fprintf(stderr, "testhost: unknown or incomplete option %s\n", arg.c_str());
      return 2;
    }
  }
  if (o.blockSize > o.maxBlock) o.maxBlock = o.blockSize;
  std::string error, report;
  const bool ok = testhost::runProcess(o, error, report);
  std::fputs(report.c_str(), stdout);
  if (!ok) {
    std::fprintf(stderr, "testhost: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return runCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "testhost: out of memory\n");
    return 1;
  }
}
