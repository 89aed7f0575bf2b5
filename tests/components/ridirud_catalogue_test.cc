// Every value the shipped profile catalogue can hand the encoder encodes:
// each profile with each entry of each value list in turn.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <set>

extern "C" {
#include <libavutil/log.h>
}

#include "encode_run.h"
#include "encoder_settings.h"
#include "output_plan.h"
#include "ridirud_test_host.h"
#include "test_support.h"

namespace {

struct ValueItem {
  std::string value;
  std::vector<std::string> list;
};

// The current value and the value list of element `name` inside `section`.
ValueItem ReadItem(const std::string& section, const std::string& name) {
  ValueItem item;
  std::smatch m;
  std::regex open("<" + name + "\\s+value=\"([^\"]*)\"[^>]*>([\\s\\S]*?)</" + name + ">");
  if (!std::regex_search(section, m, open)) return item;
  item.value = m[1];
  std::string body = m[2];
  std::regex entry("<value_list\\s+value=\"([^\"]*)\"");
  for (std::sregex_iterator it(body.begin(), body.end(), entry), end; it != end; ++it) item.list.push_back((*it)[1]);
  return item;
}

std::string Section(const std::string& text, const std::string& name) {
  size_t begin = text.find("<" + name + ">");
  size_t end = text.find("</" + name + ">");
  return begin == std::string::npos || end == std::string::npos ? "" : text.substr(begin, end - begin);
}

std::string FrameText(const std::string& size) {
  std::string s = size;
  for (char& c : s) if (c == 'x') c = ':';
  return s;
}

void FlatPicture(int index, uint8_t* y, uint8_t* u, uint8_t* v, int width, int height) {
  std::memset(y, 16 + index * 40, static_cast<size_t>(width) * height);
  std::memset(u, 128, static_cast<size_t>(width / 2) * (height / 2));
  std::memset(v, 128, static_cast<size_t>(width / 2) * (height / 2));
}

TEST(ShippedCatalogueEncodeTest, EveryValueEncodes) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(tarn::test::SourceDir()) / "data" / "profile";
  tarn::test::TempDir dir;
  // Opening and discarding hundreds of encoders makes FFmpeg chatty.
  av_log_set_level(AV_LOG_ERROR);
  std::set<std::string> tried;
  int profiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".xml" || entry.path().parent_path() == root) continue;
    ++profiles;
    const std::string text = tarn::test::ReadFile(entry.path().string());
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("<format\\s+format=\"([^\"]*)\""))) << entry.path();
    const std::string format = m[1];
    const std::string video = Section(text, "video"), audio = Section(text, "audio");
    // Parameter name, its section and where it goes in the profile.
    std::vector<std::pair<ValueItem, std::string tarn::test::EncodeProfile::*>> items = {
        {ReadItem(video, "codec"), &tarn::test::EncodeProfile::video_codec},
        {ReadItem(video, "size"), &tarn::test::EncodeProfile::frame_size},
        {ReadItem(video, "bitrate"), &tarn::test::EncodeProfile::video_bitrate},
        {ReadItem(video, "framerate"), &tarn::test::EncodeProfile::frame_rate},
        {ReadItem(audio, "codec"), &tarn::test::EncodeProfile::audio_codec},
        {ReadItem(audio, "bitrate"), &tarn::test::EncodeProfile::audio_bitrate},
        {ReadItem(audio, "samplerate"), &tarn::test::EncodeProfile::sample_rate},
        {ReadItem(audio, "channel"), &tarn::test::EncodeProfile::channels},
        {ReadItem(audio, "aspectrate"), &tarn::test::EncodeProfile::aspect},
    };
    tarn::test::EncodeProfile base;
    base.format = format;
    for (auto& [item, field] : items) base.*field = item.value;
    std::vector<tarn::test::EncodeProfile> variants{base};
    for (auto& [item, field] : items)
      for (const std::string& value : item.list) {
        tarn::test::EncodeProfile p = base;
        p.*field = value;
        variants.push_back(p);
      }
    for (tarn::test::EncodeProfile p : variants) {
      if (format == "au" || format == "amr" || format == "m4a" || format == "wav") {
        // The driver encodes these to an MP3 first, with fixed audio values.
        p.audio_bitrate = "128";
        p.sample_rate = "44100";
        p.channels = "2";
      }
      p.frame_size = p.frame_size == "Original" ? "Original" : FrameText(p.frame_size);
      const std::string key = p.format + "|" + p.video_codec + "|" + p.frame_size + "|" + p.video_bitrate + "|" +
                              p.frame_rate + "|" + p.audio_codec + "|" + p.audio_bitrate + "|" + p.sample_rate +
                              "|" + p.channels + "|" + p.aspect;
      if (!tried.insert(key).second) continue;
      tarn::test::TestEncoderHost host({});
      tarn::test::EncoderBlockBuilder block;
      host.FillBlock(block, p, dir / "probe.out");
      MediaInfo info{};
      info.width = 720;
      info.height = 480;
      ridirud::OutputPlan plan;
      std::string error;
      ASSERT_TRUE(ridirud::BuildOutputPlan(ridirud::ReadEncoderSettings(block.data()), info, &plan, &error))
          << entry.path().filename() << " " << key << ": " << error;
      // A few pictures through the whole run: the muxers check some values
      // only when packets arrive.
      tarn::test::TestSource source;
      source.width = 720;
      source.height = 480;
      source.pictures = 3;
      source.draw = FlatPicture;
      tarn::test::TestEncoderHost encode_host(source);
      tarn::test::EncoderBlockBuilder encode_block;
      const std::string output = dir / "encode.out";
      encode_host.FillBlock(encode_block, p, output);
      EXPECT_EQ(ridirud::RunEncode(ridirud::ReadEncoderSettings(encode_block.data())), ridirud::kEncodeOk)
          << entry.path().filename() << " " << key << ": " << (encode_host.log().empty() ? "" : encode_host.log().back());
      EXPECT_GT(std::filesystem::file_size(output), 0u) << key;
      std::filesystem::remove(output);
    }
  }
  av_log_set_level(AV_LOG_INFO);
  EXPECT_GT(profiles, 30);
  EXPECT_GT(tried.size(), 200u);
}

}  // namespace
