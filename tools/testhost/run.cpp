#include "tools/testhost/run.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

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

bool writeFileReplacing(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".partial";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

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
  // Input.
  SF_INFO inInfo{};
  SNDFILE* in = sf_open(o.input.c_str(), SFM_READ, &inInfo);
  if (in == nullptr) {
    error = "cannot read " + o.input + ": " + sf_strerror(nullptr);
    return false;
  }
  const int channels = inInfo.channels;
  if (channels < 1 || channels > 2) {
    sf_close(in);
    error = "only mono and stereo files are supported";
    return false;
  }
  std::vector<double> interleaved(static_cast<size_t>(inInfo.frames) * static_cast<size_t>(channels));
  const sf_count_t got = sf_readf_double(in, interleaved.data(), inInfo.frames);
  sf_close(in);
  const int64_t frames = got;

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
      if (plugin->setup(inInfo.samplerate, o.maxBlock, sampleSize, o.offline ? kOffline : kRealtime) != kResultOk) {
        error = "setupProcessing refused";
      } else {
        std::string state;
        if (!o.stateIn.empty() && (!readFile(o.stateIn, state) || plugin->setState(state) != kResultOk)) {
          error = "cannot restore the state from " + o.stateIn;
        } else {
          IPlugView* view = nullptr;
          PlugFrame* frame = nullptr;
          if (o.editor && (view = plugin->createView()) != nullptr) {
            frame = new PlugFrame();
            view->setFrame(frame);
            static int parent = 0;
            report += view->attached(&parent, "NSView") == kResultOk ? "editor attached\n" : "editor not attached\n";
          }
          plugin->start();
          AudioBlock block(channels, channels, o.maxBlock, sampleSize);
          ParameterChanges changes(256);
          std::vector<double> output(interleaved.size(), 0.0);
          std::mt19937 rng(o.seed);
          std::uniform_int_distribution<int> sizes(1, o.maxBlock);
          int64_t pos = 0;
          size_t nextChange = 0;
          std::vector<RunOptions::ParamChange> script = o.changes;
          std::stable_sort(script.begin(), script.end(), [](auto& a, auto& b) { return a.frame < b.frame; });
          int blocks = 0;
          while (pos < frames) {
            const int n = static_cast<int>(std::min<int64_t>(o.randomBlocks ? sizes(rng) : o.blockSize, frames - pos));
            changes.clear();
            while (nextChange < script.size() && script[nextChange].frame < pos + n) {
              const auto& c = script[nextChange++];
              changes.add(c.id, static_cast<int32>(std::max<int64_t>(c.frame - pos, 0)), c.value);
            }
            for (int i = 0; i < n; ++i)
              for (int c = 0; c < channels; ++c)
                block.setIn(c, i, interleaved[static_cast<size_t>((pos + i) * channels + c)]);
            block.setFrames(n);
            plugin->process(block, &changes);
            for (int i = 0; i < n; ++i)
              for (int c = 0; c < channels; ++c)
                output[static_cast<size_t>((pos + i) * channels + c)] = block.out(c, i);
            pos += n;
            ++blocks;
          }
          plugin->stop();
          report += "processed " + std::to_string(frames) + " frames in " + std::to_string(blocks) + " blocks\n";
          if (view != nullptr) {
            view->removed();
            view->setFrame(nullptr);
            view->release();
          }
          if (frame != nullptr) frame->release();

          bool stateOk = true;
          if (!o.stateOut.empty()) {
            const std::string saved = plugin->getState(&stateOk);
            if (!stateOk || !writeFileReplacing(o.stateOut, saved)) {
              error = "cannot save the state to " + o.stateOut;
              stateOk = false;
            }
          }
          if (stateOk) {
            SF_INFO outInfo{};
            outInfo.samplerate = inInfo.samplerate;
            outInfo.channels = channels;
            outInfo.format = SF_FORMAT_WAV | (o.sixtyFour ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT);
            const std::string temp = o.output + ".partial";
            SNDFILE* out = sf_open(temp.c_str(), SFM_WRITE, &outInfo);
            if (out == nullptr) {
              error = "cannot write " + o.output;
            } else {
              const sf_count_t written = sf_writef_double(out, output.data(), frames);
              const bool closed = sf_close(out) == 0;
              if (written != frames || !closed || std::rename(temp.c_str(), o.output.c_str()) != 0) {
                std::remove(temp.c_str());
                error = "cannot write " + o.output;
              } else {
                ok = true;
              }
            }
          }
        }
      }
    }
  }
  if (module->factory3() != nullptr) module->factory3()->setHostContext(nullptr);
  context->release();
  return ok;
}

}  // namespace testhost
