// Saving and deleting user targets with their questions and messages, and learning a
// target from a reference file on the learning thread (its result collected by the idle
// tick, its failures reported, a refused thread, a FIFO refused, cancelling at destruction
// and a read stuck past it).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "engine/targets/reference_files.h"
#include "engine/targets/target_files.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using plugkit::canvas::IPopupMenu;
namespace dsp = spectrapoise::dsp;
namespace fs = std::filesystem;

int indexOf(const IPopupMenu& menu, const std::string& text) {
  for (int i = 0; i < menu.NItems(); ++i)
    if (text == menu.GetItem(i)->GetText()) return i;
  return -1;
}

class TargetFiles : public EditorFixture {
protected:
  void SetUp() override {
    options.fileLearner = [this](const std::string& path, dsp::LearnedTarget& result, std::string& error,
                                 double maxSeconds, const std::atomic<bool>* cancel) {
      return reader ? reader(path, result, error, maxSeconds, cancel)
                    : spectrapoise::offline::learnFromFile(path, result, error, maxSeconds, cancel);
    };
    EditorFixture::SetUp();
  }
  fs::path fileOf(const std::string& stem) const { return plug->targetDirectory() / (stem + ".sptarget"); }
  SpectraPoise::Target warmTarget() const {
    SpectraPoise::Target t;
    t.kind = TargetKind::Learned;
    t.name = "Learned";
    t.source = "mix.wav";
    t.curve.fill(1.5);
    t.spread.fill(0.5);
    return t;
  }
  void waitForLearning() {
    while (plug->fileLearningBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // Replaces the engine's reader (set before the run starts).
  SpectraPoise::FileLearner reader;
};

// Saving -----------------------------------------------------------------------------------

TEST_F(TargetFiles, SavingTrimsTheNameAndKeepsTheSource) {
  plug->setTarget(warmTarget());
  plug->saveTarget(" \t ");
  EXPECT_FALSE(fs::exists(plug->targetDirectory()));

  plug->saveTarget(" Warm\t");
  const SpectraPoise::Target t = plug->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Saved);
  EXPECT_EQ(t.name, "Warm");
  EXPECT_EQ(t.source, "mix.wav");
  spectrapoise::offline::SavedTarget stored;
  std::string error;
  ASSERT_TRUE(spectrapoise::offline::readTarget(fileOf("Warm"), stored, error)) << error;
  EXPECT_EQ(stored.name, "Warm");
  EXPECT_EQ(stored.source, "mix.wav");
  EXPECT_EQ(stored.curve[5], 1.5);

  // The chip names it and the menu checks it among the saved targets.
  EXPECT_EQ(plug->targetChipLabel(), "Warm");
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  EXPECT_TRUE(menu.GetItem(indexOf(menu, "Warm"))->GetChecked());
}

TEST_F(TargetFiles, TheBuiltInNameIsRefused) {
  plug->setTarget(warmTarget());
  platform.answerMessageBox("OK");
  plug->saveTarget("Balanced");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "“Balanced” is the built-in target. Choose another name.");
  EXPECT_EQ(platform.messageBoxes[0].caption, "Save target");
  EXPECT_EQ(platform.messageBoxes[0].type, plugkit::canvas::EMsgBoxType::OK);
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Learned);

  plug->saveTarget("balanced");  // another letter case is another name
  EXPECT_EQ(plug->currentTarget().name, "balanced");
}

TEST_F(TargetFiles, ReplacingAnExistingTargetAsksFirst) {
  plug->setTarget(warmTarget());
  plug->saveTarget("Warm");
  const std::string before = readFile(fileOf("Warm"));
  SpectraPoise::Target other = warmTarget();
  other.curve.fill(-3.0);
  plug->setTarget(other);

  platform.answerMessageBox("No");
  plug->saveTarget("Warm");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "A target named “Warm” already exists. Replace it?");
  EXPECT_EQ(platform.messageBoxes[0].caption, "Save target");
  EXPECT_EQ(platform.messageBoxes[0].type, plugkit::canvas::EMsgBoxType::YesNo);
  EXPECT_EQ(readFile(fileOf("Warm")), before);
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Learned);

  platform.answerMessageBox("Yes");
  plug->saveTarget("Warm");
  EXPECT_NE(readFile(fileOf("Warm")), before);
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Saved);

  // With the editor closed a question counts as No.
  plug->setTarget(warmTarget());
  closeEditor();
  plug->saveTarget("Warm");
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Learned);
}

