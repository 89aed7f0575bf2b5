// Subpictures in the pictures libTarnPlayer.so hands to the video callback:
// the feature disc's subtitle boxes show only while subtitles are on, in the
// chosen stream's colour, and the menu disc's highlight frame follows the
// selected button.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

constexpr int64_t kSecond = 10000000;
constexpr int kWidth = 352, kHeight = 288;

// Mean luma and chroma of a picture area.
struct Colour {
  double y = 0, cb = 0, cr = 0;
};

// A rectangle [x0,x1) x [y0,y1); with `frame` > 0 only the band of that
// width along its edges.
struct Area {
  int x0, y0, x1, y1, frame;
};

// The areas every picture is measured in (tests/discs/README.md): the inner
// part of the English (left) and French (right) subtitle boxes, which leaves
// out the edges the picture's chroma smears, and the 4-pixel frames of the
// menu's two buttons.
enum AreaIndex { kEnglishBox, kFrenchBox, kButton1Frame, kButton2Frame, kAreaCount };
constexpr Area kAreas[kAreaCount] = {
    {44, 236, 156, 252, 0},
    {196, 236, 308, 252, 0},
    {60, 80, 292, 120, 4},
    {60, 160, 292, 200, 4},
};

// Planar 4:2:0 with the given row pitches (luma; both chroma planes).
Colour Measure(const unsigned char* const planes[3], int lumaPitch, int chromaPitch, const Area& area) {
  double y = 0, cb = 0, cr = 0;
  int count = 0;
  for (int row = area.y0; row < area.y1; ++row) {
    for (int column = area.x0; column < area.x1; ++column) {
      bool inner = column >= area.x0 + area.frame && column < area.x1 - area.frame &&
                   row >= area.y0 + area.frame && row < area.y1 - area.frame;
      if (area.frame > 0 && inner) continue;
      int chroma = (row / 2) * chromaPitch + column / 2;
      y += planes[0][row * lumaPitch + column];
      cb += planes[1][chroma];
      cr += planes[2][chroma];
      ++count;
    }
  }
  return {y / count, cb / count, cr / count};
}

struct Sample {
  int64_t start;
  Colour areas[kAreaCount];
};

// The measured pictures, in arrival order.
class Samples {
 public:
  static Samples*& Current() {
    static Samples* current = nullptr;
    return current;
  }
  void Add(const Sample& sample) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      samples_.push_back(sample);
    }
    changed_.notify_all();
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    samples_.clear();
  }
  std::vector<Sample> Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
  }
  // Waits until one sample satisfies `match`; returns it through `found`.
  bool WaitFor(const std::function<bool(const Sample&)>& match, Sample* found, int timeoutMs = 15000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      for (const Sample& sample : samples_) {
        if (match(sample)) {
          *found = sample;
          return true;
        }
      }
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Sample> samples_;
};

int OnMeasuredVideo(int width, int height, int64_t streamTime, int64_t start, int64_t stop, unsigned char* picture) {
  if (width == kWidth && height == kHeight && Samples::Current()) {
    const unsigned char* planes[3] = {picture, picture + kWidth * kHeight,
                                      picture + kWidth * kHeight + kWidth * kHeight / 4};
    Sample sample{start, {}};
    for (int i = 0; i < kAreaCount; ++i) sample.areas[i] = Measure(planes, kWidth, kWidth / 2, kAreas[i]);
    Samples::Current()->Add(sample);
  }
  return OnVideo(width, height, streamTime, start, stop, picture);
}

// The video window's output: what the screen shows, measured like the
// callback's pictures.
class MeasuringSink : public IVideoSink {
 public:
  void Present(const VideoPicture& picture) override {
    if (picture.width != kWidth || picture.height != kHeight) return;
    Sample sample{0, {}};
    for (int i = 0; i < kAreaCount; ++i) {
      sample.areas[i] = Measure(picture.planes, picture.pitches[0], picture.pitches[1], kAreas[i]);
    }
    shown.Add(sample);
  }
  Samples shown;
};

class SubpictureTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Samples::Current() = &samples_;
  }
  void TearDown() override {
    EngineTest::TearDown();
    Samples::Current() = nullptr;
  }
  // Pictures of the play started last (PlayTitle, then samples_.Clear()):
  // those from the first one near the title's start on, so a picture of the
  // previous play still on its way is left out.
  static std::vector<Sample> SinceRestart(const std::vector<Sample>& samples) {
    auto first = std::find_if(samples.begin(), samples.end(), [](const Sample& s) { return s.start < kSecond; });
    return std::vector<Sample>(first, samples.end());
  }
  // Waits until the play started last reached `time` (100 ns).
  bool WaitForRestartedPictureAt(int64_t time) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      for (const Sample& sample : SinceRestart(samples_.Snapshot())) {
        if (sample.start >= time) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // The samples of the play started last whose start lies in [from, to).
  std::vector<Sample> Between(int64_t from, int64_t to) {
    std::vector<Sample> out;
    for (const Sample& sample : SinceRestart(samples_.Snapshot())) {
      if (sample.start >= from && sample.start < to) out.push_back(sample);
    }
    return out;
  }

  Samples samples_;
  // A member, so it outlives the graph even when a test stops half-way.
  MeasuringSink sink_;
};

// Subtitle boxes are opaque white (Y 235, Cb 128) or yellow (Y 210, Cb 16);
// the moving colour band of the picture beneath them never gets brighter
// than Y 175 there (its chroma takes every value, so only luma tells a box
// from the background, and chroma then tells white from yellow).
constexpr double kWhiteBoxLuma = 200;
constexpr double kYellowBoxLuma = 190;
constexpr double kYellowCbBelow = 64;

// The lowest and the highest value of one measure of one area over samples.
double Lowest(const std::vector<Sample>& samples, AreaIndex area, double Colour::*measure) {
  double lowest = 1e9;
  for (const Sample& sample : samples) lowest = std::min(lowest, sample.areas[area].*measure);
  return lowest;
}
double Highest(const std::vector<Sample>& samples, AreaIndex area, double Colour::*measure) {
  double highest = -1e9;
  for (const Sample& sample : samples) highest = std::max(highest, sample.areas[area].*measure);
  return highest;
}

