// The encoder settings filled from shipped profiles and the 300-byte init
// block built from them.
#include <gtest/gtest.h>

#include <cstring>

#include "app/settings.h"
#include "convert/encoder_init_block.h"
#include "convert/encoder_settings.h"
#include "convert/output_geometry.h"
#include "convert/output_naming.h"
#include "platform/message_queue.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"

namespace tarn {
namespace {

int FakeFetch(MediaInfo*) { return 1; }
int FakeVideo(VideoRequest*, unsigned char*) { return 0; }
int FakeAudio(void*, unsigned char*, AudioRequest*) { return 0; }
int FakeStop() { return 1; }
void FakeLog(const char*) {}

class EncoderBlock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(catalogue_.Load(test::SourceDir() + "data/")); }

  AVOutputProfile& Profile(int32_t id) {
    catalogue_.SelectProfileById(id);
    AVOutputProfile* p = catalogue_.CurrentProfile();
    EXPECT_EQ(p->listIndex, id);
    return *p;
  }

  ProfileCatalogue catalogue_;
};

TEST_F(EncoderBlock, EveryFieldOfAnMp4Encode) {
  AVOutputProfile& profile = Profile(0);  // MP4 Original Size
  profile.volume = 120.0f;
  AppSettings settings;
  settings.encoderThreads = 4;
  settings.outputName = "Film";
  settings.author = "Ann";
  settings.album = "Alb";
  settings.genre = "Rock";
  settings.year = "2001";
  settings.track = "3";
  settings.comment = "Nice";
  OutputGeometryResult geometry{"864x484", "864x484", "704:480:8:0", 864, 484};
  platform::MessageQueue window([](const platform::Message&) -> intptr_t { return 0; });

  const EncoderSettings s = MakeEncoderSettings(profile, settings, geometry, "/cfg/tarn.drp", "/out/Film[1].mp4", &window);
  EXPECT_EQ(s.scaledSize, "864:484");
  EXPECT_EQ(s.frameSize, "864:484");
  EXPECT_EQ(s.crop, "704:480:8:0");

  const EncoderCallbacks callbacks{&FakeFetch, &FakeVideo, &FakeAudio, &FakeStop, &FakeLog};
  const EncoderInitBlock block(s, callbacks);
  const unsigned char* b = block.data();
  ASSERT_GE(block.size(), 300u);

  struct Text {
    uint32_t offset;
    const char* value;
  } texts[] = {
      {kBlockScratchPath, "/cfg/tarn.drp"}, {kBlockOutputFile, "/out/Film[1].mp4"}, {kBlockFormat, "mp4"},
      {kBlockVideoCodec, "h264"},           {kBlockVideoBitrate, "1500"},          {kBlockAspect, "Keep original aspect rate"},
      {kBlockScaledSize, "864:484"},        {kBlockFrameSize, "864:484"},          {kBlockCrop, "704:480:8:0"},
      {kBlockFrameRate, "29.97"},           {kBlockAudioCodec, "aac"},             {kBlockAudioBitrate, "128"},
      {kBlockSampleRate, "48000"},          {kBlockChannels, "2"},                 {kBlockReservedText, ""},
      {kBlockTitle, "Film"},                {kBlockAuthor, "Ann"},                 {kBlockAlbum, "Alb"},
      {kBlockGenre, "Rock"},                {kBlockYear, "2001"},                  {kBlockTrack, "3"},
      {kBlockComment, "Nice"},              {kBlockEmpty144, ""},                  {kBlockEmpty148, ""},
      {kBlockEmpty152, ""},                 {kBlockEmpty156, ""},                  {kBlockEmpty160, ""},
  };
  for (const auto& t : texts) EXPECT_STREQ(EncoderBlockText(b, t.offset), t.value) << "offset " << t.offset;

  EXPECT_EQ(EncoderBlockInt(b, kBlockReserved60), 0);
  EXPECT_EQ(EncoderBlockInt(b, kBlockReserved64), 0);
  EXPECT_EQ(EncoderBlockInt(b, kBlockThreads), 4);
  EXPECT_EQ(EncoderBlockInt(b, kBlockTvMode), 0);
  EXPECT_FLOAT_EQ(EncoderBlockFloat(b, kBlockVolume), 2.0f);
  EXPECT_EQ(EncoderBlockInt(b, kBlockFrameWidth), 864);
  EXPECT_EQ(EncoderBlockInt(b, kBlockFrameHeight), 484);
  EXPECT_EQ(EncoderBlockDouble(b, kBlockStartTime), 0.0);
  EXPECT_EQ(EncoderBlockDouble(b, kBlockDuration), 0.0);
  EXPECT_EQ(EncoderBlockFloat(b, kBlockFloat104), 0.0f);
  EXPECT_EQ(EncoderBlockInt(b, kBlockInt108), 0);
  EXPECT_EQ(EncoderBlockInt(b, kBlockInt112), 0);
  EXPECT_EQ(EncoderBlockPointer(b, kBlockFetchMediaInfo), reinterpret_cast<void*>(&FakeFetch));
  EXPECT_EQ(EncoderBlockPointer(b, kBlockSupplyVideoFrame), reinterpret_cast<void*>(&FakeVideo));
  EXPECT_EQ(EncoderBlockPointer(b, kBlockSupplyAudio), reinterpret_cast<void*>(&FakeAudio));
  EXPECT_EQ(EncoderBlockPointer(b, kBlockStopTest), reinterpret_cast<void*>(&FakeStop));
  EXPECT_EQ(EncoderBlockPointer(b, kBlockWindow), static_cast<void*>(&window));
  EXPECT_EQ(EncoderBlockPointer(b, kBlockEncoderLog), reinterpret_cast<void*>(&FakeLog));
  EXPECT_EQ(EncoderBlockInt(b, kBlockInt188), 0);
  EXPECT_EQ(EncoderBlockFloat(b, kBlockFloat192), 0.0f);
  EXPECT_EQ(EncoderBlockInt(b, kBlockInt196), -1);
  for (int i = 200; i < 300; ++i) EXPECT_EQ(b[i], 0) << "byte " << i;

  // Every reference points into the extension after the 300 bytes, and
  // pointer values lie 8-byte aligned.
  for (uint32_t off = 0; off < 200; off += 4) {
    const bool referenceField = off <= 56 || (off >= 116 && off <= 160) || (off >= 164 && off <= 184);
    if (!referenceField) continue;
    uint32_t ref;
    std::memcpy(&ref, b + off, 4);
    if (ref == 0) continue;
    EXPECT_GE(ref, 300u) << off;
    EXPECT_LT(ref, block.size()) << off;
    if (off >= 164) {
      EXPECT_EQ(ref % 8, 0u) << off;
    }
  }
}

