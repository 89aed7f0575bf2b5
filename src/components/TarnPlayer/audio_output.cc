#include "audio_output.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tarnplayer {

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr size_t kBytesPerFrame = kChannels * sizeof(int16_t);
constexpr size_t kQueueCapBytes = kRate / 2 * kBytesPerFrame;  // 0.5 s

bool StartAudio() { return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; }

SDL_AudioDeviceID OpenDevice() {
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  want.samples = 1024;
  want.callback = nullptr;  // queued audio
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the device plays.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

int32_t VolumeGainQ15(int32_t hundredthsDb) {
  if (hundredthsDb <= -10000) return 0;
  if (hundredthsDb >= 0) return 32768;
  return static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, hundredthsDb / 2000.0)));
}

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput() { Close(); }

bool AudioOutput::Open() {
  std::lock_guard lock(mutex_);
  if (device_) return true;
  if (!sdlStarted_) sdlStarted_ = StartAudio();
  if (sdlStarted_) device_ = OpenDevice();
  if (!device_) {
    // No sound device (a server, a container): SDL's dummy driver consumes
    // the samples at the real rate so pacing stays the same.
    if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    sdlStarted_ = StartAudio();
    if (sdlStarted_) device_ = OpenDevice();
  }
  if (!device_) {
    if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlStarted_ = false;
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void AudioOutput::SetVolume(int32_t hundredthsDb) {
  std::lock_guard lock(mutex_);
  volume_ = std::clamp(hundredthsDb, -10000, 0);
  gainQ15_ = VolumeGainQ15(volume_);
}

void AudioOutput::Play(const int16_t* samples, size_t frames) {
  std::lock_guard lock(mutex_);
  if (!device_ || !samples || frames == 0) return;
  size_t bytes = frames * kBytesPerFrame;
  const size_t queued = SDL_GetQueuedAudioSize(device_);
  if (queued + bytes > kQueueCapBytes) {
    if (queued > 0) return;  // the clock runs ahead of the device: drop the block
    bytes = kQueueCapBytes;  // one block longer than the cap: keep its first half second
  }
  const size_t count = bytes / sizeof(int16_t);
  if (gainQ15_ == 32768) {
    SDL_QueueAudio(device_, samples, static_cast<Uint32>(bytes));
    return;
  }
  std::vector<int16_t> scaled(count);
  for (size_t i = 0; i < count; ++i) {
    scaled[i] = static_cast<int16_t>((static_cast<int32_t>(samples[i]) * gainQ15_) >> 15);
  }
  SDL_QueueAudio(device_, scaled.data(), static_cast<Uint32>(bytes));
}

void AudioOutput::Clear() {
  std::lock_guard lock(mutex_);
  if (device_) SDL_ClearQueuedAudio(device_);
}

void AudioOutput::Close() {
  std::lock_guard lock(mutex_);
  if (device_) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  if (sdlStarted_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlStarted_ = false;
  }
}

size_t AudioOutput::QueuedBytes() const {
  std::lock_guard lock(mutex_);
  return device_ ? SDL_GetQueuedAudioSize(device_) : 0;
}

}  // namespace tarnplayer
