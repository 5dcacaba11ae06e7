#include "tools/testhost/run.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <new>
#include <random>
#include <sstream>
#include <vector>

#include "framework/FileWrite.h"
#include "tools/testhost/audio_files.h"
#include "tools/testhost/editor.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/module.h"
#include "tools/testhost/plugin_host.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace testhost {

namespace {

bool readFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  bytes = s.str();
  return true;
}

// Replaces the file with the plug-in's state in one step (synced before the rename).
bool saveState(Plugin& plugin, const std::string& path) {
  bool ok = false;
  const std::string state = plugin.getState(&ok);
  return ok && plugkit::WriteThroughTemporary(path, state, [&] { return temporaryNameBeside(path); });
}

bool runStreaming(const RunOptions& o, std::string& error, std::string& report);

}  // namespace

bool parseParamChange(const std::string& text, RunOptions::ParamChange& change) {
  const size_t eq = text.find('=');
  const size_t at = text.find('@');
  if (eq == std::string::npos || at == std::string::npos || at < eq) return false;
  char* end = nullptr;
  const std::string id = text.substr(0, eq);
  const unsigned long idValue = std::strtoul(id.c_str(), &end, 0);
  if (id.empty() || *end != '\0') return false;
  const std::string value = text.substr(eq + 1, at - eq - 1);
  std::istringstream vs(value);
  vs.imbue(std::locale::classic());
  double v = 0;
  if (!(vs >> v) || !vs.eof()) return false;
  const std::string frame = text.substr(at + 1);
  const long long frameValue = std::strtoll(frame.c_str(), &end, 10);
  if (frame.empty() || *end != '\0' || frameValue < 0) return false;
  change = {static_cast<uint32_t>(idValue), frameValue, v};
  return true;
}

