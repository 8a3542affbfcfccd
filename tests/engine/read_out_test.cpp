#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/image_file.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::CountingProgress;
using testing::DirectRig;
using testing::PatternBytes;
using testing::ReadFile;
using testing::Route;
using testing::TempDir;

struct RoundTrip {
  int width;
  std::uint16_t block;
  std::uint16_t size;
};

class ReadOutRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// What is read out loads back into the same bytes at the same addresses.
TEST_P(ReadOutRoundTrip, LoadsBackIntoTheSameBytes) {
  const RoundTrip& trip = GetParam();
  std::size_t partSize = trip.width == 2 ? 16384 : 256;
  DirectRig rig(Route::Feature, {}, partSize);
  rig.Eeprom() = PatternBytes(partSize);
  TempDir dir;
  CountingProgress progress;
  std::string file = dir.File("out.hex");

  ASSERT_EQ(ReadOutToFile(rig.context, progress, file.c_str(), 0x51, 0, trip.size, trip.block, trip.width), 0);
  EXPECT_EQ(progress.steps, trip.size / trip.block);

  std::vector<std::uint8_t> loaded(65535, 0);
  ASSERT_EQ(ReadImageFile(file.c_str(), loaded.data(), 65535), trip.size);
  for (std::size_t i = 0; i < trip.size; ++i)
    ASSERT_EQ(loaded[i], rig.Eeprom()[i % partSize]) << "address " << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadOutRoundTrip,
                         ::testing::Values(RoundTrip{2, 16, 0}, RoundTrip{2, 16, 1}, RoundTrip{2, 16, 20},
                                           RoundTrip{2, 8, 20}, RoundTrip{2, 16, 256}, RoundTrip{2, 8, 256},
                                           RoundTrip{2, 16, 16384}, RoundTrip{1, 16, 1}, RoundTrip{1, 8, 20},
                                           RoundTrip{1, 16, 256}));

TEST(ReadOut, WritesOneLinePerBlockInTheImageFormat) {
  DirectRig rig(Route::Driver);
  for (int i = 0; i < 20; ++i) rig.Eeprom()[i] = static_cast<std::uint8_t>(i);
  TempDir dir;
  CountingProgress progress;
  ASSERT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 20, 16, 2), 0);
#ifdef _WIN32
  const std::string lineEnd = "\r\n";  // the file is written in text mode
#else
  const std::string lineEnd = "\n";
#endif
  std::string expected = "@0000 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f " + lineEnd + "@0010 10 11 12 13 " + lineEnd;
  EXPECT_EQ(ReadFile(dir.File("a.hex")), expected);
  EXPECT_EQ(progress.steps, 1);  // none for the shorter last block
}

TEST(ReadOut, OneByteSubaddressingWrapsTheSubaddressButNotTheLineHead) {
  DirectRig rig(Route::Driver, {}, 256);
  rig.Eeprom() = PatternBytes(256);
  TempDir dir;
  CountingProgress progress;
  ASSERT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 272, 16, 1), 0);
  std::string text = ReadFile(dir.File("a.hex"));
  EXPECT_NE(text.find("@0100 "), std::string::npos);
  EXPECT_EQ(rig.Trace().back(), "filterdriver bus-read dev=51 sub=00 len=16 result=ok");
}

TEST(ReadOut, FailedReadKeepsTheOldFileAndReturnsTheReadsCode) {
  sim::BoardConfig config;
  config.failAfter = 3;  // two blocks are read, the third finds the board gone
  DirectRig rig(Route::Driver, config);
  TempDir dir;
  std::string file = dir.File("keep.hex");
  testing::WriteFile(file, "@0000 01 02 \n");
  CountingProgress progress;

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReadOutToFile(rig.context, progress, file.c_str(), 0x51, 0, 64, 16, 2), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "could not read from EEPROM");
  EXPECT_EQ(ReadFile(file), "@0000 01 02 \n");
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path().filename(), "keep.hex");  // no leftovers
}

TEST(ReadOut, RefusesWhatItCannotDo) {
  DirectRig rig(Route::Driver);
  TempDir dir;
  CountingProgress progress;
  EXPECT_EQ(ReadOutToFile(rig.context, progress, nullptr, 0x51, 0, 16, 16, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 64, 32, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 64, 0, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("no/such/dir.hex").c_str(), 0x51, 0, 16, 16, 2), 1);
  EXPECT_TRUE(rig.Trace().empty());
}

}  // namespace
}  // namespace tessora
