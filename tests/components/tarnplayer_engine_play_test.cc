// libTarnPlayer.so end to end on the authored discs: opening, playing a
// title through the callbacks, the title timeline and the pacing.
#include <gtest/gtest.h>

#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

TEST_F(EngineTest, OpenRefusesWhatIsNoPlayableDiscAndLeavesNothingOpen) {
  for (const char* bad : {"damaged/empty", "damaged/random", "damaged/truncated-vmg", "no-such-folder",
                          "menu/VIDEO_TS/VIDEO_TS.IFO"}) {
    Graph graph;
    EXPECT_FALSE(graph.Open(library_, DiscPath(bad))) << bad;
  }
  // Nothing stayed open: a good disc opens now, in each accepted form.
  for (const char* good : {"feature/", "feature/VIDEO_TS/", "menu.iso"}) {
    Graph graph;
    ASSERT_TRUE(graph.Open(library_, DiscPath(good))) << good;
    ASSERT_NE(graph.control, nullptr);
    ASSERT_NE(graph.info, nullptr);
    uint32_t titles = 0;
    EXPECT_EQ(graph.info->GetDVDVolumeInfo(nullptr, nullptr, nullptr, &titles), S_OK);
    EXPECT_EQ(titles, std::string(good) == "menu.iso" ? 2u : 4u);
    // Only one graph at a time.
    Graph second;
    EXPECT_FALSE(second.Open(library_, DiscPath("short/")));
    graph.Release();
    library_.close();
  }
}

TEST_F(EngineTest, FeatureTitlePlaysPicturesAndAudioOnOneRisingTimeline) {
  Start("feature/", 0, 1);  // unpaced: as fast as it decodes
  ASSERT_TRUE(WaitForPictureAt(8 * 10000000LL));
  auto log = recorder_.Snapshot();
  auto pictures = Pictures(log);
  ASSERT_GT(pictures.size(), 150u);
  EXPECT_EQ(pictures.front().width, 352);
  EXPECT_EQ(pictures.front().height, 288);
  EXPECT_LT(pictures.front().start, 400000);  // the title starts at its beginning
  for (size_t i = 1; i < pictures.size(); ++i) {
    ASSERT_GT(pictures[i].start, pictures[i - 1].start) << i;
    EXPECT_EQ(pictures[i].stop - pictures[i].start, 400000) << i;
  }
  // The audio up to the last picture covers the same stretch of the title:
  // no block lost, none doubled.
  int64_t videoEnd = pictures.back().stop;
  int64_t audioLength = 0, audioStart = -1;
  for (const Happening& h : log) {
    if (h.kind != Happening::Audio || h.start >= videoEnd) continue;
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.rate, 48000);
    if (audioStart < 0) audioStart = h.start;
    audioLength += int64_t(h.samples) * 10000000 / 48000;
  }
  EXPECT_NEAR(double(audioLength), double(videoEnd - audioStart), 0.1e7);
  EXPECT_NEAR(double(audioStart), double(pictures.front().start), 0.2e7);
  EXPECT_TRUE(HasEvent(log, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title));
  EXPECT_TRUE(HasEvent(log, EC_DVD_TITLE_CHANGE, 1));
}

TEST_F(EngineTest, WholeTitleAudioLengthMatchesItsPictures) {
  Start("short/", 0, 2);
  ASSERT_TRUE(WaitForEvent(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 20000));
  auto log = recorder_.Snapshot();
  auto pictures = Pictures(log);
  ASSERT_FALSE(pictures.empty());
  int64_t videoLength = pictures.back().stop - pictures.front().start;
  EXPECT_NEAR(double(videoLength), 30.0e7, 0.2e7);
  EXPECT_NEAR(double(AudioLength(log)), double(videoLength), 0.2e7);
}

}  // namespace
}  // namespace tarnplayer::test