bool runProcess(const RunOptions& o, std::string& error, std::string& report) {
  try {
    return runStreaming(o, error, report);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
}

namespace {

// The input is read and the output written a block at a time.
bool runStreaming(const RunOptions& o, std::string& error, std::string& report) {
  // Input.
  AudioReader in;
  std::string reason;
  if (!in.open(o.input, reason)) {
    error = "cannot read " + o.input + ": " + reason;
    return false;
  }
  const int channels = in.channels();
  if (channels > 2) {
    error = "only mono and stereo files are supported";
    return false;
  }

  // Module, host context, instance.
  auto module = Module::load(o.bundle, error);
  if (!module) return false;
  HostContext* context = new HostContext(o.hostName);
  if (o.reaper) context->setReaperFunctions({});
  if (module->factory3() != nullptr) module->factory3()->setHostContext(static_cast<IHostApplication*>(context));
  bool ok = false;
  {
    auto plugin = Plugin::create(*module, 0, error);
    if (plugin && plugin->initialize(static_cast<IHostApplication*>(context)) != kResultOk) {
      error = "initialize failed";
      plugin.reset();
    }
    if (plugin) {
      SpeakerArrangement arr = channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
      if (plugin->processor()->setBusArrangements(&arr, 1, &arr, 1) != kResultOk)
        report += "bus arrangement refused; processing with the default buses\n";
      const int32 sampleSize = o.sixtyFour ? kSample64 : kSample32;
      if (plugin->setup(in.sampleRate(), o.maxBlock, sampleSize, o.offline ? kOffline : kRealtime) != kResultOk) {
        error = "setupProcessing refused";
      } else {
        std::string state;
        if (!o.stateIn.empty() && (!readFile(o.stateIn, state) || plugin->setState(state) != kResultOk)) {
          error = "cannot restore the state from " + o.stateIn;
        } else {
          IPlugView* view = nullptr;
          PlugFrame* frame = nullptr;
          RunLoop* loop = nullptr;
          std::unique_ptr<EditorWindow> window;
          bool attached = false;
          if (o.editor && (view = plugin->createView()) != nullptr) {
            ViewRect size;
            if (view->getSize(&size) != kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0)
              size = ViewRect(0, 0, 640, 400);
            window = std::make_unique<EditorWindow>(size.getWidth(), size.getHeight(), 2.0);
            loop = new RunLoop();
            frame = new PlugFrame(nullptr, loop);
            view->setFrame(frame);
            attached = view->attached(window->parent(), "NSView") == kResultOk;
            report += attached ? "editor attached\n" : "editor not attached\n";
          }
          const int64_t framesPerTick = std::max(1, in.sampleRate() / 50);
          int64_t nextTick = framesPerTick;
          plugin->start();
          AudioBlock block(channels, channels, o.maxBlock, sampleSize);
          ParameterChanges changes(256);
          std::vector<double> input(static_cast<size_t>(o.maxBlock * channels));
          std::vector<double> output(input.size());
          WavWriter out;
          bool outOk = out.open(o.output, channels, in.sampleRate(), o.sixtyFour, reason);
          std::mt19937 rng(o.seed);
          std::uniform_int_distribution<int> sizes(1, o.maxBlock);
          int64_t pos = 0;
          size_t nextChange = 0;
          std::vector<RunOptions::ParamChange> script = o.changes;
          std::stable_sort(script.begin(), script.end(), [](auto& a, auto& b) { return a.frame < b.frame; });
          int blocks = 0;
          while (outOk) {
            const int n = static_cast<int>(in.read(input.data(), o.randomBlocks ? sizes(rng) : std::min(o.blockSize, o.maxBlock)));
            if (n == 0) break;
            changes.clear();
            while (nextChange < script.size() && script[nextChange].frame < pos + n) {
              const auto& c = script[nextChange++];
              changes.add(c.id, static_cast<int32>(std::max<int64_t>(c.frame - pos, 0)), c.value);
            }
            for (int i = 0; i < n; ++i)
              for (int c = 0; c < channels; ++c) block.setIn(c, i, input[static_cast<size_t>(i * channels + c)]);
            block.setFrames(n);
            plugin->process(block, &changes);
            for (int i = 0; i < n; ++i)
              for (int c = 0; c < channels; ++c) output[static_cast<size_t>(i * channels + c)] = block.out(c, i);
            outOk = out.write(output.data(), n);
            pos += n;
            ++blocks;
            // The host's loop turns about every 20 ms of audio: idle work, the editor's frames.
            for (; loop != nullptr && pos >= nextTick; nextTick += framesPerTick) loop->fire();
          }
          plugin->stop();
          std::string editorError;
          if (loop != nullptr) loop->fire(2);
          if (attached && !o.editorPng.empty() && !window->writePng(o.editorPng, editorError))
            report += "editor picture: " + editorError + "\n";
          else if (attached && !o.editorPng.empty())
            report += "editor picture written to " + o.editorPng + "\n";
          report += "processed " + std::to_string(pos) + " frames in " + std::to_string(blocks) + " blocks\n";
          if (view != nullptr) {
            view->removed();
            view->setFrame(nullptr);
            view->release();
          }
          if (frame != nullptr) frame->release();
          if (loop != nullptr) loop->release();
          if (window && !window->failures().empty() && editorError.empty())
            editorError = "the editor showed a prompt nobody answered: " + window->failures().front();
          window.reset();

          if (!outOk) {
            error = "cannot write " + o.output;
          } else if (!editorError.empty()) {
            error = editorError;
          } else if (!o.stateOut.empty() && !saveState(*plugin, o.stateOut)) {
            error = "cannot save the state to " + o.stateOut;
          } else if (!out.commit()) {
            error = "cannot write " + o.output;
          } else {
            ok = true;
          }
        }
      }
    }
  }
  if (module->factory3() != nullptr) module->factory3()->setHostContext(nullptr);
  context->release();
  return ok;
}

}  // namespace

}  // namespace testhost