TEST_F(EncoderBlock, NullCallbacksAndEmptyTextsAreZeroReferences) {
  EncoderSettings s;
  const EncoderInitBlock block(s, EncoderCallbacks{});
  const unsigned char* b = block.data();
  EXPECT_EQ(EncoderBlockPointer(b, kBlockStopTest), nullptr);
  EXPECT_EQ(EncoderBlockPointer(b, kBlockWindow), nullptr);
  EXPECT_STREQ(EncoderBlockText(b, kBlockOutputFile), "");
  EXPECT_EQ(EncoderBlockInt(b, kBlockOutputFile), 0);
  EXPECT_EQ(EncoderBlockInt(b, kBlockInt196), -1);
}

TEST_F(EncoderBlock, TvModeAspectAndChannelsFollowTheCurrentChoices) {
  AVOutputProfile& tv = Profile(10);  // TV Video NTSC / PAL
  ASSERT_TRUE(tv.tvMode.Choose(1));
  ASSERT_TRUE(tv.channels.Choose(0));  // "1"
  int sixteenNine = -1;
  for (const auto& item : tv.aspectRate.valueList)
    if (item->value == "16:9") sixteenNine = item->index;
  ASSERT_GE(sixteenNine, 0);
  ASSERT_TRUE(tv.aspectRate.Choose(sixteenNine));
  const EncoderSettings s = MakeEncoderSettings(tv, AppSettings(), OutputGeometryResult{}, "d", "o", nullptr);
  EXPECT_EQ(s.tvMode, 1);
  EXPECT_EQ(s.aspect, "16/9");
  EXPECT_EQ(s.channels, "1");
  EXPECT_EQ(s.volume, 0.0f);  // volume 100 unless changed
  EXPECT_EQ(s.format, "mp4");
  EXPECT_EQ(s.videoCodec, "mpeg4");
}

TEST_F(EncoderBlock, AudioOnlyFormatsEncodeToTempMp3WithTheThreeOverrides) {
  struct Case {
    int32_t id;
    const char* format;
    bool audioOnly;
  } cases[] = {{300, "m4a", true}, {301, "amr", true}, {307, "wav", true}, {308, "au", true}, {302, "mp3", false}};
  for (const auto& c : cases) {
    AVOutputProfile& p = Profile(c.id);
    ASSERT_EQ(p.format, c.format);
    p.channels.Choose(0);
    p.sampleRate.Choose(0);
    const std::string target = EncoderTargetPath("/out/", p.format, p.audioCodec.value, "/out/Song.x");
    const EncoderSettings s = MakeEncoderSettings(p, AppSettings(), OutputGeometryResult{}, "d", target, nullptr);
    EXPECT_EQ(IsAudioOnlyFormat(p.format), c.audioOnly) << c.format;
    if (c.audioOnly) {
      EXPECT_EQ(s.outputFile, "/out/temp.mp3") << c.format;
      EXPECT_EQ(s.audioBitrate, "128") << c.format;
      EXPECT_EQ(s.sampleRate, "44100") << c.format;
      EXPECT_EQ(s.channels, "2") << c.format;
    } else {
      EXPECT_EQ(s.outputFile, "/out/Song.x");
      EXPECT_EQ(s.audioBitrate, p.audioBitrate.value);
      EXPECT_EQ(s.sampleRate, p.sampleRate.value);
      EXPECT_EQ(s.channels, p.channels.value.substr(0, 1));
    }
  }
}

TEST_F(EncoderBlock, AmrPhoneProfileKeepsItsOwnAudioValues) {
  AVOutputProfile& p = Profile(21);  // 3GP H.263 176x144 AMR
  ASSERT_EQ(p.format, "3ggp");
  const std::string target = EncoderTargetPath("/o/", p.format, p.audioCodec.value, "/o/A.3gp");
  const EncoderSettings s = MakeEncoderSettings(p, AppSettings(), OutputGeometryResult{}, "d", target, nullptr);
  EXPECT_EQ(s.outputFile, "/o/temp.3gp");
  EXPECT_EQ(s.audioCodec, "amr_nb");
  EXPECT_EQ(s.audioBitrate, "7.95");
  EXPECT_EQ(s.sampleRate, "8000");
  EXPECT_EQ(s.channels, "1");
  EXPECT_EQ(s.frameRate, "15");
}

}  // namespace
}  // namespace tarn
