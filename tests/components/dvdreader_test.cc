// libDVDReader.so, loaded the way the program loads it, read on the authored
// discs and compared with lsdvd, and on damaged copies of a disc.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "DVDReader.h"
#include "platform/dynamic_library.h"
#include "stream_names.h"
#include "test_support.h"

namespace {

struct DvdReaderEntries {
  tarn::platform::DynamicLibrary library;
  DVD_DECODER_DisconnectDVDFn Disconnect = nullptr;
  DVD_DECODER_ConnectDVDFn Connect = nullptr;
  DVD_DECODER_GetTitleNumber2Fn GetTitleNumber2 = nullptr;
  DVD_DECODER_PLayMovieFn PLayMovie = nullptr;
  DVD_DECODER_GetTitleInfoFn GetTitleInfo = nullptr;
  DVD_DECODER_GetChapterNumberFn GetChapterNumber = nullptr;
  DVD_DECODER_GetAspectFn GetAspect = nullptr;
  DVD_DECODER_GetAnglesFn GetAngles = nullptr;
  DVD_DECODER_GetAudioTracksFn GetAudioTracks = nullptr;
  DVD_DECODER_GetSubtitlesFn GetSubtitles = nullptr;
  DVD_DECODER_GetAudioStreamsFn GetAudioStreams = nullptr;
  DVD_DECODER_GetAudioStreamFn GetAudioStream = nullptr;
  DVD_DECODER_GetStreamsFn GetStreams = nullptr;
  DVD_DECODER_GetStreamFn GetStream = nullptr;

