#pragma once
// A test plug-in bound to the test host in-process: the host drives it through its VST3
// interfaces only, while the test can look inside through `plug`.
#include <memory>
#include <string>

#include "tests/support/test_plugin/test_plugin.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/plugin_host.h"

namespace sp::test {

struct Bound {
  explicit Bound(const plugkit::Config& config = productConfig(), const char* hostName = "testhost",
                 bool initialize = true)
      : context(new testhost::HostContext(hostName)) {
    plug = new TestPlugin(config);
    std::string error;
    host = testhost::Plugin::adopt(static_cast<Steinberg::Vst::IAudioProcessor*>(plug), error);
    if (initialize) host->initialize(static_cast<Steinberg::Vst::IHostApplication*>(context));
  }
  ~Bound() {
    host.reset();
    context->release();
  }
  Bound(const Bound&) = delete;
  Bound& operator=(const Bound&) = delete;

  Steinberg::Vst::IEditController* controller() const { return host->controller(); }
  testhost::ComponentHandler& handler() const { return *host->handler(); }

  testhost::HostContext* context;
  TestPlugin* plug = nullptr;  // alive while `host` holds its references
  std::unique_ptr<testhost::Plugin> host;
};

// A configuration that takes MIDI (for the MIDI paths of the binding).
inline plugkit::Config midiConfig() {
  plugkit::Config c = productConfig();
  c.takesMidi = true;
  return c;
}

}  // namespace sp::test
