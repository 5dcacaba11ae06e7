// The run command's program and the test host as a user runs them, each in a process of
// its own: an output folder that cannot be made is a clear error, and memory stays flat
// with the length of the file processed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  bool exited = false;  // false: ended by a signal, or still running at the time-out
  int code = -1;
  long peakKilobytes = 0;
  std::string errors;  // what it wrote to stderr
};

// Runs a program with stdout discarded and stderr kept in `errorFile`, under an address-space
// limit when `limitBytes` is not 0; kills it after `seconds`. Its peak memory includes this
// process's own at the fork (small: one test per process).
Outcome runProgram(const std::vector<std::string>& args, const fs::path& errorFile, rlim_t limitBytes = 0,
                   double seconds = 120.0) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  Outcome outcome;
  const pid_t pid = ::fork();
  if (pid < 0) return outcome;
  if (pid == 0) {
    const rlimit limit{limitBytes, limitBytes};
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (limitBytes != 0 && ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  rusage usage{};
  pid_t ended = 0;
  while ((ended = ::wait4(pid, &status, WNOHANG, &usage)) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      outcome.code = -1;
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (ended != pid) return outcome;
  outcome.exited = WIFEXITED(status);
  outcome.code = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  outcome.peakKilobytes = usage.ru_maxrss;
  outcome.errors = sp::test::readFile(errorFile);
  return outcome;
}

// A stereo 16-bit WAV of a slow sweep, `seconds` long at 48 kHz.
void writeSweep(const fs::path& path, int seconds) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<float> chunk(2 * 48000);
  for (int s = 0; s < seconds; ++s) {
    for (int i = 0; i < 48000; ++i) {
      const double t = s + i / 48000.0;
      chunk[2 * i] = chunk[2 * i + 1] = static_cast<float>(0.2 * std::sin(2 * M_PI * (50.0 + 40.0 * t) * t));
    }
    ASSERT_EQ(sf_writef_float(f, chunk.data(), 48000), 48000);
  }
  sf_close(f);
}

TEST(RunCommand, OutputFolderThatCannotBeMadeIsAClearError) {
  sp::test::TempDir dir;
  ASSERT_TRUE(sp::test::writeFile(dir / "blocker", "a file"));
  fs::create_directory(dir / "read-only");
  fs::permissions(dir / "read-only", fs::perms::owner_read | fs::perms::owner_exec);
  // Root writes anywhere through CAP_DAC_OVERRIDE: that run goes without it.
  const std::vector<std::string> bound = {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
                                          "--bounding-set=-dac_override,-dac_read_search"};
  struct Case {
    std::vector<std::string> options;
    bool withoutOverride;
  };
  const std::string blocker = (dir / "blocker").string();
  const std::vector<Case> cases = {
      {{"--out-dir", blocker}, false},
      {{"--out-dir", blocker + "/run"}, false},
      {{"--out-dir", (dir / "read-only" / "run").string()}, true},
      {{"--out-dir", (dir / std::string(300, 'n')).string()}, false},
      {{"--out", blocker + "/run/out.wav", "--out-dir", dir.path().string()}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[1]);
    std::vector<std::string> args;
    if (c.withoutOverride && ::geteuid() == 0) args = bound;
    args.push_back(SP_RUN_PLUGIN);
    args.insert(args.end(), {"--seconds", "1"});
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome o = runProgram(args, dir / "errors.txt");
    EXPECT_TRUE(o.exited) << "signal " << o.code;
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.errors.rfind("run_plugin: cannot create the folder ", 0), 0u) << o.errors;
  }
  EXPECT_EQ(sp::test::readFile(dir / "blocker"), "a file");
  EXPECT_TRUE(fs::is_empty(dir / "read-only"));
  // Nothing begun is left behind (the demo's own file included).
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) entries += entry.path().filename() != "errors.txt";
  EXPECT_EQ(entries, 2);
}

