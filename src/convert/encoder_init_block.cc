#include "convert/encoder_init_block.h"

#include <bit>
#include <cstring>

namespace tarn {

// The layout the encoder reads: every offset as the library header names it.
static_assert(std::endian::native == std::endian::little, "the init block is little-endian");
static_assert(kBlockScratchPath == 0 && kBlockOutputFile == 4 && kBlockFormat == 8 && kBlockVideoCodec == 12);
static_assert(kBlockVideoBitrate == 16 && kBlockAspect == 20 && kBlockScaledSize == 24 && kBlockFrameSize == 28);
static_assert(kBlockCrop == 32 && kBlockFrameRate == 36 && kBlockAudioCodec == 40 && kBlockAudioBitrate == 44);
static_assert(kBlockSampleRate == 48 && kBlockChannels == 52 && kBlockReservedText == 56);
static_assert(kBlockReserved60 == 60 && kBlockReserved64 == 64 && kBlockThreads == 68 && kBlockTvMode == 72);
static_assert(kBlockVolume == 76 && kBlockFrameWidth == 80 && kBlockFrameHeight == 84);
static_assert(kBlockStartTime == 88 && kBlockDuration == 96 && kBlockFloat104 == 104);
static_assert(kBlockInt108 == 108 && kBlockInt112 == 112 && kBlockTitle == 116 && kBlockAuthor == 120);
static_assert(kBlockAlbum == 124 && kBlockGenre == 128 && kBlockYear == 132 && kBlockTrack == 136);
static_assert(kBlockComment == 140 && kBlockEmpty144 == 144 && kBlockEmpty160 == 160);
static_assert(kBlockFetchMediaInfo == 164 && kBlockSupplyVideoFrame == 168 && kBlockSupplyAudio == 172);
static_assert(kBlockStopTest == 176 && kBlockWindow == 180 && kBlockEncoderLog == 184);
static_assert(kBlockInt188 == 188 && kBlockFloat192 == 192 && kBlockInt196 == 196 && kBlockText200 == 200);
static_assert(kBlockText200 + 100 == kEncoderBlockSize && kEncoderBlockSize == 300);
static_assert(sizeof(float) == 4 && sizeof(double) == 8);
static_assert(sizeof(MediaInfo) == 56);

EncoderInitBlock::EncoderInitBlock(const EncoderSettings& s, const EncoderCallbacks& cb)
    : bytes_(kEncoderBlockSize, 0) {
  PutText(kBlockScratchPath, s.scratchPath);
  PutText(kBlockOutputFile, s.outputFile);
  PutText(kBlockFormat, s.format);
  PutText(kBlockVideoCodec, s.videoCodec);
  PutText(kBlockVideoBitrate, s.videoBitrate);
  PutText(kBlockAspect, s.aspect);
  PutText(kBlockScaledSize, s.scaledSize);
  PutText(kBlockFrameSize, s.frameSize);
  PutText(kBlockCrop, s.crop);
  PutText(kBlockFrameRate, s.frameRate);
  PutText(kBlockAudioCodec, s.audioCodec);
  PutText(kBlockAudioBitrate, s.audioBitrate);
  PutText(kBlockSampleRate, s.sampleRate);
  PutText(kBlockChannels, s.channels);
  PutText(kBlockReservedText, s.reservedText);
  PutInt(kBlockReserved60, s.reserved60);
  PutInt(kBlockReserved64, s.reserved64);
  PutInt(kBlockThreads, s.threads);
  PutInt(kBlockTvMode, s.tvMode);
  PutFloat(kBlockVolume, s.volume);
  PutInt(kBlockFrameWidth, s.frameWidth);
  PutInt(kBlockFrameHeight, s.frameHeight);
  PutDouble(kBlockStartTime, s.startTime);
  PutDouble(kBlockDuration, s.duration);
  PutFloat(kBlockFloat104, s.float104);
  PutInt(kBlockInt108, s.int108);
  PutInt(kBlockInt112, s.int112);
  PutText(kBlockTitle, s.title);
  PutText(kBlockAuthor, s.author);
  PutText(kBlockAlbum, s.album);
  PutText(kBlockGenre, s.genre);
  PutText(kBlockYear, s.year);
  PutText(kBlockTrack, s.track);
  PutText(kBlockComment, s.comment);
  // 144..160: five texts that stay empty (offset 0).
  PutPointer(kBlockFetchMediaInfo, reinterpret_cast<const void*>(cb.fetchMediaInfo));
  PutPointer(kBlockSupplyVideoFrame, reinterpret_cast<const void*>(cb.supplyVideoFrame));
  PutPointer(kBlockSupplyAudio, reinterpret_cast<const void*>(cb.supplyAudio));
  PutPointer(kBlockStopTest, reinterpret_cast<const void*>(cb.stopTest));
  PutPointer(kBlockWindow, s.window);
  PutPointer(kBlockEncoderLog, reinterpret_cast<const void*>(cb.encoderLog));
  PutInt(kBlockInt188, s.int188);
  PutFloat(kBlockFloat192, s.float192);
  PutInt(kBlockInt196, s.int196);
  // 200..300: a zero-filled text, already zero.
}

void EncoderInitBlock::PutInt(uint32_t offset, int32_t v) { std::memcpy(&bytes_[offset], &v, 4); }
void EncoderInitBlock::PutFloat(uint32_t offset, float v) { std::memcpy(&bytes_[offset], &v, 4); }
void EncoderInitBlock::PutDouble(uint32_t offset, double v) { std::memcpy(&bytes_[offset], &v, 8); }

uint32_t EncoderInitBlock::Append(const void* data, size_t size, size_t alignment) {
  size_t at = (bytes_.size() + alignment - 1) / alignment * alignment;
  bytes_.resize(at + size, 0);
  std::memcpy(&bytes_[at], data, size);
  return static_cast<uint32_t>(at);
}

void EncoderInitBlock::PutText(uint32_t offset, const std::string& text) {
  uint32_t ref = 0;
  if (!text.empty()) ref = Append(text.c_str(), text.size() + 1, 1);
  std::memcpy(&bytes_[offset], &ref, 4);
}

void EncoderInitBlock::PutPointer(uint32_t offset, const void* pointer) {
  uint32_t ref = 0;
  if (pointer) ref = Append(&pointer, sizeof pointer, alignof(void*));
  std::memcpy(&bytes_[offset], &ref, 4);
}

}  // namespace tarn
