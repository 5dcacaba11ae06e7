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

// The editor in the test host's window while the file plays: the view, its frame and the
// host's run loop (fired by audio time). Released in that order.
struct OpenEditor {
  IPlugView* view = nullptr;
  PlugFrame* frame = nullptr;
  RunLoop* loop = nullptr;
  std::unique_ptr<EditorWindow> window;
  bool attached = false;

  OpenEditor() = default;
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;
  ~OpenEditor() { release(); }

  void release() {
    if (view != nullptr) {
      view->removed();
      view->setFrame(nullptr);
      view->release();
      view = nullptr;
    }
    if (frame != nullptr) frame->release();
    if (loop != nullptr) loop->release();
    frame = nullptr;
    loop = nullptr;
  }
};

// Opens the plug-in's editor at the size it asks for (640 x 400 when it gives none) in a
// window at backing scale 2; the report says whether it attached.
void openEditor(Plugin& plugin, OpenEditor& editor, std::string& report) {
  if ((editor.view = plugin.createView()) == nullptr) return;
  ViewRect size;
  if (editor.view->getSize(&size) != kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0)
    size = ViewRect(0, 0, 640, 400);
  editor.window = std::make_unique<EditorWindow>(size.getWidth(), size.getHeight(), 2.0);
  editor.loop = new RunLoop();
  editor.frame = new PlugFrame(nullptr, editor.loop);
  editor.view->setFrame(editor.frame);
  editor.attached = editor.view->attached(editor.window->parent(), "NSView") == kResultOk;
  report += editor.attached ? "editor attached\n" : "editor not attached\n";
}

// What streaming did: frames and blocks processed, and whether every block was written.
struct Streamed {
  int64_t frames = 0;
  int blocks = 0;
  bool written = true;
};

// Streams the file through the started plug-in a block at a time (fixed or random sizes),
// each scripted parameter change in the block that holds its frame, writing the output; the
// host's loop (when there is one) turns about every 20 ms of audio: idle work, the editor's
// frames. Stops at the first block that cannot be written.
Streamed stream(const RunOptions& o, AudioReader& in, Plugin& plugin, int32 sampleSize, WavWriter& out,
                RunLoop* loop) {
  const int channels = in.channels();
  const int64_t framesPerTick = std::max(1, in.sampleRate() / 50);
  int64_t nextTick = framesPerTick;
  AudioBlock block(channels, channels, o.maxBlock, sampleSize);
  ParameterChanges changes(256);
  std::vector<double> input(static_cast<size_t>(o.maxBlock * channels));
  std::vector<double> output(input.size());
  std::mt19937 rng(o.seed);
  std::uniform_int_distribution<int> sizes(1, o.maxBlock);
  size_t nextChange = 0;
  std::vector<RunOptions::ParamChange> script = o.changes;
  std::stable_sort(script.begin(), script.end(), [](auto& a, auto& b) { return a.frame < b.frame; });
  Streamed done;
  while (done.written) {
    const int n = static_cast<int>(in.read(input.data(), o.randomBlocks ? sizes(rng) : std::min(o.blockSize, o.maxBlock)));
    if (n == 0) break;
    changes.clear();
    while (nextChange < script.size() && script[nextChange].frame < done.frames + n) {
      const auto& c = script[nextChange++];
      changes.add(c.id, static_cast<int32>(std::max<int64_t>(c.frame - done.frames, 0)), c.value);
    }
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) block.setIn(c, i, input[static_cast<size_t>(i * channels + c)]);
    block.setFrames(n);
    plugin.process(block, &changes);
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) output[static_cast<size_t>(i * channels + c)] = block.out(c, i);
    done.written = out.write(output.data(), n);
    done.frames += n;
    ++done.blocks;
    for (; loop != nullptr && done.frames >= nextTick; nextTick += framesPerTick) loop->fire();
  }
  return done;
}