  bool Load() {
    if (!library.Open(tarn::test::ProgramDir() + "libDVDReader.so")) return false;
    Disconnect = library.Entry<DVD_DECODER_DisconnectDVDFn>("DVD_DECODER_DisconnectDVD");
    Connect = library.Entry<DVD_DECODER_ConnectDVDFn>("DVD_DECODER_ConnectDVD");
    GetTitleNumber2 = library.Entry<DVD_DECODER_GetTitleNumber2Fn>("DVD_DECODER_GetTitleNumber2");
    PLayMovie = library.Entry<DVD_DECODER_PLayMovieFn>("DVD_DECODER_PLayMovie");
    GetTitleInfo = library.Entry<DVD_DECODER_GetTitleInfoFn>("DVD_DECODER_GetTitleInfo");
    GetChapterNumber = library.Entry<DVD_DECODER_GetChapterNumberFn>("DVD_DECODER_GetChapterNumber");
    GetAspect = library.Entry<DVD_DECODER_GetAspectFn>("DVD_DECODER_GetAspect");
    GetAngles = library.Entry<DVD_DECODER_GetAnglesFn>("DVD_DECODER_GetAngles");
    GetAudioTracks = library.Entry<DVD_DECODER_GetAudioTracksFn>("DVD_DECODER_GetAudioTracks");
    GetSubtitles = library.Entry<DVD_DECODER_GetSubtitlesFn>("DVD_DECODER_GetSubtitles");
    GetAudioStreams = library.Entry<DVD_DECODER_GetAudioStreamsFn>("DVD_DECODER_GetAudioStreams");
    GetAudioStream = library.Entry<DVD_DECODER_GetAudioStreamFn>("DVD_DECODER_GetAudioStream");
    GetStreams = library.Entry<DVD_DECODER_GetStreamsFn>("DVD_DECODER_GetStreams");
    GetStream = library.Entry<DVD_DECODER_GetStreamFn>("DVD_DECODER_GetStream");
    return Disconnect && Connect && GetTitleNumber2 && PLayMovie && GetTitleInfo && GetChapterNumber &&
           GetAspect && GetAngles && GetAudioTracks && GetSubtitles && GetAudioStreams &&
           GetAudioStream && GetStreams && GetStream;
  }
};

DvdReaderEntries* Entries() {
  static DvdReaderEntries* entries = [] {
    auto* loaded = new DvdReaderEntries;
    return loaded->Load() ? loaded : nullptr;
  }();
  return entries;
}

std::string Disc(const std::string& name) {
  return name.starts_with("/") ? name : std::string(TARN_TEST_DISCS_DIR) + name;
}

// What the library reports for one title, read through every entry point.
struct TitleView {
  int selected = 0;
  double seconds = 0.0;
  int chapters = 0;
  unsigned aspect = 0;
  int angle = -1;
  int angles = -1;
  int32_t audio_count = -1;
  int32_t subtitle_count = -1;
  std::map<int, std::string> audio;
  std::map<int, std::string> subtitles;
  std::vector<std::string> faults;  // stream answers that contradict each other
};

TitleView ReadTitle(const DvdReaderEntries& dvd, int number) {
  TitleView view;
  view.selected = dvd.PLayMovie(number);
  dvd.GetTitleInfo(number - 1, &view.seconds);
  dvd.GetChapterNumber(number, &view.chapters);
  view.aspect = dvd.GetAspect();
  dvd.GetAngles(&view.angle, &view.angles);
  dvd.GetAudioTracks(&view.audio_count);
  dvd.GetSubtitles(&view.subtitle_count);
  auto read_streams = [&view](int first, int last, auto number_of, auto text_of,
                              std::map<int, std::string>& into) {
    for (int i = first; i <= last; ++i) {
      const signed char stream = static_cast<signed char>(number_of(i));
      const char* text = text_of(i);
      if (!text) {
        view.faults.push_back("null text for stream " + std::to_string(i));
        continue;
      }
      if (stream == -1) {
        if (*text) view.faults.push_back("text for absent stream " + std::to_string(i));
        continue;
      }
      if (stream != i) view.faults.push_back("stream " + std::to_string(i) + " reports another number");
      into[i] = text;
    }
  };
  // Out-of-range stream numbers are asked too: they must read as absent.
  read_streams(-2, 9, dvd.GetAudioStreams, dvd.GetAudioStream, view.audio);
  read_streams(-2, 33, dvd.GetStreams, dvd.GetStream, view.subtitles);
  return view;
}

void ExpectNoTitle(const TitleView& view) {
  EXPECT_NE(view.selected, 1);
  EXPECT_EQ(view.seconds, 0.0);
  EXPECT_EQ(view.chapters, 0);
  EXPECT_EQ(view.aspect, 0xFFu);
  EXPECT_EQ(view.angle, 0);
  EXPECT_EQ(view.angles, 0);
  EXPECT_EQ(view.audio_count, 0);
  EXPECT_EQ(view.subtitle_count, 0);
  EXPECT_TRUE(view.audio.empty());
  EXPECT_TRUE(view.subtitles.empty());
  EXPECT_TRUE(view.faults.empty()) << view.faults.front();
}

// lsdvd's reading of a disc: lengths, chapter counts and stream numbers.
struct ReferenceTitle {
  double seconds = 0.0;
  int chapters = 0;
  std::vector<int> audio;
  std::vector<int> subtitles;
};

std::vector<ReferenceTitle> Lsdvd(const std::string& source) {
  std::vector<ReferenceTitle> titles;
  FILE* pipe = ::popen(("lsdvd -a -s '" + source + "' 2>/dev/null").c_str(), "r");
  if (!pipe) return titles;
  static const std::regex title_line(
      R"(^Title: (\d+), Length: (\d+):(\d+):(\d+)\.(\d+) Chapters: (\d+),)");
  static const std::regex stream_line(R"(^\s+(Audio|Subtitle): \d+,.*Stream id: 0x([0-9a-f]+))");
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    const std::string line(buffer);
    std::smatch m;
    if (std::regex_search(line, m, title_line)) {
      ReferenceTitle title;
      title.seconds = std::stoi(m[2]) * 3600.0 + std::stoi(m[3]) * 60.0 + std::stoi(m[4]) +
                      std::stoi(m[5]) / 1000.0;
      title.chapters = std::stoi(m[6]);
      titles.push_back(title);
    } else if (!titles.empty() && std::regex_search(line, m, stream_line)) {
      const int id = std::stoi(m[2], nullptr, 16);
      // Audio ids are 0x80 (AC-3), 0x88 (DTS), 0xA0 (LPCM) or 0xC0 (MPEG)
      // plus the stream number; subpicture ids are 0x20 plus the number.
      if (m[1] == "Audio") {
        titles.back().audio.push_back(id & 0x07);
      } else {
        titles.back().subtitles.push_back(id & 0x1F);
      }
    }
  }
  ::pclose(pipe);
  return titles;
}

std::vector<int> Keys(const std::map<int, std::string>& streams) {
  std::vector<int> keys;
  for (const auto& [number, text] : streams) keys.push_back(number);
  return keys;
}

class DvdReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Entries(), nullptr) << "libDVDReader.so or one of its entry points is missing";
    dvd_ = Entries();
  }
  void TearDown() override {
    if (dvd_) dvd_->Disconnect();
  }
  const DvdReaderEntries& dvd() const { return *dvd_; }

 private:
  DvdReaderEntries* dvd_ = nullptr;
};

