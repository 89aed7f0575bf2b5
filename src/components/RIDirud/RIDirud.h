// libRIDirud.so: the encoder library.
//
// The host fills one 300-byte init block, hands it to Video_to_X_init and then
// calls Video_to_X_do_Convert, which pulls the stream through the block's
// callbacks on the calling thread until StopTest says to finish, and writes
// the output file.
//
// The block keeps its fixed 300-byte layout of 4-byte fields on a 64-bit
// system: a text, callback or pointer field holds a 32-bit byte offset,
// counted from the start of the block, to where the real value lies in the
// block's extension area that directly follows the 300 bytes. A text field
// points at a NUL-terminated UTF-8 string; a callback or pointer field points
// at an 8-byte-aligned pointer value. An offset of 0 means "none" (an empty
// text, a null pointer). EncoderBlockText / EncoderBlockPointer resolve them.
#ifndef TARN_COMPONENTS_RIDIRUD_RIDIRUD_H
#define TARN_COMPONENTS_RIDIRUD_RIDIRUD_H

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" {

// What FetchMediaInfo reports about the stream (56 bytes).
struct MediaInfo {
  int32_t width;
  int32_t height;
  int32_t raten;   // frame rate numerator
  int32_t rated;   // frame rate denominator
  int32_t aspectn; // pixel aspect numerator
  int32_t aspectd; // pixel aspect denominator
  int32_t interlaced_frame;
  int32_t top_field_first;
  int32_t num_frames;
  int32_t audio_samples_per_second;
  int64_t num_audio_samples;
  int32_t sample_type;
  int32_t nchannels;
};

// A picture request: the time (microseconds) written twice, 16 bytes the
// host leaves alone, and the picture's duration (microseconds).
struct VideoRequest {
  int64_t time;
  int64_t time2;
  uint8_t reserved[16];
  int32_t duration;
  int32_t padding;
};

// An audio request: 8 unused bytes, then the sample-frame count (its low 32
// bits are used).
struct AudioRequest {
  uint8_t unused[8];
  int64_t count;
};

// Callbacks, all called on the thread inside Video_to_X_do_Convert.
// FetchMediaInfo returns the number of frames, or -1 to abort.
typedef int (*FetchMediaInfoFn)(MediaInfo* info);
// Copies one planar 4:2:0 picture of the reported size into destination;
// 0 = supplied (or nothing to supply yet), -1 = stop.
typedef int (*SupplyVideoFrameFn)(VideoRequest* request, unsigned char* destination);
// Copies request->count frames of 16-bit stereo PCM into destination;
// 0 = supplied (or nothing to supply), -1 = stop.
typedef int (*SupplyAudioFn)(void* ignored, unsigned char* destination, AudioRequest* request);
// 1 = stop, 0 = go on.
typedef int (*StopTestFn)();
// One diagnostic text (UTF-8).
typedef void (*EncoderLogFn)(const char* text);

// Field offsets inside the 300-byte block.
enum EncoderBlockOffset : uint32_t {
  kBlockScratchPath = 0,
  kBlockOutputFile = 4,
  kBlockFormat = 8,
  kBlockVideoCodec = 12,
  kBlockVideoBitrate = 16,
  kBlockAspect = 20,
  kBlockScaledSize = 24,
  kBlockFrameSize = 28,
  kBlockCrop = 32,
  kBlockFrameRate = 36,
  kBlockAudioCodec = 40,
  kBlockAudioBitrate = 44,
  kBlockSampleRate = 48,
  kBlockChannels = 52,
  kBlockReservedText = 56,
  kBlockReserved60 = 60,
  kBlockReserved64 = 64,
  kBlockThreads = 68,
  kBlockTvMode = 72,
  kBlockVolume = 76,       // float: (volume - 100) / 10
  kBlockFrameWidth = 80,
  kBlockFrameHeight = 84,
  kBlockStartTime = 88,    // double
  kBlockDuration = 96,     // double
  kBlockFloat104 = 104,
  kBlockInt108 = 108,
  kBlockInt112 = 112,
  kBlockTitle = 116,
  kBlockAuthor = 120,
  kBlockAlbum = 124,
  kBlockGenre = 128,
  kBlockYear = 132,
  kBlockTrack = 136,
  kBlockComment = 140,
  kBlockEmpty144 = 144,
  kBlockEmpty148 = 148,
  kBlockEmpty152 = 152,
  kBlockEmpty156 = 156,
  kBlockEmpty160 = 160,
  kBlockFetchMediaInfo = 164,
  kBlockSupplyVideoFrame = 168,
  kBlockSupplyAudio = 172,
  kBlockStopTest = 176,
  kBlockWindow = 180,
  kBlockEncoderLog = 184,
  kBlockInt188 = 188,
  kBlockFloat192 = 192,
  kBlockInt196 = 196,      // -1
  kBlockText200 = 200,     // char[100], zero-filled
  kEncoderBlockSize = 300,
};

// Entry points.
typedef int (*Video_to_X_init_Fn)(const unsigned char* block);
typedef int (*Video_to_X_do_Convert_Fn)();

__attribute__((visibility("default"))) int Video_to_X_init(const unsigned char* block);
__attribute__((visibility("default"))) int Video_to_X_do_Convert();
}

// Readers shared by the host's tests and the library.
inline int32_t EncoderBlockInt(const unsigned char* block, uint32_t offset) {
  int32_t v;
  std::memcpy(&v, block + offset, 4);
  return v;
}
inline float EncoderBlockFloat(const unsigned char* block, uint32_t offset) {
  float v;
  std::memcpy(&v, block + offset, 4);
  return v;
}
inline double EncoderBlockDouble(const unsigned char* block, uint32_t offset) {
  double v;
  std::memcpy(&v, block + offset, 8);
  return v;
}
// The text a text field refers to; "" for offset 0.
inline const char* EncoderBlockText(const unsigned char* block, uint32_t offset) {
  uint32_t ref;
  std::memcpy(&ref, block + offset, 4);
  return ref == 0 ? "" : reinterpret_cast<const char*>(block + ref);
}
// The pointer a callback or pointer field refers to; null for offset 0.
inline void* EncoderBlockPointer(const unsigned char* block, uint32_t offset) {
  uint32_t ref;
  std::memcpy(&ref, block + offset, 4);
  if (ref == 0) return nullptr;
  void* p;
  std::memcpy(&p, block + ref, sizeof p);
  return p;
}

#endif  // TARN_COMPONENTS_RIDIRUD_RIDIRUD_H