TEST_F(TargetFiles, NamesSharingAFileAskAboutTheStoredTarget) {
  plug->setTarget(warmTarget());
  plug->saveTarget("a/b");
  const std::string before = readFile(fileOf("a-b"));
  ASSERT_FALSE(before.empty());
  platform.answerMessageBox("No");
  plug->saveTarget("a:b");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "A target named “a/b” already exists. Replace it?");
  EXPECT_EQ(readFile(fileOf("a-b")), before);
}

TEST_F(TargetFiles, AFailedSaveNamesThePath) {
  // The target folder is a file: nothing can be written inside it (whatever the user's rights).
  fs::create_directories(plug->targetDirectory().parent_path());
  ASSERT_TRUE(writeFile(plug->targetDirectory(), "not a folder"));
  plug->setTarget(warmTarget());
  platform.answerMessageBox("OK");
  plug->saveTarget("Warm");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "Could not save the target: could not write " + fileOf("Warm").string());
  EXPECT_EQ(platform.messageBoxes[0].caption, "Save target");
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Learned);
  fs::remove(plug->targetDirectory());
}

// Deleting ---------------------------------------------------------------------------------

TEST_F(TargetFiles, DeletingAsksAndLeavesAnUnsavedTarget) {
  plug->setTarget(warmTarget());
  plug->saveTarget("Warm");
  ASSERT_TRUE(fs::exists(fileOf("Warm")));
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  const int remove = indexOf(menu, "Delete “Warm”…");
  ASSERT_EQ(remove, menu.NItems() - 1);

  platform.answerMessageBox("No");
  plug->runTargetMenuAction(remove);
  EXPECT_EQ(platform.messageBoxes.back().text, "Delete the saved target “Warm”? This cannot be undone.");
  EXPECT_EQ(platform.messageBoxes.back().caption, "Delete target");
  EXPECT_TRUE(fs::exists(fileOf("Warm")));
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Saved);

  platform.answerMessageBox("Yes");
  plug->runTargetMenuAction(remove);
  EXPECT_FALSE(fs::exists(fileOf("Warm")));
  const SpectraPoise::Target t = plug->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Learned);
  EXPECT_EQ(t.name, "Warm");
  EXPECT_EQ(t.curve[0], 1.5);

  IPopupMenu after;
  plug->buildTargetMenu(after);
  EXPECT_EQ(indexOf(after, "Delete “Warm”…"), -1);
  EXPECT_EQ(after.GetItem(indexOf(after, "Save target…"))->GetFlags(), 0);
  EXPECT_GE(indexOf(after, "No saved targets"), 0);
}

// Learning from a reference file --------------------------------------------------------

// A stereo float WAV of white noise, written with libsndfile.
void writeNoiseWav(const fs::path& path, double seconds) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.f, 0.1f);
  std::vector<float> frames(static_cast<std::size_t>(seconds * 48000) * 2);
  for (float& v : frames) v = noise(rng);
  sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
  sf_close(file);
}

TEST_F(TargetFiles, LearnsFromAChosenWavFile) {
  TempDir dir;
  const fs::path wav = dir / "noise.wav";
  writeNoiseWav(wav, 5.0);
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  platform.chooseFile(wav.string());
  plug->runTargetMenuAction(indexOf(menu, "Learn from reference file…"));
  ASSERT_EQ(platform.filePrompts.size(), 1u);
  EXPECT_EQ(platform.filePrompts[0].extensions, "wav wave aif aiff aifc mp3 flac");
  EXPECT_EQ(platform.filePrompts[0].action, plugkit::canvas::EFileAction::Open);
  platform.queue.drain();
  waitForLearning();
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);  // collected by the idle tick
  tick();
  const SpectraPoise::Target t = plug->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Learned);
  EXPECT_EQ(t.name, "noise");
  EXPECT_EQ(t.source, "noise.wav");
  // White noise rises about 3 dB per octave against the band grid's pink reference.
  EXPECT_GT(t.curve[170], t.curve[40] + 10.0);
  tick();  // consumed once
  EXPECT_EQ(plug->currentTarget().name, "noise");
}