TEST_F(DvdReaderTest, EveryDiscFormReadsAsLsdvdReadsIt) {
  const char* sources[] = {"feature",  "feature/", "feature/VIDEO_TS", "feature/VIDEO_TS/",
                           "ntsc",     "short",    "boundary",         "menu",
                           "menu.iso"};
  for (const char* name : sources) {
    SCOPED_TRACE(name);
    const std::string source = Disc(name);
    const std::vector<ReferenceTitle> reference = Lsdvd(source);
    ASSERT_FALSE(reference.empty()) << "lsdvd could not read " << source;

    ASSERT_NE(dvd().Connect(source.c_str()), 0);
    int count = -1;
    dvd().GetTitleNumber2(&count);
    ASSERT_EQ(count, static_cast<int>(reference.size()));
    for (int n = 1; n <= count; ++n) {
      SCOPED_TRACE("title " + std::to_string(n));
      const ReferenceTitle& expected = reference[n - 1];
      const TitleView view = ReadTitle(dvd(), n);
      EXPECT_EQ(view.selected, 1);
      EXPECT_NEAR(view.seconds, expected.seconds, 0.1);
      EXPECT_EQ(view.chapters, expected.chapters);
      EXPECT_EQ(Keys(view.audio), expected.audio);
      EXPECT_EQ(Keys(view.subtitles), expected.subtitles);
      EXPECT_EQ(view.audio_count, static_cast<int32_t>(expected.audio.size()));
      EXPECT_EQ(view.subtitle_count, static_cast<int32_t>(expected.subtitles.size()));
      EXPECT_EQ(view.angle, 1);
      EXPECT_EQ(view.angles, 1);
      EXPECT_TRUE(view.faults.empty()) << view.faults.front();
    }
    dvd().Disconnect();
  }
}

TEST_F(DvdReaderTest, DescribesAspectAndStreamsOfEachTitle) {
  struct Case {
    const char* disc;
    int title;
    unsigned aspect;
    std::map<int, std::string> audio;
    std::map<int, std::string> subtitles;
  };
  const Case cases[] = {
      {"feature", 1, 3,
       {{0, "English AC3 6ch"}, {1, "Français MPEG1 2ch"}, {2, "Deutsch LPCM 2ch"}},
       {{0, "English"}, {1, "Français"}}},
      {"feature", 2, 3,
       {{0, "English AC3 6ch"}, {1, "Français MPEG1 2ch"}, {2, "Deutsch LPCM 2ch"}},
       {{0, "English"}}},
      // Streams 0 and 2 only: stream 1 is declared by the title set but absent.
      {"feature", 3, 0, {{0, "English AC3 2ch"}, {2, "Español MPEG1 2ch"}}, {}},
      {"ntsc", 1, 0, {{0, "English AC3 2ch"}, {1, "Français MPEG1 2ch"}}, {{0, "English"}}},
      {"menu.iso", 2, 0, {{0, "Deutsch MPEG1 2ch"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.disc) + " title " + std::to_string(c.title));
    ASSERT_NE(dvd().Connect(Disc(c.disc).c_str()), 0);
    const TitleView view = ReadTitle(dvd(), c.title);
    EXPECT_EQ(view.selected, 1);
    EXPECT_EQ(view.aspect, c.aspect);
    EXPECT_EQ(view.audio, c.audio);
    EXPECT_EQ(view.subtitles, c.subtitles);
  }
}

TEST_F(DvdReaderTest, LengthsCountTheFramesAtTheDiscsRate) {
  struct Case {
    const char* disc;
    int title;
    double seconds;
  };
  const Case cases[] = {
      {"boundary", 1, 59.92}, {"boundary", 2, 60.0}, {"boundary", 3, 59.96},
      {"short", 1, 59.92},    {"short", 2, 30.0},    {"feature", 4, 20.0},
      {"ntsc", 1, 67 + 28 / 29.97},  // 00:01:07 and 28 frames
      {"ntsc", 2, 66.0},             // three pieces with restarting time stamps
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.disc) + " title " + std::to_string(c.title));
    ASSERT_NE(dvd().Connect(Disc(c.disc).c_str()), 0);
    double seconds = -1.0;
    dvd().GetTitleInfo(c.title - 1, &seconds);
    EXPECT_NEAR(seconds, c.seconds, 1e-9);
  }
  // A title of exactly one minute must not read as a hair shorter.
  ASSERT_NE(dvd().Connect(Disc("boundary").c_str()), 0);
  double minute = 0.0;
  dvd().GetTitleInfo(1, &minute);
  EXPECT_GE(minute, 60.0);
}

