// AudioOutput on SDL's dummy driver: opens without a sound device, keeps its
// queue at half a second however fast blocks come, and clears it.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio_output.h"

namespace tarnplayer {
namespace {

constexpr size_t kHalfSecondBytes = 48000 / 2 * 4;

TEST(AudioOutput, QueueNeverPassesHalfASecond) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  AudioOutput output;
  ASSERT_TRUE(output.Open());
  output.SetVolume(-600);
  std::vector<int16_t> block(4800 * 2, 1000);  // 0.1 s
  for (int i = 0; i < 20; ++i) {
    output.Play(block.data(), 4800);
    EXPECT_LE(output.QueuedBytes(), kHalfSecondBytes);
  }
  EXPECT_GE(output.QueuedBytes(), kHalfSecondBytes - 4800 * 4 * 2);  // it did fill up
  // One block longer than the cap keeps only half a second.
  output.Clear();
  EXPECT_EQ(output.QueuedBytes(), 0u);
  std::vector<int16_t> big(48000 * 2, 1000);
  output.Play(big.data(), 48000);
  EXPECT_LE(output.QueuedBytes(), kHalfSecondBytes);
  // Several threads may play and clear at once.
  std::thread other([&] {
    for (int i = 0; i < 50; ++i) output.Play(block.data(), 4800);
  });
  for (int i = 0; i < 50; ++i) {
    output.Clear();
    EXPECT_LE(output.QueuedBytes(), kHalfSecondBytes);
  }
  other.join();
  output.Close();
  EXPECT_EQ(output.QueuedBytes(), 0u);
  output.Play(block.data(), 4800);  // closed: ignored
  // It opens again after a close.
  ASSERT_TRUE(output.Open());
  output.Close();
}

// A driver that cannot start makes it fall back to the dummy driver.
TEST(AudioOutput, FallsBackToTheDummyDriver) {
  // Only meaningful while nothing else in the process holds SDL audio started.
  const bool sdlIdle = SDL_WasInit(SDL_INIT_AUDIO) == 0;
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  AudioOutput output;
  EXPECT_TRUE(output.Open());
  if (sdlIdle) {
    EXPECT_STREQ(std::getenv("SDL_AUDIODRIVER"), "dummy");
  }
  output.Close();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST(AudioOutput, VolumeIsGainInHundredthsOfDecibels) {
  EXPECT_EQ(VolumeGainQ15(0), 32768);
  EXPECT_EQ(VolumeGainQ15(100), 32768);
  EXPECT_EQ(VolumeGainQ15(-10000), 0);
  EXPECT_EQ(VolumeGainQ15(-20000), 0);
  EXPECT_NEAR(VolumeGainQ15(-600), 32768 * std::pow(10.0, -0.3), 1.0);   // -6 dB: about half
  EXPECT_NEAR(VolumeGainQ15(-2000), 3277, 1.0);                          // -20 dB: a tenth
}

}  // namespace
}  // namespace tarnplayer