TEST_F(TargetFiles, CancelledDialogStartsNothing) {
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  platform.cancelFilePrompt();
  plug->runTargetMenuAction(indexOf(menu, "Learn from reference file…"));
  platform.queue.drain();
  EXPECT_FALSE(plug->fileLearningBusy());
  tick();
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);
}

TEST_F(TargetFiles, UnsupportedFileIsReported) {
  plug->learnFromFile("/somewhere/x.ogg");
  waitForLearning();
  platform.answerMessageBox("OK");
  tick();
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text,
            "Could not learn from the file: unsupported file type .ogg (WAV, AIFF, MP3 or FLAC).");
  EXPECT_EQ(platform.messageBoxes[0].caption, "Learn from reference file");
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);
}

TEST_F(TargetFiles, FailureWithTheEditorClosedIsConsumedSilently) {
  closeEditor();
  plug->learnFromFile("/somewhere/x.ogg");
  waitForLearning();
  tick();
  openEditor();
  tick();  // no box: the result was taken by the first tick
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(TargetFiles, ReaderExceptionBecomesTheErrorText) {
  reader = [](const std::string&, dsp::LearnedTarget&, std::string&, double, const std::atomic<bool>*) -> bool {
    throw std::runtime_error("decoder exploded");
  };
  plug->learnFromFile("/somewhere/a.wav");
  waitForLearning();
  platform.answerMessageBox("OK");
  tick();
  EXPECT_EQ(platform.messageBoxes.back().text, "Could not learn from the file: decoder exploded.");
}

TEST_F(TargetFiles, NoFileLearningDuringInputLearning) {
  plug->startInputLearn();
  plug->learnFromFile("/somewhere/a.wav");
  EXPECT_FALSE(plug->fileLearningBusy());
}

class RefusedThread : public TargetFiles {
protected:
  void SetUp() override {
    options.failLearningThreadStart = true;
    TargetFiles::SetUp();
  }
};

TEST_F(RefusedThread, ClearsBusyAndTells) {
  platform.answerMessageBox("OK");
  plug->learnFromFile("/somewhere/a.wav");
  EXPECT_FALSE(plug->fileLearningBusy());
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "Could not learn from the file: thread constructor failed.");
  EXPECT_EQ(platform.messageBoxes[0].caption, "Learn from reference file");
  EXPECT_NE(plug->targetChipLabel(), "Analysing…");
}

