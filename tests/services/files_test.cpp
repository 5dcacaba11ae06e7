// Safe file names, whole-file replacement, deletion, folder listing and opening only regular
// files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "services/files.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using brightloom::files::deleteNamedFile;
using brightloom::files::filesWithExtension;
using brightloom::files::pathForName;
using brightloom::files::replaceFile;
using sp::test::readFile;
using sp::test::TempDir;
using sp::test::writeFile;

namespace {

std::vector<std::string> entryNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string stemFor(std::string_view name) {
  return pathForName("dir", name, ".ext", "Fallback").filename().string();
}

}  // namespace

// ---- pathForName ----

struct NameCase {
  std::string name;
  std::string expected;  // file name, extension included
};

TEST(PathForName, CleansNamesByteWise) {
  const std::string x79(79, 'x');
  const std::string x80(80, 'x');
  const std::string e_acute = "\xC3\xA9";
  const std::vector<NameCase> cases = {
      {"a/b:c", "a-b-c.ext"},
      {"\"*/:<>?\\|", "---------.ext"},
      {"tab\there\nnl\r\x01\x1F", "tab-here-nl---.ext"},
      {"keep\x7F", "keep\x7F.ext"},
      // UTF-8 passes unchanged: every byte >= 0x80 compares as unsigned.
      {"Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5.ext"},
      {std::string(100, 'a'), std::string(80, 'a') + ".ext"},
      {x80, x80 + ".ext"},
      {x79 + e_acute, x79 + ".ext"},             // the character split by byte 80 goes whole
      {x79 + e_acute + "yyy", x79 + ".ext"},
      {std::string(78, 'x') + e_acute + "y", std::string(78, 'x') + e_acute + ".ext"},
      {std::string(200, '\x80'), "Fallback.ext"},  // continuation bytes only: cut to nothing
      {"", "Fallback.ext"},
      {"   ", "Fallback.ext"},
      {"...", "Fallback.ext"},
      {" . .. ", "Fallback.ext"},
      {" .Warm. ", "Warm.ext"},
      {"Warm ", "Warm.ext"},
      {"a. .b", "a. .b.ext"},
      {"..", "Fallback.ext"},
      {"nul", "nul-.ext"},
      {"con", "con-.ext"},
      {"Aux.mix", "Aux.mix-.ext"},
      {"PRN", "PRN-.ext"},
      {"lpt9.x", "lpt9.x-.ext"},
      {"com1", "com1-.ext"},
      {"COM0", "COM0.ext"},
      {"COM10", "COM10.ext"},
      {"LPT", "LPT.ext"},
      {"CONSOLE", "CONSOLE.ext"},
      {" nul ", "nul-.ext"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stemFor(c.name), c.expected) << "name: " << c.name;
  }
}

TEST(PathForName, JoinsFolderAndKeepsNamesInsideIt) {
  EXPECT_EQ(pathForName("/a/b", "x", ".sppreset", "Preset"), fs::path("/a/b/x.sppreset"));
  EXPECT_EQ(pathForName("/a/b", "../../etc/passwd", ".sppreset", "Preset"),
            fs::path("/a/b/-..-etc-passwd.sppreset"));
  EXPECT_EQ(pathForName("/a/b", "", ".sptarget", "Target"), fs::path("/a/b/Target.sptarget"));
  EXPECT_EQ(pathForName("/a/b", "..", ".sptarget", "Target").parent_path(), fs::path("/a/b"));
}

// ---- replaceFile ----

TEST(ReplaceFile, CreatesFolderChainAndWritesBytesExactly) {
  TempDir dir;
  const fs::path target = dir / "one/two/three/x.sppreset";
  const std::string text = std::string("line\r\nnul\0byte\n", 15);
  std::string error = "untouched";
  ASSERT_TRUE(replaceFile(target, text, error));
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(readFile(target), text);
  EXPECT_EQ(entryNames(target.parent_path()), std::vector<std::string>{"x.sppreset"});
}

