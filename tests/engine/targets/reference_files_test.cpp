// Reference files: every accepted format family, the extension deciding, the learner's
// results and messages, limits, cancelling, damaged files, and the audio-file utilities.
// The files are written by the tests themselves through libsndfile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "engine/targets/reference_files.h"
#include "tests/support/temp_dir.h"

namespace {

using spectrapoise::dsp::LearnedTarget;
using spectrapoise::offline::isReferenceFileName;
using spectrapoise::offline::learnFromFile;
using spectrapoise::offline::readAudioFile;
using spectrapoise::offline::writeWavFile;
using sp::test::readFile;
using sp::test::TempDir;
using sp::test::writeFile;

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// Writes `frames` frames of `channels` channels; sample(frame, channel) gives each value.
void writeAudio(const std::filesystem::path& path, int format, int channels, int rate,
                std::size_t frames, const std::function<float(std::size_t, int)>& sample) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<float> chunk(static_cast<std::size_t>(channels) * 4096);
  for (std::size_t at = 0; at < frames; at += 4096) {
    const std::size_t n = std::min<std::size_t>(4096, frames - at);
    for (std::size_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) chunk[i * channels + c] = sample(at + i, c);
    ASSERT_EQ(sf_writef_float(f, chunk.data(), static_cast<sf_count_t>(n)), static_cast<sf_count_t>(n));
  }
  sf_close(f);
}

// Pink-ish music stand-in: noise with a slowly moving level, the same for any channel
// asked for channel 0 or 1 when `sameChannels`.
std::function<float(std::size_t, int)> noise(unsigned seed, bool sameChannels = false) {
  auto values = std::make_shared<std::vector<float>>();
  return [values, seed, sameChannels](std::size_t i, int c) {
    const std::size_t need = 2 * (i + 1);
    if (values->size() < need) {
      std::mt19937 rng(seed + static_cast<unsigned>(values->size()));
      std::normal_distribution<float> n(0.0f, 0.1f);
      while (values->size() < need + 8192) values->push_back(n(rng));
    }
    const float level = 1.0f + 0.5f * std::sin(static_cast<float>(i) * 1e-4f);
    const int channel = sameChannels ? 0 : std::min(c, 1);
    return level * (*values)[2 * i + channel] + (c > 1 ? 0.3f : 0.0f) * static_cast<float>(c);
  };
}

