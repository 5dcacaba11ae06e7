// The headless test host: loads a VST3 bundle as a host does and reports what it finds.
//   testhost <bundle>     prints the factory and class information
#include <cstdio>
#include <string>

#include "tools/testhost/module.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <bundle.vst3>\n", argv[0]);
    return 2;
  }
  std::string error;
  auto module = testhost::Module::load(argv[1], error);
  if (!module) {
    std::fprintf(stderr, "testhost: %s\n", error.c_str());
    return 1;
  }
  std::fputs(testhost::describeFactory(*module).c_str(), stdout);
  return 0;
}