TEST(ReplaceFile, ReplacesLongerFileWholeAndLeavesNoTemporary) {
  TempDir dir;
  const fs::path target = dir / "x.txt";
  ASSERT_TRUE(writeFile(target, std::string(10000, 'o')));
  std::string error;
  ASSERT_TRUE(replaceFile(target, "new", error));
  EXPECT_EQ(readFile(target), "new");
  ASSERT_TRUE(replaceFile(target, "", error));
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(fs::file_size(target), 0u);
  EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"x.txt"});
}

TEST(ReplaceFile, FailuresReportTargetPathAndKeepOldFile) {
  TempDir dir;
  // Parent is a regular file: the temporary cannot be created.
  const fs::path blocker = dir / "blocker";
  ASSERT_TRUE(writeFile(blocker, "b"));
  std::string error;
  EXPECT_FALSE(replaceFile(blocker / "x.txt", "text", error));
  EXPECT_EQ(error, "could not write " + (blocker / "x.txt").string());

  // Target is a non-empty folder: the rename fails after a complete write.
  const fs::path folderTarget = dir / "folder.txt";
  ASSERT_TRUE(writeFile(folderTarget / "inner", "keep"));
  error.clear();
  EXPECT_FALSE(replaceFile(folderTarget, "text", error));
  EXPECT_EQ(error, "could not write " + folderTarget.string());
  EXPECT_EQ(readFile(folderTarget / "inner"), "keep");
  EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{"blocker", "folder.txt"}));
}

// Root writes anywhere through CAP_DAC_OVERRIDE; without it, root is bound by the permission
// bits like any owner.
namespace {

bool dropPermissionOverride() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    data[0].effective &= ~(1u << cap);
    data[0].permitted &= ~(1u << cap);
  }
  return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