TEST(ReferenceFiles, EveryFamilyIsReadAndLearned) {
  TempDir dir;
  struct Case {
    const char* name;
    int format;
  };
  const Case cases[] = {
      {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"b.WAVE", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
      {"c.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
      {"d.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {"e.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
      {"f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"Song.FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"g.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
      {"h.wav", SF_FORMAT_W64 | SF_FORMAT_PCM_16},
      {"i.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
      {"j.wav", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},  // same family as its extension
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAudio(dir / c.name, c.format, 2, 44100, 44100 * 3, noise(1));
    LearnedTarget learned;
    std::string error;
    ASSERT_TRUE(learnFromFile((dir / c.name).string(), learned, error, 900.0, nullptr)) << error;
    EXPECT_GT(learned.seconds, 2.0);
    EXPECT_TRUE(std::isfinite(learned.curve[100]));
  }
}

TEST(ReferenceFiles, ExtensionDecidesBeforeAndAfterOpening) {
  TempDir dir;
  writeAudio(dir / "x.wav", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 48000, 48000 * 3, noise(2));
  writeAudio(dir / "y.flac", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 48000 * 3, noise(2));
  writeAudio(dir / "z.mp3", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, 48000 * 3, noise(2));
  writeAudio(dir / "w.aiff", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 48000, 48000 * 3, noise(2));
  struct Case {
    std::string path;
    std::string error;
  };
  const Case cases[] = {
      {(dir / "song.ogg").string(), "unsupported file type .ogg (WAV, AIFF, MP3 or FLAC)"},
      {(dir / "song").string(), "unsupported file type  (WAV, AIFF, MP3 or FLAC)"},
      {(dir / ".wav").string(), "unsupported file type  (WAV, AIFF, MP3 or FLAC)"},
      {(dir / "x.wav").string(), "could not read x.wav"},
      {(dir / "y.flac").string(), "could not read y.flac"},
      {(dir / "z.mp3").string(), "could not read z.mp3"},
      {(dir / "w.aiff").string(), "could not read w.aiff"},
      {(dir / "missing.wav").string(), "could not read missing.wav"},
  };
  for (const Case& c : cases) {
    LearnedTarget learned;
    learned.seconds = -1.0;
    std::string error;
    EXPECT_FALSE(learnFromFile(c.path, learned, error, 900.0, nullptr));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(learned.seconds, -1.0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "song.ogg"));
}

TEST(ReferenceFiles, TooLittleMaterialGivesTheLearnersReason) {
  TempDir dir;
  writeAudio(dir / "short.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 72000, noise(3));
  writeAudio(dir / "tiny.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 8191, noise(3));
  LearnedTarget learned;
  std::string error;
  EXPECT_FALSE(learnFromFile((dir / "short.wav").string(), learned, error, 900.0, nullptr));
  EXPECT_EQ(error, "short.wav: only 1 s was loud enough to learn from, at least 2 s is needed");
  EXPECT_FALSE(learnFromFile((dir / "tiny.wav").string(), learned, error, 900.0, nullptr));
  EXPECT_EQ(error, "tiny.wav: there was nothing loud enough to learn from");
}

TEST(ReferenceFiles, LimitIsCheckedPerChunk) {
  TempDir dir;
  writeAudio(dir / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 8000 * 20, noise(4));
  LearnedTarget learned;
  std::string error;
  // 10 s are 80,000 frames: 20 chunks of 4096 (81,920 frames) are fed, 37 hops of 0.256 s,
  // 9 whole blocks.
  ASSERT_TRUE(learnFromFile((dir / "long.wav").string(), learned, error, 10.0, nullptr)) << error;
  EXPECT_NEAR(learned.seconds, 9.216, 1e-9);
  ASSERT_TRUE(learnFromFile((dir / "long.wav").string(), learned, error, kNoLimit, nullptr));
  EXPECT_GT(learned.seconds, 18.0);
  ASSERT_TRUE(learnFromFile((dir / "long.wav").string(), learned, error, 1e300, nullptr));
  EXPECT_GT(learned.seconds, 18.0);
  for (double bad : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), -kNoLimit}) {
    EXPECT_FALSE(learnFromFile((dir / "long.wav").string(), learned, error, bad, nullptr));
    EXPECT_EQ(error, "could not read long.wav") << bad;
  }
}

TEST(ReferenceFiles, MonoStereoAndSixChannelsLearnTheSame) {
  TempDir dir;
  const auto sample = noise(5, true);
  writeAudio(dir / "mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, 48000 * 4, sample);
  writeAudio(dir / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 48000 * 4, sample);
  writeAudio(dir / "six.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 6, 48000, 48000 * 4, sample);
  LearnedTarget mono, stereo, six;
  std::string error;
  ASSERT_TRUE(learnFromFile((dir / "mono.wav").string(), mono, error, 900.0, nullptr));
  ASSERT_TRUE(learnFromFile((dir / "stereo.wav").string(), stereo, error, 900.0, nullptr));
  ASSERT_TRUE(learnFromFile((dir / "six.wav").string(), six, error, 900.0, nullptr));
  EXPECT_EQ(mono.curve, stereo.curve);
  EXPECT_EQ(mono.spread, stereo.spread);
  EXPECT_EQ(mono.curve, six.curve);
  EXPECT_EQ(mono.seconds, six.seconds);
}

TEST(ReferenceFiles, CancelStopsWithCancelled) {
  TempDir dir;
  writeAudio(dir / "c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, 48000 * 3, noise(6));
  std::atomic<bool> cancel{true};
  LearnedTarget learned;
  std::string error;
  EXPECT_FALSE(learnFromFile((dir / "c.flac").string(), learned, error, 900.0, &cancel));
  EXPECT_EQ(error, "cancelled");
  // Cancel wins over unreadable, but not over an unsupported type.
  EXPECT_FALSE(learnFromFile((dir / "none.flac").string(), learned, error, 900.0, &cancel));
  EXPECT_EQ(error, "cancelled");
  EXPECT_FALSE(learnFromFile((dir / "c.ogg").string(), learned, error, 900.0, &cancel));
  EXPECT_EQ(error, "unsupported file type .ogg (WAV, AIFF, MP3 or FLAC)");
  cancel = false;
  EXPECT_TRUE(learnFromFile((dir / "c.flac").string(), learned, error, 900.0, &cancel));
}

// A valid 16-bit stereo WAV header around `frames` frames of data, with the fields given.
std::string wavBytes(int channels, int rate, int frames, int bits = 16) {
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const int blockAlign = channels * bits / 8;
  const std::uint32_t data = static_cast<std::uint32_t>(frames * blockAlign);
  std::string out = "RIFF" + u32(36 + data) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(channels) +
                    u32(rate) + u32(rate * blockAlign) + u16(blockAlign) + u16(bits) + "data" + u32(data);
  for (std::uint32_t i = 0; i < data; ++i) out.push_back(static_cast<char>((i * 37) & 0xff));
  return out;
}

// Runs `read` on a thread of its own. Should it still be waiting after 10 s (blocked opening
// or reading a FIFO), a writer opens and closes the FIFO to let it go; answers whether it
// had returned by then.
bool returnsWithoutAWriter(const std::filesystem::path& fifo, const std::function<void()>& read) {
  std::atomic<bool> done{false};
  std::thread reader([&] {
    read();
    done.store(true);
  });
  for (int i = 0; i < 1000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool returned = done.load();
  while (!done.load()) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  reader.join();
  return returned;
}

// A FIFO nobody writes, a folder or a device under an audio file's name is refused before
// anything reads from it; a link to a regular file is read.
TEST(ReferenceFiles, AnythingButARegularFileIsRefusedWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.flac");
  std::filesystem::create_symlink("/dev/zero", dir / "zero.mp3");
  writeAudio(dir / "real.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 48000 * 3, noise(7));
  std::filesystem::create_symlink(dir / "real.wav", dir / "link.wav");

  for (const char* name : {"pipe.wav", "folder.flac", "zero.mp3"}) {
    SCOPED_TRACE(name);
    const std::string path = (dir / name).string();
    const std::string expected = "could not read " + std::string(name) + ": not a regular file";
    LearnedTarget learned;
    learned.seconds = 42.0;
    std::string learnError;
    bool learnedOk = true;
    std::vector<float> l, r;
    double rate = 5.0;
    std::string readError;
    bool readOk = true;
    EXPECT_TRUE(returnsWithoutAWriter(dir / name, [&] {
      learnedOk = learnFromFile(path, learned, learnError, kNoLimit, nullptr);
      readOk = readAudioFile(path, l, r, rate, readError, kNoLimit);
    }));
    EXPECT_FALSE(learnedOk);
    EXPECT_EQ(learnError, expected);
    EXPECT_EQ(learned.seconds, 42.0) << "left alone";
    EXPECT_FALSE(readOk);
    EXPECT_EQ(readError, expected);
    EXPECT_TRUE(l.empty());
    EXPECT_EQ(rate, 0.0);
  }

  LearnedTarget learned;
  std::string error;
  EXPECT_TRUE(learnFromFile((dir / "link.wav").string(), learned, error, kNoLimit, nullptr)) << error;
}

TEST(ReferenceFiles, DamagedFilesAreRefusedWithoutACrash) {
  TempDir dir;
  writeAudio(dir / "good.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, 48000 * 3, noise(7));
  const std::string flac = readFile(dir / "good.flac");
  const std::string mp3 = [&] {
    writeAudio(dir / "good.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 48000, 48000 * 3, noise(7));
    return readFile(dir / "good.mp3");
  }();
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty.wav", ""},
      {"header-only.wav", wavBytes(2, 48000, 0)},
      {"zero-channels.wav", wavBytes(0, 48000, 1000)},
      {"zero-rate.wav", wavBytes(2, 0, 48000)},
      {"garbage.aiff", std::string(5000, '\x55')},
      {"cut.flac", flac.substr(0, 200)},
      {"cut.mp3", mp3.substr(0, 300)},
      {"noise.mp3", std::string(3000, '\x01')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir / c.name, c.bytes);
    LearnedTarget learned;
    std::string error;
    EXPECT_FALSE(learnFromFile((dir / c.name).string(), learned, error, 900.0, nullptr));
    EXPECT_EQ(error, std::string("could not read ") + c.name);
  }
  // A truncated file reads what is there.
  const std::string cut = wavBytes(2, 8000, 8000 * 6);
  writeFile(dir / "truncated.wav", cut.substr(0, cut.size() / 2));
  LearnedTarget learned;
  std::string error;
  EXPECT_TRUE(learnFromFile((dir / "truncated.wav").string(), learned, error, 900.0, nullptr)) << error;
  EXPECT_LT(learned.seconds, 3.1);
}

TEST(ReferenceFileNames, AcceptedExtensions) {
  for (const char* yes : {"a.wav", "a.WAVE", "b.Aifc", "c.aif", "d.AIFF", "e.mp3", "f.Flac", "dir.x/g.wav"})
    EXPECT_TRUE(isReferenceFileName(yes)) << yes;
  for (const char* no : {"c.aac", "wav", ".wav", "a.wav.txt", "a.ogg", "", "a.wav/"})
    EXPECT_FALSE(isReferenceFileName(no)) << no;
}

TEST(AudioFileUtilities, WriteThenReadRoundTrips) {
  TempDir dir;
  std::vector<float> left(10000), right(10001);
  for (std::size_t i = 0; i < left.size(); ++i) {
    left[i] = std::sin(0.01f * i) * 1.5f;  // no clipping either way
    right[i] = -0.25f;
  }
  std::string error = "untouched";
  const std::string path = (dir / "out.wav").string();
  ASSERT_TRUE(writeWavFile(path, left, right, 44100.9, error));
  EXPECT_EQ(error, "untouched");
  std::vector<float> l, r;
  double rate = 0.0;
  ASSERT_TRUE(readAudioFile(path, l, r, rate, error, kNoLimit));
  EXPECT_EQ(rate, 44100.0);
  EXPECT_EQ(l, left);
  EXPECT_EQ(r, std::vector<float>(right.begin(), right.begin() + 10000));
  // The limit is checked per chunk of 4096 frames.
  ASSERT_TRUE(readAudioFile(path, l, r, rate, error, 5000.0 / 44100.0));
  EXPECT_EQ(l.size(), 8192u);
  // Replacing leaves only the new file.
  ASSERT_TRUE(writeWavFile(path, std::vector<float>(5, 0.5f), std::vector<float>(5, 0.5f), 8000, error));
  ASSERT_TRUE(readAudioFile(path, l, r, rate, error, kNoLimit));
  EXPECT_EQ(l.size(), 5u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AudioFileUtilities, IntegerSamplesScaleByTheirWordSize) {
  TempDir dir;
  struct Case {
    const char* name;
    int format;
  };
  for (const Case& c : {Case{"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                        Case{"s24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                        Case{"s16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}}) {
    SCOPED_TRACE(c.name);
    // Left-justified integers: the file keeps the top 16 or 24 bits.
    const int words[] = {0x40000000, std::numeric_limits<int>::min(), 0x20000000, -0x40000000};
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = c.format;
    SNDFILE* f = sf_open((dir / c.name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(sf_writef_int(f, words, 4), 4);
    sf_close(f);
    std::vector<float> l, r;
    double rate = 0.0;
    std::string error;
    ASSERT_TRUE(readAudioFile((dir / c.name).string(), l, r, rate, error, kNoLimit)) << error;
    EXPECT_EQ(l, (std::vector<float>{0.5f, -1.0f, 0.25f, -0.5f}));
    EXPECT_EQ(r, l);
    EXPECT_EQ(rate, 22050.0);
  }
}

TEST(AudioFileUtilities, ReadRefusals) {
  TempDir dir;
  std::vector<float> l{1.0f}, r{1.0f};
  double rate = 5.0;
  std::string error;
  EXPECT_FALSE(readAudioFile((dir / "a.ogg").string(), l, r, rate, error, kNoLimit));
  EXPECT_EQ(error, "unsupported file type .ogg (WAV, AIFF, MP3 or FLAC)");
  EXPECT_TRUE(l.empty());
  EXPECT_EQ(rate, 0.0);
  writeFile(dir / "empty.wav", wavBytes(2, 48000, 0));
  EXPECT_FALSE(readAudioFile((dir / "empty.wav").string(), l, r, rate, error, kNoLimit));
  EXPECT_EQ(error, "could not read empty.wav");
}

TEST(AudioFileUtilities, WriteRefusesBadInputAndCreatesNothing) {
  TempDir dir;
  const std::string path = (dir / "bad.wav").string();
  const std::vector<float> ten(10, 0.1f), nine(9, 0.1f);
  struct Case {
    const std::vector<float>* right;
    double rate;
  };
  const Case cases[] = {
      {&nine, 48000.0},
      {&ten, 0.0},
      {&ten, 0.99},
      {&ten, -48000.0},
      {&ten, 2147483648.0},
      {&ten, std::numeric_limits<double>::quiet_NaN()},
      {&ten, kNoLimit},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(writeWavFile(path, ten, *c.right, c.rate, error)) << c.rate;
    EXPECT_EQ(error, "could not write " + path);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  // An unwritable place: a file stands where the folder should be.
  writeFile(dir / "blocker", "x");
  std::string error;
  const std::string blocked = (dir / "blocker" / "x.wav").string();
  EXPECT_FALSE(writeWavFile(blocked, ten, ten, 48000.0, error));
  EXPECT_EQ(error, "could not write " + blocked);
  EXPECT_TRUE(writeWavFile((dir / "max.wav").string(), ten, ten, 2147483647.0, error));
}

}  // namespace
