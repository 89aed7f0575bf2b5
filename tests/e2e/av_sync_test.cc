// Picture and sound in step, and the length the user asked for. The
// "avsync" disc shows one white picture and sounds a 40 ms beep at every
// whole second of its 24 s title, which is made of three separately encoded
// pieces whose time stamps restart; a correct conversion keeps every beep
// on its flash across the joins and starts and ends where it was told to.
#include <gtest/gtest.h>

#include <cmath>

#include "media_probe.h"

namespace tarn::e2e {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;
// MP4 Player H.264 320x240 at 29.97 fps with 48 kHz AAC.
constexpr int kProfile = 81;
constexpr double kPicture = 1001.0 / 30000.0;

std::string Rip(const test::TempDir& home, const std::string& extra) {
  const CommandResult r = Cli(home, "rip " + kDiscs + "avsync --title 1 --yes --profile " + std::to_string(kProfile) +
                                        " --output-folder " + Quote(home / "out/") + " " + extra);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  return CompletedPath(r.out);
}

// Every beep lies within 40 ms of a flash, and both come once per second
// from `first` on.
void ExpectInStep(const std::vector<double>& flashes, const std::vector<double>& beeps, double first, size_t count) {
  ASSERT_EQ(flashes.size(), count);
  ASSERT_EQ(beeps.size(), count);
  for (size_t i = 0; i < count; ++i) {
    EXPECT_NEAR(beeps[i], flashes[i], 0.040) << "second " << i;
    EXPECT_NEAR(flashes[i], first + static_cast<double>(i), kPicture + 1e-3) << "second " << i;
  }
}

TEST(AvSync, EveryBeepLiesOnItsFlashOverTheWholeTitle) {
  test::TempDir home;
  const std::string file = Rip(home, "");
  ASSERT_FALSE(file.empty());
  ExpectInStep(FlashTimes(file), BeepTimes(file), 0.0, 24);
  EXPECT_NEAR(VideoLength(file), 24.0, kPicture + 1e-3);
  EXPECT_NEAR(AudioLength(file), 24.0, kPicture);
}

TEST(AvSync, ATrimmedRangeStartsAtItsPictureAndLastsItsLength) {
  // 2.5 s to 17.5 s crosses both joins, at 8 s and at 16 s.
  test::TempDir home;
  const std::string file = Rip(home, "--start 2.5 --end 17.5");
  ASSERT_FALSE(file.empty());
  ExpectInStep(FlashTimes(file), BeepTimes(file), 0.5, 15);
  EXPECT_NEAR(VideoLength(file), 15.0, kPicture + 1e-3);
  EXPECT_NEAR(AudioLength(file), 15.0, kPicture);
}

}  // namespace
}  // namespace tarn::e2e