TEST(ReplaceFile, ReadOnlyFolderFailsWithoutTouchingOldFile) {
  TempDir dir;
  const fs::path folder = dir / "ro";
  ASSERT_TRUE(writeFile(folder / "x.txt", "old"));
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  // The write runs in a child, so the dropped capability stays there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!dropPermissionOverride()) ::_exit(3);
    std::string error;
    const bool ok = replaceFile(folder / "x.txt", "new", error);
    const bool messageOk = error == "could not write " + (folder / "x.txt").string();
    ::_exit(ok ? 1 : (messageOk ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readFile(folder / "x.txt"), "old");
  EXPECT_EQ(entryNames(folder), std::vector<std::string>{"x.txt"});
  fs::permissions(folder, fs::perms::owner_all);
}

TEST(ReplaceFile, FullDeviceFailsKeepsOldFileAndRemovesTemporary) {
  // A file-size limit makes write() fail part-way, as a full device does.
  TempDir dir;
  const fs::path target = dir / "x.txt";
  ASSERT_TRUE(writeFile(target, "old"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    std::string error;
    const bool ok = replaceFile(target, std::string(1 << 20, 'n'), error);
    const bool messageOk = error == "could not write " + target.string();
    ::_exit(ok ? 1 : (messageOk ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"x.txt"});
}

TEST(ReplaceFile, DoesNotWriteThroughALinkAtTheOldTemporaryName) {
  TempDir dir;
  const fs::path victim = dir / "victim";
  ASSERT_TRUE(writeFile(victim, "precious"));
  const fs::path target = dir / "x.sppreset";
  fs::create_symlink(victim, dir / "x.sppreset.partial");
  std::string error;
  ASSERT_TRUE(replaceFile(target, "text", error));
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_EQ(readFile(target), "text");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
}

TEST(ReplaceFile, ConcurrentWritersAndReaderSeeOnlyWholeTexts) {
  TempDir dir;
  const fs::path target = dir / "shared.txt";
  const std::string a(1 << 20, 'a');
  const std::string b(1 << 20, 'b');
  std::string error;
  ASSERT_TRUE(replaceFile(target, a, error));

  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::atomic<int> torn{0};
  auto writer = [&](const std::string& text) {
    for (int i = 0; i < 25; ++i) {
      std::string e;
      if (!replaceFile(target, text, e)) failures.fetch_add(1);
    }
  };
  std::thread reader([&] {
    while (!done.load()) {
      const std::string seen = readFile(target);
      if (seen != a && seen != b) torn.fetch_add(1);
    }
  });
  std::thread w1(writer, a);
  std::thread w2(writer, b);
  w1.join();
  w2.join();
  done.store(true);
  reader.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"shared.txt"});
}

// ---- deleteNamedFile ----

TEST(DeleteNamedFile, RemovesFilesAndEmptyFoldersOnly) {
  TempDir dir;
  std::string error = "untouched";
  ASSERT_TRUE(writeFile(dir / "Warm.sppreset", "x"));
  EXPECT_TRUE(deleteNamedFile(dir / "Warm.sppreset", error));
  EXPECT_FALSE(fs::exists(dir / "Warm.sppreset"));
  EXPECT_EQ(error, "untouched");

  EXPECT_FALSE(deleteNamedFile(dir / "Warm.sppreset", error));
  EXPECT_EQ(error, "could not delete Warm.sppreset");

  fs::create_directory(dir / "empty");
  EXPECT_TRUE(deleteNamedFile(dir / "empty", error));

  ASSERT_TRUE(writeFile(dir / "tree/inner", "x"));
  EXPECT_FALSE(deleteNamedFile(dir / "tree", error));
  EXPECT_EQ(error, "could not delete tree");
  EXPECT_TRUE(fs::exists(dir / "tree/inner"));
}

// ---- filesWithExtension ----

TEST(FilesWithExtension, KeepsRegularFilesWithExactExtension) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "a.sppreset", "x"));
  ASSERT_TRUE(writeFile(dir / "a.b.sppreset", "x"));
  ASSERT_TRUE(writeFile(dir / "upper.SPPRESET", "x"));
  ASSERT_TRUE(writeFile(dir / ".sppreset", "x"));
  ASSERT_TRUE(writeFile(dir / "other.sptarget", "x"));
  ASSERT_TRUE(writeFile(dir / "nested.sppreset/inner.sppreset", "x"));
  fs::create_symlink(dir / "a.sppreset", dir / "link.sppreset");
  fs::create_symlink(dir / "missing", dir / "dangling.sppreset");

  std::vector<std::string> names;
  for (const auto& p : filesWithExtension(dir.path(), ".sppreset")) {
    EXPECT_EQ(p.parent_path(), dir.path());
    names.push_back(p.filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.b.sppreset", "a.sppreset", "link.sppreset"}));
}

TEST(FilesWithExtension, MissingFolderOrFileGivesEmptyList) {
  TempDir dir;
  EXPECT_TRUE(filesWithExtension(dir / "missing", ".sppreset").empty());
  ASSERT_TRUE(writeFile(dir / "file.sppreset", "x"));
  EXPECT_TRUE(filesWithExtension(dir / "file.sppreset", ".sppreset").empty());
}

// Only a regular file (or a link to one) opens; a FIFO nobody writes, a folder and a device
// are refused at once, and the descriptor reads with blocking reads.
TEST(OpenRegularFile, RefusesAnythingElseWithoutWaiting) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "plain", "bytes"));
  std::filesystem::create_symlink(dir / "plain", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  const struct {
    std::filesystem::path path;
    bool opens;
    bool notRegular;
  } cases[] = {
      {dir / "plain", true, false},  {dir / "link", true, false},     {dir / "pipe", false, true},
      {dir / "folder", false, true}, {"/dev/null", false, true},      {dir / "missing", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.string());
    bool notRegular = !c.notRegular;
    const int fd = brightloom::files::openRegularFile(c.path, &notRegular);
    EXPECT_EQ(fd >= 0, c.opens);
    EXPECT_EQ(notRegular, c.notRegular);
    if (fd < 0) continue;
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    char buffer[8] = {};
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), 5);
    ::close(fd);
  }
}
