// Reading the init block and turning its texts into an output plan.
#include <gtest/gtest.h>

#include "encoder_settings.h"
#include "output_plan.h"
#include "ridirud_test_host.h"

namespace {

using ridirud::BuildOutputPlan;
using ridirud::OutputPlan;

MediaInfo DvdInfo() {
  MediaInfo info{};
  info.width = 720;
  info.height = 480;
  info.raten = 30000;
  info.rated = 1001;
  return info;
}

ridirud::EncoderSettings Settings(const tarn::test::EncodeProfile& p) {
  tarn::test::TestEncoderHost host({});
  tarn::test::EncoderBlockBuilder block;
  host.FillBlock(block, p, "/tmp/out.mp4", {"Title", "Author", "Album", "Genre", "2026", "3", "Comment"});
  return ridirud::ReadEncoderSettings(block.data());
}

TEST(EncoderSettingsTest, ReadsTextsNumbersAndCallbacksThroughTheirOffsets) {
  tarn::test::EncodeProfile p{"psp-avc", "h264", "768", "480:272", "480:270", "704:480:8:0", "29.97",
                              "aac", "128", "48000", "2"};
  p.volume = 150.0f;
  p.threads = 3;
  p.aspect = "16:9";
  ridirud::EncoderSettings s = Settings(p);
  EXPECT_EQ(s.output_file, "/tmp/out.mp4");
  EXPECT_EQ(s.scratch_path, "/tmp/out.mp4.drp");
  EXPECT_EQ(s.format, "psp-avc");
  EXPECT_EQ(s.video_codec, "h264");
  EXPECT_EQ(s.aspect, "16/9");
  EXPECT_EQ(s.scaled_size, "480:270");
  EXPECT_EQ(s.frame_size, "480:272");
  EXPECT_EQ(s.crop, "704:480:8:0");
  EXPECT_EQ(s.frame_rate, "29.97");
  EXPECT_EQ(s.channels, "2");
  EXPECT_EQ(s.threads, 3);
  EXPECT_FLOAT_EQ(s.volume_offset, 5.0f);
  EXPECT_EQ(s.frame_width, 480);
  EXPECT_EQ(s.frame_height, 272);
  EXPECT_EQ(s.title, "Title");
  EXPECT_EQ(s.comment, "Comment");
  EXPECT_NE(s.callbacks.fetch_media_info, nullptr);
  EXPECT_NE(s.callbacks.supply_video_frame, nullptr);
  EXPECT_NE(s.callbacks.supply_audio, nullptr);
  EXPECT_NE(s.callbacks.stop_test, nullptr);
  EXPECT_NE(s.callbacks.log, nullptr);
}

TEST(EncoderSettingsTest, ValueTexts) {
  auto rate = [](const char* t) {
    auto r = ridirud::ParseFrameRateText(t);
    return r ? std::to_string(r->num) + "/" + std::to_string(r->den) : std::string("none");
  };
  EXPECT_EQ(rate("29.97"), "30000/1001");
  EXPECT_EQ(rate("23.976"), "24000/1001");
  EXPECT_EQ(rate("15"), "15/1");
  EXPECT_EQ(rate("12.5"), "12500/1000");
  EXPECT_EQ(rate("None"), "none");
  EXPECT_EQ(rate("0"), "none");
  EXPECT_EQ(ridirud::ParseKbpsText("7.95"), 7950);
  EXPECT_EQ(ridirud::ParseKbpsText("1411.2"), 1411200);
  EXPECT_FALSE(ridirud::ParseKbpsText("None"));
  EXPECT_FALSE(ridirud::ParseKbpsText("-5"));
  EXPECT_FALSE(ridirud::ParseSizeText("Original"));
  EXPECT_EQ(ridirud::ParseSizeText("864x486")->height, 486);
  EXPECT_FALSE(ridirud::ParseSizeText("0:240"));
  EXPECT_EQ(ridirud::ParseCropText("")->width, 0);
  EXPECT_EQ(ridirud::ParseCropText("704:480:8:0")->left, 8);
  EXPECT_FALSE(ridirud::ParseCropText("704:480:8"));
  EXPECT_FALSE(ridirud::ParseCropText("a:b:c:d"));
  EXPECT_NEAR(*ridirud::ParseAspectText("16/9"), 16.0 / 9.0, 1e-9);
  EXPECT_FALSE(ridirud::ParseAspectText("Keep original aspect rate"));
}

TEST(EncoderSettingsTest, VolumeSliderPercentIsTheGain) {
  // The block holds (volume - 100) / 10 for a slider of 10..200 percent.
  EXPECT_DOUBLE_EQ(ridirud::VolumeGain(0.0f), 1.0);
  EXPECT_DOUBLE_EQ(ridirud::VolumeGain(10.0f), 2.0);
  EXPECT_DOUBLE_EQ(ridirud::VolumeGain(-5.0f), 0.5);
  EXPECT_NEAR(ridirud::VolumeGain(-9.0f), 0.1, 1e-6);
  EXPECT_DOUBLE_EQ(ridirud::VolumeGain(-20.0f), 0.0);
}

TEST(OutputPlanTest, FormatCodesChooseTheMuxer) {
  EXPECT_EQ(ridirud::MuxerForFormat("3ggp"), "3gp");
  EXPECT_EQ(ridirud::MuxerForFormat("3ggp2"), "3g2");
  EXPECT_EQ(ridirud::MuxerForFormat("psp-mp4"), "psp");
  EXPECT_EQ(ridirud::MuxerForFormat("psp-avc"), "psp");
  EXPECT_EQ(ridirud::MuxerForFormat("flv"), "flv");
  EXPECT_EQ(ridirud::MuxerForFormat("swf"), "swf");
  EXPECT_EQ(ridirud::MuxerForFormat("mp4"), "mp4");
  EXPECT_EQ(ridirud::MuxerForFormat("mp3"), "mp3");
  EXPECT_EQ(ridirud::MuxerForFormat("wav"), "mp3");  // the intermediate MP3 of the audio formats
  EXPECT_EQ(ridirud::MuxerForFormat("avi"), "");
}

TEST(OutputPlanTest, GeometryFromTheTexts) {
  OutputPlan plan;
  std::string error;
  // "Original" frame: the source size; crop kept inside the picture on even lines.
  ASSERT_TRUE(BuildOutputPlan(Settings({"mp4", "h264", "1500", "Original", "720:480", "701:481:9:3", "29.97",
                                        "aac", "128", "48000", "2"}),
                              DvdInfo(), &plan, &error))
      << error;
  EXPECT_EQ(plan.video.frame_width, 720);
  EXPECT_EQ(plan.video.frame_height, 480);
  EXPECT_EQ(plan.video.crop.left, 8);
  EXPECT_EQ(plan.video.crop.top, 2);
  EXPECT_LE(plan.video.crop.left + plan.video.crop.width, 720);
  EXPECT_LE(plan.video.crop.top + plan.video.crop.height, 480);
  EXPECT_EQ(plan.video.crop.width % 2, 0);
  // A scaled size larger than the frame (rounded up to 4) is held to the frame.
  ASSERT_TRUE(BuildOutputPlan(Settings({"mp4", "h264", "1500", "864:486", "864:488", "", "29.97", "aac", "128",
                                        "48000", "2"}),
                              DvdInfo(), &plan, &error));
  EXPECT_EQ(plan.video.scaled_height, 486);
  EXPECT_EQ(plan.video.pad_top, 0);
  // Letterbox centred on even lines.
  ASSERT_TRUE(BuildOutputPlan(Settings({"mp4", "h264", "1500", "480:272", "480:180", "", "29.97", "aac", "128",
                                        "48000", "2"}),
                              DvdInfo(), &plan, &error));
  EXPECT_EQ(plan.video.pad_top, 46);
  EXPECT_EQ(plan.video.pad_left, 0);
}

TEST(OutputPlanTest, AspectTextSetsTheSampleAspect) {
  OutputPlan plan;
  std::string error;
  tarn::test::EncodeProfile p{"mp4", "mpeg4", "2000", "720:480", "", "", "29.97", "aac", "128", "48000", "2"};
  p.aspect = "16:9";
  ASSERT_TRUE(BuildOutputPlan(Settings(p), DvdInfo(), &plan, &error));
  EXPECT_EQ(plan.video.sar_num, 32);  // 16:9 shown on 720x480 pixels
  EXPECT_EQ(plan.video.sar_den, 27);
  p.aspect = "Keep original aspect rate";
  ASSERT_TRUE(BuildOutputPlan(Settings(p), DvdInfo(), &plan, &error));
  EXPECT_EQ(plan.video.sar_num, 1);
  EXPECT_EQ(plan.video.sar_den, 1);
}

TEST(OutputPlanTest, AmrIsWrittenAsAacAndTheAudioFormatsAsMp3) {
  OutputPlan plan;
  std::string error;
  ASSERT_TRUE(BuildOutputPlan(Settings({"3ggp", "h263", "96", "176:144", "", "", "15", "amr_nb", "7.95", "8000", "1"}),
                              DvdInfo(), &plan, &error));
  EXPECT_EQ(plan.audio.encoder, "aac");
  EXPECT_EQ(plan.audio.sample_rate, 8000);
  EXPECT_FALSE(plan.notes.empty());
  ASSERT_TRUE(BuildOutputPlan(Settings({"wav", "None", "None", "Original", "", "", "None", "pcm_s16le", "128",
                                        "44100", "2"}),
                              DvdInfo(), &plan, &error));
  EXPECT_FALSE(plan.video.enabled);
  EXPECT_EQ(plan.audio.encoder, "libmp3lame");
  EXPECT_EQ(plan.muxer, "mp3");
}

TEST(OutputPlanTest, MetadataOnlyWhereGiven) {
  OutputPlan plan;
  std::string error;
  ASSERT_TRUE(BuildOutputPlan(Settings({"mp4", "h264", "768", "320:240", "", "", "25", "aac", "128", "48000", "2"}),
                              DvdInfo(), &plan, &error));
  std::map<std::string, std::string> tags(plan.metadata.begin(), plan.metadata.end());
  EXPECT_EQ(tags["title"], "Title");
  EXPECT_EQ(tags["artist"], "Author");
  EXPECT_EQ(tags["date"], "2026");
  EXPECT_EQ(tags["track"], "3");
  EXPECT_EQ(tags.count("author"), 0u);  // the 3GPP field only in 3GP/3G2
}

struct RefusedCase {
  const char* name;
  tarn::test::EncodeProfile profile;
  const char* reason;
};

TEST(OutputPlanTest, RefusesValuesItCannotWrite) {
  const RefusedCase cases[] = {
      {"unknown format", {"avi", "mpeg4", "512", "320:240", "", "", "25", "aac", "128", "48000", "2"}, "format"},
      {"no video codec", {"mp4", "None", "512", "320:240", "", "", "25", "aac", "128", "48000", "2"}, "video codec"},
      {"odd codec", {"mp4", "theora", "512", "320:240", "", "", "25", "aac", "128", "48000", "2"}, "video codec"},
      {"bad size", {"mp4", "h264", "512", "320x", "", "", "25", "aac", "128", "48000", "2"}, "frame size"},
      {"huge frame", {"mp4", "h264", "512", "9000:240", "", "", "25", "aac", "128", "48000", "2"}, "frame size"},
      {"bad crop", {"mp4", "h264", "512", "320:240", "", "1:2:3", "25", "aac", "128", "48000", "2"}, "crop"},
      {"bad rate", {"mp4", "h264", "512", "320:240", "", "", "None", "aac", "128", "48000", "2"}, "frame rate"},
      {"bad bitrate", {"mp4", "h264", "fast", "320:240", "", "", "25", "aac", "128", "48000", "2"}, "bit rate"},
      {"pcm in mp4", {"mp4", "h264", "512", "320:240", "", "", "25", "pcm_s16le", "128", "48000", "2"}, "audio codec"},
      {"six channels", {"mp4", "h264", "512", "320:240", "", "", "25", "aac", "128", "48000", "6"}, "channels"},
      {"no sample rate", {"mp4", "h264", "512", "320:240", "", "", "25", "aac", "128", "None", "2"}, "sample rate"},
  };
  for (const RefusedCase& c : cases) {
    OutputPlan plan;
    std::string error;
    EXPECT_FALSE(BuildOutputPlan(Settings(c.profile), DvdInfo(), &plan, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

}  // namespace