TEST_F(TargetFiles, MenuWhileAFileIsAnalysed) {
  std::atomic<bool> release{false};
  reader = [&release](const std::string&, dsp::LearnedTarget&, std::string& error, double,
                      const std::atomic<bool>* cancel) {
    while (!release.load() && !cancel->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    error = "stopped";
    return false;
  };
  plug->learnFromFile("/somewhere/ref.wav");
  ASSERT_TRUE(plug->fileLearningBusy());
  EXPECT_EQ(plug->targetChipLabel(), "Analysing…");
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  EXPECT_EQ(menu.GetItem(indexOf(menu, "Learn from input"))->GetFlags(), IPopupMenu::Item::kDisabled);
  EXPECT_EQ(menu.GetItem(indexOf(menu, "Analysing a file…"))->GetFlags(), IPopupMenu::Item::kDisabled);
  EXPECT_EQ(indexOf(menu, "Learn from reference file…"), -1);
  plug->startInputLearn();
  EXPECT_FALSE(plug->inputLearning());
  plug->learnFromFile("/somewhere/other.wav");  // one run at a time

  release.store(true);
  waitForLearning();
  platform.answerMessageBox("OK");
  tick();
  EXPECT_EQ(platform.messageBoxes.back().text, "Could not learn from the file: stopped.");
}

// Destroying the instance during a run returns once the reader has seen the cancel flag.
TEST(LearningThread, DestructorCancelsABlockingRead) {
  std::atomic<bool> started{false};
  std::atomic<bool> sawCancel{false};
  SpectraPoise::Options options;
  options.startWorker = false;
  options.fileLearner = [&](const std::string&, dsp::LearnedTarget&, std::string& error, double,
                            const std::atomic<bool>* cancel) {
    started.store(true);
    // Blocks until cancelled (bounded, so a missing cancel fails instead of hanging).
    for (int i = 0; i < 10000 && !cancel->load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawCancel.store(cancel->load());
    error = "cancelled";
    return false;
  };
  PlugPtr plug(new SpectraPoise(plugkit::InstanceInfo{}, options));
  plug->learnFromFile("/somewhere/long.wav");
  while (!started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  plug.reset();
  EXPECT_TRUE(sawCancel.load());
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Opens and closes a FIFO for writing until stopped, after `afterSeconds`: lets go of a reader
// that waits for a writer, so a fault makes a test fail instead of hang.
class LateWriter {
public:
  LateWriter(fs::path fifo, double afterSeconds)
      : thread_([this, fifo = std::move(fifo), afterSeconds] {
          const auto start = Clock::now();
          while (!stop_.load()) {
            if (secondsSince(start) >= afterSeconds) {
              const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0) ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        }) {}
  ~LateWriter() {
    stop_.store(true);
    thread_.join();
  }

private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A FIFO nobody writes under an audio file's name: the reader refuses it at once and says
// so, and the instance goes promptly (a blocking open held its destruction until a writer
// came).
TEST_F(TargetFiles, AFifoIsRefusedAndTheInstanceGoesPromptly) {
  TempDir dir;
  const fs::path fifo = dir / "pipe.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  constexpr double kWriterAfter = 15.0;
  LateWriter writer(fifo, kWriterAfter);

  const auto start = Clock::now();
  plug->learnFromFile(fifo.string());
  waitForLearning();
  platform.answerMessageBox("OK");
  tick();
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "Could not learn from the file: could not read pipe.wav: not a regular file.");
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);

  plug->learnFromFile(fifo.string());
  closeEditor();
  plug.reset();
  EXPECT_LT(secondsSince(start), kWriterAfter / 3) << "refused and destroyed well before a writer came";
}

// A read that blocks and never looks at the cancel flag (a file on a stalled mount) does
// not hold the instance's destruction: the run is left to end on its own, and when it does
// it touches nothing of the instance (ASan and TSan watch it).
TEST(LearningThread, DestructionLeavesARunStuckInARead) {
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<bool> entered{false};
    std::atomic<bool> returned{false};
    void release() {
      {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
      }
      opened.notify_all();
    }
  };
  auto gate = std::make_shared<Gate>();
  SpectraPoise::Options options;
  options.startWorker = false;
  options.fileLearner = [gate](const std::string&, dsp::LearnedTarget&, std::string& error, double,
                               const std::atomic<bool>*) {
    gate->entered.store(true);
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->opened.wait(lock, [&] { return gate->open; });
    error = "read at last";
    gate->returned.store(true);
    return false;
  };
  PlugPtr plug(new SpectraPoise(plugkit::InstanceInfo{}, options));
  options.fileLearner = nullptr;  // the run holds the only other copy of the gate
  plug->learnFromFile("/stalled/mount/long.wav");
  while (!gate->entered.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  // Without a fault the read ends only when released; a fault that waits for it fails here.
  constexpr double kReleaseAfter = 15.0;
  std::thread releaser([gate, kReleaseAfter] {
    const auto start = Clock::now();
    while (!gate->returned.load() && secondsSince(start) < kReleaseAfter)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    gate->release();
  });
  const auto start = Clock::now();
  plug.reset();
  const double destruction = secondsSince(start);
  EXPECT_FALSE(gate->returned.load()) << "destruction did not wait for the read";
  EXPECT_LT(destruction, kReleaseAfter / 3);

  gate->release();
  releaser.join();
  // The run ends on its own and lets go of its reader (and with it the gate).
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (gate.use_count() > 1 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(gate.use_count(), 1);
}

}  // namespace
