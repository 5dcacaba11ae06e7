// PNG and JPEG decoding: pixels as written, other formats and broken files refused with a
// reason, sizes past the limits refused before anything is allocated, and damaged files
// (cut short, bytes changed) never read or write outside their buffers (run under ASan).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "graphics/BitmapDecode.h"
#include "tests/support/canvas/image_fixture.h"

using plugkit::canvas::DecodeBitmap;
using plugkit::canvas::DecodedBitmap;
using sp::test::RGBAImage;

namespace {

DecodedBitmap decode(const std::string& bytes) { return DecodeBitmap(bytes.data(), bytes.size()); }

// A PNG whose header claims width x height (the chunk's checksum is not checked).
std::string pngClaiming(uint32_t width, uint32_t height) {
  std::string png = sp::test::encodePNG(RGBAImage::gradient(4, 4));
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>((width >> (24 - 8 * i)) & 0xFF);
    png[20 + i] = static_cast<char>((height >> (24 - 8 * i)) & 0xFF);
  }
  return png;
}

// The PNG with the length of its first image-data chunk (right after the header chunk)
// replaced.
std::string withIDATLength(std::string png, uint32_t length) {
  EXPECT_EQ(png.substr(37, 4), "IDAT");
  for (int i = 0; i < 4; ++i) png[33 + i] = static_cast<char>((length >> (24 - 8 * i)) & 0xFF);
  return png;
}

// A decode that succeeded must be whole.
void expectWholeOrRefused(const DecodedBitmap& image, const std::string& what) {
  if (image.IsValid()) {
    EXPECT_EQ(image.rgba.size(), static_cast<size_t>(image.width) * image.height * 4) << what;
    EXPECT_TRUE(image.error.empty()) << what;
  } else {
    EXPECT_TRUE(image.rgba.empty()) << what;
    EXPECT_FALSE(image.error.empty()) << what;
  }
}

}  // namespace

TEST(BitmapDecode, PNGGivesThePixelsAsWritten) {
  const RGBAImage image = RGBAImage::gradient(7, 5);
  const DecodedBitmap decoded = decode(sp::test::encodePNG(image));
  ASSERT_TRUE(decoded.IsValid()) << decoded.error;
  EXPECT_EQ(decoded.width, 7);
  EXPECT_EQ(decoded.height, 5);
  EXPECT_EQ(decoded.rgba, image.pixels);
}

TEST(BitmapDecode, JPEGGivesItsSizeAndNearlyItsColours) {
  const DecodedBitmap decoded = decode(sp::test::encodeJPEG(RGBAImage::solid(24, 16, 200, 100, 50)));
  ASSERT_TRUE(decoded.IsValid()) << decoded.error;
  EXPECT_EQ(decoded.width, 24);
  EXPECT_EQ(decoded.height, 16);
  for (size_t i = 0; i < decoded.rgba.size(); i += 4) {
    EXPECT_NEAR(decoded.rgba[i], 200, 4);
    EXPECT_NEAR(decoded.rgba[i + 1], 100, 4);
    EXPECT_NEAR(decoded.rgba[i + 2], 50, 4);
    EXPECT_EQ(decoded.rgba[i + 3], 255);
  }
}

TEST(BitmapDecode, RefusalsSayWhy) {
  const std::string png = sp::test::encodePNG(RGBAImage::gradient(4, 4));
  struct Case {
    std::string name;
    std::string bytes;
    std::string reason;  // the start of the error
  };
  const std::vector<Case> cases = {
      {"empty", "", "no data"},
      {"text", "hello, world", "not a PNG or JPEG file"},
      {"gif", "GIF89a\x01\x00\x01\x00\x00\x00\x00;", "not a PNG or JPEG file"},
      {"bmp", "BM" + std::string(60, '\0'), "not a PNG or JPEG file"},
      {"signature only", png.substr(0, 8), "unreadable header"},
      {"header only", png.substr(0, 33), "cannot decode"},
      {"too wide", pngClaiming(16385, 1), "unreadable header"},  // refused by the decoder itself
      {"too many pixels", pngClaiming(16384, 2049), "image too large"},
      {"absurd", pngClaiming(0x7FFFFFFF, 0x7FFFFFFF), "unreadable header"},
      {"zero wide", pngClaiming(0, 4), "unreadable header"},
      {"chunk past the end", withIDATLength(png, 0x7FFFFFF0), "corrupt PNG: a chunk does not fit the file"},
      {"empty first data chunk", withIDATLength(png, 0), "corrupt PNG: a chunk does not fit the file"},
  };
  for (const Case& c : cases) {
    const DecodedBitmap decoded = decode(c.bytes);
    EXPECT_FALSE(decoded.IsValid()) << c.name;
    EXPECT_TRUE(decoded.rgba.empty()) << c.name;
    EXPECT_EQ(decoded.error.rfind(c.reason, 0), 0u) << c.name << ": " << decoded.error;
  }
  EXPECT_FALSE(DecodeBitmap(nullptr, 10).IsValid());
}

TEST(BitmapDecode, DamagedFilesAreRefusedOrWhole) {
  const std::string png = sp::test::encodePNG(RGBAImage::gradient(67, 29));
  const std::string jpeg = sp::test::encodeJPEG(RGBAImage::gradient(67, 29));
  for (const std::string* file : {&png, &jpeg}) {
    const std::string kind = file == &png ? "png" : "jpeg";
    // Every length short of the whole file.
    for (size_t n = 0; n < file->size(); ++n) {
      // A copy of exactly n bytes, so that ASan sees any read past its end.
      const std::string cut(file->data(), n);
      expectWholeOrRefused(decode(cut), kind + " cut to " + std::to_string(n));
    }
    // Bytes changed at random, seeded.
    std::mt19937 rng(20240611u);
    for (int trial = 0; trial < 3000; ++trial) {
      std::string damaged = *file;
      const int changes = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < changes; ++k) damaged[rng() % damaged.size()] = static_cast<char>(rng() & 0xFF);
      expectWholeOrRefused(decode(damaged), kind + " damaged, trial " + std::to_string(trial));
    }
  }
}

TEST(BitmapDecode, JPEGHuffmanDamageIsRefusedBeforeDecoding) {
  const std::string jpeg = sp::test::encodeJPEG(RGBAImage::gradient(16, 16));
  ASSERT_TRUE(decode(jpeg).IsValid());
  const size_t sos = jpeg.find("\xFF\xDA");
  const size_t dht = jpeg.find("\xFF\xC4");
  ASSERT_NE(sos, std::string::npos);
  ASSERT_NE(dht, std::string::npos);

  // Every component of the scan asks for DC table 2 and AC table 3, which no segment defines.
  std::string undefined = jpeg;
  const int components = static_cast<unsigned char>(jpeg[sos + 4]);
  for (int c = 0; c < components; ++c) undefined[sos + 6 + 2 * c] = static_cast<char>(0x23);
  // The first table claims 16 x 255 codes.
  std::string oversized = jpeg;
  for (int k = 0; k < 16; ++k) oversized[dht + 5 + k] = static_cast<char>(0xFF);

  for (const std::string* damaged : {&undefined, &oversized}) {
    const DecodedBitmap decoded = decode(*damaged);
    EXPECT_FALSE(decoded.IsValid());
    EXPECT_EQ(decoded.error, "corrupt JPEG: unusable Huffman tables");
  }
}