TEST_F(DvdReaderTest, AnswersSafelyWithoutADiscOrTitle) {
  dvd().Disconnect();
  dvd().Disconnect();
  int count = -1;
  dvd().GetTitleNumber2(&count);
  EXPECT_EQ(count, 0);
  ExpectNoTitle(ReadTitle(dvd(), 1));

  // With a disc, a title outside the table leaves no title selected, even
  // after a good one was.
  ASSERT_NE(dvd().Connect(Disc("feature").c_str()), 0);
  ASSERT_EQ(dvd().PLayMovie(1), 1);
  for (int n : {0, -1, 5, 100, 65536}) {
    SCOPED_TRACE(n);
    ExpectNoTitle(ReadTitle(dvd(), n));
  }

  // Null out-pointers are ignored.
  dvd().GetTitleNumber2(nullptr);
  dvd().GetTitleInfo(0, nullptr);
  dvd().GetChapterNumber(1, nullptr);
  dvd().GetAngles(nullptr, nullptr);
  dvd().GetAudioTracks(nullptr);
  dvd().GetSubtitles(nullptr);

  dvd().Disconnect();
  dvd().GetTitleNumber2(&count);
  EXPECT_EQ(count, 0);
  ExpectNoTitle(ReadTitle(dvd(), 1));
}

TEST_F(DvdReaderTest, ConnectingAgainReplacesTheDisc) {
  ASSERT_NE(dvd().Connect(Disc("feature").c_str()), 0);
  ASSERT_EQ(dvd().PLayMovie(3), 1);
  ASSERT_NE(dvd().Connect(Disc("short").c_str()), 0);
  int count = 0;
  dvd().GetTitleNumber2(&count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(dvd().GetAspect(), 0xFF) << "the title of the previous disc is still selected";
  ExpectNoTitle(ReadTitle(dvd(), 3));
  EXPECT_EQ(ReadTitle(dvd(), 2).selected, 1);

  EXPECT_EQ(dvd().Connect(Disc("damaged/empty").c_str()), 0);
  dvd().GetTitleNumber2(&count);
  EXPECT_EQ(count, 0) << "a failed connect keeps the previous disc";
}

TEST_F(DvdReaderTest, DamagedSourcesGiveNoDiscOrNoSuchTitle) {
  struct Case {
    std::string source;
    bool connects;
    std::vector<int> usable;  // titles that stay usable
  };
  const Case cases[] = {
      {"damaged/empty", false, {}},
      {"damaged/random", false, {}},
      {"damaged/truncated-vmg", false, {}},
      {"damaged/truncated-vts", true, {}},
      {"damaged/missing-vob", true, {}},
      {"damaged/bad-title-set", true, {2}},
      {"damaged/bad-title-number", true, {1}},
      {"damaged/title-count", true, {1, 2}},
      {"no-such-folder", false, {}},
      {"", false, {}},
      {tarn::test::SourceDir() + "tests/discs/README.md", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const std::string source = c.source.empty() ? "" : Disc(c.source);
    ASSERT_EQ(dvd().Connect(source.c_str()) != 0, c.connects);
    int count = -1;
    dvd().GetTitleNumber2(&count);
    if (!c.connects) {
      EXPECT_EQ(count, 0);
      continue;
    }
    ASSERT_GE(count, 0);
    ASSERT_LE(count, 99);
    std::vector<int> usable;
    for (int n = 0; n <= count + 1; ++n) {
      SCOPED_TRACE("title " + std::to_string(n));
      const TitleView view = ReadTitle(dvd(), n);
      if (view.selected == 1) {
        usable.push_back(n);
        EXPECT_TRUE(view.faults.empty()) << view.faults.front();
      } else {
        ExpectNoTitle(view);
      }
    }
    EXPECT_EQ(usable, c.usable);
  }
  EXPECT_EQ(dvd().Connect(nullptr), 0);
}

TEST(DvdStreamNames, NameLanguagesCodingsAndChannels) {
  using namespace tarn::dvdreader;
  auto code = [](char a, char b) { return static_cast<uint16_t>((a << 8) | b); };
  EXPECT_EQ(LanguageName(code('e', 'n')), "English");
  EXPECT_EQ(LanguageName(code('E', 'N')), "English");
  EXPECT_EQ(LanguageName(code('j', 'a')), "日本語");
  EXPECT_EQ(LanguageName(code('x', 'q')), "xq");
  EXPECT_EQ(LanguageName(0), "Unknown");
  EXPECT_EQ(LanguageName(code('1', '!')), "Unknown");

  EXPECT_EQ(AudioDescription(true, code('f', 'r'), 2, 2), "Français MPEG1 2ch");
  EXPECT_EQ(AudioDescription(true, code('d', 'e'), 3, 8), "Deutsch MPEG2 8ch");
  EXPECT_EQ(AudioDescription(true, code('i', 't'), 4, 2), "Italiano LPCM 2ch");
  EXPECT_EQ(AudioDescription(false, code('e', 'n'), 6, 6), "Unknown DTS 6ch");
  EXPECT_EQ(AudioDescription(true, code('e', 's'), 7, 1), "Español Unknown 1ch");
  EXPECT_EQ(SubtitleDescription(true, code('e', 's')), "Español");
  EXPECT_EQ(SubtitleDescription(false, code('e', 's')), "Unknown");
}

}  // namespace