TEST_F(SubpictureTest, SubtitleBoxShowsInTheStreamsColourOnlyWhileSubtitlesAreOn) {
  Start("feature/", 4.0, 0, OnMeasuredVideo);
  // Streams can be chosen once the title plays.
  ASSERT_EQ(graph_.dvd->PlayTitle(1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  ASSERT_EQ(graph_.dvd->SelectSubpictureStream(0, 0, nullptr), S_OK);
  ASSERT_EQ(graph_.dvd->SetSubpictureState(1, 0, nullptr), S_OK);
  uint32_t available = 0, current = 99;
  int32_t disabled = -1;
  ASSERT_EQ(graph_.info->GetCurrentSubpicture(&available, &current, &disabled), S_OK);
  EXPECT_EQ(available, 2u);
  EXPECT_EQ(current, 0u);
  EXPECT_EQ(disabled, 0);
  // Title 1 again from its start, so every picture measured below was made
  // with these settings.
  ASSERT_EQ(graph_.dvd->PlayTitle(1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  samples_.Clear();

  // English on: the white box shows from 2 s to 5 s and is gone at 6 s.
  ASSERT_TRUE(WaitForRestartedPictureAt(6 * kSecond + kSecond / 2));
  auto shown = Between(2 * kSecond + kSecond / 2, 4 * kSecond + kSecond / 2);
  auto gone = Between(6 * kSecond, 6 * kSecond + kSecond / 2);
  ASSERT_FALSE(shown.empty());
  ASSERT_FALSE(gone.empty());
  EXPECT_GT(Lowest(shown, kEnglishBox, &Colour::y), kWhiteBoxLuma);
  EXPECT_GT(Lowest(shown, kEnglishBox, &Colour::cb), 104) << "white, not yellow";
  EXPECT_LT(Highest(shown, kFrenchBox, &Colour::y), kYellowBoxLuma) << "the other stream shows";
  EXPECT_LT(Highest(gone, kEnglishBox, &Colour::y), kWhiteBoxLuma);
  EXPECT_GT(Lowest(shown, kEnglishBox, &Colour::y) - Highest(gone, kEnglishBox, &Colour::y), 40);

  // French, from the start again: the yellow box on the right.
  ASSERT_EQ(graph_.dvd->SelectSubpictureStream(1, 0, nullptr), S_OK);
  ASSERT_EQ(graph_.dvd->PlayTitle(1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  samples_.Clear();
  ASSERT_TRUE(WaitForRestartedPictureAt(5 * kSecond + kSecond / 2));
  shown = Between(2 * kSecond + kSecond / 2, 4 * kSecond + kSecond / 2);
  ASSERT_FALSE(shown.empty());
  EXPECT_GT(Lowest(shown, kFrenchBox, &Colour::y), kYellowBoxLuma);
  EXPECT_LT(Highest(shown, kFrenchBox, &Colour::cb), kYellowCbBelow) << "yellow, not white";
  EXPECT_LT(Highest(shown, kEnglishBox, &Colour::y), kWhiteBoxLuma) << "the other stream shows";

  // Subtitles off while playing: neither box shows from 12 s to 15 s.
  ASSERT_EQ(graph_.dvd->SetSubpictureState(0, 0, nullptr), S_OK);
  ASSERT_EQ(graph_.info->GetCurrentSubpicture(&available, &current, &disabled), S_OK);
  EXPECT_NE(disabled, 0);
  ASSERT_TRUE(WaitForRestartedPictureAt(15 * kSecond + kSecond / 2));
  auto hidden = Between(12 * kSecond + kSecond / 2, 14 * kSecond + kSecond / 2);
  ASSERT_FALSE(hidden.empty());
  EXPECT_LT(Highest(hidden, kEnglishBox, &Colour::y), kWhiteBoxLuma);
  EXPECT_LT(Highest(hidden, kFrenchBox, &Colour::y), kYellowBoxLuma);
}

// The menu's highlight is a yellow frame (Cb 16) around the selected button;
// the smptehdbars still beneath both buttons' frames is grey on average (Cb
// about 128).
bool Highlighted(const Colour& frame) { return frame.cb < kYellowCbBelow && frame.y > 150; }
bool Plain(const Colour& frame) { return frame.cb > 100; }

TEST_F(SubpictureTest, MenuHighlightFrameMarksTheSelectedButton) {
  Start("menu/", 0, 0, OnMeasuredVideo);
  ASSERT_EQ(graph_.window->put_Owner(&sink_), S_OK);
  ASSERT_TRUE(WaitForEvent(EC_DVD_STILL_ON));
  // The still picture handed to the callback carries button 1's highlight.
  Sample sample{};
  ASSERT_TRUE(samples_.WaitFor([](const Sample& s) { return Highlighted(s.areas[kButton1Frame]); }, &sample))
      << "button 1's frame never showed the highlight";
  EXPECT_TRUE(Plain(sample.areas[kButton2Frame])) << sample.areas[kButton2Frame].cb;
  EXPECT_GT(sample.areas[kButton1Frame].y - sample.areas[kButton2Frame].y, 40);

  // Selecting button 2 redraws the still on the screen with the frame moved.
  ASSERT_EQ(graph_.dvd->SelectRelativeButton(DVD_Relative_Lower), S_OK);
  ASSERT_TRUE(sink_.shown.WaitFor([](const Sample& s) { return Highlighted(s.areas[kButton2Frame]); }, &sample))
      << "the highlight never moved to button 2";
  EXPECT_TRUE(Plain(sample.areas[kButton1Frame])) << sample.areas[kButton1Frame].cb;
  ASSERT_EQ(graph_.window->put_Owner(nullptr), S_OK);
}

}  // namespace
}  // namespace tarnplayer::test
