#pragma once
// The two callbacks the capture engine calls for every decoded picture and
// PCM block (handed to TarnPlayMedia). They run the timestamp repair on the
// process-wide frame exchange, job range, conversion state, rip progress
// record, current core position, settings and virtual clock.
#include <cstdint>

namespace tarn {

extern "C" {
// 1: the preview may show the picture, 0: it must not.
int OnVideoFrame(int width, int height, int64_t streamTime, int64_t start, int64_t stop, unsigned char* pixels);
// 1 while recording; when not recording -1 while a title seek is pending, else 0.
int OnAudioBlock(int channels, int sampleRate, int samplesPerChannel, int64_t start, unsigned char* samples);
}

}  // namespace tarn
