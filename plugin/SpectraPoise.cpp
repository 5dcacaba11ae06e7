// Construction and lifecycle: the fixed configuration, the order in which an instance is
// built and torn down, the editor's graphics factory and layout hooks, the worker thread.
#include "plugin/SpectraPoise.h"

#include <cmath>
#include <exception>
#include <system_error>

#include "graphics/ICanvas.h"
#include "plugin/typed_value.h"
#include "plugin/version.h"
#include "services/updates.h"
#include "shims/vst3sdk/utf_convert.h"

using spectrapoise::plugin::CorrectionWorker;
using spectrapoise::plugin::kParamCount;

namespace {

// A refused thread start, reported with the same text whichever thread it was.
class ThreadStartError : public std::system_error {
public:
  explicit ThreadStartError(std::error_code code) : std::system_error(code, "thread constructor failed") {}
  const char* what() const noexcept override { return "thread constructor failed"; }
};

}  // namespace

const plugkit::Config& SpectraPoise::config() { return spectrapoise::plugin::productConfig(); }

SpectraPoise::SpectraPoise(const plugkit::InstanceInfo& info) : SpectraPoise(info, Options{}) {}

SpectraPoise::SpectraPoise(const plugkit::InstanceInfo& info, const Options& options)
    : plugkit::IPluginVST3(info, config()), options_(options) {
  construct(options);
}

void SpectraPoise::construct(const Options& options) {
  spectrapoise::plugin::declareParameters(*this);

  // Everything the audio thread touches is ready for 48 kHz before the host's first reset.
  prepareDsp(48000.0);

  targets_.loadFactoryTargets();
  accentIndex_.store(5);

  brightloom::updates::Config updates;
  updates.product = "spectrapoise";
  updates.version = spectrapoise::plugin::kVersion;
  updates.folder = brightloom::updates::makerDataFolder();
  updates.feedUrl = std::string(brightloom::updates::kFeedUrl);
  updateCheck_ = std::make_shared<brightloom::updates::UpdateCheck>(std::move(updates));
  try {
    updateCheck_->startSchedule(brightloom::updates::kStartDelayMs);
  } catch (const std::system_error& e) {
    throw ThreadStartError(e.code());
  }

  // The panel's layout and the platform's graphics maker are handed in by the program
  // that composes the product (the module's entry); see setGraphicsMaker.
  SetMakeGraphicsFunc([this] { return makeEditorGraphics(); });

  // Last: the worker reads members that must all exist.
  if (options.startWorker) {
    if (options.failWorkerStart) throw ThreadStartError(std::make_error_code(std::errc::resource_unavailable_try_again));
    try {
      worker_ = std::thread([this] { correctionWorker(); });
    } catch (const std::system_error& e) {
      throw ThreadStartError(e.code());
    }
  }
}

SpectraPoise::~SpectraPoise() {
  // No timer tick may run while the members are being destroyed.
  StopTimer();
  // An open editor goes first, as the host would close it: its controls use members.
  if (GetUI() != nullptr) CloseWindow();
  stopWorker();
  // A learning run gets a short while to notice its cancel flag; one stuck in a read is
  // left to end on its own.
  fileLearning_.stop();
  // A host that never called terminate still gets its interface back.
  reaper_.release();
}

void SpectraPoise::stopWorker() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stop_.store(true);
  }
  stopWake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void SpectraPoise::correctionWorker() {
  std::unique_ptr<CorrectionWorker> worker;
  while (!stop_.load()) {
    try {
      if (!worker) worker = std::make_unique<CorrectionWorker>(*this);
    } catch (const std::exception&) {
      sleepUnlessStopped(options_.idleSleepMs);  // out of memory: try again later
      continue;
    }
    sleepUnlessStopped(worker->runPass());
  }
}

bool SpectraPoise::sleepUnlessStopped(int milliseconds) {
  std::unique_lock<std::mutex> lock(stopMutex_);
  return !stopWake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_.load(); });
}

float SpectraPoise::newEditorScale() const {
  const float s = keptPlatformScale_;
  const float byWidth = static_cast<float>(GetEditorWidth()) / (static_cast<float>(kEditorWidth) * s);
  const float byHeight = static_cast<float>(GetEditorHeight()) / (static_cast<float>(kEditorHeight) * s);
  const float scale = std::fmin(byWidth, byHeight);
  // A stored size of 0 x 0, a kept scale of 0 (infinite quotients) or NaN open at 1.
  return (std::isfinite(scale) && scale > 0.f) ? scale : 1.f;
}

plugkit::canvas::ICanvas* SpectraPoise::makeEditorGraphics() {
  const float scale = newEditorScale();
  // Without a maker (no platform layer in this program) no editor opens.
  if (!graphicsMaker_) return nullptr;
  return graphicsMaker_(*this, kEditorWidth, kEditorHeight, kEditorFps, scale);
}

Steinberg::tresult PLUGIN_API SpectraPoise::getParamValueByString(Steinberg::Vst::ParamID tag,
                                                                  Steinberg::Vst::TChar* string,
                                                                  Steinberg::Vst::ParamValue& valueNormalized) {
  using namespace spectrapoise::plugin;
  try {
    const bool crossover = tag == kLowCrossover || tag == kMidCrossover || tag == kHighCrossover;
    if (!crossover) return IPluginVST3::getParamValueByString(tag, string, valueNormalized);
    if (string == nullptr) return Steinberg::kResultFalse;
    char text[512];
    vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(string), 256, text, sizeof(text));
    const plugkit::IParam* param = GetParam(static_cast<int>(tag));
    const std::optional<double> value = parseTypedValue(text, param->GetMin(), param->GetMax(), true);
    if (!value) return Steinberg::kResultFalse;
    valueNormalized = normalizedForEdit(*param, *value);
    return Steinberg::kResultTrue;
  } catch (...) {
    return Steinberg::kResultFalse;
  }
}