// Two more turns of the loop, the editor's picture when one is asked for, then the editor
// closed. Answers what went wrong (the picture, a prompt nobody answered), empty when nothing.
std::string closeEditor(const RunOptions& o, OpenEditor& editor, std::string& report) {
  std::string editorError;
  if (editor.loop != nullptr) editor.loop->fire(2);
  if (editor.attached && !o.editorPng.empty()) {
    if (!editor.window->writePng(o.editorPng, editorError))
      report += "editor picture: " + editorError + "\n";
    else
      report += "editor picture written to " + o.editorPng + "\n";
  }
  editor.release();
  if (editor.window && !editor.window->failures().empty() && editorError.empty())
    editorError = "the editor showed a prompt nobody answered: " + editor.window->failures().front();
  editor.window.reset();
  return editorError;
}

// One instance from the module: initialised, its buses and processing set up, its state
// restored, the editor opened when asked, the file streamed through it, then the output and
// the state written. False with an error; the output file is kept only on success.
bool runInstance(const RunOptions& o, Module& module, HostContext* context, AudioReader& in, std::string& error,
                 std::string& report) {
  auto plugin = Plugin::create(module, 0, error);
  if (!plugin) return false;
  if (plugin->initialize(static_cast<IHostApplication*>(context)) != kResultOk) {
    error = "initialize failed";
    return false;
  }
  SpeakerArrangement arr = in.channels() == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
  if (plugin->processor()->setBusArrangements(&arr, 1, &arr, 1) != kResultOk)
    report += "bus arrangement refused; processing with the default buses\n";
  const int32 sampleSize = o.sixtyFour ? kSample64 : kSample32;
  if (plugin->setup(in.sampleRate(), o.maxBlock, sampleSize, o.offline ? kOffline : kRealtime) != kResultOk) {
    error = "setupProcessing refused";
    return false;
  }
  std::string state;
  if (!o.stateIn.empty() && (!readFile(o.stateIn, state) || plugin->setState(state) != kResultOk)) {
    error = "cannot restore the state from " + o.stateIn;
    return false;
  }
  OpenEditor editor;
  if (o.editor) openEditor(*plugin, editor, report);
  plugin->start();
  WavWriter out;
  std::string reason;
  const bool opened = out.open(o.output, in.channels(), in.sampleRate(), o.sixtyFour, reason);
  Streamed done;
  if (opened) done = stream(o, in, *plugin, sampleSize, out, editor.loop);
  plugin->stop();
  const std::string editorError = closeEditor(o, editor, report);
  report += "processed " + std::to_string(done.frames) + " frames in " + std::to_string(done.blocks) + " blocks\n";

  if (!opened || !done.written) {
    error = "cannot write " + o.output;
  } else if (!editorError.empty()) {
    error = editorError;
  } else if (!o.stateOut.empty() && !saveState(*plugin, o.stateOut)) {
    error = "cannot save the state to " + o.stateOut;
  } else if (!out.commit()) {
    error = "cannot write " + o.output;
  } else {
    return true;
  }
  return false;
}

// The input is read and the output written a block at a time.
bool runStreaming(const RunOptions& o, std::string& error, std::string& report) {
  AudioReader in;
  std::string reason;
  if (!in.open(o.input, reason)) {
    error = "cannot read " + o.input + ": " + reason;
    return false;
  }
  if (in.channels() > 2) {
    error = "only mono and stereo files are supported";
    return false;
  }
  auto module = Module::load(o.bundle, error);
  if (!module) return false;
  HostContext* context = new HostContext(o.hostName);
  if (o.reaper) context->setReaperFunctions({});
  if (module->factory3() != nullptr) module->factory3()->setHostContext(static_cast<IHostApplication*>(context));
  const bool ok = runInstance(o, *module, context, in, error, report);
  if (module->factory3() != nullptr) module->factory3()->setHostContext(nullptr);
  context->release();
  return ok;
}

}  // namespace

}  // namespace testhost