// Peak memory of a 2 s and a 30 s file: about 1.5 MB per second of audio was kept before.
TEST(Commands, MemoryStaysFlatWithTheFileLength) {
  sp::test::TempDir dir;
  writeSweep(dir / "short.wav", 2);
  writeSweep(dir / "long.wav", 30);
  struct Command {
    const char* name;
    std::vector<std::string> args;  // the input follows
  };
  const std::vector<Command> commands = {
      // The editor is open for a fixed stretch at the end, whatever the length: left out here
      // (under the address sanitizer its frames' freed memory is held back and would count).
      {"run_plugin", {SP_RUN_PLUGIN, "--offline", "--block", "2048", "--no-editor", "--out-dir", dir.path().string()}},
      {"testhost", {SP_TESTHOST, "process", SP_BUNDLE_DIR}},
  };
  for (const Command& command : commands) {
    SCOPED_TRACE(command.name);
    long peak[2] = {};
    int i = 0;
    for (const char* input : {"short", "long"}) {
      std::vector<std::string> args = command.args;
      if (args[1] == "process") {
        args.push_back((dir / (std::string(input) + ".wav")).string());
        args.push_back((dir / (std::string(input) + "-out.wav")).string());
      } else {
        args.push_back((dir / (std::string(input) + ".wav")).string());
      }
      const Outcome o = runProgram(args, dir / "errors.txt");
      ASSERT_TRUE(o.exited && o.code == 0) << o.code << " " << o.errors;
      peak[i++] = o.peakKilobytes;
    }
    // 28 s more audio: well under a megabyte per second more (about 45 MB more before).
    EXPECT_LT(peak[1] - peak[0], 12 * 1024) << "short " << peak[0] << " kB, long " << peak[1] << " kB";
  }
}

// Under any memory limit a command either succeeds or ends with exit code 1 and its own
// message: no abort on a failed allocation, no hang, no crash. Every limit from the lowest at
// which the program starts at all up to where it runs through is tried.
TEST(Commands, MemoryLimitEndsInSuccessOrAClearError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
#endif
  sp::test::TempDir dir;
  writeSweep(dir / "in.wav", 1);
  struct Command {
    const char* name;
    std::vector<std::string> run;    // a short run
    std::vector<std::string> usage;  // a call that only prints its usage (exit code 2)
  };
  const std::vector<Command> commands = {
      {"run_plugin",
       {SP_RUN_PLUGIN, "--out-dir", dir.path().string(), (dir / "in.wav").string()},
       {SP_RUN_PLUGIN, "--no-such-option"}},
      {"testhost",
       {SP_TESTHOST, "process", SP_BUNDLE_DIR, (dir / "in.wav").string(), (dir / "out.wav").string()},
       {SP_TESTHOST}},
  };
  constexpr rlim_t kStep = 512 * 1024;
  for (const Command& command : commands) {
    SCOPED_TRACE(command.name);
    rlim_t limit = 8 * kStep;
    while (limit < 1024 * kStep && runProgram(command.usage, dir / "errors.txt", limit).code != 2) limit += 4 * kStep;
    ASSERT_LT(limit, 1024 * kStep) << "the program does not start under 512 MB";
    int successes = 0;
    for (const rlim_t top = limit + 512 * kStep; successes < 3 && limit < top; limit += kStep) {
      SCOPED_TRACE(std::to_string(limit / 1024) + " kB");
      const Outcome o = runProgram(command.run, dir / "errors.txt", limit, 60.0);
      ASSERT_TRUE(o.exited) << (o.code == -1 ? "still running after 60 s" : "signal " + std::to_string(o.code));
      if (o.code == 0) {
        ++successes;
        continue;
      }
      successes = 0;
      EXPECT_EQ(o.code, 1);
      // Its own message comes last (a library it loads may have spoken before).
      const std::size_t lastLine = o.errors.rfind('\n', o.errors.size() >= 2 ? o.errors.size() - 2 : 0);
      const std::string last = lastLine == std::string::npos ? o.errors : o.errors.substr(lastLine + 1);
      EXPECT_EQ(last.rfind(std::string(command.name) + ": ", 0), 0u) << o.errors;
    }
    EXPECT_EQ(successes, 3) << "no run succeeded under " << limit / (1024 * 1024) << " MB";
  }
}

}  // namespace
