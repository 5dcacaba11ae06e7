#pragma once
// SpectraPoise as a host meets it: the bundle's code linked into this program, the instance
// created through the module's factory, adopted by the test host, initialised with a host
// context that offers a run loop (fired by hand), stereo in and out, set up and started.
// The instance's update check never runs (its schedule stops before the first check). For
// the run command and the tests that drive the product end to end. Main thread only.
#include <memory>
#include <string>

#include "tools/testhost/plugin_host.h"

class SpectraPoise;

namespace runplugin {

// The instance and the host objects around it, released in order.
struct ProductInstance {
  std::unique_ptr<testhost::Plugin> host;
  testhost::HostContext* context = nullptr;
  testhost::RunLoop* loop = nullptr;
  SpectraPoise* plug = nullptr;  // the instance's own object (owned by host)

  ProductInstance() = default;
  ~ProductInstance();
  ProductInstance(const ProductInstance&) = delete;
  ProductInstance& operator=(const ProductInstance&) = delete;
};

struct ProductSetup {
  std::string hostName = "SpectraPoise run";
  double rate = 48000.0;
  int block = 512;
  bool offline = false;
  // The built bundle's module: its resources (fonts, logo) are the editor's. Empty, or a
  // file that does not exist: none are found.
  std::string bundleModule;
};

// Creates and starts the instance. False with a reason ("the factory made no instance",
// "the instance is not SpectraPoise", "the plug-in refused the set-up"); what was made is
// released with `product`.
bool startProduct(const ProductSetup& setup, ProductInstance& product, std::string& error);

// Waits until the instance's correction worker (its own thread) has read every frame fed
// to it; false when it reads nothing for 10 s (one that cannot make its state, say).
bool waitForWorker(SpectraPoise& plug);

}  // namespace runplugin
