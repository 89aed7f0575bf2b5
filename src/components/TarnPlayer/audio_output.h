// Sound output through SDL2 audio: 48 kHz stereo 16-bit, volume as gain,
// a short queue so a fast clock cannot make it grow.
#ifndef TARN_COMPONENTS_TARNPLAYER_AUDIO_OUTPUT_H
#define TARN_COMPONENTS_TARNPLAYER_AUDIO_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tarnplayer {

// The gain of a volume in hundredths of a decibel as a Q15 factor
// (32768 = unchanged, 0 = silent at -10000 and below).
int32_t VolumeGainQ15(int32_t hundredthsDb);

class AudioOutput {
 public:
  AudioOutput();
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // 48 kHz stereo 16-bit; uses SDL's dummy driver when no sound device exists
  // (sets SDL_AUDIODRIVER=dummy before init when the real init fails). False only when SDL cannot start at all.
  bool Open();
  void SetVolume(int32_t hundredthsDb);  // -10000 silent .. 0 full, applied as gain to the samples
  // Queues samples for playing. When more than 0.5 s is queued already (the clock runs faster
  // than real time) the block is dropped instead, so the queue never grows.
  void Play(const int16_t* samples, size_t frames);
  void Clear();  // drops what is queued (seek, title or menu change)
  void Close();

  // Bytes waiting in the device queue (0 when closed).
  size_t QueuedBytes() const;

 private:
  mutable std::mutex mutex_;
  uint32_t device_ = 0;
  bool sdlStarted_ = false;
  int32_t volume_ = 0;
  int32_t gainQ15_ = 32768;  // volume as a Q15 factor
};

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_AUDIO_OUTPUT_H
